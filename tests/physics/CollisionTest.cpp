#include "PhysicsScene.h"

#include <cfloat>
#include <gtest/gtest.h>

using zantest::PhysicsScene;
using zantest::Report;

TEST(Collision, BoxComesToRestOnStaticFloorWithStableFeatures)
{
    PhysicsScene s;
    CZanObject* floor = s.Add(800, 40, 400, 600, 0.0f, 1);
    CZanObject* box = s.Add(20, 20, 400, 570, 1.0f, 2);
    s.Run(120);

    const CZanContactPair* pair = s.world->FindPair(floor->GetBody(), box->GetBody());
    ASSERT_NE(pair, nullptr);
    ASSERT_EQ(pair->m_nContacts, 2);
    const CZanContactPair before = *pair;
    const CZanVector rest = box->GetPos();
    for (int i = 0; i < 60; ++i)
    {
        s.world->Step(1.0f / 60.0f);
        pair = s.world->FindPair(floor->GetBody(), box->GetBody());
        ASSERT_NE(pair, nullptr);
        ASSERT_EQ(pair->m_nContacts, 2);
        for (int c = 0; c < 2; ++c)
        {
            EXPECT_TRUE(pair->m_aContacts[c].SameFeature(before.m_aContacts[c]));
            // The accumulated impulse is carried over: half the box's weight per contact
            // and sub-step, never restarted from zero.
            EXPECT_NEAR(pair->m_aContacts[c].m_fPn, 0.5f * 1000.0f / 60.0f, 1.0f);
        }
    }
    EXPECT_NEAR(box->GetPos().x, rest.x, 0.01f);
    EXPECT_NEAR(box->GetPos().y, rest.y, 0.01f);
    EXPECT_NEAR(box->GetPos().y, 570.0f, 0.15f); // within the allowed penetration
    EXPECT_NEAR(box->GetRot(), 0.0f, 1e-4f);
    EXPECT_LT(box->GetVelocity().Length(), 0.5f);
}

TEST(Collision, RestitutionIsTheMassWeightedMeanOfElasticities)
{
    // A light body hitting a static one takes the static body's elasticity.
    PhysicsScene s(CZanVector(0, 0));
    CZanObject* floor = s.Add(800, 40, 400, 600, 0.0f, 1);
    // Already touching when it arrives, so no penetration bias mixes in.
    CZanObject* dull = s.Add(20, 20, 200, 570.0f, 1.0f, 2);
    dull->SetGravity(false);
    floor->SetElast(0.0f);
    dull->SetElast(0.5f);
    dull->SetVelocity(CZanVector(0, 300));
    for (int i = 0; i < 3; ++i)
    {
        s.Run(1);
        EXPECT_GT(dull->GetVelocity().y, -5.0f);
        EXPECT_LT(dull->GetVelocity().y, 5.0f);
    }
}

TEST(Collision, FrictionStopsASlidingBoxOnASlope)
{
    PhysicsScene s;
    const float angle = 0.3f, mu = 0.6f, v0 = 100.0f;
    CZanObject* slope = s.Add(1200, 40, 400, 400, 0.0f, 1, angle);
    const CZanVector down(std::cos(angle), std::sin(angle)), up(std::sin(angle), -std::cos(angle));
    const CZanVector start = CZanVector(400, 400) + up * 29.95f;
    CZanObject* box = s.Add(20, 20, start.x, start.y, 1.0f, 2, angle);
    slope->SetFriction(mu);
    box->SetFriction(mu);
    box->SetVelocity(down * v0);
    s.world->SetDamp(0.0f);
    s.Run(180);

    const float decel = 1000.0f * (mu * std::cos(angle) - std::sin(angle));
    const float expected = v0 * v0 / (2.0f * decel);
    const float travelled = (box->GetPos() - start) % down;
    EXPECT_LT(box->GetVelocity().Length(), 1.0f);
    EXPECT_NEAR(travelled, expected, expected * 0.25f);
    EXPECT_NEAR(box->GetRot(), angle, 0.01f);
}

TEST(Collision, FiltersDecideWhichPairsAreTested)
{
    PhysicsScene s(CZanVector(0, 0));
    s.Record();
    CZanObject* a = s.Add(20, 20, 100, 100, 1.0f, 5);
    CZanObject* b = s.Add(20, 20, 110, 100, 1.0f, 5); // same group, overlapping
    CZanObject* c = s.Add(20, 20, 300, 100, 0.0f, 1);
    CZanObject* d = s.Add(20, 20, 310, 100, 0.0f, 2); // two static bodies
    CZanObject* e = s.Add(20, 20, 500, 100, 1.0f, 3);
    CZanObject* f = s.Add(20, 20, 510, 100, 1.0f, 4);
    e->SetActive(false);
    s.Run(2);
    EXPECT_TRUE(s.reports.empty());
    EXPECT_EQ(s.world->GetPairCount(), 0u);
    EXPECT_EQ(a->GetPos().x, 100.0f);
    EXPECT_EQ(b->GetPos().x, 110.0f);
    (void)c;
    (void)d;

    // Active again but not collidable: still nothing. Then collidable: contact.
    e->SetActive(true);
    e->SetCollidable(false);
    s.Run(1);
    EXPECT_TRUE(s.reports.empty());
    e->SetCollidable(true);
    s.Run(1);
    ASSERT_EQ(s.reports.size(), 2u);
    EXPECT_EQ(s.reports[0].target, e->GetID());
    EXPECT_EQ(s.reports[0].other, f->GetID());
    EXPECT_EQ(s.reports[1].target, f->GetID());
    EXPECT_EQ(s.reports[0].count, 2);
    EXPECT_NE(s.world->FindPair(e->GetBody(), f->GetBody()), nullptr);
}

TEST(Collision, TouchingAtZeroDistanceIsContactAnyGapIsNot)
{
    PhysicsScene s(CZanVector(0, 0));
    s.Record();
    CZanObject* floor = s.Add(100, 20, 0, 10, 0.0f, 1);
    CZanObject* box = s.Add(10, 10, 0, -5, 1.0f, 2);
    s.world->Step(0.0f);
    ASSERT_EQ(s.reports.size(), 2u);
    EXPECT_EQ(s.reports[0].count, 2);
    EXPECT_EQ(s.reports[0].contacts[0].m_fSeparation, 0.0f);
    // Both receivers see the same normal, pointing from the pair's first body to its second.
    EXPECT_EQ(s.reports[0].contacts[0].m_vNormal, s.reports[1].contacts[0].m_vNormal);
    EXPECT_EQ(s.reports[0].target, floor->GetID());
    EXPECT_EQ(s.reports[0].contacts[0].m_vNormal, CZanVector(0.0f, -1.0f));

    box->SetPos(0.0f, -5.01f);
    s.reports.clear();
    s.world->Step(0.0f);
    EXPECT_TRUE(s.reports.empty());
    EXPECT_EQ(s.world->GetPairCount(), 0u);
}

TEST(Collision, EverySubStepReportsTheTouchingPair)
{
    PhysicsScene s;
    s.Record();
    CZanObject* floor = s.Add(800, 40, 400, 600, 0.0f, 1);
    CZanObject* box = s.Add(20, 20, 400, 570, 1.0f, 2);
    s.Run(30);
    s.reports.clear();
    const int n = s.world->SubStepCount(0.1f);
    s.world->Step(0.1f);
    ASSERT_EQ(int(s.reports.size()), 2 * n);
    for (int i = 0; i < n; ++i)
    {
        // The earlier id hears first.
        EXPECT_EQ(s.reports[2 * i].target, floor->GetID());
        EXPECT_EQ(s.reports[2 * i].other, box->GetID());
        EXPECT_EQ(s.reports[2 * i + 1].target, box->GetID());
        EXPECT_EQ(s.reports[2 * i + 1].other, floor->GetID());
    }
}

TEST(Collision, ClearedCollideAffectOnlyReports)
{
    PhysicsScene s(CZanVector(0, 0));
    s.Record();
    CZanObject* ghost = s.Add(20, 20, 0, 0, 1.0f, 1);
    CZanObject* far = s.Add(20, 20, 1000, 0, 1.0f, 2);
    CZanObject* near = s.Add(20, 20, 5, 0, 1.0f, 3);
    ghost->SetCollideAffect(false);
    for (CZanObject* o : {ghost, far, near})
        o->SetGravity(false);
    near->SetVelocity(CZanVector(-60, 0));
    s.Run(2);
    // Reported in every sub-step, whatever the distance, with no contact count.
    ASSERT_EQ(s.reports.size(), 8u);
    EXPECT_EQ(s.reports[0].target, ghost->GetID());
    EXPECT_EQ(s.reports[0].other, far->GetID());
    EXPECT_EQ(s.reports[0].count, 0);
    EXPECT_EQ(s.reports[2].other, near->GetID());
    EXPECT_EQ(s.world->GetPairCount(), 0u);
    // Nothing was resolved: the bodies pass through each other.
    EXPECT_EQ(ghost->GetVelocity(), CZanVector());
    EXPECT_NEAR(near->GetVelocity().x, -60.0f * 0.99f * 0.99f, 1e-3f);
}

TEST(Collision, StoredPairsOutliveTheirFilterButNotTheirBodies)
{
    PhysicsScene s;
    CZanObject* floor = s.Add(800, 40, 400, 600, 0.0f, 1);
    CZanObject* box = s.Add(20, 20, 400, 570, 1.0f, 2);
    s.Run(30);
    ASSERT_EQ(s.world->GetPairCount(), 1u);
    // Same group now: the pair is no longer tested, but its contacts keep holding the box.
    box->SetGroup(1);
    s.Run(30);
    EXPECT_EQ(s.world->GetPairCount(), 1u);
    EXPECT_NEAR(box->GetPos().y, 570.0f, 0.5f);

    // The body leaves the world: its pair goes with it, and the floor is never touched again.
    s.world->RemoveBody(box->GetID());
    EXPECT_EQ(s.world->GetPairCount(), 0u);
    s.boxes[1].object.reset();
    s.Run(5);
    EXPECT_EQ(floor->GetVelocity(), CZanVector());
}

TEST(Collision, MasslessBodiesStayFinite)
{
    PhysicsScene s;
    CZanObject* a = s.Add(20, 20, 100, 100, 0.0f, 1);
    CZanObject* b = s.Add(20, 20, 105, 103, 0.0f, 2);
    a->SetMass(0.0005f);
    b->SetMass(0.0002f);
    a->SetVelocity(CZanVector(10, 0));
    CZanObject* floor = s.Add(800, 40, 100, 130, 0.0f, 3);
    CZanObject* c = s.Add(20, 20, 300, 100, 0.0f, 4);
    c->SetMass(0.0001f);
    floor->SetElast(1.0f);
    s.Run(60);
    EXPECT_TRUE(s.AllFinite());

    // A resting box made static: its stored pair now joins two bodies nothing can move.
    CZanObject* box = s.Add(20, 20, -250, 100, 1.0f, 5);
    s.Run(5);
    ASSERT_NE(s.world->FindPair(floor->GetBody(), box->GetBody()), nullptr);
    box->SetMass(FLT_MAX);
    s.Run(5);
    EXPECT_TRUE(s.AllFinite());
}

TEST(Collision, MergeNearbyKeepsTheImpulseOfAContactWhoseEdgesChanged)
{
    struct Case
    {
        const char* name;
        bool nearby;
        float shift; ///< how far the new point lies from the old one
        unsigned char key;
        float pn; ///< impulse the new point keeps
    };
    const Case cases[] = {
        {"same edges", false, 0.0f, 1, 7.0f},
        {"other edges, plain", false, 0.0f, 9, 0.0f},
        {"other edges, nearby", true, 0.5f, 9, 7.0f},
        {"other edges, too far", true, 4.0f, 9, 0.0f},
    };
    for (const Case& c : cases)
    {
        PhysicsScene s(CZanVector(0, 0));
        CZanObject* floor = s.Add(100, 20, 0, 10, 0.0f, 1);
        CZanObject* box = s.Add(10, 10, 0, -4.9f, 1.0f, 2);
        CZanContactPair pair(floor->GetBody(), box->GetBody());
        ASSERT_EQ(pair.m_nContacts, 2) << c.name;
        CZanContactPair fresh = pair;
        fresh.m_nContacts = 1;
        pair.m_aContacts[0].m_fPn = 7.0f;
        pair.m_aContacts[1].m_fPn = 3.0f;
        fresh.m_aContacts[0].m_vPosition.x += c.shift;
        fresh.m_aContacts[0].m_acKey[0] = c.key == 1 ? pair.m_aContacts[0].m_acKey[0] : c.key;
        pair.Merge(fresh, c.nearby);
        ASSERT_EQ(pair.m_nContacts, 1) << c.name;
        EXPECT_EQ(pair.m_aContacts[0].m_fPn, c.pn) << c.name;
    }
}
