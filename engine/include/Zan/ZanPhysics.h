// Geometry, rigid bodies and the physics world. (Only the face the engine core calls.)
#pragma once

#include "Zan/ZanMath.h"

class CZanBody;

class CZanPhysicsEngine
{
public:
    /// The world made by KovPhysicsCreate, or null.
    static CZanPhysicsEngine* Instance();
    void Release();
    void SetDamp(float damp);
    void Step(float dt);
    void RemoveAll();
    void AddBody(unsigned long id, CZanBody* body);
    void RemoveBody(unsigned long id);
};

CZanPhysicsEngine* KovPhysicsCreate(CZanVector gravity);
