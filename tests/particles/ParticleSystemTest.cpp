// Particle systems on the virtual clock, made from resource files through the real resource
// manager: emission, the pool, lifetime, direction, recycling, interpolation, the picture,
// and no heap use once the pool exists.
#include "../graphics/GraphicsFixture.h"
#include "CountingAllocator.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>

namespace
{
const float kPi = 3.14159265358979f;

class ParticleTest : public GraphicsTest
{
protected:
    void SetUp() override
    {
        GraphicsTest::SetUp();
        WriteBmp("点.bmp", 8, 8, [](int, int) -> uint32_t { return 0xFFFFFF; });
    }

    // A particle record named "粒" drawn with the 8 x 8 white sprite "点" at level 3.
    const ZanParticleSystemInfo* Record(const std::string& attributes)
    {
        WriteResourceFile("粒.xml", u8"<资源><材质资源 Name=\"点\" Path=\"点.bmp\"/>"
                                    u8"<精灵资源 Name=\"点\" Texture=\"点\" Width=\"8\" "
                                    u8"Height=\"8\" RenderLevel=\"3\"/>"
                                    u8"<粒子资源 Name=\"粒\" Sprite=\"点\" " +
                                        attributes + u8"/></资源>");
        EXPECT_TRUE(resources->Load("粒.xml"));
        return resources->GetParticleInfo("粒");
    }

    // One frame of a steady 60 updates per second (17, 17 and 16 ms in turn).
    void Step60(CZanParticleSystem& system)
    {
        ZanHeadlessAdvance(m_nFrame++ % 3 == 2 ? 16 : 17);
        system.Update();
    }
    void Step(CZanParticleSystem& system, unsigned ms)
    {
        ZanHeadlessAdvance(ms);
        system.Update();
    }

    int m_nFrame = 0;
};

int VisibleSprites(const CZanParticleSystem& system)
{
    int n = 0;
    for (int i = 0; i < system.GetPoolSize(); ++i)
        n += system.GetParticle(i)->pSprite->IsVisible() ? 1 : 0;
    return n;
}

std::vector<const ZanParticle*> Alive(const CZanParticleSystem& system)
{
    return std::vector<const ZanParticle*>(system.GetAliveList().begin(),
                                           system.GetAliveList().end());
}

void ExpectColor(const CZanColor& c, float r, float g, float b, float a)
{
    EXPECT_NEAR(c.red, r, 1e-4);
    EXPECT_NEAR(c.green, g, 1e-4);
    EXPECT_NEAR(c.blue, b, 1e-4);
    EXPECT_NEAR(c.alpha, a, 1e-4);
}
} // namespace

TEST_F(ParticleTest, PoolIsMadeOnceWithHiddenSpritesAndLeavesTheRenderListWithTheSystem)
{
    const ZanParticleSystemInfo* info =
        Record(u8"MaxNumbers=\"12\" PaticleLifeMin=\"0.5\" PaticleLifeMax=\"1.5\" "
               u8"ColorStart=\"-65536\"");
    const size_t before = g_pGraphics->GetRenderCount();
    {
        CZanParticleSystem system(info);
        ASSERT_EQ(system.GetPoolSize(), 12);
        EXPECT_EQ(g_pGraphics->GetRenderCount(), before + 12);
        EXPECT_FALSE(system.IsFiring());
        EXPECT_EQ(system.GetAliveCount(), 0);
        EXPECT_EQ(system.GetBoundBox().m_vMax, CZanVector(800.0f, 600.0f));
        for (int i = 0; i < 12; ++i)
        {
            const ZanParticle* p = system.GetParticle(i);
            EXPECT_FALSE(p->pSprite->IsVisible());
            EXPECT_EQ(p->pSprite->GetRenderLevel(), 3);
            EXPECT_EQ(p->pSprite->GetColor().GetHWColor(), 0xFFFF0000ul);
            EXPECT_GE(p->fTotalLife, 0.5f);
            EXPECT_LE(p->fTotalLife, 1.5f);
            EXPECT_EQ(p->fLife, p->fTotalLife);
            for (int j = 0; j < i; ++j)
                EXPECT_NE(p->pSprite.Get(), system.GetParticle(j)->pSprite.Get());
        }
        EXPECT_EQ(system.GetParticle(12), nullptr);
        EXPECT_EQ(system.GetParticle(-1), nullptr);
    }
    EXPECT_EQ(g_pGraphics->GetRenderCount(), before);
}

TEST_F(ParticleTest, BadRecordsGiveSmallOrEmptyPools)
{
    CZanParticleSystem none(nullptr);
    EXPECT_EQ(none.GetPoolSize(), 0);
    none.FireAt(10.0f, 10.0f);
    Step(none, 20);
    EXPECT_EQ(none.GetAliveCount(), 0);

    CZanParticleSystem negative(Record(u8"MaxNumbers=\"-5\" Emission=\"100\""));
    EXPECT_EQ(negative.GetPoolSize(), 0);
    negative.Fire();
    Step(negative, 20);
    EXPECT_EQ(negative.GetAliveCount(), 0);

    CZanParticleSystem huge(Record(u8"MaxNumbers=\"2147483647\""));
    EXPECT_EQ(huge.GetPoolSize(), CZanParticleSystem::MAX_PARTICLES);
    EXPECT_EQ(huge.GetInfo().nMaxNumbers, 2147483647);

    // An unknown sprite name: every particle shares the manager's default sprite.
    ZanParticleSystemInfo unknown = *Record(u8"MaxNumbers=\"3\" Emission=\"1000\" "
                                            u8"PaticleLifeMin=\"1\" PaticleLifeMax=\"1\"");
    unknown.strSprite = "没有";
    CZanParticleSystem shared(&unknown);
    EXPECT_EQ(shared.GetParticle(0)->pSprite.Get(), shared.GetParticle(2)->pSprite.Get());
    shared.Fire();
    Step(shared, 20);
    EXPECT_EQ(shared.GetAliveCount(), 3);
}

TEST_F(ParticleTest, EmissionThirtyAtSixtyUpdatesEmitsEverySecondUpdate)
{
    CZanParticleSystem system(Record(u8"MaxNumbers=\"100\" Emission=\"30\" LifeTime=\"100\" "
                                     u8"PaticleLifeMin=\"10\" PaticleLifeMax=\"10\""));
    system.FireAt(400.0f, 300.0f);
    int previous = 0;
    for (int frame = 0; frame < 60; ++frame)
    {
        Step60(system);
        EXPECT_LE(system.GetAliveCount() - previous, 1) << "update " << frame;
        previous = system.GetAliveCount();
    }
    EXPECT_NEAR(system.GetAliveCount(), 30, 1);
    EXPECT_EQ(VisibleSprites(system), system.GetAliveCount());
}

TEST_F(ParticleTest, PoolOfTenNeverShowsMoreThanTenAndEmissionResumesWhenOneDies)
{
    CZanParticleSystem system(Record(u8"MaxNumbers=\"10\" Emission=\"600\" LifeTime=\"100\" "
                                     u8"PaticleLifeMin=\"0.2\" PaticleLifeMax=\"0.6\""));
    system.FireAt(400.0f, 300.0f);
    bool full = false, dipped = false, refilled = false;
    for (int frame = 0; frame < 120; ++frame)
    {
        Step60(system);
        const int alive = system.GetAliveCount();
        ASSERT_LE(alive, 10);
        ASSERT_EQ(VisibleSprites(system), alive);
        refilled |= dipped && alive == 10;
        dipped |= full && alive < 10;
        full |= alive == 10;
    }
    EXPECT_TRUE(refilled);
}

// Dead particles join the end of the free list and emission takes from its front, so the
// pool is reused in the order the particles died.
TEST_F(ParticleTest, LifetimeZeroEmitsOnceAndTheDeadAreReusedInTurn)
{
    CZanParticleSystem system(Record(u8"MaxNumbers=\"4\" Emission=\"1000\" LifeTime=\"0\" "
                                     u8"PaticleLifeMin=\"0.05\" PaticleLifeMax=\"0.5\""));
    system.FireAt(400.0f, 300.0f);
    Step(system, 20);
    EXPECT_FALSE(system.IsFiring());
    std::vector<const ZanParticle*> alive = Alive(system);
    ASSERT_EQ(alive.size(), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(alive[size_t(i)], system.GetParticle(i)) << "fresh pools emit in pool order";

    std::vector<const ZanParticle*> deathOrder;
    for (int frame = 0; frame < 60 && !alive.empty(); ++frame)
    {
        Step(system, 10);
        const std::vector<const ZanParticle*> now = Alive(system);
        for (const ZanParticle* p : alive)
            if (std::find(now.begin(), now.end(), p) == now.end())
                deathOrder.push_back(p);
        alive = now;
    }
    ASSERT_EQ(deathOrder.size(), 4u);

    system.Fire();
    Step(system, 20);
    EXPECT_EQ(Alive(system), deathOrder);
    Step(system, 20);
    EXPECT_FALSE(system.IsFiring());
}

TEST_F(ParticleTest, DirectionFollowsAngularAndTheSystemAngle)
{
    const ZanParticleSystemInfo* info =
        Record(u8"MaxNumbers=\"5\" Emission=\"60\" LifeTime=\"100\" PaticleLifeMin=\"5\" "
               u8"PaticleLifeMax=\"5\" Angular=\"270\" Spread=\"0\" SpeedMin=\"100\" "
               u8"SpeedMax=\"100\"");
    CZanParticleSystem up(info);
    up.FireAt(400.0f, 300.0f);
    Step(up, 100); // emits 6, keeps 5; each ages 0.1 s in its birth frame
    ASSERT_EQ(up.GetAliveCount(), 5);
    const ZanParticle* p = up.GetAliveList().front();
    EXPECT_NEAR(p->vVelocity.x, 0.0f, 1e-3);
    EXPECT_NEAR(p->vVelocity.y, -100.0f, 1e-3);
    EXPECT_NEAR(p->vPos.y, 290.0f, 1e-3);
    EXPECT_NEAR(p->vPos.x, 400.0f, 1e-3);
    Step(up, 100);
    EXPECT_NEAR(p->vPos.y, 280.0f, 1e-3);
    EXPECT_NEAR(p->pSprite->GetPosition().y, 280.0f, 1e-3);

    // Turned a quarter turn further: straight right.
    CZanParticleSystem right(info);
    right.SetAngular(kPi / 2);
    right.FireAt(400.0f, 300.0f);
    Step(right, 50);
    const ZanParticle* q = right.GetAliveList().front();
    EXPECT_NEAR(q->vVelocity.x, 100.0f, 1e-3);
    EXPECT_NEAR(q->vVelocity.y, 0.0f, 1e-3);
    EXPECT_NEAR(q->vPos.x, 405.0f, 1e-3);
}

TEST_F(ParticleTest, AccelerationSpinAndTheEmissionRectangle)
{
    CZanParticleSystem system(
        Record(u8"MaxNumbers=\"50\" Emission=\"500\" LifeTime=\"100\" PaticleLifeMin=\"5\" "
               u8"PaticleLifeMax=\"5\" SpeedMin=\"0\" SpeedMax=\"0\" AngularStart=\"90\" "
               u8"AngularEnd=\"90\" Accel_X=\"0\" Accel_Y=\"100\""));
    system.FireWidth(CZanVector(400.0f, 300.0f), 100.0f, 40.0f);
    Step(system, 100);
    ASSERT_EQ(system.GetAliveCount(), 50);
    float minX = 1e9f, maxX = -1e9f;
    for (const ZanParticle* p : system.GetAliveList())
    {
        // Velocity first, then position with the new velocity: 100 * 0.1 * 0.1 = 1 px down.
        EXPECT_NEAR(p->vVelocity.y, 10.0f, 1e-3);
        EXPECT_GE(p->vPos.x, 350.0f);
        EXPECT_LE(p->vPos.x, 450.0f);
        EXPECT_GE(p->vPos.y, 280.0f + 1.0f - 1e-3f);
        EXPECT_LE(p->vPos.y, 320.0f + 1.0f + 1e-3f);
        EXPECT_NEAR(p->fRot, kPi / 2 * 0.1f, 1e-4);
        minX = std::min(minX, p->vPos.x);
        maxX = std::max(maxX, p->vPos.x);
    }
    EXPECT_GT(maxX - minX, 50.0f) << "particles spread over the rectangle";

    // A moved rectangle system stays a rectangle system.
    system.MoveTo(100.0f, 100.0f);
    EXPECT_EQ(system.GetPosition(), CZanVector(100.0f, 100.0f));
}

TEST_F(ParticleTest, ParticleLeavingTheBoxIsRecycledAtOnce)
{
    CZanParticleSystem system(Record(u8"MaxNumbers=\"1\" Emission=\"1000\" LifeTime=\"0\" "
                                     u8"PaticleLifeMin=\"5\" PaticleLifeMax=\"5\" "
                                     u8"SpeedMin=\"600\" SpeedMax=\"600\""));
    system.FireAt(795.0f, 300.0f);
    Step(system, 20); // born inside, moved to 807 in its birth frame
    const ZanParticle* p = system.GetParticle(0);
    ASSERT_EQ(system.GetAliveCount(), 1);
    EXPECT_NEAR(p->vPos.x, 807.0f, 1e-3);
    EXPECT_TRUE(p->pSprite->IsVisible());
    Step(system, 20);
    EXPECT_EQ(system.GetAliveCount(), 0);
    EXPECT_FALSE(p->pSprite->IsVisible());
    EXPECT_EQ(p->fLife, p->fTotalLife);

    // A box of the caller's choice: leaving it upwards.
    CZanVector lo(0.0f, 250.0f), hi(800.0f, 350.0f);
    system.SetBoundBox(CZanRect(lo, hi));
    system.SetAngular(-kPi / 2);
    system.FireAt(400.0f, 260.0f); // up at 600 px/s: 248 after the birth frame
    Step(system, 20);
    ASSERT_EQ(system.GetAliveCount(), 1);
    Step(system, 20);
    EXPECT_EQ(system.GetAliveCount(), 0);
}

TEST_F(ParticleTest, FireKeepsTheStartTimeAndMoveToRestartsIt)
{
    const ZanParticleSystemInfo* info =
        Record(u8"MaxNumbers=\"5\" Emission=\"1\" LifeTime=\"1\" PaticleLifeMin=\"1\" "
               u8"PaticleLifeMax=\"1\"");
    CZanParticleSystem fired(info), moved(info);
    fired.FireAt(10.0f, 10.0f);
    moved.FireAt(10.0f, 10.0f);
    ZanHeadlessAdvance(600);
    fired.Update();
    moved.Update();
    fired.Fire();
    fired.FireAt(50.0f, 50.0f); // moves the point, not the clock
    moved.MoveTo(20.0f, 20.0f);
    EXPECT_EQ(fired.GetPosition(), CZanVector(50.0f, 50.0f));
    ZanHeadlessAdvance(600);
    fired.Update();
    moved.Update();
    EXPECT_FALSE(fired.IsFiring());
    EXPECT_TRUE(moved.IsFiring());

    moved.Stop();
    EXPECT_FALSE(moved.IsFiring());
}

TEST_F(ParticleTest, ScaleAndColourRunFromBirthToDeath)
{
    // Opaque red to transparent blue, size 2 to 0, over exactly one second.
    CZanParticleSystem system(
        Record(u8"MaxNumbers=\"1\" Emission=\"1000\" LifeTime=\"100\" PaticleLifeMin=\"1\" "
               u8"PaticleLifeMax=\"1\" SizeSart=\"2\" SizeEnd=\"0\" ColorStart=\"-65536\" "
               u8"ColorEnd=\"255\""));
    const ZanParticle* p = system.GetParticle(0);
    CZanSprite* sprite = p->pSprite.Get();
    system.FireAt(400.0f, 300.0f);

    Step(system, 1); // born, aged 1 ms
    ASSERT_TRUE(sprite->IsVisible());
    EXPECT_NEAR(sprite->GetScale().x, 2.0f, 0.01f);
    ExpectColor(sprite->GetColor(), 0.999f, 0.0f, 0.001f, 0.999f);

    Step(system, 499); // half life
    EXPECT_NEAR(sprite->GetScale().x, 1.0f, 1e-4);
    EXPECT_NEAR(sprite->GetScale().y, 1.0f, 1e-4);
    ExpectColor(sprite->GetColor(), 0.5f, 0.0f, 0.5f, 0.5f);

    Step(system, 490);
    EXPECT_NEAR(sprite->GetScale().x, 0.02f, 1e-4);
    ExpectColor(sprite->GetColor(), 0.01f, 0.0f, 0.99f, 0.01f);

    Step(system, 20); // death: hidden, full life again, and emitted again by the next update
    EXPECT_FALSE(sprite->IsVisible());
    EXPECT_EQ(p->fLife, 1.0f);
    EXPECT_EQ(system.GetAliveCount(), 0);
    Step(system, 1);
    EXPECT_TRUE(sprite->IsVisible());
}

TEST_F(ParticleTest, UpdateAllocatesNothing)
{
    CZanParticleSystem system(Record(u8"MaxNumbers=\"200\" Emission=\"5000\" LifeTime=\"100\" "
                                     u8"PaticleLifeMin=\"0.05\" PaticleLifeMax=\"0.4\" "
                                     u8"SpeedMin=\"0\" SpeedMax=\"3000\" Spread=\"360\""));
    system.FireWidth(CZanVector(400.0f, 300.0f), 200.0f, 100.0f);
    long allocations = 0;
    int peak = 0;
    for (int frame = 0; frame < 300; ++frame)
    {
        ZanHeadlessAdvance(16);
        if (frame == 150)
            system.MoveTo(700.0f, 500.0f);
        const long before = g_lAllocations;
        system.Update();
        allocations += g_lAllocations - before;
        peak = std::max(peak, system.GetAliveCount());
    }
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(peak, 200) << "the pool was used up, so emission, death and recycling all ran";
}

TEST_F(ParticleTest, FiringSystemIsDrawnWhereItsParticlesAre)
{
    // Orange 8 x 8 particles leaving (100, 300) rightwards at 100 px/s, ten a second: 10 px
    // apart, with 2 px of background between them.
    CZanParticleSystem system(
        Record(u8"MaxNumbers=\"40\" Emission=\"10\" LifeTime=\"100\" PaticleLifeMin=\"30\" "
               u8"PaticleLifeMax=\"30\" SpeedMin=\"100\" SpeedMax=\"100\" SizeSart=\"1\" "
               u8"SizeEnd=\"1\" ColorStart=\"-32768\" ColorEnd=\"-32768\""));
    system.FireAt(100.0f, 300.0f);
    for (int i = 0; i < 20; ++i)
        Step(system, 100);
    ASSERT_EQ(system.GetAliveCount(), 20);
    const ZanD3DFrameRecord& frame = RenderListFrame();
    // The manager's default drawables are drawn too, untextured; the particles share one
    // texture and one level, so they take one draw call of 20 quads.
    std::vector<const ZanD3DDraw*> textured;
    for (const ZanD3DDraw* d : QuadDraws(frame))
        if (d->texture)
            textured.push_back(d);
    ASSERT_EQ(textured.size(), 1u);
    EXPECT_EQ(textured[0]->primitiveCount, 40u);

    int w = 0, h = 0;
    const unsigned* pixels = ZanHeadlessFrame(&w, &h);
    ASSERT_NE(pixels, nullptr);
    auto rgb = [](int x, int y) { return d3dtest::Pixel(x, y) & 0xFFFFFFu; };
    bool good = true;
    for (const ZanParticle* p : system.GetAliveList())
    {
        const int x = int(std::lround(p->vPos.x)), y = int(std::lround(p->vPos.y));
        good &= d3dtest::Near(rgb(x, y), 0xFF8000u, 2);
        good &= rgb(x, y - 6) == 0 && rgb(x, y + 5) == 0;
        good &= rgb(x + 5, y) == 0; // the gap
    }
    long lit = 0;
    for (int y = 250; y < 350; ++y)
        for (int x = 0; x < w; ++x)
            lit += rgb(x, y) != 0 ? 1 : 0;
    good &= lit == 20 * 64;
    EXPECT_TRUE(good) << lit << " lit pixels; the frame is in particles_failed.png";
    if (!good)
    {
        std::vector<uint32_t> copy(pixels, pixels + size_t(w) * size_t(h));
        for (uint32_t& c : copy)
            c |= 0xFF000000u; // opaque, for a person to look at
        zantest::WriteFile(std::string(ZAN_BINARY_DIR) + "/particles_failed.png",
                           d3dtest::EncodePng(w, h, copy));
    }
}
