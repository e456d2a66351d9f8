#include "core/GameClock.h"

#include "ZanEngine.h"

namespace
{
// Far from zero, as a system that has been up a while would be: actors that remember "never"
// as 0 see it long ago.
constexpr uint64_t kMatchStartMicros = 1000000000ull;

bool s_bMatch = false;
uint64_t s_nMicros = 0;
} // namespace

unsigned GameTicks()
{
    return s_bMatch ? unsigned(s_nMicros / 1000u) : GetTickCount();
}

double GameSeconds()
{
    if (s_bMatch)
        return double(s_nMicros) / 1e6;
    CZanEngine* engine = CZanEngine::Instance();
    return engine ? engine->GetExactTime() : 0.0;
}

void StartMatchClock()
{
    s_bMatch = true;
    s_nMicros = kMatchStartMicros;
}

void AdvanceMatchClock(uint32_t micros)
{
    s_nMicros += micros;
}

void StopMatchClock()
{
    s_bMatch = false;
}

bool MatchClockRunning()
{
    return s_bMatch;
}
