// Settling: a solver that lets resting contacts come to rest, islands and sleeping.
#include "BodyMath.h"
#include "Zan/ZanPhysics.h"

#include <algorithm>
#include <cmath>

using namespace zan::physics;

namespace
{
// An island sleeps once every body in it stayed below these speeds for kSleepTime seconds.
const float kSleepSpeed = 1.0f; // units per second
const float kSleepSpin = 0.02f; // radians per second
const float kSleepTime = 0.5f;
// Penetration left in place, so that resting contacts stay found; of the rest, the share the
// position pass removes per sub-step, and at most this many units, so that boxes that fell
// deep into each other part without flying apart.
const float kSlop = 0.02f;
const float kCorrection = 0.2f;
const float kMaxPush = 0.5f;
const int kPositionIterations = 4;
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
    struct Body
    {
        float vx, vy, w, im, ii;
        float px, py, pw; ///< position-pass velocities, never kept past the sub-step
    };
    struct Contact
    {
        int b1, b2;
        float nx, ny, r1x, r1y, r2x, r2y;
        float massNormal, massTangent, bounce, pn, pt, friction;
        float push;       ///< separating speed the position pass aims at
        float pp;         ///< accumulated position-pass impulse
        CZanContact* src; ///< where the accumulated impulses are kept between steps
    };
    std::vector<Body> bodies;
    std::vector<Contact> contacts;
    std::vector<CZanContactPair*> pairs; ///< every stored pair of the sub-step, in map order
    std::vector<CZanContactPair*> solve; ///< the pairs with a moving body
    std::vector<CZanJoint*> joints;
    std::vector<int> parent; ///< union-find over the step's body indices
    std::vector<float> rest; ///< per island root: least sleep time
    std::vector<char> awake; ///< per island root: holds a body that is awake

    static void Apply(Body& a, Body& b, const Contact& c, float px, float py)
    {
        a.vx -= px * a.im;
        a.vy -= py * a.im;
        a.w -= a.ii * (c.r1x * py - c.r1y * px);
        b.vx += px * b.im;
        b.vy += py * b.im;
        b.w += b.ii * (c.r2x * py - c.r2y * px);
    }

    static void ApplyPush(Body& a, Body& b, const Contact& c, float px, float py)
    {
        a.px -= px * a.im;
        a.py -= py * a.im;
        a.pw -= a.ii * (c.r1x * py - c.r1y * px);
        b.px += px * b.im;
        b.py += py * b.im;
        b.pw += b.ii * (c.r2x * py - c.r2y * px);
    }

    // Accumulated, clamped normal and friction impulses; no position term, so a resting
    // contact ends at zero approach speed instead of being pushed apart.
    void IterateVelocities()
    {
        Body* body = bodies.data();
        for (Contact& c : contacts)
        {
            Body& a = body[c.b1];
            Body& b = body[c.b2];
            const float tx = c.ny, ty = -c.nx;
            float dvx = b.vx - b.w * c.r2y - a.vx + a.w * c.r1y;
            float dvy = b.vy + b.w * c.r2x - a.vy - a.w * c.r1x;
            const float vn = dvx * c.nx + dvy * c.ny;
            const float pn0 = c.pn;
            c.pn = std::max(pn0 + c.massNormal * (c.bounce - vn), 0.0f);
            const float dPn = c.pn - pn0;
            Apply(a, b, c, c.nx * dPn, c.ny * dPn);

            dvx = b.vx - b.w * c.r2y - a.vx + a.w * c.r1y;
            dvy = b.vy + b.w * c.r2x - a.vy - a.w * c.r1x;
            const float vt = dvx * tx + dvy * ty;
            const float limit = c.friction * c.pn;
            const float pt0 = c.pt;
            c.pt = std::max(-limit, std::min(pt0 - c.massTangent * vt, limit));
            const float dPt = c.pt - pt0;
            Apply(a, b, c, tx * dPt, ty * dPt);
        }
    }

    // Split impulses: penetration is worked off through velocities that move the bodies in
    // this sub-step only, so correcting it never leaves speed behind.
    void IteratePositions()
    {
        Body* body = bodies.data();
        for (Contact& c : contacts)
        {
            Body& a = body[c.b1];
            Body& b = body[c.b2];
            const float dvx = b.px - b.pw * c.r2y - a.px + a.pw * c.r1y;
            const float dvy = b.py + b.pw * c.r2x - a.py - a.pw * c.r1x;
            const float vn = dvx * c.nx + dvy * c.ny;
            const float pp0 = c.pp;
            c.pp = std::max(pp0 + c.massNormal * (c.push - vn), 0.0f);
            const float dP = c.pp - pp0;
            ApplyPush(a, b, c, c.nx * dP, c.ny * dP);
        }
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
    m_bQueueFull = false;

    m_vecOrder.clear();
    for (auto& entry : m_mapBodies)
    {
        entry.second->m_nStepIndex = int(m_vecOrder.size());
        m_vecOrder.push_back(entry.second);
    }
    for (auto& entry : m_mapJoints)
    {
        CZanJoint* j = entry.second;
        j->m_bLive = GetBody(j->m_nBody1ID) == j->m_pBody1 && GetBody(j->m_nBody2ID) == j->m_pBody2;
    }

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
            b->m_vPos += (b->m_vVelocity + CZanVector(p.px, p.py)) * h;
        if (b->m_bSpinnable)
            b->m_fRot += h * (b->m_fRotVel + p.pw);
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
        s.bodies[i] = {b->m_vVelocity.x,
                       b->m_vVelocity.y,
                       b->m_fRotVel,
                       b->m_fInvMass,
                       b->m_fInvInertia,
                       0.0f,
                       0.0f,
                       0.0f};
    }

    const float gravity = std::sqrt(m_vGravity.x * m_vGravity.x + m_vGravity.y * m_vGravity.y);
    const float bounceSpeed = gravity * kBounceTime + 1.0f;
    const float pushRate = h > 0.0f ? 1.0f / h : 0.0f;
    s.solve.clear();
    for (CZanContactPair* pair : s.pairs)
        if (!pair->m_pBody1->m_bStill || !pair->m_pBody2->m_bStill)
            s.solve.push_back(pair);

    s.contacts.clear();
    for (CZanContactPair* pair : s.solve)
    {
        CZanBody* b1 = pair->m_pBody1;
        CZanBody* b2 = pair->m_pBody2;
        const float e = Restitution(b1, b2);
        for (int i = 0; i < pair->m_nContacts; ++i)
        {
            CZanContact& c = pair->m_aContacts[i];
            const CZanVector r1 = c.m_vPosition - b1->m_vPos;
            const CZanVector r2 = c.m_vPosition - b2->m_vPos;
            const CZanVector n = c.m_vNormal;
            const CZanVector t(n.y, -n.x);
            const CZanVector dv = b2->m_vVelocity + CrossWR(b2->m_fRotVel, r2) - b1->m_vVelocity -
                                  CrossWR(b1->m_fRotVel, r1);
            const float vn = dv % n;
            SZanSettler::Contact packed;
            packed.b1 = b1->m_nStepIndex;
            packed.b2 = b2->m_nStepIndex;
            packed.nx = n.x;
            packed.ny = n.y;
            packed.r1x = r1.x;
            packed.r1y = r1.y;
            packed.r2x = r2.x;
            packed.r2y = r2.y;
            packed.massNormal = EffectiveMass(b1, b2, r1, r2, n);
            packed.massTangent = EffectiveMass(b1, b2, r1, r2, t);
            packed.bounce = vn < -bounceSpeed ? -e * vn : 0.0f;
            packed.pn = c.m_fPn;
            packed.pt = c.m_fPt;
            packed.friction = pair->m_fFriction;
            packed.push = pushRate * std::min(kMaxPush, std::max(0.0f, -(c.m_fSeparation + kSlop)) *
                                                            kCorrection);
            packed.pp = 0.0f;
            packed.src = &c;
            s.contacts.push_back(packed);
        }
    }
    // Warm start, after every bounce was measured on the speeds before it.
    for (const SZanSettler::Contact& c : s.contacts)
    {
        SZanSettler::Body& a = s.bodies[size_t(c.b1)];
        SZanSettler::Body& b = s.bodies[size_t(c.b2)];
        SZanSettler::Apply(a, b, c, c.nx * c.pn + c.ny * c.pt, c.ny * c.pn - c.nx * c.pt);
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
        b->m_vVelocity = CZanVector(p.vx, p.vy);
        b->m_fRotVel = p.w;
    };
    auto load = [&s](const CZanBody* b)
    {
        SZanSettler::Body& p = s.bodies[size_t(b->m_nStepIndex)];
        p.vx = b->m_vVelocity.x;
        p.vy = b->m_vVelocity.y;
        p.w = b->m_fRotVel;
    };
    for (CZanJoint* j : s.joints)
    {
        store(j->m_pBody1);
        store(j->m_pBody2);
        j->PreStep(h);
        load(j->m_pBody1);
        load(j->m_pBody2);
    }

    for (int it = 0; it < m_nIterations; ++it)
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

    for (const SZanSettler::Contact& c : s.contacts)
    {
        c.src->m_fPn = c.pn;
        c.src->m_fPt = c.pt;
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
        const float v2 = b->m_bMovable ? b->m_vVelocity % b->m_vVelocity : 0.0f;
        const float w = b->m_bSpinnable ? std::fabs(b->m_fRotVel) : 0.0f;
        if (v2 > kSleepSpeed * kSleepSpeed || w > kSleepSpin || !(v2 == v2))
            b->m_fSleepTime = 0.0f;
        else
            b->m_fSleepTime += h;
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
