// A whole-file Ogg Vorbis sound: decoded completely into one 16-bit buffer.
#include "Sound/SoundShared.h"

#include "Graphics/ZanGraphicsLog.h"
#include "Resource/ZanBudget.h"

#include <algorithm>
#include <vector>

namespace
{
const char* const kSource = "Sound\\ZanOgg";

// A whole-file sound beyond this is music and belongs in a stream; the cap also keeps a
// stream's claimed length from sizing an allocation (64 MiB: over six minutes of stereo).
constexpr ogg_int64_t kMaxBytes = ogg_int64_t(64) << 20;
// A decoder that returns nothing but errors this often in a row has nothing more to give.
constexpr int kMaxErrorsInRow = 32;
} // namespace

CZanOgg::~CZanOgg()
{
    CZanOgg::DestroySound();
}

void CZanOgg::DestroySound()
{
    alSourceStop(m_nSource);
    alDeleteSources(1, &m_nSource);
    Check();
    if (m_nBuffer)
        ZanSoundShareRelease(m_nBuffer);
    Check();
    m_nSource = 0;
    m_nBuffer = 0;
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
    // block but never sizes it before the samples are actually decoded.
    const ogg_int64_t samples = ov_pcm_total(&ogg, -1);
    bool failed = samples < 0 || samples > kMaxBytes / (channels * 2);
    const ogg_int64_t claimed = failed ? 0 : samples * channels * 2;
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
