// A whole engine run on the headless backend, scripted frame by frame.
#pragma once

#include "TestSupport.h"
#include "ZanEngine.h"
#include "ZanHeadless.h"

#include <functional>
#include <string>
#include <vector>

namespace zantest
{
/// One delivered message as a handler saw it.
struct Delivery
{
    std::string who; ///< "game" or the object's id
    bool engine;     ///< OnEngineMessage (else OnObjectMessage)
    unsigned long sender;
    unsigned bits;
    std::vector<uint32_t> words;
    int frame;
};

inline Delivery Capture(const std::string& who, bool engine, unsigned long sender,
                        CPacket_Read* packet, int frame)
{
    Delivery d{who, engine, sender, packet->Size(), {}, frame};
    CPacket_Read copy(*packet);
    while (!copy.EOP())
        d.words.push_back(copy.Readuint32());
    return d;
}

inline std::vector<Delivery>& Log()
{
    static std::vector<Delivery> log;
    return log;
}

/// Runs frames[i] in the game's FrameUpdate of frame i, then quits.
class ScriptGame : public CGameBase
{
public:
    std::vector<std::function<void()>> frames;
    int frame = 0;

protected:
    bool FrameUpdate() override
    {
        if (frame < int(frames.size()))
            frames[size_t(frame)]();
        ++frame;
        if (frame >= int(frames.size()))
            PostQuitMessage(0);
        return true;
    }
    bool PostFrameUpdate() override { return true; }
    bool OnFocusLost() override { return true; }
    bool OnFocusRestored() override { return true; }
    bool OnShutdown() override { return true; }
    bool OnEngineMessage(CPacket_Read* p) override
    {
        Log().push_back(Capture("game", true, 0, p, frame));
        return true;
    }
    bool OnObjectMessage(unsigned long sender, CPacket_Read* p) override
    {
        Log().push_back(Capture("game", false, sender, p, frame));
        return true;
    }
};

/// An object that logs its messages and updates and may run a hook in either.
class LogObject : public CZanObject
{
public:
    LogObject() : CZanObject(10, 10) {}
    std::function<void()> onUpdate;
    std::function<void(CPacket_Read*)> onMessage;
    static std::vector<unsigned long>& Updates()
    {
        static std::vector<unsigned long> updates;
        return updates;
    }
    int* frame = nullptr;

    void Update() override
    {
        Updates().push_back(GetID());
        if (onUpdate)
            onUpdate();
    }
    bool OnEngineMessage(CPacket_Read* p) override
    {
        Log().push_back(Capture(std::to_string(GetID()), true, 0, p, frame ? *frame : -1));
        return true;
    }
    bool OnObjectMessage(unsigned long sender, CPacket_Read* p) override
    {
        Log().push_back(Capture(std::to_string(GetID()), false, sender, p, frame ? *frame : -1));
        if (onMessage)
            onMessage(p);
        return true;
    }
};

/// Engine and world for one test; Run drives a scripted game to its end.
class EngineRun
{
public:
    EngineRun()
    {
        // What an earlier test of the process delivered and updated.
        Log().clear();
        LogObject::Updates().clear();
        ZanHeadlessEnable();
        engine = KovCreate(9);
        world = KovPhysicsCreate(CZanVector(0.0f, 1000.0f));
    }
    ~EngineRun()
    {
        world->Release();
        engine->Release();
    }
    bool Run(ScriptGame& game)
    {
        return engine->LoadGame(&game) && engine->SystemInitiate() && engine->SystemStart();
    }

    ScopedWorkDir dir;
    CZanEngine* engine;
    CZanPhysicsEngine* world;
};

/// A packet of the given 32-bit words.
inline CPacket_Read Words(std::initializer_list<uint32_t> words)
{
    CPacket_Write w;
    for (uint32_t v : words)
        w.Writeuint32(v);
    return CPacket_Read(w);
}
} // namespace zantest
