// The high-score table: its order, its file, its atomic save and damaged files set aside.
#include "../map/WorldFixture.h"
#include "core/ScoreTable.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using zantest::ReadFile;
using zantest::ScopedWorkDir;
using zantest::WriteFile;

namespace
{
std::vector<int> Scores(const CScoreTable& t, int level, bool two)
{
    std::vector<int> out;
    for (const ScoreEntry& e : t.Entries(level, two))
        out.push_back(e.score);
    return out;
}

TEST(ScoreTable, KeepsTheTenBestBestFirst)
{
    struct
    {
        const char* name;
        std::vector<int> inserted;
        std::vector<int> ranks; ///< what each insert returned
        std::vector<int> table;
    } cases[] = {
        {"one score", {300}, {0}, {300}},
        {"best first", {100, 300, 200}, {0, 0, 1}, {300, 200, 100}},
        {"an equal score goes after the earlier one", {200, 200}, {0, 1}, {200, 200}},
        {"nothing for zero", {0, -5}, {-1, -1}, {}},
        {"the eleventh is dropped",
         {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 5, 55},
         {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1, 5},
         {100, 90, 80, 70, 60, 55, 50, 40, 30, 20}},
    };
    for (const auto& c : cases)
    {
        CScoreTable t;
        std::vector<int> ranks;
        for (int s : c.inserted)
            ranks.push_back(t.Insert(2, false, {s, "玩家1", "2024-05-01"}));
        EXPECT_EQ(ranks, c.ranks) << c.name;
        EXPECT_EQ(Scores(t, 2, false), c.table) << c.name;
        EXPECT_TRUE(t.Entries(2, true).empty()) << c.name;
        EXPECT_EQ(t.Best(2, false), c.table.empty() ? 0 : c.table.front()) << c.name;
    }
}

TEST(ScoreTable, LinesParseOnlyInTheirOwnForm)
{
    struct
    {
        const char* text;
        bool ok;
    } cases[] = {
        {"1200,玩家1,2024-05-01", true},    {"0,a,1999-12-31", true},   {"1200,玩家1", false},
        {"1200,,2024-05-01", false},        {"-5,a,2024-05-01", false}, {"12a,a,2024-05-01", false},
        {"1,a,2024-13-01", false},          {"1,a,2024/05/01", false},  {"1,a,b,2024-05-01", false},
        {"1234567890,a,2024-05-01", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CScoreTable::ParseEntry(c.text, nullptr), c.ok) << c.text;
}

TEST(ScoreTable, SavedTableReadsBackThroughTheSettingsReader)
{
    ScopedWorkDir dir;
    CScoreTable t;
    t.Insert(1, false, {500, "玩家1", "2024-05-01"});
    t.Insert(1, false, {900, "玩家1", "2024-05-02"});
    t.Insert(3, true, {7000, "玩家2", "2024-05-03"});
    ASSERT_TRUE(t.Save());
    // Any settings reader finds the lines under their sections.
    CZanIni ini("scores.cfg");
    EXPECT_STREQ(ini.GetString("关卡1 单人", "1", ""), "900,玩家1,2024-05-02");
    EXPECT_STREQ(ini.GetString("关卡1 单人", "2", ""), "500,玩家1,2024-05-01");
    EXPECT_STREQ(ini.GetString("关卡3 双人", "1", ""), "7000,玩家2,2024-05-03");
    CScoreTable back;
    ASSERT_TRUE(back.Load());
    EXPECT_EQ(back.Entries(1, false), t.Entries(1, false));
    EXPECT_EQ(back.Entries(3, true), t.Entries(3, true));
    EXPECT_FALSE(fs::exists("scores.cfg.new"));
}

TEST(ScoreTable, HandWrittenTablesLoad)
{
    const char* cases[] = {
        "",
        "; 成绩\n\n[关卡1 单人]\n1=300,玩家1,2024-05-01\n",
        "[关卡1 单人]\r\n1 = 300,玩家1,2024-05-01\r\n2=100,玩家1,2024-05-01\r\n",
        "[关卡1 单人]\n2=100,玩家1,2024-05-01\n1=300,玩家1,2024-05-01\n",
    };
    for (const char* text : cases)
    {
        ScopedWorkDir dir;
        WriteFile("scores.cfg", text);
        CScoreTable t;
        EXPECT_TRUE(t.Load()) << text;
        EXPECT_FALSE(fs::exists("scores.cfg.bad")) << text;
        EXPECT_EQ(t.Best(1, false), *text ? 300 : 0) << text;
    }
}

TEST(ScoreTable, AnUnreadableFileIsSetAsideByteForByte)
{
    const std::string big = "[关卡1 单人]\n" + std::string(70 * 1024, ';') + "\n";
    struct
    {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"not text", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)},
        {"a line of no table", "[关卡1 单人]\n1=abc,玩家1,2024-05-01\n"},
        {"someone else's section", "[设置]\n怪物数=4\n"},
        {"a rank past ten", "[关卡1 单人]\n11=100,玩家1,2024-05-01\n"},
        {"a line before any section", "1=100,玩家1,2024-05-01\n"},
        {"cut short", "[关卡1 单人]\n1=100,玩家1,2024-0"},
        {"too big", big},
    };
    for (const auto& c : cases)
    {
        ScopedWorkDir dir;
        WriteFile("scores.cfg", c.bytes);
        CScoreTable t;
        EXPECT_FALSE(t.Load()) << c.name;
        EXPECT_FALSE(fs::exists("scores.cfg")) << c.name;
        EXPECT_EQ(ReadFile("scores.cfg.bad"), c.bytes) << c.name;
        EXPECT_EQ(t.Best(1, false), 0) << c.name;
        // The next save starts a new table.
        t.Insert(1, false, {10, "玩家1", "2024-05-01"});
        EXPECT_TRUE(t.Save()) << c.name;
        CScoreTable again;
        EXPECT_TRUE(again.Load()) << c.name;
        EXPECT_EQ(again.Best(1, false), 10) << c.name;
    }
}

TEST(ScoreTable, WhatIsNotARegularFileIsSetAsideUnopened)
{
    for (const char* kind : {"folder", "pipe", "link"})
    {
        ScopedWorkDir dir;
        const std::string k = kind;
        if (k == "folder")
            fs::create_directory("scores.cfg");
        else if (k == "pipe")
            ASSERT_EQ(mkfifo("scores.cfg", 0644), 0);
        else
        {
            WriteFile("elsewhere.cfg", "[关卡1 单人]\n1=100,玩家1,2024-05-01\n");
            fs::create_symlink("elsewhere.cfg", "scores.cfg");
        }
        CScoreTable t;
        EXPECT_FALSE(t.Load()) << kind; // a pipe would block here if it were opened
        const fs::file_status moved = fs::symlink_status("scores.cfg.bad");
        EXPECT_EQ(moved.type(), k == "folder" ? fs::file_type::directory
                                : k == "pipe" ? fs::file_type::fifo
                                              : fs::file_type::symlink)
            << kind;
        EXPECT_FALSE(fs::exists(fs::symlink_status("scores.cfg"))) << kind;
    }
}

class ScoreTableLog : public WorldTest
{
};

TEST_F(ScoreTableLog, SettingAsideLeavesAWarningRecord)
{
    WriteFile("scores.cfg", std::string("\0\0\0", 3));
    CScoreTable t;
    EXPECT_FALSE(t.Load());
    std::fflush(nullptr); // the run log is written through a buffer
    int warnings = 0;
    for (const zantest::LogRow& row : zantest::ReadLogRows(ZanNativePath("运行日志.htm")))
        warnings += row.kind == "警告" && row.message.find("scores.cfg.bad") != std::string::npos;
    EXPECT_EQ(warnings, 1);
}

CScoreTable Table(int seed)
{
    CScoreTable t;
    for (int level = 1; level <= 4; ++level)
        for (bool two : {false, true})
            for (int i = 0; i < CScoreTable::KEEP; ++i)
                t.Insert(level, two,
                         {seed * 100000 + level * 1000 + i * 7 + two, "玩家1",
                          "2024-05-0" + std::to_string(1 + i % 9)});
    return t;
}

bool SameTable(const CScoreTable& a, const CScoreTable& b)
{
    for (int level = 1; level <= 4; ++level)
        for (bool two : {false, true})
            if (a.Entries(level, two) != b.Entries(level, two))
                return false;
    return true;
}

// A process killed at any moment of a save leaves the old table or the new one, whole.
TEST(ScoreTable, AKillDuringASaveLeavesTheOldTableOrTheNew)
{
    ScopedWorkDir dir;
    const CScoreTable a = Table(1), b = Table(2);
    ASSERT_TRUE(a.Save());
    std::mt19937 random(21);
    int caughtMidSave = 0;
    for (int round = 0; round < 200; ++round)
    {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
        {
            for (;;)
            {
                b.Save();
                a.Save();
            }
        }
        usleep(std::uniform_int_distribution<unsigned>(0, 3000)(random));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        caughtMidSave += fs::exists("scores.cfg.new");
        CScoreTable found;
        ASSERT_TRUE(found.Load()) << "round " << round;
        ASSERT_TRUE(SameTable(found, a) || SameTable(found, b)) << "round " << round;
    }
    ASSERT_FALSE(fs::exists("scores.cfg.bad"));
    // Some kills must have landed between the new file's creation and its rename.
    EXPECT_GT(caughtMidSave, 0);
}
} // namespace
