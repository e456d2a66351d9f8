// A physics world with boxes, driven directly (no engine run).
#pragma once

#include "ZanEngine.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace zantest
{
struct SceneBox
{
    std::unique_ptr<CZanQuad> quad;
    std::unique_ptr<CZanObject> object;
};

/// One collision report as the world's observer saw it.
struct Report
{
    unsigned long target, other;
    int count;
    CZanContact contacts[2];

    bool operator==(const Report& r) const
    {
        if (target != r.target || other != r.other || count != r.count)
            return false;
        for (int i = 0; i < count; ++i)
            if (std::memcmp(&contacts[i].m_vPosition, &r.contacts[i].m_vPosition,
                            sizeof(CZanVector) * 2) != 0 ||
                contacts[i].m_fSeparation != r.contacts[i].m_fSeparation ||
                !contacts[i].SameFeature(r.contacts[i]))
                return false;
        return true;
    }
};

class PhysicsScene
{
public:
    explicit PhysicsScene(CZanVector gravity = CZanVector(0.0f, 1000.0f))
        : world(KovPhysicsCreate(gravity))
    {
    }
    ~PhysicsScene()
    {
        world->SetCollisionObserver(nullptr, nullptr);
        world->RemoveAll();
        world->Release();
    }

    /// A registered box; mass ≤ 0 leaves it static.
    CZanObject* Add(float w, float h, float x, float y, float mass, int group = 0, float rot = 0.0f)
    {
        SceneBox box;
        box.quad.reset(new CZanQuad(w, h));
        box.object.reset(new CZanObject(w, h));
        CZanObject* o = box.object.get();
        o->SetGeometry(box.quad.get());
        o->SetGroup(group);
        o->SetPos(x, y);
        o->SetRot(rot);
        if (mass > 0.0f)
            o->SetMass(mass);
        world->AddBody(o->GetID(), o->GetBody());
        boxes.push_back(std::move(box));
        return o;
    }

    void Run(int steps, float dt = 1.0f / 60.0f)
    {
        for (int i = 0; i < steps; ++i)
            world->Step(dt);
    }

    void Record()
    {
        world->SetCollisionObserver(
            [](void* user, unsigned long target, unsigned long other, int count,
               const CZanContact* contacts)
            {
                Report r{target, other, count, {}};
                for (int i = 0; i < count; ++i)
                    r.contacts[i] = contacts[i];
                static_cast<PhysicsScene*>(user)->reports.push_back(r);
            },
            this);
    }

    /// FNV-1a over the bits of every body's position, velocity, rotation and spin.
    uint64_t Hash() const
    {
        uint64_t h = 1469598103934665603ull;
        auto mix = [&h](float f)
        {
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            for (int i = 0; i < 4; ++i)
            {
                h ^= (bits >> (8 * i)) & 0xFF;
                h *= 1099511628211ull;
            }
        };
        for (const SceneBox& b : boxes)
        {
            const CZanBody* body = b.object->GetBody();
            mix(body->m_vPos.x);
            mix(body->m_vPos.y);
            mix(body->m_vVelocity.x);
            mix(body->m_vVelocity.y);
            mix(body->m_fRot);
            mix(body->m_fRotVel);
        }
        return h;
    }

    bool AllFinite() const
    {
        for (const SceneBox& b : boxes)
        {
            const CZanBody* body = b.object->GetBody();
            if (!std::isfinite(body->m_vPos.x) || !std::isfinite(body->m_vPos.y) ||
                !std::isfinite(body->m_vVelocity.x) || !std::isfinite(body->m_vVelocity.y) ||
                !std::isfinite(body->m_fRot) || !std::isfinite(body->m_fRotVel))
                return false;
        }
        return true;
    }

    /// A static open box: floor and two walls, inner width w, floor top at y = bottom.
    void Container(float left, float right, float bottom, float height)
    {
        const float mid = (left + right) * 0.5f;
        Add(right - left + 80.0f, 40.0f, mid, bottom + 20.0f, 0.0f, 1);
        Add(40.0f, height, left - 20.0f, bottom - height * 0.5f, 0.0f, 1);
        Add(40.0f, height, right + 20.0f, bottom - height * 0.5f, 0.0f, 1);
    }

    /// Boxes of size s in columns over the container, starting just above its floor.
    void Pile(int count, float left, float right, float bottom, float s)
    {
        const int columns = int((right - left) / (s * 1.5f));
        for (int i = 0; i < count; ++i)
        {
            const int col = i % columns, row = i / columns;
            const float x = left + s * 0.75f + col * s * 1.5f + (row % 2) * s * 0.2f;
            const float y = bottom - s * 0.5f - 1.0f - row * s * 1.3f;
            Add(s, s, x, y, 1.0f, 2 + i, 0.01f * float((i * 7) % 11 - 5));
        }
    }

    CZanPhysicsEngine* world;
    std::vector<SceneBox> boxes;
    std::vector<Report> reports;
};
} // namespace zantest
