// Alt+Enter between a window and full screen: the mouse maps back to back-buffer pixels in
// both, the window comes back where it was, and only full screen loses the device with focus.
#include "D3DTestUtil.h"
#include "Platform.h"
#include "ZanDInput.h"

#include <gtest/gtest.h>

using namespace d3dtest;

namespace
{
void AltEnter()
{
    ZanHeadlessKey(DIK_LMENU, 1);
    ZanHeadlessKey(DIK_RETURN, 1);
    ZanHeadlessKey(DIK_RETURN, 1); // held: the key repeats
    ZanHeadlessKey(DIK_RETURN, 0);
    ZanHeadlessKey(DIK_LMENU, 0);
}

POINT ToClient(HWND window, LONG x, LONG y)
{
    POINT p{x, y};
    EXPECT_TRUE(ScreenToClient(window, &p));
    return p;
}

int ReturnKeyMessages()
{
    int n = 0;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        n += (msg.message == WM_KEYDOWN || msg.message == WM_KEYUP) && msg.wParam == VK_RETURN;
    return n;
}
} // namespace

TEST(FullScreenToggle, AltEnterSwitchesAndTheMouseMapsBackInBoth)
{
    ZanHeadlessEnable();
    Rig rig;
    // A wide picture on the 1024 x 768 headless screen: scaled 2.56 times, with bars above
    // and below.
    ASSERT_TRUE(rig.Create(400, 200));
    ZanWindow* w = ZanWindowFromHandle(rig.window);
    w->x = 30;
    w->y = 40;
    rig.Frame(0xFF000000u);
    rig.Present();
    EXPECT_EQ(ToClient(rig.window, 130, 90).x, 100);
    EXPECT_EQ(ToClient(rig.window, 130, 90).y, 50);

    AltEnter();
    EXPECT_EQ(ZanHeadlessFullScreen(), 1);
    EXPECT_EQ(ReturnKeyMessages(), 0) << "Alt+Enter reached the game";
    rig.Frame(0xFF000000u);
    rig.Present();
    EXPECT_EQ(ToClient(rig.window, 512, 384).x, 200); // the display's centre
    EXPECT_EQ(ToClient(rig.window, 512, 384).y, 100);
    EXPECT_EQ(ToClient(rig.window, 0, 128).x, 0); // the picture's corner, below the bar
    EXPECT_EQ(ToClient(rig.window, 0, 128).y, 0);
    ZanHeadlessMouseMove(200, 100);
    POINT cursor{};
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.x, 512);
    EXPECT_EQ(cursor.y, 384);
    ZanHeadlessFocus(0);
    EXPECT_EQ(rig.device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    ZanHeadlessFocus(1);

    AltEnter();
    EXPECT_EQ(ZanHeadlessFullScreen(), 0);
    rig.Frame(0xFF000000u);
    rig.Present();
    EXPECT_EQ(w->x, 30);
    EXPECT_EQ(w->y, 40);
    EXPECT_EQ(ToClient(rig.window, 130, 90).x, 100);
    EXPECT_EQ(ToClient(rig.window, 130, 90).y, 50);
    ZanHeadlessFocus(0);
    EXPECT_EQ(rig.device->TestCooperativeLevel(), D3D_OK) << "a window keeps its device";
    ZanHeadlessFocus(1);

    // Enter alone, or Alt let go first, is an ordinary key.
    ReturnKeyMessages();
    ZanHeadlessKey(DIK_RETURN, 1);
    ZanHeadlessKey(DIK_RETURN, 0);
    ZanHeadlessKey(DIK_RMENU, 1);
    ZanHeadlessKey(DIK_RMENU, 0);
    ZanHeadlessKey(DIK_RETURN, 1);
    ZanHeadlessKey(DIK_RETURN, 0);
    EXPECT_EQ(ReturnKeyMessages(), 4);
    EXPECT_EQ(ZanHeadlessFullScreen(), 0);
}

TEST(FullScreenToggle, DeviceParametersChooseTheStartingMode)
{
    ZanHeadlessEnable();
    HWND window = MakeWindow(200, 200);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 800;
    pp.BackBufferHeight = 600;
    pp.hDeviceWindow = window;
    pp.Windowed = FALSE;
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(D3D_OK,
              d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, 0, &pp, &device));
    EXPECT_EQ(ZanHeadlessFullScreen(), 1);
    pp.Windowed = TRUE;
    ASSERT_EQ(D3D_OK, device->Reset(&pp));
    EXPECT_EQ(ZanHeadlessFullScreen(), 0);
    device->Release();
    d3d->Release();
}
