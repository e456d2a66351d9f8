// Many bodies for many steps: boxes, some on joints, poured into a walled pit and stirred by
// random impulses. Exits non-zero on a non-finite position or velocity.
//   zan_physics_soak BODIES STEPS
#include "ZanEngine.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace
{
long ResidentKb()
{
    FILE* f = std::fopen("/proc/self/status", "r");
    long kb = -1;
    char line[256];
    while (f && std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "VmRSS:", 6) == 0)
            kb = std::atol(line + 6);
    if (f)
        std::fclose(f);
    return kb;
}

struct Pit
{
    std::vector<std::unique_ptr<CZanQuad>> quads;
    std::vector<std::unique_ptr<CZanObject>> objects;

    CZanObject* Add(CZanPhysicsEngine* world, float w, float h, float x, float y, float mass)
    {
        quads.emplace_back(new CZanQuad(w, h));
        objects.emplace_back(new CZanObject(w, h));
        CZanObject* o = objects.back().get();
        o->SetGeometry(quads.back().get());
        o->SetPos(x, y);
        if (mass > 0.0f)
            o->SetMass(mass);
        world->AddBody(o->GetID(), o->GetBody());
        return o;
    }
};

bool Finite(const CZanObject& o)
{
    const CZanBody* b = o.GetBody();
    return std::isfinite(b->m_vPos.x) && std::isfinite(b->m_vPos.y) &&
           std::isfinite(b->m_vVelocity.x) && std::isfinite(b->m_vVelocity.y) &&
           std::isfinite(b->m_fRotVel);
}
} // namespace

int main(int argc, char** argv)
{
    const int bodies = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int steps = argc > 2 ? std::atoi(argv[2]) : 10000;
    CZanPhysicsEngine* world = KovPhysicsCreate(CZanVector(0.0f, 1000.0f));
    world->SetDamp(0.001f);
    Pit pit;
    const float left = 0.0f, right = 1600.0f, bottom = 1000.0f;
    pit.Add(world, right - left + 80.0f, 40.0f, 800.0f, bottom + 20.0f, 0.0f);
    pit.Add(world, 40.0f, 4000.0f, left - 20.0f, bottom - 2000.0f, 0.0f);
    pit.Add(world, 40.0f, 4000.0f, right + 20.0f, bottom - 2000.0f, 0.0f);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const int perRow = 100;
    for (int i = 0; i < bodies; ++i)
    {
        const float x = left + 8.0f + (i % perRow) * 15.9f,
                    y = bottom - 20.0f - (i / perRow) * 16.0f;
        CZanObject* o = pit.Add(world, 6.0f + 8.0f * unit(rng), 6.0f + 8.0f * unit(rng), x, y,
                                0.2f + 2.0f * unit(rng));
        // Every tenth box hangs from the one before it, as a balloon hangs from its bird.
        if (i % 10 == 9)
            world->CreateJoint(pit.objects[pit.objects.size() - 2].get(), o, o->GetPos(), 1.0f);
    }
    long warm = -1;
    for (int s = 1; s <= steps; ++s)
    {
        if (s % 50 == 0)
            for (int k = 0; k < 20; ++k)
            {
                CZanObject& o = *pit.objects[3 + rng() % unsigned(bodies)];
                CZanVector push((unit(rng) - 0.5f) * 4e5f, -unit(rng) * 4e5f);
                world->AddImpulse(o.GetID(), push);
            }
        world->Step(1.0f / 60.0f);
        if (s % 100 == 0)
            for (const auto& o : pit.objects)
                if (!Finite(*o))
                {
                    std::printf("non-finite body %lu at step %d\n", o->GetID(), s);
                    return 1;
                }
        if (s == std::min(1000, steps / 2))
            warm = ResidentKb();
    }
    const long end = ResidentKb();
    std::printf("%d bodies, %d steps: all finite; resident %ld kB after warm-up, %ld kB at the "
                "end (%+ld kB)\n",
                bodies, steps, warm, end, end - warm);
    world->RemoveAll();
    world->Release();
    return 0;
}
