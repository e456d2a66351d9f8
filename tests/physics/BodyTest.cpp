#include "PhysicsScene.h"

#include <cfloat>
#include <gtest/gtest.h>

using zantest::PhysicsScene;

namespace
{
class Disc : public CZanGeometry
{
public:
    explicit Disc(float r)
    {
        m_afExtent[0] = r;
        m_afExtent[1] = r;
        m_vAxis = CZanVector(1.0f, 0.0f);
    }
    EZanShape GetShape() const override { return ZAN_SHAPE_DISC; }
    float Extent(int i) const override { return m_afExtent[i]; }
};
} // namespace

TEST(Body, MassPropertiesOfTheThreeRanges)
{
    CZanQuad quad(10.0f, 10.0f);
    CZanObject o(10, 10);
    o.SetGeometry(&quad);
    EXPECT_EQ(o.GetShape(), ZAN_SHAPE_QUAD);
    EXPECT_EQ(o.GetCenter(), CZanVector(0.0f, 0.0f));
    const CZanBody* b = o.GetBody();

    o.SetMass(0.02f);
    EXPECT_FLOAT_EQ(b->m_fInvMass, 50.0f);
    // The axis (1, 0) counts as a point one unit from the centre.
    EXPECT_FLOAT_EQ(b->m_fInertia, 0.02f * ((25.0f + 25.0f) * 0.33333334f + 1.0f));
    EXPECT_FLOAT_EQ(b->m_fInvInertia, 1.0f / b->m_fInertia);
    EXPECT_FLOAT_EQ(b->m_vFlotForce.y, -50.0f * 25.0f);

    o.SetMass(0.0005f);
    EXPECT_EQ(b->m_fMass, 0.0f);
    EXPECT_EQ(b->m_fInvMass, FLT_MAX);
    EXPECT_EQ(b->m_fInvInertia, FLT_MAX);

    o.SetMass(FLT_MAX);
    EXPECT_EQ(b->m_fInvMass, 0.0f);
    EXPECT_EQ(b->m_fInvInertia, 0.0f);
    EXPECT_EQ(b->m_fInertia, FLT_MAX);
}

TEST(Body, FloatingForceFollowsTheDirectionOnlyAtTheNextMass)
{
    CZanQuad quad(4.0f, 2.0f);
    CZanObject o(4, 2);
    o.SetGeometry(&quad);
    o.SetMass(2.0f);
    EXPECT_EQ(o.GetBody()->m_vFlotForce, CZanVector(0.0f, -0.5f * 2.0f * 1.0f));
    o.SetFlotDir(CZanVector(1.0f, 0.0f));
    EXPECT_EQ(o.GetBody()->m_vFlotForce, CZanVector(0.0f, -1.0f));
    o.SetMass(2.0f);
    EXPECT_EQ(o.GetBody()->m_vFlotForce, CZanVector(1.0f, 0.0f));
}

TEST(Body, DiscInertiaAndFloatingForce)
{
    Disc disc(2.0f);
    disc.SetCenter(CZanVector(1.0f, 3.0f)); // |centre - axis|² = 9
    CZanObject o(4, 4);
    o.SetGeometry(&disc);
    o.SetMass(4.0f);
    EXPECT_FLOAT_EQ(o.GetBody()->m_fInertia, 4.0f * (4.0f * 0.5f + 9.0f));
    EXPECT_FLOAT_EQ(o.GetBody()->m_vFlotForce.y, -0.25f * 3.1415927f * 4.0f);
}

TEST(Body, MassWithoutGeometryOrSizeStaysFinite)
{
    CZanObject bare(0, 0);
    bare.SetMass(2.0f);
    EXPECT_EQ(bare.GetBody()->m_fInvMass, 0.5f);
    CZanQuad dot(0.0f, 0.0f);
    dot.SetAxis(CZanVector(0.0f, 0.0f));
    CZanObject o(0, 0);
    o.SetGeometry(&dot);
    o.SetMass(1.0f);
    EXPECT_TRUE(std::isfinite(o.GetBody()->m_fInvInertia));
}

TEST(World, FactoryCountsUses)
{
    CZanPhysicsEngine* a = KovPhysicsCreate(CZanVector(0, 10));
    CZanPhysicsEngine* b = KovPhysicsCreate(nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(CZanPhysicsEngine::Instance(), a);
    b->Release();
    EXPECT_EQ(CZanPhysicsEngine::Instance(), a);
    a->Release();
    EXPECT_EQ(CZanPhysicsEngine::Instance(), nullptr);
}

TEST(World, SubStepCounts)
{
    PhysicsScene s;
    EXPECT_EQ(s.world->SubStepCount(0.016666668f), 1);
    EXPECT_EQ(s.world->SubStepCount(0.001f), 1);
    EXPECT_EQ(s.world->SubStepCount(0.05f), int(0.05f / 0.016666668f) + 1);
    EXPECT_EQ(s.world->SubStepCount(0.1f), 7);
    // A stalled frame does not ask for an unbounded number of sub-steps.
    EXPECT_LE(s.world->SubStepCount(1e30f), 100000);

    // Each sub-step integrates a free fall of h = dt / n.
    CZanObject* o = s.Add(10, 10, 0, 0, 0.0f);
    o->SetFlotDir(CZanVector());
    o->SetMass(1.0f);
    s.world->SetDamp(0.0f);
    s.world->Step(0.1f);
    const float h = 0.1f / 7.0f;
    EXPECT_NEAR(o->GetVelocity().y, 1000.0f * 0.1f, 1e-3f);
    EXPECT_NEAR(o->GetPos().y, 1000.0f * h * h * (1 + 2 + 3 + 4 + 5 + 6 + 7), 1e-3f);
}

TEST(World, ForcesActInTheFirstSubStepOnly)
{
    PhysicsScene s(CZanVector(0, 0));
    CZanObject* o = s.Add(10, 10, 0, 0, 10.0f);
    o->SetGravity(false);
    CZanVector up(0.0f, -10000.0f);
    s.world->AddImpulse(o->GetID(), up);
    s.world->Step(0.1f); // seven sub-steps
    const float h = 0.1f / 7.0f;
    const float kept = std::pow(0.99f, 7.0f);
    EXPECT_NEAR(o->GetVelocity().y, -10000.0f * 0.1f * h * kept, 1e-3f);

    // Without gravity no floating force either.
    o->SetVelocity(CZanVector());
    s.world->Step(0.01f);
    EXPECT_EQ(o->GetVelocity(), CZanVector());
    o->SetGravity(true);
    s.world->Step(0.01f);
    EXPECT_LT(o->GetVelocity().y, 0.0f); // floating force pushes up
}

TEST(World, FlagsAndUnregisteredIdsGuardTheIdOperations)
{
    PhysicsScene s(CZanVector(0, 0));
    CZanObject* o = s.Add(10, 10, 0, 0, 1.0f);
    CZanVector push(100.0f, 0.0f), point(1.0f, 1.0f), sideways(1.0f, 0.0f);
    o->SetMovable(false);
    o->SetSpinnable(false);
    s.world->AddImpulse(o->GetID(), push);
    s.world->AddTwist(o->GetID(), sideways, point);
    s.world->AddImpulse(12345, push);
    s.world->StopMoving(12345);
    EXPECT_EQ(o->GetBody()->m_vForce, CZanVector());
    EXPECT_EQ(o->GetBody()->m_fTorque, 0.0f);

    // The lever of a twist is measured from the geometry's axis (1, 0) taken as a point.
    o->SetSpinnable(true);
    s.world->AddTwist(o->GetID(), sideways, point);
    EXPECT_EQ(o->GetBody()->m_fTorque, -1.0f);
    s.world->StopSpinning(o->GetID());
    EXPECT_EQ(o->GetBody()->m_fTorque, 0.0f);

    // A body that is not movable keeps its place but still carries its velocity value.
    o->SetVelocity(CZanVector(5.0f, 0.0f));
    s.world->Step(0.01f);
    EXPECT_EQ(o->GetPos(), CZanVector());
    // A static body still integrates a velocity given to it.
    CZanObject* still = s.Add(10, 10, 100, 0, 0.0f);
    still->SetVelocity(CZanVector(60.0f, 0.0f));
    s.world->Step(0.5f);
    EXPECT_NEAR(still->GetPos().x, 130.0f, 1e-3f);

    s.world->RemoveBody(o->GetID());
    EXPECT_EQ(s.world->GetBody(o->GetID()), nullptr);
    s.world->RemoveBody(o->GetID()); // again: nothing
}
