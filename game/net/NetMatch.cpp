#include "net/NetMatch.h"

#include "replay/MatchHash.h"
#include "replay/MatchSession.h"

#include <cstdio>
#include <random>

namespace
{
constexpr double kSilence = 5.0;    // seconds without a datagram that end the match
constexpr double kLateNotice = 0.5; // seconds of waiting that show the notice
constexpr double kHelloEvery = 0.1;
constexpr int kCatchUp = 4; // frames one pass may run to catch up with the clock

uint64_t RandomToken()
{
    std::random_device rd;
    uint64_t t = 0;
    while (t == 0)
        t = uint64_t(rd()) << 32 | rd();
    return t;
}

// The peer's inputs must arrive before this side needs them: half the round trip plus a
// frame of sending interval, in whole frames, at least one.
int DelayFor(double roundTripMs)
{
    const double frameMs = CNetMatch::STEP_MICROS / 1000.0;
    int frames = int((roundTripMs / 2.0 + 20.0) / frameMs + 0.999);
    return frames < 1 ? 1 : frames > CNetMatch::MAX_DELAY ? CNetMatch::MAX_DELAY : frames;
}

const char* RefusalText(uint32_t refusal)
{
    switch (refusal)
    {
    case REFUSE_PROTOCOL:
        return "the other player's program speaks another protocol version";
    case REFUSE_BUILD:
        return "the other player's program was built differently (build fingerprint differs)";
    case REFUSE_DATA:
        return "the other player's data files differ";
    default:
        return "refused";
    }
}

class CNetFeed : public IMatchFeed
{
public:
    explicit CNetFeed(CNetMatch* match) : m_pMatch(match) {}
    int Ready(double now) override { return m_pMatch->Ready(now); }
    MatchFrame Next(double) override { return m_pMatch->Next(); }
    void Key(int dik, bool down) override { m_pMatch->Key(dik, down); }
    bool Hashed(uint32_t frames, uint64_t hash) override { return m_pMatch->Hashed(frames, hash); }
    bool Over() const override { return m_pMatch->Over(); }
    std::string Notice() const override { return m_pMatch->Notice(); }

private:
    CNetMatch* m_pMatch;
};
} // namespace

CNetMatch::CNetMatch(bool host)
    : m_bHost(host), m_Peer(), m_bBound(false), m_nToken(0), m_eState(NET_WAITING), m_nDelay(0),
      m_bStarted(false), m_bQuitAfter(false), m_dLastHeard(-1.0), m_dLastHello(-1.0),
      m_dPlayStart(0.0), m_dWaitSince(-1.0), m_nEcho(0), m_nPeerAck(0),
      m_nSimulated(0), m_PeerHash{0, 0}
{
    m_Start.build = BuildFingerprint();
    m_Start.dataHash = MatchDataHash();
    m_Start.players = 2;
    m_Start.network = 1;
}

CNetMatch::~CNetMatch()
{
    if (m_eState == NET_PLAYING)
        Leave();
}

CNetMatch* CNetMatch::Host(uint16_t port, const char* bindAddress)
{
    CNetMatch* m = new CNetMatch(true);
    if (!m->m_Socket.Open(bindAddress, port))
        m->End("the port could not be opened");
    m->m_Start.seed = uint32_t(RandomToken());
    return m;
}

CNetMatch* CNetMatch::Join(const std::string& peer)
{
    CNetMatch* m = new CNetMatch(false);
    if (!ParseAddress(peer, DEFAULT_PORT, &m->m_Peer))
        m->End("no such address: " + peer);
    else if (!m->m_Socket.Open("0.0.0.0", 0))
        m->End("no socket could be opened");
    m->m_bBound = true;
    m->m_nToken = RandomToken();
    return m;
}

void CNetMatch::End(const std::string& why)
{
    if (m_eState == NET_ENDED)
        return;
    m_eState = NET_ENDED;
    m_strEnd = why;
    std::fprintf(stderr, "Skyfloat: network match over: %s\n", why.c_str());
}

void CNetMatch::Leave()
{
    if (m_bBound && m_eState != NET_ENDED)
        for (int i = 0; i < 3; ++i)
        {
            NetMessage bye;
            bye.kind = NET_BYE;
            Send(bye, m_dLastHeard);
        }
    End("you left the match");
}

void CNetMatch::Send(NetMessage& m, double now)
{
    m.token = m_nToken;
    if (!m.sentMs)
        m.sentMs = Ms(now) | 1u;
    const std::string bytes = EncodeNetMessage(m);
    if (m_Socket.SendTo(m_Peer, bytes.data(), bytes.size()))
    {
        ++m_Count.sent;
        m_Count.bytesSent += bytes.size() + 28; // with the IPv4 and UDP headers
    }
}

void CNetMatch::Pump(double now)
{
    if (m_dLastHeard < 0.0)
        m_dLastHeard = now;
    if (m_eState == NET_ENDED)
        return;
    Receive(now);
    if (m_eState == NET_ENDED)
        return;
    if (!m_bHost && m_eState == NET_WAITING && now - m_dLastHello >= kHelloEvery)
    {
        NetMessage hello;
        hello.kind = NET_HELLO;
        hello.build = m_Start.build;
        hello.dataHash = m_Start.dataHash;
        hello.echoMs = m_nEcho;
        Send(hello, now);
        m_dLastHello = now;
    }
    if (m_eState == NET_PLAYING)
        SendInputs(now);
    // A joiner waits for its host as long as it likes; a match under way does not.
    if ((m_eState == NET_PLAYING || (m_bHost && m_bBound)) && now - m_dLastHeard > kSilence)
        End("the other player has gone silent");
}

void CNetMatch::Receive(double now)
{
    uint8_t buffer[2048];
    sockaddr_in from{};
    // Bounded: a flood cannot hold the frame.
    for (int i = 0; i < 256; ++i)
    {
        const long n = m_Socket.Receive(buffer, sizeof buffer, &from);
        if (n < 0)
            return;
        NetMessage m;
        const bool fromPeer = !m_bBound || SameAddress(from, m_Peer);
        if (!fromPeer || size_t(n) > sizeof buffer || !DecodeNetMessage(buffer, size_t(n), &m) ||
            (m_bBound && m_nToken && m.token != m_nToken) || (!m_bBound && m.kind != NET_HELLO))
        {
            ++m_Count.dropped;
            continue;
        }
        ++m_Count.received;
        m_Count.bytesReceived += uint64_t(n) + 28;
        m_dLastHeard = now;
        Handle(m, from, now);
        if (m_eState == NET_ENDED)
            return;
    }
}

void CNetMatch::Handle(const NetMessage& m, const sockaddr_in& from, double now)
{
    switch (m.kind)
    {
    case NET_HELLO:
    {
        if (!m_bHost)
            return;
        NetMessage welcome;
        welcome.kind = NET_WELCOME;
        welcome.build = m_Start.build;
        welcome.dataHash = m_Start.dataHash;
        if (!m_bBound)
        {
            m_bBound = true;
            m_Peer = from;
            m_nToken = m.token;
        }
        welcome.refusal = m.protocol != NetMessage::PROTOCOL ? REFUSE_PROTOCOL
                          : m.build != m_Start.build         ? REFUSE_BUILD
                          : m.dataHash != m_Start.dataHash   ? REFUSE_DATA
                                                             : REFUSE_NONE;
        if (m_eState == NET_WAITING && welcome.refusal == REFUSE_NONE && m.echoMs)
        {
            m_nDelay = DelayFor(double(Ms(now) - m.echoMs));
            m_eState = NET_PLAYING;
            m_dPlayStart = now;
        }
        welcome.seed = m_Start.seed;
        welcome.delay = uint8_t(m_nDelay);
        welcome.echoMs = m.sentMs;
        Send(welcome, now);
        if (welcome.refusal != REFUSE_NONE)
            End(RefusalText(welcome.refusal));
        return;
    }
    case NET_WELCOME:
        if (m_bHost || m_eState != NET_WAITING)
            return;
        if (m.refusal != REFUSE_NONE)
        {
            End(RefusalText(m.refusal));
            return;
        }
        m_nEcho = m.sentMs;
        if (m.delay > 0)
        {
            m_nDelay = m.delay;
            m_Start.seed = m.seed;
            m_eState = NET_PLAYING;
            m_dPlayStart = now;
        }
        return;
    case NET_INPUTS:
    {
        if (m_eState != NET_PLAYING)
            return;
        if (m_Remote.size() < size_t(m_nDelay))
            m_Remote.assign(size_t(m_nDelay), 0);
        for (unsigned i = 0; i < m.count; ++i)
            if (m.first + i == m_Remote.size())
                m_Remote.push_back(m.inputs[i]);
        if (m.ack > m_nPeerAck && m.ack <= m_Local.size())
            m_nPeerAck = m.ack;
        if (m.hashFrame > m_PeerHash.frame)
            m_PeerHash = {m.hashFrame, m.hash};
        CompareHashes();
        return;
    }
    case NET_BYE:
        End("the other player left the match");
        return;
    default:
        return;
    }
}

void CNetMatch::SendInputs(double now)
{
    NetMessage m;
    m.kind = NET_INPUTS;
    m.first = m_nPeerAck;
    const size_t left = m_Local.size() > m_nPeerAck ? m_Local.size() - m_nPeerAck : 0;
    m.count =
        uint8_t(left < size_t(NetMessage::MAX_INPUTS) ? left : size_t(NetMessage::MAX_INPUTS));
    for (unsigned i = 0; i < m.count; ++i)
        m.inputs[i] = m_Local[m_nPeerAck + i];
    m.ack = uint32_t(m_Remote.size());
    if (!m_LocalHashes.empty())
    {
        m.hashFrame = m_LocalHashes.back().frame;
        m.hash = m_LocalHashes.back().hash;
    }
    Send(m, now);
}

void CNetMatch::CompareHashes()
{
    for (const FrameHash& h : m_LocalHashes)
        if (h.frame == m_PeerHash.frame && h.hash != m_PeerHash.hash)
        {
            char why[128];
            std::snprintf(why, sizeof why, "the two games went apart at frame %u (desync)",
                          h.frame);
            End(why);
        }
}

int CNetMatch::AutoStart()
{
    if (m_eState != NET_PLAYING || m_bStarted)
        return 0;
    m_bStarted = true;
    return 2;
}

MatchStart CNetMatch::MakeStart(int)
{
    return m_Start;
}

IMatchFeed* CNetMatch::MakeFeed(const MatchStart&)
{
    m_Latch = CKeyLatch(m_bHost ? 0 : 1);
    if (m_Local.size() < size_t(m_nDelay))
        m_Local.assign(size_t(m_nDelay), 0);
    if (m_Remote.size() < size_t(m_nDelay))
        m_Remote.assign(size_t(m_nDelay), 0);
    return new CNetFeed(this);
}

void CNetMatch::Ended(const CMatchSession& match)
{
    IMatchDirector::Ended(match);
    if (m_eState == NET_PLAYING)
        Leave();
}

int CNetMatch::Ready(double now)
{
    if (m_eState != NET_PLAYING || !m_bStarted)
        return 0;
    // Paced by the program's clock at 60 steps a second, whatever the display's rate.
    const double due = (now - m_dPlayStart) * 1e6 / STEP_MICROS;
    int wanted = int(due) - int(m_nSimulated);
    if (wanted > kCatchUp)
        wanted = kCatchUp;
    int ready = 0;
    while (ready < wanted && m_nSimulated + uint32_t(ready) < m_Remote.size())
        ++ready;
    if (wanted > 0 && ready == 0)
    {
        ++m_Count.stallFrames;
        if (m_dWaitSince < 0.0)
            m_dWaitSince = now;
    }
    else if (ready > 0)
        m_dWaitSince = -1.0;
    m_dLastNow = now;
    return ready;
}

MatchFrame CNetMatch::Next()
{
    const uint32_t frame = m_nSimulated++;
    const uint8_t seat = m_bHost ? 0 : 1;
    while (m_Local.size() <= size_t(frame) + size_t(m_nDelay))
        m_Local.push_back(m_Latch.Take(seat));
    MatchFrame f{STEP_MICROS, {0, 0}};
    f.input[seat] = m_Local[frame];
    f.input[1 - seat] = m_Remote[frame];
    return f;
}

bool CNetMatch::Hashed(uint32_t frames, uint64_t hash)
{
    m_LocalHashes.push_back({frames, hash});
    if (m_LocalHashes.size() > 16)
        m_LocalHashes.erase(m_LocalHashes.begin());
    CompareHashes();
    return m_eState != NET_ENDED;
}

std::string CNetMatch::Notice() const
{
    if (m_eState == NET_ENDED)
        return m_strEnd;
    if (m_eState == NET_WAITING)
        return m_bHost ? "waiting for a player to join" : "joining...";
    if (m_dWaitSince >= 0.0 && m_dLastNow - m_dWaitSince > kLateNotice)
        return "waiting for the other player";
    return std::string();
}
