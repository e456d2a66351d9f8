/// \file
/// Particle systems: short-lived sprites emitted from a point or from a rectangle.
///
/// Using one, step by step:
///   1. Load a resource file that holds a "粒子资源" entry and take its record with
///      CZanResourceMgr::GetParticleInfo.
///   2. Construct a CZanParticleSystem from it. The whole pool is made here, one sprite per
///      particle from CZanResourceMgr::CreateSprite; nothing is allocated afterwards.
///   3. Start it with Fire, FireAt, FireWidth or MoveTo, and call Update once per frame. The
///      system is not drawn itself: its sprites are ordinary render-list entries, shown while
///      their particle lives and hidden otherwise.
///
/// Needs the engine (KovCreate) for its clock and random numbers and the resource manager
/// (KovResourceCreate) for its sprites. Without the manager the particles run unseen (reported
/// in the run log); without the engine its clock stands still and nothing is emitted.
#pragma once

#include "Zan/ZanMath.h"
#include "Zan/ZanPhysics.h"
#include "Zan/ZanResource.h"

#include <list>

class CZanSprite;

/// One pooled particle. The sprite handle is owned by the particle; its life is drawn once,
/// when the pool is made, and regained whenever the particle dies.
struct ZanParticle
{
    CZanResPtr<CZanSprite> pSprite; ///< the particle's own sprite
    float fLife;                    ///< remaining life, seconds
    float fTotalLife;               ///< seconds
    CZanVector vPos;                ///< screen pixels
    CZanVector vVelocity;           ///< pixels per second
    CZanVector vAccel;              ///< pixels per second squared
    float fRot;                     ///< radians
    float fAngularVelocity;         ///< radians per second
};

/// A fixed pool of particles and the emitter that brings them to life. Not copyable: every
/// particle owns its sprite, and a copy would have to share or duplicate them all.
class CZanParticleSystem
{
public:
    /// Copies the record and makes the pool (MaxNumbers particles, hidden, each with its own
    /// sprite). A null record gives an empty system; a negative MaxNumbers gives no particles
    /// and one above MAX_PARTICLES is cut to it (both reported in the run log). Not firing,
    /// at (0, 0), bounding box the 800 x 600 screen.
    explicit CZanParticleSystem(const ZanParticleSystemInfo* info);
    /// Releases every particle's sprite handle, which takes the sprite out of the render list.
    ~CZanParticleSystem();

    /// Starts emitting and restarts the lifetime clock; nothing while already firing.
    void Fire();
    /// Emits from the point (x, y); a system already firing keeps its start time.
    void FireAt(float x, float y);
    /// Emits anywhere in the width x height rectangle centred on `center`; as Fire otherwise.
    void FireWidth(const CZanVector& center, float width, float height);
    /// Moves the emitter and always restarts firing and the lifetime clock; the emission mode
    /// (point or rectangle) stays.
    void MoveTo(float x, float y);
    /// As MoveTo(float, float).
    void MoveTo(const CZanVector& position) { MoveTo(position.x, position.y); }
    /// Stops emitting; particles already alive live out their lives.
    void Stop() { m_bFiring = false; }
    /// The angle, radians, by which every new particle's velocity is turned.
    void SetAngular(float radians) { m_fAngle = radians; }
    /// Particles whose position leaves this box die at the next Update.
    void SetBoundBox(const CZanRect& box) { m_BoundBox = box; }

    /// Once per frame: measures the time since the previous Update (or since firing began) on
    /// the engine's exact clock, emits, ages, recycles and moves the particles.
    void Update();

    /// True from firing until Stop or the end of the system's lifetime.
    bool IsFiring() const { return m_bFiring; }
    /// The emitter's point, or the centre of its rectangle.
    CZanVector GetPosition() const { return CZanVector(m_fX, m_fY); }
    /// See SetAngular.
    float GetAngular() const { return m_fAngle; }
    /// See SetBoundBox.
    const CZanRect& GetBoundBox() const { return m_BoundBox; }
    /// The record as copied at construction (MaxNumbers as given, before any cut).
    const ZanParticleSystemInfo& GetInfo() const { return m_Info; }
    /// Particles in the pool.
    int GetPoolSize() const { return m_nParticles; }
    /// Pool particle `index`, or null outside 0 .. GetPoolSize() - 1.
    const ZanParticle* GetParticle(int index) const
    {
        return index >= 0 && index < m_nParticles ? &m_pParticles[index] : nullptr;
    }
    /// The living particles in emission order; pointers into the pool.
    const std::list<ZanParticle*>& GetAliveList() const { return m_lstAlive; }
    /// Particles alive now.
    int GetAliveCount() const { return int(m_lstAlive.size()); }

    /// Largest pool a record may ask for.
    static constexpr int MAX_PARTICLES = 10000;

private:
    CZanParticleSystem(const CZanParticleSystem&) = delete;
    CZanParticleSystem& operator=(const CZanParticleSystem&) = delete;

    void Start();
    void Emit(int count);

    ZanParticleSystemInfo m_Info;
    float m_fLifeTime;
    double m_dFireStart;
    double m_dLastUpdate;
    float m_fCarry; ///< the fraction of a particle left over from the previous frame
    bool m_bFiring;
    bool m_bFireAtPoint;
    float m_fX;
    float m_fY;
    float m_fWidth;
    float m_fHeight;
    float m_fAngle;
    // Particles move between the lists by splicing, so emission and death never allocate.
    std::list<ZanParticle*> m_lstAlive;
    std::list<ZanParticle*> m_lstFree;
    ZanParticle* m_pParticles;
    int m_nParticles;
    CZanRect m_BoundBox;
};
