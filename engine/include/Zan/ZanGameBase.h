// CGameBase: the base of a game's one game object.
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
    CGameBase();
    virtual ~CGameBase();

    /// Handles the main window's messages; returns 0 except where the message says otherwise.
    virtual LRESULT MsgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    virtual bool PreFrameUpdate();
    virtual bool FrameUpdate() = 0;
    virtual bool PostFrameUpdate() = 0;
    virtual bool OnFocusLost() = 0;
    virtual bool OnFocusRestored() = 0;
    virtual bool Render();
    virtual bool Init();
    virtual bool OnShutdown() = 0;
    virtual bool OnKeyDown(int key);
    virtual bool OnKeyUp(int key);
    virtual bool OnKeyPress(int key);
    virtual bool OnMouseButtonDown(int button);
    virtual bool OnMouseButtonUp(int button);
    virtual bool OnMouseButtonRelease(int button);
    virtual bool OnHandleChar(int character);
    virtual bool OnHandleKeyDown(int vk);
    virtual bool OnHandleKeyUp(int vk);
    virtual bool OnHandleKeyPress(int vk);
    virtual bool OnEngineMessage(CPacket_Read* message) = 0;
    virtual bool OnObjectMessage(unsigned long sender, CPacket_Read* message) = 0;
    /// Simulation steps this pass runs (1 by default). A game that replays or plays in
    /// lockstep runs as many as it has inputs for; 0 holds the world still while it draws.
    virtual int SimulationSteps();
    /// Called before each simulation step; returns its length in seconds (by default the
    /// frame timer's length, `frameTime`).
    virtual double BeginSimulationStep(double frameTime);

    /// The polled key state of a DirectInput key code (always false in buffered mode).
    bool IsKeyDown(int key);

public:
    char* m_szIconName;    ///< icon resource name; null: the default application icon
    char* m_szWindowTitle; ///< window caption and run-log title
    int m_nWidth;          ///< client width in pixels; cut by SystemInitiate to fit the display
    int m_nHeight;         ///< client height in pixels
    bool m_bWindowed;
    bool m_bActive; ///< frames run only while true
    DWORD m_dwWindowedStyle;
    DWORD m_dwFullScreenStyle;

protected:
    CZanResPtr<CZanString>* m_pFrameRateText;
    double m_dLastFrameRateRefresh;
    bool m_bShowFrameRate;

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
