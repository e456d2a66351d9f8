// The chunk store: chunk layout, iteration, reference counts and pool reuse.
#include "Zan/ZanPacket.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace
{
TEST(Store, AFullChunkIsFollowedByAnEmptyOne)
{
    CPacket_Data* data = CPacket_Data::Allocate();
    ASSERT_NE(data, nullptr);
    data->IncRef();
    for (unsigned i = 0; i < 62; ++i)
        data->Append(i, 32);
    const CPacket_Data::SChunk* first = data->Begin().m_pChunk;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->m_uCount, 62u);
    ASSERT_NE(first->m_pNext, nullptr);
    EXPECT_EQ(first->m_pNext->m_uStart, 62u);
    EXPECT_EQ(first->m_pNext->m_uCount, 0u);
    EXPECT_EQ(first->m_pNext->m_pNext, nullptr);

    data->Append(62, 32);
    EXPECT_EQ(first->m_pNext->m_uCount, 1u);
    EXPECT_EQ(data->Size(), 63u * 32);
    data->DecRef();
}

TEST(Store, SizeCountsOnlyValidBits)
{
    CPacket_Data* data = CPacket_Data::Allocate();
    data->IncRef();
    EXPECT_TRUE(data->Empty());
    data->Append(1, 32);
    data->Append(2, 32);
    data->Append(3, 5);
    EXPECT_EQ(data->Size(), 69u);
    EXPECT_FALSE(data->Empty());
    data->DecRef();
}

TEST(Store, IteratorWalksWordsAcrossChunks)
{
    CPacket_Data* data = CPacket_Data::Allocate();
    data->IncRef();
    for (unsigned i = 0; i < 130; ++i)
        data->Append(1000 + i, 32);
    unsigned n = 0;
    for (CPacket_Data::SIterator_Const it = data->Begin(); it != data->End(); ++it, ++n)
        ASSERT_EQ(*it, 1000 + n);
    EXPECT_EQ(n, 130u);
    EXPECT_EQ(*(data->Begin() + 61), 1061u);
    EXPECT_EQ(*(data->Begin() + 62), 1062u);
    EXPECT_EQ(*(data->Begin() + 129), 1129u);
    EXPECT_EQ(data->Begin() + 130, data->End());
    EXPECT_EQ(data->Begin() + 4000000000u, data->End());
    EXPECT_EQ(*data->End(), 0u);
    CPacket_Data::SIterator_Const end = data->End();
    ++end;
    EXPECT_EQ(end, data->End());
    EXPECT_EQ(data->End() + 5, data->End());
    data->DecRef();
}

TEST(Store, ReleasedObjectsAndChunksAreReusedLastFreedFirst)
{
    CPacket_Data* a = CPacket_Data::Allocate();
    a->IncRef();
    for (unsigned i = 0; i < 70; ++i)
        a->Append(i, 32);
    const CPacket_Data::SChunk* chunk1 = a->Begin().m_pChunk;
    const CPacket_Data::SChunk* chunk2 = chunk1->m_pNext;
    a->DecRef();
    EXPECT_EQ(CPacket_Data::s_pTrash_Data, a);

    CPacket_Data* b = CPacket_Data::Allocate();
    EXPECT_EQ(b, a);
    EXPECT_EQ(b->GetRefCount(), 0);
    EXPECT_TRUE(b->Empty());
    EXPECT_EQ(b->Begin(), b->End());
    b->IncRef();
    b->Append(7, 32);
    // The freed chain went to the head of the chunk pool in order.
    EXPECT_EQ(b->Begin().m_pChunk, chunk1);
    EXPECT_EQ(b->Begin().m_pChunk->m_uStart, 0u);
    CPacket_Data::SChunk* next = CPacket_Data::Allocate_Chunk(124);
    EXPECT_EQ(next, chunk2);
    EXPECT_EQ(next->m_uStart, 124u);
    EXPECT_EQ(next->m_uCount, 0u);
    EXPECT_EQ(next->m_pNext, nullptr);
    CPacket_Data::Free_Chunk(next);
    EXPECT_EQ(CPacket_Data::s_cTrash_Chunk.Begin().m_pChunk, chunk2);
    b->DecRef();
}

TEST(Store, EveryReaderHoldsAReferenceUntilTheLastGoes)
{
    CPacket_Write w;
    w.Writeuint32(42);
    CPacket_Read r(w);
    CPacket_Read copy(r);
    CPacket_Read part(r, 8);
    CPacket_Read moved(std::move(part));
    CPacket_Read assigned;
    assigned = r;
    CPacket_Data* const pool = CPacket_Data::s_pTrash_Data;

    r.Clear();
    copy.Clear();
    moved = CPacket_Read();
    part.Clear(); // moved-from: holds nothing
    EXPECT_EQ(CPacket_Data::s_pTrash_Data, pool);
    EXPECT_EQ(assigned.Readuint32(), 42u);

    assigned = assigned; // self-assignment keeps the reference
    EXPECT_EQ(CPacket_Data::s_pTrash_Data, pool);
    assigned.Clear();
    ASSERT_NE(CPacket_Data::s_pTrash_Data, pool);
    EXPECT_EQ(CPacket_Data::s_pTrash_Data->GetRefCount(), 0);
    EXPECT_EQ(CPacket_Data::s_pTrash_Data->Begin().m_pChunk,
              reinterpret_cast<CPacket_Data::SChunk*>(pool));
}

TEST(Store, ConcurrentReadersReleaseTheDataExactlyOnce)
{
    CPacket_Write w;
    for (unsigned i = 0; i < 100; ++i)
        w.Writeuint32(i);
    CPacket_Read shared(w);
    std::atomic<bool> wrong{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back(
            [&shared, &wrong]
            {
                for (int i = 0; i < 20000; ++i)
                {
                    CPacket_Read mine(shared);
                    mine.SeekTo(unsigned(i % 100) * 32);
                    if (mine.Readuint32() != unsigned(i % 100))
                        wrong = true;
                    // Writers on other threads take and return pooled objects meanwhile.
                    CPacket_Write other;
                    other.Writeuint64(i);
                    CPacket_Read done(other);
                }
            });
    for (auto& t : threads)
        t.join();
    EXPECT_FALSE(wrong);
    // Exactly one reference is left: ours. A double release would show up as a pool cycle.
    CPacket_Read last(shared);
    shared.Clear();
    CPacket_Data* pool = CPacket_Data::s_pTrash_Data;
    last.Clear();
    EXPECT_NE(CPacket_Data::s_pTrash_Data, pool);
    std::vector<CPacket_Data*> seen;
    for (CPacket_Data* d = CPacket_Data::s_pTrash_Data; d && seen.size() < 100;
         d = reinterpret_cast<CPacket_Data*>(
             const_cast<CPacket_Data::SChunk*>(d->Begin().m_pChunk)))
    {
        for (CPacket_Data* s : seen)
            ASSERT_NE(s, d) << "an object is in the pool twice";
        seen.push_back(d);
    }
    EXPECT_LT(seen.size(), 100u);
}
} // namespace
