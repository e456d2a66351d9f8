// Cost of the quad batcher and of drawing the render list, on the headless recording device.
#include "ZanD3D9Record.h"
#include "ZanEngine.h"
#include "ZanHeadless.h"

#include "D3DTestUtil.h"
#include "TestSupport.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
void WriteBmp(const char* name, int w, int h, uint32_t rgb)
{
    const std::vector<uint32_t> pixels(size_t(w) * size_t(h), rgb);
    zantest::WriteFile(ZanNativePath(name), d3dtest::EncodeBmp24(w, h, pixels));
}

// A headless engine with a device and five textures "t0".."t4", made once per process.
bool EnsureDevice()
{
    static bool ready = []
    {
        char dir[] = "/tmp/zan-bench-gfx-XXXXXX";
        if (!mkdtemp(dir) || chdir(dir) != 0)
            return false;
        ZanHeadlessEnable();
        CZanEngine* engine = KovCreate(9);
        CZanResourceMgr* resources = KovResourceCreate();
        IdleGame* game = new IdleGame;
        game->m_bWindowed = true;
        if (!engine || !engine->LoadGame(game) || !engine->SystemInitiate())
            return false;
        std::string xml = "<\xe8\xb5\x84\xe6\xba\x90>"; // 资源 in UTF-8
        for (int i = 0; i < 5; ++i)
        {
            const std::string file = "t" + std::to_string(i) + ".bmp";
            WriteBmp(file.c_str(), 64, 64, 0x203040u * uint32_t(i + 1));
            xml += "<\xe6\x9d\x90\xe8\xb4\xa8\xe8\xb5\x84\xe6\xba\x90 Name=\"t" +
                   std::to_string(i) + "\" Path=\"" + file + "\"/>";
        }
        xml += "</\xe8\xb5\x84\xe6\xba\x90>";
        FILE* f = std::fopen("bench.xml", "wb");
        std::fwrite(xml.data(), 1, xml.size(), f);
        std::fclose(f);
        return resources->Load("bench.xml");
    }();
    return ready && g_pGraphics && g_pGraphics->HasDirect3D();
}

ZanQuad BenchQuad(CZanResPtr<CZanTexture>* texture)
{
    ZanQuad q = {};
    for (int i = 0; i < 4; ++i)
        q.v[i] =
            ZanVertex{float(i & 1) * 8.0f, float(i >> 1) * 8.0f, 0.5f, 0xFFFFFFFFu, 0.0f, 0.0f};
    q.pTexture = texture;
    q.nBlend = ZAN_BLEND_DEFAULT;
    return q;
}

// The floor: copying the 96 bytes of four vertices into a buffer of 1000 quads.
void BM_CopyQuadBaseline(benchmark::State& state)
{
    const ZanQuad q = BenchQuad(nullptr);
    std::unique_ptr<ZanVertex[]> buffer(new ZanVertex[4 * CZanGraphics::MAX_QUADS]);
    for (auto _ : state)
    {
        for (int i = 0; i < CZanGraphics::MAX_QUADS; ++i)
        {
            std::memcpy(buffer.get() + 4 * i, q.v, sizeof(q.v));
            benchmark::ClobberMemory();
        }
    }
    state.SetItemsProcessed(state.iterations() * CZanGraphics::MAX_QUADS);
}
BENCHMARK(BM_CopyQuadBaseline);

// The same copy into buffer storage that is not in the cache, as a vertex buffer's storage
// is after a frame has been presented: each burst writes the next 96000 bytes of a 64 MB
// arena.
void BM_CopyQuadBaselineCold(benchmark::State& state)
{
    const ZanQuad q = BenchQuad(nullptr);
    const size_t burst = 4 * CZanGraphics::MAX_QUADS;
    const size_t bursts = (64u << 20) / (burst * sizeof(ZanVertex));
    std::unique_ptr<ZanVertex[]> arena(new ZanVertex[burst * bursts]);
    std::memset(arena.get(), 0, burst * bursts * sizeof(ZanVertex));
    size_t next = 0;
    for (auto _ : state)
    {
        ZanVertex* buffer = arena.get() + burst * next;
        next = (next + 1) % bursts;
        for (int i = 0; i < CZanGraphics::MAX_QUADS; ++i)
        {
            std::memcpy(buffer + 4 * i, q.v, sizeof(q.v));
            benchmark::ClobberMemory();
        }
    }
    state.SetItemsProcessed(state.iterations() * CZanGraphics::MAX_QUADS);
}
BENCHMARK(BM_CopyQuadBaselineCold);

// RenderQuadSoild alone: bursts of 1000 quads of one texture, each filling one batch, in
// frames made as the engine makes them (cleared first, so the recording device never has to
// paint the previous frame under this one). The burst is timed by hand so that frame set-up
// and presentation stay outside.
void BM_RenderQuadSoild(benchmark::State& state)
{
    if (!EnsureDevice())
    {
        state.SkipWithError("no device");
        return;
    }
    CZanResPtr<CZanTexture>* texture = CZanResourceMgr::Instance()->GetTexture("t0");
    const ZanQuad q = BenchQuad(texture);
    // Held in a local as a caller drawing many quads would: the barrier below would otherwise
    // re-read the global pointer for every quad, which is the caller's cost, not the batcher's.
    CZanGraphics* const graphics = g_pGraphics;
    for (auto _ : state)
    {
        graphics->ClearRender(0);
        graphics->BeginRender();
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < CZanGraphics::MAX_QUADS; ++i)
        {
            graphics->RenderQuadSoild(&q);
            benchmark::ClobberMemory();
        }
        const auto stop = std::chrono::steady_clock::now();
        graphics->EndRender();
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
    }
    state.SetItemsProcessed(state.iterations() * CZanGraphics::MAX_QUADS);
    delete texture;
}
BENCHMARK(BM_RenderQuadSoild)->UseManualTime();

// The same bursts including the batch flush (the draw call and the relock) that every
// 1000 quads cost.
void BM_RenderQuadSoildWithFlush(benchmark::State& state)
{
    if (!EnsureDevice())
    {
        state.SkipWithError("no device");
        return;
    }
    CZanResPtr<CZanTexture>* texture = CZanResourceMgr::Instance()->GetTexture("t0");
    const ZanQuad q = BenchQuad(texture);
    for (auto _ : state)
    {
        g_pGraphics->ClearRender(0);
        g_pGraphics->BeginRender();
        double seconds = 0.0;
        for (int burst = 0; burst < 16; ++burst)
        {
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < CZanGraphics::MAX_QUADS; ++i)
            {
                g_pGraphics->RenderQuadSoild(&q);
                benchmark::ClobberMemory();
            }
            g_pGraphics->BatchRender();
            seconds +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        g_pGraphics->EndRender();
        state.SetIterationTime(seconds);
    }
    state.SetItemsProcessed(state.iterations() * 16 * CZanGraphics::MAX_QUADS);
    delete texture;
}
BENCHMARK(BM_RenderQuadSoildWithFlush)->UseManualTime();

// RenderGraphics over 5000 registered sprites on 10 levels. Range 0: each level uses one
// texture (neighbouring levels grouped by texture); range 1: every sprite a random texture.
void BM_RenderGraphics5000(benchmark::State& state)
{
    if (!EnsureDevice())
    {
        state.SkipWithError("no device");
        return;
    }
    const bool grouped = state.range(0) == 0;
    std::mt19937 random(7);
    std::vector<std::unique_ptr<CZanSprite>> sprites;
    for (int i = 0; i < 5000; ++i)
    {
        const int level = int(random() % 10);
        const int tex = grouped ? level / 2 : int(random() % 5);
        const std::string name = "t" + std::to_string(tex);
        sprites.emplace_back(new CZanSprite(name.c_str(), 0.0f, 0.0f, 16.0f, 16.0f, level));
        sprites.back()->SetPosition(float(random() % 800), float(random() % 600));
        sprites.back()->SetRot(float(random() % 628) / 100.0f);
    }
    unsigned draws = 0;
    for (auto _ : state)
    {
        g_pGraphics->ClearRender(0);
        g_pGraphics->BeginRender();
        const auto start = std::chrono::steady_clock::now();
        g_pGraphics->RenderGraphics();
        g_pGraphics->BatchRender();
        const auto stop = std::chrono::steady_clock::now();
        g_pGraphics->EndRender(); // presentation (and the recorder's work) is not timed
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
        draws = ZanD3DLastFrame() ? ZanD3DLastFrame()->drawCalls : 0;
    }
    state.counters["draws_per_frame"] = draws;
    state.SetItemsProcessed(state.iterations() * 5000);
}
BENCHMARK(BM_RenderGraphics5000)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMicrosecond);
} // namespace
