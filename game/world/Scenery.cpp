#include "world/Scenery.h"

#include "core/Scene.h"
#include "world/Environment.h"

#include <cmath>

namespace
{
const float kRadiansPerHour = 0.2617994f; // a full turn in 24 hours
const float kQuarterTurn = 1.5707964f;
const int kWaterNodes = 16;

CZanResourceMgr* Resources()
{
    return CZanResourceMgr::Instance();
}

// The sun and the moon ride a circle of radius 500 around (400, 650): at the top of it they
// stand at (400, 150).
CZanVector OnSkyArc(float theta)
{
    return CZanVector(400.0f + 500.0f * std::cos(theta), 650.0f + 500.0f * std::sin(theta));
}

void Drown(unsigned long from, unsigned long victim, int event)
{
    CZanEngine* engine = CZanEngine::Instance();
    if (!engine)
        return;
    CPacket_Write w;
    w.WriteBits(uint32_t(event), 16);
    w.Writeuint32(uint32_t(victim));
    CPacket_Read r(w);
    engine->SendToObject(from, victim, r);
}
} // namespace

CSkyObject::CSkyObject(const char* sprite)
    : CQuadObject(20.0f, 20.0f), m_nKind(0), m_fBaseScale(1.0f)
{
    SetActive(false);
    if (CZanResourceMgr* resources = Resources())
        m_Sprite = resources->CreateSprite(sprite);
}

void CSkyObject::Update()
{
    CZanSprite* sprite = m_Sprite.Get();
    if (!sprite)
        return;
    const float hour = CurrentHour();
    const float s = std::sin(hour * kRadiansPerHour - kQuarterTurn);
    switch (m_nKind)
    {
    case SKY_SUN:
        sprite->SetPosition(OnSkyArc(kQuarterTurn - hour * kRadiansPerHour));
        sprite->SetSize((1.0f - 0.2f * s) * m_fBaseScale);
        break;
    case SKY_MOON:
        sprite->SetPosition(OnSkyArc(-(hour * kRadiansPerHour + kQuarterTurn)));
        sprite->SetSize((1.0f + 0.2f * s) * m_fBaseScale);
        break;
    case SKY_TINTED:
    case SKY_TINTED_FAR:
        sprite->SetColor(CEnvironment::DayTint(hour, sprite->GetAlpha()));
        break;
    default:
        break;
    }
}

CCloud::CCloud(const char* sprite) : CQuadObject(20.0f, 20.0f)
{
    SetGravity(false);
    SetCollidable(false);
    SetSpinnable(false);
    if (CZanResourceMgr* resources = Resources())
        m_Sprite = resources->CreateSprite(sprite);
}

// Clouds in front (render level 100 and above) pass twice as fast as those behind.
void CCloud::StartDrift()
{
    CZanEngine* engine = CZanEngine::Instance();
    const float jitter = engine ? engine->RandomFloat(-10.0f, 10.0f) : 0.0f;
    const bool front = m_Sprite.Get() && m_Sprite->GetRenderLevel() >= 100;
    SetVelocity(CZanVector(jitter - (front ? 60.0f : 30.0f), 0.0f));
}

void CCloud::Update()
{
    CQuadObject::Update();
    if (GetPos().x < -200.0f)
        SetPos(1000.0f, GetPos().y);
    if (CZanSprite* sprite = m_Sprite.Get())
    {
        sprite->SetPosition(GetPos());
        sprite->SetRot(GetRot());
        sprite->SetColor(CEnvironment::DayTint(CurrentHour(), sprite->GetAlpha()));
    }
}

CWaterMesh::CWaterMesh(float width, float height, const char* mesh) : CQuadObject(width, height)
{
    if (CZanResourceMgr* resources = Resources())
        m_Mesh = resources->CreateMesh(mesh);
}

void CWaterMesh::Update()
{
    CQuadObject::Update();
    CZanMesh* mesh = m_Mesh.Get();
    if (!mesh)
        return;
    // The nodes hold the opacity the map gave; the tint keeps it.
    const float alpha = CZanColor(mesh->GetColor(0, 0)).alpha;
    const unsigned long color = CEnvironment::DayTint(CurrentHour(), alpha).GetHWColor();
    for (int i = 0; i < kWaterNodes; ++i)
        for (int j = 0; j < kWaterNodes; ++j)
            mesh->SetColor(i, j, color);
    const double phase =
        2.5 * (CZanEngine::Instance() ? CZanEngine::Instance()->GetExactTime() : 0.0);
    // The edge nodes stay put so the water keeps its outline; inner ones circle in diagonal waves
    // around their rest places. The mesh measures these offsets from its top-left corner but
    // rests centred, so the waves are taken from where the untouched corner node rests; offsets
    // from the corner alone pulled the inner water half a mesh away and bared the shore.
    float restX = 0.0f, restY = 0.0f;
    mesh->GetDisplacement(0, 0, &restX, &restY, 0);
    for (int i = 1; i < kWaterNodes - 1; ++i)
        for (int j = 1; j < kWaterNodes - 1; ++j)
        {
            const double a = (i + j) / 2 + phase;
            mesh->SetDisplacement(j, i, restX + float(15.0 * std::cos(a)),
                                  restY + float(15.0 * std::sin(a)), 0);
        }
}

bool CWaterMesh::OnEngineMessage(CPacket_Read* message)
{
    if (!message || message->Readuint32() != ZAN_MSG_COLLISION)
        return true;
    const unsigned long other = message->Readuint32();
    CScene* scene = CurrentScene();
    if (!scene)
        return true;
    if (scene->IsPlayer(other))
        Drown(m_nID, other, BIRD_EVENT_DIE);
    if (scene->IsMonster(other))
        Drown(m_nID, other, MONSTER_EVENT_DIE);
    return true;
}

CLooseBlock::CLooseBlock(float width, float height, const char* sprite) : CQuadObject(width, height)
{
    if (CZanResourceMgr* resources = Resources())
        m_Sprite = resources->CreateSprite(sprite);
}

// Its own colour at midnight, white at noon.
void CLooseBlock::Update()
{
    CQuadObject::Update();
    CZanSprite* sprite = m_Sprite.Get();
    if (!sprite)
        return;
    sprite->SetPosition(GetPos());
    sprite->SetRot(GetRot());
    const float s = std::sin(CurrentHour() * 0.1308997f);
    CZanColor color =
        CZanColor(0xff306090UL) + CZanColor(0.8117647f, 0.62352943f, 0.43529412f, 0.0f) * s;
    color.alpha = sprite->GetAlpha();
    color.Clamp();
    sprite->SetColor(color);
}
