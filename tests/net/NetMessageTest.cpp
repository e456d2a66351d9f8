// Datagrams of a network match: each kind reads back as written; foreign, cut or padded bytes
// are dropped.
#include "app/net/NetMessage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace
{
NetMessage Inputs()
{
    NetMessage m;
    m.kind = NET_INPUTS;
    m.token = 0x0123456789abcdefull;
    m.first = 1234;
    m.count = 40;
    for (unsigned i = 0; i < m.count; ++i)
        m.inputs[i] = uint8_t(i % 8);
    m.ack = 1200;
    m.hashFrame = 1200;
    m.hash = 0xdeadbeefcafef00dull;
    return m;
}
} // namespace

TEST(NetMessageTest, EachKindReadsBackAsWritten)
{
    NetMessage hello;
    hello.kind = NET_HELLO;
    hello.token = 77;
    hello.build = 0x1111;
    hello.dataHash = 0x2222;
    hello.sentMs = 5000;
    hello.heldMs = 17;
    hello.level = 3;
    NetMessage bye;
    bye.kind = NET_BYE;
    bye.token = 78;
    bye.frame = 5999;
    bye.round = 4;
    NetMessage rematch;
    rematch.kind = NET_REMATCH;
    rematch.token = 79;
    rematch.round = 255;
    rematch.agree = 1;
    rematch.seed = 0x89abcdef;
    for (const NetMessage& m : {hello, Inputs(), bye, rematch})
    {
        const std::string bytes = EncodeNetMessage(m);
        ASSERT_LE(bytes.size(), size_t(NetMessage::MAX_BYTES));
        NetMessage back;
        ASSERT_TRUE(DecodeNetMessage(bytes.data(), bytes.size(), &back)) << m.kind;
        EXPECT_EQ(back.kind, m.kind);
        EXPECT_EQ(back.token, m.token);
        EXPECT_EQ(back.build, m.build);
        EXPECT_EQ(back.first, m.first);
        EXPECT_EQ(back.count, m.count);
        for (unsigned i = 0; i < m.count; ++i)
            EXPECT_EQ(back.inputs[i], m.inputs[i]);
        EXPECT_EQ(back.hash, m.hash);
        EXPECT_EQ(back.sentMs, m.sentMs);
        EXPECT_EQ(back.heldMs, m.heldMs);
        EXPECT_EQ(back.frame, m.frame);
        EXPECT_EQ(back.level, m.level);
        EXPECT_EQ(back.round, m.round);
        EXPECT_EQ(back.agree, m.agree);
        EXPECT_EQ(back.seed, m.seed);
    }
}

TEST(NetMessageTest, ForeignCutOrPaddedDatagramsAreDropped)
{
    const std::string good = EncodeNetMessage(Inputs());
    NetMessage hello;
    hello.kind = NET_HELLO;
    hello.level = 5; // past the last level
    NetMessage go;
    go.kind = NET_REMATCH;
    go.seed = 5; // a start nobody agreed to
    NetMessage yes;
    yes.kind = NET_REMATCH;
    yes.agree = 2;
    std::string kind = good;
    kind[4] = 9;
    std::string magic = good;
    magic[0] ^= 0x40;
    std::string count = good;
    count[4 + 1 + 8 + 4] = char(200);
    const struct
    {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"text", "GET / HTTP/1.0\r\n\r\n"},
        {"cut by a byte", good.substr(0, good.size() - 1)},
        {"a byte more", good + '\0'},
        {"unknown kind", kind},
        {"other magic", magic},
        {"more inputs than fit", count},
        {"huge", std::string(4096, 'x')},
        {"no such level", EncodeNetMessage(hello)},
        {"a start without agreeing", EncodeNetMessage(go)},
        {"agreeing twice over", EncodeNetMessage(yes)},
    };
    for (const auto& c : cases)
    {
        NetMessage m;
        EXPECT_FALSE(DecodeNetMessage(c.bytes.data(), c.bytes.size(), &m)) << c.name;
    }
}
