// Private classes of the Direct3D 9 stand-in: device, resources, the call record and the
// backend interface that the OpenGL renderer implements.
#pragma once

#include "Platform.h"
#include "ZanD3D9.h"
#include "ZanD3D9Record.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

namespace zan::d3d
{
class Device;
class Texture;

// Byte storage of vertex and index buffers. A buffer's contents are a window (its view) of a
// larger arena. A draw call keeps the arena it read alive in the frame record; a later Lock
// moves the view past the bytes draws have read instead of copying them, so recording copies
// nothing and many small batches share one arena.
typedef std::vector<uint8_t> Storage;

// Drawing behind a device. The headless device has none: its record is rasterised on demand.
class Renderer
{
public:
    virtual ~Renderer() = default;
    virtual void Clear(const D3DRECT& rect, D3DCOLOR color) = 0;
    virtual void Draw(const ZanD3DDraw& draw, Texture* texture) = 0;
    virtual HRESULT Present() = 0;
    virtual bool Reset(const D3DPRESENT_PARAMETERS& params, int width, int height) = 0;
    virtual void ForgetTexture(Texture* texture) = 0;
    // The back buffer as 0xAARRGGBB rows, top row first (for tests).
    virtual bool ReadBack(std::vector<uint32_t>& picture) = 0;
};

// Whether every texel has alpha 255 (or the format has no alpha).
bool TexelsOpaque(const ZanD3DTexturePixels& pixels);
// Whether every fragment of the draw leaves with alpha 1 and passes its alpha test, so that
// writing it without blending gives the blended picture; texelsOpaque as TexelsOpaque of its
// texture.
bool DrawWritesOpaque(const ZanD3DDraw& draw, bool texelsOpaque);
// Whether every vertex the draw reads has one colour, given in `color`.
bool VerticesShareColor(const ZanD3DDraw& draw, D3DCOLOR& color);
// Whether the alpha test only drops fragments that (source alpha, inverse source alpha)
// blending would leave unseen anyway: those of alpha 0.
bool AlphaTestHidesOnlyUnseen(const ZanD3DDrawState& state);

// Creates the OpenGL renderer on the window, or null when no context can be made.
std::unique_ptr<Renderer> CreateGLRenderer(HWND window, const D3DPRESENT_PARAMETERS& params,
                                           int width, int height);

// Core shared by a device and the resources it made: resources may outlive the device's
// last reference (the engine releases textures after the device), so they hold this, not the
// device, and only free their own memory once the device is gone.
struct DeviceCore
{
    Device* device = nullptr; // null once the device is destroyed
};

template <class Interface> class RefCounted : public Interface
{
public:
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override
    {
        ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    ULONG m_refs = 1;
};

class Texture : public RefCounted<IDirect3DTexture9>
{
public:
    Texture(std::shared_ptr<DeviceCore> core, int width, int height, D3DFORMAT format, DWORD usage,
            D3DPOOL pool);
    ~Texture() override;

    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return 1; }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    const std::shared_ptr<ZanD3DTexturePixels>& Pixels() const { return m_pixels; }
    // TexelsOpaque of the current pixels, found once per change.
    bool TexelsOpaque();
    int Width() const { return m_pixels->width; }
    int Height() const { return m_pixels->height; }
    D3DFORMAT Format() const { return m_format; }

    // For the OpenGL renderer: its texture name and whether the pixels changed since upload.
    unsigned glName = 0;
    bool glDirty = true;

private:
    std::shared_ptr<DeviceCore> m_core;
    std::shared_ptr<ZanD3DTexturePixels> m_pixels;
    D3DFORMAT m_format;
    DWORD m_usage;
    D3DPOOL m_pool;
    bool m_locked = false;
    bool m_opaqueKnown = false, m_opaque = false;
};

class Surface : public RefCounted<IDirect3DSurface9>
{
public:
    explicit Surface(Texture* texture) : m_texture(texture) { m_texture->AddRef(); }
    ~Surface() override { m_texture->Release(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override { return m_texture->GetDevice(device); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override
    {
        return m_texture->LockRect(0, locked, rect, flags);
    }
    HRESULT UnlockRect() override { return m_texture->UnlockRect(0); }

private:
    Texture* m_texture;
};

// Common part of vertex and index buffers.
class BufferData
{
public:
    BufferData(UINT length, DWORD usage, D3DPOOL pool);
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags);
    HRESULT Unlock();
    bool Locked() const { return m_locked; }
    // The arena holding the contents, and the contents themselves (Length() bytes).
    const std::shared_ptr<Storage>& CurrentStorage() const { return m_storage; }
    const uint8_t* View() const { return m_storage->data() + m_view; }
    UINT Length() const { return m_length; }
    // A draw call reads the contents up to byte `end`.
    void MarkRead(size_t end) { m_readEnd = std::max(m_readEnd, end); }

protected:
    UINT m_length;
    DWORD m_usage;
    D3DPOOL m_pool;
    std::shared_ptr<Storage> m_storage;
    size_t m_view = 0, m_readEnd = 0;
    std::vector<std::shared_ptr<Storage>> m_spares;
    bool m_locked = false;
};

class VertexBuffer : public RefCounted<IDirect3DVertexBuffer9>, public BufferData
{
public:
    VertexBuffer(std::shared_ptr<DeviceCore> core, UINT length, DWORD usage, DWORD fvf,
                 D3DPOOL pool)
        : BufferData(length, usage, pool), m_core(std::move(core)), m_fvf(fvf)
    {
    }
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override
    {
        return BufferData::Lock(offset, size, data, flags);
    }
    HRESULT Unlock() override { return BufferData::Unlock(); }
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

private:
    std::shared_ptr<DeviceCore> m_core;
    DWORD m_fvf;
};

class IndexBuffer : public RefCounted<IDirect3DIndexBuffer9>, public BufferData
{
public:
    IndexBuffer(std::shared_ptr<DeviceCore> core, UINT length, DWORD usage, D3DFORMAT format,
                D3DPOOL pool)
        : BufferData(length, usage, pool), m_core(std::move(core)), m_format(format)
    {
    }
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override
    {
        return BufferData::Lock(offset, size, data, flags);
    }
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) override;
    D3DFORMAT Format() const { return m_format; }
    // Smallest and largest of `count` indices from `start` (in range, buffer unlocked).
    void Range(UINT start, UINT count, uint16_t* lo, uint16_t* hi) const;

private:
    // Per block of kBlock indices, their smallest and largest value: draws check their index
    // range without reading every index again.
    static constexpr UINT kBlock = 64;
    std::shared_ptr<DeviceCore> m_core;
    D3DFORMAT m_format;
    std::vector<uint16_t> m_blockMin, m_blockMax;
};

// The frame records of every device (one picture shown at a time).
ZanD3DFrameRecord& CurrentRecord();
// Present: the current frame becomes the last one.
void EndRecordedFrame(int width, int height, bool software);
void DiscardRecordedFrame(); // a lost device presents nothing
bool DeviceLostSimulated();

class Direct3D;

class Device : public RefCounted<IDirect3DDevice9>
{
public:
    Device(Direct3D* d3d, HWND window, const D3DPRESENT_PARAMETERS& params, int width, int height,
           std::unique_ptr<Renderer> renderer);
    ~Device() override;

    HRESULT TestCooperativeLevel() override;
    HRESULT GetDirect3D(IDirect3D9** d3d) override;
    HRESULT GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* params) override;
    HRESULT Present(const RECT* source, const RECT* dest, HWND destWindow,
                    const RGNDATA* dirty) override;
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                          D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* shared) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer9** buffer, HANDLE* shared) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer9** buffer, HANDLE* shared) override;
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                  DWORD stencil) override;
    HRESULT SetFVF(DWORD fvf) override;
    HRESULT GetFVF(DWORD* fvf) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                            UINT stride) override;
    HRESULT GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offset,
                            UINT* stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer9* buffer) override;
    HRESULT GetIndices(IDirect3DIndexBuffer9** buffer) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minIndex,
                                 UINT numVertices, UINT startIndex, UINT primitiveCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices,
                            UINT stride) override;

    // Text of a D3DX font: triangles in back-buffer pixels, alpha-blended with the texture's
    // alpha, leaving the application's state untouched.
    void DrawText(Texture* texture, std::shared_ptr<Storage> vertices, UINT triangleCount);

    const std::shared_ptr<DeviceCore>& Core() const { return m_core; }
    Renderer* GetRenderer() const { return m_renderer.get(); }
    int BackBufferWidth() const { return m_width; }
    int BackBufferHeight() const { return m_height; }
    bool Lost() const;

private:
    void Record(ZanD3DOp op, uint32_t a = 0, uint32_t b = 0, uint32_t c = 0,
                const void* object = nullptr);
    void FillState(ZanD3DDrawState& state) const;
    HRESULT SubmitDraw(ZanD3DDraw& draw, const std::shared_ptr<Storage>& vertexStorage,
                       const std::shared_ptr<Storage>& indexStorage);
    void ApplyPresentation(const D3DPRESENT_PARAMETERS& params);
    void LayOutOnScreen();
    void SetDefaultStates();

    std::shared_ptr<DeviceCore> m_core;
    Direct3D* m_d3d;
    HWND m_window;
    D3DPRESENT_PARAMETERS m_params;
    int m_width, m_height;
    std::unique_ptr<Renderer> m_renderer;

    DWORD m_renderStates[256] = {};
    DWORD m_stageStates[8][33] = {};
    DWORD m_samplerStates[8][14] = {};
    D3DMATRIX m_world, m_view, m_projection;
    D3DVIEWPORT9 m_viewport;
    Texture* m_textures[8] = {};
    VertexBuffer* m_stream = nullptr;
    UINT m_streamOffset = 0, m_streamStride = 0;
    IndexBuffer* m_indices = nullptr;
    DWORD m_fvf = 0;
    bool m_inScene = false;
};

class Direct3D : public RefCounted<IDirect3D9>
{
public:
    UINT GetAdapterCount() override { return 1; }
    HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags,
                                 D3DADAPTER_IDENTIFIER9* identifier) override;
    UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override;
    HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode,
                             D3DDISPLAYMODE* out) override;
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override;
    HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT displayFormat,
                            D3DFORMAT backBufferFormat, BOOL windowed) override;
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) override;

private:
    std::vector<D3DDISPLAYMODE> Modes();
};

// Pixel-exact transform used by the D3DX font: back-buffer pixels with the top-left origin.
D3DMATRIX PixelProjection(int width, int height);
D3DMATRIX IdentityMatrix();
// a × b, rows times columns, as the fixed-function pipeline composes transforms.
D3DMATRIX MultiplyMatrices(const D3DMATRIX& a, const D3DMATRIX& b);

} // namespace zan::d3d
