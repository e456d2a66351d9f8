/// \file
/// CZanInput: the engine's keyboard and mouse, polled or buffered. Games normally take
/// input through the CGameBase hooks instead of calling it.
#pragma once

#include "ZanDInput.h"

class CGameBase;

/// Created when the library loads and reads "Autoexec.cfg" then ([输入] 缓冲模式, 缓冲调试).
/// Polled mode snapshots the keyboard and mouse every frame for CGameBase::ProcInput;
/// buffered mode reads the devices' event buffers and calls the game's hooks itself.
class CZanInput
{
public:
    /// Reads the input settings of "Autoexec.cfg"; opens no device.
    CZanInput();
    /// Releases the devices.
    ~CZanInput();

    /// Creates the DirectInput interface and both devices; false (with its record) on failure.
    bool Init(HINSTANCE instance, HWND window);
    /// Releases both devices and the DirectInput interface; safe to call twice.
    void Release();

    /// Starts reading the keyboard (the window has the focus); false without a device.
    bool AcquireKeyboard();
    /// Stops reading the keyboard (the window lost the focus).
    bool UnacquireKeyboard();
    /// Starts reading the mouse; false without a device.
    bool AcquireMouse();
    /// Stops reading the mouse.
    bool UnacquireMouse();

    /// Acquires the keyboard when needed and snapshots it; false when it cannot be read, and
    /// then the previous snapshot stays.
    bool PollKeyboard();
    /// The same for the mouse buttons and movement.
    bool PollMouse();
    /// Reads up to 64 buffered events per device and hands them to the game's hooks.
    void ReadBuffered(CGameBase* game);

    /// Buffered mode ([输入] 缓冲模式 = 1) instead of polled.
    bool IsBuffered() const { return m_bBuffered; }
    /// The key (DIK_* code; only the low 8 bits count) was down at the latest poll.
    bool KeyDown(int key) const { return (m_aKeys[key & 0xFF] & 0x80) != 0; }
    /// The opposite of KeyDown.
    bool KeyUp(int key) const { return !KeyDown(key); }
    /// The button (0 to 7; only the low 3 bits count) was down at the latest poll.
    bool MouseButtonDown(int button) const
    {
        return (m_MouseState.rgbButtons[button & 7] & 0x80) != 0;
    }
    /// The opposite of MouseButtonDown.
    bool MouseButtonUp(int button) const { return !MouseButtonDown(button); }
    /// Mouse movement along x of the latest poll, in mickeys.
    LONG MouseDX() const { return m_MouseState.lX; }
    /// Mouse movement along y of the latest poll.
    LONG MouseDY() const { return m_MouseState.lY; }
    /// Wheel movement of the latest poll, 120 per notch.
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
