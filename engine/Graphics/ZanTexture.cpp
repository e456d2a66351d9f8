// Texture resources: an image file or an empty texture on the graphics device.
#include "Zan/ZanGraphics.h"
#include "ZanGraphicsLog.h"
#include "Resource/ZanBudget.h"

namespace
{
const char* const kSource = "Graphics\\ZanTexture";

IDirect3DDevice9* Device()
{
    return g_pGraphics ? g_pGraphics->GetDevice() : nullptr;
}
} // namespace

CZanTexture::CZanTexture(const char* path)
    : m_pTexture(nullptr), m_fWidth(0.0f), m_fHeight(0.0f), m_bBudgeted(false)
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
}

CZanTexture::CZanTexture(float width, float height)
    : m_pTexture(nullptr), m_fWidth(width), m_fHeight(height), m_bBudgeted(false)
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
