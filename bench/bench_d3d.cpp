// The Direct3D stand-in's cost: the recording device per quad against a plain 96-byte copy,
// and the OpenGL renderer drawing 3000 blended 32 x 32 sprites a frame at 800 x 600.
// The OpenGL benchmark needs a display (run under xvfb-run, or with SDL_VIDEODRIVER=offscreen)
// and a process of its own: --benchmark_filter=GLSprites.
#include "ZanD3D9Record.h"
#include "ZanD3DX9.h"
#include "ZanHeadless.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <random>
#include <vector>

namespace
{
constexpr int kQuadsPerBatch = 1000;

LRESULT Proc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    return DefWindowProcA(w, m, wp, lp);
}

struct Setup
{
    HWND window = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    IDirect3DTexture9* texture = nullptr;

    bool Create(int w, int h)
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = "bench_d3d";
        RegisterClassA(&wc);
        window = CreateWindowExA(0, "bench_d3d", "bench", WS_POPUP | WS_VISIBLE, 0, 0, w, h,
                                 nullptr, nullptr, nullptr, nullptr);
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        if (!window || !d3d)
            return false;
        D3DPRESENT_PARAMETERS pp{};
        pp.BackBufferWidth = UINT(w);
        pp.BackBufferHeight = UINT(h);
        pp.hDeviceWindow = window;
        pp.Windowed = TRUE;
        pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        if (FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                     D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device)) ||
            FAILED(device->CreateVertexBuffer(96000, D3DUSAGE_WRITEONLY, 0x142, D3DPOOL_DEFAULT,
                                              &vb, nullptr)) ||
            FAILED(device->CreateIndexBuffer(12000, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                             D3DPOOL_DEFAULT, &ib, nullptr)))
            return false;
        void* data = nullptr;
        ib->Lock(0, 0, &data, 0);
        uint16_t* idx = static_cast<uint16_t*>(data);
        for (int n = 0; n < kQuadsPerBatch; ++n)
        {
            const uint16_t b = uint16_t(4 * n);
            const uint16_t quad[6] = {b, uint16_t(b + 1), uint16_t(b + 2),
                                      b, uint16_t(b + 2), uint16_t(b + 3)};
            std::memcpy(idx + 6 * n, quad, sizeof quad);
        }
        ib->Unlock();
        device->SetFVF(0x142);
        device->SetStreamSource(0, vb, 0, 24);
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
        D3DXMATRIX proj, step;
        D3DXMatrixScaling(&proj, 1, -1, 1);
        D3DXMatrixMultiply(&proj, &proj, D3DXMatrixTranslation(&step, -0.5f, h + 0.5f, 0));
        D3DXMatrixMultiply(&proj, &proj, D3DXMatrixOrthoOffCenterLH(&step, 0, w, 0, h, 0, 1));
        device->SetTransform(D3DTS_PROJECTION, &proj);
        // A round, soft-edged 32 x 32 sprite.
        D3DXCreateTexture(device, 32, 32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture);
        D3DLOCKED_RECT r;
        texture->LockRect(0, &r, nullptr, 0);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
            {
                const int d2 = (x - 16) * (x - 16) + (y - 16) * (y - 16);
                const uint32_t a = d2 < 256 ? uint32_t(255 - d2) : 0;
                reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(r.pBits) + y * r.Pitch)[x] =
                    (a << 24) | 0x40A0FFu;
            }
        texture->UnlockRect(0);
        device->SetTexture(0, texture);
        return true;
    }

    ~Setup()
    {
        if (texture)
            texture->Release();
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
};

std::vector<ZanD3DVertex> Sprites(int count, int w, int h)
{
    std::mt19937 random(7);
    std::vector<ZanD3DVertex> v;
    for (int i = 0; i < count; ++i)
    {
        const float x = float(random() % unsigned(w - 32)), y = float(random() % unsigned(h - 32));
        const D3DCOLOR c = 0xC0000000u | (random() & 0xFFFFFFu);
        v.push_back({x, y, 0, c, 0, 0});
        v.push_back({x + 32, y, 0, c, 1, 0});
        v.push_back({x + 32, y + 32, 0, c, 1, 1});
        v.push_back({x, y + 32, 0, c, 0, 1});
    }
    return v;
}

// One frame the way the engine draws it: batches of up to 1000 quads through the locked buffer.
void DrawFrame(Setup& s, const std::vector<ZanD3DVertex>& quads)
{
    s.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1, 0);
    s.device->BeginScene();
    const size_t total = quads.size() / 4;
    for (size_t first = 0; first < total; first += kQuadsPerBatch)
    {
        const size_t n = std::min<size_t>(kQuadsPerBatch, total - first);
        void* data = nullptr;
        s.vb->Lock(0, 0, &data, 0);
        ZanD3DVertex* out = static_cast<ZanD3DVertex*>(data);
        for (size_t q = 0; q < n; ++q) // the engine copies each quad as it is queued
            std::memcpy(out + 4 * q, &quads[4 * (first + q)], 96);
        s.vb->Unlock();
        s.device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, UINT(n * 4), 0, UINT(n * 2));
    }
    s.device->EndScene();
    s.device->Present(nullptr, nullptr, nullptr, nullptr);
}

void BM_CopyQuads(benchmark::State& state)
{
    const int count = int(state.range(0));
    const auto quads = Sprites(count, 800, 600);
    std::vector<ZanD3DVertex> target(size_t(kQuadsPerBatch) * 4);
    for (auto _ : state)
    {
        for (int q = 0; q < count; ++q)
            std::memcpy(&target[size_t(4 * (q % kQuadsPerBatch))], &quads[size_t(4 * q)], 96);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_CopyQuads)->Arg(3000);

void BM_RecordingDeviceQuads(benchmark::State& state)
{
    ZanHeadlessEnable();
    Setup s;
    if (!s.Create(800, 600))
    {
        state.SkipWithError("no device");
        return;
    }
    const int count = int(state.range(0));
    const auto quads = Sprites(count, 800, 600);
    for (auto _ : state)
        DrawFrame(s, quads);
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_RecordingDeviceQuads)->Arg(3000);

// The software picture of such a frame, as a test asking for ZanHeadlessFrame pays for it.
void BM_RasteriseFrame(benchmark::State& state)
{
    ZanHeadlessEnable();
    Setup s;
    if (!s.Create(800, 600))
    {
        state.SkipWithError("no device");
        return;
    }
    const int count = int(state.range(0));
    DrawFrame(s, Sprites(count, 800, 600));
    std::vector<uint32_t> picture;
    for (auto _ : state)
    {
        picture.clear();
        ZanD3DRasterise(*ZanD3DLastFrame(), picture);
        benchmark::DoNotOptimize(picture.data());
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_RasteriseFrame)->Arg(3000)->Unit(benchmark::kMillisecond);

void BM_GLSprites(benchmark::State& state)
{
    if (ZanHeadlessEnabled())
    {
        state.SkipWithError("the headless backend is on in this process: run this one alone");
        return;
    }
    Setup s;
    if (!s.Create(800, 600))
    {
        state.SkipWithError("no OpenGL context (no display?)");
        return;
    }
    const int count = int(state.range(0));
    const auto quads = Sprites(count, 800, 600);
    for (auto _ : state)
        DrawFrame(s, quads);
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_GLSprites)->Arg(1)->Arg(3000)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace
