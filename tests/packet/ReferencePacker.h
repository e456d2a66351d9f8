// A deliberately plain bit packer, one bool per bit, to check the packet classes against.
#pragma once

#include "Zan/ZanPacket.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct ReferencePacker
{
    std::vector<bool> bits;

    void Put(uint64_t value, unsigned n)
    {
        for (unsigned k = 0; k < n; ++k)
            bits.push_back((value >> k) & 1);
    }
    uint64_t Get(size_t pos, unsigned n) const
    {
        uint64_t value = 0;
        for (unsigned k = 0; k < n && pos + k < bits.size(); ++k)
            value |= uint64_t(bits[pos + k]) << k;
        return value;
    }
    /// Bits [start, start + length) as bytes, a last partial byte zero above.
    Bytes Slice(size_t start, size_t length) const
    {
        Bytes bytes((length + 7) / 8, 0);
        for (size_t i = 0; i < length; ++i)
            bytes[i / 8] |= uint8_t(bits[start + i] << (i % 8));
        return bytes;
    }
};

/// Every bit of a reader's window as bytes, read from a copy; checks ReadData's extent.
inline Bytes WindowBytes(const CPacket_Read& r)
{
    CPacket_Read copy(r);
    copy.SeekTo(0);
    Bytes bytes((r.Size() + 7) / 8 + 1, 0xCC);
    copy.ReadData(bytes.data(), r.Size());
    EXPECT_EQ(bytes.back(), 0xCC) << "ReadData wrote past the bytes it was asked for";
    bytes.pop_back();
    return bytes;
}

/// A packet of `bits` random bits written in random field widths, mirrored into ref.
inline CPacket_Read RandomPacket(std::mt19937& rng, unsigned bits, ReferencePacker& ref)
{
    CPacket_Write w;
    while (w.Size() < bits)
    {
        const unsigned n = std::min<unsigned>(rng() % 33, bits - w.Size());
        const uint32_t v = rng();
        w.WriteBits(v, n);
        ref.Put(v, n);
    }
    return CPacket_Read(w);
}
