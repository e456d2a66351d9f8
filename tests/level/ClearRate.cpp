// Not a check: a one-player bot plays a level to the end and prints whether it cleared it,
// for comparing the levels' difficulty (tools/clear_rate.sh plays many). Settings:
// ZAN_CLEAR_LEVEL (1 to 4), ZAN_CLEAR_SEED, ZAN_CLEAR_LAPSE and ZAN_CLEAR_DARING (see Play).
// One match per process: the engine and the game are built once per run of a program.
#include "LevelRun.h"
#include "core/LevelChoice.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <random>

using zantest::LevelRun;

namespace
{
int Setting(const char* name, int fallback)
{
    const char* v = std::getenv(name);
    return v ? std::atoi(v) : fallback;
}

// A careful player: keeps high in the sky, pops a monster's balloon only when it is just
// below, turns away from any monster close by, keeps off the water, and now and then is slow
// to react (lapse, percent of frames). A daring one (daring, percent of two-second spells)
// now and then goes after the nearest monster wherever it is, as a player out for points does.
void Play(LevelRun& r, std::mt19937& random, int lapse, bool hunting)
{
    if (std::uniform_int_distribution<int>(0, 99)(random) < lapse)
        return;
    CBird* bird = r.Bird(0);
    const CZanVector p = bird->GetPos();
    CZanVector goal(p.x, 110.0f);
    float nearest = 1e9f;
    for (int i = 0; i < r.Level()->GetMonsterCount(); ++i)
    {
        CMonster* m = r.Monster(i);
        if (m->GetState() >= MONSTER_DYING)
            continue;
        const CZanVector at = m->GetBalloon()->GetPos();
        const float d = (at - p).Length();
        if (d >= nearest || (d > 160.0f && !hunting))
            continue;
        nearest = d;
        if (hunting || (at.y > p.y + 10.0f && at.y < p.y + 90.0f))
            goal = at + CZanVector(0.0f, -25.0f); // from above: pop it
        else
            goal = CZanVector(p.x + (at.x < p.x ? 120.0f : -120.0f), std::min(p.y, at.y) - 60.0f);
    }
    LevelRun::Key(DIK_A, goal.x < p.x - 15.0f);
    LevelRun::Key(DIK_D, goal.x > p.x + 15.0f);
    LevelRun::Key(DIK_J, goal.y < p.y || p.y > 470.0f);
}
} // namespace

TEST(PlayTest, DISABLED_BotClearRate)
{
    const int level = Setting("ZAN_CLEAR_LEVEL", 1);
    const int seed = Setting("ZAN_CLEAR_SEED", 1);
    const int lapse = Setting("ZAN_CLEAR_LAPSE", 15);
    const int daring = Setting("ZAN_CLEAR_DARING", 0);
    const int run = 0;
    {
        // The level is open and chosen, as after clearing the one before it.
        if (level > 1)
            LevelChoice().Cleared(level - 1);
        std::mt19937 random(unsigned(seed + run));
        bool seeded = false, clear = false;
        int score = 0, lives = 0;
        unsigned end = 0, spell = ~0u;
        bool hunting = false;
        LevelRun r(1);
        r.Play(
            [&](LevelRun& lr)
            {
                CLevel* l = lr.Level();
                if (!l)
                    return false;
                if (!seeded)
                {
                    CZanEngine::Instance()->RandomSeed(seed + run);
                    seeded = true;
                }
                score = lr.Bird(0)->GetScore();
                lives = lr.Bird(0)->GetLives();
                end = lr.Time();
                if (l->GetState() >= LEVEL_ENDING)
                {
                    clear = l->IsCleared();
                    return false;
                }
                if (lr.Time() / 2000 != spell)
                {
                    spell = lr.Time() / 2000;
                    hunting = std::uniform_int_distribution<int>(0, 99)(random) < daring;
                }
                Play(lr, random, lapse, hunting);
                return true;
            },
            400000);
        EXPECT_EQ(r.Level() ? r.Level()->GetNumber() : level, level);
        std::printf("level %d seed %d: %s at %u s, score %d, lives %d\n", level, seed,
                    clear ? "cleared" : "lost", end / 1000, score, lives);
    }
}
