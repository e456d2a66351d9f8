#include "world/Backdrop.h"

#include "world/SKFMapMgr.h"
#include "world/Scenery.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>

namespace
{
CSkyObject* TintedSky(CZanObject* object)
{
    CSkyObject* sky = dynamic_cast<CSkyObject*>(object);
    if (!sky || !sky->GetSprite())
        return nullptr;
    return sky->GetKind() == SKY_TINTED || sky->GetKind() == SKY_TINTED_FAR ? sky : nullptr;
}

// What a map object draws, if anything.
CZanQuadGraphics* DrawableOf(CZanObject* object)
{
    if (CSkyObject* o = dynamic_cast<CSkyObject*>(object))
        return o->GetSprite();
    if (CCloud* o = dynamic_cast<CCloud*>(object))
        return o->GetSprite();
    if (CLooseBlock* o = dynamic_cast<CLooseBlock*>(object))
        return o->GetSprite();
    if (CWaterMesh* o = dynamic_cast<CWaterMesh*>(object))
        return o->GetMesh();
    return nullptr;
}

struct Box
{
    float left, top, right, bottom;
    bool Overlaps(const Box& o) const
    {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
};

// Where a quad can reach on screen; a mesh's nodes move freely, so it may reach anywhere.
Box BoundsOf(CZanQuadGraphics& q)
{
    if (dynamic_cast<CZanMesh*>(&q))
        return {-1e9f, -1e9f, 1e9f, 1e9f};
    float hx = std::fabs(q.GetScale().x) * q.GetWidth() / 2,
          hy = std::fabs(q.GetScale().y) * q.GetHeight() / 2;
    if (q.GetRot() != 0.0f)
        hx = hy = std::hypot(hx, hy);
    const CZanVector p = q.GetPosition();
    return {p.x - hx, p.y - hy, p.x + hx, p.y + hy};
}

bool Whole(float v)
{
    return v == std::floor(v);
}

unsigned Channel(uint32_t c, int shift)
{
    return (c >> shift) & 0xFFu;
}

// Source-over of one texel with opacity `a` (0..255) onto a canvas pixel.
uint32_t Over(uint32_t src, unsigned a, uint32_t dst)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8)
        out |= ((Channel(src, shift) * a + Channel(dst, shift) * (255 - a) + 127) / 255) << shift;
    const unsigned da = Channel(dst, 24);
    return out | ((a + (da * (255 - a) + 127) / 255) << 24);
}

// Paints one unrotated, pixel-aligned, unscaled (or mirrored) sprite onto the canvas as the
// renderer samples it: texel by texel at pixel centres, fully transparent texels dropped.
bool Paint(CZanSprite& sprite, std::vector<uint32_t>& canvas, int width, int height)
{
    const CZanVector scale = sprite.GetScale(), at = sprite.GetPosition();
    const float w = sprite.GetWidth(), h = sprite.GetHeight();
    if (sprite.GetRot() != 0.0f || std::fabs(scale.x) != 1.0f || std::fabs(scale.y) != 1.0f ||
        !Whole(at.x - w / 2) || !Whole(at.y - h / 2) || !Whole(w) || !Whole(h))
        return false;
    CZanResPtr<CZanTexture>* handle = sprite.GetTextureHandle();
    IDirect3DTexture9* texture = handle && handle->Get() ? handle->Get()->GetTexture() : nullptr;
    D3DSURFACE_DESC desc;
    D3DLOCKED_RECT locked;
    if (!texture || FAILED(texture->GetLevelDesc(0, &desc)) ||
        (desc.Format != D3DFMT_A8R8G8B8 && desc.Format != D3DFMT_X8R8G8B8) ||
        FAILED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY)))
        return false;
    const bool keepsAlpha = desc.Format == D3DFMT_A8R8G8B8;
    const ZanQuad& quad = sprite.GetQuad();
    const float u0 = quad.v[0].u, v0 = quad.v[0].v, u1 = quad.v[2].u, v1 = quad.v[2].v;
    const unsigned alpha = unsigned(sprite.GetAlpha() * 255.0f);
    const int left = int(at.x - w / 2), top = int(at.y - h / 2);
    for (int y = std::max(0, top); y < std::min(height, top + int(h)); ++y)
    {
        float ty = (float(y - top) + 0.5f) / h;
        ty = scale.y < 0 ? 1.0f - ty : ty;
        const int row = std::clamp(int(std::floor((v0 + ty * (v1 - v0)) * float(desc.Height))), 0,
                                   int(desc.Height) - 1);
        const uint32_t* texels = reinterpret_cast<const uint32_t*>(
            static_cast<const uint8_t*>(locked.pBits) + size_t(row) * size_t(locked.Pitch));
        for (int x = std::max(0, left); x < std::min(width, left + int(w)); ++x)
        {
            float tx = (float(x - left) + 0.5f) / w;
            tx = scale.x < 0 ? 1.0f - tx : tx;
            const int column = std::clamp(
                int(std::floor((u0 + tx * (u1 - u0)) * float(desc.Width))), 0, int(desc.Width) - 1);
            const uint32_t texel = texels[column];
            const unsigned a = (keepsAlpha ? Channel(texel, 24) : 255u) * alpha / 255u;
            if (a > 0)
                canvas[size_t(y) * size_t(width) + size_t(x)] =
                    Over(texel, a, canvas[size_t(y) * size_t(width) + size_t(x)]);
        }
    }
    texture->UnlockRect(0);
    return true;
}
const int kCell = 32;     // pixels on a side of a shaded square
const int kTolerance = 2; // levels a shaded pixel may differ from the picture

uint32_t At(const std::vector<uint32_t>& canvas, int width, int height, int x, int y)
{
    x = std::clamp(x, 0, width - 1);
    y = std::clamp(y, 0, height - 1);
    return canvas[size_t(y) * size_t(width) + size_t(x)];
}

// The colour at a corner between four pixels: their mean, so neighbouring squares share it.
uint32_t CornerColor(const std::vector<uint32_t>& canvas, int width, int height, int x, int y)
{
    const uint32_t p[4] = {At(canvas, width, height, x - 1, y - 1),
                           At(canvas, width, height, x, y - 1), At(canvas, width, height, x - 1, y),
                           At(canvas, width, height, x, y)};
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8)
        out |= ((Channel(p[0], shift) + Channel(p[1], shift) + Channel(p[2], shift) +
                 Channel(p[3], shift) + 2) /
                4)
               << shift;
    return out;
}

// Whether the square's two triangles (split from top left to bottom right, as the batcher
// indexes a quad) shade every pixel centre within the tolerance of the picture.
bool ShadesLikePicture(const std::vector<uint32_t>& canvas, int width, int left, int top, int right,
                       int bottom, const uint32_t* c)
{
    const float w = float(right - left), h = float(bottom - top);
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
        {
            const float fx = (float(x - left) + 0.5f) / w, fy = (float(y - top) + 0.5f) / h;
            const uint32_t want = canvas[size_t(y) * size_t(width) + size_t(x)];
            for (int shift = 0; shift < 24; shift += 8)
            {
                const float tl = float(Channel(c[0], shift)), tr = float(Channel(c[1], shift)),
                            br = float(Channel(c[2], shift)), bl = float(Channel(c[3], shift));
                const float v = fx >= fy ? tl + fx * (tr - tl) + fy * (br - tr)
                                         : tl + fy * (bl - tl) + fx * (br - bl);
                if (std::fabs(v - float(Channel(want, shift))) > float(kTolerance))
                    return false;
            }
        }
    return true;
}

// A colour times the tint, as the renderer modulates.
DWORD Tinted(uint32_t color, DWORD tint)
{
    DWORD out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8)
        out |= DWORD((Channel(color, shift) * Channel(tint, shift) + 127) / 255) << shift;
    return out;
}

ZanVertex Corner(float x, float y, DWORD color, float u, float v)
{
    return {x, y, 0.5f, color, u, v};
}
} // namespace

CBackdrop::CBackdrop()
    : m_nWidth(0), m_nHeight(0), m_nTopLevel(0), m_bRegistered(false), m_bShown(false),
      m_bEnabled(true)
{
}

CBackdrop::~CBackdrop()
{
    Release();
}

void CBackdrop::Build(int width, int height)
{
    Release();
    if (!g_pMapMgr || !g_pGraphics || width <= 0 || height <= 0)
        return;
    m_nWidth = width;
    m_nHeight = height;
    // In the render list's order: by level, then as the map made them.
    std::vector<CSkyObject*> layers;
    for (int i = 0; i < g_pMapMgr->GetObjectCount(); ++i)
        if (CSkyObject* sky = TintedSky(g_pMapMgr->GetObject(i)))
            layers.push_back(sky);
    std::stable_sort(layers.begin(), layers.end(),
                     [](CSkyObject* a, CSkyObject* b) {
                         return a->GetSprite()->GetRenderLevel() < b->GetSprite()->GetRenderLevel();
                     });
    std::vector<CZanSprite*> sprites;
    for (CSkyObject* sky : layers)
    {
        CZanSprite* s = sky->GetSprite();
        m_vecLayers.push_back({sky->GetID(), s->GetPosition(), s->GetScale(), s->GetAlpha()});
        sprites.push_back(s);
    }
    if (sprites.empty() || !Compose(sprites))
    {
        m_vecLayers.clear();
        return;
    }
    SetRenderLevel(sprites.front()->GetRenderLevel());
    m_nTopLevel = sprites.back()->GetRenderLevel();
    g_pGraphics->AddRender(this);
    m_bRegistered = true;
}

bool CBackdrop::Compose(const std::vector<CZanSprite*>& sprites)
{
    std::vector<uint32_t> canvas(size_t(m_nWidth) * size_t(m_nHeight), 0u);
    for (CZanSprite* sprite : sprites)
        if (!Paint(*sprite, canvas, m_nWidth, m_nHeight))
            return false;
    // Drawn without blending, so it must cover the window.
    for (uint32_t pixel : canvas)
        if ((pixel >> 24) != 0xFF)
            return false;
    if (g_pGraphics)
        g_pGraphics->ForgetTexture(&m_Texture);
    CZanTexture* texture = new CZanTexture(float(m_nWidth), float(m_nHeight));
    m_Texture = CZanResPtr<CZanTexture>(texture);
    D3DLOCKED_RECT locked;
    IDirect3DTexture9* d3d = texture->GetTexture();
    if (!d3d || FAILED(d3d->LockRect(0, &locked, nullptr, 0)))
    {
        m_Texture = CZanResPtr<CZanTexture>();
        return false;
    }
    for (int y = 0; y < m_nHeight; ++y)
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + size_t(y) * size_t(locked.Pitch),
                    &canvas[size_t(y) * size_t(m_nWidth)], size_t(m_nWidth) * 4);
    d3d->UnlockRect(0);
    Divide(canvas);
    return true;
}

// Squares of kCell, or of half that where the large one does not shade like the picture;
// what neither can shade is drawn from the texture, in rows joined where they touch.
void CBackdrop::Divide(const std::vector<uint32_t>& canvas)
{
    m_vecShaded.clear();
    m_vecTextured.clear();
    struct Rect
    {
        int top, bottom, left, right;
    };
    std::vector<Rect> textured;
    auto cellOf = [&](int left, int top, int right, int bottom)
    {
        Cell cell{float(left), float(top), float(right), float(bottom), {}};
        cell.corner[0] = CornerColor(canvas, m_nWidth, m_nHeight, left, top);
        cell.corner[1] = CornerColor(canvas, m_nWidth, m_nHeight, right, top);
        cell.corner[2] = CornerColor(canvas, m_nWidth, m_nHeight, right, bottom);
        cell.corner[3] = CornerColor(canvas, m_nWidth, m_nHeight, left, bottom);
        return cell;
    };
    auto shades = [&](const Cell& c)
    {
        return ShadesLikePicture(canvas, m_nWidth, int(c.left), int(c.top), int(c.right),
                                 int(c.bottom), c.corner);
    };
    // Covers [left, right) x [top, bottom) with cells of `size`, smooth neighbours joined into
    // one wide strip while it still shades like the picture (fewer triangles to set up); hands
    // each cell that does not shade to `rough`.
    auto strip = [&](int top, int bottom, int left, int right, int size, auto&& rough)
    {
        while (left < right)
        {
            int end = std::min(right, left + size);
            Cell cell = cellOf(left, top, end, bottom);
            if (!shades(cell))
            {
                rough(left, end);
                left = end;
                continue;
            }
            while (end < right)
            {
                const Cell wider = cellOf(left, top, std::min(right, end + size), bottom);
                if (!shades(wider))
                    break;
                cell = wider;
                end = int(wider.right);
            }
            m_vecShaded.push_back(cell);
            left = end;
        }
    };
    for (int top = 0; top < m_nHeight; top += kCell)
    {
        const int bottom = std::min(m_nHeight, top + kCell),
                  middle = std::min(bottom, top + kCell / 2);
        std::vector<std::pair<int, int>> rough;
        strip(top, bottom, 0, m_nWidth, kCell,
              [&](int l, int r)
              {
                  if (!rough.empty() && rough.back().second == l)
                      rough.back().second = r;
                  else
                      rough.push_back({l, r});
              });
        // Rough stretches again in half-size cells; what is still rough is sampled.
        for (const auto& run : rough)
            for (const auto& half : {std::make_pair(top, middle), std::make_pair(middle, bottom)})
                if (half.first < half.second)
                    strip(half.first, half.second, run.first, run.second, kCell / 2,
                          [&](int l, int r) {
                              textured.push_back({half.first, half.second, l, r});
                          });
    }
    std::sort(textured.begin(), textured.end(),
              [](const Rect& a, const Rect& b)
              { return std::tie(a.top, a.bottom, a.left) < std::tie(b.top, b.bottom, b.left); });
    const float w = float(m_nWidth), h = float(m_nHeight);
    for (size_t i = 0; i < textured.size();)
    {
        Rect r = textured[i++];
        while (i < textured.size() && textured[i].top == r.top && textured[i].bottom == r.bottom &&
               textured[i].left == r.right)
            r.right = textured[i++].right;
        const float x0 = float(r.left), x1 = float(r.right), y0 = float(r.top),
                    y1 = float(r.bottom);
        ZanQuad q{};
        q.v[0] = Corner(x0, y0, 0, x0 / w, y0 / h);
        q.v[1] = Corner(x1, y0, 0, x1 / w, y0 / h);
        q.v[2] = Corner(x1, y1, 0, x1 / w, y1 / h);
        q.v[3] = Corner(x0, y1, 0, x0 / w, y1 / h);
        q.pTexture = &m_Texture;
        q.nBlend = ZAN_BLEND_DEFAULT;
        m_vecTextured.push_back(q);
    }
}

// The layers may be drawn as one at the lowest one's place while whatever the render list puts
// between them lies clear of every layer drawn over it, and they share one colour.
bool CBackdrop::CanShow() const
{
    CZanEngine* engine = CZanEngine::Instance();
    if (!engine || !m_Texture.Get() || !g_pMapMgr)
        return false;
    std::vector<std::pair<int, Box>> boxes;
    unsigned long color = 0;
    for (size_t i = 0; i < m_vecLayers.size(); ++i)
    {
        CSkyObject* sky = TintedSky(engine->GetObject(m_vecLayers[i].id));
        if (!sky)
            return false;
        CZanSprite* s = sky->GetSprite();
        const unsigned long rgb = s->GetColor().GetHWColor() & 0xFFFFFFUL;
        if (i > 0 && rgb != color)
            return false;
        color = rgb;
        boxes.push_back({s->GetRenderLevel(), BoundsOf(*s)});
    }
    for (int i = 0; i < g_pMapMgr->GetObjectCount(); ++i)
    {
        CZanObject* object = g_pMapMgr->GetObject(i);
        if (TintedSky(object))
            continue;
        CZanQuadGraphics* q = DrawableOf(object);
        if (!q || !q->IsVisible() || q->GetRenderLevel() > m_nTopLevel)
            continue;
        const Box box = BoundsOf(*q);
        for (const auto& layer : boxes)
            if (layer.first >= q->GetRenderLevel() && layer.second.Overlaps(box))
                return false;
    }
    return true;
}

void CBackdrop::ShowLayers(bool visible)
{
    CZanEngine* engine = CZanEngine::Instance();
    for (const Layer& layer : m_vecLayers)
        if (CSkyObject* sky = TintedSky(engine ? engine->GetObject(layer.id) : nullptr))
            sky->GetSprite()->SetVisible(visible);
}

void CBackdrop::Update()
{
    if (!m_bRegistered)
        return;
    CZanEngine* engine = CZanEngine::Instance();
    bool changed = false;
    std::vector<CZanSprite*> sprites;
    for (Layer& layer : m_vecLayers)
    {
        CSkyObject* sky = TintedSky(engine ? engine->GetObject(layer.id) : nullptr);
        if (!sky)
            continue;
        CZanSprite* s = sky->GetSprite();
        sprites.push_back(s);
        const CZanVector p = s->GetPosition(), k = s->GetScale();
        if (p.x != layer.position.x || p.y != layer.position.y || k.x != layer.scale.x ||
            k.y != layer.scale.y || s->GetAlpha() != layer.alpha)
        {
            layer = {layer.id, p, k, s->GetAlpha()};
            changed = true;
        }
    }
    // Moved or faded layers are composed again; ones that can no longer be composed are drawn.
    if (changed && (sprites.size() != m_vecLayers.size() || !Compose(sprites)))
        m_Texture = CZanResPtr<CZanTexture>();
    m_bShown = m_bEnabled && CanShow();
    ShowLayers(!m_bShown);
}

void CBackdrop::Render()
{
    CZanEngine* engine = CZanEngine::Instance();
    CSkyObject* first = m_bShown && engine && !m_vecLayers.empty()
                            ? TintedSky(engine->GetObject(m_vecLayers[0].id))
                            : nullptr;
    if (!first || !g_pGraphics)
        return;
    // The hour's colour, taken as the layers have it this frame; the picture is opaque.
    const DWORD tint = DWORD(first->GetSprite()->GetColor().GetHWColor()) | 0xFF000000u;
    for (ZanQuad& q : m_vecTextured)
    {
        for (ZanVertex& v : q.v)
            v.color = tint;
        g_pGraphics->RenderQuadSoild(&q);
    }
    ZanQuad q{};
    q.nBlend = ZAN_BLEND_DEFAULT;
    for (const Cell& c : m_vecShaded)
    {
        q.v[0] = Corner(c.left, c.top, Tinted(c.corner[0], tint), 0, 0);
        q.v[1] = Corner(c.right, c.top, Tinted(c.corner[1], tint), 0, 0);
        q.v[2] = Corner(c.right, c.bottom, Tinted(c.corner[2], tint), 0, 0);
        q.v[3] = Corner(c.left, c.bottom, Tinted(c.corner[3], tint), 0, 0);
        g_pGraphics->RenderQuadSoild(&q);
    }
}

void CBackdrop::Release()
{
    ShowLayers(true);
    m_vecLayers.clear();
    m_vecShaded.clear();
    m_vecTextured.clear();
    m_bShown = false;
    if (m_bRegistered && g_pGraphics)
        g_pGraphics->DelRender(this);
    m_bRegistered = false;
    if (g_pGraphics)
        g_pGraphics->ForgetTexture(&m_Texture);
    m_Texture = CZanResPtr<CZanTexture>();
}
