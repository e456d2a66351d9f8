// Replay files from hostile bytes: the decoder refuses or accepts, never reads past the input,
// and what it accepts encodes back to the very same bytes.
#include "app/replay/ReplayFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    Replay replay;
    std::string error;
    if (DecodeReplay(bytes, &replay, &error))
    {
        if (EncodeReplay(replay) != bytes)
            std::abort();
    }
    else if (error.empty())
        std::abort();
    return 0;
}
