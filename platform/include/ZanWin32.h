// The Win32 user, kernel and WinMM subset that the engine and game call, on Linux.
//
// Names, constants and call semantics follow the Windows originals so that engine code reads
// like the system it reproduces. Only what the engine and the game call exists here. Strings
// are GBK (code page 936); paths may use '\' or '/' and are converted to UTF-8 on disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <pthread.h>
#include <string>

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef uint32_t UINT;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef int32_t HRESULT;
typedef size_t SIZE_T;
typedef const char* LPCSTR;
typedef char* LPSTR;

#ifndef FAILED
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#endif
#ifndef S_OK
#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_FAIL ((HRESULT)0x80004005)
#endif

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define ZAN_DECLARE_HANDLE(name)                                                                   \
    struct name##__;                                                                               \
    typedef struct name##__* name
ZAN_DECLARE_HANDLE(HWND);
ZAN_DECLARE_HANDLE(HINSTANCE);
ZAN_DECLARE_HANDLE(HICON);
ZAN_DECLARE_HANDLE(HCURSOR);
ZAN_DECLARE_HANDLE(HBRUSH);
ZAN_DECLARE_HANDLE(HMENU);
typedef void* HGDIOBJ;

typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);

struct POINT
{
    LONG x;
    LONG y;
};

struct RECT
{
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct MSG
{
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

struct WNDCLASSA
{
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
};

union LARGE_INTEGER
{
    int64_t QuadPart;
};

struct SYSTEMTIME
{
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

struct OSVERSIONINFOA
{
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
};

struct MEMORYSTATUS
{
    DWORD dwLength;
    DWORD dwMemoryLoad;
    SIZE_T dwTotalPhys;
    SIZE_T dwAvailPhys;
    SIZE_T dwTotalPageFile;
    SIZE_T dwAvailPageFile;
    SIZE_T dwTotalVirtual;
    SIZE_T dwAvailVirtual;
};

struct CRITICAL_SECTION
{
    pthread_mutex_t mutex;
};

// Messages.
#define WM_DESTROY 0x0002
#define WM_SIZE 0x0005
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ACTIVATEAPP 0x001C
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSCOMMAND 0x0112
#define SC_CLOSE 0xF060
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

// Class and window styles.
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_DBLCLKS 0x0008
#define CS_OWNDC 0x0020
#define WS_POPUP 0x80000000u
#define WS_VISIBLE 0x10000000u
#define WS_CAPTION 0x00C00000u
#define WS_SYSMENU 0x00080000u
#define WS_MINIMIZEBOX 0x00020000u
#define SW_HIDE 0
#define SW_SHOW 5

// System metrics.
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CYCAPTION 4
#define SM_CXFIXEDFRAME 7
#define SM_CYFIXEDFRAME 8

// Message boxes.
#define MB_OK 0x00000000u
#define IDOK 1

// Stock resources.
#define BLACK_BRUSH 4
#define IDI_APPLICATION ((LPCSTR)(uintptr_t)32512)
#define IDC_ARROW ((LPCSTR)(uintptr_t)32512)

// Virtual-key codes (the subset the keyboard mapping produces).
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_PAUSE 0x13
#define VK_CAPITAL 0x14
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_LWIN 0x5B
#define VK_RWIN 0x5C
#define VK_APPS 0x5D
#define VK_NUMPAD0 0x60
#define VK_MULTIPLY 0x6A
#define VK_ADD 0x6B
#define VK_SUBTRACT 0x6D
#define VK_DECIMAL 0x6E
#define VK_DIVIDE 0x6F
#define VK_F1 0x70
#define VK_NUMLOCK 0x90
#define VK_SCROLL 0x91
#define VK_LSHIFT 0xA0
#define VK_RSHIFT 0xA1
#define VK_LCONTROL 0xA2
#define VK_RCONTROL 0xA3
#define VK_LMENU 0xA4
#define VK_RMENU 0xA5
#define VK_OEM_1 0xBA
#define VK_OEM_PLUS 0xBB
#define VK_OEM_COMMA 0xBC
#define VK_OEM_MINUS 0xBD
#define VK_OEM_PERIOD 0xBE
#define VK_OEM_2 0xBF
#define VK_OEM_3 0xC0
#define VK_OEM_4 0xDB
#define VK_OEM_5 0xDC
#define VK_OEM_6 0xDD
#define VK_OEM_7 0xDE

// ---- user ----
UINT RegisterClassA(const WNDCLASSA* wc); // returns 0 on failure (duplicate or invalid class)
BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     void* param);
BOOL ShowWindow(HWND window, int command);
BOOL DestroyWindow(HWND window); // sends WM_DESTROY; FALSE for a handle that is not a window
BOOL IsWindow(HWND window);
// A range other than 0, 0 looks for the first message in [first, last], past any others,
// after gathering the system's pending events.
BOOL PeekMessageA(MSG* msg, HWND window, UINT first, UINT last, UINT remove);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
BOOL ValidateRect(HWND window, const RECT* rect);
int GetSystemMetrics(int index);
BOOL GetCursorPos(POINT* point);
BOOL ScreenToClient(HWND window, POINT* point);
int ShowCursor(BOOL show);
// The key's state: 0x8000 while it is down, 0x0001 when it went down since the previous call
// for it. Neither changes what the DirectInput devices read.
short GetAsyncKeyState(int vk);
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
HINSTANCE GetModuleHandleA(LPCSTR moduleName); // null name: the running program
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
HGDIOBJ GetStockObject(int object);

// ---- kernel and WinMM ----
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
DWORD GetTickCount(void);
DWORD timeGetTime(void);
void Sleep(DWORD milliseconds);
void GetLocalTime(SYSTEMTIME* time);
BOOL GetVersionExA(OSVERSIONINFOA* info);
void GlobalMemoryStatus(MEMORYSTATUS* status);
#define MAX_PATH 260
// Writes the GBK working directory; returns its length, or the size needed (terminator
// included) without writing when the buffer is too small. A directory whose name has no GBK
// spelling, or is MAX_PATH bytes or longer, is reported as ".", which opens the same files.
DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer);
LONG InterlockedIncrement(volatile LONG* value);
LONG InterlockedDecrement(volatile LONG* value);
void InitializeCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR path);
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer,
                               DWORD size, LPCSTR path);
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path);

// ---- the display ----
// Called once when the connection to the display is lost, just before the process ends with
// status 1; the hook may write its last records. Null removes it.
void ZanSetDisplayLostHook(void (*hook)());

// ---- code page and files ----
// Text conversion between GBK (the system's 8-bit code page) and UTF-8. Bytes that do not
// convert are replaced by '?'.
std::string ZanGbkToUtf8(const std::string& gbk);
std::string ZanUtf8ToGbk(const std::string& utf8);
std::u32string ZanGbkToUtf32(const std::string& gbk);
// A GBK path ('\' or '/' separated) as the UTF-8 path of the file on disk.
std::string ZanNativePath(const char* gbkPath);
// fopen of a GBK path. All file access of engine and game goes through here. Opens regular
// files only: a directory, FIFO or device gives null (as a missing file does), and opening
// never blocks. Opening for writing never follows a link (it fails instead).
FILE* ZanFileOpen(const char* gbkPath, const char* mode);
// The whole of a regular file, when it holds at most maxBytes; false (and out empty) when it
// is missing, not a regular file, larger, or cannot be read.
bool ZanFileReadAll(const char* gbkPath, size_t maxBytes, std::string& out);

// ---- single running copy ----
// True when this process now holds the program-wide guard named `name`. The guard is released
// by the operating system when the process ends, however it ends.
bool ZanAcquireInstanceGuard(const char* name);
