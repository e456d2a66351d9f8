// The level scenes: one bird (CSinglePlayerLevel) or two (CTwoPlayerLevel) against up to six
// monsters, a countdown and the head-up display, under the day clock and weather.
#pragma once

#include "core/Scene.h"
#include "core/StateMachine.h"
#include "world/Environment.h"

class CBird;
class CMonster;
class CMonsterAI;
class CScoreDisplay;
class CCounterDisplay;
class CLifeDisplay;
class CCountdownDisplay;
class CZanOgg;

enum ELevel
{
    LEVEL_WAITING = 1000,
    LEVEL_PLAYING = 1001,
    LEVEL_ENDING = 1002,
    LEVEL_OVER = 1003,

    LEVEL_BEGIN = 1100,
    LEVEL_CLOCK_TICK = 1101,
    LEVEL_TIME_UP = 1111,
    LEVEL_MATCH_OVER = 1112,
    LEVEL_BIRD_LIVES = 1406,
    LEVEL_BIRD_SCORE = 1407,
    LEVEL_BIRD_OUT = 1413
};

/// What the two levels share; they differ in the number of birds, the keys they map, the
/// speed of the countdown and the lightning.
class CLevel : public CScene
{
public:
    enum
    {
        MAX_BIRDS = 2,
        MAX_MONSTERS = 6,
        FULL_TIME = 99999 ///< countdown at the start, milliseconds
    };

    ~CLevel() override;

    /// Resources, map, display, settings, birds, monsters, environment, start sound. False
    /// when the resource file or the map cannot be loaded.
    bool Load(const char* file) override;
    /// Deletes everything Load made; safe to call twice.
    bool Unload() override;
    bool Update() override;
    bool OnKeyDown(int key) override;
    bool OnKeyUp(int key) override;
    bool OnMouseButtonDown(int) override { return true; }
    bool OnMouseButtonRelease(int) override { return true; }
    bool Pause() override;
    bool Resume() override;
    bool IsPlayer(unsigned long id) override;
    bool IsMonster(unsigned long id) override;
    /// A message from an actor, without the scene envelope: a 16-bit event and its payload.
    bool OnMessage(CPacket_Read* message) override;

    /// A one-player match that reaches time-up with a life left clears its level; a
    /// two-player match is a duel and clears nothing.
    static bool Clears(int birds, int livesLeft, bool timeUp)
    {
        return birds == 1 && timeUp && livesLeft > 0;
    }

    /// The level's number (Level01.xml is 1).
    void SetNumber(int number) { m_nNumber = number; }
    int GetNumber() const { return m_nNumber; }
    bool IsCleared() const { return m_bCleared; }
    bool HasNewBest() const { return m_bNewBest; }
    /// What the screen says when the match ends (empty before).
    const char* GetNotice() const { return m_Notice.IsValid() ? m_Notice->GetString() : ""; }

    int GetState() const { return m_pMachine ? m_pMachine->GetCurrent() : 0; }
    int GetRemaining() const { return m_nRemaining; }
    int GetBirdCount() const { return m_nBirds; }
    CBird* GetBird(int i) const { return i < m_nBirds ? m_apBirds[i] : nullptr; }
    int GetMonsterCount() const { return m_nMonsters; }
    CMonster* GetMonster(int i) const { return i < m_nMonsters ? m_apMonsters[i] : nullptr; }
    CMonsterAI* GetController(int i) const
    {
        return i < m_nMonsters ? m_apControllers[i] : nullptr;
    }
    CCountdownDisplay* GetCountdown() const { return m_pCountdown; }
    CLifeDisplay* GetLifeDisplay(int i) const { return m_apLives[i]; }
    CScoreDisplay* GetScoreDisplay(int i) const { return m_apScores[i]; }
    CCounterDisplay* GetCounterDisplay(int i) const { return m_apCounters[i]; }
    const CEnvironment& GetEnvironment() const { return m_Environment; }
    CZanOgg* GetTimeUpSound() const { return m_pTimeUpSound; }

protected:
    explicit CLevel(int birds);

private:
    void Handle(int event, CPacket_Read* reader);
    void ClockTick();
    void DrownStrays();
    /// The bird a key moves and the events it sends down and up (0: none).
    bool MapKey(int key, int* bird, int* down, int* up) const;
    /// Slot of the bird with this id; the second bird's for any other id.
    int BirdSlot(unsigned long id) const;
    void LoadDisplay();
    void LoadActors();
    /// The match is decided: the clear, the scores into the table, the notice on screen.
    void EndMatch(bool timeUp);

    int m_nBirds;
    CBird* m_apBirds[MAX_BIRDS];
    CMonster* m_apMonsters[MAX_MONSTERS];
    CMonsterAI* m_apControllers[MAX_MONSTERS];
    int m_nMonsters;
    CEnvironment m_Environment;
    unsigned m_nLastTick;
    int m_nRemaining;
    CCountdownDisplay* m_pCountdown;
    CLifeDisplay* m_apLives[MAX_BIRDS];
    CScoreDisplay* m_apScores[MAX_BIRDS];
    CCounterDisplay* m_apCounters[MAX_BIRDS];
    CZanResPtr<CZanAnim> m_Lightning;
    CStateMachine* m_pMachine;
    CTimedEvents m_TimedEvents;
    CZanOgg* m_pStartSound;
    CZanOgg* m_pTimeUpSound;
    int m_nNumber;
    bool m_bCleared;
    bool m_bNewBest;
    CZanResPtr<CZanString> m_Notice;
};

/// One bird (keys A, D, J); the countdown runs at half speed, so a match lasts 200 s.
class CSinglePlayerLevel : public CLevel
{
public:
    CSinglePlayerLevel() : CLevel(1) {}
};

/// Two birds (A, D, J and ←, →, End); a match lasts 100 s.
class CTwoPlayerLevel : public CLevel
{
public:
    CTwoPlayerLevel() : CLevel(2) {}
};

/// The level a flow output shows (3204: one player, 3205: two), or null for other outputs.
CScene* MakeLevelScene(int output, int level);
