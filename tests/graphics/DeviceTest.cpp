// The graphics device: start-up parameters, fixed buffers and states, batching and the
// render list, checked on the recording device.
#include "GraphicsFixture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace
{
ZanQuad MakeQuad(float x, float y, float w, float h, CZanResPtr<CZanTexture>* texture = nullptr,
                 int blend = ZAN_BLEND_DEFAULT, DWORD color = 0xFFFFFFFFu)
{
    ZanQuad q = {};
    const float xs[4] = {x, x + w, x + w, x}, ys[4] = {y, y, y + h, y + h};
    for (int i = 0; i < 4; ++i)
        q.v[i] = ZanVertex{xs[i], ys[i], 0.5f, color, xs[i] / 64.0f, ys[i] / 64.0f};
    q.pTexture = texture;
    q.nBlend = blend;
    return q;
}

unsigned CountCalls(const ZanD3DFrameRecord& f, ZanD3DOp op, uint32_t a = ~0u)
{
    unsigned n = 0;
    for (const ZanD3DCall& c : f.calls)
        if (c.op == op && (a == ~0u || c.a == a))
            ++n;
    return n;
}

// A drawable that writes down when it is drawn.
class Probe : public IZanRender
{
public:
    Probe(std::vector<int>* log, int id, int level) : m_log(log), m_id(id)
    {
        SetRenderLevel(level);
        g_pGraphics->AddRender(this);
    }
    ~Probe() override { g_pGraphics->DelRender(this); }
    const char* GetResourceType() const override { return "probe"; }
    void Render() override { m_log->push_back(m_id); }

private:
    std::vector<int>* m_log;
    int m_id;
};
} // namespace

TEST_F(GraphicsTest, StartUpChoosesWindowedParametersWithoutVsync)
{
    ASSERT_TRUE(g_pGraphics->HasDirect3D());
    const D3DPRESENT_PARAMETERS* pp = g_pGraphics->GetPresentParameters();
    ASSERT_EQ(pp, &g_pGraphics->GetWindowedParameters());
    EXPECT_EQ(pp->BackBufferWidth, 800u);
    EXPECT_EQ(pp->BackBufferHeight, 600u);
    EXPECT_EQ(pp->BackBufferCount, 1u);
    EXPECT_TRUE(pp->Windowed);
    EXPECT_FALSE(pp->EnableAutoDepthStencil);
    EXPECT_NE(pp->BackBufferFormat, D3DFMT_UNKNOWN);
    for (const D3DPRESENT_PARAMETERS* p :
         {&g_pGraphics->GetWindowedParameters(), &g_pGraphics->GetFullScreenParameters()})
    {
        EXPECT_EQ(p->SwapEffect, D3DSWAPEFFECT_FLIP);
        EXPECT_EQ(p->PresentationInterval, D3DPRESENT_INTERVAL_IMMEDIATE);
    }
    EXPECT_FALSE(g_pGraphics->GetFullScreenParameters().Windowed);
}

TEST_F(GraphicsTest, ProjectionMapsPixelCornersHalfAPixelUpAndLeft)
{
    const D3DXMATRIX& m = g_pGraphics->GetProjectionMatrix();
    D3DXVECTOR3 out, in(0.0f, 0.0f, 0.25f);
    D3DXVec3TransformCoord(&out, &in, &m);
    EXPECT_NEAR(out.x, -1.0f - 1.0f / 800.0f, 1e-6);
    EXPECT_NEAR(out.y, 1.0f + 1.0f / 600.0f, 1e-6);
    EXPECT_NEAR(out.z, 0.25f, 1e-6);
    in = D3DXVECTOR3(800.0f, 600.0f, 1.0f);
    D3DXVec3TransformCoord(&out, &in, &m);
    EXPECT_NEAR(out.x, 1.0f - 1.0f / 800.0f, 1e-6);
    EXPECT_NEAR(out.y, -1.0f + 1.0f / 600.0f, 1e-6);
}

TEST_F(GraphicsTest, EmptyFramePresentsWithoutDrawing)
{
    const ZanD3DFrameRecord& f = Frame([] {});
    EXPECT_EQ(f.drawCalls, 0u);
    EXPECT_EQ(CountCalls(f, ZanD3DOp::Present), 1u);
    EXPECT_EQ(f.calls.back().op, ZanD3DOp::Present);
}

TEST_F(GraphicsTest, FilledQuadsShareTheIndexPatternAndVerticesPassUnchanged)
{
    ZanQuad a = MakeQuad(10, 20, 30, 40, nullptr, 2, 0x80FF0000u);
    ZanQuad b = MakeQuad(100, 100, 5, 5);
    const ZanD3DFrameRecord& f = Frame(
        [&]
        {
            g_pGraphics->RenderQuadSoild(&a);
            g_pGraphics->RenderQuadSoild(&b);
        });
    auto draws = QuadDraws(f);
    ASSERT_EQ(draws.size(), 1u);
    const ZanD3DDraw& d = *draws[0];
    EXPECT_EQ(d.type, D3DPT_TRIANGLELIST);
    EXPECT_TRUE(d.indexed);
    EXPECT_EQ(d.primitiveCount, 4u);
    ASSERT_GE(d.indexCount, 12u);
    const uint16_t pattern[12] = {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7};
    for (int k = 0; k < 12; ++k)
        EXPECT_EQ(d.indices[k], pattern[k]) << k;
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(d.vertices[i].x, a.v[i].x);
        EXPECT_EQ(d.vertices[i].y, a.v[i].y);
        EXPECT_EQ(d.vertices[i].z, 0.5f);
        EXPECT_EQ(d.vertices[i].color, 0x80FF0000u);
        EXPECT_EQ(d.vertices[i].u, a.v[i].u);
        EXPECT_EQ(d.vertices[4 + i].x, b.v[i].x);
    }
    // The fixed states every draw relies on.
    EXPECT_EQ(d.state.cullMode, DWORD(D3DCULL_NONE));
    EXPECT_EQ(d.state.alphaBlendEnable, DWORD(TRUE));
    EXPECT_EQ(d.state.srcBlend, DWORD(D3DBLEND_SRCALPHA));
    EXPECT_EQ(d.state.destBlend, DWORD(D3DBLEND_INVSRCALPHA));
    EXPECT_EQ(d.state.alphaTestEnable, DWORD(TRUE));
    EXPECT_EQ(d.state.alphaRef, 1u);
    EXPECT_EQ(d.state.alphaFunc, DWORD(D3DCMP_GREATEREQUAL));
    EXPECT_EQ(d.state.colorOp, DWORD(D3DTOP_MODULATE));
    EXPECT_EQ(d.state.colorArg1, D3DTA_TEXTURE);
    EXPECT_EQ(d.state.colorArg2, D3DTA_DIFFUSE);
    EXPECT_EQ(d.state.alphaOp, DWORD(D3DTOP_MODULATE));
}

TEST_F(GraphicsTest, BlendModeTextureAndPrimitiveChangesStartNewBatches)
{
    CZanResPtr<CZanTexture> t1(new CZanTexture(64.0f, 64.0f));
    CZanResPtr<CZanTexture> t2(new CZanTexture(64.0f, 64.0f));
    CZanResPtr<CZanTexture> t1Again(t1); // another handle, same Direct3D texture
    ZanQuad q1 = MakeQuad(0, 0, 8, 8, &t1), q1b = MakeQuad(8, 0, 8, 8, &t1Again),
            q1add = MakeQuad(0, 8, 8, 8, &t1, 3), q2 = MakeQuad(0, 16, 8, 8, &t2),
            plain = MakeQuad(0, 24, 8, 8);
    const ZanD3DFrameRecord& f = Frame(
        [&]
        {
            g_pGraphics->RenderQuadSoild(&q1);
            g_pGraphics->RenderQuadSoild(&q1b);   // same texture object: same batch
            g_pGraphics->RenderQuadSoild(&q1add); // blend 3: new batch
            g_pGraphics->RenderQuadSoild(&q2);    // other texture, blend 2: new batch
            g_pGraphics->RenderQuad(&plain);      // outline: new batch
            g_pGraphics->RenderQuad(&plain);
            g_pGraphics->RenderQuadSoild(&plain); // filled again: new batch
        });
    auto draws = QuadDraws(f);
    ASSERT_EQ(draws.size(), 5u);
    EXPECT_EQ(draws[0]->primitiveCount, 4u);
    EXPECT_EQ(draws[0]->texture, t1->GetTexture());
    EXPECT_EQ(draws[1]->primitiveCount, 2u);
    EXPECT_EQ(draws[1]->state.colorOp, DWORD(D3DTOP_ADD));
    EXPECT_EQ(draws[1]->state.destBlend, DWORD(D3DBLEND_INVSRCALPHA));
    EXPECT_EQ(draws[2]->texture, t2->GetTexture());
    EXPECT_EQ(draws[2]->state.colorOp, DWORD(D3DTOP_MODULATE));
    EXPECT_EQ(draws[3]->type, D3DPT_LINELIST);
    EXPECT_FALSE(draws[3]->indexed);
    EXPECT_EQ(draws[3]->primitiveCount, 8u);
    EXPECT_EQ(draws[3]->texture, nullptr);
    EXPECT_EQ(draws[4]->type, D3DPT_TRIANGLELIST);
    EXPECT_EQ(draws[4]->texture, nullptr);
}

TEST_F(GraphicsTest, OutlinesFollowTheFourEdges)
{
    ZanQuad q = MakeQuad(10, 20, 30, 40);
    const ZanD3DFrameRecord& f = Frame([&] { g_pGraphics->RenderQuad(&q); });
    auto draws = QuadDraws(f);
    ASSERT_EQ(draws.size(), 1u);
    const int order[8] = {0, 1, 1, 2, 2, 3, 3, 0};
    for (int k = 0; k < 8; ++k)
    {
        EXPECT_EQ(draws[0]->vertices[k].x, q.v[order[k]].x) << k;
        EXPECT_EQ(draws[0]->vertices[k].y, q.v[order[k]].y) << k;
    }
}

TEST_F(GraphicsTest, BlendModeChangesTouchOnlyChangedStates)
{
    ZanQuad additive = MakeQuad(0, 0, 4, 4, nullptr, 0), zwrite = MakeQuad(0, 0, 4, 4, nullptr, 6);
    Frame([] {}); // every frame starts in mode 2
    const ZanD3DFrameRecord& f = Frame(
        [&]
        {
            g_pGraphics->RenderQuadSoild(&additive); // 2 -> 0: only the destination blend
            g_pGraphics->RenderQuadSoild(&zwrite);   // 0 -> 6: destination blend and z writing
        });
    auto draws = QuadDraws(f);
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0]->state.destBlend, DWORD(D3DBLEND_ONE));
    EXPECT_EQ(draws[1]->state.destBlend, DWORD(D3DBLEND_INVSRCALPHA));
    EXPECT_EQ(draws[1]->state.zWriteEnable, DWORD(TRUE));
    EXPECT_EQ(CountCalls(f, ZanD3DOp::SetTextureStageState), 0u);
    EXPECT_EQ(CountCalls(f, ZanD3DOp::SetRenderState), 3u);
    EXPECT_EQ(g_pGraphics->GetBlendMode(), 6);
}

TEST_F(GraphicsTest, FullBatchIsFlushedNotOverrun)
{
    ZanQuad q = MakeQuad(1, 1, 2, 2);
    const ZanD3DFrameRecord& f = Frame(
        [&]
        {
            for (int i = 0; i < 2500; ++i)
                g_pGraphics->RenderQuadSoild(&q);
            for (int i = 0; i < 1200; ++i)
                g_pGraphics->RenderQuad(&q);
        });
    auto draws = QuadDraws(f);
    ASSERT_EQ(draws.size(), 6u);
    EXPECT_EQ(draws[0]->primitiveCount, 2000u);
    EXPECT_EQ(draws[1]->primitiveCount, 2000u);
    EXPECT_EQ(draws[2]->primitiveCount, 1000u);
    EXPECT_EQ(draws[3]->primitiveCount, 2000u); // 500 outlines of 4 lines
    EXPECT_EQ(draws[4]->primitiveCount, 2000u);
    EXPECT_EQ(draws[5]->primitiveCount, 800u);
}

TEST_F(GraphicsTest, QuadsOutsideAFrameAreIgnored)
{
    ZanQuad q = MakeQuad(1, 1, 2, 2);
    g_pGraphics->RenderQuadSoild(&q);
    g_pGraphics->RenderQuad(&q);
    g_pGraphics->RenderQuadSoild(nullptr);
    EXPECT_EQ(Frame([] {}).drawCalls, 0u);
}

TEST_F(GraphicsTest, RenderListDrawsByLevelThenRegistrationAndSkipsHidden)
{
    std::vector<int> log;
    Probe a(&log, 1, 5), b(&log, 2, -3), c(&log, 3, 5), d(&log, 4, 0);
    d.SetVisible(false);
    RenderListFrame();
    EXPECT_EQ(log, (std::vector<int>{2, 1, 3}));

    log.clear();
    a.SetRenderLevel(10); // takes effect on the next frame
    d.SetVisible(true);
    RenderListFrame();
    EXPECT_EQ(log, (std::vector<int>{2, 4, 3, 1}));
}

TEST_F(GraphicsTest, TwiceRegisteredObjectIsDrawnTwiceAndRemovedAtOnce)
{
    std::vector<int> log;
    {
        Probe p(&log, 7, 0);
        const size_t before = g_pGraphics->GetRenderCount();
        g_pGraphics->AddRender(&p);
        EXPECT_EQ(g_pGraphics->GetRenderCount(), before + 1);
        RenderListFrame();
        EXPECT_EQ(std::count(log.begin(), log.end(), 7), 2);
    }
    log.clear();
    RenderListFrame();
    EXPECT_TRUE(log.empty());
}

TEST_F(GraphicsTest, RestoreRecreatesBuffersUnlessTheDeviceIsLost)
{
    ZanD3DSimulateDeviceLost(true);
    EXPECT_FALSE(g_pGraphics->Restore());
    ZanD3DSimulateDeviceLost(false);
    EXPECT_TRUE(g_pGraphics->Restore());
    ZanQuad q = MakeQuad(1, 1, 2, 2);
    const ZanD3DFrameRecord& f = Frame([&] { g_pGraphics->RenderQuadSoild(&q); });
    EXPECT_EQ(f.drawCalls, 1u);
}

TEST_F(GraphicsTest, ReleaseLeavesNoDeviceAndLaterFramesDoNothing)
{
    g_pGraphics->Release();
    EXPECT_FALSE(g_pGraphics->HasDirect3D());
    EXPECT_EQ(g_pGraphics->GetDevice(), nullptr);
    EXPECT_FALSE(g_pGraphics->Restore());
    ZanQuad q = MakeQuad(1, 1, 2, 2);
    g_pGraphics->BeginRender();
    g_pGraphics->RenderQuadSoild(&q);
    g_pGraphics->EndRender();
}

TEST_F(GraphicsTest, VsyncCopiesAndWaitsForOneInterval)
{
    zantest::WriteFile(ZanNativePath("Autoexec.cfg"), "[图像]\r\nVSYNC=1\r\n");
    CZanGraphics vsync;
    EXPECT_TRUE(vsync.GetVSync());
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "vsync test";
    ASSERT_NE(RegisterClassA(&wc), 0u);
    HWND window = CreateWindowExA(0, "vsync test", "v", WS_POPUP, 0, 0, 320, 240, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(vsync.InitD3D(window, false, 320, 240), S_OK);
    EXPECT_EQ(vsync.GetPresentParameters(), &vsync.GetFullScreenParameters());
    for (const D3DPRESENT_PARAMETERS* p :
         {&vsync.GetWindowedParameters(), &vsync.GetFullScreenParameters()})
    {
        EXPECT_EQ(p->SwapEffect, D3DSWAPEFFECT_COPY);
        EXPECT_EQ(p->PresentationInterval, D3DPRESENT_INTERVAL_ONE);
    }
    vsync.Release();
    DestroyWindow(window);
}

TEST_F(GraphicsTest, DeviceCreationFailureIsReportedAndLeavesNoDevice)
{
    CZanGraphics other;
    EXPECT_EQ(other.InitD3D(nullptr, true, 800, 600), E_FAIL);
    EXPECT_TRUE(other.HasDirect3D()); // created objects stay until Release
    EXPECT_EQ(other.GetDevice(), nullptr);
    EXPECT_FALSE(other.InitLost());
    other.BeginRender();
    other.EndRender();
    other.Release();
    EXPECT_FALSE(other.HasDirect3D());
    std::fflush(nullptr); // the run log is written through a buffer
    int reported = 0;
    for (const auto& r : zantest::ReadLogRows(ZanNativePath("运行日志.htm")))
        reported += r.message == "DirectX3D9 设备创建失败" && r.file == "ZanGraphics";
    EXPECT_EQ(reported, 1);
}
