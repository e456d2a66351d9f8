// Performance counter, millisecond counters and Sleep: the monotonic clock on the desktop,
// the virtual clock when headless.
#include "Platform.h"

#include <ctime>

namespace
{
constexpr int64_t kCounterFrequency = 10000000; // 100 ns ticks

uint64_t MonotonicMicros()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000u + uint64_t(ts.tv_nsec) / 1000u;
}

uint64_t NowMicros()
{
    return ZanIsHeadless() ? zan::headless::NowMicros() : MonotonicMicros();
}
} // namespace

BOOL QueryPerformanceCounter(LARGE_INTEGER* count)
{
    if (!count)
        return FALSE;
    count->QuadPart = int64_t(NowMicros()) * (kCounterFrequency / 1000000);
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency)
{
    if (!frequency)
        return FALSE;
    frequency->QuadPart = kCounterFrequency;
    return TRUE;
}

DWORD GetTickCount(void)
{
    return static_cast<DWORD>(NowMicros() / 1000u);
}

DWORD timeGetTime(void)
{
    return GetTickCount();
}

void Sleep(DWORD milliseconds)
{
    if (ZanIsHeadless())
    {
        zan::headless::Sleep(milliseconds);
        return;
    }
    timespec ts{time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0)
    {
    }
}
