// Packet writer and reader against a plain word vector storing the same values.
//
// Every benchmark handles kFields fields per iteration and reports items per second, so the
// time per field of a packet benchmark and of its Vector twin compare directly. Field widths
// are compile-time constants, as in the typed reads and writes of real messages.
#include "Zan/ZanPacket.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace
{
const unsigned kFields = 4096;

std::vector<uint32_t> Values(unsigned bits)
{
    std::mt19937 rng(bits);
    std::vector<uint32_t> values(kFields);
    const uint32_t mask = uint32_t((uint64_t(1) << bits) - 1);
    for (auto& v : values)
        v = rng() & mask;
    return values;
}

template <unsigned bits> void PacketWrite(benchmark::State& state)
{
    const std::vector<uint32_t> values = Values(bits);
    CPacket_Write w;
    for (auto _ : state)
    {
        for (uint32_t v : values)
            w.WriteBits(v, bits);
        CPacket_Read r(w); // hand-over and release belong to every packet's life
        benchmark::DoNotOptimize(r);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kFields);
}

template <unsigned bits> void VectorWrite(benchmark::State& state)
{
    const std::vector<uint32_t> values = Values(bits);
    std::vector<uint32_t> words;
    words.reserve(kFields);
    for (auto _ : state)
    {
        words.clear();
        for (uint32_t v : values)
            words.push_back(v);
        benchmark::DoNotOptimize(words.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kFields);
}

template <unsigned bits> void PacketRead(benchmark::State& state)
{
    const std::vector<uint32_t> values = Values(bits);
    CPacket_Write w;
    for (uint32_t v : values)
        w.WriteBits(v, bits);
    CPacket_Read r(w);
    for (auto _ : state)
    {
        r.SeekTo(0);
        for (unsigned i = 0; i < kFields; ++i)
        {
            uint32_t v = r.ReadBits(bits);
            benchmark::DoNotOptimize(v);
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kFields);
}

template <unsigned bits> void VectorRead(benchmark::State& state)
{
    const std::vector<uint32_t> words = Values(bits);
    for (auto _ : state)
    {
        const uint32_t* p = words.data();
        benchmark::DoNotOptimize(p);
        for (unsigned i = 0; i < kFields; ++i)
        {
            uint32_t v = p[i];
            benchmark::DoNotOptimize(v);
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kFields);
}

// The same reads with the values folded into one result instead of each made observable:
// lets the compiler keep the reader's state in registers, as it may in real handlers.
template <unsigned bits> void PacketReadFolded(benchmark::State& state)
{
    const std::vector<uint32_t> values = Values(bits);
    CPacket_Write w;
    for (uint32_t v : values)
        w.WriteBits(v, bits);
    CPacket_Read r(w);
    for (auto _ : state)
    {
        CPacket_Read local(r);
        uint32_t fold = 0;
        for (unsigned i = 0; i < kFields; ++i)
            fold = (fold << 1 | fold >> 31) ^ local.ReadBits(bits);
        benchmark::DoNotOptimize(fold);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kFields);
}

template <unsigned bits> void VectorReadFolded(benchmark::State& state)
{
    const std::vector<uint32_t> words = Values(bits);
    for (auto _ : state)
    {
        const uint32_t* p = words.data();
        benchmark::DoNotOptimize(p);
        uint32_t fold = 0;
        for (unsigned i = 0; i < kFields; ++i)
            fold = (fold << 1 | fold >> 31) ^ p[i];
        benchmark::DoNotOptimize(fold);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kFields);
}

const char* const kNames[] = {"player", "balloon", "a monster under two balloons", "", "x"};

void PacketString(benchmark::State& state)
{
    CPacket_Write w;
    char buffer[64];
    for (auto _ : state)
    {
        for (unsigned i = 0; i < kFields; ++i)
            w.WriteString(kNames[i % 5]);
        CPacket_Read r(w);
        for (unsigned i = 0; i < kFields; ++i)
            benchmark::DoNotOptimize(r.ReadString(buffer, sizeof buffer));
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kFields);
}

void VectorString(benchmark::State& state)
{
    std::vector<uint32_t> words;
    words.reserve(kFields * 8);
    char buffer[64];
    for (auto _ : state)
    {
        // Each string in whole words, as a word store would keep it.
        words.clear();
        for (unsigned i = 0; i < kFields; ++i)
        {
            const char* s = kNames[i % 5];
            const size_t bytes = std::strlen(s) + 1;
            const size_t at = words.size();
            words.resize(at + (bytes + 3) / 4);
            std::memcpy(&words[at], s, bytes);
        }
        size_t at = 0;
        for (unsigned i = 0; i < kFields; ++i)
        {
            const char* s = reinterpret_cast<const char*>(&words[at]);
            const size_t len = std::strlen(s);
            std::memcpy(buffer, s, len + 1);
            at += (len + 4) / 4;
            benchmark::DoNotOptimize(len);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kFields);
}

// The physics world's collision report: type, other id, contact count, two contacts of
// position and normal. 11 fields, 44 bytes; written, handed over, read and released.
void PacketCollision(benchmark::State& state)
{
    float f = 1.0f;
    for (auto _ : state)
    {
        for (unsigned m = 0; m < kFields / 11; ++m)
        {
            CPacket_Write w;
            w.Writeuint32(1);
            w.Writeuint32(100 + m);
            w.Writeuint32(2);
            w.Writevector(CZanVector(f, 2.0f));
            w.Writevector(CZanVector(0.0f, -1.0f));
            w.Writevector(CZanVector(f, 3.0f));
            w.Writevector(CZanVector(0.0f, -1.0f));
            CPacket_Read r(w);
            uint32_t type = r.Readuint32(), id = r.Readuint32(), count = r.Readuint32();
            benchmark::DoNotOptimize(type);
            benchmark::DoNotOptimize(id);
            benchmark::DoNotOptimize(count);
            for (unsigned c = 0; c < count; ++c)
            {
                CZanVector pos = r.Readvector(), normal = r.Readvector();
                benchmark::DoNotOptimize(pos);
                benchmark::DoNotOptimize(normal);
            }
        }
        f += 1.0f;
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * (kFields / 11));
}

void VectorCollision(benchmark::State& state)
{
    std::vector<uint32_t> words;
    words.reserve(11);
    float f = 1.0f;
    auto bitsOf = [](float x)
    {
        uint32_t b;
        std::memcpy(&b, &x, 4);
        return b;
    };
    auto floatOf = [](uint32_t b)
    {
        float x;
        std::memcpy(&x, &b, 4);
        return x;
    };
    for (auto _ : state)
    {
        for (unsigned m = 0; m < kFields / 11; ++m)
        {
            words.clear();
            words.push_back(1);
            words.push_back(100 + m);
            words.push_back(2);
            for (float y : {2.0f, 3.0f})
            {
                words.push_back(bitsOf(f));
                words.push_back(bitsOf(y));
                words.push_back(bitsOf(0.0f));
                words.push_back(bitsOf(-1.0f));
            }
            benchmark::DoNotOptimize(words.data());
            benchmark::ClobberMemory();
            uint32_t type = words[0], id = words[1], count = words[2];
            benchmark::DoNotOptimize(type);
            benchmark::DoNotOptimize(id);
            benchmark::DoNotOptimize(count);
            for (unsigned c = 0; c < count; ++c)
            {
                CZanVector pos(floatOf(words[3 + 4 * c]), floatOf(words[4 + 4 * c]));
                CZanVector normal(floatOf(words[5 + 4 * c]), floatOf(words[6 + 4 * c]));
                benchmark::DoNotOptimize(pos);
                benchmark::DoNotOptimize(normal);
            }
        }
        f += 1.0f;
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * (kFields / 11));
}
} // namespace

BENCHMARK_TEMPLATE(PacketWrite, 1);
BENCHMARK_TEMPLATE(PacketWrite, 7);
BENCHMARK_TEMPLATE(PacketWrite, 16);
BENCHMARK_TEMPLATE(PacketWrite, 32);
BENCHMARK_TEMPLATE(VectorWrite, 1);
BENCHMARK_TEMPLATE(VectorWrite, 7);
BENCHMARK_TEMPLATE(VectorWrite, 16);
BENCHMARK_TEMPLATE(VectorWrite, 32);
BENCHMARK_TEMPLATE(PacketRead, 1);
BENCHMARK_TEMPLATE(PacketRead, 7);
BENCHMARK_TEMPLATE(PacketRead, 16);
BENCHMARK_TEMPLATE(PacketRead, 32);
BENCHMARK_TEMPLATE(VectorRead, 1);
BENCHMARK_TEMPLATE(VectorRead, 7);
BENCHMARK_TEMPLATE(VectorRead, 16);
BENCHMARK_TEMPLATE(VectorRead, 32);
BENCHMARK_TEMPLATE(PacketReadFolded, 1);
BENCHMARK_TEMPLATE(PacketReadFolded, 7);
BENCHMARK_TEMPLATE(PacketReadFolded, 16);
BENCHMARK_TEMPLATE(PacketReadFolded, 32);
BENCHMARK_TEMPLATE(VectorReadFolded, 1);
BENCHMARK_TEMPLATE(VectorReadFolded, 7);
BENCHMARK_TEMPLATE(VectorReadFolded, 16);
BENCHMARK_TEMPLATE(VectorReadFolded, 32);
BENCHMARK(PacketString);
BENCHMARK(VectorString);
BENCHMARK(PacketCollision);
BENCHMARK(VectorCollision);
