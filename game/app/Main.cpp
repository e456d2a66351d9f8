// Skyfloat's entry: one running copy, the engine singletons, the game object, the frame loop.
#include "app/Scenes.h"
#include "app/SkyfloatGame.h"
#include "net/NetMatch.h"
#include "replay/MatchDirector.h"
#include "replay/ReplayFile.h"

#include "ZanHeadless.h"

#include <cstdio>
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
                         "[--join ADDRESS[:PORT]] [--headless]\n");
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    const char* replayFile = nullptr;
    bool check = false;
    bool headless = false;
    long hostPort = -1;
    const char* joinAddress = nullptr;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--replay") == 0 && i + 1 < argc)
            replayFile = argv[++i];
        else if (std::strcmp(argv[i], "--check") == 0)
            check = true;
        else if (std::strcmp(argv[i], "--headless") == 0)
            headless = true;
        else if (std::strcmp(argv[i], "--join") == 0 && i + 1 < argc)
            joinAddress = argv[++i];
        else if (std::strcmp(argv[i], "--host") == 0)
        {
            hostPort = CNetMatch::DEFAULT_PORT;
            char* end = nullptr;
            if (i + 1 < argc && argv[i + 1][0] != '-')
                hostPort = std::strtol(argv[++i], &end, 10);
            if ((end && *end) || hostPort < 1 || hostPort > 65535)
                return Usage();
        }
        else
            return Usage();
    }
    if ((check && !replayFile) || (replayFile && (hostPort > 0 || joinAddress)) ||
        (hostPort > 0 && joinAddress))
        return Usage();
    std::unique_ptr<CNetMatch> net;
    if (hostPort > 0 || joinAddress)
    {
        net.reset(hostPort > 0 ? CNetMatch::Host(uint16_t(hostPort))
                               : CNetMatch::Join(joinAddress));
        if (net->State() == CNetMatch::NET_ENDED)
            return 1;
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
    if (g_pEngine && g_pPhysics && g_pResources)
    {
        CSkyfloatGame::SetSceneFactory(&MakeSkyfloatScene);
        g_pGame = new CSkyfloatGame;
        g_pEngine->LoadGame(g_pGame);
        if (g_pEngine->SystemInitiate())
            g_pEngine->SystemStart();
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
        std::printf("network: delay %d frames, sent %llu bytes, received %llu bytes, dropped "
                    "%u datagrams, stalled %u passes: %s\n",
                    net->Delay(), static_cast<unsigned long long>(net->Count().bytesSent),
                    static_cast<unsigned long long>(net->Count().bytesReceived),
                    net->Count().dropped, net->Count().stallFrames, net->EndReason().c_str());
    return replayer ? replayer->Result() : 0;
}
