// Two headless copies of the program play a network match on 127.0.0.1: both keep the same
// replay, and it re-simulates to its hashes; a peer that disappears ends the match cleanly.
#include "TestSupport.h"
#include "replay/ReplayFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
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

pid_t Start(const std::string& dir, const std::vector<std::string>& args)
{
    const pid_t pid = fork();
    if (pid == 0)
    {
        if (chdir(dir.c_str()) != 0 || !freopen("out.txt", "w", stdout) ||
            !freopen("err.txt", "w", stderr))
            _exit(3);
        std::vector<char*> argv;
        const std::string program = std::string(ZAN_BINARY_DIR) + "/bin/Skyfloat";
        argv.push_back(const_cast<char*>(program.c_str()));
        argv.push_back(const_cast<char*>("--headless"));
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        alarm(280); // bounded whatever happens
        execv(program.c_str(), argv.data());
        _exit(4);
    }
    return pid;
}

int Wait(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
} // namespace

TEST(NetMatchTest, BothSidesKeepTheSameReplayAndItChecks)
{
    zantest::ScopedWorkDir dir;
    const std::string host = Seat("host"), join = Seat("join");
    const pid_t h = Start(host, {"--host", "47931"});
    usleep(200000);
    const pid_t j = Start(join, {"--join", "127.0.0.1:47931"});
    EXPECT_EQ(Wait(j), 0);
    EXPECT_EQ(Wait(h), 0);
    const std::string a = zantest::ReadFile(host + "/replays/last.skyreplay");
    const std::string b = zantest::ReadFile(join + "/replays/last.skyreplay");
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(a, b);
    Replay r;
    ASSERT_TRUE(DecodeReplay(a, &r, nullptr));
    EXPECT_EQ(r.start.network, 1);
    EXPECT_GT(r.hashes.size(), 90u); // the whole 100 s match
    const pid_t c = Start(host, {"--replay", "replays/last.skyreplay", "--check"});
    EXPECT_EQ(Wait(c), 0);
}

TEST(NetMatchTest, APeerThatDisappearsEndsTheMatchCleanly)
{
    zantest::ScopedWorkDir dir;
    const std::string host = Seat("host"), join = Seat("join");
    const pid_t h = Start(host, {"--host", "47932"});
    usleep(200000);
    const pid_t j = Start(join, {"--join", "127.0.0.1:47932"});
    sleep(3);
    kill(j, SIGKILL);
    Wait(j);
    EXPECT_EQ(Wait(h), 0);
    const std::string out = zantest::ReadFile(host + "/err.txt");
    EXPECT_NE(out.find("the other player has gone silent"), std::string::npos) << out;
    Replay r;
    EXPECT_TRUE(LoadReplay(host + "/replays/last.skyreplay", &r, nullptr));
}
