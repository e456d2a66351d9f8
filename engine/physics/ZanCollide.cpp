// Box-against-box contact points and the sequential-impulse contact solver.
#include "BodyMath.h"
#include "Zan/ZanPhysics.h"

#include <algorithm>
#include <cmath>

namespace
{
using namespace zan::physics;

enum
{
    NO_EDGE = 0,
    EDGE1 = 1,
    EDGE2 = 2,
    EDGE3 = 3,
    EDGE4 = 4
};

// Key bytes: reference in, reference out, incident in, incident out.
struct ClipVertex
{
    CZanVector v;
    unsigned char key[4];
};

int ClipSegment(ClipVertex out[2], const ClipVertex in[2], const CZanVector& normal, float offset,
                unsigned char clipEdge)
{
    int num = 0;
    const float d0 = (normal % in[0].v) - offset;
    const float d1 = (normal % in[1].v) - offset;
    if (d0 <= 0.0f)
        out[num++] = in[0];
    if (d1 <= 0.0f)
        out[num++] = in[1];
    if (d0 * d1 < 0.0f)
    {
        const float t = d0 / (d0 - d1);
        out[num].v = in[0].v + (in[1].v - in[0].v) * t;
        if (d0 > 0.0f)
        {
            std::copy(in[0].key, in[0].key + 4, out[num].key);
            out[num].key[0] = clipEdge;
            out[num].key[2] = NO_EDGE;
        }
        else
        {
            std::copy(in[1].key, in[1].key + 4, out[num].key);
            out[num].key[1] = clipEdge;
            out[num].key[3] = NO_EDGE;
        }
        ++num;
    }
    return num;
}

void IncidentEdge(ClipVertex c[2], const CZanVector& h, const CZanVector& pos, const Rot& rot,
                  const CZanVector& front)
{
    const CZanVector n = -rot.MulT(front);
    const CZanVector a(std::fabs(n.x), std::fabs(n.y));
    auto set = [](ClipVertex& v, float x, float y, unsigned char in, unsigned char out)
    {
        v.v = CZanVector(x, y);
        v.key[0] = NO_EDGE;
        v.key[1] = NO_EDGE;
        v.key[2] = in;
        v.key[3] = out;
    };
    if (a.x > a.y)
    {
        if (n.x >= 0.0f)
        {
            set(c[0], h.x, -h.y, EDGE3, EDGE4);
            set(c[1], h.x, h.y, EDGE4, EDGE1);
        }
        else
        {
            set(c[0], -h.x, h.y, EDGE1, EDGE2);
            set(c[1], -h.x, -h.y, EDGE2, EDGE3);
        }
    }
    else
    {
        if (n.y >= 0.0f)
        {
            set(c[0], h.x, h.y, EDGE4, EDGE1);
            set(c[1], -h.x, h.y, EDGE1, EDGE2);
        }
        else
        {
            set(c[0], -h.x, -h.y, EDGE2, EDGE3);
            set(c[1], h.x, -h.y, EDGE3, EDGE4);
        }
    }
    c[0].v = pos + rot.Mul(c[0].v);
    c[1].v = pos + rot.Mul(c[1].v);
}

CZanVector HalfExtents(const CZanBody* b)
{
    if (!b->m_pGeometry)
        return CZanVector(0.0f, 0.0f);
    return CZanVector(b->m_pGeometry->Extent(0), b->m_pGeometry->Extent(1));
}

enum Axis
{
    FACE_A_X,
    FACE_A_Y,
    FACE_B_X,
    FACE_B_Y
};

// Up to two contact points of boxes A and B, normals pointing from A to B; points up to margin
// apart count as well.
int Collide(CZanContact* contacts, const CZanBody* bodyA, const CZanBody* bodyB, const Rot& rotA,
            const Rot& rotB, float margin)
{
    const CZanVector hA = HalfExtents(bodyA), hB = HalfExtents(bodyB);
    const CZanVector posA = bodyA->m_vPos, posB = bodyB->m_vPos;

    const CZanVector d = posB - posA;
    const CZanVector dA = rotA.MulT(d), dB = rotB.MulT(d);
    // C = RAᵀ RB, by columns.
    const CZanVector c1(rotA.Col1() % rotB.Col1(), rotA.Col2() % rotB.Col1());
    const CZanVector c2(rotA.Col1() % rotB.Col2(), rotA.Col2() % rotB.Col2());
    const CZanVector a1(std::fabs(c1.x), std::fabs(c1.y)), a2(std::fabs(c2.x), std::fabs(c2.y));

    // |C| hB and |C|ᵀ hA.
    const CZanVector cB(a1.x * hB.x + a2.x * hB.y, a1.y * hB.x + a2.y * hB.y);
    const CZanVector cA(a1.x * hA.x + a1.y * hA.y, a2.x * hA.x + a2.y * hA.y);
    const CZanVector faceA(std::fabs(dA.x) - hA.x - cB.x, std::fabs(dA.y) - hA.y - cB.y);
    if (faceA.x > margin || faceA.y > margin)
        return 0;
    const CZanVector faceB(std::fabs(dB.x) - cA.x - hB.x, std::fabs(dB.y) - cA.y - hB.y);
    if (faceB.x > margin || faceB.y > margin)
        return 0;

    const float relTol = 1.05f, absTol = 0.01f;
    Axis axis = FACE_A_X;
    float separation = faceA.x;
    CZanVector normal = dA.x > 0.0f ? rotA.Col1() : -rotA.Col1();
    if (faceA.y > relTol * separation + absTol * hA.y)
    {
        axis = FACE_A_Y;
        separation = faceA.y;
        normal = dA.y > 0.0f ? rotA.Col2() : -rotA.Col2();
    }
    if (faceB.x > relTol * separation + absTol * hB.x)
    {
        axis = FACE_B_X;
        separation = faceB.x;
        normal = dB.x > 0.0f ? rotB.Col1() : -rotB.Col1();
    }
    if (faceB.y > relTol * separation + absTol * hB.y)
    {
        axis = FACE_B_Y;
        separation = faceB.y;
        normal = dB.y > 0.0f ? rotB.Col2() : -rotB.Col2();
    }

    CZanVector front, side;
    float frontOffset, negSide, posSide;
    unsigned char negEdge, posEdge;
    ClipVertex incident[2];
    switch (axis)
    {
    case FACE_A_X:
        front = normal;
        side = rotA.Col2();
        frontOffset = (posA % front) + hA.x;
        negSide = -(posA % side) + hA.y;
        posSide = (posA % side) + hA.y;
        negEdge = EDGE3;
        posEdge = EDGE1;
        IncidentEdge(incident, hB, posB, rotB, front);
        break;
    case FACE_A_Y:
        front = normal;
        side = rotA.Col1();
        frontOffset = (posA % front) + hA.y;
        negSide = -(posA % side) + hA.x;
        posSide = (posA % side) + hA.x;
        negEdge = EDGE2;
        posEdge = EDGE4;
        IncidentEdge(incident, hB, posB, rotB, front);
        break;
    case FACE_B_X:
        front = -normal;
        side = rotB.Col2();
        frontOffset = (posB % front) + hB.x;
        negSide = -(posB % side) + hB.y;
        posSide = (posB % side) + hB.y;
        negEdge = EDGE3;
        posEdge = EDGE1;
        IncidentEdge(incident, hA, posA, rotA, front);
        break;
    default:
        front = -normal;
        side = rotB.Col1();
        frontOffset = (posB % front) + hB.y;
        negSide = -(posB % side) + hB.x;
        posSide = (posB % side) + hB.x;
        negEdge = EDGE2;
        posEdge = EDGE4;
        IncidentEdge(incident, hA, posA, rotA, front);
        break;
    }

    ClipVertex clip1[2], clip2[2];
    if (ClipSegment(clip1, incident, -side, negSide, negEdge) < 2)
        return 0;
    if (ClipSegment(clip2, clip1, side, posSide, posEdge) < 2)
        return 0;

    const bool swapKey = axis == FACE_B_X || axis == FACE_B_Y;
    int count = 0;
    for (int i = 0; i < 2; ++i)
    {
        const float sep = (front % clip2[i].v) - frontOffset;
        if (sep > margin)
            continue;
        CZanContact& c = contacts[count++];
        c.m_fSeparation = sep;
        c.m_vNormal = normal;
        c.m_vPosition = clip2[i].v - front * sep;
        if (swapKey)
        {
            c.m_acKey[0] = clip2[i].key[2];
            c.m_acKey[1] = clip2[i].key[3];
            c.m_acKey[2] = clip2[i].key[0];
            c.m_acKey[3] = clip2[i].key[1];
        }
        else
            std::copy(clip2[i].key, clip2[i].key + 4, c.m_acKey);
    }
    return count;
}

} // namespace

CZanContactPair::CZanContactPair(CZanBody* b1, CZanBody* b2, float margin)
    : m_nContacts(0), m_fRestitution(0.0f), m_nTested(0)
{
    if (Before(b2, b1))
        std::swap(b1, b2);
    m_pBody1 = b1;
    m_pBody2 = b2;
    for (CZanContact& c : m_aContacts)
    {
        c = CZanContact();
    }
    // Inside the world's pair search the bodies carry their cos and sin; the same values.
    const Rot r1 = b1->m_nStepIndex >= 0 ? Rot(b1->m_fCos, b1->m_fSin)
                                         : Rot(std::cos(b1->m_fRot), std::sin(b1->m_fRot));
    const Rot r2 = b2->m_nStepIndex >= 0 ? Rot(b2->m_fCos, b2->m_fSin)
                                         : Rot(std::cos(b2->m_fRot), std::sin(b2->m_fRot));
    m_nContacts = Collide(m_aContacts, b1, b2, r1, r2, margin);
    m_fFriction = std::sqrt(b1->m_fFriction * b2->m_fFriction);
}

void CZanContactPair::Merge(const CZanContactPair& fresh, bool nearby)
{
    CZanContact merged[2];
    bool claimed[2] = {false, false};
    int unmatched = 0;
    for (int i = 0; i < fresh.m_nContacts; ++i)
    {
        merged[i] = fresh.m_aContacts[i];
        merged[i].m_fPn = 0.0f;
        merged[i].m_fPt = 0.0f;
        bool found = false;
        for (int j = 0; j < m_nContacts; ++j)
        {
            if (m_aContacts[j].SameFeature(fresh.m_aContacts[i]))
            {
                merged[i].m_fPn = m_aContacts[j].m_fPn;
                merged[i].m_fPt = m_aContacts[j].m_fPt;
                claimed[j] = true;
                found = true;
                break;
            }
        }
        unmatched += found ? 0 : 1;
    }
    // A box that tilts a little swaps the edges its corners touch, though the contact hardly
    // moved: such points keep the impulse of the unclaimed old point that lies nearest, within
    // a quarter of the smaller box and with the same normal.
    if (nearby && unmatched > 0)
    {
        const CZanVector h1 = HalfExtents(m_pBody1), h2 = HalfExtents(m_pBody2);
        const float reach = 0.5f * std::min(std::min(h1.x, h1.y), std::min(h2.x, h2.y));
        for (int i = 0; i < fresh.m_nContacts; ++i)
        {
            if (merged[i].m_fPn != 0.0f || merged[i].m_fPt != 0.0f)
                continue;
            int best = -1;
            float bestDist = reach * reach;
            for (int j = 0; j < m_nContacts; ++j)
            {
                const CZanVector d = m_aContacts[j].m_vPosition - merged[i].m_vPosition;
                const float dist = d % d;
                if (!claimed[j] && (m_aContacts[j].m_vNormal % merged[i].m_vNormal) > 0.95f &&
                    dist <= bestDist)
                {
                    best = j;
                    bestDist = dist;
                }
            }
            if (best >= 0)
            {
                claimed[best] = true;
                merged[i].m_fPn = m_aContacts[best].m_fPn;
                merged[i].m_fPt = m_aContacts[best].m_fPt;
            }
        }
    }
    for (int i = 0; i < fresh.m_nContacts; ++i)
        m_aContacts[i] = merged[i];
    m_nContacts = fresh.m_nContacts;
    m_fFriction = fresh.m_fFriction;
}

void CZanContactPair::PreStep(float h)
{
    CZanBody* b1 = m_pBody1;
    CZanBody* b2 = m_pBody2;
    // Masses and elasticities cannot change while the iterations run, so the mean computed
    // here is the one every iteration would compute.
    m_fRestitution = Restitution(b1, b2);
    for (int i = 0; i < m_nContacts; ++i)
    {
        CZanContact& c = m_aContacts[i];
        c.m_vR1 = c.m_vPosition - b1->m_vPos;
        c.m_vR2 = c.m_vPosition - b2->m_vPos;
        const CZanVector n = c.m_vNormal;
        const CZanVector t(n.y, -n.x);
        c.m_fMassNormal = EffectiveMass(b1, b2, c.m_vR1, c.m_vR2, n);
        c.m_fMassTangent = EffectiveMass(b1, b2, c.m_vR1, c.m_vR2, t);
        c.m_fBias = -500.0f * h * std::min(0.0f, c.m_fSeparation + 0.1f);
        ApplyPair(b1, b2, c.m_vR1, c.m_vR2, n * c.m_fPn + t * c.m_fPt);
    }
}

void CZanContactPair::ApplyImpulse()
{
    CZanBody* b1 = m_pBody1;
    CZanBody* b2 = m_pBody2;
    const float e = m_fRestitution;
    for (int i = 0; i < m_nContacts; ++i)
    {
        CZanContact& c = m_aContacts[i];
        const CZanVector r1 = c.m_vR1, r2 = c.m_vR2;
        const CZanVector n = c.m_vNormal;
        const CZanVector t(n.y, -n.x);

        CZanVector dv = b2->m_vVelocity + CrossWR(b2->m_fRotVel, r2) - b1->m_vVelocity -
                        CrossWR(b1->m_fRotVel, r1);
        const float vn = dv % n;
        float dPn = c.m_fMassNormal * (c.m_fBias - (1.0f + e) * vn);
        const float pn0 = c.m_fPn;
        c.m_fPn = std::max(pn0 + dPn, 0.0f);
        dPn = c.m_fPn - pn0;
        ApplyPair(b1, b2, r1, r2, n * dPn);

        dv = b2->m_vVelocity + CrossWR(b2->m_fRotVel, r2) - b1->m_vVelocity -
             CrossWR(b1->m_fRotVel, r1);
        const float vt = dv % t;
        const float limit = m_fFriction * c.m_fPn;
        const float pt0 = c.m_fPt;
        c.m_fPt = std::max(-limit, std::min(pt0 - c.m_fMassTangent * vt, limit));
        ApplyPair(b1, b2, r1, r2, t * (c.m_fPt - pt0));
    }
}
