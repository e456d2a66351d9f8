// Random field sequences through writer and reader, checked against the plain packer.
#include "ReferencePacker.h"

#include <gtest/gtest.h>

#include <random>

namespace
{
struct Field
{
    int kind; // 0: bits, 1: 64-bit bits, 2: data
    unsigned bits;
    uint64_t value;
    std::vector<uint8_t> data;
};

// Writes a random field to both packers and remembers it.
Field WriteRandomField(std::mt19937& rng, CPacket_Write& w, ReferencePacker& ref)
{
    Field f;
    f.kind = std::uniform_int_distribution<int>(0, 5)(rng);
    f.value = (uint64_t(rng()) << 32) | rng();
    if (f.kind <= 3) // mostly plain fields, with the common widths favoured
    {
        static const unsigned kWidths[] = {1, 7, 8, 16, 32};
        f.kind = 0;
        f.bits =
            rng() % 3 ? kWidths[rng() % 5] : std::uniform_int_distribution<unsigned>(0, 32)(rng);
        w.WriteBits(uint32_t(f.value), f.bits);
        f.value &= (uint64_t(1) << f.bits) - 1;
    }
    else if (f.kind == 4)
    {
        f.kind = 1;
        f.bits = std::uniform_int_distribution<unsigned>(0, 64)(rng);
        w.WriteBits64(f.value, f.bits);
        if (f.bits < 64)
            f.value &= (uint64_t(1) << f.bits) - 1;
    }
    else
    {
        f.kind = 2;
        f.bits = std::uniform_int_distribution<unsigned>(0, 200)(rng);
        f.data.resize((f.bits + 7) / 8);
        for (auto& b : f.data)
            b = uint8_t(rng());
        if (f.bits % 8)
            f.data.back() &= uint8_t((1u << (f.bits % 8)) - 1);
        w.WriteData(f.data.data(), f.bits);
    }
    if (f.kind == 2)
        for (size_t i = 0; i < f.bits; ++i)
            ref.Put((f.data[i / 8] >> (i % 8)) & 1, 1);
    else
        ref.Put(f.value, f.bits);
    return f;
}

TEST(RoundTrip, RandomFieldSequencesMatchThePlainPacker)
{
    std::mt19937 rng(12345);
    for (int round = 0; round < 200; ++round)
    {
        CPacket_Write w;
        ReferencePacker ref;
        std::vector<Field> fields;
        const int count = std::uniform_int_distribution<int>(0, round < 100 ? 20 : 400)(rng);
        for (int i = 0; i < count; ++i)
            fields.push_back(WriteRandomField(rng, w, ref));
        ASSERT_EQ(w.Size(), ref.Size());
        CPacket_Read r(w);
        ASSERT_EQ(r.Size(), ref.Size());
        ASSERT_EQ(WindowBytes(r), ref.Bytes(0, ref.Size())) << "round " << round;

        for (const Field& f : fields)
        {
            switch (f.kind)
            {
            case 0:
                ASSERT_EQ(r.PeekBits(f.bits), f.value);
                ASSERT_EQ(r.ReadBits(f.bits), f.value);
                break;
            case 1:
                ASSERT_EQ(r.PeekBits64(f.bits), f.value);
                ASSERT_EQ(r.ReadBits64(f.bits), f.value);
                break;
            default:
            {
                std::vector<uint8_t> back(f.data.size() + 1, 0xCC);
                r.ReadData(back.data(), f.bits);
                ASSERT_EQ(back.back(), 0xCC);
                back.pop_back();
                ASSERT_EQ(back, f.data);
            }
            }
        }
        EXPECT_TRUE(r.EOP());
        EXPECT_EQ(r.Tell(), r.Size());
    }
}

TEST(RoundTrip, WritePacketCopiesAWholeWindowAtAnyAlignment)
{
    std::mt19937 rng(777);
    for (int round = 0; round < 100; ++round)
    {
        ReferencePacker src;
        CPacket_Read whole = RandomPacket(rng, rng() % 5000, src);
        const unsigned offset = rng() % (whole.Size() + 10);
        const unsigned length = rng() % (whole.Size() + 10);
        CPacket_Read part(whole, offset, length);
        part.SeekTo(rng() % (part.Size() + 1)); // the position plays no part

        CPacket_Write w;
        ReferencePacker ref;
        const unsigned lead = rng() % 40;
        w.WriteBits64(0x5555555555555555ull, lead);
        ref.Put(0x5555555555555555ull, lead);
        w.WritePacket(part);
        const size_t start = offset < whole.Size() ? offset : whole.Size();
        for (size_t i = 0; i < part.Size(); ++i)
            ref.Put(src.Get(start + i, 1), 1);
        const unsigned pos = part.Tell();

        CPacket_Read r(w);
        ASSERT_EQ(r.Size(), lead + part.Size());
        ASSERT_EQ(WindowBytes(r), ref.Bytes(0, ref.Size())) << "round " << round;
        EXPECT_EQ(part.Tell(), pos);
    }
}

TEST(RoundTrip, ReadsAcrossChunkBoundaries)
{
    // 62 words fill a chunk exactly; 63 spill one word into the next.
    for (unsigned words : {61u, 62u, 63u, 124u, 125u, 300u})
    {
        CPacket_Write w;
        for (unsigned i = 0; i < words; ++i)
            w.Writeuint32(i * 2654435761u);
        w.WriteBits(5, 3);
        CPacket_Read r(w);
        ASSERT_EQ(r.Size(), words * 32 + 3);
        r.Seek(1);
        for (unsigned i = 0; i + 1 < words; ++i)
        {
            const uint32_t expect = ((i * 2654435761u) >> 1) | ((i + 1) * 2654435761u << 31);
            ASSERT_EQ(r.ReadBits(32), expect) << words << " words, word " << i;
        }
        EXPECT_EQ(r.ReadBits(32), ((words - 1) * 2654435761u >> 1) | (5u << 31));
        EXPECT_EQ(r.ReadBits(32), 2u);
        EXPECT_TRUE(r.EOP());
        // A seek lands on the right word of any chunk.
        r.SeekTo(62 * 32);
        if (words > 62)
        {
            EXPECT_EQ(r.Readuint32(), 62 * 2654435761u) << words;
        }
    }
}
} // namespace
