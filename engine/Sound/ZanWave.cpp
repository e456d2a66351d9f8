// A whole-file WAV sound, read with libsndfile into one buffer.
#include "Sound/SoundShared.h"

#include "Graphics/ZanGraphicsLog.h"

#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace
{
const char* const kSource = "Sound\\ZanWave";

// Effects are short; a header claiming more decoded data than this is not believed (64 MiB:
// over six minutes of 16-bit stereo).
constexpr sf_count_t kMaxBytes = sf_count_t(64) << 20;
constexpr sf_count_t kChunkFrames = 4096;

// libsndfile reads through the FILE* the platform opened, so names take the same GBK path.
sf_count_t FileLength(void* user)
{
    FILE* file = static_cast<FILE*>(user);
    const long here = std::ftell(file);
    if (here < 0 || std::fseek(file, 0, SEEK_END) != 0)
        return -1;
    const long end = std::ftell(file);
    std::fseek(file, here, SEEK_SET);
    return end;
}

sf_count_t FileSeek(sf_count_t offset, int whence, void* user)
{
    FILE* file = static_cast<FILE*>(user);
    if (std::fseek(file, long(offset), whence) != 0)
        return -1;
    return std::ftell(file);
}

sf_count_t FileRead(void* out, sf_count_t count, void* user)
{
    return sf_count_t(std::fread(out, 1, size_t(count), static_cast<FILE*>(user)));
}

sf_count_t FileWrite(const void*, sf_count_t, void*)
{
    return 0;
}

sf_count_t FileTell(void* user)
{
    return std::ftell(static_cast<FILE*>(user));
}

uint32_t Le32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Only RIFF WAV is a WAV: the signature is checked before libsndfile guesses other formats.
// The chunks before the data must lie inside the file. The data chunk may claim more than the
// file holds: streaming writers leave 0xFFFFFFFF there, and libsndfile reads what is present.
bool IsWholeRiffWave(FILE* file)
{
    const sf_count_t length = FileLength(file);
    unsigned char head[12];
    if (length < 12 || std::fread(head, 1, sizeof head, file) != sizeof head ||
        std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0)
        return false;
    bool fits = false;
    sf_count_t at = 12;
    while (at + 8 <= length)
    {
        unsigned char chunk[8];
        if (std::fseek(file, long(at), SEEK_SET) != 0 ||
            std::fread(chunk, 1, sizeof chunk, file) != sizeof chunk)
            break;
        if (std::memcmp(chunk, "data", 4) == 0)
        {
            fits = true;
            break;
        }
        const sf_count_t end = at + 8 + sf_count_t(Le32(chunk + 4));
        if (end > length)
            break;
        at = end + (end & 1);
    }
    return std::fseek(file, 0, SEEK_SET) == 0 && fits;
}

struct PcmData
{
    ALenum format = 0;
    ALsizei rate = 0;
    bool loop = false;
    std::vector<char> bytes;
};

// Decodes the whole file: 8-bit PCM stays unsigned 8-bit, everything else becomes 16-bit,
// and only the first two channels are kept. False when the file does not hold the frames its
// header promises.
bool Decode(SNDFILE* sound, const SF_INFO& info, PcmData& out)
{
    const int channels = info.channels == 1 ? 1 : 2;
    const bool eightBit = (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_U8;
    const int sampleBytes = eightBit ? 1 : 2;
    if (info.frames < 0 || info.frames > kMaxBytes / (channels * sampleBytes))
        return false;
    out.format = channels == 1 ? (eightBit ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16)
                               : (eightBit ? AL_FORMAT_STEREO8 : AL_FORMAT_STEREO16);
    out.rate = ALsizei(info.samplerate);

    std::vector<short> chunk(size_t(kChunkFrames) * size_t(info.channels));
    sf_count_t done = 0;
    while (done < info.frames)
    {
        const sf_count_t want = std::min(kChunkFrames, info.frames - done);
        const sf_count_t got = sf_readf_short(sound, chunk.data(), want);
        if (got <= 0)
            break;
        const size_t at = out.bytes.size();
        out.bytes.resize(at + size_t(got) * size_t(channels * sampleBytes));
        char* dest = out.bytes.data() + at;
        for (sf_count_t f = 0; f < got; ++f)
            for (int c = 0; c < channels; ++c)
            {
                const short s = chunk[size_t(f) * size_t(info.channels) + size_t(c)];
                if (eightBit)
                    *dest++ = char((s >> 8) + 128);
                else
                {
                    std::memcpy(dest, &s, 2);
                    dest += 2;
                }
            }
        done += got;
    }
    return done == info.frames;
}

bool ReadWave(const char* path, PcmData& out)
{
    FILE* file = ZanFileOpen(path, "rb");
    if (!file)
        return false;
    bool ok = false;
    if (IsWholeRiffWave(file))
    {
        SF_VIRTUAL_IO io = {FileLength, FileSeek, FileRead, FileWrite, FileTell};
        SF_INFO info{};
        if (SNDFILE* sound = sf_open_virtual(&io, SFM_READ, &info, file))
        {
            const int major = info.format & SF_FORMAT_TYPEMASK;
            if ((major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX) && info.channels > 0 &&
                info.samplerate > 0)
            {
                SF_INSTRUMENT instrument{};
                out.loop = sf_command(sound, SFC_GET_INSTRUMENT, &instrument, sizeof instrument) ==
                               SF_TRUE &&
                           instrument.loop_count > 0;
                // Float data is read in full scale, not truncated to its integer part.
                sf_command(sound, SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);
                ok = Decode(sound, info, out);
            }
            sf_close(sound);
        }
    }
    std::fclose(file);
    return ok;
}
} // namespace

CZanWave::~CZanWave()
{
    CZanWave::DestroySound();
}

void CZanWave::DestroySound()
{
    alSourceStop(m_nSource);
    alDeleteSources(1, &m_nSource);
    Check();
    alDeleteBuffers(1, &m_nBuffer);
    Check();
    m_nSource = 0;
    m_nBuffer = 0;
}

const char* CZanWave::GetResourceType() const
{
    return "声音资源";
}

void CZanWave::LoadSound(const char* path, bool loop)
{
    // A source left behind would play on with nobody able to stop it.
    if (m_nSource || m_nBuffer)
        CZanWave::DestroySound();
    if (!path)
    {
        ZanLogError("不能打开 wav 文件", kSource, __LINE__);
        return;
    }
    PcmData pcm;
    if (!ReadWave(path, pcm))
    {
        ZanLogError("不能载入 wav 文件", kSource, __LINE__);
        return;
    }
    // The file's sampler chunk decides, not the caller.
    loop = pcm.loop;

    m_nFormat = pcm.format;
    alGenSources(1, &m_nSource);
    alGenBuffers(1, &m_nBuffer);
    alBufferData(m_nBuffer, m_nFormat, pcm.bytes.data(), ALsizei(pcm.bytes.size()), pcm.rate);
    alSourcei(m_nSource, AL_BUFFER, ALint(m_nBuffer));
    SetUpSource(loop);
}
