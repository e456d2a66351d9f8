// What the Direct3D device presented last: its draw calls and its picture.
#include "ZanD3D9Record.h"
#include "ZanHeadless.h"

extern "C"
{

    unsigned ZanHeadlessDrawCalls(void)
    {
        const ZanD3DFrameRecord* frame = ZanD3DLastFrame();
        return frame ? frame->drawCalls : 0;
    }

    const unsigned* ZanHeadlessFrame(int* width, int* height)
    {
        return ZanD3DLastFramePixels(width, height);
    }
}
