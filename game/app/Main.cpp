// Skyfloat's entry: one running copy, the engine singletons, the game object, the frame loop.
#include "app/SceneFactory.h"
#include "app/SkyfloatGame.h"

namespace
{
CZanEngine* g_pEngine = nullptr;
CZanPhysicsEngine* g_pPhysics = nullptr;
CZanResourceMgr* g_pResources = nullptr;
CSkyfloatGame* g_pGame = nullptr;
} // namespace

int main()
{
    if (!ZanAcquireInstanceGuard("Skyfloat"))
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
    return status;
}
