// Engine plus game CPU per frame in a busy two-player level, headless: two birds flying,
// six monsters, rain at its peak, the waving water.
#include "LevelRun.h"

#include <benchmark/benchmark.h>
#include <ctime>

namespace
{
double CpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

void BM_BusyTwoPlayerLevelFrame(benchmark::State& state)
{
    const unsigned warmUpMs = 3000, frames = 3000;
    for (auto _ : state)
    {
        zantest::LevelRun run(2);
        // Rain starts just after 4 o'clock and pours at full strength by the warm-up's end.
        run.Override("Level01.cfg", "[设置]\n怪物数=6\n季节=1\n时间速率=1\n开始时间=4\n"
                                    "天气变化=1\n背景音乐=关卡音乐\n");
        double start = 0.0, spent = 0.0;
        unsigned measured = 0;
        run.Play(
            [&](zantest::LevelRun& r)
            {
                if (!r.Level())
                    return false;
                const unsigned t = r.Time();
                zantest::LevelRun::Key(DIK_J, t % 600 < 250);
                zantest::LevelRun::Key(DIK_END, t % 500 < 200);
                zantest::LevelRun::Key(DIK_A, (t / 2000) % 2 == 0);
                zantest::LevelRun::Key(DIK_RIGHT, (t / 2500) % 2 == 0);
                if (t < warmUpMs)
                    return true;
                const double now = CpuSeconds();
                if (start > 0.0)
                {
                    spent += now - start;
                    ++measured;
                }
                start = now;
                return measured < frames;
            },
            warmUpMs + frames * zantest::LevelRun::FRAME_MS + 1000);
        state.SetIterationTime(measured ? spent / measured : 0.0);
        state.counters["frames"] = measured;
    }
}
BENCHMARK(BM_BusyTwoPlayerLevelFrame)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
} // namespace
