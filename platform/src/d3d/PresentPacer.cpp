#include "PresentPacer.h"

#include "ZanD3D9.h"

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace zan::d3d
{
namespace
{
constexpr int kDefaultHz = 60;
constexpr int kMaxHz = 1000;

timespec ToTimespec(uint64_t micros)
{
    return timespec{time_t(micros / 1000000u), long(micros % 1000000u) * 1000L};
}
} // namespace

unsigned RefreshesPerPresent(uint32_t interval)
{
    switch (interval)
    {
    case D3DPRESENT_INTERVAL_IMMEDIATE:
        return 0;
    case D3DPRESENT_INTERVAL_TWO:
        return 2;
    default: // DEFAULT and ONE
        return 1;
    }
}

void PresentPacer::Configure(unsigned refreshes, int hz)
{
    if (hz <= 0 || hz > kMaxHz)
        hz = kDefaultHz;
    m_period = refreshes == 0 ? 0 : uint64_t(refreshes) * 1000000u / uint64_t(hz);
    m_slot = 0;
}

// A swap that returned well before its slot did not wait for the display: the wait happens
// here. One that returned about on its slot did wait, so the schedule follows it and a driver
// that honours the interval is never held up twice; the margin absorbs jitter and refresh
// rates rounded to whole hertz. A late frame keeps the rhythm (the next one waits less), and
// one more than a whole period late starts the schedule over rather than rushing frames out.
uint64_t PresentPacer::WaitUntil(uint64_t now)
{
    if (m_period == 0)
        return 0;
    const uint64_t margin = std::max<uint64_t>(m_period / 8, 1000);
    if (m_slot == 0 || now >= m_slot + m_period)
    {
        m_slot = now + m_period;
        return 0;
    }
    if (now + margin < m_slot)
    {
        const uint64_t until = m_slot;
        m_slot += m_period;
        return until;
    }
    m_slot = now <= m_slot + margin ? now + m_period : m_slot + m_period;
    return 0;
}

uint64_t PresentPacer::Now()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000u + uint64_t(ts.tv_nsec) / 1000u;
}

void PresentPacer::SleepUntil(uint64_t when)
{
    const timespec deadline = ToTimespec(when);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR)
    {
    }
}
} // namespace zan::d3d
