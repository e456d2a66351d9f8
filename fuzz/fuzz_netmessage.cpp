// Datagrams from hostile bytes: the decoder accepts or drops, never reads past the input, and
// what it accepts encodes back to a datagram that decodes to the same fields.
#include "app/net/NetMessage.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    NetMessage m;
    if (!DecodeNetMessage(data, size, &m))
        return 0;
    const std::string again = EncodeNetMessage(m);
    NetMessage back;
    if (!DecodeNetMessage(again.data(), again.size(), &back) || back.kind != m.kind ||
        back.token != m.token || back.count != m.count || back.first != m.first ||
        std::memcmp(back.inputs, m.inputs, sizeof m.inputs) != 0)
        std::abort();
    return 0;
}
