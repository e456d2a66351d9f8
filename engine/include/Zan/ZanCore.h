/// \file
/// The engine object, its factory, and configuration files.
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

/// Object ids with a fixed meaning, as senders and targets of CZanEngine::SendToObject.
enum : unsigned long
{
    ZAN_ID_ENGINE = 0,        ///< as sender: the message comes from the engine
    ZAN_ID_GAME = 1,          ///< as target: the game object
    ZAN_FIRST_OBJECT_ID = 100 ///< first id of engine objects, joints and widgets
};

/// One queued message: where its bytes lie in the frame's message buffer.
struct SZanMessage
{
    uint32_t sender; ///< id of the sender: 0 the engine, 1 the game, else an object
    uint32_t target; ///< id of the receiver
    int32_t offset;  ///< first byte of the payload in the buffer
    int32_t end;     ///< byte after the payload
    int32_t length;  ///< payload length in bytes
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
    /// Destroys the window, releases graphics and sound, forgets every registered object and
    /// queued message, and shuts the game down (OnShutdown) and detaches it. Release calls it
    /// when the window still exists.
    void SystemShutdown();
    /// For long loads inside a frame, between one resource and the next: gathers the window's
    /// pending events, so the window stays responsive, and tells whether the player asked to
    /// quit meanwhile (the close button, Escape pressed or held during this frame, a quit
    /// message or a stop signal; Escape is taken as the quit it means to CGameBase). True means
    /// the load should be abandoned: the frame loop ends the game at its next pass, and every
    /// later call says true until then.
    bool LoadInterrupted();
    /// Ends the run log now with a warning record of `why`, the closing record and the foot,
    /// for a process about to end without shutting down (a lost display).
    void CloseLogEarly(const char* why);
    /// Drops one use; the last one shuts everything down and deletes the engine.
    void Release();

    double GetElapsedTime(); ///< seconds from engine creation to the latest frame tick
    double GetExactTime();   ///< clock time now, seconds (arbitrary zero)
    double GetFrameTime();   ///< current frame time, seconds
    float GetFps();          ///< 1 / frame time

    /// Restarts the random sequence; 0 seeds from the millisecond clock. The generator is
    /// made on first use, so the calls below work before SystemInitiate too.
    void RandomSeed(int seed);
    /// A number from min to max, both included; bounds given the wrong way round are swapped.
    int RandomInt(int min, int max);
    /// A number from min to max, both reachable.
    float RandomFloat(float min, float max);

    /// Cursor position in client coordinates of the main window; null pointers are skipped.
    void GetMousePos(float* x, float* y);
    /// Mouse movement of the latest poll (x, y, wheel); null pointers are skipped.
    void GetMouseOffset(float* dx, float* dy, float* dz);

    /// A flag kept for games; the engine itself never reads it.
    void SetDestroyRender(bool destroy) { m_bDestroyRender = destroy; }
    /// The flag SetDestroyRender stored; false at first.
    bool GetDestroyRender() { return m_bDestroyRender; }

    /// Run-log records ("运行日志.htm"). Dropped silently while the log is closed.
    /// A plain record, formatted as printf does.
    void SystemLog(const char* format, ...) __attribute__((format(printf, 2, 3)));
    /// An error record naming the reporting source file and line.
    void SystemErrorLog(std::string message, std::string file, int line);
    /// An information record naming the reporting source file and line.
    void SystemInfoLog(std::string message, std::string file, int line);
    /// A warning record naming the reporting source file and line.
    void SystemWarnLog(std::string message, std::string file, int line);
    /// A console output whose messages go nowhere.
    void PrintConsole(const char* format, ...) __attribute__((format(printf, 2, 3)));
    /// Marks the start of a profiled section; kept for games, does nothing.
    void ProfileBegin(char* name);
    /// Marks the end of a profiled section; does nothing.
    void ProfileEnd(char* name);

    /// Registers an object (not owned) for updates, messages and physics; always true.
    bool AddObject(CZanObject* object);
    /// Unregisters the object and removes its body id from the physics world; always true.
    bool RemoveObject(CZanObject* object);
    /// The registered object of an id, or null.
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
    bool m_bLoadInterrupted; ///< see LoadInterrupted
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
    /// Holds no file, so there is nothing to close.
    ~CZanIni() {}

    /// The key's integer; the default when the file, section or key is missing.
    int GetInt(const char* section, const char* key, int defaultValue);
    /// Empty text gives the default; text that is not a number gives 0.
    float GetFloat(const char* section, const char* key, float defaultValue);
    /// Points into this object's buffer, overwritten by the next GetString; copy it.
    char* GetString(const char* section, const char* key, const char* defaultValue);
    /// Writes the key at once, creating the file and section when needed. Nothing for a
    /// refused path; a file over 1 MB is never rewritten.
    void SetInt(const char* section, const char* key, int value);
    /// As SetInt, for a float.
    void SetFloat(const char* section, const char* key, float value);
    /// As SetInt, for text (GBK).
    void SetString(const char* section, const char* key, const char* value);

private:
    char m_szPath[256];
    char m_szValue[256];
};
