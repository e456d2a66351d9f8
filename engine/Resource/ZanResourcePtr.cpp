#include "Zan/ZanResource.h"

int CZanRefCounted::Release()
{
    const int count = --m_nRefCount;
    if (count <= 0)
        delete this;
    return count;
}
