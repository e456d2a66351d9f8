#include "D3DTestUtil.h"

#include <cstdlib>
#include <cstring>
#include <zlib.h>

namespace d3dtest
{
namespace
{
LRESULT Proc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    return DefWindowProcA(w, m, wp, lp);
}

void Put32(std::string& s, uint32_t v)
{
    s += char(v >> 24), s += char(v >> 16), s += char(v >> 8), s += char(v);
}

void PutLE(std::string& s, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        s += char((v >> (8 * i)) & 0xFF);
}

void Chunk(std::string& png, const char* type, const std::string& data)
{
    Put32(png, uint32_t(data.size()));
    std::string body = std::string(type, 4) + data;
    png += body;
    Put32(png, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
}
} // namespace

HWND MakeWindow(int width, int height)
{
    static bool registered = false;
    if (!registered)
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = "D3DTest";
        registered = RegisterClassA(&wc) != 0;
    }
    return CreateWindowExA(0, "D3DTest", "D3D test", WS_POPUP, 0, 0, width, height, nullptr,
                           nullptr, nullptr, nullptr);
}

Rig::~Rig()
{
    if (ib)
        ib->Release();
    if (vb)
        vb->Release();
    if (device)
        device->Release();
    if (d3d)
        d3d->Release();
    if (window)
        DestroyWindow(window);
}

bool Rig::Create(int w, int h)
{
    width = w;
    height = h;
    window = MakeWindow(w, h);
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!window || !d3d)
        return false;
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = UINT(w);
    pp.BackBufferHeight = UINT(h);
    pp.BackBufferCount = 1;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.hDeviceWindow = window;
    pp.Windowed = TRUE;
    pp.SwapEffect = D3DSWAPEFFECT_FLIP;
    pp.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER; // pictures are read back
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    if (FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device)))
        return false;
    if (FAILED(device->CreateVertexBuffer(96000, D3DUSAGE_WRITEONLY, 0x142, D3DPOOL_DEFAULT, &vb,
                                          nullptr)) ||
        FAILED(device->CreateIndexBuffer(12000, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT,
                                         &ib, nullptr)))
        return false;
    device->SetFVF(0x142);
    device->SetStreamSource(0, vb, 0, 24);
    void* data = nullptr;
    if (FAILED(ib->Lock(0, 0, &data, 0)))
        return false;
    uint16_t* idx = static_cast<uint16_t*>(data);
    for (int n = 0; n < 1000; ++n)
    {
        const uint16_t b = uint16_t(4 * n);
        const uint16_t pattern[6] = {b, uint16_t(b + 1), uint16_t(b + 2),
                                     b, uint16_t(b + 2), uint16_t(b + 3)};
        std::memcpy(idx + 6 * n, pattern, sizeof pattern);
    }
    ib->Unlock();
    device->SetIndices(ib);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAREF, 1);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    // The engine's projection: y down, half a pixel up and left.
    D3DXMATRIX proj, step;
    D3DXMatrixScaling(&proj, 1.0f, -1.0f, 1.0f);
    D3DXMatrixTranslation(&step, -0.5f, float(h) + 0.5f, 0.0f);
    D3DXMatrixMultiply(&proj, &proj, &step);
    D3DXMatrixOrthoOffCenterLH(&step, 0.0f, float(w), 0.0f, float(h), 0.0f, 1.0f);
    D3DXMatrixMultiply(&proj, &proj, &step);
    D3DXMATRIX view;
    D3DXMatrixIdentity(&view);
    device->SetTransform(D3DTS_VIEW, &view);
    device->SetTransform(D3DTS_PROJECTION, &proj);
    return true;
}

void Rig::SetBlendMode(int mode)
{
    device->SetTextureStageState(0, D3DTSS_COLOROP, (mode & 1) ? D3DTOP_ADD : D3DTOP_MODULATE);
    device->SetRenderState(D3DRS_DESTBLEND, (mode & 2) ? D3DBLEND_INVSRCALPHA : D3DBLEND_ONE);
}

void Rig::Quad(float x, float y, float w, float h, D3DCOLOR color, float u0, float v0, float u1,
               float v1)
{
    pending.push_back({x, y, 0, color, u0, v0});
    pending.push_back({x + w, y, 0, color, u1, v0});
    pending.push_back({x + w, y + h, 0, color, u1, v1});
    pending.push_back({x, y + h, 0, color, u0, v1});
}

HRESULT Rig::Flush()
{
    void* data = nullptr;
    HRESULT hr = vb->Lock(0, 0, &data, 0);
    if (FAILED(hr))
        return hr;
    std::memcpy(data, pending.data(), pending.size() * sizeof(ZanD3DVertex));
    vb->Unlock();
    const UINT quads = UINT(pending.size() / 4);
    pending.clear();
    return device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, quads * 4, 0, quads * 2);
}

HRESULT Rig::FlushOutlines()
{
    std::vector<ZanD3DVertex> lines;
    for (size_t q = 0; q + 3 < pending.size(); q += 4)
        for (int e = 0; e < 4; ++e)
        {
            lines.push_back(pending[q + e]);
            lines.push_back(pending[q + (e + 1) % 4]);
        }
    pending.clear();
    void* data = nullptr;
    HRESULT hr = vb->Lock(0, 0, &data, 0);
    if (FAILED(hr))
        return hr;
    std::memcpy(data, lines.data(), lines.size() * sizeof(ZanD3DVertex));
    vb->Unlock();
    return device->DrawPrimitive(D3DPT_LINELIST, 0, UINT(lines.size() / 2));
}

void Rig::Frame(D3DCOLOR clear)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, clear, 1.0f, 0);
    device->BeginScene();
}

void Rig::Present()
{
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
}

uint32_t Pixel(int x, int y)
{
    int w = 0, h = 0;
    const unsigned* frame = ZanHeadlessFrame(&w, &h);
    if (!frame || x < 0 || y < 0 || x >= w || y >= h)
        return 0xDEADBEEFu;
    return frame[size_t(y) * size_t(w) + size_t(x)];
}

IDirect3DTexture9* MakeTexture(IDirect3DDevice9* device, int w, int h,
                               const std::vector<uint32_t>& pixels)
{
    IDirect3DTexture9* t = nullptr;
    if (FAILED(device->CreateTexture(UINT(w), UINT(h), 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t,
                                     nullptr)))
        return nullptr;
    D3DLOCKED_RECT r;
    t->LockRect(0, &r, nullptr, 0);
    for (int y = 0; y < h; ++y)
        std::memcpy(static_cast<uint8_t*>(r.pBits) + y * r.Pitch, &pixels[size_t(y) * w],
                    size_t(w) * 4);
    t->UnlockRect(0);
    return t;
}

std::string EncodePngRaw(int w, int h, int depth, int colorType, const std::string& rows,
                         const std::string& chunksBeforeData)
{
    uLongf size = compressBound(uLong(rows.size()));
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(&packed[0]), &size,
             reinterpret_cast<const Bytef*>(rows.data()), uLong(rows.size()));
    packed.resize(size);
    std::string png("\x89PNG\r\n\x1a\n", 8), ihdr;
    Put32(ihdr, uint32_t(w));
    Put32(ihdr, uint32_t(h));
    ihdr += char(depth), ihdr += char(colorType), ihdr += char(0), ihdr += char(0), ihdr += char(0);
    Chunk(png, "IHDR", ihdr);
    png += chunksBeforeData;
    Chunk(png, "IDAT", packed);
    Chunk(png, "IEND", "");
    return png;
}

std::string PngChunk(const char* type, const std::string& data)
{
    std::string out;
    Chunk(out, type, data);
    return out;
}

std::string EncodePng(int w, int h, const std::vector<uint32_t>& pixels)
{
    std::string raw;
    raw.reserve(size_t(h) * (size_t(w) * 4 + 1));
    for (int y = 0; y < h; ++y)
    {
        raw += '\0';
        for (int x = 0; x < w; ++x)
        {
            const uint32_t p = pixels[size_t(y) * w + x];
            raw += char(p >> 16), raw += char(p >> 8), raw += char(p), raw += char(p >> 24);
        }
    }
    return EncodePngRaw(w, h, 8, 6, raw);
}

std::string EncodeBmp24(int w, int h, const std::vector<uint32_t>& pixels)
{
    const int stride = (w * 3 + 3) & ~3;
    std::string bmp = "BM";
    PutLE(bmp, uint32_t(54 + stride * h), 4);
    PutLE(bmp, 0, 4);
    PutLE(bmp, 54, 4);
    PutLE(bmp, 40, 4);
    PutLE(bmp, uint32_t(w), 4);
    PutLE(bmp, uint32_t(h), 4);
    PutLE(bmp, 1, 2);
    PutLE(bmp, 24, 2);
    PutLE(bmp, 0, 4);
    PutLE(bmp, uint32_t(stride * h), 4);
    PutLE(bmp, 2835, 4);
    PutLE(bmp, 2835, 4);
    PutLE(bmp, 0, 4);
    PutLE(bmp, 0, 4);
    for (int y = h - 1; y >= 0; --y) // bottom-up rows
    {
        std::string row;
        for (int x = 0; x < w; ++x)
            PutLE(row, pixels[size_t(y) * w + x] & 0xFFFFFF, 3);
        row.resize(size_t(stride), '\0');
        bmp += row;
    }
    return bmp;
}

std::string EncodeTga32(int w, int h, const std::vector<uint32_t>& pixels)
{
    std::string tga(18, '\0');
    tga[2] = 2; // uncompressed true colour
    tga[12] = char(w & 0xFF), tga[13] = char(w >> 8);
    tga[14] = char(h & 0xFF), tga[15] = char(h >> 8);
    tga[16] = 32;
    tga[17] = 0x28; // top-left origin, 8 alpha bits
    for (uint32_t p : pixels)
        PutLE(tga, p, 4);
    return tga;
}

bool Near(uint32_t a, uint32_t b, int tolerance)
{
    for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance)
            return false;
    return true;
}
} // namespace d3dtest
