// Plain quads and sprites.
#include "Zan/ZanSprite.h"

#include <cmath>
#include <cstring>

namespace
{
const char* const kNoTexture = "无";

void Register(IZanRender* render)
{
    if (g_pGraphics)
        g_pGraphics->AddRender(render);
}

void Unregister(IZanRender* render)
{
    if (g_pGraphics)
        g_pGraphics->DelRender(render);
}
} // namespace

// ---- CZanQuadGraphics ----

CZanQuadGraphics::CZanQuadGraphics()
    : m_fRot(0.0f), m_fHeight(0.0f), m_fWidth(0.0f), m_fX(0.0f), m_fY(0.0f), m_fScaleX(0.0f),
      m_fScaleY(0.0f), m_afCorner()
{
    std::memset(&m_Quad, 0, sizeof(m_Quad));
}

CZanQuadGraphics::CZanQuadGraphics(float width, float height, int renderLevel) : CZanQuadGraphics()
{
    CreateQuad(width, height, renderLevel);
    Register(this);
}

CZanQuadGraphics::CZanQuadGraphics(const ZanQuadG* record) : CZanQuadGraphics()
{
    if (record)
        CreateQuad(record->fWidth, record->fHeight, record->nRenderLevel);
    else
        CreateQuad(0.0f, 0.0f, 0);
    Register(this);
}

CZanQuadGraphics::CZanQuadGraphics(const CZanQuadGraphics& other)
    : IZanRender(other), m_Quad(other.m_Quad), m_fRot(other.m_fRot), m_fHeight(other.m_fHeight),
      m_fWidth(other.m_fWidth), m_fX(other.m_fX), m_fY(other.m_fY), m_fScaleX(other.m_fScaleX),
      m_fScaleY(other.m_fScaleY), m_Color(other.m_Color)
{
    std::memcpy(m_afCorner, other.m_afCorner, sizeof(m_afCorner));
    Register(this);
}

CZanQuadGraphics& CZanQuadGraphics::operator=(const CZanQuadGraphics& other)
{
    if (this != &other)
    {
        m_nRenderLevel = other.m_nRenderLevel;
        m_bVisible = other.m_bVisible;
        m_Quad = other.m_Quad;
        m_fRot = other.m_fRot;
        m_fHeight = other.m_fHeight;
        m_fWidth = other.m_fWidth;
        m_fX = other.m_fX;
        m_fY = other.m_fY;
        m_fScaleX = other.m_fScaleX;
        m_fScaleY = other.m_fScaleY;
        std::memcpy(m_afCorner, other.m_afCorner, sizeof(m_afCorner));
        m_Color = other.m_Color;
    }
    return *this;
}

CZanQuadGraphics::~CZanQuadGraphics()
{
    Unregister(this);
}

void CZanQuadGraphics::CreateQuad(float width, float height, int renderLevel)
{
    m_fWidth = width;
    m_fHeight = height;
    m_bVisible = true;
    m_fRot = 0.0f;
    std::memset(&m_Quad, 0, sizeof(m_Quad));
    const float hw = width / 2.0f, hh = height / 2.0f;
    const float corners[8] = {-hw, -hh, hw, -hh, hw, hh, -hw, hh};
    std::memcpy(m_afCorner, corners, sizeof(m_afCorner));
    m_Quad.nBlend = ZAN_BLEND_DEFAULT;
    m_fScaleX = m_fScaleY = 1.0f;
    m_Color.SetHWColor(0xFFFFFFFFul);
    for (ZanVertex& v : m_Quad.v)
        v.color = 0xFFFFFFFFu;
    m_fX = m_fY = 0.0f;
    SetRenderLevel(renderLevel);
}

void CZanQuadGraphics::SetPosition(float x, float y)
{
    m_fX = x;
    m_fY = y;
}

void CZanQuadGraphics::SetScale(float sx, float sy)
{
    m_fScaleX = sx;
    m_fScaleY = sy;
}

void CZanQuadGraphics::WriteVertexColors()
{
    const DWORD packed = DWORD(m_Color.GetHWColor());
    for (ZanVertex& v : m_Quad.v)
        v.color = packed;
}

void CZanQuadGraphics::SetAlpha(float alpha)
{
    m_Color.alpha = alpha;
    WriteVertexColors();
}

void CZanQuadGraphics::SetColor(unsigned long packed)
{
    m_Color.SetHWColor(packed);
    for (ZanVertex& v : m_Quad.v)
        v.color = DWORD(packed);
}

void CZanQuadGraphics::SetColor(const CZanColor& color)
{
    // Packed from the argument: reading back the colour just stored can miss the store
    // buffer and stall, which particle systems pay once per particle and frame.
    const DWORD packed = DWORD(color.GetHWColor());
    m_Color = color;
    for (ZanVertex& v : m_Quad.v)
        v.color = packed;
}

void CZanQuadGraphics::PlaceCorners(const float* offsets, ZanVertex* out) const
{
    float p[8];
    std::memcpy(p, offsets, sizeof(p));
    if (m_fRot != 0.0f)
    {
        const float c = std::cos(m_fRot), s = std::sin(m_fRot);
        for (int i = 0; i < 8; i += 2)
        {
            const float ox = p[i], oy = p[i + 1];
            p[i] = ox * c - oy * s;
            p[i + 1] = ox * s + oy * c;
        }
    }
    // Scaling follows rotation, along the screen axes.
    if (m_fScaleX != 1.0f || m_fScaleY != 1.0f)
    {
        for (int i = 0; i < 8; i += 2)
        {
            p[i] *= m_fScaleX;
            p[i + 1] *= m_fScaleY;
        }
    }
    for (int i = 0; i < 4; ++i)
    {
        out[i].x = p[2 * i] + m_fX;
        out[i].y = p[2 * i + 1] + m_fY;
    }
}

void CZanQuadGraphics::Render()
{
    PlaceCorners(m_afCorner, m_Quad.v);
    if (g_pGraphics)
        g_pGraphics->RenderQuad(&m_Quad);
}

// ---- CZanSprite ----

CZanSprite::CZanSprite() : m_pTexture(nullptr) {}

CZanSprite::CZanSprite(const char* texture, float texOffsetX, float texOffsetY, float width,
                       float height, int renderLevel)
    : CZanQuadGraphics(width, height, renderLevel), m_pTexture(nullptr)
{
    CreateSprite(texture, texOffsetX, texOffsetY);
}

CZanSprite::CZanSprite(const ZanSprite* record)
    : CZanQuadGraphics(static_cast<const ZanQuadG*>(record)), m_pTexture(nullptr)
{
    if (record)
        CreateSprite(record->strTexture.c_str(), record->fTexOffsetX, record->fTexOffsetY);
    else
        CreateSprite(kNoTexture, 0.0f, 0.0f);
}

CZanSprite::CZanSprite(const CZanSprite& other) : CZanQuadGraphics(other), m_pTexture(nullptr)
{
    if (other.m_pTexture)
        m_pTexture = new CZanResPtr<CZanTexture>(*other.m_pTexture);
    m_Quad.pTexture = m_pTexture;
}

CZanSprite& CZanSprite::operator=(const CZanSprite& other)
{
    if (this != &other)
    {
        CZanQuadGraphics::operator=(other);
        CZanResPtr<CZanTexture>* old = m_pTexture;
        m_pTexture = other.m_pTexture ? new CZanResPtr<CZanTexture>(*other.m_pTexture) : nullptr;
        if (g_pGraphics)
            g_pGraphics->ForgetTexture(old);
        delete old;
        m_Quad.pTexture = m_pTexture;
    }
    return *this;
}

CZanSprite::~CZanSprite()
{
    ReleaseTexture();
}

void CZanSprite::ReleaseTexture()
{
    if (g_pGraphics)
        g_pGraphics->ForgetTexture(m_pTexture);
    delete m_pTexture;
    m_pTexture = nullptr;
    m_Quad.pTexture = nullptr;
}

void CZanSprite::CreateSprite(const char* texture, float x, float y)
{
    ReleaseTexture();
    if (!texture || std::strcmp(texture, kNoTexture) == 0)
        return;
    CZanResourceMgr* manager = CZanResourceMgr::Instance();
    if (!manager)
        return;
    m_pTexture = manager->GetTexture(texture);
    m_Quad.pTexture = m_pTexture;
    const CZanTexture* t = m_pTexture->Get();
    if (!t)
        return;
    const float w = t->GetWidth(), h = t->GetHeight();
    const float u0 = x / w, v0 = y / h;
    const float u1 = (x + m_fWidth) / w, v1 = (y + m_fHeight) / h;
    m_Quad.v[0].u = u0;
    m_Quad.v[0].v = v0;
    m_Quad.v[1].u = u1;
    m_Quad.v[1].v = v0;
    m_Quad.v[2].u = u1;
    m_Quad.v[2].v = v1;
    m_Quad.v[3].u = u0;
    m_Quad.v[3].v = v1;
}

void CZanSprite::Render()
{
    PlaceCorners(m_afCorner, m_Quad.v);
    if (g_pGraphics && !RenderShownParts())
        g_pGraphics->RenderQuadSoild(&m_Quad);
}

// Fully clear texels change nothing in any blend mode the engine sets (their alpha is 0), so
// only the parts of the texture window that show are drawn: a software rasteriser then shades
// far fewer fragments for logos, clouds and other round shapes. A part's corners and texture
// coordinates follow from the whole quad's by the same formulas, so the parts meet without
// seams and sample as the whole quad does. False when the whole quad is to be drawn.
bool CZanSprite::RenderShownParts()
{
    CZanTexture* texture = m_pTexture ? m_pTexture->Get() : nullptr;
    if (!texture)
        return false;
    const ZanVertex* v = m_Quad.v;
    const float tw = texture->GetWidth(), th = texture->GetHeight();
    const float left = v[0].u * tw, top = v[0].v * th, right = v[2].u * tw, bottom = v[2].v * th;
    const CZanTexture::Rect whole{int(std::lround(left)), int(std::lround(top)),
                                  int(std::lround(right)), int(std::lround(bottom))};
    // Only an upright, unflipped window on whole pixels.
    if (v[1].u != v[2].u || v[1].v != v[0].v || v[3].u != v[0].u || v[3].v != v[2].v ||
        std::fabs(left - float(whole.left)) > 1e-3f || std::fabs(top - float(whole.top)) > 1e-3f ||
        std::fabs(right - float(whole.right)) > 1e-3f ||
        std::fabs(bottom - float(whole.bottom)) > 1e-3f)
        return false;
    const std::vector<CZanTexture::Rect>* parts = texture->ShownParts(whole);
    if (!parts || (parts->size() == 1 && parts->front().left == whole.left &&
                   parts->front().top == whole.top && parts->front().right == whole.right &&
                   parts->front().bottom == whole.bottom))
        return false;
    const float w = float(whole.right - whole.left), h = float(whole.bottom - whole.top);
    const float x0 = m_afCorner[0], y0 = m_afCorner[1], x1 = m_afCorner[4], y1 = m_afCorner[5];
    ZanQuad quad = m_Quad;
    for (const CZanTexture::Rect& part : *parts)
    {
        const float l = x0 + (x1 - x0) * (float(part.left - whole.left) / w),
                    r = x0 + (x1 - x0) * (float(part.right - whole.left) / w),
                    t = y0 + (y1 - y0) * (float(part.top - whole.top) / h),
                    b = y0 + (y1 - y0) * (float(part.bottom - whole.top) / h);
        const float corners[8] = {l, t, r, t, r, b, l, b};
        PlaceCorners(corners, quad.v);
        quad.v[0].u = quad.v[3].u = float(part.left) / tw;
        quad.v[1].u = quad.v[2].u = float(part.right) / tw;
        quad.v[0].v = quad.v[1].v = float(part.top) / th;
        quad.v[2].v = quad.v[3].v = float(part.bottom) / th;
        g_pGraphics->RenderQuadSoild(&quad);
    }
    return true;
}
