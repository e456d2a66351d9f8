// The OpenGL renderer draws what the software rasteriser draws for the same calls. Runs only
// where an OpenGL context can be made (a display, or SDL's offscreen driver).
#include "D3DTestUtil.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace d3dtest;

TEST(GLRenderer, MatchesTheSoftwareRasteriser)
{
    if (ZanHeadlessEnabled())
        GTEST_SKIP() << "the headless backend is on in this process";
    if (!std::getenv("DISPLAY") && !std::getenv("SDL_VIDEODRIVER"))
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
    Rig rig;
    if (!rig.Create(128, 96))
        GTEST_SKIP() << "no OpenGL context here";

    std::vector<uint32_t> texels;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            texels.push_back((x == 0 ? 0x00000000u : uint32_t((x * 32) << 24)) |
                             uint32_t(y * 0x1F0000 + x * 0x1F00 + 0x40));
    IDirect3DTexture9* t = MakeTexture(rig.device, 8, 8, texels);
    // 5 x 3, not a power of two, opaque.
    IDirect3DTexture9* odd = MakeTexture(rig.device, 5, 3, std::vector<uint32_t>(15, 0xFF30C060u));

    rig.Frame(0xFF203040u);
    rig.device->SetTexture(0, t);
    for (int mode = 0; mode < 4; ++mode)
    {
        rig.SetBlendMode(mode);
        rig.Quad(4.0f + 30 * mode, 4, 24, 24, 0xC0FFA080u);
        rig.Quad(4.0f + 30 * mode, 32, 8, 8, 0xFFFFFFFFu, 0.25f, 0.25f, 1.25f, 1.25f);
        ASSERT_EQ(D3D_OK, rig.Flush());
    }
    rig.SetBlendMode(2);
    rig.device->SetTexture(0, odd);
    rig.Quad(10, 50, 15, 9, 0xFFFFFFFFu);
    rig.Flush();
    // Mirrored and clamped addressing beyond 0..1.
    rig.device->SetTexture(0, t);
    rig.device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
    rig.device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    rig.Quad(84, 40, 40, 20, 0xFFFFFFFFu, -1, -1, 2, 1.5f);
    rig.Flush();
    rig.device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    rig.device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
    rig.device->SetTexture(0, nullptr);
    rig.Quad(40, 50, 20, 20, 0x80FF0000u);
    rig.Flush();
    ID3DXFont* font = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateFontA(rig.device, 16, 0, 400, 1, FALSE, DEFAULT_CHARSET, 0, 0, 0,
                                      "宋体", &font));
    RECT at{64, 60, 0, 0};
    EXPECT_GT(font->DrawTextA(nullptr, "天空 Sky", -1, &at, DT_NOCLIP, 0xE0FFFF00u), 0);
    rig.Present();
    font->Release();

    std::vector<uint32_t> gl;
    ASSERT_TRUE(ZanD3DReadBack(rig.device, gl));
    int w = 0, h = 0;
    const unsigned* soft = ZanD3DLastFramePixels(&w, &h);
    ASSERT_NE(nullptr, soft);
    ASSERT_EQ(size_t(w) * size_t(h), gl.size());
    int differing = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (!Near(gl[size_t(y) * w + x], soft[y * w + x], 2) && ++differing <= 5)
                ADD_FAILURE() << "pixel " << x << "," << y << std::hex << " gl " << gl[y * w + x]
                              << " soft " << soft[y * w + x];
    EXPECT_EQ(0, differing);
    // And the picture is not trivially empty.
    EXPECT_NE(gl[size_t(10) * w + 10], gl[0]);
    t->Release();
    odd->Release();
}

TEST(GLRenderer, FullScreenShowsThePictureScaledWithItsAspectKept)
{
    if (ZanHeadlessEnabled())
        GTEST_SKIP() << "the headless backend is on in this process";
    if (!std::getenv("DISPLAY") && !std::getenv("SDL_VIDEODRIVER"))
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
    HWND window = MakeWindow(800, 600);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(nullptr, d3d);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 800;
    pp.BackBufferHeight = 600;
    pp.hDeviceWindow = window;
    pp.Windowed = FALSE;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    IDirect3DDevice9* device = nullptr;
    if (!window ||
        FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, 0, &pp, &device)))
    {
        d3d->Release();
        GTEST_SKIP() << "no OpenGL context here";
    }
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699u, 1, 0);
    EXPECT_EQ(D3D_OK, device->Present(nullptr, nullptr, nullptr, nullptr));
    D3DDISPLAYMODE mode;
    ASSERT_EQ(D3D_OK, d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode));
    // The centre of the display is the centre of the picture, whatever the display's shape.
    POINT centre{LONG(mode.Width / 2), LONG(mode.Height / 2)};
    ASSERT_TRUE(ScreenToClient(window, &centre));
    EXPECT_NEAR(400, centre.x, 2) << mode.Width << "x" << mode.Height;
    EXPECT_NEAR(300, centre.y, 2);
    // So is a corner of the picture's largest fitting rectangle.
    const float scale = std::min(mode.Width / 800.0f, mode.Height / 600.0f);
    POINT corner{LONG(std::lround((mode.Width - 800 * scale) / 2)),
                 LONG(std::lround((mode.Height - 600 * scale) / 2))};
    ASSERT_TRUE(ScreenToClient(window, &corner));
    EXPECT_NEAR(0, corner.x, 2);
    EXPECT_NEAR(0, corner.y, 2);
    device->Release();
    d3d->Release();
    DestroyWindow(window);
}

TEST(GLRenderer, DeviceAndTexturesMayOutliveTheirWindow)
{
    if (ZanHeadlessEnabled())
        GTEST_SKIP() << "the headless backend is on in this process";
    if (!std::getenv("DISPLAY") && !std::getenv("SDL_VIDEODRIVER"))
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
    Rig rig;
    if (!rig.Create(64, 64))
        GTEST_SKIP() << "no OpenGL context here";
    IDirect3DTexture9* t = MakeTexture(rig.device, 2, 2, std::vector<uint32_t>(4, 0xFFFFFFFFu));
    rig.Frame(0xFF000000u);
    rig.device->SetTexture(0, t);
    rig.Quad(0, 0, 8, 8, 0xFFFFFFFFu);
    rig.Flush();
    rig.Present();
    // The program's shutdown order: the window goes first, then the device, then textures.
    ASSERT_TRUE(DestroyWindow(rig.window));
    rig.window = nullptr;
    rig.Frame(0xFF000000u);
    rig.Quad(0, 0, 8, 8, 0xFFFFFFFFu);
    rig.Flush();
    rig.device->EndScene();
    rig.device->Present(nullptr, nullptr, nullptr, nullptr);
    std::vector<uint32_t> picture;
    EXPECT_FALSE(ZanD3DReadBack(rig.device, picture));
    rig.vb->Release();
    rig.vb = nullptr;
    rig.ib->Release();
    rig.ib = nullptr;
    EXPECT_EQ(0u, rig.device->Release());
    rig.device = nullptr;
    EXPECT_EQ(0u, t->Release());
}
