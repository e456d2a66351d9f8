/// \file
/// CGameBase: the base of a game's one game object.
#pragma once

#include "ZanWin32.h"

class CPacket_Read;
class CZanString;
template <class T> class CZanResPtr;

/// A game derives its game object from this class and attaches it with CZanEngine::LoadGame.
/// The engine keeps a non-owning pointer; the destructor detaches the game from the engine.
/// Window messages arrive in MsgProc; polled keyboard and mouse state becomes key and button
/// hooks through ProcInput. Escape (on release) quits, F1 toggles the frame-rate text.
class CGameBase
{
public:
    /// Window title "赞安游戏引擎", 800 x 600, full screen, inactive; nothing is created
    /// until Init.
    CGameBase();
    /// Releases the frame-rate text and detaches the game from the engine, so the engine
    /// never calls a destroyed game.
    virtual ~CGameBase();

    /// Handles the main window's messages; returns 0 except where the message says otherwise.
    virtual LRESULT MsgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // The frame, in the order the loop calls the hooks: input, physics, PreFrameUpdate,
    // message delivery, object updates, FrameUpdate, Render, PostFrameUpdate. The loop does
    // not look at the results.

    /// Before the frame's messages are delivered. The base refreshes the frame-rate text at
    /// most every 0.1 s; an override should call it.
    virtual bool PreFrameUpdate();
    /// The game's own work of the frame, after every registered object has been updated.
    virtual bool FrameUpdate() = 0;
    /// After the frame has been presented.
    virtual bool PostFrameUpdate() = 0;
    /// The application lost the focus: frames stop until it comes back.
    virtual bool OnFocusLost() = 0;
    /// The application has the focus again and the graphics device has been restored.
    virtual bool OnFocusRestored() = 0;
    /// Draws the frame between BeginRender and EndRender; the base draws the render list.
    virtual bool Render();
    /// Called by SystemStart (or by LoadGame when it replaces a game) once the window and the
    /// devices exist: load resources here. The base makes the frame-rate text; an override
    /// should call it first. False stops SystemStart.
    virtual bool Init();
    /// The game is being detached (SystemShutdown, or LoadGame replacing it).
    virtual bool OnShutdown() = 0;
    /// In every frame while the key (a DirectInput key code, DIK_*) is held.
    virtual bool OnKeyDown(int key);
    /// In every frame for every key that is up, 256 calls when none is held.
    virtual bool OnKeyUp(int key);
    /// Once when a key goes up after being seen down. The base quits on Escape and toggles
    /// the frame-rate text on F1; an override should call it to keep that.
    virtual bool OnKeyPress(int key);
    /// In every frame while the mouse button (0 left, 1 right, 2 middle, up to 7) is held.
    virtual bool OnMouseButtonDown(int button);
    /// In every frame for every mouse button that is up.
    virtual bool OnMouseButtonUp(int button);
    /// Once when a mouse button goes up after being seen down: a click.
    virtual bool OnMouseButtonRelease(int button);
    /// A character typed in the window (WM_CHAR).
    virtual bool OnHandleChar(int character);
    /// A window key-down message with its virtual-key code; the base records the key.
    virtual bool OnHandleKeyDown(int vk);
    /// A window key-up message; the base calls OnHandleKeyPress when the key went down first.
    virtual bool OnHandleKeyUp(int vk);
    /// A window key released after it went down in the window.
    virtual bool OnHandleKeyPress(int vk);
    /// A message sent by the engine (sender 0); valid during the call only.
    virtual bool OnEngineMessage(CPacket_Read* message) = 0;
    /// A message sent to the game (id 1) by an object or by the game itself; valid during the
    /// call only.
    virtual bool OnObjectMessage(unsigned long sender, CPacket_Read* message) = 0;
    /// Simulation steps this pass runs (1 by default). A game that replays or plays in
    /// lockstep runs as many as it has inputs for; 0 holds the world still while it draws.
    virtual int SimulationSteps();
    /// Called before each simulation step; returns its length in seconds (by default the
    /// frame timer's length, `frameTime`).
    virtual double BeginSimulationStep(double frameTime);
    /// True while frames must run without the focus too (a match shared with another
    /// program); by default an inactive game runs none.
    virtual bool RunsUnfocused() const { return false; }

    /// The polled key state of a DirectInput key code (always false in buffered mode).
    bool IsKeyDown(int key);

public:
    char* m_szIconName;        ///< icon resource name; null: the default application icon
    char* m_szWindowTitle;     ///< window caption and run-log title
    int m_nWidth;              ///< client width in pixels; cut by SystemInitiate to fit the display
    int m_nHeight;             ///< client height in pixels
    bool m_bWindowed;          ///< false: full screen; set it before SystemInitiate
    bool m_bActive;            ///< frames run only while true
    DWORD m_dwWindowedStyle;   ///< window style for windowed play, written by SystemInitiate
    DWORD m_dwFullScreenStyle; ///< window style for full screen, written by SystemInitiate

protected:
    CZanResPtr<CZanString>* m_pFrameRateText; ///< owned; null before Init
    double m_dLastFrameRateRefresh;           ///< exact time of the last refresh, seconds
    bool m_bShowFrameRate;                    ///< F1 toggles it

private:
    friend class CZanEngine;
    friend class CZanInput;
    CGameBase(const CGameBase&) = delete;
    CGameBase& operator=(const CGameBase&) = delete;

    void FocusChanged(bool active);
    bool ProcInput();

    bool m_abKeys[256];
    bool m_abVirtualKeys[256];
    bool m_abMouseButtons[8];
};
