// The input object over the DirectInput stand-in: buffered dispatch, overflow, polling.
#include "../core/RecordingGame.h"
#include "TestSupport.h"
#include "ZanHeadless.h"

#include <gtest/gtest.h>

using zantest::ScopedWorkDir;

namespace
{
// A window for the devices' cooperative levels, and a game to receive the hooks.
class InputTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ZanHeadlessEnable();
        WNDCLASSA wc{};
        wc.lpfnWndProc = [](HWND w, UINT m, WPARAM p, LPARAM l)
        { return DefWindowProcA(w, m, p, l); };
        wc.lpszClassName = "input-test";
        RegisterClassA(&wc);
        window = CreateWindowExA(0, "input-test", "t", WS_POPUP | WS_VISIBLE, 0, 0, 800, 600,
                                 nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
    }
    // The next test of the process gets the main window and an empty queue.
    void TearDown() override
    {
        inputs.clear();
        DestroyWindow(window);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        {
        }
    }

    // An input object made with the given configuration in the working directory.
    CZanInput* MakeInput(const std::string& autoexec)
    {
        zantest::WriteFile("Autoexec.cfg", autoexec);
        auto* input = new CZanInput;
        inputs.emplace_back(input);
        return input;
    }

    ScopedWorkDir dir;
    HWND window = nullptr;
    RecordingGame game;
    std::vector<std::unique_ptr<CZanInput>> inputs;
};

const char* const kBuffered = "[输入]\n缓冲模式=1\n";
} // namespace

TEST_F(InputTest, BufferedKeyPressedAndReleasedInOneFrameGivesAllThreeHooks)
{
    CZanInput* input = MakeInput(kBuffered);
    ASSERT_TRUE(input->IsBuffered());
    ASSERT_TRUE(input->Init(GetModuleHandleA(nullptr), window));
    game.recordKeyUps = true;
    ZanHeadlessKey(0x24, 1); // J
    ZanHeadlessKey(0x24, 0);
    input->ReadBuffered(&game);
    EXPECT_EQ(game.calls, (std::vector<std::string>{"KeyDown 36", "KeyUp 36", "KeyPress 36"}));
    game.calls.clear();
    input->ReadBuffered(&game); // the events were taken out of the buffer
    EXPECT_TRUE(game.calls.empty());
}

TEST_F(InputTest, BufferedMouseAxesAndButtonsUseOffsetMinusTwelve)
{
    CZanInput* input = MakeInput(kBuffered);
    ASSERT_TRUE(input->Init(GetModuleHandleA(nullptr), window));
    game.recordKeyUps = true;
    ZanHeadlessMouseMove(5, 7);
    ZanHeadlessMouseButton(0, 1);
    ZanHeadlessMouseButton(0, 0);
    input->ReadBuffered(&game);
    EXPECT_EQ(game.calls, (std::vector<std::string>{"MouseDown -12", "MouseDown -8", "MouseDown 0",
                                                    "MouseUp 0", "MouseRelease 0"}));
    // Buffered mode never polls, so the movement offsets stay zero.
    EXPECT_EQ(input->MouseDX(), 0);
    EXPECT_EQ(input->MouseDY(), 0);
}

TEST_F(InputTest, BufferOverflowKeepsTheFirst64Events)
{
    CZanInput* input = MakeInput(kBuffered);
    ASSERT_TRUE(input->Init(GetModuleHandleA(nullptr), window));
    for (int i = 0; i < 40; ++i)
    {
        ZanHeadlessKey(0x10 + (i % 10), 1);
        ZanHeadlessKey(0x10 + (i % 10), 0);
    }
    input->ReadBuffered(&game);
    EXPECT_EQ(game.Matching("KeyDown").size(), 32u);
    EXPECT_EQ(game.Matching("KeyPress").size(), 32u);
    game.calls.clear();
    input->ReadBuffered(&game);
    EXPECT_TRUE(game.calls.empty());
}

TEST_F(InputTest, PolledStateShowsHeldKeysAndButtons)
{
    CZanInput* input = MakeInput("");
    ASSERT_FALSE(input->IsBuffered());
    ASSERT_TRUE(input->Init(GetModuleHandleA(nullptr), window));
    ZanHeadlessKey(0x39, 1);
    ZanHeadlessMouseButton(7, 1);
    ZanHeadlessMouseMove(-3, 4);
    ASSERT_TRUE(input->PollKeyboard());
    ASSERT_TRUE(input->PollMouse());
    EXPECT_TRUE(input->KeyDown(0x39));
    EXPECT_TRUE(input->KeyUp(0x38));
    EXPECT_TRUE(input->MouseButtonDown(7));
    EXPECT_EQ(input->MouseDX(), -3);
    EXPECT_EQ(input->MouseDY(), 4);
    ASSERT_TRUE(input->PollMouse()); // movement is since the last poll
    EXPECT_EQ(input->MouseDX(), 0);
}

TEST_F(InputTest, ForegroundKeyboardCannotBeAcquiredWithoutFocus)
{
    CZanInput* input = MakeInput("");
    ASSERT_TRUE(input->Init(GetModuleHandleA(nullptr), window));
    ZanHeadlessFocus(0);
    EXPECT_FALSE(input->AcquireKeyboard());
    EXPECT_TRUE(input->AcquireMouse()); // the mouse is a background device
    ZanHeadlessFocus(1);
    EXPECT_TRUE(input->AcquireKeyboard());
}

TEST(DirectInput, RejectsBadRequests)
{
    ZanHeadlessEnable();
    void* out = nullptr;
    EXPECT_TRUE(FAILED(
        DirectInput8Create(GetModuleHandleA(nullptr), 0x0700, IID_IDirectInput8A, &out, nullptr)));
    ASSERT_EQ(DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                 &out, nullptr),
              DI_OK);
    auto* di = static_cast<IDirectInput8A*>(out);
    IDirectInputDevice8A* keyboard = nullptr;
    ASSERT_EQ(di->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr), DI_OK);
    BYTE keys[256];
    EXPECT_EQ(keyboard->Acquire(), DIERR_INVALIDPARAM); // no data format yet
    EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIMouse2), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DIERR_NOTACQUIRED);
    DIDEVICEOBJECTDATA records[4];
    DWORD n = 4;
    EXPECT_TRUE(FAILED(keyboard->GetDeviceData(sizeof records[0], records, &n, 0)));
    keyboard->Release();
    di->Release();
}
