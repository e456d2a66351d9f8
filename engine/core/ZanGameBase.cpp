#include "Zan/ZanGameBase.h"

#include "Zan/ZanCore.h"
#include "Zan/ZanGraphics.h"
#include "Zan/ZanInput.h"
#include "Zan/ZanText.h"
#include "core/EngineGlobals.h"

#include <cstdio>
#include <cstring>

namespace
{
constexpr int kKeyEscape = 0x01;
constexpr int kKeyF1 = 0x3B;
char s_szDefaultTitle[] = "赞安游戏引擎";
} // namespace

CGameBase::CGameBase()
    : m_szIconName(nullptr), m_szWindowTitle(s_szDefaultTitle), m_nWidth(800), m_nHeight(600),
      m_bWindowed(false), m_bActive(false), m_dwWindowedStyle(0), m_dwFullScreenStyle(0),
      m_pFrameRateText(nullptr), m_dLastFrameRateRefresh(0.0), m_bShowFrameRate(false)
{
    std::memset(m_abKeys, 0, sizeof m_abKeys);
    std::memset(m_abVirtualKeys, 0, sizeof m_abVirtualKeys);
    std::memset(m_abMouseButtons, 0, sizeof m_abMouseButtons);
}

CGameBase::~CGameBase()
{
    delete m_pFrameRateText; // releases the text, which leaves the render list
    m_pFrameRateText = nullptr;
    // The engine must never call a destroyed game.
    if (CZanEngine* engine = CZanEngine::Instance())
        if (engine->m_pMainLoop == this)
            engine->m_pMainLoop = nullptr;
}

LRESULT CGameBase::MsgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_DESTROY:
        PostQuitMessage(0);
        break;
    case WM_PAINT:
        ValidateRect(window, nullptr);
        break;
    case WM_SIZE:
        break;
    case WM_ACTIVATEAPP:
        if (g_pGraphics && g_pGraphics->HasDirect3D())
        {
            const bool active = wParam == 1;
            if (active != m_bActive)
                FocusChanged(active);
        }
        break;
    case WM_KEYDOWN:
        OnHandleKeyDown(int(wParam));
        break;
    case WM_KEYUP:
        OnHandleKeyUp(int(wParam));
        break;
    case WM_CHAR:
        OnHandleChar(int(wParam));
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
        {
            m_bActive = false;
            return DefWindowProcA(window, message, wParam, lParam);
        }
        break;
    default:
        break;
    }
    return 0;
}

void CGameBase::FocusChanged(bool active)
{
    m_bActive = active;
    if (active)
    {
        if (g_pInput)
        {
            g_pInput->AcquireKeyboard();
            g_pInput->AcquireMouse();
        }
        if (g_pGraphics && g_pGraphics->Restore())
            OnFocusRestored();
    }
    else
    {
        if (g_pInput)
        {
            g_pInput->UnacquireKeyboard();
            g_pInput->UnacquireMouse();
        }
        OnFocusLost();
    }
}

bool CGameBase::ProcInput()
{
    for (int key = 0; key < 256; ++key)
    {
        if (g_pInput && g_pInput->KeyDown(key))
        {
            m_abKeys[key] = true;
            OnKeyDown(key);
        }
        else
        {
            if (m_abKeys[key])
                OnKeyPress(key);
            m_abKeys[key] = false;
            OnKeyUp(key);
        }
    }
    for (int button = 0; button < 8; ++button)
    {
        if (g_pInput && g_pInput->MouseButtonDown(button))
        {
            m_abMouseButtons[button] = true;
            OnMouseButtonDown(button);
        }
        else
        {
            if (m_abMouseButtons[button])
                OnMouseButtonRelease(button);
            m_abMouseButtons[button] = false;
            OnMouseButtonUp(button);
        }
    }
    return true;
}

bool CGameBase::IsKeyDown(int key)
{
    return key >= 0 && key < 256 && m_abKeys[key];
}

bool CGameBase::PreFrameUpdate()
{
    CZanEngine* engine = CZanEngine::Instance();
    if (engine && engine->GetExactTime() - m_dLastFrameRateRefresh > 0.1)
    {
        if (m_pFrameRateText && m_pFrameRateText->Get())
        {
            char text[64];
            std::snprintf(text, sizeof text, "帧率：%4.3f", double(engine->GetFps()));
            m_pFrameRateText->Get()->SetString(text);
        }
        m_dLastFrameRateRefresh = engine->GetExactTime();
    }
    return true;
}

bool CGameBase::Render()
{
    if (g_pGraphics)
        g_pGraphics->RenderGraphics();
    return true;
}

bool CGameBase::Init()
{
    delete m_pFrameRateText;
    m_pFrameRateText = new CZanResPtr<CZanString>(new CZanString("系统", 100000, 40));
    m_pFrameRateText->Get()->SetVisible(m_bShowFrameRate);
    if (CZanEngine* engine = CZanEngine::Instance())
        m_dLastFrameRateRefresh = engine->GetExactTime();
    return true;
}

int CGameBase::SimulationSteps()
{
    return 1;
}

double CGameBase::BeginSimulationStep(double frameTime)
{
    return frameTime;
}

bool CGameBase::OnKeyDown(int)
{
    return true;
}

bool CGameBase::OnKeyUp(int)
{
    return true;
}

bool CGameBase::OnKeyPress(int key)
{
    if (key == kKeyEscape)
        PostQuitMessage(0);
    else if (key == kKeyF1)
    {
        m_bShowFrameRate = !m_bShowFrameRate;
        if (m_pFrameRateText && m_pFrameRateText->Get())
            m_pFrameRateText->Get()->SetVisible(m_bShowFrameRate);
    }
    return true;
}

bool CGameBase::OnMouseButtonDown(int)
{
    return true;
}

bool CGameBase::OnMouseButtonUp(int)
{
    return true;
}

bool CGameBase::OnMouseButtonRelease(int)
{
    return true;
}

bool CGameBase::OnHandleChar(int)
{
    return true;
}

bool CGameBase::OnHandleKeyDown(int vk)
{
    if (vk >= 0 && vk < 256)
        m_abVirtualKeys[vk] = true;
    return true;
}

bool CGameBase::OnHandleKeyUp(int vk)
{
    if (vk < 0 || vk >= 256)
        return true;
    if (m_abVirtualKeys[vk])
        OnHandleKeyPress(vk);
    m_abVirtualKeys[vk] = false;
    return true;
}

bool CGameBase::OnHandleKeyPress(int)
{
    return true;
}
