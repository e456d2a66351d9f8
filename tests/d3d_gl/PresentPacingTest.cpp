// With a presentation interval of one, Present returns at most once per display refresh even
// where the driver's swap returns at once (Mesa under Xvfb). Only a lower bound on the time is
// checked: a busy machine can make frames slower, never faster.
#include "D3DTestUtil.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace d3dtest;

TEST(GLRenderer, PresentWaitsForTheRefreshWithIntervalOne)
{
    if (ZanHeadlessEnabled())
        GTEST_SKIP() << "the headless backend is on in this process";
    if (!std::getenv("DISPLAY") && !std::getenv("SDL_VIDEODRIVER"))
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
    Rig rig;
    if (!rig.Create(160, 120))
        GTEST_SKIP() << "no OpenGL context here";
    D3DDISPLAYMODE mode{};
    ASSERT_EQ(D3D_OK, rig.d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode));
    const double hz = mode.RefreshRate > 0 ? mode.RefreshRate : 60.0;

    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 160;
    pp.BackBufferHeight = 120;
    pp.BackBufferCount = 1;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.hDeviceWindow = rig.window;
    pp.Windowed = TRUE;
    pp.SwapEffect = D3DSWAPEFFECT_COPY;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_ONE;
    ASSERT_EQ(D3D_OK, rig.device->Reset(&pp));

    const int frames = 31;
    rig.Frame(0xFF000000u);
    rig.Present(); // the first presentation starts the rhythm
    const auto start = std::chrono::steady_clock::now();
    for (int i = 1; i < frames; ++i)
    {
        rig.Frame(0xFF000000u | uint32_t(i));
        rig.Present();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // 30 refreshes, less a margin for a display whose rate is rounded to whole hertz.
    EXPECT_GE(seconds, (frames - 1) / hz * 0.95)
        << "presented at " << (frames - 1) / seconds << " frames per second on a " << hz
        << " Hz display";
}
