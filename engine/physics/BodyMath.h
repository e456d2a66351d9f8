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
