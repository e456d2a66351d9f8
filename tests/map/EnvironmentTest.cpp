// The day clock, seasons and weather, and the scenery that follows the hour.
#include "WorldFixture.h"
#include "world/Environment.h"
#include "world/Scenery.h"

#include <cmath>

namespace
{
const char* kResources = u8R"(<?xml version="1.0" encoding="UTF-8"?>
<资源>
  <材质资源 Name="纹理" Path="t.bmp"/>
  <精灵资源 Name="点" Texture="纹理" Width="4" Height="4" RenderLevel="90"/>
  <精灵资源 Name="图" Texture="纹理" Width="32" Height="32" RenderLevel="1"/>
  <网格资源 Name="水" Texture="纹理" Rows="16" Columns="16" Width="64" Height="32"/>
  <粒子资源 Name="雨" Sprite="点" MaxNumbers="50" Emission="100" LifeTime="1000" PaticleLifeMin="1"
      PaticleLifeMax="1" SpeedMin="10" SpeedMax="10" SizeSart="1" SizeEnd="1"/>
  <粒子资源 Name="雪" Sprite="点" MaxNumbers="5" Emission="10" LifeTime="1000" PaticleLifeMin="1"
      PaticleLifeMax="1"/>
</资源>)";

class EnvironmentTest : public WorldTest
{
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        scene = UseStubScene(0.0f);
        WriteBmp("t.bmp", 32, 32, [](int, int) { return 0xffffffu; });
        WriteResourceFile("r.xml", kResources);
        ASSERT_TRUE(resources->Load("r.xml"));
    }
    void Settings(const std::string& lines) { zantest::WriteFile("s.cfg", "[设置]\n" + lines); }
    // One clock step: a little more than the 10 ms the clock waits for.
    void Step(CEnvironment& environment, float& hour)
    {
        ZanHeadlessAdvance(11);
        environment.Step(hour);
    }

    StubScene* scene = nullptr;
};
} // namespace

TEST_F(EnvironmentTest, ClockAdvancesOneRateStepPerTenMillisecondsAndWraps)
{
    Settings("时间速率=1\n开始时间=23\n天气变化=0\n");
    CEnvironment environment;
    float hour = -1.0f;
    environment.Load("s.cfg", hour);
    EXPECT_EQ(hour, 23.0f);
    Step(environment, hour);
    EXPECT_NEAR(hour, 23.002f, 1e-5);
    environment.Step(hour); // no time has passed: no step
    ZanHeadlessAdvance(10); // exactly 10 ms is not yet more than 10 ms
    environment.Step(hour);
    EXPECT_NEAR(hour, 23.002f, 1e-5);
    ZanHeadlessAdvance(1);
    environment.Step(hour);
    EXPECT_NEAR(hour, 23.004f, 1e-5);
    for (int i = 0; i < 497; ++i)
        Step(environment, hour);
    EXPECT_NEAR(hour, 23.998f, 1e-3);
    Step(environment, hour);
    EXPECT_EQ(hour, 0.0f); // past 23.999 the day starts again
}

TEST_F(EnvironmentTest, OutOfRangeSettingsAreClampedIntoTheTables)
{
    EXPECT_FLOAT_EQ(CEnvironment::HoursPerStep(0), 0.001f);
    EXPECT_FLOAT_EQ(CEnvironment::HoursPerStep(7), 0.2f);
    EXPECT_FLOAT_EQ(CEnvironment::HoursPerStep(12), 0.2f);
    EXPECT_FLOAT_EQ(CEnvironment::HoursPerStep(-4), 0.001f);

    Settings("季节=9\n时间速率=-2\n");
    CEnvironment environment;
    float hour = 0.0f;
    environment.Load("s.cfg", hour);
    EXPECT_EQ(environment.GetSeason(), 3);
    EXPECT_EQ(environment.GetRateIndex(), 0);
    EXPECT_EQ(environment.GetWeatherKind(), WEATHER_SNOW);
    EXPECT_NE(environment.GetWeatherSystem(WEATHER_SNOW), nullptr);
}

TEST_F(EnvironmentTest, MissingSettingsGiveTheDefaults)
{
    CEnvironment environment;
    float hour = 0.0f;
    environment.Load("absent.cfg", hour);
    EXPECT_EQ(environment.GetSeason(), 1);
    EXPECT_EQ(environment.GetRateIndex(), 1);
    EXPECT_EQ(hour, 1.0f);
    EXPECT_TRUE(environment.IsWeatherOn());
    EXPECT_EQ(environment.GetWeatherKind(), WEATHER_RAIN);
    EXPECT_EQ(environment.GetMusic(), nullptr); // no "背景音乐" record
}

TEST_F(EnvironmentTest, WeatherOffCreatesNoParticleSystem)
{
    Settings("季节=1\n天气变化=0\n开始时间=4\n时间速率=7\n");
    const size_t before = g_pGraphics->GetRenderCount();
    CEnvironment environment;
    float hour = 0.0f;
    environment.Load("s.cfg", hour);
    for (int i = 0; i < 5; ++i)
        Step(environment, hour);
    EXPECT_EQ(environment.GetWeatherKind(), WEATHER_NONE);
    for (int kind = WEATHER_RAIN; kind <= WEATHER_MAPLE; ++kind)
        EXPECT_EQ(environment.GetWeatherSystem(kind), nullptr);
    EXPECT_EQ(g_pGraphics->GetRenderCount(), before);
}

TEST_F(EnvironmentTest, RainStartsAndStopsInItsWindows)
{
    for (float h : {4.01f, 4.29f, 16.1f})
        EXPECT_TRUE(CEnvironment::InStartWindow(1, h)) << h;
    for (float h : {4.0f, 4.31f, 9.1f, 15.9f})
        EXPECT_FALSE(CEnvironment::InStartWindow(1, h)) << h;
    for (float h : {7.05f, 19.25f})
        EXPECT_TRUE(CEnvironment::InStopWindow(1, h)) << h;
    EXPECT_FALSE(CEnvironment::InStopWindow(1, 15.1f));
    EXPECT_TRUE(CEnvironment::InStartWindow(0, 9.1f)); // blossom once a day
    EXPECT_TRUE(CEnvironment::InStopWindow(2, 15.1f));
    EXPECT_FALSE(CEnvironment::InStartWindow(2, 4.1f));

    // A day at 0.2 h per step from 3:00: rain from the 4:00 window until the 7:00 one.
    Settings("季节=1\n时间速率=7\n开始时间=3\n");
    CEnvironment environment;
    float hour = 0.0f;
    environment.Load("s.cfg", hour);
    CZanParticleSystem* rain = environment.GetWeatherSystem(WEATHER_RAIN);
    ASSERT_NE(rain, nullptr);
    EXPECT_EQ(rain->GetBoundBox().m_vMax, CZanVector(900, 600));
    std::vector<std::pair<float, bool>> seen;
    for (int i = 0; i < 90; ++i)
    {
        Step(environment, hour);
        seen.emplace_back(hour, rain->IsFiring());
    }
    for (const auto& s : seen)
    {
        if (std::fabs(s.first - std::round(s.first)) < 0.01f)
            continue; // the sum of the steps lands within rounding of a window's edge
        const bool raining =
            (s.first > 4.0f && s.first < 7.0f) || (s.first > 16.0f && s.first < 19.0f);
        EXPECT_EQ(s.second, raining) << "at " << s.first;
    }
    EXPECT_EQ(rain->GetPosition(), CZanVector(500, -100));
}

TEST_F(EnvironmentTest, SunAndMoonStandHighAtNoonAndMidnight)
{
    CSkyObject sun("图"), moon("图");
    sun.SetKind(SKY_SUN);
    sun.SetBaseScale(1.5f);
    moon.SetKind(SKY_MOON);
    moon.SetBaseScale(2.0f);

    scene->SetHour(12.0f);
    sun.Update();
    EXPECT_NEAR(sun.GetSprite()->GetPosition().x, 400.0f, 1e-3);
    EXPECT_NEAR(sun.GetSprite()->GetPosition().y, 150.0f, 1e-3);
    EXPECT_NEAR(sun.GetSprite()->GetScale().x, 0.8f * 1.5f, 1e-5);
    moon.Update();
    EXPECT_GT(moon.GetSprite()->GetPosition().y, 1000.0f); // under the horizon

    scene->SetHour(0.0f);
    moon.Update();
    EXPECT_NEAR(moon.GetSprite()->GetPosition().x, 400.0f, 1e-3);
    EXPECT_NEAR(moon.GetSprite()->GetPosition().y, 150.0f, 1e-3);
    EXPECT_NEAR(moon.GetSprite()->GetScale().y, 0.8f * 2.0f, 1e-5);

    scene->SetHour(6.0f); // sunrise in the east, on the horizon's level
    sun.Update();
    EXPECT_NEAR(sun.GetSprite()->GetPosition().x, 900.0f, 1e-3);
    EXPECT_NEAR(sun.GetSprite()->GetPosition().y, 650.0f, 1e-3);
}

TEST_F(EnvironmentTest, TintedPicturesFollowTheDay)
{
    CSkyObject sky("图");
    sky.SetKind(SKY_TINTED);
    sky.GetSprite()->SetAlpha(0.5f);
    CLooseBlock block(10, 10, "图");
    block.GetSprite()->SetAlpha(1.0f);

    scene->SetHour(12.0f);
    sky.Update();
    block.Update();
    EXPECT_EQ(sky.GetSprite()->GetColor().GetHWColor(), 0x7ffff7ffUL);
    EXPECT_EQ(block.GetSprite()->GetColor().GetHWColor() | 0x010101UL, 0xffffffffUL);

    scene->SetHour(0.0f);
    sky.Update();
    block.Update();
    EXPECT_EQ(sky.GetSprite()->GetColor().GetHWColor(), 0x7f204880UL);
    EXPECT_EQ(block.GetSprite()->GetColor().GetHWColor(), 0xff306090UL);
    EXPECT_EQ(CurrentHour(), 0.0f);
}

TEST_F(EnvironmentTest, CloudsDriftByRenderLevelAndComeBackOnTheRight)
{
    for (int i = 0; i < 40; ++i)
    {
        CCloud front("图"), back("图");
        front.GetSprite()->SetRenderLevel(100);
        back.GetSprite()->SetRenderLevel(99);
        front.StartDrift();
        back.StartDrift();
        EXPECT_GE(front.GetVelocity().x, -70.0f);
        EXPECT_LE(front.GetVelocity().x, -50.0f);
        EXPECT_GE(back.GetVelocity().x, -40.0f);
        EXPECT_LE(back.GetVelocity().x, -20.0f);
        EXPECT_EQ(front.GetVelocity().y, 0.0f);
    }
    CCloud cloud("图");
    cloud.SetPos(-200.5f, 77.0f);
    cloud.Update();
    EXPECT_EQ(cloud.GetPos(), CZanVector(1000.0f, 77.0f));
    EXPECT_EQ(cloud.GetSprite()->GetPosition(), CZanVector(1000.0f, 77.0f));
    cloud.SetPos(-200.0f, 5.0f);
    cloud.Update();
    EXPECT_EQ(cloud.GetPos().x, -200.0f);
}

TEST_F(EnvironmentTest, WaterWavesEveryInnerNodeAndKeepsItsEdges)
{
    CWaterMesh water(100, 20, "水");
    water.GetMesh()->SetAlpha(0.5f);
    scene->SetHour(12.0f);
    water.Update();
    CZanMesh* mesh = water.GetMesh();
    EXPECT_EQ(mesh->GetColor(15, 15), 0x7ffff7ffUL);
    float dx, dy, edgeX, edgeY;
    mesh->GetDisplacement(15, 0, &edgeX, &edgeY, 0);
    water.Update();
    mesh->GetDisplacement(15, 0, &dx, &dy, 0);
    EXPECT_EQ(CZanVector(dx, dy), CZanVector(edgeX, edgeY));
    // Inner nodes circle around their own rest places (where the edge nodes still are), so the
    // water stays where the map put it.
    mesh->GetDisplacement(3, 5, &dx, &dy, 0); // column 3, row 5: d = 4
    const double phase = 2.5 * engine->GetExactTime();
    EXPECT_NEAR(dx, edgeX + 15.0 * std::cos(4 + phase), 0.05);
    EXPECT_NEAR(dy, edgeY + 15.0 * std::sin(4 + phase), 0.05);
    EXPECT_LT(edgeX, 0.0f); // the mesh rests centred on its position
    EXPECT_LT(edgeY, 0.0f);
}

namespace
{
// An actor that remembers the messages it gets.
class Actor : public CQuadObject
{
public:
    Actor() : CQuadObject(20, 20) { SetMass(1.0f); }
    bool OnObjectMessage(unsigned long sender, CPacket_Read* r) override
    {
        const unsigned event = r->ReadBits(16);
        got.push_back({sender, event, r->Readuint32()});
        return true;
    }
    std::vector<std::vector<unsigned long>> got;
};
} // namespace

TEST_F(EnvironmentTest, WaterDrownsBirdsAndMonstersThatFallIn)
{
    CWaterMesh water(800, 40, "水");
    water.SetPos(400, 580);
    water.SetMass(FLT_MAX);
    water.SetMovable(false);
    water.SetGroup(1); // one group never collides with itself
    Actor bird, monster, stone;
    bird.SetPos(100, 540);
    monster.SetPos(300, 540);
    stone.SetPos(500, 540);
    scene->players.insert(bird.GetID());
    scene->monsters.insert(monster.GetID());

    int frames = 0;
    zantest::OnEveryPass(
        [&](int)
        {
            ZanHeadlessAdvance(15);
            if (++frames == 60)
                PostQuitMessage(0);
        });
    engine->SystemStart();
    ASSERT_FALSE(bird.got.empty());
    EXPECT_EQ(bird.got[0],
              (std::vector<unsigned long>{water.GetID(), BIRD_EVENT_DIE, bird.GetID()}));
    ASSERT_FALSE(monster.got.empty());
    EXPECT_EQ(monster.got[0],
              (std::vector<unsigned long>{water.GetID(), MONSTER_EVENT_DIE, monster.GetID()}));
    EXPECT_TRUE(stone.got.empty());
}
