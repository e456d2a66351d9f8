// The graphics device: Direct3D start-up, the quad batcher and the render list.
#include "Zan/ZanGraphics.h"
#include "Zan/ZanCore.h"
#include "ZanGraphicsLog.h"

#include <cstring>

namespace
{
const char* const kSource = "Graphics\\ZanGraphics";
const DWORD kFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1; // 0x142
const UINT kStride = sizeof(ZanVertex);
const UINT kVertexBytes = 4 * CZanGraphics::MAX_QUADS * kStride; // 96000
const UINT kIndexCount = 6 * CZanGraphics::MAX_QUADS;            // 6000
const int kMaxOutlines = CZanGraphics::MAX_QUADS / 2;            // 8 vertices each

enum
{
    PRIM_NONE = 0,
    PRIM_FILLED = 1,
    PRIM_OUTLINE = 2
};

IDirect3DTexture9* D3DTextureOf(const CZanResPtr<CZanTexture>* handle)
{
    const CZanTexture* texture = handle ? handle->Get() : nullptr;
    return texture ? texture->GetTexture() : nullptr;
}

void ApplySwap(D3DPRESENT_PARAMETERS& pp, bool vsync)
{
    pp.SwapEffect = vsync ? D3DSWAPEFFECT_COPY : D3DSWAPEFFECT_FLIP;
    pp.PresentationInterval = vsync ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE;
}
} // namespace

CZanGraphics::CZanGraphics()
    : m_pD3D(nullptr), m_pD3DDevice(nullptr), m_pD3DPP(nullptr), m_bVSync(false),
      m_pCurTexture(nullptr), m_nCurBlendMode(0), m_pVertices(nullptr), m_nQuads(0),
      m_nPrimType(PRIM_NONE), m_pVB(nullptr), m_pIB(nullptr)
{
    std::memset(&m_d3dppWindowed, 0, sizeof(m_d3dppWindowed));
    std::memset(&m_d3dppFullScreen, 0, sizeof(m_d3dppFullScreen));
    D3DXMatrixIdentity(&m_matView);
    D3DXMatrixIdentity(&m_matProj);
    CZanIni ini("Autoexec.cfg");
    m_bVSync = ini.GetInt("图像", "VSYNC", 0) != 0;
}

CZanGraphics::~CZanGraphics()
{
    m_lstRender.clear();
}

HRESULT CZanGraphics::InitD3D(HWND window, bool windowed, int width, int height)
{
    CZanEngine* engine = CZanEngine::Instance();

    m_pD3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (!m_pD3D)
    {
        ZanLogError("DirectX3D9 创建失败", kSource, __LINE__);
        return E_FAIL;
    }
    ZanLogInfo("DirectX3D9 创建成功", kSource, __LINE__);

    D3DADAPTER_IDENTIFIER9 id;
    std::memset(&id, 0, sizeof(id));
    m_pD3D->GetAdapterIdentifier(D3DADAPTER_DEFAULT, D3DENUM_WHQL_LEVEL, &id);
    id.Driver[sizeof(id.Driver) - 1] = '\0';
    id.Description[sizeof(id.Description) - 1] = '\0';
    const uint64_t version = uint64_t(id.DriverVersion.QuadPart);
    const uint32_t high = uint32_t(version >> 32), low = uint32_t(version);
    if (engine)
    {
        engine->SystemLog("D3D 设备: %s", id.Driver);
        engine->SystemLog("设备描述: %s", id.Description);
        engine->SystemLog("设备版本: %d.%d.%d.%d", int(HIWORD(high)), int(LOWORD(high)),
                          int(HIWORD(low)), int(LOWORD(low)));
    }

    std::memset(&m_d3dppWindowed, 0, sizeof(m_d3dppWindowed));
    m_d3dppWindowed.BackBufferWidth = UINT(width);
    m_d3dppWindowed.BackBufferHeight = UINT(height);
    m_d3dppWindowed.BackBufferCount = 1;
    m_d3dppWindowed.MultiSampleType = D3DMULTISAMPLE_NONE;
    m_d3dppWindowed.hDeviceWindow = window;
    m_d3dppWindowed.Windowed = TRUE;
    m_d3dppWindowed.FullScreen_RefreshRateInHz = 0;
    m_d3dppWindowed.EnableAutoDepthStencil = FALSE;

    D3DDISPLAYMODE desktop;
    std::memset(&desktop, 0, sizeof(desktop));
    if (FAILED(m_pD3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop)) ||
        desktop.Format == D3DFMT_UNKNOWN)
    {
        ZanLogError("不能确定桌面的视频模式", kSource, __LINE__);
        return E_FAIL;
    }
    m_d3dppWindowed.BackBufferFormat = desktop.Format;
    ApplySwap(m_d3dppWindowed, m_bVSync);

    std::memset(&m_d3dppFullScreen, 0, sizeof(m_d3dppFullScreen));
    m_d3dppFullScreen.BackBufferWidth = UINT(width);
    m_d3dppFullScreen.BackBufferHeight = UINT(height);
    m_d3dppFullScreen.BackBufferCount = 1;
    m_d3dppFullScreen.MultiSampleType = D3DMULTISAMPLE_NONE;
    m_d3dppFullScreen.hDeviceWindow = window;
    m_d3dppFullScreen.Windowed = FALSE;
    m_d3dppFullScreen.FullScreen_RefreshRateInHz = 0;

    // The first mode matching either side; the last one when none does.
    D3DDISPLAYMODE mode = desktop;
    const UINT modes = m_pD3D->GetAdapterModeCount(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8);
    for (UINT i = 0; i < modes; ++i)
    {
        if (FAILED(m_pD3D->EnumAdapterModes(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8, i, &mode)))
            continue;
        if (mode.Width == UINT(width) || mode.Height == UINT(height))
            break;
    }
    if (mode.Format == D3DFMT_UNKNOWN)
    {
        ZanLogError("找不到正确的全屏视频模式", kSource, __LINE__);
        return E_FAIL;
    }
    m_d3dppFullScreen.BackBufferFormat = mode.Format;
    ApplySwap(m_d3dppFullScreen, m_bVSync);
    if (engine)
        engine->SystemLog(m_bVSync ? "使用 VSYNC" : "未使用 VSYNC");

    if (windowed)
    {
        m_pD3DPP = &m_d3dppWindowed;
        if (engine)
        {
            engine->SystemLog("窗体模式：窗体");
            engine->SystemLog("窗体宽度：%d", width);
            engine->SystemLog("窗体高度：%d", height);
        }
    }
    else
    {
        m_pD3DPP = &m_d3dppFullScreen;
        if (engine)
        {
            engine->SystemLog("窗体模式：全屏");
            engine->SystemLog("屏幕宽度：%d", width);
            engine->SystemLog("屏幕高度：%d", height);
        }
    }

    if (FAILED(m_pD3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                    D3DCREATE_SOFTWARE_VERTEXPROCESSING, m_pD3DPP,
                                    &m_pD3DDevice)) ||
        !m_pD3DDevice)
    {
        m_pD3DDevice = nullptr;
        ZanLogError("DirectX3D9 设备创建失败", kSource, __LINE__);
        return E_FAIL;
    }
    ZanLogInfo("DirectX3D9 设备初始化成功", kSource, __LINE__);

    SetProjectionMatrix(width, height);
    D3DXMatrixIdentity(&m_matView);
    if (!InitLost())
        return E_FAIL;
    m_pD3DDevice->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 0, 0), 1.0f, 0);
    return S_OK;
}

bool CZanGraphics::InitLost()
{
    if (!m_pD3DDevice)
        return false;
    if (FAILED(m_pD3DDevice->CreateVertexBuffer(kVertexBytes, D3DUSAGE_WRITEONLY, kFvf,
                                                D3DPOOL_DEFAULT, &m_pVB, nullptr)) ||
        !m_pVB)
    {
        m_pVB = nullptr;
        ZanLogError("不能创建 D3D Vertex Buffer", kSource, __LINE__);
        return false;
    }
    ZanLogInfo("创建 D3D Vertex Buffer 成功", kSource, __LINE__);
    m_pD3DDevice->SetFVF(kFvf);
    m_pD3DDevice->SetStreamSource(0, m_pVB, 0, kStride);

    if (FAILED(m_pD3DDevice->CreateIndexBuffer(kIndexCount * sizeof(WORD), D3DUSAGE_WRITEONLY,
                                               D3DFMT_INDEX16, D3DPOOL_DEFAULT, &m_pIB, nullptr)) ||
        !m_pIB)
    {
        m_pIB = nullptr;
        ZanLogError("不能创建 D3D Index Buffer", kSource, __LINE__);
        return false;
    }
    ZanLogInfo("创建 D3D Index Buffer 成功", kSource, __LINE__);

    void* data = nullptr;
    if (FAILED(m_pIB->Lock(0, 0, &data, 0)) || !data)
    {
        ZanLogError("不能锁定 D3D Index Buffer", kSource, __LINE__);
        return false;
    }
    WORD* index = static_cast<WORD*>(data);
    for (int n = 0; n < MAX_QUADS; ++n)
    {
        const WORD b = WORD(4 * n);
        *index++ = b;
        *index++ = WORD(b + 1);
        *index++ = WORD(b + 2);
        *index++ = b;
        *index++ = WORD(b + 2);
        *index++ = WORD(b + 3);
    }
    m_pIB->Unlock();
    m_pD3DDevice->SetIndices(m_pIB);

    m_pD3DDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    m_pD3DDevice->SetRenderState(D3DRS_LIGHTING, FALSE);
    m_pD3DDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_pD3DDevice->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    m_pD3DDevice->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    // Fully transparent texels are not drawn at all.
    m_pD3DDevice->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    m_pD3DDevice->SetRenderState(D3DRS_ALPHAREF, 1);
    m_pD3DDevice->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);

    m_pD3DDevice->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    m_pD3DDevice->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    m_pD3DDevice->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    m_pD3DDevice->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    m_pD3DDevice->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    m_pD3DDevice->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);

    m_pD3DDevice->SetTransform(D3DTS_VIEW, &m_matView);
    m_pD3DDevice->SetTransform(D3DTS_PROJECTION, &m_matProj);
    return true;
}

void CZanGraphics::ReleaseBuffers(bool report)
{
    m_pVertices = nullptr;
    m_nQuads = 0;
    if (m_pIB)
    {
        if (m_pD3DDevice)
            m_pD3DDevice->SetIndices(nullptr);
        m_pIB->Release();
        m_pIB = nullptr;
        if (report)
            ZanLogInfo("D3D Index Buffer 释放", kSource, __LINE__);
    }
    if (m_pVB)
    {
        if (m_pD3DDevice)
            m_pD3DDevice->SetStreamSource(0, nullptr, 0, kStride);
        m_pVB->Release();
        m_pVB = nullptr;
        if (report)
            ZanLogInfo("D3D Vertex Buffer 释放", kSource, __LINE__);
    }
}

bool CZanGraphics::Restore()
{
    if (!m_pD3DDevice)
        return false;
    const HRESULT state = m_pD3DDevice->TestCooperativeLevel();
    if (state == D3DERR_DEVICELOST)
        return false;
    ReleaseBuffers(false);
    // A full-screen device that lost its focus must be reset before new buffers can exist.
    if (state == D3DERR_DEVICENOTRESET && m_pD3DPP && FAILED(m_pD3DDevice->Reset(m_pD3DPP)))
        return false;
    return InitLost();
}

void CZanGraphics::Release()
{
    ReleaseBuffers(true);
    m_pCurTexture = nullptr;
    if (m_pD3DDevice)
    {
        m_pD3DDevice->Release();
        m_pD3DDevice = nullptr;
        ZanLogInfo("DirectX3D9 设备释放", kSource, __LINE__);
    }
    if (m_pD3D)
    {
        m_pD3D->Release();
        m_pD3D = nullptr;
        ZanLogInfo("DirectX3D9 释放", kSource, __LINE__);
    }
}

void CZanGraphics::Clear()
{
    m_pVertices = nullptr;
}

void CZanGraphics::ClearRender(DWORD color)
{
    if (m_pD3DDevice)
        m_pD3DDevice->Clear(0, nullptr, D3DCLEAR_TARGET, color, 1.0f, 0);
}

void CZanGraphics::SetProjectionMatrix(int width, int height)
{
    D3DXMATRIX step;
    D3DXMatrixScaling(&m_matProj, 1.0f, -1.0f, 1.0f);
    D3DXMatrixTranslation(&step, -0.5f, float(height) + 0.5f, 0.0f);
    D3DXMatrixMultiply(&m_matProj, &m_matProj, &step);
    D3DXMatrixOrthoOffCenterLH(&step, 0.0f, float(width), 0.0f, float(height), 0.0f, 1.0f);
    D3DXMatrixMultiply(&m_matProj, &m_matProj, &step);
}

void CZanGraphics::SetBlendMode(int mode)
{
    if (!m_pD3DDevice)
        return;
    const int changed = mode ^ m_nCurBlendMode;
    if (changed & ZAN_BLEND_COLORADD)
        m_pD3DDevice->SetTextureStageState(
            0, D3DTSS_COLOROP, (mode & ZAN_BLEND_COLORADD) ? D3DTOP_ADD : D3DTOP_MODULATE);
    if (changed & ZAN_BLEND_ALPHABLEND)
        m_pD3DDevice->SetRenderState(
            D3DRS_DESTBLEND, (mode & ZAN_BLEND_ALPHABLEND) ? D3DBLEND_INVSRCALPHA : D3DBLEND_ONE);
    if (changed & ZAN_BLEND_ZWRITE)
        m_pD3DDevice->SetRenderState(D3DRS_ZWRITEENABLE, (mode & ZAN_BLEND_ZWRITE) ? TRUE : FALSE);
    m_nCurBlendMode = mode;
}

void CZanGraphics::LockVertices()
{
    void* data = nullptr;
    if (m_pVB && SUCCEEDED(m_pVB->Lock(0, 0, &data, 0)))
        m_pVertices = static_cast<ZanVertex*>(data);
    else
        m_pVertices = nullptr; // quads are dropped until the next frame
}

void CZanGraphics::BindTexture(CZanResPtr<CZanTexture>* texture)
{
    m_pCurTexture = texture;
    m_pD3DDevice->SetTexture(0, D3DTextureOf(texture));
}

void CZanGraphics::BeginRender()
{
    if (!m_pD3DDevice)
        return;
    m_pD3DDevice->SetTransform(D3DTS_PROJECTION, &m_matProj);
    D3DXMatrixIdentity(&m_matView);
    m_pD3DDevice->SetTransform(D3DTS_VIEW, &m_matView);
    m_pD3DDevice->BeginScene();
    LockVertices();
    m_pCurTexture = nullptr;
    m_pD3DDevice->SetTexture(0, nullptr);
    m_nQuads = 0;
    SetBlendMode(ZAN_BLEND_DEFAULT);
}

// Every case that RenderQuadSoild does not handle inline.
void CZanGraphics::QueueFilledQuad(const ZanQuad* quad)
{
    if (!m_pVertices || !quad)
        return;
    // Different handles to one Direct3D texture share a batch.
    const bool sameTexture = quad->pTexture == m_pCurTexture ||
                             (quad->pTexture && m_pCurTexture &&
                              D3DTextureOf(quad->pTexture) == D3DTextureOf(m_pCurTexture));
    if (m_nPrimType != PRIM_FILLED || quad->nBlend != m_nCurBlendMode || !sameTexture)
    {
        BatchRender();
        if (quad->pTexture != m_pCurTexture)
            BindTexture(quad->pTexture);
        if (quad->nBlend != m_nCurBlendMode)
            SetBlendMode(quad->nBlend);
        m_nPrimType = PRIM_FILLED;
    }
    else if (m_nQuads >= MAX_QUADS)
        BatchRender();
    if (!m_pVertices)
        return;
    std::memcpy(m_pVertices + 4 * m_nQuads, quad->v, sizeof(quad->v));
    ++m_nQuads;
}

void CZanGraphics::RenderQuad(const ZanQuad* quad)
{
    if (!m_pVertices || !quad)
        return;
    if (m_pCurTexture || quad->nBlend != m_nCurBlendMode || m_nPrimType != PRIM_OUTLINE)
    {
        BatchRender();
        if (m_pCurTexture)
            BindTexture(nullptr);
        if (quad->nBlend != m_nCurBlendMode)
            SetBlendMode(quad->nBlend);
        m_nPrimType = PRIM_OUTLINE;
    }
    else if (m_nQuads >= kMaxOutlines)
        BatchRender();
    if (!m_pVertices)
        return;
    ZanVertex* out = m_pVertices + 8 * m_nQuads;
    for (int edge = 0; edge < 4; ++edge)
    {
        out[2 * edge] = quad->v[edge];
        out[2 * edge + 1] = quad->v[(edge + 1) & 3];
    }
    ++m_nQuads;
}

void CZanGraphics::BatchRender()
{
    if (m_nQuads == 0 || !m_pD3DDevice)
        return;
    m_pVB->Unlock();
    const UINT n = UINT(m_nQuads);
    if (m_nPrimType == PRIM_FILLED)
        m_pD3DDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4 * n, 0, 2 * n);
    else
        m_pD3DDevice->DrawPrimitive(D3DPT_LINELIST, 0, 4 * n);
    m_nQuads = 0;
    LockVertices();
}

void CZanGraphics::ForgetTexture(const CZanResPtr<CZanTexture>* texture)
{
    if (!texture || texture != m_pCurTexture)
        return;
    if (m_pVertices && m_pD3DDevice)
    {
        BatchRender();
        m_pD3DDevice->SetTexture(0, nullptr);
    }
    m_pCurTexture = nullptr;
}

void CZanGraphics::EndRender()
{
    if (!m_pD3DDevice)
        return;
    BatchRender();
    if (m_pVertices)
        m_pVB->Unlock();
    m_pD3DDevice->EndScene();
    m_pD3DDevice->Present(nullptr, nullptr, nullptr, nullptr);
    m_pVertices = nullptr;
}

void CZanGraphics::AddRender(IZanRender* render)
{
    m_lstRender.push_back(render);
}

void CZanGraphics::DelRender(IZanRender* render)
{
    m_lstRender.remove(render);
}

void CZanGraphics::RenderGraphics()
{
    if (m_lstRender.empty())
        return;
    // std::list::sort is a stable merge sort: equal levels keep their registration order.
    m_lstRender.sort([](IZanRender* a, IZanRender* b)
                     { return a->GetRenderLevel() < b->GetRenderLevel(); });
    for (IZanRender* render : m_lstRender)
    {
        if (render->IsVisible())
            render->Render();
    }
}
