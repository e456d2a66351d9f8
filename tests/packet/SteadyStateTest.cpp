// Once the pools are warm, writing, converting and reading packets allocates nothing.
#include "Zan/ZanPacket.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace
{
std::atomic<long> g_lAllocations{0};
} // namespace

// Every operator new of the process, the engine library's included, comes here.
void* operator new(std::size_t size)
{
    ++g_lAllocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    ++g_lAllocations;
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size)
{
    return operator new(size);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace
{
// One frame's worth of traffic: a collision report, a long message, a copy and a sub-window.
uint32_t Cycle(unsigned round)
{
    uint32_t sum = 0;
    CPacket_Write w;
    w.Writeuint32(1);
    w.Writeuint32(100 + round);
    w.Writeuint32(2);
    for (int c = 0; c < 2; ++c)
    {
        w.Writevector(CZanVector(float(round), 2.0f));
        w.Writevector(CZanVector(0.0f, -1.0f));
    }
    CPacket_Read r(w);
    CPacket_Read copy(r);
    sum += copy.Readuint32() + copy.Readuint32();
    CPacket_Read tail(r, 96);
    sum += uint32_t(tail.Readvector().x);

    for (unsigned i = 0; i < 200 + round % 50; ++i) // spans several chunks
        w.WriteBits(i, 7);
    w.WriteString("score");
    w.WritePacket(r);
    CPacket_Read big(w);
    char text[8];
    big.Seek(int(200 + round % 50) * 7);
    sum += big.ReadString(text, sizeof text);
    sum += big.CalcChecksum();
    return sum;
}

TEST(SteadyState, NoHeapAllocationAfterWarmUp)
{
    uint32_t sum = 0;
    for (unsigned round = 0; round < 100; ++round)
        sum += Cycle(round);
    const long before = g_lAllocations.load();
    for (unsigned round = 0; round < 1000; ++round)
        sum += Cycle(round);
    const long after = g_lAllocations.load();
    EXPECT_EQ(after - before, 0) << sum;

    // The counter does see the engine's own allocations.
    CPacket_Data* fresh[50]; // more than the pool holds
    for (auto& d : fresh)
        d = CPacket_Data::Allocate();
    EXPECT_GT(g_lAllocations.load(), after);
    for (auto* d : fresh)
    {
        d->IncRef();
        d->DecRef();
    }
}
} // namespace
