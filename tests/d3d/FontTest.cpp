// D3DX fonts: Chinese faces resolve to a CJK font and GBK text becomes glyph pixels.
#include "D3DTestUtil.h"

#include <algorithm>
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

    // Glyphs may overhang their cell by a pixel, as on the original.
    auto [inside, outside] = RedPixels(9, 7, 11 + measure.right, 9 + height);
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

TEST_F(Font, AlignmentFlagsPlaceTheTextInItsRectangle)
{
    ID3DXFont* font = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateFontA(rig.device, 16, 0, 400, 1, FALSE, DEFAULT_CHARSET, 0, 0, 0,
                                      "宋体", &font));
    RECT size{0, 0, 0, 0};
    const int h = font->DrawTextA(nullptr, "口", -1, &size, DT_CALCRECT, 0xFFFF0000u);
    const int w = size.right;
    ASSERT_GT(w, 4);
    // The lit pixels' bounding box for a given format in the rectangle (8, 4) - (88, 44).
    auto box = [&](DWORD format)
    {
        rig.Frame(0xFF000000u);
        RECT r{8, 4, 88, 44};
        font->DrawTextA(nullptr, "口", -1, &r, format, 0xFFFF0000u);
        rig.Present();
        int fw = 0, fh = 0;
        const unsigned* frame = ZanHeadlessFrame(&fw, &fh);
        RECT lit{fw, fh, -1, -1};
        for (int y = 0; y < fh; ++y)
            for (int x = 0; x < fw; ++x)
                if (((frame[y * fw + x] >> 16) & 0xFF) >= 0x80)
                {
                    lit.left = std::min<LONG>(lit.left, x);
                    lit.top = std::min<LONG>(lit.top, y);
                    lit.right = std::max<LONG>(lit.right, x);
                    lit.bottom = std::max<LONG>(lit.bottom, y);
                }
        return lit;
    };
    const RECT topLeft = box(DT_LEFT | DT_TOP);
    const RECT right = box(DT_RIGHT | DT_TOP);
    const RECT centred = box(DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    const RECT bottom = box(DT_LEFT | DT_BOTTOM | DT_SINGLELINE);
    RECT r{8, 4, 88, 44};
    EXPECT_EQ(40, font->DrawTextA(nullptr, "口", -1, &r, DT_BOTTOM | DT_SINGLELINE, 0xFFFF0000u))
        << "measured from the rectangle's top";
    EXPECT_GE(topLeft.left, 8);
    EXPECT_LT(topLeft.left, 8 + w / 2);
    EXPECT_GE(topLeft.top, 4);
    EXPECT_EQ(right.left - topLeft.left, 80 - w) << "right aligned";
    EXPECT_EQ(centred.left - topLeft.left, (80 - w) / 2);
    EXPECT_EQ(centred.top - topLeft.top, (40 - h) / 2);
    EXPECT_EQ(bottom.top - topLeft.top, 40 - h);
    font->Release();
}

TEST_F(Font, ManyGlyphsSpillOntoFurtherAtlasPages)
{
    ID3DXFont* font = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateFontA(rig.device, 48, 0, 400, 1, FALSE, DEFAULT_CHARSET, 0, 0, 0,
                                      "黑体", &font));
    // 400 different characters of the first GB2312 level.
    std::string text;
    for (int i = 0; i < 400; ++i)
    {
        text += char(0xB0 + i / 94);
        text += char(0xA1 + i % 94);
    }
    rig.Frame(0xFF000000u);
    RECT at{0, 0, 0, 0};
    EXPECT_GT(font->DrawTextA(nullptr, text.c_str(), -1, &at, DT_NOCLIP, 0xFFFFFFFFu), 0);
    rig.Present();
    const ZanD3DFrameRecord* frame = ZanD3DLastFrame();
    ASSERT_NE(nullptr, frame);
    std::vector<const void*> pages;
    for (const ZanD3DDraw& d : frame->draws)
    {
        EXPECT_TRUE(d.text);
        pages.push_back(d.texture);
    }
    EXPECT_GE(pages.size(), 3u) << "one draw per atlas page";
    std::sort(pages.begin(), pages.end());
    EXPECT_EQ(pages.end(), std::adjacent_find(pages.begin(), pages.end()));
    // Drawn again, the glyphs come from the cache: same pages, same picture.
    std::vector<uint32_t> first(ZanHeadlessFrame(nullptr, nullptr),
                                ZanHeadlessFrame(nullptr, nullptr) + 96 * 48);
    rig.Frame(0xFF000000u);
    font->DrawTextA(nullptr, text.c_str(), -1, &at, DT_NOCLIP, 0xFFFFFFFFu);
    rig.Present();
    EXPECT_EQ(first, std::vector<uint32_t>(ZanHeadlessFrame(nullptr, nullptr),
                                           ZanHeadlessFrame(nullptr, nullptr) + 96 * 48));
    font->Release();
}
