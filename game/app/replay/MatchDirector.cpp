#include "app/replay/MatchDirector.h"

#include "app/replay/MatchHash.h"
#include "app/replay/MatchSession.h"

#include "ZanEngine.h"

#include <cstdio>

MatchStart IMatchDirector::MakeStart(int players)
{
    MatchStart start;
    start.build = BuildFingerprint();
    start.dataHash = MatchDataHash();
    // From the engine's own generator, seeded at start-up from the clock: varied on a desktop,
    // repeatable on the headless virtual clock.
    CZanEngine* engine = CZanEngine::Instance();
    start.seed = engine ? uint32_t(engine->RandomInt(1, 0x7fffffff)) : 1u;
    start.players = uint8_t(players);
    return start;
}

IMatchFeed* IMatchDirector::MakeFeed(const MatchStart& start)
{
    return new CLocalFeed(start.players);
}

void IMatchDirector::Ended(const CMatchSession& match)
{
    if (!match.Save())
        std::fprintf(stderr, "Skyfloat: the replay could not be written to replays/\n");
}

CReplayDirector::CReplayDirector(const Replay& replay, bool check)
    : m_Replay(replay), m_bCheck(check), m_bStarted(false), m_pFeed(nullptr), m_nResult(1)
{
    if (m_Replay.start.build != BuildFingerprint())
        std::fprintf(stderr, "Skyfloat: the replay was recorded by another build; its hashes "
                             "decide whether it still plays the same\n");
    if (m_Replay.start.dataHash != MatchDataHash())
        std::fprintf(stderr, "Skyfloat: the replay was recorded with other data files\n");
}

int CReplayDirector::AutoStart()
{
    if (m_bStarted)
        return 0;
    m_bStarted = true;
    return m_Replay.start.players;
}

IMatchFeed* CReplayDirector::MakeFeed(const MatchStart&)
{
    // Headless checking runs many frames a pass; showing runs one per displayed frame.
    m_pFeed = new CReplayFeed(m_Replay, m_bCheck, m_bCheck ? 16 : 1);
    return m_pFeed;
}

void CReplayDirector::Ended(const CMatchSession&)
{
    if (!m_pFeed)
        return;
    if (m_pFeed->Failed())
        m_nResult = 1;
    else if (m_bCheck && m_pFeed->Unchecked() > 0)
    {
        std::fprintf(stderr, "replay ended before %zu of its recorded hashes\n",
                     m_pFeed->Unchecked());
        m_nResult = 1;
    }
    else
        m_nResult = 0;
    m_pFeed = nullptr;
}
