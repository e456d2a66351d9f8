// Plane vector helpers shared by the contact and joint solvers.
#pragma once

#include "Zan/ZanPhysics.h"

#include <cmath>

namespace zan::physics
{
// Rotation by an angle: columns (c, s) and (−s, c).
struct Rot
{
    float c, s;
    Rot(float cosine, float sine) : c(cosine), s(sine) {}
    explicit Rot(float angle) : c(std::cos(angle)), s(std::sin(angle)) {}
    CZanVector Col1() const { return CZanVector(c, s); }
    CZanVector Col2() const { return CZanVector(-s, c); }
    CZanVector Mul(const CZanVector& v) const
    {
        return CZanVector(c * v.x - s * v.y, s * v.x + c * v.y);
    }
    CZanVector MulT(const CZanVector& v) const
    {
        return CZanVector(c * v.x + s * v.y, -s * v.x + c * v.y);
    }
};

inline float Cross(const CZanVector& a, const CZanVector& b)
{
    return a.x * b.y - a.y * b.x;
}

// ω × r.
inline CZanVector CrossWR(float w, const CZanVector& r)
{
    return CZanVector(-w * r.y, w * r.x);
}

// Weighted mean of the elasticities. Computed in double: the float sum of two static masses
// overflows (inf / inf), and two massless bodies would divide 0 by 0.
inline float Restitution(const CZanBody* b1, const CZanBody* b2)
{
    const double m1 = b1->m_fMass, m2 = b2->m_fMass;
    const double total = m1 + m2;
    if (!(total > 0.0))
        return 0.5f * (b1->m_fElast + b2->m_fElast);
    return float((m1 * b1->m_fElast + m2 * b2->m_fElast) / total);
}

inline float EffectiveMass(const CZanBody* b1, const CZanBody* b2, const CZanVector& r1,
                           const CZanVector& r2, const CZanVector& dir)
{
    const float rn1 = r1 % dir, rn2 = r2 % dir;
    float k = b1->m_fInvMass + b2->m_fInvMass;
    k += b1->m_fInvInertia * ((r1 % r1) - rn1 * rn1) + b2->m_fInvInertia * ((r2 % r2) - rn2 * rn2);
    // Two bodies that nothing can move: no impulse rather than a division by zero.
    return k > 0.0f ? 1.0f / k : 0.0f;
}

// Impulse p at arms r1, r2: taken from body 1, given to body 2.
inline __attribute__((always_inline)) void ApplyPair(CZanBody* b1, CZanBody* b2,
                                                     const CZanVector& r1, const CZanVector& r2,
                                                     const CZanVector& p)
{
    b1->m_vVelocity -= p * b1->m_fInvMass;
    b1->m_fRotVel -= b1->m_fInvInertia * Cross(r1, p);
    b2->m_vVelocity += p * b2->m_fInvMass;
    b2->m_fRotVel += b2->m_fInvInertia * Cross(r2, p);
}
} // namespace zan::physics
