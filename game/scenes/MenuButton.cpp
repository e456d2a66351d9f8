#include "scenes/MenuButton.h"

CMenuButton::CMenuButton() : m_pRect(nullptr), m_bPressed(false), m_bHovered(false) {}

CMenuButton::~CMenuButton()
{
    delete m_pRect;
}

void CMenuButton::Create(const char* name)
{
    if (CZanResourceMgr* resources = CZanResourceMgr::Instance())
        m_Anim = resources->CreateAnim(name);
}

void CMenuButton::Place(float x, float y, float w, float h)
{
    if (CZanAnim* anim = m_Anim.Get())
        anim->SetPosition(x, y);
    CZanVector center(x, y);
    delete m_pRect;
    m_pRect = new CZanRect(center, w, h);
}

bool CMenuButton::Contains(float x, float y) const
{
    CZanVector point(x, y);
    return m_pRect && m_pRect->TestPoint(point);
}

void CMenuButton::ShowFrame(int frame)
{
    if (CZanAnim* anim = m_Anim.Get())
        anim->SetFrame(frame);
}

void CMenuButton::Reset()
{
    m_bPressed = false;
    m_bHovered = false;
    ShowFrame(0);
}

void CMenuButton::SetHover()
{
    if (m_bHovered || m_bPressed)
        return;
    m_bHovered = true;
    ShowFrame(1);
}

void CMenuButton::SetPressed()
{
    if (m_bPressed)
        return;
    m_bPressed = true;
    // A press lands under the cursor: counted as hovered too, so a press that arrives with
    // the cursor in the same frame does not sound the hover again every frame it is held.
    m_bHovered = true;
    ShowFrame(2);
}

CFadeImage::CFadeImage() : m_nMode(FADE_IN), m_uStart(0), m_fDuration(0.0f) {}

CFadeImage::~CFadeImage()
{
    if (CZanSprite* sprite = m_Sprite.Get())
        sprite->SetVisible(false);
}

void CFadeImage::Show(const char* sprite, float seconds, int mode)
{
    if (CZanResourceMgr* resources = CZanResourceMgr::Instance())
        m_Sprite = resources->CreateSprite(sprite);
    m_nMode = mode;
    m_fDuration = seconds;
    m_uStart = GetTickCount();
    if (CZanSprite* s = m_Sprite.Get())
    {
        s->SetPosition(400.0f, 300.0f);
        s->SetVisible(true);
        s->SetAlpha(mode == FADE_OUT ? 1.0f : 0.0f);
    }
}

void CFadeImage::Update()
{
    CZanSprite* sprite = m_Sprite.Get();
    if (!sprite)
        return;
    if (!(m_fDuration > 0.0f))
        return; // nothing to fade over
    const float t = float(GetTickCount() - m_uStart) / (m_fDuration * 1000.0f);
    if (t > 1.0f)
        return;
    switch (m_nMode)
    {
    case FADE_IN:
        sprite->SetAlpha(t);
        break;
    case FADE_OUT:
        sprite->SetAlpha(1.0f - t);
        break;
    case FADE_IN_OUT:
        sprite->SetAlpha(t < 0.4f ? 2.5f * t : t < 0.6f ? 1.0f : 2.5f - 2.5f * t);
        break;
    default:
        break;
    }
}
