// What the headless Direct3D device presented last. Nothing is drawn yet.
#include "ZanHeadless.h"

extern "C" {

unsigned ZanHeadlessDrawCalls(void)
{
    return 0;
}

const unsigned* ZanHeadlessFrame(int* width, int* height)
{
    if (width)
        *width = 0;
    if (height)
        *height = 0;
    return nullptr;
}
}
