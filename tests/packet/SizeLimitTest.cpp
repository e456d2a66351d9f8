// A packet's size is counted in 32 bits: writes that would pass 2^32 - 1 bits are refused
// whole, and a packet filled to the last countable bit still reads back.
#include "Zan/ZanPacket.h"

#include <cstring>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

namespace
{
constexpr size_t kBlock = size_t(2) << 20;

// `bytes` readable bytes of a letter pattern followed by a zero byte, for the cost of one
// 2 MiB block of memory: the block is mapped again and again, end to end.
class Mirror
{
public:
    explicit Mirror(size_t bytes) : m_size(bytes)
    {
        m_span = (bytes / kBlock + 1) * kBlock + size_t(getpagesize());
        void* base = mmap(nullptr, m_span, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        const int fd = memfd_create("packet-mirror", 0);
        if (base == MAP_FAILED || fd < 0 || ftruncate(fd, off_t(kBlock)) != 0)
            return;
        m_base = static_cast<char*>(base);
        for (size_t at = 0; at + kBlock <= m_span; at += kBlock)
            mmap(m_base + at, kBlock, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED | MAP_POPULATE,
                 fd, 0);
        close(fd);
        for (size_t i = 0; i < kBlock; ++i)
            m_base[i] = char('a' + i % 26);
        // The first byte past `bytes`, in a private copy-on-write page of the mapping, ends it.
        const size_t page = bytes / size_t(getpagesize()) * size_t(getpagesize());
        mmap(m_base + page, size_t(getpagesize()), PROT_READ | PROT_WRITE,
             MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        for (size_t i = page; i < page + size_t(getpagesize()); ++i)
            m_base[i] = i < bytes ? char('a' + (i % kBlock) % 26) : '\0';
    }
    ~Mirror()
    {
        if (m_base)
            munmap(m_base, m_span);
    }
    const char* Data() const { return m_base; }
    char At(size_t i) const { return char('a' + (i % kBlock) % 26); }

private:
    size_t m_size, m_span = 0;
    char* m_base = nullptr;
};
} // namespace

TEST(PacketSize, StringsAndDataPastTheCountableSizeAreRefusedWhole)
{
    const size_t chars = size_t(1) << 29; // with its terminator, 2^32 + 8 bits
    Mirror text(chars);
    ASSERT_NE(text.Data(), nullptr);
    ASSERT_EQ(std::strlen(text.Data()), chars);
    CPacket_Write w;
    w.Writeuint16(10000);
    w.WriteString(text.Data());
    EXPECT_EQ(w.Size(), 16u);
    w.WriteData(text.Data(), CPacket_Write::MAX_SIZE - 15);
    EXPECT_EQ(w.Size(), 16u);
    w.WriteString("ok");
    CPacket_Read r(w);
    EXPECT_EQ(r.Readuint16(), 10000u);
    char buffer[8] = {};
    EXPECT_EQ(r.ReadString(buffer, sizeof buffer), 2u);
    EXPECT_STREQ(buffer, "ok");
    EXPECT_TRUE(r.EOP());
}

// Fills a real packet to 2^32 - 1 bits (about 560 MiB of chunks) and reads it back.
TEST(PacketSize, APacketFullToTheLastCountableBitRefusesEveryFurtherField)
{
    const unsigned kMax = CPacket_Write::MAX_SIZE;
    const size_t bytes = (size_t(kMax) + 1) / 8 - 8; // 2^32 - 64 bits
    Mirror source(bytes);
    ASSERT_NE(source.Data(), nullptr);
    CPacket_Write w;
    w.WriteData(source.Data(), unsigned(bytes * 8));
    ASSERT_EQ(w.Size(), kMax - 63);
    w.WriteBits(0, 23);
    ASSERT_EQ(w.Size(), kMax - 40);
    // 64-bit fields would fit by half: they are not written in part.
    w.Writeuint64(~0ull);
    w.Writedouble(1.0);
    w.Writevector(CZanVector(1.0f, 2.0f));
    EXPECT_EQ(w.Size(), kMax - 40);
    w.Writeuint32(0xCAFEBABEu);
    w.WriteBits(0x55, 7);
    w.Writebool(true);
    ASSERT_EQ(w.Size(), kMax);

    w.Writebool(true);
    w.Writeuint32(7);
    w.WriteString(nullptr);
    w.WriteData("x", 8);
    CPacket_Write one;
    one.Writebool(true);
    w.WritePacket(CPacket_Read(one));
    EXPECT_EQ(w.Size(), kMax);

    CPacket_Read r(w);
    ASSERT_EQ(r.Size(), kMax);
    for (size_t at : {size_t(0), size_t(12345), bytes / 2, bytes - 1})
    {
        r.SeekTo(unsigned(at * 8));
        EXPECT_EQ(char(r.Readuint8()), source.At(at)) << at;
    }
    r.SeekTo(kMax - 40);
    EXPECT_EQ(r.Readuint32(), 0xCAFEBABEu);
    EXPECT_EQ(r.ReadBits(7), 0x55u);
    EXPECT_TRUE(r.Readbool());
    EXPECT_TRUE(r.EOP());
}
