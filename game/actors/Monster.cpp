#include "actors/Monster.h"

#include "actors/ActorSupport.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace
{
int s_nNextGroup = CMonster::FIRST_GROUP;

// The lowest point a wanderer heads for: above every level's sea (its top at y 556), low
// enough that a monster on the lowest shore keeps walking instead of taking off.
const float kLowestTarget = 470.0f;

enum
{
    OUT_START = 1800,
    OUT_SHOW_LEFT = 1802,
    OUT_SHOW_RIGHT = 1803,
    OUT_MOVE_LEFT = 1804,
    OUT_MOVE_RIGHT = 1805,
    OUT_KEEP_LEFT = 1806,
    OUT_KEEP_RIGHT = 1807,
    OUT_RISE_LEFT = 1808,
    OUT_RISE_RIGHT = 1809,
    OUT_FLAP = 1810,
    OUT_BOUNCE = 1811,
    OUT_DIE = 1812,
    OUT_RESPAWN = 1813,
    OUT_FALL = 1814,

    OUT_NEW_HEADING = 2100,
    OUT_NEW_TARGET = 2101
};

const MachineRow kMonsterMachine[] = {
    {MONSTER_BEFORE_START, MONSTER_START, MONSTER_CHOOSING, OUT_START},

    {MONSTER_CHOOSING, MONSTER_FACE_LEFT, MONSTER_FACING_LEFT, OUT_SHOW_LEFT},
    {MONSTER_CHOOSING, MONSTER_FACE_RIGHT, MONSTER_FACING_RIGHT, OUT_SHOW_RIGHT},
    {MONSTER_CHOOSING, MONSTER_DIE, MONSTER_DYING, OUT_DIE},

    {MONSTER_FACING_LEFT, MONSTER_TARGET_RIGHT, MONSTER_MOVING_RIGHT, OUT_MOVE_RIGHT},
    {MONSTER_FACING_LEFT, MONSTER_TARGET_LEFT, MONSTER_MOVING_LEFT, OUT_MOVE_LEFT},
    {MONSTER_FACING_LEFT, MONSTER_TARGET_ABOVE, MONSTER_FLYING_LEFT, OUT_RISE_LEFT},
    {MONSTER_FACING_LEFT, MONSTER_DIE, MONSTER_DYING, OUT_DIE},

    {MONSTER_FACING_RIGHT, MONSTER_TARGET_LEFT, MONSTER_MOVING_LEFT, OUT_MOVE_LEFT},
    {MONSTER_FACING_RIGHT, MONSTER_TARGET_RIGHT, MONSTER_MOVING_RIGHT, OUT_MOVE_RIGHT},
    {MONSTER_FACING_RIGHT, MONSTER_TARGET_ABOVE, MONSTER_FLYING_RIGHT, OUT_RISE_RIGHT},
    {MONSTER_FACING_RIGHT, MONSTER_DIE, MONSTER_DYING, OUT_DIE},

    {MONSTER_MOVING_LEFT, MONSTER_TARGET_LEFT, MONSTER_MOVING_LEFT, OUT_MOVE_LEFT},
    {MONSTER_MOVING_LEFT, MONSTER_TARGET_RIGHT, MONSTER_MOVING_RIGHT, OUT_MOVE_RIGHT},
    {MONSTER_MOVING_LEFT, MONSTER_TARGET_ABOVE, MONSTER_FLYING_LEFT, OUT_RISE_LEFT},
    {MONSTER_MOVING_LEFT, MONSTER_DIE, MONSTER_DYING, OUT_DIE},

    {MONSTER_MOVING_RIGHT, MONSTER_TARGET_RIGHT, MONSTER_MOVING_RIGHT, OUT_MOVE_RIGHT},
    {MONSTER_MOVING_RIGHT, MONSTER_TARGET_LEFT, MONSTER_MOVING_LEFT, OUT_MOVE_LEFT},
    {MONSTER_MOVING_RIGHT, MONSTER_TARGET_ABOVE, MONSTER_FLYING_RIGHT, OUT_RISE_RIGHT},
    {MONSTER_MOVING_RIGHT, MONSTER_DIE, MONSTER_DYING, OUT_DIE},

    {MONSTER_FLYING_LEFT, MONSTER_TARGET_LEFT, MONSTER_FLYING_LEFT, OUT_KEEP_LEFT},
    {MONSTER_FLYING_LEFT, MONSTER_TARGET_RIGHT, MONSTER_FLYING_RIGHT, OUT_KEEP_RIGHT},
    {MONSTER_FLYING_LEFT, MONSTER_TARGET_ABOVE, MONSTER_FLYING_LEFT, OUT_FLAP},
    {MONSTER_FLYING_LEFT, MONSTER_TOUCHED_BALLOON, MONSTER_BOUNCING_LEFT, OUT_BOUNCE},
    {MONSTER_FLYING_LEFT, MONSTER_DIE, MONSTER_DYING, OUT_DIE},

    {MONSTER_FLYING_RIGHT, MONSTER_TARGET_RIGHT, MONSTER_FLYING_RIGHT, OUT_KEEP_RIGHT},
    {MONSTER_FLYING_RIGHT, MONSTER_TARGET_LEFT, MONSTER_FLYING_LEFT, OUT_KEEP_LEFT},
    {MONSTER_FLYING_RIGHT, MONSTER_TARGET_ABOVE, MONSTER_FLYING_RIGHT, OUT_FLAP},
    {MONSTER_FLYING_RIGHT, MONSTER_TOUCHED_BALLOON, MONSTER_BOUNCING_RIGHT, OUT_BOUNCE},
    {MONSTER_FLYING_RIGHT, MONSTER_DIE, MONSTER_DYING, OUT_DIE},

    {MONSTER_BOUNCING_LEFT, MONSTER_DIE, MONSTER_DYING, OUT_DIE},
    {MONSTER_BOUNCING_LEFT, MONSTER_BOUNCE_OVER, MONSTER_FLYING_LEFT, 0},

    {MONSTER_BOUNCING_RIGHT, MONSTER_DIE, MONSTER_DYING, OUT_DIE},
    {MONSTER_BOUNCING_RIGHT, MONSTER_BOUNCE_OVER, MONSTER_FLYING_RIGHT, 0},

    {MONSTER_DYING, MONSTER_DIE, MONSTER_DYING, 0},
    {MONSTER_DYING, MONSTER_START_FALLING, MONSTER_FALLING, OUT_FALL},

    {MONSTER_FALLING, MONSTER_RESPAWN, MONSTER_CHOOSING, OUT_RESPAWN},
};

const MachineRow kWanderMachine[] = {
    {WANDER_IDLE, WANDER_BEGIN, WANDER_ACTIVE, OUT_NEW_HEADING},
    {WANDER_ACTIVE, WANDER_NEW_HEADING, WANDER_ACTIVE, OUT_NEW_HEADING},
    {WANDER_ACTIVE, WANDER_NEW_TARGET, WANDER_ACTIVE, OUT_NEW_TARGET},
};

} // namespace

CMonster::CMonster(const char* name, float width, float height)
    : CActor(width, height), m_pMachine(nullptr), m_pController(nullptr), m_pSpawnSound(nullptr),
      m_pDeathSound(nullptr), m_pBalloon(nullptr), m_nJoint(0), m_fTargetX(0.0f), m_fTargetY(0.0f)
{
    const char* section = name ? name : "";
    LoadLooks(section, "怪物_左", "怪物_右", "怪物_死亡", 0.5f, 0.5f);
    m_pSpawnSound = LoadSoundRecord("怪物出生0%d", Engine()->RandomInt(1, 3));
    m_pDeathSound = LoadSoundRecord("怪物死亡01");
    m_pBalloon = new CBalloon(15.0f, 30.0f, GetID());
    m_pMachine = BuildMachine(MONSTER_BEFORE_START, kMonsterMachine);
    HideAll();
    m_FlyLeft->SetVisible(true);
    SetGroup(s_nNextGroup++);
    SetMass(0.5f);
    SetSpinnable(false);
}

CMonster::~CMonster()
{
    if (m_nJoint && Physics())
        Physics()->RemoveJoint(m_nJoint);
    delete m_pBalloon;
    delete m_pSpawnSound;
    delete m_pDeathSound;
    delete m_pMachine;
}

void CMonster::Spawn(float x, float y)
{
    PlaceAtSpawn(x, y);
    m_nJoint = TieBalloon(m_pBalloon);
}

void CMonster::Update()
{
    CQuadObject::Update();
    FollowLooks();
    const CZanVector p = GetPos();

    const float dx = m_fTargetX - p.x;
    const float dy = m_fTargetY - p.y;
    if (dx > 10.0f)
        m_TimedEvents.Schedule(0, MONSTER_TARGET_RIGHT);
    else if (dx < -10.0f)
        m_TimedEvents.Schedule(0, MONSTER_TARGET_LEFT);
    // Flaps toward a target above it, never in the top strip, so monsters stay on screen.
    if (dy < -10.0f && p.y > 50.0f)
        m_TimedEvents.Schedule(0, MONSTER_TARGET_ABOVE);

    CZanVector at;
    if (WrapAround(at) && GetState() != MONSTER_FALLING)
        m_pBalloon->SetPos(at.x, at.y - 40.0f);

    m_TimedEvents.Pump([this](int event) { Handle(event, nullptr); });
}

bool CMonster::OnObjectMessage(unsigned long, CPacket_Read* message)
{
    if (message)
        Handle(int16_t(message->ReadBits(16)), message);
    return true;
}

void CMonster::Flap()
{
    SetVelocity(CZanVector(GetVelocity().x, -50.0f));
    m_FlyLeft->Play(0);
    m_FlyRight->Play(0);
}

void CMonster::FaceCentre()
{
    m_TimedEvents.Schedule(0, GetPos().x < 400.0f ? MONSTER_FACE_RIGHT : MONSTER_FACE_LEFT);
    if (m_pController)
        m_pController->Restart();
}

void CMonster::Handle(int event, CPacket_Read* reader)
{
    m_pMachine->Process(event);
    const int output = m_pMachine->GetOutput();
    switch (output)
    {
    case OUT_START:
        FaceCentre();
        break;
    case OUT_SHOW_LEFT:
    case OUT_SHOW_RIGHT:
        HideAll();
        StopAll();
        Show(output == OUT_SHOW_LEFT);
        break;
    case OUT_MOVE_LEFT:
    case OUT_MOVE_RIGHT:
    case OUT_KEEP_LEFT:
    case OUT_KEEP_RIGHT:
    {
        const bool left = output == OUT_MOVE_LEFT || output == OUT_KEEP_LEFT;
        SetVelocity(CZanVector(left ? -50.0f : 50.0f, GetVelocity().y));
        HideAll();
        if (output == OUT_MOVE_LEFT || output == OUT_MOVE_RIGHT)
            StopAll();
        Show(left);
        break;
    }
    case OUT_RISE_LEFT:
    case OUT_RISE_RIGHT:
        HideAll();
        Show(output == OUT_RISE_LEFT);
        Flap();
        break;
    case OUT_FLAP:
        Flap();
        break;
    case OUT_BOUNCE:
        if (reader)
        {
            if (CZanObject* balloon = Engine()->GetObject(reader->ReadBits(32)))
                SetVelocity((GetPos() - balloon->GetPos()) * 5.0f);
        }
        m_TimedEvents.Schedule(400, MONSTER_BOUNCE_OVER);
        break;
    case OUT_DIE:
        ShowDeath();
        m_pBalloon->Deactivate();
        Physics()->SetJointActive(m_nJoint, false);
        PlayIfLoaded(m_pDeathSound);
        m_TimedEvents.Schedule(200, MONSTER_START_FALLING);
        break;
    case OUT_FALL:
        Tumble();
        m_TimedEvents.Schedule(4000, MONSTER_RESPAWN);
        break;
    case OUT_RESPAWN:
        ReturnToSpawn();
        m_pBalloon->Reactivate();
        Physics()->SetJointActive(m_nJoint, true);
        PlayIfLoaded(m_pSpawnSound);
        FaceCentre();
        break;
    default:
        break;
    }
}

CMonsterAI::CMonsterAI(CMonster* monster)
    : m_pMachine(BuildMachine(WANDER_IDLE, kWanderMachine)), m_pMonster(monster), m_fHeadingX(0.0f),
      m_fHeadingY(0.0f)
{
}

CMonsterAI::~CMonsterAI()
{
    delete m_pMachine;
}

void CMonsterAI::Restart()
{
    m_pMachine->SetCurrent(WANDER_IDLE);
    m_TimedEvents.Schedule(1000, WANDER_BEGIN);
}

void CMonsterAI::Pump()
{
    m_TimedEvents.Pump([this](int event) { Handle(event); });
}

void CMonsterAI::Handle(int event)
{
    m_pMachine->Process(event);
    CZanEngine* engine = Engine();
    switch (m_pMachine->GetOutput())
    {
    case OUT_NEW_HEADING:
    {
        const float r = engine->RandomFloat(-1.0f, 1.0f);
        const float theta = r > 0.0f ? engine->RandomFloat(-0.7853982f, 0.7853982f)
                                     : engine->RandomFloat(2.3561945f, 3.926991f);
        m_fHeadingX = 50.0f * std::cos(theta);
        m_fHeadingY = 50.0f * std::sin(theta);
        m_TimedEvents.Clear();
        m_TimedEvents.Schedule(engine->RandomInt(1000, 2000), WANDER_NEW_HEADING);
        m_TimedEvents.Schedule(0, WANDER_NEW_TARGET);
        break;
    }
    case OUT_NEW_TARGET:
    {
        const float phi = engine->RandomFloat(0.0f, 6.2831855f);
        const CZanVector p = m_pMonster->GetPos();
        // A wanderer heads for open sky or ground, never for a point in the sea.
        m_pMonster->SetTarget(p.x + m_fHeadingX + 20.0f * std::cos(phi),
                              std::min(p.y + m_fHeadingY + 20.0f * std::sin(phi), kLowestTarget));
        m_TimedEvents.Schedule(engine->RandomInt(100, 200), WANDER_NEW_TARGET);
        break;
    }
    default:
        break;
    }
}
