// CMonster and its wandering controller CMonsterAI.
#pragma once

#include "ZanEngine.h"
#include "actors/Actor.h"
#include "actors/Balloon.h"
#include "core/StateMachine.h"
#include "world/SKFMapMgr.h"

enum EMonster
{
    MONSTER_BEFORE_START = 1600,
    MONSTER_CHOOSING = 1601,
    MONSTER_FACING_LEFT = 1603,
    MONSTER_FACING_RIGHT = 1604,
    MONSTER_MOVING_LEFT = 1605,
    MONSTER_MOVING_RIGHT = 1606,
    MONSTER_FLYING_LEFT = 1607,
    MONSTER_FLYING_RIGHT = 1608,
    MONSTER_BOUNCING_LEFT = 1609,
    MONSTER_BOUNCING_RIGHT = 1610,
    MONSTER_DYING = 1611,
    MONSTER_FALLING = 1612,

    MONSTER_START = 1103,
    MONSTER_FACE_LEFT = 1700,
    MONSTER_FACE_RIGHT = 1701,
    MONSTER_TARGET_LEFT = 1702,
    MONSTER_TARGET_ABOVE = 1703,
    MONSTER_TARGET_RIGHT = 1704,
    MONSTER_TOUCHED_BALLOON = 1706,
    MONSTER_DIE = 1707,
    MONSTER_BOUNCE_OVER = 1708,
    MONSTER_START_FALLING = 1709,
    MONSTER_RESPAWN = 1710,

    WANDER_IDLE = 1900,
    WANDER_ACTIVE = 1901,
    WANDER_BEGIN = 1109,
    WANDER_NEW_HEADING = 2000,
    WANDER_NEW_TARGET = 2001
};

class CMonsterAI;

/// A computer-controlled flyer under one balloon. It steers toward the target its controller
/// sets; a bird touching its balloon kills it, and it comes back at its spawn point 4 s after.
class CMonster : public CActor
{
public:
    enum
    {
        FIRST_GROUP = 20000 ///< monsters' physics groups count from here, one per monster
    };

    /// `name` ("怪物%d") is the monster's section of "character.cfg".
    CMonster(const char* name, float width, float height);
    ~CMonster() override;

    /// Puts the monster at (x, y), its balloon 40 pixels above, and ties it on.
    void Spawn(float x, float y);
    /// The controller restarted at start and respawn (not owned).
    void SetController(CMonsterAI* controller) { m_pController = controller; }

    void Update() override;
    bool OnObjectMessage(unsigned long sender, CPacket_Read* message) override;

    void SetTarget(float x, float y)
    {
        m_fTargetX = x;
        m_fTargetY = y;
    }
    CZanVector GetTarget() const { return CZanVector(m_fTargetX, m_fTargetY); }
    int GetState() const { return m_pMachine->GetCurrent(); }
    CBalloon* GetBalloon() const { return m_pBalloon; }

private:
    void Handle(int event, CPacket_Read* reader);
    void Flap();
    void FaceCentre();

    CStateMachine* m_pMachine;
    CMonsterAI* m_pController;
    CZanOgg* m_pSpawnSound;
    CZanOgg* m_pDeathSound;
    CBalloon* m_pBalloon;
    unsigned long m_nJoint;
    float m_fTargetX, m_fTargetY;
    CTimedEvents m_TimedEvents;
};

/// Picks a heading within 45° of straight left or right every one to two seconds, and a
/// target point near that heading every 100 to 200 ms.
class CMonsterAI
{
public:
    explicit CMonsterAI(CMonster* monster);
    ~CMonsterAI();

    /// Wandering starts again one second from now.
    void Restart();
    /// Fires the due timed events; the level calls it every frame.
    void Pump();

    int GetState() const { return m_pMachine->GetCurrent(); }
    CZanVector GetHeading() const { return CZanVector(m_fHeadingX, m_fHeadingY); }

private:
    CMonsterAI(const CMonsterAI&) = delete;
    CMonsterAI& operator=(const CMonsterAI&) = delete;
    void Handle(int event);

    CStateMachine* m_pMachine;
    CMonster* m_pMonster;
    float m_fHeadingX, m_fHeadingY;
    CTimedEvents m_TimedEvents;
};
