// Not a check: a one-player bot plays a level several times to the end and prints how often
// it cleared it, for comparing the levels' difficulty. Settings: ZAN_CLEAR_LEVEL (1 to 4),
// ZAN_CLEAR_RUNS (matches) and ZAN_CLEAR_SEED (first seed).
#include "LevelRun.h"
#include "app/LevelChoice.h"

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

// A plain player: goes for the nearest live monster's balloon from a little above it, keeps
// off the water, and now and then is slow to react.
void Play(LevelRun& r, std::mt19937& random)
{
    if (std::uniform_int_distribution<int>(0, 99)(random) < 15)
        return;
    CBird* bird = r.Bird(0);
    const CZanVector p = bird->GetPos();
    CZanVector goal = p;
    float best = 1e9f;
    for (int i = 0; i < r.Level()->GetMonsterCount(); ++i)
    {
        CMonster* m = r.Monster(i);
        if (m->GetState() >= MONSTER_DYING)
            continue;
        const CZanVector at = m->GetBalloon()->GetPos();
        const float d = (at - p).Length();
        if (d < best)
        {
            best = d;
            goal = at + CZanVector(0.0f, -20.0f);
        }
    }
    LevelRun::Key(DIK_A, goal.x < p.x - 15.0f);
    LevelRun::Key(DIK_D, goal.x > p.x + 15.0f);
    LevelRun::Key(DIK_J, goal.y < p.y || p.y > 470.0f);
}
} // namespace

TEST(PlayTest, DISABLED_BotClearRate)
{
    const int level = Setting("ZAN_CLEAR_LEVEL", 1);
    const int runs = Setting("ZAN_CLEAR_RUNS", 5);
    const int seed = Setting("ZAN_CLEAR_SEED", 1);
    int cleared = 0;
    for (int run = 0; run < runs; ++run)
    {
        // The level is open and chosen, as after clearing the one before it.
        if (level > 1)
            LevelChoice().Cleared(level - 1);
        std::mt19937 random(unsigned(seed + run));
        bool seeded = false, clear = false;
        int score = 0, lives = 0;
        unsigned end = 0;
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
                Play(lr, random);
                return true;
            },
            400000);
        EXPECT_EQ(r.Level() ? r.Level()->GetNumber() : level, level);
        cleared += clear;
        std::printf("level %d run %d: %s at %u s, score %d, lives %d\n", level, run + 1,
                    clear ? "cleared" : "lost", end / 1000, score, lives);
    }
    std::printf("level %d: cleared %d of %d\n", level, cleared, runs);
}
