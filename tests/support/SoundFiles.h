// Sound files made on the spot (WAV by hand, Ogg Vorbis through libvorbisenc, other WAV
// encodings through libsndfile), and what the silent loopback device plays.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zantest
{
/// Interleaved float samples in [-1, 1].
using Samples = std::vector<float>;

/// `frames` frames of a sine at `hz`, the same in every channel.
Samples Sine(double hz, int rate, int frames, int channels, float amplitude = 0.5f);
/// Several sines one after the other: (hz, frames) pairs.
Samples Tones(const std::vector<std::pair<double, int>>& parts, int rate, int channels);

struct WavLayout
{
    int channels = 1;
    int rate = 22050;
    int bits = 16;                 ///< 8 (unsigned) or 16
    int samplerLoops = -1;         ///< loops listed in a sampler chunk; -1: no sampler chunk
    int64_t claimedDataBytes = -1; ///< what the data chunk's header says; -1: the truth
};
/// A RIFF WAV file's bytes.
std::string MakeWav(const WavLayout& layout, const Samples& samples);
/// Writes a WAV in another encoding (a libsndfile subformat such as SF_FORMAT_IMA_ADPCM)
/// to `nativePath`; false when libsndfile refuses.
bool WriteSndfileWav(const std::string& nativePath, int subformat, int channels, int rate,
                     const Samples& samples);
/// An Ogg Vorbis file's bytes (quality 0.4).
std::string MakeOgg(int channels, int rate, const Samples& samples);

/// Renders `frames` frames from the current context's loopback device: interleaved stereo
/// 16-bit. Empty when the current device is no loopback device.
std::vector<int16_t> RenderLoopback(int frames);
/// The output rate of the current device.
int DeviceRate();
/// Frequency of the left channel of interleaved stereo, by zero crossings; 0 for silence.
double LeftFrequency(const std::vector<int16_t>& stereo, size_t firstFrame, size_t frames,
                     int rate);
/// Largest absolute sample.
int Peak(const std::vector<int16_t>& samples, size_t first = 0, size_t count = SIZE_MAX);
} // namespace zantest
