// Frame animations (layout and playing on the virtual clock) and grid meshes.
#include "GraphicsFixture.h"

#include <cstdio>

namespace
{
class TexturedTest : public GraphicsTest
{
protected:
    void SetUp() override
    {
        GraphicsTest::SetUp();
        WriteBmp("a256.bmp", 256, 256,
                 [](int x, int y) { return uint32_t(0x404040 + x + (y << 8)); });
        WriteBmp("a128.bmp", 128, 128, [](int, int) { return 0xFFFFFFu; });
        WriteResourceFile("res.xml", u8"<资源>"
                                     u8"<材质资源 Name=\"帧\" Path=\"a256.bmp\"/>"
                                     u8"<材质资源 Name=\"格\" Path=\"a128.bmp\"/>"
                                     u8"</资源>");
        ASSERT_TRUE(resources->Load("res.xml"));
    }
    // Top-left corner (u, v) of a frame.
    static CZanVector TopLeft(const CZanAnim& a, int frame) { return a.GetFrameCorner(frame, 0); }
};

void ExpectUv(const CZanAnim& a, float u, float v)
{
    EXPECT_FLOAT_EQ(a.GetQuad().v[0].u, u);
    EXPECT_FLOAT_EQ(a.GetQuad().v[0].v, v);
}
} // namespace

TEST_F(TexturedTest, FramesFillRowsAndRestartUnderTheFirstFrame)
{
    CZanAnim a("帧", 6, 10.0f, 0.0f, 0.0f, 64.0f, 64.0f, 0);
    const float expected[6][2] = {{0, 0},     {0.25f, 0}, {0.5f, 0},
                                  {0.75f, 0}, {0, 0.25f}, {0.25f, 0.25f}};
    for (int i = 0; i < 6; ++i)
    {
        EXPECT_FLOAT_EQ(TopLeft(a, i).x, expected[i][0]) << i;
        EXPECT_FLOAT_EQ(TopLeft(a, i).y, expected[i][1]) << i;
    }
    EXPECT_FLOAT_EQ(a.GetFrameCorner(3, 2).x, 1.0f); // exactly 1.0 stays in the row
    EXPECT_FLOAT_EQ(a.GetFrameCorner(5, 2).y, 0.5f);
    ExpectUv(a, 0.0f, 0.0f);
}

TEST_F(TexturedTest, RowsStartAtTheTextureOffset)
{
    CZanAnim a("帧", 6, 10.0f, 64.0f, 0.0f, 64.0f, 64.0f, 0);
    const float expected[6][2] = {{0.25f, 0},     {0.5f, 0},     {0.75f, 0},
                                  {0.25f, 0.25f}, {0.5f, 0.25f}, {0.75f, 0.25f}};
    for (int i = 0; i < 6; ++i)
    {
        EXPECT_FLOAT_EQ(TopLeft(a, i).x, expected[i][0]) << i;
        EXPECT_FLOAT_EQ(TopLeft(a, i).y, expected[i][1]) << i;
    }
}

// Reported once for the description, however many frames and animations share the fault.
TEST_F(TexturedTest, FramesBelowTheTextureAreKeptAndReportedOnce)
{
    CZanAnim a("帧", 20, 10.0f, 0.0f, 0.0f, 128.0f, 128.0f, 0);
    CZanAnim again("帧", 20, 10.0f, 0.0f, 0.0f, 128.0f, 128.0f, 0);
    EXPECT_FLOAT_EQ(TopLeft(a, 4).y, 1.0f);
    EXPECT_FLOAT_EQ(TopLeft(a, 19).x, 0.5f);
    std::fflush(nullptr); // the run log is written through a buffer
    const auto rows = zantest::ReadLogRows(ZanNativePath("运行日志.htm"));
    int reported = 0;
    for (const auto& r : rows)
        reported += r.message == "动画帧的范围超出纹理材质范围" && r.file == "ZanAnim";
    EXPECT_EQ(reported, 1);
}

TEST_F(TexturedTest, PlayOnceStepsThroughEveryFrameAndStops)
{
    CZanAnim a("帧", 4, 10.0f, 0.0f, 0.0f, 64.0f, 64.0f, 0);
    a.Play(1);
    std::vector<int> seen;
    for (int i = 0; i < 6; ++i)
    {
        ZanHeadlessAdvance(101);
        a.Update(0.0f);
        seen.push_back(a.GetFrame());
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 0, 0, 0}));
    EXPECT_FALSE(a.IsPlaying());
    ExpectUv(a, 0.0f, 0.0f);
}

TEST_F(TexturedTest, FramesStepOnlyAfterTheirTimeAndOnePerUpdate)
{
    CZanAnim a("帧", 4, 1.0f, 0.0f, 0.0f, 64.0f, 64.0f, 0);
    a.SetSpeed(10.0f);
    EXPECT_NEAR(a.GetSpeed(), 10.0f, 1e-4);
    a.Play(0);
    ZanHeadlessAdvance(100); // not more than 0.1 s
    a.Update(0.0f);
    EXPECT_EQ(a.GetFrame(), 0);
    ZanHeadlessAdvance(5000); // a long stall still steps one frame
    a.Update(0.0f);
    EXPECT_EQ(a.GetFrame(), 1);
    ExpectUv(a, 0.25f, 0.0f);
    a.Play(1); // ignored while playing
    a.Stop();
    ZanHeadlessAdvance(500);
    a.Update(0.0f);
    EXPECT_EQ(a.GetFrame(), 1);
    a.Resume();
    a.Update(0.0f);
    EXPECT_EQ(a.GetFrame(), 2);
    EXPECT_TRUE(a.IsPlaying()); // loop count 0 plays on
}

TEST_F(TexturedTest, BackwardsFromTheFirstFrameWrapsToTheLast)
{
    CZanAnim a("帧", 6, 10.0f, 0.0f, 0.0f, 64.0f, 64.0f, 0);
    a.SetForward(false);
    EXPECT_EQ(a.GetForward(), 0);
    a.Play(0);
    ZanHeadlessAdvance(150);
    a.Update(0.0f);
    EXPECT_EQ(a.GetFrame(), 5);
    ExpectUv(a, 0.25f, 0.25f);
    // With fewer frames set than were laid out, backwards play steps down from where it is.
    a.SetFrames(3);
    a.Update(0.0f);
    EXPECT_EQ(a.GetFrame(), 5);
    ZanHeadlessAdvance(150);
    a.Update(0.0f);
    EXPECT_EQ(a.GetFrame(), 4);
    ExpectUv(a, 0.0f, 0.25f);
}

TEST_F(TexturedTest, OutOfRangeFramesNeverLeaveTheRectangles)
{
    CZanAnim a("帧", 4, 10.0f, 0.0f, 0.0f, 64.0f, 64.0f, 0);
    a.SetFrame(2);
    ExpectUv(a, 0.5f, 0.0f);
    a.SetFrame(4);
    EXPECT_EQ(a.GetFrame(), 0);
    a.SetFrame(-3);
    EXPECT_EQ(a.GetFrame(), 0);
    ExpectUv(a, 0.0f, 0.0f);
    a.SetFrames(100); // more frames than were laid out: the extra ones show frame 0
    a.SetFrame(3);
    a.Play(0);
    ZanHeadlessAdvance(150);
    a.Update(0.0f);
    EXPECT_EQ(a.GetFrame(), 4);
    ExpectUv(a, 0.0f, 0.0f);
    EXPECT_EQ(a.GetFrameCorner(50, 0), CZanVector());
}

TEST_F(TexturedTest, AnimationCopiesOwnTheirRectangles)
{
    CZanAnim* a = new CZanAnim("帧", 6, 10.0f, 0.0f, 0.0f, 64.0f, 64.0f, 0);
    a->SetFrame(5);
    CZanAnim copy(*a);
    delete a;
    EXPECT_EQ(copy.GetFrame(), 5);
    EXPECT_FLOAT_EQ(copy.GetFrameCorner(4, 0).y, 0.25f);
    copy.SetFrame(1);
    ExpectUv(copy, 0.25f, 0.0f);
}

TEST_F(TexturedTest, MeshLaysOutOneCentredQuadShowingItsWindow)
{
    CZanMesh m("格", 0.0f, 0.0f, 64.0f, 32.0f, 2, 2, 0);
    m.SetPosition(400.0f, 300.0f);
    const ZanD3DFrameRecord& f = Frame([&] { m.Render(); });
    auto draws = QuadDraws(f);
    ASSERT_EQ(draws.size(), 1u);
    ASSERT_EQ(draws[0]->primitiveCount, 2u);
    const float xy[8] = {368, 284, 432, 284, 432, 316, 368, 316};
    const float uv[8] = {0, 0, 0.5f, 0, 0.5f, 0.25f, 0, 0.25f};
    for (int i = 0; i < 4; ++i)
    {
        const ZanD3DVertex& v = draws[0]->vertices[i];
        EXPECT_FLOAT_EQ(v.x, xy[2 * i]);
        EXPECT_FLOAT_EQ(v.y, xy[2 * i + 1]);
        EXPECT_FLOAT_EQ(v.u, uv[2 * i]);
        EXPECT_FLOAT_EQ(v.v, uv[2 * i + 1]);
        EXPECT_FLOAT_EQ(v.z, 0.5f);
        EXPECT_EQ(v.color, 0xFFFFFFFFu);
    }
}

TEST_F(TexturedTest, MeshQueuesOneQuadPerCellInOneBatch)
{
    CZanMesh m("格", 0.0f, 0.0f, 90.0f, 60.0f, 4, 3, 0);
    const ZanD3DFrameRecord& f = Frame([&] { m.Render(); });
    auto draws = QuadDraws(f);
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0]->primitiveCount, 2u * 3u * 2u);
    // Cell (2, 1) is the sixth quad; its top-left node is (2, 1).
    EXPECT_FLOAT_EQ(draws[0]->vertices[20].x, 2 * 30.0f - 45.0f);
    EXPECT_FLOAT_EQ(draws[0]->vertices[20].y, 1 * 30.0f - 30.0f);
}

TEST_F(TexturedTest, DisplacementReferencesAndTheirInverse)
{
    CZanMesh m("格", 0.0f, 0.0f, 64.0f, 32.0f, 2, 2, 0);
    m.SetDisplacement(1, 1, 5.0f, 0.0f, 0);
    EXPECT_FLOAT_EQ(m.GetNode(1, 1)->x, 69.0f);
    EXPECT_FLOAT_EQ(m.GetNode(1, 1)->y, 32.0f);
    for (int reference : {0, 1, 2})
    {
        m.SetDisplacement(0, 1, 3.5f, -2.0f, reference);
        float dx = 0, dy = 0;
        m.GetDisplacement(0, 1, &dx, &dy, reference);
        EXPECT_FLOAT_EQ(dx, 3.5f) << reference;
        EXPECT_FLOAT_EQ(dy, -2.0f) << reference;
    }
    m.SetDisplacement(0, 0, 1.0f, 1.0f, 2);
    EXPECT_FLOAT_EQ(m.GetNode(0, 0)->x, 33.0f);
    EXPECT_FLOAT_EQ(m.GetNode(0, 0)->y, 17.0f);
    float dx = 7, dy = 7;
    m.GetDisplacement(0, 0, &dx, &dy, 9); // unknown reference: nothing written
    EXPECT_EQ(dx, 7.0f);
    m.Clear(0xFF102030ul, 0.25f);
    EXPECT_FLOAT_EQ(m.GetNode(1, 1)->x, 32.0f);
    EXPECT_FLOAT_EQ(m.GetNode(1, 1)->y, 16.0f);
    EXPECT_EQ(m.GetColor(1, 0), 0xFF102030ul);
    EXPECT_FLOAT_EQ(m.GetZ(0, 1), 0.25f);
    EXPECT_FLOAT_EQ(m.GetNode(1, 1)->u, 0.5f); // texture coordinates stay
}

TEST_F(TexturedTest, NodesOutsideTheGridAreRejected)
{
    CZanMesh m("格", 0.0f, 0.0f, 64.0f, 64.0f, 4, 4, 0);
    for (auto cr : {std::pair<int, int>{5, 0}, {0, 4}, {-1, 0}, {0, -1}, {4, 4}})
    {
        m.SetColor(cr.first, cr.second, 0x12345678ul);
        m.SetZ(cr.first, cr.second, 9.0f);
        m.SetDisplacement(cr.first, cr.second, 1.0f, 1.0f, 1);
        EXPECT_EQ(m.GetColor(cr.first, cr.second), 0ul);
        EXPECT_EQ(m.GetZ(cr.first, cr.second), 0.0f);
        EXPECT_EQ(m.GetNode(cr.first, cr.second), nullptr);
    }
    m.SetAlpha(0.5f);
    EXPECT_EQ(m.GetColor(3, 3), 0x7FFFFFFFul);
}

TEST_F(TexturedTest, MeshAssignmentCopiesTheNodes)
{
    CZanMesh a("格", 0.0f, 0.0f, 64.0f, 64.0f, 3, 3, 0);
    CZanMesh* b = new CZanMesh("格", 0.0f, 0.0f, 32.0f, 32.0f, 2, 2, 0);
    b->SetColor(1, 1, 0xFF00FF00ul);
    a = *b;
    delete b;
    EXPECT_EQ(a.GetColumns(), 2);
    EXPECT_EQ(a.GetColor(1, 1), 0xFF00FF00ul);
    a.SetColor(0, 0, 0xFF0000FFul);
    CZanMesh c(a);
    c.SetColor(0, 0, 0ul);
    EXPECT_EQ(a.GetColor(0, 0), 0xFF0000FFul);
    const ZanD3DFrameRecord& f = Frame([&] { a.Render(); });
    EXPECT_EQ(f.drawCalls, 1u);
}

TEST_F(GraphicsTest, DegenerateMeshesDrawNothing)
{
    CZanMesh one("无", 0.0f, 0.0f, 10.0f, 10.0f, 1, 5, 0);
    CZanMesh none("无", 0.0f, 0.0f, 10.0f, 10.0f, -2, 2, 0);
    const ZanD3DFrameRecord& f = Frame(
        [&]
        {
            one.Render();
            none.Render();
        });
    EXPECT_EQ(f.drawCalls, 0u);
    EXPECT_EQ(none.GetColor(0, 0), 0ul);
}
