// Plays the real game headless into a level on the virtual clock: the real data files, the
// real flow, keys injected as a player would press them.
#pragma once

#include "TestSupport.h"
#include "ZanEngine.h"
#include "ZanHeadless.h"
#include "actors/Bird.h"
#include "actors/HeadUpDisplay.h"
#include "actors/Monster.h"
#include "app/SkyfloatGame.h"
#include "scenes/Level.h"

#include <functional>
#include <map>
#include <string>

namespace zantest
{
/// One game run from start-up to quit, driven a frame at a time. Each pass of the frame loop
/// lasts 16 ms of virtual time.
class LevelRun
{
public:
    enum
    {
        FRAME_MS = 16
    };

    /// A level for one or two players, in a private working directory holding the game's data.
    explicit LevelRun(int players);
    ~LevelRun();

    /// Virtual milliseconds per pass of the frame loop (at least 1).
    void SetFrameTime(unsigned ms) { m_nFrameMs = ms ? ms : 1; }
    /// Replaces a data file of the run (name as on disk, UTF-8).
    void Override(const std::string& name, const std::string& bytes);
    /// Starts the engine and plays: `step` runs once per frame while the level is current and
    /// returns false to quit; the run also quits `limitMs` after the level started.
    void Play(const std::function<bool(LevelRun&)>& step, unsigned limitMs);

    CSkyfloatGame* Game() const { return m_pGame; }
    /// The current level, or null when another screen is shown.
    CLevel* Level() const;
    CBird* Bird(int i) const { return Level() ? Level()->GetBird(i) : nullptr; }
    CMonster* Monster(int i) const { return Level() ? Level()->GetMonster(i) : nullptr; }
    /// Milliseconds since the level was loaded.
    unsigned Time() const;
    /// Starts the next level from the wait screen (after a match ended).
    void StartAgain();
    static void Key(int dik, bool down) { ZanHeadlessKey(dik, down ? 1 : 0); }
    /// Sends an event with 32-bit payload fields to an object, as another object would.
    static void Send(unsigned long to, int event, std::initializer_list<uint32_t> payload = {});
    /// Deletes the game and releases the engine, which closes the run log.
    void Shutdown();
    /// Run-log rows (complete after Shutdown).
    std::vector<LogRow> LogRows() const;

private:
    void Pass();

    int m_nPlayers;
    unsigned m_nFrameMs;
    ScopedWorkDir m_Dir;
    CZanEngine* m_pEngine;
    CZanPhysicsEngine* m_pPhysics;
    CZanResourceMgr* m_pResources;
    CSkyfloatGame* m_pGame;
    std::function<bool(LevelRun&)> m_Step;
    unsigned m_nLimit;
    unsigned m_nLevelStart;
    int m_nLastFlow;
    bool m_bQuit;
};

/// A hash of everything a player could see change: positions, speeds and states of every
/// actor and balloon, scores, lives, the countdown, the level state and the hour.
uint64_t StateHash(const CLevel& level);
} // namespace zantest
