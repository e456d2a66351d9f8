// One match as the game plays it: it seeds the generator and starts the match clock, takes a
// frame from its feed before every step, hands the frame's inputs to the level as the keys
// that make them, hashes the state every 60 frames and keeps it all for the replay file.
#pragma once

#include "app/replay/MatchFeed.h"
#include "app/replay/ReplayFile.h"

class CScene;
class CLevel;

class CMatchSession
{
public:
    /// Takes ownership of the feed.
    CMatchSession(const MatchStart& start, IMatchFeed* feed);
    ~CMatchSession();

    IMatchFeed* Feed() const { return m_pFeed; }
    const Replay& Record() const { return m_Record; }

    /// Seeds the engine's generator and starts the match clock; before the level loads.
    void Begin();
    int Ready(double now);
    /// Takes the next frame, moves the clock and presses the scene's keys; returns the step's
    /// length in seconds.
    double BeginStep(CScene* scene, double frameTime);
    /// After the step: counts it and hashes every 60th.
    void EndStep(const CLevel* level);
    /// Stops the match clock; the record is complete.
    void End();
    /// Saves the record under `folder`; false when it could not be written.
    bool Save(const char* folder = "replays") const;

private:
    void Press(CScene* scene, int bird, uint8_t bits);

    IMatchFeed* m_pFeed;
    Replay m_Record;
    uint8_t m_auLast[2];
    bool m_bRunning;
};
