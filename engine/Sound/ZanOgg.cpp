// A whole-file Ogg Vorbis sound: decoded completely into one 16-bit buffer.
#include "Sound/SoundShared.h"

#include "Graphics/ZanGraphicsLog.h"
#include "Resource/ZanBudget.h"

#include <algorithm>
#include <vector>

namespace
{
const char* const kSource = "Sound\\ZanOgg";

// A sound longer than this is streamed from its file instead: decoded whole, a long file
// used for many sounds would take the memory and the loading time of all of it.
constexpr ogg_int64_t kStreamSeconds = 30;
// Nor may a high rate make a whole sound large (64 MiB: over six minutes of stereo).
constexpr ogg_int64_t kMaxBytes = ogg_int64_t(64) << 20;
// Each streamed sound holds its file open: a bound keeps the descriptors for everything else.
constexpr size_t kMaxStreams = 64;
// A decoder that returns nothing but errors this often in a row has nothing more to give.
constexpr int kMaxErrorsInRow = 32;

// The streams of the long sounds now loaded, refilled every frame.
std::vector<CZanOggStream*> s_streams;
} // namespace

void ZanSoundUpdateStreams()
{
    for (CZanOggStream* stream : s_streams)
        stream->Update();
}

CZanOgg::~CZanOgg()
{
    CZanOgg::DestroySound();
}

void CZanOgg::DestroySound()
{
    if (m_pStream)
    {
        const auto listed = std::find(s_streams.begin(), s_streams.end(), m_pStream);
        if (listed != s_streams.end())
            s_streams.erase(listed);
        delete m_pStream; // its source too
        m_pStream = nullptr;
        m_nSource = 0;
    }
    alSourceStop(m_nSource);
    alDeleteSources(1, &m_nSource);
    Check();
    if (m_nBuffer)
        ZanSoundShareRelease(m_nBuffer);
    Check();
    m_nSource = 0;
    m_nBuffer = 0;
}

void CZanOgg::LoadStreamed(const char* path, bool loop)
{
    if (s_streams.size() >= kMaxStreams)
    {
        ZanLogError("声音流太多", kSource, __LINE__);
        return;
    }
    CZanOggStream* stream = new CZanOggStream;
    stream->LoadSound(path, loop);
    if (!stream->GetSource())
    {
        delete stream;
        return;
    }
    m_pStream = stream;
    s_streams.push_back(stream);
    m_nSource = stream->GetSource();
    m_nFormat = stream->GetFormat();
    SetUpSource(loop);
}

void CZanOgg::PlaySoundA()
{
    if (!m_pStream)
        return CZanAudioFile::PlaySoundA();
    // Neither playing nor stopped is paused: it goes on from where it was.
    if (!m_pStream->IsStreamPlaying() && !m_pStream->IsStopped())
        return m_pStream->ResumeSound();
    // A source already playing starts over, as a whole sound's does.
    m_pStream->StopSound();
    m_pStream->RewindSound();
    m_pStream->PlaySoundA();
}

void CZanOgg::StopSound()
{
    if (!m_pStream)
        return CZanAudioFile::StopSound();
    m_pStream->StopSound();
    m_pStream->RewindSound();
}

void CZanOgg::RewindSound()
{
    if (!m_pStream)
        return CZanAudioFile::RewindSound();
    CZanOgg::StopSound();
}

void CZanOgg::PauseSound()
{
    if (!m_pStream)
        return CZanAudioFile::PauseSound();
    // Pausing what does not play leaves it stopped.
    if (m_pStream->IsStreamPlaying())
        m_pStream->PauseSound();
}

void CZanOgg::SetLoop(bool loop)
{
    if (!m_pStream)
        return CZanAudioFile::SetLoop(loop);
    m_pStream->SetLoop(loop);
}

bool CZanOgg::IsPlaying()
{
    if (!m_pStream)
        return CZanAudioFile::IsPlaying();
    m_pStream->Update();
    // A stream at its end still plays out the chunk queued last.
    return m_pStream->IsStreamPlaying() || CZanAudioFile::IsPlaying();
}

const char* CZanOgg::GetResourceType() const
{
    return "声音资源";
}

void CZanOgg::LoadSound(const char* path, bool loop)
{
    // A source left behind would play on with nobody able to stop it.
    if (m_nSource || m_nBuffer)
        CZanOgg::DestroySound();
    ALenum sharedFormat = 0;
    if (const ALuint shared = ZanSoundShareFind(path, sharedFormat))
    {
        m_nBuffer = shared;
        m_nFormat = sharedFormat;
        alGenSources(1, &m_nSource);
        Check();
        alSourcei(m_nSource, AL_BUFFER, ALint(m_nBuffer));
        SetUpSource(loop);
        return;
    }
    FILE* file = ZanFileOpen(path, "rb");
    if (!file)
    {
        ZanLogError("不能打开 ogg 文件", kSource, __LINE__);
        return;
    }
    OggVorbis_File ogg;
    if (ov_open(file, &ogg, nullptr, 0) != 0)
    {
        std::fclose(file);
        ZanLogError("不能打开 ogg 文件", kSource, __LINE__);
        return;
    }
    const vorbis_info* info = ov_info(&ogg, -1);
    const int channels = info->channels == 1 ? 1 : 2;
    const ALenum format = channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
    const ALsizei rate = ALsizei(info->rate);

    // The length comes from the last page's header, which anyone can write: it bounds the
    // block but never sizes it before the samples are actually decoded. A long claim, or
    // none, is streamed, and then the claim bounds nothing.
    const ogg_int64_t samples = ov_pcm_total(&ogg, -1);
    if (samples < 0 || samples > kStreamSeconds * rate || samples > kMaxBytes / (channels * 2))
    {
        ov_clear(&ogg);
        LoadStreamed(path, loop);
        return;
    }
    bool failed = false;
    const ogg_int64_t claimed = samples * channels * 2;
    std::vector<char> block;
    int errorsInRow = 0;
    while (!failed && ogg_int64_t(block.size()) < claimed)
    {
        const size_t offset = block.size();
        const long want = long(std::min<ogg_int64_t>(65536, claimed - ogg_int64_t(offset)));
        block.resize(offset + size_t(want));
        const long got = ZanOggRead(&ogg, block.data() + offset, want);
        block.resize(offset + size_t(got > 0 ? got : 0));
        if (got == 0)
            break;
        errorsInRow = got > 0 ? 0 : errorsInRow + 1;
        failed = errorsInRow >= kMaxErrorsInRow;
    }
    ov_clear(&ogg);
    // Holes and lies alike leave the block short of the length the stream declared. The
    // record tells of the damage, but whatever did decode is still the sound.
    block.resize(block.size() - block.size() % size_t(channels * 2));
    if (failed || ogg_int64_t(block.size()) != claimed)
        ZanLogError("载入 ogg 文件出错", kSource, __LINE__);
    if (block.empty() || !ZanBudgetTake(block.size(), kSource))
        return;

    m_nFormat = format;
    alGenBuffers(1, &m_nBuffer);
    Check();
    ZanSoundShareAdd(path, m_nBuffer, format, block.size());
    alGenSources(1, &m_nSource);
    Check();
    alBufferData(m_nBuffer, m_nFormat, block.data(), ALsizei(block.size()), rate);
    alSourcei(m_nSource, AL_BUFFER, ALint(m_nBuffer));
    SetUpSource(loop);
}
