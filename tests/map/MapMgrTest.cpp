// The map loader: elements and their defaults, skipped elements, bad files, the table limit
// and teardown.
#include "WorldFixture.h"
#include "world/Scenery.h"

#include <cfloat>
#include <cmath>

namespace
{
const char* kResources = u8R"(<?xml version="1.0" encoding="UTF-8"?>
<资源>
  <材质资源 Name="纹理" Path="t.bmp"/>
  <精灵资源 Name="云" Texture="纹理" Width="32" Height="16" RenderLevel="1"/>
  <网格资源 Name="水" Texture="纹理" Rows="16" Columns="16" Width="64" Height="32"/>
</资源>)";

class MapTest : public WorldTest
{
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        WriteBmp("t.bmp", 64, 32, [](int, int) { return 0x4080c0u; });
        WriteResourceFile("r.xml", kResources);
        ASSERT_TRUE(resources->Load("r.xml"));
        renderBaseline = g_pGraphics->GetRenderCount();
    }
    bool LoadMap(const std::string& body, const char* root = u8"地图")
    {
        zantest::WriteFile("m.xml", std::string("<?xml version=\"1.0\"?>\n<") + root + ">" + body +
                                        "</" + root + ">");
        return g_pMapMgr->Load("m.xml");
    }
    template <class T> T* Slot(int i) { return dynamic_cast<T*>(g_pMapMgr->GetObject(i)); }
    int Errors(const char* message) { return LogCount("错误", message, "SKFMapMgr"); }

    size_t renderBaseline = 0;
};
} // namespace

TEST_F(MapTest, EveryElementBuildsItsObject)
{
    ASSERT_TRUE(LoadMap(u8R"(
      <描述 Name="设置.cfg"/>
      <图像 Graphics="云" PositionX="100" PositionY="50" SizeX="2" SizeY="0.5" Angle="90"
            Alpha="0.75" RenderLevel="7" Type="1"/>
      <动态图像 Graphics="云" PositionX="300" PositionY="80" SizeX="1" SizeY="1" Alpha="0.5"
            RenderLevel="120" Type="1"/>
      <障碍 PositionX="10" PositionY="20" Width="30" Height="40" Group="3" Mass="-1"
            Friction="0.3" Elast="0.1" Type="2"/>
      <动态障碍 Graphics="水" PositionX="400" PositionY="550" Width="800" Height="60" Mass="-1"
            Type="4" SizeX="1" SizeY="1" Alpha="0.8" RenderLevel="150"/>
      <动态障碍 Graphics="云" PositionX="500" PositionY="300" Width="32" Height="16" Mass="5"
            Type="5" SizeX="1" SizeY="1" Alpha="1" RenderLevel="60"/>
      <点 Name="出生点1" PositionX="12.5" PositionY="-3"/>)"));
    EXPECT_EQ(g_pMapMgr->GetObjectCount(), 5);
    EXPECT_EQ(g_pMapMgr->GetSettingsFile(), "设置.cfg");

    CSkyObject* sky = Slot<CSkyObject>(0);
    ASSERT_NE(sky, nullptr);
    EXPECT_EQ(sky->GetKind(), SKY_SUN);
    EXPECT_FLOAT_EQ(sky->GetBaseScale(), 2.0f);
    EXPECT_FALSE(sky->GetBody()->m_bActive);
    EXPECT_EQ(sky->GetPos(), CZanVector(100, 50));
    EXPECT_EQ(sky->GetSprite()->GetPosition(), CZanVector(100, 50));
    EXPECT_EQ(sky->GetSprite()->GetScale(), CZanVector(2.0f, 0.5f));
    EXPECT_NEAR(sky->GetSprite()->GetRot(), 1.5707963f, 1e-6);
    EXPECT_FLOAT_EQ(sky->GetSprite()->GetAlpha(), 0.75f);
    EXPECT_EQ(sky->GetSprite()->GetRenderLevel(), 7);
    EXPECT_EQ(engine->GetObject(sky->GetID()), sky);

    CCloud* cloud = Slot<CCloud>(1);
    ASSERT_NE(cloud, nullptr);
    EXPECT_EQ(cloud->GetSprite()->GetColor().GetHWColor() & 0xFFFFFFu, 0x305080u);
    EXPECT_FLOAT_EQ(cloud->GetSprite()->GetAlpha(), 0.5f);
    EXPECT_FALSE(cloud->GetBody()->m_bGravity);
    EXPECT_FALSE(cloud->GetBody()->m_bCollidable);
    EXPECT_LT(cloud->GetVelocity().x, -49.0f); // level 120 drifts with the front clouds

    CBlock* block = Slot<CBlock>(2);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->GetBody()->m_fMass, FLT_MAX);
    EXPECT_EQ(block->GetBody()->m_nGroup, 3);
    EXPECT_FLOAT_EQ(block->GetBody()->m_fFriction, 0.3f);
    EXPECT_FLOAT_EQ(block->GetBody()->m_fElast, 0.1f);
    EXPECT_FALSE(block->GetBody()->m_bMovable);
    EXPECT_FALSE(block->GetBody()->m_bSpinnable);
    EXPECT_FLOAT_EQ(block->GetQuad()->Extent(0), 15.0f);

    CWaterMesh* water = Slot<CWaterMesh>(3);
    ASSERT_NE(water, nullptr);
    EXPECT_EQ(water->GetMesh()->GetRenderLevel(), 150);
    EXPECT_EQ(water->GetMesh()->GetColor(5, 5) >> 24, 0xCCu);
    EXPECT_FALSE(water->GetBody()->m_bMovable);

    CLooseBlock* loose = Slot<CLooseBlock>(4);
    ASSERT_NE(loose, nullptr);
    EXPECT_FLOAT_EQ(loose->GetBody()->m_fMass, 5.0f);
    EXPECT_TRUE(loose->GetBody()->m_bMovable);
    EXPECT_TRUE(loose->GetBody()->m_bSpinnable);

    EXPECT_EQ(g_pMapMgr->GetPoint("出生点1"), CZanVector(12.5f, -3.0f));
    EXPECT_EQ(g_pMapMgr->GetPoint("出生点9"), CZanVector());
    EXPECT_EQ(g_pMapMgr->GetPoint(nullptr), CZanVector());
}

TEST_F(MapTest, ElementsWithoutAKindOrPictureCreateNothing)
{
    ASSERT_TRUE(LoadMap(u8R"(
      <障碍 Width="10" Height="10"/>
      <障碍 Width="10" Height="10" Type="0"/>
      <障碍 Width="10" Height="10" Type="4"/>
      <动态图像 Graphics="云" Type="2"/>
      <图像 PositionX="5"/>
      <图像 Graphics=""/>
      <动态障碍 Type="4"/>
      <动态障碍 Graphics="云" Type="6"/>
      <点 PositionX="1"/>
      <未知 Graphics="云" Type="1"/>
      <描述 Name=""/>
      <图层><图像 Graphics="云"/></图层>
      <图像 Graphics="云"/>)"));
    // Only the last picture counts, and it takes the first slot.
    EXPECT_EQ(g_pMapMgr->GetObjectCount(), 1);
    EXPECT_NE(Slot<CSkyObject>(0), nullptr);
    EXPECT_EQ(g_pMapMgr->GetPointCount(), 0u);
    EXPECT_EQ(g_pMapMgr->GetSettingsFile(), "");
}

TEST_F(MapTest, PicturesTakeTheirDefaults)
{
    ASSERT_TRUE(LoadMap(
        u8R"(<图像 Graphics="云" PositionX="abc"/><点 Name="a"/><点 Name="a" PositionX="7"/>)"));
    CSkyObject* sky = Slot<CSkyObject>(0);
    ASSERT_NE(sky, nullptr);
    EXPECT_EQ(sky->GetKind(), 0);
    EXPECT_EQ(sky->GetBaseScale(), 0.0f);
    EXPECT_EQ(sky->GetPos(), CZanVector());
    EXPECT_EQ(sky->GetSprite()->GetAlpha(), 0.0f);
    EXPECT_EQ(sky->GetSprite()->GetRenderLevel(), 0);
    EXPECT_EQ(g_pMapMgr->GetPoint("a"), CZanVector(7, 0)); // a later point replaces
}

TEST_F(MapTest, BadFilesAreReportedAndChangeNothing)
{
    ASSERT_TRUE(LoadMap(u8R"(<点 Name="留下" PositionX="1"/>)"));
    EXPECT_FALSE(g_pMapMgr->Load(nullptr));
    EXPECT_EQ(Errors("地图文件为 NULL"), 1);
    EXPECT_FALSE(g_pMapMgr->Load("absent.xml"));
    zantest::WriteFile("bad.xml", "<地图><点 Name=");
    EXPECT_FALSE(g_pMapMgr->Load("bad.xml"));
    zantest::WriteFile("deep.xml", std::string(100000, '<') + "a>");
    EXPECT_FALSE(g_pMapMgr->Load("deep.xml"));
    zantest::WriteFile("empty.xml", "");
    EXPECT_FALSE(g_pMapMgr->Load("empty.xml"));
    EXPECT_EQ(Errors("无法解析地图文件"), 4);
    EXPECT_EQ(Errors("找不到地图文件: absent.xml"), 1); // and only it is called missing
    EXPECT_EQ(g_pMapMgr->GetPoint("留下"), CZanVector(1, 0));
    EXPECT_EQ(Errors("不是正确的地图文件"), 0);
}

TEST_F(MapTest, StrayClosesBeforeDeepNestingAreRefusedNotParsed)
{
    std::string text;
    for (const char* piece : {"</x>", "<x>", "</x>"})
        for (int i = 0; i < 40000; ++i)
            text += piece;
    zantest::WriteFile("stray.xml", text);
    EXPECT_FALSE(g_pMapMgr->Load("stray.xml"));
    EXPECT_EQ(Errors("无法解析地图文件"), 1);
}

TEST_F(MapTest, AnotherRootStillLoadsAfterOneRecord)
{
    ASSERT_TRUE(LoadMap(u8R"(<点 Name="p" PositionY="4"/><图像 Graphics="云"/>)", "map"));
    EXPECT_EQ(Errors("不是正确的地图文件"), 1);
    EXPECT_EQ(g_pMapMgr->GetObjectCount(), 1);
    EXPECT_EQ(g_pMapMgr->GetPoint("p"), CZanVector(0, 4));
}

TEST_F(MapTest, ByteOrderMarkIsAccepted)
{
    zantest::WriteFile(
        "bom.xml", "\xEF\xBB\xBF" + std::string(u8"<地图><点 Name=\"p\" PositionX=\"2\"/></地图>"));
    EXPECT_TRUE(g_pMapMgr->Load("bom.xml"));
    EXPECT_EQ(g_pMapMgr->GetPoint("p"), CZanVector(2, 0));
}

TEST_F(MapTest, TheTableHoldsFiveHundredAndWarnsOnce)
{
    std::string body;
    for (int i = 0; i < 520; ++i)
        body += u8"<障碍 Width=\"1\" Height=\"1\" Type=\"1\"/>";
    body += u8"<点 Name=\"后\" PositionX=\"3\"/>";
    ASSERT_TRUE(LoadMap(body));
    EXPECT_EQ(g_pMapMgr->GetObjectCount(), 500);
    EXPECT_NE(g_pMapMgr->GetObject(499), nullptr);
    EXPECT_EQ(g_pMapMgr->GetObject(500), nullptr);
    EXPECT_EQ(LogCount("警告", "地图物体超过 500 个，其余的被跳过", "SKFMapMgr"), 1);
    EXPECT_EQ(g_pMapMgr->GetPoint("后"), CZanVector(3, 0)); // points need no slot
}

TEST_F(MapTest, TearDownLeavesNothingBehind)
{
    UseStubScene(12.0f); // switching scenes clears the resources: load them again
    ASSERT_TRUE(resources->Load("r.xml"));
    ASSERT_TRUE(
        LoadMap(u8R"(<描述 Name="s.cfg"/><图像 Graphics="云"/><动态图像 Graphics="云" Type="1"/>
      <障碍 Width="5" Height="5" Type="3"/><动态障碍 Graphics="水" Width="5" Height="5" Type="4"/>
      <动态障碍 Graphics="云" Width="5" Height="5" Type="5"/><点 Name="p"/>)"));
    std::vector<unsigned long> ids;
    for (int i = 0; i < g_pMapMgr->GetObjectCount(); ++i)
        ids.push_back(g_pMapMgr->GetObject(i)->GetID());
    ASSERT_EQ(ids.size(), 5u);
    EXPECT_GT(g_pGraphics->GetRenderCount(), renderBaseline);

    game->TearDownScene();
    EXPECT_EQ(game->GetScene(), nullptr);
    EXPECT_EQ(g_pMapMgr->GetObjectCount(), 0);
    EXPECT_EQ(g_pMapMgr->GetPointCount(), 0u);
    for (unsigned long id : ids)
    {
        EXPECT_EQ(engine->GetObject(id), nullptr);
        EXPECT_EQ(physics->GetBody(id), nullptr);
    }
    EXPECT_EQ(g_pGraphics->GetRenderCount(), renderBaseline);
    EXPECT_EQ(resources->CreateSprite("云")->GetWidth(), 0.0f); // the resources are gone too
    EXPECT_EQ(g_pMapMgr->GetSettingsFile(), "s.cfg"); // only the next description replaces it

    // The next map starts again at slot 0.
    ASSERT_TRUE(LoadMap(u8R"(<障碍 Width="5" Height="5" Type="1"/>)"));
    EXPECT_NE(Slot<CBlock>(0), nullptr);
    EXPECT_EQ(g_pMapMgr->GetObjectCount(), 1);
}

// A NaN or infinite number would put a spawn point or an obstacle nowhere: each is refused
// with a warning, and the default used.
TEST_F(MapTest, NonFiniteNumbersAreRefusedWithAWarning)
{
    for (const char* bad : {"nan", "-NaN", "inf", "-infinity", "1e999"})
    {
        g_pMapMgr->Clear();
        ASSERT_TRUE(LoadMap(std::string(u8"<点 Name=\"出生点1\" PositionX=\"") + bad +
                            u8"\" PositionY=\"5\"/><障碍 Type=\"1\" Width=\"" + bad +
                            "\" Height=\"4\" Mass=\"" + bad + "\"/>"));
        EXPECT_EQ(g_pMapMgr->GetPoint("出生点1"), CZanVector(0, 5)) << bad;
        CZanObject* block = g_pMapMgr->GetObject(0);
        ASSERT_NE(block, nullptr);
        EXPECT_TRUE(std::isfinite(block->GetBody()->m_fMass)) << bad;
    }
    EXPECT_EQ(LogCount("警告", "地图数值无效，按默认值: PositionX=nan", "SKFMapMgr"), 1);
    int warnings = 0;
    for (const auto& r : zantest::ReadLogRows(ZanNativePath("运行日志.htm")))
        warnings += r.kind == "警告" && r.file == "SKFMapMgr";
    EXPECT_EQ(warnings, 15);
}
