// Software rasteriser of recorded frames. The rules match the OpenGL renderer's shader and
// blending exactly (up to 8-bit rounding), so both backends give the same picture.
#include "D3DInternal.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace
{
struct Color
{
    float r, g, b, a;
};

// n / 255 for every byte, computed once (division per channel is the rasteriser's hot spot).
struct UnormTable
{
    float value[256];
    UnormTable()
    {
        for (int i = 0; i < 256; ++i)
            value[i] = float(i) / 255.0f;
    }
};
const UnormTable kUnorm;

Color Unpack(uint32_t c)
{
    return {kUnorm.value[(c >> 16) & 0xFF], kUnorm.value[(c >> 8) & 0xFF], kUnorm.value[c & 0xFF],
            kUnorm.value[c >> 24]};
}

uint32_t Channel(float v)
{
    v = std::min(1.0f, std::max(0.0f, v));
    return uint32_t(v * 255.0f + 0.5f); // v >= 0: truncation rounds down
}

uint32_t Pack(const Color& c)
{
    return (Channel(c.a) << 24) | (Channel(c.r) << 16) | (Channel(c.g) << 8) | Channel(c.b);
}

float Clamp01(float v)
{
    return std::min(1.0f, std::max(0.0f, v));
}

struct ScreenVertex
{
    float x, y, invW;
    Color color;
    float u, v;
};

class DrawRasteriser
{
public:
    DrawRasteriser(const ZanD3DDraw& draw, std::vector<uint32_t>& picture, int width, int height,
                   bool covers, ZanD3DFrameCost* cost)
        : m_draw(draw), m_s(draw.state), m_picture(picture), m_width(width), m_height(height),
          m_cost(cost)
    {
        m_blend = m_s.alphaBlendEnable && !covers;
        m_matrix = zan::d3d::MultiplyMatrices(zan::d3d::MultiplyMatrices(m_s.world, m_s.view),
                                              m_s.projection);
        m_clipX0 = std::max<int>(0, int(m_s.viewport.X));
        m_clipY0 = std::max<int>(0, int(m_s.viewport.Y));
        m_clipX1 = std::min<int>(width, int(m_s.viewport.X + m_s.viewport.Width));
        m_clipY1 = std::min<int>(height, int(m_s.viewport.Y + m_s.viewport.Height));
        auto isArg = [](DWORD arg, DWORD what)
        { return arg == what || (what == D3DTA_DIFFUSE && arg == D3DTA_CURRENT); };
        m_plainStage = (m_s.colorOp == D3DTOP_MODULATE || m_s.colorOp == D3DTOP_ADD) &&
                       m_s.alphaOp == D3DTOP_MODULATE && isArg(m_s.colorArg1, D3DTA_TEXTURE) &&
                       isArg(m_s.colorArg2, D3DTA_DIFFUSE) && isArg(m_s.alphaArg1, D3DTA_TEXTURE) &&
                       isArg(m_s.alphaArg2, D3DTA_DIFFUSE);
        m_alphaBlend = m_s.srcBlend == D3DBLEND_SRCALPHA &&
                       (m_s.destBlend == D3DBLEND_INVSRCALPHA || m_s.destBlend == D3DBLEND_ONE) &&
                       (m_s.blendOp == D3DBLENDOP_ADD || m_s.blendOp == 0);
    }

    void Run()
    {
        const ZanD3DDraw& d = m_draw;
        const UINT n = d.indexed ? d.indexCount : d.vertexCount;
        auto at = [&](UINT k) { return Transform(VertexAt(k)); };
        switch (d.type)
        {
        case D3DPT_TRIANGLELIST:
            for (UINT k = 0; k + 2 < n; k += 3)
                Triangle(at(k), at(k + 1), at(k + 2));
            break;
        case D3DPT_TRIANGLESTRIP:
            for (UINT k = 0; k + 2 < n; ++k)
                if (k % 2 == 0)
                    Triangle(at(k), at(k + 1), at(k + 2));
                else
                    Triangle(at(k + 1), at(k), at(k + 2));
            break;
        case D3DPT_TRIANGLEFAN:
            for (UINT k = 1; k + 1 < n; ++k)
                Triangle(at(0), at(k), at(k + 1));
            break;
        case D3DPT_LINELIST:
            for (UINT k = 0; k + 1 < n; k += 2)
                Line(at(k), at(k + 1));
            break;
        case D3DPT_LINESTRIP:
            for (UINT k = 0; k + 1 < n; ++k)
                Line(at(k), at(k + 1));
            break;
        default:
            break; // points are not drawn
        }
    }

private:
    const ZanD3DVertex& VertexAt(UINT k) const
    {
        if (!m_draw.indexed)
            return m_draw.vertices[k];
        // The device checked every index against the buffer when it recorded the draw.
        return m_draw.vertices[int64_t(m_draw.baseVertex) + m_draw.indices[k]];
    }

    ScreenVertex Transform(const ZanD3DVertex& v) const
    {
        const D3DMATRIX& m = m_matrix;
        const float cx = v.x * m._11 + v.y * m._21 + v.z * m._31 + m._41;
        const float cy = v.x * m._12 + v.y * m._22 + v.z * m._32 + m._42;
        float cw = v.x * m._14 + v.y * m._24 + v.z * m._34 + m._44;
        if (cw == 0.0f)
            cw = 1e-20f;
        const float invW = 1.0f / cw;
        ScreenVertex s;
        s.x = float(m_s.viewport.X) + (cx * invW + 1.0f) * 0.5f * float(m_s.viewport.Width);
        s.y = float(m_s.viewport.Y) + (1.0f - cy * invW) * 0.5f * float(m_s.viewport.Height);
        s.invW = invW;
        s.color = Unpack(v.color);
        s.u = v.u;
        s.v = v.v;
        return s;
    }

    Color Sample(float u, float v) const
    {
        const ZanD3DTexturePixels& t = *m_draw.pixels;
        auto coord = [](float c, int size, DWORD mode)
        {
            const float scaled = c * float(size);
            int64_t i = 0;
            if (scaled >= 0.0f && scaled < float(size))
                return int(scaled); // inside the texture: no addressing needed
            if (std::isfinite(scaled))
            {
                const float f = std::max(-1e15f, std::min(1e15f, scaled));
                i = int64_t(f);
                if (float(i) > f)
                    --i; // round toward minus infinity
            }
            if (mode == D3DTADDRESS_CLAMP || mode == D3DTADDRESS_BORDER)
                return int(std::min<int64_t>(size - 1, std::max<int64_t>(0, i)));
            if (mode == D3DTADDRESS_MIRROR)
            {
                i %= 2 * int64_t(size);
                if (i < 0)
                    i += 2 * int64_t(size);
                return int(i < size ? i : 2 * int64_t(size) - 1 - i);
            }
            i %= size;
            return int(i < 0 ? i + size : i);
        };
        const int x = coord(u, t.width, m_s.addressU);
        const int y = coord(v, t.height, m_s.addressV);
        Color c = Unpack(t.pixels[size_t(y) * size_t(t.width) + size_t(x)]);
        if (t.opaque)
            c.a = 1.0f;
        return c;
    }

    Color Arg(DWORD arg, const Color& tex, const Color& diffuse) const
    {
        Color c;
        switch (arg & D3DTA_SELECTMASK)
        {
        case D3DTA_TEXTURE:
            c = tex;
            break;
        case D3DTA_TFACTOR:
            c = Unpack(m_s.textureFactor);
            break;
        case D3DTA_SPECULAR:
        case D3DTA_TEMP:
            c = {0, 0, 0, 0};
            break;
        default: // diffuse, and the current colour of the first stage
            c = diffuse;
            break;
        }
        if (arg & D3DTA_COMPLEMENT)
            c = {1 - c.r, 1 - c.g, 1 - c.b, 1 - c.a};
        if (arg & D3DTA_ALPHAREPLICATE)
            c.r = c.g = c.b = c.a;
        return c;
    }

    static float Op(DWORD op, float a1, float a2, float diffuse)
    {
        switch (op)
        {
        case D3DTOP_SELECTARG1:
            return a1;
        case D3DTOP_SELECTARG2:
            return a2;
        case D3DTOP_MODULATE:
            return a1 * a2;
        case D3DTOP_MODULATE2X:
            return Clamp01(2 * a1 * a2);
        case D3DTOP_MODULATE4X:
            return Clamp01(4 * a1 * a2);
        case D3DTOP_ADD:
            return Clamp01(a1 + a2);
        case D3DTOP_ADDSIGNED:
            return Clamp01(a1 + a2 - 0.5f);
        case D3DTOP_SUBTRACT:
            return Clamp01(a1 - a2);
        default: // disabled: the vertex colour passes through
            return diffuse;
        }
    }

    Color Shade(const Color& diffuse, float u, float v) const
    {
        if (!m_draw.pixels || m_draw.pixels->width <= 0 || m_draw.pixels->height <= 0)
            return diffuse; // no texture: the vertex colour alone
        const Color tex = Sample(u, v);
        if (m_plainStage)
        {
            // The engine's stage: texture and vertex colour, modulated or added.
            const float a = tex.a * diffuse.a;
            if (m_s.colorOp == D3DTOP_MODULATE)
                return {tex.r * diffuse.r, tex.g * diffuse.g, tex.b * diffuse.b, a};
            return {Clamp01(tex.r + diffuse.r), Clamp01(tex.g + diffuse.g),
                    Clamp01(tex.b + diffuse.b), a};
        }
        const Color c1 = Arg(m_s.colorArg1, tex, diffuse), c2 = Arg(m_s.colorArg2, tex, diffuse);
        const Color a1 = Arg(m_s.alphaArg1, tex, diffuse), a2 = Arg(m_s.alphaArg2, tex, diffuse);
        Color out;
        out.r = Op(m_s.colorOp, c1.r, c2.r, diffuse.r);
        out.g = Op(m_s.colorOp, c1.g, c2.g, diffuse.g);
        out.b = Op(m_s.colorOp, c1.b, c2.b, diffuse.b);
        out.a = Op(m_s.alphaOp, a1.a, a2.a, diffuse.a);
        return out;
    }

    bool AlphaPasses(float alpha) const
    {
        if (!m_s.alphaTestEnable)
            return true;
        const int a = int(Clamp01(alpha) * 255.0f + 0.5f);
        const int ref = int(m_s.alphaRef & 0xFF);
        switch (m_s.alphaFunc)
        {
        case D3DCMP_NEVER:
            return false;
        case D3DCMP_LESS:
            return a < ref;
        case D3DCMP_EQUAL:
            return a == ref;
        case D3DCMP_LESSEQUAL:
            return a <= ref;
        case D3DCMP_GREATER:
            return a > ref;
        case D3DCMP_NOTEQUAL:
            return a != ref;
        case D3DCMP_GREATEREQUAL:
            return a >= ref;
        default:
            return true;
        }
    }

    static float Factor(DWORD blend, const Color& src, const Color& dst, int channel)
    {
        const float s[4] = {src.r, src.g, src.b, src.a};
        const float d[4] = {dst.r, dst.g, dst.b, dst.a};
        switch (blend)
        {
        case D3DBLEND_ZERO:
            return 0;
        case D3DBLEND_ONE:
            return 1;
        case D3DBLEND_SRCCOLOR:
            return s[channel];
        case D3DBLEND_INVSRCCOLOR:
            return 1 - s[channel];
        case D3DBLEND_SRCALPHA:
            return src.a;
        case D3DBLEND_INVSRCALPHA:
            return 1 - src.a;
        case D3DBLEND_DESTALPHA:
            return dst.a;
        case D3DBLEND_INVDESTALPHA:
            return 1 - dst.a;
        case D3DBLEND_DESTCOLOR:
            return d[channel];
        case D3DBLEND_INVDESTCOLOR:
            return 1 - d[channel];
        case D3DBLEND_SRCALPHASAT:
            return channel == 3 ? 1 : std::min(src.a, 1 - dst.a);
        default:
            return blend == 0 ? 0 : 1;
        }
    }

    void Write(int x, int y, const Color& diffuse, float u, float v)
    {
        if (m_cost)
        {
            ++m_cost->fragments;
            if (m_draw.pixels && m_draw.pixels->width > 0 && m_draw.pixels->height > 0)
                ++m_cost->textured;
        }
        Color src = Shade(diffuse, u, v);
        src = {Clamp01(src.r), Clamp01(src.g), Clamp01(src.b), Clamp01(src.a)};
        if (!AlphaPasses(src.a))
            return;
        uint32_t& pixel = m_picture[size_t(y) * size_t(m_width) + size_t(x)];
        if (!m_blend)
        {
            pixel = Pack(src);
            return;
        }
        if (m_cost)
            ++m_cost->blended;
        const Color dst = Unpack(pixel);
        if (m_alphaBlend)
        {
            // Source alpha against inverse source alpha (or one): the engine's two blends.
            const float a = src.a, b = m_s.destBlend == D3DBLEND_ONE ? 1.0f : 1 - src.a;
            pixel = Pack({src.r * a + dst.r * b, src.g * a + dst.g * b, src.b * a + dst.b * b,
                          src.a * a + dst.a * b});
            return;
        }
        const float sv[4] = {src.r, src.g, src.b, src.a};
        const float dv[4] = {dst.r, dst.g, dst.b, dst.a};
        float out[4];
        for (int c = 0; c < 4; ++c)
        {
            const float a = sv[c] * Factor(m_s.srcBlend, src, dst, c);
            const float b = dv[c] * Factor(m_s.destBlend, src, dst, c);
            switch (m_s.blendOp)
            {
            case D3DBLENDOP_SUBTRACT:
                out[c] = a - b;
                break;
            case D3DBLENDOP_REVSUBTRACT:
                out[c] = b - a;
                break;
            case D3DBLENDOP_MIN:
                out[c] = std::min(sv[c], dv[c]);
                break;
            case D3DBLENDOP_MAX:
                out[c] = std::max(sv[c], dv[c]);
                break;
            default:
                out[c] = a + b;
                break;
            }
        }
        pixel = Pack({out[0], out[1], out[2], out[3]});
    }

    // Vertices snap to 1/256 pixel and edges are evaluated exactly in integers, as GPUs do,
    // so two triangles sharing an edge never both draw, nor both skip, a pixel on it.
    void Triangle(ScreenVertex p0, ScreenVertex p1, ScreenVertex p2)
    {
        constexpr float kSub = 256.0f, kLimit = 1 << 20;
        for (const ScreenVertex* p : {&p0, &p1, &p2})
            if (!std::isfinite(p->x) || !std::isfinite(p->y) || std::fabs(p->x) > kLimit ||
                std::fabs(p->y) > kLimit)
                return;
        struct Fixed
        {
            int64_t x, y;
        };
        auto snap = [&](const ScreenVertex& p) {
            return Fixed{int64_t(std::lround(p.x * kSub)), int64_t(std::lround(p.y * kSub))};
        };
        Fixed f0 = snap(p0), f1 = snap(p1), f2 = snap(p2);
        int64_t area = (f1.x - f0.x) * (f2.y - f0.y) - (f2.x - f0.x) * (f1.y - f0.y);
        if (area == 0)
            return;
        // Positive area: clockwise as seen on the screen (y down).
        if ((m_s.cullMode == D3DCULL_CCW && area < 0) || (m_s.cullMode == D3DCULL_CW && area > 0))
            return;
        if (area < 0)
        {
            std::swap(p1, p2);
            std::swap(f1, f2);
            area = -area;
        }
        const int64_t minX = std::min({f0.x, f1.x, f2.x}), maxX = std::max({f0.x, f1.x, f2.x});
        const int64_t minY = std::min({f0.y, f1.y, f2.y}), maxY = std::max({f0.y, f1.y, f2.y});
        auto ceilDiv = [](int64_t v) { return v >= 0 ? (v + 255) / 256 : -((-v) / 256); };
        auto floorDiv = [](int64_t v) { return v >= 0 ? v / 256 : -((-v + 255) / 256); };
        const int x0 = int(std::max<int64_t>(m_clipX0, ceilDiv(minX)));
        const int x1 = int(std::min<int64_t>(m_clipX1 - 1, floorDiv(maxX)));
        const int y0 = int(std::max<int64_t>(m_clipY0, ceilDiv(minY)));
        const int y1 = int(std::min<int64_t>(m_clipY1 - 1, floorDiv(maxY)));
        auto topLeft = [](const Fixed& a, const Fixed& b)
        { return (a.y == b.y && b.x > a.x) || b.y < a.y; };
        const bool tl0 = topLeft(f1, f2), tl1 = topLeft(f2, f0), tl2 = topLeft(f0, f1);
        auto edge = [](const Fixed& a, const Fixed& b, int64_t x, int64_t y)
        { return (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x); };
        const float invArea = 1.0f / float(area);
        // Edge values change by a constant step from one pixel to the next.
        const int64_t step0 = -(f2.y - f1.y) * 256, step1 = -(f0.y - f2.y) * 256,
                      step2 = -(f1.y - f0.y) * 256;
        for (int y = y0; y <= y1; ++y)
        {
            const int64_t fx0 = int64_t(x0) * 256, fy = int64_t(y) * 256;
            int64_t e0 = edge(f1, f2, fx0, fy) - step0, e1 = edge(f2, f0, fx0, fy) - step1,
                    e2 = edge(f0, f1, fx0, fy) - step2;
            for (int x = x0; x <= x1; ++x)
            {
                e0 += step0;
                e1 += step1;
                e2 += step2;
                if (e0 < 0 || e1 < 0 || e2 < 0 || (e0 == 0 && !tl0) || (e1 == 0 && !tl1) ||
                    (e2 == 0 && !tl2))
                    continue;
                const float l0 = float(e0) * invArea * p0.invW, l1 = float(e1) * invArea * p1.invW,
                            l2 = float(e2) * invArea * p2.invW;
                const float sum = l0 + l1 + l2;
                const float w0 = l0 / sum, w1 = l1 / sum, w2 = l2 / sum;
                const Color c{w0 * p0.color.r + w1 * p1.color.r + w2 * p2.color.r,
                              w0 * p0.color.g + w1 * p1.color.g + w2 * p2.color.g,
                              w0 * p0.color.b + w1 * p1.color.b + w2 * p2.color.b,
                              w0 * p0.color.a + w1 * p1.color.a + w2 * p2.color.a};
                Write(x, y, c, w0 * p0.u + w1 * p1.u + w2 * p2.u,
                      w0 * p0.v + w1 * p1.v + w2 * p2.v);
            }
        }
    }

    // Lines step along their major axis; the last pixel is left out, as Direct3D does.
    void Line(const ScreenVertex& a, const ScreenVertex& b)
    {
        const float dx = b.x - a.x, dy = b.y - a.y;
        if (!std::isfinite(dx) || !std::isfinite(dy) || (dx == 0 && dy == 0))
            return;
        const bool xMajor = std::fabs(dx) >= std::fabs(dy);
        const float start = xMajor ? a.x : a.y, end = xMajor ? b.x : b.y;
        const float length = end - start;
        const int i0 = int(std::max(-1e9f, std::min(1e9f, std::floor(start + 0.5f))));
        const int i1 = int(std::max(-1e9f, std::min(1e9f, std::floor(end + 0.5f))));
        const int step = i1 >= i0 ? 1 : -1;
        for (int i = i0; i != i1; i += step)
        {
            const float t = Clamp01((float(i) - start) / length);
            const float minor = xMajor ? a.y + t * dy : a.x + t * dx;
            const int j = int(std::max(-1e9f, std::min(1e9f, std::floor(minor + 0.5f))));
            const int x = xMajor ? i : j, y = xMajor ? j : i;
            if (x < m_clipX0 || x >= m_clipX1 || y < m_clipY0 || y >= m_clipY1)
                continue;
            const Color c{
                a.color.r + t * (b.color.r - a.color.r), a.color.g + t * (b.color.g - a.color.g),
                a.color.b + t * (b.color.b - a.color.b), a.color.a + t * (b.color.a - a.color.a)};
            Write(x, y, c, a.u + t * (b.u - a.u), a.v + t * (b.v - a.v));
        }
    }

    const ZanD3DDraw& m_draw;
    const ZanD3DDrawState& m_s;
    std::vector<uint32_t>& m_picture;
    int m_width, m_height;
    D3DMATRIX m_matrix;
    int m_clipX0, m_clipY0, m_clipX1, m_clipY1;
    bool m_plainStage = false, m_alphaBlend = false;
    bool m_blend = false; // blending that changes the picture
    ZanD3DFrameCost* m_cost;
};

void Rasterise(const ZanD3DFrameRecord& frame, std::vector<uint32_t>& picture,
               ZanD3DFrameCost* cost)
{
    // Texture opacity once per picture, not once per draw.
    std::map<const ZanD3DTexturePixels*, bool> opaque;
    auto covers = [&](const ZanD3DDraw& d)
    {
        bool texels = false;
        if (d.pixels)
        {
            auto found = opaque.find(d.pixels.get());
            if (found == opaque.end())
                found = opaque.emplace(d.pixels.get(), zan::d3d::TexelsOpaque(*d.pixels)).first;
            texels = found->second;
        }
        return zan::d3d::DrawWritesOpaque(d, texels);
    };
    const int w = std::max(0, frame.width), h = std::max(0, frame.height);
    if (picture.size() != size_t(w) * size_t(h))
        picture.assign(size_t(w) * size_t(h), 0u);
    size_t rect = 0;
    for (const ZanD3DCall& call : frame.calls)
    {
        if (call.op == ZanD3DOp::Clear)
        {
            for (uint32_t k = 0; k < call.c && rect < frame.clearRects.size(); ++k, ++rect)
            {
                const D3DRECT& r = frame.clearRects[rect];
                for (LONG y = std::max<LONG>(0, r.y1); y < std::min<LONG>(h, r.y2); ++y)
                    std::fill(picture.begin() + size_t(y) * w + std::max<LONG>(0, r.x1),
                              picture.begin() + size_t(y) * w + std::min<LONG>(w, r.x2), call.b);
            }
        }
        else if ((call.op == ZanD3DOp::Draw || call.op == ZanD3DOp::Text) &&
                 call.a < frame.draws.size())
        {
            const ZanD3DDraw& d = frame.draws[call.a];
            DrawRasteriser(d, picture, w, h, covers(d), cost).Run();
        }
    }
}
} // namespace

void ZanD3DRasterise(const ZanD3DFrameRecord& frame, std::vector<uint32_t>& picture)
{
    Rasterise(frame, picture, nullptr);
}

ZanD3DFrameCost ZanD3DMeasureFrame(const ZanD3DFrameRecord& frame)
{
    ZanD3DFrameCost cost;
    std::vector<uint32_t> picture;
    Rasterise(frame, picture, &cost);
    return cost;
}
