// Streamed Ogg Vorbis music, heard through the silent loopback device frame by frame.
#include "SoundFixture.h"

#include <string>
#include <vector>

using namespace zantest;

namespace
{
constexpr int kRate = 44100;
constexpr int kChunk = 16384; // stereo frames in one 64 KiB chunk
constexpr int kFrame = 735;   // one 60 Hz frame at 44.1 kHz

class ProbeStream : public CZanOggStream
{
public:
    long Position() { return long(ov_pcm_tell(&m_oggFile)); }
    ALint Queued()
    {
        ALint n = -1;
        alGetSourcei(m_nSource, AL_BUFFERS_QUEUED, &n);
        return n;
    }
};

// Three whole chunks of different tones, then half a chunk of a fourth.
std::string TonesOgg()
{
    return MakeOgg(
        2, kRate,
        Tones({{440, kChunk}, {660, kChunk}, {880, kChunk}, {1760, kChunk / 2}}, kRate, 2));
}

// Renders `frames` frames of output, updating the stream after each, as a scene does.
std::vector<int16_t> Play(CZanOggStream& stream, int frames)
{
    std::vector<int16_t> all;
    for (int i = 0; i < frames; ++i)
    {
        const auto part = RenderLoopback(kFrame);
        all.insert(all.end(), part.begin(), part.end());
        stream.Update();
    }
    return all;
}

// The tone heard in each whole chunk of the output, judged by its middle half; 0 is silence.
std::vector<int> ChunkTones(const std::vector<int16_t>& out)
{
    std::vector<int> tones;
    for (size_t c = 0; (c + 1) * kChunk * 2 <= out.size(); ++c)
    {
        const double f = LeftFrequency(out, c * kChunk + kChunk / 4, kChunk / 2, kRate);
        int best = 0;
        for (int tone : {440, 660, 880, 1760})
            if (std::abs(f - tone) < 40)
                best = tone;
        tones.push_back(f < 100 ? 0 : best ? best : -1);
    }
    return tones;
}

// The first `n` chunk tones of `frames` frames of play.
std::vector<int> Heard(CZanOggStream& stream, int n)
{
    std::vector<int> tones = ChunkTones(Play(stream, n * kChunk / kFrame + 2));
    tones.resize(size_t(n));
    return tones;
}

class StreamTest : public SoundTest
{
protected:
    void SetUp() override
    {
        SoundTest::SetUp();
        ASSERT_EQ(DeviceRate(), kRate);
        Write("tones.ogg", TonesOgg());
    }
};
} // namespace

TEST_F(StreamTest, NonLoopingStreamEndsWithItsLastWholeChunk)
{
    ProbeStream stream;
    stream.LoadSound("tones.ogg", false);
    EXPECT_EQ(stream.Position(), 0); // nothing decoded before playing
    stream.PlaySoundA();
    EXPECT_EQ(Heard(stream, 5), (std::vector<int>{440, 660, 880, 0, 0}));
    EXPECT_FALSE(stream.IsPlaying());
    EXPECT_TRUE(stream.IsStopped());
    EXPECT_FALSE(stream.IsStreamPlaying());
    EXPECT_EQ(stream.Position(), 0); // rewound for the next PlaySoundA
    EXPECT_EQ(ErrorRecords(), 0);
}

TEST_F(StreamTest, LoopingStreamGoesOnFromItsBeginning)
{
    ProbeStream stream;
    stream.LoadSound("tones.ogg", true);
    EXPECT_TRUE(stream.IsLooping());
    EXPECT_EQ(SourceInt(stream.GetSource(), AL_LOOPING), AL_FALSE); // the source never loops
    stream.PlaySoundA();
    EXPECT_EQ(Heard(stream, 7), (std::vector<int>{440, 660, 880, 440, 660, 880, 440}));
    EXPECT_TRUE(stream.IsPlaying());
}

TEST_F(StreamTest, LoopingStreamKeepsPlayingOnTheVirtualClock)
{
    ProbeStream stream;
    stream.LoadSound("tones.ogg", true);
    stream.PlaySoundA();
    // The file lasts 1.3 s: five turns of updates every 16 ms, with the decoder seen wrapping.
    long last = stream.Position();
    int wraps = 0;
    for (int frame = 0; frame < 400; ++frame)
    {
        ZanHeadlessAdvance(16);
        stream.Update();
        ASSERT_TRUE(stream.IsPlaying()) << "frame " << frame;
        wraps += stream.Position() < last;
        last = stream.Position();
    }
    EXPECT_GE(wraps, 4);
    EXPECT_EQ(stream.Queued(), 2);
}

TEST_F(StreamTest, MusicComesBackAfterAStallLongerThanItsQueue)
{
    ProbeStream stream;
    stream.LoadSound("tones.ogg", true);
    stream.PlaySoundA();
    RenderLoopback(3 * kChunk); // no Update while OpenAL drains both buffers and stops
    ASSERT_FALSE(stream.IsPlaying());
    stream.Update();
    EXPECT_TRUE(stream.IsPlaying());
    EXPECT_EQ(Heard(stream, 2), (std::vector<int>{880, 440})); // on from where it stalled
}

TEST_F(StreamTest, StreamShorterThanOneChunkPlaysNothing)
{
    Write("short.ogg", MakeOgg(2, kRate, Sine(440, kRate, kChunk / 2, 2)));
    for (bool loop : {false, true})
    {
        ProbeStream stream;
        stream.LoadSound("short.ogg", loop);
        stream.PlaySoundA();
        EXPECT_LE(Peak(Play(stream, 30)), 2) << loop;
        EXPECT_FALSE(stream.IsPlaying());
    }
}

TEST_F(StreamTest, PauseKeepsTheQueueAndResumePlaysIt)
{
    ProbeStream stream;
    stream.LoadSound("tones.ogg", false);
    stream.PlaySoundA();
    Play(stream, 10);
    stream.PauseSound();
    EXPECT_FALSE(stream.IsPlaying());
    EXPECT_FALSE(stream.IsStopped());
    const long position = stream.Position();
    RenderLoopback(kFrame); // the stop fades out
    // Time passes and the scene keeps updating: nothing is decoded or heard.
    for (int i = 0; i < 30; ++i)
    {
        ZanHeadlessAdvance(16);
        stream.Update();
        EXPECT_FALSE(stream.IsPlaying());
    }
    EXPECT_LE(Peak(Play(stream, 30)), 2);
    EXPECT_EQ(stream.Position(), position);
    EXPECT_EQ(stream.Queued(), 2);

    stream.ResumeSound();
    EXPECT_TRUE(stream.IsPlaying());
    // The queue restarts from its first chunk: the first tone again, then the rest in order.
    EXPECT_EQ(Heard(stream, 3), (std::vector<int>{440, 660, 880}));
}

TEST_F(StreamTest, PlayWhilePlayingDoesNothingAndPlayAfterStopStartsAfresh)
{
    ProbeStream stream;
    stream.LoadSound("tones.ogg", false);
    stream.PlaySoundA();
    const long position = stream.Position();
    stream.PlaySoundA();
    EXPECT_EQ(stream.Position(), position);
    EXPECT_EQ(stream.Queued(), 2);

    stream.StopSound();
    EXPECT_FALSE(stream.IsPlaying());
    stream.RewindSound();
    stream.PlaySoundA();
    EXPECT_EQ(stream.Queued(), 2); // not four: the old queue was dropped
    EXPECT_EQ(Heard(stream, 3), (std::vector<int>{440, 660, 880}));
}

TEST_F(StreamTest, RewindIsHeardOnlyAfterTheQueuedChunks)
{
    ProbeStream stream;
    stream.LoadSound("tones.ogg", false);
    stream.PlaySoundA();
    stream.RewindSound();
    EXPECT_EQ(Heard(stream, 4), (std::vector<int>{440, 660, 440, 660}));
    EXPECT_EQ(stream.Seek(0), 0);
    EXPECT_LT(stream.Seek(-5), 0);
}

TEST_F(StreamTest, DestroyedStreamIsSilentAndSafe)
{
    ProbeStream stream;
    stream.LoadSound("tones.ogg", true);
    stream.PlaySoundA();
    Play(stream, 5);
    stream.DestroySound();
    EXPECT_EQ(stream.GetSource(), 0u);
    RenderLoopback(512); // the stop fades out
    EXPECT_LE(Peak(RenderLoopback(512)), 2);
    // Everything after is harmless, and playing decodes nothing.
    stream.PlaySoundA();
    stream.Update();
    EXPECT_LT(stream.Seek(0), 0);
    EXPECT_FALSE(stream.IsPlaying());
    stream.LoadSound("tones.ogg", false); // and it can be loaded again
    stream.PlaySoundA();
    EXPECT_TRUE(stream.IsPlaying());
}
