// A two-player match between two programs in delay-based lockstep over UDP. Both advance in
// steps of 1/60 s from the same seed, each only with inputs both have; the local input is
// used `delay` frames after it was taken, the delay chosen by the host from the round trip
// measured in the handshake. Every datagram repeats the inputs the peer has not acknowledged.
#pragma once

#include "net/NetMessage.h"
#include "net/UdpSocket.h"
#include "replay/MatchDirector.h"

#include <string>
#include <vector>

class CNetMatch : public IMatchDirector
{
public:
    enum
    {
        DEFAULT_PORT = 47800,
        STEP_MICROS = 16667,
        MAX_DELAY = 6
    };
    enum EState
    {
        NET_WAITING, ///< host waiting for a player, or joiner waiting for the host
        NET_PLAYING,
        NET_ENDED
    };
    struct Counters
    {
        unsigned sent = 0, received = 0, dropped = 0;
        uint64_t bytesSent = 0, bytesReceived = 0;
        unsigned stallFrames = 0; ///< passes the match waited for the peer's inputs
    };

    /// Host on `port` of `bindAddress`, or join `peer` ("ADDRESS[:PORT]").
    static CNetMatch* Host(uint16_t port, const char* bindAddress = "0.0.0.0");
    static CNetMatch* Join(const std::string& peer);
    ~CNetMatch() override;

    void Pump(double now) override;
    int AutoStart() override;
    MatchStart MakeStart(int players) override;
    IMatchFeed* MakeFeed(const MatchStart& start) override;
    void Ended(const CMatchSession& match) override;
    bool QuitAfter() const override { return m_bQuitAfter; }
    std::string Notice() const override;

    /// Leaves the match (Escape): the peer is told and the match ends here.
    void Leave();
    EState State() const { return m_eState; }
    const std::string& EndReason() const { return m_strEnd; }
    int Delay() const { return m_nDelay; }
    uint16_t Port() const { return m_Socket.Port(); }
    const Counters& Count() const { return m_Count; }
    void SetQuitAfter(bool quit) { m_bQuitAfter = quit; }

    // The feed's side.
    int Ready(double now);
    MatchFrame Next();
    void Key(int dik, bool down) { m_Latch.Key(dik, down); }
    bool Hashed(uint32_t frames, uint64_t hash);
    bool Over() const { return m_eState == NET_ENDED; }

private:
    CNetMatch(bool host);
    void Receive(double now);
    void Handle(const NetMessage& m, const sockaddr_in& from, double now);
    void Send(NetMessage& m, double now);
    void SendInputs(double now);
    void End(const std::string& why);
    void CompareHashes();
    static uint32_t Ms(double seconds) { return uint32_t(uint64_t(seconds * 1000.0)); }

    bool m_bHost;
    CUdpSocket m_Socket;
    sockaddr_in m_Peer;
    bool m_bBound;
    uint64_t m_nToken;
    EState m_eState;
    std::string m_strEnd;
    MatchStart m_Start;
    int m_nDelay;
    bool m_bStarted;
    bool m_bQuitAfter;
    double m_dLastHeard;
    double m_dLastHello;
    double m_dPlayStart;
    double m_dWaitSince;
    double m_dLastNow = 0.0;
    uint32_t m_nEcho;
    CKeyLatch m_Latch;
    std::vector<uint8_t> m_Local, m_Remote;
    uint32_t m_nPeerAck;
    uint32_t m_nSimulated;
    std::vector<FrameHash> m_LocalHashes;
    FrameHash m_PeerHash;
    Counters m_Count;
};
