// A window with a very large icon under a real X server: the icon the window system is given
// must fit an X request, or the server refuses it and the program dies. Needs an X display.
#include "D3DTestUtil.h"
#include "TestSupport.h"
#include "ZanWin32.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

namespace
{
LRESULT Proc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    return DefWindowProcA(w, m, wp, lp);
}
} // namespace

TEST(DesktopIconTest, A2048PixelIconDoesNotEndTheProgram)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X display";
    zantest::ScopedWorkDir dir;
    std::vector<uint32_t> pixels(size_t(2048) * 2048, 0xFFD83A3Au);
    zantest::WriteFile("HUGE.png", d3dtest::EncodePng(2048, 2048, pixels));
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hIcon = LoadIconA(nullptr, "HUGE");
    ASSERT_NE(wc.hIcon, nullptr);
    wc.lpszClassName = "icon-test";
    ASSERT_TRUE(RegisterClassA(&wc));
    HWND window = CreateWindowExA(0, "icon-test", "IconTest", WS_POPUP | WS_VISIBLE | WS_CAPTION, 0,
                                  0, 320, 240, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    // The server's refusal arrives asynchronously: give it time to come back and be handled.
    for (int i = 0; i < 20; ++i)
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        usleep(20000);
    }
    EXPECT_TRUE(DestroyWindow(window));
}
