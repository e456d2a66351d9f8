#include "core/Flow.h"

#include "ZanEngine.h"

void PostFlowEvent(int event, int level)
{
    CZanEngine* engine = CZanEngine::Instance();
    if (!engine)
        return;
    CPacket_Write w;
    w.WriteBits(uint32_t(event) & 0xFFFF, 16);
    if (level)
        w.WriteBits(uint32_t(level) & 0xFFFF, 16);
    CPacket_Read r(w);
    engine->SendToObject(ZAN_ID_GAME, ZAN_ID_GAME, r);
}
