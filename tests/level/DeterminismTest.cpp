// Whole matches played twice with the same keys on the virtual clock must agree at every
// second: positions, speeds, states, scores, lives and the countdown.
#include "LevelRun.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using zantest::LevelRun;

namespace
{
// A player who climbs in bursts and turns every few seconds; the second player differs.
void ScriptedKeys(unsigned t, int players)
{
    LevelRun::Key(DIK_J, t % 900 < 300);
    LevelRun::Key(DIK_A, (t / 3000) % 2 == 0);
    LevelRun::Key(DIK_D, (t / 3000) % 2 == 1);
    if (players == 2)
    {
        LevelRun::Key(DIK_END, t % 700 < 260);
        LevelRun::Key(DIK_LEFT, (t / 4100) % 2 == 1);
        LevelRun::Key(DIK_RIGHT, (t / 4100) % 2 == 0);
    }
}

// Plays one match in a child process, so each run starts from a fresh engine, and returns
// the state hash of every second.
std::vector<uint64_t> PlayMatch(int players, unsigned seconds)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0)
    {
        close(fds[0]);
        std::vector<uint64_t> hashes;
        {
            LevelRun run(players);
            run.Play(
                [&](LevelRun& r)
                {
                    if (!r.Level())
                        return false;
                    const unsigned t = r.Time();
                    ScriptedKeys(t, players);
                    if (t / 1000 >= hashes.size())
                        hashes.push_back(zantest::StateHash(*r.Level()));
                    return true;
                },
                seconds * 1000);
        }
        const ssize_t bytes = ssize_t(hashes.size() * sizeof(uint64_t));
        const bool written = write(fds[1], hashes.data(), size_t(bytes)) == bytes;
        close(fds[1]);
        _exit(written ? 0 : 1);
    }
    close(fds[1]);
    std::vector<uint64_t> hashes;
    uint64_t h;
    while (read(fds[0], &h, sizeof h) == ssize_t(sizeof h))
        hashes.push_back(h);
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return hashes;
}

// The match is played to its end, by time or by a bird's last life.
void ExpectSameEverySecond(int players, unsigned seconds)
{
    const std::vector<uint64_t> first = PlayMatch(players, seconds);
    const std::vector<uint64_t> second = PlayMatch(players, seconds);
    ASSERT_GE(first.size(), 20u);
    ASSERT_EQ(first.size(), second.size());
    for (size_t s = 0; s < first.size(); ++s)
        ASSERT_EQ(first[s], second[s]) << "second " << s;
}
} // namespace

TEST(DeterminismTest, AOnePlayerMatchPlaysTheSameTwice)
{
    ExpectSameEverySecond(1, 202);
}

TEST(DeterminismTest, ATwoPlayerMatchPlaysTheSameTwice)
{
    ExpectSameEverySecond(2, 102);
}
