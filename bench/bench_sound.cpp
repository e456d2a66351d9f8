// Cost of streaming music: one CZanOggStream::Update per 60 Hz frame while a 44.1 kHz stereo
// stream plays on the silent loopback device, which renders exactly one frame of samples
// between updates. Most frames refill nothing; every 16384th sample frame a 64 KiB chunk is
// decoded. Reported: the mean Update (the benchmark's time), the worst frame, the mean refill
// frame, and the memory one loaded and playing stream holds.
#include "SoundFiles.h"
#include "TestSupport.h"
#include "ZanEngine.h"
#include "ZanHeadless.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <malloc.h>
#include <random>
#include <ctime>
#include <unistd.h>

namespace
{
constexpr int kRate = 44100;
constexpr int kFrame = kRate / 60;

// Twenty seconds of chords over a little noise: enough for the decoder to do real work.
const std::string& MusicPath()
{
    static const std::string path = []
    {
        const int frames = 20 * kRate;
        zantest::Samples music(size_t(frames) * 2);
        std::mt19937 rng(7);
        std::uniform_real_distribution<float> noise(-0.05f, 0.05f);
        for (int i = 0; i < frames; ++i)
        {
            const double t = double(i) / kRate;
            const double root = 220.0 * std::pow(2.0, double((i / kRate) % 4) / 12.0);
            const float v = float(0.2 * std::sin(2 * M_PI * root * t) +
                                  0.15 * std::sin(2 * M_PI * root * 1.5 * t) +
                                  0.1 * std::sin(2 * M_PI * root * 2.0 * t));
            music[size_t(i) * 2] = v + noise(rng);
            music[size_t(i) * 2 + 1] = v + noise(rng);
        }
        const std::string file = "/tmp/zan-bench-music-" + std::to_string(getpid()) + ".ogg";
        zantest::WriteFile(file, zantest::MakeOgg(2, kRate, music));
        return file;
    }();
    return path;
}

CZanSoundDevice& Device()
{
    static CZanSoundDevice device;
    static const bool open = []
    {
        // The silent device: output rendered here, one frame at a time, no real-time mixer;
        // the headless clock stands still, so the device mixes nothing on its own.
        setenv("ALSOFT_DRIVERS", "zan-no-such-driver", 1);
        ZanHeadlessEnable();
        return device.Open();
    }();
    (void)open;
    return device;
}

size_t HeapInUse()
{
    return mallinfo2().uordblks;
}

// CPU time of this thread: on a shared, loaded machine wall time mostly measures the others.
double ThreadSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

void StreamUpdatePerFrame(benchmark::State& state)
{
    Device();
    CZanOggStream stream;
    stream.LoadSound(MusicPath().c_str(), true);
    stream.PlaySoundA();
    double worst = 0, worstWall = 0, refillSum = 0;
    int64_t refills = 0;
    for (auto _ : state)
    {
        zantest::RenderLoopback(kFrame);
        const auto wall = std::chrono::steady_clock::now();
        const double start = ThreadSeconds();
        stream.Update();
        const double seconds = ThreadSeconds() - start;
        worstWall = std::max(
            worstWall,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count());
        state.SetIterationTime(seconds);
        worst = std::max(worst, seconds);
        if (seconds > 100e-6)
        {
            refillSum += seconds;
            ++refills;
        }
    }
    state.counters["worst_ms"] = worst * 1e3;
    state.counters["worst_wall_ms"] = worstWall * 1e3;
    state.counters["refill_ms"] = refills ? refillSum / double(refills) * 1e3 : 0.0;
    state.counters["refill_frames"] = double(refills);
}
BENCHMARK(StreamUpdatePerFrame)
    ->UseManualTime()
    ->Iterations(60 * 60)
    ->Unit(benchmark::kMicrosecond);

void StreamMemory(benchmark::State& state)
{
    Device();
    for (auto _ : state)
    {
        const size_t before = HeapInUse();
        auto* stream = new CZanOggStream;
        stream->LoadSound(MusicPath().c_str(), true);
        stream->PlaySoundA();
        state.counters["heap_bytes"] = double(HeapInUse() - before);
        delete stream;
    }
    state.counters["object_bytes"] = double(sizeof(CZanOggStream));
    state.counters["stack_block_bytes"] = 65536;
}
BENCHMARK(StreamMemory)->Iterations(1);
} // namespace

namespace
{
// What the silent device costs a game without sound: one frame of mixing, with the music
// stream and a few effects playing.
void SilentDeviceMixPerFrame(benchmark::State& state)
{
    CZanSoundDevice& device = Device();
    CZanOggStream stream;
    stream.LoadSound(MusicPath().c_str(), true);
    stream.PlaySoundA();
    for (auto _ : state)
    {
        ZanHeadlessAdvance(unsigned(state.range(0)));
        const double start = ThreadSeconds();
        device.Mix();
        state.SetIterationTime(ThreadSeconds() - start);
        stream.Update();
    }
}
BENCHMARK(SilentDeviceMixPerFrame)
    ->Arg(1)
    ->Arg(16)
    ->UseManualTime()
    ->Iterations(600)
    ->Unit(benchmark::kMicrosecond);
} // namespace
