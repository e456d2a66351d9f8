#include "SoundFiles.h"

#include <AL/alc.h>
#include <AL/alext.h>
#include <sndfile.h>
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace zantest
{
namespace
{
void Put16(std::string& out, unsigned v)
{
    out += char(v & 0xFF);
    out += char((v >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void AppendPages(std::string& out, ogg_stream_state& stream, bool flush)
{
    ogg_page page;
    while (flush ? ogg_stream_flush(&stream, &page) : ogg_stream_pageout(&stream, &page))
    {
        out.append(reinterpret_cast<const char*>(page.header), size_t(page.header_len));
        out.append(reinterpret_cast<const char*>(page.body), size_t(page.body_len));
    }
}
} // namespace

Samples Sine(double hz, int rate, int frames, int channels, float amplitude)
{
    Samples out(size_t(frames) * size_t(channels));
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            out[size_t(i) * size_t(channels) + size_t(c)] =
                amplitude * float(std::sin(2.0 * M_PI * hz * i / rate));
    return out;
}

Samples Tones(const std::vector<std::pair<double, int>>& parts, int rate, int channels)
{
    Samples out;
    for (const auto& [hz, frames] : parts)
    {
        const Samples part = Sine(hz, rate, frames, channels);
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

std::string MakeWav(const WavLayout& layout, const Samples& samples)
{
    std::string data;
    for (float s : samples)
    {
        const float v = s < -1.0f ? -1.0f : s > 1.0f ? 1.0f : s;
        if (layout.bits == 8)
            data += char(int(std::lround(v * 127.0f)) + 128);
        else
            Put16(data, unsigned(int16_t(std::lround(v * 32767.0f))));
    }
    const int block = layout.channels * layout.bits / 8;
    std::string body = "WAVEfmt ";
    Put32(body, 16);
    Put16(body, 1);
    Put16(body, unsigned(layout.channels));
    Put32(body, uint32_t(layout.rate));
    Put32(body, uint32_t(layout.rate * block));
    Put16(body, unsigned(block));
    Put16(body, unsigned(layout.bits));
    if (layout.samplerLoops >= 0)
    {
        body += "smpl";
        Put32(body, uint32_t(36 + 24 * layout.samplerLoops));
        for (int i = 0; i < 7; ++i) // maker, product, period, note, fraction, format, offset
            Put32(body, i == 3 ? 60 : 0);
        Put32(body, uint32_t(layout.samplerLoops));
        Put32(body, 0); // no sampler data after the loops
        const uint32_t frames = uint32_t(samples.size()) / uint32_t(layout.channels);
        for (int i = 0; i < layout.samplerLoops; ++i)
        {
            Put32(body, uint32_t(i)); // cue point id
            Put32(body, 0);           // forward loop
            Put32(body, 0);
            Put32(body, frames ? frames - 1 : 0);
            Put32(body, 0);
            Put32(body, 0); // endless
        }
    }
    body += "data";
    Put32(body,
          layout.claimedDataBytes >= 0 ? uint32_t(layout.claimedDataBytes) : uint32_t(data.size()));
    body += data;
    if (data.size() % 2)
        body += '\0';
    std::string out = "RIFF";
    Put32(out, uint32_t(body.size()));
    return out + body;
}

bool WriteSndfileWav(const std::string& nativePath, int subformat, int channels, int rate,
                     const Samples& samples)
{
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = SF_FORMAT_WAV | subformat;
    SNDFILE* file = sf_open(nativePath.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    const sf_count_t frames = sf_count_t(samples.size()) / channels;
    const bool ok = sf_writef_float(file, samples.data(), frames) == frames;
    sf_close(file);
    return ok;
}

std::string MakeOgg(int channels, int rate, const Samples& samples)
{
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, rate, 0.4f) != 0)
    {
        vorbis_info_clear(&info);
        return std::string();
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 1);

    std::string out;
    ogg_packet header, comments, code;
    vorbis_analysis_headerout(&dsp, &comment, &header, &comments, &code);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &comments);
    ogg_stream_packetin(&stream, &code);
    AppendPages(out, stream, true);

    const size_t frames = samples.size() / size_t(channels);
    size_t done = 0;
    for (bool last = false; !last;)
    {
        const size_t n = std::min<size_t>(1024, frames - done);
        if (n == 0)
        {
            vorbis_analysis_wrote(&dsp, 0);
            last = true;
        }
        else
        {
            float** buffer = vorbis_analysis_buffer(&dsp, int(n));
            for (size_t i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c)
                    buffer[c][i] = samples[(done + i) * size_t(channels) + size_t(c)];
            vorbis_analysis_wrote(&dsp, int(n));
            done += n;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1)
        {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet))
            {
                ogg_stream_packetin(&stream, &packet);
                AppendPages(out, stream, false);
            }
        }
    }
    AppendPages(out, stream, true);
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

std::vector<int16_t> RenderLoopback(int frames)
{
    ALCcontext* context = alcGetCurrentContext();
    ALCdevice* device = context ? alcGetContextsDevice(context) : nullptr;
    auto render =
        reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(device, "alcRenderSamplesSOFT"));
    std::vector<int16_t> out;
    if (!device || !render || frames <= 0)
        return out;
    out.resize(size_t(frames) * 2);
    render(device, out.data(), frames);
    return out;
}

int DeviceRate()
{
    ALCcontext* context = alcGetCurrentContext();
    ALCint rate = 0;
    if (context)
        alcGetIntegerv(alcGetContextsDevice(context), ALC_FREQUENCY, 1, &rate);
    return rate;
}

double LeftFrequency(const std::vector<int16_t>& stereo, size_t firstFrame, size_t frames, int rate)
{
    // Crossings of a small band around zero, so noise at silence counts nothing.
    int crossings = 0;
    int side = 0;
    for (size_t i = firstFrame; i < firstFrame + frames && 2 * i < stereo.size(); ++i)
    {
        const int s = stereo[2 * i];
        const int now = s > 200 ? 1 : s < -200 ? -1 : 0;
        if (now != 0 && side != 0 && now != side)
            ++crossings;
        if (now != 0)
            side = now;
    }
    return frames ? crossings / 2.0 * rate / double(frames) : 0.0;
}

int Peak(const std::vector<int16_t>& samples, size_t first, size_t count)
{
    int peak = 0;
    for (size_t i = first; i < samples.size() && i - first < count; ++i)
        peak = std::max(peak, std::abs(int(samples[i])));
    return peak;
}
} // namespace zantest
