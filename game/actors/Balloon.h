// CBalloon: the balloon a bird (two) or a monster (one) hangs under.
#pragma once

#include "ZanEngine.h"
#include "world/SKFMapMgr.h"

/// A floating quad tied to its owner by a joint the owner makes. Touching another actor tells
/// that actor (1405 to a bird, 1706 to a monster) and, depending on who owns the balloon, tells
/// the owner it was hit (2200 to a bird) or that it dies (1707 to a monster).
class CBalloon : public CQuadObject
{
public:
    enum
    {
        FIRST_GROUP = 10000 ///< balloons' physics groups count from here, one per balloon
    };

    /// Picks one of the ten balloon pictures at random; owned by a monster until told otherwise.
    CBalloon(float width, float height, unsigned long owner);
    ~CBalloon() override;

    void Update() override;
    bool OnEngineMessage(CPacket_Read* message) override;

    /// Out of play: not collidable, hidden, out of the physics step.
    void Deactivate();
    /// Back in play at its home, upright and still.
    void Reactivate();

    void SetOwnedByPlayer(bool owned) { m_bOwnedByPlayer = owned; }
    bool IsOwnedByPlayer() const { return m_bOwnedByPlayer; }
    unsigned long GetOwner() const { return m_nOwner; }
    void SetHome(float x, float y)
    {
        m_fHomeX = x;
        m_fHomeY = y;
    }
    CZanSprite* GetSprite() const { return m_Sprite.Get(); }

private:
    void PlayHit();

    unsigned long m_nOwner;
    CZanResPtr<CZanSprite> m_Sprite;
    bool m_bOwnedByPlayer;
    CZanOgg* m_pHitSound;
    float m_fHomeX, m_fHomeY;
};
