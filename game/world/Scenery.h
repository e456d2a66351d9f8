// The objects a map creates: sky pictures, drifting clouds, fixed and loose blocks, water.
// All are owned by the map manager and live until its Clear.
#pragma once

#include "core/QuadObject.h"

/// Sky picture kinds ("图像" Type).
enum ESkyKind
{
    SKY_SUN = 1,
    SKY_MOON = 2,
    SKY_TINTED = 3,
    SKY_TINTED_FAR = 4
};

/// Events the water sends to what drowns in it: a bird, a monster. Payload: the victim's id.
enum
{
    BIRD_EVENT_DIE = 1410,
    MONSTER_EVENT_DIE = 1707
};

/// A picture of the sky or the background: the sun and the moon travel with the hour, tinted
/// kinds take the colour of the time of day. Takes no part in physics.
class CSkyObject : public CQuadObject
{
public:
    explicit CSkyObject(const char* sprite);
    void Update() override;

    CZanSprite* GetSprite() const { return m_Sprite.Get(); }
    void SetKind(int kind) { m_nKind = kind; }
    int GetKind() const { return m_nKind; }
    void SetBaseScale(float scale) { m_fBaseScale = scale; }
    float GetBaseScale() const { return m_fBaseScale; }

private:
    CZanResPtr<CZanSprite> m_Sprite;
    int m_nKind;
    float m_fBaseScale;
};

/// A cloud drifting left, faster in front (render level 100 and above), tinted by the hour.
class CCloud : public CQuadObject
{
public:
    explicit CCloud(const char* sprite);
    /// Chooses the drift speed from the sprite's render level: set that first.
    void StartDrift();
    void Update() override;

    CZanSprite* GetSprite() const { return m_Sprite.Get(); }

private:
    CZanResPtr<CZanSprite> m_Sprite;
};

/// An invisible fixed obstacle.
class CBlock : public CQuadObject
{
public:
    CBlock(float width, float height) : CQuadObject(width, height) {}
};

/// Waving water, tinted by the hour, that drowns any bird or monster touching it.
class CWaterMesh : public CQuadObject
{
public:
    CWaterMesh(float width, float height, const char* mesh);
    void Update() override;
    bool OnEngineMessage(CPacket_Read* message) override;

    CZanMesh* GetMesh() const { return m_Mesh.Get(); }

private:
    CZanResPtr<CZanMesh> m_Mesh;
};

/// A pictured block moved by physics, tinted from its own colour at midnight to white at noon.
class CLooseBlock : public CQuadObject
{
public:
    CLooseBlock(float width, float height, const char* sprite);
    void Update() override;

    CZanSprite* GetSprite() const { return m_Sprite.Get(); }

private:
    CZanResPtr<CZanSprite> m_Sprite;
};
