// Placeholder manager: knows no resources until the resource subsystem lands.
#include "Zan/ZanResource.h"

namespace
{
CZanResourceMgr* s_pInstance = nullptr;
int s_nUseCount = 0;
} // namespace

CZanResourceMgr* KovResourceCreate()
{
    if (!s_pInstance)
        s_pInstance = new CZanResourceMgr;
    ++s_nUseCount;
    return s_pInstance;
}

CZanResourceMgr* CZanResourceMgr::Instance()
{
    return s_pInstance;
}

void CZanResourceMgr::Release()
{
    if (--s_nUseCount > 0)
        return;
    delete s_pInstance;
    s_pInstance = nullptr;
}

bool CZanResourceMgr::InitDefaults()
{
    return true;
}

bool CZanResourceMgr::Load(const char*)
{
    return false;
}

void CZanResourceMgr::Clear() {}
