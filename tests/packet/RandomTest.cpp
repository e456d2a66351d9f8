// Random packets, windows and field sequences against the plain packer and zlib.
#include "ReferencePacker.h"

#include <zlib.h>

namespace
{
TEST(Random, FieldSequencesRoundTrip)
{
    std::mt19937 rng(12345);
    for (int round = 0; round < 200; ++round)
    {
        struct Field
        {
            int kind;
            unsigned bits;
            uint64_t value;
        };
        std::vector<Field> fields;
        CPacket_Write w;
        ReferencePacker ref;
        const int count = rng() % (round < 100 ? 20 : 400); // long ones span several chunks
        for (int i = 0; i < count; ++i)
        {
            static const unsigned kWidths[] = {1, 7, 8, 16, 32};
            Field f{int(rng() % 3), rng() % 2 ? kWidths[rng() % 5] : unsigned(rng() % 33),
                    uint64_t(rng()) << 32 | rng()};
            if (f.kind == 0)
                w.WriteBits(uint32_t(f.value), f.bits);
            else if (f.kind == 1)
                w.WriteBits64(f.value, f.bits *= 2);
            else
                w.WriteData(&f.value, f.bits *= 2); // the low bytes of a little-endian value
            f.value &= f.bits >= 64 ? ~0ull : (1ull << f.bits) - 1;
            ref.Put(f.value, f.bits);
            fields.push_back(f);
        }
        ASSERT_EQ(w.Size(), ref.bits.size());
        CPacket_Read r(w);
        ASSERT_EQ(WindowBytes(r), ref.Slice(0, ref.bits.size())) << "round " << round;
        for (const Field& f : fields)
        {
            uint64_t back = 0;
            if (f.kind == 0)
            {
                ASSERT_EQ(r.PeekBits(f.bits), f.value);
            }
            if (f.kind == 2)
                r.ReadData(&back, f.bits);
            else
                back = f.kind == 0 ? r.ReadBits(f.bits) : r.ReadBits64(f.bits);
            ASSERT_EQ(back, f.value) << "round " << round;
        }
        EXPECT_TRUE(r.EOP());
    }
}

TEST(Random, WindowsReadTheirOwnBits)
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
        ASSERT_EQ(WindowBytes(part), ref.Slice(offset, part.Size()));
        ASSERT_EQ(part.Tell(),
                  whole.Tell() <= offset ? 0 : std::min(whole.Tell() - offset, part.Size()));
        const unsigned at = rng() % (part.Size() + 1), n = rng() % 33;
        part.SeekTo(at);
        ASSERT_EQ(part.ReadBits(n), ref.Get(offset + at, std::min(n, part.Size() - at)));
    }
}

TEST(Random, WritePacketAppendsAWholeWindowAtAnyAlignment)
{
    std::mt19937 rng(777);
    for (int round = 0; round < 100; ++round)
    {
        ReferencePacker src, ref;
        CPacket_Read whole = RandomPacket(rng, rng() % 5000, src);
        const unsigned offset = std::min<unsigned>(rng() % (whole.Size() + 10), whole.Size());
        CPacket_Read part(whole, offset, rng() % (whole.Size() + 10));
        part.SeekTo(rng() % (part.Size() + 1)); // the position plays no part
        const unsigned pos = part.Tell(), lead = rng() % 40;
        CPacket_Write w;
        w.WriteBits64(0x5555555555555555ull, lead);
        ref.Put(0x5555555555555555ull, lead);
        w.WritePacket(part);
        for (size_t i = 0; i < part.Size(); ++i)
            ref.Put(src.Get(offset + i, 1), 1);
        ASSERT_EQ(WindowBytes(CPacket_Read(w)), ref.Slice(0, ref.bits.size()));
        EXPECT_EQ(part.Tell(), pos);
    }
}

TEST(Random, ChecksumMatchesZlibOverAnyWindow)
{
    CPacket_Write abc;
    abc.WriteString("abc");
    CPacket_Read r(CPacket_Read(abc), 0, 24);
    r.Seek(7); // the position plays no part
    EXPECT_EQ(r.CalcChecksum(), 0x352441C2u);

    std::mt19937 rng(4242);
    for (int round = 0; round < 300; ++round)
    {
        ReferencePacker ref;
        CPacket_Read whole = RandomPacket(rng, rng() % 6000, ref);
        const unsigned offset = rng() % (whole.Size() + 1);
        const CPacket_Read part(whole, offset, rng() % (whole.Size() + 1));
        const Bytes bytes = ref.Slice(offset, part.Size()); // a last partial group zero above
        ASSERT_EQ(part.CalcChecksum(), uint32_t(crc32(0, bytes.data(), uInt(bytes.size()))))
            << "offset " << offset << ", size " << part.Size();
    }
}
} // namespace
