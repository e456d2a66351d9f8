// Presentation pacing where the driver's swap does not wait for the display.
#include "d3d/PresentPacer.h"

#include "ZanD3D9.h"

#include <gtest/gtest.h>

using zan::d3d::PresentPacer;
using zan::d3d::RefreshesPerPresent;

namespace
{
// Runs `frames` frames that each take `work` µs before their swap returns, on a driver whose
// swap returns at once (or, with `vblank`, waits for the next refresh of that period); returns
// the time the last frame ended.
uint64_t RunFrames(PresentPacer& pacer, int frames, uint64_t work, uint64_t vblank = 0,
                   std::vector<uint64_t>* waits = nullptr)
{
    uint64_t now = 1000000;
    for (int i = 0; i < frames; ++i)
    {
        now += work;
        if (vblank)
            now = (now / vblank + 1) * vblank;
        const uint64_t until = pacer.WaitUntil(now);
        if (waits)
            waits->push_back(until ? until - now : 0);
        if (until)
        {
            EXPECT_GT(until, now);
            now = until;
        }
    }
    return now;
}
} // namespace

TEST(PresentPacer, IntervalsAndRefreshRates)
{
    EXPECT_EQ(RefreshesPerPresent(D3DPRESENT_INTERVAL_IMMEDIATE), 0u);
    EXPECT_EQ(RefreshesPerPresent(D3DPRESENT_INTERVAL_DEFAULT), 1u);
    EXPECT_EQ(RefreshesPerPresent(D3DPRESENT_INTERVAL_ONE), 1u);
    EXPECT_EQ(RefreshesPerPresent(D3DPRESENT_INTERVAL_TWO), 2u);
    PresentPacer pacer;
    pacer.Configure(1, 0); // a display that does not say: 60 Hz
    EXPECT_EQ(pacer.Period(), 16666u);
    pacer.Configure(2, 144);
    EXPECT_EQ(pacer.Period(), 13888u);
    pacer.Configure(0, 60);
    EXPECT_EQ(pacer.Period(), 0u);
}

TEST(PresentPacer, ImmediatePresentationNeverWaits)
{
    PresentPacer pacer;
    pacer.Configure(0, 60);
    std::vector<uint64_t> waits;
    RunFrames(pacer, 100, 300, 0, &waits);
    EXPECT_EQ(waits, std::vector<uint64_t>(100, 0));
}

// 3 ms frames on a swap that returns at once: one frame per refresh, without drift.
TEST(PresentPacer, EarlySwapsWaitForTheRefresh)
{
    PresentPacer pacer;
    pacer.Configure(1, 60);
    const uint64_t start = 1000000 + 3000;
    EXPECT_EQ(RunFrames(pacer, 601, 3000), start + 600 * pacer.Period());
}

// A driver that does wait (at 59.94 Hz, while the display says 59 or 60) is never held up.
TEST(PresentPacer, SwapsThatWaitedAreNotHeldUpAgain)
{
    for (int hz : {59, 60, 61})
    {
        SCOPED_TRACE(hz);
        PresentPacer pacer;
        pacer.Configure(1, hz);
        std::vector<uint64_t> waits;
        RunFrames(pacer, 600, 4000, 16683, &waits);
        EXPECT_EQ(waits, std::vector<uint64_t>(600, 0));
    }
}

// After a slow frame the rhythm is kept: the frames after it wait less, but never come faster
// than one per refresh; a stall of several refreshes is not made up with a burst.
TEST(PresentPacer, LateFramesKeepTheRhythmWithoutBursts)
{
    PresentPacer pacer;
    pacer.Configure(1, 60);
    const uint64_t period = pacer.Period();
    uint64_t now = RunFrames(pacer, 10, 3000);
    const uint64_t slow = now + 20000; // 20 ms of work
    EXPECT_EQ(pacer.WaitUntil(slow), 0u);
    const uint64_t next = pacer.WaitUntil(slow + 3000);
    EXPECT_EQ(next, now + 2 * period); // back on the grid at once
    EXPECT_GE(next - slow, 3000u);
    const uint64_t stalled = next + 10 * period;
    EXPECT_EQ(pacer.WaitUntil(stalled), 0u);
    EXPECT_EQ(pacer.WaitUntil(stalled + 3000), stalled + period);
}
