// The packet format to the bit: what other modules and the game read back.
#include "ReferencePacker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace
{
using Bytes = std::vector<uint8_t>;

TEST(BitLayout, FieldsPackLeastSignificantBitFirst)
{
    CPacket_Write w;
    w.WriteBits(5, 3);
    w.WriteBits(0x41, 7);
    EXPECT_EQ(w.Size(), 10u);
    CPacket_Read r(w);
    EXPECT_EQ(r.Size(), 10u);
    EXPECT_EQ(WindowBytes(r), (Bytes{0x0D, 0x02}));
}

TEST(BitLayout, AWordFieldSplitsAcrossWords)
{
    CPacket_Write w;
    w.WriteBits(0x1F, 5);
    w.Writeuint32(0xDEADBEEF);
    CPacket_Read r(w);
    ASSERT_EQ(r.Size(), 37u);
    const uint32_t word0 = r.ReadBits(32);
    EXPECT_EQ(word0, 0x1Fu | (0xDEADBEEFu << 5));
    EXPECT_EQ(r.ReadBits(5), 0xDEADBEEFu >> 27);
    EXPECT_TRUE(r.EOP());
}

TEST(BitLayout, WriteBitsKeepsOnlyTheLowBits)
{
    CPacket_Write w;
    w.WriteBits(0xFFFFFFFF, 4);
    w.WriteBits(0xFFFFFFF0, 4);
    w.WriteBits(0x12345678, 0);
    // More than a word is not a valid request; it must not spill into other memory.
    w.WriteBits(0xABCDEF01, 40);
    w.WriteBits64(0x0123456789ABCDEFull, 100);
    CPacket_Read r(w);
    EXPECT_EQ(r.Size(), 8u + 32 + 64);
    EXPECT_EQ(r.ReadBits(8), 0x0Fu);
    EXPECT_EQ(r.ReadBits(40), 0xABCDEF01u);
    EXPECT_EQ(r.ReadBits64(80), 0x0123456789ABCDEFull);
    EXPECT_TRUE(r.EOP());
}

TEST(BitLayout, TypedFieldsAndTheirInterpretation)
{
    CPacket_Write w;
    w.Writebool(true);
    w.Writeint8(-1);
    w.Writeint16(-2);
    w.Writeuint64(0x1122334455667788ull);
    w.Writefloat(-1.5f);
    w.Writedouble(0.1);
    w.Writevector(CZanVector(2.5f, -0.75f));
    w.Writeint32(std::numeric_limits<int32_t>::min());
    w.Writeint64(-3);
    CPacket_Read r(w);
    EXPECT_EQ(r.Size(), 1u + 8 + 16 + 64 + 32 + 64 + 64 + 32 + 64);

    CPacket_Read raw(r);
    EXPECT_EQ(raw.ReadBits(1), 1u);
    EXPECT_EQ(raw.PeekBits(8), 0xFFu);
    EXPECT_EQ(raw.Readuint8(), 255u);
    EXPECT_EQ(raw.Readuint16(), 0xFFFEu);
    EXPECT_EQ(raw.ReadBits(32), 0x55667788u); // low half first
    EXPECT_EQ(raw.ReadBits(32), 0x11223344u);
    EXPECT_EQ(raw.ReadBits(32), 0xBFC00000u);
    uint64_t d;
    const double tenth = 0.1;
    std::memcpy(&d, &tenth, sizeof d);
    EXPECT_EQ(raw.ReadBits(32), uint32_t(d));
    EXPECT_EQ(raw.ReadBits(32), uint32_t(d >> 32));
    EXPECT_EQ(raw.ReadBits(32), 0x40200000u);
    EXPECT_EQ(raw.ReadBits(32), 0xBF400000u);

    EXPECT_TRUE(r.Readbool());
    EXPECT_EQ(r.Peekint8(), -1);
    EXPECT_EQ(r.Readint8(), -1);
    EXPECT_EQ(r.Readint16(), -2);
    EXPECT_EQ(r.Peekuint64(), 0x1122334455667788ull);
    EXPECT_EQ(r.Readint64(), 0x1122334455667788ll);
    EXPECT_EQ(r.Peekfloat(), -1.5f);
    EXPECT_EQ(r.Readfloat(), -1.5f);
    EXPECT_EQ(r.Peekdouble(), 0.1);
    EXPECT_EQ(r.Readdouble(), 0.1);
    EXPECT_EQ(r.Peekvector(), CZanVector(2.5f, -0.75f));
    EXPECT_EQ(r.Readvector(), CZanVector(2.5f, -0.75f));
    EXPECT_EQ(r.Peekuint32(), 0x80000000u);
    EXPECT_EQ(r.Readint32(), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(r.Peekint64(), -3);
    EXPECT_EQ(r.Readint64(), -3);
    EXPECT_TRUE(r.EOP());
}

TEST(BitLayout, BoolReadsAnyNonZeroAsTrue)
{
    CPacket_Write w;
    w.WriteBits(0, 1);
    w.WriteBits(1, 1);
    CPacket_Read r(w);
    EXPECT_FALSE(r.Peekbool());
    EXPECT_FALSE(r.Readbool());
    EXPECT_TRUE(r.Readbool());
    EXPECT_FALSE(r.Readbool()); // past the end
}

TEST(BitLayout, FloatBitPatternsSurviveUnchanged)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    uint32_t signalling = 0x7FA00001u, negZero = 0x80000000u;
    float sig, nz;
    std::memcpy(&sig, &signalling, 4);
    std::memcpy(&nz, &negZero, 4);
    CPacket_Write w;
    w.WriteBits(1, 3); // misaligned on purpose
    w.Writefloat(sig);
    w.Writefloat(nz);
    w.Writedouble(-std::numeric_limits<double>::infinity());
    w.Writefloat(nan);
    CPacket_Read r(w);
    r.Seek(3);
    EXPECT_EQ(r.PeekBits(32), signalling);
    const float back = r.Readfloat();
    uint32_t bits;
    std::memcpy(&bits, &back, 4);
    EXPECT_EQ(bits, signalling);
    EXPECT_EQ(r.ReadBits(32), negZero);
    EXPECT_EQ(r.Readdouble(), -std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(r.Readfloat()));
}

TEST(BitLayout, DataCopiesTheMemoryImage)
{
    const uint8_t src[11] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0xFF, 0x77, 0xF5};
    CPacket_Write w;
    w.WriteBits(1, 1);
    w.WriteData(src, 84); // two words, then 20 bits: bytes 0xFF, 0x77 and the low half of 0xF5
    w.WriteData(nullptr, 40);
    CPacket_Read r(w);
    ASSERT_EQ(r.Size(), 85u);
    EXPECT_EQ(r.ReadBits(1), 1u);
    uint8_t dst[12];
    std::memset(dst, 0xCC, sizeof dst);
    r.PeekData(dst, 84);
    EXPECT_EQ(0, std::memcmp(dst, src, 10));
    EXPECT_EQ(dst[10], 0x05);
    EXPECT_EQ(dst[11], 0xCC);
    EXPECT_EQ(r.Tell(), 1u);
    r.ReadData(nullptr, 80);
    EXPECT_EQ(r.Tell(), 81u);
    EXPECT_EQ(r.ReadBits(4), 0x5u);
}

TEST(BitLayout, StringsAreBytesAndAZero)
{
    CPacket_Write w;
    w.WriteString("Hi");
    w.WriteString(nullptr);
    w.WriteString("\xC4\xE3"); // a GBK character
    CPacket_Read r(w);
    EXPECT_EQ(WindowBytes(r), (Bytes{'H', 'i', 0, 0, 0xC4, 0xE3, 0}));
}

TEST(BitLayout, HandingOverEmptiesTheWriter)
{
    CPacket_Write w;
    w.WriteBits(3, 2);
    CPacket_Read r(w);
    EXPECT_EQ(w.Size(), 0u);
    EXPECT_TRUE(w.Empty());
    w.WriteBits(1, 1);
    CPacket_Read r2(w);
    EXPECT_EQ(r.ReadBits(2), 3u);
    EXPECT_EQ(r2.Size(), 1u);

    CPacket_Write empty;
    CPacket_Read none(empty);
    EXPECT_TRUE(none.Empty());
    EXPECT_TRUE(none.EOP());
    EXPECT_EQ(none.ReadBits(32), 0u);
}

TEST(BitLayout, ResetDiscardsEverything)
{
    CPacket_Write w;
    w.Writeuint32(7);
    w.WriteBits(5, 3);
    w.Reset();
    EXPECT_TRUE(w.Empty());
    w.WriteBits(2, 2);
    CPacket_Read r(w);
    EXPECT_EQ(r.Size(), 2u);
    EXPECT_EQ(r.ReadBits(2), 2u);
}
} // namespace
