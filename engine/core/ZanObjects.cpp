// Placeholder object registry and message queue until engine objects land.
#include "Zan/ZanCore.h"

bool CZanEngine::AddObject(CZanObject*)
{
    return true;
}

bool CZanEngine::RemoveObject(CZanObject*)
{
    return true;
}

CZanObject* CZanEngine::GetObject(unsigned long)
{
    return nullptr;
}

bool CZanEngine::SendToObject(unsigned long, unsigned long, CPacket_Read&)
{
    return false;
}

void CZanEngine::DeliverMessages() {}
void CZanEngine::UpdateObjects() {}
void CZanEngine::ClearObjects() {}
