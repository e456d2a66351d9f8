// Ogg Vorbis music streamed through two OpenAL buffers, refilled by the owner's Update.
#include "Sound/SoundShared.h"

#include "Graphics/ZanGraphicsLog.h"

namespace
{
const char* const kSource = "Sound\\ZanOggStream";
constexpr long kChunkBytes = 65536;
// A decoder that returns nothing but errors this often in a row has nothing more to give.
constexpr int kMaxErrorsInRow = 32;
} // namespace

CZanOggStream::CZanOggStream()
    : m_pFile(nullptr), m_pInfo(nullptr), m_bLoop(false), m_bPlaying(false), m_bStopped(true)
{
    m_aBuffers[0] = m_aBuffers[1] = 0;
    // A cleared decoder answers every call with an error, so nothing loaded is harmless.
    std::memset(&m_oggFile, 0, sizeof m_oggFile);
}

CZanOggStream::~CZanOggStream()
{
    CZanOggStream::DestroySound();
}

const char* CZanOggStream::GetResourceType() const
{
    return "声音资源";
}

void CZanOggStream::LoadSound(const char* path, bool loop)
{
    // Whatever was loaded or played before goes: a fresh stream is stopped.
    CZanOggStream::DestroySound();
    m_pFile = ZanFileOpen(path, "rb");
    if (!m_pFile)
    {
        ZanLogError("不能打开 ogg 文件", kSource, __LINE__);
        return;
    }
    if (ov_open(m_pFile, &m_oggFile, nullptr, 0) != 0)
    {
        std::fclose(m_pFile);
        m_pFile = nullptr;
        ZanLogError("不能打开 ogg 文件", kSource, __LINE__);
        return;
    }
    m_pInfo = ov_info(&m_oggFile, -1);
    m_nFormat = m_pInfo->channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
    alGenBuffers(2, m_aBuffers);
    Check();
    alGenSources(1, &m_nSource);
    Check();
    SetUpSource(loop);
}

void CZanOggStream::SetLoop(bool loop)
{
    m_bLoop = loop;
}

void CZanOggStream::PlaySoundA()
{
    if (m_bPlaying)
        return;
    ZanSoundCatchUp();
    // Buffers still queued from before a stop or pause could not take new data and would
    // be queued twice: start from an empty queue.
    alSourceStop(m_nSource);
    Empty();
    m_bPlaying = true;
    m_bStopped = false;
    ALuint filled[2];
    ALsizei count = 0;
    // A stream that ends while filling stops there instead of starting over.
    for (ALuint buffer : m_aBuffers)
        if (m_bPlaying && Stream(buffer))
            filled[count++] = buffer;
    if (count > 0)
    {
        alSourceQueueBuffers(m_nSource, count, filled);
        Check();
    }
    alSourcePlay(m_nSource);
}

void CZanOggStream::StopSound()
{
    alSourceStop(m_nSource);
    m_bPlaying = false;
    m_bStopped = true;
}

void CZanOggStream::PauseSound()
{
    // A stop, not a pause: ResumeSound plays what is still queued.
    alSourceStop(m_nSource);
    m_bPlaying = false;
    m_bStopped = false;
}

void CZanOggStream::ResumeSound()
{
    ZanSoundCatchUp();
    alSourcePlay(m_nSource);
    m_bPlaying = true;
    m_bStopped = false;
}

void CZanOggStream::RewindSound()
{
    ov_raw_seek(&m_oggFile, 0);
}

int CZanOggStream::Seek(long offset)
{
    return ov_raw_seek(&m_oggFile, offset);
}

void CZanOggStream::Update()
{
    if (!m_bPlaying || m_bStopped)
        return;
    ZanSoundCatchUp();
    ALint processed = 0;
    alGetSourcei(m_nSource, AL_BUFFERS_PROCESSED, &processed);
    bool refilled = false;
    while (processed-- > 0 && m_bPlaying)
    {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(m_nSource, 1, &buffer);
        Check();
        // A buffer the stream's end left unfilled would only repeat its old chunk.
        if (buffer && Stream(buffer))
        {
            alSourceQueueBuffers(m_nSource, 1, &buffer);
            Check();
            refilled = true;
        }
    }
    // A stall longer than the queue (a dragged window, a breakpoint) lets OpenAL drain it and
    // stop the source; the music goes on with what was just queued.
    ALint state = AL_PLAYING;
    alGetSourcei(m_nSource, AL_SOURCE_STATE, &state);
    if (refilled && m_bPlaying && state == AL_STOPPED)
        alSourcePlay(m_nSource);
}

namespace
{
// Fills `block` from the decoder's position; fewer bytes at the end of the stream. `broken`
// tells a decoder that returned only errors for too long.
long FillChunk(OggVorbis_File* ogg, char* block, bool& broken)
{
    long size = 0;
    int errorsInRow = 0;
    while (size < kChunkBytes && errorsInRow < kMaxErrorsInRow)
    {
        const long got = ZanOggRead(ogg, block + size, kChunkBytes - size);
        if (got == 0)
            break;
        if (got < 0)
        {
            ++errorsInRow;
            continue;
        }
        errorsInRow = 0;
        size += got;
    }
    broken = errorsInRow >= kMaxErrorsInRow;
    return size;
}
} // namespace

bool CZanOggStream::Stream(unsigned int buffer)
{
    if (!m_pInfo)
        return false;
    char block[kChunkBytes];
    bool broken = false;
    long size = FillChunk(&m_oggFile, block, broken);
    if (size < kChunkBytes && m_bLoop && !broken)
    {
        // A looping stream goes on with its first chunk.
        RewindSound();
        size = FillChunk(&m_oggFile, block, broken);
    }
    if (size == kChunkBytes)
    {
        alBufferData(buffer, m_nFormat, block, ALsizei(size), ALsizei(m_pInfo->rate));
        Check();
        return true;
    }
    // The partial last chunk is dropped.
    if (broken)
    {
        // Looping would only meet the same damage again.
        ZanLogError("载入 ogg 文件出错", kSource, __LINE__);
        StopSound();
    }
    else if (!m_bLoop)
    {
        // Stopped, but the source plays out the chunk still queued: the end of the music
        // is heard up to its last whole chunk.
        m_bPlaying = false;
        m_bStopped = true;
    }
    RewindSound();
    return false;
}

void CZanOggStream::Empty()
{
    ALint queued = 0;
    alGetSourcei(m_nSource, AL_BUFFERS_QUEUED, &queued);
    while (queued-- > 0)
    {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(m_nSource, 1, &buffer);
        Check();
    }
}

void CZanOggStream::DestroySound()
{
    StopSound();
    Empty();
    alDeleteSources(1, &m_nSource);
    Check();
    alDeleteBuffers(2, m_aBuffers);
    Check();
    ov_clear(&m_oggFile); // closes the file too
    m_pFile = nullptr;
    m_pInfo = nullptr;
    m_nSource = 0;
    m_aBuffers[0] = m_aBuffers[1] = 0;
}
