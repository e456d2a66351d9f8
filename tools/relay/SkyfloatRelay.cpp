// A bad network on loopback, between a joining Skyfloat and its host: every datagram is held
// half the round trip, give or take the jitter, some are held longer (so they overtake each
// other) and some are lost, all from a fixed seed. The joiner joins the relay's port; the relay
// passes its datagrams on to the host from a port of its own and the answers back.
//
//   skyfloat_relay --to 127.0.0.1:PORT [--port P] [--rtt MS] [--jitter MS] [--loss PERCENT]
//                  [--reorder PERCENT] [--seed N] [--idle SECONDS]
//
// It prints "relaying on port P" once it listens, and what it did when it stops: after
// --idle seconds without a datagram (5 by default), at most ten minutes after it started.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <queue>
#include <random>
#include <string>
#include <vector>

namespace
{
struct Settings
{
    sockaddr_in host{};
    unsigned port = 0;
    double rttMs = 100.0, jitterMs = 10.0, lossPercent = 5.0, reorderPercent = 2.0;
    unsigned seed = 1;
    double idleSeconds = 5.0;
};

struct Held
{
    double due;
    unsigned long order; // the earlier of two with the same time goes first
    bool toHost;
    std::string bytes;
    bool operator>(const Held& o) const { return due != o.due ? due > o.due : order > o.order; }
};

struct Side
{
    unsigned long passed = 0, lost = 0, late = 0;
};

double Now()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

int Usage()
{
    std::fprintf(stderr, "usage: skyfloat_relay --to 127.0.0.1:PORT [--port P] [--rtt MS] "
                         "[--jitter MS] [--loss PERCENT] [--reorder PERCENT] [--seed N] "
                         "[--idle SECONDS]\n");
    return 2;
}

bool Number(const char* text, double low, double high, double* out)
{
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (!end || end == text || *end || !(v >= low && v <= high))
        return false;
    *out = v;
    return true;
}

// Only loopback: this is a test bench, not a proxy.
bool LoopbackAddress(const char* text, sockaddr_in* out)
{
    const char* colon = std::strrchr(text, ':');
    double port = 0;
    if (!colon || !Number(colon + 1, 1, 65535, &port))
        return false;
    const std::string host(text, colon);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    if (inet_pton(AF_INET, host.c_str(), &a.sin_addr) != 1 ||
        (ntohl(a.sin_addr.s_addr) >> 24) != 127)
        return false;
    *out = a;
    return true;
}

bool Parse(int argc, char** argv, Settings* s)
{
    bool haveHost = false;
    for (int i = 1; i < argc; ++i)
    {
        if (i + 1 >= argc)
            return false;
        const char* key = argv[i];
        const char* value = argv[++i];
        double v = 0;
        if (std::strcmp(key, "--to") == 0)
            haveHost = LoopbackAddress(value, &s->host);
        else if (std::strcmp(key, "--port") == 0 && Number(value, 0, 65535, &v))
            s->port = unsigned(v);
        else if (std::strcmp(key, "--rtt") == 0 && Number(value, 0, 10000, &v))
            s->rttMs = v;
        else if (std::strcmp(key, "--jitter") == 0 && Number(value, 0, 10000, &v))
            s->jitterMs = v;
        else if (std::strcmp(key, "--loss") == 0 && Number(value, 0, 100, &v))
            s->lossPercent = v;
        else if (std::strcmp(key, "--reorder") == 0 && Number(value, 0, 100, &v))
            s->reorderPercent = v;
        else if (std::strcmp(key, "--seed") == 0 && Number(value, 0, 4294967295.0, &v))
            s->seed = unsigned(v);
        else if (std::strcmp(key, "--idle") == 0 && Number(value, 0.1, 600, &v))
            s->idleSeconds = v;
        else
            return false;
    }
    return haveHost;
}

int Bound(unsigned port)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
    {
        close(fd);
        return -1;
    }
    return fd;
}

unsigned PortOf(int fd)
{
    sockaddr_in a{};
    socklen_t n = sizeof a;
    return getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n) == 0 ? ntohs(a.sin_port) : 0;
}
} // namespace

int main(int argc, char** argv)
{
    Settings s;
    if (!Parse(argc, argv, &s))
        return Usage();
    // One socket faces the joiner, one the host, so the host sees a single peer.
    const int outside = Bound(s.port), inside = Bound(0);
    if (outside < 0 || inside < 0)
    {
        std::fprintf(stderr, "skyfloat_relay: no socket on 127.0.0.1\n");
        return 1;
    }
    std::printf("relaying on port %u\n", PortOf(outside));
    std::fflush(stdout);

    std::mt19937 random(s.seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::priority_queue<Held, std::vector<Held>, std::greater<Held>> held;
    sockaddr_in joiner{};
    bool haveJoiner = false;
    Side sides[2]; // 0: to the host, 1: to the joiner
    unsigned long order = 0;
    const double start = Now();
    double lastHeard = start;

    while (Now() - lastHeard < s.idleSeconds && Now() - start < 600.0)
    {
        double wait = 0.05;
        if (!held.empty())
            wait = held.top().due - Now();
        pollfd fds[2] = {{outside, POLLIN, 0}, {inside, POLLIN, 0}};
        poll(fds, 2, wait <= 0.0 ? 0 : int(wait * 1000.0) + 1);

        for (int which = 0; which < 2; ++which)
            for (int i = 0; i < 256; ++i) // bounded: a flood cannot hold the deliveries
            {
                char buffer[2048];
                sockaddr_in from{};
                socklen_t n = sizeof from;
                const ssize_t got = recvfrom(which == 0 ? outside : inside, buffer, sizeof buffer,
                                             0, reinterpret_cast<sockaddr*>(&from), &n);
                if (got < 0)
                    break;
                const bool toHost = which == 0;
                if (toHost)
                {
                    joiner = from; // the joiner is whoever last spoke from outside
                    haveJoiner = true;
                }
                else if (from.sin_addr.s_addr != s.host.sin_addr.s_addr ||
                         from.sin_port != s.host.sin_port)
                    continue;
                lastHeard = Now();
                Side& side = sides[toHost ? 0 : 1];
                if (unit(random) * 100.0 < s.lossPercent)
                {
                    ++side.lost;
                    continue;
                }
                double delay = s.rttMs / 2.0 + (unit(random) * 2.0 - 1.0) * s.jitterMs;
                if (unit(random) * 100.0 < s.reorderPercent)
                {
                    delay += s.rttMs / 4.0 + 20.0;
                    ++side.late;
                }
                held.push({lastHeard + (delay < 0.0 ? 0.0 : delay) / 1000.0, order++, toHost,
                           std::string(buffer, size_t(got))});
            }

        const double now = Now();
        while (!held.empty() && held.top().due <= now)
        {
            const Held& h = held.top();
            if (h.toHost)
                sendto(inside, h.bytes.data(), h.bytes.size(), 0,
                       reinterpret_cast<const sockaddr*>(&s.host), sizeof s.host);
            else if (haveJoiner)
                sendto(outside, h.bytes.data(), h.bytes.size(), 0,
                       reinterpret_cast<const sockaddr*>(&joiner), sizeof joiner);
            ++sides[h.toHost ? 0 : 1].passed;
            held.pop();
        }
    }
    std::printf("relay: to the host %lu passed, %lu lost, %lu held late; to the joiner %lu "
                "passed, %lu lost, %lu held late\n",
                sides[0].passed, sides[0].lost, sides[0].late, sides[1].passed, sides[1].lost,
                sides[1].late);
    close(outside);
    close(inside);
    return 0;
}
