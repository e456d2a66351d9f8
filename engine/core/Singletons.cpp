// One initialiser makes the three library-load objects, so their order is fixed.
#include "core/EngineGlobals.h"

#include "Zan/ZanGraphics.h"
#include "Zan/ZanInput.h"
#include "Zan/ZanSound.h"

CZanGraphics* g_pGraphics = nullptr;
CZanInput* g_pInput = nullptr;
CZanSoundDevice* g_pSoundDevice = nullptr;

void ZanCreateDevices()
{
    if (!g_pGraphics)
        g_pGraphics = new CZanGraphics;
    if (!g_pInput)
        g_pInput = new CZanInput;
    if (!g_pSoundDevice)
        g_pSoundDevice = new CZanSoundDevice;
}

namespace
{
struct LibraryLoad
{
    LibraryLoad() { ZanCreateDevices(); }
} s_load;
} // namespace
