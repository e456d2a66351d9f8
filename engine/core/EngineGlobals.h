// The library's process-wide objects, made when the library loads (graphics, input, sound,
// in that order) and deleted by the engine's final Release; an engine created after that
// makes them again, so a program can shut the engine down and start it anew.
#pragma once

class CZanInput;
class CZanSoundDevice;

extern CZanInput* g_pInput;
extern CZanSoundDevice* g_pSoundDevice;

// Makes whichever of the three objects is missing, in their load order.
void ZanCreateDevices();
