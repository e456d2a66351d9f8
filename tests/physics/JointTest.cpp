#include "PhysicsScene.h"

#include <cfloat>
#include <gtest/gtest.h>

using zantest::PhysicsScene;

namespace
{
// Distance from the pivot to the point of the bob that was pinned there.
float AnchorGap(const CZanObject* bob, const CZanVector& local, const CZanVector& pivot)
{
    return (bob->GetPos() + local.Rotate(bob->GetRot()) - pivot).Length();
}
} // namespace

TEST(Joint, PendulumKeepsItsLengthOverTenSeconds)
{
    PhysicsScene s;
    s.world->SetDamp(0.001f);
    CZanObject* pivot = s.Add(10, 10, 400, 100, 0.0f, 1);
    CZanObject* bob = s.Add(10, 10, 500, 100, 1.0f, 2);
    const CZanVector anchor(400, 100);
    const unsigned long id = s.world->CreateJoint(pivot, bob, anchor, 1.0f);
    EXPECT_GE(id, 100u);
    const CZanVector local = anchor - bob->GetPos();

    float worst = 0.0f, lowest = 0.0f;
    for (int i = 0; i < 600; ++i)
    {
        s.world->Step(1.0f / 60.0f);
        worst = std::max(worst, AnchorGap(bob, local, anchor));
        lowest = std::max(lowest, bob->GetPos().y);
    }
    EXPECT_LT(worst, 5.0f);
    const float length = (bob->GetPos() - anchor).Length();
    EXPECT_NEAR(length, 100.0f, 5.0f);
    EXPECT_GT(lowest, 195.0f); // it really swung down
    EXPECT_EQ(pivot->GetPos(), anchor);
}

TEST(Joint, SwitchingOffLetsGoAndOnPullsBack)
{
    PhysicsScene s(CZanVector(0, 0));
    CZanObject* a = s.Add(10, 10, 0, 0, 1.0f, 1);
    CZanObject* b = s.Add(10, 10, 20, 0, 1.0f, 2);
    const unsigned long id = s.world->CreateJoint(a, b, CZanVector(10, 0), 1.0f);
    b->SetVelocity(CZanVector(100, 0));
    s.world->SetJointActive(id, false);
    s.Run(30);
    const float parted = b->GetPos().x - a->GetPos().x;
    EXPECT_GT(parted, 60.0f);
    const CZanVector heldP = s.world->GetJoint(id)->m_vP;

    s.world->SetJointActive(id, true);
    s.world->Step(1.0f / 60.0f);
    EXPECT_NE(s.world->GetJoint(id)->m_vP, heldP);
    s.Run(600);
    EXPECT_NEAR(b->GetPos().x - a->GetPos().x, 20.0f, 1.0f);

    // Ids that were never handed out change nothing.
    s.world->SetJointActive(99999, false);
    s.world->RemoveJoint(99999);
    EXPECT_NE(s.world->GetJoint(id), nullptr);
    s.world->RemoveJoint(id);
    EXPECT_EQ(s.world->GetJoint(id), nullptr);
}

TEST(Joint, DegenerateJointsStayFinite)
{
    PhysicsScene s;
    CZanObject* a = s.Add(10, 10, 0, 0, 0.0f, 1);
    CZanObject* b = s.Add(10, 10, 30, 0, 0.0f, 2);
    const unsigned long id = s.world->CreateJoint(a, b, CZanVector(15, 0), 1.0f);
    CZanObject* c = s.Add(10, 10, 200, 0, 0.0f, 3);
    CZanObject* d = s.Add(10, 10, 230, 0, 0.0f, 4);
    c->SetMass(0.0005f);
    d->SetMass(0.0001f);
    s.world->CreateJoint(c, d, CZanVector(215, 0), 1.0f);
    s.Run(30);
    EXPECT_TRUE(s.AllFinite());
    const CZanJoint* j = s.world->GetJoint(id);
    EXPECT_TRUE(std::isfinite(j->m_vP.x) && std::isfinite(j->m_vP.y));
    EXPECT_TRUE(std::isfinite(j->m_aM[0][0]) && std::isfinite(j->m_aM[1][1]));
    EXPECT_EQ(s.world->CreateJoint(nullptr, b, CZanVector(), 1.0f), 0u);
}

TEST(Joint, AJointWhoseBodyLeftTheWorldIsNotUsed)
{
    PhysicsScene s;
    CZanObject* pivot = s.Add(10, 10, 0, 0, 0.0f, 1);
    CZanObject* bob = s.Add(10, 10, 0, 50, 1.0f, 2);
    const unsigned long id = s.world->CreateJoint(pivot, bob, CZanVector(0, 0), 1.0f);
    s.Run(10);
    s.world->RemoveBody(pivot->GetID());
    s.boxes[0].object.reset();
    s.Run(30);
    // The bob falls freely.
    EXPECT_GT(bob->GetPos().y, 100.0f);
    EXPECT_NE(s.world->GetJoint(id), nullptr); // still owned until removed
    s.world->RemoveAll();
    EXPECT_EQ(s.world->GetJoint(id), nullptr);
}
