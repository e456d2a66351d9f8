// CBird: a player's bird under two balloons.
#pragma once

#include "ZanEngine.h"
#include "actors/Actor.h"
#include "actors/Balloon.h"
#include "core/StateMachine.h"
#include "world/SKFMapMgr.h"

class CZanParticleSystem;

/// Bird events, states and outputs. The level sends the key and start events; the bird sends
/// itself the rest through its timed events, and its balloons send 2200 and 1405.
enum EBird
{
    BIRD_BEFORE_START = 1300,
    BIRD_CHOOSING = 1301,
    BIRD_STANDING_LEFT = 1302,
    BIRD_STANDING_RIGHT = 1303,
    BIRD_WALKING_LEFT = 1304,
    BIRD_WALKING_RIGHT = 1305,
    BIRD_FLYING_LEFT_HELD = 1306,
    BIRD_FLYING_RIGHT_HELD = 1307,
    BIRD_FLYING_LEFT = 1308,
    BIRD_FLYING_RIGHT = 1309,
    BIRD_BOUNCING_LEFT = 1310,
    BIRD_BOUNCING_RIGHT = 1311,
    BIRD_DYING = 1312,
    BIRD_FALLING = 1313,

    BIRD_START = 1102,
    BIRD_FLAP = 1104,
    BIRD_LEFT_PRESSED = 1105,
    BIRD_RIGHT_PRESSED = 1106,
    BIRD_LEFT_RELEASED = 1107,
    BIRD_RIGHT_RELEASED = 1108,
    BIRD_FACE_LEFT = 1400,
    BIRD_FACE_RIGHT = 1401,
    BIRD_KEEP_LEFT = 1402,
    BIRD_KEEP_RIGHT = 1403,
    BIRD_TOUCHED_BALLOON = 1405,
    BIRD_BOUNCE_OVER = 1409,
    BIRD_DIE = 1410,
    BIRD_START_FALLING = 1411,
    BIRD_RESPAWN = 1412,
    BIRD_BALLOON_HIT = 2200,

    LEVEL_LIVES_CHANGED = 1406,
    LEVEL_SCORE_CHANGED = 1407,
    LEVEL_OUT_OF_LIVES = 1413
};

/// Owns its balloons, animations, label, sounds, impact effect and machine. Made by the
/// level with the name "角色%d"; "character.cfg" names its pictures in that section.
class CBird : public CActor
{
public:
    enum
    {
        FIRST_GROUP = 100, ///< birds' physics groups count from here, one per bird
        BALLOONS = 2
    };

    CBird(const char* name, float width, float height);
    ~CBird() override;

    /// Puts the bird at (x, y), its balloons 40 pixels above, and ties them on.
    void Spawn(float x, float y);

    void Update() override;
    bool OnEngineMessage(CPacket_Read* message) override;
    bool OnObjectMessage(unsigned long sender, CPacket_Read* message) override;

    int GetState() const { return m_pMachine->GetCurrent(); }
    int GetScore() const { return m_nScore; }
    int GetLives() const { return m_nLives; }
    int GetLostBalloon() const { return m_nLostBalloon; }
    /// True when the touch of this balloon, in this frame, cost the bird the balloon (or its
    /// life): a touch the bird's grace second ignored pops nothing and scores nothing.
    bool LostInThisFrame(unsigned long balloonID) const;
    CBalloon* GetBalloon(int i) const { return m_apBalloons[i]; }
    const char* GetLabel() const { return m_Label->GetString(); }

private:
    void Handle(int event, CPacket_Read* reader);
    void Push(float impulse, bool left);
    void Flap();
    void Bounce(CPacket_Read* reader);
    void Die();
    void BalloonHit(CPacket_Read* reader);
    void Fall();
    void Respawn();
    void FaceCentre();
    void MoveBalloonsTo(float x, float y);

    CZanResPtr<CZanString> m_Label;
    static constexpr int LABEL_OUTLINE = 4;
    CZanResPtr<CZanString> m_aLabelOutline[LABEL_OUTLINE];
    CStateMachine* m_pMachine;
    int m_nFlapCount;
    int m_nScore;
    CZanOgg* m_pSpawnSound;
    CZanOgg* m_pDeathSound;
    float m_fThrust;
    float m_fFlapImpulse;
    float m_fThrustFactor;
    int m_nLives;
    CBalloon* m_apBalloons[BALLOONS];
    unsigned long m_anJoints[BALLOONS];
    int m_nLostBalloon;
    unsigned m_nLastLoss;
    unsigned long m_nTakenBalloon; // the balloon whose hit was last taken, and the frame's time
    double m_dTakenAt;
    double m_dLastSpeedCheck;
    CTimedEvents m_TimedEvents;
    CZanParticleSystem* m_pImpact;
};
