// Engine time per frame of the main menu, played headless through the real game and data:
// the day clock and its weather (a rain of up to 1000 drops), the waving water, the clouds
// and the render list, recorded by the headless device. Its own program, because the engine
// lives once per process.
#include "HeadlessSkyfloat.h"
#include "ZanEngine.h"
#include "ZanHeadless.h"
#include "scenes/Scenes.h"
#include "app/SkyfloatGame.h"

#include <benchmark/benchmark.h>

#include <time.h>

#include <cstdio>
#include <string>
#include <vector>

namespace
{
const int kWarmFrames = 900; // splash skipped, then 12 s of rain to reach its steady state
const int kFrames = 1200;

struct Samples
{
    std::vector<double> seconds; ///< main-thread CPU time of each frame
    size_t particles = 0;
    size_t renders = 0;
    unsigned draws = 0;
} g_samples;

double ThreadSeconds()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

char g_dir[] = "/tmp/zan-bench-menu-XXXXXX";

// The data folder linked into a fresh directory, with the menu's settings replaced by a rainy
// morning whose clock stands still inside the rain's start window.
bool EnterData()
{
    const std::string data = ZAN_DATA_DIR;
    if (!headless::EnterCopyOf(data, g_dir, "MainMenu.cfg"))
        return false;
    FILE* f = std::fopen("MainMenu.cfg", "wb");
    if (!f)
        return false;
    std::fputs("[设置]\n季节=1\n时间速率=0\n开始时间=4\n天气变化=1\n背景音乐=背景音乐\n", f);
    std::fclose(f);
    return true;
}

int g_pass = 0;
double g_last = 0.0;

void OnPass(void*)
{
    const double now = ThreadSeconds();
    ZanHeadlessAdvance(15);
    if (g_pass == 5 || g_pass == 6)
        ZanHeadlessMouseButton(0, g_pass == 5); // skip the splash
    if (g_pass == 7)
        ZanHeadlessMouseMove(700, 100); // over no button
    if (g_pass > kWarmFrames)
        g_samples.seconds.push_back(now - g_last);
    if (g_pass == kWarmFrames + kFrames)
    {
        g_samples.renders = g_pGraphics->GetRenderCount();
        g_samples.draws = ZanHeadlessDrawCalls();
        auto* menu = dynamic_cast<CButtonScene*>(CurrentScene());
        const CZanParticleSystem* rain =
            menu ? menu->GetEnvironment().GetWeatherSystem(WEATHER_RAIN) : nullptr;
        for (int i = 0; rain && i < rain->GetPoolSize(); ++i)
            g_samples.particles += rain->GetParticle(i)->pSprite->IsVisible() ? 1 : 0;
        PostQuitMessage(0);
    }
    ++g_pass;
    g_last = ThreadSeconds();
}

bool PlayMenu()
{
    const bool ok = EnterData() && headless::PlaySkyfloat(&OnPass);
    headless::RemoveCopy(g_dir);
    return ok && g_samples.seconds.size() == size_t(kFrames);
}
} // namespace

static void BM_MenuFrame(benchmark::State& state)
{
    static const bool played = PlayMenu();
    if (!played)
    {
        state.SkipWithError("the menu did not play");
        return;
    }
    size_t i = 0;
    for (auto _ : state)
        state.SetIterationTime(g_samples.seconds[i++ % g_samples.seconds.size()]);
    state.counters["rain_drops"] = double(g_samples.particles);
    state.counters["drawables"] = double(g_samples.renders);
    state.counters["draw_calls"] = double(g_samples.draws);
}
BENCHMARK(BM_MenuFrame)->UseManualTime()->Iterations(kFrames)->Unit(benchmark::kMicrosecond);
