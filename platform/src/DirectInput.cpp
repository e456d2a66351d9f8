// The DirectInput 8 stand-in and the input entry point of both backends.
//
// Backends report physical events through ZanInput*; each event updates the polled state,
// lands in the event buffer of every acquired buffered device, and is posted to the main
// window as a message.
#include "Keymap.h"
#include "Platform.h"
#include "ZanDInput.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <vector>

const GUID GUID_SysKeyboard = {
    0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const GUID GUID_SysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const GUID IID_IDirectInput8A = {
    0xBF798030, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};
const GUID DIPROP_BUFFERSIZE_GUID = {1, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT), 16, 2, 256, 256};
const DIDATAFORMAT c_dfDIMouse2 = {sizeof(DIDATAFORMAT), 16, 2, sizeof(DIMOUSESTATE2), 11};

namespace
{
constexpr DWORD kMaxBufferSize = 1024;

bool SameGuid(REFGUID a, REFGUID b)
{
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

// The physical state both backends keep up to date.
struct InputState
{
    BYTE keys[256] = {};
    BYTE buttons[8] = {};
    // Presses not yet seen by a state read. A key or button tapped and released between two
    // reads (between two frames, or before the first) still shows as down in the next read.
    BYTE tappedKeys[256] = {};
    BYTE tappedButtons[8] = {};
    LONG dx = 0, dy = 0, dz = 0; // movement since the mouse state was last read
    DWORD sequence = 0;
} g_state;

// Who holds each key down, one bit per holder: the keyboard (bit 0) and the gamepads.
BYTE g_holders[256] = {};
// Presses not yet seen by GetAsyncKeyState, apart from the devices' own.
bool g_asyncTapped[256] = {};

class Device;
std::vector<Device*> g_devices;

class Device final : public IDirectInputDevice8A
{
public:
    explicit Device(bool keyboard) : m_keyboard(keyboard) { g_devices.push_back(this); }

    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT SetDataFormat(const DIDATAFORMAT* format) override
    {
        const DIDATAFORMAT* expected = m_keyboard ? &c_dfDIKeyboard : &c_dfDIMouse2;
        if (!format || format->dwDataSize != expected->dwDataSize)
            return DIERR_INVALIDPARAM;
        m_formatSet = true;
        return DI_OK;
    }

    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override
    {
        const bool oneAccess = !(flags & DISCL_EXCLUSIVE) != !(flags & DISCL_NONEXCLUSIVE);
        const bool oneGround = !(flags & DISCL_FOREGROUND) != !(flags & DISCL_BACKGROUND);
        if (!oneAccess || !oneGround || !ZanWindowFromHandle(window))
            return DIERR_INVALIDPARAM;
        m_window = window;
        m_foreground = (flags & DISCL_FOREGROUND) != 0;
        return DI_OK;
    }

    HRESULT SetProperty(REFGUID property, const DIPROPHEADER* header) override
    {
        if (!SameGuid(property, DIPROP_BUFFERSIZE) || !header || header->dwHow != DIPH_DEVICE ||
            header->dwSize != sizeof(DIPROPDWORD))
            return DIERR_INVALIDPARAM;
        const DWORD size = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
        if (size > kMaxBufferSize)
            return DIERR_INVALIDPARAM;
        m_bufferSize = size;
        m_buffer.clear();
        return DI_OK;
    }

    HRESULT Acquire() override
    {
        if (!m_formatSet)
            return DIERR_INVALIDPARAM;
        if (m_foreground)
        {
            ZanWindow* w = ZanWindowFromHandle(m_window);
            if (!w || !w->focused)
                return DIERR_OTHERAPPHASPRIO;
        }
        if (m_acquired)
            return S_FALSE;
        m_acquired = true;
        return DI_OK;
    }

    HRESULT Unacquire() override
    {
        if (!m_acquired)
            return S_FALSE;
        m_acquired = false;
        return DI_OK;
    }

    HRESULT GetDeviceState(DWORD size, void* data) override
    {
        if (!data)
            return DIERR_INVALIDPARAM;
        if (!m_acquired)
            return DIERR_NOTACQUIRED;
        if (m_keyboard)
        {
            if (size != sizeof g_state.keys)
                return DIERR_INVALIDPARAM;
            BYTE* keys = static_cast<BYTE*>(data);
            for (size_t i = 0; i < sizeof g_state.keys; ++i)
                keys[i] = g_state.keys[i] | g_state.tappedKeys[i];
            std::memset(g_state.tappedKeys, 0, sizeof g_state.tappedKeys);
            return DI_OK;
        }
        if (size != sizeof(DIMOUSESTATE2))
            return DIERR_INVALIDPARAM;
        DIMOUSESTATE2 state{g_state.dx, g_state.dy, g_state.dz, {}};
        for (size_t i = 0; i < sizeof g_state.buttons; ++i)
            state.rgbButtons[i] = g_state.buttons[i] | g_state.tappedButtons[i];
        std::memset(g_state.tappedButtons, 0, sizeof g_state.tappedButtons);
        std::memcpy(data, &state, sizeof state);
        g_state.dx = g_state.dy = g_state.dz = 0;
        return DI_OK;
    }

    HRESULT GetDeviceData(DWORD objectSize, DIDEVICEOBJECTDATA* records, DWORD* count,
                          DWORD flags) override
    {
        if (!count || objectSize != sizeof(DIDEVICEOBJECTDATA))
            return DIERR_INVALIDPARAM;
        if (!m_acquired)
            return DIERR_NOTACQUIRED;
        if (m_bufferSize == 0)
            return DIERR_INVALIDPARAM;
        const DWORD n = std::min<DWORD>(*count, DWORD(m_buffer.size()));
        if (records)
            std::copy(m_buffer.begin(), m_buffer.begin() + n, records);
        if (!(flags & DIGDD_PEEK))
            m_buffer.erase(m_buffer.begin(), m_buffer.begin() + n);
        *count = n;
        const bool overflowed = m_overflow;
        if (!(flags & DIGDD_PEEK))
            m_overflow = false;
        return overflowed ? DI_BUFFEROVERFLOW : DI_OK;
    }

    // An event of this device's kind; kept only while acquired and buffered. A full buffer
    // keeps its oldest events and reports the loss with the next read.
    void Record(bool keyboardEvent, DWORD offset, DWORD data)
    {
        if (keyboardEvent != m_keyboard || !m_acquired || m_bufferSize == 0)
            return;
        if (m_buffer.size() >= m_bufferSize)
        {
            m_overflow = true;
            return;
        }
        m_buffer.push_back({offset, data, GetTickCount(), g_state.sequence, 0});
    }

    void FocusLost()
    {
        if (m_foreground)
            m_acquired = false;
    }

private:
    ~Device() override { g_devices.erase(std::find(g_devices.begin(), g_devices.end(), this)); }

    const bool m_keyboard;
    ULONG m_refs = 1;
    bool m_formatSet = false;
    bool m_foreground = false;
    bool m_acquired = false;
    HWND m_window = nullptr;
    DWORD m_bufferSize = 0;
    std::deque<DIDEVICEOBJECTDATA> m_buffer;
    bool m_overflow = false;
};

class DirectInput final : public IDirectInput8A
{
public:
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT CreateDevice(REFGUID device, LPDIRECTINPUTDEVICE8A* out, void*) override
    {
        if (!out)
            return DIERR_INVALIDPARAM;
        *out = nullptr;
        if (SameGuid(device, GUID_SysKeyboard))
            *out = new Device(true);
        else if (SameGuid(device, GUID_SysMouse))
            *out = new Device(false);
        else
            return DIERR_DEVICENOTREG;
        return DI_OK;
    }

private:
    ULONG m_refs = 1;
};

void Record(bool keyboard, DWORD offset, DWORD data)
{
    ++g_state.sequence;
    for (Device* d : g_devices)
        d->Record(keyboard, offset, data);
}

void PostToMain(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (HWND main = ZanMainWindow())
        PostMessageA(main, message, wParam, lParam);
}
} // namespace

HRESULT DirectInput8Create(HINSTANCE instance, DWORD version, REFIID iid, void** out, void*)
{
    if (!out)
        return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (!instance || version != DIRECTINPUT_VERSION || !SameGuid(iid, IID_IDirectInput8A))
        return DIERR_INVALIDPARAM;
    *out = static_cast<IDirectInput8A*>(new DirectInput);
    return DI_OK;
}

void ZanInputKey(int dik, bool down)
{
    if (dik <= 0 || dik > 255)
        return;
    // Alt+Enter belongs to the window, as on the desktop the game came from: neither press
    // nor release of that Enter reaches the game.
    static bool s_taken[256] = {};
    if (s_taken[dik])
    {
        if (!down)
            s_taken[dik] = false;
        return;
    }
    const bool alt = ((g_holders[DIK_LMENU] | g_holders[DIK_RMENU]) & 1) != 0;
    if (down && alt && (dik == DIK_RETURN || dik == DIK_NUMPADENTER) && !(g_holders[dik] & 1))
    {
        s_taken[dik] = true;
        ZanToggleFullScreen();
        return;
    }
    ZanInputKeyFrom(0, dik, down);
}

void ZanInputKeyFrom(int holder, int dik, bool down)
{
    if (dik <= 0 || dik > 255 || holder < 0 || holder > 7)
        return;
    const BYTE bit = BYTE(1u << holder);
    const BYTE before = g_holders[dik];
    g_holders[dik] = down ? BYTE(before | bit) : BYTE(before & ~bit);
    // A key another holder keeps down stays down; only the keyboard's own repeats show.
    const bool repeat = down && (before & bit);
    if (down ? before != 0 && !repeat : g_holders[dik] != 0)
        return;
    if (!repeat)
    {
        g_state.keys[dik] = down ? 0x80 : 0;
        if (down)
            g_state.tappedKeys[dik] = 0x80;
        g_asyncTapped[dik] = g_asyncTapped[dik] || down;
        Record(true, DWORD(dik), down ? 0x80 : 0);
    }
    // lParam as Windows builds it: repeat count, scan code, previous state, transition.
    LPARAM lParam = 1 | (LPARAM(dik & 0xFF) << 16);
    if (repeat || !down)
        lParam |= LPARAM(1) << 30;
    if (!down)
        lParam |= LPARAM(1) << 31;
    if (const int vk = ZanDikToVk(dik))
        PostToMain(down ? WM_KEYDOWN : WM_KEYUP, WPARAM(vk), lParam);
}

void ZanInputReset()
{
    const DWORD sequence = g_state.sequence; // buffered devices number their events by it
    g_state = InputState{};
    g_state.sequence = sequence;
    std::memset(g_holders, 0, sizeof g_holders);
    std::memset(g_asyncTapped, 0, sizeof g_asyncTapped);
}

short GetAsyncKeyState(int vk)
{
    int state = 0;
    for (int dik = 1; dik < 256; ++dik)
        if (vk != 0 && ZanDikToVk(dik) == vk)
        {
            state |= g_state.keys[dik] ? 0x8000 : 0;
            state |= g_asyncTapped[dik] ? 0x0001 : 0;
            g_asyncTapped[dik] = false;
        }
    return short(state);
}

void ZanInputText(const std::string& gbk)
{
    for (unsigned char c : gbk)
        PostToMain(WM_CHAR, WPARAM(c), 1);
}

void ZanInputMouseMotion(int dx, int dy)
{
    g_state.dx += dx;
    g_state.dy += dy;
    if (dx)
        Record(false, DIMOFS_X, DWORD(dx));
    if (dy)
        Record(false, DIMOFS_Y, DWORD(dy));
}

void ZanInputMouseWheel(int dz)
{
    g_state.dz += dz;
    if (dz)
        Record(false, DIMOFS_Z, DWORD(dz));
}

void ZanInputMouseButton(int button, bool down)
{
    if (button < 0 || button > 7)
        return;
    g_state.buttons[button] = down ? 0x80 : 0;
    if (down)
        g_state.tappedButtons[button] = 0x80;
    Record(false, DWORD(DIMOFS_BUTTON0 + button), down ? 0x80 : 0);
}

void ZanInputFocus(bool active)
{
    if (ZanWindow* w = ZanWindowFromHandle(ZanMainWindow()))
        w->focused = active;
    if (!active)
    {
        // Presses that were meant for us before the switch are not replayed on return.
        std::memset(g_state.tappedKeys, 0, sizeof g_state.tappedKeys);
        std::memset(g_state.tappedButtons, 0, sizeof g_state.tappedButtons);
        for (Device* d : g_devices)
            d->FocusLost();
        ZanPadsLetGo();
    }
    PostToMain(WM_ACTIVATEAPP, active ? 1 : 0, 0);
}

void ZanInputClose()
{
    PostToMain(WM_SYSCOMMAND, SC_CLOSE, 0);
}
