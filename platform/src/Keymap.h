#pragma once

int ZanScancodeToDik(int scancode); // 0 for keys DirectInput does not know
int ZanDikToVk(int dik);            // 0 when the key has no virtual-key code here
char ZanDikToAscii(int dik);        // the character an unshifted press types, or 0
