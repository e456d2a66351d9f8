// Strings into buffers of any size, and the window checksum against zlib.
#include "ReferencePacker.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>

namespace
{
TEST(String, ReadsIntoBuffersOfAnySize)
{
    CPacket_Write w;
    w.WriteString("balloon");
    w.Writeuint16(1406);
    CPacket_Read r(w);

    char big[16];
    EXPECT_EQ(r.PeekString(big, sizeof big), 7u);
    EXPECT_STREQ(big, "balloon");
    EXPECT_EQ(r.Tell(), 0u);

    // Too short: the first bytes only, no terminator, and the whole string is consumed.
    char small[4] = {'x', 'x', 'x', 'x'};
    CPacket_Read cut(r);
    EXPECT_EQ(cut.ReadString(small, 3), 7u);
    EXPECT_EQ(std::string(small, 4), "balx");
    EXPECT_EQ(cut.Readuint16(), 1406u);

    // Exactly the characters: still no room for the zero.
    char exact[8];
    std::memset(exact, 'x', sizeof exact);
    CPacket_Read fit(r);
    EXPECT_EQ(fit.ReadString(exact, 7), 7u);
    EXPECT_EQ(exact[7], 'x');

    CPacket_Read skip(r);
    EXPECT_EQ(skip.ReadString(nullptr, 100), 7u);
    EXPECT_EQ(skip.Readuint16(), 1406u);
    EXPECT_EQ(r.ReadString(big, 0), 7u);
    EXPECT_EQ(r.Readuint16(), 1406u);
}

TEST(String, EmptyNullAndMissingTerminator)
{
    CPacket_Write w;
    w.WriteString(nullptr);
    w.WriteString("");
    w.WriteBits('a', 8);
    w.WriteBits('b', 5); // a truncated character and no zero
    CPacket_Read r(w);
    EXPECT_EQ(r.Size(), 8u + 8 + 8 + 5);
    char buf[8];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(r.ReadString(buf, sizeof buf), 0u);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(r.ReadString(buf, sizeof buf), 0u);
    EXPECT_EQ(r.ReadString(buf, sizeof buf), 2u);
    EXPECT_EQ(buf[0], 'a');
    EXPECT_EQ(buf[1], 'b' & 0x1F);
    EXPECT_EQ(buf[2], 0);
    EXPECT_TRUE(r.EOP());

    // At the end: no characters, one zero stored where there is room.
    buf[0] = 'x';
    EXPECT_EQ(r.ReadString(buf, 1), 0u);
    EXPECT_EQ(buf[0], 0);
}

TEST(String, LongAndHighBitStringsRoundTrip)
{
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += char(1 + (i * 37) % 255);
    CPacket_Write w;
    w.WriteBits(1, 3);
    w.WriteString(text.c_str());
    w.WriteString("\xD3\xF0\xC3\xAB"); // GBK
    CPacket_Read r(w);
    r.Seek(3);
    std::string back(1001, '?');
    EXPECT_EQ(r.ReadString(&back[0], 1001), 1000u);
    EXPECT_EQ(back.c_str(), text);
    char gbk[5];
    EXPECT_EQ(r.ReadString(gbk, 5), 4u);
    EXPECT_STREQ(gbk, "\xD3\xF0\xC3\xAB");
}

TEST(Checksum, KnownValues)
{
    CPacket_Write w;
    w.WriteBits('a', 8);
    w.WriteBits('b', 8);
    w.WriteBits('c', 8);
    CPacket_Read r(w);
    r.Seek(7); // the position plays no part
    EXPECT_EQ(r.CalcChecksum(), 0x352441C2u);
    EXPECT_EQ(r.Tell(), 7u);
    EXPECT_EQ(CPacket_Read().CalcChecksum(), 0u);

    // A last group of fewer than 8 bits counts as one byte, zero above.
    CPacket_Write odd;
    odd.WriteBits(0xFF, 8);
    odd.WriteBits(0xFF, 3);
    const uint8_t bytes[2] = {0xFF, 0x07};
    EXPECT_EQ(CPacket_Read(odd).CalcChecksum(), uint32_t(crc32(0, bytes, 2)));
}

TEST(Checksum, RandomWindowsMatchZlib)
{
    std::mt19937 rng(4242);
    for (int round = 0; round < 300; ++round)
    {
        ReferencePacker ref;
        CPacket_Read whole = RandomPacket(rng, rng() % 6000, ref);
        const unsigned offset = rng() % (whole.Size() + 1);
        const CPacket_Read part(whole, offset, rng() % (whole.Size() + 1));
        const std::vector<uint8_t> bytes = ref.Bytes(offset, part.Size());
        ASSERT_EQ(part.CalcChecksum(), uint32_t(crc32(0, bytes.data(), uInt(bytes.size()))))
            << "round " << round << ", offset " << offset << ", size " << part.Size();
    }
}
} // namespace
