// Where a match's frames come from: the local keyboard and pads, a replay file, or the
// network. The match asks how many frames are ready each pass and takes them one per step.
#pragma once

#include "app/replay/ReplayFile.h"

#include <cstdint>
#include <string>

class IMatchFeed
{
public:
    virtual ~IMatchFeed() {}
    /// Frames that may be simulated this pass; `now` is the program's clock in seconds, read
    /// outside the simulation.
    virtual int Ready(double now) = 0;
    /// The next frame; `frameTime` is the display's last frame length in seconds.
    virtual MatchFrame Next(double frameTime) = 0;
    /// A key of the local player (DirectInput code).
    virtual void Key(int, bool) {}
    /// The state hash after `frames` frames; false when it shows the match went wrong.
    virtual bool Hashed(uint32_t, uint64_t) { return true; }
    /// True once the feed has nothing more to give and the match should end.
    virtual bool Over() const { return false; }
    /// A line for the player while the match runs or after it ended (empty: none).
    virtual std::string Notice() const { return std::string(); }
};

/// Keys held and flaps pressed since the last frame, as the two key sets give them.
class CKeyLatch
{
public:
    /// `seat`: the bird every key set steers (0 or 1), or -1 for A, D, J on bird 1 and the
    /// arrows and End on bird 2.
    explicit CKeyLatch(int seat = -1) : m_nSeat(seat), m_abHeld(), m_abFlap() {}
    void Key(int dik, bool down);
    /// The bits of one bird for the coming frame; clears the flaps it reports.
    uint8_t Take(int bird);

private:
    int m_nSeat;
    bool m_abHeld[2][2];
    bool m_abFlap[2];
};

/// Frames of the local keyboard and pads, each as long as the display's frame.
class CLocalFeed : public IMatchFeed
{
public:
    explicit CLocalFeed(int players) : m_nPlayers(players) {}
    int Ready(double) override { return 1; }
    MatchFrame Next(double frameTime) override;
    void Key(int dik, bool down) override { m_Latch.Key(dik, down); }

private:
    int m_nPlayers;
    CKeyLatch m_Latch;
};

/// Frames of a replay; with `check`, every recorded hash is compared and printed.
class CReplayFeed : public IMatchFeed
{
public:
    CReplayFeed(const Replay& replay, bool check, int framesPerPass)
        : m_Replay(replay), m_bCheck(check), m_nPerPass(framesPerPass), m_nNext(0), m_nHash(0),
          m_bFailed(false)
    {
    }
    int Ready(double) override;
    MatchFrame Next(double) override { return m_Replay.frames[m_nNext++]; }
    bool Hashed(uint32_t frames, uint64_t hash) override;
    bool Over() const override { return m_bFailed || m_nNext >= m_Replay.frames.size(); }
    bool Failed() const { return m_bFailed; }
    /// Recorded hashes not reached (a replay that ended early is not a pass).
    size_t Unchecked() const { return m_Replay.hashes.size() - m_nHash; }

private:
    const Replay& m_Replay;
    bool m_bCheck;
    int m_nPerPass;
    size_t m_nNext;
    size_t m_nHash;
    bool m_bFailed;
};

/// The step length a display frame gives, in whole microseconds within a replay's bounds.
uint32_t StepMicros(double frameTime);
