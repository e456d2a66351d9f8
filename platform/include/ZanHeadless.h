/* Control of the headless backend: a test drives a whole engine run without a display, a
 * sound card or real time. Call ZanHeadlessEnable() before the engine creates its window;
 * from then on windows and messages are plain data, time is a virtual clock that only moves
 * when the test (or the platform's Sleep) advances it, and keys, mouse, focus and the close
 * button are injected here. Injected input reaches the engine exactly as real input does:
 * through the DirectInput stand-in (polled state and buffered events) and window messages. */
#ifndef ZAN_HEADLESS_H
#define ZAN_HEADLESS_H

#ifdef __cplusplus
extern "C"
{
#endif

    void ZanHeadlessEnable(void); /* before the engine creates its window; releases every
                                     injected key and button and forgets injected pads, so
                                     each run starts clean */
    int ZanHeadlessEnabled(void); /* non-zero once enabled */
    void ZanHeadlessOnFrame(void (*fn)(void*), void* user); /* called once per pass of the frame
                                                               loop, from the platform's Sleep */
    void ZanHeadlessAdvance(unsigned ms);                   /* moves the virtual clock */
    unsigned ZanHeadlessNow(void);                          /* virtual milliseconds since enable */
    void ZanHeadlessKey(int dik, int down);                 /* keyboard, DirectInput key code */
    void ZanHeadlessMouseMove(int x, int y);                /* client coordinates */
    void ZanHeadlessMouseWheel(int delta);                  /* wheel movement, 120 per notch */
    void ZanHeadlessMouseButton(int button, int down);      /* buttons 0 to 7 */
    void ZanHeadlessFocus(int active);
    void ZanHeadlessClose(void);         /* the window's close button */
    unsigned ZanHeadlessDrawCalls(void); /* draw calls of the last presented frame */
    const unsigned* ZanHeadlessFrame(int* width, int* height); /* last presented frame, 0xAARRGGBB,
                                                                  row 0 at the top */
    const char* ZanHeadlessLastMessageBox(void); /* text of the latest message box (GBK), or null */

    /* Gamepads, numbered by the caller; they join in the order they connect. Buttons and axes
     * are numbered as SDL's game controllers number them; axis values run from -32768 to
     * 32767. The first pad to join steers player 1 (keys A, D, J), the second player 2 (Left,
     * Right, End), through the same mapping real pads use. */
    enum
    {
        ZAN_PAD_SOUTH = 0,
        ZAN_PAD_DPAD_LEFT = 13,
        ZAN_PAD_DPAD_RIGHT = 14,
        ZAN_PAD_LEFT_X = 0
    };
    void ZanHeadlessPadConnect(int pad, int on);
    void ZanHeadlessPadButton(int pad, int button, int down);
    void ZanHeadlessPadAxis(int pad, int axis, int value);
    int ZanHeadlessFullScreen(void); /* non-zero while the main window shows full screen */

#ifdef __cplusplus
}
#endif

#endif
