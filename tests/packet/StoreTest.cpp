// The chunk store: chunk layout, iteration, reference counts, pool reuse, and no heap use
// once the pools are warm.
#include "ReferencePacker.h"
#include "CountingAllocator.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

namespace
{
CPacket_Data* Filled(unsigned words, unsigned lastBits = 32)
{
    CPacket_Data* data = CPacket_Data::Allocate();
    data->IncRef();
    for (unsigned i = 0; i < words; ++i)
        data->Append(1000 + i, i + 1 < words ? 32 : lastBits);
    return data;
}

TEST(Store, ChunksFillTo62WordsAndAnEmptyOneFollows)
{
    CPacket_Data* data = Filled(62);
    const CPacket_Data::SChunk* first = data->Begin().m_pChunk;
    EXPECT_EQ(first->m_uCount, 62u);
    ASSERT_NE(first->m_pNext, nullptr);
    EXPECT_EQ(first->m_pNext->m_uStart, 62u);
    EXPECT_EQ(first->m_pNext->m_uCount, 0u);
    data->Append(5, 32); // the 63rd word goes into the second chunk
    EXPECT_EQ(first->m_pNext->m_uCount, 1u);
    data->DecRef();

    CPacket_Data* partial = Filled(3, 5);
    EXPECT_EQ(partial->Size(), 69u);
    partial->DecRef();
}

TEST(Store, IteratorWalksWordsAcrossChunks)
{
    CPacket_Data* data = Filled(130);
    unsigned n = 0;
    for (auto it = data->Begin(); it != data->End(); ++it, ++n)
        ASSERT_EQ(*it, 1000 + n);
    EXPECT_EQ(n, 130u);
    EXPECT_EQ(*(data->Begin() + 62), 1062u);
    EXPECT_EQ(*((data->Begin() + 61) + 68), 1129u);
    EXPECT_EQ(data->Begin() + 130, data->End());
    EXPECT_EQ(data->Begin() + 4000000000u, data->End());
    EXPECT_EQ(*data->End(), 0u);
    EXPECT_EQ(++data->End(), data->End());
    data->DecRef();
}

TEST(Store, ReleasedObjectsAndChunksAreReusedLastFreedFirst)
{
    CPacket_Data* a = Filled(70);
    const CPacket_Data::SChunk* chunk1 = a->Begin().m_pChunk;
    const CPacket_Data::SChunk* chunk2 = chunk1->m_pNext;
    a->DecRef();
    EXPECT_EQ(CPacket_Data::s_pTrash_Data, a);
    EXPECT_EQ(CPacket_Data::s_cTrash_Chunk.Begin().m_pChunk, chunk1);

    CPacket_Data* b = CPacket_Data::Allocate();
    EXPECT_EQ(b, a);
    EXPECT_EQ(b->GetRefCount(), 0);
    EXPECT_TRUE(b->Empty());
    EXPECT_EQ(b->Begin(), b->End());
    CPacket_Data::SChunk* first = CPacket_Data::Allocate_Chunk(0);
    CPacket_Data::SChunk* next = CPacket_Data::Allocate_Chunk(124);
    EXPECT_EQ(next, chunk2);
    EXPECT_EQ(next->m_uStart, 124u);
    EXPECT_EQ(next->m_uCount, 0u);
    EXPECT_EQ(next->m_pNext, nullptr);
    CPacket_Data::Free_Chunk(first);
    CPacket_Data::Free_Chunk(next);
    b->IncRef();
    b->DecRef();
}

TEST(Store, EveryReaderHoldsAReferenceUntilTheLastGoes)
{
    CPacket_Write w;
    w.Writeuint32(42);
    CPacket_Read r(w), copy(r), part(r, 8), assigned;
    CPacket_Read moved(std::move(part));
    assigned = r;
    CPacket_Data* const pool = CPacket_Data::s_pTrash_Data;
    r.Clear();
    copy = CPacket_Read();
    moved.Clear();
    CPacket_Read& self = assigned;
    assigned = self;
    EXPECT_EQ(CPacket_Data::s_pTrash_Data, pool);
    EXPECT_EQ(assigned.Readuint32(), 42u);
    assigned.Clear();
    ASSERT_NE(CPacket_Data::s_pTrash_Data, pool);
    EXPECT_EQ(CPacket_Data::s_pTrash_Data->GetRefCount(), 0);
}

TEST(Store, ConcurrentReadersReleaseTheDataExactlyOnce)
{
    CPacket_Write w;
    for (unsigned i = 0; i < 100; ++i)
        w.Writeuint32(i);
    CPacket_Read shared(w);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back(
            [&]
            {
                for (unsigned i = 0; i < 20000; ++i)
                {
                    CPacket_Read mine(shared, i % 100 * 32);
                    wrong += mine.Readuint32() != i % 100;
                    CPacket_Write other; // meanwhile, pooled objects come and go
                    other.Writeuint64(i);
                    CPacket_Read done(other);
                }
            });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(wrong, 0);
    // Ours is the one reference left: a double release would put an object in the pool twice.
    CPacket_Data* const pool = CPacket_Data::s_pTrash_Data;
    shared.Clear();
    std::vector<const CPacket_Data*> seen;
    for (const CPacket_Data* d = CPacket_Data::s_pTrash_Data; d && seen.size() < 100;
         d = reinterpret_cast<const CPacket_Data*>(d->Begin().m_pChunk))
    {
        ASSERT_EQ(std::count(seen.begin(), seen.end(), d), 0);
        seen.push_back(d);
    }
    EXPECT_NE(seen.front(), pool);
    EXPECT_LT(seen.size(), 100u);
}

// A frame's worth of traffic: a collision report, a copy, a sub-window, a long message.
uint32_t Cycle(unsigned round)
{
    CPacket_Write w;
    w.Writeuint32(1);
    w.Writeuint32(100 + round);
    w.Writeuint32(2);
    for (int c = 0; c < 4; ++c)
        w.Writevector(CZanVector(float(round), -1.0f));
    CPacket_Read r(w), copy(r), tail(r, 96);
    uint32_t sum = copy.Readuint32() + uint32_t(tail.Readvector().x);
    for (unsigned i = 0; i < 200 + round % 50; ++i)
        w.WriteBits(i, 7);
    w.WriteString("score");
    w.WritePacket(r);
    CPacket_Read big(w);
    big.Seek(int(200 + round % 50) * 7);
    char text[8];
    return sum + big.ReadString(text, sizeof text) + big.CalcChecksum();
}

TEST(Store, NoHeapAllocationOnceThePoolsAreWarm)
{
    uint32_t sum = 0;
    for (unsigned round = 0; round < 100; ++round)
        sum += Cycle(round);
    const long before = g_lAllocations;
    for (unsigned round = 0; round < 1000; ++round)
        sum += Cycle(round);
    EXPECT_EQ(g_lAllocations - before, 0) << sum;

    // The count does see the engine's own allocations once the pool runs dry.
    CPacket_Data* fresh[50];
    for (auto& d : fresh)
        (d = CPacket_Data::Allocate())->IncRef();
    EXPECT_GT(g_lAllocations, before);
    for (auto* d : fresh)
        d->DecRef();
}
} // namespace
