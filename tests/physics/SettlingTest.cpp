#include "PhysicsScene.h"

#include <gtest/gtest.h>

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
