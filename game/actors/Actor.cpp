#include "actors/Actor.h"

#include "actors/ActorSupport.h"
#include "actors/Balloon.h"

namespace
{
CZanResPtr<CZanAnim> MakeAnim(const char* section, const char* key, const char* fallback,
                              float scale)
{
    CZanResPtr<CZanAnim> anim = CharacterAnim(section, key, fallback);
    anim->SetScale(scale, scale);
    return anim;
}
} // namespace

CActor::CActor(float width, float height)
    : CQuadObject(width, height), m_fSpawnX(0.0f), m_fSpawnY(0.0f)
{
}

std::string CActor::CharacterSetting(const char* section, const char* key, const char* fallback)
{
    CZanIni ini("character.cfg");
    return ini.GetString(section, key, fallback);
}

void CActor::LoadLooks(const char* section, const char* flyLeft, const char* flyRight,
                       const char* death, float flyScale, float deathScale)
{
    m_FlyLeft = MakeAnim(section, "飞_左", flyLeft, flyScale);
    m_FlyRight = MakeAnim(section, "飞_右", flyRight, flyScale);
    m_Death = MakeAnim(section, "死亡", death, deathScale);
}

void CActor::HideAll()
{
    m_FlyLeft->SetVisible(false);
    m_FlyRight->SetVisible(false);
    m_Death->SetVisible(false);
}

void CActor::StopAll()
{
    m_FlyLeft->Stop();
    m_FlyRight->Stop();
    m_Death->Stop();
}

void CActor::Show(bool left)
{
    (left ? m_FlyLeft : m_FlyRight)->SetVisible(true);
}

void CActor::FollowLooks()
{
    const CZanVector p = GetPos();
    for (CZanAnim* anim : {m_FlyLeft.Get(), m_FlyRight.Get(), m_Death.Get()})
    {
        anim->Update(0.0f);
        anim->SetPosition(p);
        anim->SetRot(GetRot());
    }
}

bool CActor::WrapAround(CZanVector& at)
{
    at = GetPos();
    float x = at.x;
    if (x > 850.0f)
        x = -50.0f;
    else if (x < -50.0f)
        x = 850.0f;
    if (x == at.x)
        return false;
    at.x = x;
    SetPos(at.x, at.y);
    return true;
}

void CActor::PlaceAtSpawn(float x, float y)
{
    m_fSpawnX = x;
    m_fSpawnY = y;
    SetPos(x, y);
}

unsigned long CActor::TieBalloon(CBalloon* balloon)
{
    balloon->SetHome(m_fSpawnX, m_fSpawnY - 40.0f);
    balloon->SetPos(m_fSpawnX, m_fSpawnY - 40.0f);
    return Physics()->CreateJoint(balloon, this, CZanVector(m_fSpawnX, m_fSpawnY), 1.0f);
}

void CActor::ShowDeath()
{
    HideAll();
    m_Death->SetVisible(true);
    m_Death->Play(0);
    SetCollidable(false);
    SetVelocity(CZanVector(0.0f, 0.0f));
    SetMovable(false);
}

void CActor::Tumble()
{
    SetMovable(true);
    CZanVector v = GetVelocity();
    v.y = Engine()->RandomFloat(-200.0f, -100.0f);
    v.x = Engine()->RandomFloat(-100.0f, 100.0f);
    SetVelocity(v);
    SetSpinnable(true);
    SetRotVel(v.x > 0.0f ? 60.0f : -60.0f);
}

void CActor::ReturnToSpawn()
{
    SetPos(m_fSpawnX, m_fSpawnY);
    SetRot(0.0f);
    SetVelocity(CZanVector(0.0f, 0.0f));
    HideAll();
    SetCollidable(true);
    SetSpinnable(false);
}
