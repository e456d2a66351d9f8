// The input delay a measured round trip gives, and the scripted player the tests use.
#include "app/net/NetMatch.h"

#include <gtest/gtest.h>

TEST(NetDelayTest, TheDelayCoversHalfTheRoundTripAndAFrameAndAHalf)
{
    const struct
    {
        double roundTripMs;
        int frames;
    } cases[] = {{0, 2}, {10, 2}, {50, 3}, {100, 5}, {150, 6}, {1000, 6}};
    for (const auto& c : cases)
        EXPECT_EQ(CNetMatch::DelayFor(c.roundTripMs), c.frames) << c.roundTripMs;
}

TEST(NetDelayTest, AScriptedPlayerWaitsOutTheLongestDelayThenPlaysItsSeed)
{
    for (uint32_t frame = 0; frame < uint32_t(CNetMatch::MAX_DELAY); ++frame)
        EXPECT_EQ(CNetMatch::ScriptedInput(1, frame), 0) << frame;
    int flaps = 0, differ = 0;
    for (uint32_t frame = CNetMatch::MAX_DELAY; frame < 600; ++frame)
    {
        const uint8_t bits = CNetMatch::ScriptedInput(1, frame);
        EXPECT_EQ(bits & ~INPUT_ALL, 0);
        EXPECT_NE(bits & (INPUT_LEFT | INPUT_RIGHT), INPUT_LEFT | INPUT_RIGHT);
        flaps += (bits & INPUT_FLAP) != 0;
        differ += bits != CNetMatch::ScriptedInput(2, frame);
    }
    EXPECT_GT(flaps, 20);
    EXPECT_GT(differ, 100);
}
