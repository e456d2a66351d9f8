// Fonts and text strings, and the frame-rate text of the game base.
#include "GraphicsFixture.h"

#include <climits>

namespace
{
// The lit pixels of the last frame inside a rectangle, as a picture to compare.
std::vector<unsigned> Region(int x0, int y0, int x1, int y1)
{
    int w = 0, h = 0;
    const unsigned* px = ZanHeadlessFrame(&w, &h);
    std::vector<unsigned> out;
    for (int y = y0; y < y1 && px; ++y)
        for (int x = x0; x < x1; ++x)
            out.push_back(px[y * w + x] & 0xFFFFFF);
    return out;
}

int LitCount(const std::vector<unsigned>& region)
{
    int n = 0;
    for (unsigned p : region)
        n += p != 0;
    return n;
}

unsigned TextDraws(const ZanD3DFrameRecord& f)
{
    unsigned n = 0;
    for (const ZanD3DDraw& d : f.draws)
        n += d.text;
    return n;
}
} // namespace

TEST_F(GraphicsTest, StringBufferGrowsButNeverShrinks)
{
    CZanString s("无", 0, 8);
    EXPECT_EQ(s.GetCapacity(), 8);
    s.SetString("01234567890123456789");
    EXPECT_EQ(s.GetLength(), 20);
    EXPECT_EQ(s.GetCapacity(), 21);
    s.SetString("abcde");
    EXPECT_EQ(s.GetCapacity(), 21);
    EXPECT_STREQ(s.GetString(), "abcde");
    s.SetString("");
    EXPECT_EQ(s.GetLength(), 0);
    EXPECT_EQ(s.GetCapacity(), 21);
    s.SetString(nullptr);
    EXPECT_EQ(s.GetLength(), 0);
    EXPECT_EQ(std::string(s.GetResourceType()), "字符串资源");
}

TEST_F(GraphicsTest, EmptyStringsDrawNothing)
{
    CZanString none("无", 0, 0);
    CZanString cleared("无", 0, 16);
    cleared.SetString("abc");
    cleared.SetString("");
    const ZanD3DFrameRecord& f = Frame(
        [&]
        {
            none.Render();
            cleared.Render();
        });
    EXPECT_EQ(TextDraws(f), 0u);
    none.SetString("x");
    EXPECT_EQ(TextDraws(Frame([&] { none.Render(); })), 1u);
}

TEST_F(GraphicsTest, TextIsDrawnAtTheTruncatedPositionInItsColour)
{
    CZanString s("无", 0, 0);
    s.SetString("中文ABC");
    s.SetColor(CZanColor(1.0f, 1.0f, 0.0f, 1.0f));
    s.SetPosition(10.0f, 20.0f);
    Frame([&] { s.Render(); });
    const auto exact = Region(0, 0, 200, 60);
    s.SetPosition(10.7f, 20.2f);
    Frame([&] { s.Render(); });
    const auto truncated = Region(0, 0, 200, 60);
    EXPECT_EQ(exact, truncated);
    EXPECT_GT(LitCount(exact), 40);
    int minX = INT_MAX, minY = INT_MAX;
    for (size_t i = 0; i < exact.size(); ++i)
    {
        if (!exact[i])
            continue;
        EXPECT_EQ(exact[i] & 0x0000FF, 0u) << "yellow has no blue";
        minX = std::min(minX, int(i % 200));
        minY = std::min(minY, int(i / 200));
    }
    EXPECT_GE(minX, 10);
    EXPECT_GE(minY, 20);
}

TEST_F(GraphicsTest, ChineseCharactersAreDrawnAsTheirOwnGlyphs)
{
    CZanString s("无", 0, 0);
    s.SetPosition(0.0f, 0.0f);
    s.SetString("中文");
    Frame([&] { s.Render(); });
    const auto a = Region(0, 0, 64, 24);
    s.SetString("文中");
    Frame([&] { s.Render(); });
    const auto b = Region(0, 0, 64, 24);
    // Missing glyphs would draw the same box twice.
    EXPECT_GT(LitCount(a), 40);
    EXPECT_NE(a, b);
}

TEST_F(GraphicsTest, TextFollowsTheQuadsQueuedBeforeIt)
{
    CZanSprite back("无", 0.0f, 0.0f, 100.0f, 40.0f, 0);
    back.SetPosition(50.0f, 20.0f);
    back.SetColor(0xFF0000FFul);
    CZanString s("无", 1, 0);
    s.SetString("中中中");
    const ZanD3DFrameRecord& f = RenderListFrame();
    int sprite = -1, text = -1;
    for (size_t i = 0; i < f.draws.size(); ++i)
    {
        if (f.draws[i].text)
            text = int(i);
        else
            for (unsigned k = 0; k + 2 < f.draws[i].vertexCount; k += 4)
                if (f.draws[i].vertices[k].x == 0.0f && f.draws[i].vertices[k + 2].x == 100.0f)
                    sprite = int(i);
    }
    ASSERT_GE(sprite, 0);
    ASSERT_GE(text, 0);
    EXPECT_LT(sprite, text);
    int lit = 0;
    for (unsigned p : Region(0, 0, 100, 40))
        lit += p != 0x0000FF;
    EXPECT_GT(lit, 20); // the white text shows on the blue quad
}

namespace
{
class FrameRateGame : public IdleGame
{
public:
    bool shown = false;
    CZanString* Text() { return m_pFrameRateText ? m_pFrameRateText->Get() : nullptr; }
};
} // namespace

TEST_F(GraphicsTest, F1ShowsTheFrameRateText)
{
    delete game;
    FrameRateGame* g = new FrameRateGame;
    game = g;
    g->m_bWindowed = true;
    ASSERT_TRUE(engine->LoadGame(g));
    unsigned shownDraws = 0, hiddenDraws = 0;
    std::string text;
    zantest::OnEveryPass(
        [&](int pass)
        {
            if (pass == 0)
                ZanHeadlessKey(0x3B, 1);
            else if (pass == 1)
                ZanHeadlessKey(0x3B, 0); // F1 acts on release
            else if (pass >= 3 && pass < 40)
                ZanHeadlessAdvance(10);
            else if (pass == 40)
            {
                shownDraws = TextDraws(*ZanD3DLastFrame());
                text = g->Text() ? g->Text()->GetString() : "";
                ZanHeadlessKey(0x3B, 1);
            }
            else if (pass == 41)
                ZanHeadlessKey(0x3B, 0);
            else if (pass == 44)
                hiddenDraws = TextDraws(*ZanD3DLastFrame());
            else if (pass == 45)
                ZanHeadlessClose();
        });
    engine->SystemStart();
    ASSERT_NE(g->Text(), nullptr);
    EXPECT_EQ(g->Text()->GetRenderLevel(), 100000);
    EXPECT_EQ(shownDraws, 1u);
    EXPECT_EQ(hiddenDraws, 0u);
    EXPECT_EQ(text.rfind("帧率：", 0), 0u) << text;
    EXPECT_NE(text.find('.'), std::string::npos);
}
