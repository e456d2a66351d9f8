// The sound device and the whole-file sounds, played through real OpenAL Soft.
#include "SoundFixture.h"

#include <sndfile.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace zantest;

namespace
{
// The device dithers its 16-bit output: silence is a sample or two off zero.
constexpr int kDither = 2;

// Loads `path` into a fresh sound of type T and hands it back.
template <class T> std::unique_ptr<T> Loaded(const char* path, bool loop = false)
{
    auto sound = std::make_unique<T>();
    sound->LoadSound(path, loop);
    return sound;
}

// The same stream with its last page's sample position replaced (and its checksum redone).
std::string WithLastGranule(std::string ogg, int64_t granule)
{
    const size_t page = ogg.rfind("OggS");
    for (int i = 0; i < 8; ++i)
        ogg[page + 6 + size_t(i)] = char((uint64_t(granule) >> (8 * i)) & 0xFF);
    for (size_t i = 22; i < 26; ++i)
        ogg[page + i] = 0;
    uint32_t crc = 0;
    for (size_t i = page; i < ogg.size(); ++i)
    {
        crc ^= uint32_t(uint8_t(ogg[i])) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    for (int i = 0; i < 4; ++i)
        ogg[page + 22 + size_t(i)] = char((crc >> (8 * i)) & 0xFF);
    return ogg;
}

// Records what the load's set-up calls, in order.
class RecordingOgg : public CZanOgg
{
public:
    std::vector<std::string> calls;
    void SetLoop(bool loop) override
    {
        calls.push_back(loop ? "SetLoop(true)" : "SetLoop(false)");
        CZanOgg::SetLoop(loop);
    }
    void SetSourcePosition(float x, float y) override
    {
        calls.push_back("SetSourcePosition");
        CZanOgg::SetSourcePosition(x, y);
    }
    void SetSourceDirection(float x, float y) override
    {
        calls.push_back("SetSourceDirection");
        CZanOgg::SetSourceDirection(x, y);
    }
    void SetListenerOrientation(float ax, float ay, float ux, float uy) override
    {
        calls.push_back("SetListenerOrientation");
        CZanOgg::SetListenerOrientation(ax, ay, ux, uy);
    }
};
} // namespace

TEST_F(SoundTest, WithoutAnyOutputTheDeviceOpensSilentlyAndTimeStillPasses)
{
    EXPECT_TRUE(g_pSoundDevice->IsSilent());
    EXPECT_EQ(Records("没有音频输出设备，游戏将无声运行"), 1);
    EXPECT_EQ(Records("OPENAL 音频设备创建成功"), 1);
    EXPECT_EQ(Records("OPENAL 音频设备创建失败"), 0);

    // Half a second of sound ends after half a second on the virtual clock.
    Write("beep.wav", MakeWav({}, Sine(440, 22050, 11025, 1)));
    auto beep = Loaded<CZanWave>("beep.wav");
    beep->PlaySoundA();
    ZanHeadlessAdvance(450);
    EXPECT_TRUE(beep->IsPlaying());
    ZanHeadlessAdvance(100);
    EXPECT_FALSE(beep->IsPlaying());
    beep.reset();

    // A device that was never opened closes without a record; the engine's closes once.
    CZanSoundDevice().Close();
    ReleaseEngine();
    EXPECT_EQ(Records("OPENAL 音频设备释放"), 1);
}

TEST_F(SoundTest, OggBuffersHoldExactlyTheDecodedSamples)
{
    Write("mono.ogg", MakeOgg(1, 22050, Sine(300, 22050, 10000, 1)));
    Write("stereo.ogg", MakeOgg(2, 44100, Sine(300, 44100, 7000, 2)));
    Write("three.ogg", MakeOgg(3, 44100, Sine(300, 44100, 3000, 3)));
    auto mono = Loaded<CZanOgg>("mono.ogg");
    auto stereo = Loaded<CZanOgg>("stereo.ogg");
    auto three = Loaded<CZanOgg>("three.ogg");

    EXPECT_EQ(mono->GetFormat(), AL_FORMAT_MONO16);
    EXPECT_EQ(BufferInt(mono->GetBuffer(), AL_SIZE), 10000 * 2);
    EXPECT_EQ(BufferInt(mono->GetBuffer(), AL_FREQUENCY), 22050);
    EXPECT_EQ(stereo->GetFormat(), AL_FORMAT_STEREO16);
    EXPECT_EQ(BufferInt(stereo->GetBuffer(), AL_SIZE), 7000 * 4);
    // Wider streams keep their first two channels rather than playing garbled.
    EXPECT_EQ(three->GetFormat(), AL_FORMAT_STEREO16);
    EXPECT_EQ(BufferInt(three->GetBuffer(), AL_SIZE), 3000 * 4);
    EXPECT_EQ(SourceInt(mono->GetSource(), AL_BUFFER), ALint(mono->GetBuffer()));
    EXPECT_STREQ(mono->GetResourceType(), "声音资源");
    EXPECT_EQ(ErrorRecords(), 0);
}

TEST_F(SoundTest, EveryLoadEndsWithTheSameSetUpThroughVirtualCalls)
{
    Write("a.ogg", MakeOgg(1, 22050, Sine(300, 22050, 2000, 1)));
    RecordingOgg sound;
    alListener3f(AL_POSITION, 5.0f, 6.0f, 7.0f);
    sound.LoadSound("a.ogg", true);
    const std::vector<std::string> order = {"SetSourcePosition", "SetSourceDirection",
                                            "SetListenerOrientation", "SetLoop(true)"};
    EXPECT_EQ(sound.calls, order);

    ALfloat v[3] = {1, 1, 1};
    alGetSource3f(sound.GetSource(), AL_DIRECTION, &v[0], &v[1], &v[2]);
    EXPECT_EQ(v[0] + v[1] + v[2], 0.0f); // omnidirectional
    alGetListener3f(AL_POSITION, &v[0], &v[1], &v[2]);
    EXPECT_EQ(v[0] + v[1] + v[2], 0.0f);
    ALfloat pitch = 0, gain = 0;
    alGetSourcef(sound.GetSource(), AL_PITCH, &pitch);
    alGetSourcef(sound.GetSource(), AL_GAIN, &gain);
    EXPECT_EQ(pitch, 1.0f);
    EXPECT_EQ(gain, 1.0f);
    EXPECT_EQ(SourceInt(sound.GetSource(), AL_LOOPING), AL_TRUE);

    // Loading again releases the first source instead of leaving it to play on.
    const ALuint first = sound.GetSource();
    sound.LoadSound("a.ogg", false);
    EXPECT_FALSE(alIsSource(first) && first != sound.GetSource());
    EXPECT_EQ(SourceInt(sound.GetSource(), AL_LOOPING), AL_FALSE);
}

TEST_F(SoundTest, WavSoundsPlayAtTheirFrequencyInEveryEncoding)
{
    const int rate = DeviceRate();
    ASSERT_GT(rate, 0);
    const Samples tone = Sine(1000, rate, rate / 4, 1);
    Write("pcm16.wav", MakeWav({1, rate, 16}, tone));
    Write("pcm8.wav", MakeWav({2, rate, 8}, Sine(1000, rate, rate / 4, 2)));
    ASSERT_TRUE(WriteSndfileWav("adpcm.wav", SF_FORMAT_IMA_ADPCM, 1, rate, tone));
    ASSERT_TRUE(WriteSndfileWav("float.wav", SF_FORMAT_FLOAT, 1, rate, tone));
    const std::pair<const char*, ALenum> cases[] = {{"pcm16.wav", AL_FORMAT_MONO16},
                                                    {"pcm8.wav", AL_FORMAT_STEREO8},
                                                    {"adpcm.wav", AL_FORMAT_MONO16},
                                                    {"float.wav", AL_FORMAT_MONO16}};
    for (const auto& [path, format] : cases)
    {
        SCOPED_TRACE(path);
        auto wave = Loaded<CZanWave>(path);
        EXPECT_EQ(wave->GetFormat(), format);
        wave->PlaySoundA();
        const auto out = RenderLoopback(4096);
        EXPECT_NEAR(LeftFrequency(out, 0, 4096, rate), 1000.0, 30.0);
        EXPECT_GT(Peak(out), 8000); // full scale, not truncated or attenuated to nothing
        wave->StopSound();
        RenderLoopback(512); // a stop fades out instead of clicking
        EXPECT_LE(Peak(RenderLoopback(512)), kDither);
    }
    EXPECT_EQ(ErrorRecords(), 0);
}

TEST_F(SoundTest, TheWavSamplerChunkDecidesLooping)
{
    const Samples tone = Sine(500, 22050, 2000, 1);
    Write("plain.wav", MakeWav({}, tone));
    WavLayout looped;
    looped.samplerLoops = 1;
    Write("looped.wav", MakeWav(looped, tone));
    looped.samplerLoops = 0;
    Write("noloops.wav", MakeWav(looped, tone));

    EXPECT_EQ(SourceInt(Loaded<CZanWave>("plain.wav", true)->GetSource(), AL_LOOPING), AL_FALSE);
    EXPECT_EQ(SourceInt(Loaded<CZanWave>("noloops.wav", true)->GetSource(), AL_LOOPING), AL_FALSE);
    auto loops = Loaded<CZanWave>("looped.wav", false);
    EXPECT_EQ(SourceInt(loops->GetSource(), AL_LOOPING), AL_TRUE);
    loops->PlaySoundA();
    ZanHeadlessAdvance(1000); // ten times its length
    EXPECT_TRUE(loops->IsPlaying());
}

TEST_F(SoundTest, LoopingOggPlaysOnUntilStoppedAndPauseIsNotPlaying)
{
    Write("a.ogg", MakeOgg(1, 22050, Sine(300, 22050, 4410, 1))); // 0.2 s
    auto looping = Loaded<CZanOgg>("a.ogg", true);
    auto once = Loaded<CZanOgg>("a.ogg", false);
    looping->PlaySoundA();
    once->PlaySoundA();
    for (int frame = 0; frame < 60; ++frame)
    {
        ZanHeadlessAdvance(16);
        ASSERT_TRUE(looping->IsPlaying()) << "frame " << frame;
    }
    EXPECT_FALSE(once->IsPlaying());
    looping->PauseSound();
    EXPECT_FALSE(looping->IsPlaying());
    EXPECT_EQ(SourceInt(looping->GetSource(), AL_SOURCE_STATE), AL_PAUSED);
    looping->PlaySoundA();
    EXPECT_TRUE(looping->IsPlaying());
    looping->StopSound();
    EXPECT_FALSE(looping->IsPlaying());
}

TEST_F(SoundTest, BadFilesWriteOneRecordAndPlayNothing)
{
    Write("garbage.wav", std::string("RIFF\x10\0\0\0WAVEjunkjunkjunk", 24));
    Write("garbage.ogg", "OggS but nothing that decodes");
    // A stream whose last page claims a length past any sound. (The first audio page anchors
    // the start, so the lie needs a page of its own.)
    const std::string ogg = MakeOgg(2, 44100, Tones({{300, 50000}, {900, 50000}}, 44100, 2));
    ASSERT_GE(ogg.size() - ogg.rfind("OggS"), 500u);
    ASSERT_GT(ogg.rfind("OggS"), ogg.find("OggS", 100));
    Write("huge.ogg", WithLastGranule(ogg, int64_t(1) << 40));

    struct Case
    {
        std::function<std::unique_ptr<CZanAudioFile>()> load;
        const char* record;
    };
    const Case cases[] = {
        {[] { return Loaded<CZanWave>("missing.wav"); }, "不能载入 wav 文件"},
        {[] { return Loaded<CZanWave>(nullptr); }, "不能打开 wav 文件"},
        {[] { return Loaded<CZanWave>("garbage.wav"); }, "不能载入 wav 文件"},
        {[] { return Loaded<CZanOgg>("missing.ogg"); }, "不能打开 ogg 文件"},
        {[] { return Loaded<CZanOgg>("garbage.ogg"); }, "不能打开 ogg 文件"},
        {[] { return Loaded<CZanOggStream>("missing.ogg"); }, "不能打开 ogg 文件"},
        {[] { return Loaded<CZanOggStream>("garbage.ogg"); }, "不能打开 ogg 文件"},
    };
    int errors = ErrorRecords();
    for (const Case& c : cases)
    {
        const int before = Records(c.record);
        auto sound = c.load();
        EXPECT_EQ(Records(c.record), before + 1) << c.record;
        EXPECT_EQ(ErrorRecords(), ++errors) << c.record;
        EXPECT_EQ(sound->GetSource(), 0u);
        sound->PlaySoundA();
        EXPECT_FALSE(sound->IsPlaying());
        EXPECT_LE(Peak(RenderLoopback(256)), kDither);
    }
    // It opens, but its claim is past any whole sound: nothing is decoded ahead, it streams.
    auto huge = Loaded<CZanOgg>("huge.ogg");
    EXPECT_TRUE(huge->IsStreamed());
    EXPECT_EQ(huge->GetBuffer(), 0u);
    EXPECT_EQ(ZanMediaBytesInUse(), 0u);
    EXPECT_EQ(Records("载入 ogg 文件出错"), 0);
}

TEST_F(SoundTest, DamagedOrOverclaimingFilesKeepWhatDecodes)
{
    // Data chunks claiming "length unknown", a little more, and far more than the file holds.
    for (int64_t claim : {int64_t(0xFFFFFFFF), int64_t(2000 + 100), int64_t(1) << 30})
    {
        WavLayout layout;
        layout.claimedDataBytes = claim;
        Write("claim" + std::to_string(claim) + ".wav", MakeWav(layout, Sine(500, 22050, 1000, 1)));
    }
    const std::string ogg = MakeOgg(2, 44100, Tones({{300, 50000}, {900, 50000}}, 44100, 2));
    Write("double.ogg", WithLastGranule(ogg, 200000));
    // One audio page in the middle with a byte changed fails its checksum and is skipped.
    // Noise, unlike a sine, fills many pages.
    Samples noise(200000);
    uint32_t seed = 1;
    for (float& v : noise)
        v = float((seed = seed * 1664525u + 1013904223u) >> 8) / float(1 << 24) - 0.5f;
    std::string damaged = MakeOgg(2, 44100, noise);
    std::vector<size_t> pages;
    for (size_t at = damaged.find("OggS"); at != std::string::npos;
         at = damaged.find("OggS", at + 4))
        pages.push_back(at);
    ASSERT_GE(pages.size(), 5u);
    const size_t page = pages[pages.size() / 2];
    damaged[page + 100] = char(damaged[page + 100] ^ 0x5A);
    Write("damaged.ogg", damaged);

    struct Case
    {
        std::function<std::unique_ptr<CZanAudioFile>()> load;
        int minBytes, maxBytes; // what the buffer may hold
        int records;            // "载入 ogg 文件出错" rows the load adds
    };
    const Case cases[] = {
        {[] { return Loaded<CZanWave>("claim4294967295.wav"); }, 2000, 2000, 0},
        {[] { return Loaded<CZanWave>("claim2100.wav"); }, 2000, 2000, 0},
        {[] { return Loaded<CZanWave>("claim1073741824.wav"); }, 2000, 2000, 0},
        // Its end is no longer trimmed by the true last granule: a block of padding more.
        {[] { return Loaded<CZanOgg>("double.ogg"); }, 100000 * 4, 102000 * 4, 1},
        {[] { return Loaded<CZanOgg>("damaged.ogg"); }, 50000 * 4, 110000 * 4, 1},
    };
    for (const Case& c : cases)
    {
        const int before = Records("载入 ogg 文件出错");
        auto sound = c.load();
        ASSERT_NE(sound->GetSource(), 0u);
        const ALint bytes = BufferInt(ALuint(SourceInt(sound->GetSource(), AL_BUFFER)), AL_SIZE);
        EXPECT_GE(bytes, c.minBytes);
        EXPECT_LE(bytes, c.maxBytes);
        EXPECT_EQ(Records("载入 ogg 文件出错"), before + c.records);
        sound->PlaySoundA();
        EXPECT_TRUE(sound->IsPlaying());
    }
    EXPECT_EQ(Records("不能载入 wav 文件"), 0);
}

// A sound file used by many sound objects is decoded once: they play one buffer, which stays
// until the last of them goes.
TEST_F(SoundTest, SoundsOfOneFileShareOneDecodedBuffer)
{
    Write("shared.ogg", MakeOgg(1, 22050, Sine(300, 22050, 10000, 1)));
    auto first = Loaded<CZanOgg>("shared.ogg");
    auto second = Loaded<CZanOgg>("shared.ogg");
    ASSERT_NE(first->GetBuffer(), 0u);
    EXPECT_EQ(second->GetBuffer(), first->GetBuffer());
    EXPECT_NE(second->GetSource(), first->GetSource());
    EXPECT_EQ(ZanMediaBytesInUse(), 10000u * 2);
    const ALuint buffer = first->GetBuffer();
    first.reset();
    EXPECT_TRUE(alIsBuffer(buffer));
    EXPECT_EQ(BufferInt(second->GetBuffer(), AL_SIZE), 10000 * 2);
    second.reset();
    EXPECT_FALSE(alIsBuffer(buffer));
    EXPECT_EQ(ZanMediaBytesInUse(), 0u);
}

// Past the media budget a sound stays silent, and the first refusal says why.
TEST_F(SoundTest, SoundsPastTheMediaBudgetAreRefusedWithOneWarning)
{
    ZanSetMediaBudget(30000);
    Write("a.ogg", MakeOgg(1, 22050, Sine(300, 22050, 10000, 1)));
    Write("b.ogg", MakeOgg(1, 22050, Sine(400, 22050, 10000, 1)));
    Write("c.ogg", MakeOgg(1, 22050, Sine(500, 22050, 10000, 1)));
    auto a = Loaded<CZanOgg>("a.ogg");
    auto b = Loaded<CZanOgg>("b.ogg");
    auto c = Loaded<CZanOgg>("c.ogg");
    EXPECT_NE(a->GetBuffer(), 0u);
    EXPECT_EQ(b->GetBuffer(), 0u);
    EXPECT_EQ(c->GetBuffer(), 0u);
    EXPECT_EQ(Records("声音和纹理的内存已达上限，其余的不再载入"), 1);
    a.reset();
    auto again = Loaded<CZanOgg>("b.ogg");
    EXPECT_NE(again->GetBuffer(), 0u);
    ZanSetMediaBudget(size_t(768) << 20);
}
