// A local match leaves a replay that the program re-simulates to the hashes recorded live;
// a replay whose inputs were changed is caught at the first hash that differs.
#include "LevelRun.h"
#include "app/replay/MatchHash.h"
#include "app/replay/ReplayFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

using zantest::LevelRun;

namespace
{
struct CheckRun
{
    int status = -1;
    std::vector<std::string> lines;
};

// The program's own check, headless, in the current folder (the run's copy of the data).
CheckRun Check(const std::string& file)
{
    CheckRun run;
    const std::string command =
        std::string(ZAN_BINARY_DIR) + "/bin/Skyfloat --replay " + file + " --check 2>&1";
    FILE* out = popen(command.c_str(), "r");
    if (!out)
        return run;
    char line[256];
    while (std::fgets(line, sizeof line, out))
        run.lines.push_back(line);
    const int status = pclose(out);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Bursts of climbing and turns, different for the two players.
void Keys(unsigned t)
{
    LevelRun::Key(DIK_J, t % 900 < 300);
    LevelRun::Key(DIK_A, (t / 3000) % 2 == 0);
    LevelRun::Key(DIK_D, (t / 3000) % 2 == 1);
    LevelRun::Key(DIK_END, t % 700 < 260);
    LevelRun::Key(DIK_LEFT, (t / 4100) % 2 == 1);
    LevelRun::Key(DIK_RIGHT, (t / 4100) % 2 == 0);
}

// Frame lengths vary as a real display's do.
Replay PlayAndLoad(LevelRun& run, unsigned ms)
{
    unsigned pass = 0;
    run.Play(
        [&](LevelRun& r)
        {
            r.SetFrameTime(14 + (pass++ * 7) % 6);
            if (!r.Level())
                return false;
            Keys(r.Time());
            return true;
        },
        ms);
    run.Shutdown();
    Replay replay;
    std::string error;
    EXPECT_TRUE(LoadReplay("replays/last.skyreplay", &replay, &error)) << error;
    return replay;
}
} // namespace

TEST(LocalReplayTest, AFinishedMatchChecksFrameByFrame)
{
    LevelRun run(2);
    const Replay replay = PlayAndLoad(run, 110 * 1000);
    ASSERT_GT(replay.hashes.size(), 20u); // a long match, however the birds fare
    EXPECT_EQ(replay.start.players, 2);
    EXPECT_EQ(replay.start.build, BuildFingerprint());

    const CheckRun check = Check("replays/last.skyreplay");
    EXPECT_EQ(check.status, 0);
    std::vector<std::string> expected;
    for (const FrameHash& h : replay.hashes)
        expected.push_back("frame " + std::to_string(h.frame) + " " + HashText(h.hash) + "\n");
    std::vector<std::string> printed;
    for (const std::string& line : check.lines)
        if (line.rfind("frame ", 0) == 0)
            printed.push_back(line);
    EXPECT_EQ(printed, expected);
}

TEST(LocalReplayTest, AMatchLeftEarlyIsKeptAndChecks)
{
    LevelRun run(1);
    const Replay replay = PlayAndLoad(run, 20 * 1000);
    EXPECT_EQ(replay.start.players, 1);
    ASSERT_GT(replay.hashes.size(), 10u);
    EXPECT_EQ(Check("replays/last.skyreplay").status, 0);
}

TEST(LocalReplayTest, AChangedInputIsCaughtAtTheNextHash)
{
    LevelRun run(1);
    Replay replay = PlayAndLoad(run, 20 * 1000);
    ASSERT_GT(replay.frames.size(), 400u);
    for (size_t f = 300; f < 400; ++f)
        replay.frames[f].input[0] = INPUT_LEFT;
    zantest::WriteFile("changed.skyreplay", EncodeReplay(replay));
    const CheckRun check = Check("changed.skyreplay");
    EXPECT_EQ(check.status, 1);
    bool named = false;
    for (const std::string& line : check.lines)
        named = named || line.rfind("replay differs at frame 360:", 0) == 0;
    EXPECT_TRUE(named);
}

TEST(LocalReplayTest, ADamagedFileIsRefusedWithAMessage)
{
    zantest::ScopedWorkDir dir;
    zantest::WriteFile("bad.skyreplay", "SKYRPLY\x1a garbage");
    const CheckRun check = Check("bad.skyreplay");
    EXPECT_EQ(check.status, 1);
    ASSERT_FALSE(check.lines.empty());
    EXPECT_EQ(check.lines[0], "Skyfloat: bad.skyreplay: not a Skyfloat replay\n");
}
