// Not a check: plays a scripted two-player match and saves the headless frame every few
// seconds as PNG files into $ZAN_SHOT_DIR, for a person to look at.
#include "D3DTestUtil.h"
#include "LevelRun.h"

#include <cstdlib>
#include <gtest/gtest.h>

using zantest::LevelRun;

TEST(PlayTest, DISABLED_SaveFramesOfAMatch)
{
    const char* dir = std::getenv("ZAN_SHOT_DIR");
    const int players =
        std::getenv("ZAN_SHOT_PLAYERS") ? std::atoi(std::getenv("ZAN_SHOT_PLAYERS")) : 2;
    const std::string out = dir ? dir : "/tmp";
    unsigned next = 0;
    LevelRun run(players);
    run.Play(
        [&](LevelRun& r)
        {
            if (!r.Level())
                return false;
            const unsigned t = r.Time();
            LevelRun::Key(DIK_J, t % 800 < 260);
            LevelRun::Key(DIK_D, (t / 2500) % 2 == 0);
            LevelRun::Key(DIK_A, (t / 2500) % 2 == 1);
            LevelRun::Key(DIK_END, t % 700 < 240);
            LevelRun::Key(DIK_LEFT, (t / 3100) % 2 == 0);
            LevelRun::Key(DIK_RIGHT, (t / 3100) % 2 == 1);
            if (t >= next)
            {
                int w = 0, h = 0;
                const unsigned* frame = ZanHeadlessFrame(&w, &h);
                if (frame && w > 0)
                {
                    std::vector<uint32_t> pixels(frame, frame + size_t(w) * size_t(h));
                    zantest::WriteFile(out + "/shot_" + std::to_string(t / 1000) + ".png",
                                       d3dtest::EncodePng(w, h, pixels));
                }
                next += 3000;
            }
            return true;
        },
        60000);
}
