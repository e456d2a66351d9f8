/// \file
/// The graphics device: one Direct3D 9 device, the quad batcher and the render list; and the
/// texture resource every textured drawable shares.
///
/// A frame, as the engine drives it: ClearRender(0), BeginRender(), RenderGraphics() (or
/// direct RenderQuad / RenderQuadSoild calls), EndRender(). Every quad goes through one
/// vertex buffer of 1000 quads and one pre-filled index buffer; a draw call is issued only when
/// the texture, blend mode or primitive kind changes, when the buffer is full, or at the end of
/// the frame. Drawables register themselves in the render list on construction and leave it on
/// destruction; the list is not owned.
#pragma once

#include "ZanWin32.h"
#include "ZanD3D9.h"
#include "ZanD3DX9.h"
#include "Zan/ZanResource.h"

#include <cstring>
#include <list>
#include <map>
#include <vector>

class CZanTexture;

/// A drawable object: drawn by RenderGraphics in ascending render level while visible.
class IZanRender : public IZanResource
{
public:
    /// Level 0, visible. Registering in the render list is the derived class's job.
    IZanRender() : m_nRenderLevel(0), m_bVisible(true) {}
    /// Queues the object's quads (or draws its text) now.
    virtual void Render() = 0;
    /// See SetRenderLevel.
    virtual int GetRenderLevel() { return m_nRenderLevel; }
    /// See SetVisible.
    virtual bool IsVisible() { return m_bVisible; }
    /// Lower levels are drawn first (further back); takes effect on the next frame.
    virtual void SetRenderLevel(int level) { m_nRenderLevel = level; }
    /// A hidden object stays in the render list and is skipped.
    virtual void SetVisible(bool visible) { m_bVisible = visible; }

protected:
    int32_t m_nRenderLevel; ///< see SetRenderLevel
    bool m_bVisible;        ///< see SetVisible
};

/// One vertex as the vertex buffer holds it (position, diffuse ARGB, one texture coordinate).
struct ZanVertex
{
    float x;     ///< screen pixels from the left
    float y;     ///< screen pixels from the top
    float z;     ///< depth; no depth buffer is used
    DWORD color; ///< 0xAARRGGBB
    float u;     ///< texture coordinate, 0 to 1 across the texture
    float v;     ///< texture coordinate, 0 to 1 down the texture
};
static_assert(sizeof(ZanVertex) == 24, "vertex stride is 24 bytes");

/// Blend-mode bits of a quad.
enum : int
{
    ZAN_BLEND_COLORADD = 1,   ///< texture + diffuse instead of texture x diffuse
    ZAN_BLEND_ALPHABLEND = 2, ///< ordinary alpha blending instead of additive
    ZAN_BLEND_ZWRITE = 4,     ///< z writing on (no depth buffer: no visible effect)
    ZAN_BLEND_DEFAULT = ZAN_BLEND_ALPHABLEND
};

/// One quad as handed to the batcher: vertices top-left, top-right, bottom-right, bottom-left
/// (for an unrotated quad), the texture handle (not owned; null for none) and the blend mode.
struct ZanQuad
{
    ZanVertex v[4];                    ///< top-left, top-right, bottom-right, bottom-left
    CZanResPtr<CZanTexture>* pTexture; ///< not owned; null for an untextured quad
    int nBlend;                        ///< ZAN_BLEND_* bits
};

/// The one graphics device of the process, reached through g_pGraphics. Created when the
/// engine library loads; the engine's final Release deletes it.
class CZanGraphics
{
public:
    /// Reads VSYNC (section "图像") of "Autoexec.cfg"; creates no device.
    CZanGraphics();
    /// Only empties the render list; Release frees the device.
    ~CZanGraphics();

    /// Creates the Direct3D object and device for the window, the projection, the buffers and
    /// the fixed states. 0 on success, E_FAIL on any failure (reported in the run log); what
    /// was created stays until Release.
    HRESULT InitD3D(HWND window, bool windowed, int width, int height);
    /// Creates the vertex and index buffers and sets the fixed states.
    bool InitLost();
    /// Re-creates the buffers (after focus or size changes). False without a device or while
    /// the device is lost; a device that can be reset is reset with the active parameters.
    bool Restore();
    /// Releases index buffer, vertex buffer, device and Direct3D object, in that order.
    void Release();
    /// Forgets the vertex-buffer write pointer.
    void Clear();
    /// Clears the back buffer to the packed ARGB colour.
    void ClearRender(DWORD color);
    /// Begins the scene and opens an empty batch; quads are accepted until EndRender.
    void BeginRender();
    /// Draws the open batch, ends the scene and presents.
    void EndRender();
    /// Queues the outline of a quad (four lines, untextured). Ignored outside a frame.
    void RenderQuad(const ZanQuad* quad);
    /// Queues a filled, textured quad. Ignored outside a frame, and when every corner is fully
    /// transparent, as it would draw nothing.
    void RenderQuadSoild(const ZanQuad* quad)
    {
        if (quad && DrawsNothing(*quad))
            return;
        // Inline for the common case: the quad continues the open batch. The count is never
        // negative; reading it unsigned saves widening it for the address.
        const unsigned n = unsigned(m_nQuads);
        if (quad && n < unsigned(MAX_QUADS) && m_pVertices && m_nPrimType == 1 &&
            quad->pTexture == m_pCurTexture && quad->nBlend == m_nCurBlendMode)
        {
            std::memcpy(m_pVertices + 4 * size_t(n), quad->v, sizeof(quad->v));
            m_nQuads = int(n + 1);
            return;
        }
        QueueFilledQuad(quad);
    }
    /// Draws and empties the open batch.
    void BatchRender();
    /// A texture handle is about to be deleted: if it is the current one, the open batch is
    /// drawn while its texture still exists and the handle stops being current, so a new
    /// handle that happens to get its address never joins the old batch.
    void ForgetTexture(const CZanResPtr<CZanTexture>* texture);
    /// Appends to the render list (the same object twice is drawn twice).
    void AddRender(IZanRender* render);
    /// Removes every entry equal to `render`.
    void DelRender(IZanRender* render);
    /// Sorts the render list by level (stable) and renders every visible entry.
    void RenderGraphics();

    /// True once InitD3D has created the Direct3D object.
    bool HasDirect3D() const { return m_pD3D != nullptr; }
    /// The device (not owned by the caller), or null before InitD3D.
    IDirect3DDevice9* GetDevice() const { return m_pD3DDevice; }
    /// Whether presentation waits for the display's refresh.
    bool GetVSync() const { return m_bVSync; }
    /// The presentation parameters in use (null before InitD3D chose them).
    const D3DPRESENT_PARAMETERS* GetPresentParameters() const { return m_pD3DPP; }
    /// The parameters for windowed play, filled by InitD3D.
    const D3DPRESENT_PARAMETERS& GetWindowedParameters() const { return m_d3dppWindowed; }
    /// The parameters for full screen, filled by InitD3D.
    const D3DPRESENT_PARAMETERS& GetFullScreenParameters() const { return m_d3dppFullScreen; }
    /// Maps screen pixels (origin top-left, y down) to the device's clip space.
    const D3DXMATRIX& GetProjectionMatrix() const { return m_matProj; }
    /// The blend mode of the open batch.
    int GetBlendMode() const { return m_nCurBlendMode; }
    /// Entries in the render list.
    size_t GetRenderCount() const { return m_lstRender.size(); }

    /// Quads per filled batch (the vertex buffer holds 4000 vertices).
    static const int MAX_QUADS = 1000;

private:
    CZanGraphics(const CZanGraphics&) = delete;
    CZanGraphics& operator=(const CZanGraphics&) = delete;

    void QueueFilledQuad(const ZanQuad* quad);
    // Every corner fully transparent: the alpha test drops each fragment.
    static bool DrawsNothing(const ZanQuad& quad)
    {
        const ZanVertex* v = quad.v;
        return ((v[0].color | v[1].color | v[2].color | v[3].color) >> 24) == 0;
    }
    void SetBlendMode(int mode);
    void SetProjectionMatrix(int width, int height);
    void BindTexture(CZanResPtr<CZanTexture>* texture);
    void ReleaseBuffers(bool report);
    void LockVertices();

    IDirect3D9* m_pD3D;
    IDirect3DDevice9* m_pD3DDevice;
    D3DPRESENT_PARAMETERS* m_pD3DPP;
    D3DPRESENT_PARAMETERS m_d3dppWindowed;
    D3DPRESENT_PARAMETERS m_d3dppFullScreen;
    bool m_bVSync;
    D3DXMATRIX m_matView;
    D3DXMATRIX m_matProj;
    CZanResPtr<CZanTexture>* m_pCurTexture;
    int m_nCurBlendMode;
    ZanVertex* m_pVertices;
    int m_nQuads;
    int m_nPrimType; ///< 1 filled quads, 2 outlines, 0 none yet
    IDirect3DVertexBuffer9* m_pVB;
    IDirect3DIndexBuffer9* m_pIB;
    std::list<IZanRender*> m_lstRender;
};

/// The graphics device; null after the engine's final Release.
extern CZanGraphics* g_pGraphics;

/// One Direct3D texture and the pixel size of the image it came from. Shared through
/// CZanResPtr handles; a texture that failed to load exists without a Direct3D texture and
/// draws nothing but the diffuse colour.
class CZanTexture : public IZanResource
{
public:
    /// Loads an image file; pure black (0xFF000000) becomes transparent.
    explicit CZanTexture(const char* path);
    /// An empty A8R8G8B8 texture of the given size.
    CZanTexture(float width, float height);
    ~CZanTexture() override;
    const char* GetResourceType() const override { return "材质资源"; }

    /// The Direct3D texture, or null when creation failed.
    IDirect3DTexture9* GetTexture() const { return m_pTexture; }
    /// The source image's width in pixels (texture coordinates are measured against it).
    float GetWidth() const { return m_fWidth; }
    /// The source image's height in pixels.
    float GetHeight() const { return m_fHeight; }

    /// A rectangle of image pixels, [left, right) x [top, bottom).
    struct Rect
    {
        int left;   ///< first column
        int top;    ///< first row
        int right;  ///< column after the last
        int bottom; ///< row after the last
    };
    /// Rectangles inside the image rectangle `whole` that together hold every one of its pixels
    /// with any opacity, few enough to draw as quads (one when trimming would save little);
    /// none when the whole rectangle is clear. Null when the texture cannot tell: it was not
    /// loaded from a file (the pixels of a loaded image are taken as unchanging), or `whole`
    /// leaves the image. Found once per rectangle.
    const std::vector<Rect>* ShownParts(const Rect& whole);

private:
    CZanTexture(const CZanTexture&) = delete;
    CZanTexture& operator=(const CZanTexture&) = delete;

    IDirect3DTexture9* m_pTexture;
    float m_fWidth;
    float m_fHeight;
    bool m_bBudgeted;                                   // its pixels count against the media budget
    bool m_bLoaded;                                     // from an image file
    std::map<uint64_t, std::vector<Rect>> m_ShownParts; // by rectangle
};

/// A placeholder surface with no behaviour; nothing uses it.
class CZanSurface
{
public:
    CZanSurface() {}  ///< Does nothing.
    ~CZanSurface() {} ///< Does nothing.
    /// Does nothing.
    CZanSurface& operator=(const CZanSurface&) { return *this; }
    /// Does nothing.
    void Render() {}
    /// Does nothing; always 0.
    HRESULT LoadFromFile(const char*) { return 0; }
};
