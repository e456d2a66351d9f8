// What the splash and the menu ask a software rasteriser to do per frame, counted from the
// headless record of the real game and data: fragments shaded, those sampling a texture, and
// those blended with what lies beneath. Fails when any exceeds its bound (in window areas of
// 800 x 600). With "print", it also lists what each draw of the last menu frame takes alone.
//   skyfloat_drawing_cost DATA_DIR [print]
#include "HeadlessSkyfloat.h"
#include "ZanD3D9Record.h"
#include "ZanEngine.h"
#include "ZanHeadless.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace
{
constexpr double kWindow = 800.0 * 600.0;

struct Screen
{
    const char* name;
    unsigned first, last; ///< passes sampled, every 10th
    double maxFragments, maxTextured, maxBlended;
    double fragments = 0, textured = 0, blended = 0; ///< the largest seen, in windows
};

// The splash card fades over a cleared screen, so it blends once over the window; the menu has
// its sky, scenery, clouds, water, logo, buttons and weather. When every layer was blended, the
// menu shaded and blended 2.0 windows per frame, all textured; with sky, far islands and islands
// composed into one picture, mostly shaded from vertex colours, it shaded 1.6 and sampled 1.0;
// with sprites drawing only the parts of their pictures that show, 1.45 and 0.8.
Screen g_screens[] = {{"splash", 60, 200, 1.1, 1.05, 1.05}, {"menu", 400, 700, 1.55, 0.9, 0.5}};
unsigned g_pass = 0;
bool g_print = false;

// Each draw of a frame alone: what it covers, samples and blends.
void PrintDraws(const ZanD3DFrameRecord& frame)
{
    for (size_t i = 0; i < frame.draws.size(); ++i)
    {
        ZanD3DFrameRecord one = frame;
        one.calls.clear();
        for (const ZanD3DCall& call : frame.calls)
            if ((call.op != ZanD3DOp::Draw && call.op != ZanD3DOp::Text) || call.a == i)
                one.calls.push_back(call);
        const ZanD3DFrameCost cost = ZanD3DMeasureFrame(one);
        const ZanD3DDraw& d = frame.draws[i];
        std::printf("  draw %zu: %u primitives, texture %dx%d: %.3f shaded, %.3f textured, %.3f "
                    "blended\n",
                    i, d.primitiveCount, d.pixels ? d.pixels->width : 0,
                    d.pixels ? d.pixels->height : 0, double(cost.fragments) / kWindow,
                    double(cost.textured) / kWindow, double(cost.blended) / kWindow);
    }
}

void OnPass(void*)
{
    ZanHeadlessAdvance(15);
    if (g_pass == 300 || g_pass == 301)
        ZanHeadlessMouseButton(0, g_pass == 300); // past the splash
    if (g_pass == 302)
        ZanHeadlessMouseMove(790, 590); // over no button
    for (Screen& s : g_screens)
        if (g_pass >= s.first && g_pass <= s.last && g_pass % 10 == 0 && ZanD3DLastFrame())
        {
            const ZanD3DFrameCost cost = ZanD3DMeasureFrame(*ZanD3DLastFrame());
            s.fragments = std::max(s.fragments, double(cost.fragments) / kWindow);
            s.blended = std::max(s.blended, double(cost.blended) / kWindow);
            s.textured = std::max(s.textured, double(cost.textured) / kWindow);
        }
    if (g_print && g_pass == 700 && ZanD3DLastFrame())
        PrintDraws(*ZanD3DLastFrame());
    if (++g_pass > 700)
        PostQuitMessage(0);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: %s DATA_DIR\n", argv[0]);
        return 2;
    }
    g_print = argc > 2 && std::strcmp(argv[2], "print") == 0;
    char dir[] = "/tmp/zan-drawing-cost-XXXXXX";
    const bool played = headless::EnterCopyOf(argv[1], dir) && headless::PlaySkyfloat(&OnPass);
    headless::RemoveCopy(dir);
    if (!played)
        return 1;
    int failed = 0;
    for (const Screen& s : g_screens)
    {
        const bool ok = s.fragments > 0 && s.fragments <= s.maxFragments &&
                        s.textured <= s.maxTextured && s.blended <= s.maxBlended;
        std::printf("%s: %.2f windows shaded (at most %.2f), %.2f textured (at most %.2f), %.2f "
                    "blended (at most %.2f)%s\n",
                    s.name, s.fragments, s.maxFragments, s.textured, s.maxTextured, s.blended,
                    s.maxBlended, ok ? "" : ": too many");
        failed += ok ? 0 : 1;
    }
    return failed ? 1 : 0;
}
