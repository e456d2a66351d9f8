// The physics world: bodies, sub-stepping, pair search and collision reports.
#include "Zan/ZanPhysics.h"
#include "Zan/ZanCore.h"
#include "Zan/ZanObject.h"
#include "Zan/ZanPacket.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace
{
CZanPhysicsEngine* s_pInstance = nullptr;
int s_nUseCount = 0;

// A gap added around every bounding box so that rounding in the box test can never turn a
// pair the sweep skipped into a touching one.
float BoundMargin(const CZanVector& pos, float reach)
{
    return 0.01f + 1e-5f * (std::fabs(pos.x) + std::fabs(pos.y) + reach);
}
} // namespace

// Velocities and contacts packed side by side, so that the iterations run over contiguous
// memory. Every operation below is the one CZanContactPair::ApplyImpulse performs, in the same
// order, so the results are bit for bit the same.
struct CZanPhysicsEngine::SZanSolver
{
    struct Body
    {
        float vx, vy, w, im, ii;
    };
    struct Contact
    {
        int b1, b2;
        float nx, ny, r1x, r1y, r2x, r2y;
        float massNormal, massTangent, bias, pn, pt, friction, e;
    };
    std::vector<Body> bodies;
    std::vector<Contact> contacts;
    std::vector<CZanJoint*> joints;

    static void Apply(Body& a, Body& b, const Contact& c, float px, float py)
    {
        a.vx -= px * a.im;
        a.vy -= py * a.im;
        a.w -= a.ii * (c.r1x * py - c.r1y * px);
        b.vx += px * b.im;
        b.vy += py * b.im;
        b.w += b.ii * (c.r2x * py - c.r2y * px);
    }

    void Iterate()
    {
        Body* body = bodies.data();
        for (Contact& c : contacts)
        {
            Body& a = body[c.b1];
            Body& b = body[c.b2];
            const float tx = c.ny, ty = -c.nx;
            float dvx = b.vx + (-b.w * c.r2y) - a.vx - (-a.w * c.r1y);
            float dvy = b.vy + (b.w * c.r2x) - a.vy - (a.w * c.r1x);
            const float vn = dvx * c.nx + dvy * c.ny;
            float dPn = c.massNormal * (c.bias - (1.0f + c.e) * vn);
            const float pn0 = c.pn;
            c.pn = std::max(pn0 + dPn, 0.0f);
            dPn = c.pn - pn0;
            Apply(a, b, c, c.nx * dPn, c.ny * dPn);

            dvx = b.vx + (-b.w * c.r2y) - a.vx - (-a.w * c.r1y);
            dvy = b.vy + (b.w * c.r2x) - a.vy - (a.w * c.r1x);
            const float vt = dvx * tx + dvy * ty;
            const float limit = c.friction * c.pn;
            const float pt0 = c.pt;
            c.pt = std::max(-limit, std::min(pt0 - c.massTangent * vt, limit));
            const float dPt = c.pt - pt0;
            Apply(a, b, c, tx * dPt, ty * dPt);
        }
    }
};

CZanPhysicsEngine* KovPhysicsCreate(CZanVector gravity)
{
    if (!s_pInstance)
        s_pInstance = new CZanPhysicsEngine(gravity);
    ++s_nUseCount;
    return s_pInstance;
}

CZanPhysicsEngine* KovPhysicsCreate(const CZanVector* gravity)
{
    return KovPhysicsCreate(gravity ? *gravity : CZanVector(0.0f, 0.0f));
}

CZanPhysicsEngine* CZanPhysicsEngine::Instance()
{
    return s_pInstance;
}

CZanPhysicsEngine::CZanPhysicsEngine(CZanVector gravity)
    : m_vGravity(gravity), m_fMinTimeStep(1.0f / 60.0f), m_fFloating(1.0f), m_fDamp(0.01f),
      m_nIterations(10), m_bFast(true), m_pSolver(new SZanSolver), m_nSubStep(0),
      m_bQueueFull(false), m_pfnObserver(nullptr), m_pObserverUser(nullptr), m_bSettling(false),
      m_nAwake(0), m_pSettler(nullptr)
{
}

CZanPhysicsEngine::~CZanPhysicsEngine()
{
    RemoveAll();
    delete m_pSolver;
    FreeSettler();
}

void CZanPhysicsEngine::Release()
{
    if (s_nUseCount <= 0 || this != s_pInstance)
        return;
    if (--s_nUseCount > 0)
        return;
    s_pInstance = nullptr;
    delete this;
}

void CZanPhysicsEngine::AddBody(unsigned long id, CZanBody* body)
{
    // A body that slept in the world before comes back awake, with its rest forgotten.
    body->m_bAsleep = false;
    body->m_bRestKnown = false;
    body->m_fSleepTime = 0.0f;
    auto it = m_mapBodies.find(id);
    if (it != m_mapBodies.end())
    {
        if (it->second != body)
            DropPairsOf(it->second);
        it->second = body;
    }
    else
        m_mapBodies[id] = body;
}

void CZanPhysicsEngine::RemoveBody(unsigned long id)
{
    auto it = m_mapBodies.find(id);
    if (it == m_mapBodies.end())
        return;
    // The body may be deleted right after this; its contacts must not reach the solver.
    DropPairsOf(it->second);
    if (m_bSettling)
    {
        // What hung on it through a joint must fall.
        for (auto& entry : m_mapJoints)
        {
            CZanJoint* j = entry.second;
            if (j->m_pBody1 == it->second && GetBody(j->m_nBody2ID) == j->m_pBody2)
                j->m_pBody2->m_bWake = true;
            if (j->m_pBody2 == it->second && GetBody(j->m_nBody1ID) == j->m_pBody1)
                j->m_pBody1->m_bWake = true;
        }
    }
    m_mapBodies.erase(it);
}

void CZanPhysicsEngine::DropPairsOf(CZanBody* body)
{
    for (auto it = m_mapPairs.begin(); it != m_mapPairs.end();)
    {
        if (it->first.body1 == body || it->first.body2 == body)
        {
            // Whatever rested on the body loses its support.
            if (m_bSettling)
                (it->first.body1 == body ? it->first.body2 : it->first.body1)->m_bWake = true;
            it = m_mapPairs.erase(it);
        }
        else
            ++it;
    }
}

void CZanPhysicsEngine::RemoveAll()
{
    m_mapBodies.clear();
    for (auto& entry : m_mapJoints)
        delete entry.second;
    m_mapJoints.clear();
    m_mapPairs.clear();
}

CZanBody* CZanPhysicsEngine::GetBody(unsigned long id) const
{
    auto it = m_mapBodies.find(id);
    return it == m_mapBodies.end() ? nullptr : it->second;
}

void CZanPhysicsEngine::AddImpulse(unsigned long id, CZanVector& v)
{
    CZanBody* b = GetBody(id);
    if (b && b->m_bMovable)
    {
        b->m_vForce += v;
        b->m_bWake = true;
    }
}

void CZanPhysicsEngine::AddTwist(unsigned long id, CZanVector& force, CZanVector& point)
{
    CZanBody* b = GetBody(id);
    if (!b || !b->m_bSpinnable)
        return;
    const CZanVector a = b->m_pGeometry ? b->m_pGeometry->m_vAxis : CZanVector();
    const CZanVector d = point - a;
    b->m_fTorque += d.x * force.y - d.y * force.x;
    b->m_bWake = true;
}

void CZanPhysicsEngine::StopMoving(unsigned long id)
{
    CZanBody* b = GetBody(id);
    if (b && b->m_bMovable)
    {
        b->m_vForce = CZanVector(0.0f, 0.0f);
        b->m_vVelocity = CZanVector(0.0f, 0.0f);
    }
}

void CZanPhysicsEngine::StopSpinning(unsigned long id)
{
    CZanBody* b = GetBody(id);
    if (b && b->m_bSpinnable)
    {
        b->m_fTorque = 0.0f;
        b->m_fRotVel = 0.0f;
    }
}

CZanPhysicsEngine::PairKey CZanPhysicsEngine::KeyOf(CZanBody* a, CZanBody* b)
{
    if (CZanContactPair::Before(b, a))
        std::swap(a, b);
    return PairKey{a->m_nID, b->m_nID, a, b};
}

const CZanContactPair* CZanPhysicsEngine::FindPair(CZanBody* a, CZanBody* b) const
{
    if (!a || !b)
        return nullptr;
    auto it = m_mapPairs.find(KeyOf(a, b));
    return it == m_mapPairs.end() ? nullptr : &it->second;
}

int CZanPhysicsEngine::SubStepCount(float dt) const
{
    if (!(dt > m_fMinTimeStep))
        return 1;
    // A stalled frame (or a tiny minimum step) must not ask for billions of sub-steps.
    const float n = dt / m_fMinTimeStep;
    if (!(n < 100000.0f))
        return 100000;
    return int(n) + 1;
}

void CZanPhysicsEngine::Report(CZanBody* target, CZanBody* other, int count,
                               const CZanContact* contacts)
{
    if (m_pfnObserver)
        m_pfnObserver(m_pObserverUser, target->m_nID, other->m_nID, count, contacts);
    CZanEngine* engine = CZanEngine::Instance();
    if (!engine || m_bQueueFull)
        return;
    CPacket_Write w;
    w.Writeuint32(ZAN_MSG_COLLISION);
    w.Writeuint32(uint32_t(other->m_nID));
    if (count > 0)
    {
        w.Writeuint32(uint32_t(count));
        for (int i = 0; i < count; ++i)
        {
            w.Writevector(contacts[i].m_vPosition);
            w.Writevector(contacts[i].m_vNormal);
        }
    }
    CPacket_Read r(w);
    if (!engine->SendToObject(ZAN_ID_ENGINE, target->m_nID, r))
        m_bQueueFull = true;
}

void CZanPhysicsEngine::TestPair(CZanBody* c, CZanBody* e)
{
    // Two resting bodies keep their contacts and stay silent.
    if (m_bSettling && c->m_bStill && e->m_bStill)
        return;
    if (!c->m_bActive || !e->m_bActive || !c->m_bCollidable || !e->m_bCollidable ||
        c->m_nGroup == e->m_nGroup || (c->m_fInvMass == 0.0f && e->m_fInvMass == 0.0f))
        return;
    if (!c->m_bCollideAffect || !e->m_bCollideAffect)
    {
        // Reported only: no overlap test and no stored contacts.
        Report(c, e, 0, nullptr);
        Report(e, c, 0, nullptr);
        return;
    }

    CZanContactPair fresh(c, e, ContactMargin());
    const PairKey key = KeyOf(fresh.m_pBody1, fresh.m_pBody2);
    auto it = m_mapPairs.lower_bound(key);
    const bool stored = it != m_mapPairs.end() && it->first == key;
    if (fresh.m_nContacts == 0)
    {
        if (stored)
            m_mapPairs.erase(it);
        return;
    }
    if (m_bSettling)
    {
        // One of the two moves: touching wakes the other.
        if (c->m_bAsleep)
            Wake(c);
        if (e->m_bAsleep)
            Wake(e);
    }
    // Points that are only near (settling keeps them so that a resting contact stays found)
    // are not touches: a pair reports its touching points, and only when it has any.
    CZanContact touching[2];
    int touches = 0;
    for (int i = 0; i < fresh.m_nContacts; ++i)
        if (fresh.m_aContacts[i].m_fSeparation <= 0.0f)
            touching[touches++] = fresh.m_aContacts[i];
    if (touches == fresh.m_nContacts)
    {
        Report(c, e, fresh.m_nContacts, fresh.m_aContacts);
        Report(e, c, fresh.m_nContacts, fresh.m_aContacts);
    }
    else if (touches > 0)
    {
        Report(c, e, touches, touching);
        Report(e, c, touches, touching);
    }
    if (stored)
    {
        it->second.Merge(fresh, m_bSettling);
        it->second.m_nTested = m_nSubStep;
    }
    else
    {
        fresh.m_nTested = m_nSubStep;
        m_mapPairs.emplace_hint(it, key, fresh);
    }
}

// A stored pair the sweep did not offer: its bodies' bounding boxes lie apart. If the full walk
// would have tested it, that test finds no contact and erases it; true when it must go.
bool CZanPhysicsEngine::RetestApart(CZanContactPair& pair)
{
    CZanBody* c = pair.m_pBody1;
    CZanBody* e = pair.m_pBody2;
    if (!c->m_bActive || !e->m_bActive || !c->m_bCollidable || !e->m_bCollidable ||
        c->m_nGroup == e->m_nGroup || (c->m_fInvMass == 0.0f && e->m_fInvMass == 0.0f) ||
        !c->m_bCollideAffect || !e->m_bCollideAffect)
        return false;
    CZanContactPair fresh(c, e, ContactMargin());
    if (fresh.m_nContacts == 0)
        return true;
    // Cannot happen (the bounds include a margin); keep the pair current all the same.
    pair.Merge(fresh, m_bSettling);
    pair.m_nTested = m_nSubStep;
    return false;
}

void CZanPhysicsEngine::FindPairs()
{
    const size_t count = m_vecOrder.size();
    for (CZanBody* b : m_vecOrder)
    {
        b->m_fCos = std::cos(b->m_fRot);
        b->m_fSin = std::sin(b->m_fRot);
    }
    if (!m_bFast)
    {
        for (size_t i = 0; i < count; ++i)
            for (size_t j = i + 1; j < count; ++j)
                TestPair(m_vecOrder[i], m_vecOrder[j]);
        return;
    }
    CollectSweepCandidates();
    // Bucket the candidates by their first body, then walk the buckets in order, each sorted:
    // the same order as the nested loops above.
    m_vecFirst.assign(count + 1, 0);
    for (uint64_t key : m_vecCandidates)
        ++m_vecFirst[size_t(key >> 32) + 1];
    for (size_t i = 0; i < count; ++i)
        m_vecFirst[i + 1] += m_vecFirst[i];
    m_vecPartners.resize(m_vecCandidates.size());
    m_vecSorted.assign(m_vecFirst.begin(), m_vecFirst.end() - 1); // fill cursors
    for (uint64_t key : m_vecCandidates)
        m_vecPartners[size_t(m_vecSorted[size_t(key >> 32)]++)] = int(key & 0xFFFFFFFFu);
    for (size_t i = 0; i < count; ++i)
    {
        int* begin = m_vecPartners.data() + m_vecFirst[i];
        int* end = m_vecPartners.data() + m_vecFirst[i + 1];
        if (begin == end)
            continue;
        std::sort(begin, end);
        int last = -1;
        for (int* it = begin; it != end; ++it)
        {
            if (*it == last)
                continue;
            last = *it;
            TestPair(m_vecOrder[i], m_vecOrder[size_t(last)]);
        }
    }
}

// Gathers (unordered, possibly twice) every pair for which a test by the full walk could find
// contact or send a report: bounding boxes that overlap, and pairs with a body whose contacts
// are only reported (whatever their distance). Any other pair would be tested without contact;
// that only matters for a stored pair, which the test would erase (see RetestApart).
void CZanPhysicsEngine::CollectSweepCandidates()
{
    const size_t count = m_vecOrder.size();
    m_vecCandidates.clear();
    m_vecSorted.clear();
    m_vecWide.clear();
    m_vecBounds.resize(count * 4);
    const float margin = ContactMargin();

    double sum[2] = {0.0, 0.0}, square[2] = {0.0, 0.0};
    for (size_t i = 0; i < count; ++i)
    {
        const CZanBody* b = m_vecOrder[i];
        if (!b->m_bActive || !b->m_bCollidable)
            continue;
        const float hx = b->m_pGeometry ? b->m_pGeometry->Extent(0) : 0.0f;
        const float hy = b->m_pGeometry ? b->m_pGeometry->Extent(1) : 0.0f;
        const float c = std::fabs(b->m_fCos), s = std::fabs(b->m_fSin);
        const float m = BoundMargin(b->m_vPos, std::fabs(hx) + std::fabs(hy)) + margin;
        const float ex = c * std::fabs(hx) + s * std::fabs(hy) + m;
        const float ey = s * std::fabs(hx) + c * std::fabs(hy) + m;
        float* bound = &m_vecBounds[i * 4];
        bound[0] = b->m_vPos.x - ex;
        bound[1] = b->m_vPos.x + ex;
        bound[2] = b->m_vPos.y - ey;
        bound[3] = b->m_vPos.y + ey;
        const bool finite = std::isfinite(bound[0]) && std::isfinite(bound[1]) &&
                            std::isfinite(bound[2]) && std::isfinite(bound[3]);
        if (!b->m_bCollideAffect || !finite)
        {
            m_vecWide.push_back(int(i));
            continue;
        }
        m_vecSorted.push_back(int(i));
        sum[0] += b->m_vPos.x;
        sum[1] += b->m_vPos.y;
        square[0] += double(b->m_vPos.x) * b->m_vPos.x;
        square[1] += double(b->m_vPos.y) * b->m_vPos.y;
    }

    // Sweep along the axis over which the bodies spread most, so that few share a slice.
    const double k = m_vecSorted.empty() ? 0.0 : 1.0 / double(m_vecSorted.size());
    const double spreadX = square[0] - sum[0] * sum[0] * k;
    const double spreadY = square[1] - sum[1] * sum[1] * k;
    const int axis = spreadY > spreadX ? 1 : 0;
    const int other = 1 - axis;
    const float* bounds = m_vecBounds.data();
    m_vecSweep.clear();
    for (int i : m_vecSorted)
    {
        const float* bound = bounds + i * 4;
        const CZanBody* body = m_vecOrder[size_t(i)];
        // Settling: sleeping bodies and resting ones without mass never need testing together.
        const bool still = m_bSettling ? body->m_bStill : body->m_fInvMass == 0.0f;
        m_vecSweep.push_back({bound[axis * 2], bound[axis * 2 + 1], bound[other * 2],
                              bound[other * 2 + 1], i, body->m_nGroup, still});
    }
    std::sort(m_vecSweep.begin(), m_vecSweep.end(),
              [](const SSweepEntry& a, const SSweepEntry& b)
              { return a.lo < b.lo || (a.lo == b.lo && a.index < b.index); });
    auto push = [this](size_t a, size_t b)
    {
        if (a > b)
            std::swap(a, b);
        m_vecCandidates.push_back((uint64_t(a) << 32) | uint64_t(b));
    };
    const SSweepEntry* entries = m_vecSweep.data();
    const size_t sorted = m_vecSweep.size();
    for (size_t k = 0; k < sorted; ++k)
    {
        const SSweepEntry& ea = entries[k];
        for (size_t l = k + 1; l < sorted; ++l)
        {
            const SSweepEntry& eb = entries[l];
            if (eb.lo > ea.hi)
                break;
            if (eb.olo > ea.ohi || ea.olo > eb.ohi || ea.group == eb.group ||
                (ea.still && eb.still))
                continue;
            push(size_t(ea.index), size_t(eb.index));
        }
    }
    for (int w : m_vecWide)
    {
        for (size_t i = 0; i < count; ++i)
        {
            const CZanBody* b = m_vecOrder[i];
            if (int(i) != w && b->m_bActive && b->m_bCollidable)
                push(size_t(w), i);
        }
    }
}

// The bodies in step order and which joints are usable, for both solvers.
void CZanPhysicsEngine::BeginStep()
{
    m_bQueueFull = false;
    m_vecOrder.clear();
    for (auto& entry : m_mapBodies)
    {
        entry.second->m_nStepIndex = int(m_vecOrder.size());
        m_vecOrder.push_back(entry.second);
    }
    // A joint is used only while both its bodies are registered: a body that has left the
    // world may already be deleted.
    for (auto& entry : m_mapJoints)
    {
        CZanJoint* j = entry.second;
        j->m_bLive = GetBody(j->m_nBody1ID) == j->m_pBody1 && GetBody(j->m_nBody2ID) == j->m_pBody2;
    }
}

void CZanPhysicsEngine::Step(float dt)
{
    if (!std::isfinite(dt))
        return;
    if (m_bSettling)
    {
        StepSettling(dt);
        return;
    }
    const int n = SubStepCount(dt);
    const float h = n > 1 ? dt / float(n) : dt;
    BeginStep();

    for (int step = 0; step < n; ++step)
    {
        ++m_nSubStep;
        FindPairs();

        for (CZanBody* b : m_vecOrder)
        {
            if (!b->m_bActive || b->m_fInvMass == 0.0f)
                continue;
            if (b->m_bMovable)
            {
                if (b->m_bGravity)
                    b->m_vVelocity +=
                        (m_vGravity + b->m_vForce * b->m_fInvMass + b->m_vFlotForce * m_fFloating) *
                        h;
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

        m_vecSolve.clear();
        for (auto it = m_mapPairs.begin(); it != m_mapPairs.end();)
        {
            CZanContactPair& pair = it->second;
            if (m_bFast && pair.m_nTested != m_nSubStep && RetestApart(pair))
            {
                it = m_mapPairs.erase(it);
                continue;
            }
            pair.PreStep(h);
            m_vecSolve.push_back(&pair);
            ++it;
        }
        for (auto& entry : m_mapJoints)
            if (entry.second->m_bActive && entry.second->m_bLive)
                entry.second->PreStep(h);

        if (m_bFast)
            SolvePacked();
        else
        {
            for (int it = 0; it < m_nIterations; ++it)
            {
                for (CZanContactPair* pair : m_vecSolve)
                    pair->ApplyImpulse();
                for (auto& entry : m_mapJoints)
                    if (entry.second->m_bActive && entry.second->m_bLive)
                        entry.second->ApplyImpulse();
            }
        }

        for (CZanBody* b : m_vecOrder)
        {
            if (b->m_bMovable)
                b->m_vPos += b->m_vVelocity * h;
            if (b->m_bSpinnable)
                b->m_fRot += h * b->m_fRotVel;
            b->m_vForce = CZanVector(0.0f, 0.0f);
            b->m_fTorque = 0.0f;
        }
    }
    for (CZanBody* b : m_vecOrder)
        b->m_nStepIndex = -1;
}

void CZanPhysicsEngine::SolvePacked()
{
    SZanSolver& solver = *m_pSolver;
    solver.bodies.resize(m_vecOrder.size());
    for (size_t i = 0; i < m_vecOrder.size(); ++i)
    {
        const CZanBody* b = m_vecOrder[i];
        solver.bodies[i] = {b->m_vVelocity.x, b->m_vVelocity.y, b->m_fRotVel, b->m_fInvMass,
                            b->m_fInvInertia};
    }
    solver.contacts.clear();
    for (CZanContactPair* pair : m_vecSolve)
    {
        for (int i = 0; i < pair->m_nContacts; ++i)
        {
            CZanContact& c = pair->m_aContacts[i];
            solver.contacts.push_back({pair->m_pBody1->m_nStepIndex, pair->m_pBody2->m_nStepIndex,
                                       c.m_vNormal.x, c.m_vNormal.y, c.m_vR1.x, c.m_vR1.y,
                                       c.m_vR2.x, c.m_vR2.y, c.m_fMassNormal, c.m_fMassTangent,
                                       c.m_fBias, c.m_fPn, c.m_fPt, pair->m_fFriction,
                                       pair->m_fRestitution});
        }
    }
    solver.joints.clear();
    for (auto& entry : m_mapJoints)
        if (entry.second->m_bActive && entry.second->m_bLive)
            solver.joints.push_back(entry.second);

    auto store = [&solver](CZanBody* b)
    {
        const SZanSolver::Body& s = solver.bodies[size_t(b->m_nStepIndex)];
        b->m_vVelocity = CZanVector(s.vx, s.vy);
        b->m_fRotVel = s.w;
    };
    auto load = [&solver](const CZanBody* b)
    {
        SZanSolver::Body& s = solver.bodies[size_t(b->m_nStepIndex)];
        s.vx = b->m_vVelocity.x;
        s.vy = b->m_vVelocity.y;
        s.w = b->m_fRotVel;
    };
    for (int it = 0; it < m_nIterations; ++it)
    {
        solver.Iterate();
        // Joints are few: they work on the bodies themselves, brought up to date around them.
        for (CZanJoint* j : solver.joints)
        {
            store(j->m_pBody1);
            store(j->m_pBody2);
            j->ApplyImpulse();
            load(j->m_pBody1);
            load(j->m_pBody2);
        }
    }

    const SZanSolver::Contact* packed = solver.contacts.data();
    for (CZanContactPair* pair : m_vecSolve)
    {
        for (int i = 0; i < pair->m_nContacts; ++i, ++packed)
        {
            pair->m_aContacts[i].m_fPn = packed->pn;
            pair->m_aContacts[i].m_fPt = packed->pt;
        }
    }
    for (CZanBody* b : m_vecOrder)
        store(b);
}
