// The device: state, validation and recording of every call; drawing goes to the renderer
// (OpenGL) or, headless, is rasterised from the record when a test asks for the picture.
#include "D3DInternal.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zan::d3d
{
namespace
{
constexpr DWORD kVertexFormat = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr UINT kStride = sizeof(ZanD3DVertex);

// Number of vertices (or indices) a primitive run reads; 0 for an unknown type.
UINT ElementCount(D3DPRIMITIVETYPE type, UINT primitives)
{
    switch (type)
    {
    case D3DPT_POINTLIST:
        return primitives;
    case D3DPT_LINELIST:
        return primitives * 2;
    case D3DPT_LINESTRIP:
        return primitives + 1;
    case D3DPT_TRIANGLELIST:
        return primitives * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        return primitives + 2;
    }
    return 0;
}

bool Intersect(const D3DRECT& a, const D3DRECT& b, D3DRECT& out)
{
    out.x1 = std::max(a.x1, b.x1);
    out.y1 = std::max(a.y1, b.y1);
    out.x2 = std::min(a.x2, b.x2);
    out.y2 = std::min(a.y2, b.y2);
    return out.x1 < out.x2 && out.y1 < out.y2;
}
} // namespace

D3DMATRIX IdentityMatrix()
{
    D3DMATRIX m;
    std::memset(&m, 0, sizeof m);
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

D3DMATRIX PixelProjection(int width, int height)
{
    // x' = (x - 0.5) * 2/w - 1, y' = 1 - (y - 0.5) * 2/h: pixel centres on texel centres.
    D3DMATRIX m = IdentityMatrix();
    const float w = float(width > 0 ? width : 1), h = float(height > 0 ? height : 1);
    m._11 = 2.0f / w;
    m._22 = -2.0f / h;
    m._41 = -1.0f - 1.0f / w;
    m._42 = 1.0f + 1.0f / h;
    return m;
}

Device::Device(Direct3D* d3d, HWND window, const D3DPRESENT_PARAMETERS& params, int width,
               int height, std::unique_ptr<Renderer> renderer)
    : m_core(std::make_shared<DeviceCore>()), m_d3d(d3d), m_window(window), m_params(params),
      m_width(width), m_height(height), m_renderer(std::move(renderer))
{
    m_core->device = this;
    m_d3d->AddRef();
    // A frame an earlier device left unpresented is not part of this device's first frame.
    DiscardRecordedFrame();
    SetDefaultStates();
}

Device::~Device()
{
    for (auto*& t : m_textures)
        if (t)
        {
            t->Release();
            t = nullptr;
        }
    if (m_stream)
        m_stream->Release();
    if (m_indices)
        m_indices->Release();
    m_renderer.reset();
    m_core->device = nullptr;
    m_d3d->Release();
}

void Device::SetDefaultStates()
{
    std::memset(m_renderStates, 0, sizeof m_renderStates);
    m_renderStates[D3DRS_ZENABLE] = m_params.EnableAutoDepthStencil ? TRUE : FALSE;
    m_renderStates[D3DRS_FILLMODE] = D3DFILL_SOLID;
    m_renderStates[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    m_renderStates[D3DRS_ZWRITEENABLE] = TRUE;
    m_renderStates[D3DRS_LASTPIXEL] = TRUE;
    m_renderStates[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    m_renderStates[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    m_renderStates[D3DRS_CULLMODE] = D3DCULL_CCW;
    m_renderStates[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    m_renderStates[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    m_renderStates[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
    m_renderStates[D3DRS_LIGHTING] = TRUE;
    m_renderStates[D3DRS_COLORVERTEX] = TRUE;
    m_renderStates[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    for (int s = 0; s < 8; ++s)
    {
        std::memset(m_stageStates[s], 0, sizeof m_stageStates[s]);
        m_stageStates[s][D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        m_stageStates[s][D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        m_stageStates[s][D3DTSS_COLORARG2] = D3DTA_CURRENT;
        m_stageStates[s][D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        m_stageStates[s][D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        m_stageStates[s][D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        m_stageStates[s][D3DTSS_TEXCOORDINDEX] = DWORD(s);
        std::memset(m_samplerStates[s], 0, sizeof m_samplerStates[s]);
        m_samplerStates[s][D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
        m_samplerStates[s][D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
        m_samplerStates[s][D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        m_samplerStates[s][D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
        m_samplerStates[s][D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        m_samplerStates[s][D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    }
    m_world = m_view = m_projection = IdentityMatrix();
    m_viewport = {0, 0, DWORD(m_width), DWORD(m_height), 0.0f, 1.0f};
}

bool Device::Lost() const
{
    if (DeviceLostSimulated())
        return true;
    // Full screen may have been left or entered since the device was made (Alt+Enter).
    const ZanWindow* w = ZanWindowFromHandle(m_window);
    return !w || (w->fullScreen && !w->focused);
}

void Device::Record(ZanD3DOp op, uint32_t a, uint32_t b, uint32_t c, const void* object)
{
    CurrentRecord().calls.push_back(ZanD3DCall{op, a, b, c, object});
}

HRESULT Device::TestCooperativeLevel()
{
    return Lost() ? D3DERR_DEVICELOST : D3D_OK;
}

HRESULT Device::GetDirect3D(IDirect3D9** d3d)
{
    if (!d3d)
        return D3DERR_INVALIDCALL;
    m_d3d->AddRef();
    *d3d = m_d3d;
    return D3D_OK;
}

HRESULT Device::GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode)
{
    if (swapChain != 0)
        return D3DERR_INVALIDCALL;
    return m_d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, mode);
}

HRESULT Device::Reset(D3DPRESENT_PARAMETERS* params)
{
    if (!params || m_inScene)
        return D3DERR_INVALIDCALL;
    const ZanWindow* w =
        ZanWindowFromHandle(params->hDeviceWindow ? params->hDeviceWindow : m_window);
    if (!w)
        return D3DERR_INVALIDCALL;
    const int width = params->BackBufferWidth ? int(params->BackBufferWidth) : w->clientW;
    const int height = params->BackBufferHeight ? int(params->BackBufferHeight) : w->clientH;
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384)
        return D3DERR_INVALIDCALL;
    if (ZanWindow* shown = ZanWindowFromHandle(m_window))
        ZanSetFullScreen(*shown, !params->Windowed);
    if (m_renderer && !m_renderer->Reset(*params, width, height))
        return D3DERR_NOTAVAILABLE;
    m_params = *params;
    m_params.BackBufferWidth = UINT(width);
    m_params.BackBufferHeight = UINT(height);
    m_width = width;
    m_height = height;
    // A reset device starts over with default states and nothing bound.
    for (DWORD s = 0; s < 8; ++s)
        SetTexture(s, nullptr);
    SetStreamSource(0, nullptr, 0, 0);
    SetIndices(nullptr);
    SetDefaultStates();
    return D3D_OK;
}

HRESULT Device::Present(const RECT*, const RECT*, HWND, const RGNDATA*)
{
    if (m_inScene)
        return D3DERR_INVALIDCALL;
    if (Lost())
    {
        DiscardRecordedFrame();
        return D3DERR_DEVICELOST;
    }
    Record(ZanD3DOp::Present);
    if (!m_renderer)
        LayOutOnScreen();
    HRESULT hr = m_renderer ? m_renderer->Present() : D3D_OK;
    EndRecordedFrame(m_width, m_height, !m_renderer);
    return hr;
}

// Where a display of the screen's size would show the picture, so cursor positions map back
// to back-buffer pixels as they do on the desktop.
void Device::LayOutOnScreen()
{
    ZanWindow* w = ZanWindowFromHandle(m_window);
    if (!w)
        return;
    if (!w->fullScreen)
    {
        w->scaleX = w->scaleY = 1.0f;
        w->offsetX = w->offsetY = 0;
        return;
    }
    const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    const float scale = std::min(float(screenW) / float(m_width), float(screenH) / float(m_height));
    w->x = w->y = 0;
    w->scaleX = w->scaleY = scale;
    w->offsetX = int(std::lround((screenW - m_width * scale) / 2));
    w->offsetY = int(std::lround((screenH - m_height * scale) / 2));
}

HRESULT Device::CreateTexture(UINT width, UINT height, UINT, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, IDirect3DTexture9** texture, HANDLE*)
{
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (width == 0 || height == 0 || width > 16384 || height > 16384)
        return D3DERR_INVALIDCALL;
    if (format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8)
        return D3DERR_INVALIDCALL;
    *texture = new Texture(m_core, int(width), int(height), format, usage, pool);
    return D3D_OK;
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                   IDirect3DVertexBuffer9** buffer, HANDLE*)
{
    if (!buffer)
        return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (length == 0 || length > (64u << 20))
        return D3DERR_INVALIDCALL;
    *buffer = new VertexBuffer(m_core, length, usage, fvf, pool);
    return D3D_OK;
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer9** buffer, HANDLE*)
{
    if (!buffer)
        return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (length == 0 || length > (64u << 20) || format != D3DFMT_INDEX16)
        return D3DERR_INVALIDCALL;
    *buffer = new IndexBuffer(m_core, length, usage, format, pool);
    return D3D_OK;
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* viewport)
{
    if (!viewport || viewport->Width == 0 || viewport->Height == 0 ||
        viewport->X + viewport->Width > DWORD(m_width) ||
        viewport->Y + viewport->Height > DWORD(m_height) || viewport->X > DWORD(m_width) ||
        viewport->Y > DWORD(m_height))
        return D3DERR_INVALIDCALL;
    m_viewport = *viewport;
    Record(ZanD3DOp::SetViewport, viewport->X, viewport->Y);
    return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* viewport)
{
    if (!viewport)
        return D3DERR_INVALIDCALL;
    *viewport = m_viewport;
    return D3D_OK;
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix)
{
    if (!matrix)
        return D3DERR_INVALIDCALL;
    switch (state)
    {
    case D3DTS_WORLD:
        m_world = *matrix;
        break;
    case D3DTS_VIEW:
        m_view = *matrix;
        break;
    case D3DTS_PROJECTION:
        m_projection = *matrix;
        break;
    default:
        return D3DERR_INVALIDCALL;
    }
    Record(ZanD3DOp::SetTransform, state);
    return D3D_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix)
{
    if (!matrix)
        return D3DERR_INVALIDCALL;
    switch (state)
    {
    case D3DTS_WORLD:
        *matrix = m_world;
        return D3D_OK;
    case D3DTS_VIEW:
        *matrix = m_view;
        return D3D_OK;
    case D3DTS_PROJECTION:
        *matrix = m_projection;
        return D3D_OK;
    default:
        return D3DERR_INVALIDCALL;
    }
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    if (DWORD(state) >= 256)
        return D3DERR_INVALIDCALL;
    m_renderStates[state] = value;
    Record(ZanD3DOp::SetRenderState, state, value);
    return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value)
{
    if (DWORD(state) >= 256 || !value)
        return D3DERR_INVALIDCALL;
    *value = m_renderStates[state];
    return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture)
{
    if (stage >= 8)
        return D3DERR_INVALIDCALL;
    // Every texture this device sees was made by this platform layer.
    Texture* t = static_cast<Texture*>(static_cast<IDirect3DTexture9*>(texture));
    if (t)
        t->AddRef();
    if (m_textures[stage])
        m_textures[stage]->Release();
    m_textures[stage] = t;
    Record(ZanD3DOp::SetTexture, stage, 0, 0, t);
    return D3D_OK;
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture)
{
    if (stage >= 8 || !texture)
        return D3DERR_INVALIDCALL;
    *texture = m_textures[stage];
    if (*texture)
        (*texture)->AddRef();
    return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    if (stage >= 8 || DWORD(type) >= 33)
        return D3DERR_INVALIDCALL;
    m_stageStates[stage][type] = value;
    Record(ZanD3DOp::SetTextureStageState, stage, type, value);
    return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value)
{
    if (stage >= 8 || DWORD(type) >= 33 || !value)
        return D3DERR_INVALIDCALL;
    *value = m_stageStates[stage][type];
    return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value)
{
    if (sampler >= 8 || DWORD(type) >= 14)
        return D3DERR_INVALIDCALL;
    m_samplerStates[sampler][type] = value;
    Record(ZanD3DOp::SetSamplerState, sampler, type, value);
    return D3D_OK;
}

HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value)
{
    if (sampler >= 8 || DWORD(type) >= 14 || !value)
        return D3DERR_INVALIDCALL;
    *value = m_samplerStates[sampler][type];
    return D3D_OK;
}

HRESULT Device::BeginScene()
{
    if (m_inScene)
        return D3DERR_INVALIDCALL;
    m_inScene = true;
    Record(ZanD3DOp::BeginScene);
    return D3D_OK;
}

HRESULT Device::EndScene()
{
    if (!m_inScene)
        return D3DERR_INVALIDCALL;
    m_inScene = false;
    Record(ZanD3DOp::EndScene);
    return D3D_OK;
}

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float, DWORD)
{
    if (count > 0 && !rects)
        return D3DERR_INVALIDCALL;
    if (Lost())
        return D3D_OK;
    ZanD3DFrameRecord& record = CurrentRecord();
    const D3DRECT view{LONG(m_viewport.X), LONG(m_viewport.Y),
                       LONG(m_viewport.X + m_viewport.Width),
                       LONG(m_viewport.Y + m_viewport.Height)};
    uint32_t kept = 0;
    for (DWORD i = 0; i < std::max<DWORD>(count, 1); ++i)
    {
        D3DRECT r;
        if (!Intersect(count ? rects[i] : view, view, r))
            continue;
        if (flags & D3DCLEAR_TARGET)
        {
            record.clearRects.push_back(r);
            ++kept;
            if (m_renderer)
                m_renderer->Clear(r, color);
        }
    }
    Record(ZanD3DOp::Clear, flags, color, kept);
    return D3D_OK;
}

HRESULT Device::SetFVF(DWORD fvf)
{
    m_fvf = fvf;
    Record(ZanD3DOp::SetFVF, fvf);
    return D3D_OK;
}

HRESULT Device::GetFVF(DWORD* fvf)
{
    if (!fvf)
        return D3DERR_INVALIDCALL;
    *fvf = m_fvf;
    return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                                UINT stride)
{
    if (stream != 0)
        return D3DERR_INVALIDCALL;
    VertexBuffer* vb = static_cast<VertexBuffer*>(buffer);
    if (vb)
        vb->AddRef();
    if (m_stream)
        m_stream->Release();
    m_stream = vb;
    m_streamOffset = offset;
    m_streamStride = stride;
    Record(ZanD3DOp::SetStreamSource, stream, offset, stride, vb);
    return D3D_OK;
}

HRESULT Device::GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offset,
                                UINT* stride)
{
    if (stream != 0 || !buffer || !offset || !stride)
        return D3DERR_INVALIDCALL;
    *buffer = m_stream;
    if (m_stream)
        m_stream->AddRef();
    *offset = m_streamOffset;
    *stride = m_streamStride;
    return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* buffer)
{
    IndexBuffer* ib = static_cast<IndexBuffer*>(buffer);
    if (ib)
        ib->AddRef();
    if (m_indices)
        m_indices->Release();
    m_indices = ib;
    Record(ZanD3DOp::SetIndices, 0, 0, 0, ib);
    return D3D_OK;
}

HRESULT Device::GetIndices(IDirect3DIndexBuffer9** buffer)
{
    if (!buffer)
        return D3DERR_INVALIDCALL;
    *buffer = m_indices;
    if (m_indices)
        m_indices->AddRef();
    return D3D_OK;
}

void Device::FillState(ZanD3DDrawState& s) const
{
    s.alphaBlendEnable = m_renderStates[D3DRS_ALPHABLENDENABLE];
    s.srcBlend = m_renderStates[D3DRS_SRCBLEND];
    s.destBlend = m_renderStates[D3DRS_DESTBLEND];
    s.blendOp = m_renderStates[D3DRS_BLENDOP];
    s.alphaTestEnable = m_renderStates[D3DRS_ALPHATESTENABLE];
    s.alphaRef = m_renderStates[D3DRS_ALPHAREF];
    s.alphaFunc = m_renderStates[D3DRS_ALPHAFUNC];
    s.cullMode = m_renderStates[D3DRS_CULLMODE];
    s.zWriteEnable = m_renderStates[D3DRS_ZWRITEENABLE];
    s.lighting = m_renderStates[D3DRS_LIGHTING];
    s.colorOp = m_stageStates[0][D3DTSS_COLOROP];
    s.colorArg1 = m_stageStates[0][D3DTSS_COLORARG1];
    s.colorArg2 = m_stageStates[0][D3DTSS_COLORARG2];
    s.alphaOp = m_stageStates[0][D3DTSS_ALPHAOP];
    s.alphaArg1 = m_stageStates[0][D3DTSS_ALPHAARG1];
    s.alphaArg2 = m_stageStates[0][D3DTSS_ALPHAARG2];
    s.textureFactor = m_renderStates[D3DRS_TEXTUREFACTOR];
    s.addressU = m_samplerStates[0][D3DSAMP_ADDRESSU];
    s.addressV = m_samplerStates[0][D3DSAMP_ADDRESSV];
    s.world = m_world;
    s.view = m_view;
    s.projection = m_projection;
    s.viewport = m_viewport;
}

HRESULT Device::SubmitDraw(ZanD3DDraw& draw, const std::shared_ptr<Storage>& vertexStorage,
                           const std::shared_ptr<Storage>& indexStorage)
{
    ZanD3DFrameRecord& record = CurrentRecord();
    Texture* texture = draw.text ? nullptr : m_textures[0];
    if (!draw.text)
    {
        FillState(draw.state);
        draw.texture = texture;
        draw.pixels = texture ? texture->Pixels() : nullptr;
    }
    else
        texture = static_cast<Texture*>(const_cast<void*>(draw.texture));
    record.keep.push_back(vertexStorage);
    if (indexStorage)
        record.keep.push_back(indexStorage);
    record.draws.push_back(draw);
    Record(draw.text ? ZanD3DOp::Text : ZanD3DOp::Draw, uint32_t(record.draws.size() - 1));
    if (!draw.text)
        ++record.drawCalls;
    if (m_renderer)
        m_renderer->Draw(record.draws.back(), texture);
    return D3D_OK;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount)
{
    const UINT n = ElementCount(type, primitiveCount);
    if (!m_stream || m_stream->Locked() || m_streamStride != kStride || (m_fvf != kVertexFormat) ||
        n == 0 || m_streamOffset % 4 != 0 || !m_inScene)
        return primitiveCount == 0 && m_inScene ? D3D_OK : D3DERR_INVALIDCALL;
    const UINT available =
        m_streamOffset <= m_stream->Length() ? (m_stream->Length() - m_streamOffset) / kStride : 0;
    if (startVertex > available || n > available - startVertex || primitiveCount > (1u << 24))
        return D3DERR_INVALIDCALL;
    if (Lost())
        return D3D_OK;
    const auto& storage = m_stream->CurrentStorage();
    ZanD3DDraw draw{};
    draw.type = type;
    draw.primitiveCount = primitiveCount;
    draw.vertices =
        reinterpret_cast<const ZanD3DVertex*>(m_stream->View() + m_streamOffset) + startVertex;
    draw.vertexCount = n;
    m_stream->MarkRead(m_streamOffset + size_t(startVertex + n) * kStride);
    return SubmitDraw(draw, storage, nullptr);
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minIndex,
                                     UINT numVertices, UINT startIndex, UINT primitiveCount)
{
    const UINT n = ElementCount(type, primitiveCount);
    if (!m_stream || !m_indices || m_stream->Locked() || m_indices->Locked() ||
        m_streamStride != kStride || m_fvf != kVertexFormat || n == 0 || m_streamOffset % 4 != 0 ||
        !m_inScene)
        return primitiveCount == 0 && m_inScene ? D3D_OK : D3DERR_INVALIDCALL;
    const UINT indexTotal = m_indices->Length() / 2;
    if (startIndex > indexTotal || n > indexTotal - startIndex || primitiveCount > (1u << 24))
        return D3DERR_INVALIDCALL;
    const auto& vStorage = m_stream->CurrentStorage();
    const auto& iStorage = m_indices->CurrentStorage();
    const uint16_t* indices = reinterpret_cast<const uint16_t*>(m_indices->View()) + startIndex;
    // Every index must land inside the vertex buffer.
    uint16_t lo = 0xFFFF, hi = 0;
    m_indices->Range(startIndex, n, &lo, &hi);
    const int64_t available =
        m_streamOffset <= m_stream->Length() ? (m_stream->Length() - m_streamOffset) / kStride : 0;
    if (int64_t(baseVertexIndex) + lo < 0 || int64_t(baseVertexIndex) + hi >= available)
        return D3DERR_INVALIDCALL;
    (void)minIndex;
    (void)numVertices;
    if (Lost())
        return D3D_OK;
    ZanD3DDraw draw{};
    draw.type = type;
    draw.primitiveCount = primitiveCount;
    draw.indexed = true;
    draw.vertices = reinterpret_cast<const ZanD3DVertex*>(m_stream->View() + m_streamOffset);
    m_stream->MarkRead(m_streamOffset + size_t(int64_t(baseVertexIndex) + hi + 1) * kStride);
    m_indices->MarkRead(size_t(startIndex + n) * 2);
    draw.vertexCount = UINT(available);
    draw.indices = indices;
    draw.indexCount = n;
    draw.baseVertex = baseVertexIndex;
    draw.minIndex = lo;
    draw.maxIndex = hi;
    return SubmitDraw(draw, vStorage, iStorage);
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices,
                                UINT stride)
{
    const UINT n = ElementCount(type, primitiveCount);
    if (!vertices || stride != kStride || m_fvf != kVertexFormat || n == 0 || !m_inScene ||
        primitiveCount > (1u << 20))
        return primitiveCount == 0 && m_inScene ? D3D_OK : D3DERR_INVALIDCALL;
    if (Lost())
        return D3D_OK;
    auto storage = std::make_shared<Storage>(size_t(n) * kStride);
    std::memcpy(storage->data(), vertices, storage->size());
    ZanD3DDraw draw{};
    draw.type = type;
    draw.primitiveCount = primitiveCount;
    draw.vertices = reinterpret_cast<const ZanD3DVertex*>(storage->data());
    draw.vertexCount = n;
    // Like the original, the user-pointer draw leaves no stream source bound.
    SetStreamSource(0, nullptr, 0, 0);
    return SubmitDraw(draw, storage, nullptr);
}

void Device::DrawText(Texture* texture, std::shared_ptr<Storage> vertices, UINT triangleCount)
{
    if (!texture || !vertices || triangleCount == 0 || Lost())
        return;
    ZanD3DDraw draw{};
    draw.type = D3DPT_TRIANGLELIST;
    draw.primitiveCount = triangleCount;
    draw.text = true;
    draw.texture = texture;
    draw.pixels = texture->Pixels();
    draw.vertices = reinterpret_cast<const ZanD3DVertex*>(vertices->data());
    draw.vertexCount = triangleCount * 3;
    ZanD3DDrawState& s = draw.state;
    s.alphaBlendEnable = TRUE;
    s.srcBlend = D3DBLEND_SRCALPHA;
    s.destBlend = D3DBLEND_INVSRCALPHA;
    s.blendOp = D3DBLENDOP_ADD;
    s.alphaTestEnable = FALSE;
    s.alphaRef = 0;
    s.alphaFunc = D3DCMP_ALWAYS;
    s.cullMode = D3DCULL_NONE;
    s.zWriteEnable = FALSE;
    s.lighting = FALSE;
    s.colorOp = s.alphaOp = D3DTOP_MODULATE;
    s.colorArg1 = s.alphaArg1 = D3DTA_TEXTURE;
    s.colorArg2 = s.alphaArg2 = D3DTA_DIFFUSE;
    s.textureFactor = 0xFFFFFFFFu;
    s.addressU = s.addressV = D3DTADDRESS_CLAMP;
    s.world = s.view = IdentityMatrix();
    s.projection = PixelProjection(m_width, m_height);
    s.viewport = {0, 0, DWORD(m_width), DWORD(m_height), 0.0f, 1.0f};
    SubmitDraw(draw, vertices, nullptr);
}

} // namespace zan::d3d
