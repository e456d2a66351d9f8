// The graphics device and drawables. (Only the face the engine core calls.)
#pragma once

#include "ZanWin32.h"

class CZanGraphics
{
public:
    HRESULT InitD3D(HWND window, bool windowed, int width, int height);
    bool HasDirect3D() const { return m_bDirect3D; }
    bool Restore();
    void ClearRender(DWORD color);
    void BeginRender();
    void EndRender();
    void RenderGraphics();
    void Release();

private:
    bool m_bDirect3D = false;
};

extern CZanGraphics* g_pGraphics;
