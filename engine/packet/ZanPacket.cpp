// Packet bit writer and reader: the parts too large or too rare to inline.
#include "Zan/ZanPacket.h"

#include <array>
#include <cstddef>

namespace
{
// CRC-32 with the reflected polynomial 0xEDB88320, as zlib computes it.
constexpr std::array<uint32_t, 256> MakeCrcTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n)
    {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> g_auCrcTable = MakeCrcTable();

inline uint32_t CrcByte(uint32_t crc, uint32_t byte)
{
    return g_auCrcTable[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}
} // namespace

// ---- CPacket_Write ----

void CPacket_Write::Sync()
{
    CPacket_Data::SChunk* last = m_pData ? m_pData->m_pLast : nullptr;
    if (!last || !m_pSlot)
        return;
    last->m_uCount = unsigned(m_pSlot - last->m_auWords);
    // Every word stored through the slots is full.
    m_pData->m_uSize = (last->m_uStart + last->m_uCount) * 32;
}

void CPacket_Write::TakeSlots()
{
    CPacket_Data::SChunk* last = m_pData ? m_pData->m_pLast : nullptr;
    if (!last)
    {
        m_pSlot = m_pSlotEnd = nullptr;
        return;
    }
    m_pSlot = last->m_auWords + last->m_uCount;
    // The slots end at the last countable word too, so the inline path needs no size test.
    const unsigned room = MAX_FULL_WORDS - last->m_uStart;
    m_pSlotEnd = last->m_auWords +
                 (room < CPacket_Data::CHUNK_WORDS ? room : unsigned(CPacket_Data::CHUNK_WORDS));
}

bool CPacket_Write::StoreWordSlow(uint32_t word, unsigned bits)
{
    if (m_pData)
    {
        Sync();
        if (bits == 32 && StoredWords() >= MAX_FULL_WORDS)
            return false;
    }
    else
    {
        m_pData = CPacket_Data::AllocateWithChunk();
        if (!m_pData)
            return false;
        m_pData->m_lRefCount = 1; // the first reference; nobody else knows the object yet
    }
    if (!m_pData->Append(word, bits))
        return false;
    TakeSlots();
    return true;
}

void CPacket_Write::StoreWordOrUndo(uint32_t word, uint32_t pendingBefore, unsigned countBefore)
{
    if (!StoreWordSlow(word, 32))
    {
        m_uPending = pendingBefore;
        m_uPendingCount = countBefore;
    }
}

void CPacket_Write::ChunkFilled()
{
    Sync();
    // At the last countable word the chunk is not full, and no chunk follows.
    if (m_pData->m_pLast->m_uCount == CPacket_Data::CHUNK_WORDS)
        m_pData->Grow();
    TakeSlots();
}

void CPacket_Write::Flush()
{
    if (m_uPendingCount > 0)
        StoreWordSlow(m_uPending, m_uPendingCount);
    else
        Sync();
    m_uPending = 0;
    m_uPendingCount = 0;
}

void CPacket_Write::Reset()
{
    if (m_pData)
    {
        m_pData->DecRef();
        m_pData = nullptr;
    }
    m_uPending = 0;
    m_uPendingCount = 0;
    m_pSlot = m_pSlotEnd = nullptr;
}

void CPacket_Write::WriteData(const void* source, unsigned bits)
{
    if (!source || !HasRoom(bits))
        return;
    const unsigned char* bytes = static_cast<const unsigned char*>(source);
    for (unsigned words = bits / 32; words > 0; --words, bytes += 4)
    {
        uint32_t word;
        std::memcpy(&word, bytes, sizeof word);
        WriteBits(word, 32);
    }
    for (unsigned rest = bits % 32; rest > 0; ++bytes)
    {
        const unsigned n = rest < 8 ? rest : 8;
        WriteBits(*bytes, n);
        rest -= n;
    }
}

void CPacket_Write::WritePacket(const CPacket_Read& r)
{
    if (!HasRoom(r.m_uSize))
        return;
    CPacket_Read::SCursor c;
    r.Locate(c, 0);
    for (unsigned words = r.m_uSize / 32; words > 0; --words)
        WriteBits(r.Extract(c, 32), 32);
    const unsigned rest = r.m_uSize % 32;
    if (rest > 0)
        WriteBits(r.Extract(c, rest), rest);
}

void CPacket_Write::WriteString(const char* text)
{
    if (!text)
    {
        WriteBits(0, 8);
        return;
    }
    // The characters and their terminator are exactly the string's byte image. The length
    // is counted in 64 bits: a string of 2^29 characters must not pass for an empty one.
    const uint64_t bits = (uint64_t(std::strlen(text)) + 1) * 8;
    if (HasRoom(bits))
        WriteData(text, unsigned(bits));
}

// ---- CPacket_Read ----

// The inline reads load two words at once as one little-endian 64-bit value, up to 8 bytes
// from a chunk's last word on: those bytes must lie inside the chunk.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "packet words are read as little-endian");
static_assert(offsetof(CPacket_Data::SChunk, m_auWords) == 0 &&
                  sizeof(CPacket_Data::SChunk) >= sizeof(uint32_t) * CPacket_Data::CHUNK_WORDS + 8,
              "a chunk's words are followed by at least 8 bytes of the chunk");

const unsigned char CPacket_Read::s_auZeros[8] = {};

CPacket_Read::CPacket_Read(CPacket_Write& w) : CPacket_Read()
{
    w.Flush();
    // The writer's reference becomes ours.
    CPacket_Data* data = w.m_pData;
    w.m_pData = nullptr;
    w.m_uPending = 0;
    w.m_uPendingCount = 0;
    w.m_pSlot = w.m_pSlotEnd = nullptr;
    m_pData = data;
    m_uSize = data ? data->Size() : 0;
    Locate(m_cCursor, 0);
}

CPacket_Read::CPacket_Read(const CPacket_Read& r, unsigned offset) : CPacket_Read()
{
    Init(r, offset, r.m_uSize);
}

CPacket_Read::CPacket_Read(const CPacket_Read& r, unsigned offset, unsigned length) : CPacket_Read()
{
    Init(r, offset, length);
}

CPacket_Read::CPacket_Read(const CPacket_Read& r)
    : m_pData(r.m_pData), m_uStart(r.m_uStart), m_uSize(r.m_uSize), m_cCursor(r.m_cCursor)
{
    if (m_pData)
        m_pData->IncRef();
}

CPacket_Read::CPacket_Read(CPacket_Read&& r) noexcept
    : m_pData(r.m_pData), m_uStart(r.m_uStart), m_uSize(r.m_uSize), m_cCursor(r.m_cCursor)
{
    r.m_pData = nullptr;
    r.Clear();
}

CPacket_Read& CPacket_Read::operator=(const CPacket_Read& r)
{
    if (this == &r)
        return *this;
    // Take the new reference first: r may be the last other holder of our own data.
    if (r.m_pData)
        r.m_pData->IncRef();
    Clear();
    m_pData = r.m_pData;
    m_uStart = r.m_uStart;
    m_uSize = r.m_uSize;
    m_cCursor = r.m_cCursor;
    return *this;
}

CPacket_Read& CPacket_Read::operator=(CPacket_Read&& r) noexcept
{
    if (this == &r)
        return *this;
    Clear();
    m_pData = r.m_pData;
    m_uStart = r.m_uStart;
    m_uSize = r.m_uSize;
    m_cCursor = r.m_cCursor;
    r.m_pData = nullptr;
    r.Clear();
    return *this;
}

void CPacket_Read::Clear()
{
    if (m_pData)
        m_pData->DecRef();
    m_pData = nullptr;
    m_uStart = m_uSize = 0;
    m_cCursor = SCursor();
}

void CPacket_Read::Init(CPacket_Data* data, unsigned start, unsigned size)
{
    if (data)
        data->IncRef();
    Clear();
    m_pData = data;
    m_uStart = start;
    m_uSize = size;
    Locate(m_cCursor, 0);
}

void CPacket_Read::Init(const CPacket_Read& r, unsigned offset, unsigned length)
{
    if (offset > r.m_uSize)
        offset = r.m_uSize;
    if (length > r.m_uSize - offset)
        length = r.m_uSize - offset;
    const unsigned start = r.m_uStart + offset;
    const unsigned readPoint = r.m_cCursor.m_uBit;
    Init(r.m_pData, start, length);
    if (readPoint > start)
        Locate(m_cCursor, readPoint - start);
}

void CPacket_Read::Locate(SCursor& c, unsigned pos) const
{
    c.m_uBit = m_uStart + (pos < m_uSize ? pos : m_uSize);
    c.m_pChunk = m_pData ? m_pData->Begin().m_pChunk : nullptr;
    c.m_uFirst = 0;
    Settle(c);
}

void CPacket_Read::Settle(SCursor& c) const
{
    const CPacket_Data::SChunk* chunk = c.m_pChunk;
    uint64_t first = c.m_uFirst;
    // Chunks whose words all lie before the bit (empty ones included) are passed by.
    while (chunk && c.m_uBit >= (first + chunk->m_uCount) * 32)
    {
        first += chunk->m_uCount;
        chunk = chunk->m_pNext;
    }
    c.m_pChunk = chunk;
    if (!chunk)
    {
        // Past the data: only reads of nothing stay inline.
        c.m_uFirst = c.m_uBit / 32;
        c.m_uBase = reinterpret_cast<uintptr_t>(s_auZeros) - uintptr_t(c.m_uFirst) * 4;
        c.m_uLimit = c.m_uBit;
        return;
    }
    c.m_uFirst = unsigned(first);
    c.m_uBase = reinterpret_cast<uintptr_t>(chunk->m_auWords) - uintptr_t(first) * 4;
    const uint64_t chunkEnd = (first + chunk->m_uCount) * 32;
    const unsigned end = m_uStart + m_uSize;
    c.m_uLimit = chunkEnd < end ? unsigned(chunkEnd) : end;
}

void CPacket_Read::Seek(int delta)
{
    int64_t p = int64_t(Tell()) + delta;
    if (p < 0)
        p = 0;
    if (p > int64_t(m_uSize))
        p = m_uSize;
    Locate(m_cCursor, unsigned(p));
}

void CPacket_Read::SeekTo(unsigned p)
{
    Locate(m_cCursor, p);
}

uint32_t CPacket_Read::ExtractSlow(SCursor& c, unsigned bits) const
{
    unsigned bit = c.m_uBit;
    const unsigned left = m_uStart + m_uSize - bit;
    const unsigned n = bits < left ? bits : left;
    uint32_t result = 0;
    // Word by word, since the bits may continue in the next chunk.
    for (unsigned got = 0; got < n;)
    {
        if (!c.m_pChunk)
        {
            bit += n - got; // past the data: zeros
            break;
        }
        const uint64_t chunkEnd = (uint64_t(c.m_uFirst) + c.m_pChunk->m_uCount) * 32;
        if (bit >= chunkEnd)
        {
            c.m_uBit = bit;
            Settle(c);
            continue;
        }
        unsigned take = 32 - (bit & 31);
        if (take > n - got)
            take = n - got;
        if (take > chunkEnd - bit)
            take = unsigned(chunkEnd - bit);
        uint32_t word;
        std::memcpy(&word, c.m_pChunk->m_auWords + ((bit >> 5) - c.m_uFirst), sizeof word);
        result |= ((word >> (bit & 31)) & uint32_t((uint64_t(1) << take) - 1)) << got;
        got += take;
        bit += take;
    }
    c.m_uBit = bit;
    Settle(c);
    return result;
}

void CPacket_Read::ExtractData(SCursor& c, void* destination, unsigned bits) const
{
    unsigned char* bytes = static_cast<unsigned char*>(destination);
    for (unsigned words = bits / 32; words > 0; --words)
    {
        const uint32_t value = Extract(c, 32);
        if (bytes)
        {
            std::memcpy(bytes, &value, sizeof value);
            bytes += 4;
        }
    }
    for (unsigned rest = bits % 32; rest > 0;)
    {
        const unsigned n = rest < 8 ? rest : 8;
        const uint32_t value = Extract(c, n);
        if (bytes)
            *bytes++ = (unsigned char)value;
        rest -= n;
    }
}

unsigned CPacket_Read::ExtractString(SCursor& c, char* buffer, unsigned size) const
{
    unsigned count = 0;
    for (;;)
    {
        // Reads at the window end return 0, so this always terminates.
        const char c8 = char(Extract(c, 8));
        if (buffer && count < size)
            buffer[count] = c8;
        if (c8 == 0)
            return count;
        ++count;
    }
}

uint64_t CPacket_Read::PeekBits64(unsigned bits) const
{
    SCursor c = m_cCursor;
    return Extract64(c, bits);
}

void CPacket_Read::PeekData(void* destination, unsigned bits) const
{
    SCursor c = m_cCursor;
    ExtractData(c, destination, bits);
}

unsigned CPacket_Read::PeekString(char* buffer, unsigned size) const
{
    SCursor c = m_cCursor;
    return ExtractString(c, buffer, size);
}

CZanVector CPacket_Read::Peekvector() const
{
    SCursor c = m_cCursor;
    const float x = AsFloat(Extract(c, 32));
    return CZanVector(x, AsFloat(Extract(c, 32)));
}

uint32_t CPacket_Read::CalcChecksum() const
{
    if (m_uSize == 0)
        return 0;
    SCursor c;
    Locate(c, 0);
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned words = m_uSize / 32; words > 0; --words)
    {
        const uint32_t value = Extract(c, 32);
        crc = CrcByte(crc, value);
        crc = CrcByte(crc, value >> 8);
        crc = CrcByte(crc, value >> 16);
        crc = CrcByte(crc, value >> 24);
    }
    for (unsigned rest = m_uSize % 32; rest > 0; rest -= rest < 8 ? rest : 8)
        crc = CrcByte(crc, Extract(c, 8));
    return crc ^ 0xFFFFFFFFu;
}
