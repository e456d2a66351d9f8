// Map files come from modders: any bytes must load without harm, the objects they make must
// survive a physics step, and clearing must leave nothing behind.
#include "ZanEngine.h"
#include "ZanHeadless.h"
#include "app/SkyfloatGame.h"
#include "world/SKFMapMgr.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace
{
// A private working directory that sees the game's pictures, so map objects get real
// sprites and meshes; the run log goes there too.
void EnterDataCopy()
{
    char dir[] = "/tmp/zan-fuzz-map-XXXXXX";
    if (!mkdtemp(dir) || chdir(dir) != 0)
        std::abort();
    for (const char* sub : {"image", "music", "sound"})
        if (symlink((std::string(ZAN_DATA_DIR) + "/" + sub).c_str(), sub) != 0)
            std::abort();
}

CZanResourceMgr* Start()
{
    EnterDataCopy();
    ZanHeadlessEnable();
    CZanEngine* engine = KovCreate(9);
    KovPhysicsCreate(CZanVector(0.0f, 1000.0f));
    CZanResourceMgr* resources = KovResourceCreate();
    CSkyfloatGame* game = new CSkyfloatGame;
    game->m_bWindowed = true;
    if (!engine->LoadGame(game) || !engine->SystemInitiate())
        std::abort();
    for (const char* file : {"resource_Level01.xml", "resource_MainMenu.xml"})
        resources->Load((std::string(ZAN_DATA_DIR) + "/" + file).c_str());
    return resources;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CZanResourceMgr* resources = Start();
    (void)resources;
    FILE* f = std::fopen("m.xml", "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    g_pMapMgr->Load("m.xml");
    g_pMapMgr->GetPoint("出生点1");
    CZanPhysicsEngine::Instance()->Step(1.0f / 60.0f);
    g_pMapMgr->Clear();
    return 0;
}
