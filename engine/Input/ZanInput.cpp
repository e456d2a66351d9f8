#include "Zan/ZanInput.h"

#include "Zan/ZanCore.h"
#include "Zan/ZanGameBase.h"

#include <cstring>

namespace
{
const char* const kSource = "Input\\ZanInput";
constexpr DWORD kBufferSize = 64;

void Error(const char* message, int line)
{
    if (CZanEngine* engine = CZanEngine::Instance())
        engine->SystemErrorLog(message, kSource, line);
}

void Info(const char* message, int line)
{
    if (CZanEngine* engine = CZanEngine::Instance())
        engine->SystemInfoLog(message, kSource, line);
}

void Warn(const char* message, int line)
{
    if (CZanEngine* engine = CZanEngine::Instance())
        engine->SystemWarnLog(message, kSource, line);
}

template <class... Args> void Console(const char* format, Args... args)
{
    if (CZanEngine* engine = CZanEngine::Instance())
        engine->PrintConsole(format, args...);
}

bool SetBufferSize(IDirectInputDevice8A* device)
{
    DIPROPDWORD property{};
    property.diph.dwSize = sizeof(DIPROPDWORD);
    property.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    property.diph.dwObj = 0;
    property.diph.dwHow = DIPH_DEVICE;
    property.dwData = kBufferSize;
    return SUCCEEDED(device->SetProperty(DIPROP_BUFFERSIZE, &property.diph));
}
} // namespace

CZanInput::CZanInput()
    : m_pDirectInput(nullptr), m_pKeyboard(nullptr), m_pMouse(nullptr), m_MouseState{}, m_aKeys{}
{
    CZanIni ini;
    m_bBuffered = ini.GetInt("输入", "缓冲模式", 0) != 0;
    m_bBufferTrace = ini.GetInt("输入", "缓冲调试", 0) != 0;
}

CZanInput::~CZanInput()
{
    Release();
}

bool CZanInput::Init(HINSTANCE, HWND window)
{
    // The interface belongs to the running program, whatever module handle is passed.
    if (FAILED(DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION,
                                  IID_IDirectInput8A, reinterpret_cast<void**>(&m_pDirectInput),
                                  nullptr)))
    {
        Error("不能创建 DirectInput8 设备", __LINE__);
        return false;
    }
    Info("DirectInput8 设备创建成功", __LINE__);

    if (FAILED(m_pDirectInput->CreateDevice(GUID_SysKeyboard, &m_pKeyboard, nullptr)))
    {
        Error("不能创建键盘设备", __LINE__);
        return false;
    }
    if (FAILED(m_pKeyboard->SetDataFormat(&c_dfDIKeyboard)))
    {
        Warn("设定键盘数据格式失败", __LINE__);
        return false;
    }
    if (FAILED(m_pKeyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND)))
    {
        Warn("设定键盘协作等级失败", __LINE__);
        return false;
    }
    if (m_bBuffered && !SetBufferSize(m_pKeyboard))
        return false;
    AcquireKeyboard();
    Info("键盘设备创建成功", __LINE__);

    if (FAILED(m_pDirectInput->CreateDevice(GUID_SysMouse, &m_pMouse, nullptr)))
    {
        Error("不能创建鼠标设备", __LINE__);
        return false;
    }
    if (FAILED(m_pMouse->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND)))
    {
        Warn("设定鼠标协作等级失败", __LINE__);
        return false;
    }
    if (FAILED(m_pMouse->SetDataFormat(&c_dfDIMouse2)))
    {
        Warn("设定鼠标数据格式失败", __LINE__);
        return false;
    }
    if (m_bBuffered && !SetBufferSize(m_pMouse))
        return false;
    AcquireMouse();
    Info("鼠标设备创建成功", __LINE__);
    return true;
}

void CZanInput::Release()
{
    if (!m_pDirectInput)
        return;
    if (m_pMouse)
    {
        m_pMouse->Unacquire();
        m_pMouse->Release();
        m_pMouse = nullptr;
    }
    Info("鼠标设备释放", __LINE__);
    if (m_pKeyboard)
    {
        m_pKeyboard->Unacquire();
        m_pKeyboard->Release();
        m_pKeyboard = nullptr;
    }
    Info("键盘设备释放", __LINE__);
    m_pDirectInput->Release();
    m_pDirectInput = nullptr;
    Info("DirectInput8 设备释放", __LINE__);
}

bool CZanInput::AcquireKeyboard()
{
    if (!m_pKeyboard || FAILED(m_pKeyboard->Acquire()))
    {
        Warn("键盘不能 Acquire", __LINE__);
        return false;
    }
    return true;
}

bool CZanInput::UnacquireKeyboard()
{
    if (!m_pKeyboard || FAILED(m_pKeyboard->Unacquire()))
    {
        Warn("键盘不能 Unacquire", __LINE__);
        return false;
    }
    return true;
}

bool CZanInput::AcquireMouse()
{
    if (!m_pMouse || FAILED(m_pMouse->Acquire()))
    {
        Warn("鼠标不能 Acquire", __LINE__);
        return false;
    }
    return true;
}

bool CZanInput::UnacquireMouse()
{
    if (!m_pMouse || FAILED(m_pMouse->Unacquire()))
    {
        Warn("鼠标不能 Unacquire", __LINE__);
        return false;
    }
    return true;
}

bool CZanInput::PollKeyboard()
{
    AcquireKeyboard();
    return m_pKeyboard && SUCCEEDED(m_pKeyboard->GetDeviceState(sizeof m_aKeys, m_aKeys));
}

bool CZanInput::PollMouse()
{
    AcquireMouse();
    return m_pMouse && SUCCEEDED(m_pMouse->GetDeviceState(sizeof m_MouseState, &m_MouseState));
}

DWORD CZanInput::ReadDevice(IDirectInputDevice8A* device, DIDEVICEOBJECTDATA* records,
                            const char* overflowText, const char* failText)
{
    std::memset(records, 0, sizeof(DIDEVICEOBJECTDATA) * kBufferSize);
    if (!device)
        return 0;
    DWORD count = kBufferSize;
    HRESULT hr = device->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), records, &count, 0);
    if (hr == DI_BUFFEROVERFLOW)
    {
        Console("%s", overflowText);
        return count;
    }
    if (hr != DI_OK)
    {
        device->Acquire();
        count = kBufferSize;
        hr = device->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), records, &count, 0);
        if (hr != DI_OK && hr != DI_BUFFEROVERFLOW)
        {
            Console("%s", failText);
            return 0;
        }
    }
    return count;
}

void CZanInput::ReadBuffered(CGameBase* game)
{
    DIDEVICEOBJECTDATA records[kBufferSize];
    DWORD n =
        ReadDevice(m_pKeyboard, records, "DINPUT 键盘输入缓冲溢出", "DINPUT 键盘输入数据不能获取");
    for (DWORD i = 0; i < n; ++i)
    {
        if (m_bBufferTrace)
            Console("键盘：按键 %d，事件 %d", int(records[i].dwOfs), int(records[i].dwData));
        if (!game)
            continue;
        const int code = int(records[i].dwOfs);
        if (records[i].dwData)
            game->OnKeyDown(code);
        else
        {
            game->OnKeyUp(code);
            game->OnKeyPress(code);
        }
    }
    n = ReadDevice(m_pMouse, records, "DINPUT 鼠标输入缓冲溢出", "DINPUT 鼠标输入数据不能获取");
    for (DWORD i = 0; i < n; ++i)
    {
        if (m_bBufferTrace)
            Console("鼠标：按键 %d，事件 %d", int(records[i].dwOfs), int(records[i].dwData));
        if (!game)
            continue;
        const int index = int(records[i].dwOfs) - DIMOFS_BUTTON0;
        if (records[i].dwData)
            game->OnMouseButtonDown(index);
        else
        {
            game->OnMouseButtonUp(index);
            game->OnMouseButtonRelease(index);
        }
    }
}
