// Which draws cover what lies beneath them: a draw whose every fragment leaves with alpha 1
// gives the same pixel with (source alpha, inverse source alpha) blending as without it, so
// both backends write it straight, and a software rasteriser need not read the target.
#include "D3DInternal.h"

namespace zan::d3d
{
namespace
{
// Whether stage 0's argument reads as alpha 1 for every fragment.
bool ArgumentOpaque(DWORD arg, bool texels, bool vertices, DWORD factor)
{
    switch (arg)
    {
    case D3DTA_TEXTURE:
        return texels;
    case D3DTA_DIFFUSE:
    case D3DTA_CURRENT: // stage 0's current is the diffuse colour
        return vertices;
    case D3DTA_TFACTOR:
        return (factor >> 24) == 0xFF;
    default: // modifiers and other sources are not worth proving
        return false;
    }
}

// Whether the alpha test lets a fragment of alpha 255 through.
bool TestPassesOpaque(const ZanD3DDrawState& s)
{
    if (!s.alphaTestEnable)
        return true;
    const DWORD ref = s.alphaRef & 0xFF;
    switch (s.alphaFunc)
    {
    case D3DCMP_NEVER:
        return false;
    case D3DCMP_LESS:
        return false;
    case D3DCMP_EQUAL:
        return ref == 0xFF;
    case D3DCMP_LESSEQUAL:
        return ref == 0xFF;
    case D3DCMP_GREATER:
        return ref < 0xFF;
    case D3DCMP_NOTEQUAL:
        return ref != 0xFF;
    default: // GREATEREQUAL, ALWAYS
        return true;
    }
}

// The vertices a draw reads, in one run.
const ZanD3DVertex* UsedVertices(const ZanD3DDraw& d, size_t& count)
{
    if (!d.indexed)
    {
        count = d.vertexCount;
        return d.vertices;
    }
    count = size_t(d.maxIndex) - d.minIndex + 1;
    return d.vertices ? d.vertices + int64_t(d.baseVertex) + d.minIndex : nullptr;
}

bool VerticesOpaque(const ZanD3DDraw& d)
{
    size_t count = 0;
    const ZanD3DVertex* v = UsedVertices(d, count);
    if (!v)
        return false;
    for (size_t i = 0; i < count; ++i)
        if ((v[i].color >> 24) != 0xFF)
            return false;
    return true;
}

bool PlainBlend(const ZanD3DDrawState& s)
{
    return s.srcBlend == D3DBLEND_SRCALPHA && s.destBlend == D3DBLEND_INVSRCALPHA &&
           (s.blendOp == D3DBLENDOP_ADD || s.blendOp == 0);
}
} // namespace

bool TexelsOpaque(const ZanD3DTexturePixels& p)
{
    if (p.opaque)
        return true;
    for (uint32_t texel : p.pixels)
        if ((texel >> 24) != 0xFF)
            return false;
    return true;
}

bool DrawWritesOpaque(const ZanD3DDraw& d, bool texelsOpaque)
{
    const ZanD3DDrawState& s = d.state;
    if (d.type != D3DPT_TRIANGLELIST && d.type != D3DPT_TRIANGLESTRIP &&
        d.type != D3DPT_TRIANGLEFAN)
        return false;
    if ((s.alphaBlendEnable && !PlainBlend(s)) || !TestPassesOpaque(s))
        return false;
    if (!s.alphaBlendEnable && !s.alphaTestEnable)
        return true; // nothing to prove: the fragment is written as it is
    const bool textured = d.pixels && d.pixels->width > 0 && d.pixels->height > 0;
    bool vertices = false, checked = false;
    auto opaque = [&](DWORD arg)
    {
        if (!textured)
            arg = D3DTA_DIFFUSE; // without a texture the fragment is the vertex colour
        if ((arg == D3DTA_DIFFUSE || arg == D3DTA_CURRENT) && !checked)
        {
            vertices = VerticesOpaque(d);
            checked = true;
        }
        return ArgumentOpaque(arg, texelsOpaque, vertices, s.textureFactor);
    };
    if (!textured)
        return opaque(D3DTA_DIFFUSE);
    switch (s.alphaOp)
    {
    case D3DTOP_SELECTARG1:
        return opaque(s.alphaArg1);
    case D3DTOP_SELECTARG2:
        return opaque(s.alphaArg2);
    case D3DTOP_MODULATE:
        return opaque(s.alphaArg1) && opaque(s.alphaArg2);
    default:
        return false;
    }
}

bool VerticesShareColor(const ZanD3DDraw& d, D3DCOLOR& color)
{
    size_t count = 0;
    const ZanD3DVertex* v = UsedVertices(d, count);
    if (!v || count == 0)
        return false;
    for (size_t i = 1; i < count; ++i)
        if (v[i].color != v[0].color)
            return false;
    color = v[0].color;
    return true;
}

bool AlphaTestHidesOnlyUnseen(const ZanD3DDrawState& s)
{
    if (!s.alphaBlendEnable || !PlainBlend(s))
        return false;
    const DWORD ref = s.alphaRef & 0xFF;
    switch (s.alphaFunc)
    {
    case D3DCMP_ALWAYS:
        return true;
    case D3DCMP_GREATEREQUAL:
        return ref <= 1;
    case D3DCMP_GREATER:
    case D3DCMP_NOTEQUAL:
        return ref == 0;
    default:
        return false;
    }
}
} // namespace zan::d3d
