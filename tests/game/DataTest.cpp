// The shipped data: every file a map, resource or settings file names exists and loads
// without a run-log record, and every name the screens ask for is in their resource file.
#include "../map/WorldFixture.h"

#include <tinyxml.h>

#include <unistd.h>

namespace
{
class DataTest : public WorldTest
{
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        ASSERT_EQ(chdir(zantest::SourcePath("data").c_str()), 0);
    }
    void TearDown() override
    {
        ASSERT_EQ(chdir(dir.Path().c_str()), 0);
        WorldTest::TearDown();
    }

    // The elements of an XML file's root, as (element name, attribute map), all UTF-8.
    typedef std::vector<std::pair<std::string, std::map<std::string, std::string>>> Elements;
    static Elements Read(const std::string& utf8Name)
    {
        Elements out;
        TiXmlDocument doc;
        EXPECT_TRUE(doc.LoadFile(utf8Name.c_str(), TIXML_ENCODING_LEGACY)) << utf8Name;
        if (!doc.FirstChildElement())
            return out;
        for (const TiXmlElement* e = doc.FirstChildElement()->FirstChildElement(); e;
             e = e->NextSiblingElement())
        {
            std::map<std::string, std::string> attributes;
            for (const TiXmlAttribute* a = e->FirstAttribute(); a; a = a->Next())
                attributes[a->Name()] = a->Value();
            out.emplace_back(e->Value(), attributes);
        }
        return out;
    }
    bool IsSprite(const char* gbkName)
    {
        return resources->CreateSprite(gbkName).Get() != defaultSprite;
    }
    bool IsAnim(const char* gbkName) { return resources->CreateAnim(gbkName).Get() != defaultAnim; }
    bool IsMesh(const char* gbkName) { return resources->CreateMesh(gbkName).Get() != defaultMesh; }

    // Loads one screen's resource file and map and checks every name they give each other.
    void CheckScene(const char* file, bool hasMap)
    {
        SCOPED_TRACE(file);
        resources->Clear();
        g_pMapMgr->Clear();
        const std::string resourceFile = std::string("resource_") + file;
        ASSERT_TRUE(resources->Load(resourceFile.c_str()));
        for (const auto& e : Read(resourceFile))
        {
            const auto& a = e.second;
            const std::string name = ZanUtf8ToGbk(a.count("Name") ? a.at("Name") : "");
            if (a.count("Path"))
            {
                EXPECT_TRUE(zantest::FileExists(a.at("Path"))) << a.at("Path");
            }
            if (e.first == u8"粒子资源")
            {
                EXPECT_TRUE(IsSprite(ZanUtf8ToGbk(a.at("Sprite")).c_str())) << a.at("Name");
            }
            if (e.first == u8"声音资源")
            {
                ZanAudio* audio = resources->GetAudioInfo(name.c_str());
                ASSERT_NE(audio, nullptr);
                CZanOgg sound;
                sound.LoadSound(audio->strPath.c_str(), audio->bLoop);
            }
        }
        if (!hasMap)
            return;
        ASSERT_TRUE(g_pMapMgr->Load(file));
        for (const auto& e : Read(file))
        {
            const auto& a = e.second;
            if (!a.count("Graphics"))
                continue;
            const std::string graphics = ZanUtf8ToGbk(a.at("Graphics"));
            const bool mesh = e.first == u8"动态障碍" && a.count("Type") && a.at("Type") == "4";
            EXPECT_TRUE(mesh ? IsMesh(graphics.c_str()) : IsSprite(graphics.c_str()))
                << a.at("Graphics");
        }
        const std::string settings = g_pMapMgr->GetSettingsFile();
        ASSERT_TRUE(zantest::FileExists(ZanNativePath(settings.c_str()))) << settings;
        CZanIni ini(settings.c_str());
        EXPECT_NE(resources->GetAudioInfo(ini.GetString("设置", "背景音乐", "背景音乐")), nullptr);
        static const char* const kWeather[] = {"樱", "雨", "枫", "雪"};
        const int season = ini.GetInt("设置", "季节", 1);
        ASSERT_TRUE(season >= 0 && season <= 3);
        EXPECT_NE(resources->GetParticleInfo(kWeather[season]), nullptr);
    }

    CZanSprite* defaultSprite = nullptr;
    CZanAnim* defaultAnim = nullptr;
    CZanMesh* defaultMesh = nullptr;
};
} // namespace

TEST_F(DataTest, EveryScreenFindsItsFilesAndNames)
{
    std::fflush(nullptr);
    const size_t startRows =
        zantest::ReadLogRows(dir.Path() + "/" + ZanNativePath("运行日志.htm")).size();
    defaultSprite = resources->CreateSprite("").Get();
    defaultAnim = resources->CreateAnim("").Get();
    defaultMesh = resources->CreateMesh("").Get();

    CheckScene("PrefaceLevel.xml", false);
    EXPECT_TRUE(IsSprite("Splash1"));
    EXPECT_TRUE(IsSprite("Splash2"));

    CheckScene("MainMenu.xml", true);
    EXPECT_TRUE(IsSprite("LOGO"));
    for (const char* name : {"单人游戏", "双人游戏", "退出游戏"})
        EXPECT_TRUE(IsAnim(name)) << ZanGbkToUtf8(name);
    for (const char* name : {"鼠标选择", "鼠标盘旋"})
        EXPECT_NE(resources->GetAudioInfo(name), nullptr) << ZanGbkToUtf8(name);

    CheckScene("LevelWait.xml", true);
    for (const char* name : {"关卡1", "图板", "树叶上", "树叶下"})
        EXPECT_TRUE(IsSprite(name)) << ZanGbkToUtf8(name);
    for (const char* name : {"开始", "返回"})
        EXPECT_TRUE(IsAnim(name)) << ZanGbkToUtf8(name);
    for (const char* name : {"鼠标选择", "鼠标盘旋"})
        EXPECT_NE(resources->GetAudioInfo(name), nullptr) << ZanGbkToUtf8(name);

    CheckScene("WaitLevel01.xml", true);
    for (const char* name : {"关卡1", "图板", "树叶上", "树叶下"})
        EXPECT_TRUE(IsSprite(name)) << ZanGbkToUtf8(name);

    CheckScene("Level01.xml", true);
    for (const char* level : {"Level02.xml", "Level03.xml", "Level04.xml"})
        CheckScene(level, true);
    for (const char* wait : {"LevelWait.xml", "WaitLevel01.xml"})
    {
        CheckScene(wait, true);
        for (const char* name :
             {"关卡1", "关卡2", "关卡3", "关卡4", "预览1", "预览2", "预览3", "预览4"})
            EXPECT_TRUE(IsSprite(name)) << ZanGbkToUtf8(name);
        for (const char* name : {"左箭头", "右箭头"})
            EXPECT_TRUE(IsAnim(name)) << ZanGbkToUtf8(name);
    }

    // Textures, sounds and maps reported nothing.
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
    std::fflush(nullptr);
    const auto rows = zantest::ReadLogRows(ZanNativePath("运行日志.htm"));
    ASSERT_GT(startRows, 0u); // the log is where we read it
    for (size_t i = startRows; i < rows.size(); ++i)
        EXPECT_TRUE(rows[i].kind != "错误" && rows[i].kind != "警告")
            << ZanGbkToUtf8(rows[i].message) << " " << rows[i].file << ":" << rows[i].line;
}
