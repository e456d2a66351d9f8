// One budget for the memory decoded sounds and textures hold: a data file used for every
// picture or sound must not take the machine's memory.
#include "Resource/ZanBudget.h"

#include "Graphics/ZanGraphicsLog.h"
#include "Zan/ZanResource.h"

namespace
{
size_t s_nLimit = size_t(768) << 20;
size_t s_nUsed = 0;
bool s_bWarned = false;
} // namespace

void ZanSetMediaBudget(size_t bytes)
{
    s_nLimit = bytes;
    s_bWarned = false;
}

size_t ZanMediaBytesInUse()
{
    return s_nUsed;
}

bool ZanBudgetTake(size_t bytes, const char* source)
{
    if (bytes <= s_nLimit && s_nUsed <= s_nLimit - bytes)
    {
        s_nUsed += bytes;
        return true;
    }
    if (!s_bWarned)
        ZanLogWarn("声音和纹理的内存已达上限，其余的不再载入", source, __LINE__);
    s_bWarned = true;
    return false;
}

void ZanBudgetGive(size_t bytes)
{
    s_nUsed = bytes < s_nUsed ? s_nUsed - bytes : 0;
}
