// Physics world steps: the level's workload and piles of boxes in a static container.
#include "ZanEngine.h"

#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

namespace
{
class BenchScene
{
public:
    BenchScene() : m_pWorld(KovPhysicsCreate(CZanVector(0.0f, 1000.0f)))
    {
        m_pWorld->SetDamp(0.001f);
    }
    ~BenchScene()
    {
        m_pWorld->RemoveAll();
        m_pWorld->Release();
    }

    CZanObject* Add(float w, float h, float x, float y, float mass, int group)
    {
        m_vecQuads.emplace_back(new CZanQuad(w, h));
        m_vecObjects.emplace_back(new CZanObject(w, h));
        CZanObject* o = m_vecObjects.back().get();
        o->SetGeometry(m_vecQuads.back().get());
        o->SetGroup(group);
        o->SetPos(x, y);
        if (mass > 0.0f)
            o->SetMass(mass);
        m_pWorld->AddBody(o->GetID(), o->GetBody());
        return o;
    }

    CZanPhysicsEngine* World() { return m_pWorld; }

private:
    CZanPhysicsEngine* m_pWorld;
    std::vector<std::unique_ptr<CZanQuad>> m_vecQuads;
    std::vector<std::unique_ptr<CZanObject>> m_vecObjects;
};

// Two birds and six monsters hanging under balloons, among 40 static blocks.
void BM_PhysicsLevel(benchmark::State& state)
{
    BenchScene scene;
    for (int i = 0; i < 40; ++i)
        scene.Add(60, 20, 40.0f + (i % 10) * 80.0f, 150.0f + (i / 10) * 130.0f, 0.0f, 1);
    int balloons = 0;
    for (int i = 0; i < 8; ++i)
    {
        const float x = 80.0f + i * 90.0f, y = 100.0f + (i % 3) * 120.0f;
        CZanObject* actor = scene.Add(40, 40, x, y, 1.0f, 10 + i);
        actor->SetSpinnable(false);
        const int count = i < 2 ? 2 : (balloons < 8 ? 1 : 0);
        for (int b = 0; b < count && balloons < 8; ++b, ++balloons)
        {
            CZanObject* balloon =
                scene.Add(24, 30, x - 10.0f + b * 20.0f, y - 50.0f, 0.05f, 10 + i);
            balloon->SetFlotDir(CZanVector(0.0f, -1.0f));
            balloon->SetMass(0.05f);
            scene.World()->CreateJoint(actor, balloon, balloon->GetPos(), 1.0f);
        }
    }
    for (auto _ : state)
        scene.World()->Step(1.0f / 60.0f);
}
BENCHMARK(BM_PhysicsLevel)->Unit(benchmark::kMicrosecond);

// range(0) boxes fall into a container and pile; steps are timed once they have piled.
// range(1): 1 for the fast paths, 0 for the plain full walk and in-place solving.
void BM_PhysicsPile(benchmark::State& state)
{
    BenchScene scene;
    const int count = int(state.range(0));
    const float left = 100.0f, right = 700.0f, bottom = 580.0f, s = 12.0f;
    scene.Add(right - left + 80.0f, 40.0f, 400.0f, bottom + 20.0f, 0.0f, 1);
    scene.Add(40.0f, 2000.0f, left - 20.0f, bottom - 1000.0f, 0.0f, 1);
    scene.Add(40.0f, 2000.0f, right + 20.0f, bottom - 1000.0f, 0.0f, 1);
    const int columns = int((right - left) / (s * 1.5f));
    for (int i = 0; i < count; ++i)
    {
        const int col = i % columns, row = i / columns;
        CZanObject* o = scene.Add(s, s, left + s + col * s * 1.5f + (row % 2) * 2.0f,
                                  bottom - s - row * s * 1.6f, 1.0f, 2 + i);
        o->SetRot(0.02f * float((i * 7) % 11 - 5));
    }
    scene.World()->SetFastPaths(state.range(1) != 0);
    // range(2): 1 to queue every collision report with the engine, as in a game.
    CZanEngine* engine = state.range(2) ? KovCreate(9) : nullptr;
    for (int i = 0; i < 600; ++i)
        scene.World()->Step(1.0f / 60.0f);
    for (auto _ : state)
        scene.World()->Step(1.0f / 60.0f);
    state.counters["pairs"] = double(scene.World()->GetPairCount());
    if (engine)
        engine->Release();
}
BENCHMARK(BM_PhysicsPile)
    ->Args({200, 1, 0})
    ->Args({1000, 1, 0})
    ->Args({1000, 1, 1})
    ->Args({200, 0, 0})
    ->Args({1000, 0, 0})
    ->Unit(benchmark::kMillisecond);

// The settling mode beside the default one, on the same scenes in one run.
// range(0): 0 default mode, 1 settling with every body kept awake (woken by a call before each
// step, so the cost includes waking), 2 settling once everything sleeps (the default mode, which
// never sleeps, is measured as it is).
// BM_SettlePile: the 1000-box pile above. BM_SettlePyramid: 20 rows, 210 boxes of 20 units.
void SettleLoop(benchmark::State& state, BenchScene& scene, const std::vector<CZanObject*>& boxes)
{
    const int mode = int(state.range(0));
    CZanPhysicsEngine* world = scene.World();
    world->SetSettling(mode != 0);
    int frames = 0;
    while (frames < 600 && !(mode != 0 && world->GetAwakeCount() == 0 && frames > 0))
    {
        world->Step(1.0f / 60.0f);
        ++frames;
    }
    state.counters["asleep_after_s"] = world->GetAwakeCount() == 0 ? frames / 60.0 : -1.0;
    CZanVector none(0.0f, 0.0f);
    for (auto _ : state)
    {
        if (mode == 1)
            for (CZanObject* o : boxes)
                world->AddImpulse(o->GetID(), none);
        world->Step(1.0f / 60.0f);
    }
    state.counters["awake"] = world->GetAwakeCount();
    world->SetSettling(false);
}

void BM_SettlePile(benchmark::State& state)
{
    BenchScene scene;
    const float left = 100.0f, right = 700.0f, bottom = 580.0f, s = 12.0f;
    scene.Add(right - left + 80.0f, 40.0f, 400.0f, bottom + 20.0f, 0.0f, 1);
    scene.Add(40.0f, 2000.0f, left - 20.0f, bottom - 1000.0f, 0.0f, 1);
    scene.Add(40.0f, 2000.0f, right + 20.0f, bottom - 1000.0f, 0.0f, 1);
    const int columns = int((right - left) / (s * 1.5f));
    std::vector<CZanObject*> boxes;
    for (int i = 0; i < 1000; ++i)
    {
        const int col = i % columns, row = i / columns;
        CZanObject* o = scene.Add(s, s, left + s + col * s * 1.5f + (row % 2) * 2.0f,
                                  bottom - s - row * s * 1.6f, 1.0f, 2 + i);
        o->SetRot(0.02f * float((i * 7) % 11 - 5));
        boxes.push_back(o);
    }
    // Piled in the default mode first, as BM_PhysicsPile does.
    for (int i = 0; i < 600; ++i)
        scene.World()->Step(1.0f / 60.0f);
    SettleLoop(state, scene, boxes);
}
BENCHMARK(BM_SettlePile)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_SettlePyramid(benchmark::State& state)
{
    BenchScene scene;
    scene.Add(1200, 40, 400, 600, 0.0f, 1);
    std::vector<CZanObject*> boxes;
    int group = 2;
    for (int row = 0; row < 20; ++row)
        for (int i = 0; i < 20 - row; ++i)
            boxes.push_back(scene.Add(20, 20,
                                      400.0f + (float(i) - 0.5f * float(20 - row - 1)) * 22.0f,
                                      570.0f - 20.0f * float(row), 1.0f, group++));
    SettleLoop(state, scene, boxes);
}
BENCHMARK(BM_SettlePyramid)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
} // namespace
