// Reader windows: sub-ranges, positions, seeking and reads clamped at the end.
#include "ReferencePacker.h"

#include <gtest/gtest.h>

#include <random>

namespace
{
CPacket_Read Packet32(uint32_t value)
{
    CPacket_Write w;
    w.Writeuint32(value);
    return CPacket_Read(w);
}

TEST(Window, SubRangeReadsExactlyItsBits)
{
    const CPacket_Read r = Packet32(0x44332211);
    CPacket_Read second(r, 8, 8);
    EXPECT_EQ(second.Size(), 8u);
    EXPECT_EQ(second.ReadBits(32), 0x22u);
    EXPECT_TRUE(second.EOP());

    CPacket_Read tail(r, 20);
    EXPECT_EQ(tail.Size(), 12u);
    EXPECT_EQ(tail.ReadBits(32), 0x443u);

    CPacket_Read longer(r, 24, 100); // never past the parent's end
    EXPECT_EQ(longer.Size(), 8u);
    CPacket_Read past(r, 40, 8);
    EXPECT_TRUE(past.Empty());
    EXPECT_EQ(past.ReadBits(8), 0u);

    CPacket_Read nested(CPacket_Read(r, 20), 4, 4); // offsets add up
    EXPECT_EQ(nested.ReadBits(8), 0x4u);
}

TEST(Window, SubRangeTakesOverTheParentsReadPoint)
{
    CPacket_Read r = Packet32(0x44332211);
    r.SeekTo(12);
    EXPECT_EQ(CPacket_Read(r, 8).Tell(), 4u);
    EXPECT_EQ(CPacket_Read(r, 8).ReadBits(8), 0x32u);
    EXPECT_EQ(CPacket_Read(r, 16).Tell(), 0u);
    EXPECT_EQ(CPacket_Read(r, 0, 8).Tell(), 8u); // clamped to the window
    EXPECT_TRUE(CPacket_Read(r, 0, 8).EOP());
}

TEST(Window, RandomSubRangesAgreeWithThePlainPacker)
{
    std::mt19937 rng(99);
    for (int round = 0; round < 300; ++round)
    {
        ReferencePacker ref;
        CPacket_Read whole = RandomPacket(rng, rng() % 4100, ref);
        whole.SeekTo(rng() % (whole.Size() + 1));
        const unsigned offset = rng() % (whole.Size() + 1);
        CPacket_Read part(whole, offset, rng() % (whole.Size() + 1));
        ASSERT_LE(offset + part.Size(), whole.Size());
        ASSERT_EQ(WindowBytes(part), ref.Bytes(offset, part.Size()));
        const unsigned expectPos =
            whole.Tell() <= offset ? 0 : std::min(whole.Tell() - offset, part.Size());
        ASSERT_EQ(part.Tell(), expectPos);
        // Reads from a random point: right bits, never past the window.
        const unsigned at = rng() % (part.Size() + 1);
        part.SeekTo(at);
        const unsigned n = rng() % 33;
        const uint64_t expect = ref.Get(offset + at, std::min(n, part.Size() - at));
        ASSERT_EQ(part.ReadBits(n), expect) << round;
    }
}

TEST(Window, SeekingClampsToTheWindow)
{
    CPacket_Write w;
    w.Writeuint64(0x8877665544332211ull);
    CPacket_Read r(w);
    r.SeekTo(10);
    r.Seek(-100);
    EXPECT_EQ(r.Tell(), 0u);
    r.SeekTo(1000);
    EXPECT_EQ(r.Tell(), 64u);
    EXPECT_TRUE(r.EOP());
    EXPECT_EQ(r.TellEnd(), 0u);
    r.Seek(-24);
    EXPECT_EQ(r.TellEnd(), 24u);
    EXPECT_EQ(r.ReadBits(8), 0x66u);
    r.Seek(2000000000);
    EXPECT_EQ(r.Tell(), 64u);
    r.Seek(-2000000000);
    EXPECT_EQ(r.Tell(), 0u);
    EXPECT_EQ(r.ReadBits(16), 0x2211u);
}

TEST(Window, ReadsStopAtTheEnd)
{
    CPacket_Write w;
    w.WriteBits(0x15, 5);
    CPacket_Read r(w);
    EXPECT_EQ(r.ReadBits(16), 0x15u);
    EXPECT_TRUE(r.EOP());
    EXPECT_EQ(r.Tell(), 5u);
    EXPECT_EQ(r.ReadBits(32), 0u);
    EXPECT_EQ(r.Readuint64(), 0u);
    EXPECT_EQ(r.Tell(), 5u);

    // A window ending inside a word does not show the bits after it.
    CPacket_Read full = Packet32(0xFFFFFFFF);
    CPacket_Read low(full, 4, 8);
    EXPECT_EQ(low.ReadBits64(64), 0xFFu);
}

TEST(Window, CopiesShareDataAndKeepTheirOwnPosition)
{
    CPacket_Read a = Packet32(0xA1B2C3D4);
    a.SeekTo(8);
    CPacket_Read b(a);
    EXPECT_EQ(b.Tell(), 8u);
    EXPECT_EQ(b.ReadBits(8), 0xC3u);
    EXPECT_EQ(a.ReadBits(8), 0xC3u);

    CPacket_Read c = Packet32(1);
    c = a;
    EXPECT_EQ(c.Tell(), 16u);
    EXPECT_EQ(c.ReadBits(16), 0xA1B2u);
    c = c;
    EXPECT_EQ(c.Tell(), 32u);
    c.Clear();
    EXPECT_TRUE(c.Empty());
    EXPECT_EQ(a.ReadBits(16), 0xA1B2u); // the shared data outlives the other readers
}
} // namespace
