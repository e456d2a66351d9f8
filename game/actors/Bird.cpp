#include "actors/Bird.h"

#include "actors/ActorSupport.h"
#include "core/GameClock.h"

#include <cstdio>
#include <string>

namespace
{
int s_nNextGroup = CBird::FIRST_GROUP;
int s_nNextPlayer = 1; // labels keep counting from one match to the next

enum
{
    OUT_FACE_CENTRE = 1500,
    OUT_SHOW_LEFT = 1501,
    OUT_SHOW_RIGHT = 1502,
    OUT_WALK_LEFT = 1503,
    OUT_WALK_RIGHT = 1504,
    OUT_PUSH_LEFT = 1505,
    OUT_PUSH_RIGHT = 1506,
    OUT_TAKE_OFF_LEFT = 1507,
    OUT_TAKE_OFF_RIGHT = 1508,
    OUT_BOUNCE = 1510,
    OUT_FLAP = 1514,
    OUT_DIE = 1515,
    OUT_BALLOON_HIT = 1516,
    OUT_FALL = 1517,
    OUT_RESPAWN = 1518
};

const MachineRow kBirdMachine[] = {
    {BIRD_BEFORE_START, BIRD_START, BIRD_CHOOSING, OUT_FACE_CENTRE},

    {BIRD_CHOOSING, BIRD_FACE_LEFT, BIRD_STANDING_LEFT, OUT_SHOW_LEFT},
    {BIRD_CHOOSING, BIRD_FACE_RIGHT, BIRD_STANDING_RIGHT, OUT_SHOW_RIGHT},
    {BIRD_CHOOSING, BIRD_BALLOON_HIT, BIRD_CHOOSING, OUT_BALLOON_HIT},
    {BIRD_CHOOSING, BIRD_DIE, BIRD_DYING, OUT_DIE},

    {BIRD_STANDING_LEFT, BIRD_RIGHT_PRESSED, BIRD_WALKING_RIGHT, OUT_WALK_RIGHT},
    {BIRD_STANDING_LEFT, BIRD_LEFT_PRESSED, BIRD_WALKING_LEFT, OUT_WALK_LEFT},
    {BIRD_STANDING_LEFT, BIRD_FLAP, BIRD_FLYING_LEFT_HELD, OUT_TAKE_OFF_LEFT},
    {BIRD_STANDING_LEFT, BIRD_BALLOON_HIT, BIRD_STANDING_LEFT, OUT_BALLOON_HIT},
    {BIRD_STANDING_LEFT, BIRD_DIE, BIRD_DYING, OUT_DIE},

    {BIRD_STANDING_RIGHT, BIRD_LEFT_PRESSED, BIRD_WALKING_LEFT, OUT_WALK_LEFT},
    {BIRD_STANDING_RIGHT, BIRD_RIGHT_PRESSED, BIRD_WALKING_RIGHT, OUT_WALK_RIGHT},
    {BIRD_STANDING_RIGHT, BIRD_FLAP, BIRD_FLYING_RIGHT_HELD, OUT_TAKE_OFF_RIGHT},
    {BIRD_STANDING_RIGHT, BIRD_BALLOON_HIT, BIRD_STANDING_RIGHT, OUT_BALLOON_HIT},
    {BIRD_STANDING_RIGHT, BIRD_DIE, BIRD_DYING, OUT_DIE},

    {BIRD_WALKING_LEFT, BIRD_LEFT_RELEASED, BIRD_STANDING_LEFT, OUT_SHOW_LEFT},
    {BIRD_WALKING_LEFT, BIRD_RIGHT_PRESSED, BIRD_WALKING_RIGHT, OUT_WALK_RIGHT},
    {BIRD_WALKING_LEFT, BIRD_KEEP_LEFT, BIRD_WALKING_LEFT, OUT_WALK_LEFT},
    {BIRD_WALKING_LEFT, BIRD_FLAP, BIRD_FLYING_LEFT_HELD, OUT_TAKE_OFF_LEFT},
    {BIRD_WALKING_LEFT, BIRD_BALLOON_HIT, BIRD_WALKING_LEFT, OUT_BALLOON_HIT},
    {BIRD_WALKING_LEFT, BIRD_DIE, BIRD_DYING, OUT_DIE},

    {BIRD_WALKING_RIGHT, BIRD_RIGHT_RELEASED, BIRD_STANDING_RIGHT, OUT_SHOW_RIGHT},
    {BIRD_WALKING_RIGHT, BIRD_LEFT_PRESSED, BIRD_WALKING_LEFT, OUT_WALK_LEFT},
    {BIRD_WALKING_RIGHT, BIRD_KEEP_RIGHT, BIRD_WALKING_RIGHT, OUT_WALK_RIGHT},
    {BIRD_WALKING_RIGHT, BIRD_FLAP, BIRD_FLYING_RIGHT_HELD, OUT_TAKE_OFF_RIGHT},
    {BIRD_WALKING_RIGHT, BIRD_BALLOON_HIT, BIRD_WALKING_RIGHT, OUT_BALLOON_HIT},
    {BIRD_WALKING_RIGHT, BIRD_DIE, BIRD_DYING, OUT_DIE},

    {BIRD_FLYING_LEFT_HELD, BIRD_LEFT_RELEASED, BIRD_FLYING_LEFT, 0},
    {BIRD_FLYING_LEFT_HELD, BIRD_RIGHT_PRESSED, BIRD_FLYING_RIGHT_HELD, OUT_PUSH_RIGHT},
    {BIRD_FLYING_LEFT_HELD, BIRD_KEEP_LEFT, BIRD_FLYING_LEFT_HELD, OUT_PUSH_LEFT},
    {BIRD_FLYING_LEFT_HELD, BIRD_FLAP, BIRD_FLYING_LEFT_HELD, OUT_FLAP},
    {BIRD_FLYING_LEFT_HELD, BIRD_TOUCHED_BALLOON, BIRD_BOUNCING_LEFT, OUT_BOUNCE},
    {BIRD_FLYING_LEFT_HELD, BIRD_BALLOON_HIT, BIRD_FLYING_LEFT_HELD, OUT_BALLOON_HIT},
    {BIRD_FLYING_LEFT_HELD, BIRD_DIE, BIRD_DYING, OUT_DIE},

    {BIRD_FLYING_RIGHT_HELD, BIRD_LEFT_PRESSED, BIRD_FLYING_LEFT_HELD, OUT_PUSH_LEFT},
    {BIRD_FLYING_RIGHT_HELD, BIRD_KEEP_RIGHT, BIRD_FLYING_RIGHT_HELD, OUT_PUSH_RIGHT},
    {BIRD_FLYING_RIGHT_HELD, BIRD_RIGHT_RELEASED, BIRD_FLYING_RIGHT, 0},
    {BIRD_FLYING_RIGHT_HELD, BIRD_FLAP, BIRD_FLYING_RIGHT_HELD, OUT_FLAP},
    {BIRD_FLYING_RIGHT_HELD, BIRD_TOUCHED_BALLOON, BIRD_BOUNCING_RIGHT, OUT_BOUNCE},
    {BIRD_FLYING_RIGHT_HELD, BIRD_BALLOON_HIT, BIRD_FLYING_RIGHT_HELD, OUT_BALLOON_HIT},
    {BIRD_FLYING_RIGHT_HELD, BIRD_DIE, BIRD_DYING, OUT_DIE},

    {BIRD_FLYING_LEFT, BIRD_RIGHT_PRESSED, BIRD_FLYING_RIGHT_HELD, OUT_PUSH_RIGHT},
    {BIRD_FLYING_LEFT, BIRD_LEFT_PRESSED, BIRD_FLYING_LEFT_HELD, OUT_PUSH_LEFT},
    {BIRD_FLYING_LEFT, BIRD_FLAP, BIRD_FLYING_LEFT, OUT_FLAP},
    {BIRD_FLYING_LEFT, BIRD_TOUCHED_BALLOON, BIRD_BOUNCING_LEFT, OUT_BOUNCE},
    {BIRD_FLYING_LEFT, BIRD_BALLOON_HIT, BIRD_FLYING_LEFT, OUT_BALLOON_HIT},
    {BIRD_FLYING_LEFT, BIRD_DIE, BIRD_DYING, OUT_DIE},

    {BIRD_FLYING_RIGHT, BIRD_RIGHT_PRESSED, BIRD_FLYING_RIGHT_HELD, OUT_PUSH_RIGHT},
    {BIRD_FLYING_RIGHT, BIRD_LEFT_PRESSED, BIRD_FLYING_LEFT_HELD, OUT_PUSH_LEFT},
    {BIRD_FLYING_RIGHT, BIRD_FLAP, BIRD_FLYING_RIGHT, OUT_FLAP},
    {BIRD_FLYING_RIGHT, BIRD_TOUCHED_BALLOON, BIRD_BOUNCING_RIGHT, OUT_BOUNCE},
    {BIRD_FLYING_RIGHT, BIRD_BALLOON_HIT, BIRD_FLYING_RIGHT, OUT_BALLOON_HIT},
    {BIRD_FLYING_RIGHT, BIRD_DIE, BIRD_DYING, OUT_DIE},

    {BIRD_BOUNCING_LEFT, BIRD_BOUNCE_OVER, BIRD_FLYING_LEFT, 0},
    {BIRD_BOUNCING_LEFT, BIRD_BALLOON_HIT, BIRD_BOUNCING_LEFT, OUT_BALLOON_HIT},
    {BIRD_BOUNCING_LEFT, BIRD_DIE, BIRD_DYING, OUT_DIE},

    {BIRD_BOUNCING_RIGHT, BIRD_BOUNCE_OVER, BIRD_FLYING_RIGHT, 0},
    {BIRD_BOUNCING_RIGHT, BIRD_BALLOON_HIT, BIRD_BOUNCING_RIGHT, OUT_BALLOON_HIT},
    {BIRD_BOUNCING_RIGHT, BIRD_DIE, BIRD_DYING, OUT_DIE},

    {BIRD_DYING, BIRD_BALLOON_HIT, BIRD_DYING, 0},
    {BIRD_DYING, BIRD_DIE, BIRD_DYING, 0},
    {BIRD_DYING, BIRD_START_FALLING, BIRD_FALLING, OUT_FALL},

    {BIRD_FALLING, BIRD_RESPAWN, BIRD_CHOOSING, OUT_RESPAWN},
};

} // namespace

CBird::CBird(const char* name, float width, float height)
    : CActor(width, height), m_pMachine(nullptr), m_nFlapCount(0), m_nScore(0),
      m_pSpawnSound(nullptr), m_pDeathSound(nullptr), m_fThrust(1000.0f), m_fFlapImpulse(-10000.0f),
      m_fThrustFactor(1.0f), m_nLives(3), m_apBalloons(), m_anJoints(), m_nLostBalloon(-1),
      m_nLastLoss(0), m_nTakenBalloon(0), m_dTakenAt(-1.0), m_dLastSpeedCheck(0.0),
      m_pImpact(nullptr)
{
    const char* section = name ? name : "";
    LoadLooks(section, "小鸟_左", "小鸟_右", "小鸟_死亡", 0.6f, 0.5f);
    const std::string impact = CharacterSetting(section, "撞击效果", "撞");

    char label[32];
    std::snprintf(label, sizeof label, "玩家%d", s_nNextPlayer++);
    m_Label = Resources()->CreateString("玩家名字");
    m_Label->SetString(label);
    m_Label->SetColor(CZanColor(1.0f, 0.84313726f, 0.0f, 1.0f));
    // A dark outline drawn just beneath keeps the yellow label readable on the light sky.
    for (CZanResPtr<CZanString>& edge : m_aLabelOutline)
    {
        edge = Resources()->CreateString("玩家名字");
        edge->SetString(label);
        edge->SetColor(CZanColor(0.24f, 0.14f, 0.02f, 0.9f));
        edge->SetRenderLevel(m_Label->GetRenderLevel() - 1);
    }

    if (ZanParticleSystemInfo* info = Resources()->GetParticleInfo(impact.c_str()))
        m_pImpact = new CZanParticleSystem(info);

    m_pSpawnSound = LoadSoundRecord("玩家出生0%d", Engine()->RandomInt(1, 3));
    m_pDeathSound = LoadSoundRecord("玩家死亡0%d", Engine()->RandomInt(1, 3));

    SetMass(1.0f);
    SetSpinnable(false);
    m_pMachine = BuildMachine(BIRD_BEFORE_START, kBirdMachine);
    HideAll();
    m_FlyLeft->SetVisible(true);
    m_dLastSpeedCheck = GameSeconds();
    SetGroup(s_nNextGroup++);

    for (CBalloon*& balloon : m_apBalloons)
    {
        balloon = new CBalloon(15.0f, 30.0f, GetID());
        balloon->SetOwnedByPlayer(true);
    }
}

CBird::~CBird()
{
    for (int i = 0; i < BALLOONS; ++i)
    {
        if (m_anJoints[i] && Physics())
            Physics()->RemoveJoint(m_anJoints[i]);
        delete m_apBalloons[i];
    }
    delete m_pImpact;
    delete m_pSpawnSound;
    delete m_pDeathSound;
    delete m_pMachine;
}

void CBird::Spawn(float x, float y)
{
    PlaceAtSpawn(x, y);
    for (int i = 0; i < BALLOONS; ++i)
        m_anJoints[i] = TieBalloon(m_apBalloons[i]);
}

void CBird::Update()
{
    CQuadObject::Update();
    FollowLooks();
    const CZanVector p = GetPos();
    m_Label->SetPosition(p.x - 20.0f, p.y - 75.0f);
    const float offsets[LABEL_OUTLINE][2] = {
        {-1.0f, 0.0f}, {1.0f, 0.0f}, {0.0f, -1.0f}, {1.0f, 1.0f}};
    for (int i = 0; i < LABEL_OUTLINE; ++i)
        m_aLabelOutline[i]->SetPosition(p.x - 20.0f + offsets[i][0], p.y - 75.0f + offsets[i][1]);

    const bool falling = GetState() == BIRD_FALLING;
    CZanVector at;
    if (WrapAround(at) && !falling)
        MoveBalloonsTo(at.x, at.y - 40.0f);

    // The wings beat as fast as the player has been flapping over the last half second.
    const double now = GameSeconds();
    if (!falling && now - m_dLastSpeedCheck > 0.5)
    {
        if (m_nFlapCount > 0)
        {
            m_FlyLeft->SetSpeed(float(2 * m_nFlapCount + 9));
            m_FlyRight->SetSpeed(float(2 * m_nFlapCount + 9));
        }
        else
        {
            m_FlyLeft->Stop();
            m_FlyRight->Stop();
        }
        m_dLastSpeedCheck = now;
        m_nFlapCount = 0;
    }

    if (m_pImpact)
        m_pImpact->Update();
    m_TimedEvents.Pump([this](int event) { Handle(event, nullptr); });
}

void CBird::MoveBalloonsTo(float x, float y)
{
    for (CBalloon* balloon : m_apBalloons)
        balloon->SetPos(x, y);
}

bool CBird::OnEngineMessage(CPacket_Read* message)
{
    if (!message || message->ReadBits(32) != ZAN_MSG_COLLISION)
        return true;
    const unsigned long other = message->ReadBits(32);
    for (CBalloon* balloon : m_apBalloons)
        if (balloon->GetID() == other)
            return true;
    const unsigned count = message->ReadBits(32);
    const CZanVector v = GetVelocity();
    const CZanVector p = GetPos();
    for (unsigned i = 0; i < count && i < 2; ++i)
    {
        const CZanVector contact = message->Readvector();
        // A hard landing on something below kicks up dust where it touched.
        if (v.x * v.x + v.y * v.y > 100.0f && p.y > contact.y)
        {
            if (m_pImpact)
                m_pImpact->FireAt(contact.x, contact.y);
            return true;
        }
        message->Readvector();
    }
    return true;
}

bool CBird::OnObjectMessage(unsigned long, CPacket_Read* message)
{
    if (message)
        Handle(int16_t(message->ReadBits(16)), message);
    return true;
}

void CBird::FaceCentre()
{
    m_TimedEvents.Schedule(0, GetPos().x < 400.0f ? BIRD_FACE_RIGHT : BIRD_FACE_LEFT);
}

// Pushing keeps going while the key is held, but adds nothing past 150 pixels per second.
void CBird::Push(float impulse, bool left)
{
    const float vx = GetVelocity().x;
    if (left ? vx > -150.0f : vx < 150.0f)
    {
        CZanVector push(left ? -impulse : impulse, 0.0f);
        Physics()->AddImpulse(GetID(), push);
    }
    HideAll();
    Show(left);
    m_TimedEvents.Schedule(0, left ? BIRD_KEEP_LEFT : BIRD_KEEP_RIGHT);
}

// No push while already rising faster than 100 pixels per second, so holding the key climbs
// at a steady pace.
void CBird::Flap()
{
    if (GetVelocity().y <= -100.0f)
        return;
    CZanVector push(0.0f, m_fFlapImpulse * m_fThrustFactor);
    Physics()->AddImpulse(GetID(), push);
    ++m_nFlapCount;
    m_FlyLeft->Play(0);
    m_FlyRight->Play(0);
}

void CBird::Bounce(CPacket_Read* reader)
{
    if (!reader)
        return;
    const unsigned long balloonID = reader->ReadBits(32);
    const unsigned long owner = reader->ReadBits(32);
    if (CZanObject* balloon = Engine()->GetObject(balloonID))
        SetVelocity((GetPos() - balloon->GetPos()) * 5.0f);
    const int before = m_nScore;
    // The owner took its balloon's hit earlier in this delivery, or ignored it.
    const CBird* victim = dynamic_cast<const CBird*>(Engine()->GetObject(owner));
    if (SceneIsPlayer(owner) && victim && victim->LostInThisFrame(balloonID))
        m_nScore += 1000;
    else if (SceneIsMonster(owner))
        m_nScore += 100;
    if (m_nScore != before)
        SendToLevel(GetID(), LEVEL_SCORE_CHANGED, {uint32_t(m_nScore), uint32_t(GetID())});
    m_TimedEvents.Schedule(400, BIRD_BOUNCE_OVER);
}

void CBird::Die()
{
    --m_nLives;
    SendToLevel(GetID(), LEVEL_LIVES_CHANGED, {uint32_t(m_nLives), uint32_t(GetID())});
    ShowDeath();
    for (int i = 0; i < BALLOONS; ++i)
    {
        m_apBalloons[i]->Deactivate();
        Physics()->SetJointActive(m_anJoints[i], false);
    }
    PlayIfLoaded(m_pDeathSound);
    m_TimedEvents.Schedule(200, BIRD_START_FALLING);
}

// The first hit costs a balloon; a hit on the last one, a life. Within a second of a loss or
// a respawn hits are ignored, so one touch that lasts several frames costs one balloon.
void CBird::BalloonHit(CPacket_Read* reader)
{
    if (!reader)
        return;
    const unsigned long balloonID = reader->ReadBits(32);
    const unsigned now = NowTicks();
    if (now - m_nLastLoss < 1000)
        return;
    if (m_nLostBalloon < 0)
    {
        m_nLostBalloon = balloonID == m_apBalloons[0]->GetID() ? 0 : 1;
        m_apBalloons[m_nLostBalloon]->Deactivate();
        Physics()->SetJointActive(m_anJoints[m_nLostBalloon], false);
        m_nLastLoss = now;
    }
    else if (now - m_nLastLoss > 1000)
        m_TimedEvents.Schedule(0, BIRD_DIE);
    else
        return;
    m_nTakenBalloon = balloonID;
    m_dTakenAt = Engine()->GetElapsedTime();
}

bool CBird::LostInThisFrame(unsigned long balloonID) const
{
    return m_nTakenBalloon == balloonID && m_dTakenAt == Engine()->GetElapsedTime();
}

void CBird::Fall()
{
    Tumble();
    if (m_nLives > 0)
        m_TimedEvents.Schedule(4000, BIRD_RESPAWN);
    else
        SendToLevel(GetID(), LEVEL_OUT_OF_LIVES, {uint32_t(GetID())});
}

void CBird::Respawn()
{
    m_nLastLoss = NowTicks();
    ReturnToSpawn();
    for (int i = 0; i < BALLOONS; ++i)
        m_apBalloons[i]->Reactivate();
    m_nLostBalloon = -1;
    for (int i = 0; i < BALLOONS; ++i)
        Physics()->SetJointActive(m_anJoints[i], true);
    PlayIfLoaded(m_pSpawnSound);
    FaceCentre();
}

void CBird::Handle(int event, CPacket_Read* reader)
{
    m_pMachine->Process(event);
    switch (m_pMachine->GetOutput())
    {
    case OUT_FACE_CENTRE:
        FaceCentre();
        break;
    case OUT_SHOW_LEFT:
    case OUT_SHOW_RIGHT:
        HideAll();
        StopAll();
        Show(m_pMachine->GetOutput() == OUT_SHOW_LEFT);
        break;
    case OUT_WALK_LEFT:
    case OUT_WALK_RIGHT:
        StopAll();
        Push(m_fThrust * m_fThrustFactor, m_pMachine->GetOutput() == OUT_WALK_LEFT);
        break;
    case OUT_PUSH_LEFT:
    case OUT_PUSH_RIGHT:
        Push(1000.0f, m_pMachine->GetOutput() == OUT_PUSH_LEFT);
        break;
    case OUT_TAKE_OFF_LEFT:
    case OUT_TAKE_OFF_RIGHT:
        HideAll();
        Show(m_pMachine->GetOutput() == OUT_TAKE_OFF_LEFT);
        Flap();
        break;
    case OUT_FLAP:
        Flap();
        break;
    case OUT_BOUNCE:
        Bounce(reader);
        break;
    case OUT_DIE:
        Die();
        break;
    case OUT_BALLOON_HIT:
        BalloonHit(reader);
        break;
    case OUT_FALL:
        Fall();
        break;
    case OUT_RESPAWN:
        Respawn();
        break;
    default:
        break;
    }
}
