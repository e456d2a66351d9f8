// State shared inside the platform layer: the window table, the message queue and the input
// devices, fed by whichever backend runs. Not installed; engine and game never see it.
#pragma once

#include "ZanWin32.h"

#include <string>

struct SDL_Window;

struct ZanWindow
{
    std::string className;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    int x = 0, y = 0;             // client origin in screen coordinates
    int clientW = 0, clientH = 0; // client size in pixels
    bool visible = false;
    bool focused = true;
    SDL_Window* sdl = nullptr; // desktop backend only
    // Where the client picture appears inside the native window when the graphics device
    // scales it (full screen): native = offset + client * scale.
    float scaleX = 1.0f, scaleY = 1.0f;
    int offsetX = 0, offsetY = 0;
    // Shown full screen: set by the graphics device's parameters, toggled by Alt+Enter. The
    // client origin it had as a window comes back with the window.
    bool fullScreen = false;
    int windowedX = 0, windowedY = 0;
};

// Window table. A handle stays invalid forever once its window is destroyed.
ZanWindow* ZanWindowFromHandle(HWND window);
HWND ZanMainWindow(); // the oldest live window, or null

bool ZanIsHeadless();

// Input entering from a backend: updates the DirectInput devices and posts the window
// messages, identically for both backends.
void ZanInputKey(int dik, bool down); // the keyboard
// A key pressed or released by one of several holders (0 the keyboard, 1 and up the pads): it
// goes down with the first holder and up when the last lets go.
void ZanInputKeyFrom(int holder, int dik, bool down);
void ZanInputText(const std::string& gbk); // WM_CHAR for every byte
void ZanInputMouseMotion(int dx, int dy);
void ZanInputMouseWheel(int dz);
void ZanInputMouseButton(int button, bool down);
void ZanInputFocus(bool active); // WM_ACTIVATEAPP and the window's focus
void ZanInputClose();            // WM_SYSCOMMAND / SC_CLOSE
// Forgets every key and button held and any motion not yet read, without messages: a new
// headless session starts with nothing held, whatever the previous one left down.
void ZanInputReset();

// Gamepads, identified by the backend's own number; buttons and axes as ZanHeadless.h numbers
// them. They reach the engine as keys (Gamepad.cpp).
void ZanPadConnect(int id, bool on);
void ZanPadButton(int id, int button, bool down);
void ZanPadAxis(int id, int axis, int value);
void ZanPadsLetGo();  // focus lost
void ZanPadsForget(); // every pad let go and gone (a fresh headless run)

// Switches a window between full screen and a window; the graphics device shows the change
// with its next frame. Toggle acts on the main window (Alt+Enter).
void ZanSetFullScreen(ZanWindow& window, bool full);
void ZanToggleFullScreen();

// Desktop backend (SDL2).
namespace zan::desktop
{
bool EnsureVideo();
bool CreateNative(ZanWindow& window, const char* title);
void DestroyNative(ZanWindow& window);
void ShowNative(ZanWindow& window, bool show);
void PumpEvents();
bool ScreenSize(int* width, int* height);
bool CursorPos(POINT* point);
int ShowCursor(bool show);
bool MessageBox(const char* text, const char* caption);
void SetIcon(ZanWindow& window, HICON icon);
} // namespace zan::desktop

// Headless backend.
namespace zan::headless
{
uint64_t NowMicros();
void Sleep(DWORD ms);
POINT CursorScreen();
} // namespace zan::headless

// Icons loaded by LoadIconA (an image file named after the resource).
struct ZanIconImage
{
    int width = 0, height = 0;
    std::string rgba;
};
const ZanIconImage* ZanIconFromHandle(HICON icon);
