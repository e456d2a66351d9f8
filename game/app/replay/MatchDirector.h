// Who a match is played by: the local players, a replay, or two programs over the network.
// The game asks its director how to start each match, where its frames come from, and what
// happens when it ends.
#pragma once

#include "app/replay/MatchFeed.h"

#include <string>

class CMatchSession;

class IMatchDirector
{
public:
    virtual ~IMatchDirector() {}
    /// Called once a pass, outside the simulation, with the program's clock in seconds.
    virtual void Pump(double) {}
    /// Birds of a match to start now without the player asking (0: none).
    virtual int AutoStart() { return 0; }
    /// The start of a match of `players` birds.
    virtual MatchStart MakeStart(int players);
    /// Its frames (owned by the match).
    virtual IMatchFeed* MakeFeed(const MatchStart& start);
    /// The match ended (its record complete): by default it is saved.
    virtual void Ended(const CMatchSession& match);
    /// True when the program should quit once the match ended.
    virtual bool QuitAfter() const { return false; }
    /// True when the match's start names its level; false when the player's choice does.
    virtual bool ChoosesLevel() const { return false; }
    /// True when no match will come (a network peer never answered, or refused).
    virtual bool GaveUp() const { return false; }
    /// Keys go to the feed, not the screen (only while a match runs, by default).
    virtual std::string Notice() const { return std::string(); }
    /// A key pressed (DirectInput code); true when the director took it.
    virtual bool Key(int) { return false; }
    /// True while the screens' own starts and returns to the menu must wait (a network
    /// session decides when its matches start).
    virtual bool HoldsScreens() const { return false; }
};

/// Shows or checks a replay: straight to its level, then quits.
class CReplayDirector : public IMatchDirector
{
public:
    /// `check`: headless, as fast as it goes, comparing every recorded hash.
    CReplayDirector(const Replay& replay, bool check);
    int AutoStart() override;
    MatchStart MakeStart(int) override { return m_Replay.start; }
    bool ChoosesLevel() const override { return true; }
    IMatchFeed* MakeFeed(const MatchStart&) override;
    void Ended(const CMatchSession& match) override;
    bool QuitAfter() const override { return true; }
    /// 0 when the replay checked, 1 when it did not.
    int Result() const { return m_nResult; }

private:
    Replay m_Replay;
    bool m_bCheck;
    bool m_bStarted;
    CReplayFeed* m_pFeed;
    int m_nResult;
};
