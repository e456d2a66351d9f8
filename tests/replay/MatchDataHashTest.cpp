// The hash of the data a match reads: the files that shape a match change it, the window
// settings and a single player's progress do not (two players' folders differ in those).
#include "TestSupport.h"
#include "app/replay/MatchHash.h"

#include <gtest/gtest.h>

#include <fstream>

namespace
{
void Write(const std::string& name, const std::string& text)
{
    std::ofstream(name, std::ios::binary) << text;
}
} // namespace

TEST(MatchDataHashTest, OnlyTheFilesThatShapeAMatchCount)
{
    const struct
    {
        const char* file;
        bool counts;
    } cases[] = {{"Level01.xml", true},   {"resource_Level01.xml", true}, {"sound.cfg", true},
                 {"Autoexec.cfg", false}, {"progress.cfg", false},        {"notes.txt", false}};
    for (const auto& c : cases)
    {
        zantest::ScopedWorkDir dir;
        Write("Level02.xml", "<level/>");
        const uint64_t before = MatchDataHash();
        Write(c.file, "changed");
        EXPECT_EQ(MatchDataHash() != before, c.counts) << c.file;
    }
}
