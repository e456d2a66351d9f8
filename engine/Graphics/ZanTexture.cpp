// Texture resources: an image file or an empty texture on the graphics device.
#include "Zan/ZanGraphics.h"
#include "ZanGraphicsLog.h"
#include "Resource/ZanBudget.h"

#include <algorithm>

namespace
{
const char* const kSource = "Graphics\\ZanTexture";
const int kBand = 16;           // rows of a band of parts, and the gap worth cutting out
const size_t kMostParts = 64;   // beyond this, the bounding box alone
const size_t kMostRects = 1024; // rectangles remembered per texture

IDirect3DDevice9* Device()
{
    return g_pGraphics ? g_pGraphics->GetDevice() : nullptr;
}
} // namespace

CZanTexture::CZanTexture(const char* path)
    : m_pTexture(nullptr), m_fWidth(0.0f), m_fHeight(0.0f), m_bBudgeted(false), m_bLoaded(false)
{
    if (!path)
        ZanLogError("纹理文件名为 NULL", kSource, __LINE__);
    D3DXIMAGE_INFO info = {};
    IDirect3DDevice9* device = Device();
    // Pure opaque black is the colour key: it becomes transparent.
    if (!path || !device ||
        FAILED(D3DXCreateTextureFromFileExA(device, path, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                                            0, D3DFMT_FROM_FILE, D3DPOOL_DEFAULT, D3DX_FILTER_NONE,
                                            D3DX_FILTER_NONE, 0xFF000000, &info, nullptr,
                                            &m_pTexture)) ||
        !m_pTexture)
    {
        m_pTexture = nullptr;
        ZanLogError("不能创建纹理", kSource, __LINE__);
        return;
    }
    // Counted at four bytes a pixel, whatever the file's format.
    if (!ZanBudgetTake(size_t(info.Width) * info.Height * 4, kSource))
    {
        m_pTexture->Release();
        m_pTexture = nullptr;
        ZanLogError("不能创建纹理", kSource, __LINE__);
        return;
    }
    m_fWidth = float(info.Width);
    m_fHeight = float(info.Height);
    m_bBudgeted = true;
    m_bLoaded = true;
}

CZanTexture::CZanTexture(float width, float height)
    : m_pTexture(nullptr), m_fWidth(width), m_fHeight(height), m_bBudgeted(false), m_bLoaded(false)
{
    IDirect3DDevice9* device = Device();
    const int w = int(width), h = int(height);
    if (!device || w <= 0 || h <= 0 ||
        FAILED(D3DXCreateTexture(device, UINT(w), UINT(h), 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                 &m_pTexture)) ||
        !m_pTexture)
    {
        m_pTexture = nullptr;
        ZanLogError("不能创建纹理", kSource, __LINE__);
    }
}

CZanTexture::~CZanTexture()
{
    if (m_bBudgeted)
        ZanBudgetGive(size_t(m_fWidth) * size_t(m_fHeight) * 4);
    if (m_pTexture)
    {
        m_pTexture->Release();
        m_pTexture = nullptr;
    }
}

// Bands of kBand rows; in each, the stretches of columns that show anything (gaps narrower
// than a band kept), each cut to the rows that show. A rectangle that would save little, or
// cut into too many parts, is drawn as its bounding box.
const std::vector<CZanTexture::Rect>* CZanTexture::ShownParts(const Rect& whole)
{
    if (!m_bLoaded || !m_pTexture || whole.left < 0 || whole.top < 0 ||
        whole.right > int(m_fWidth) || whole.bottom > int(m_fHeight) || whole.left >= whole.right ||
        whole.top >= whole.bottom || whole.right > 0xFFFF || whole.bottom > 0xFFFF)
        return nullptr; // the key holds 16 bits a side
    const uint64_t key = uint64_t(whole.left) | uint64_t(whole.top) << 16 |
                         uint64_t(whole.right) << 32 | uint64_t(whole.bottom) << 48;
    auto found = m_ShownParts.find(key);
    if (found != m_ShownParts.end())
        return &found->second;
    D3DSURFACE_DESC desc;
    if (FAILED(m_pTexture->GetLevelDesc(0, &desc)) || desc.Width != UINT(m_fWidth) ||
        desc.Height != UINT(m_fHeight))
        return nullptr;
    std::vector<Rect> parts;
    if (desc.Format != D3DFMT_A8R8G8B8)
        parts.push_back(whole); // no alpha: everything shows
    else
    {
        D3DLOCKED_RECT locked;
        if (FAILED(m_pTexture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY)))
            return nullptr;
        auto shows = [&](int x, int y)
        {
            const uint8_t* row =
                static_cast<const uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch;
            return row[size_t(x) * 4 + 3] != 0;
        };
        Rect box{whole.right, whole.bottom, whole.left, whole.top};
        std::vector<char> column(size_t(whole.right - whole.left));
        for (int top = whole.top; top < whole.bottom; top += kBand)
        {
            const int bottom = std::min(whole.bottom, top + kBand);
            for (int x = whole.left; x < whole.right; ++x)
            {
                column[size_t(x - whole.left)] = 0;
                for (int y = top; y < bottom && !column[size_t(x - whole.left)]; ++y)
                    column[size_t(x - whole.left)] = shows(x, y);
            }
            for (int x = whole.left; x < whole.right;)
            {
                if (!column[size_t(x - whole.left)])
                {
                    ++x;
                    continue;
                }
                Rect part{x, bottom, x, top};
                for (int gap = 0; x < whole.right && gap < kBand; ++x)
                {
                    gap = column[size_t(x - whole.left)] ? 0 : gap + 1;
                    if (gap == 0)
                        part.right = x + 1;
                }
                for (int y = top; y < bottom; ++y)
                    for (int cx = part.left; cx < part.right; ++cx)
                        if (shows(cx, y))
                        {
                            part.top = std::min(part.top, y);
                            part.bottom = std::max(part.bottom, y + 1);
                            break;
                        }
                parts.push_back(part);
                box = {std::min(box.left, part.left), std::min(box.top, part.top),
                       std::max(box.right, part.right), std::max(box.bottom, part.bottom)};
            }
        }
        m_pTexture->UnlockRect(0);
        long long area = 0;
        for (const Rect& r : parts)
            area += (long long)(r.right - r.left) * (r.bottom - r.top);
        const long long boxArea = (long long)(box.right - box.left) * (box.bottom - box.top);
        if (!parts.empty() && (parts.size() > kMostParts || area * 10 > boxArea * 9))
            parts.assign(1, box);
    }
    if (m_ShownParts.size() >= kMostRects)
        m_ShownParts.clear();
    return &(m_ShownParts[key] = std::move(parts));
}
