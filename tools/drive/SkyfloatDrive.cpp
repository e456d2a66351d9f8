// Drives Skyfloat headless on the virtual clock with the real data and game class, for long
// and memory-checked runs:
//   skyfloat_drive DATA_DIR play SECONDS        menu, a one-player and a two-player level and
//                                               back, over and over
//   skyfloat_drive DATA_DIR random SECONDS SEED random keys and clicks through every screen
//   skyfloat_drive DATA_DIR frames SECONDS OUT  a two-player match, every 4th frame as PPM
// Prints the screens visited and the resident memory after warm-up and at the end; exits
// non-zero on a non-finite position, a live actor fallen out of the world or when the game
// stopped early.
#include "HeadlessSkyfloat.h"
#include "ZanEngine.h"
#include "ZanHeadless.h"
#include "scenes/Scenes.h"
#include "actors/Bird.h"
#include "actors/Monster.h"
#include "app/SkyfloatGame.h"
#include "scenes/Level.h"

#include <malloc.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <typeinfo>
#include <vector>

namespace
{
const unsigned kFrameMs = 15; // with the loop's own millisecond, about 60 frames a second
const unsigned kWarmUpMs = 120000;

enum Mode
{
    PLAY,
    RANDOM,
    FRAMES
};

Mode g_mode = PLAY;
unsigned g_limitMs = 0;
std::mt19937 g_rng;
std::string g_out;
unsigned g_frame = 0;
bool g_bad = false;
long g_rssWarm = -1;
long g_rssMenu = -1;
size_t g_heapMenu = 0;
std::string g_lastScene;
int g_switches = 0;

long ResidentKb()
{
    FILE* f = std::fopen("/proc/self/status", "r");
    long kb = -1;
    char line[256];
    while (f && std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "VmRSS:", 6) == 0)
            kb = std::atol(line + 6);
    if (f)
        std::fclose(f);
    return kb;
}

char g_workDir[] = "/tmp/skyfloat-drive-XXXXXX";

// The working directory goes when the run ends, unless SKYFLOAT_DRIVE_KEEP asks to read its
// run log afterwards.
void RemoveWorkDir()
{
    if (std::getenv("SKYFLOAT_DRIVE_KEEP"))
    {
        std::fprintf(stderr, "run log in %s\n", g_workDir);
        return;
    }
    headless::RemoveCopy(g_workDir);
}

void WritePpm()
{
    char name[64];
    std::snprintf(name, sizeof name, "/f%05u.ppm", g_frame);
    headless::WriteFramePpm(g_out + name);
}

// A finite position, and for a live actor (one that collides) one that comes back above the
// floor of the world: the level drowns what falls past the water, within a few frames.
bool InWorld(const CZanObject* o)
{
    static std::map<unsigned long, int> framesBelow; // by id, only while below
    if (!o || !o->GetBody())
        return true;
    const CZanVector p = o->GetPos();
    if (!std::isfinite(p.x) || !std::isfinite(p.y))
        return false;
    if (o->GetBody()->m_bCollidable && p.y > 700.0f)
        return ++framesBelow[o->GetID()] < 30;
    framesBelow.erase(o->GetID());
    return true;
}

void CheckLevel(CLevel* level)
{
    for (int i = 0; i < level->GetBirdCount(); ++i)
        g_bad |= !InWorld(level->GetBird(i));
    for (int i = 0; i < level->GetMonsterCount(); ++i)
        g_bad |= !InWorld(level->GetMonster(i));
    if (g_bad)
        std::fprintf(stderr, "an actor left the world at %u ms\n", ZanHeadlessNow());
}

int g_mouseX = 0, g_mouseY = 0;

void MoveMouse(int x, int y)
{
    g_mouseX = x;
    g_mouseY = y;
    ZanHeadlessMouseMove(x, y);
}

void Click(int x, int y, int button)
{
    MoveMouse(x, y);
    ZanHeadlessMouseButton(button, 1);
    ZanHeadlessMouseButton(button, 0);
}

const int kPlayKeys[] = {DIK_A, DIK_D, DIK_J, DIK_LEFT, DIK_RIGHT, DIK_END};

// Flaps now and then and turns both birds about, as two idle-handed players would.
void PlayerKeys(unsigned frame)
{
    const int phase = int(frame % 240);
    ZanHeadlessKey(DIK_A, phase < 100);
    ZanHeadlessKey(DIK_D, phase >= 120 && phase < 220);
    ZanHeadlessKey(DIK_RIGHT, phase < 100);
    ZanHeadlessKey(DIK_LEFT, phase >= 120 && phase < 220);
    ZanHeadlessKey(DIK_J, frame % 14 == 0);
    ZanHeadlessKey(DIK_END, frame % 17 == 0);
}

void ReleaseKeys()
{
    for (int key : kPlayKeys)
        ZanHeadlessKey(key, 0);
}

// The scripted round: splash, menu, one-player wait, its level, back to the menu, the
// two-player wait and its level, back to the menu.
void PlayStep(CScene* scene, unsigned inScene)
{
    const char* kind = scene ? typeid(*scene).name() : "";
    if (std::strstr(kind, "Splash"))
    {
        if (inScene == 120)
            Click(400, 300, 0);
    }
    else if (std::strstr(kind, "CMenuScene"))
    {
        if (inScene == 90)
            Click(400, g_mode == FRAMES || (g_switches / 4) % 2 ? 410 : 320, 0);
    }
    else if (std::strstr(kind, "SinglePlayerWait"))
    {
        // The first visit starts the level, the one after it goes back.
        if (inScene == 90)
            Click((g_switches / 2) % 2 ? 640 : 180, 430, 0);
    }
    else if (std::strstr(kind, "TwoPlayerWait"))
    {
        if (inScene == 60)
            Click(400, 300, (g_switches / 2) % 2 ? 0 : 1);
    }
    else if (CLevel* level = dynamic_cast<CLevel*>(scene))
    {
        PlayerKeys(inScene);
        if (inScene == (g_mode == FRAMES ? 900u : 1200u))
        {
            ReleaseKeys();
            PostFlowEvent(FLOW_EVENT_LEVEL_OVER);
        }
        (void)level;
    }
}

void RandomStep(CScene* scene, unsigned inScene)
{
    std::uniform_int_distribution<int> pick(0, 999);
    const int r = pick(g_rng);
    if (r < 60)
        ZanHeadlessKey(kPlayKeys[pick(g_rng) % 6], pick(g_rng) % 2);
    else if (r < 63)
    {
        // Any key but Escape, which asks the game to quit.
        int key = 1 + pick(g_rng) % 0xDF;
        if (key != DIK_ESCAPE)
            ZanHeadlessKey(key, pick(g_rng) % 2);
    }
    else if (r < 70)
        MoveMouse(pick(g_rng) % 900 - 50, pick(g_rng) % 700 - 50);
    else if (r < 74)
    {
        // Not on the menu's 退出游戏, which would end the run before its hour.
        const bool onQuit = scene && std::strstr(typeid(*scene).name(), "CMenuScene") &&
                            g_mouseX >= 285 && g_mouseX <= 515 && g_mouseY >= 465 &&
                            g_mouseY <= 535;
        if (!onQuit)
            ZanHeadlessMouseButton(pick(g_rng) % 3, pick(g_rng) % 2);
    }
    else if (r < 76)
    {
        // A click on one of the screens' buttons, so every screen keeps coming round.
        static const int kButtons[][2] = {{400, 320}, {400, 410}, {640, 430}, {180, 430}};
        const int* b = kButtons[pick(g_rng) % 4];
        Click(b[0], b[1], pick(g_rng) % 5 == 0 ? 1 : 0);
    }
    else if (r == 76 && pick(g_rng) < 100)
        ZanHeadlessFocus(pick(g_rng) % 2);
    else if (r == 77)
        ZanHeadlessFocus(1);
    // Levels run until their clock is up; end long ones so the other screens get their share.
    if (dynamic_cast<CLevel*>(scene) && inScene > 60u * 90u)
        PostFlowEvent(FLOW_EVENT_LEVEL_OVER);
}

void OnPass(void*)
{
    ZanHeadlessAdvance(kFrameMs);
    ++g_frame;
    static unsigned inScene = 0;
    CScene* scene = CurrentScene();
    const std::string name = scene ? typeid(*scene).name() : "none";
    if (name != g_lastScene)
    {
        g_lastScene = name;
        inScene = 0;
        ++g_switches;
        // Heap in use each time the menu comes back: the same screen should hold the same.
        if (std::getenv("SKYFLOAT_DRIVE_HEAP") && name.find("CMenuScene") != std::string::npos)
            std::fprintf(stderr, "%7.1f s  menu, heap in use %zu bytes\n",
                         ZanHeadlessNow() / 1000.0, mallinfo2().uordblks);
        if (g_mode != RANDOM || std::getenv("SKYFLOAT_DRIVE_HEAP"))
            std::printf("%7.1f s  %s\n", ZanHeadlessNow() / 1000.0, name.c_str());
    }
    ++inScene;
    if (CLevel* level = dynamic_cast<CLevel*>(scene))
        CheckLevel(level);
    // The frame-rate display (F1), shown for a moment, is part of warming up: its font caches
    // its glyphs the first time it shows, whenever a random key would first bring it up.
    if (g_mode == RANDOM && g_frame >= 100 && g_frame < 300 && g_frame % 100 < 2)
        ZanHeadlessKey(DIK_F1, g_frame % 100 == 0);
    if (g_mode == RANDOM)
        RandomStep(scene, inScene);
    else
        PlayStep(scene, inScene);
    if (g_mode == FRAMES && dynamic_cast<CLevel*>(scene) && inScene % 4 == 0)
        WritePpm();
    // Resident memory every five virtual minutes, to see where growth happens.
    static unsigned nextReport = 300000;
    if (ZanHeadlessNow() >= nextReport)
    {
        std::fprintf(stderr, "%6u s  %ld kB\n", nextReport / 1000, ResidentKb());
        nextReport += 300000;
    }
    // Warm once every screen has been shown (its pictures, sounds and caches loaded) and the
    // menu is back, and at least two minutes in.
    static std::set<std::string> seen;
    if (scene)
        seen.insert(name);
    // Resident memory is compared a second into the menu each time, the same screen settled.
    if (inScene == 60 && name.find("CMenuScene") != std::string::npos)
    {
        g_rssMenu = ResidentKb();
        g_heapMenu = mallinfo2().uordblks;
        if (g_rssWarm < 0 && ZanHeadlessNow() >= kWarmUpMs && seen.size() >= 6)
        {
            g_rssWarm = g_rssMenu;
            std::fprintf(stderr, "warm at %.1f s, heap in use %zu bytes\n",
                         ZanHeadlessNow() / 1000.0, mallinfo2().uordblks);
        }
    }
    if (ZanHeadlessNow() >= g_limitMs || g_bad)
        PostQuitMessage(0);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
    {
        std::fprintf(stderr, "usage: %s DATA_DIR play|random|frames SECONDS [SEED|OUT_DIR]\n",
                     argv[0]);
        return 2;
    }
    const std::string mode = argv[2];
    g_mode = mode == "random" ? RANDOM : mode == "frames" ? FRAMES : PLAY;
    g_limitMs = unsigned(std::atol(argv[3])) * 1000u;
    g_rng.seed(argc > 4 && g_mode == RANDOM ? unsigned(std::atol(argv[4])) : 1u);
    if (g_mode == FRAMES)
    {
        char* out = argc > 4 ? realpath(argv[4], nullptr) : nullptr;
        if (!out)
            return 2;
        g_out = out;
        std::free(out);
    }
    char* data = realpath(argv[1], nullptr);
    if (!data || !headless::EnterCopyOf(data, g_workDir))
    {
        std::fprintf(stderr, "cannot use %s\n", argv[1]);
        return 1;
    }
    std::free(data);

    const bool ok = headless::PlaySkyfloat(&OnPass);
    const long rssEnd = g_rssMenu;
    const bool whole = ZanHeadlessNow() >= g_limitMs;
    RemoveWorkDir();
    std::fprintf(stderr, "heap in use at the last menu %zu bytes\n", g_heapMenu);
    std::printf("virtual %.0f s, %u frames, %d screen changes, resident %ld kB after warm-up, "
                "%ld kB at the end (both in the menu)\n",
                ZanHeadlessNow() / 1000.0, g_frame, g_switches, g_rssWarm, rssEnd);
    return ok && whole && !g_bad ? 0 : 1;
}
