// The pictures "character.cfg" names for birds and monsters.
#include "../map/WorldFixture.h"
#include "actors/ActorSupport.h"

namespace
{
class CharacterAnimTest : public WorldTest
{
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        WriteBmp("t.bmp", 64, 32, [](int, int) { return 0x4080c0u; });
        WriteResourceFile("r.xml", u8R"(<资源><材质资源 Name="纹理" Path="t.bmp"/>
            <动画资源 Name="小鸟_左" Texture="纹理" Frames="2" Fps="5" Width="32" Height="32"/>
            <动画资源 Name="红鸟" Texture="纹理" Frames="1" Fps="5" Width="16" Height="16"/>
            <精灵资源 Name="图" Texture="纹理" Width="8" Height="8"/></资源>)");
        ASSERT_TRUE(resources->Load("r.xml"));
    }
};
} // namespace

// A name the resources know as an animation is used; any other name gives the default
// picture with one warning, never the invisible stand-in for unknown names.
TEST_F(CharacterAnimTest, UnknownNamesFallBackToTheDefaultWithAWarning)
{
    const struct
    {
        const char* named;
        float width;
        int warnings;
    } cases[] = {{nullptr, 32.0f, 0},
                 {"红鸟", 16.0f, 0},
                 {"没有", 32.0f, 1},
                 {"图", 32.0f, 1},
                 {"", 32.0f, 1}};
    int expected = 0;
    for (const auto& c : cases)
    {
        if (c.named)
            zantest::WriteFile("character.cfg", std::string("[角色1]\n飞_左=") + c.named + "\n");
        else
            std::remove("character.cfg");
        CZanResPtr<CZanAnim> anim = CharacterAnim("角色1", "飞_左", "小鸟_左");
        EXPECT_EQ(anim->GetWidth(), c.width) << (c.named ? c.named : "none");
        expected += c.warnings;
        std::fflush(nullptr);
        int warnings = 0;
        for (const auto& r : zantest::ReadLogRows(ZanNativePath("运行日志.htm")))
            warnings += r.kind == "警告" && r.file == "ActorSupport";
        EXPECT_EQ(warnings, expected) << (c.named ? c.named : "none");
    }
}
