#include "app/replay/MatchFeed.h"

#include "app/replay/MatchHash.h"

#include "ZanEngine.h"

#include <cstdio>

namespace
{
struct KeyRole
{
    int dik, set, role; // role 0: left, 1: right, 2: flap
};

const KeyRole kKeyRoles[] = {
    {DIK_A, 0, 0},    {DIK_D, 0, 1},     {DIK_J, 0, 2},
    {DIK_LEFT, 1, 0}, {DIK_RIGHT, 1, 1}, {DIK_END, 1, 2},
};
} // namespace

void CKeyLatch::Key(int dik, bool down)
{
    for (const KeyRole& k : kKeyRoles)
        if (k.dik == dik)
        {
            const int bird = m_nSeat < 0 ? k.set : m_nSeat;
            if (k.role == 2)
                m_abFlap[bird] = m_abFlap[bird] || down;
            else
                m_abHeld[bird][k.role] = down;
        }
}

uint8_t CKeyLatch::Take(int bird)
{
    if (bird < 0 || bird > 1)
        return 0;
    uint8_t bits = 0;
    if (m_abHeld[bird][0])
        bits |= INPUT_LEFT;
    if (m_abHeld[bird][1])
        bits |= INPUT_RIGHT;
    if (m_abFlap[bird])
        bits |= INPUT_FLAP;
    m_abFlap[bird] = false;
    return bits;
}

uint32_t StepMicros(double frameTime)
{
    const double micros = frameTime * 1e6 + 0.5;
    if (!(micros >= 1.0))
        return 1;
    if (micros > double(Replay::MAX_STEP_MICROS))
        return Replay::MAX_STEP_MICROS;
    return uint32_t(micros);
}

MatchFrame CLocalFeed::Next(double frameTime)
{
    MatchFrame f{StepMicros(frameTime), {m_Latch.Take(0), 0}};
    if (m_nPlayers == 2)
        f.input[1] = m_Latch.Take(1);
    return f;
}

int CReplayFeed::Ready(double)
{
    const size_t left = m_Replay.frames.size() - m_nNext;
    return m_bFailed ? 0 : int(left < size_t(m_nPerPass) ? left : size_t(m_nPerPass));
}

bool CReplayFeed::Hashed(uint32_t frames, uint64_t hash)
{
    if (!m_bCheck)
        return true;
    std::printf("frame %u %s\n", frames, HashText(hash).c_str());
    while (m_nHash < m_Replay.hashes.size() && m_Replay.hashes[m_nHash].frame < frames)
        ++m_nHash;
    if (m_nHash < m_Replay.hashes.size() && m_Replay.hashes[m_nHash].frame == frames)
    {
        const uint64_t recorded = m_Replay.hashes[m_nHash++].hash;
        if (recorded != hash)
        {
            std::fprintf(stderr, "replay differs at frame %u: recorded %s, re-simulated %s\n",
                         frames, HashText(recorded).c_str(), HashText(hash).c_str());
            m_bFailed = true;
            return false;
        }
    }
    std::fflush(stdout);
    return true;
}
