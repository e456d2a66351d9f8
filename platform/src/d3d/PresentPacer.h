// Presentation at most once per display refresh (or per n refreshes), for drivers whose swap
// returns at once although a swap interval was asked for (Mesa under a virtual X server).
#pragma once

#include <cstdint>

namespace zan::d3d
{
class PresentPacer
{
public:
    // `refreshes` per presentation, 0 for immediate; `hz` is the display's rate, 0 if unknown.
    void Configure(unsigned refreshes, int hz);
    // Called when a swap returned at `now` (µs on a monotonic clock): the time to wait until,
    // or 0 when the frame may go on at once.
    uint64_t WaitUntil(uint64_t now);
    uint64_t Period() const { return m_period; }

    // Clock and waiting used by the desktop renderer.
    static uint64_t Now();
    static void SleepUntil(uint64_t when);

private:
    uint64_t m_period = 0; // µs between presentations, 0 when unpaced
    uint64_t m_slot = 0;   // earliest return of the next presentation, 0 before the first
};

// Refreshes per presentation for a D3DPRESENT_INTERVAL_* value (0: immediate).
unsigned RefreshesPerPresent(uint32_t interval);
} // namespace zan::d3d
