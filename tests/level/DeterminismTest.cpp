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

// Starts one match in a child process, so each run begins from a fresh engine; the child
// writes the state hash of every second into the returned pipe.
int StartMatch(int players, unsigned seconds, pid_t* child)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    *child = fork();
    if (*child != 0)
    {
        close(fds[1]);
        return fds[0];
    }
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

std::vector<uint64_t> Collect(int fd, pid_t child)
{
    std::vector<uint64_t> hashes;
    uint64_t h;
    while (read(fd, &h, sizeof h) == ssize_t(sizeof h))
        hashes.push_back(h);
    close(fd);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return hashes;
}

// The match is played to its end, by time or by a bird's last life.
void ExpectSameEverySecond(int players, unsigned seconds)
{
    pid_t a = 0, b = 0;
    const int fdA = StartMatch(players, seconds, &a);
    const int fdB = StartMatch(players, seconds, &b);
    ASSERT_GE(fdA, 0);
    ASSERT_GE(fdB, 0);
    const std::vector<uint64_t> first = Collect(fdA, a);
    const std::vector<uint64_t> second = Collect(fdB, b);
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
