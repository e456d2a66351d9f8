// The engine object, its factory, configuration files.
#pragma once

#include "ZanWin32.h"
#include "Zan/ZanMath.h"

#include <cstdint>
#include <list>
#include <map>
#include <string>

class CGameBase;
class CZanObject;
class CZanLog;
class CZanTimer;
class CZanRandom;
class CPacket_Read;

enum : unsigned long
{
    ZAN_ID_ENGINE = 0,        ///< as sender: the message comes from the engine
    ZAN_ID_GAME = 1,          ///< as target: the game object
    ZAN_FIRST_OBJECT_ID = 100 ///< first id of engine objects, joints and widgets
};

/// One queued message: where its bytes lie in the frame's message buffer.
struct SZanMessage
{
    uint32_t sender;
    uint32_t target;
    int32_t offset;
    int32_t end;
    int32_t length;
};

/// The one engine object of a process, made by KovCreate(9) and destroyed by its final
/// Release. It owns the frame timer, the random generator, the run log, the object registry
/// and the message queue; it does not own the game object or registered objects.
class CZanEngine
{
public:
    /// Attaches the game (not owned). False for null. Replacing an attached game shuts the old
    /// one down and initialises the new one.
    bool LoadGame(CGameBase* game);
    /// Opens the run log, creates the window, brings up graphics, sound, input and resources.
    /// On failure the reason is in the run log; what was made stays until Release.
    bool SystemInitiate();
    /// Runs the message pump and frame loop until WM_QUIT. False without window or game.
    bool SystemStart();
    void SystemShutdown();
    /// Ends the run log now with a warning record of `why`, the closing record and the foot,
    /// for a process about to end without shutting down (a lost display).
    void CloseLogEarly(const char* why);
    /// Drops one use; the last one shuts everything down and deletes the engine.
    void Release();

    double GetElapsedTime(); ///< seconds from engine creation to the latest frame tick
    double GetExactTime();   ///< clock time now, seconds (arbitrary zero)
    double GetFrameTime();   ///< current frame time, seconds
    float GetFps();

    void RandomSeed(int seed); ///< 0 seeds from timeGetTime()
    int RandomInt(int min, int max);
    float RandomFloat(float min, float max);

    /// Cursor position in client coordinates of the main window; null pointers are skipped.
    void GetMousePos(float* x, float* y);
    /// Mouse movement of the latest poll (x, y, wheel); null pointers are skipped.
    void GetMouseOffset(float* dx, float* dy, float* dz);

    void SetDestroyRender(bool destroy) { m_bDestroyRender = destroy; }
    bool GetDestroyRender() { return m_bDestroyRender; }

    /// Run-log records ("运行日志.htm"). Dropped silently while the log is closed.
    void SystemLog(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void SystemErrorLog(std::string message, std::string file, int line);
    void SystemInfoLog(std::string message, std::string file, int line);
    void SystemWarnLog(std::string message, std::string file, int line);
    /// A console output whose messages go nowhere.
    void PrintConsole(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void ProfileBegin(char* name);
    void ProfileEnd(char* name);

    /// Registers an object (not owned) for updates, messages and physics; always true.
    bool AddObject(CZanObject* object);
    /// Unregisters the object and removes its body id from the physics world; always true.
    bool RemoveObject(CZanObject* object);
    CZanObject* GetObject(unsigned long id);
    /// Queues the packet's bits (from its current position) for delivery at the next
    /// delivery step. False when the frame's 4095 message bytes are used up.
    bool SendToObject(unsigned long sender, unsigned long target, CPacket_Read& packet);

    /// Internal: the engine made by KovCreate, or null.
    static CZanEngine* Instance();

private:
    friend CZanEngine* KovCreate(int version);
    friend class CGameBase;
    CZanEngine();
    ~CZanEngine();
    CZanEngine(const CZanEngine&) = delete;
    CZanEngine& operator=(const CZanEngine&) = delete;

    static LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void DeliverMessages();
    void UpdateObjects();
    void ClearObjects();
    void TickTimer();

    CGameBase* m_pMainLoop;
    HINSTANCE m_hInstance;
    HWND m_hWnd;
    int32_t m_nWindowLeft, m_nWindowTop, m_nWindowRight, m_nWindowBottom;
    CZanTimer* m_pTimer;
    CZanLog* m_pLog;
    CZanRandom* m_pRandom;
    bool m_bInitiated;
    bool m_bDestroyRender;
    int32_t m_nMsgFill;
    unsigned char m_aMsgData[4096];
    std::list<SZanMessage> m_lstMessages;
    std::map<unsigned long, CZanObject*> m_mapObjects;
};

/// The engine factory: version 9 creates the engine on the first call and counts a use on
/// every call; any other version returns null and changes nothing.
CZanEngine* KovCreate(int version);

/// Reads and writes one sectioned configuration file in the working directory. Holds no open
/// file between calls; copied by plain assignment.
class CZanIni
{
public:
    /// Path = working directory + "\" + name. A path that does not fit the 256-byte buffer
    /// is refused: the object then reads only defaults and writes nothing.
    explicit CZanIni(const char* name = "Autoexec.cfg");
    ~CZanIni() {}

    int GetInt(const char* section, const char* key, int defaultValue);
    /// Empty text gives the default; text that is not a number gives 0.
    float GetFloat(const char* section, const char* key, float defaultValue);
    /// Points into this object's buffer, overwritten by the next GetString; copy it.
    char* GetString(const char* section, const char* key, const char* defaultValue);
    void SetInt(const char* section, const char* key, int value);
    void SetFloat(const char* section, const char* key, float value);
    void SetString(const char* section, const char* key, const char* value);

private:
    char m_szPath[256];
    char m_szValue[256];
};
