// Placeholder world: steps nothing until the physics subsystem lands.
#include "Zan/ZanPhysics.h"

namespace
{
CZanPhysicsEngine* s_pInstance = nullptr;
int s_nUseCount = 0;
} // namespace

CZanPhysicsEngine* KovPhysicsCreate(CZanVector)
{
    if (!s_pInstance)
        s_pInstance = new CZanPhysicsEngine;
    ++s_nUseCount;
    return s_pInstance;
}

CZanPhysicsEngine* CZanPhysicsEngine::Instance()
{
    return s_pInstance;
}

void CZanPhysicsEngine::Release()
{
    if (--s_nUseCount > 0)
        return;
    delete s_pInstance;
    s_pInstance = nullptr;
}

void CZanPhysicsEngine::SetDamp(float) {}
void CZanPhysicsEngine::Step(float) {}
void CZanPhysicsEngine::RemoveAll() {}
void CZanPhysicsEngine::AddBody(unsigned long, CZanBody*) {}
void CZanPhysicsEngine::RemoveBody(unsigned long) {}
