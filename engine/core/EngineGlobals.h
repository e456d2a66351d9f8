// The library's process-wide objects, made when the library loads (graphics, input, sound,
// in that order) and deleted by the engine's final Release.
#pragma once

class CZanInput;
class CZanSoundDevice;

extern CZanInput* g_pInput;
extern CZanSoundDevice* g_pSoundDevice;
