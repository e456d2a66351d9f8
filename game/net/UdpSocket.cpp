#include "net/UdpSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

bool CUdpSocket::Open(const char* address, uint16_t port)
{
    Close();
    m_nFd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_nFd < 0)
        return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
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

long CUdpSocket::Receive(void* buffer, size_t size, sockaddr_in* from)
{
    if (m_nFd < 0)
        return -1;
    socklen_t n = sizeof *from;
    const ssize_t got = recvfrom(m_nFd, buffer, size, MSG_DONTWAIT | MSG_TRUNC,
                                 reinterpret_cast<sockaddr*>(from), &n);
    return got < 0 ? -1 : long(got);
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
