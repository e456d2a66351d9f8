#include "app/net/NetMessage.h"

#include "ZanEngine.h"
#include "core/LevelChoice.h"

#include <cstring>

namespace
{
constexpr uint32_t kMagic = 0x53464E54; // "SFNT"
constexpr unsigned kHeaderBits = 32 + 8 + 64;
} // namespace

std::string EncodeNetMessage(const NetMessage& m)
{
    CPacket_Write w;
    w.Writeuint32(kMagic);
    w.Writeuint8(uint8_t(m.kind));
    w.Writeuint64(m.token);
    switch (m.kind)
    {
    case NET_HELLO:
    case NET_WELCOME:
        w.Writeuint32(m.protocol);
        w.Writeuint64(m.build);
        w.Writeuint64(m.dataHash);
        w.Writeuint8(uint8_t(m.refusal));
        w.Writeuint32(m.seed);
        w.Writeuint8(m.delay);
        w.Writeuint32(m.sentMs);
        w.Writeuint32(m.echoMs);
        w.Writeuint32(m.heldMs);
        w.Writeuint8(m.level);
        break;
    case NET_INPUTS:
        w.Writeuint32(m.first);
        w.Writeuint8(m.count);
        for (unsigned i = 0; i < m.count && i < NetMessage::MAX_INPUTS; ++i)
            w.WriteBits(m.inputs[i], 3);
        w.Writeuint32(m.ack);
        w.Writeuint32(m.hashFrame);
        w.Writeuint64(m.hash);
        w.Writeuint32(m.sentMs);
        w.Writeuint32(m.echoMs);
        w.Writeuint8(m.round);
        break;
    case NET_BYE:
        w.Writeuint32(m.frame);
        w.Writeuint8(m.round);
        break;
    case NET_REMATCH:
        w.Writeuint8(m.round);
        w.Writeuint8(m.agree);
        w.Writeuint32(m.seed);
        break;
    default:
        break;
    }
    CPacket_Read r(w);
    std::string bytes((r.Size() + 7) / 8, '\0');
    r.ReadData(&bytes[0], r.Size());
    return bytes;
}

bool DecodeNetMessage(const void* bytes, size_t size, NetMessage* m)
{
    if (!bytes || size * 8 < kHeaderBits || size > NetMessage::MAX_BYTES)
        return false;
    CPacket_Write w;
    w.WriteData(bytes, unsigned(size * 8));
    CPacket_Read r(w);
    if (r.Size() != size * 8 || r.ReadBits(32) != kMagic)
        return false;
    NetMessage out;
    out.kind = int(r.ReadBits(8));
    out.token = r.ReadBits64(64);
    unsigned need = 0;
    switch (out.kind)
    {
    case NET_HELLO:
    case NET_WELCOME:
        need = 32 + 64 + 64 + 8 + 32 + 8 + 32 + 32 + 32 + 8;
        if (r.TellEnd() < need)
            return false;
        out.protocol = r.ReadBits(32);
        out.build = r.ReadBits64(64);
        out.dataHash = r.ReadBits64(64);
        out.refusal = r.ReadBits(8);
        out.seed = r.ReadBits(32);
        out.delay = uint8_t(r.ReadBits(8));
        out.sentMs = r.ReadBits(32);
        out.echoMs = r.ReadBits(32);
        out.heldMs = r.ReadBits(32);
        out.level = uint8_t(r.ReadBits(8));
        if (out.refusal > REFUSE_DATA || out.delay > 6 || out.heldMs > 60000 ||
            out.level > CLevelChoice::LEVEL_COUNT)
            return false;
        break;
    case NET_INPUTS:
        if (r.TellEnd() < 40)
            return false;
        out.first = r.ReadBits(32);
        out.count = uint8_t(r.ReadBits(8));
        if (out.count > NetMessage::MAX_INPUTS)
            return false;
        need = 3u * out.count + 32 + 32 + 64 + 32 + 32 + 8;
        if (r.TellEnd() < need)
            return false;
        for (unsigned i = 0; i < out.count; ++i)
            out.inputs[i] = uint8_t(r.ReadBits(3));
        out.ack = r.ReadBits(32);
        out.hashFrame = r.ReadBits(32);
        out.hash = r.ReadBits64(64);
        out.sentMs = r.ReadBits(32);
        out.echoMs = r.ReadBits(32);
        out.round = uint8_t(r.ReadBits(8));
        if (out.hashFrame % Replay::HASH_EVERY != 0 || out.first > 0x7fffffffu)
            return false;
        break;
    case NET_BYE:
        if (r.TellEnd() < 32 + 8)
            return false;
        out.frame = r.ReadBits(32);
        out.round = uint8_t(r.ReadBits(8));
        if (out.frame > 0x7fffffffu)
            return false;
        break;
    case NET_REMATCH:
        if (r.TellEnd() < 8 + 8 + 32)
            return false;
        out.round = uint8_t(r.ReadBits(8));
        out.agree = uint8_t(r.ReadBits(8));
        out.seed = r.ReadBits(32);
        if (out.agree > 1 || (out.seed && !out.agree))
            return false;
        break;
    default:
        return false;
    }
    // Whatever follows the fields is padding of the last byte, never more.
    if (r.TellEnd() >= 8)
        return false;
    *m = out;
    return true;
}
