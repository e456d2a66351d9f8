// WAV files come from users and modders: any bytes must load as a sound or fail cleanly, and
// a loaded sound must play.
#include "ZanEngine.h"

#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CZanSoundDevice device;
    static const bool open = device.Open();
    if (!open)
        return 0;
    static const std::string path = "/tmp/zan-fuzz-wav-" + std::to_string(getpid()) + ".wav";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    {
        CZanWave wave;
        wave.LoadSound(path.c_str(), false);
        wave.PlaySoundA();
        wave.IsPlaying();
        device.Mix();
    }
    std::remove(path.c_str());
    return 0;
}
