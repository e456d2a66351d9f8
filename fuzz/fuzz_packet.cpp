// Packets from hostile bytes: the input becomes a packet, and the same bytes drive a sequence
// of reader operations (reads of any width, seeks, sub-windows, strings into short buffers,
// copies, re-writing). Every result is checked against a plain bit-by-bit model of the window;
// a mismatch or an out-of-bounds access aborts.
#include "Zan/ZanPacket.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{
void Check(bool ok)
{
    if (!ok)
        std::abort();
}

// The reader as the model sees it: a window over the input's bits and a position.
struct SModel
{
    const uint8_t* bytes;
    unsigned start, size, pos;

    unsigned Bit(unsigned i) const { return (bytes[(start + i) / 8] >> ((start + i) % 8)) & 1; }
    uint64_t Peek(unsigned n) const
    {
        uint64_t v = 0;
        for (unsigned k = 0; k < n && pos + k < size; ++k)
            v |= uint64_t(Bit(pos + k)) << k;
        return v;
    }
    void Advance(unsigned n) { pos = n < size - pos ? pos + n : size; }
    uint32_t Crc() const
    {
        uint32_t crc = 0xFFFFFFFFu;
        for (unsigned i = 0; i < size; i += 8)
        {
            unsigned byte = 0;
            for (unsigned k = 0; k < 8 && i + k < size; ++k)
                byte |= Bit(i + k) << k;
            crc ^= byte;
            for (int k = 0; k < 8; ++k)
                crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
        }
        return crc ^ 0xFFFFFFFFu;
    }
};

class COps
{
public:
    COps(const uint8_t* data, size_t size) : m_pData(data), m_uSize(size), m_uAt(0) {}
    bool More() const { return m_uAt < m_uSize; }
    unsigned Byte() { return m_uAt < m_uSize ? m_pData[m_uAt++] : 0; }
    unsigned Word() { return Byte() | Byte() << 8 | Byte() << 16 | Byte() << 24; }

private:
    const uint8_t* m_pData;
    size_t m_uSize, m_uAt;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > 8192)
        return 0;
    const unsigned bits = unsigned(size * 8) - (data[0] & 7);
    // The packet holds a copy, so the model reads the masked input bytes.
    std::vector<uint8_t> bytes(data, data + size);
    if (bits % 8)
        bytes.back() &= uint8_t((1u << (bits % 8)) - 1);

    CPacket_Write w;
    w.WriteData(data, bits);
    Check(w.Size() == bits);
    CPacket_Read r(w);
    Check(w.Empty() && r.Size() == bits);
    SModel m{bytes.data(), 0, bits, 0};
    Check(r.CalcChecksum() == m.Crc());

    COps ops(data, size);
    ops.Byte();
    for (int step = 0; step < 200 && ops.More(); ++step)
    {
        const unsigned op = ops.Byte() % 10;
        switch (op)
        {
        case 0:
        {
            const unsigned n = ops.Byte() % 40; // beyond 32 on purpose
            const uint32_t expect = uint32_t(m.Peek(n < 32 ? n : 32));
            Check(r.PeekBits(n) == expect);
            Check(r.ReadBits(n) == expect);
            m.Advance(n < 32 ? n : 32);
            break;
        }
        case 1:
        {
            const unsigned n = ops.Byte() % 72;
            const uint64_t expect = m.Peek(n < 64 ? n : 64);
            Check(r.ReadBits64(n) == expect);
            m.Advance(n < 64 ? n : 64);
            break;
        }
        case 2:
        {
            const int delta = int(ops.Word());
            r.Seek(delta);
            const int64_t p = int64_t(m.pos) + delta;
            m.pos = p < 0 ? 0 : p > int64_t(m.size) ? m.size : unsigned(p);
            break;
        }
        case 3:
        {
            const unsigned p = ops.Word() % (m.size + 64);
            r.SeekTo(p);
            m.pos = p < m.size ? p : m.size;
            break;
        }
        case 4:
        {
            const unsigned offset = ops.Word() % (m.size + 64), length = ops.Word();
            CPacket_Read part(r, offset, length);
            const unsigned o = offset < m.size ? offset : m.size;
            const unsigned abs = m.start + m.pos;
            m.start += o;
            m.size = length < m.size - o ? length : m.size - o;
            m.pos = abs <= m.start ? 0 : abs - m.start < m.size ? abs - m.start : m.size;
            r = part;
            Check(r.Size() == m.size && r.Tell() == m.pos);
            Check(r.CalcChecksum() == m.Crc());
            break;
        }
        case 5:
        {
            const unsigned room = ops.Byte() % 12;
            char buffer[16];
            std::memset(buffer, 0x55, sizeof buffer);
            const unsigned before = m.pos;
            const unsigned count = r.ReadString(buffer, room);
            unsigned n = 0;
            while (m.Peek(8) != 0 && m.pos < m.size)
            {
                if (n < room)
                    Check(uint8_t(buffer[n]) == m.Peek(8));
                m.Advance(8);
                ++n;
            }
            m.Advance(8);
            Check(count == n);
            if (n < room)
                Check(buffer[n] == 0);
            for (unsigned i = room; i < sizeof buffer; ++i)
                Check(buffer[i] == 0x55);
            Check(r.Tell() == m.pos && m.pos >= before);
            break;
        }
        case 6:
        {
            const unsigned n = ops.Byte() * 3;
            std::vector<uint8_t> out((n + 7) / 8 + 1, 0xA5);
            r.ReadData(out.data(), n);
            Check(out.back() == 0xA5);
            for (unsigned i = 0; i < n; i += 8)
            {
                const unsigned k = n - i < 8 ? n - i : 8;
                Check(out[i / 8] == m.Peek(k));
                m.Advance(k);
            }
            break;
        }
        case 7:
        {
            Check(r.Peekuint32() == uint32_t(m.Peek(32)));
            Check(r.Peekuint64() == m.Peek(64));
            Check(r.Tell() == m.pos && r.EOP() == (m.pos >= m.size));
            Check(r.TellEnd() == m.size - m.pos);
            break;
        }
        case 8:
        {
            CPacket_Read copy(r);
            r = copy;
            CPacket_Read& self = r;
            r = self;
            Check(r.Tell() == m.pos && r.Size() == m.size);
            break;
        }
        default:
        {
            CPacket_Write again;
            again.WriteBits(ops.Byte(), op % 8);
            again.WritePacket(r);
            CPacket_Read back(again);
            CPacket_Read tail(back, op % 8);
            Check(tail.Size() == m.size && tail.CalcChecksum() == m.Crc());
            break;
        }
        }
        Check(r.Tell() == m.pos);
    }
    return 0;
}
