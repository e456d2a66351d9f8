// The Direct3D stand-in's cost: the recording device per quad against a plain 96-byte copy,
// and the OpenGL renderer drawing 3000 blended 32 x 32 sprites a frame at 800 x 600.
// The OpenGL benchmark needs a display (run under xvfb-run, or with SDL_VIDEODRIVER=offscreen)
// and a process of its own: --benchmark_filter=GLSprites.
#include "D3DTestUtil.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <random>
#include <vector>

namespace
{
constexpr int kQuadsPerBatch = 1000;

// The engine's device set-up (shared with the tests) and a round, soft-edged 32 x 32 sprite.
struct Setup
{
    d3dtest::Rig rig;
    IDirect3DDevice9* device = nullptr;
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DTexture9* texture = nullptr;

    bool Create(int w, int h)
    {
        if (!rig.Create(w, h))
            return false;
        device = rig.device;
        vb = rig.vb;
        std::vector<uint32_t> pixels(32 * 32);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
            {
                const int d2 = (x - 16) * (x - 16) + (y - 16) * (y - 16);
                const uint32_t a = d2 < 256 ? uint32_t(255 - d2) : 0;
                pixels[size_t(y * 32 + x)] = (a << 24) | 0x40A0FFu;
            }
        texture = d3dtest::MakeTexture(device, 32, 32, pixels);
        if (!texture)
            return false;
        device->SetTexture(0, texture);
        return true;
    }

    ~Setup()
    {
        if (texture)
            texture->Release();
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
