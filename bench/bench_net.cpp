// The network layer's work for one frame of a match, on one side: its inputs datagram
// (eight unacknowledged inputs and the latest hash) encoded and sent over loopback, and the
// peer's received and decoded. Compare with BM_BusyTwoPlayerLevelFrame, the frame it serves.
#include "app/net/NetMessage.h"
#include "app/net/UdpSocket.h"

#include <benchmark/benchmark.h>

namespace
{
NetMessage FrameInputs(uint32_t frame)
{
    NetMessage m;
    m.kind = NET_INPUTS;
    m.token = 0x0123456789abcdefull;
    m.first = frame;
    m.count = 8;
    for (unsigned i = 0; i < m.count; ++i)
        m.inputs[i] = uint8_t((frame + i) % 8);
    m.ack = frame;
    m.hashFrame = frame / 60 * 60;
    m.hash = 0xdeadbeefcafef00dull;
    m.sentMs = frame * 17u | 1u;
    return m;
}

void BM_NetEncodeInputs(benchmark::State& state)
{
    uint32_t frame = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(EncodeNetMessage(FrameInputs(frame++)));
}
BENCHMARK(BM_NetEncodeInputs);

void BM_NetDecodeInputs(benchmark::State& state)
{
    const std::string bytes = EncodeNetMessage(FrameInputs(1234));
    NetMessage m;
    for (auto _ : state)
        benchmark::DoNotOptimize(DecodeNetMessage(bytes.data(), bytes.size(), &m));
}
BENCHMARK(BM_NetDecodeInputs);

void BM_NetFrameExchange(benchmark::State& state)
{
    CUdpSocket a, b;
    if (!a.Open("127.0.0.1", 0) || !b.Open("127.0.0.1", 0))
    {
        state.SkipWithError("no loopback socket");
        return;
    }
    sockaddr_in to{};
    ParseAddress("127.0.0.1:" + std::to_string(b.Port()), 0, &to);
    uint8_t buffer[2048];
    sockaddr_in from{};
    uint32_t frame = 0;
    for (auto _ : state)
    {
        const std::string bytes = EncodeNetMessage(FrameInputs(frame++));
        a.SendTo(to, bytes.data(), bytes.size());
        double arrival = 0.0;
        long n = -1;
        for (int i = 0; i < 1000 && n < 0; ++i) // loopback delivers at once; bounded anyway
            n = b.Receive(buffer, sizeof buffer, &from, &arrival);
        NetMessage m;
        benchmark::DoNotOptimize(n > 0 && DecodeNetMessage(buffer, size_t(n), &m));
    }
}
BENCHMARK(BM_NetFrameExchange);
} // namespace
