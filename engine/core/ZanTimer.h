// The frame clock, the frame timer and the random generator of the engine.
#pragma once

#include <cstdint>
#include <deque>

/// The high-resolution clock: performance counter in seconds.
class CZanTimeSource
{
public:
    CZanTimeSource();
    double GetTime() const;

private:
    double m_dSecondsPerTick;
};

/// Measures frame durations. A frame longer than 0.2 s is reported with the previous frame's
/// duration, so a pause never makes the simulation jump.
class CZanTimer
{
public:
    explicit CZanTimer(CZanTimeSource* clock); // takes ownership of the clock
    ~CZanTimer();

    void Tick();
    double GetFrameTime() const { return m_dFrameTime; }
    double GetStartTime() const { return m_dStartTime; }
    double GetLastTickTime() const { return m_dLastTickTime; }
    double GetTime() const;

private:
    CZanTimeSource* m_pClock;
    double m_dFrameTime;
    double m_dStartTime;
    double m_dLastTickTime;
    unsigned m_nHistoryCapacity;
    double m_dInitialFrameTime;
    std::deque<double> m_dqHistory;
};

/// The engine's linear congruential generator.
class CZanRandom
{
public:
    explicit CZanRandom(uint32_t seed) : m_nState(seed) {}
    void Seed(uint32_t seed) { m_nState = seed; }
    int Int(int min, int max);
    float Float(float min, float max);
    uint32_t State() const { return m_nState; }

private:
    uint32_t m_nState;
};
