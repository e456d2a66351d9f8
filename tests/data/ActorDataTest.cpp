// The actors' pictures and the game's sounds as the game finds them: the real data/ files
// loaded through the real resource manager, drawn by the headless device, decoded by
// vorbisfile.
#include "../graphics/GraphicsFixture.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace
{
namespace fs = std::filesystem;

constexpr DWORD kClear = 0xFFFF00FFu; // a colour no picture uses

struct AnimSheet
{
    const char* name;
    int frames;
};

// Every animation the level's actors, display and sky ask for.
const AnimSheet kAnims[] = {
    {"小鸟_左", 6},   {"小鸟_右", 6},   {"小鸟_死亡", 4}, {"蓝鸟_左", 6},
    {"蓝鸟_右", 6},   {"蓝鸟_死亡", 4}, {"怪物_左", 6},   {"怪物_右", 6},
    {"怪物_死亡", 4}, {"数字", 10},     {"雷电", 8},
};

const char* const kSprites[] = {"心", "底板1", "底板2", "撞击星"};

class ActorDataTest : public GraphicsTest
{
protected:
    void SetUp() override
    {
        GraphicsTest::SetUp();
        fs::current_path(zantest::SourcePath("data")); // resource paths are relative to data/
    }
    void TearDown() override
    {
        fs::current_path(dir.Path());
        GraphicsTest::TearDown();
    }

    void LoadLevel() { ASSERT_TRUE(resources->Load("resource_Level01.xml")); }

    std::vector<zantest::LogRow> LogRows() const
    {
        std::fflush(nullptr); // the run log is written through a buffer
        return zantest::ReadLogRows(dir.Path() + "/" + ZanNativePath("运行日志.htm"));
    }

    // Draws one object alone at the screen's centre; returns the frame's pixels.
    std::vector<unsigned> Draw(IZanRender& object)
    {
        g_pGraphics->ClearRender(kClear);
        g_pGraphics->BeginRender();
        object.Render();
        g_pGraphics->EndRender();
        int w = 0, h = 0;
        const unsigned* pixels = ZanHeadlessFrame(&w, &h);
        return std::vector<unsigned>(pixels, pixels + size_t(w) * size_t(h));
    }

    static int Painted(const std::vector<unsigned>& pixels)
    {
        return int(std::count_if(pixels.begin(), pixels.end(),
                                 [](unsigned p)
                                 { return (p & 0xFFFFFFu) != (kClear & 0xFFFFFFu); }));
    }
};

// The names character.cfg gives each player and monster, read as the actors read them.
TEST_F(ActorDataTest, CharacterFileNamesOnlyAnimationsAndEffectsOfTheLevel)
{
    LoadLevel();
    CZanIni ini("character.cfg");
    CZanResPtr<CZanAnim> fallback = resources->CreateAnim("no such animation");
    std::set<std::string> birdLooks;
    for (int n = 1; n <= 8; ++n)
    {
        const bool bird = n <= 2;
        char section[32];
        std::snprintf(section, sizeof section, bird ? "角色%d" : "怪物%d", bird ? n : n - 2);
        const char* defaults[] = {bird ? "小鸟_左" : "怪物_左", bird ? "小鸟_右" : "怪物_右",
                                  bird ? "小鸟_死亡" : "怪物_死亡"};
        const char* keys[] = {"飞_左", "飞_右", "死亡"};
        std::string looks;
        for (int k = 0; k < 3; ++k)
        {
            const std::string anim = ini.GetString(section, keys[k], defaults[k]);
            looks += anim;
            CZanResPtr<CZanAnim> a = resources->CreateAnim(anim.c_str());
            EXPECT_NE(a.Get(), fallback.Get()) << section << " " << keys[k];
        }
        if (bird)
        {
            birdLooks.insert(looks);
            const std::string effect = ini.GetString(section, "撞击效果", "撞");
            ZanParticleSystemInfo* info = resources->GetParticleInfo(effect.c_str());
            ASSERT_NE(info, nullptr) << section;
            CZanResPtr<CZanSprite> spark = resources->CreateSprite(info->strSprite.c_str());
            EXPECT_GT(spark->GetWidth(), 0.0f);
        }
    }
    EXPECT_EQ(birdLooks.size(), 2u) << "the two players' birds must look different";
}

// Each frame of each animation shows a picture of its own, the lightning's first frame
// excepted: it is empty so the lightning is invisible until played. No frame leaves its
// texture, and every texture loads.
TEST_F(ActorDataTest, EveryAnimationFrameShowsItsOwnPicture)
{
    LoadLevel();
    for (const AnimSheet& want : kAnims)
    {
        CZanResPtr<CZanAnim> anim = resources->CreateAnim(want.name);
        ASSERT_EQ(anim->GetFrames(), want.frames) << want.name;
        ASSERT_NE(anim->GetTextureHandle(), nullptr) << want.name;
        EXPECT_NE((*anim->GetTextureHandle())->GetTexture(), nullptr) << want.name;
        anim->SetPosition(400, 300);
        std::vector<std::vector<unsigned>> seen;
        for (int f = 0; f < want.frames; ++f)
        {
            anim->SetFrame(f);
            std::vector<unsigned> pixels = Draw(*anim);
            const int painted = Painted(pixels);
            const bool empty = std::string(want.name) == "雷电" && (f == 0 || f == 4 || f == 7);
            if (empty)
                EXPECT_EQ(painted, 0) << want.name << " frame " << f;
            else
            {
                // at least a tenth of the window, so a frame is a picture, not a sliver
                EXPECT_GT(painted, int(anim->GetWidth() * anim->GetHeight() / 10))
                    << want.name << " frame " << f;
                for (const auto& earlier : seen)
                    EXPECT_NE(pixels, earlier) << want.name << " frame " << f << " repeats";
                seen.push_back(std::move(pixels));
            }
        }
    }
    for (const auto& row : LogRows())
        EXPECT_NE(row.message, "动画帧的范围超出纹理材质范围");
}

// Ten balloons of ten colours; the display's plates, heart and the impact spark.
TEST_F(ActorDataTest, BalloonsAndDisplayPiecesAreDrawn)
{
    LoadLevel();
    std::set<unsigned> colours;
    for (int k = 1; k <= 10; ++k)
    {
        char name[16];
        std::snprintf(name, sizeof name, "气球%d", k);
        CZanResPtr<CZanSprite> balloon = resources->CreateSprite(name);
        EXPECT_EQ(balloon->GetWidth(), 15.0f);
        EXPECT_EQ(balloon->GetHeight(), 30.0f);
        balloon->SetPosition(400, 300);
        std::vector<unsigned> pixels = Draw(*balloon);
        EXPECT_GT(Painted(pixels), 150) << name;
        colours.insert(pixels[size_t(293) * 800 + 402] & 0xFFFFFFu); // the balloon's middle
    }
    EXPECT_EQ(colours.size(), 10u);
    for (const char* name : kSprites)
    {
        CZanResPtr<CZanSprite> sprite = resources->CreateSprite(name);
        sprite->SetPosition(400, 300);
        EXPECT_GT(Painted(Draw(*sprite)), int(sprite->GetWidth() * sprite->GetHeight() / 4))
            << name;
    }
}

// ---- Sounds ----------------------------------------------------------------------------

struct Pcm
{
    std::vector<short> samples; // interleaved
    int channels = 0;
    long rate = 0;
    double Seconds() const { return double(samples.size()) / channels / double(rate); }
    size_t Bytes() const { return samples.size() * sizeof(short); }
};

bool Decode(const std::string& gbkPath, Pcm& out)
{
    OggVorbis_File vf;
    if (ov_fopen(ZanNativePath(gbkPath.c_str()).c_str(), &vf) != 0)
        return false;
    vorbis_info* info = ov_info(&vf, -1);
    out.channels = info->channels;
    out.rate = info->rate;
    char buffer[8192];
    int section = 0;
    long n;
    while ((n = ov_read(&vf, buffer, sizeof buffer, 0, 2, 1, &section)) > 0)
    {
        const short* s = reinterpret_cast<const short*>(buffer);
        out.samples.insert(out.samples.end(), s, s + n / 2);
    }
    ov_clear(&vf);
    return n == 0 && !out.samples.empty();
}

int Peak(const short* begin, const short* end)
{
    int peak = 0;
    for (const short* s = begin; s != end; ++s)
        peak = std::max(peak, std::abs(int(*s)));
    return peak;
}

double Rms(const std::vector<short>& samples)
{
    double sum = 0;
    for (short s : samples)
        sum += double(s) * s;
    return std::sqrt(sum / double(samples.size()));
}

struct SoundCase
{
    const char* resourceFile;
    const char* name;
};

const SoundCase kMusic[] = {
    {"resource_MainMenu.xml", "背景音乐"},
    {"resource_LevelWait.xml", "背景音乐"},
    {"resource_Level01.xml", "关卡音乐"},
};

const SoundCase kEffects[] = {
    {"resource_MainMenu.xml", "鼠标选择"},  {"resource_MainMenu.xml", "鼠标盘旋"},
    {"resource_LevelWait.xml", "鼠标选择"}, {"resource_LevelWait.xml", "鼠标盘旋"},
    {"resource_Level01.xml", "开始声音01"}, {"resource_Level01.xml", "开始声音02"},
    {"resource_Level01.xml", "开始声音03"}, {"resource_Level01.xml", "时间到01"},
    {"resource_Level01.xml", "时间到02"},   {"resource_Level01.xml", "时间到03"},
    {"resource_Level01.xml", "撞击01"},     {"resource_Level01.xml", "玩家出生01"},
    {"resource_Level01.xml", "玩家出生02"}, {"resource_Level01.xml", "玩家出生03"},
    {"resource_Level01.xml", "玩家死亡01"}, {"resource_Level01.xml", "玩家死亡02"},
    {"resource_Level01.xml", "玩家死亡03"}, {"resource_Level01.xml", "怪物出生01"},
    {"resource_Level01.xml", "怪物出生02"}, {"resource_Level01.xml", "怪物出生03"},
    {"resource_Level01.xml", "怪物死亡01"},
};

// Music streams in 64 KiB pieces and loops: each piece is many pieces long, and its end
// runs into its start with no step larger than the music itself makes. It is loud enough
// to hear and never clips.
TEST_F(ActorDataTest, MusicIsLongLoopsSeamlesslyAndDoesNotClip)
{
    for (const SoundCase& want : kMusic)
    {
        resources->Clear();
        ASSERT_TRUE(resources->Load(want.resourceFile));
        ZanAudio* audio = resources->GetAudioInfo(want.name);
        ASSERT_NE(audio, nullptr) << want.resourceFile << " " << want.name;
        EXPECT_TRUE(audio->bLoop);
        Pcm pcm;
        ASSERT_TRUE(Decode(audio->strPath, pcm)) << audio->strPath;
        EXPECT_GT(pcm.Bytes(), 20u * 65536u);
        EXPECT_GE(pcm.Seconds(), 40.0);
        EXPECT_LT(Peak(pcm.samples.data(), pcm.samples.data() + pcm.samples.size()), 32767);
        EXPECT_GT(Rms(pcm.samples), 32768 * 0.05); // about -26 dBFS

        // The seam: the step from the last frame to the first, per channel, against the
        // largest steps inside the piece (its 99.9th percentile).
        const int c = pcm.channels;
        std::vector<int> steps;
        for (size_t i = size_t(c); i < pcm.samples.size(); ++i)
            steps.push_back(std::abs(pcm.samples[i] - pcm.samples[i - size_t(c)]));
        std::nth_element(steps.begin(), steps.begin() + long(steps.size() * 999 / 1000),
                         steps.end());
        const int large = steps[steps.size() * 999 / 1000];
        for (int ch = 0; ch < c; ++ch)
        {
            const int seam = std::abs(pcm.samples[size_t(ch)] -
                                      pcm.samples[pcm.samples.size() - size_t(c - ch)]);
            EXPECT_LE(seam, large) << want.name << " channel " << ch;
        }
    }
}

// Effects play once: short, audible, unclipped, and they start and end near silence so
// they never click.
TEST_F(ActorDataTest, EffectsAreShortAudibleAndEndInSilence)
{
    std::string loaded;
    for (const SoundCase& want : kEffects)
    {
        if (loaded != want.resourceFile)
        {
            resources->Clear();
            ASSERT_TRUE(resources->Load(want.resourceFile));
            loaded = want.resourceFile;
        }
        ZanAudio* audio = resources->GetAudioInfo(want.name);
        ASSERT_NE(audio, nullptr) << want.resourceFile << " " << want.name;
        EXPECT_FALSE(audio->bLoop) << want.name;
        Pcm pcm;
        ASSERT_TRUE(Decode(audio->strPath, pcm)) << audio->strPath;
        EXPECT_GT(pcm.Seconds(), 0.03) << want.name;
        EXPECT_LT(pcm.Seconds(), 5.0) << want.name;
        const short* begin = pcm.samples.data();
        const short* end = begin + pcm.samples.size();
        const int peak = Peak(begin, end);
        EXPECT_LT(peak, 32767) << want.name;
        EXPECT_GT(peak, 32768 / 10) << want.name;                          // -20 dBFS
        const size_t edge = size_t(pcm.rate) * size_t(pcm.channels) / 500; // 2 ms
        EXPECT_LT(Peak(end - edge, end), 32768 / 100) << want.name << " ends with a click";
        EXPECT_LT(std::abs(int(begin[0])), 32768 / 30) << want.name << " starts with a click";
    }
}
} // namespace
