// A deliberately plain bit packer, one bool per bit, to check the packet classes against.
#pragma once

#include "Zan/ZanPacket.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

class ReferencePacker
{
public:
    void Put(uint64_t value, unsigned bits)
    {
        for (unsigned k = 0; k < bits; ++k)
            m_bits.push_back((value >> k) & 1);
    }
    uint64_t Get(size_t pos, unsigned bits) const
    {
        uint64_t value = 0;
        for (unsigned k = 0; k < bits && pos + k < m_bits.size(); ++k)
            value |= uint64_t(m_bits[pos + k]) << k;
        return value;
    }
    size_t Size() const { return m_bits.size(); }
    /// Bits [start, start + length) as bytes, a last partial byte zero above.
    std::vector<uint8_t> Bytes(size_t start, size_t length) const
    {
        std::vector<uint8_t> bytes((length + 7) / 8, 0);
        for (size_t i = 0; i < length; ++i)
            if (m_bits[start + i])
                bytes[i / 8] |= uint8_t(1u << (i % 8));
        return bytes;
    }

private:
    std::vector<bool> m_bits;
};

/// Every bit of a reader's window as bytes, read from a copy at position 0.
inline std::vector<uint8_t> WindowBytes(const CPacket_Read& r)
{
    CPacket_Read copy(r);
    copy.SeekTo(0);
    std::vector<uint8_t> bytes((r.Size() + 7) / 8 + 1, 0xCC);
    copy.ReadData(bytes.data(), r.Size());
    if (bytes.back() != 0xCC)
        ADD_FAILURE() << "ReadData wrote past the bytes it was asked for";
    bytes.pop_back();
    return bytes;
}

/// A packet of `bits` random bits, written in random field widths, mirrored into ref.
inline CPacket_Read RandomPacket(std::mt19937& rng, unsigned bits, ReferencePacker& ref)
{
    CPacket_Write w;
    while (w.Size() < bits)
    {
        unsigned n = std::uniform_int_distribution<unsigned>(0, 32)(rng);
        if (n > bits - w.Size())
            n = bits - w.Size();
        const uint32_t v = rng();
        w.WriteBits(v, n);
        ref.Put(v, n);
    }
    return CPacket_Read(w);
}
