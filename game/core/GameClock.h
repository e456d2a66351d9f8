// The clock the simulation reads. Outside a match it is the system's; during a match it is
// the sum of the match's step lengths, so a replay or a peer in lockstep sees the same times.
#pragma once

#include <cstdint>

/// Milliseconds, as GetTickCount counts them.
unsigned GameTicks();
/// Seconds, as the engine's exact time counts them.
double GameSeconds();

/// Switches to the match clock, starting at a fixed time.
void StartMatchClock();
/// Moves the match clock on by one step.
void AdvanceMatchClock(uint32_t micros);
/// Back to the system's clock.
void StopMatchClock();
bool MatchClockRunning();
