/// \file
/// CZanObject: the engine object with an id, a physics body, an update and message hooks.
///
/// Life of an object: construct it (it takes the next id and makes its body), attach a
/// geometry (kept and deleted by the caller), set group, mass and flags, then register it with
/// CZanEngine::AddObject. While registered it is updated once per frame in id order, receives
/// messages, and the physics step moves its body. Before deleting it, call RemoveObject; then
/// delete its geometry. Objects are never copied.
#pragma once

#include "Zan/ZanMath.h"
#include "Zan/ZanPhysics.h"

#include <cstdint>

class CPacket_Read;

/// Message type of a collision report from the physics world (engine message, sender 0).
enum : uint32_t
{
    ZAN_MSG_COLLISION = 1
};

/// An object of the game world: an id, one rigid body, a per-frame Update and message
/// hooks. Derive from it; the setters and getters below read and write the body directly, so
/// they act at once, registered or not.
class CZanObject
{
public:
    /// Takes the next id (the first object of a process gets 100; ids are never reused) and
    /// creates the body with it. Width and height are not used by the base class.
    CZanObject(float width, float height);
    /// Deletes the body. Does not unregister: call CZanEngine::RemoveObject first.
    virtual ~CZanObject();

    /// Geometry centre and axis; nothing without a geometry.
    virtual void SetCenter(const CZanVector& center)
    {
        if (m_pBody->m_pGeometry)
            m_pBody->m_pGeometry->SetCenter(center);
    }
    /// Geometry axis; nothing without a geometry.
    virtual void SetAxis(const CZanVector& axis)
    {
        if (m_pBody->m_pGeometry)
            m_pBody->m_pGeometry->SetAxis(axis);
    }
    /// Once per frame while registered, in ascending id order. The base does nothing.
    virtual void Update() {}
    /// A message from the engine (sender 0), such as a collision report. The packet is valid
    /// during the call only. The result is not examined.
    virtual bool OnEngineMessage(CPacket_Read* message)
    {
        (void)message;
        return true;
    }
    /// A message from another object or the game (sender 1). Valid during the call only.
    virtual bool OnObjectMessage(unsigned long sender, CPacket_Read* message)
    {
        (void)sender;
        (void)message;
        return true;
    }

    /// The id: the address of messages to this object and its body's key in the world.
    unsigned long GetID() const { return m_nID; }
    /// The object's own body, deleted with the object.
    CZanBody* GetBody() const { return m_pBody; }

    /// Moves the body's centre; the next step goes on from there with the same velocity.
    void SetPos(float x, float y) { m_pBody->m_vPos = CZanVector(x, y); }
    /// Moves the body's centre.
    void SetPos(const CZanVector& pos) { m_pBody->m_vPos = pos; }
    /// Turns the body to an angle, radians.
    void SetRot(float rot) { m_pBody->m_fRot = rot; }
    /// Velocity in pixels per second.
    void SetVelocity(const CZanVector& velocity) { m_pBody->m_vVelocity = velocity; }
    /// Spin in radians per second.
    void SetRotVel(float rotVel) { m_pBody->m_fRotVel = rotVel; }
    /// Mass, inertia and floating force; attach the geometry first.
    void SetMass(float mass) { m_pBody->SetMass(mass); }
    /// Floating direction; the floating force follows at the next SetMass.
    void SetFlotDir(const CZanVector& dir) { m_pBody->m_vFlotDir = dir; }
    /// Friction coefficient (0.2 by default); a pair uses the geometric mean of both.
    void SetFriction(float friction) { m_pBody->m_fFriction = friction; }
    /// Restitution, 0 (no bounce) to 1 (0.5 by default); a pair uses the mass-weighted mean.
    void SetElast(float elast) { m_pBody->m_fElast = elast; }
    /// Objects of equal group never collide. Every object starts in group 0, so give each
    /// object that should meet others a group of its own (its id, say).
    void SetGroup(int group) { m_pBody->m_nGroup = group; }
    /// Cleared: the position stays where it is (contacts still change the velocity).
    void SetMovable(bool movable) { m_pBody->m_bMovable = movable; }
    /// Cleared: the rotation stays where it is.
    void SetSpinnable(bool spinnable) { m_pBody->m_bSpinnable = spinnable; }
    /// Cleared: no gravity and no floating force.
    void SetGravity(bool gravity) { m_pBody->m_bGravity = gravity; }
    /// Cleared: the body takes no part in collisions or force integration.
    void SetActive(bool active) { m_pBody->m_bActive = active; }
    /// Cleared: the body is left out of the pair search.
    void SetCollidable(bool collidable) { m_pBody->m_bCollidable = collidable; }
    /// Cleared: collisions are reported but not resolved.
    void SetCollideAffect(bool affect) { m_pBody->m_bCollideAffect = affect; }
    /// Attaches a geometry (not owned; keep it alive while the object is registered).
    void SetGeometry(CZanGeometry* geometry) { m_pBody->SetGeometry(geometry); }

    /// The attached geometry, or null.
    CZanGeometry* GetGeometry() const { return m_pBody->m_pGeometry; }
    /// The geometry's centre; (0, 0) without a geometry.
    CZanVector GetCenter() const
    {
        return m_pBody->m_pGeometry ? m_pBody->m_pGeometry->m_vCenter : CZanVector();
    }
    /// The geometry's axis; (0, 0) without a geometry.
    CZanVector GetAxis() const
    {
        return m_pBody->m_pGeometry ? m_pBody->m_pGeometry->m_vAxis : CZanVector();
    }
    /// The geometry's shape; a quad without a geometry.
    EZanShape GetShape() const
    {
        return m_pBody->m_pGeometry ? m_pBody->m_pGeometry->GetShape() : ZAN_SHAPE_QUAD;
    }
    /// Where the physics step has moved the body.
    CZanVector GetPos() const { return m_pBody->m_vPos; }
    /// The body's angle, radians.
    float GetRot() const { return m_pBody->m_fRot; }
    /// The body's velocity, pixels per second.
    CZanVector GetVelocity() const { return m_pBody->m_vVelocity; }
    /// The body's spin, radians per second.
    float GetRotVel() const { return m_pBody->m_fRotVel; }

protected:
    uint32_t m_nID;    ///< see GetID
    CZanBody* m_pBody; ///< owned; never null

private:
    CZanObject(const CZanObject&) = delete;
    CZanObject& operator=(const CZanObject&) = delete;
};
