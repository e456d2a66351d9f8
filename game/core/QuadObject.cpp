#include "core/QuadObject.h"

CQuadObject::CQuadObject(float width, float height)
    : CZanObject(width, height), m_pQuad(new CZanQuad(width, height))
{
    SetGeometry(m_pQuad);
    if (CZanEngine* engine = CZanEngine::Instance())
        engine->AddObject(this);
}

CQuadObject::~CQuadObject()
{
    if (CZanEngine* engine = CZanEngine::Instance())
        engine->RemoveObject(this);
    SetGeometry(nullptr);
    delete m_pQuad;
}
