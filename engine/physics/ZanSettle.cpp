// Settling: a solver that lets resting contacts come to rest, islands and sleeping.
#include "BodyMath.h"
#include "Zan/ZanPhysics.h"

#include <algorithm>
#include <cmath>

using namespace zan::physics;

namespace
{
// An island sleeps once every body in it stayed for kSleepTime seconds within kSleepDrift units
// and kSleepTurn radians of where it was when that time began. Measured on the position rather
// than the speed, so that the small pushes of the solver and the position pass to and fro do not
// keep a pile awake; windows of kSleepTime each, so that a creep too slow to matter never adds up.
const float kSleepTime = 0.5f;
const float kSleepDrift = 0.5f;
const float kSleepTurn = 0.03f;
// Boxes this close count as touching, so that a resting contact is not lost (and its load with
// it) when the solver leaves a box a hair above its support.
const float kMargin = 0.1f;
// Penetration left in place, so that resting contacts stay found; of the rest, the share the
// position pass removes per sub-step, and at most this many units, so that boxes that fell
// deep into each other part without flying apart.
const float kSlop = 0.02f;
const float kCorrection = 0.2f;
const float kMaxPush = 0.5f;
const int kPositionIterations = 4;
// A sub-step in which most points that bear weight start without an impulse (a stack just built, a
// pile just landed) runs this many times the velocity passes: the load must reach the bottom of the
// stack at once, or the stack sinks while later steps pass it down.
const int kColdPassFactor = 30;
// Two-point contacts whose coupled problem is worse conditioned than this are solved point by
// point.
const float kMaxCondition = 1000.0f;
// Approach speeds below what gravity adds in this time do not bounce: a resting contact sees
// only gravity's pull of a sub-step or two, an impact much more.
const float kBounceTime = 0.1f;

const unsigned FLAG_ACTIVE = 1, FLAG_MOVABLE = 2, FLAG_SPINNABLE = 4, FLAG_COLLIDABLE = 8,
               FLAG_GRAVITY = 16, FLAG_AFFECT = 32;

unsigned FlagsOf(const CZanBody* b)
{
    return (b->m_bActive ? FLAG_ACTIVE : 0) | (b->m_bMovable ? FLAG_MOVABLE : 0) |
           (b->m_bSpinnable ? FLAG_SPINNABLE : 0) | (b->m_bCollidable ? FLAG_COLLIDABLE : 0) |
           (b->m_bGravity ? FLAG_GRAVITY : 0) | (b->m_bCollideAffect ? FLAG_AFFECT : 0);
}

bool HasMass(const CZanBody* b)
{
    return b->m_fInvMass != 0.0f;
}
} // namespace

// Velocities, pseudo-velocities of the position pass and contacts, packed for the iterations.
struct CZanPhysicsEngine::SZanSettler
{
    struct Motion
    {
        float x, y, w;
    };
    struct Body
    {
        Motion v; ///< velocity and spin
        Motion p; ///< position-pass velocities, never kept past the sub-step
        float im, ii;
    };
    struct Point
    {
        float rn1, rn2, rt1, rt2; ///< arms crossed with the normal and the tangent
        float massNormal, massTangent, pn, pt;
        float bounce;     ///< least normal speed: of a bounce, or minus what closes a near miss
        float push;       ///< separating speed the position pass aims at
        float pp;         ///< accumulated position-pass impulse
        CZanContact* src; ///< where the accumulated impulses are kept between steps
    };
    // The contacts of one pair share a normal. Two of them are solved together (the 2 x 2
    // problem of both normal impulses), so a box resting on a face does not rock from one
    // corner to the other while the iterations pass the load between them.
    struct Manifold
    {
        int b1, b2, count;
        bool block; ///< the two points are solved together (their problem is well conditioned)
        float nx, ny, friction;
        float k11, k12, k22; ///< the coupled normal masses
        float i11, i12, i22; ///< and their inverse
        Point p[2];
    };
    std::vector<Body> bodies;
    std::vector<Manifold> manifolds;
    std::vector<CZanContactPair*> pairs; ///< every stored pair of the sub-step, in map order
    std::vector<CZanContactPair*> solve; ///< the pairs with a moving body
    std::vector<CZanJoint*> joints;
    std::vector<int> parent; ///< union-find over the step's body indices
    std::vector<float> rest; ///< per island root: least sleep time
    std::vector<char> awake; ///< per island root: holds a body that is awake

    // Normal impulse dp at point c: taken from a, given to b.
    static void ApplyNormal(const Body& ba, const Body& bb, Motion& a, Motion& b, const Manifold& m,
                            const Point& c, float dp)
    {
        a.x -= m.nx * dp * ba.im;
        a.y -= m.ny * dp * ba.im;
        a.w -= ba.ii * c.rn1 * dp;
        b.x += m.nx * dp * bb.im;
        b.y += m.ny * dp * bb.im;
        b.w += bb.ii * c.rn2 * dp;
    }

    static float NormalSpeed(const Motion& a, const Motion& b, const Manifold& m, const Point& c)
    {
        return (b.x - a.x) * m.nx + (b.y - a.y) * m.ny + b.w * c.rn2 - a.w * c.rn1;
    }

    // Accumulated impulses (clamped at zero) that bring each point's normal speed to at least
    // its target; both points at once when the manifold allows it, else one after the other.
    static void SolveNormal(const Body& ba, const Body& bb, Motion& a, Motion& b, Manifold& m,
                            float Point::*target, float Point::*impulse)
    {
        if (!m.block)
        {
            for (int i = 0; i < m.count; ++i)
            {
                Point& c = m.p[i];
                const float vn = NormalSpeed(a, b, m, c);
                const float p0 = c.*impulse;
                c.*impulse = std::max(p0 + c.massNormal * (c.*target - vn), 0.0f);
                ApplyNormal(ba, bb, a, b, m, c, c.*impulse - p0);
            }
            return;
        }
        Point& c1 = m.p[0];
        Point& c2 = m.p[1];
        const float a1 = c1.*impulse, a2 = c2.*impulse;
        // Speeds with the accumulated impulses taken out again, short of the targets.
        const float r1 = NormalSpeed(a, b, m, c1) - c1.*target - (m.k11 * a1 + m.k12 * a2);
        const float r2 = NormalSpeed(a, b, m, c2) - c2.*target - (m.k12 * a1 + m.k22 * a2);
        float x1 = -(m.i11 * r1 + m.i12 * r2);
        float x2 = -(m.i12 * r1 + m.i22 * r2);
        if (!(x1 >= 0.0f && x2 >= 0.0f))
        {
            // One point alone pushes, the other separates; or neither pushes.
            x1 = -r1 / m.k11;
            x2 = 0.0f;
            if (!(x1 >= 0.0f && m.k12 * x1 + r2 >= 0.0f))
            {
                x1 = 0.0f;
                x2 = -r2 / m.k22;
                if (!(x2 >= 0.0f && m.k12 * x2 + r1 >= 0.0f))
                {
                    x2 = 0.0f;
                    if (!(r1 >= 0.0f && r2 >= 0.0f))
                        return; // degenerate: keep what is accumulated
                }
            }
        }
        c1.*impulse = x1;
        c2.*impulse = x2;
        ApplyNormal(ba, bb, a, b, m, c1, x1 - a1);
        ApplyNormal(ba, bb, a, b, m, c2, x2 - a2);
    }

    // Friction first, within the current normal impulses, then the normal impulses, which
    // matter more and so have the last word.
    static void IterateVelocities(Body* body, Manifold& m)
    {
        const Body& ba = body[m.b1];
        const Body& bb = body[m.b2];
        Motion& a = body[m.b1].v;
        Motion& b = body[m.b2].v;
        const float tx = m.ny, ty = -m.nx;
        for (int i = 0; i < m.count; ++i)
        {
            Point& c = m.p[i];
            const float vt = (b.x - a.x) * tx + (b.y - a.y) * ty + b.w * c.rt2 - a.w * c.rt1;
            const float limit = m.friction * c.pn;
            const float pt0 = c.pt;
            c.pt = std::max(-limit, std::min(pt0 - c.massTangent * vt, limit));
            const float dp = c.pt - pt0;
            a.x -= tx * dp * ba.im;
            a.y -= ty * dp * ba.im;
            a.w -= ba.ii * c.rt1 * dp;
            b.x += tx * dp * bb.im;
            b.y += ty * dp * bb.im;
            b.w += bb.ii * c.rt2 * dp;
        }
        SolveNormal(ba, bb, a, b, m, &Point::bounce, &Point::pn);
    }

    void IterateVelocities()
    {
        Body* body = bodies.data();
        for (Manifold& m : manifolds)
            IterateVelocities(body, m);
    }

    // Split impulses: penetration is worked off through velocities that move the bodies in
    // this sub-step only, so correcting it never leaves speed behind.
    void IteratePositions()
    {
        Body* body = bodies.data();
        for (Manifold& m : manifolds)
            SolveNormal(body[m.b1], body[m.b2], body[m.b1].p, body[m.b2].p, m, &Point::push,
                        &Point::pp);
    }
};

void CZanPhysicsEngine::FreeSettler()
{
    delete m_pSettler;
    m_pSettler = nullptr;
}

void CZanPhysicsEngine::SetSettling(bool on)
{
    if (on == m_bSettling)
        return;
    m_bSettling = on;
    if (on && !m_pSettler)
        m_pSettler = new SZanSettler;
    for (auto& entry : m_mapBodies)
    {
        CZanBody* b = entry.second;
        b->m_bAsleep = false;
        b->m_bWake = false;
        b->m_bRestKnown = false;
        b->m_fSleepTime = 0.0f;
    }
    m_nAwake = 0;
}

int CZanPhysicsEngine::GetAwakeCount() const
{
    if (m_bSettling)
        return m_nAwake;
    int count = 0;
    for (const auto& entry : m_mapBodies)
        count += HasMass(entry.second) ? 1 : 0;
    return count;
}

float CZanPhysicsEngine::ContactMargin() const
{
    return m_bSettling ? kMargin : 0.0f;
}

bool CZanPhysicsEngine::IsAsleep(unsigned long id) const
{
    const CZanBody* b = GetBody(id);
    return m_bSettling && b && b->m_bAsleep;
}

bool CZanPhysicsEngine::Disturbed(const CZanBody* b)
{
    return !b->m_bRestKnown || b->m_vPos.x != b->m_vRestPos.x || b->m_vPos.y != b->m_vRestPos.y ||
           b->m_fRot != b->m_fRestRot || b->m_vVelocity.x != 0.0f || b->m_vVelocity.y != 0.0f ||
           b->m_fRotVel != 0.0f || b->m_vForce.x != 0.0f || b->m_vForce.y != 0.0f ||
           b->m_fTorque != 0.0f || b->m_fInvMass != b->m_fRestInvMass ||
           b->m_fInvInertia != b->m_fRestInvInertia || FlagsOf(b) != b->m_nRestFlags ||
           b->m_nGroup != b->m_nRestGroup || b->m_pGeometry != b->m_pRestGeometry;
}

void CZanPhysicsEngine::RecordRest(CZanBody* b)
{
    b->m_bRestKnown = true;
    b->m_vRestPos = b->m_vPos;
    b->m_fRestRot = b->m_fRot;
    b->m_fRestInvMass = b->m_fInvMass;
    b->m_fRestInvInertia = b->m_fInvInertia;
    b->m_nRestFlags = FlagsOf(b);
    b->m_nRestGroup = b->m_nGroup;
    b->m_pRestGeometry = b->m_pGeometry;
}

void CZanPhysicsEngine::Wake(CZanBody* b)
{
    b->m_bAsleep = false;
    b->m_bStill = false;
    b->m_fSleepTime = 0.0f;
}

int CZanPhysicsEngine::UnionRoot(int i)
{
    std::vector<int>& parent = m_pSettler->parent;
    while (parent[size_t(i)] != i)
    {
        parent[size_t(i)] = parent[size_t(parent[size_t(i)])];
        i = parent[size_t(i)];
    }
    return i;
}

// Wakes what the calls since the last step touched, and what rested on or hung from it. Bodies
// without mass count as still unless they move or were moved. True when anything will move.
bool CZanPhysicsEngine::WakeCalled()
{
    bool disturbed = false;
    for (CZanBody* b : m_vecOrder)
    {
        if (HasMass(b))
        {
            if (b->m_bAsleep && (b->m_bWake || Disturbed(b)))
            {
                Wake(b);
                b->m_bWake = true;
            }
            else if (b->m_bWake)
                b->m_fSleepTime = 0.0f;
            b->m_bStill = b->m_bAsleep;
        }
        else
        {
            b->m_bAsleep = false;
            b->m_bStill = !b->m_bWake && !Disturbed(b);
            b->m_bWake = !b->m_bStill;
        }
        disturbed = disturbed || b->m_bWake;
    }
    if (disturbed)
    {
        for (auto& entry : m_mapPairs)
        {
            CZanBody* b1 = entry.second.m_pBody1;
            CZanBody* b2 = entry.second.m_pBody2;
            if (b1->m_bWake && b2->m_bAsleep)
                Wake(b2);
            if (b2->m_bWake && b1->m_bAsleep)
                Wake(b1);
        }
        for (auto& entry : m_mapJoints)
        {
            CZanJoint* j = entry.second;
            if (!j->m_bLive)
                continue;
            if (j->m_pBody1->m_bWake && j->m_pBody2->m_bAsleep)
                Wake(j->m_pBody2);
            if (j->m_pBody2->m_bWake && j->m_pBody1->m_bAsleep)
                Wake(j->m_pBody1);
        }
    }
    bool moving = false;
    for (CZanBody* b : m_vecOrder)
    {
        b->m_bWake = false;
        moving = moving || !b->m_bStill;
    }
    return moving;
}

void CZanPhysicsEngine::StepSettling(float dt)
{
    const int n = SubStepCount(dt);
    const float h = n > 1 ? dt / float(n) : dt;
    BeginStep();

    // A world at rest costs this look at each body and nothing more.
    if (WakeCalled())
    {
        // Once everything has fallen asleep the remaining sub-steps have nothing to do.
        for (int step = 0; step < n && SettleSubStep(h); ++step)
        {
        }
        // Bodies without mass that moved rest where they are now until they move again.
        for (CZanBody* b : m_vecOrder)
            if (!HasMass(b) && !b->m_bStill)
                RecordRest(b);
    }
    else
        m_nAwake = 0;
    for (CZanBody* b : m_vecOrder)
        b->m_nStepIndex = -1;
}

bool CZanPhysicsEngine::SettleSubStep(float h)
{
    SZanSettler& s = *m_pSettler;
    ++m_nSubStep;
    FindPairs();

    // Islands: bodies with mass joined by touching contacts and live joints. One awake body
    // wakes its whole island.
    const size_t count = m_vecOrder.size();
    s.parent.resize(count);
    for (size_t i = 0; i < count; ++i)
        s.parent[i] = int(i);
    auto join = [this, &s](const CZanBody* a, const CZanBody* b)
    {
        if (HasMass(a) && HasMass(b))
            s.parent[size_t(UnionRoot(a->m_nStepIndex))] = UnionRoot(b->m_nStepIndex);
    };
    s.pairs.clear();
    for (auto it = m_mapPairs.begin(); it != m_mapPairs.end();)
    {
        CZanContactPair& pair = it->second;
        const bool moving = !pair.m_pBody1->m_bStill || !pair.m_pBody2->m_bStill;
        if (moving && m_bFast && pair.m_nTested != m_nSubStep && RetestApart(pair))
        {
            it = m_mapPairs.erase(it);
            continue;
        }
        s.pairs.push_back(&pair);
        if (pair.m_nContacts > 0)
            join(pair.m_pBody1, pair.m_pBody2);
        ++it;
    }
    for (auto& entry : m_mapJoints)
    {
        const CZanJoint* j = entry.second;
        if (j->m_bActive && j->m_bLive)
            join(j->m_pBody1, j->m_pBody2);
    }
    s.awake.assign(count, 0);
    for (size_t i = 0; i < count; ++i)
        if (HasMass(m_vecOrder[i]) && !m_vecOrder[i]->m_bAsleep)
            s.awake[size_t(UnionRoot(int(i)))] = 1;
    for (size_t i = 0; i < count; ++i)
    {
        CZanBody* b = m_vecOrder[i];
        if (b->m_bAsleep && s.awake[size_t(UnionRoot(int(i)))])
            Wake(b);
    }

    for (CZanBody* b : m_vecOrder)
    {
        if (!b->m_bActive || !HasMass(b) || b->m_bAsleep)
            continue;
        if (b->m_bMovable)
        {
            if (b->m_bGravity)
                b->m_vVelocity +=
                    (m_vGravity + b->m_vForce * b->m_fInvMass + b->m_vFlotForce * m_fFloating) * h;
            else
                b->m_vVelocity += b->m_vForce * (b->m_fInvMass * h);
            b->m_vVelocity *= 1.0f - m_fDamp;
        }
        if (b->m_bSpinnable)
        {
            b->m_fRotVel += h * b->m_fInvInertia * b->m_fTorque;
            b->m_fRotVel *= 1.0f - m_fDamp;
        }
    }

    SolveSettling(h);

    int awake = 0;
    const SZanSettler::Body* packed = s.bodies.data();
    for (CZanBody* b : m_vecOrder)
    {
        const SZanSettler::Body& p = packed[size_t(b->m_nStepIndex)];
        if (b->m_bStill)
            continue;
        awake += HasMass(b) ? 1 : 0;
        if (b->m_bMovable)
            b->m_vPos += (b->m_vVelocity + CZanVector(p.p.x, p.p.y)) * h;
        if (b->m_bSpinnable)
            b->m_fRot += h * (b->m_fRotVel + p.p.w);
        b->m_vForce = CZanVector(0.0f, 0.0f);
        b->m_fTorque = 0.0f;
    }
    m_nAwake = awake;
    SleepIslands(h);
    for (const CZanBody* b : m_vecOrder)
        if (!b->m_bStill)
            return true;
    return false;
}

void CZanPhysicsEngine::SolveSettling(float h)
{
    SZanSettler& s = *m_pSettler;
    s.bodies.resize(m_vecOrder.size());
    for (size_t i = 0; i < m_vecOrder.size(); ++i)
    {
        const CZanBody* b = m_vecOrder[i];
        s.bodies[i] = {{b->m_vVelocity.x, b->m_vVelocity.y, b->m_fRotVel},
                       {0.0f, 0.0f, 0.0f},
                       b->m_fInvMass,
                       b->m_fInvInertia};
    }

    const float gravity = std::sqrt(m_vGravity.x * m_vGravity.x + m_vGravity.y * m_vGravity.y);
    const float bounceSpeed = gravity * kBounceTime + 1.0f;
    const float pushRate = h > 0.0f ? 1.0f / h : 0.0f;
    s.solve.clear();
    for (CZanContactPair* pair : s.pairs)
        if ((!pair->m_pBody1->m_bStill || !pair->m_pBody2->m_bStill) && pair->m_nContacts > 0)
            s.solve.push_back(pair);

    s.manifolds.resize(s.solve.size());
    for (size_t k = 0; k < s.solve.size(); ++k)
    {
        CZanContactPair* pair = s.solve[k];
        CZanBody* b1 = pair->m_pBody1;
        CZanBody* b2 = pair->m_pBody2;
        const float e = Restitution(b1, b2);
        SZanSettler::Manifold& m = s.manifolds[k];
        m.b1 = b1->m_nStepIndex;
        m.b2 = b2->m_nStepIndex;
        m.count = pair->m_nContacts;
        m.friction = pair->m_fFriction;
        const CZanVector n = pair->m_aContacts[0].m_vNormal;
        const CZanVector t(n.y, -n.x);
        m.nx = n.x;
        m.ny = n.y;
        for (int i = 0; i < m.count; ++i)
        {
            CZanContact& c = pair->m_aContacts[i];
            SZanSettler::Point& p = m.p[i];
            const CZanVector r1 = c.m_vPosition - b1->m_vPos;
            const CZanVector r2 = c.m_vPosition - b2->m_vPos;
            const CZanVector dv = b2->m_vVelocity + CrossWR(b2->m_fRotVel, r2) - b1->m_vVelocity -
                                  CrossWR(b1->m_fRotVel, r1);
            const float vn = dv % n;
            p.rn1 = Cross(r1, n);
            p.rn2 = Cross(r2, n);
            p.rt1 = Cross(r1, t);
            p.rt2 = Cross(r2, t);
            p.massNormal = EffectiveMass(b1, b2, r1, r2, n);
            p.massTangent = EffectiveMass(b1, b2, r1, r2, t);
            // A point still apart may close its gap within the sub-step.
            p.bounce = vn < -bounceSpeed ? -e * vn : -std::max(0.0f, c.m_fSeparation) * pushRate;
            p.pn = c.m_fPn;
            p.pt = c.m_fPt;
            p.push = pushRate *
                     std::min(kMaxPush, std::max(0.0f, -(c.m_fSeparation + kSlop)) * kCorrection);
            p.pp = 0.0f;
            p.src = &c;
        }
        m.block = false;
        if (m.count == 2)
        {
            const float im = b1->m_fInvMass + b2->m_fInvMass;
            const float ii1 = b1->m_fInvInertia, ii2 = b2->m_fInvInertia;
            const SZanSettler::Point& c1 = m.p[0];
            const SZanSettler::Point& c2 = m.p[1];
            m.k11 = im + ii1 * c1.rn1 * c1.rn1 + ii2 * c1.rn2 * c1.rn2;
            m.k22 = im + ii1 * c2.rn1 * c2.rn1 + ii2 * c2.rn2 * c2.rn2;
            m.k12 = im + ii1 * c1.rn1 * c2.rn1 + ii2 * c1.rn2 * c2.rn2;
            const float det = m.k11 * m.k22 - m.k12 * m.k12;
            // Two points nearly on one line would make the inverse blow up.
            if (m.k11 > 0.0f && m.k22 > 0.0f && m.k11 * m.k11 < kMaxCondition * det)
            {
                m.block = true;
                m.i11 = m.k22 / det;
                m.i22 = m.k11 / det;
                m.i12 = -m.k12 / det;
            }
        }
        // Warm start, after every bounce was measured on the speeds before it.
        SZanSettler::Body& a = s.bodies[size_t(m.b1)];
        SZanSettler::Body& b = s.bodies[size_t(m.b2)];
        for (int i = 0; i < m.count; ++i)
        {
            const SZanSettler::Point& c = m.p[i];
            const float px = n.x * c.pn + t.x * c.pt, py = n.y * c.pn + t.y * c.pt;
            const float ang1 = c.rn1 * c.pn + c.rt1 * c.pt, ang2 = c.rn2 * c.pn + c.rt2 * c.pt;
            a.v.x -= px * a.im;
            a.v.y -= py * a.im;
            a.v.w -= a.ii * ang1;
            b.v.x += px * b.im;
            b.v.y += py * b.im;
            b.v.w += b.ii * ang2;
        }
    }

    s.joints.clear();
    for (auto& entry : m_mapJoints)
    {
        CZanJoint* j = entry.second;
        if (j->m_bActive && j->m_bLive && (!j->m_pBody1->m_bStill || !j->m_pBody2->m_bStill))
            s.joints.push_back(j);
    }
    auto store = [&s](CZanBody* b)
    {
        const SZanSettler::Body& p = s.bodies[size_t(b->m_nStepIndex)];
        b->m_vVelocity = CZanVector(p.v.x, p.v.y);
        b->m_fRotVel = p.v.w;
    };
    auto load = [&s](const CZanBody* b)
    {
        SZanSettler::Body& p = s.bodies[size_t(b->m_nStepIndex)];
        p.v.x = b->m_vVelocity.x;
        p.v.y = b->m_vVelocity.y;
        p.v.w = b->m_fRotVel;
    };
    for (CZanJoint* j : s.joints)
    {
        store(j->m_pBody1);
        store(j->m_pBody2);
        j->PreStep(h);
        load(j->m_pBody1);
        load(j->m_pBody2);
    }

    // Only touching points that hold something up count: one beside a box carries nothing
    // however long it has been there.
    int coldPoints = 0, points = 0;
    for (const SZanSettler::Manifold& m : s.manifolds)
    {
        const float up = (m.nx * m_vGravity.x + m.ny * m_vGravity.y) / gravity;
        if (!(std::fabs(up) > 0.5f))
            continue;
        for (int i = 0; i < m.count; ++i)
        {
            if (m.p[i].src->m_fSeparation > 0.0f)
                continue;
            ++points;
            coldPoints += m.p[i].pn == 0.0f ? 1 : 0;
        }
    }
    const int passes = m_nIterations * (2 * coldPoints > points ? kColdPassFactor : 1);
    for (int it = 0; it < passes; ++it)
    {
        s.IterateVelocities();
        for (CZanJoint* j : s.joints)
        {
            store(j->m_pBody1);
            store(j->m_pBody2);
            j->ApplyImpulse();
            load(j->m_pBody1);
            load(j->m_pBody2);
        }
    }
    for (int it = 0; it < kPositionIterations; ++it)
        s.IteratePositions();

    for (const SZanSettler::Manifold& m : s.manifolds)
        for (int i = 0; i < m.count; ++i)
        {
            m.p[i].src->m_fPn = m.p[i].pn;
            m.p[i].src->m_fPt = m.p[i].pt;
        }
    for (CZanBody* b : m_vecOrder)
        if (!b->m_bStill)
            store(b);
}

// Each awake island whose bodies all stayed slow long enough falls asleep at once.
void CZanPhysicsEngine::SleepIslands(float h)
{
    SZanSettler& s = *m_pSettler;
    const size_t count = m_vecOrder.size();
    for (CZanBody* b : m_vecOrder)
    {
        if (b->m_bStill || !HasMass(b))
            continue;
        const CZanVector d = b->m_vPos - b->m_vSleepPos;
        const float turn = std::fabs(b->m_fRot - b->m_fSleepRot);
        if (b->m_fSleepTime == 0.0f || !(d % d <= kSleepDrift * kSleepDrift) ||
            !(turn <= kSleepTurn))
        {
            // Moved away (or just woken): the stay starts again here.
            b->m_vSleepPos = b->m_vPos;
            b->m_fSleepRot = b->m_fRot;
            b->m_fSleepTime = h;
            continue;
        }
        const float t = b->m_fSleepTime + h;
        if (int(t / kSleepTime) != int(b->m_fSleepTime / kSleepTime))
        {
            b->m_vSleepPos = b->m_vPos;
            b->m_fSleepRot = b->m_fRot;
        }
        b->m_fSleepTime = t;
    }
    // A body resting on something without mass that moves is carried, never asleep.
    for (CZanContactPair* pair : s.solve)
    {
        if (pair->m_nContacts == 0)
            continue;
        CZanBody* b1 = pair->m_pBody1;
        CZanBody* b2 = pair->m_pBody2;
        if (!HasMass(b1) && !b1->m_bStill)
            b2->m_fSleepTime = 0.0f;
        if (!HasMass(b2) && !b2->m_bStill)
            b1->m_fSleepTime = 0.0f;
    }
    s.rest.assign(count, kSleepTime);
    for (size_t i = 0; i < count; ++i)
    {
        const CZanBody* b = m_vecOrder[i];
        if (b->m_bStill || !HasMass(b))
            continue;
        float& least = s.rest[size_t(UnionRoot(int(i)))];
        least = std::min(least, b->m_fSleepTime);
    }
    for (size_t i = 0; i < count; ++i)
    {
        CZanBody* b = m_vecOrder[i];
        if (b->m_bStill || !HasMass(b) || s.rest[size_t(UnionRoot(int(i)))] < kSleepTime)
            continue;
        b->m_bAsleep = true;
        b->m_bStill = true;
        b->m_vVelocity = CZanVector(0.0f, 0.0f);
        b->m_fRotVel = 0.0f;
        RecordRest(b);
    }
}
