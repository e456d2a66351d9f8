/// \file
/// Bit-level message payloads.
///
/// A packet is a sequence of bits with no header: fields are packed least significant bit first
/// into 32-bit words (bit i of a packet is bit i % 32 of word i / 32, so seen as little-endian
/// bytes bit i is bit i % 8 of byte i / 8), with no alignment, padding, tags or lengths. Writer
/// and reader agree on the sequence of fields.
///
/// Using it:
/// \code
/// CPacket_Write w;              // empty
/// w.Writeuint16(10000);         // fields, in order
/// w.Writevector(pos);
/// CPacket_Read r(w);            // hands the bits over without copying; w is empty again
/// r.Readuint16(); r.Readvector();
/// \endcode
///
/// Storage (CPacket_Data) is shared by reference count between readers and recycled through
/// process-wide pools, so writing, converting and reading packets does not touch the general
/// heap once the pools are warm. Reads never go past the end of a reader's window: missing bits
/// read as zero. Nothing here throws or reports to the run log.
#pragma once

#include "ZanWin32.h"
#include "Zan/ZanMath.h"

#include <cstdint>
#include <cstring>

class CPacket_Read;

/// Reference-counted, growable sequence of 32-bit words kept in fixed-size chunks. Created by
/// Allocate() with reference count 0; the holder that takes the last reference away (DecRef)
/// returns the object and its chunks to the process-wide pools. Memory is never returned to
/// the system. Games normally use CPacket_Write and CPacket_Read instead.
///
/// The pools may be used from any thread (one lock guards both free lists, reference counts
/// change atomically); appending to an object while another thread reads it is not supported.
class CPacket_Data
{
public:
    enum : unsigned
    {
        CHUNK_WORDS = 62 ///< words per chunk
    };

    /// One block of words. Chunks are linked from the first to the last.
    struct SChunk
    {
        uint32_t m_auWords[CHUNK_WORDS]; ///< packet words; only the first m_uCount are valid
        unsigned m_uStart;               ///< index of m_auWords[0] counted from the object start
        unsigned m_uCount;               ///< words used, 0 to CHUNK_WORDS
        SChunk* m_pNext;                 ///< following chunk, or null
    };

    /// A read position: a chunk and a word index within it. {null, 0} is the end.
    struct SIterator_Const
    {
        const SChunk* m_pChunk; ///< the chunk, or null at the end
        unsigned m_uIndex;      ///< word index inside the chunk

        /// The end.
        SIterator_Const() : m_pChunk(nullptr), m_uIndex(0) {}
        /// Word `index` of `chunk`.
        SIterator_Const(const SChunk* chunk, unsigned index) : m_pChunk(chunk), m_uIndex(index) {}

        /// The word at the position; 0 at the end or past the words used in the chunk.
        uint32_t operator*() const
        {
            return (m_pChunk && m_uIndex < m_pChunk->m_uCount) ? m_pChunk->m_auWords[m_uIndex] : 0;
        }
        /// The next word: the next index, or the start of the next chunk once the chunk's used
        /// words are passed. Does nothing at the end.
        SIterator_Const& operator++()
        {
            if (m_pChunk && ++m_uIndex >= m_pChunk->m_uCount)
            {
                m_pChunk = m_pChunk->m_pNext;
                m_uIndex = 0;
            }
            return *this;
        }
        /// The position n words further; the end when that runs past the last chunk.
        SIterator_Const operator+(unsigned n) const;
        /// Same chunk and index.
        bool operator==(const SIterator_Const& it) const
        {
            return m_pChunk == it.m_pChunk && m_uIndex == it.m_uIndex;
        }
        /// Not operator==.
        bool operator!=(const SIterator_Const& it) const { return !(*this == it); }
    };

    /// Head of the pool of free data objects, linked through their first-chunk field.
    static CPacket_Data* s_pTrash_Data;
    /// Only its first-chunk field is used: the head of the pool of free chunks, linked through
    /// their next field.
    static CPacket_Data s_cTrash_Chunk;

    /// A data object from the pool, or a new one: empty, reference count 0 (the caller takes
    /// the first reference with IncRef). Null only when memory is exhausted.
    static CPacket_Data* Allocate();
    /// A chunk from the pool, or a new one, with the given start index, count 0 and no next
    /// chunk (a reused chunk's words keep old contents). Null only when memory is exhausted.
    static SChunk* Allocate_Chunk(unsigned start);
    /// Puts a chunk (which nobody may use any more) back into the pool. Null is ignored.
    static void Free_Chunk(SChunk* chunk);

    constexpr CPacket_Data() : m_pFirst(nullptr), m_pLast(nullptr), m_lRefCount(0), m_uSize(0) {}
    /// Two owners of one chunk list would free it twice.
    CPacket_Data(const CPacket_Data&) = delete;
    CPacket_Data& operator=(const CPacket_Data&) = delete;

    /// Forgets everything: no chunks, count 0, size 0. Releases nothing it held.
    void Init()
    {
        m_pFirst = m_pLast = nullptr;
        m_lRefCount = 0;
        m_uSize = 0;
    }

    /// Takes a reference (atomic).
    void IncRef() const { InterlockedIncrement(&m_lRefCount); }
    /// Drops a reference (atomic); the last one returns the object and its chunks to the
    /// pools, after which the caller must not touch it.
    void DecRef() const
    {
        // A sole holder has nobody to race with (only holders can hand out references), so
        // the common last release of a packet needs no atomic write.
        if (__atomic_load_n(&m_lRefCount, __ATOMIC_ACQUIRE) == 1)
            m_lRefCount = 0;
        else if (InterlockedDecrement(&m_lRefCount) != 0)
            return;
        const_cast<CPacket_Data*>(this)->Free();
    }

    /// Appends one word holding `bits` valid bits (its own word slot whatever `bits` says;
    /// only the last word of an object may hold fewer than 32). Returns false only when
    /// memory is exhausted, and then nothing is appended.
    bool Append(uint32_t word, unsigned bits)
    {
        SChunk* chunk = m_pLast;
        if (!chunk || chunk->m_uCount >= CHUNK_WORDS)
            return AppendSlow(word, bits);
        chunk->m_auWords[chunk->m_uCount] = word;
        m_uSize += bits;
        // A full chunk is followed at once by an empty one, so the last always has room.
        if (++chunk->m_uCount == CHUNK_WORDS)
            Grow();
        return true;
    }

    /// True while no bit has been appended.
    bool Empty() const { return m_uSize == 0; }
    /// Valid bits in the whole object.
    unsigned Size() const { return m_uSize; }
    /// The holders now.
    LONG GetRefCount() const { return m_lRefCount; }
    /// The first word.
    SIterator_Const Begin() const { return SIterator_Const(m_pFirst, 0); }
    /// Past the last word.
    SIterator_Const End() const { return SIterator_Const(); }

private:
    friend class CPacket_Write;

    /// Allocate() with the first chunk already in place (when memory allows).
    static CPacket_Data* AllocateWithChunk();
    void Free();
    void Grow();
    bool AppendSlow(uint32_t word, unsigned bits);

    SChunk* m_pFirst; ///< first chunk; in the pool, the next free object
    SChunk* m_pLast;  ///< chunk being filled
    mutable volatile LONG m_lRefCount;
    unsigned m_uSize; ///< valid bits
};

/// Builds a packet field by field. Owns one reference to its data (held only once at least one
/// whole word has been written); up to 31 further bits wait in a pending word. Converting the
/// writer into a reader (CPacket_Read(CPacket_Write&)) hands everything over and leaves the
/// writer empty and ready for reuse. Not copyable. One thread at a time.
///
/// Sizes are counted in 32 bits: a write that would take the packet past MAX_SIZE bits is
/// refused whole and leaves the packet unchanged (as does one that finds memory exhausted).
class CPacket_Write
{
public:
    static constexpr unsigned MAX_SIZE = 0xFFFFFFFFu; ///< the most bits a packet can hold

    CPacket_Write()
        : m_pData(nullptr), m_uPending(0), m_uPendingCount(0), m_pSlot(nullptr), m_pSlotEnd(nullptr)
    {
    }
    /// Releases the data reference.
    ~CPacket_Write()
    {
        if (m_pData)
            Reset();
    }
    CPacket_Write(const CPacket_Write&) = delete;
    CPacket_Write& operator=(const CPacket_Write&) = delete;

    /// Writes the low `bits` bits of value (0 to 32; more count as 32).
    void WriteBits(uint32_t value, unsigned bits)
    {
        if (bits > 32)
            bits = 32;
        const uint64_t v = value & uint32_t((uint64_t(1) << bits) - 1);
        const unsigned count = m_uPendingCount & 31; // below 32: full-word fields need no test
        // Pending bits and the new ones side by side: up to 63 bits, the low 32 a full word
        // once the total reaches 32, the high part what did not fit.
        const uint64_t joined = v << count | m_uPending;
        const unsigned total = count + bits;
        if (total >= 32)
        {
            const uint32_t before = m_uPending;
            m_uPending = uint32_t(joined >> 32);
            m_uPendingCount = total - 32;
            StoreWord(uint32_t(joined), before, count);
        }
        else
        {
            m_uPending = uint32_t(joined);
            m_uPendingCount = total;
        }
    }
    /// Writes min(bits, 32) low bits, then, when bits > 32, bits - 32 bits of the high half
    /// (0 to 64; more count as 64).
    void WriteBits64(uint64_t value, unsigned bits)
    {
        if (bits > 64)
            bits = 64;
        // Both halves or neither. Two free word slots always take them; only at a chunk's end
        // is the room counted.
        if (bits > 32 && m_pSlotEnd - m_pSlot < 2 && !HasRoom(bits))
            return;
        WriteBits(uint32_t(value), bits < 32 ? bits : 32);
        if (bits > 32)
            WriteBits(uint32_t(value >> 32), bits - 32);
    }
    /// Copies `bits` bits of the memory at source bit for bit (whole little-endian words,
    /// then the bytes the remainder needs, the last one masked). Reads exactly
    /// (bits + 7) / 8 bytes, or none when the write is refused; null source with bits > 0
    /// writes nothing.
    void WriteData(const void* source, unsigned bits);
    /// Appends every bit of r's window, whatever r's position; r does not change. Writing a
    /// reader of this writer's own content is not possible (a writer's data has no readers).
    void WritePacket(const CPacket_Read& r);

    /// One bit: 1 for true.
    void Writebool(bool value) { WriteBits(value ? 1u : 0u, 1); }
    /// @name Integers of their own width
    /// Two's complement for the signed ones; read them back with the Read form of the same
    /// name.
    ///@{
    /// 8 bits.
    void Writeuint8(uint8_t value) { WriteBits(value, 8); }
    /// 8 bits.
    void Writeint8(int8_t value) { WriteBits(uint8_t(value), 8); }
    /// 16 bits.
    void Writeuint16(uint16_t value) { WriteBits(value, 16); }
    /// 16 bits.
    void Writeint16(int16_t value) { WriteBits(uint16_t(value), 16); }
    /// 32 bits.
    void Writeuint32(uint32_t value) { WriteBits(value, 32); }
    /// 32 bits.
    void Writeint32(int32_t value) { WriteBits(uint32_t(value), 32); }
    /// Low 32 bits first, then the high 32 bits.
    void Writeuint64(uint64_t value) { WriteBits64(value, 64); }
    /// Low 32 bits first, then the high 32 bits.
    void Writeint64(int64_t value) { WriteBits64(uint64_t(value), 64); }
    ///@}
    /// The IEEE 754 single-precision bit pattern.
    void Writefloat(float value)
    {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        WriteBits(bits, 32);
    }
    /// The IEEE 754 double bit pattern, low 32 bits first.
    void Writedouble(double value)
    {
        uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        WriteBits64(bits, 64);
    }
    /// x, then y, as float bit patterns.
    void Writevector(const CZanVector& v)
    {
        uint32_t x, y;
        std::memcpy(&x, &v.x, sizeof x);
        std::memcpy(&y, &v.y, sizeof y);
        WriteBits64(uint64_t(y) << 32 | x, 64);
    }
    /// The characters, 8 bits each, then a zero byte; no length. Null writes only the zero.
    void WriteString(const char* text);

    /// Bits written so far.
    unsigned Size() const { return StoredWords() * 32 + m_uPendingCount; }
    /// True while nothing has been written.
    bool Empty() const { return Size() == 0; }
    /// Discards everything written, pending bits included: the writer is empty again.
    void Reset();

private:
    friend class CPacket_Read;

    // While the writer fills its data alone, full words go straight into the free slots of
    // the last chunk; the chunk's count and the data's size catch up (Sync) whenever anything
    // else looks at them: when a chunk fills, on the slow path and on hand-over. Nobody else
    // can see the data before the hand-over.

    /// The most full words: one more would make the size 2^32, which 32 bits cannot count
    /// (a partial last word still fits).
    static constexpr unsigned MAX_FULL_WORDS = MAX_SIZE / 32;

    /// Stores a full word, the pending bits already updated past it. When the packet holds
    /// MAX_FULL_WORDS already (or memory is exhausted) nothing is stored and the pending bits
    /// go back to what they were, so the write that asked changes nothing.
    void StoreWord(uint32_t word, uint32_t pendingBefore, unsigned countBefore)
    {
        uint32_t* slot = m_pSlot;
        // No data yet, no room even after trying to grow, or the last countable word reached.
        if (slot == m_pSlotEnd)
        {
            StoreWordOrUndo(word, pendingBefore, countBefore);
            return;
        }
        *slot++ = word;
        m_pSlot = slot;
        // A full chunk is followed at once by an empty one.
        if (slot == m_pSlotEnd)
            ChunkFilled();
    }
    void StoreWordOrUndo(uint32_t word, uint32_t pendingBefore, unsigned countBefore);
    /// Stores a word of `bits` valid bits through the data's own Append, starting the data
    /// when there is none. False, with nothing stored, when it would not fit.
    bool StoreWordSlow(uint32_t word, unsigned bits);
    /// Whether `bits` more bits keep the size countable.
    bool HasRoom(uint64_t bits) const { return Size() + bits <= MAX_SIZE; }
    void ChunkFilled();
    /// Brings the last chunk's count and the data's size up to the words stored.
    void Sync();
    /// Points the slots at the last chunk's free words.
    void TakeSlots();
    unsigned StoredWords() const
    {
        const CPacket_Data::SChunk* last = m_pData ? m_pData->m_pLast : nullptr;
        return last ? last->m_uStart + unsigned(m_pSlot - last->m_auWords) : 0;
    }
    /// Stores non-empty pending bits as a partial last word and brings the data up to date.
    void Flush();

    CPacket_Data* m_pData;    ///< one reference, or null before the first word
    uint32_t m_uPending;      ///< bits written but not stored yet, from bit 0
    unsigned m_uPendingCount; ///< valid bits in m_uPending, 0 to 31
    uint32_t* m_pSlot;        ///< next free word of the last chunk, or null without data
    uint32_t* m_pSlotEnd;     ///< end of the last chunk's words (m_pSlot == m_pSlotEnd: no room)
};

/// Reads a window of a packet's bits field by field. Holds one reference to the data, shared
/// with the other readers of it; the last reader to go returns it to the pools. Copies share
/// the data and keep their own position. Every read is clamped at the window end: the bits
/// that remain come back zero-filled above, and at the end reads return 0.
class CPacket_Read
{
public:
    /// An empty reader: no data, size 0.
    CPacket_Read() : m_pData(nullptr), m_uStart(0), m_uSize(0), m_cCursor() {}
    /// Takes over everything w has written (flushing its pending bits) as the whole window,
    /// at position 0; w is left empty and may be filled again. Nothing is copied.
    CPacket_Read(CPacket_Write& w);
    /// A reader sharing r's data whose window starts `offset` bits into r's window and runs to
    /// its end. An offset at or past r's end gives an empty window at r's end. The position is
    /// r's read point taken relative to the new start, clamped to the window (0 when r's read
    /// point lies before the new start).
    CPacket_Read(const CPacket_Read& r, unsigned offset);
    /// The same, with the window `length` bits long but never past the end of r's window.
    CPacket_Read(const CPacket_Read& r, unsigned offset, unsigned length);
    /// Same data (one more reference), window and position.
    CPacket_Read(const CPacket_Read& r);
    /// Takes r's reference, window and position; r becomes empty.
    CPacket_Read(CPacket_Read&& r) noexcept;
    /// Releases the own data, then shares r's; self-assignment changes nothing.
    CPacket_Read& operator=(const CPacket_Read& r);
    /// Releases the own data, then takes r's reference, window and position; r becomes empty.
    CPacket_Read& operator=(CPacket_Read&& r) noexcept;
    /// Releases the data reference.
    ~CPacket_Read() { Clear(); }
    /// Becomes an empty reader, releasing the data.
    void Clear();

    /// Reads `bits` bits (0 to 32; more count as 32), fewer when the window ends first.
    uint32_t ReadBits(unsigned bits) { return Extract(m_cCursor, bits); }
    /// Low part first, then the high part, as WriteBits64 writes them (0 to 64 bits).
    uint64_t ReadBits64(unsigned bits) { return Extract64(m_cCursor, bits); }
    /// Reads `bits` bits into the memory at destination: whole words first (host order), then
    /// 8 bits at a time into successive bytes, the last byte taking the rest in its low part.
    /// Writes exactly (bits + 7) / 8 bytes; bits past the window end come out zero. Null
    /// destination: the bits are skipped.
    void ReadData(void* destination, unsigned bits) { ExtractData(m_cCursor, destination, bits); }
    /// Reads characters up to and including a zero byte (all of them, however long), storing
    /// the first `size` bytes into buffer (null stores nothing); a string that does not fit
    /// is stored without its terminator. Returns the number of characters before the zero.
    /// At the window end: returns 0 and stores one zero byte when size allows.
    unsigned ReadString(char* buffer, unsigned size)
    {
        return ExtractString(m_cCursor, buffer, size);
    }

    /// @name Typed reads
    /// Each reads what the Write form of the same name wrote and moves the position past it;
    /// at the window end the missing bits read as zero.
    ///@{
    /// One bit.
    bool Readbool() { return ReadBits(1) != 0; }
    /// 8 bits.
    uint8_t Readuint8() { return uint8_t(ReadBits(8)); }
    /// 8 bits, two's complement.
    int8_t Readint8() { return int8_t(ReadBits(8)); }
    /// 16 bits.
    uint16_t Readuint16() { return uint16_t(ReadBits(16)); }
    /// 16 bits, two's complement.
    int16_t Readint16() { return int16_t(ReadBits(16)); }
    /// 32 bits.
    uint32_t Readuint32() { return ReadBits(32); }
    /// 32 bits, two's complement.
    int32_t Readint32() { return int32_t(ReadBits(32)); }
    /// 64 bits, low half first.
    uint64_t Readuint64() { return ReadBits64(64); }
    /// 64 bits, low half first, two's complement.
    int64_t Readint64() { return int64_t(ReadBits64(64)); }
    /// An IEEE 754 single-precision bit pattern.
    float Readfloat() { return AsFloat(ReadBits(32)); }
    /// An IEEE 754 double bit pattern, low half first.
    double Readdouble() { return AsDouble(ReadBits64(64)); }
    /// x, then y, as float bit patterns.
    CZanVector Readvector()
    {
        const float x = Readfloat();
        return CZanVector(x, Readfloat());
    }
    ///@}

    /// @name Looking ahead
    /// The Peek forms read exactly what the Read forms of the same name would, without moving
    /// the position.
    ///@{
    /// As ReadBits.
    uint32_t PeekBits(unsigned bits) const
    {
        SCursor c = m_cCursor;
        return Extract(c, bits);
    }
    /// As ReadBits64.
    uint64_t PeekBits64(unsigned bits) const;
    /// As ReadData.
    void PeekData(void* destination, unsigned bits) const;
    /// As ReadString.
    unsigned PeekString(char* buffer, unsigned size) const;
    /// As Readbool.
    bool Peekbool() const { return PeekBits(1) != 0; }
    /// As Readuint8.
    uint8_t Peekuint8() const { return uint8_t(PeekBits(8)); }
    /// As Readint8.
    int8_t Peekint8() const { return int8_t(PeekBits(8)); }
    /// As Readuint16.
    uint16_t Peekuint16() const { return uint16_t(PeekBits(16)); }
    /// As Readint16.
    int16_t Peekint16() const { return int16_t(PeekBits(16)); }
    /// As Readuint32.
    uint32_t Peekuint32() const { return PeekBits(32); }
    /// As Readint32.
    int32_t Peekint32() const { return int32_t(PeekBits(32)); }
    /// As Readuint64.
    uint64_t Peekuint64() const { return PeekBits64(64); }
    /// As Readint64.
    int64_t Peekint64() const { return int64_t(PeekBits64(64)); }
    /// As Readfloat.
    float Peekfloat() const { return AsFloat(PeekBits(32)); }
    /// As Readdouble.
    double Peekdouble() const { return AsDouble(PeekBits64(64)); }
    /// As Readvector.
    CZanVector Peekvector() const;
    ///@}

    /// Moves the position by delta bits, clamped to 0 .. Size().
    void Seek(int delta);
    /// Moves the position to p, at most Size().
    void SeekTo(unsigned p);
    /// The position: bits read since the window start.
    unsigned Tell() const { return m_cCursor.m_uBit - m_uStart; }
    /// Bits left to read.
    unsigned TellEnd() const { return m_uSize - Tell(); }
    /// Window length in bits.
    unsigned Size() const { return m_uSize; }
    /// True for a window of no bits.
    bool Empty() const { return m_uSize == 0; }
    /// True once the whole window has been read.
    bool EOP() const { return Tell() >= m_uSize; }

    /// CRC-32 as zlib computes it over the window's bits taken 8 at a time as bytes (a last
    /// group of fewer than 8 bits is one byte, zero above). The position plays no part. An
    /// empty window gives 0.
    uint32_t CalcChecksum() const;

private:
    friend class CPacket_Write;

    /// A read point, kept so that a read touches little more than the bit number: inside a
    /// chunk and the window, a read is one bound check and one 8-byte load at the word holding
    /// the bit. Window ends and chunk changes go out of line. The Peek forms work on a copy.
    struct SCursor
    {
        unsigned m_uBit;   ///< data bit of the next read: window start + position
        unsigned m_uLimit; ///< reads ending at or before this bit are served from m_uBase:
                           ///< min(window end, end of m_pChunk's words); never below m_uBit
        unsigned m_uFirst; ///< data word index of m_pChunk's first word
        /// Address data word i would have if m_pChunk's words went back to word 0: the word
        /// holding bit b is at m_uBase + b / 32 * 4 (kept as a number, since only the words
        /// of the chunk itself are ever addressed). Past the data: the zeros.
        uintptr_t m_uBase;
        const CPacket_Data::SChunk* m_pChunk; ///< chunk holding m_uBit, or null past the data

        SCursor()
            : m_uBit(0), m_uLimit(0), m_uFirst(0), m_uBase(reinterpret_cast<uintptr_t>(s_auZeros)),
              m_pChunk(nullptr)
        {
        }
    };
    /// What a cursor past the data reads.
    static const unsigned char s_auZeros[8];

    void Init(CPacket_Data* data, unsigned start, unsigned size);
    void Init(const CPacket_Read& r, unsigned offset, unsigned length);
    /// Puts a cursor at window position pos (at most Size()), finding its chunk from the first
    /// one on.
    void Locate(SCursor& c, unsigned pos) const;
    /// Moves the cursor on to the chunk holding its bit, if it has passed its own, and sets
    /// the limit.
    void Settle(SCursor& c) const;

    uint32_t Extract(SCursor& c, unsigned bits) const
    {
        if (bits > 32)
            bits = 32;
        const unsigned bit = c.m_uBit;
        if (__builtin_expect(bits <= c.m_uLimit - bit, 1)) // the limit is never below the bit
        {
            // The word holding the bit and the one after it, as little-endian bytes. Even at
            // the chunk's end the 8 bytes lie inside the chunk (its fields follow the words);
            // whatever they hold there is masked off.
            uint64_t pair;
            std::memcpy(&pair,
                        reinterpret_cast<const unsigned char*>(c.m_uBase + uintptr_t(bit >> 5) * 4),
                        sizeof pair);
            c.m_uBit = bit + bits;
            return uint32_t(pair >> (bit & 31)) & uint32_t((uint64_t(1) << bits) - 1);
        }
        return ExtractSlow(c, bits);
    }
    /// Extract at the window end or across a chunk boundary.
    uint32_t ExtractSlow(SCursor& c, unsigned bits) const;
    uint64_t Extract64(SCursor& c, unsigned bits) const
    {
        if (bits > 64)
            bits = 64;
        const uint64_t low = Extract(c, bits < 32 ? bits : 32);
        return bits > 32 ? low | (uint64_t(Extract(c, bits - 32)) << 32) : low;
    }
    void ExtractData(SCursor& c, void* destination, unsigned bits) const;
    unsigned ExtractString(SCursor& c, char* buffer, unsigned size) const;

    static float AsFloat(uint32_t bits)
    {
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    static double AsDouble(uint64_t bits)
    {
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }

    CPacket_Data* m_pData; ///< one reference, or null
    unsigned m_uStart;     ///< bit index in the data where the window begins
    unsigned m_uSize;      ///< window length in bits
    SCursor m_cCursor;     ///< the read position, m_uStart to m_uStart + m_uSize
};
