// The recording device: what it records, and the picture its rasteriser draws from the record.
#include "D3DTestUtil.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

using namespace d3dtest;

namespace
{
class HeadlessDevice : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ZanHeadlessEnable();
        ASSERT_TRUE(rig.Create(64, 64));
    }
    Rig rig;
};

constexpr uint32_t kBlack = 0xFF000000u;
} // namespace

TEST_F(HeadlessDevice, QuadCoversExactlyItsPixels)
{
    rig.Frame(kBlack);
    rig.device->SetTexture(0, nullptr);
    rig.Quad(10, 10, 32, 32, 0xFFFF0000u);
    ASSERT_EQ(D3D_OK, rig.Flush());
    rig.Present();
    EXPECT_EQ(1u, ZanHeadlessDrawCalls());
    int w = 0, h = 0;
    ASSERT_NE(nullptr, ZanHeadlessFrame(&w, &h));
    EXPECT_EQ(64, w);
    EXPECT_EQ(64, h);
    EXPECT_EQ(0xFFFF0000u, Pixel(10, 10));
    EXPECT_EQ(0xFFFF0000u, Pixel(41, 41));
    EXPECT_EQ(kBlack, Pixel(9, 10));
    EXPECT_EQ(kBlack, Pixel(10, 9));
    EXPECT_EQ(kBlack, Pixel(42, 41));
    EXPECT_EQ(kBlack, Pixel(41, 42));
}

TEST_F(HeadlessDevice, ColourOperationModulateOrAdd)
{
    IDirect3DTexture9* grey = MakeTexture(rig.device, 2, 2, std::vector<uint32_t>(4, 0xFF808080u));
    ASSERT_NE(nullptr, grey);
    rig.Frame(kBlack);
    rig.device->SetTexture(0, grey);
    rig.SetBlendMode(2);
    rig.Quad(0, 0, 8, 8, 0xFF4080FFu);
    rig.Flush();
    rig.SetBlendMode(3);
    rig.Quad(8, 0, 8, 8, 0xFF4080FFu);
    rig.Flush();
    rig.Present();
    EXPECT_EQ(2u, ZanHeadlessDrawCalls());
    EXPECT_TRUE(Near(0xFF204080u, Pixel(2, 2), 1)) << std::hex << Pixel(2, 2);
    EXPECT_TRUE(Near(0xFFC0FFFFu, Pixel(10, 2), 1)) << std::hex << Pixel(10, 2);
    grey->Release();
}

TEST_F(HeadlessDevice, AlphaBlendingOrAdditive)
{
    rig.Frame(0xFF204060u);
    rig.device->SetTexture(0, nullptr);
    rig.SetBlendMode(2);
    rig.Quad(0, 0, 8, 8, 0x80FFFFFFu);
    rig.Flush();
    rig.SetBlendMode(0);
    rig.Quad(8, 0, 8, 8, 0x80FFFFFFu);
    rig.Flush();
    rig.Present();
    // a = 128/255: out = 255a + bg(1 - a), or 255a + bg.
    EXPECT_TRUE(Near(0xFF90A0B0u, Pixel(1, 1) | 0xFF000000u, 1)) << std::hex << Pixel(1, 1);
    EXPECT_TRUE(Near(0xFFA0C0E0u, Pixel(9, 1) | 0xFF000000u, 1)) << std::hex << Pixel(9, 1);
    EXPECT_EQ(0xFF204060u, Pixel(20, 20));
}

TEST_F(HeadlessDevice, AlphaTestDropsOnlyFullyTransparentTexels)
{
    IDirect3DTexture9* t = MakeTexture(rig.device, 3, 1, {0x00FF0000u, 0x01FF0000u, 0xFFFF0000u});
    rig.Frame(kBlack);
    rig.device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    rig.device->SetTexture(0, t);
    rig.Quad(0, 0, 3, 1, 0xFFFFFFFFu);
    rig.Flush();
    rig.Present();
    EXPECT_EQ(kBlack, Pixel(0, 0));
    EXPECT_EQ(0x01FF0000u, Pixel(1, 0));
    EXPECT_EQ(0xFFFF0000u, Pixel(2, 0));
    t->Release();
}

TEST_F(HeadlessDevice, TextureCoordinatesSelectTexelsOfAnySize)
{
    // 3 x 5: neither side a power of two.
    std::vector<uint32_t> texels;
    for (int i = 0; i < 15; ++i)
        texels.push_back(0xFF000000u | uint32_t(i * 0x101010));
    IDirect3DTexture9* t = MakeTexture(rig.device, 3, 5, texels);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(D3D_OK, t->GetLevelDesc(0, &desc));
    EXPECT_EQ(3u, desc.Width);
    EXPECT_EQ(5u, desc.Height);
    rig.Frame(kBlack);
    rig.device->SetTexture(0, t);
    rig.Quad(20, 20, 3, 5, 0xFFFFFFFFu);
    // A window of 2 x 2 texels starting at texel (1, 2), as sprites use it.
    rig.Quad(40, 40, 2, 2, 0xFFFFFFFFu, 1.0f / 3, 2.0f / 5, 3.0f / 3, 4.0f / 5);
    rig.Flush();
    rig.Present();
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(texels[size_t(y * 3 + x)], Pixel(20 + x, 20 + y)) << x << "," << y;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(texels[size_t((2 + y) * 3 + 1 + x)], Pixel(40 + x, 40 + y));
    t->Release();
}

TEST_F(HeadlessDevice, UntexturedOutlinesFollowTheEdges)
{
    rig.Frame(kBlack);
    rig.device->SetTexture(0, nullptr);
    rig.Quad(10, 10, 20, 20, 0xFF00FF00u);
    ASSERT_EQ(D3D_OK, rig.FlushOutlines());
    rig.Present();
    int edge = 0;
    for (int x = 12; x < 28; ++x)
        edge += Pixel(x, 10) == 0xFF00FF00u || Pixel(x, 9) == 0xFF00FF00u;
    EXPECT_EQ(16, edge);
    EXPECT_EQ(kBlack, Pixel(20, 20));
    const ZanD3DFrameRecord* frame = ZanD3DLastFrame();
    ASSERT_EQ(1u, frame->draws.size());
    EXPECT_EQ(D3DPT_LINELIST, frame->draws[0].type);
    EXPECT_EQ(4u, frame->draws[0].primitiveCount);
}

TEST_F(HeadlessDevice, RecordKeepsEachDrawsVerticesWhenTheBufferIsRewritten)
{
    rig.Frame(kBlack);
    rig.Present(); // the set-up calls stay in that first frame
    rig.Frame(kBlack);
    rig.Quad(1, 2, 3, 4, 0xFF112233u);
    rig.Flush();
    rig.Quad(5, 6, 7, 8, 0xFF445566u);
    rig.Flush();
    rig.Present();
    const ZanD3DFrameRecord* frame = ZanD3DLastFrame();
    ASSERT_NE(nullptr, frame);
    ASSERT_EQ(2u, frame->draws.size());
    EXPECT_EQ(2u, ZanHeadlessDrawCalls());
    const ZanD3DDraw& a = frame->draws[0];
    const ZanD3DDraw& b = frame->draws[1];
    EXPECT_TRUE(a.indexed);
    EXPECT_EQ(6u, a.indexCount);
    EXPECT_EQ(2u, a.primitiveCount);
    EXPECT_EQ(1.0f, a.vertices[a.indices[0]].x);
    EXPECT_EQ(0xFF112233u, a.vertices[a.indices[2]].color);
    EXPECT_EQ(12.0f, b.vertices[b.indices[2]].x);
    EXPECT_EQ(D3DBLEND_INVSRCALPHA, a.state.destBlend);
    EXPECT_EQ(D3DCMP_GREATEREQUAL, a.state.alphaFunc);
    // The call sequence ends with the draws, the end of the scene and Present.
    ASSERT_GE(frame->calls.size(), 5u);
    EXPECT_EQ(ZanD3DOp::Clear, frame->calls[0].op);
    EXPECT_EQ(ZanD3DOp::Present, frame->calls.back().op);
    EXPECT_EQ(ZanD3DOp::EndScene, frame->calls[frame->calls.size() - 2].op);
    EXPECT_EQ(ZanD3DOp::Draw, frame->calls[frame->calls.size() - 3].op);
}

TEST_F(HeadlessDevice, DrawsOutsideTheBuffersAreRefused)
{
    rig.Frame(kBlack);
    // An index beyond the 4000 vertices of the buffer.
    void* data = nullptr;
    ASSERT_EQ(D3D_OK, rig.ib->Lock(0, 12, &data, 0));
    static_cast<uint16_t*>(data)[0] = 4000;
    rig.ib->Unlock();
    EXPECT_EQ(D3DERR_INVALIDCALL,
              rig.device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2));
    EXPECT_EQ(D3DERR_INVALIDCALL,
              rig.device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 5998, 2));
    EXPECT_EQ(D3DERR_INVALIDCALL, rig.device->DrawPrimitive(D3DPT_LINELIST, 3999, 1));
    EXPECT_EQ(D3DERR_INVALIDCALL, rig.vb->Lock(96000, 1, &data, 0));
    // A locked buffer cannot be drawn from.
    ASSERT_EQ(D3D_OK, rig.vb->Lock(0, 0, &data, 0));
    EXPECT_EQ(D3DERR_INVALIDCALL, rig.device->DrawPrimitive(D3DPT_LINELIST, 0, 1));
    rig.vb->Unlock();
    EXPECT_EQ(D3D_OK, rig.device->DrawPrimitive(D3DPT_LINELIST, 0, 1));
    rig.Present();
    EXPECT_EQ(1u, ZanHeadlessDrawCalls());
}

TEST_F(HeadlessDevice, FramesWithoutClearDrawOverThePreviousPicture)
{
    rig.Frame(kBlack);
    rig.Quad(0, 0, 4, 4, 0xFFFF0000u);
    rig.Flush();
    rig.Present();
    rig.device->BeginScene();
    rig.Quad(8, 0, 4, 4, 0xFF0000FFu);
    rig.Flush();
    rig.Present();
    EXPECT_EQ(0xFFFF0000u, Pixel(1, 1));
    EXPECT_EQ(0xFF0000FFu, Pixel(9, 1));
    // An empty frame still presents (its clear).
    rig.Frame(0xFF123456u);
    rig.Present();
    EXPECT_EQ(0u, ZanHeadlessDrawCalls());
    EXPECT_EQ(0xFF123456u, Pixel(1, 1));
}

TEST_F(HeadlessDevice, LostDeviceDrawsNothingUntilRestored)
{
    rig.Frame(0xFF123456u);
    rig.Present();
    ZanD3DSimulateDeviceLost(true);
    EXPECT_EQ(D3DERR_DEVICELOST, rig.device->TestCooperativeLevel());
    rig.Frame(0xFFFFFFFFu);
    rig.Quad(0, 0, 4, 4, 0xFFFF0000u);
    rig.Flush();
    rig.device->EndScene();
    EXPECT_EQ(D3DERR_DEVICELOST, rig.device->Present(nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(0u, ZanHeadlessDrawCalls()) << "the frame before the loss stays the last one";
    EXPECT_EQ(0xFF123456u, Pixel(1, 1));
    ZanD3DSimulateDeviceLost(false);
    EXPECT_EQ(D3D_OK, rig.device->TestCooperativeLevel());
}

TEST_F(HeadlessDevice, ResourcesCountReferencesAndOutliveTheDevice)
{
    IDirect3DTexture9* t = MakeTexture(rig.device, 2, 2, std::vector<uint32_t>(4, 0u));
    EXPECT_EQ(2u, t->AddRef());
    EXPECT_EQ(1u, t->Release());
    rig.device->SetTexture(0, t); // the device holds the texture while it is bound
    EXPECT_EQ(3u, t->AddRef());
    EXPECT_EQ(2u, t->Release());
    IDirect3DDevice9* owner = nullptr;
    ASSERT_EQ(D3D_OK, t->GetDevice(&owner));
    EXPECT_EQ(rig.device, owner);
    owner->Release();
    rig.vb->Release();
    rig.vb = nullptr;
    rig.ib->Release();
    rig.ib = nullptr;
    EXPECT_EQ(0u, rig.device->Release());
    rig.device = nullptr;
    EXPECT_EQ(D3DERR_INVALIDCALL, t->GetDevice(&owner));
    EXPECT_EQ(0u, t->Release());
}

TEST_F(HeadlessDevice, AdapterReportsItsModes)
{
    D3DDISPLAYMODE mode;
    ASSERT_EQ(D3D_OK, rig.d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode));
    EXPECT_EQ(D3DFMT_X8R8G8B8, mode.Format);
    const UINT count = rig.d3d->GetAdapterModeCount(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8);
    ASSERT_GT(count, 0u);
    bool found800 = false;
    for (UINT i = 0; i < count; ++i)
    {
        ASSERT_EQ(D3D_OK, rig.d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8, i, &mode));
        found800 |= mode.Width == 800 && mode.Height == 600;
    }
    EXPECT_TRUE(found800);
    EXPECT_EQ(D3DERR_INVALIDCALL,
              rig.d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8, count, &mode));
    D3DADAPTER_IDENTIFIER9 id;
    ASSERT_EQ(D3D_OK, rig.d3d->GetAdapterIdentifier(D3DADAPTER_DEFAULT, D3DENUM_WHQL_LEVEL, &id));
    EXPECT_NE('\0', id.Description[0]);
    EXPECT_EQ(nullptr, Direct3DCreate9(31));
}

TEST_F(HeadlessDevice, NonFiniteAndHugeVerticesAreSkippedSafely)
{
    IDirect3DTexture9* t = MakeTexture(rig.device, 2, 2, std::vector<uint32_t>(4, 0xFF00FF00u));
    rig.Frame(kBlack);
    rig.device->SetTexture(0, t);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    rig.Quad(nan, 0, 10, 10, 0xFFFFFFFFu);
    rig.Quad(0, 0, inf, 10, 0xFFFFFFFFu);
    rig.Quad(-1e30f, -1e30f, 2e30f, 2e30f, 0xFFFFFFFFu);
    rig.Quad(40, 40, 4, 4, 0xFFFFFFFFu, 1e20f, -1e20f, nan, inf);
    rig.Quad(20, 20, 4, 4, 0xFFFFFFFFu);
    ASSERT_EQ(D3D_OK, rig.Flush());
    rig.Present();
    EXPECT_EQ(0xFF00FF00u, Pixel(21, 21)) << "the sound quad still draws";
    t->Release();
}

TEST_F(HeadlessDevice, ManySmallBatchesShareStorageAndKeepTheirOwnVertices)
{
    rig.Frame(kBlack);
    for (int i = 0; i < 300; ++i)
    {
        rig.Quad(float(i % 60), float(i / 60), 1, 1, 0xFF000000u | uint32_t(i));
        ASSERT_EQ(D3D_OK, rig.Flush());
    }
    rig.Present();
    const ZanD3DFrameRecord* frame = ZanD3DLastFrame();
    ASSERT_EQ(300u, frame->draws.size());
    for (int i = 0; i < 300; ++i)
    {
        const ZanD3DDraw& d = frame->draws[size_t(i)];
        EXPECT_EQ(0xFF000000u | uint32_t(i), d.vertices[d.indices[0]].color);
    }
    // Storage is not taken afresh per batch.
    std::vector<const void*> distinct;
    for (const auto& kept : frame->keep)
        if (std::find(distinct.begin(), distinct.end(), kept.get()) == distinct.end())
            distinct.push_back(kept.get());
    EXPECT_LE(distinct.size(), 3u);
    EXPECT_EQ(0xFF000000u | 299u, Pixel(299 % 60, 299 / 60));
}

TEST_F(HeadlessDevice, PartialLockAfterADrawKeepsTheRestOfTheBuffer)
{
    rig.Frame(kBlack);
    rig.Quad(0, 0, 2, 2, 0xFFFF0000u);
    rig.Flush(); // vertices 0-3 red, drawn
    void* data = nullptr;
    ASSERT_EQ(D3D_OK, rig.vb->Lock(4 * 24, 4 * 24, &data, 0));
    const ZanD3DVertex blue[4] = {{4, 0, 0, 0xFF0000FFu, 0, 0},
                                  {6, 0, 0, 0xFF0000FFu, 0, 0},
                                  {6, 2, 0, 0xFF0000FFu, 0, 0},
                                  {4, 2, 0, 0xFF0000FFu, 0, 0}};
    std::memcpy(data, blue, sizeof blue);
    rig.vb->Unlock();
    ASSERT_EQ(D3D_OK, rig.device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 0, 4));
    rig.Present();
    const ZanD3DFrameRecord* frame = ZanD3DLastFrame();
    ASSERT_EQ(2u, frame->draws.size());
    const ZanD3DDraw& both = frame->draws[1];
    EXPECT_EQ(0xFFFF0000u, both.vertices[both.indices[0]].color) << "kept from before";
    EXPECT_EQ(0xFF0000FFu, both.vertices[both.indices[6]].color);
    EXPECT_EQ(0xFFFF0000u, frame->draws[0].vertices[frame->draws[0].indices[0]].color);
    EXPECT_EQ(0xFFFF0000u, Pixel(1, 1));
    EXPECT_EQ(0xFF0000FFu, Pixel(5, 1));
}

TEST_F(HeadlessDevice, FullBatchesOfSuccessiveFramesReuseAFewPlacesOfStorage)
{
    // Each frame fills the whole vertex buffer. Storage a presented record no longer holds is
    // taken again from its start, so frames keep writing to the same two places (which stay
    // in the cache) instead of walking through every arena.
    std::vector<const void*> places;
    for (int frame = 0; frame < 40; ++frame)
    {
        rig.Frame(kBlack);
        for (int i = 0; i < 1000; ++i)
            rig.Quad(float(i % 64), float(frame), 1, 1, 0xFF000000u | uint32_t(frame));
        ASSERT_EQ(D3D_OK, rig.Flush());
        rig.Present();
        const ZanD3DDraw& d = ZanD3DLastFrame()->draws.back();
        EXPECT_EQ(0xFF000000u | uint32_t(frame), d.vertices[d.indices[0]].color);
        if (frame >= 10 && std::find(places.begin(), places.end(), d.vertices) == places.end())
            places.push_back(d.vertices);
    }
    EXPECT_EQ(2u, places.size()) << "once the first arena has filled, frames alternate";
}
