// Plays Skyfloat headless on the virtual clock and writes the presented frames of each screen
// as PPM pictures: the splash cards, and the menu and the wait screen at several hours.
//   skyfloat_shots DATA_DIR OUT_DIR
#include "ZanEngine.h"
#include "ZanHeadless.h"
#include "app/Scenes.h"
#include "app/SkyfloatGame.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace
{
std::string g_out;

bool WritePpm(const std::string& name)
{
    int w = 0, h = 0;
    const unsigned* pixels = ZanHeadlessFrame(&w, &h);
    FILE* f = std::fopen((g_out + "/" + name + ".ppm").c_str(), "wb");
    if (!pixels || !f)
    {
        if (f)
            std::fclose(f);
        return false;
    }
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
    std::fclose(f);
    std::printf("%s/%s.ppm\n", g_out.c_str(), name.c_str());
    return true;
}

// Links every entry of the data folder into a fresh working directory, so the run log and
// anything else the game writes stays out of the data.
bool EnterCopyOf(const std::string& data)
{
    char dir[] = "/tmp/skyfloat-shots-XXXXXX";
    DIR* d = opendir(data.c_str());
    if (!d || !mkdtemp(dir) || chdir(dir) != 0)
        return false;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.' && symlink((data + "/" + e->d_name).c_str(), e->d_name) != 0)
            return false;
    closedir(d);
    return true;
}

struct Step
{
    unsigned frames; ///< frames to run before the action
    std::function<void()> action;
};
std::vector<Step> g_steps;
size_t g_next = 0;
unsigned g_wait = 0;

void OnPass(void*)
{
    ZanHeadlessAdvance(15); // about 60 frames per second with the loop's own millisecond
    if (g_next >= g_steps.size())
    {
        PostQuitMessage(0);
        return;
    }
    if (++g_wait < g_steps[g_next].frames)
        return;
    g_wait = 0;
    g_steps[g_next++].action();
}

void Hour(float hour)
{
    if (CScene* scene = CurrentScene())
        scene->SetHour(hour);
}

// Shots of the current screen at three hours, each after the scenery has followed the clock.
void AtThreeHours(const std::string& screen)
{
    for (int hour : {7, 12, 20})
    {
        g_steps.push_back({1, [hour] { Hour(float(hour)); }});
        g_steps.push_back({20, [screen, hour]
                           {
                               char name[64];
                               std::snprintf(name, sizeof name, "%s_%02d", screen.c_str(), hour);
                               WritePpm(name);
                           }});
    }
}

void Click(int x, int y)
{
    g_steps.push_back({1, [x, y] { ZanHeadlessMouseMove(x, y); }});
    g_steps.push_back({2, [] { ZanHeadlessMouseButton(0, 1); }});
    g_steps.push_back({2, [] { ZanHeadlessMouseButton(0, 0); }});
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: %s DATA_DIR OUT_DIR\n", argv[0]);
        return 2;
    }
    char* data = realpath(argv[1], nullptr);
    char* out = realpath(argv[2], nullptr);
    if (!data || !out || !EnterCopyOf(data))
    {
        std::fprintf(stderr, "cannot use %s and %s\n", argv[1], argv[2]);
        return 1;
    }
    g_out = out;
    std::free(data);
    std::free(out);

    g_steps = {
        {150, [] { WritePpm("splash1"); }},
        {310, [] { WritePpm("splash2"); }},
        {350, [] { WritePpm("menu_start"); }}, // the menu a little after it came up
    };
    // Let the season's weather get going before looking at other hours.
    g_steps.push_back({240, [] {}});
    AtThreeHours("menu");
    Click(400, 320);
    g_steps.push_back({30, [] { WritePpm("wait_start"); }});
    g_steps.push_back({240, [] {}});
    AtThreeHours("wait");
    Click(180, 430);
    g_steps.push_back({10, [] {}});

    ZanHeadlessEnable();
    ZanHeadlessOnFrame(&OnPass, nullptr);
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
    return ok && g_next == g_steps.size() ? 0 : 1;
}
