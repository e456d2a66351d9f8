// Birds and balloons in a running level: flapping, pushing, popping, scoring, losing balloons
// and lives, wrapping round the screen.
#include "LevelRun.h"

#include "actors/ActorSupport.h"

#include <algorithm>
#include <gtest/gtest.h>

using zantest::LevelRun;

namespace
{
// Puts a bird somewhere with its balloons above it, as the screen wrap does.
void Teleport(CBird* bird, float x, float y)
{
    bird->SetPos(x, y);
    bird->SetVelocity(CZanVector(0.0f, 0.0f));
    for (int i = 0; i < CBird::BALLOONS; ++i)
    {
        bird->GetBalloon(i)->SetPos(x, y - 40.0f);
        bird->GetBalloon(i)->SetVelocity(CZanVector(0.0f, 0.0f));
    }
}

bool Alive(const CMonster* monster)
{
    return monster->GetState() >= MONSTER_CHOOSING && monster->GetState() <= MONSTER_BOUNCING_RIGHT;
}

// The first monster that is flying about, or null.
CMonster* LiveMonster(LevelRun& run)
{
    for (int i = 0; i < run.Level()->GetMonsterCount(); ++i)
        if (Alive(run.Monster(i)))
            return run.Monster(i);
    return nullptr;
}

// Holds bird 1's flap key until the bird flies; true once it does (and the key is let go).
bool TakenOff(const CBird* bird)
{
    const bool flying = bird->GetState() >= BIRD_FLYING_LEFT_HELD;
    LevelRun::Key(DIK_J, !flying);
    return flying;
}

// Ready to play: the countdown runs and the birds have been started.
bool Playing(LevelRun& run)
{
    return run.Level() && run.Level()->GetState() == LEVEL_PLAYING && run.Time() > 1500;
}
} // namespace

TEST(BirdTest, HoldingFlapClimbsButNeverFasterThanOneFlapPastTheLimit)
{
    LevelRun run(1);
    float lowestVy = 0.0f, startY = 0.0f, endY = 0.0f;
    unsigned started = 0;
    run.Play(
        [&](LevelRun& r)
        {
            if (!Playing(r))
                return true;
            CBird* bird = r.Bird(0);
            if (!started)
            {
                started = r.Time();
                Teleport(bird, 400.0f, 500.0f);
                startY = bird->GetPos().y;
                LevelRun::Key(DIK_J, true);
                return true;
            }
            lowestVy = std::min(lowestVy, bird->GetVelocity().y);
            endY = bird->GetPos().y;
            return r.Time() - started < 600;
        },
        30000);
    // One flap adds 10000 / 60 pixels per second upwards; it only fires above -100.
    EXPECT_LT(lowestVy, -100.0f);
    EXPECT_GE(lowestVy, -100.0f - 10000.0f / 60.0f - 1.0f);
    EXPECT_LT(endY, startY - 40.0f);
}

TEST(BirdTest, PushingLeftStopsAddingPastTheSpeedLimit)
{
    LevelRun run(1);
    float lowestVx = 0.0f;
    unsigned started = 0;
    run.Play(
        [&](LevelRun& r)
        {
            if (!Playing(r))
                return true;
            CBird* bird = r.Bird(0);
            if (!started)
            {
                started = r.Time();
                Teleport(bird, 400.0f, 460.0f);
                LevelRun::Key(DIK_A, true);
                LevelRun::Key(DIK_J, true);
                return true;
            }
            LevelRun::Key(DIK_J, false); // one flap to take off, then glide down in open sky
            lowestVx = std::min(lowestVx, bird->GetVelocity().x);
            return r.Time() - started < 500;
        },
        30000);
    EXPECT_LT(lowestVx, -140.0f);
    EXPECT_GE(lowestVx, -150.0f - 1000.0f / 60.0f - 1.0f);
}

TEST(BirdTest, FlyingIntoAMonstersBalloonKillsItBouncesAndScoresAHundred)
{
    LevelRun run(1);
    CMonster* victim = nullptr;
    unsigned touched = 0;
    int birdState = 0;
    run.Play(
        [&](LevelRun& r)
        {
            if (!Playing(r))
                return true;
            CBird* bird = r.Bird(0);
            if (bird->GetState() < BIRD_FLYING_LEFT_HELD)
            {
                LevelRun::Key(DIK_J, true);
                return true;
            }
            LevelRun::Key(DIK_J, false);
            if (!victim)
            {
                victim = LiveMonster(r);
                if (!victim)
                    return true;
                touched = r.Time();
                const CZanVector at = victim->GetBalloon()->GetPos();
                Teleport(bird, at.x, at.y);
                return true;
            }
            if (bird->GetState() == BIRD_BOUNCING_LEFT || bird->GetState() == BIRD_BOUNCING_RIGHT)
                birdState = bird->GetState();
            return r.Time() - touched < 300;
        },
        30000);
    ASSERT_NE(victim, nullptr);
    EXPECT_TRUE(victim->GetState() == MONSTER_DYING || victim->GetState() == MONSTER_FALLING);
    EXPECT_NE(birdState, 0) << "the bird bounced";
    // run has quit but the level still exists until the game is deleted
    EXPECT_EQ(run.Bird(0)->GetScore(), 100);
    EXPECT_EQ(run.Level()->GetScoreDisplay(0)->GetValue(), 100);
    EXPECT_EQ(run.Level()->GetCounterDisplay(0)->GetValue(), 1) << "balloons popped";
}

TEST(BirdTest, AGroundedBirdPopsABalloonWithoutBounceOrScore)
{
    LevelRun run(1);
    CMonster* victim = nullptr;
    unsigned touched = 0;
    run.Play(
        [&](LevelRun& r)
        {
            if (!Playing(r))
                return true;
            CBird* bird = r.Bird(0);
            if (!victim)
            {
                victim = LiveMonster(r);
                if (!victim)
                    return true;
                EXPECT_TRUE(bird->GetState() == BIRD_STANDING_LEFT ||
                            bird->GetState() == BIRD_STANDING_RIGHT);
                touched = r.Time();
                const CZanVector at = victim->GetBalloon()->GetPos();
                Teleport(bird, at.x, at.y);
                return true;
            }
            return r.Time() - touched < 300;
        },
        30000);
    ASSERT_NE(victim, nullptr);
    EXPECT_TRUE(victim->GetState() == MONSTER_DYING || victim->GetState() == MONSTER_FALLING);
    EXPECT_TRUE(run.Bird(0)->GetState() == BIRD_STANDING_LEFT ||
                run.Bird(0)->GetState() == BIRD_STANDING_RIGHT);
    EXPECT_EQ(run.Bird(0)->GetScore(), 0);
}

TEST(BirdTest, AnotherBirdsBalloonScoresAThousandAndCostsThatBirdTheBalloon)
{
    LevelRun run(2);
    unsigned touched = 0;
    run.Play(
        [&](LevelRun& r)
        {
            if (!Playing(r) || r.Time() < 2000)
                return true;
            CBird* hunter = r.Bird(0);
            CBird* prey = r.Bird(1);
            if (!TakenOff(hunter))
                return true;
            if (!touched)
            {
                touched = r.Time();
                const CZanVector at = prey->GetBalloon(0)->GetPos();
                Teleport(hunter, at.x, at.y);
                return true;
            }
            return r.Time() - touched < 300;
        },
        30000);
    ASSERT_NE(touched, 0u);
    EXPECT_EQ(run.Bird(0)->GetScore(), 1000);
    EXPECT_GE(run.Bird(1)->GetLostBalloon(), 0);
    EXPECT_EQ(run.Bird(1)->GetLives(), 3);
    CScoreDisplay* shown = run.Level()->GetScoreDisplay(0);
    const int digits[] = {0, 0, 0, 1, 0, 0, 0};
    for (int k = 0; k < CScoreDisplay::DIGITS; ++k)
        EXPECT_EQ(shown->GetDigit(k), digits[k]) << "digit " << k;
}

TEST(BirdTest, ABalloonTheGraceSecondKeepsScoresNothing)
{
    LevelRun run(2);
    unsigned touched = 0, lost = 0;
    run.Play(
        [&](LevelRun& r)
        {
            if (!Playing(r) || r.Time() < 2000)
                return true;
            CBird* hunter = r.Bird(0);
            CBird* prey = r.Bird(1);
            if (!TakenOff(hunter))
                return true;
            if (!lost)
            {
                lost = r.Time();
                LevelRun::Send(prey->GetID(), BIRD_BALLOON_HIT,
                               {uint32_t(prey->GetBalloon(1)->GetID())});
                return true;
            }
            if (!touched && r.Time() - lost > 100)
            {
                touched = r.Time();
                const CZanVector at = prey->GetBalloon(0)->GetPos();
                Teleport(hunter, at.x, at.y);
            }
            return !touched || r.Time() - touched < 300;
        },
        30000);
    ASSERT_NE(touched, 0u);
    EXPECT_EQ(run.Bird(1)->GetLostBalloon(), 1) << "the touch within the grace second is ignored";
    EXPECT_EQ(run.Bird(0)->GetScore(), 0);
    EXPECT_EQ(run.Level()->GetCounterDisplay(0)->GetValue(), 0);
}

TEST(BirdTest, HitsWithinASecondOfALossAreIgnored)
{
    LevelRun run(1);
    int lostAfterTwo = -2, stateAfterTwo = 0, livesAfterThree = 0;
    run.Play(
        [&](LevelRun& r)
        {
            if (!Playing(r))
                return true;
            CBird* bird = r.Bird(0);
            const uint32_t first = bird->GetBalloon(0)->GetID();
            const uint32_t second = bird->GetBalloon(1)->GetID();
            const unsigned t = r.Time();
            if (t >= 2000 && t < 2000 + LevelRun::FRAME_MS)
                LevelRun::Send(bird->GetID(), BIRD_BALLOON_HIT, {second});
            if (t >= 2600 && t < 2600 + LevelRun::FRAME_MS)
                LevelRun::Send(bird->GetID(), BIRD_BALLOON_HIT, {first});
            if (t >= 2800 && t < 2800 + LevelRun::FRAME_MS)
            {
                lostAfterTwo = bird->GetLostBalloon();
                stateAfterTwo = bird->GetState();
            }
            if (t >= 3200 && t < 3200 + LevelRun::FRAME_MS)
                LevelRun::Send(bird->GetID(), BIRD_BALLOON_HIT, {first});
            livesAfterThree = bird->GetLives();
            return t < 3500;
        },
        30000);
    EXPECT_EQ(lostAfterTwo, 1);
    EXPECT_NE(stateAfterTwo, BIRD_DYING);
    EXPECT_EQ(livesAfterThree, 2) << "the third hit, past the second, cost the life";
}

TEST(BirdTest, TheLastLifeEndsTheMatchAFifthOfASecondAfterDeath)
{
    LevelRun run(1);
    unsigned noHearts = 0, ending = 0, waitScreen = 0;
    run.Play(
        [&](LevelRun& r)
        {
            const unsigned t = r.Time();
            if (!r.Level())
            {
                if (r.Game()->GetFlowState() == FLOW_ONE_PLAYER_WAIT && !waitScreen)
                    waitScreen = t;
                return false;
            }
            if (!noHearts && r.Level()->GetLifeDisplay(0)->GetCount() == 0)
            {
                noHearts = t;
                EXPECT_FALSE(r.Level()->GetLifeDisplay(0)->IsHeartVisible(0));
            }
            if (!ending && r.Level()->GetState() == LEVEL_ENDING)
                ending = t;
            if (!Playing(r))
                return true;
            // Kill it whenever it stands ready, three times over.
            CBird* bird = r.Bird(0);
            if (t > 2000 && bird->GetState() >= BIRD_CHOOSING &&
                bird->GetState() <= BIRD_STANDING_RIGHT)
                LevelRun::Send(bird->GetID(), BIRD_DIE, {uint32_t(bird->GetID())});
            return true;
        },
        30000);
    ASSERT_NE(noHearts, 0u);
    ASSERT_NE(ending, 0u);
    EXPECT_GE(ending - noHearts, 190u);
    EXPECT_LE(ending - noHearts, 240u);
    EXPECT_GE(waitScreen - ending, 3000u);
    EXPECT_LE(waitScreen - ending, 3000u + 2 * LevelRun::FRAME_MS);
    EXPECT_EQ(run.Bird(0), nullptr);
}

TEST(BirdTest, LeavingTheRightEdgeEntersOnTheLeftWithItsBalloons)
{
    LevelRun run(1);
    unsigned moved = 0;
    CZanVector bird, balloon;
    run.Play(
        [&](LevelRun& r)
        {
            if (!Playing(r))
                return true;
            if (!moved)
            {
                moved = r.Time();
                Teleport(r.Bird(0), 851.0f, 300.0f);
                return true;
            }
            bird = r.Bird(0)->GetPos();
            balloon = r.Bird(0)->GetBalloon(0)->GetPos();
            return false;
        },
        30000);
    EXPECT_NEAR(bird.x, -50.0f, 5.0f);
    EXPECT_NEAR(balloon.x, -50.0f, 15.0f);
    EXPECT_LT(balloon.y, bird.y);
}

// Birds and monsters share the wrap: each comes in at the other edge with its balloon.
TEST(BirdTest, BirdsAndMonstersComeInAtTheOtherEdgeWithTheirBalloons)
{
    struct Row
    {
        bool monster;
        float from, to;
    };
    const Row rows[] = {{false, 851.0f, -50.0f},
                        {false, -51.0f, 850.0f},
                        {true, 851.0f, -50.0f},
                        {true, -51.0f, 850.0f}};
    const size_t count = sizeof rows / sizeof rows[0];
    CZanVector actorAt[count], balloonAt[count];
    size_t row = 0;
    CZanObject* actor = nullptr;
    CZanObject* balloon = nullptr;
    LevelRun run(1);
    run.Play(
        [&](LevelRun& r)
        {
            if (!Playing(r))
                return true;
            if (actor)
            {
                actorAt[row] = actor->GetPos();
                balloonAt[row] = balloon->GetPos();
                actor = nullptr;
                return ++row < count;
            }
            const float x = rows[row].from;
            if (!rows[row].monster)
            {
                Teleport(r.Bird(0), x, 300.0f);
                actor = r.Bird(0);
                balloon = r.Bird(0)->GetBalloon(0);
                return true;
            }
            CMonster* monster = LiveMonster(r);
            if (!monster)
                return true;
            monster->SetPos(x, 300.0f);
            monster->SetVelocity(CZanVector(0.0f, 0.0f));
            monster->GetBalloon()->SetPos(x, 260.0f);
            monster->GetBalloon()->SetVelocity(CZanVector(0.0f, 0.0f));
            actor = monster;
            balloon = monster->GetBalloon();
            return true;
        },
        30000);
    ASSERT_EQ(row, count);
    for (size_t i = 0; i < count; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_NEAR(actorAt[i].x, rows[i].to, 5.0f);
        EXPECT_NEAR(balloonAt[i].x, rows[i].to, 15.0f);
        EXPECT_LT(balloonAt[i].y, actorAt[i].y);
    }
}
