// Image files come from users and modders: any bytes must load as a texture or fail cleanly,
// and a loaded texture must draw.
#include "ZanD3D9Record.h"
#include "ZanD3DX9.h"
#include "ZanHeadless.h"

#include <cstdio>
#include <unistd.h>

namespace
{
LRESULT Proc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    return DefWindowProcA(w, m, wp, lp);
}

IDirect3DDevice9* Device()
{
    static IDirect3DDevice9* device = []
    {
        ZanHeadlessEnable();
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = "fuzz";
        RegisterClassA(&wc);
        HWND window = CreateWindowExA(0, "fuzz", "fuzz", WS_POPUP, 0, 0, 32, 32, nullptr, nullptr,
                                      nullptr, nullptr);
        IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS pp{};
        pp.Windowed = TRUE;
        pp.hDeviceWindow = window;
        IDirect3DDevice9* made = nullptr;
        if (d3d)
            d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, 0, &pp, &made);
        if (made)
        {
            made->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
            made->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
            D3DXMATRIX proj;
            D3DXMatrixOrthoOffCenterLH(&proj, 0, 32, 32, 0, 0, 1);
            made->SetTransform(D3DTS_PROJECTION, &proj);
        }
        return made;
    }();
    return device;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    IDirect3DDevice9* device = Device();
    if (!device)
        return 0;
    static const std::string path = "/tmp/zan-fuzz-image-" + std::to_string(getpid()) + ".img";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    D3DXIMAGE_INFO info{};
    D3DXGetImageInfoFromFileInMemory(data, UINT(size), &info);
    IDirect3DTexture9* texture = nullptr;
    if (SUCCEEDED(D3DXCreateTextureFromFileExA(device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT,
                                               D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT,
                                               D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0xFF000000u,
                                               &info, nullptr, &texture)))
    {
        const ZanD3DVertex quad[4] = {{0, 0, 0, 0xFFFFFFFFu, 0, 0},
                                      {32, 0, 0, 0xFFFFFFFFu, 1, 0},
                                      {0, 32, 0, 0xFFFFFFFFu, 0, 1},
                                      {32, 32, 0, 0xFFFFFFFFu, 1, 1}};
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1, 0);
        device->BeginScene();
        device->SetTexture(0, texture);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ZanD3DVertex));
        device->SetTexture(0, nullptr);
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        int w = 0, h = 0;
        ZanHeadlessFrame(&w, &h);
        texture->Release();
    }
    std::remove(path.c_str());
    return 0;
}
