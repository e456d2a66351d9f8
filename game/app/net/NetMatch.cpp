#include "app/net/NetMatch.h"

#include "app/replay/MatchHash.h"
#include "app/replay/MatchSession.h"
#include "core/LevelChoice.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <random>

namespace
{
constexpr double kSilence = 5.0;    // seconds without a datagram that end the match
constexpr double kJoinWait = 10.0;  // seconds a joiner waits for its host to answer
constexpr double kLateNotice = 0.5; // seconds of waiting that show the notice
constexpr double kHelloEvery = 0.1;
constexpr double kStep = CNetMatch::STEP_MICROS / 1e6;
constexpr double kSendEvery = 1.0 / 60.0; // one datagram a frame, whatever the display's rate
constexpr double kLinger = 2.0;           // seconds a side that ended first keeps feeding its peer
constexpr int kCatchUp = 4;               // frames one pass may run to catch up with the clock
constexpr uint32_t kNoEnd = 0xffffffffu;
constexpr int kKeyEscape = 0x01, kKeyEnter = 0x1C, kKeyPadEnter = 0x9C;

uint64_t RandomToken()
{
    std::random_device rd;
    uint64_t t = 0;
    while (t == 0)
        t = uint64_t(rd()) << 32 | rd();
    return t;
}

uint64_t Mix(uint64_t x)
{
    x += 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
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
      m_dRoundTripMs(-1.0), m_bStarted(false), m_bInMatch(false), m_bRematch(false),
      m_bWantRematch(false), m_bPeerWants(false), m_bGoUnheard(false), m_nRound(0), m_nBaseSeed(0),
      m_bDesync(false), m_bQuitAfter(false), m_bYield(false), m_bScripted(false), m_nScriptSeed(0),
      m_nFrameLimit(0), m_nPeerEnd(kNoEnd), m_nEndFrame(0), m_bOwesPeer(false), m_dLingerUntil(0.0),
      m_dOpened(Clock()), m_dLastHeard(-1.0), m_dLastHello(-1.0), m_dLastRematch(-1.0),
      m_dNextSend(0.0), m_dPlayStart(0.0), m_dStalledRound(0.0), m_dWaitSince(-1.0),
      m_dLastNow(-1.0), m_nEcho(0), m_dEchoAt(0.0), m_nPeerAck(0), m_nSimulated(0), m_PeerHash{0, 0}
{
    m_Start.build = BuildFingerprint();
    m_Start.dataHash = MatchDataHash();
    m_Start.players = 2;
    m_Start.network = 1;
}

CNetMatch::~CNetMatch()
{
    if (m_eState != NET_ENDED)
        Leave();
}

double CNetMatch::Clock()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// The peer's inputs must arrive before this side needs them. Lockstep settles with the two
// schedules half a round trip apart, so each input has half a round trip to travel; a frame
// and a half more covers the wait for the next pass and the network's jitter.
int CNetMatch::DelayFor(double roundTripMs)
{
    const double frameMs = STEP_MICROS / 1000.0;
    const int frames = int((roundTripMs / 2.0 + 1.5 * frameMs) / frameMs + 0.999);
    return frames < 1 ? 1 : frames > MAX_DELAY ? MAX_DELAY : frames;
}

uint8_t CNetMatch::ScriptedInput(uint32_t seed, uint32_t frame)
{
    if (frame < uint32_t(MAX_DELAY))
        return 0;
    // Half-second runs of steering, a flap about every tenth frame.
    const uint64_t run = Mix(uint64_t(seed) << 32 | (frame / 30));
    uint8_t bits = uint8_t(run % 3); // 0, INPUT_LEFT or INPUT_RIGHT
    if (Mix(uint64_t(~seed) << 32 | frame) % 10 == 0)
        bits |= INPUT_FLAP;
    return bits;
}

CNetMatch* CNetMatch::Host(uint16_t port, const char* bindAddress)
{
    CNetMatch* m = new CNetMatch(true);
    if (!m->m_Socket.Open(bindAddress, port))
        m->End("the port could not be opened");
    m->m_Start.seed = uint32_t(RandomToken()) | 1u;
    return m;
}

CNetMatch* CNetMatch::Join(const std::string& peer)
{
    CNetMatch* m = new CNetMatch(false);
    m->m_strPeer = peer;
    if (!ParseAddress(peer, DEFAULT_PORT, &m->m_Peer))
        m->End("no such address: " + peer);
    else if (!m->m_Socket.Open("0.0.0.0", 0))
        m->End("no socket could be opened");
    m->m_bBound = true;
    m->m_nToken = RandomToken();
    return m;
}

void CNetMatch::SetScript(uint32_t seed)
{
    m_bScripted = true;
    m_nScriptSeed = seed;
}

void CNetMatch::SetLevel(int level)
{
    if (m_bHost && m_eState == NET_WAITING && level >= 1 && level <= CLevelChoice::LEVEL_COUNT)
        m_Start.level = uint8_t(level);
}

void CNetMatch::End(const std::string& why)
{
    if (m_eState == NET_ENDED)
        return;
    if (m_eState == NET_PLAYING && m_bInMatch && m_dLastNow >= 0.0)
        m_Count.playSeconds += Clock() - m_dPlayStart + m_dStalledRound;
    m_eState = NET_ENDED;
    m_strEnd = why;
    std::fprintf(stderr, "Skyfloat: network match over: %s\n", why.c_str());
}

void CNetMatch::StopAt(double now)
{
    m_nEndFrame = m_nSimulated;
    m_bOwesPeer = m_nPeerEnd == kNoEnd;
    m_dLingerUntil = now + kLinger;
    m_dNextSend = 0.0;
}

void CNetMatch::Finish(const std::string& why, double now)
{
    if (m_eState != NET_PLAYING)
    {
        if (m_eState == NET_BETWEEN)
            SendBye(now);
        End(why);
        return;
    }
    StopAt(now);
    End(why);
    SendInputs(now);
}

void CNetMatch::Leave()
{
    const double now = Clock();
    if (m_eState == NET_PLAYING || m_eState == NET_BETWEEN)
        Finish("you left the match", now);
    else if (m_eState == NET_WAITING)
    {
        if (m_bBound)
            SendBye(now);
        End("you left the match");
    }
}

void CNetMatch::Rematch()
{
    if (m_eState != NET_BETWEEN || m_bWantRematch)
        return;
    m_bWantRematch = true;
    if (m_bHost && m_bPeerWants)
        StartRound(NextSeed(), Clock());
    else
        SendRematch(Clock());
}

uint32_t CNetMatch::NextSeed() const
{
    // From the first seed, so a session of a chosen seed plays the same matches again.
    return uint32_t(Mix(uint64_t(m_nBaseSeed) << 8 | (m_nRound + 1))) | 1u;
}

bool CNetMatch::Key(int dik)
{
    if (m_eState == NET_ENDED)
        return false;
    if (dik == kKeyEscape)
    {
        Leave();
        return true;
    }
    if (m_eState == NET_BETWEEN && (dik == kKeyEnter || dik == kKeyPadEnter))
    {
        Rematch();
        return true;
    }
    return false;
}

void CNetMatch::StartRound(uint32_t seed, double now)
{
    ++m_nRound;
    m_Start.seed = seed;
    m_eState = NET_PLAYING;
    m_bInMatch = false;
    m_bWantRematch = m_bPeerWants = false;
    m_bGoUnheard = m_bHost;
    m_Local.assign(size_t(m_nDelay), 0);
    m_Remote.assign(size_t(m_nDelay), 0);
    m_nPeerAck = 0;
    m_nSimulated = 0;
    m_LocalHashes.clear();
    m_PeerHash = {0, 0};
    m_nPeerEnd = kNoEnd;
    m_nEndFrame = 0;
    m_bOwesPeer = false;
    m_dLastNow = m_dWaitSince = -1.0;
    m_dPlayStart = now;
    m_dStalledRound = 0.0;
    m_dNextSend = 0.0;
    if (m_bHost)
        SendRematch(now);
}

void CNetMatch::SendRematch(double now)
{
    NetMessage m;
    m.kind = NET_REMATCH;
    // Between matches it asks for the next; the host's go names the match it started.
    m.round = uint8_t(m_eState == NET_PLAYING ? m_nRound : m_nRound + 1);
    m.agree = m_eState == NET_PLAYING || m_bWantRematch ? 1 : 0;
    m.seed = m_eState == NET_PLAYING && m_bHost ? m_Start.seed : 0;
    Send(m, now);
    m_dLastRematch = now;
}

void CNetMatch::HandleRematch(const NetMessage& m, double now)
{
    if (m_eState == NET_BETWEEN && m.round == uint8_t(m_nRound + 1))
    {
        m_bOwesPeer = false; // the peer is past the match: it needs no more of its inputs
        m_bPeerWants = m.agree != 0;
        if (!m_bHost && m.seed)
            StartRound(m.seed, now);
        else if (m_bHost && m_bWantRematch && m_bPeerWants)
            StartRound(NextSeed(), now);
    }
}

bool CNetMatch::Owed() const
{
    return m_bOwesPeer && m_nPeerEnd == kNoEnd && Clock() < m_dLingerUntil &&
           (m_eState == NET_ENDED || m_nPeerAck < m_nEndFrame);
}

void CNetMatch::Linger(double seconds)
{
    const double until = Clock() + seconds;
    while (Owed() && Clock() < until)
    {
        Pump(0.0);
        timespec pause{0, 2000000};
        nanosleep(&pause, nullptr);
    }
}

void CNetMatch::Send(NetMessage& m, double)
{
    m.token = m_nToken;
    // Stamped as it leaves: a round trip counts only the network and the peer's turn.
    if (!m.sentMs)
        m.sentMs = Ms(Clock()) | 1u;
    const std::string bytes = EncodeNetMessage(m);
    if (m_Socket.SendTo(m_Peer, bytes.data(), bytes.size()))
    {
        ++m_Count.sent;
        m_Count.bytesSent += bytes.size() + 28;
    }
}

void CNetMatch::SendHello(double now)
{
    NetMessage hello;
    hello.kind = NET_HELLO;
    hello.build = m_Start.build;
    hello.dataHash = m_Start.dataHash;
    hello.echoMs = m_nEcho;
    hello.heldMs = m_nEcho ? Ms(Clock() - m_dEchoAt) : 0;
    Send(hello, now);
    m_dLastHello = now;
}

void CNetMatch::SendBye(double now)
{
    NetMessage bye;
    bye.kind = NET_BYE;
    bye.frame = m_eState != NET_PLAYING && m_bOwesPeer ? m_nEndFrame : m_nSimulated;
    bye.round = uint8_t(m_nRound);
    Send(bye, now);
}

void CNetMatch::Pump(double)
{
    const double now = Clock();
    if (m_dLastHeard < 0.0)
        m_dLastHeard = now;
    if (m_eState == NET_ENDED)
    {
        // A side that ended first feeds its peer the inputs to the same frame, and the news.
        if (Owed())
        {
            Receive(now);
            SendInputs(now);
        }
        return;
    }
    Receive(now);
    if (m_eState == NET_ENDED)
        return;
    if (!m_bHost && m_eState == NET_WAITING)
    {
        if (now - m_dLastHello >= kHelloEvery)
            SendHello(now);
        if (now - m_dOpened > kJoinWait)
        {
            char why[256];
            std::snprintf(why, sizeof why, "no host answered at %s within %.0f s",
                          m_strPeer.c_str(), kJoinWait);
            End(why);
            return;
        }
    }
    if (m_eState == NET_PLAYING)
    {
        SendInputs(now);
        // The go is repeated until the joiner's inputs of the new match show it started.
        if (m_bGoUnheard && now - m_dLastRematch >= kHelloEvery)
            SendRematch(now);
    }
    else if (m_eState == NET_BETWEEN)
    {
        if (Owed())
            SendInputs(now);
        // Also what keeps a quiet pause from looking like a lost peer.
        if (now - m_dLastRematch >= kHelloEvery)
            SendRematch(now);
    }
    if ((m_eState != NET_WAITING || (m_bHost && m_bBound)) && now - m_dLastHeard > kSilence)
    {
        End("the other player has gone silent");
        return;
    }
    if (m_bYield)
        Rest(now);
}

void CNetMatch::Rest(double now)
{
    double wait = 0.002;
    if (m_eState == NET_PLAYING && m_bInMatch)
        wait = m_dPlayStart + (m_nSimulated + 1) * kStep - now;
    wait = std::min(std::max(wait, 0.0005), 0.004);
    timespec pause{0, long(wait * 1e9)};
    nanosleep(&pause, nullptr);
}

void CNetMatch::Receive(double now)
{
    uint8_t buffer[2048];
    sockaddr_in from{};
    // Bounded: a flood cannot hold the frame.
    for (int i = 0; i < 256; ++i)
    {
        double arrival = now;
        const long n = m_Socket.Receive(buffer, sizeof buffer, &from, &arrival);
        if (n < 0)
            return;
        NetMessage m;
        // Once a player has joined, the session is that address and that token alone; before,
        // only a request to join is heard. A zero token is never drawn, so it is never valid.
        const bool fromPeer = !m_bBound || SameAddress(from, m_Peer);
        if (!fromPeer || size_t(n) > sizeof buffer || !DecodeNetMessage(buffer, size_t(n), &m) ||
            m.token == 0 || (m_bBound && m.token != m_nToken) || (!m_bBound && m.kind != NET_HELLO))
        {
            ++m_Count.dropped;
            continue;
        }
        ++m_Count.received;
        m_Count.bytesReceived += uint64_t(n) + 28;
        m_dLastHeard = now;
        Handle(m, from, arrival);
    }
}

void CNetMatch::HandleHello(const NetMessage& m, const sockaddr_in& from, double now)
{
    if (!m_bHost || m_eState == NET_ENDED)
        return;
    NetMessage welcome;
    welcome.kind = NET_WELCOME;
    welcome.build = m_Start.build;
    welcome.dataHash = m_Start.dataHash;
    welcome.refusal = m.protocol != NetMessage::PROTOCOL ? REFUSE_PROTOCOL
                      : m.build != m_Start.build         ? REFUSE_BUILD
                      : m.dataHash != m_Start.dataHash   ? REFUSE_DATA
                                                         : REFUSE_NONE;
    if (!m_bBound)
    {
        if (welcome.refusal != REFUSE_NONE)
        {
            // Told why, but given no seat: the host goes on waiting for a player who can play.
            m_strRefused = RefusalText(welcome.refusal);
            welcome.token = m.token;
            welcome.echoMs = m.sentMs;
            welcome.sentMs = Ms(Clock()) | 1u;
            const std::string bytes = EncodeNetMessage(welcome);
            m_Socket.SendTo(from, bytes.data(), bytes.size());
            return;
        }
        m_bBound = true;
        m_Peer = from;
        m_nToken = m.token;
        m_strRefused.clear();
    }
    if (m_eState == NET_WAITING && welcome.refusal == REFUSE_NONE && m.echoMs)
    {
        // The joiner says how long it held our stamp, so its own pacing does not count.
        const int32_t trip = int32_t(Ms(now) - m.echoMs - m.heldMs);
        m_RoundTrips.push_back(trip < 0 ? 0.0 : double(trip));
        if (m_RoundTrips.size() >= size_t(RTT_SAMPLES))
        {
            // The slowest of a few covers the jitter the match will meet.
            m_dRoundTripMs = *std::max_element(m_RoundTrips.begin(), m_RoundTrips.end());
            m_nDelay = DelayFor(m_dRoundTripMs);
            m_eState = NET_PLAYING;
            m_dPlayStart = now;
            m_nRound = 1;
            m_nBaseSeed = m_Start.seed;
        }
    }
    welcome.seed = m_Start.seed;
    welcome.level = m_Start.level;
    welcome.delay = uint8_t(m_nDelay);
    welcome.echoMs = m.sentMs;
    Send(welcome, now);
    if (welcome.refusal != REFUSE_NONE)
        End(RefusalText(welcome.refusal));
}

void CNetMatch::Handle(const NetMessage& m, const sockaddr_in& from, double now)
{
    switch (m.kind)
    {
    case NET_HELLO:
        HandleHello(m, from, now);
        return;
    case NET_WELCOME:
        if (m_bHost || m_eState != NET_WAITING)
            return;
        if (m.refusal != REFUSE_NONE)
        {
            End(RefusalText(m.refusal));
            return;
        }
        m_nEcho = m.sentMs;
        m_dEchoAt = now;
        if (m.delay > 0 && m.level >= 1)
        {
            m_nDelay = m.delay;
            m_Start.seed = m.seed;
            m_Start.level = m.level;
            m_eState = NET_PLAYING;
            m_dPlayStart = now;
            m_nRound = 1;
        }
        else
            SendHello(now); // the host is measuring: answer at once
        return;
    case NET_INPUTS:
    {
        if (m.round != uint8_t(m_nRound))
            return; // late from the last match, or early from one not started here yet
        if (m_bGoUnheard && m_eState == NET_PLAYING)
            m_bGoUnheard = false;
        if (m.ack > m_nPeerAck && m.ack <= m_Local.size())
            m_nPeerAck = m.ack;
        if (m_eState != NET_PLAYING)
            return;
        if (m_Remote.size() < size_t(m_nDelay))
            m_Remote.assign(size_t(m_nDelay), 0);
        for (unsigned i = 0; i < m.count; ++i)
            if (m.first + i == m_Remote.size())
                m_Remote.push_back(m.inputs[i]);
        if (m.hashFrame > m_PeerHash.frame)
            m_PeerHash = {m.hashFrame, m.hash};
        CompareHashes();
        return;
    }
    case NET_BYE:
        if (m_eState == NET_WAITING)
            End(m_bHost ? "the player who joined left" : "the host left");
        else if (m_eState == NET_BETWEEN || m.round != uint8_t(m_nRound))
            End("the other player left");
        else
            m_nPeerEnd = m.frame;
        // Otherwise the match goes on to the frame the peer left at (Ready ends it there).
        return;
    case NET_REMATCH:
        HandleRematch(m, now);
        return;
    default:
        return;
    }
}

void CNetMatch::SendInputs(double now)
{
    if (now < m_dNextSend)
        return;
    m_dNextSend = std::max(m_dNextSend, now - kSendEvery) + kSendEvery;
    NetMessage m;
    m.kind = NET_INPUTS;
    m.first = m_nPeerAck;
    const size_t left = m_Local.size() > m_nPeerAck ? m_Local.size() - m_nPeerAck : 0;
    m.count =
        uint8_t(left < size_t(NetMessage::MAX_INPUTS) ? left : size_t(NetMessage::MAX_INPUTS));
    for (unsigned i = 0; i < m.count; ++i)
        m.inputs[i] = m_Local[m_nPeerAck + i];
    m.ack = uint32_t(m_Remote.size());
    m.round = uint8_t(m_nRound);
    if (!m_LocalHashes.empty())
    {
        m.hashFrame = m_LocalHashes.back().frame;
        m.hash = m_LocalHashes.back().hash;
    }
    Send(m, now);
    if (m_eState == NET_ENDED)
        SendBye(now);
}

void CNetMatch::CompareHashes()
{
    for (const FrameHash& h : m_LocalHashes)
        if (h.frame == m_PeerHash.frame && h.hash != m_PeerHash.hash)
        {
            char why[128];
            std::snprintf(why, sizeof why, "the two games went apart at frame %u (desync)",
                          h.frame);
            m_bDesync = true;
            SendBye(Clock());
            End(why);
            return;
        }
}

int CNetMatch::AutoStart()
{
    if (m_eState != NET_PLAYING || m_bInMatch)
        return 0;
    m_bStarted = m_bInMatch = true;
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
    MatchOver();
    IMatchDirector::Ended(match);
}

void CNetMatch::MatchOver()
{
    const double now = Clock();
    if (m_eState == NET_PLAYING && m_bRematch)
    {
        // Both sides end the match at the same frame; the session waits for a rematch.
        StopAt(now);
        if (m_dLastNow >= 0.0)
            m_Count.playSeconds += now - m_dPlayStart + m_dStalledRound;
        m_eState = NET_BETWEEN;
        m_bInMatch = false;
        SendRematch(now);
    }
    else if (m_eState == NET_PLAYING)
        Finish("the match is over", now);
}

int CNetMatch::Ready(double)
{
    const double now = Clock();
    if (m_eState != NET_PLAYING || !m_bInMatch)
        return 0;
    if (m_dLastNow < 0.0)
        m_dPlayStart = now; // the schedule starts with the first step, after the level loaded
    if (m_nSimulated >= m_nPeerEnd)
    {
        SendBye(now);
        End("the other player left the match");
        return 0;
    }
    if (m_nFrameLimit && m_nSimulated >= m_nFrameLimit)
    {
        Finish("the match is over", now);
        return 0;
    }
    // Paced by the monotonic clock at 60 steps a second, whatever the display's rate.
    const int due = int((now - m_dPlayStart) / kStep);
    int wanted = std::min(due - int(m_nSimulated), kCatchUp);
    const uint32_t limit = std::min(m_nPeerEnd, m_nFrameLimit ? m_nFrameLimit : kNoEnd);
    wanted = int(std::min<int64_t>(wanted, int64_t(limit) - int64_t(m_nSimulated)));
    int ready = 0;
    while (ready < wanted && m_nSimulated + uint32_t(ready) < m_Remote.size())
        ++ready;
    if (wanted > 0 && ready == 0)
    {
        // Waiting moves the schedule back rather than piling up frames to rush through later:
        // the side ahead settles where its peer's inputs arrive in time.
        const double waited = m_dLastNow >= 0.0 ? std::min(now - m_dLastNow, 0.25) : 0.0;
        m_dPlayStart += waited;
        m_Count.stalledSeconds += waited;
        m_dStalledRound += waited;
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
        m_Local.push_back(m_bScripted ? ScriptedInput(m_nScriptSeed, uint32_t(m_Local.size()))
                                      : m_Latch.Take(seat));
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
    if (m_eState == NET_WAITING && m_bHost)
    {
        char line[160];
        std::snprintf(line, sizeof line, "hosting level %d on port %u - Esc cancels",
                      int(m_Start.level), unsigned(Port()));
        return m_strRefused.empty() ? line : "a player could not join: " + m_strRefused;
    }
    if (m_eState == NET_WAITING)
        return "joining " + m_strPeer + "...";
    if (m_eState == NET_BETWEEN)
        // Short lines: the notice shares the window's top right with the sky.
        return m_bWantRematch ? "rematch asked, waiting - Esc: leave"
               : m_bPeerWants ? "rematch wanted - Enter: play, Esc: leave"
                              : "match over - Enter: rematch, Esc: leave";
    if (m_dWaitSince >= 0.0 && m_dLastNow - m_dWaitSince > kLateNotice)
        return "waiting for the other player";
    return std::string();
}
