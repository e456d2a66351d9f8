// What every actor and level shares: machine tables, event messages, sound records and the
// scene that answers "is this a bird, is this a monster".
#pragma once

#include "ZanEngine.h"
#include "core/StateMachine.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>

class CScene;

/// One row of a machine: in `state`, `event` leads to `next` with `output` (0: none).
struct MachineRow
{
    int state, event, next, output;
};

/// A machine built from literal rows; every state gets exactly the slots its rows need.
CStateMachine* BuildMachine(int initial, const MachineRow* rows, size_t count);
template <size_t N> CStateMachine* BuildMachine(int initial, const MachineRow (&rows)[N])
{
    return BuildMachine(initial, rows, N);
}

/// What the current scene says about an id; false without a scene.
bool SceneIsPlayer(unsigned long id);
bool SceneIsMonster(unsigned long id);

/// Sends a 16-bit event followed by 32-bit payload fields.
void SendEvent(unsigned long from, unsigned long to, int event,
               std::initializer_list<uint32_t> payload = {});
/// Sends an event to the current scene, inside the game object's scene envelope.
void SendToLevel(unsigned long from, int event, std::initializer_list<uint32_t> payload);

/// A whole-file Ogg sound loaded from the named sound record, or null when there is none.
/// The caller owns it.
CZanOgg* LoadSoundRecord(const char* name);
/// The same with the record name formatted with one number ("玩家出生0%d").
CZanOgg* LoadSoundRecord(const char* format, int number);
/// Plays a sound that may be missing.
void PlayIfLoaded(CZanOgg* sound);

/// The animation "character.cfg" names under `key` in `section`, or `fallback` when it names
/// none; a name the resources do not know as an animation is refused with a warning record,
/// and the fallback is used.
CZanResPtr<CZanAnim> CharacterAnim(const char* section, const char* key, const char* fallback);

/// Shorthands for the engine singletons.
inline CZanEngine* Engine()
{
    return CZanEngine::Instance();
}
inline CZanPhysicsEngine* Physics()
{
    return CZanPhysicsEngine::Instance();
}
inline CZanResourceMgr* Resources()
{
    return CZanResourceMgr::Instance();
}
/// GetTickCount, the clock of every timed event.
unsigned NowTicks();
