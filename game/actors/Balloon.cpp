#include "actors/Balloon.h"

#include "actors/ActorSupport.h"

#include <cstdio>

namespace
{
int s_nNextGroup = CBalloon::FIRST_GROUP;

enum
{
    EVENT_BIRD_TOUCHED_BALLOON = 1405,
    EVENT_MONSTER_TOUCHED_BALLOON = 1706,
    EVENT_MONSTER_DIE = 1707,
    EVENT_BALLOON_HIT = 2200
};
} // namespace

CBalloon::CBalloon(float width, float height, unsigned long owner)
    : CQuadObject(width, height), m_nOwner(owner), m_bOwnedByPlayer(false), m_pHitSound(nullptr),
      m_fHomeX(0.0f), m_fHomeY(0.0f)
{
    char name[32];
    std::snprintf(name, sizeof name, "气球%d", Engine()->RandomInt(1, 10));
    m_Sprite = Resources()->CreateSprite(name);
    m_pHitSound = LoadSoundRecord("撞击01");
    SetGroup(s_nNextGroup++);
    SetMass(0.02f);
}

CBalloon::~CBalloon()
{
    delete m_pHitSound;
}

void CBalloon::Update()
{
    CQuadObject::Update();
    m_Sprite->SetPosition(GetPos());
    m_Sprite->SetRot(GetRot());
}

void CBalloon::Deactivate()
{
    SetCollidable(false);
    m_Sprite->SetVisible(false);
    SetActive(false);
}

void CBalloon::Reactivate()
{
    SetPos(m_fHomeX, m_fHomeY);
    SetRot(0.0f);
    SetVelocity(CZanVector(0.0f, 0.0f));
    SetCollidable(true);
    m_Sprite->SetVisible(true);
    SetActive(true);
}

void CBalloon::PlayHit()
{
    if (m_pHitSound && !m_pHitSound->IsPlaying())
        m_pHitSound->PlaySoundA();
}

bool CBalloon::OnEngineMessage(CPacket_Read* message)
{
    if (!message || message->ReadBits(32) != ZAN_MSG_COLLISION)
        return true;
    const unsigned long other = message->ReadBits(32);
    if (other == m_nOwner)
        return true;
    const bool bird = SceneIsPlayer(other);
    const bool monster = SceneIsMonster(other);

    if (m_bOwnedByPlayer)
    {
        if (bird || monster)
            SendEvent(GetID(), m_nOwner, EVENT_BALLOON_HIT, {uint32_t(GetID())});
    }
    else if (bird)
        SendEvent(GetID(), m_nOwner, EVENT_MONSTER_DIE);

    if (bird)
    {
        SendEvent(GetID(), other, EVENT_BIRD_TOUCHED_BALLOON,
                  {uint32_t(GetID()), uint32_t(m_nOwner)});
        PlayHit();
    }
    if (monster)
    {
        SendEvent(GetID(), other, EVENT_MONSTER_TOUCHED_BALLOON, {uint32_t(GetID())});
        PlayHit();
    }
    return true;
}
