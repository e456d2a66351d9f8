// The level choice of the wait screens and the one-player clear rule.
#include "../map/WorldFixture.h"
#include "core/LevelChoice.h"
#include "scenes/Level.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace
{
struct ChoiceCase
{
    const char* name;
    int cleared;     ///< levels a single player cleared first, one digit each (0: none)
    bool twoPlayers; ///< the mode the arrows are pressed in
    int steps[4];    ///< arrow presses (0 ends)
    int chosen;      ///< the level chosen afterwards
};

TEST(LevelChoice, ArrowsStayWithinTheOpenLevels)
{
    const ChoiceCase cases[] = {
        {"level 1 is the default", 0, false, {0}, 1},
        {"one player starts with only level 1", 0, false, {1, 1, 0}, 1},
        {"two players have every level", 0, true, {1, 1, 1, 1}, 4},
        {"two players stop at the first", 0, true, {-1, 0}, 1},
        {"two players step back", 0, true, {1, 1, -1, 0}, 2},
        {"a clear opens the next level", 1, false, {1, 1, 0}, 2},
        {"a clear of level 2 opens level 3", 12, false, {-1, 0}, 2},
        {"the last level stays the last", 1234, false, {1, 0}, 4},
    };
    for (const ChoiceCase& c : cases)
    {
        CLevelChoice choice;
        const std::string order = c.cleared ? std::to_string(c.cleared) : "";
        for (char d : order)
            choice.Cleared(d - '0');
        for (int step : c.steps)
            if (step)
                choice.Step(step, c.twoPlayers);
        EXPECT_EQ(choice.GetChosen(c.twoPlayers), c.chosen) << c.name;
    }
}

TEST(LevelChoice, ClearingChoosesTheNextLevel)
{
    CLevelChoice choice;
    choice.Cleared(1);
    EXPECT_EQ(choice.GetChosen(false), 2);
    EXPECT_EQ(choice.GetOpened(), 2);
    EXPECT_TRUE(choice.IsOpen(2, false));
    EXPECT_FALSE(choice.IsOpen(3, false));
    EXPECT_TRUE(choice.IsOpen(4, true));
}

TEST(LevelChoice, TwoPlayerChoiceBeyondTheOpenLevelsFallsBackForOnePlayer)
{
    CLevelChoice choice;
    choice.Choose(4);
    EXPECT_EQ(choice.GetChosen(true), 4);
    EXPECT_EQ(choice.GetChosen(false), 1);
    choice.Choose(9); // not a level: the choice stands
    EXPECT_EQ(choice.GetChosen(true), 4);
    choice.Choose(0);
    EXPECT_EQ(choice.GetChosen(true), 4);
}

TEST(LevelChoice, WhatIsOpenIsKeptBetweenRuns)
{
    struct
    {
        const char* name;
        std::string file; ///< progress.cfg before the run; "-" none, "/" a folder
        int before;       ///< level cleared in this run before loading (0: none)
        int opened;       ///< open after loading
    } cases[] = {
        {"no file: level 1", "-", 0, 1},
        {"two levels open", "[单人]\n已开放关卡=2\n", 0, 2},
        {"a hand-edited number stays within the levels", "[单人]\n已开放关卡=99\n", 0, 4},
        {"a number below 1 opens level 1", "[单人]\n已开放关卡=-5\n", 0, 1},
        {"a folder in its place opens nothing", "/", 0, 1},
        {"nothing in this run is lost to an older file", "[单人]\n已开放关卡=2\n", 3, 4},
        {"a file too big opens nothing", "[单人]\n已开放关卡=3\n" + std::string(5000, ';'), 0, 1},
    };
    for (const auto& c : cases)
    {
        zantest::ScopedWorkDir dir;
        if (c.file == "/")
            std::filesystem::create_directory("progress.cfg");
        else if (c.file != "-")
            zantest::WriteFile("progress.cfg", c.file);
        CLevelChoice choice;
        if (c.before)
            choice.Cleared(c.before);
        choice.Load();
        EXPECT_EQ(choice.GetOpened(), c.opened) << c.name;
        EXPECT_EQ(choice.GetChosen(false), c.opened) << c.name;
        if (c.file == "/")
            continue;
        // Saved and read back by the next run, it opens the same levels.
        ASSERT_TRUE(choice.Save()) << c.name;
        CLevelChoice next;
        next.Load();
        EXPECT_EQ(next.GetOpened(), c.opened) << c.name;
    }
}

TEST(LevelRules, OnlyASinglePlayerWithALifeLeftAtTimeUpClears)
{
    struct
    {
        int birds, lives;
        bool timeUp, clears;
    } cases[] = {
        {1, 3, true, true},   {1, 1, true, true},  {1, 0, true, false},
        {1, 2, false, false}, {2, 3, true, false}, {2, 1, false, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CLevel::Clears(c.birds, c.lives, c.timeUp), c.clears)
            << c.birds << " birds, " << c.lives << " lives, time up " << c.timeUp;
}
} // namespace
