#include "PhysicsScene.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <string>

using zantest::PhysicsScene;

namespace
{
// A pile with a jointed pair, pushes and twists every frame and frames of several sub-steps:
// the default mode's whole step is in the hash.
uint64_t RunDefaultPile()
{
    PhysicsScene s;
    s.world->SetDamp(0.001f);
    s.Container(100, 700, 580, 500);
    s.Pile(200, 100, 700, 580, 14);
    CZanObject* actor = s.Add(30, 30, 400, 60, 1.0f, 500);
    CZanObject* balloon = s.Add(20, 26, 400, 20, 0.05f, 500);
    s.world->CreateJoint(actor, balloon, balloon->GetPos(), 1.0f);
    for (int i = 0; i < 300; ++i)
    {
        CZanVector push(float(i % 5) * 40.0f - 80.0f, -30.0f);
        CZanVector force(0.0f, -5.0f), point(3.0f, 0.0f);
        s.world->AddImpulse(actor->GetID(), push);
        s.world->AddTwist(s.boxes[20].object->GetID(), force, point);
        s.world->Step((i % 9 == 4) ? 0.05f : 1.0f / 60.0f);
    }
    EXPECT_TRUE(s.AllFinite());
    return s.Hash();
}
} // namespace

TEST(Settling, DefaultModeMovesEveryBodyAsBefore)
{
    const uint64_t hash = RunDefaultPile();
    // Taken from the world before settling existed; any change to the default step shows here.
    EXPECT_EQ(hash, 1334769209589185131ull);
}

namespace
{
const float kFrame = 1.0f / 60.0f;

// The benchmark's pile: 12-unit boxes dropped in rows into a container 600 units wide.
void DropPile(PhysicsScene& s, int count)
{
    s.world->SetDamp(0.001f);
    s.Container(100, 700, 580, 2000);
    const int columns = int(600.0f / 18.0f);
    for (int i = 0; i < count; ++i)
    {
        const int col = i % columns, row = i / columns;
        s.Add(12, 12, 112.0f + col * 18.0f + (row % 2) * 2.0f, 568.0f - row * 19.2f, 1.0f, 2 + i,
              0.02f * float((i * 7) % 11 - 5));
    }
}

// Frames until every body sleeps, or -1 if that takes longer than the limit.
int FramesToSleep(PhysicsScene& s, int limit)
{
    for (int i = 1; i <= limit; ++i)
    {
        s.world->Step(kFrame);
        if (s.world->GetAwakeCount() == 0)
            return i;
    }
    return -1;
}

// A pyramid of rows boxes of size 20 on a static ground, touching exactly.
CZanObject* Pyramid(PhysicsScene& s, int rows)
{
    s.world->SetDamp(0.001f);
    s.Add(1200, 40, 400, 600, 0.0f, 1);
    CZanObject* top = nullptr;
    int group = 2;
    for (int row = 0; row < rows; ++row)
        for (int i = 0; i < rows - row; ++i)
            top = s.Add(20, 20, 400.0f + (float(i) - 0.5f * float(rows - row - 1)) * 22.0f,
                        570.0f - 20.0f * float(row), 1.0f, group++);
    return top;
}
} // namespace

TEST(Settling, DroppedPileFallsAsleepWithinTenSeconds)
{
    struct Case
    {
        const char* name;
        int count;
        int piledFrames; ///< frames in the default mode before settling is switched on
    };
    // The deep one is the benchmark's pile: twenty layers, pressed into each other by the
    // default mode first.
    const Case cases[] = {{"shallow, dropped", 100, 0}, {"deep, piled", 1000, 600}};
    for (const Case& c : cases)
    {
        PhysicsScene s;
        DropPile(s, c.count);
        s.Run(c.piledFrames);
        s.world->SetSettling(true);
        const int frames = FramesToSleep(s, 600);
        RecordProperty(std::string("frames_to_sleep_") + std::to_string(c.count),
                       std::to_string(frames));
        EXPECT_GT(frames, 0) << c.name;
        EXPECT_TRUE(s.AllFinite()) << c.name;
        for (const zantest::SceneBox& b : s.boxes)
        {
            if (b.object->GetBody()->m_fInvMass != 0.0f)
            {
                EXPECT_LT(b.object->GetPos().y, 580.0f) << c.name; // none fell through the floor
            }
        }
    }
}

TEST(Settling, PyramidStandsAndSleeps)
{
    PhysicsScene s;
    CZanObject* top = Pyramid(s, 20);
    ASSERT_EQ(s.boxes.size(), 211u);
    s.world->SetSettling(true);
    const CZanVector start = top->GetPos();
    float drift = 0.0f;
    for (int i = 1; i <= 600; ++i)
    {
        s.world->Step(kFrame);
        const CZanVector d = top->GetPos() - start;
        drift = std::max(drift, std::sqrt(d % d));
    }
    const CZanVector end = top->GetPos() - start;
    RecordProperty("top_drift_max", std::to_string(drift));
    // Also while the fresh contacts take up the load, which sank it 3.6 units at first.
    EXPECT_LE(drift, 2.0f);
    EXPECT_LE(std::sqrt(end % end), 2.0f);
    EXPECT_EQ(s.world->GetAwakeCount(), 0);
    EXPECT_TRUE(s.world->IsAsleep(top->GetID()));
}

TEST(Settling, DroppedBoxWakesThePileAndComesToRestOnTop)
{
    PhysicsScene s;
    DropPile(s, 100);
    s.world->SetSettling(true);
    ASSERT_GT(FramesToSleep(s, 600), 0);
    // The pile's box nearest the middle, and a box dropped on it.
    CZanObject* under = nullptr;
    for (zantest::SceneBox& b : s.boxes)
        if (b.object->GetBody()->m_fInvMass != 0.0f &&
            (!under ||
             std::fabs(b.object->GetPos().x - 400.0f) < std::fabs(under->GetPos().x - 400.0f) ||
             (std::fabs(b.object->GetPos().x - under->GetPos().x) < 6.0f &&
              b.object->GetPos().y < under->GetPos().y)))
            under = b.object.get();
    const float landing = under->GetPos().y - 12.0f;
    CZanObject* box = s.Add(12, 12, under->GetPos().x, landing - 60.0f, 1.0f, 900);
    bool woke = false;
    for (int i = 0; i < 60 && !woke; ++i)
    {
        s.world->Step(kFrame);
        woke = !s.world->IsAsleep(under->GetID());
    }
    EXPECT_TRUE(woke);
    EXPECT_GT(FramesToSleep(s, 600), 0);
    EXPECT_TRUE(s.world->IsAsleep(box->GetID()));
    EXPECT_LT(box->GetPos().y, under->GetPos().y); // above what it landed on
}

TEST(Settling, SleepingContactsSendNoReports)
{
    PhysicsScene s;
    s.world->SetSettling(true);
    s.Add(400, 40, 200, 600, 0.0f, 1);
    s.Add(12, 12, 200, 574, 1.0f, 2);
    s.Record();
    s.Run(10);
    EXPECT_FALSE(s.reports.empty()); // awake, it reports as before
    ASSERT_GT(FramesToSleep(s, 600), 0);
    s.reports.clear();
    s.Run(60);
    EXPECT_TRUE(s.reports.empty());
}

TEST(Settling, AwakeCountWithSettlingOffIsEveryBodyWithMass)
{
    PhysicsScene s;
    s.Add(400, 40, 200, 600, 0.0f, 1);
    s.Add(12, 12, 200, 574, 1.0f, 2);
    s.Add(12, 12, 230, 574, 1.0f, 3);
    s.Run(120);
    EXPECT_EQ(s.world->GetAwakeCount(), 2);
    EXPECT_FALSE(s.world->IsAsleep(s.boxes[1].object->GetID()));
}

namespace
{
// A stack of two boxes on a floor, and a third box on the floor joined to the lower one.
struct Stack
{
    PhysicsScene s;
    CZanObject* lower;
    CZanObject* upper;
    CZanObject* side;
    Stack()
    {
        s.world->SetSettling(true);
        s.Add(400, 40, 200, 600, 0.0f, 1);
        lower = s.Add(12, 12, 200, 574, 1.0f, 2);
        upper = s.Add(12, 12, 200, 562, 1.0f, 3);
        side = s.Add(12, 12, 260, 574, 1.0f, 4);
    }
};
} // namespace

TEST(Settling, EveryCallThatMustWakeWakesTheIsland)
{
    struct Case
    {
        const char* name;
        void (*act)(Stack&);
        bool wakes;
    };
    const Case cases[] = {
        {"nothing", [](Stack&) {}, false},
        {"AddImpulse",
         [](Stack& t)
         {
             CZanVector v(0.0f, -1.0f);
             t.s.world->AddImpulse(t.lower->GetID(), v);
         },
         true},
        {"AddTwist",
         [](Stack& t)
         {
             CZanVector f(0.0f, -1.0f), p(3.0f, 0.0f);
             t.s.world->AddTwist(t.lower->GetID(), f, p);
         },
         true},
        {"SetPos", [](Stack& t) { t.lower->SetPos(t.lower->GetPos() + CZanVector(0.5f, 0.0f)); },
         true},
        {"SetVelocity", [](Stack& t) { t.lower->SetVelocity(CZanVector(5.0f, 0.0f)); }, true},
        {"SetMass", [](Stack& t) { t.lower->SetMass(2.0f); }, true},
        {"contact", [](Stack& t) { t.s.Add(12, 12, 200, 550.5f, 1.0f, 5); }, true},
        {"joint",
         [](Stack& t)
         {
             CZanVector v(0.0f, -1.0f);
             t.s.world->AddImpulse(t.side->GetID(), v); // joined to the lower box
         },
         true},
    };
    for (const Case& c : cases)
    {
        Stack t;
        t.s.world->CreateJoint(t.lower, t.side, CZanVector(230, 574), 1.0f);
        ASSERT_GT(FramesToSleep(t.s, 600), 0) << c.name;
        ASSERT_TRUE(t.s.world->IsAsleep(t.upper->GetID())) << c.name;
        c.act(t);
        t.s.world->Step(kFrame);
        EXPECT_EQ(!t.s.world->IsAsleep(t.upper->GetID()), c.wakes) << c.name;
        EXPECT_EQ(!t.s.world->IsAsleep(t.lower->GetID()), c.wakes) << c.name;
    }
}

TEST(Settling, BoxesANearMissApartKeepTheirContactButReportNoTouch)
{
    struct Case
    {
        const char* name;
        bool settling;
        float gap; ///< between box and floor
        bool pair, report;
    };
    const Case cases[] = {
        {"default, apart", false, 0.05f, false, false},
        {"settling, apart", true, 0.05f, true, false},
        {"settling, far apart", true, 0.5f, false, false},
        {"settling, touching", true, -0.05f, true, true},
    };
    for (const Case& c : cases)
    {
        PhysicsScene s(CZanVector(0, 0));
        s.world->SetSettling(c.settling);
        s.Record();
        CZanObject* floor = s.Add(100, 20, 0, 10, 0.0f, 1);
        CZanObject* box = s.Add(10, 10, 0, -5.0f - c.gap, 1.0f, 2);
        s.world->Step(0.0f);
        EXPECT_EQ(s.world->FindPair(floor->GetBody(), box->GetBody()) != nullptr, c.pair) << c.name;
        EXPECT_EQ(!s.reports.empty(), c.report) << c.name;
        for (const zantest::Report& r : s.reports)
            for (int i = 0; i < r.count; ++i)
                EXPECT_LE(r.contacts[i].m_fSeparation, 0.0f) << c.name;
    }
}
