// The engine object: start-up, the frame loop, shutdown, time, random numbers and the log.
#include "Zan/ZanCore.h"

#include "Zan/ZanGameBase.h"
#include "Zan/ZanGraphics.h"
#include "Zan/ZanInput.h"
#include "Zan/ZanPhysics.h"
#include "Zan/ZanResource.h"
#include "Zan/ZanSound.h"
#include "core/EngineGlobals.h"
#include "core/ZanLog.h"
#include "core/ZanTimer.h"
#include "Sound/SoundShared.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstring>

namespace
{
const char* const kSource = "ZanEngine";
const char* const kClassName = "KOV__WNDCLASS";
const int kVersion = 9;
// Where a player sets the window size, for messages on standard error (UTF-8).
const char* const kSizeSettings = u8"窗口宽度 and 窗口高度 in section [全局] of Autoexec.cfg";

CZanEngine* s_pEngine = nullptr;
int32_t s_nEngineUses = 0;

// Signals that ask the game to end: the frame loop ends as if the window were closed, and the
// run log says which one came.
constexpr int kStopSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};
volatile sig_atomic_t s_nStopSignal = 0;

constexpr size_t kStopCount = sizeof kStopSignals / sizeof kStopSignals[0];
struct sigaction s_previousStop[kStopCount];
bool s_bStopWatched = false;

void OnStopSignal(int sig)
{
    s_nStopSignal = sig;
}

// From start-up on: a signal that comes while the window opens ends the first frame.
void WatchStopSignals()
{
    if (s_bStopWatched)
        return;
    struct sigaction stop
    {
    };
    stop.sa_handler = &OnStopSignal;
    sigemptyset(&stop.sa_mask);
    for (size_t i = 0; i < kStopCount; ++i)
        sigaction(kStopSignals[i], &stop, &s_previousStop[i]);
    s_bStopWatched = true;
}

void ForgetStopSignals()
{
    if (!s_bStopWatched)
        return;
    for (size_t i = 0; i < kStopCount; ++i)
        sigaction(kStopSignals[i], &s_previousStop[i], nullptr);
    s_bStopWatched = false;
    s_nStopSignal = 0;
}

const char* StopSignalName(int sig)
{
    switch (sig)
    {
    case SIGHUP:
        return "SIGHUP";
    case SIGINT:
        return "SIGINT";
    case SIGQUIT:
        return "SIGQUIT";
    default:
        return "SIGTERM";
    }
}

// The display went away: Xlib ends the process right after this, so the log is closed here.
void OnDisplayLost()
{
    if (CZanEngine* engine = CZanEngine::Instance())
        engine->CloseLogEarly("与显示服务器的连接已断开，游戏结束");
}

// Why a file could not be written in the working directory, in the player's words.
const char* WriteFailure(int error)
{
    switch (error)
    {
    case ENOSPC:
    case EDQUOT:
        return "the disk is full";
    case EROFS:
        return "the folder is on a read-only disk";
    case EACCES:
    case EPERM:
        return "you may not write in this folder";
    default:
        return std::strerror(error);
    }
}

// A client size of 0 or less has no window; one larger than the display is cut to fit, so
// the window, and the back buffer behind it, stay within what can be shown. The player learns
// why on standard error, since such a size comes from their configuration.
bool FitClientSize(CGameBase& game, const char* title)
{
    const std::string name = ZanGbkToUtf8(title);
    if (game.m_nWidth <= 0 || game.m_nHeight <= 0)
    {
        std::fprintf(stderr,
                     "%s: cannot open a window of %d x %d pixels; width and height must be "
                     "positive (%s)\n",
                     name.c_str(), game.m_nWidth, game.m_nHeight, kSizeSettings);
        return false;
    }
    int maxW = GetSystemMetrics(SM_CXSCREEN), maxH = GetSystemMetrics(SM_CYSCREEN);
    if (game.m_bWindowed)
    {
        maxW -= 2 * GetSystemMetrics(SM_CXFIXEDFRAME);
        maxH -= 2 * GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYCAPTION);
    }
    if (maxW <= 0 || maxH <= 0 || (game.m_nWidth <= maxW && game.m_nHeight <= maxH))
        return true;
    const int width = std::min(game.m_nWidth, maxW), height = std::min(game.m_nHeight, maxH);
    std::fprintf(stderr,
                 "%s: a window of %d x %d pixels does not fit the display; using %d x %d (%s)\n",
                 name.c_str(), game.m_nWidth, game.m_nHeight, width, height, kSizeSettings);
    if (CZanEngine* engine = CZanEngine::Instance())
    {
        char text[128];
        std::snprintf(text, sizeof text, "窗体尺寸 %dx%d 超出屏幕，改为 %dx%d", game.m_nWidth,
                      game.m_nHeight, width, height);
        engine->SystemWarnLog(text, kSource, __LINE__);
    }
    game.m_nWidth = width;
    game.m_nHeight = height;
    return true;
}

std::string VFormat(const char* format, va_list args)
{
    char buffer[1024];
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, copy);
    va_end(copy);
    if (n < 0)
        return std::string();
    if (size_t(n) < sizeof buffer)
        return std::string(buffer, size_t(n));
    // Longer than the classic buffer: grow rather than cut.
    std::string out(size_t(n), '\0');
    std::vsnprintf(&out[0], size_t(n) + 1, format, args);
    return out;
}
} // namespace

CZanEngine* KovCreate(int version)
{
    if (version != kVersion)
        return nullptr;
    if (!s_pEngine)
    {
        ZanCreateDevices();
        s_pEngine = new CZanEngine;
    }
    ++s_nEngineUses;
    return s_pEngine;
}

CZanEngine* CZanEngine::Instance()
{
    return s_pEngine;
}

CZanEngine::CZanEngine()
    : m_pMainLoop(nullptr), m_hInstance(nullptr), m_hWnd(nullptr), m_nWindowLeft(0),
      m_nWindowTop(0), m_nWindowRight(0), m_nWindowBottom(0), m_pTimer(nullptr), m_pLog(nullptr),
      m_pRandom(nullptr), m_bInitiated(false), m_bDestroyRender(false), m_bLoadInterrupted(false),
      m_nMsgFill(0)
{
    m_lstMessages.clear();
    m_mapObjects.clear();
    m_pTimer = new CZanTimer(new CZanTimeSource);
    m_hInstance = GetModuleHandleA(nullptr);
    m_pLog = new CZanLog;
    std::memset(m_aMsgData, 0, sizeof m_aMsgData);
}

CZanEngine::~CZanEngine() = default;

bool CZanEngine::LoadGame(CGameBase* game)
{
    if (!game)
        return false;
    if (!m_pMainLoop)
    {
        m_pMainLoop = game;
        return true;
    }
    m_pMainLoop->OnShutdown();
    m_pMainLoop = game;
    if (m_pMainLoop->Init())
        return true;
    SystemErrorLog("SystemStart -> m_pMainLoop 主循环初始化出错", kSource, __LINE__);
    return false;
}

LRESULT CZanEngine::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (s_pEngine && s_pEngine->m_pMainLoop)
        s_pEngine->m_pMainLoop->MsgProc(window, message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

bool CZanEngine::SystemInitiate()
{
    static const char* const kDefaultTitle = "赞安游戏引擎";
    CGameBase* game = m_pMainLoop;
    const char* title = game && game->m_szWindowTitle ? game->m_szWindowTitle : kDefaultTitle;

    SYSTEMTIME now{};
    GetLocalTime(&now);
    // The game runs on without its log; the player learns why nothing is recorded.
    errno = 0;
    if (!m_pLog->Open("运行日志.htm", title))
        std::fprintf(stderr,
                     "%s: cannot write the run log %s in the working directory (%s); running "
                     "without it\n",
                     ZanGbkToUtf8(title).c_str(), ZanNativePath("运行日志.htm").c_str(),
                     WriteFailure(errno));
    ZanSetDisplayLostHook(&OnDisplayLost);
    WatchStopSignals();
    m_pLog->TableStart();

    SystemLog("KOV 引擎启动..");
    SystemLog("KOV 版本: %X.%X", 0, kVersion);
    SystemLog("当前时间: %02d年%02d月%d日%02d时%02d分%02d秒", now.wYear, now.wMonth, now.wDay,
              now.wHour, now.wMinute, now.wSecond);
    SystemLog("应用程序名: %s", title);
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    SystemLog("操作系统: Windows %ld.%ld.%ld", long(version.dwMajorVersion),
              long(version.dwMinorVersion), long(version.dwBuildNumber));
    MEMORYSTATUS memory{};
    GlobalMemoryStatus(&memory);
    SystemLog("内存: 共有 %ldK，空闲 %ldK", long(memory.dwTotalPhys >> 10),
              long(memory.dwAvailPhys >> 10));

    if (!game)
    {
        // Nothing to show a window for; the frame loop refuses to run as well.
        SystemErrorLog("SystemStart -> m_pMainLoop 主循环为空", kSource, __LINE__);
        return false;
    }

    WNDCLASSA wc{};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
    wc.lpfnWndProc = &CZanEngine::WindowProc;
    wc.hInstance = m_hInstance;
    wc.hIcon = game->m_szIconName ? LoadIconA(m_hInstance, game->m_szIconName)
                                  : LoadIconA(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = kClassName;
    if (!RegisterClassA(&wc))
    {
        SystemErrorLog("不能注册 window 类", kSource, __LINE__);
        return false;
    }
    SystemInfoLog("window 类注册成功", kSource, __LINE__);

    if (!FitClientSize(*game, title))
    {
        SystemErrorLog("不能创建窗体", kSource, __LINE__);
        return false;
    }
    const int outerW = game->m_nWidth + 2 * GetSystemMetrics(SM_CXFIXEDFRAME);
    const int outerH =
        game->m_nHeight + 2 * GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYCAPTION);
    const int left = (GetSystemMetrics(SM_CXSCREEN) - outerW) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - outerH) / 2;
    m_nWindowLeft = left;
    m_nWindowTop = top;
    m_nWindowRight = left + outerW;
    m_nWindowBottom = top + outerH;
    game->m_dwWindowedStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    game->m_dwFullScreenStyle = WS_POPUP | WS_VISIBLE;

    if (game->m_bWindowed)
        m_hWnd = CreateWindowExA(0, kClassName, title, game->m_dwWindowedStyle, left, top, outerW,
                                 outerH, nullptr, nullptr, m_hInstance, nullptr);
    else
        m_hWnd = CreateWindowExA(0, kClassName, title, game->m_dwFullScreenStyle, 0, 0, 200, 200,
                                 nullptr, nullptr, m_hInstance, nullptr);
    if (!m_hWnd)
    {
        SystemErrorLog("不能创建窗体", kSource, __LINE__);
        return false;
    }
    ShowWindow(m_hWnd, SW_SHOW);
    SystemInfoLog("窗体创建成功", kSource, __LINE__);

    if (!g_pGraphics ||
        g_pGraphics->InitD3D(m_hWnd, game->m_bWindowed, game->m_nWidth, game->m_nHeight) < 0)
    {
        SystemErrorLog("初始化图形系统失败", kSource, __LINE__);
        return false;
    }
    if (!g_pSoundDevice || !g_pSoundDevice->Open())
    {
        SystemErrorLog("初始化声音系统失败", kSource, __LINE__);
        return false;
    }
    if (!g_pInput || !g_pInput->Init(m_hInstance, m_hWnd))
    {
        SystemErrorLog("初始化输入系统失败", kSource, __LINE__);
        return false;
    }
    CZanResourceMgr* resources = CZanResourceMgr::Instance();
    if (resources && !resources->InitDefaults())
    {
        SystemErrorLog("初始化资源系统失败", kSource, __LINE__);
        return false;
    }

    // A generator made early by a random number asked for before start-up is reseeded.
    if (!m_pRandom)
        m_pRandom = new CZanRandom(timeGetTime());
    RandomSeed(0);
    if (CZanPhysicsEngine* physics = CZanPhysicsEngine::Instance())
        physics->RemoveAll();
    m_bInitiated = true;
    return true;
}

bool CZanEngine::SystemStart()
{
    if (!m_hWnd)
    {
        SystemErrorLog("SystemStart -> System_Initiate 没有调用", kSource, __LINE__);
        return false;
    }
    if (!m_pMainLoop)
    {
        SystemErrorLog("SystemStart -> m_pMainLoop 主循环为空", kSource, __LINE__);
        return false;
    }
    if (!m_pMainLoop->Init())
    {
        SystemErrorLog("SystemStart -> m_pMainLoop 主循环初始化出错", kSource, __LINE__);
        return false;
    }
    SystemInfoLog("系统启动成功", kSource, __LINE__);
    m_pMainLoop->m_bActive = true;

    MSG msg{};
    for (;;)
    {
        if (const int sig = s_nStopSignal)
        {
            SystemWarnLog(std::string("收到信号 ") + StopSignalName(sig) + "，游戏结束", kSource,
                          __LINE__);
            break;
        }
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            if (msg.message == WM_QUIT)
                break;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        // The game may detach itself (its destructor) from inside a hook.
        if (!m_pMainLoop || (!m_pMainLoop->m_bActive && !m_pMainLoop->RunsUnfocused()))
        {
            Sleep(100);
            continue;
        }
        // An Escape pressed before this frame is the game's to read, not a quit during a
        // load this frame may start.
        GetAsyncKeyState(VK_ESCAPE);
        m_pTimer->Tick();
        if (g_pInput)
        {
            if (g_pInput->IsBuffered())
                g_pInput->ReadBuffered(m_pMainLoop);
            else
            {
                g_pInput->PollKeyboard();
                g_pInput->PollMouse();
                m_pMainLoop->ProcInput();
            }
        }
        const int steps = m_pMainLoop ? m_pMainLoop->SimulationSteps() : 1;
        for (int step = 0; step < steps && m_pMainLoop; ++step)
        {
            const double length = m_pMainLoop->BeginSimulationStep(m_pTimer->GetFrameTime());
            if (CZanPhysicsEngine* physics = CZanPhysicsEngine::Instance())
                physics->Step(float(length));
            if (m_pMainLoop)
                m_pMainLoop->PreFrameUpdate();
            DeliverMessages();
            UpdateObjects();
            if (m_pMainLoop)
                m_pMainLoop->FrameUpdate();
        }
        ZanSoundUpdateStreams();
        if (g_pGraphics)
        {
            g_pGraphics->ClearRender(0);
            g_pGraphics->BeginRender();
        }
        if (m_pMainLoop)
            m_pMainLoop->Render();
        if (g_pGraphics)
            g_pGraphics->EndRender();
        if (m_pMainLoop)
            m_pMainLoop->PostFrameUpdate();
        Sleep(1);
    }
    if (m_pMainLoop)
        m_pMainLoop->m_bActive = false;
    m_bLoadInterrupted = false;
    return true;
}

bool CZanEngine::LoadInterrupted()
{
    if (m_bLoadInterrupted)
        return true;
    // The frame loop acts on these itself once the load gives way; only Escape, which it
    // reads as a key released, is turned into the quit it means here.
    MSG msg{};
    if (s_nStopSignal || PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) ||
        (PeekMessageA(&msg, nullptr, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_NOREMOVE) &&
         (msg.wParam & 0xFFF0) == SC_CLOSE) ||
        PeekMessageA(&msg, nullptr, WM_DESTROY, WM_DESTROY, PM_NOREMOVE))
        m_bLoadInterrupted = true;
    else if (GetAsyncKeyState(VK_ESCAPE) != 0)
    {
        PostQuitMessage(0);
        m_bLoadInterrupted = true;
    }
    if (m_bLoadInterrupted)
        SystemWarnLog("载入时玩家要求退出，载入中止", kSource, __LINE__);
    return m_bLoadInterrupted;
}

void CZanEngine::CloseLogEarly(const char* why)
{
    if (!m_pLog || !m_pLog->IsOpen())
        return;
    SystemWarnLog(why, kSource, __LINE__);
    SystemLog("结束");
    m_pLog->Close();
}

void CZanEngine::SystemShutdown()
{
    SystemLog("关闭中..");
    if (m_hWnd)
    {
        DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
        // Destroying the window asks the thread to quit. That request belongs to this run; left
        // queued, it would end the next engine's frame loop in this process before its first
        // frame.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        {
        }
    }
    UnregisterClassA(kClassName, m_hInstance);
    if (g_pGraphics)
        g_pGraphics->Release();
    if (g_pSoundDevice)
        g_pSoundDevice->Close();
    ClearObjects();
    if (m_pMainLoop)
    {
        m_pMainLoop->OnShutdown();
        m_pMainLoop = nullptr;
    }
}

void CZanEngine::Release()
{
    if (--s_nEngineUses > 0)
        return;
    if (m_hWnd)
        SystemShutdown();
    // A start-up that failed after registering the class made no window: the class must still
    // go, or no engine in this process could start again.
    UnregisterClassA(kClassName, m_hInstance);
    delete g_pGraphics;
    g_pGraphics = nullptr;
    delete g_pSoundDevice;
    g_pSoundDevice = nullptr;
    delete g_pInput;
    g_pInput = nullptr;
    delete m_pRandom;
    m_pRandom = nullptr;
    delete m_pTimer;
    m_pTimer = nullptr;
    ZanSetDisplayLostHook(nullptr);
    ForgetStopSignals();
    if (m_bInitiated && m_pLog->IsOpen())
    {
        SystemLog("结束");
        m_pLog->Close();
    }
    delete m_pLog;
    m_pLog = nullptr;
    s_pEngine = nullptr;
    delete this;
}

double CZanEngine::GetElapsedTime()
{
    return m_pTimer->GetLastTickTime() - m_pTimer->GetStartTime();
}

double CZanEngine::GetExactTime()
{
    return m_pTimer->GetTime();
}

double CZanEngine::GetFrameTime()
{
    return m_pTimer->GetFrameTime();
}

float CZanEngine::GetFps()
{
    return float(1.0 / m_pTimer->GetFrameTime());
}

// Before SystemInitiate there is no generator yet; one is made on first use.
void CZanEngine::RandomSeed(int seed)
{
    const uint32_t state = seed ? uint32_t(seed) : timeGetTime();
    if (!m_pRandom)
        m_pRandom = new CZanRandom(state);
    else
        m_pRandom->Seed(state);
}

int CZanEngine::RandomInt(int min, int max)
{
    if (!m_pRandom)
        RandomSeed(0);
    return m_pRandom->Int(min, max);
}

float CZanEngine::RandomFloat(float min, float max)
{
    if (!m_pRandom)
        RandomSeed(0);
    return m_pRandom->Float(min, max);
}

void CZanEngine::GetMousePos(float* x, float* y)
{
    POINT p{};
    GetCursorPos(&p);
    ScreenToClient(m_hWnd, &p);
    if (x)
        *x = float(p.x);
    if (y)
        *y = float(p.y);
}

void CZanEngine::GetMouseOffset(float* dx, float* dy, float* dz)
{
    if (dx)
        *dx = g_pInput ? float(g_pInput->MouseDX()) : 0.0f;
    if (dy)
        *dy = g_pInput ? float(g_pInput->MouseDY()) : 0.0f;
    if (dz)
        *dz = g_pInput ? float(g_pInput->MouseDZ()) : 0.0f;
}

void CZanEngine::SystemLog(const char* format, ...)
{
    if (!m_pLog || !m_pLog->IsOpen())
        return;
    va_list args;
    va_start(args, format);
    const std::string message = VFormat(format, args);
    va_end(args);
    m_pLog->WritePlain(message);
}

void CZanEngine::SystemErrorLog(std::string message, std::string file, int line)
{
    if (m_pLog)
        m_pLog->WriteError(message, file, line);
}

void CZanEngine::SystemInfoLog(std::string message, std::string file, int line)
{
    if (m_pLog)
        m_pLog->WriteInfo(message, file, line);
}

void CZanEngine::SystemWarnLog(std::string message, std::string file, int line)
{
    if (m_pLog)
        m_pLog->WriteWarn(message, file, line);
}

void CZanEngine::PrintConsole(const char*, ...) {}
void CZanEngine::ProfileBegin(char*) {}
void CZanEngine::ProfileEnd(char*) {}
