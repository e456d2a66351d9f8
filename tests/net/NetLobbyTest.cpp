// Hosting or joining from the two-player wait screen: which keys it takes, what the address
// line accepts, and how a session it started is let go.
#include "app/net/NetLobby.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
constexpr int kEscape = 0x01, kEnter = 0x1C, kBackspace = 8;

void Type(CNetLobby& lobby, const std::string& text)
{
    for (char c : text)
        lobby.Char(static_cast<unsigned char>(c));
}
} // namespace

TEST(NetLobbyTest, AnAddressHoldsLettersDigitsDotsDashesAndAColon)
{
    const struct
    {
        int c;
        bool taken;
    } cases[] = {{'0', true}, {'9', true}, {'a', true},   {'Z', true},  {'.', true},
                 {'-', true}, {':', true}, {' ', false},  {'/', false}, {'@', false},
                 {0, false},  {13, false}, {0xB0, false}, {'_', false}};
    for (const auto& c : cases)
        EXPECT_EQ(CNetLobby::AddressChar(c.c), c.taken) << c.c;
}

TEST(NetLobbyTest, OnlyItsOwnKeysAreTakenAndEscapeCancelsTheLine)
{
    CNetLobby lobby;
    // The players' keys, Enter and Escape stay with the screen (Escape still quits there).
    for (int key : {0x1E, 0x20, 0x24, 0xCB, 0xCD, 0xCF, kEnter, kEscape, 0x3B})
        EXPECT_FALSE(lobby.Key(key, 1)) << key;
    EXPECT_FALSE(lobby.Char('1'));
    ASSERT_TRUE(lobby.Key(CNetLobby::KEY_JOIN, 1));
    EXPECT_TRUE(lobby.Typing());
    Type(lobby, "10.0.0.7 x/");
    lobby.Char(kBackspace);
    EXPECT_EQ(lobby.Address(), "10.0.0.7");
    EXPECT_NE(lobby.Notice(0.0).find("join: 10.0.0.7_"), std::string::npos);
    Type(lobby, std::string(200, '1'));
    EXPECT_EQ(lobby.Address().size(), size_t(CNetLobby::MAX_ADDRESS));
    EXPECT_TRUE(lobby.Key(kEscape, 1));
    EXPECT_FALSE(lobby.Typing());
    EXPECT_EQ(lobby.Match(), nullptr);
    EXPECT_EQ(lobby.Notice(0.0), "");
}

TEST(NetLobbyTest, EnterJoinsTheTypedAddressAndAnEndedSessionIsLetGo)
{
    // A port that is taken and never answers.
    const int silent = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(getsockname(silent, reinterpret_cast<sockaddr*>(&a), &n), 0);

    CNetLobby lobby;
    lobby.Key(CNetLobby::KEY_JOIN, 1);
    EXPECT_TRUE(lobby.Key(kEnter, 1)); // nothing typed: nothing joined
    EXPECT_EQ(lobby.Match(), nullptr);
    Type(lobby, "127.0.0.1:" + std::to_string(ntohs(a.sin_port)));
    ASSERT_TRUE(lobby.Key(kEnter, 1));
    ASSERT_NE(lobby.Match(), nullptr);
    EXPECT_FALSE(lobby.Typing());
    EXPECT_EQ(lobby.Notice(0.0).rfind("joining 127.0.0.1:", 0), 0u) << lobby.Notice(0.0);
    EXPECT_FALSE(lobby.Key(CNetLobby::KEY_HOST, 1)); // one session at a time
    EXPECT_FALSE(lobby.Close(0.0));
    EXPECT_NE(lobby.Match(), nullptr); // still joining: kept

    lobby.Match()->Leave();
    EXPECT_TRUE(lobby.Close(10.0));
    EXPECT_EQ(lobby.Match(), nullptr);
    EXPECT_EQ(lobby.Notice(11.0), "you left the match");
    EXPECT_EQ(lobby.Notice(15.0), "");
    close(silent);
}
