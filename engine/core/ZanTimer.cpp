#include "core/ZanTimer.h"

#include "ZanWin32.h"

#include <numeric>
#include <utility>

CZanTimeSource::CZanTimeSource()
{
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    m_dSecondsPerTick = frequency.QuadPart ? 1.0 / double(frequency.QuadPart) : 0.0;
}

double CZanTimeSource::GetTime() const
{
    LARGE_INTEGER count{};
    QueryPerformanceCounter(&count);
    return double(count.QuadPart) * m_dSecondsPerTick;
}

CZanTimer::CZanTimer(CZanTimeSource* clock)
    : m_pClock(clock), m_dFrameTime(0.0), m_dStartTime(0.0), m_dLastTickTime(0.0),
      m_nHistoryCapacity(1), m_dInitialFrameTime(0.03)
{
    if (m_pClock)
        m_dStartTime = m_dLastTickTime = m_pClock->GetTime();
    m_dqHistory.clear();
    m_dqHistory.push_back(m_dInitialFrameTime);
    m_dFrameTime = m_dInitialFrameTime;
}

CZanTimer::~CZanTimer()
{
    delete m_pClock;
}

double CZanTimer::GetTime() const
{
    return m_pClock ? m_pClock->GetTime() : 0.0;
}

void CZanTimer::Tick()
{
    const double now = GetTime();
    double dt = now - m_dLastTickTime;
    if (dt > 0.2)
        dt = m_dqHistory.back();
    m_dLastTickTime = now;
    m_dqHistory.push_back(dt);
    while (m_dqHistory.size() > m_nHistoryCapacity)
        m_dqHistory.pop_front();
    m_dFrameTime =
        std::accumulate(m_dqHistory.begin(), m_dqHistory.end(), 0.0) / double(m_dqHistory.size());
}

// max < min has no meaningful range: the bounds are swapped rather than dividing by zero
// or landing outside them.
int CZanRandom::Int(int min, int max)
{
    if (max < min)
        std::swap(min, max);
    m_nState = m_nState * 214013u + 2531011u;
    const uint32_t r = (m_nState >> 15) ^ m_nState;
    const uint32_t span = uint32_t(max) - uint32_t(min) + 1u; // 0 means the whole int range
    return span ? int(uint32_t(min) + r % span) : int(r);
}

float CZanRandom::Float(float min, float max)
{
    m_nState = m_nState * 214013u + 2531011u;
    const uint32_t r = m_nState >> 16;
    const float k = 1.0f / 65535.0f;
    return (max - min) * float(r) * k + min;
}
