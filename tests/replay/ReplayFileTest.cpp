// The replay file: what is written reads back the same, and damaged or foreign bytes are
// refused with a reason.
#include "TestSupport.h"
#include "app/replay/ReplayFile.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace
{
Replay Sample(size_t frames)
{
    Replay r;
    r.start.build = 0x1122334455667788ull;
    r.start.dataHash = 0x99aabbccddeeff00ull;
    r.start.seed = 12345;
    r.start.players = 2;
    for (size_t i = 0; i < frames; ++i)
        r.frames.push_back({uint32_t(16000 + i % 7), {uint8_t(i % 8), uint8_t((i / 3) % 8)}});
    for (size_t f = Replay::HASH_EVERY; f <= frames; f += Replay::HASH_EVERY)
        r.hashes.push_back({uint32_t(f), 0xfeedull * f});
    return r;
}

// The checksum is the last 8 bytes; a test that changes the body seals it again, so the
// refusal it expects comes from the check it aims at.
std::string Reseal(std::string bytes)
{
    bytes.resize(bytes.size() - 8);
    uint64_t h = 1469598103934665603ull;
    for (char c : bytes)
    {
        h ^= uint8_t(c);
        h *= 1099511628211ull;
    }
    for (int i = 0; i < 8; ++i)
        bytes.push_back(char((h >> (8 * i)) & 0xff));
    return bytes;
}
} // namespace

TEST(ReplayFileTest, WhatIsWrittenReadsBackTheSame)
{
    const Replay r = Sample(200);
    Replay back;
    std::string error;
    ASSERT_TRUE(DecodeReplay(EncodeReplay(r), &back, &error)) << error;
    EXPECT_EQ(back.start.build, r.start.build);
    EXPECT_EQ(back.start.dataHash, r.start.dataHash);
    EXPECT_EQ(back.start.seed, r.start.seed);
    EXPECT_EQ(back.start.players, 2);
    ASSERT_EQ(back.frames.size(), 200u);
    ASSERT_EQ(back.hashes.size(), 3u);
    for (size_t i = 0; i < r.frames.size(); ++i)
    {
        EXPECT_EQ(back.frames[i].stepMicros, r.frames[i].stepMicros);
        EXPECT_EQ(back.frames[i].input[0], r.frames[i].input[0]);
        EXPECT_EQ(back.frames[i].input[1], r.frames[i].input[1]);
    }
    EXPECT_EQ(back.hashes[2].frame, 180u);
    EXPECT_EQ(back.hashes[2].hash, 0xfeedull * 180);
}

TEST(ReplayFileTest, DamagedOrForeignBytesAreRefusedWithAReason)
{
    const std::string good = EncodeReplay(Sample(130));
    struct Case
    {
        const char* name;
        std::string bytes;
        const char* reason;
    };
    std::string flipped = good;
    flipped[60] ^= 1;
    std::string version = good;
    version[8] = 2;
    std::string players = good;
    players[32] = 3;
    std::string frames = good;
    frames[36] = char(0xff);
    std::string step = good;
    step[44] = step[45] = step[46] = step[47] = 0;
    std::string input = good;
    input[48] = 8;
    std::string hashFrame = good;
    hashFrame[44 + 130 * 6] = 61;
    const Case cases[] = {
        {"empty", "", "not a Skyfloat replay"},
        {"text", "hello, this is not a replay at all, just some words", "not a Skyfloat replay"},
        {"truncated", good.substr(0, good.size() - 9), "damaged (checksum differs)"},
        {"flipped bit", flipped, "damaged (checksum differs)"},
        {"other version", version, "a replay of another version of the format"},
        {"three players", Reseal(players), "damaged (impossible start)"},
        {"counts past the end", Reseal(frames), "damaged (length differs from its counts)"},
        {"zero step", Reseal(step), "damaged (impossible frame)"},
        {"unknown input bit", Reseal(input), "damaged (impossible frame)"},
        {"hash off the beat", Reseal(hashFrame), "damaged (impossible hash frame)"},
    };
    for (const Case& c : cases)
    {
        Replay r;
        std::string error;
        EXPECT_FALSE(DecodeReplay(c.bytes, &r, &error)) << c.name;
        EXPECT_EQ(error, c.reason) << c.name;
    }
}

TEST(ReplayFileTest, OnlyRegularFilesAreRead)
{
    zantest::ScopedWorkDir dir;
    mkdir("folder.skyreplay", 0755);
    Replay r;
    std::string error;
    EXPECT_FALSE(LoadReplay("folder.skyreplay", &r, &error));
    EXPECT_EQ(error, "not a regular file");
    EXPECT_FALSE(LoadReplay("missing.skyreplay", &r, &error));
    EXPECT_EQ(error, "cannot be opened");
}

TEST(ReplayFileTest, SavingReplacesTheLastAndKeepsTheNewestStampedCopies)
{
    zantest::ScopedWorkDir dir;
    for (int i = 0; i < 23; ++i)
    {
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "20250101-0000%02d-000", i);
        Replay r = Sample(60);
        r.start.seed = uint32_t(i + 1);
        ASSERT_TRUE(SaveReplay(r, "replays", stamp));
    }
    std::vector<std::string> names;
    DIR* d = opendir("replays");
    ASSERT_NE(d, nullptr);
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.')
            names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 21u);
    EXPECT_EQ(names.front(), "last.skyreplay");
    EXPECT_EQ(names[1], "match-20250101-000003-000.skyreplay");
    EXPECT_EQ(names.back(), "match-20250101-000022-000.skyreplay");
    Replay last;
    ASSERT_TRUE(LoadReplay("replays/last.skyreplay", &last, nullptr));
    EXPECT_EQ(last.start.seed, 23u);
}
