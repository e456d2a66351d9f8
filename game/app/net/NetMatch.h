// A two-player match between two programs in delay-based lockstep over UDP. Both advance in
// steps of 1/60 s from the same seed, each only with inputs both have; the local input is
// used `delay` frames after it was taken, the delay chosen by the host from round trips
// measured in the handshake. Every datagram repeats the inputs the peer has not acknowledged.
// All timing here (pacing, round trips, timeouts) reads the monotonic clock, never the
// match's clock nor a headless program's virtual one.
#pragma once

#include "app/net/NetMessage.h"
#include "app/net/UdpSocket.h"
#include "app/replay/MatchDirector.h"

#include <string>
#include <vector>

class CNetMatch : public IMatchDirector
{
public:
    enum
    {
        DEFAULT_PORT = 47800,
        STEP_MICROS = 16667,
        MAX_DELAY = 6,
        RTT_SAMPLES = 4 ///< round trips the host measures before it picks the delay
    };
    enum EState
    {
        NET_WAITING, ///< host waiting for a player, or joiner waiting for the host
        NET_PLAYING,
        NET_BETWEEN, ///< a match finished; the next starts when both players agree
        NET_ENDED    ///< the session is over
    };
    struct Counters
    {
        unsigned sent = 0, received = 0, dropped = 0;
        uint64_t bytesSent = 0, bytesReceived = 0; ///< with the IPv4 and UDP headers
        double stalledSeconds = 0.0; ///< time the match stood waiting for the peer's inputs
        double playSeconds = 0.0;    ///< from the first step to the end
        unsigned StallFrames() const { return unsigned(stalledSeconds * 60.0 + 0.5); }
    };

    /// Host on `port` of `bindAddress` (0: any free port, see Port()), or join `peer`
    /// ("ADDRESS[:PORT]").
    static CNetMatch* Host(uint16_t port, const char* bindAddress = "0.0.0.0");
    static CNetMatch* Join(const std::string& peer);
    ~CNetMatch() override;

    /// The monotonic clock in seconds.
    static double Clock();
    /// The input delay in frames that covers a round trip of `roundTripMs`.
    static int DelayFor(double roundTripMs);
    /// A scripted player's input bits for `frame` of a match of `seed` (none in the first
    /// MAX_DELAY frames, so every delay plays the same match).
    static uint8_t ScriptedInput(uint32_t seed, uint32_t frame);

    void Pump(double now) override;
    int AutoStart() override;
    MatchStart MakeStart(int players) override;
    IMatchFeed* MakeFeed(const MatchStart& start) override;
    void Ended(const CMatchSession& match) override;
    /// Once the session is over (a finished match alone offers a rematch instead).
    bool QuitAfter() const override { return m_bQuitAfter && m_eState == NET_ENDED; }
    /// The host's level, sent to the joiner in the handshake.
    bool ChoosesLevel() const override { return true; }
    bool GaveUp() const override { return m_eState == NET_ENDED; }
    std::string Notice() const override;
    /// Escape leaves; between matches, Enter asks for a rematch.
    bool Key(int dik) override;
    bool HoldsScreens() const override { return m_eState != NET_ENDED; }

    /// The game ended the match (time-up or the last life, the same frame on both sides): the
    /// session offers a rematch, or ends when none is offered.
    void MatchOver();
    /// Leaves the match or the session (Escape): the peer is told and the session ends here.
    void Leave();
    /// Between matches: this player wants another. The host starts it, with a new seed, once
    /// both want it.
    void Rematch();
    /// Whether a finished match offers a rematch (otherwise it ends the session).
    void SetRematch(bool offered) { m_bRematch = offered; }
    /// The level the host plays (1 to CLevelChoice::LEVEL_COUNT); the joiner learns it.
    void SetLevel(int level);
    int Level() const { return m_Start.level; }
    /// Matches started in this session, the first being 1.
    uint32_t Round() const { return m_nRound; }
    /// The current match's seed.
    uint32_t Seed() const { return m_Start.seed; }
    /// After the end, keeps answering until the peer has what it needs to reach the same
    /// frame, at most `seconds`; returns at once when nothing is owed.
    void Linger(double seconds);
    EState State() const { return m_eState; }
    /// True while this side, having ended first, still feeds its peer the inputs to the same
    /// frame.
    bool Owed() const;
    /// True when no match was played or it ended in a desync.
    bool Failed() const { return !m_bStarted || m_bDesync; }
    const std::string& EndReason() const { return m_strEnd; }
    int Delay() const { return m_nDelay; }
    /// The round trip the delay was chosen from, in milliseconds (-1: not measured).
    double RoundTripMs() const { return m_dRoundTripMs; }
    uint16_t Port() const { return m_Socket.Port(); }
    const Counters& Count() const { return m_Count; }
    void SetQuitAfter(bool quit) { m_bQuitAfter = quit; }
    /// The local bird plays ScriptedInput(seed, ...) instead of the keys.
    void SetScript(uint32_t seed);
    /// The host's match seed (tests choose one to compare matches).
    void SetSeed(uint32_t seed) { m_Start.seed = seed; }
    /// The match ends after `frames` frames (0: when the game ends it).
    void SetFrameLimit(uint32_t frames) { m_nFrameLimit = frames; }
    /// Sleeps between steps instead of spinning (a headless program has no display to wait on).
    void SetYield(bool yield) { m_bYield = yield; }

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
    void HandleHello(const NetMessage& m, const sockaddr_in& from, double now);
    void Send(NetMessage& m, double now);
    void SendHello(double now);
    void SendInputs(double now);
    void SendBye(double now);
    void SendRematch(double now);
    void HandleRematch(const NetMessage& m, double now);
    /// The next match of the session, on both sides from the same seed.
    void StartRound(uint32_t seed, double now);
    uint32_t NextSeed() const;
    /// The match ended here at this frame; the peer may still need our inputs to reach it.
    void StopAt(double now);
    void Finish(const std::string& why, double now);
    void End(const std::string& why);
    void CompareHashes();
    void Rest(double now);
    static uint32_t Ms(double seconds) { return uint32_t(uint64_t(seconds * 1000.0)); }

    bool m_bHost;
    CUdpSocket m_Socket;
    sockaddr_in m_Peer;
    std::string m_strPeer;
    bool m_bBound;
    uint64_t m_nToken;
    EState m_eState;
    std::string m_strEnd;
    MatchStart m_Start;
    int m_nDelay;
    double m_dRoundTripMs;
    std::vector<double> m_RoundTrips;
    bool m_bStarted; ///< a match of the session began
    bool m_bInMatch; ///< the game runs the current round's match
    bool m_bRematch;
    bool m_bWantRematch, m_bPeerWants;
    bool m_bGoUnheard; ///< host: the joiner has not yet shown it started the new round
    uint32_t m_nRound;
    uint32_t m_nBaseSeed;     ///< the host's first seed; later ones derive from it
    std::string m_strRefused; ///< host: why the last player who tried could not join
    bool m_bDesync;
    bool m_bQuitAfter;
    bool m_bYield;
    bool m_bScripted;
    uint32_t m_nScriptSeed;
    uint32_t m_nFrameLimit;
    uint32_t m_nPeerEnd;  ///< the frame the peer left at (UINT32_MAX: still there)
    uint32_t m_nEndFrame; ///< the frame this side ended at
    bool m_bOwesPeer;     ///< ended here first: the peer may still need our inputs
    double m_dLingerUntil;
    double m_dOpened;
    double m_dLastHeard;
    double m_dLastHello;
    double m_dLastRematch;
    double m_dNextSend;
    double m_dPlayStart;
    double m_dStalledRound; ///< stalls of the current match
    double m_dWaitSince;
    double m_dLastNow;
    uint32_t m_nEcho; ///< the host's stamp to echo
    double m_dEchoAt; ///< when it arrived
    CKeyLatch m_Latch;
    std::vector<uint8_t> m_Local, m_Remote;
    uint32_t m_nPeerAck;
    uint32_t m_nSimulated;
    std::vector<FrameHash> m_LocalHashes;
    FrameHash m_PeerHash;
    Counters m_Count;
};
