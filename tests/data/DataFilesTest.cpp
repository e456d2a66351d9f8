// The game's data files against what the renderer and the game expect of them: picture windows
// lie on their textures, map pictures are visible, settings stay in their tables, buttons have
// their three frames, effects play once, and the level's spawn points are sound. Runs on the
// real data/ through the real resource manager.
#include "TestSupport.h"
#include "ZanEngine.h"
#include "ZanHeadless.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using zantest::LogRow;

namespace
{
const char* const kScenes[] = {"PrefaceLevel.xml", "MainMenu.xml", "LevelWait.xml",
                               "WaitLevel01.xml",  "Level01.xml",  "Level02.xml",
                               "Level03.xml",      "Level04.xml"};
const char* const kLevels[] = {"Level01.xml", "Level02.xml", "Level03.xml", "Level04.xml"};

// UTF-8 text of an XML file as the engine sees it (GBK); empty when absent.
std::string Gbk(const char* utf8)
{
    char out[100] = {};
    if (utf8)
        UTF8ToANSI(utf8, out);
    return out;
}

double Num(const TiXmlElement* e, const char* name, double fallback = 0.0)
{
    const char* v = e->Attribute(name);
    return v && *v ? std::atof(v) : fallback;
}

// One element of a data file with its GBK kind and its attributes.
struct Entry
{
    std::string kind;
    const TiXmlElement* element;
};

class XmlFile
{
public:
    explicit XmlFile(const std::string& nativePath)
    {
        FILE* f = std::fopen(nativePath.c_str(), "rb");
        m_loaded = f && m_doc.LoadFile(f, TIXML_ENCODING_LEGACY);
        if (f)
            std::fclose(f);
    }
    bool Loaded() const { return m_loaded; }
    std::string RootName() const
    {
        const TiXmlElement* root = m_doc.FirstChildElement();
        return root ? Gbk(root->Value()) : "";
    }
    std::vector<Entry> Entries() const
    {
        std::vector<Entry> out;
        const TiXmlElement* root = m_doc.FirstChildElement();
        for (const TiXmlElement* e = root ? root->FirstChildElement() : nullptr; e;
             e = e->NextSiblingElement())
            out.push_back({Gbk(e->Value()), e});
        return out;
    }

private:
    TiXmlDocument m_doc;
    bool m_loaded = false;
};

class DataFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The engine reads and writes in its working directory: a private one that shows
        // the repository's data through links, so the run log stays out of the tree.
        for (const auto& item : fs::directory_iterator(zantest::SourcePath("data")))
            fs::create_symlink(item.path(), fs::path(dir.Path()) / item.path().filename());
        ZanHeadlessEnable();
        engine = KovCreate(9);
        resources = KovResourceCreate();
        game = new IdleGame;
        game->m_bWindowed = true;
        ASSERT_TRUE(engine->LoadGame(game));
        ASSERT_TRUE(engine->SystemInitiate());
    }
    void TearDown() override
    {
        delete game;
        resources->Release();
        engine->Release();
    }

    // Error and warning rows of the run log so far, readable in a failure message.
    std::vector<std::string> Complaints() const
    {
        std::fflush(nullptr); // the run log is written through a buffer
        std::vector<std::string> out;
        for (const LogRow& row : zantest::ReadLogRows(ZanNativePath("运行日志.htm")))
            if (row.kind == "错误" || row.kind == "警告")
                out.push_back(ZanNativePath((row.kind + ": " + row.message).c_str()) + " (" +
                              row.file + ")");
        return out;
    }

    static std::string ResourceFile(const char* scene) { return std::string("resource_") + scene; }
    static XmlFile Open(const std::string& gbkName)
    {
        return XmlFile(ZanNativePath(gbkName.c_str()));
    }

    bool HasSprite(const char* name)
    {
        return resources->CreateSprite(name).Get() != resources->CreateSprite("?").Get();
    }
    bool HasAnim(const char* name, int frames)
    {
        CZanResPtr<CZanAnim> anim = resources->CreateAnim(name);
        return anim.Get() != resources->CreateAnim("?").Get() && anim->GetFrames() == frames;
    }
    bool HasMesh(const char* name)
    {
        return resources->CreateMesh(name).Get() != resources->CreateMesh("?").Get();
    }
    bool HasString(const char* name)
    {
        return resources->CreateString(name).Get() != resources->CreateString("?").Get();
    }

    zantest::ScopedWorkDir dir;
    CZanEngine* engine = nullptr;
    CZanResourceMgr* resources = nullptr;
    IdleGame* game = nullptr;
};

// The section every settings file keeps its keys in, and an impossible default.
const char* const kSection = "设置";
const int kMissing = -12345;

TEST_F(DataFiles, PictureWindowsLieOnTheirTextures)
{
    for (const char* scene : kScenes)
    {
        SCOPED_TRACE(scene);
        const std::string file = ResourceFile(scene);
        ASSERT_TRUE(resources->Load(file.c_str()));
        const XmlFile xml = Open(file);
        for (const Entry& e : xml.Entries())
        {
            // Meshes may repeat their texture on purpose.
            if (e.kind != "精灵资源" && e.kind != "动画资源")
                continue;
            const std::string name = Gbk(e.element->Attribute("Name"));
            CZanResPtr<CZanTexture>* texture =
                resources->GetTexture(Gbk(e.element->Attribute("Texture")).c_str());
            const float tw = (*texture)->GetWidth(), th = (*texture)->GetHeight();
            delete texture;
            const double x = Num(e.element, "TexOffset_X"), y = Num(e.element, "TexOffset_Y");
            const double w = Num(e.element, "Width"), h = Num(e.element, "Height");
            ASSERT_GT(w, 0) << name;
            ASSERT_GT(h, 0) << name;
            // Frames fill rows from the offset, each row starting under the first frame.
            const int frames = e.kind == "动画资源" ? int(Num(e.element, "Frames")) : 1;
            const int perRow = std::max(1, int(std::floor((tw - x) / w)));
            const int rows = (frames + perRow - 1) / perRow;
            EXPECT_LE(x + w * std::min(frames, perRow), tw) << name;
            EXPECT_LE(y + h * rows, th) << name;
        }
        resources->Clear();
    }
}

TEST_F(DataFiles, MapPicturesAreVisibleAndSettingsStayInTheirTables)
{
    for (const char* scene : kScenes)
    {
        SCOPED_TRACE(scene);
        const XmlFile map = Open(scene);
        ASSERT_TRUE(map.Loaded());
        EXPECT_EQ(map.RootName(), "地图");
        ASSERT_TRUE(resources->Load(ResourceFile(scene).c_str()));
        std::string settings;
        for (const Entry& e : map.Entries())
        {
            const std::string graphics = Gbk(e.element->Attribute("Graphics"));
            const int type = int(Num(e.element, "Type"));
            if (e.kind == "描述")
                settings = Gbk(e.element->Attribute("Name"));
            else if (e.kind == "点" || e.kind == "障碍")
                continue;
            else if (e.kind == "动态障碍" && type == 4)
            {
                // The water sets a 16 x 16 grid of colours and displacements every frame.
                EXPECT_TRUE(HasMesh(graphics.c_str())) << graphics;
                CZanResPtr<CZanMesh> mesh = resources->CreateMesh(graphics.c_str());
                EXPECT_TRUE(mesh->GetColor(15, 15) != 0) << "water grid smaller than 16 x 16";
            }
            else if (e.kind == "图像" || e.kind == "动态图像" || e.kind == "动态障碍")
                EXPECT_TRUE(HasSprite(graphics.c_str())) << graphics;
            else
                ADD_FAILURE() << "unknown element " << e.kind;
            // A picture without Alpha or Size is drawn transparent or shrunk to nothing.
            if (e.kind != "描述" && e.kind != "点" && e.kind != "障碍")
            {
                EXPECT_GT(Num(e.element, "Alpha"), 0.0) << graphics;
                EXPECT_NE(Num(e.element, "SizeX"), 0.0) << graphics;
                EXPECT_NE(Num(e.element, "SizeY"), 0.0) << graphics;
            }
        }
        // The splash reads no map; every other scene's map names its settings.
        if (std::string(scene) == "PrefaceLevel.xml")
        {
            EXPECT_TRUE(map.Entries().empty());
            resources->Clear();
            continue;
        }
        ASSERT_FALSE(settings.empty());
        ASSERT_TRUE(zantest::FileExists(ZanNativePath(settings.c_str()))) << settings;
        CZanIni ini(settings.c_str());
        const int season = ini.GetInt(kSection, "季节", kMissing);
        const int rate = ini.GetInt(kSection, "时间速率", kMissing);
        const int hour = ini.GetInt(kSection, "开始时间", kMissing);
        EXPECT_TRUE(season >= 0 && season <= 3) << season;
        EXPECT_TRUE(rate >= 0 && rate <= 7) << rate;
        EXPECT_TRUE(hour >= 0 && hour <= 23) << hour;
        EXPECT_NE(ini.GetInt(kSection, "天气变化", kMissing), kMissing);
        const std::string music = ini.GetString(kSection, "背景音乐", "");
        const ZanAudio* audio = resources->GetAudioInfo(music.c_str());
        ASSERT_NE(audio, nullptr) << music;
        EXPECT_TRUE(audio->bLoop) << music;
        if (std::string(scene).rfind("Level0", 0) == 0)
        {
            const int monsters = ini.GetInt(kSection, "怪物数", kMissing);
            EXPECT_TRUE(monsters >= 1 && monsters <= 6) << monsters;
            EXPECT_NE(music, "背景音乐") << "the level plays its own piece";
        }
        for (const char* weather : {"雨", "雪", "樱", "枫"})
        {
            const ZanParticleSystemInfo* info = resources->GetParticleInfo(weather);
            ASSERT_NE(info, nullptr) << weather;
            EXPECT_TRUE(HasSprite(info->strSprite.c_str())) << weather;
            // The system keeps firing from its start window to its stop window.
            EXPECT_GE(info->fLifeTime, 200.0f) << weather;
        }
        resources->Clear();
    }
    EXPECT_EQ(Complaints(), std::vector<std::string>{});
}

TEST_F(DataFiles, ButtonsLevelEffectsAndTheTwoPlayerBoard)
{
    // A button shows its normal, hovered and pressed frame.
    ASSERT_TRUE(resources->Load("resource_MainMenu.xml"));
    for (const char* button : {"单人游戏", "双人游戏", "退出游戏"})
        EXPECT_TRUE(HasAnim(button, 3)) << button;
    resources->Clear();
    ASSERT_TRUE(resources->Load("resource_LevelWait.xml"));
    EXPECT_TRUE(HasAnim("开始", 3));
    EXPECT_TRUE(HasAnim("返回", 3));
    resources->Clear();

    // The two-player wait screen has no buttons: its board tells the mouse buttons.
    ASSERT_TRUE(resources->Load("resource_WaitLevel01.xml"));
    for (const char* sprite : {"关卡1", "图板", "树叶上", "树叶下"})
        EXPECT_TRUE(HasSprite(sprite)) << sprite;
    resources->Clear();

    // Effects play once; a looping one would never stop.
    ASSERT_TRUE(resources->Load("resource_Level01.xml"));
    EXPECT_TRUE(HasString("玩家名字"));
    std::vector<std::string> sounds = {"撞击01", "怪物死亡01"};
    for (const char* stem : {"开始声音0", "时间到0", "玩家出生0", "玩家死亡0", "怪物出生0"})
        for (int n = 1; n <= 3; ++n)
            sounds.push_back(stem + std::to_string(n));
    for (const std::string& sound : sounds)
    {
        const ZanAudio* audio = resources->GetAudioInfo(sound.c_str());
        ASSERT_NE(audio, nullptr) << sound;
        EXPECT_FALSE(audio->bLoop) << sound;
    }
}

// The obstacle a body standing at x lands on when dropped from y, or null.
const TiXmlElement* GroundBelow(const XmlFile& map, double x, double y)
{
    const TiXmlElement* best = nullptr;
    double bestTop = 1e9;
    for (const Entry& e : map.Entries())
    {
        const bool block =
            e.kind == "障碍" || (e.kind == "动态障碍" && Num(e.element, "Type") == 4);
        if (!block)
            continue;
        const double cx = Num(e.element, "PositionX"), cy = Num(e.element, "PositionY");
        const double w = Num(e.element, "Width"), h = Num(e.element, "Height");
        const double top = cy - h / 2;
        if (x >= cx - w / 2 && x <= cx + w / 2 && top >= y && top < bestTop)
        {
            best = e.element;
            bestTop = top;
        }
    }
    return best;
}

TEST(DataLevel, BirdsStartAboveGroundAndMonstersInOpenSky)
{
    const XmlFile map(zantest::SourcePath("data/Level01.xml"));
    ASSERT_TRUE(map.Loaded());
    std::map<std::string, std::pair<double, double>> points;
    std::vector<std::vector<double>> boxes; // left, top, right, bottom of every obstacle
    for (const Entry& e : map.Entries())
    {
        if (e.kind == "点")
            points[Gbk(e.element->Attribute("Name"))] = {Num(e.element, "PositionX"),
                                                         Num(e.element, "PositionY")};
        else if (e.kind == "障碍" || e.kind == "动态障碍")
        {
            const double cx = Num(e.element, "PositionX"), cy = Num(e.element, "PositionY");
            const double w = Num(e.element, "Width") / 2, h = Num(e.element, "Height") / 2;
            boxes.push_back({cx - w, cy - h, cx + w, cy + h});
        }
    }
    // A bird is 50 x 30 with its balloons 40 above; a monster 35 x 30 likewise.
    auto clear = [&](double x, double y, double halfW)
    {
        for (const auto& b : boxes)
            if (x + halfW > b[0] && x - halfW < b[2] && y + 15 > b[1] && y - 55 < b[3])
                return false;
        return true;
    };
    for (int n = 1; n <= 2; ++n)
    {
        const std::string name = "出生点" + std::to_string(n);
        ASSERT_EQ(points.count(name), 1u) << name;
        const auto [x, y] = points[name];
        EXPECT_TRUE(x >= 0 && x <= 800 && y >= 0 && y <= 600) << name;
        EXPECT_TRUE(clear(x, y, 25)) << name;
        // Landing in the water would drown the bird at once.
        const TiXmlElement* ground = GroundBelow(map, x, y + 15);
        ASSERT_NE(ground, nullptr) << name;
        EXPECT_EQ(Gbk(ground->Value()), "障碍") << name;
    }
    for (int n = 1; n <= 6; ++n)
    {
        const std::string name = "怪物出生点" + std::to_string(n);
        ASSERT_EQ(points.count(name), 1u) << name;
        const auto [x, y] = points[name];
        EXPECT_TRUE(x >= 0 && x <= 800 && y >= 55 && y <= 600) << name;
        EXPECT_TRUE(clear(x, y, 18)) << name;
    }
}

// Spawn points of one level: birds on ground, monsters over ground (an obstacle, not the
// water) with room around them, and both birds' points named.
void CheckSpawns(const char* level, bool monstersOverGround)
{
    SCOPED_TRACE(level);
    const XmlFile map(zantest::SourcePath(std::string("data/") + level));
    ASSERT_TRUE(map.Loaded());
    std::map<std::string, std::pair<double, double>> points;
    std::vector<std::vector<double>> boxes;
    for (const Entry& e : map.Entries())
    {
        if (e.kind == "点")
            points[Gbk(e.element->Attribute("Name"))] = {Num(e.element, "PositionX"),
                                                         Num(e.element, "PositionY")};
        else if (e.kind == "障碍" || e.kind == "动态障碍")
        {
            const double cx = Num(e.element, "PositionX"), cy = Num(e.element, "PositionY");
            const double w = Num(e.element, "Width") / 2, h = Num(e.element, "Height") / 2;
            boxes.push_back({cx - w, cy - h, cx + w, cy + h});
        }
    }
    auto clear = [&](double x, double y, double halfW)
    {
        for (const auto& b : boxes)
            if (x + halfW > b[0] && x - halfW < b[2] && y + 15 > b[1] && y - 55 < b[3])
                return false;
        return true;
    };
    for (int n = 1; n <= 8; ++n)
    {
        const bool bird = n <= 2;
        const std::string name =
            bird ? "出生点" + std::to_string(n) : "怪物出生点" + std::to_string(n - 2);
        ASSERT_EQ(points.count(name), 1u) << name;
        const auto [x, y] = points[name];
        EXPECT_TRUE(x >= 0 && x <= 800 && y >= 55 && y <= 600) << name;
        EXPECT_TRUE(clear(x, y, bird ? 25 : 18)) << name;
        if (!bird && !monstersOverGround)
            continue;
        const TiXmlElement* ground = GroundBelow(map, x, y + 15);
        ASSERT_NE(ground, nullptr) << name;
        EXPECT_EQ(Gbk(ground->Value()), "障碍") << name << " is over the water";
    }
}

TEST(DataLevel, EveryLevelsActorsStartOverGround)
{
    // Level 1's monsters start in the open sky, two of them over the water.
    CheckSpawns("Level01.xml", false);
    for (const char* level : {"Level02.xml", "Level03.xml", "Level04.xml"})
        CheckSpawns(level, true);
}

TEST(DataLevel, LevelsDifferInPlaceAndRiseInMonsters)
{
    zantest::ScopedWorkDir dir;
    for (const auto& item : fs::directory_iterator(zantest::SourcePath("data")))
        fs::create_symlink(item.path(), fs::path(dir.Path()) / item.path().filename());
    std::set<int> seasons, hours;
    int monsters = 0;
    for (const char* level : kLevels)
    {
        const XmlFile map(ZanNativePath(level));
        std::string settings;
        for (const Entry& e : map.Entries())
            if (e.kind == "描述")
                settings = Gbk(e.element->Attribute("Name"));
        CZanIni ini(settings.c_str());
        seasons.insert(ini.GetInt(kSection, "季节", kMissing));
        hours.insert(ini.GetInt(kSection, "开始时间", kMissing));
        const int count = ini.GetInt(kSection, "怪物数", kMissing);
        EXPECT_GE(count, monsters) << level;
        EXPECT_LE(count, 6) << level;
        monsters = count;
    }
    EXPECT_GE(seasons.size(), 3u);
    EXPECT_EQ(hours.size(), std::size(kLevels));
}
} // namespace
