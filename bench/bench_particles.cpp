// Cost of a particle system of 1000 living particles: its Update per particle against a plain
// loop that moves 1000 structs by the same formula, and drawing its sprites through the
// batcher.
#include "ZanD3D9Record.h"
#include "ZanEngine.h"
#include "ZanHeadless.h"

#include "D3DTestUtil.h"
#include "TestSupport.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
const int kParticles = 1000;

// A headless engine with a device (made here unless another benchmark made it) and the
// particle record "p", whose 1000 particles all live for good once fired.
const ZanParticleSystemInfo* EnsureParticles()
{
    static const ZanParticleSystemInfo* info = []() -> const ZanParticleSystemInfo*
    {
        if (!CZanEngine::Instance())
        {
            char dir[] = "/tmp/zan-bench-particles-XXXXXX";
            if (!mkdtemp(dir) || chdir(dir) != 0)
                return nullptr;
            ZanHeadlessEnable();
            CZanEngine* engine = KovCreate(9);
            KovResourceCreate();
            IdleGame* game = new IdleGame;
            game->m_bWindowed = true;
            if (!engine->LoadGame(game) || !engine->SystemInitiate())
                return nullptr;
        }
        const std::vector<uint32_t> white(8 * 8, 0xFFFFFFu);
        zantest::WriteFile("particle.bmp", d3dtest::EncodeBmp24(8, 8, white));
        zantest::WriteFile(
            "particles.xml",
            u8"<资源><材质资源 Name=\"pt\" Path=\"particle.bmp\"/>"
            u8"<精灵资源 Name=\"ps\" Texture=\"pt\" Width=\"8\" Height=\"8\" RenderLevel=\"5\"/>"
            u8"<粒子资源 Name=\"p\" Sprite=\"ps\" MaxNumbers=\"1000\" Emission=\"1000000\" "
            u8"LifeTime=\"1e9\" PaticleLifeMin=\"1e8\" PaticleLifeMax=\"2e8\" Spread=\"360\" "
            u8"SpeedMin=\"1\" SpeedMax=\"2\" SizeSart=\"1\" SizeEnd=\"0.5\" AngularStart=\"-90\" "
            u8"AngularEnd=\"90\" Accel_X=\"0\" Accel_Y=\"0.001\" ColorStart=\"-1\" "
            u8"ColorEnd=\"16777215\"/></资源>");
        CZanResourceMgr* resources = CZanResourceMgr::Instance();
        if (!resources || !resources->Load("particles.xml"))
            return nullptr;
        return resources->GetParticleInfo("p");
    }();
    return info && g_pGraphics && g_pGraphics->HasDirect3D() ? info : nullptr;
}

// All 1000 particles alive, spread over the screen, inside a box they never leave.
std::unique_ptr<CZanParticleSystem> LiveSystem(const ZanParticleSystemInfo* info)
{
    std::unique_ptr<CZanParticleSystem> system(new CZanParticleSystem(info));
    CZanVector lo(-1e7f, -1e7f), hi(1e7f, 1e7f);
    system->SetBoundBox(CZanRect(lo, hi));
    system->FireWidth(CZanVector(400.0f, 300.0f), 800.0f, 600.0f);
    ZanHeadlessAdvance(16);
    system->Update();
    return system->GetAliveCount() == kParticles ? std::move(system) : nullptr;
}

void BM_ParticleUpdate(benchmark::State& state)
{
    const ZanParticleSystemInfo* info = EnsureParticles();
    std::unique_ptr<CZanParticleSystem> system = info ? LiveSystem(info) : nullptr;
    if (!system)
    {
        state.SkipWithError("no particle system");
        return;
    }
    for (auto _ : state)
    {
        ZanHeadlessAdvance(16);
        system->Update();
    }
    state.SetItemsProcessed(state.iterations() * kParticles);
}
BENCHMARK(BM_ParticleUpdate);

// The floor: the same ageing, interpolation and movement over contiguous structs that hold
// their drawn state themselves, with no lists, no sprites and no clock. Range 0 keeps the
// colour as floats; range 1 also packs it into the four vertex colours the batcher reads, as
// a sprite's SetColor must.
struct PlainParticle
{
    float life, totalLife;
    CZanVector pos, velocity, accel;
    float rot, spin;
    float scale;
    CZanColor color;
    uint32_t vertexColor[4];
};

void BM_ParticlePlainLoop(benchmark::State& state)
{
    const bool pack = state.range(0) != 0;
    std::vector<PlainParticle> particles(kParticles);
    for (int i = 0; i < kParticles; ++i)
    {
        PlainParticle& p = particles[size_t(i)];
        p.totalLife = p.life = 1e8f + float(i);
        p.pos = CZanVector(float(i % 800), float(i % 600));
        p.velocity = CZanVector(1.0f, -1.0f);
        p.accel = CZanVector(0.0f, 0.001f);
        p.spin = 0.5f;
    }
    CZanVector lo(-1e7f, -1e7f), hi(1e7f, 1e7f);
    CZanRect box(lo, hi);
    const float sizeStart = 1.0f, sizeEnd = 0.5f;
    const CZanColor start(1.0f, 1.0f, 1.0f, 1.0f), delta(0.0f, 0.0f, 0.0f, -1.0f);
    const float dt = 0.016f;
    for (auto _ : state)
    {
        for (PlainParticle& p : particles)
        {
            p.life -= dt;
            if (!(p.life > 0.0f) || !box.TestPoint(p.pos))
            {
                p.life = p.totalLife;
                continue;
            }
            const float t = (p.totalLife - p.life) / p.totalLife;
            p.scale = sizeStart - (sizeStart - sizeEnd) * t;
            p.color = start + delta * t;
            if (pack)
            {
                const uint32_t packed = uint32_t(p.color.GetHWColor());
                for (uint32_t& c : p.vertexColor)
                    c = packed;
            }
            p.velocity += p.accel * dt;
            p.pos += p.velocity * dt;
            p.rot += p.spin * dt;
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kParticles);
}
BENCHMARK(BM_ParticlePlainLoop)->Arg(0)->Arg(1);

// The render list holding the 1000 particle sprites (and the manager's few defaults): the
// particles share one texture and one level, so they take one draw call.
void BM_ParticleDraw(benchmark::State& state)
{
    const ZanParticleSystemInfo* info = EnsureParticles();
    std::unique_ptr<CZanParticleSystem> system = info ? LiveSystem(info) : nullptr;
    if (!system)
    {
        state.SkipWithError("no particle system");
        return;
    }
    unsigned particleDraws = 0, draws = 0;
    for (auto _ : state)
    {
        g_pGraphics->ClearRender(0);
        g_pGraphics->BeginRender();
        const auto start = std::chrono::steady_clock::now();
        g_pGraphics->RenderGraphics();
        g_pGraphics->BatchRender();
        const auto stop = std::chrono::steady_clock::now();
        g_pGraphics->EndRender();
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
        particleDraws = 0;
        for (const ZanD3DDraw& d : ZanD3DLastFrame()->draws)
            particleDraws += d.texture && !d.text ? 1 : 0;
        draws = ZanD3DLastFrame()->drawCalls;
    }
    state.counters["particle_draws"] = particleDraws;
    state.counters["draws_per_frame"] = draws;
    state.SetItemsProcessed(state.iterations() * kParticles);
}
BENCHMARK(BM_ParticleDraw)->UseManualTime()->Unit(benchmark::kMicrosecond);
} // namespace
