// Rigid bodies: defaults and mass properties.
#include "Zan/ZanPhysics.h"

#include <cfloat>

CZanBody::CZanBody(unsigned long id)
    : m_eShape(ZAN_SHAPE_QUAD), m_pGeometry(nullptr), m_nID(id), m_nGroup(0), m_fFriction(0.2f),
      m_fRot(0.0f), m_fRotVel(0.0f), m_fTorque(0.0f), m_vFlotDir(0.0f, -1.0f), m_fInvMass(0.0f),
      m_fInvInertia(0.0f), m_bActive(true), m_bSpinnable(true), m_bMovable(true),
      m_bCollidable(true), m_bGravity(true), m_bCollideAffect(true), m_fElast(0.5f),
      m_fMass(FLT_MAX), m_fInertia(FLT_MAX), m_nStepIndex(-1), m_fCos(1.0f), m_fSin(0.0f),
      m_bAsleep(false), m_bWake(false), m_bStill(false), m_bRestKnown(false), m_fSleepTime(0.0f),
      m_fSleepRot(0.0f), m_fRestRot(0.0f), m_fRestInvMass(0.0f), m_fRestInvInertia(0.0f),
      m_nRestFlags(0), m_nRestGroup(0), m_pRestGeometry(nullptr)
{
}

void CZanBody::SetGeometry(CZanGeometry* geometry)
{
    m_pGeometry = geometry;
    if (geometry)
        m_eShape = geometry->GetShape();
}

void CZanBody::SetMass(float m)
{
    // A settling world wakes the body's island even when the mass comes out the same.
    m_bWake = true;
    if (m >= FLT_MAX)
    {
        m_fMass = FLT_MAX;
        m_fInvMass = 0.0f;
        m_fInertia = FLT_MAX;
        m_fInvInertia = 0.0f;
        return;
    }
    // Also catches NaN, which would otherwise poison every contact it touches.
    if (!(m >= 0.001f))
    {
        m_fMass = 0.0f;
        m_fInvMass = FLT_MAX;
        m_fInertia = 0.0f;
        m_fInvInertia = FLT_MAX;
        return;
    }
    m_fMass = m;
    m_fInvMass = 1.0f / m;
    if (!m_pGeometry)
        return;

    const CZanVector arm = m_pGeometry->m_vCenter - m_pGeometry->m_vAxis;
    const float d2 = arm.x * arm.x + arm.y * arm.y;
    const float e0 = m_pGeometry->Extent(0);
    switch (m_eShape)
    {
    case ZAN_SHAPE_QUAD:
    {
        const float e1 = m_pGeometry->Extent(1);
        m_vFlotForce = m_vFlotDir * m_fInvMass * e0 * e1;
        m_fInertia = m_fMass * ((e0 * e0 + e1 * e1) * 0.33333334f + d2);
        break;
    }
    case ZAN_SHAPE_DISC:
        m_vFlotForce = m_vFlotDir * m_fInvMass * 3.1415927f * e0 * e0;
        m_fInertia = m_fMass * (e0 * e0 * 0.5f + d2);
        break;
    default:
        return;
    }
    // A box of no size has no inertia; treat it like a massless body rather than dividing by 0.
    m_fInvInertia = m_fInertia > 0.0f ? 1.0f / m_fInertia : FLT_MAX;
}
