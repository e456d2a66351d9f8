// Two headless copies of the program play a network match on 127.0.0.1, directly or through
// the relay's bad network: both keep the same replay, and it re-simulates to its hashes; a peer
// that disappears ends the match cleanly; a joiner with no host gives up; datagrams from
// strangers change nothing. Every port is chosen by the system, never fixed.
#include "TestSupport.h"
#include "app/net/NetMessage.h"
#include "app/replay/ReplayFile.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <netinet/in.h>
#include <random>
#include <regex>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
// A copy of the data in its own folder, where one program runs.
std::string Seat(const std::string& name)
{
    fs::create_directory(name);
    for (const fs::directory_entry& e : fs::directory_iterator(zantest::SourcePath("data")))
        fs::create_symlink(e.path(), fs::path(name) / e.path().filename());
    return fs::absolute(name).string();
}

pid_t Launch(const std::string& dir, const std::string& program, std::vector<std::string> args)
{
    const pid_t pid = fork();
    if (pid == 0)
    {
        if (chdir(dir.c_str()) != 0 || !freopen("out.txt", "w", stdout) ||
            !freopen("err.txt", "w", stderr))
            _exit(3);
        const std::string path = std::string(ZAN_BINARY_DIR) + "/bin/" + program;
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(path.c_str()));
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        alarm(100); // bounded whatever happens
        execv(path.c_str(), argv.data());
        _exit(4);
    }
    return pid;
}

pid_t Start(const std::string& dir, std::vector<std::string> args)
{
    args.insert(args.begin(), "--headless");
    return Launch(dir, "Skyfloat", args);
}

int Wait(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The first number after `prefix` in the file, once it is there (0 after 10 s without).
long Announced(const std::string& file, const std::string& prefix)
{
    const std::regex number(prefix + "([0-9]+)");
    for (int i = 0; i < 200; ++i)
    {
        std::smatch m;
        const std::string text = zantest::ReadFile(file);
        if (std::regex_search(text, m, number))
            return std::stol(m[1]);
        usleep(50000);
    }
    return 0;
}

// A host of a scripted match of `frames` frames; returns its port.
std::string Host(const std::string& dir, pid_t* pid, const char* frames = "600")
{
    *pid = Start(dir, {"--host", "0", "--seed", "4242", "--script", "1", "--frames", frames});
    return std::to_string(Announced(dir + "/out.txt", "hosting on port "));
}

pid_t Join(const std::string& dir, const std::string& port, const char* frames = "600")
{
    return Start(dir, {"--join", "127.0.0.1:" + port, "--script", "2", "--frames", frames});
}

struct Sender
{
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    ~Sender() { close(fd); }
    void To(const std::string& port, const std::string& bytes) const
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(std::stoi(port)));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
};
} // namespace

TEST(NetMatchTest, BothSidesKeepTheSameReplayAndItChecks)
{
    zantest::ScopedWorkDir dir;
    const std::string host = Seat("host"), join = Seat("join");
    pid_t h = 0;
    const pid_t j = Join(join, Host(host, &h));
    EXPECT_EQ(Wait(j), 0);
    EXPECT_EQ(Wait(h), 0);
    const std::string a = zantest::ReadFile(host + "/replays/last.skyreplay");
    const std::string b = zantest::ReadFile(join + "/replays/last.skyreplay");
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(a, b);
    Replay r;
    ASSERT_TRUE(DecodeReplay(a, &r, nullptr));
    EXPECT_EQ(r.start.network, 1);
    EXPECT_EQ(r.frames.size(), 600u);
    EXPECT_EQ(r.hashes.size(), 10u);
    const pid_t c = Start(host, {"--replay", "replays/last.skyreplay", "--check"});
    EXPECT_EQ(Wait(c), 0);
}

TEST(NetMatchTest, APeerThatDisappearsEndsTheMatchCleanly)
{
    zantest::ScopedWorkDir dir;
    const std::string host = Seat("host"), join = Seat("join");
    pid_t h = 0;
    const pid_t j = Join(join, Host(host, &h));
    sleep(3);
    kill(j, SIGKILL);
    Wait(j);
    EXPECT_EQ(Wait(h), 0);
    const std::string out = zantest::ReadFile(host + "/err.txt");
    EXPECT_NE(out.find("the other player has gone silent"), std::string::npos) << out;
    Replay r;
    EXPECT_TRUE(LoadReplay(host + "/replays/last.skyreplay", &r, nullptr));
}

TEST(NetMatchTest, ThroughABadNetworkBothAgreeOnEveryHashAndTheReplay)
{
    zantest::ScopedWorkDir dir;
    const std::string host = Seat("host"), join = Seat("join"), relay = Seat("relay");
    pid_t h = 0;
    const std::string port = Host(host, &h, "900");
    const pid_t r = Launch(relay, "skyfloat_relay",
                           {"--to", "127.0.0.1:" + port, "--rtt", "100", "--jitter", "10", "--loss",
                            "5", "--reorder", "2", "--seed", "7", "--idle", "3"});
    const long relayPort = Announced(relay + "/out.txt", "relaying on port ");
    ASSERT_GT(relayPort, 0);
    const pid_t j = Join(join, std::to_string(relayPort), "900");
    EXPECT_EQ(Wait(j), 0);
    EXPECT_EQ(Wait(h), 0);
    EXPECT_EQ(Wait(r), 0);
    const std::string a = zantest::ReadFile(host + "/replays/last.skyreplay");
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(a, zantest::ReadFile(join + "/replays/last.skyreplay"));
    Replay replay;
    ASSERT_TRUE(DecodeReplay(a, &replay, nullptr));
    EXPECT_EQ(replay.hashes.size(), 15u);
    // The round trip was measured on the real clock: the delay covers half of 100 ms.
    EXPECT_GE(Announced(host + "/out.txt", "delay "), 4);
    const std::string lost = zantest::ReadFile(relay + "/out.txt");
    EXPECT_EQ(lost.find(" 0 lost"), std::string::npos) << lost; // the link did lose some
    EXPECT_EQ(Wait(Start(join, {"--replay", "replays/last.skyreplay", "--check"})), 0);
}

TEST(NetMatchTest, DatagramsFromStrangersChangeNothingAndAreCounted)
{
    zantest::ScopedWorkDir dir;
    const std::string clean = Seat("clean"), cleanJoin = Seat("cleanjoin");
    pid_t h = 0;
    const pid_t j = Join(cleanJoin, Host(clean, &h));
    ASSERT_EQ(Wait(j), 0);
    ASSERT_EQ(Wait(h), 0);

    const std::string host = Seat("host"), join = Seat("join");
    const std::string port = Host(host, &h);
    const pid_t j2 = Join(join, port);
    sleep(2); // past the handshake: the host has its player
    NetMessage inputs;
    inputs.kind = NET_INPUTS;
    inputs.count = 8;
    NetMessage hello;
    hello.kind = NET_HELLO;
    std::mt19937 random(3);
    Sender stranger;
    const int kSent = 300;
    for (int i = 0; i < kSent; ++i)
    {
        std::string bytes;
        switch (i % 4)
        {
        case 0: // bytes of no protocol
            bytes.resize(1 + random() % 600);
            for (char& c : bytes)
                c = char(random());
            break;
        case 1: // well-formed, with a guessed token
            inputs.token = random();
            inputs.first = random() % 600;
            bytes = EncodeNetMessage(inputs);
            break;
        case 2: // a second player asking to join
            bytes = EncodeNetMessage(hello);
            break;
        default: // larger than any datagram of the match
            bytes.assign(1500, 'x');
        }
        stranger.To(port, bytes);
        usleep(4000);
    }
    EXPECT_EQ(Wait(j2), 0);
    EXPECT_EQ(Wait(h), 0);
    EXPECT_EQ(Announced(host + "/out.txt", "dropped "), kSent);
    const std::string a = zantest::ReadFile(host + "/replays/last.skyreplay");
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(a, zantest::ReadFile(clean + "/replays/last.skyreplay"));
    EXPECT_EQ(a, zantest::ReadFile(join + "/replays/last.skyreplay"));
}

TEST(NetMatchTest, AJoinerWithNoHostGivesUpWithAMessage)
{
    zantest::ScopedWorkDir dir;
    const std::string join = Seat("join");
    // A port that is taken and never answers.
    Sender silent;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    ASSERT_EQ(bind(silent.fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(getsockname(silent.fd, reinterpret_cast<sockaddr*>(&a), &n), 0);
    const pid_t j = Start(join, {"--join", "127.0.0.1:" + std::to_string(ntohs(a.sin_port))});
    EXPECT_EQ(Wait(j), 1);
    const std::string err = zantest::ReadFile(join + "/err.txt");
    EXPECT_NE(err.find("no host answered"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(join + "/replays/last.skyreplay"));
}

TEST(NetMatchTest, TheHostsLevelIsPlayedAndKeptOnBothSides)
{
    zantest::ScopedWorkDir dir;
    const std::string host = Seat("host"), join = Seat("join");
    pid_t h = Start(host, {"--host", "0", "--level", "3", "--script", "1", "--frames", "120"});
    const std::string port = std::to_string(Announced(host + "/out.txt", "hosting on port "));
    const pid_t j = Join(join, port, "120");
    EXPECT_EQ(Wait(j), 0);
    EXPECT_EQ(Wait(h), 0);
    for (const std::string& side : {host, join})
    {
        Replay r;
        ASSERT_TRUE(LoadReplay(side + "/replays/last.skyreplay", &r, nullptr)) << side;
        EXPECT_EQ(r.start.level, 3) << side;
    }
    // A joiner takes the host's level, never names one.
    EXPECT_EQ(Wait(Start(join, {"--join", "127.0.0.1:1", "--level", "2"})), 2);
}
