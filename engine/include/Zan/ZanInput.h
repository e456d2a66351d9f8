// CZanInput: the engine's keyboard and mouse, polled or buffered.
#pragma once

#include "ZanDInput.h"

class CGameBase;

/// Created when the library loads and reads "Autoexec.cfg" then ([输入] 缓冲模式, 缓冲调试).
/// Polled mode snapshots the keyboard and mouse every frame for CGameBase::ProcInput;
/// buffered mode reads the devices' event buffers and calls the game's hooks itself.
class CZanInput
{
public:
    CZanInput();
    ~CZanInput();

    /// Creates the DirectInput interface and both devices; false (with its record) on failure.
    bool Init(HINSTANCE instance, HWND window);
    void Release();

    bool AcquireKeyboard();
    bool UnacquireKeyboard();
    bool AcquireMouse();
    bool UnacquireMouse();

    bool PollKeyboard();
    bool PollMouse();
    /// Reads up to 64 buffered events per device and hands them to the game's hooks.
    void ReadBuffered(CGameBase* game);

    bool IsBuffered() const { return m_bBuffered; }
    bool KeyDown(int key) const { return (m_aKeys[key & 0xFF] & 0x80) != 0; }
    bool KeyUp(int key) const { return !KeyDown(key); }
    bool MouseButtonDown(int button) const
    {
        return (m_MouseState.rgbButtons[button & 7] & 0x80) != 0;
    }
    bool MouseButtonUp(int button) const { return !MouseButtonDown(button); }
    /// Mouse movement of the latest poll: x, y and wheel.
    LONG MouseDX() const { return m_MouseState.lX; }
    LONG MouseDY() const { return m_MouseState.lY; }
    LONG MouseDZ() const { return m_MouseState.lZ; }

private:
    CZanInput(const CZanInput&) = delete;
    CZanInput& operator=(const CZanInput&) = delete;

    DWORD ReadDevice(IDirectInputDevice8A* device, DIDEVICEOBJECTDATA* records,
                     const char* overflowText, const char* failText);

    bool m_bBuffered;
    bool m_bBufferTrace;
    IDirectInput8A* m_pDirectInput;
    IDirectInputDevice8A* m_pKeyboard;
    IDirectInputDevice8A* m_pMouse;
    DIMOUSESTATE2 m_MouseState;
    BYTE m_aKeys[256];
};
