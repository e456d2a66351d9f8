// The desktop backend: SDL2 windows, events, cursor and message boxes.
#include "Keymap.h"
#include "Platform.h"
#include "ZanHeadless.h"

#include <SDL.h>
#include <X11/Xlib.h>
#include <csignal>
#include <cstring>
#include <map>
#include <pthread.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace
{
bool g_videoReady = false;
void (*g_displayLost)() = nullptr;

// Xlib ends the process when its connection breaks; the engine says why first.
int OnDisplayLost(Display*)
{
    std::fprintf(stderr, "Skyfloat: the connection to the display was lost\n");
    if (void (*hook)() = g_displayLost)
    {
        g_displayLost = nullptr;
        hook();
    }
    _exit(1);
}
pid_t g_boxOwner = 0; // our process id while a message box is up
std::map<SDL_JoystickID, SDL_GameController*> g_pads;

static_assert(int(ZAN_PAD_SOUTH) == int(SDL_CONTROLLER_BUTTON_A) &&
                  int(ZAN_PAD_DPAD_LEFT) == int(SDL_CONTROLLER_BUTTON_DPAD_LEFT) &&
                  int(ZAN_PAD_DPAD_RIGHT) == int(SDL_CONTROLLER_BUTTON_DPAD_RIGHT) &&
                  int(ZAN_PAD_LEFT_X) == int(SDL_CONTROLLER_AXIS_LEFTX),
              "pads are numbered as SDL numbers them");

// SDL announces every pad present at start-up as added, too.
void PadAdded(int deviceIndex)
{
    SDL_GameController* pad = SDL_GameControllerOpen(deviceIndex);
    if (!pad)
        return;
    const SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad));
    if (!g_pads.emplace(id, pad).second)
    {
        SDL_GameControllerClose(pad); // already open: SDL counts the extra reference
        return;
    }
    ZanPadConnect(int(id), true);
}

void PadRemoved(SDL_JoystickID id)
{
    auto found = g_pads.find(id);
    if (found == g_pads.end())
        return;
    ZanPadConnect(int(id), false);
    SDL_GameControllerClose(found->second);
    g_pads.erase(found);
}

// SDL shows its X11 message box from a forked child. A child that outlived us would keep the
// box on screen with nobody to answer it: it dies with us instead.
void TieBoxChildToOwner()
{
    if (g_boxOwner == 0)
        return;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != g_boxOwner)
        _exit(1); // the owner died before the tie was made
}

int SdlButtonToIndex(Uint8 button)
{
    switch (button)
    {
    case SDL_BUTTON_LEFT:
        return 0;
    case SDL_BUTTON_RIGHT:
        return 1;
    case SDL_BUTTON_MIDDLE:
        return 2;
    case SDL_BUTTON_X1:
        return 3;
    case SDL_BUTTON_X2:
        return 4;
    default:
        return button <= 8 ? button - 1 : -1;
    }
}

void TrackClientOrigin(ZanWindow& w)
{
    if (w.sdl)
        SDL_GetWindowPosition(w.sdl, &w.x, &w.y);
}
} // namespace

void ZanSetDisplayLostHook(void (*hook)())
{
    g_displayLost = hook;
}

namespace zan::desktop
{
bool EnsureVideo()
{
    if (g_videoReady)
        return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
    {
        std::fprintf(stderr,
                     "Skyfloat: cannot open a display (%s). Start it on a desktop, or "
                     "under xvfb-run.\n",
                     SDL_GetError());
        return false;
    }
    g_videoReady = true;
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && std::strcmp(driver, "x11") == 0)
        XSetIOErrorHandler(&OnDisplayLost);
    // Gamepads are welcome but not needed: without them the keyboard plays alone.
    SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER);
    return true;
}

bool CreateNative(ZanWindow& window, const char* title)
{
    if (!EnsureVideo())
        return false;
    Uint32 flags = SDL_WINDOW_OPENGL | (window.visible ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN);
    if ((window.style & WS_CAPTION) != WS_CAPTION)
        flags |= SDL_WINDOW_BORDERLESS;
    // Nothing draws with depth or stencil. Without them a software rasteriser may skip work
    // hidden under opaque draws and take its fast path for window-aligned pictures.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    window.sdl = SDL_CreateWindow(ZanGbkToUtf8(title).c_str(), window.x, window.y, window.clientW,
                                  window.clientH, flags);
    if (!window.sdl)
    {
        std::fprintf(stderr, "Skyfloat: cannot create the window (%s)\n", SDL_GetError());
        return false;
    }
    TrackClientOrigin(window);
    return true;
}

void DestroyNative(ZanWindow& window)
{
    if (window.sdl)
        SDL_DestroyWindow(window.sdl);
    window.sdl = nullptr;
}

void ShowNative(ZanWindow& window, bool show)
{
    if (!window.sdl)
        return;
    if (show)
        SDL_ShowWindow(window.sdl);
    else
        SDL_HideWindow(window.sdl);
}

void SetIcon(ZanWindow& window, HICON icon)
{
    const ZanIconImage* image = ZanIconFromHandle(icon);
    if (!image || !window.sdl)
        return;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<char*>(image->rgba.data()), image->width, image->height, 32, image->width * 4,
        SDL_PIXELFORMAT_RGBA32);
    if (surface)
    {
        SDL_SetWindowIcon(window.sdl, surface);
        SDL_FreeSurface(surface);
    }
}

void PumpEvents()
{
    if (!g_videoReady)
        return;
    SDL_Event e;
    while (SDL_PollEvent(&e))
    {
        switch (e.type)
        {
        case SDL_QUIT:
            ZanInputClose();
            break;
        case SDL_WINDOWEVENT:
        {
            // The engine has one window: every window event concerns it.
            ZanWindow* w = ZanWindowFromHandle(ZanMainWindow());
            switch (e.window.event)
            {
            case SDL_WINDOWEVENT_CLOSE:
                ZanInputClose();
                break;
            case SDL_WINDOWEVENT_FOCUS_GAINED:
                if (w && !w->focused)
                    ZanInputFocus(true);
                break;
            case SDL_WINDOWEVENT_FOCUS_LOST:
                if (w && w->focused)
                    ZanInputFocus(false);
                break;
            case SDL_WINDOWEVENT_EXPOSED:
                if (HWND main = ZanMainWindow())
                    PostMessageA(main, WM_PAINT, 0, 0);
                break;
            case SDL_WINDOWEVENT_MOVED:
                if (w)
                    TrackClientOrigin(*w);
                break;
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                if (HWND main = ZanMainWindow())
                    PostMessageA(
                        main, WM_SIZE, 0,
                        LPARAM((e.window.data2 & 0xFFFF) << 16 | (e.window.data1 & 0xFFFF)));
                break;
            default:
                break;
            }
            break;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP:
        {
            const int dik = ZanScancodeToDik(e.key.keysym.scancode);
            const bool down = e.type == SDL_KEYDOWN;
            ZanInputKey(dik, down);
            // Control characters do not come as text input; letters and digits do.
            const char c = ZanDikToAscii(dik);
            if (down && c && (c < 32 || c == 127))
                ZanInputText(std::string(1, c));
            break;
        }
        case SDL_TEXTINPUT:
            ZanInputText(ZanUtf8ToGbk(e.text.text));
            break;
        case SDL_MOUSEMOTION:
            ZanInputMouseMotion(e.motion.xrel, e.motion.yrel);
            break;
        case SDL_MOUSEWHEEL:
            ZanInputMouseWheel(e.wheel.y * 120);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            ZanInputMouseButton(SdlButtonToIndex(e.button.button), e.type == SDL_MOUSEBUTTONDOWN);
            break;
        case SDL_CONTROLLERDEVICEADDED:
            PadAdded(e.cdevice.which);
            break;
        case SDL_CONTROLLERDEVICEREMOVED:
            PadRemoved(e.cdevice.which);
            break;
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
            ZanPadButton(int(e.cbutton.which), e.cbutton.button,
                         e.type == SDL_CONTROLLERBUTTONDOWN);
            break;
        case SDL_CONTROLLERAXISMOTION:
            ZanPadAxis(int(e.caxis.which), e.caxis.axis, e.caxis.value);
            break;
        default:
            break;
        }
    }
}

bool ScreenSize(int* width, int* height)
{
    SDL_DisplayMode mode;
    if (!EnsureVideo() || SDL_GetCurrentDisplayMode(0, &mode) != 0)
        return false;
    *width = mode.w;
    *height = mode.h;
    return true;
}

bool CursorPos(POINT* point)
{
    if (!g_videoReady)
        return false;
    // Over one of our windows, SDL's own pointer position follows every motion event. The
    // global position is only a fallback: on X11 SDL caches it between raw input events, and
    // pointer moves that bring none (synthetic ones, some remote desktops) leave it stale.
    int x = 0, y = 0;
    if (SDL_Window* over = SDL_GetMouseFocus())
    {
        int wx = 0, wy = 0;
        SDL_GetWindowPosition(over, &wx, &wy);
        SDL_GetMouseState(&x, &y);
        x += wx;
        y += wy;
    }
    else
        SDL_GetGlobalMouseState(&x, &y);
    point->x = x;
    point->y = y;
    return true;
}

int ShowCursor(bool show)
{
    return g_videoReady ? SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE) : 0;
}

bool MessageBox(const char* text, const char* caption)
{
    [[maybe_unused]] static const bool tied =
        pthread_atfork(nullptr, nullptr, &TieBoxChildToOwner) == 0;
    g_boxOwner = getpid();
    // SDL waits for its child, so the box never outlives the call either.
    const bool shown = SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, ZanGbkToUtf8(caption).c_str(),
                                                ZanGbkToUtf8(text).c_str(), nullptr) == 0;
    g_boxOwner = 0;
    return shown;
}
} // namespace zan::desktop
