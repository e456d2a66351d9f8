// The level scenes: settings, the countdown, the end of a match, keys per level, and the
// head-up display's limits.
#include "LevelRun.h"
#include "core/LevelChoice.h"

#include "actors/ActorSupport.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>

using zantest::LevelRun;

namespace
{
std::string Settings(int monsters)
{
    // GBK, as every settings file.
    return std::string("[设置]\n怪物数=") + std::to_string(monsters) +
           "\n季节=2\n时间速率=1\n开始时间=8\n天气变化=1\n背景音乐=关卡音乐\n";
}

bool Dead(const CBird* bird)
{
    return bird->GetState() == BIRD_DYING || bird->GetState() == BIRD_FALLING;
}
} // namespace

TEST(LevelTest, TimeUpKillsEveryBirdAndTheNextMatchContinuesTheLabels)
{
    LevelRun run(2);
    run.Override("Level01.cfg", Settings(0)); // no monster ends the match early
    unsigned timeUp = 0, waitScreen = 0;
    bool soundPlayed = false, allDead = false, countdownSane = true;
    std::string firstLabels, labels;
    run.Play(
        [&](LevelRun& r)
        {
            const unsigned t = r.Time();
            CLevel* level = r.Level();
            if (!level)
            {
                if (!waitScreen && r.Game()->GetFlowState() == FLOW_TWO_PLAYER_WAIT)
                {
                    waitScreen = t;
                    r.StartAgain();
                }
                return true;
            }
            if (waitScreen)
            {
                labels = std::string(r.Bird(0)->GetLabel()) + " " + r.Bird(1)->GetLabel();
                return false;
            }
            if (firstLabels.empty())
                firstLabels = std::string(r.Bird(0)->GetLabel()) + " " + r.Bird(1)->GetLabel();
            CCountdownDisplay* countdown = level->GetCountdown();
            countdownSane = countdownSane && countdown->GetValue() >= 0 &&
                            countdown->GetTens() >= 0 && countdown->GetOnes() >= 0;
            if (!timeUp && level->GetState() == LEVEL_ENDING)
            {
                timeUp = t;
                soundPlayed = level->GetTimeUpSound() && level->GetTimeUpSound()->IsPlaying();
            }
            if (timeUp && t - timeUp > 300)
                allDead = Dead(r.Bird(0)) && Dead(r.Bird(1));
            return true;
        },
        120000);
    // 99999 ms at full speed after the 800 ms wait.
    EXPECT_GE(timeUp, 100700u);
    EXPECT_LE(timeUp, 100900u);
    EXPECT_TRUE(soundPlayed);
    EXPECT_TRUE(allDead);
    EXPECT_TRUE(countdownSane);
    EXPECT_GE(waitScreen - timeUp, 3000u);
    EXPECT_LE(waitScreen - timeUp, 3000u + 3 * LevelRun::FRAME_MS);
    // The counter is program-wide, so the first match's numbers depend on what ran before.
    int first = 0, second = 0;
    ASSERT_EQ(std::sscanf(firstLabels.c_str(), "玩家%d 玩家%d", &first, &second), 2);
    EXPECT_EQ(second, first + 1);
    EXPECT_EQ(labels, "玩家" + std::to_string(first + 2) + " 玩家" + std::to_string(first + 3));
}

TEST(LevelTest, WithoutMonstersTheOnePlayerMatchEndsByTimeAtHalfSpeed)
{
    LevelRun run(1);
    run.Override("Level01.cfg", Settings(0));
    unsigned ended = 0;
    int monsters = -1;
    run.Play(
        [&](LevelRun& r)
        {
            if (!r.Level())
                return false;
            monsters = r.Level()->GetMonsterCount();
            if (r.Level()->GetState() == LEVEL_ENDING)
            {
                ended = r.Time();
                EXPECT_EQ(r.Level()->GetRemaining(), 0);
                EXPECT_EQ(r.Level()->GetCountdown()->GetValue(), 0);
                return false;
            }
            return true;
        },
        210000);
    EXPECT_EQ(monsters, 0);
    EXPECT_GE(ended, 200700u);
    EXPECT_LE(ended, 201000u);
    // A life was left at time-up: the clear is kept for the next run of the game.
    CLevelChoice next;
    next.Load();
    EXPECT_EQ(next.GetOpened(), 2);
}

TEST(LevelTest, MoreThanSixMonstersAreSixWithAWarning)
{
    LevelRun run(1);
    run.Override("Level01.cfg", Settings(9));
    int monsters = 0;
    run.Play(
        [&](LevelRun& r)
        {
            monsters = r.Level()->GetMonsterCount();
            return false;
        },
        1000);
    EXPECT_EQ(monsters, 6);
    run.Shutdown();
    int warnings = 0;
    for (const zantest::LogRow& row : run.LogRows())
        warnings += row.message.find("怪物数") != std::string::npos;
    EXPECT_EQ(warnings, 1);
}

// Frames a millisecond apart still move the one-player clock, at half speed.
TEST(LevelTest, TheHalfSpeedClockKeepsTheOddMillisecond)
{
    LevelRun run(1);
    run.SetFrameTime(1);
    int remaining = 0;
    unsigned began = 0;
    run.Play(
        [&](LevelRun& r)
        {
            if (r.Level()->GetState() != LEVEL_PLAYING)
                return true;
            if (!began)
                began = r.Time();
            remaining = r.Level()->GetRemaining();
            return r.Time() - began < 1000;
        },
        10000);
    EXPECT_NEAR(remaining, CLevel::FULL_TIME - 500, 5);
}

TEST(LevelTest, ASecondBirdOutWhileEndingChangesNothing)
{
    LevelRun run(2);
    unsigned firstOut = 0, waitScreen = 0;
    run.Play(
        [&](LevelRun& r)
        {
            const unsigned t = r.Time();
            if (!r.Level())
            {
                waitScreen = t;
                return false;
            }
            if (r.Level()->GetState() != LEVEL_PLAYING && !firstOut)
                return true;
            if (!firstOut && t > 2000)
            {
                SendToLevel(r.Bird(0)->GetID(), LEVEL_BIRD_OUT, {uint32_t(r.Bird(0)->GetID())});
                firstOut = t;
            }
            if (firstOut && t - firstOut >= 1500 && t - firstOut < 1500 + LevelRun::FRAME_MS)
                SendToLevel(r.Bird(1)->GetID(), LEVEL_BIRD_OUT, {uint32_t(r.Bird(1)->GetID())});
            if (firstOut && t - firstOut > 100)
            {
                EXPECT_GE(r.Level()->GetState(), LEVEL_ENDING);
            }
            return true;
        },
        30000);
    EXPECT_EQ(run.Game()->GetFlowState(), FLOW_TWO_PLAYER_WAIT);
    EXPECT_GE(waitScreen - firstOut, 3000u);
    EXPECT_LE(waitScreen - firstOut, 3000u + 4 * LevelRun::FRAME_MS);
}

TEST(LevelTest, TheSecondBirdsKeysDoNothingInTheOnePlayerLevel)
{
    LevelRun run(1);
    int before = 0, afterArrows = 0, afterJ = 0;
    unsigned pressed = 0;
    run.Play(
        [&](LevelRun& r)
        {
            if (r.Level()->GetState() != LEVEL_PLAYING || r.Time() < 1500)
                return true;
            CBird* bird = r.Bird(0);
            if (!pressed)
            {
                before = bird->GetState();
                pressed = r.Time();
                LevelRun::Key(DIK_END, true);
                LevelRun::Key(DIK_LEFT, true);
                return true;
            }
            if (r.Time() - pressed < 500)
                return true;
            if (!afterArrows)
            {
                afterArrows = bird->GetState();
                LevelRun::Key(DIK_J, true);
                return true;
            }
            afterJ = bird->GetState();
            return false;
        },
        30000);
    EXPECT_TRUE(before == BIRD_STANDING_LEFT || before == BIRD_STANDING_RIGHT);
    EXPECT_EQ(afterArrows, before);
    EXPECT_TRUE(afterJ == BIRD_FLYING_LEFT_HELD || afterJ == BIRD_FLYING_RIGHT_HELD);
}

TEST(LevelTest, DisplaysShowTheirLargestNumberForValuesBeyondTheirDigits)
{
    LevelRun run(1);
    run.Play(
        [&](LevelRun& r)
        {
            CLevel* level = r.Level();
            EXPECT_EQ(level->GetCountdown()->GetTens(), 9);
            EXPECT_EQ(level->GetCountdown()->GetOnes(), 9);

            CScoreDisplay* score = level->GetScoreDisplay(0);
            score->Set(1234567);
            for (int k = 0; k < CScoreDisplay::DIGITS; ++k)
                EXPECT_EQ(score->GetDigit(k), k + 1);
            score->Set(10000000);
            for (int k = 0; k < CScoreDisplay::DIGITS; ++k)
                EXPECT_EQ(score->GetDigit(k), 9);

            CCounterDisplay* counter = level->GetCounterDisplay(0);
            counter->Set(100);
            EXPECT_EQ(counter->GetTens() * 10 + counter->GetOnes(), 99);
            counter->Set(-3);
            EXPECT_EQ(counter->GetTens() * 10 + counter->GetOnes(), 0);

            CLifeDisplay* lives = level->GetLifeDisplay(0);
            for (int k = 0; k < CLifeDisplay::HEARTS; ++k)
                EXPECT_TRUE(lives->IsHeartVisible(k));
            lives->Set(1);
            EXPECT_TRUE(lives->IsHeartVisible(0));
            EXPECT_FALSE(lives->IsHeartVisible(1));
            EXPECT_FALSE(lives->IsHeartVisible(2));
            return false;
        },
        1000);
    // The clamped values were shown without asking for a frame the animation lacks.
    run.Shutdown();
    for (const zantest::LogRow& row : run.LogRows())
        EXPECT_EQ(row.message.find("帧"), std::string::npos) << row.message;
}

// A kick faster than the water is thick carries an actor past it between two steps: below
// the screen it drowns all the same, instead of falling for ever out of the player's reach.
TEST(LevelTest, ActorsThrownPastTheWaterDrownAllTheSame)
{
    LevelRun run(1);
    unsigned thrown = 0;
    int birdState = 0, monsterState = 0, lives = 0;
    run.Play(
        [&](LevelRun& r)
        {
            if (r.Level()->GetState() != LEVEL_PLAYING || r.Time() < 1500)
                return true;
            if (!thrown)
            {
                lives = r.Bird(0)->GetLives();
                for (CZanObject* actor :
                     {static_cast<CZanObject*>(r.Bird(0)), static_cast<CZanObject*>(r.Monster(0))})
                {
                    actor->SetPos(300.0f, 900.0f);
                    actor->SetVelocity(CZanVector(0.0f, 3000.0f));
                }
                thrown = r.Time();
                return true;
            }
            if (r.Time() - thrown < 100)
                return true;
            birdState = r.Bird(0)->GetState();
            monsterState = r.Monster(0)->GetState();
            return false;
        },
        30000);
    EXPECT_TRUE(birdState == BIRD_DYING || birdState == BIRD_FALLING) << birdState;
    EXPECT_EQ(run.Bird(0) ? run.Bird(0)->GetLives() : -1, lives - 1);
    EXPECT_TRUE(monsterState == MONSTER_DYING || monsterState == MONSTER_FALLING) << monsterState;
}

TEST(LevelTest, MonstersLeftAloneWanderOverTheLevelInsteadOfDrowning)
{
    // Nobody at the keys: every monster death in the match is a drowning.
    LevelRun run(1);
    std::vector<int> before(6, 0);
    std::vector<unsigned> deaths;
    run.Play(
        [&](LevelRun& r)
        {
            if (!r.Level() || r.Level()->GetState() == LEVEL_ENDING)
                return r.Time() < 120000;
            for (int i = 0; i < r.Level()->GetMonsterCount() && i < 6; ++i)
            {
                const int state = r.Monster(i)->GetState();
                if (state == MONSTER_DYING && before[size_t(i)] != MONSTER_DYING)
                    deaths.push_back(r.Time());
                before[size_t(i)] = state;
            }
            return r.Time() < 120000;
        },
        125000);
    ASSERT_FALSE(deaths.empty() && before == std::vector<int>(6, 0)) << "no monster was seen";
    // Steering away from their targets, they drowned 19 to 25 times, the first within 2 s;
    // flapping toward targets above them, 6 to 13; wandering toward the sea no more, 0 to 3
    // across frame rates.
    EXPECT_TRUE(deaths.empty() || deaths.front() > 10000) << deaths.front();
    EXPECT_LE(deaths.size(), 5u);
}
