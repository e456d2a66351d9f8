/// \file
/// Geometry, rigid bodies and the physics world.
///
/// The world (CZanPhysicsEngine) is a process-wide singleton made by KovPhysicsCreate and
/// destroyed by its final Release. Every engine object owns one CZanBody; registering the
/// object with the engine registers the body here under the object's id. The world never owns
/// bodies or geometries; it owns its joints and its table of contact pairs. The engine steps
/// the world once per frame, before the game's hooks; colliding objects receive collision
/// reports (ZAN_MSG_COLLISION) from sender 0 in the next delivery.
///
/// Units are the game's: pixels, y downwards, angles in radians, times in seconds.
#pragma once

#include "Zan/ZanMath.h"

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

class CZanObject;

/// An axis-aligned rectangle. Copyable. The filling constructors keep min = centre − size/2
/// and max = centre + size/2; nothing re-establishes that after a member is changed.
class CZanRect
{
public:
    /// Centre and both corners (0, 0); width and height are left unset until assigned.
    CZanRect() {}
    /// From a centre, a width and a height.
    CZanRect(CZanVector& center, float width, float height);
    /// From the minimum corner and the maximum corner, used as given: corners passed in the
    /// other order give a negative size and a rectangle that contains no point.
    CZanRect(CZanVector& corner1, CZanVector& corner2);
    ~CZanRect() {}

    /// True when min ≤ p < max on both axes (minimum edges closed, maximum edges open).
    bool TestPoint(CZanVector& p) const;
    /// True when the open rectangles overlap: sharing only an edge is no intersection.
    bool Intersect(const CZanRect& r) const;

    float m_fWidth;       ///< extent along x
    float m_fHeight;      ///< extent along y
    CZanVector m_vCenter; ///< the middle
    CZanVector m_vMin;    ///< smallest x and y (top-left on screen)
    CZanVector m_vMax;    ///< largest x and y
};

/// Kind of a geometry, as the mass computation sees it.
enum EZanShape : int32_t
{
    ZAN_SHAPE_QUAD = 0, ///< oriented box; extents 0 and 1 are half width and half height
    ZAN_SHAPE_DISC = 1  ///< disc; extent 0 is the radius (no engine geometry reports it)
};

/// The abstract shape an object carries. The body reads it but does not own it; whoever
/// attaches a geometry deletes it after the object has left the engine.
class CZanGeometry
{
public:
    virtual ~CZanGeometry() {}
    /// Stores the centre, which Contains tests against and the mass computation reads.
    virtual void SetCenter(const CZanVector& center) { m_vCenter = center; }
    /// Stores the axis (see m_vAxis).
    virtual void SetAxis(const CZanVector& axis) { m_vAxis = axis; }
    /// The kind of shape, for the mass computation.
    virtual EZanShape GetShape() const = 0;
    /// Extent 0 or 1 (half width and half height for a quad); other indices are invalid.
    virtual float Extent(int index) const = 0;

    float m_afExtent[2]; ///< see Extent
    /// Direction of the local x axis for collision and hit tests; the mass computation and
    /// twists also measure from it as a point (the inertia's |centre − axis|² term).
    CZanVector m_vAxis;
    CZanVector m_vCenter; ///< see SetCenter
};

/// An oriented box of given width and height, axis (1, 0) and centre (0, 0). The axis is
/// never normalised: give a unit vector to make EAxis lengths equal the extents.
class CZanQuad : public CZanGeometry
{
public:
    /// A box of width x height: extents half of each.
    CZanQuad(float width, float height);
    /// Copies extents, axis, centre and corners.
    CZanQuad(const CZanQuad& q);
    /// Copies extents, axis, centre and corners.
    CZanQuad& operator=(const CZanQuad& q);

    /// ZAN_SHAPE_QUAD.
    EZanShape GetShape() const override { return ZAN_SHAPE_QUAD; }
    float Extent(int index) const override { return m_afExtent[index]; }
    /// Index 0: axis × half width; otherwise the axis turned a quarter turn × half height.
    CZanVector EAxis(int index) const;
    /// The four stored corners; the quad never fills them (they start at zero).
    const CZanVector* GetCorners() const { return m_avCorners; }
    /// True strictly inside the box: points on the outline are outside.
    bool Contains(const CZanVector& p) const;

    CZanVector m_avCorners[4]; ///< see GetCorners
};

/// The rigid body of one engine object, created by the object with the object's id and
/// deleted by it. Fresh bodies are static (infinite mass) until a mass is set.
class CZanBody
{
public:
    /// A static body at (0, 0) with the default friction (0.2) and elasticity (0.5), every
    /// flag set, no geometry.
    explicit CZanBody(unsigned long id);
    virtual ~CZanBody() {}

    /// Mass properties from m: m ≥ largest float makes the body static, m < 0.001 gives a
    /// massless body (infinite inverse mass); otherwise inertia and floating force follow from
    /// the attached geometry. Without a geometry only mass and inverse mass change.
    void SetMass(float m);
    /// Attaches a geometry (not owned) and takes its shape; null detaches.
    void SetGeometry(CZanGeometry* geometry);

    EZanShape m_eShape;        ///< the geometry's shape, taken by SetGeometry
    CZanGeometry* m_pGeometry; ///< not owned; null until SetGeometry
    unsigned long m_nID;       ///< key in the world's body map, address of collision messages
    int m_nGroup;              ///< bodies of equal group never collide; 0 at construction
    float m_fFriction;         ///< friction coefficient, 0.2
    float m_fRot;              ///< radians
    float m_fRotVel;           ///< radians per second
    float m_fTorque;           ///< accumulated twist, cleared every sub-step
    CZanVector m_vPos;         ///< centre of mass
    CZanVector m_vVelocity;    ///< units per second
    CZanVector m_vForce;       ///< accumulated push, cleared every sub-step
    CZanVector m_vFlotForce;   ///< floating direction × inverse mass × size, set with the mass
    CZanVector m_vFlotDir;     ///< (0, −1): up on screen
    float m_fInvMass;          ///< 0: immovable by collisions and forces
    float m_fInvInertia;       ///< 0: cannot be turned by collisions and twists
    bool m_bActive;            ///< takes part in collisions and force integration
    bool m_bSpinnable;         ///< rotation integrates and can be twisted
    bool m_bMovable;           ///< position integrates and can be pushed
    bool m_bCollidable;        ///< takes part in the pair search
    bool m_bGravity;           ///< receives gravity and the floating force
    bool m_bCollideAffect;     ///< contacts with it are resolved; cleared: only reported
    float m_fElast;            ///< restitution coefficient, 0.5
    float m_fMass;             ///< largest float until SetMass
    float m_fInertia;          ///< moment of inertia; largest float until SetMass

private:
    friend class CZanPhysicsEngine;
    friend struct CZanContactPair;
    CZanBody(const CZanBody&) = delete;
    CZanBody& operator=(const CZanBody&) = delete;
    /// Position in the world's id-ordered list during a step, else −1.
    int m_nStepIndex;
    /// cos and sin of the rotation, kept during a pair search (while m_nStepIndex ≥ 0).
    float m_fCos, m_fSin;

    // Read only while the world settles.
    bool m_bAsleep;         ///< resting with its island, left out of the step
    bool m_bWake;           ///< a call or a lost neighbour wakes it at the next step
    bool m_bStill;          ///< during a step: asleep, or without mass and not moving
    bool m_bRestKnown;      ///< the rest record below is current
    float m_fSleepTime;     ///< seconds spent near m_vSleepPos and m_fSleepRot
    CZanVector m_vSleepPos; ///< where the body was when m_fSleepTime started counting
    float m_fSleepRot;      ///< and its rotation then
    // The body as it came to rest: any difference at the next step means a caller moved or
    // changed it through a plain setter, which wakes it.
    CZanVector m_vRestPos;
    float m_fRestRot;
    float m_fRestInvMass;
    float m_fRestInvInertia;
    unsigned m_nRestFlags;
    int m_nRestGroup;
    const CZanGeometry* m_pRestGeometry;
};

/// One contact point between two boxes.
struct CZanContact
{
    CZanVector m_vPosition;   ///< world point on the reference face
    CZanVector m_vNormal;     ///< unit normal from the pair's first body to its second
    float m_fSeparation;      ///< ≤ 0 when touching
    float m_fPn;              ///< accumulated normal impulse
    float m_fPt;              ///< accumulated tangent impulse
    float m_fMassNormal;      ///< normal effective mass
    float m_fMassTangent;     ///< tangent effective mass
    float m_fBias;            ///< target separating velocity
    CZanVector m_vR1;         ///< position relative to the first body, for the sub-step
    CZanVector m_vR2;         ///< position relative to the second body, for the sub-step
    unsigned char m_acKey[4]; ///< edges: in and out of the first box, in and out of the second

    /// True when both contacts come from the same pair of edges (the warm-start test).
    bool SameFeature(const CZanContact& c) const
    {
        return m_acKey[0] == c.m_acKey[0] && m_acKey[1] == c.m_acKey[1] &&
               m_acKey[2] == c.m_acKey[2] && m_acKey[3] == c.m_acKey[3];
    }
};

/// The contacts of two touching bodies, kept by the world between steps so that accumulated
/// impulses carry over (warm start). The bodies are ordered by id (then address), lower first.
struct CZanContactPair
{
    /// Orders the bodies, runs the box test and combines the friction coefficients; points
    /// up to margin apart are kept too.
    CZanContactPair(CZanBody* b1, CZanBody* b2, float margin = 0.0f);
    /// True when b1 comes before b2 in the pair order.
    static bool Before(const CZanBody* b1, const CZanBody* b2)
    {
        return b1->m_nID != b2->m_nID ? b1->m_nID < b2->m_nID : b1 < b2;
    }
    /// Takes the fresh contacts, keeping the accumulated impulses of contacts whose feature
    /// key was already present; with nearby, a point whose key is new keeps those of the
    /// nearest old point left over, if close enough.
    void Merge(const CZanContactPair& fresh, bool nearby = false);
    /// Effective masses, bias and restitution for a sub-step of h seconds, then the warm
    /// start: the accumulated impulses are applied again.
    void PreStep(float h);
    /// One solver pass over the contacts: normal impulse with restitution, then friction.
    void ApplyImpulse();

    CZanContact m_aContacts[2]; ///< the first m_nContacts are valid
    int m_nContacts;            ///< 0 to 2
    CZanBody* m_pBody1;         ///< the lower body of the pair order
    CZanBody* m_pBody2;         ///< the higher body
    float m_fFriction;          ///< √(friction1 × friction2)
    float m_fRestitution;       ///< mass-weighted mean of the elasticities, for the sub-step
    unsigned m_nTested;         ///< the world's sub-step count when the pair was last tested
};

/// A pin joint: keeps one anchor point of two bodies together.
struct CZanJoint
{
    unsigned long m_nID;        ///< from CreateJoint, counting from 100
    float m_aM[2][2];           ///< inverse effective-mass matrix of the sub-step
    CZanVector m_vLocalAnchor1; ///< the anchor in the first body's frame
    CZanVector m_vLocalAnchor2; ///< the anchor in the second body's frame
    CZanVector m_vR1;           ///< the first anchor turned to world orientation
    CZanVector m_vR2;           ///< the second anchor turned to world orientation
    CZanVector m_vBias;         ///< velocity that closes the anchors' gap
    CZanVector m_vP;            ///< accumulated impulse
    CZanBody* m_pBody1;         ///< not owned
    CZanBody* m_pBody2;         ///< not owned
    float m_fCarry;             ///< fraction of the accumulated impulse kept between sub-steps
    bool m_bActive;             ///< see CZanPhysicsEngine::SetJointActive
    /// Ids of the bodies' objects: the joint is used only while both are registered with
    /// these very bodies, so it never touches a body that has left the world.
    unsigned long m_nBody1ID;
    unsigned long m_nBody2ID; ///< see m_nBody1ID
    bool m_bLive;             ///< both bodies registered in the current sub-step

    /// Anchors, mass matrix and bias for a sub-step of h seconds; the carried part of the
    /// accumulated impulse is applied again. Two immovable bodies give a zero matrix.
    void PreStep(float h);
    /// One solver pass: the impulse that brings the anchors' relative velocity to the bias.
    void ApplyImpulse();
};

/// Receives every collision report as it is queued (diagnostics and tools): the receiver,
/// the other object, and the contacts (count 0 for a pair whose contacts are not resolved).
typedef void (*PZanCollisionObserver)(void* user, unsigned long target, unsigned long other,
                                      int count, const CZanContact* contacts);

/// The physics world. Not copyable; made by KovPhysicsCreate, destroyed by the last Release.
class CZanPhysicsEngine
{
public:
    /// Drops one use; the last one empties the world and deletes it.
    void Release();

    void SetIteration(int iterations) { m_nIterations = iterations; } ///< solver passes, 10
    void SetFloating(float factor) { m_fFloating = factor; }          ///< floating force scale, 1
    void SetDamp(float damp) { m_fDamp = damp; } ///< velocity fraction lost per sub-step, 0.01
    /// Acceleration of every body that takes gravity, pixels per second squared.
    void SetGravity(CZanVector gravity) { m_vGravity = gravity; }
    void SetMinTimeStep(float step) { m_fMinTimeStep = step; } ///< longest sub-step, 1/60

    /// Binds id to body (not owned), replacing an earlier body of that id.
    void AddBody(unsigned long id, CZanBody* body);
    /// Forgets the id's body and every contact pair that involves it; unknown ids: nothing.
    void RemoveBody(unsigned long id);
    /// Forgets every body and contact pair and deletes every joint.
    void RemoveAll();
    /// The registered body of an id, or null.
    CZanBody* GetBody(unsigned long id) const;

    /// Adds v to a movable body's force: a velocity change of v × inverse mass × sub-step time
    /// in the next sub-step only.
    void AddImpulse(unsigned long id, CZanVector& v);
    /// Adds (point − geometry axis) × force to a spinnable body's torque.
    void AddTwist(unsigned long id, CZanVector& force, CZanVector& point);
    void StopMoving(unsigned long id);   ///< movable body: force and velocity zero
    void StopSpinning(unsigned long id); ///< spinnable body: torque and spin zero

    /// One frame: sub-steps of at most the minimum time step, each with pair search and
    /// collision reports, force integration, contact and joint solving, position integration.
    void Step(float dt);

    /// Pins the two objects' bodies together at a world anchor; carry is the fraction of the
    /// accumulated impulse kept between sub-steps. Returns the joint's id (from 100).
    unsigned long CreateJoint(CZanObject* first, CZanObject* second, const CZanVector& anchor,
                              float carry);
    /// Switches a joint on or off; unknown ids: nothing.
    void SetJointActive(unsigned long id, bool active);
    /// Deletes a joint; unknown ids: nothing.
    void RemoveJoint(unsigned long id);
    /// The joint of an id, or null; owned by the world.
    const CZanJoint* GetJoint(unsigned long id) const;

    /// The stored contact pair of two bodies (in either order), or null.
    const CZanContactPair* FindPair(CZanBody* a, CZanBody* b) const;
    /// Pairs of bodies touching now.
    size_t GetPairCount() const { return m_mapPairs.size(); }
    /// Sub-steps Step(dt) takes.
    int SubStepCount(float dt) const;

    /// True (the default): the pair search skips pairs whose bounding boxes lie apart and the
    /// solver works on packed copies of the contacts; neither ever changes a result. False:
    /// every pair is tested and every contact pair solves itself in place (the plain reference
    /// the fast paths are checked against).
    void SetFastPaths(bool fast) { m_bFast = fast; }
    /// Settling, off by default. Off, every step is exactly the one described above. On, the
    /// world lets piles and stacks come to rest: contacts bounce only on impact, penetration is
    /// removed by a separate position pass that adds no speed, and the bodies that touch or are
    /// joined form islands. An island whose bodies all stay put (within half a unit and 0.03
    /// radians) for half a second falls asleep: it keeps its contacts, sends no collision reports
    /// and costs nothing until something wakes it (a moving body touching it, a joint to a woken
    /// body, AddImpulse, AddTwist, a change of position, rotation, velocity, spin, mass, flags or
    /// group, or the removal of a body or joint it rests on). Switching wakes every body.
    void SetSettling(bool on);
    bool GetSettling() const { return m_bSettling; } ///< whether settling is on
    /// Bodies with a mass (non-zero inverse mass) that moved in the last step: all of them
    /// while settling is off, the awake ones while it is on.
    int GetAwakeCount() const;
    /// True when the id's body sleeps; false for unknown ids and whenever settling is off.
    bool IsAsleep(unsigned long id) const;

    /// Sees every collision report, called from inside Step: it must not change the world.
    /// Null removes the observer.
    void SetCollisionObserver(PZanCollisionObserver observer, void* user)
    {
        m_pfnObserver = observer;
        m_pObserverUser = user;
    }

    /// Internal: the world made by KovPhysicsCreate, or null.
    static CZanPhysicsEngine* Instance();

private:
    friend CZanPhysicsEngine* KovPhysicsCreate(CZanVector gravity);
    /// Pairs are ordered by the bodies' ids (addresses only break ties), so that the solver
    /// visits them in the same order on every run, wherever the bodies were allocated.
    struct PairKey
    {
        unsigned long id1, id2;
        CZanBody* body1;
        CZanBody* body2;
        bool operator<(const PairKey& k) const
        {
            if (id1 != k.id1)
                return id1 < k.id1;
            if (id2 != k.id2)
                return id2 < k.id2;
            if (body1 != k.body1)
                return body1 < k.body1;
            return body2 < k.body2;
        }
        bool operator==(const PairKey& k) const { return body1 == k.body1 && body2 == k.body2; }
    };
    static PairKey KeyOf(CZanBody* a, CZanBody* b);

    explicit CZanPhysicsEngine(CZanVector gravity);
    ~CZanPhysicsEngine();
    CZanPhysicsEngine(const CZanPhysicsEngine&) = delete;
    CZanPhysicsEngine& operator=(const CZanPhysicsEngine&) = delete;

    void FindPairs();
    void CollectSweepCandidates();
    void TestPair(CZanBody* c, CZanBody* e);
    void Report(CZanBody* target, CZanBody* other, int count, const CZanContact* contacts);
    void DropPairsOf(CZanBody* body);
    void SolvePacked();
    bool RetestApart(CZanContactPair& pair);
    void BeginStep();
    void StepSettling(float dt);
    float ContactMargin() const;
    bool WakeCalled();
    bool SettleSubStep(float h);
    void SolveSettling(float h);
    void SleepIslands(float h);
    static bool Disturbed(const CZanBody* b);
    static void RecordRest(CZanBody* b);
    static void Wake(CZanBody* b);
    int UnionRoot(int i);
    void FreeSettler();
    void WakeJointBodies(CZanJoint* j);

    CZanVector m_vGravity;
    float m_fMinTimeStep;
    float m_fFloating;
    float m_fDamp;
    int m_nIterations;
    std::map<PairKey, CZanContactPair> m_mapPairs;
    std::map<unsigned long, CZanJoint*> m_mapJoints;
    std::map<unsigned long, CZanBody*> m_mapBodies;

    bool m_bFast;
    struct SZanSolver;
    SZanSolver* m_pSolver; ///< packed solver state, reused between steps
    unsigned m_nSubStep;   ///< sub-steps taken, stamps the pairs tested in each
    /// The engine refused a report during this step: it refuses every further message until
    /// its next delivery, which cannot come before the step ends, so no packet is built.
    bool m_bQueueFull;
    PZanCollisionObserver m_pfnObserver;
    void* m_pObserverUser;
    // Scratch of the pair search, kept to avoid allocating every sub-step.
    std::vector<CZanBody*> m_vecOrder;
    std::vector<float> m_vecBounds;
    std::vector<int> m_vecSorted;
    std::vector<int> m_vecWide;
    struct SSweepEntry
    {
        float lo, hi;   ///< bounds along the sweep axis
        float olo, ohi; ///< bounds along the other axis
        int index;      ///< in the id-ordered list
        int group;
        bool still; ///< zero inverse mass; settling: asleep, or without mass and not moving
    };
    std::vector<SSweepEntry> m_vecSweep;
    std::vector<uint64_t> m_vecCandidates;
    std::vector<int> m_vecFirst;
    std::vector<int> m_vecPartners;
    std::vector<CZanContactPair*> m_vecSolve;

    bool m_bSettling;
    int m_nAwake; ///< settling: bodies with a mass stepped in the last sub-step
    struct SZanSettler;
    SZanSettler* m_pSettler; ///< settling solver and island state, made when first switched on
};

/// Creates the world on the first call (defaults and this gravity) and counts a use on every
/// call; every call returns the same world.
CZanPhysicsEngine* KovPhysicsCreate(CZanVector gravity);
/// The same, with the gravity given by pointer (null: no gravity).
CZanPhysicsEngine* KovPhysicsCreate(const CZanVector* gravity);
