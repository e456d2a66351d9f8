#include "actors/ActorSupport.h"

#include "core/Flow.h"
#include "core/GameClock.h"
#include "core/Scene.h"

#include <cstdio>
#include <map>

CStateMachine* BuildMachine(int initial, const MachineRow* rows, size_t count)
{
    std::map<int, unsigned> slots;
    for (size_t i = 0; i < count; ++i)
        ++slots[rows[i].state];
    CStateMachine* machine = new CStateMachine(initial);
    for (const auto& entry : slots)
    {
        CState* state = new CState(entry.first, entry.second);
        for (size_t i = 0; i < count; ++i)
            if (rows[i].state == entry.first)
                state->AddTransition(rows[i].event, rows[i].next, rows[i].output);
        machine->AddState(state);
    }
    return machine;
}

bool SceneIsPlayer(unsigned long id)
{
    CScene* scene = CurrentScene();
    return scene && scene->IsPlayer(id);
}

bool SceneIsMonster(unsigned long id)
{
    CScene* scene = CurrentScene();
    return scene && scene->IsMonster(id);
}

namespace
{
void Send(unsigned long from, unsigned long to, CPacket_Write& w)
{
    if (CZanEngine* engine = Engine())
    {
        CPacket_Read r(w);
        engine->SendToObject(from, to, r);
    }
}
} // namespace

void SendEvent(unsigned long from, unsigned long to, int event,
               std::initializer_list<uint32_t> payload)
{
    CPacket_Write w;
    w.WriteBits(uint32_t(event), 16);
    for (uint32_t field : payload)
        w.WriteBits(field, 32);
    Send(from, to, w);
}

void SendToLevel(unsigned long from, int event, std::initializer_list<uint32_t> payload)
{
    CPacket_Write w;
    w.WriteBits(SCENE_MESSAGE, 16);
    w.WriteBits(uint32_t(event), 16);
    for (uint32_t field : payload)
        w.WriteBits(field, 32);
    Send(from, ZAN_ID_GAME, w);
}

CZanOgg* LoadSoundRecord(const char* name)
{
    CZanResourceMgr* resources = Resources();
    ZanAudio* record = resources ? resources->GetAudioInfo(name) : nullptr;
    if (!record)
        return nullptr;
    CZanOgg* sound = new CZanOgg;
    sound->LoadSound(record->strPath.c_str(), record->bLoop);
    return sound;
}

CZanOgg* LoadSoundRecord(const char* format, int number)
{
    char name[100];
    std::snprintf(name, sizeof name, format, number);
    return LoadSoundRecord(name);
}

void PlayIfLoaded(CZanOgg* sound)
{
    if (sound)
        sound->PlaySoundA();
}

unsigned NowTicks()
{
    return GameTicks();
}

CZanResPtr<CZanAnim> CharacterAnim(const char* section, const char* key, const char* fallback)
{
    CZanIni ini("character.cfg");
    std::string name = ini.GetString(section, key, fallback);
    if (name != fallback && !Resources()->HasAnim(name.c_str()))
    {
        // An unknown name would give the invisible default: the bird or monster would be lost.
        Engine()->SystemWarnLog(std::string("character.cfg 中的动画未知，按默认值: [") + section +
                                    "] " + key + "=" + name,
                                "ActorSupport", __LINE__);
        name = fallback;
    }
    return Resources()->CreateAnim(name.c_str());
}
