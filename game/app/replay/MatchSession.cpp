#include "app/replay/MatchSession.h"

#include "core/Scene.h"
#include "core/GameClock.h"
#include "scenes/Level.h"
#include "app/replay/MatchHash.h"

#include "ZanEngine.h"

#include <ctime>

namespace
{
// The keys that give each bird's input bits: left, right, flap.
const int kBirdKeys[2][3] = {{DIK_A, DIK_D, DIK_J}, {DIK_LEFT, DIK_RIGHT, DIK_END}};
} // namespace

CMatchSession::CMatchSession(const MatchStart& start, IMatchFeed* feed)
    : m_pFeed(feed), m_auLast(), m_bRunning(false)
{
    m_Record.start = start;
}

CMatchSession::~CMatchSession()
{
    End();
    delete m_pFeed;
}

void CMatchSession::Begin()
{
    if (CZanEngine* engine = CZanEngine::Instance())
        engine->RandomSeed(int(m_Record.start.seed | 1u));
    StartMatchClock();
    m_bRunning = true;
}

int CMatchSession::Ready(double now)
{
    return m_bRunning && !m_pFeed->Over() ? m_pFeed->Ready(now) : 0;
}

double CMatchSession::BeginStep(CScene* scene, double frameTime)
{
    const MatchFrame frame = m_pFeed->Next(frameTime);
    m_Record.frames.push_back(frame);
    AdvanceMatchClock(frame.stepMicros);
    for (int bird = 0; bird < m_Record.start.players; ++bird)
        Press(scene, bird, frame.input[bird]);
    return double(frame.stepMicros) / 1e6;
}

void CMatchSession::Press(CScene* scene, int bird, uint8_t bits)
{
    if (!scene)
        return;
    const uint8_t held[2] = {INPUT_LEFT, INPUT_RIGHT};
    for (int i = 0; i < 2; ++i)
    {
        const bool now = bits & held[i], before = m_auLast[bird] & held[i];
        if (now && !before)
            scene->OnKeyDown(kBirdKeys[bird][i]);
        else if (!now && before)
            scene->OnKeyUp(kBirdKeys[bird][i]);
    }
    if (bits & INPUT_FLAP)
    {
        scene->OnKeyDown(kBirdKeys[bird][2]);
        scene->OnKeyUp(kBirdKeys[bird][2]);
    }
    m_auLast[bird] = bits;
}

void CMatchSession::EndStep(const CLevel* level)
{
    const uint32_t frames = uint32_t(m_Record.frames.size());
    if (!level || !m_bRunning || frames % Replay::HASH_EVERY != 0 || frames == 0)
        return;
    if (!m_Record.hashes.empty() && m_Record.hashes.back().frame == frames)
        return;
    const uint64_t hash = MatchStateHash(*level);
    m_Record.hashes.push_back({frames, hash});
    m_pFeed->Hashed(frames, hash);
}

void CMatchSession::End()
{
    if (m_bRunning)
        StopMatchClock();
    m_bRunning = false;
}

bool CMatchSession::Save(const char* folder) const
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char stamp[64];
    const size_t n = strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::snprintf(stamp + n, sizeof stamp - n, "-%03ld", now.tv_nsec / 1000000L);
    return SaveReplay(m_Record, folder, stamp);
}
