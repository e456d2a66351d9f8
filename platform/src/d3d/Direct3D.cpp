// The Direct3D object: the one adapter, its display modes, and device creation.
#include "D3DInternal.h"

#include <SDL.h>
#include <algorithm>
#include <cstdio>
#include <cstring>

namespace zan::d3d
{
namespace
{
const char* AdapterName()
{
    return ZanIsHeadless() ? "Zan headless recorder" : "Zan OpenGL 3.3";
}
} // namespace

HRESULT Direct3D::GetAdapterIdentifier(UINT adapter, DWORD, D3DADAPTER_IDENTIFIER9* identifier)
{
    if (adapter != D3DADAPTER_DEFAULT || !identifier)
        return D3DERR_INVALIDCALL;
    std::memset(identifier, 0, sizeof *identifier);
    std::snprintf(identifier->Driver, sizeof identifier->Driver, "%s",
                  ZanIsHeadless() ? "zanrec" : "zangl");
    std::snprintf(identifier->Description, sizeof identifier->Description, "%s", AdapterName());
    std::snprintf(identifier->DeviceName, sizeof identifier->DeviceName, "DISPLAY1");
    // Version 9.0.3.3: Direct3D 9 on OpenGL 3.3.
    identifier->DriverVersion.QuadPart = (int64_t(9) << 48) | (int64_t(0) << 32) | (3 << 16) | 3;
    identifier->WHQLLevel = 1;
    return D3D_OK;
}

std::vector<D3DDISPLAYMODE> Direct3D::Modes()
{
    std::vector<D3DDISPLAYMODE> modes;
    if (ZanIsHeadless())
    {
        const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
        for (auto size : {std::make_pair(640, 480), std::make_pair(800, 600), std::make_pair(w, h)})
            if (size.first <= w && size.second <= h)
                modes.push_back({UINT(size.first), UINT(size.second), 60, D3DFMT_X8R8G8B8});
    }
    else if (zan::desktop::EnsureVideo())
    {
        const int count = SDL_GetNumDisplayModes(0);
        for (int i = 0; i < count; ++i)
        {
            SDL_DisplayMode m;
            if (SDL_GetDisplayMode(0, i, &m) == 0 && SDL_BITSPERPIXEL(m.format) >= 24)
                modes.push_back({UINT(m.w), UINT(m.h), UINT(m.refresh_rate), D3DFMT_X8R8G8B8});
        }
    }
    std::sort(modes.begin(), modes.end(),
              [](const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b)
              {
                  return a.Width != b.Width     ? a.Width < b.Width
                         : a.Height != b.Height ? a.Height < b.Height
                                                : a.RefreshRate < b.RefreshRate;
              });
    modes.erase(std::unique(modes.begin(), modes.end(),
                            [](const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b) {
                                return a.Width == b.Width && a.Height == b.Height &&
                                       a.RefreshRate == b.RefreshRate;
                            }),
                modes.end());
    return modes;
}

UINT Direct3D::GetAdapterModeCount(UINT adapter, D3DFORMAT format)
{
    if (adapter != D3DADAPTER_DEFAULT || format != D3DFMT_X8R8G8B8)
        return 0;
    return UINT(Modes().size());
}

HRESULT Direct3D::EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* out)
{
    if (adapter != D3DADAPTER_DEFAULT || format != D3DFMT_X8R8G8B8 || !out)
        return D3DERR_INVALIDCALL;
    const auto modes = Modes();
    if (mode >= modes.size())
        return D3DERR_INVALIDCALL;
    *out = modes[mode];
    return D3D_OK;
}

HRESULT Direct3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode)
{
    if (adapter != D3DADAPTER_DEFAULT || !mode)
        return D3DERR_INVALIDCALL;
    if (ZanIsHeadless())
    {
        *mode = {UINT(GetSystemMetrics(SM_CXSCREEN)), UINT(GetSystemMetrics(SM_CYSCREEN)), 60,
                 D3DFMT_X8R8G8B8};
        return D3D_OK;
    }
    SDL_DisplayMode m;
    if (!zan::desktop::EnsureVideo() || SDL_GetDesktopDisplayMode(0, &m) != 0)
        return D3DERR_NOTAVAILABLE;
    *mode = {UINT(m.w), UINT(m.h), UINT(m.refresh_rate), D3DFMT_X8R8G8B8};
    return D3D_OK;
}

HRESULT Direct3D::CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT displayFormat,
                                  D3DFORMAT backBufferFormat, BOOL)
{
    if (adapter != D3DADAPTER_DEFAULT || type != D3DDEVTYPE_HAL)
        return D3DERR_NOTAVAILABLE;
    const bool displayOk = displayFormat == D3DFMT_X8R8G8B8;
    const bool backOk = backBufferFormat == D3DFMT_X8R8G8B8 ||
                        backBufferFormat == D3DFMT_A8R8G8B8 || backBufferFormat == D3DFMT_UNKNOWN;
    return displayOk && backOk ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3D::CreateDevice(UINT adapter, D3DDEVTYPE, HWND focusWindow, DWORD,
                               D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device)
{
    if (!device)
        return D3DERR_INVALIDCALL;
    *device = nullptr;
    if (adapter != D3DADAPTER_DEFAULT || !params)
        return D3DERR_INVALIDCALL;
    const HWND hwnd = params->hDeviceWindow ? params->hDeviceWindow : focusWindow;
    ZanWindow* window = ZanWindowFromHandle(hwnd);
    if (!window)
        return D3DERR_INVALIDCALL;
    const int width = params->BackBufferWidth ? int(params->BackBufferWidth) : window->clientW;
    const int height = params->BackBufferHeight ? int(params->BackBufferHeight) : window->clientH;
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384)
        return D3DERR_INVALIDCALL;
    ZanSetFullScreen(*window, !params->Windowed);
    std::unique_ptr<Renderer> renderer;
    if (!ZanIsHeadless())
    {
        if (!window->sdl)
            return D3DERR_NOTAVAILABLE;
        renderer = CreateGLRenderer(hwnd, *params, width, height);
        if (!renderer)
            return D3DERR_NOTAVAILABLE;
    }
    params->BackBufferWidth = UINT(width);
    params->BackBufferHeight = UINT(height);
    if (params->BackBufferFormat == D3DFMT_UNKNOWN)
        params->BackBufferFormat = D3DFMT_X8R8G8B8;
    if (params->BackBufferCount == 0)
        params->BackBufferCount = 1;
    *device = new Device(this, hwnd, *params, width, height, std::move(renderer));
    return D3D_OK;
}

} // namespace zan::d3d

IDirect3D9* Direct3DCreate9(UINT sdkVersion)
{
    if (sdkVersion != D3D_SDK_VERSION)
        return nullptr;
    return new zan::d3d::Direct3D();
}

bool ZanD3DReadBack(IDirect3DDevice9* device, std::vector<uint32_t>& picture)
{
    auto* d = static_cast<zan::d3d::Device*>(device);
    return d && d->GetRenderer() && d->GetRenderer()->ReadBack(picture);
}
