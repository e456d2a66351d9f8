// Not a check: plays a match and saves the headless frame every three seconds as PNG files
// into $ZAN_SHOT_DIR, for a person to look at, then prints how the match went. Settings:
// ZAN_SHOT_PLAYERS (1 or 2), ZAN_SHOT_SECONDS, ZAN_SHOT_IDLE (nobody presses a key) and
// ZAN_SHOT_BOT (each bird hunts the nearest monster) instead of the fixed key pattern, and
// ZAN_SHOT_LEVEL (1 to 4).
#include "D3DTestUtil.h"
#include "LevelRun.h"
#include "core/LevelChoice.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

using zantest::LevelRun;

namespace
{
// A plain player: goes for the nearest monster's balloon, from a little above it.
void Hunt(LevelRun& r, int b)
{
    const int left = b == 0 ? DIK_A : DIK_LEFT, right = b == 0 ? DIK_D : DIK_RIGHT;
    const int flap = b == 0 ? DIK_J : DIK_END;
    CBird* bird = r.Bird(b);
    CZanVector goal = bird->GetPos();
    float best = 1e9f;
    for (int i = 0; i < r.Level()->GetMonsterCount(); ++i)
    {
        CMonster* m = r.Monster(i);
        if (m->GetState() >= MONSTER_DYING)
            continue;
        const CZanVector at = m->GetBalloon()->GetPos();
        const float d = (at - bird->GetPos()).Length();
        if (d < best)
        {
            best = d;
            goal = at + CZanVector(0.0f, -20.0f);
        }
    }
    const CZanVector p = bird->GetPos();
    LevelRun::Key(left, goal.x < p.x - 15.0f);
    LevelRun::Key(right, goal.x > p.x + 15.0f);
    LevelRun::Key(flap, goal.y < p.y || p.y > 480.0f);
}
} // namespace

TEST(PlayTest, DISABLED_SaveFramesOfAMatch)
{
    const char* dir = std::getenv("ZAN_SHOT_DIR");
    const int players =
        std::getenv("ZAN_SHOT_PLAYERS") ? std::atoi(std::getenv("ZAN_SHOT_PLAYERS")) : 2;
    const std::string out = dir ? dir : "/tmp";
    const bool idle = std::getenv("ZAN_SHOT_IDLE") != nullptr;
    const bool bot = std::getenv("ZAN_SHOT_BOT") != nullptr;
    unsigned next = 0;
    int monsterDeaths = 0, lowest = 0, birdDeaths = 0;
    int scores[2] = {0, 0}, birdStates[2] = {0, 0};
    unsigned lastTime = 0;
    std::vector<int> states(6, 0);
    // ZAN_SHOT_LEVEL picks the level, open as if the one before it were cleared.
    if (const char* level = std::getenv("ZAN_SHOT_LEVEL"))
    {
        LevelChoice().Cleared(std::atoi(level) - 1);
        LevelChoice().Choose(std::atoi(level));
    }
    LevelRun run(players);
    run.Play(
        [&](LevelRun& r)
        {
            if (!r.Level())
                return false;
            const unsigned t = r.Time();
            lastTime = t;
            for (int b = 0; b < players; ++b)
            {
                scores[b] = r.Bird(b)->GetScore();
                if (r.Bird(b)->GetState() == BIRD_DYING && birdStates[b] != BIRD_DYING)
                {
                    ++birdDeaths;
                    std::printf("bird %d died at %u s at (%.0f, %.0f)\n", b, t / 1000,
                                r.Bird(b)->GetPos().x, r.Bird(b)->GetPos().y);
                }
                birdStates[b] = r.Bird(b)->GetState();
            }
            for (int i = 0; i < r.Level()->GetMonsterCount(); ++i)
            {
                const int state = r.Monster(i)->GetState();
                monsterDeaths += state == MONSTER_DYING && states[size_t(i)] != MONSTER_DYING;
                states[size_t(i)] = state;
                lowest = std::max(lowest, int(r.Monster(i)->GetPos().y));
            }
            if (idle)
                return true;
            if (bot)
            {
                for (int b = 0; b < players; ++b)
                    Hunt(r, b);
            }
            else
            {
                LevelRun::Key(DIK_J, t % 800 < 260);
                LevelRun::Key(DIK_D, (t / 2500) % 2 == 0);
                LevelRun::Key(DIK_A, (t / 2500) % 2 == 1);
                LevelRun::Key(DIK_END, t % 700 < 240);
                LevelRun::Key(DIK_LEFT, (t / 3100) % 2 == 0);
                LevelRun::Key(DIK_RIGHT, (t / 3100) % 2 == 1);
            }
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
        std::getenv("ZAN_SHOT_SECONDS")
            ? 1000u * unsigned(std::atoi(std::getenv("ZAN_SHOT_SECONDS")))
            : 60000u);
    std::printf("monster deaths %d, bird deaths %d, match %u s, scores %d %d, lowest %d\n",
                monsterDeaths, birdDeaths, lastTime / 1000, scores[0], scores[1], lowest);
}
