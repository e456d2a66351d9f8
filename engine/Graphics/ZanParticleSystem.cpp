// Particle systems: a fixed pool of sprites emitted, aged, recycled and moved once per frame.
#include "Zan/ZanParticle.h"

#include "Graphics/ZanGraphicsLog.h"
#include "core/ZanTimer.h"
#include "Zan/ZanSprite.h"

#include <cmath>
#include <iterator>

namespace
{
const char* const kSource = "Graphics\\ZanParticleSystem";
const float kDegreesToRadians = 0.017453292f;

// Particles follow the clock, so how many are born varies with the frame rate; they draw from
// a generator of their own and leave the engine's to the simulation, which a replay or a
// network peer must repeat exactly.
float Random(float min, float max)
{
    static CZanRandom s_Random(0x2545F491u);
    return s_Random.Float(min, max);
}

int PoolSize(const ZanParticleSystemInfo* info)
{
    if (!info)
    {
        ZanLogWarn("粒子系统没有粒子资源", kSource, __LINE__);
        return 0;
    }
    if (info->nMaxNumbers < 0)
    {
        ZanLogWarn("粒子数目不能小于0", kSource, __LINE__);
        return 0;
    }
    if (info->nMaxNumbers > CZanParticleSystem::MAX_PARTICLES)
    {
        ZanLogWarn("粒子数目过多，已减少", kSource, __LINE__);
        return CZanParticleSystem::MAX_PARTICLES;
    }
    return info->nMaxNumbers;
}
} // namespace

CZanParticleSystem::CZanParticleSystem(const ZanParticleSystemInfo* info)
    : m_Info(info ? *info : ZanParticleSystemInfo()), m_fLifeTime(m_Info.fLifeTime),
      m_dFireStart(0.0), m_dLastUpdate(0.0), m_fCarry(0.0f), m_bFiring(false), m_bFireAtPoint(true),
      m_fX(0.0f), m_fY(0.0f), m_fWidth(0.0f), m_fHeight(0.0f), m_fAngle(0.0f),
      m_pParticles(nullptr), m_nParticles(PoolSize(info))
{
    CZanVector screenMin(0.0f, 0.0f), screenMax(800.0f, 600.0f);
    m_BoundBox = CZanRect(screenMin, screenMax);

    m_pParticles = new ZanParticle[size_t(m_nParticles)]();
    CZanResourceMgr* manager = CZanResourceMgr::Instance();
    if (!manager && m_nParticles > 0)
        ZanLogError("粒子系统需要资源管理器", kSource, __LINE__);
    for (int i = 0; i < m_nParticles; ++i)
    {
        ZanParticle& p = m_pParticles[i];
        // Chosen once: a recycled particle lives exactly as long again.
        p.fTotalLife = Random(m_Info.fParticleLifeMin, m_Info.fParticleLifeMax);
        if (manager)
            p.pSprite = manager->CreateSprite(m_Info.strSprite.c_str());
        if (CZanSprite* sprite = p.pSprite.Get())
        {
            sprite->SetVisible(false);
            sprite->SetColor(m_Info.colStart);
        }
        p.fLife = p.fTotalLife;
    }
    // The list nodes are made after the sprites so that they lie together, in pool order,
    // for the walk over the alive list in every Update.
    for (int i = 0; i < m_nParticles; ++i)
        m_lstFree.push_back(&m_pParticles[i]);
}

CZanParticleSystem::~CZanParticleSystem()
{
    m_lstAlive.clear();
    m_lstFree.clear();
    delete[] m_pParticles;
}

void CZanParticleSystem::Start()
{
    if (m_bFiring)
        return;
    m_bFiring = true;
    m_dFireStart = m_dLastUpdate = ZanExactTime();
}

void CZanParticleSystem::Fire()
{
    Start();
}

void CZanParticleSystem::FireAt(float x, float y)
{
    m_bFireAtPoint = true;
    m_fX = x;
    m_fY = y;
    Start();
}

void CZanParticleSystem::FireWidth(const CZanVector& center, float width, float height)
{
    m_fWidth = width;
    m_fHeight = height;
    m_bFireAtPoint = false;
    m_fX = center.x;
    m_fY = center.y;
    Start();
}

void CZanParticleSystem::MoveTo(float x, float y)
{
    m_bFiring = false;
    m_fX = x;
    m_fY = y;
    Start();
}

void CZanParticleSystem::Emit(int count)
{
    const float accelX = m_Info.fAccelX, accelY = m_Info.fAccelY;
    for (int i = 0; i < count && !m_lstFree.empty(); ++i)
    {
        ZanParticle* p = m_lstFree.front();
        // The draws keep this order so that one seed gives one effect.
        const float speed = Random(m_Info.fSpeedMin, m_Info.fSpeedMax);
        const float spin = Random(m_Info.fAngularStart, m_Info.fAngularEnd);
        const float offset = Random(0.0f, m_Info.fSpread);
        p->vAccel = CZanVector(accelX, accelY);
        const float direction = (m_Info.fAngular + offset) * kDegreesToRadians;
        p->vVelocity =
            CZanVector(std::cos(direction) * speed, std::sin(direction) * speed).Rotate(m_fAngle);
        if (m_bFireAtPoint)
            p->vPos = CZanVector(m_fX, m_fY);
        else
        {
            const float x = Random(m_fX - m_fWidth / 2.0f, m_fX + m_fWidth / 2.0f);
            p->vPos = CZanVector(x, Random(m_fY - m_fHeight / 2.0f, m_fY + m_fHeight / 2.0f));
        }
        p->fAngularVelocity = spin * kDegreesToRadians;
        // Life and rotation carry over: the particle regained its full life when it died.
        if (CZanSprite* sprite = p->pSprite.Get())
        {
            sprite->SetVisible(true);
            sprite->SetScale(m_Info.fSizeStart, m_Info.fSizeStart);
        }
        m_lstAlive.splice(m_lstAlive.end(), m_lstFree, m_lstFree.begin());
    }
}

void CZanParticleSystem::Update()
{
    const double now = ZanExactTime();
    const float dt = float(now - m_dLastUpdate);
    m_dLastUpdate = now;

    if (m_bFiring)
    {
        // The frame that passes the lifetime still emits.
        if (double(m_fLifeTime) < now - m_dFireStart)
            m_bFiring = false;
        const float e = float(m_Info.nEmission) * dt + m_fCarry;
        const float whole = std::trunc(e);
        m_fCarry = e - whole;
        // Compared as floats: the pool bounds the count long before an int could overflow.
        Emit(whole >= float(m_nParticles) ? m_nParticles : whole > 0.0f ? int(whole) : 0);
    }

    const float sizeStart = m_Info.fSizeStart, sizeEnd = m_Info.fSizeEnd;
    const CZanColor colStart = m_Info.colStart;
    const CZanColor colDelta = m_Info.colEnd - m_Info.colStart;
    auto it = m_lstAlive.begin();
    while (it != m_lstAlive.end())
    {
        ZanParticle* p = *it;
        const auto next = std::next(it);
        CZanSprite* sprite = p->pSprite.Get();

        p->fLife -= dt;
        // Written negated so that a life that is not a number dies too.
        if (!(p->fLife > 0.0f))
        {
            p->fLife = p->fTotalLife;
            if (sprite)
                sprite->SetVisible(false);
            m_lstFree.splice(m_lstFree.end(), m_lstAlive, it);
            it = next;
            continue;
        }
        // Tested before this frame's move: a particle is seen once outside the box at most.
        if (!m_BoundBox.TestPoint(p->vPos))
        {
            p->fLife = p->fTotalLife;
            if (sprite)
                sprite->SetVisible(false);
            m_lstFree.splice(m_lstFree.end(), m_lstAlive, it);
        }

        const float t = (p->fTotalLife - p->fLife) / p->fTotalLife;
        const float size = sizeStart - (sizeStart - sizeEnd) * t;
        if (sprite)
        {
            sprite->SetScale(size, size);
            sprite->SetColor(colStart + colDelta * t);
        }
        if (p->fLife > 0.0f)
        {
            p->vVelocity += p->vAccel * dt;
            p->vPos += p->vVelocity * dt;
            p->fRot += p->fAngularVelocity * dt;
            if (sprite)
            {
                sprite->SetPosition(p->vPos.x, p->vPos.y);
                sprite->SetRot(p->fRot);
            }
        }
        it = next;
    }
}
