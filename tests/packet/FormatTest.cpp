// The packet format to the bit, typed fields, strings and the edges of a reader's window.
#include "ReferencePacker.h"

#include <cstring>
#include <limits>

namespace
{
uint32_t Bits(float f)
{
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

TEST(Format, FieldsPackLeastSignificantBitFirstAcrossWords)
{
    CPacket_Write w;
    w.WriteBits(5, 3);
    w.WriteBits(0x41, 7);
    EXPECT_EQ(WindowBytes(CPacket_Read(w)), (Bytes{0x0D, 0x02}));
    EXPECT_EQ(w.Size(), 0u); // handed over

    w.WriteBits(0xFFFFFFFF, 5);
    w.Writeuint32(0xDEADBEEF);
    w.WriteBits(0x12345678, 0);
    w.WriteBits(0xABCDEF01, 40); // beyond a word: taken as 32 bits, nothing spills
    w.WriteBits64(0x0123456789ABCDEFull, 100);
    CPacket_Read r(w);
    ASSERT_EQ(r.Size(), 5u + 32 + 32 + 64);
    EXPECT_EQ(r.ReadBits(32), 0x1Fu | 0xDEADBEEFu << 5);
    EXPECT_EQ(r.ReadBits(5), 0xDEADBEEFu >> 27);
    EXPECT_EQ(r.ReadBits(40), 0xABCDEF01u);
    EXPECT_EQ(r.ReadBits64(80), 0x0123456789ABCDEFull);
    EXPECT_TRUE(r.EOP());
}

TEST(Format, TypedFieldsHaveTheirFixedEncodings)
{
    CPacket_Write w;
    w.Writebool(true);
    w.Writeint8(-1);
    w.Writeint16(-2);
    w.Writeuint64(0x1122334455667788ull);
    w.Writefloat(-1.5f);
    w.Writedouble(-std::numeric_limits<double>::infinity()); // 0xFFF0000000000000
    w.Writevector(CZanVector(2.5f, -0.75f));
    w.Writeint64(-3);
    CPacket_Read r(w);
    CPacket_Read raw(r);
    EXPECT_EQ(raw.ReadBits(1), 1u);
    EXPECT_EQ(raw.ReadBits(8), 0xFFu);
    EXPECT_EQ(raw.ReadBits(16), 0xFFFEu);
    for (uint32_t expect : {0x55667788u, 0x11223344u, Bits(-1.5f), 0u, 0xFFF00000u, Bits(2.5f),
                            Bits(-0.75f), 0xFFFFFFFDu, 0xFFFFFFFFu})
        EXPECT_EQ(raw.ReadBits(32), expect);
    EXPECT_TRUE(raw.EOP());

    EXPECT_TRUE(r.Readbool());
    EXPECT_EQ(r.Peekuint8(), 255u);
    EXPECT_EQ(r.Readint8(), -1);
    EXPECT_EQ(r.Readint16(), -2);
    EXPECT_EQ(r.Peekint64(), 0x1122334455667788ll);
    EXPECT_EQ(r.Readuint64(), 0x1122334455667788ull);
    EXPECT_EQ(r.Readfloat(), -1.5f);
    EXPECT_EQ(r.Peekdouble(), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(r.Readdouble(), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(r.Peekvector(), CZanVector(2.5f, -0.75f));
    EXPECT_EQ(r.Readvector(), CZanVector(2.5f, -0.75f));
    EXPECT_EQ(r.Readint64(), -3);
    EXPECT_FALSE(r.Readbool()); // past the end
}

TEST(Format, DataCopiesAMemoryImageBitForBit)
{
    const uint8_t src[11] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0xFF, 0x77, 0xF5};
    CPacket_Write w;
    w.WriteBits(1, 1);
    w.WriteData(src, 84); // two words, then 0xFF, 0x77 and the low half of 0xF5
    w.WriteData(nullptr, 40);
    CPacket_Read r(w);
    ASSERT_EQ(r.Size(), 85u);
    r.Seek(1);
    uint8_t dst[12];
    std::memset(dst, 0xCC, sizeof dst);
    r.PeekData(dst, 84);
    EXPECT_EQ(0, std::memcmp(dst, src, 10));
    EXPECT_EQ(dst[10], 0x05);
    EXPECT_EQ(dst[11], 0xCC);
    r.ReadData(nullptr, 80);
    EXPECT_EQ(r.Tell(), 81u);
    EXPECT_EQ(r.ReadBits(8), 0x5u);
}

TEST(Format, StringsIntoBuffersOfAnySize)
{
    CPacket_Write w;
    w.WriteString("balloon");
    w.WriteString(nullptr);
    w.WriteString("\xD3\xF0"); // GBK
    w.WriteBits('a', 8);
    w.WriteBits(0x1F, 5); // a cut character and no terminator
    CPacket_Read r(w);
    EXPECT_EQ(WindowBytes(r),
              (Bytes{'b', 'a', 'l', 'l', 'o', 'o', 'n', 0, 0, 0xD3, 0xF0, 0, 'a', 0x1F}));

    char buf[9];
    EXPECT_EQ(r.PeekString(buf, sizeof buf), 7u);
    EXPECT_STREQ(buf, "balloon");
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(r.ReadString(buf, 3), 7u); // consumed whole, stored in part, no terminator
    EXPECT_EQ(std::string(buf, 4), "balx");
    EXPECT_EQ(r.ReadString(buf, sizeof buf), 0u);
    EXPECT_EQ(r.ReadString(nullptr, 100), 2u);
    EXPECT_EQ(r.ReadString(buf, sizeof buf), 2u);
    EXPECT_STREQ(buf, "a\x1F");
    EXPECT_TRUE(r.EOP());
    buf[0] = 'x';
    EXPECT_EQ(r.ReadString(buf, 1), 0u); // at the end: one zero byte
    EXPECT_EQ(buf[0], 0);
}

TEST(Format, WindowsSeeksAndReadsClampedAtTheEnd)
{
    CPacket_Write w;
    w.Writeuint64(0x8877665544332211ull);
    CPacket_Read r(w);
    EXPECT_EQ(CPacket_Read(r, 8, 8).ReadBits(32), 0x22u);
    EXPECT_EQ(CPacket_Read(r, 60, 100).Size(), 4u);
    EXPECT_TRUE(CPacket_Read(r, 80, 8).Empty());
    r.SeekTo(12);
    EXPECT_EQ(CPacket_Read(r, 8).Tell(), 4u); // the read point carries over
    EXPECT_EQ(CPacket_Read(r, 8).ReadBits(8), 0x32u);
    EXPECT_EQ(CPacket_Read(r, 16).Tell(), 0u);
    EXPECT_TRUE(CPacket_Read(r, 0, 8).EOP());
    EXPECT_EQ(CPacket_Read(CPacket_Read(r, 16), 8, 8).ReadBits(8), 0x44u);

    r.SeekTo(10);
    r.Seek(-100);
    EXPECT_EQ(r.Tell(), 0u);
    r.SeekTo(1000);
    EXPECT_EQ(r.Tell(), 64u);
    r.Seek(-2000000000);
    r.Seek(2000000000);
    r.Seek(-5);
    EXPECT_EQ(r.TellEnd(), 5u);
    EXPECT_EQ(r.ReadBits(16), 0x88u >> 3);
    EXPECT_TRUE(r.EOP());
    EXPECT_EQ(r.Readuint64(), 0u);
    EXPECT_EQ(r.Tell(), 64u);

    CPacket_Write empty;
    EXPECT_TRUE(CPacket_Read(empty).Empty());
    EXPECT_EQ(CPacket_Read().ReadBits(32), 0u);
    EXPECT_EQ(CPacket_Read().CalcChecksum(), 0u);
}

TEST(Format, ResetDiscardsPendingBitsToo)
{
    CPacket_Write w;
    w.Writeuint32(7);
    w.WriteBits(5, 3);
    w.Reset();
    EXPECT_TRUE(w.Empty());
    w.WriteBits(2, 2);
    EXPECT_EQ(WindowBytes(CPacket_Read(w)), Bytes{2});
}
} // namespace
