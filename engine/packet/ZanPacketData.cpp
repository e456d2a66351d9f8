// Packet storage: chunked words and the process-wide pools that recycle them.
#include "Zan/ZanPacket.h"

#include <new>

CPacket_Data* CPacket_Data::s_pTrash_Data = nullptr;
CPacket_Data CPacket_Data::s_cTrash_Chunk;

namespace
{
// The one lock guarding both pools, alive from library load to unload. Outside that time
// (static initialisers or destructors of other code) the pools are bypassed: objects are
// allocated fresh and released ones are not recycled.
CRITICAL_SECTION g_csTrash;
bool g_bTrashAlive = false;

struct STrashLockLifetime
{
    STrashLockLifetime()
    {
        InitializeCriticalSection(&g_csTrash);
        g_bTrashAlive = true;
    }
    ~STrashLockLifetime()
    {
        g_bTrashAlive = false;
        DeleteCriticalSection(&g_csTrash);
    }
} g_cTrashLockLifetime;

class CTrashGuard
{
public:
    CTrashGuard() : m_bHeld(g_bTrashAlive)
    {
        if (m_bHeld)
            EnterCriticalSection(&g_csTrash);
    }
    ~CTrashGuard()
    {
        if (m_bHeld)
            LeaveCriticalSection(&g_csTrash);
    }
    CTrashGuard(const CTrashGuard&) = delete;
    CTrashGuard& operator=(const CTrashGuard&) = delete;
    bool Held() const { return m_bHeld; }

private:
    bool m_bHeld;
};
} // namespace

CPacket_Data::SIterator_Const CPacket_Data::SIterator_Const::operator+(unsigned n) const
{
    const SChunk* chunk = m_pChunk;
    if (!chunk)
        return SIterator_Const();
    // Words left in this chunk from the current index, then whole chunks.
    uint64_t index = uint64_t(m_uIndex) + n;
    while (chunk && index >= chunk->m_uCount)
    {
        index -= chunk->m_uCount;
        chunk = chunk->m_pNext;
    }
    return chunk ? SIterator_Const(chunk, unsigned(index)) : SIterator_Const();
}

CPacket_Data* CPacket_Data::Allocate()
{
    CPacket_Data* data = nullptr;
    {
        CTrashGuard guard;
        if (guard.Held() && s_pTrash_Data)
        {
            data = s_pTrash_Data;
            s_pTrash_Data = reinterpret_cast<CPacket_Data*>(data->m_pFirst);
        }
    }
    if (!data)
        return new (std::nothrow) CPacket_Data();
    data->Init();
    return data;
}

CPacket_Data* CPacket_Data::AllocateWithChunk()
{
    // One trip through the lock for both, since every written packet needs both.
    CPacket_Data* data = nullptr;
    SChunk* chunk = nullptr;
    {
        CTrashGuard guard;
        if (guard.Held())
        {
            data = s_pTrash_Data;
            if (data)
                s_pTrash_Data = reinterpret_cast<CPacket_Data*>(data->m_pFirst);
            chunk = s_cTrash_Chunk.m_pFirst;
            if (chunk)
                s_cTrash_Chunk.m_pFirst = chunk->m_pNext;
        }
    }
    if (data)
        data->Init();
    else if (!(data = new (std::nothrow) CPacket_Data()))
    {
        Free_Chunk(chunk);
        return nullptr;
    }
    if (!chunk)
        chunk = new (std::nothrow) SChunk;
    if (chunk)
    {
        chunk->m_uStart = 0;
        chunk->m_uCount = 0;
        chunk->m_pNext = nullptr;
        data->m_pFirst = data->m_pLast = chunk;
    }
    return data;
}

CPacket_Data::SChunk* CPacket_Data::Allocate_Chunk(unsigned start)
{
    SChunk* chunk = nullptr;
    {
        CTrashGuard guard;
        if (guard.Held() && s_cTrash_Chunk.m_pFirst)
        {
            chunk = s_cTrash_Chunk.m_pFirst;
            s_cTrash_Chunk.m_pFirst = chunk->m_pNext;
        }
    }
    if (!chunk)
        chunk = new (std::nothrow) SChunk;
    if (chunk)
    {
        chunk->m_uStart = start;
        chunk->m_uCount = 0;
        chunk->m_pNext = nullptr;
    }
    return chunk;
}

void CPacket_Data::Free_Chunk(SChunk* chunk)
{
    if (!chunk)
        return;
    CTrashGuard guard;
    if (!guard.Held())
        return; // unloading: leave it to the process exit
    chunk->m_pNext = s_cTrash_Chunk.m_pFirst;
    s_cTrash_Chunk.m_pFirst = chunk;
}

void CPacket_Data::Free()
{
    CTrashGuard guard;
    if (!guard.Held())
        return;
    // The whole chain goes to the head of the chunk pool in one step.
    if (m_pFirst)
    {
        m_pLast->m_pNext = s_cTrash_Chunk.m_pFirst;
        s_cTrash_Chunk.m_pFirst = m_pFirst;
    }
    m_pLast = nullptr;
    m_uSize = 0;
    m_pFirst = reinterpret_cast<SChunk*>(s_pTrash_Data);
    s_pTrash_Data = this;
}

void CPacket_Data::Grow()
{
    SChunk* chunk = Allocate_Chunk(m_pLast->m_uStart + CHUNK_WORDS);
    // Without memory the full chunk stays last; the next Append tries again.
    if (chunk)
    {
        m_pLast->m_pNext = chunk;
        m_pLast = chunk;
    }
}

bool CPacket_Data::AppendSlow(uint32_t word, unsigned bits)
{
    if (!m_pLast)
    {
        m_pFirst = m_pLast = Allocate_Chunk(0);
        if (!m_pLast)
            return false;
    }
    else
    {
        Grow();
        if (m_pLast->m_uCount >= CHUNK_WORDS)
            return false;
    }
    return Append(word, bits);
}
