// Plays Skyfloat headless on the virtual clock and writes the presented frames of each screen
// as PPM pictures: the splash cards, and the menu and the wait screen at several hours.
//   skyfloat_shots DATA_DIR OUT_DIR
#include "HeadlessSkyfloat.h"
#include "ZanEngine.h"
#include "ZanHeadless.h"
#include "scenes/Scenes.h"
#include "app/SkyfloatGame.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace
{
std::string g_out;

bool WritePpm(const std::string& name)
{
    const std::string path = g_out + "/" + name + ".ppm";
    if (!headless::WriteFramePpm(path))
        return false;
    std::printf("%s\n", path.c_str());
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
    // A working folder of its own keeps the run log and anything else written out of the data.
    char dir[] = "/tmp/skyfloat-shots-XXXXXX";
    if (!data || !out || !headless::EnterCopyOf(data, dir))
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

    const bool ok = headless::PlaySkyfloat(&OnPass);
    headless::RemoveCopy(dir);
    return ok && g_next == g_steps.size() ? 0 : 1;
}
