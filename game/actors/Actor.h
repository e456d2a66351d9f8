// CActor: what a bird and a monster share.
#pragma once

#include "ZanEngine.h"
#include "core/QuadObject.h"

#include <string>

class CBalloon;

/// A flyer under balloons: fly-left, fly-right and death animations named in its section of
/// "character.cfg", a spawn point, the wrap from one side of the screen to the other, the still
/// death and the tumbling fall.
class CActor : public CQuadObject
{
public:
    CZanAnim* GetFlyLeft() const { return m_FlyLeft.Get(); }
    CZanAnim* GetFlyRight() const { return m_FlyRight.Get(); }
    CZanAnim* GetDeath() const { return m_Death.Get(); }

protected:
    CActor(float width, float height);

    /// A name from "character.cfg" in the actor's section, or the fallback.
    static std::string CharacterSetting(const char* section, const char* key, const char* fallback);
    /// Makes the three animations the section names ("飞_左", "飞_右", "死亡"), each named by
    /// the fallback when the section has none.
    void LoadLooks(const char* section, const char* flyLeft, const char* flyRight,
                   const char* death, float flyScale, float deathScale);
    void HideAll();
    void StopAll();
    void Show(bool left);
    /// The animations step and follow the body's position and turn.
    void FollowLooks();
    /// Past 850 the actor comes back in at -50 and the other way round; true when it moved,
    /// `at` its new position.
    bool WrapAround(CZanVector& at);

    /// Remembers the spawn point and puts the actor there.
    void PlaceAtSpawn(float x, float y);
    /// Hangs a balloon 40 pixels above the spawn point and returns the joint that ties it on.
    unsigned long TieBalloon(CBalloon* balloon);
    /// Stops dead where it is, out of collisions, showing its death.
    void ShowDeath();
    /// Thrown up and sideways at random, spinning, to fall off the screen.
    void Tumble();
    /// Back at the spawn point, upright, still, hidden and collidable again.
    void ReturnToSpawn();

    CZanResPtr<CZanAnim> m_FlyLeft;
    CZanResPtr<CZanAnim> m_FlyRight;
    CZanResPtr<CZanAnim> m_Death;
    float m_fSpawnX, m_fSpawnY;
};
