// Whole-file Ogg sounds too long to decode whole: streamed from their file, refilled by the
// engine's frame loop, and still played, stopped, paused and looped as any sound.
#include "SoundFixture.h"
#include "Sound/SoundShared.h"

#include <memory>
#include <string>
#include <vector>

using namespace zantest;

namespace
{
constexpr int kRate = 8000; // a low rate keeps long files quick to make
constexpr int kTone = 400;

std::unique_ptr<CZanOgg> LoadedOgg(const char* path, bool loop = false)
{
    auto sound = std::make_unique<CZanOgg>();
    sound->LoadSound(path, loop);
    return sound;
}

class LongSoundTest : public SoundTest
{
protected:
    void SetUp() override
    {
        SoundTest::SetUp();
        Write("long.ogg", MakeOgg(1, kRate, Sine(kTone, kRate, 40 * kRate, 1)));
    }
    // Bytes of the buffers queued on the sound's source.
    static ALint QueuedBytes(const CZanOgg& sound)
    {
        const ALuint source = sound.GetSource();
        if (SourceInt(source, AL_SOURCE_TYPE) != AL_STREAMING)
            return BufferInt(ALuint(SourceInt(source, AL_BUFFER)), AL_SIZE);
        // Queued buffers cannot be listed; the stream queues at most its two chunks.
        return SourceInt(source, AL_BUFFERS_QUEUED) * 65536;
    }
    // Renders `seconds` of output a tenth of a second at a time, refilling the streams after
    // each tenth as the frame loop does. Returns the output of the last tenth.
    static std::vector<int16_t> Render(double seconds)
    {
        std::vector<int16_t> last;
        for (int i = 0; i < int(seconds * 10); ++i)
        {
            last = RenderLoopback(DeviceRate() / 10);
            ZanSoundUpdateStreams();
        }
        return last;
    }
};
} // namespace

// Up to 30 s a sound is decoded whole and shared; past that it streams and takes no budget.
TEST_F(LongSoundTest, SoundsPastHalfAMinuteStreamInsteadOfDecodingWhole)
{
    Write("short.ogg", MakeOgg(1, kRate, Sine(kTone, kRate, 29 * kRate, 1)));
    Write("over.ogg", MakeOgg(1, kRate, Sine(kTone, kRate, 31 * kRate, 1)));
    struct Case
    {
        const char* file;
        bool streamed;
        size_t budget; // media bytes the sound takes
    };
    const Case cases[] = {
        {"short.ogg", false, 29u * kRate * 2},
        {"over.ogg", true, 0},
        {"long.ogg", true, 0},
    };
    for (const Case& c : cases)
    {
        auto sound = LoadedOgg(c.file);
        ASSERT_NE(sound->GetSource(), 0u) << c.file;
        EXPECT_EQ(sound->IsStreamed(), c.streamed) << c.file;
        EXPECT_EQ(sound->GetBuffer() == 0, c.streamed) << c.file;
        EXPECT_EQ(ZanMediaBytesInUse(), c.budget) << c.file;
        EXPECT_EQ(sound->GetFormat(), AL_FORMAT_MONO16) << c.file;
        sound->PlaySoundA();
        EXPECT_TRUE(sound->IsPlaying()) << c.file;
        EXPECT_LE(QueuedBytes(*sound), c.streamed ? 2 * 65536 : 29 * kRate * 2) << c.file;
    }
    EXPECT_EQ(ErrorRecords(), 0);
}

// Thirty sounds of one long file (as data using it for every sound would make) hold only their
// streams' chunks, and one of them plays on well past what two chunks hold.
TEST_F(LongSoundTest, ALongSoundPlaysOnWithBoundedMemory)
{
    std::vector<std::unique_ptr<CZanOgg>> sounds;
    for (int i = 0; i < 30; ++i)
        sounds.push_back(LoadedOgg("long.ogg"));
    EXPECT_EQ(ZanMediaBytesInUse(), 0u);
    CZanOgg& sound = *sounds.front();
    sound.PlaySoundA();
    for (int second = 1; second <= 20; ++second)
    {
        const auto out = Render(1.0);
        ASSERT_TRUE(sound.IsPlaying()) << second << " s";
        EXPECT_NEAR(LeftFrequency(out, 0, out.size() / 2, DeviceRate()), kTone, 20)
            << second << " s";
        EXPECT_LE(QueuedBytes(sound), 2 * 65536);
    }
    EXPECT_EQ(ZanMediaBytesInUse(), 0u);
}

// The operations of a whole sound, on a streamed one.
TEST_F(LongSoundTest, AStreamedSoundStopsPausesRestartsAndLoopsAsAWholeOne)
{
    auto once = LoadedOgg("long.ogg", false);
    auto looping = LoadedOgg("long.ogg", true);
    ASSERT_TRUE(once->IsStreamed());
    EXPECT_FALSE(once->IsPlaying()); // never played
    once->PauseSound();
    EXPECT_FALSE(once->IsPlaying()); // pausing what does not play leaves it stopped
    once->PlaySoundA();
    looping->PlaySoundA();
    Render(1.0);
    once->PauseSound();
    EXPECT_FALSE(once->IsPlaying());
    Render(10.0); // a paused sound is not refilled into playing
    EXPECT_FALSE(once->IsPlaying());
    once->PlaySoundA();
    EXPECT_TRUE(once->IsPlaying());
    once->StopSound();
    EXPECT_FALSE(once->IsPlaying());
    once->PlaySoundA();
    EXPECT_TRUE(once->IsPlaying());
    once->RewindSound();
    EXPECT_FALSE(once->IsPlaying());
    once->PlaySoundA();
    // Past its 40 s the one-shot sound has ended and the looping one goes on.
    Render(45.0);
    EXPECT_FALSE(once->IsPlaying());
    EXPECT_TRUE(looping->IsPlaying());
    // Once ended it plays again from the start.
    once->PlaySoundA();
    EXPECT_TRUE(once->IsPlaying());
    once->SetLoop(true);
    Render(45.0);
    EXPECT_TRUE(once->IsPlaying());
    EXPECT_EQ(ErrorRecords(), 0);
}

// The frame loop refills the streams by itself: a sound nobody asks about plays on.
TEST_F(LongSoundTest, TheFrameLoopKeepsALongSoundPlaying)
{
    auto sound = LoadedOgg("long.ogg");
    sound->PlaySoundA();
    struct Run
    {
        ALuint source;
        int passes = 0;
        int stopped = 0;
    } run{sound->GetSource()};
    // Each pass lasts 100 ms of virtual time; the silent device mixes it when asked.
    ZanHeadlessOnFrame(
        [](void* user)
        {
            Run& r = *static_cast<Run*>(user);
            ZanHeadlessAdvance(100);
            ZanSoundCatchUp();
            r.stopped += SourceInt(r.source, AL_SOURCE_STATE) != AL_PLAYING;
            if (++r.passes == 200)
                PostQuitMessage(0);
        },
        &run);
    EXPECT_TRUE(engine->SystemStart());
    ZanHeadlessOnFrame(nullptr, nullptr);
    EXPECT_EQ(run.passes, 200);
    // 20 s heard, five times what the two queued chunks hold.
    EXPECT_EQ(run.stopped, 0);
}

// Each streamed sound holds its file open: past 64 at once a long sound stays silent and says
// why, until one of the others goes.
TEST_F(LongSoundTest, PastSixtyFourStreamsALongSoundStaysSilent)
{
    std::vector<std::unique_ptr<CZanOgg>> sounds;
    for (int i = 0; i < 64; ++i)
    {
        sounds.push_back(LoadedOgg("long.ogg"));
        ASSERT_TRUE(sounds.back()->IsStreamed()) << i;
    }
    auto extra = LoadedOgg("long.ogg");
    EXPECT_FALSE(extra->IsStreamed());
    EXPECT_EQ(extra->GetSource(), 0u);
    extra->PlaySoundA();
    EXPECT_FALSE(extra->IsPlaying());
    EXPECT_EQ(Records("声音流太多"), 1);
    sounds.pop_back();
    extra->LoadSound("long.ogg", false);
    EXPECT_TRUE(extra->IsStreamed());
    EXPECT_EQ(Records("声音流太多"), 1);
}
