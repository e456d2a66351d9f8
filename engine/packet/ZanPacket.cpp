// Packet bit writer and reader: the parts too large or too rare to inline.
#include "Zan/ZanPacket.h"

#include <array>

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

void CPacket_Write::StoreFirstWord(uint32_t word, unsigned bits)
{
    m_pData = CPacket_Data::AllocateWithChunk();
    if (!m_pData)
        return; // out of memory: the word is lost
    m_pData->IncRef();
    m_pData->Append(word, bits);
}

void CPacket_Write::Flush()
{
    if (m_uPendingCount == 0)
        return;
    if (m_pData)
        m_pData->Append(m_uPending, m_uPendingCount);
    else
        StoreFirstWord(m_uPending, m_uPendingCount);
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
}

void CPacket_Write::WriteData(const void* source, unsigned bits)
{
    if (!source)
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
    unsigned pos = 0;
    CPacket_Data::SIterator_Const it;
    uint32_t word = 0;
    r.Locate(0, it, word);
    while (r.m_uSize - pos >= 32)
        WriteBits(r.Extract(pos, it, word, 32), 32);
    const unsigned rest = r.m_uSize - pos;
    if (rest > 0)
        WriteBits(r.Extract(pos, it, word, rest), rest);
}

void CPacket_Write::WriteString(const char* text)
{
    if (!text)
    {
        WriteBits(0, 8);
        return;
    }
    // The characters and their terminator are exactly the string's byte image.
    WriteData(text, unsigned((std::strlen(text) + 1) * 8));
}

// ---- CPacket_Read ----

CPacket_Read::CPacket_Read(CPacket_Write& w) : CPacket_Read()
{
    w.Flush();
    // The writer's reference becomes ours.
    CPacket_Data* data = w.m_pData;
    w.m_pData = nullptr;
    w.m_uPending = 0;
    w.m_uPendingCount = 0;
    m_pData = data;
    m_uSize = data ? data->Size() : 0;
    RefreshIterator();
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
    : m_pData(r.m_pData), m_uStart(r.m_uStart), m_uSize(r.m_uSize), m_uPosition(r.m_uPosition),
      m_itWord(r.m_itWord), m_uWord(r.m_uWord)
{
    if (m_pData)
        m_pData->IncRef();
}

CPacket_Read::CPacket_Read(CPacket_Read&& r) noexcept
    : m_pData(r.m_pData), m_uStart(r.m_uStart), m_uSize(r.m_uSize), m_uPosition(r.m_uPosition),
      m_itWord(r.m_itWord), m_uWord(r.m_uWord)
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
    m_uPosition = r.m_uPosition;
    m_itWord = r.m_itWord;
    m_uWord = r.m_uWord;
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
    m_uPosition = r.m_uPosition;
    m_itWord = r.m_itWord;
    m_uWord = r.m_uWord;
    r.m_pData = nullptr;
    r.Clear();
    return *this;
}

void CPacket_Read::Clear()
{
    if (m_pData)
        m_pData->DecRef();
    m_pData = nullptr;
    m_uStart = m_uSize = m_uPosition = 0;
    m_itWord = CPacket_Data::SIterator_Const();
    m_uWord = 0;
}

void CPacket_Read::Init(CPacket_Data* data, unsigned start, unsigned size)
{
    if (data)
        data->IncRef();
    Clear();
    m_pData = data;
    m_uStart = start;
    m_uSize = size;
    m_uPosition = 0;
    RefreshIterator();
}

void CPacket_Read::Init(const CPacket_Read& r, unsigned offset, unsigned length)
{
    if (offset > r.m_uSize)
        offset = r.m_uSize;
    if (length > r.m_uSize - offset)
        length = r.m_uSize - offset;
    const unsigned start = r.m_uStart + offset;
    const unsigned readPoint = r.m_uStart + r.m_uPosition;
    Init(r.m_pData, start, length);
    if (readPoint > start)
    {
        m_uPosition = readPoint - start < length ? readPoint - start : length;
        RefreshIterator();
    }
}

void CPacket_Read::Locate(unsigned pos, CPacket_Data::SIterator_Const& it, uint32_t& word) const
{
    if (!m_pData || pos >= m_uSize)
    {
        it = CPacket_Data::SIterator_Const();
        word = 0;
        return;
    }
    unsigned index = unsigned((uint64_t(m_uStart) + pos) / 32);
    const CPacket_Data::SChunk* chunk = m_pData->Begin().m_pChunk;
    while (chunk && index >= chunk->m_uCount)
    {
        index -= chunk->m_uCount;
        chunk = chunk->m_pNext;
    }
    it = chunk ? CPacket_Data::SIterator_Const(chunk, index) : CPacket_Data::SIterator_Const();
    word = *it;
}

void CPacket_Read::RefreshIterator()
{
    Locate(m_uPosition, m_itWord, m_uWord);
}

void CPacket_Read::Seek(int delta)
{
    int64_t p = int64_t(m_uPosition) + delta;
    if (p < 0)
        p = 0;
    if (p > int64_t(m_uSize))
        p = m_uSize;
    m_uPosition = unsigned(p);
    RefreshIterator();
}

void CPacket_Read::SeekTo(unsigned p)
{
    m_uPosition = p < m_uSize ? p : m_uSize;
    RefreshIterator();
}

uint32_t CPacket_Read::ExtractTail(unsigned& pos, CPacket_Data::SIterator_Const& it, uint32_t& word,
                                   unsigned bits) const
{
    const unsigned left = m_uSize - pos;
    return ExtractWithin(pos, it, word, bits < left ? bits : left);
}

void CPacket_Read::ExtractData(unsigned& pos, CPacket_Data::SIterator_Const& it, uint32_t& word,
                               void* destination, unsigned bits) const
{
    unsigned char* bytes = static_cast<unsigned char*>(destination);
    for (unsigned words = bits / 32; words > 0; --words)
    {
        const uint32_t value = Extract(pos, it, word, 32);
        if (bytes)
        {
            std::memcpy(bytes, &value, sizeof value);
            bytes += 4;
        }
    }
    for (unsigned rest = bits % 32; rest > 0;)
    {
        const unsigned n = rest < 8 ? rest : 8;
        const uint32_t value = Extract(pos, it, word, n);
        if (bytes)
            *bytes++ = (unsigned char)value;
        rest -= n;
    }
}

unsigned CPacket_Read::ExtractString(unsigned& pos, CPacket_Data::SIterator_Const& it,
                                     uint32_t& word, char* buffer, unsigned size) const
{
    unsigned count = 0;
    for (;;)
    {
        // Reads at the window end return 0, so this always terminates.
        const char c = char(Extract(pos, it, word, 8));
        if (buffer && count < size)
            buffer[count] = c;
        if (c == 0)
            return count;
        ++count;
    }
}

uint64_t CPacket_Read::PeekBits64(unsigned bits) const
{
    unsigned pos = m_uPosition;
    CPacket_Data::SIterator_Const it = m_itWord;
    uint32_t word = m_uWord;
    return Extract64(pos, it, word, bits);
}

void CPacket_Read::PeekData(void* destination, unsigned bits) const
{
    unsigned pos = m_uPosition;
    CPacket_Data::SIterator_Const it = m_itWord;
    uint32_t word = m_uWord;
    ExtractData(pos, it, word, destination, bits);
}

unsigned CPacket_Read::PeekString(char* buffer, unsigned size) const
{
    unsigned pos = m_uPosition;
    CPacket_Data::SIterator_Const it = m_itWord;
    uint32_t word = m_uWord;
    return ExtractString(pos, it, word, buffer, size);
}

CZanVector CPacket_Read::Peekvector() const
{
    unsigned pos = m_uPosition;
    CPacket_Data::SIterator_Const it = m_itWord;
    uint32_t word = m_uWord;
    const float x = AsFloat(Extract(pos, it, word, 32));
    return CZanVector(x, AsFloat(Extract(pos, it, word, 32)));
}

uint32_t CPacket_Read::CalcChecksum() const
{
    if (m_uSize == 0)
        return 0;
    unsigned pos = 0;
    CPacket_Data::SIterator_Const it;
    uint32_t word = 0;
    Locate(0, it, word);
    uint32_t crc = 0xFFFFFFFFu;
    while (m_uSize - pos >= 32)
    {
        const uint32_t value = Extract(pos, it, word, 32);
        crc = CrcByte(crc, value);
        crc = CrcByte(crc, value >> 8);
        crc = CrcByte(crc, value >> 16);
        crc = CrcByte(crc, value >> 24);
    }
    while (pos < m_uSize)
        crc = CrcByte(crc, Extract(pos, it, word, 8));
    return crc ^ 0xFFFFFFFFu;
}
