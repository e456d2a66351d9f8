// Quads and sprites: placement, colour, texture windows and shared textures.
#include "GraphicsFixture.h"

#include <cmath>

namespace
{
const float kPi = 3.14159265358979f;

void ExpectCorners(const ZanQuad& q, const float (&xy)[8], float tolerance = 1e-4f)
{
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_NEAR(q.v[i].x, xy[2 * i], tolerance) << "vertex " << i;
        EXPECT_NEAR(q.v[i].y, xy[2 * i + 1], tolerance) << "vertex " << i;
    }
}

class SpriteTest : public GraphicsTest
{
protected:
    void SetUp() override
    {
        GraphicsTest::SetUp();
        // 128 x 64: left half red, right half green, the bottom row pure black (colour key).
        WriteBmp("图.bmp", 128, 64,
                 [](int x, int y) -> uint32_t
                 {
                     if (y == 63)
                         return 0x000000;
                     return x < 64 ? 0xFF0000 : 0x00FF00;
                 });
        WriteResourceFile("res.xml", u8"<资源><材质资源 Name=\"图\" Path=\"图.bmp\"/></资源>");
        ASSERT_TRUE(resources->Load("res.xml"));
    }
};
} // namespace

TEST_F(GraphicsTest, UnrotatedQuadIsPlacedByItsCentre)
{
    CZanQuadGraphics q(20.0f, 10.0f, 0);
    q.SetPosition(100.0f, 50.0f);
    q.Render();
    ExpectCorners(q.GetQuad(), {90, 45, 110, 45, 110, 55, 90, 55});
    EXPECT_EQ(std::string(q.GetResourceType()), "矩形资源");
}

TEST_F(GraphicsTest, ScaleActsOnTheRotatedShape)
{
    CZanQuadGraphics q(20.0f, 10.0f, 0);
    q.SetRot(kPi / 2);
    q.SetScale(2.0f, 1.0f);
    q.Render();
    // Rotated a quarter turn clockwise on screen: corner (-10, -5) goes to (5, -10), then x
    // doubles.
    ExpectCorners(q.GetQuad(), {10, -10, 10, 10, -10, 10, -10, -10});
}

TEST_F(GraphicsTest, SetSizeScalesDrawingButNotTheSize)
{
    CZanQuadGraphics q(20.0f, 10.0f, 0);
    q.SetSize(2.0f);
    q.Render();
    ExpectCorners(q.GetQuad(), {-20, -10, 20, -10, 20, 10, -20, 10});
    EXPECT_EQ(q.GetWidth(), 20.0f);
    EXPECT_EQ(q.GetHeight(), 10.0f);
    EXPECT_EQ(q.GetScale(), CZanVector(2.0f, 2.0f));
}

TEST_F(GraphicsTest, ColoursArePackedByTruncation)
{
    CZanQuadGraphics q(1.0f, 1.0f, 0);
    q.SetAlpha(0.5f);
    for (const ZanVertex& v : q.GetQuad().v)
        EXPECT_EQ(v.color, 0x7FFFFFFFu);
    q.SetColor(CZanColor(1.0f, 0.5f, 0.0f, 1.0f));
    EXPECT_EQ(q.GetQuad().v[2].color, 0xFFFF7F00u);
    q.SetColor(0x12345678ul);
    EXPECT_EQ(q.GetQuad().v[3].color, 0x12345678u);
    EXPECT_NEAR(q.GetAlpha(), 0x12 / 255.0f, 1e-6);
    q.SetAlpha(1.0f);
    EXPECT_EQ(q.GetQuad().v[0].color, 0xFF345678u);
}

TEST_F(GraphicsTest, PlainQuadDrawsAnOutlineAndNoTextureSpriteAFilledQuad)
{
    CZanQuadGraphics outline(10.0f, 10.0f, 1);
    CZanSprite solid("无", 0.0f, 0.0f, 10.0f, 10.0f, 2);
    solid.SetColor(0xFF00FF00ul);
    EXPECT_EQ(solid.GetTextureHandle(), nullptr);
    const ZanD3DFrameRecord& f = RenderListFrame();
    std::vector<D3DPRIMITIVETYPE> types;
    for (const ZanD3DDraw* d : QuadDraws(f))
        for (unsigned k = 0; k < d->vertexCount; ++k)
            if (d->vertices[k].x == -5.0f && d->vertices[k].y == -5.0f)
            {
                types.push_back(d->type);
                break;
            }
    ASSERT_GE(types.size(), 2u);
    EXPECT_EQ(types[types.size() - 2], D3DPT_LINELIST);
    EXPECT_EQ(types.back(), D3DPT_TRIANGLELIST);
    EXPECT_EQ(solid.GetQuad().v[2].u, 0.0f);
}

TEST_F(SpriteTest, SpriteShowsItsTextureWindow)
{
    CZanSprite s("图", 32.0f, 16.0f, 64.0f, 32.0f, 0);
    ASSERT_NE(s.GetTextureHandle(), nullptr);
    ASSERT_NE((*s.GetTextureHandle())->GetTexture(), nullptr);
    EXPECT_EQ((*s.GetTextureHandle())->GetWidth(), 128.0f);
    const ZanQuad& q = s.GetQuad();
    EXPECT_EQ(q.pTexture, s.GetTextureHandle());
    const float uv[8] = {0.25f, 0.25f, 0.75f, 0.25f, 0.75f, 0.75f, 0.25f, 0.75f};
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_FLOAT_EQ(q.v[i].u, uv[2 * i]);
        EXPECT_FLOAT_EQ(q.v[i].v, uv[2 * i + 1]);
    }
}

TEST_F(SpriteTest, CopiesAndAssignmentsCountTheirTextureReferences)
{
    CZanSprite* s = new CZanSprite("图", 0.0f, 0.0f, 16.0f, 16.0f, 0);
    CZanResourcePtrHolder* holder = s->GetTextureHandle()->GetHolder();
    const int base = holder->GetRefCount(); // the manager's and the sprite's
    {
        CZanSprite copy(*s);
        EXPECT_EQ(holder->GetRefCount(), base + 1);
        EXPECT_NE(copy.GetTextureHandle(), s->GetTextureHandle());
        EXPECT_EQ(copy.GetQuad().pTexture, copy.GetTextureHandle());

        CZanSprite other("无", 0.0f, 0.0f, 4.0f, 4.0f, 3);
        other = *s;
        EXPECT_EQ(holder->GetRefCount(), base + 2);
        EXPECT_EQ(other.GetQuad().pTexture, other.GetTextureHandle());
        EXPECT_EQ(other.GetRenderLevel(), 0);
        other = other;
        EXPECT_EQ(holder->GetRefCount(), base + 2);
    }
    EXPECT_EQ(holder->GetRefCount(), base);
    const size_t registered = g_pGraphics->GetRenderCount();
    delete s;
    EXPECT_EQ(g_pGraphics->GetRenderCount(), registered - 1);
    // Clear drops the manager's reference last: the texture goes with it, nothing dangles.
    resources->Clear();
}

TEST_F(SpriteTest, ASpriteDeletedMidFrameDrawsItsBatchFirst)
{
    WriteBmp("蓝.bmp", 8, 8, [](int, int) -> uint32_t { return 0x0000FF; });
    WriteResourceFile("more.xml", u8"<资源><材质资源 Name=\"蓝\" Path=\"蓝.bmp\"/></资源>");
    ASSERT_TRUE(resources->Load("more.xml"));
    const void* red = nullptr;
    const void* blue = nullptr;
    const ZanD3DFrameRecord& frame = Frame(
        [&]
        {
            CZanSprite* first = new CZanSprite("图", 0.0f, 0.0f, 16.0f, 16.0f, 0);
            red = (*first->GetTextureHandle())->GetTexture();
            first->Render();
            delete first; // its quad is still in the open batch
            // A new handle may well get the freed one's address; it must still bind its own.
            CZanSprite second("蓝", 0.0f, 0.0f, 8.0f, 8.0f, 0);
            blue = (*second.GetTextureHandle())->GetTexture();
            second.Render();
        });
    const auto draws = QuadDraws(frame);
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0]->texture, red);
    EXPECT_EQ(draws[1]->texture, blue);
}

TEST_F(SpriteTest, PureBlackIsTransparentOnScreen)
{
    CZanSprite s("图", 0.0f, 0.0f, 128.0f, 64.0f, 0);
    s.SetPosition(64.0f, 32.0f);
    RenderListFrame();
    int w = 0, h = 0;
    const unsigned* px = ZanHeadlessFrame(&w, &h);
    ASSERT_NE(px, nullptr);
    ASSERT_EQ(w, 800);
    EXPECT_EQ(px[10 * w + 10] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(px[10 * w + 100] & 0xFFFFFF, 0x00FF00u);
    // The black bottom row lets the cleared background (also black) through; the sprite's
    // transparency shows against a lighter quad beneath it.
    CZanSprite under("无", 0.0f, 0.0f, 128.0f, 64.0f, -1);
    under.SetPosition(64.0f, 32.0f);
    under.SetColor(0xFF0000FFul);
    RenderListFrame();
    px = ZanHeadlessFrame(&w, &h);
    EXPECT_EQ(px[63 * w + 10] & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(px[62 * w + 10] & 0xFFFFFF, 0xFF0000u);
}

TEST_F(GraphicsTest, MissingImageGivesATextureWithoutDirect3DTexture)
{
    CZanTexture t("没有.png");
    EXPECT_EQ(t.GetTexture(), nullptr);
    CZanTexture empty(128.0f, 128.0f);
    EXPECT_NE(empty.GetTexture(), nullptr);
    EXPECT_EQ(empty.GetWidth(), 128.0f);
    EXPECT_EQ(std::string(empty.GetResourceType()), "材质资源");
}

TEST_F(GraphicsTest, QuadsWhoseEveryCornerIsTransparentAreNotDrawn)
{
    const struct
    {
        DWORD corner0, others;
        size_t draws;
    } cases[] = {{0x00FFFFFFu, 0x00FFFFFFu, 0u},
                 {0x01FFFFFFu, 0x00FFFFFFu, 1u},
                 {0x00FFFFFFu, 0x01000000u, 1u},
                 {0xFFFFFFFFu, 0xFFFFFFFFu, 1u}};
    for (const auto& c : cases)
    {
        CZanSprite s("无", 0.0f, 0.0f, 10.0f, 10.0f, 1);
        s.SetColor(c.others);
        ZanQuad quad = s.GetQuad();
        quad.v[0].color = c.corner0;
        quad.v[0].x = quad.v[3].x = 95.0f;
        quad.v[1].x = quad.v[2].x = 105.0f;
        quad.v[0].y = quad.v[1].y = 95.0f;
        quad.v[2].y = quad.v[3].y = 105.0f;
        const ZanD3DFrameRecord& f = Frame([&] { g_pGraphics->RenderQuadSoild(&quad); });
        EXPECT_EQ(QuadDraws(f).size(), c.draws) << std::hex << c.corner0 << " " << c.others;
    }
}

// Clear texels change nothing, so a sprite draws only the parts of its window that show: the
// same picture from fewer fragments, whatever its pose, and nothing for a window all clear.
TEST_F(SpriteTest, OnlyThePartsThatShowAreDrawnAndThePictureStaysTheSame)
{
    // 96 x 96, clear but for two discs far apart.
    WriteBmp("点.bmp", 96, 96,
             [](int x, int y) -> uint32_t
             {
                 const bool a = (x - 16) * (x - 16) + (y - 20) * (y - 20) < 100;
                 const bool b = (x - 75) * (x - 75) + (y - 70) * (y - 70) < 150;
                 return a ? 0xFFC000 : b ? 0x40A0FF : 0x000000;
             });
    WriteResourceFile("dots.xml", u8"<资源><材质资源 Name=\"点\" Path=\"点.bmp\"/></资源>");
    ASSERT_TRUE(resources->Load("dots.xml"));
    struct Pose
    {
        float window[4]; // x, y, width, height in the image
        float x, y, rot, sx, sy;
        int mostDiffering; // rotation may pick a neighbouring texel where a part meets a pixel
        bool clear;
    };
    const Pose poses[] = {
        {{0, 0, 96, 96}, 200, 150, 0, 1, 1, 0, false},
        {{0, 0, 96, 96}, 300, 250, 0.7f, 1.5f, -0.8f, 4, false},
        {{40, 0, 56, 96}, 100, 400, 0, -2, 2, 0, false},
        {{40, 0, 20, 40}, 500, 300, 0, 1, 1, 0, true},
    };
    for (const Pose& p : poses)
    {
        CZanSprite s("点", p.window[0], p.window[1], p.window[2], p.window[3], 0);
        s.SetPosition(p.x, p.y);
        s.SetRot(p.rot);
        s.SetScale(p.sx, p.sy);
        const ZanD3DFrameCost parts = ZanD3DMeasureFrame(Frame([&] { s.Render(); }));
        int w = 0, h = 0;
        const std::vector<unsigned> shown(ZanHeadlessFrame(&w, &h),
                                          ZanHeadlessFrame(&w, &h) + size_t(w) * size_t(h));
        const ZanD3DFrameRecord& whole = Frame([&] { g_pGraphics->RenderQuadSoild(&s.GetQuad()); });
        const ZanD3DFrameCost all = ZanD3DMeasureFrame(whole);
        const unsigned* px = ZanHeadlessFrame(&w, &h);
        int differing = 0, lit = 0;
        for (size_t i = 0; i < shown.size(); ++i)
        {
            differing += shown[i] != px[i];
            lit += (px[i] & 0xFFFFFF) != 0;
        }
        EXPECT_LE(differing, p.mostDiffering) << "rotation " << p.rot;
        EXPECT_EQ(lit == 0, p.clear);
        EXPECT_LT(parts.fragments * 2, all.fragments) << "rotation " << p.rot;
    }
}
