// Window icons: image files named after the icon resource, shrunk to what a window system
// takes.
#include "D3DTestUtil.h"
#include "Platform.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using zantest::ScopedWorkDir;

namespace
{
// Left half opaque red, right half transparent green.
std::vector<uint32_t> HalfRed(int w, int h)
{
    std::vector<uint32_t> pixels(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixels[size_t(y) * w + x] = x < w / 2 ? 0xFFFF0000u : 0x0000FF00u;
    return pixels;
}

uint32_t Rgba(const ZanIconImage& icon, int x, int y)
{
    const auto* p =
        reinterpret_cast<const uint8_t*>(icon.rgba.data()) + (size_t(y) * icon.width + x) * 4;
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
} // namespace

TEST(Icon, LargeIconsShrinkToAtMost256KeepingShapeAndColour)
{
    ScopedWorkDir dir;
    zantest::WriteFile("BIG.png", d3dtest::EncodePng(2048, 2048, HalfRed(2048, 2048)));
    zantest::WriteFile("WIDE.png", d3dtest::EncodePng(1000, 250, HalfRed(1000, 250)));
    zantest::WriteFile("SMALL.png", d3dtest::EncodePng(32, 16, HalfRed(32, 16)));
    const struct
    {
        const char* name;
        int w, h;
    } cases[] = {{"BIG", 256, 256}, {"WIDE", 256, 64}, {"SMALL", 32, 16}};
    for (const auto& c : cases)
    {
        const ZanIconImage* icon = ZanIconFromHandle(LoadIconA(nullptr, c.name));
        ASSERT_NE(icon, nullptr) << c.name;
        EXPECT_EQ(icon->width, c.w) << c.name;
        EXPECT_EQ(icon->height, c.h) << c.name;
        ASSERT_EQ(icon->rgba.size(), size_t(c.w) * c.h * 4);
        EXPECT_EQ(Rgba(*icon, 0, 0), 0xFF0000FFu) << c.name;
        EXPECT_EQ(Rgba(*icon, c.w - 1, c.h - 1) & 0xFF, 0u) << c.name;
        // The transparent half lends no colour to the boundary.
        EXPECT_EQ(Rgba(*icon, c.w / 2 - 1, 0), 0xFF0000FFu) << c.name;
    }
    EXPECT_EQ(LoadIconA(nullptr, "MISSING"), nullptr);
}
