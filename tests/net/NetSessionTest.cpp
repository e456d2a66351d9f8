// One network session played by two objects in this process over 127.0.0.1: who gets the
// joining player's seat, which level the joiner plays, and how a rematch starts. Every wait is
// bounded.
#include "app/net/NetMatch.h"
#include "app/net/NetMessage.h"
#include "app/replay/MatchHash.h"
#include "core/LevelChoice.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <functional>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
typedef std::unique_ptr<CNetMatch> Side;

Side Host()
{
    Side h(CNetMatch::Host(0, "127.0.0.1"));
    h->SetSeed(777);
    return h;
}

Side JoinTo(const Side& host)
{
    return Side(CNetMatch::Join("127.0.0.1:" + std::to_string(host->Port())));
}

// Pumps every side until `done` holds or `seconds` pass; false on time-out.
bool Until(std::initializer_list<CNetMatch*> sides, const std::function<bool()>& done,
           double seconds = 5.0)
{
    const double end = CNetMatch::Clock() + seconds;
    while (CNetMatch::Clock() < end)
    {
        for (CNetMatch* s : sides)
            s->Pump(0.0);
        if (done())
            return true;
        usleep(1000);
    }
    return false;
}

// Both sides start their match and play `frames` frames of it.
void Play(CNetMatch* a, CNetMatch* b, uint32_t frames)
{
    for (CNetMatch* s : {a, b})
    {
        ASSERT_EQ(s->AutoStart(), 2);
        delete s->MakeFeed(s->MakeStart(2));
    }
    uint32_t played[2] = {0, 0};
    ASSERT_TRUE(Until({a, b},
                      [&]
                      {
                          CNetMatch* sides[2] = {a, b};
                          for (int i = 0; i < 2; ++i)
                              for (int n = sides[i]->Ready(0.0); n > 0 && played[i] < frames;
                                   --n, ++played[i])
                                  sides[i]->Next();
                          return played[0] >= frames && played[1] >= frames;
                      }));
}

struct Stranger
{
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    ~Stranger() { close(fd); }
    void Send(uint16_t port, const NetMessage& m) const
    {
        const std::string bytes = EncodeNetMessage(m);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
};

NetMessage Hello(uint64_t token, uint64_t build)
{
    NetMessage m;
    m.kind = NET_HELLO;
    m.token = token;
    m.build = build;
    m.dataHash = MatchDataHash();
    m.sentMs = 1;
    return m;
}
} // namespace

TEST(NetSessionTest, NoOtherAddressOrTokenEverTakesTheJoiningSeat)
{
    Side host = Host();
    ASSERT_EQ(host->State(), CNetMatch::NET_WAITING);
    Stranger stranger;
    // Before anyone joined: a player of another build is told why, and gets no seat; a request
    // with the token no joiner ever draws is dropped.
    stranger.Send(host->Port(), Hello(99, BuildFingerprint() ^ 1));
    stranger.Send(host->Port(), Hello(0, BuildFingerprint()));
    ASSERT_TRUE(Until({host.get()}, [&] { return host->Count().dropped >= 1; }));
    usleep(20000);
    host->Pump(0.0);
    EXPECT_EQ(host->State(), CNetMatch::NET_WAITING);
    EXPECT_NE(host->Notice().find("could not join"), std::string::npos) << host->Notice();

    Side join = JoinTo(host);
    ASSERT_TRUE(Until({host.get(), join.get()},
                      [&] {
                          return host->State() == CNetMatch::NET_PLAYING &&
                                 join->State() == CNetMatch::NET_PLAYING;
                      }));
    // During the session: a second player, and a stranger who knows nothing, are both turned
    // away; the match goes on with the player who joined.
    const unsigned dropped = host->Count().dropped;
    Side second = JoinTo(host);
    stranger.Send(host->Port(), Hello(12345, BuildFingerprint()));
    Until(
        {host.get(), join.get(), second.get()}, [] { return false; }, 0.3);
    Play(host.get(), join.get(), 30);
    EXPECT_EQ(second->State(), CNetMatch::NET_WAITING);
    EXPECT_GE(host->Count().dropped, dropped + 2);
    EXPECT_EQ(host->State(), CNetMatch::NET_PLAYING);
    EXPECT_EQ(join->State(), CNetMatch::NET_PLAYING);
}

TEST(NetSessionTest, TheJoinerPlaysTheLevelTheHostChose)
{
    for (int level = 1; level <= CLevelChoice::LEVEL_COUNT; ++level)
    {
        Side host = Host();
        host->SetLevel(level);
        host->SetLevel(CLevelChoice::LEVEL_COUNT + 1); // out of range: the choice stands
        Side join = JoinTo(host);
        ASSERT_TRUE(Until({host.get(), join.get()},
                          [&] { return join->State() == CNetMatch::NET_PLAYING; }));
        EXPECT_EQ(host->MakeStart(2).level, level);
        EXPECT_EQ(join->MakeStart(2).level, level);
        EXPECT_EQ(join->MakeStart(2).seed, 777u);
    }
}

TEST(NetSessionTest, ARematchStartsWhenBothAgreeWithANewSeed)
{
    Side host = Host(), join;
    join = JoinTo(host);
    for (CNetMatch* s : {host.get(), join.get()})
        s->SetRematch(true);
    ASSERT_TRUE(Until({host.get(), join.get()},
                      [&] {
                          return host->State() == CNetMatch::NET_PLAYING &&
                                 join->State() == CNetMatch::NET_PLAYING;
                      }));
    Play(host.get(), join.get(), 20);
    host->MatchOver();
    join->MatchOver();
    EXPECT_EQ(host->State(), CNetMatch::NET_BETWEEN);
    EXPECT_EQ(join->State(), CNetMatch::NET_BETWEEN);

    // One player alone does not start it.
    EXPECT_TRUE(join->Key(0x1C)); // Enter
    Until(
        {host.get(), join.get()}, [] { return false; }, 0.3);
    EXPECT_EQ(host->State(), CNetMatch::NET_BETWEEN);
    EXPECT_NE(host->Notice().find("rematch wanted"), std::string::npos) << host->Notice();

    host->Rematch(); // the host, asked second, starts it at once
    EXPECT_EQ(host->State(), CNetMatch::NET_PLAYING);
    ASSERT_TRUE(Until({host.get(), join.get()},
                      [&] {
                          return host->State() == CNetMatch::NET_PLAYING &&
                                 join->State() == CNetMatch::NET_PLAYING;
                      }));
    EXPECT_EQ(host->Round(), 2u);
    EXPECT_EQ(join->Round(), 2u);
    EXPECT_EQ(host->Seed(), join->Seed());
    EXPECT_NE(host->Seed(), 777u);
    Play(host.get(), join.get(), 20);

    // Leaving between matches ends the session on both sides.
    host->MatchOver();
    join->MatchOver();
    EXPECT_TRUE(join->Key(0x01)); // Escape
    EXPECT_EQ(join->State(), CNetMatch::NET_ENDED);
    ASSERT_TRUE(Until({host.get()}, [&] { return host->State() == CNetMatch::NET_ENDED; }));
    EXPECT_EQ(host->EndReason(), "the other player left");
    EXPECT_FALSE(host->Key(0x01));
}

TEST(NetSessionTest, WithoutRematchesAFinishedMatchEndsTheSession)
{
    Side host = Host(), join;
    join = JoinTo(host);
    ASSERT_TRUE(Until({host.get(), join.get()},
                      [&] {
                          return host->State() == CNetMatch::NET_PLAYING &&
                                 join->State() == CNetMatch::NET_PLAYING;
                      }));
    Play(host.get(), join.get(), 10);
    host->MatchOver();
    EXPECT_EQ(host->State(), CNetMatch::NET_ENDED);
    EXPECT_FALSE(host->Key(0x1C));
}
