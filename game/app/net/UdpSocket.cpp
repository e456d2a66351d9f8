#include "app/net/UdpSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

namespace
{
double Seconds(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}
} // namespace

bool CUdpSocket::Open(const char* address, uint16_t port)
{
    Close();
    m_nFd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_nFd < 0)
        return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    const int on = 1;
    setsockopt(m_nFd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on); // a missing stamp is "now"
    if (inet_pton(AF_INET, address, &a.sin_addr) != 1 ||
        bind(m_nFd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
    {
        Close();
        return false;
    }
    return true;
}

void CUdpSocket::Close()
{
    if (m_nFd >= 0)
        close(m_nFd);
    m_nFd = -1;
}

uint16_t CUdpSocket::Port() const
{
    sockaddr_in a{};
    socklen_t n = sizeof a;
    if (m_nFd < 0 || getsockname(m_nFd, reinterpret_cast<sockaddr*>(&a), &n) != 0)
        return 0;
    return ntohs(a.sin_port);
}

bool CUdpSocket::SendTo(const sockaddr_in& to, const void* bytes, size_t size)
{
    return m_nFd >= 0 && sendto(m_nFd, bytes, size, MSG_DONTWAIT,
                                reinterpret_cast<const sockaddr*>(&to), sizeof to) == ssize_t(size);
}

long CUdpSocket::Receive(void* buffer, size_t size, sockaddr_in* from, double* arrival)
{
    if (m_nFd < 0)
        return -1;
    iovec io{buffer, size};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    msghdr msg{};
    msg.msg_name = from;
    msg.msg_namelen = sizeof *from;
    msg.msg_iov = &io;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t got = recvmsg(m_nFd, &msg, MSG_DONTWAIT | MSG_TRUNC);
    if (got < 0)
        return -1;
    if (arrival)
    {
        const double now = Seconds(CLOCK_MONOTONIC);
        *arrival = now;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c))
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS &&
                c->cmsg_len >= CMSG_LEN(sizeof(timespec)))
            {
                timespec stamp{};
                std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
                // The stamp is on the wall clock: carried over as its age.
                const double age =
                    Seconds(CLOCK_REALTIME) - (double(stamp.tv_sec) + double(stamp.tv_nsec) / 1e9);
                if (age >= 0.0 && age < 10.0)
                    *arrival = now - age;
            }
    }
    return long(got);
}

bool ParseAddress(const std::string& text, uint16_t defaultPort, sockaddr_in* out)
{
    std::string host = text;
    long port = defaultPort;
    const size_t colon = text.rfind(':');
    if (colon != std::string::npos)
    {
        host = text.substr(0, colon);
        char* end = nullptr;
        port = std::strtol(text.c_str() + colon + 1, &end, 10);
        if (!end || *end || port < 1 || port > 65535)
            return false;
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    if (inet_pton(AF_INET, host.c_str(), &a.sin_addr) != 1)
    {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_DGRAM;
        addrinfo* found = nullptr;
        if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
            return false;
        a.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
        freeaddrinfo(found);
    }
    *out = a;
    return true;
}

bool SameAddress(const sockaddr_in& a, const sockaddr_in& b)
{
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}
