// Widgets, buttons, the sprite cursor and the widget manager.
#include "Zan/ZanGui.h"

#include "Zan/ZanSprite.h"
#include "ZanWin32.h"

#include <cmath>

namespace
{
uint32_t s_nNextGuiID = 100;

CZanResPtr<CZanSprite> NewSprite(const char* name)
{
    CZanResourceMgr* manager = CZanResourceMgr::Instance();
    if (!manager)
        return CZanResPtr<CZanSprite>();
    CZanResPtr<CZanSprite> sprite = manager->CreateSprite(name);
    // An unknown name gives the manager's one shared default sprite. Widgets move, show and
    // hide their looks, so they take a copy of it rather than change it for every other user.
    CZanSprite* look = sprite.Get();
    if (look && look == manager->CreateSprite(nullptr).Get())
        return CZanResPtr<CZanSprite>(new CZanSprite(*look));
    return sprite;
}

void SetSpriteVisible(const CZanResPtr<CZanSprite>& sprite, bool visible)
{
    if (CZanSprite* s = sprite.Get())
        s->SetVisible(visible);
}
} // namespace

// ---- CZanGuiObject ----

CZanGuiObject::CZanGuiObject() : m_nID(s_nNextGuiID++), m_bEnabled(true) {}

// ---- CZanGuiButton ----

CZanGuiButton::CZanGuiButton(const char* first, const char* second)
    : m_bMode(false), m_bState(false), m_bPrevState(false)
{
    // The looks are taken in this order, `second` first: it is the one shown at rest.
    m_pFirstLook = NewSprite(second);
    SetSpriteVisible(m_pFirstLook, true);
    m_pSecondLook = NewSprite(first);
    SetSpriteVisible(m_pSecondLook, false);
}

bool CZanGuiButton::MouseLButton(bool down)
{
    if (down)
    {
        m_bPrevState = m_bState;
        m_bState = true;
        return false;
    }
    m_bState = m_bMode && !m_bPrevState;
    return true;
}

// ---- CZanGuiSpriteButton ----

CZanGuiSpriteButton::CZanGuiSpriteButton(const char* first, const char* second)
    : CZanGuiButton(first, second), m_bShown(true)
{
    Move(m_vPosition);
}

void CZanGuiSpriteButton::Move(CZanVector& position)
{
    m_vPosition = position;
    if (CZanSprite* s = m_pFirstLook.Get())
        s->SetPosition(position);
    if (CZanSprite* s = m_pSecondLook.Get())
        s->SetPosition(position);
}

void CZanGuiSpriteButton::Show(bool visible)
{
    m_bShown = visible;
    ShowLooks();
}

void CZanGuiSpriteButton::ShowLooks()
{
    // Both handles may hold one shared default sprite: hide first, then show.
    SetSpriteVisible(m_bState ? m_pFirstLook : m_pSecondLook, false);
    SetSpriteVisible(m_bState ? m_pSecondLook : m_pFirstLook, m_bShown);
}

bool CZanGuiSpriteButton::HitTest(float x, float y) const
{
    const CZanSprite* look = (m_bState ? m_pSecondLook : m_pFirstLook).Get();
    if (!m_bShown || !look)
        return false;
    const CZanVector scale = look->GetScale();
    const float halfW = look->GetWidth() * std::fabs(scale.x) / 2.0f;
    const float halfH = look->GetHeight() * std::fabs(scale.y) / 2.0f;
    return x >= m_vPosition.x - halfW && x < m_vPosition.x + halfW && y >= m_vPosition.y - halfH &&
           y < m_vPosition.y + halfH;
}

bool CZanGuiSpriteButton::MouseLButton(bool down)
{
    if (!m_bEnabled)
        return false;
    const bool used = CZanGuiButton::MouseLButton(down);
    ShowLooks();
    return used;
}

void CZanGuiSpriteButton::Update(float)
{
    ShowLooks();
}

// ---- CZanGuiMouse ----

CZanGuiMouse::CZanGuiMouse(const char* name) : m_pSprite(NewSprite(name))
{
    SetSpriteVisible(m_pSprite, false);
}

void CZanGuiMouse::Show(bool visible)
{
    SetSpriteVisible(m_pSprite, visible);
}

// ---- CZanGuiMgr ----

bool CZanGuiMgr::AddObject(CZanGuiObject* object)
{
    if (!object)
        return false;
    m_mapObjects[object->GetID()] = object;
    return true;
}

bool CZanGuiMgr::DelObject(unsigned long id)
{
    return m_mapObjects.erase(id) > 0;
}

CZanGuiObject* CZanGuiMgr::GetObjectA(unsigned long id) const
{
    auto it = m_mapObjects.find(id);
    return it == m_mapObjects.end() ? nullptr : it->second;
}

bool CZanGuiMgr::MoveObject(unsigned long id, CZanVector& position)
{
    CZanGuiObject* object = GetObjectA(id);
    if (object)
        object->Move(position);
    return object != nullptr;
}

bool CZanGuiMgr::ShowObject(unsigned long id, bool visible)
{
    CZanGuiObject* object = GetObjectA(id);
    if (object)
        object->Show(visible);
    return object != nullptr;
}

bool CZanGuiMgr::EnableObject(unsigned long id, bool enable)
{
    CZanGuiObject* object = GetObjectA(id);
    if (object)
        object->Enable(enable);
    return object != nullptr;
}

bool CZanGuiMgr::SetCursor(CZanGuiMouse* cursor)
{
    if (!cursor)
        return false;
    if (m_pCursor && m_pCursor != cursor)
        m_pCursor->Show(false);
    m_pCursor = cursor;
    ShowCursor(FALSE);
    cursor->Show(true);
    return true;
}
