// CQuadObject, the base of every game object: the map's scenery and the actors alike.
#pragma once

#include "ZanEngine.h"

/// An engine object with a quad body of a given size. Construction registers it with the
/// engine (and so its body with the physics world); destruction unregisters it.
class CQuadObject : public CZanObject
{
public:
    CQuadObject(float width, float height);
    ~CQuadObject() override;

    bool OnEngineMessage(CPacket_Read*) override { return true; }
    bool OnObjectMessage(unsigned long, CPacket_Read*) override { return true; }

    CZanQuad* GetQuad() const { return m_pQuad; }

protected:
    CZanQuad* m_pQuad;
};
