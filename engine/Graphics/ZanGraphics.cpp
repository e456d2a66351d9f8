// Placeholder device: accepts every call and draws nothing until the graphics subsystem lands.
#include "Zan/ZanGraphics.h"

HRESULT CZanGraphics::InitD3D(HWND, bool, int, int)
{
    m_bDirect3D = true;
    return 0;
}

bool CZanGraphics::Restore()
{
    return true;
}

void CZanGraphics::ClearRender(DWORD) {}
void CZanGraphics::BeginRender() {}
void CZanGraphics::EndRender() {}
void CZanGraphics::RenderGraphics() {}
void CZanGraphics::Release()
{
    m_bDirect3D = false;
}
