// Pin joints between two bodies.
#include "BodyMath.h"
#include "Zan/ZanObject.h"
#include "Zan/ZanPhysics.h"

#include <cmath>

using namespace zan::physics;

namespace
{
uint32_t s_nNextJointID = 100;
} // namespace

void CZanJoint::PreStep(float h)
{
    CZanBody* b1 = m_pBody1;
    CZanBody* b2 = m_pBody2;
    m_vR1 = Rot(b1->m_fRot).Mul(m_vLocalAnchor1);
    m_vR2 = Rot(b2->m_fRot).Mul(m_vLocalAnchor2);

    // Double precision: massless bodies put the largest float on the diagonal, whose square
    // would overflow a float determinant.
    const double im = double(b1->m_fInvMass) + double(b2->m_fInvMass);
    const double i1 = b1->m_fInvInertia, i2 = b2->m_fInvInertia;
    const double r1x = m_vR1.x, r1y = m_vR1.y, r2x = m_vR2.x, r2y = m_vR2.y;
    const double k11 = im + i1 * r1y * r1y + i2 * r2y * r2y;
    const double k12 = -i1 * r1x * r1y - i2 * r2x * r2y;
    const double k22 = im + i1 * r1x * r1x + i2 * r2x * r2x;
    const double det = k11 * k22 - k12 * k12;
    if (det != 0.0 && std::isfinite(det))
    {
        const double inv = 1.0 / det;
        m_aM[0][0] = float(inv * k22);
        m_aM[0][1] = float(-inv * k12);
        m_aM[1][0] = float(-inv * k12);
        m_aM[1][1] = float(inv * k11);
    }
    else
    {
        // Neither body can be moved (two static bodies): the joint has nothing to do.
        m_aM[0][0] = m_aM[0][1] = m_aM[1][0] = m_aM[1][1] = 0.0f;
    }

    const CZanVector dp = (b2->m_vPos + m_vR2) - (b1->m_vPos + m_vR1);
    m_vBias = dp * (-100.0f * h);
    m_vP = m_vP * m_fCarry;
    ApplyPair(b1, b2, m_vR1, m_vR2, m_vP);
}

void CZanJoint::ApplyImpulse()
{
    CZanBody* b1 = m_pBody1;
    CZanBody* b2 = m_pBody2;
    const CZanVector dv = b2->m_vVelocity + CrossWR(b2->m_fRotVel, m_vR2) - b1->m_vVelocity -
                          CrossWR(b1->m_fRotVel, m_vR1);
    const CZanVector rhs = m_vBias - dv;
    const CZanVector impulse(m_aM[0][0] * rhs.x + m_aM[0][1] * rhs.y,
                             m_aM[1][0] * rhs.x + m_aM[1][1] * rhs.y);
    ApplyPair(b1, b2, m_vR1, m_vR2, impulse);
    m_vP += impulse;
}

unsigned long CZanPhysicsEngine::CreateJoint(CZanObject* first, CZanObject* second,
                                             const CZanVector& anchor, float carry)
{
    if (!first || !second)
        return 0;
    CZanJoint* joint = new CZanJoint();
    joint->m_nID = s_nNextJointID++;
    joint->m_pBody1 = first->GetBody();
    joint->m_pBody2 = second->GetBody();
    joint->m_nBody1ID = first->GetID();
    joint->m_nBody2ID = second->GetID();
    joint->m_vLocalAnchor1 = Rot(joint->m_pBody1->m_fRot).MulT(anchor - joint->m_pBody1->m_vPos);
    joint->m_vLocalAnchor2 = Rot(joint->m_pBody2->m_fRot).MulT(anchor - joint->m_pBody2->m_vPos);
    joint->m_vP = CZanVector(0.0f, 0.0f);
    joint->m_fCarry = carry;
    joint->m_bActive = true;
    joint->m_bLive = false;
    joint->m_pBody1->m_bWake = true;
    joint->m_pBody2->m_bWake = true;
    m_mapJoints[joint->m_nID] = joint;
    return joint->m_nID;
}

void CZanPhysicsEngine::SetJointActive(unsigned long id, bool active)
{
    auto it = m_mapJoints.find(id);
    if (it == m_mapJoints.end())
        return;
    it->second->m_bActive = active;
    WakeJointBodies(it->second);
}

// A joint switched or removed changes what holds its bodies. Only bodies still registered are
// touched: a body that left the world may already be deleted.
void CZanPhysicsEngine::WakeJointBodies(CZanJoint* j)
{
    if (GetBody(j->m_nBody1ID) == j->m_pBody1)
        j->m_pBody1->m_bWake = true;
    if (GetBody(j->m_nBody2ID) == j->m_pBody2)
        j->m_pBody2->m_bWake = true;
}

void CZanPhysicsEngine::RemoveJoint(unsigned long id)
{
    auto it = m_mapJoints.find(id);
    if (it == m_mapJoints.end())
        return;
    WakeJointBodies(it->second);
    delete it->second;
    m_mapJoints.erase(it);
}

const CZanJoint* CZanPhysicsEngine::GetJoint(unsigned long id) const
{
    auto it = m_mapJoints.find(id);
    return it == m_mapJoints.end() ? nullptr : it->second;
}
