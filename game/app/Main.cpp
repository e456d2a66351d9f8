// Skyfloat's entry: one running copy, the engine singletons, the game object, the frame loop.
#include "app/SceneFactory.h"
#include "app/SkyfloatGame.h"
#include "app/net/NetMatch.h"
#include "app/replay/MatchDirector.h"
#include "app/replay/ReplayFile.h"
#include "core/LevelChoice.h"

#include "ZanHeadless.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace
{
CZanEngine* g_pEngine = nullptr;
CZanPhysicsEngine* g_pPhysics = nullptr;
CZanResourceMgr* g_pResources = nullptr;
CSkyfloatGame* g_pGame = nullptr;

int Usage()
{
    std::fprintf(stderr, "usage: Skyfloat [--replay FILE [--check]] [--host [PORT]] "
                         "[--join ADDRESS[:PORT]] [--headless] [--script SEED] [--seed SEED] "
                         "[--frames N] [--level N]\n");
    return 2;
}

// A whole number in [low, high] from text; false when the text is anything else.
bool Number(const char* text, long low, long high, long* out)
{
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (!end || end == text || *end || value < low || value > high)
        return false;
    *out = value;
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    const char* replayFile = nullptr;
    bool check = false;
    bool headless = false;
    long hostPort = -1;
    long script = -1, seed = -1, frames = 0, level = 0;
    const char* joinAddress = nullptr;
    for (int i = 1; i < argc; ++i)
    {
        const bool more = i + 1 < argc;
        if (std::strcmp(argv[i], "--replay") == 0 && more)
            replayFile = argv[++i];
        else if (std::strcmp(argv[i], "--check") == 0)
            check = true;
        else if (std::strcmp(argv[i], "--headless") == 0)
            headless = true;
        else if (std::strcmp(argv[i], "--join") == 0 && more)
            joinAddress = argv[++i];
        else if (std::strcmp(argv[i], "--host") == 0)
        {
            // Port 0 takes any free port and prints it.
            hostPort = CNetMatch::DEFAULT_PORT;
            if (more && argv[i + 1][0] != '-' && !Number(argv[++i], 0, 65535, &hostPort))
                return Usage();
        }
        else if (std::strcmp(argv[i], "--script") == 0 && more)
        {
            if (!Number(argv[++i], 0, 0x7fffffff, &script))
                return Usage();
        }
        else if (std::strcmp(argv[i], "--seed") == 0 && more)
        {
            if (!Number(argv[++i], 1, 0x7fffffff, &seed))
                return Usage();
        }
        else if (std::strcmp(argv[i], "--level") == 0 && more)
        {
            if (!Number(argv[++i], 1, CLevelChoice::LEVEL_COUNT, &level))
                return Usage();
        }
        else if (std::strcmp(argv[i], "--frames") == 0 && more)
        {
            if (!Number(argv[++i], 1, Replay::MAX_FRAMES, &frames))
                return Usage();
        }
        else
            return Usage();
    }
    const bool network = hostPort >= 0 || joinAddress;
    if ((check && !replayFile) || (replayFile && network) || (hostPort >= 0 && joinAddress) ||
        ((script >= 0 || seed > 0 || frames > 0) && !network) ||
        ((seed > 0 || level > 0) && joinAddress) || (level > 0 && !network))
        return Usage();
    std::unique_ptr<CNetMatch> net;
    if (network)
    {
        net.reset(hostPort >= 0 ? CNetMatch::Host(uint16_t(hostPort))
                                : CNetMatch::Join(joinAddress));
        if (net->State() == CNetMatch::NET_ENDED)
            return 1;
        if (hostPort >= 0)
        {
            std::printf("hosting on port %u\n", unsigned(net->Port()));
            std::fflush(stdout);
        }
        if (script >= 0)
            net->SetScript(uint32_t(script));
        if (seed > 0)
            net->SetSeed(uint32_t(seed));
        if (level > 0)
            net->SetLevel(int(level));
        net->SetFrameLimit(uint32_t(frames));
        net->SetYield(headless);
        // Two people at windows are offered a rematch; a headless copy plays one match.
        net->SetRematch(!headless);
        net->SetQuitAfter(true);
        CSkyfloatGame::SetMatchDirector(net.get());
    }

    std::unique_ptr<CReplayDirector> replayer;
    if (replayFile)
    {
        Replay replay;
        std::string error;
        if (!LoadReplay(replayFile, &replay, &error))
        {
            std::fprintf(stderr, "Skyfloat: %s: %s\n", replayFile, error.c_str());
            return 1;
        }
        replayer.reset(new CReplayDirector(replay, check));
        CSkyfloatGame::SetMatchDirector(replayer.get());
    }
    // A check draws nothing and may run beside a game being played.
    if (check || headless)
        ZanHeadlessEnable();
    else if (!net && !ZanAcquireInstanceGuard("Skyfloat"))
    {
        MessageBoxA(nullptr, "应用程序已经启动!", "错误", MB_OK);
        return 0;
    }

    g_pEngine = KovCreate(9);
    if (g_pEngine)
        g_pPhysics = KovPhysicsCreate(CZanVector(0.0f, 1000.0f));
    if (g_pPhysics)
    {
        g_pPhysics->SetDamp(0.001f);
        g_pResources = KovResourceCreate();
    }
    // A game that could not start (no window of the configured size, no display) says so in
    // its exit status.
    int status = 1;
    if (g_pEngine && g_pPhysics && g_pResources)
    {
        CSkyfloatGame::SetSceneFactory(&MakeSkyfloatScene);
        g_pGame = new CSkyfloatGame;
        g_pEngine->LoadGame(g_pGame);
        if (g_pEngine->SystemInitiate() && g_pEngine->SystemStart())
            status = 0;
        delete g_pGame;
        g_pGame = nullptr;
    }

    if (g_pResources)
        g_pResources->Release();
    g_pResources = nullptr;
    if (g_pPhysics)
        g_pPhysics->Release();
    g_pPhysics = nullptr;
    if (g_pEngine)
        g_pEngine->Release();
    g_pEngine = nullptr;
    CSkyfloatGame::SetMatchDirector(nullptr);
    if (net)
    {
        net->Linger(2.0);
        const CNetMatch::Counters& c = net->Count();
        const double seconds = c.playSeconds > 0.0 ? c.playSeconds : 1.0;
        std::printf("network: round trip %.0f ms, delay %d frames, sent %.0f B/s, received %.0f "
                    "B/s, dropped %u datagrams, %u frames lost to stalls in %.1f s: %s\n",
                    net->RoundTripMs(), net->Delay(), double(c.bytesSent) / seconds,
                    double(c.bytesReceived) / seconds, c.dropped, c.StallFrames(), c.playSeconds,
                    net->EndReason().c_str());
        return net->Failed() || status != 0 ? 1 : 0;
    }
    if (status != 0)
        return status;
    return replayer ? replayer->Result() : 0;
}
