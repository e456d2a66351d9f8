// D3DX fonts on FreeType and fontconfig. Glyphs are rendered once into atlas textures
// (white, coverage in alpha) and text is drawn as textured quads through the device.
#include "D3DInternal.h"
#include "ZanD3DX9.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include <unordered_map>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

namespace
{
using zan::d3d::Device;
using zan::d3d::Storage;
using zan::d3d::Texture;

constexpr int kAtlasSize = 512;

// Whether the face has ideographs (then its em fills a line, as in 黑体 or 宋体).
bool CoversChinese(FT_Face face)
{
    return FT_Get_Char_Index(face, 0x53E3) != 0;
}

FT_Library Library()
{
    static FT_Library library = []
    {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib) != 0)
            lib = nullptr;
        return lib;
    }();
    return library;
}

// The font file for a face name; a Chinese language hint makes CJK names find a CJK face.
bool FindFontFile(const std::string& faceUtf8, bool bold, bool italic, std::string* file,
                  int* index)
{
    if (!FcInit())
        return false;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern)
        return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(faceUtf8.c_str()));
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("zh-cn"));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match)
        return false;
    FcChar8* path = nullptr;
    int faceIndex = 0;
    bool ok = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path;
    if (ok)
    {
        *file = reinterpret_cast<const char*>(path);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &faceIndex) != FcResultMatch)
            faceIndex = 0;
        *index = faceIndex;
    }
    FcPatternDestroy(match);
    return ok;
}

struct Glyph
{
    int page = -1; // -1: nothing to draw (space, or a glyph that failed)
    int x = 0, y = 0, w = 0, h = 0;
    int left = 0, top = 0, advance = 0;
};

class Font : public zan::d3d::RefCounted<ID3DXFont>
{
public:
    Font(IDirect3DDevice9* device, FT_Face face, const D3DXFONT_DESCA& desc, bool bold, bool italic)
        : m_device(device), m_face(face), m_desc(desc), m_bold(bold), m_italic(italic)
    {
        m_device->AddRef();
        m_ascent = int(m_face->size->metrics.ascender >> 6);
        m_lineHeight = int(m_face->size->metrics.height >> 6);
        if (m_lineHeight <= 0)
            m_lineHeight = std::max(1, int(m_face->size->metrics.y_ppem));
        if (desc.Height > 0)
        {
            // A cell height: lines are exactly that tall. Ideographs fill the cell, as in the
            // Chinese faces the game names: the baseline goes where their tops meet the cell's.
            m_lineHeight = desc.Height;
            if (CoversChinese(m_face))
            {
                int top = 0;
                for (char32_t c : {U'\u4E2D', U'\u56FD', U'\u53E3', U'\u4F60', U'\u5929', U'\u5F97',
                                   U'\u6C14', U'\u7403', U'\u7B2C', U'\u9AD8'})
                    if (FT_Load_Char(m_face, c, FT_LOAD_RENDER) == 0)
                        top = std::max(top, int(m_face->glyph->bitmap_top));
                if (top > 0)
                    m_ascent = std::min(top, desc.Height);
            }
        }
    }

    ~Font() override
    {
        for (Texture* page : m_pages)
            page->Release();
        FT_Done_Face(m_face);
        m_device->Release();
    }

    HRESULT GetDevice(IDirect3DDevice9** device) override
    {
        if (!device)
            return D3DERR_INVALIDCALL;
        m_device->AddRef();
        *device = m_device;
        return D3D_OK;
    }

    HRESULT GetDescA(D3DXFONT_DESCA* desc) override
    {
        if (!desc)
            return D3DERR_INVALIDCALL;
        *desc = m_desc;
        return D3D_OK;
    }

    HRESULT OnLostDevice() override { return D3D_OK; }
    HRESULT OnResetDevice() override { return D3D_OK; }

    INT DrawTextA(ID3DXSprite*, LPCSTR text, INT count, RECT* rect, DWORD format,
                  D3DCOLOR color) override
    {
        if (!text || !rect)
            return 0;
        const size_t length = count < 0 ? std::strlen(text) : strnlen(text, size_t(count));
        if (length == 0)
            return 0;
        const std::u32string chars = ZanGbkToUtf32(std::string(text, length));

        // Lines and their widths.
        std::vector<std::pair<size_t, size_t>> lines; // [begin, end) in chars
        std::vector<int> widths;
        size_t begin = 0;
        for (size_t i = 0; i <= chars.size(); ++i)
        {
            const bool end = i == chars.size();
            if (!end && (chars[i] != U'\n' || (format & DT_SINGLELINE)))
                continue;
            lines.emplace_back(begin, i);
            int width = 0;
            for (size_t k = begin; k < i; ++k)
                width += GlyphOf(chars[k]).advance;
            widths.push_back(width);
            begin = i + 1;
        }
        const int textHeight = int(lines.size()) * m_lineHeight;
        int maxWidth = 0;
        for (int w : widths)
            maxWidth = std::max(maxWidth, w);
        if (format & DT_CALCRECT)
        {
            rect->right = rect->left + maxWidth;
            rect->bottom = rect->top + textHeight;
            return textHeight;
        }

        int top = rect->top;
        if (format & DT_BOTTOM)
            top = rect->bottom - textHeight;
        else if (format & DT_VCENTER)
            top = rect->top + (rect->bottom - rect->top - textHeight) / 2;
        const bool clip = !(format & DT_NOCLIP);

        // One vertex list per atlas page.
        std::vector<std::shared_ptr<Storage>> batches(m_pages.size());
        for (size_t l = 0; l < lines.size(); ++l)
        {
            int x = rect->left;
            if (format & DT_RIGHT)
                x = rect->right - widths[l];
            else if (format & DT_CENTER)
                x = rect->left + (rect->right - rect->left - widths[l]) / 2;
            const int baseline = top + int(l) * m_lineHeight + m_ascent;
            for (size_t k = lines[l].first; k < lines[l].second; ++k)
            {
                const Glyph g = GlyphOf(chars[k]);
                if (g.page >= 0)
                {
                    int x0 = x + g.left, y0 = baseline - g.top, x1 = x0 + g.w, y1 = y0 + g.h;
                    int u0 = g.x, v0 = g.y;
                    if (clip)
                    {
                        const int cx0 = std::max(x0, int(rect->left)),
                                  cy0 = std::max(y0, int(rect->top));
                        const int cx1 = std::min(x1, int(rect->right)),
                                  cy1 = std::min(y1, int(rect->bottom));
                        u0 += cx0 - x0;
                        v0 += cy0 - y0;
                        x0 = cx0, y0 = cy0, x1 = cx1, y1 = cy1;
                    }
                    if (x1 > x0 && y1 > y0)
                    {
                        if (batches.size() < m_pages.size())
                            batches.resize(m_pages.size());
                        auto& batch = batches[size_t(g.page)];
                        if (!batch)
                            batch = std::make_shared<Storage>();
                        AddQuad(*batch, x0, y0, x1, y1, u0, v0, color);
                    }
                }
                x += g.advance;
            }
        }
        Device* device = static_cast<Device*>(m_device);
        for (size_t p = 0; p < batches.size(); ++p)
            if (batches[p] && !batches[p]->empty())
            {
                const UINT triangles = UINT(batches[p]->size() / (3 * sizeof(ZanD3DVertex)));
                device->DrawText(m_pages[p], batches[p], triangles);
            }
        // Placed lower in the rectangle, the text ends that much further below its top.
        return (format & (DT_BOTTOM | DT_VCENTER)) ? top - rect->top + textHeight : textHeight;
    }

private:
    static void AddQuad(Storage& out, int x0, int y0, int x1, int y1, int u0, int v0,
                        D3DCOLOR color)
    {
        const float s = 1.0f / kAtlasSize;
        const float fu0 = u0 * s, fv0 = v0 * s, fu1 = (u0 + x1 - x0) * s, fv1 = (v0 + y1 - y0) * s;
        const ZanD3DVertex tl{float(x0), float(y0), 0, color, fu0, fv0};
        const ZanD3DVertex tr{float(x1), float(y0), 0, color, fu1, fv0};
        const ZanD3DVertex br{float(x1), float(y1), 0, color, fu1, fv1};
        const ZanD3DVertex bl{float(x0), float(y1), 0, color, fu0, fv1};
        const ZanD3DVertex quad[6] = {tl, tr, br, tl, br, bl};
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(quad);
        out.insert(out.end(), bytes, bytes + sizeof quad);
    }

    const Glyph& GlyphOf(char32_t c)
    {
        auto found = m_glyphs.find(c);
        if (found != m_glyphs.end())
            return found->second;
        Glyph g;
        if (c == U'\t')
            c = U' ';
        if (c >= 0x20 && FT_Load_Char(m_face, c, FT_LOAD_DEFAULT) == 0)
        {
            FT_GlyphSlot slot = m_face->glyph;
            if (m_bold)
                FT_GlyphSlot_Embolden(slot);
            if (m_italic)
                FT_GlyphSlot_Oblique(slot);
            g.advance = int((slot->advance.x + 32) >> 6);
            if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) == 0)
            {
                const FT_Bitmap& bm = slot->bitmap;
                g.left = slot->bitmap_left;
                g.top = slot->bitmap_top;
                if (bm.width > 0 && bm.rows > 0 && bm.width < unsigned(kAtlasSize) &&
                    bm.rows < unsigned(kAtlasSize) && bm.pixel_mode == FT_PIXEL_MODE_GRAY)
                    Place(bm, g);
            }
        }
        return m_glyphs.emplace(c, g).first->second;
    }

    // Copies a glyph bitmap into the atlas, starting a new page when the current one is full.
    void Place(const FT_Bitmap& bm, Glyph& g)
    {
        const int w = int(bm.width), h = int(bm.rows);
        if (m_pages.empty() || m_penX + w + 1 > kAtlasSize)
        {
            m_penX = 1;
            m_penY += m_rowHeight + 1;
            m_rowHeight = 0;
        }
        if (m_pages.empty() || m_penY + h + 1 > kAtlasSize)
        {
            IDirect3DTexture9* page = nullptr;
            if (FAILED(m_device->CreateTexture(kAtlasSize, kAtlasSize, 1, 0, D3DFMT_A8R8G8B8,
                                               D3DPOOL_MANAGED, &page, nullptr)))
                return;
            m_pages.push_back(static_cast<Texture*>(page));
            m_penX = m_penY = 1;
            m_rowHeight = 0;
        }
        Texture* page = m_pages.back();
        D3DLOCKED_RECT locked;
        RECT area{m_penX, m_penY, m_penX + w, m_penY + h};
        if (FAILED(page->LockRect(0, &locked, &area, 0)))
            return;
        for (int y = 0; y < h; ++y)
        {
            uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) +
                                                        size_t(y) * size_t(locked.Pitch));
            const unsigned char* src = bm.buffer + ptrdiff_t(y) * bm.pitch;
            for (int x = 0; x < w; ++x)
                row[x] = (uint32_t(src[x]) << 24) | 0x00FFFFFFu;
        }
        page->UnlockRect(0);
        g.page = int(m_pages.size() - 1);
        g.x = m_penX;
        g.y = m_penY;
        g.w = w;
        g.h = h;
        m_penX += w + 1;
        m_rowHeight = std::max(m_rowHeight, h);
    }

    IDirect3DDevice9* m_device;
    FT_Face m_face;
    D3DXFONT_DESCA m_desc;
    bool m_bold, m_italic;
    int m_ascent = 0, m_lineHeight = 1;
    std::unordered_map<char32_t, Glyph> m_glyphs;
    std::vector<Texture*> m_pages;
    int m_penX = 1, m_penY = 1, m_rowHeight = 0;
};
} // namespace

HRESULT D3DXCreateFontA(IDirect3DDevice9* device, INT height, UINT width, UINT weight,
                        UINT mipLevels, BOOL italic, DWORD charSet, DWORD outputPrecision,
                        DWORD quality, DWORD pitchAndFamily, LPCSTR faceName, ID3DXFont** font)
{
    if (!font)
        return D3DERR_INVALIDCALL;
    *font = nullptr;
    if (!device || !faceName || height < -4096 || height > 4096 || width > 4096)
        return D3DERR_INVALIDCALL;
    FT_Library library = Library();
    if (!library)
        return D3DERR_NOTAVAILABLE;
    const bool bold = weight >= 600;
    std::string file;
    int index = 0;
    if (!FindFontFile(ZanGbkToUtf8(faceName), bold, italic != FALSE, &file, &index))
        return D3DERR_NOTAVAILABLE;
    FT_Face face = nullptr;
    if (FT_New_Face(library, file.c_str(), index, &face) != 0)
        return D3DERR_NOTAVAILABLE;
    FT_Size_RequestRec request{};
    // A positive height is the cell (ascent + descent); the Chinese faces the game names have
    // a cell exactly one em tall, so for faces with ideographs either sign gives the em size.
    request.type = height > 0 && !CoversChinese(face) ? FT_SIZE_REQUEST_TYPE_REAL_DIM
                                                      : FT_SIZE_REQUEST_TYPE_NOMINAL;
    const int pixels = height == 0 ? 16 : (height < 0 ? -height : height);
    request.height = FT_Long(pixels) << 6;
    if (FT_Request_Size(face, &request) != 0 && FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixels)) != 0)
    {
        FT_Done_Face(face);
        return D3DERR_NOTAVAILABLE;
    }
    D3DXFONT_DESCA desc{};
    desc.Height = height;
    desc.Width = width;
    desc.Weight = weight;
    desc.MipLevels = mipLevels;
    desc.Italic = italic;
    desc.CharSet = BYTE(charSet);
    desc.OutputPrecision = BYTE(outputPrecision);
    desc.Quality = BYTE(quality);
    desc.PitchAndFamily = BYTE(pitchAndFamily);
    std::snprintf(desc.FaceName, sizeof desc.FaceName, "%s", faceName);
    *font = new Font(device, face, desc, bold, italic != FALSE);
    return D3D_OK;
}
