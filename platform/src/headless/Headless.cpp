// The headless backend: a virtual clock and injected input.
#include "Keymap.h"
#include "Platform.h"
#include "ZanHeadless.h"

namespace
{
bool g_enabled = false;
uint64_t g_micros = 0;
void (*g_onFrame)(void*) = nullptr;
void* g_onFrameUser = nullptr;
bool g_inFrameHook = false;
POINT g_cursor{0, 0}; // client coordinates of the main window
} // namespace

namespace zan::headless
{
uint64_t NowMicros()
{
    return g_micros;
}

void Sleep(DWORD ms)
{
    g_micros += uint64_t(ms) * 1000u;
    // Each pass of the frame loop ends in a Sleep; that is the test's turn to act.
    if (g_onFrame && !g_inFrameHook)
    {
        g_inFrameHook = true;
        g_onFrame(g_onFrameUser);
        g_inFrameHook = false;
    }
}

POINT CursorScreen()
{
    POINT p = g_cursor;
    if (ZanWindow* w = ZanWindowFromHandle(ZanMainWindow()))
    {
        p.x = LONG(w->x + w->offsetX + p.x * w->scaleX);
        p.y = LONG(w->y + w->offsetY + p.y * w->scaleY);
    }
    return p;
}
} // namespace zan::headless

extern "C"
{

    void ZanHeadlessEnable(void)
    {
        g_enabled = true;
        g_cursor = {0, 0};
        ZanInputReset();
        ZanPadsForget();
    }

    int ZanHeadlessEnabled(void)
    {
        return g_enabled ? 1 : 0;
    }

    void ZanHeadlessOnFrame(void (*fn)(void*), void* user)
    {
        g_onFrame = fn;
        g_onFrameUser = user;
    }

    void ZanHeadlessAdvance(unsigned ms)
    {
        g_micros += uint64_t(ms) * 1000u;
    }

    unsigned ZanHeadlessNow(void)
    {
        return unsigned(g_micros / 1000u);
    }

    void ZanHeadlessKey(int dik, int down)
    {
        ZanInputKey(dik, down != 0);
        // What a keyboard layout would type for the key, as the desktop's text input does.
        if (down)
            if (const char c = ZanDikToAscii(dik))
                ZanInputText(std::string(1, c));
    }

    void ZanHeadlessMouseMove(int x, int y)
    {
        const int dx = x - g_cursor.x, dy = y - g_cursor.y;
        g_cursor = {x, y};
        ZanInputMouseMotion(dx, dy);
    }

    void ZanHeadlessMouseWheel(int delta)
    {
        ZanInputMouseWheel(delta);
    }

    void ZanHeadlessMouseButton(int button, int down)
    {
        ZanInputMouseButton(button, down != 0);
    }

    void ZanHeadlessFocus(int active)
    {
        ZanInputFocus(active != 0);
    }

    void ZanHeadlessClose(void)
    {
        ZanInputClose();
    }

    void ZanHeadlessPadConnect(int pad, int on)
    {
        ZanPadConnect(pad, on != 0);
    }

    void ZanHeadlessPadButton(int pad, int button, int down)
    {
        ZanPadButton(pad, button, down != 0);
    }

    void ZanHeadlessPadAxis(int pad, int axis, int value)
    {
        ZanPadAxis(pad, axis, value);
    }
}
