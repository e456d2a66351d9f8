// D3DX fonts: Chinese faces resolve to a CJK font and GBK text becomes glyph pixels.
#include "D3DTestUtil.h"

#include <gtest/gtest.h>

using namespace d3dtest;

namespace
{
class Font : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ZanHeadlessEnable();
        ASSERT_TRUE(rig.Create(96, 48));
    }
    Rig rig;
};

// Pixels inside / outside the rectangle whose red channel is lit.
std::pair<int, int> RedPixels(int x0, int y0, int x1, int y1)
{
    int w = 0, h = 0;
    const unsigned* frame = ZanHeadlessFrame(&w, &h);
    int inside = 0, outside = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            const unsigned p = frame[y * w + x];
            if (((p >> 16) & 0xFF) < 0x80)
                continue;
            EXPECT_LT((p >> 8) & 0xFF, 0x10u) << "colour is applied";
            (x >= x0 && x < x1 && y >= y0 && y < y1 ? inside : outside)++;
        }
    return {inside, outside};
}
} // namespace

TEST_F(Font, ChineseTextDrawsGlyphPixelsInItsColour)
{
    ID3DXFont* font = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateFontA(rig.device, 16, 0, 400, 1, FALSE, DEFAULT_CHARSET,
                                      OUT_DEFAULT_PRECIS, DEFAULT_QUALITY, 0, "黑体", &font));
    RECT measure{0, 0, 0, 0};
    const int height = font->DrawTextA(nullptr, "你好", -1, &measure, DT_CALCRECT, 0xFFFF0000u);
    EXPECT_GE(height, 14);
    EXPECT_GE(measure.right, 22) << "two full-width glyphs";
    EXPECT_LE(measure.right, 40);

    DWORD destBlend = 0;
    rig.SetBlendMode(0);
    rig.Frame(0xFF000000u);
    RECT at{10, 8, 0, 0};
    EXPECT_EQ(height, font->DrawTextA(nullptr, "你好", -1, &at, DT_NOCLIP, 0xFFFF0000u));
    rig.Present();
    rig.device->GetRenderState(D3DRS_DESTBLEND, &destBlend);
    EXPECT_EQ(DWORD(D3DBLEND_ONE), destBlend) << "text leaves the device state alone";

    auto [inside, outside] = RedPixels(10, 8, 10 + measure.right, 8 + height);
    EXPECT_GT(inside, 60);
    EXPECT_EQ(0, outside);
    EXPECT_EQ(0u, ZanHeadlessDrawCalls()) << "text is not an application draw call";
    const ZanD3DFrameRecord* frame = ZanD3DLastFrame();
    ASSERT_EQ(1u, frame->draws.size());
    EXPECT_TRUE(frame->draws[0].text);
    font->Release();
}

TEST_F(Font, ClippingLinesAndEmptyText)
{
    ID3DXFont* font = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateFontA(rig.device, 16, 0, 700, 1, FALSE, DEFAULT_CHARSET, 0, 0, 0,
                                      "系统", &font));
    RECT r{0, 0, 0, 0};
    EXPECT_EQ(0, font->DrawTextA(nullptr, "", -1, &r, DT_NOCLIP, 0xFFFFFFFFu));
    EXPECT_EQ(0, font->DrawTextA(nullptr, nullptr, -1, &r, DT_NOCLIP, 0xFFFFFFFFu));
    RECT one{0, 0, 0, 0}, two{0, 0, 0, 0};
    const int h1 = font->DrawTextA(nullptr, "AB", -1, &one, DT_CALCRECT, 0xFFFFFFFFu);
    const int h2 = font->DrawTextA(nullptr, "AB\nCD", -1, &two, DT_CALCRECT, 0xFFFFFFFFu);
    EXPECT_EQ(2 * h1, h2);
    // Only the given byte count is read.
    RECT part{0, 0, 0, 0};
    font->DrawTextA(nullptr, "ABCDEF", 2, &part, DT_CALCRECT, 0xFFFFFFFFu);
    EXPECT_EQ(one.right, part.right);

    // Without DT_NOCLIP nothing leaves the rectangle.
    rig.Frame(0xFF000000u);
    RECT box{4, 4, 14, 12};
    font->DrawTextA(nullptr, "中文字符串", -1, &box, DT_LEFT, 0xFFFF0000u);
    rig.Present();
    auto [inside, outside] = RedPixels(4, 4, 14, 12);
    EXPECT_GT(inside, 0);
    EXPECT_EQ(0, outside);
    font->Release();
}
