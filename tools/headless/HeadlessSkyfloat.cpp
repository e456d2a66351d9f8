#include "HeadlessSkyfloat.h"

#include "ZanEngine.h"
#include "ZanHeadless.h"
#include "app/SceneFactory.h"
#include "scenes/Scenes.h"
#include "app/SkyfloatGame.h"

#include <dirent.h>
#include <ftw.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace headless
{
bool EnterCopyOf(const std::string& given, char* dir, const char* skip)
{
    // The links must still lead to the data from inside the new folder.
    char absolute[PATH_MAX];
    if (!realpath(given.c_str(), absolute))
        return false;
    const std::string data = absolute;
    DIR* d = opendir(data.c_str());
    if (!d)
        return false;
    bool ok = mkdtemp(dir) && chdir(dir) == 0;
    while (dirent* e = ok ? readdir(d) : nullptr)
    {
        const std::string name = e->d_name;
        if (name[0] != '.' && (!skip || name != skip))
            ok = symlink((data + "/" + name).c_str(), name.c_str()) == 0;
    }
    closedir(d);
    return ok;
}

void RemoveCopy(const char* dir)
{
    nftw(
        dir, [](const char* path, const struct stat*, int, FTW*) { return remove(path); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

bool WriteFramePpm(const std::string& path)
{
    int w = 0, h = 0;
    const unsigned* pixels = ZanHeadlessFrame(&w, &h);
    FILE* f = pixels ? std::fopen(path.c_str(), "wb") : nullptr;
    if (!f)
        return false;
    std::fprintf(f, "P6\n%d %d\n255\n", w, h);
    std::vector<unsigned char> row(size_t(w) * 3);
    for (int y = 0; y < h; ++y)
    {
        for (int x = 0; x < w; ++x)
        {
            const unsigned p = pixels[size_t(y) * size_t(w) + size_t(x)];
            row[size_t(x) * 3] = (p >> 16) & 0xFF;
            row[size_t(x) * 3 + 1] = (p >> 8) & 0xFF;
            row[size_t(x) * 3 + 2] = p & 0xFF;
        }
        std::fwrite(row.data(), 1, row.size(), f);
    }
    return std::fclose(f) == 0;
}

bool PlaySkyfloat(void (*onFrame)(void*))
{
    ZanHeadlessEnable();
    ZanHeadlessOnFrame(onFrame, nullptr);
    CZanEngine* engine = KovCreate(9);
    CZanPhysicsEngine* physics = KovPhysicsCreate(CZanVector(0.0f, 1000.0f));
    physics->SetDamp(0.001f);
    CZanResourceMgr* resources = KovResourceCreate();
    CSkyfloatGame::SetSceneFactory(&MakeSkyfloatScene);
    CSkyfloatGame* game = new CSkyfloatGame;
    game->m_bWindowed = true;
    engine->LoadGame(game);
    const bool ok = engine->SystemInitiate() && engine->SystemStart();
    delete game;
    resources->Release();
    physics->Release();
    engine->Release();
    return ok;
}
} // namespace headless
