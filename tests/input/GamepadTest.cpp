// Gamepads as the players' keys: which pad steers which bird, the stick's dead zone and
// hysteresis, a key shared with the keyboard, and pads joining and leaving.
#include "../core/RecordingGame.h"
#include "TestSupport.h"
#include "ZanHeadless.h"

#include <gtest/gtest.h>

using zantest::ScopedWorkDir;

namespace
{
class GamepadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ZanHeadlessEnable();
        WNDCLASSA wc{};
        wc.lpfnWndProc = [](HWND w, UINT m, WPARAM p, LPARAM l)
        { return DefWindowProcA(w, m, p, l); };
        wc.lpszClassName = "pad-test";
        RegisterClassA(&wc);
        window = CreateWindowExA(0, "pad-test", "t", WS_POPUP | WS_VISIBLE, 0, 0, 800, 600, nullptr,
                                 nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
    }
    // The next test of the process gets the main window and an empty queue.
    void TearDown() override
    {
        input.reset();
        DestroyWindow(window);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        {
        }
    }

    void Start(const std::string& autoexec)
    {
        zantest::WriteFile("Autoexec.cfg", autoexec);
        input = std::make_unique<CZanInput>();
        ASSERT_TRUE(input->Init(GetModuleHandleA(nullptr), window));
    }

    // The keys a polled frame sees down, out of the six the two birds use.
    std::vector<int> Held()
    {
        EXPECT_TRUE(input->PollKeyboard());
        std::vector<int> down;
        for (int key : {DIK_A, DIK_D, DIK_J, DIK_LEFT, DIK_RIGHT, DIK_END})
            if (input->KeyDown(key))
                down.push_back(key);
        return down;
    }

    // Key messages posted to the window since the last call, as "down VK" / "up VK".
    std::vector<std::string> KeyMessages()
    {
        std::vector<std::string> out;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message == WM_KEYDOWN || msg.message == WM_KEYUP)
                out.push_back((msg.message == WM_KEYDOWN ? "down " : "up ") +
                              std::to_string(msg.wParam));
        return out;
    }

    ScopedWorkDir dir;
    HWND window = nullptr;
    std::unique_ptr<CZanInput> input;
};

using Keys = std::vector<int>;
} // namespace

TEST_F(GamepadTest, FirstPadSteersBirdOneAndSecondBirdTwo)
{
    Start("");
    ZanHeadlessPadConnect(7, 1);
    ZanHeadlessPadConnect(3, 1); // joined second, whatever its number
    ZanHeadlessPadButton(7, ZAN_PAD_DPAD_LEFT, 1);
    ZanHeadlessPadButton(7, ZAN_PAD_SOUTH, 1);
    ZanHeadlessPadButton(3, ZAN_PAD_DPAD_RIGHT, 1);
    EXPECT_EQ(Held(), (Keys{DIK_A, DIK_J, DIK_RIGHT}));
    ZanHeadlessPadButton(7, ZAN_PAD_DPAD_LEFT, 0);
    ZanHeadlessPadButton(7, ZAN_PAD_SOUTH, 0);
    ZanHeadlessPadButton(3, ZAN_PAD_DPAD_RIGHT, 0);
    ZanHeadlessPadButton(3, ZAN_PAD_SOUTH, 1);
    ZanHeadlessPadButton(3, 5, 1); // a button no bird uses
    EXPECT_EQ(Held(), (Keys{DIK_END}));
    // Pressed and released between two frames, a flap still counts once.
    ZanHeadlessPadButton(7, ZAN_PAD_SOUTH, 1);
    ZanHeadlessPadButton(7, ZAN_PAD_SOUTH, 0);
    EXPECT_EQ(Held(), (Keys{DIK_J, DIK_END}));
    EXPECT_EQ(Held(), (Keys{DIK_END}));
}

TEST_F(GamepadTest, StickHasADeadZoneAndHysteresis)
{
    Start("");
    ZanHeadlessPadConnect(1, 1);
    const struct
    {
        int value;
        Keys held;
    } steps[] = {
        {8000, {}},        // resting slack
        {16000, {}},       // not yet half way
        {20000, {DIK_D}},  // pushed
        {12000, {DIK_D}},  // eased off, still inside the hold band
        {8000, {}},        // let go
        {-12000, {}},      // the hold band does not press
        {-32768, {DIK_A}}, // full left
        {-9000, {DIK_A}},  // still held
        {32767, {DIK_D}},  // flicked across: left lets go as right presses
        {0, {}},
    };
    for (const auto& step : steps)
    {
        ZanHeadlessPadAxis(1, ZAN_PAD_LEFT_X, step.value);
        EXPECT_EQ(Held(), step.held) << "stick at " << step.value;
    }
    ZanHeadlessPadAxis(1, 1, 32767); // the vertical axis steers nothing
    EXPECT_EQ(Held(), Keys{});
}

TEST_F(GamepadTest, StickAndDpadTogetherHoldOneKey)
{
    Start("");
    ZanHeadlessPadConnect(1, 1);
    ZanHeadlessPadAxis(1, ZAN_PAD_LEFT_X, -30000);
    ZanHeadlessPadButton(1, ZAN_PAD_DPAD_LEFT, 1);
    ZanHeadlessPadAxis(1, ZAN_PAD_LEFT_X, 0);
    EXPECT_EQ(Held(), (Keys{DIK_A}));
    ZanHeadlessPadButton(1, ZAN_PAD_DPAD_LEFT, 0);
    EXPECT_EQ(Held(), Keys{});
}

TEST_F(GamepadTest, LosingTheFocusLetsGoOfWhatPadsHold)
{
    Start("");
    ZanHeadlessPadConnect(1, 1);
    ZanHeadlessPadButton(1, ZAN_PAD_SOUTH, 1);
    ZanHeadlessPadAxis(1, ZAN_PAD_LEFT_X, 30000);
    ZanHeadlessFocus(0); // the release of both would go unheard from here on
    ZanHeadlessFocus(1);
    ASSERT_TRUE(input->AcquireKeyboard());
    EXPECT_EQ(Held(), Keys{});
    ZanHeadlessPadButton(1, ZAN_PAD_SOUTH, 1); // pressed anew after coming back
    EXPECT_EQ(Held(), (Keys{DIK_J}));
}

TEST_F(GamepadTest, KeyHeldByKeyboardAndPadStaysDownUntilBothLetGo)
{
    Start("[输入]\n缓冲模式=1\n");
    RecordingGame game;
    game.recordKeyUps = true;
    ZanHeadlessPadConnect(1, 1);
    ZanHeadlessKey(DIK_J, 1);
    ZanHeadlessPadButton(1, ZAN_PAD_SOUTH, 1);
    ZanHeadlessKey(DIK_J, 0);
    input->ReadBuffered(&game);
    EXPECT_EQ(game.calls, (std::vector<std::string>{"KeyDown 36"}));
    game.calls.clear();
    ZanHeadlessPadButton(1, ZAN_PAD_SOUTH, 0);
    ZanHeadlessPadButton(1, ZAN_PAD_SOUTH, 1);
    ZanHeadlessKey(DIK_J, 1);
    ZanHeadlessPadButton(1, ZAN_PAD_SOUTH, 0);
    ZanHeadlessKey(DIK_J, 0);
    input->ReadBuffered(&game);
    EXPECT_EQ(game.calls, (std::vector<std::string>{"KeyUp 36", "KeyPress 36", "KeyDown 36",
                                                    "KeyUp 36", "KeyPress 36"}));
    // The window hears of each press and release once, too ('J' is 74).
    EXPECT_EQ(KeyMessages(), (std::vector<std::string>{"down 74", "up 74", "down 74", "up 74"}));
}

TEST_F(GamepadTest, LeavingPadLetsGoAndAWaitingPadTakesItsPlace)
{
    Start("");
    ZanHeadlessPadConnect(1, 1);
    ZanHeadlessPadConnect(2, 1);
    ZanHeadlessPadConnect(3, 1); // no bird left for it: it waits
    ZanHeadlessPadConnect(1, 1); // joining twice changes nothing
    ZanHeadlessPadButton(1, ZAN_PAD_DPAD_RIGHT, 1);
    ZanHeadlessPadButton(2, ZAN_PAD_SOUTH, 1);
    ZanHeadlessPadButton(3, ZAN_PAD_DPAD_LEFT, 1);
    EXPECT_EQ(Held(), (Keys{DIK_D, DIK_END}));

    // Pulled out with the button held: bird 1 stops, and the waiting pad, still holding left,
    // steers bird 1 from now on.
    ZanHeadlessPadConnect(1, 0);
    EXPECT_EQ(Held(), (Keys{DIK_A, DIK_END}));
    ZanHeadlessPadButton(1, ZAN_PAD_SOUTH, 1); // a pad that left is not heard
    EXPECT_EQ(Held(), (Keys{DIK_A, DIK_END}));

    ZanHeadlessPadConnect(2, 0);
    ZanHeadlessPadConnect(1, 1); // back in: bird 2 is the free place
    ZanHeadlessPadButton(1, ZAN_PAD_DPAD_RIGHT, 1);
    EXPECT_EQ(Held(), (Keys{DIK_A, DIK_RIGHT}));
    ZanHeadlessPadConnect(3, 0);
    ZanHeadlessPadConnect(1, 0);
    ZanHeadlessPadConnect(9, 0); // never joined
    EXPECT_EQ(Held(), Keys{});
}
