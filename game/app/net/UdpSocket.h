// A plain non-blocking UDP socket on IPv4.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string>

class CUdpSocket
{
public:
    CUdpSocket() : m_nFd(-1) {}
    ~CUdpSocket() { Close(); }
    /// Binds to `port` on `address` (0: any free port); false on failure.
    bool Open(const char* address, uint16_t port);
    void Close();
    bool IsOpen() const { return m_nFd >= 0; }
    uint16_t Port() const;
    bool SendTo(const sockaddr_in& to, const void* bytes, size_t size);
    /// One waiting datagram into buffer; -1 when none. `arrival`, when given, is when the
    /// system received it, on the monotonic clock in seconds (so a round trip does not count
    /// the time the datagram waited for the program to look).
    long Receive(void* buffer, size_t size, sockaddr_in* from, double* arrival = nullptr);

private:
    int m_nFd;
};

/// "ADDRESS[:PORT]" into an IPv4 address (numbers or a host name); false when it is neither.
bool ParseAddress(const std::string& text, uint16_t defaultPort, sockaddr_in* out);
bool SameAddress(const sockaddr_in& a, const sockaddr_in& b);
