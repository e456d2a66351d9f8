// One initialiser makes the three library-load objects, so their order is fixed.
#include "core/EngineGlobals.h"

#include "Zan/ZanGraphics.h"
#include "Zan/ZanInput.h"
#include "Zan/ZanSound.h"

CZanGraphics* g_pGraphics = nullptr;
CZanInput* g_pInput = nullptr;
CZanSoundDevice* g_pSoundDevice = nullptr;

namespace
{
struct LibraryLoad
{
    LibraryLoad()
    {
        g_pGraphics = new CZanGraphics;
        g_pInput = new CZanInput;
        g_pSoundDevice = new CZanSoundDevice;
    }
} s_load;
} // namespace
