// Ogg Vorbis files come from users and modders: any bytes must load, stream and loop as a
// sound or fail cleanly, without hanging.
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
    static const std::string path = "/tmp/zan-fuzz-ogg-" + std::to_string(getpid()) + ".ogg";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    {
        CZanOgg whole;
        whole.LoadSound(path.c_str(), true);
        whole.PlaySoundA();
        // A long sound streams: its operations go through the stream.
        whole.IsPlaying();
        whole.PauseSound();
        whole.PlaySoundA();
        whole.StopSound();
        whole.PlaySoundA();

        // Looping makes the stream decode the whole file, rewind and decode again.
        CZanOggStream stream;
        stream.LoadSound(path.c_str(), true);
        stream.PlaySoundA();
        stream.Seek(long(size / 2));
        stream.Update();
        stream.PauseSound();
        stream.ResumeSound();
        stream.StopSound();
        stream.PlaySoundA();
    }
    std::remove(path.c_str());
    return 0;
}
