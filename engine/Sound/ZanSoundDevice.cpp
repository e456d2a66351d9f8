// Placeholder device: opens nothing until the sound subsystem lands.
#include "Zan/ZanSound.h"

bool CZanSoundDevice::Open()
{
    return true;
}

void CZanSoundDevice::Close() {}
