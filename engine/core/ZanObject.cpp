// Engine objects: identity and body ownership.
#include "Zan/ZanObject.h"

namespace
{
// Process-wide: ids are never reused, so a stale id can never address a newer object.
uint32_t s_nNextObjectID = 100;
} // namespace

CZanObject::CZanObject(float, float) : m_nID(s_nNextObjectID++), m_pBody(new CZanBody(m_nID)) {}

CZanObject::~CZanObject()
{
    delete m_pBody;
}
