// Window classes, windows and the thread's message queue, shared by both backends.
#include "Image.h"
#include "Platform.h"
#include "ZanHeadless.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

namespace
{
struct WindowClass
{
    std::string name;
    WNDPROC proc;
    HICON icon;
};

std::vector<WindowClass> g_classes;
std::vector<std::unique_ptr<ZanWindow>> g_windows; // handle value - 1 indexes this
std::deque<MSG> g_queue;
std::vector<std::unique_ptr<ZanIconImage>> g_icons;
std::string g_lastMessageBox;
int g_cursorCount = 0;

// Our windows are drawn with a fixed 3-pixel frame and a 19-pixel caption.
constexpr int kFixedFrame = 3;
constexpr int kCaption = 19;
constexpr int kHeadlessScreenW = 1024;
constexpr int kHeadlessScreenH = 768;

WindowClass* FindClass(LPCSTR name)
{
    if (!name)
        return nullptr;
    for (auto& c : g_classes)
        if (c.name == name)
            return &c;
    return nullptr;
}

DWORD MessageTime()
{
    return GetTickCount();
}
} // namespace

bool ZanIsHeadless()
{
    return ZanHeadlessEnabled() != 0;
}

ZanWindow* ZanWindowFromHandle(HWND window)
{
    uintptr_t index = reinterpret_cast<uintptr_t>(window);
    if (index == 0 || index > g_windows.size())
        return nullptr;
    return g_windows[index - 1].get();
}

HWND ZanMainWindow()
{
    for (size_t i = 0; i < g_windows.size(); ++i)
        if (g_windows[i])
            return reinterpret_cast<HWND>(i + 1);
    return nullptr;
}

UINT RegisterClassA(const WNDCLASSA* wc)
{
    if (!wc || !wc->lpszClassName || !wc->lpfnWndProc || FindClass(wc->lpszClassName))
        return 0;
    g_classes.push_back({wc->lpszClassName, wc->lpfnWndProc, wc->hIcon});
    return static_cast<UINT>(g_classes.size());
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE)
{
    for (auto it = g_classes.begin(); it != g_classes.end(); ++it)
        if (className && it->name == className)
        {
            g_classes.erase(it);
            return TRUE;
        }
    return FALSE;
}

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width,
                     int height, HWND, HMENU, HINSTANCE, void*)
{
    WindowClass* wc = FindClass(className);
    if (!wc || width <= 0 || height <= 0)
        return nullptr;
    auto window = std::make_unique<ZanWindow>();
    window->className = wc->name;
    window->proc = wc->proc;
    window->style = style;
    const bool framed = (style & WS_CAPTION) == WS_CAPTION;
    const int frame = framed ? kFixedFrame : 0, caption = framed ? kCaption : 0;
    window->x = x + frame;
    window->y = y + frame + caption;
    window->clientW = width - 2 * frame;
    window->clientH = height - 2 * frame - caption;
    if (window->clientW <= 0 || window->clientH <= 0)
        return nullptr;
    window->visible = (style & WS_VISIBLE) != 0;
    if (!ZanIsHeadless())
    {
        if (!zan::desktop::CreateNative(*window, title ? title : ""))
            return nullptr;
        if (wc->icon)
            zan::desktop::SetIcon(*window, wc->icon);
    }
    g_windows.push_back(std::move(window));
    return reinterpret_cast<HWND>(g_windows.size());
}

BOOL ShowWindow(HWND window, int command)
{
    ZanWindow* w = ZanWindowFromHandle(window);
    if (!w)
        return FALSE;
    const bool wasVisible = w->visible;
    w->visible = command != SW_HIDE;
    if (w->sdl)
        zan::desktop::ShowNative(*w, w->visible);
    return wasVisible ? TRUE : FALSE;
}

BOOL IsWindow(HWND window)
{
    return ZanWindowFromHandle(window) ? TRUE : FALSE;
}

BOOL DestroyWindow(HWND window)
{
    ZanWindow* w = ZanWindowFromHandle(window);
    if (!w)
        return FALSE;
    w->proc(window, WM_DESTROY, 0, 0);
    // The procedure may have destroyed the window itself.
    w = ZanWindowFromHandle(window);
    if (!w)
        return TRUE;
    if (w->sdl)
        zan::desktop::DestroyNative(*w);
    g_windows[reinterpret_cast<uintptr_t>(window) - 1].reset();
    return TRUE;
}

BOOL PeekMessageA(MSG* msg, HWND, UINT first, UINT last, UINT remove)
{
    // A filtered look searches past what is queued, so it must not wait for an empty queue
    // to see the newest events.
    const bool filtered = first != 0 || last != 0;
    if ((g_queue.empty() || filtered) && !ZanIsHeadless())
        zan::desktop::PumpEvents();
    auto found = g_queue.begin();
    if (filtered)
        found = std::find_if(g_queue.begin(), g_queue.end(),
                             [&](const MSG& m) { return m.message >= first && m.message <= last; });
    if (found == g_queue.end())
        return FALSE;
    if (msg)
        *msg = *found;
    if (remove & PM_REMOVE)
        g_queue.erase(found);
    return TRUE;
}

// Our backends deliver typed characters as WM_CHAR themselves.
BOOL TranslateMessage(const MSG*)
{
    return FALSE;
}

LRESULT DispatchMessageA(const MSG* msg)
{
    if (!msg)
        return 0;
    ZanWindow* w = ZanWindowFromHandle(msg->hwnd);
    if (!w)
        return 0;
    return w->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    ZanWindow* w = ZanWindowFromHandle(window);
    return w ? w->proc(window, message, wParam, lParam) : 0;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (window && !ZanWindowFromHandle(window))
        return FALSE;
    POINT pt{};
    GetCursorPos(&pt);
    g_queue.push_back({window, message, wParam, lParam, MessageTime(), pt});
    return TRUE;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    if (!ZanWindowFromHandle(window))
        return 0;
    switch (message)
    {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            SendMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    default:
        return 0;
    }
}

void PostQuitMessage(int exitCode)
{
    PostMessageA(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0);
}

BOOL ValidateRect(HWND, const RECT*)
{
    return TRUE;
}

int GetSystemMetrics(int index)
{
    switch (index)
    {
    case SM_CXSCREEN:
    case SM_CYSCREEN:
    {
        int w = kHeadlessScreenW, h = kHeadlessScreenH;
        if (!ZanIsHeadless())
            zan::desktop::ScreenSize(&w, &h);
        return index == SM_CXSCREEN ? w : h;
    }
    case SM_CYCAPTION:
        return kCaption;
    case SM_CXFIXEDFRAME:
    case SM_CYFIXEDFRAME:
        return kFixedFrame;
    default:
        return 0;
    }
}

BOOL GetCursorPos(POINT* point)
{
    if (!point)
        return FALSE;
    if (ZanIsHeadless())
    {
        *point = zan::headless::CursorScreen();
        return TRUE;
    }
    return zan::desktop::CursorPos(point) ? TRUE : FALSE;
}

BOOL ScreenToClient(HWND window, POINT* point)
{
    ZanWindow* w = ZanWindowFromHandle(window);
    if (!w || !point)
        return FALSE;
    point->x = static_cast<LONG>((point->x - w->x - w->offsetX) / w->scaleX);
    point->y = static_cast<LONG>((point->y - w->y - w->offsetY) / w->scaleY);
    return TRUE;
}

int ShowCursor(BOOL show)
{
    g_cursorCount += show ? 1 : -1;
    if (!ZanIsHeadless())
        zan::desktop::ShowCursor(g_cursorCount >= 0);
    return g_cursorCount;
}

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT)
{
    g_lastMessageBox = text ? text : "";
    std::fprintf(stderr, "%s: %s\n", ZanGbkToUtf8(caption ? caption : "").c_str(),
                 ZanGbkToUtf8(g_lastMessageBox).c_str());
    if (!ZanIsHeadless())
        zan::desktop::MessageBox(text ? text : "", caption ? caption : "");
    return IDOK;
}

void ZanSetFullScreen(ZanWindow& window, bool full)
{
    if (window.fullScreen == full)
        return;
    window.fullScreen = full;
    if (full)
    {
        window.windowedX = window.x;
        window.windowedY = window.y;
    }
    else
    {
        window.x = window.windowedX;
        window.y = window.windowedY;
    }
}

void ZanToggleFullScreen()
{
    if (ZanWindow* w = ZanWindowFromHandle(ZanMainWindow()))
        ZanSetFullScreen(*w, !w->fullScreen);
}

int ZanHeadlessFullScreen(void)
{
    const ZanWindow* w = ZanWindowFromHandle(ZanMainWindow());
    return w && w->fullScreen ? 1 : 0;
}

const char* ZanHeadlessLastMessageBox(void)
{
    return g_lastMessageBox.empty() ? nullptr : g_lastMessageBox.c_str();
}

HINSTANCE GetModuleHandleA(LPCSTR)
{
    static char program;
    return reinterpret_cast<HINSTANCE>(&program);
}

namespace
{
// X servers refuse icon data past their request size (a 2048 x 2048 icon ends the program
// with BadLength), and window managers show icons far smaller anyway.
constexpr int kMaxIconSide = 256;

// Shrinks by averaging every source pixel that falls in a target pixel, weighted by alpha so
// transparent pixels lend no colour to the edge; the aspect ratio is kept.
void ShrinkIcon(ZanIconImage& icon)
{
    const int w = icon.width, h = icon.height;
    if (w <= kMaxIconSide && h <= kMaxIconSide)
        return;
    const int side = w > h ? w : h;
    const int tw = std::max(1, int(int64_t(w) * kMaxIconSide / side));
    const int th = std::max(1, int(int64_t(h) * kMaxIconSide / side));
    std::string out(size_t(tw) * th * 4, '\0');
    const auto* src = reinterpret_cast<const uint8_t*>(icon.rgba.data());
    for (int ty = 0; ty < th; ++ty)
        for (int tx = 0; tx < tw; ++tx)
        {
            const int x0 = int(int64_t(tx) * w / tw), x1 = int(int64_t(tx + 1) * w / tw);
            const int y0 = int(int64_t(ty) * h / th), y1 = int(int64_t(ty + 1) * h / th);
            uint64_t sum[4] = {0, 0, 0, 0};
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x)
                {
                    const uint8_t* p = src + (size_t(y) * w + x) * 4;
                    for (int c = 0; c < 3; ++c)
                        sum[c] += uint64_t(p[c]) * p[3];
                    sum[3] += p[3];
                }
            const uint64_t count = uint64_t(x1 - x0) * uint64_t(y1 - y0);
            char* q = &out[(size_t(ty) * tw + tx) * 4];
            for (int c = 0; c < 3; ++c)
                q[c] = char(sum[3] ? (sum[c] + sum[3] / 2) / sum[3] : 0);
            q[3] = char((sum[3] + count / 2) / count);
        }
    icon.width = tw;
    icon.height = th;
    icon.rgba.swap(out);
}
} // namespace

// Icon resources of the program are image files named after the resource in the working
// directory ("IDI_SMALL.png"); the default application icon is no image at all.
HICON LoadIconA(HINSTANCE, LPCSTR name)
{
    if (!name || reinterpret_cast<uintptr_t>(name) < 0x10000)
        return nullptr;
    for (const char* ext : {".png", ".bmp"})
    {
        std::string bytes;
        if (!ZanFileReadAll((std::string(name) + ext).c_str(), kZanImageMaxFileBytes, bytes))
            continue;
        ZanImageHeader header;
        std::vector<uint8_t> rgba;
        if (!ZanImageDecode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), header,
                            rgba))
            continue;
        auto icon = std::make_unique<ZanIconImage>();
        icon->width = header.width;
        icon->height = header.height;
        icon->rgba.assign(rgba.begin(), rgba.end());
        ShrinkIcon(*icon);
        g_icons.push_back(std::move(icon));
        return reinterpret_cast<HICON>(g_icons.size());
    }
    return nullptr;
}

const ZanIconImage* ZanIconFromHandle(HICON icon)
{
    uintptr_t index = reinterpret_cast<uintptr_t>(icon);
    return index == 0 || index > g_icons.size() ? nullptr : g_icons[index - 1].get();
}

HCURSOR LoadCursorA(HINSTANCE, LPCSTR)
{
    return reinterpret_cast<HCURSOR>(uintptr_t(1));
}

HGDIOBJ GetStockObject(int object)
{
    return reinterpret_cast<HGDIOBJ>(uintptr_t(object + 1));
}
