// Engine lifecycle, frame loop and game base class, driven through the headless backend.
#include "Platform.h"
#include "RecordingGame.h"
#include "TestSupport.h"
#include "ZanHeadless.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

using zantest::ReadLogRows;
using zantest::ScopedWorkDir;

namespace
{
const std::string kLog = ZanNativePath("运行日志.htm");

class EngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ZanHeadlessEnable();
        engine = KovCreate(9);
        ASSERT_NE(engine, nullptr);
    }
    void TearDown() override
    {
        delete game;
        game = nullptr;
        if (CZanEngine::Instance())
            engine->Release();
    }
    // Starts a windowed 800 x 600 game and runs the frame loop with `step` called every pass.
    bool Run(std::function<void(int)> step)
    {
        zantest::OnEveryPass(std::move(step));
        return engine->SystemStart();
    }
    void StartGame()
    {
        game = new RecordingGame;
        game->m_bWindowed = true;
        ASSERT_TRUE(engine->LoadGame(game));
        ASSERT_TRUE(engine->SystemInitiate());
    }

    ScopedWorkDir dir;
    CZanEngine* engine = nullptr;
    RecordingGame* game = nullptr;
};

std::vector<std::string> Messages(const std::vector<zantest::LogRow>& rows)
{
    std::vector<std::string> out;
    for (const auto& r : rows)
        out.push_back(r.message);
    return out;
}
} // namespace

TEST_F(EngineTest, FactoryCountsUsesAndRefusesOtherVersions)
{
    EXPECT_EQ(KovCreate(8), nullptr);
    EXPECT_EQ(KovCreate(9), engine);
    engine->Release();
    EXPECT_EQ(CZanEngine::Instance(), engine); // one use left
}

TEST_F(EngineTest, WindowIsCentredWithFixedFrameAndCaption)
{
    StartGame();
    ZanWindow* w = ZanWindowFromHandle(ZanMainWindow());
    ASSERT_NE(w, nullptr);
    // Outer 806 x 625 at (109, 71) on a 1024 x 768 screen; the client starts inside the frame.
    EXPECT_EQ(w->x, 109 + 3);
    EXPECT_EQ(w->y, 71 + 3 + 19);
    EXPECT_EQ(w->clientW, 800);
    EXPECT_EQ(w->clientH, 600);
    EXPECT_EQ(w->style, 0x90CA0000u);
    EXPECT_EQ(game->m_dwWindowedStyle, 0x90CA0000u);
    EXPECT_EQ(game->m_dwFullScreenStyle, 0x90000000u);
}

// On the 1024 x 768 headless screen: a size of 0 or less opens nothing and says why; one
// larger than the display is cut to fit, window and back buffer alike.
struct WindowSizeCase
{
    int width, height;
    bool windowed;
    int clientW, clientH; // 0: refused
};

void PrintTo(const WindowSizeCase& c, std::ostream* out)
{
    *out << c.width << " x " << c.height << (c.windowed ? " windowed" : " full screen");
}

class WindowSizeTest : public EngineTest, public testing::WithParamInterface<WindowSizeCase>
{
};

TEST_P(WindowSizeTest, IsRefusedWhenEmptyAndCutToTheDisplay)
{
    const WindowSizeCase c = GetParam();
    game = new RecordingGame;
    game->m_nWidth = c.width;
    game->m_nHeight = c.height;
    game->m_bWindowed = c.windowed;
    ASSERT_TRUE(engine->LoadGame(game));
    testing::internal::CaptureStderr();
    const bool started = engine->SystemInitiate();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(std::to_string(c.width) + " x " + std::to_string(c.height)),
              std::string::npos)
        << said;
    if (c.clientW == 0)
    {
        EXPECT_FALSE(started);
        EXPECT_NE(said.find("positive"), std::string::npos) << said;
        EXPECT_EQ(Messages(ReadLogRows(kLog)).back(), "不能创建窗体");
        return;
    }
    ASSERT_TRUE(started);
    const ZanWindow* w = ZanWindowFromHandle(ZanMainWindow());
    ASSERT_NE(w, nullptr);
    if (c.windowed)
    {
        EXPECT_EQ(w->clientW, c.clientW);
        EXPECT_EQ(w->clientH, c.clientH);
    }
    Run(
        [](int pass)
        {
            if (pass == 1)
                PostQuitMessage(0);
        });
    int fw = 0, fh = 0;
    ASSERT_NE(ZanHeadlessFrame(&fw, &fh), nullptr);
    EXPECT_EQ(fw, c.clientW);
    EXPECT_EQ(fh, c.clientH);
}

INSTANTIATE_TEST_SUITE_P(Sizes, WindowSizeTest,
                         testing::Values(WindowSizeCase{0, 600, true, 0, 0},
                                         WindowSizeCase{800, -5, false, 0, 0},
                                         WindowSizeCase{16384, 16384, true, 1018, 743},
                                         WindowSizeCase{2000, 500, false, 1024, 500}),
                         [](const testing::TestParamInfo<WindowSizeCase>& info)
                         {
                             const WindowSizeCase& c = info.param;
                             auto number = [](int n)
                             { return n < 0 ? "minus" + std::to_string(-n) : std::to_string(n); };
                             return number(c.width) + "x" + number(c.height) +
                                    (c.windowed ? "Windowed" : "FullScreen");
                         });

TEST_F(EngineTest, StartUpAndShutdownAreRecordedInOrder)
{
    StartGame();
    EXPECT_TRUE(Run(
        [](int pass)
        {
            if (pass == 2)
                ZanHeadlessKey(0x01, 1);
            if (pass == 3)
                ZanHeadlessKey(0x01, 0);
        }));
    delete game;
    game = nullptr;
    engine->Release();
    const auto rows = ReadLogRows(kLog);
    const std::vector<std::string> head = {"KOV 引擎启动..", "KOV 版本: 0.9"};
    ASSERT_GE(rows.size(), 10u);
    EXPECT_EQ(rows[0].message, head[0]);
    EXPECT_EQ(rows[1].message, head[1]);
    EXPECT_EQ(rows[2].message.rfind("当前时间: ", 0), 0u);
    EXPECT_EQ(rows[3].message, "应用程序名: 赞安游戏引擎");
    EXPECT_EQ(rows[4].message.rfind("操作系统: Windows ", 0), 0u);
    EXPECT_EQ(rows[5].message.rfind("内存: 共有 ", 0), 0u);
    const auto m = Messages(rows);
    const std::vector<std::string> rest = {"window 类注册成功",
                                           "窗体创建成功",
                                           "DirectX3D9 创建成功",
                                           "D3D 设备: zanrec",
                                           "设备描述: Zan headless recorder",
                                           "设备版本: 9.0.3.3",
                                           "未使用 VSYNC",
                                           "窗体模式：窗体",
                                           "窗体宽度：800",
                                           "窗体高度：600",
                                           "DirectX3D9 设备初始化成功",
                                           "创建 D3D Vertex Buffer 成功",
                                           "创建 D3D Index Buffer 成功",
                                           "OPENAL 音频设备创建成功",
                                           "DirectInput8 设备创建成功",
                                           "键盘设备创建成功",
                                           "鼠标设备创建成功",
                                           "系统启动成功",
                                           "关闭中..",
                                           "D3D Index Buffer 释放",
                                           "D3D Vertex Buffer 释放",
                                           "DirectX3D9 设备释放",
                                           "DirectX3D9 释放",
                                           "OPENAL 音频设备释放",
                                           "鼠标设备释放",
                                           "键盘设备释放",
                                           "DirectInput8 设备释放",
                                           "结束"};
    EXPECT_EQ(std::vector<std::string>(m.begin() + 6, m.end()), rest);
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].number, int(i + 1));
    EXPECT_EQ(rows[6].file, "ZanEngine");
    EXPECT_EQ(rows[6].kind, "信息");
    const std::string text = zantest::ReadFile(kLog);
    const std::string foot = "</table> \r\n</body> \r\n</html>";
    ASSERT_GE(text.size(), foot.size());
    EXPECT_EQ(text.substr(text.size() - foot.size()), foot);
}

TEST_F(EngineTest, SystemStartNeedsAWindowAndAGame)
{
    EXPECT_FALSE(engine->SystemStart());
    EXPECT_FALSE(engine->LoadGame(nullptr));
    // A failed start-up leaves the log open: the refusal of SystemStart is recorded.
    game = new RecordingGame;
    game->m_nWidth = 0; // no window can be made for this
    game->m_bWindowed = true;
    engine->LoadGame(game);
    EXPECT_FALSE(engine->SystemInitiate());
    EXPECT_FALSE(engine->SystemStart());
    delete game;
    game = nullptr;
    engine->Release();
    const auto m = Messages(ReadLogRows(kLog));
    ASSERT_GE(m.size(), 2u);
    EXPECT_EQ(m[m.size() - 2], "不能创建窗体");
    EXPECT_EQ(m.back(), "SystemStart -> System_Initiate 没有调用");
    // No closing record without a successful start-up.
    EXPECT_EQ(zantest::ReadFile(kLog).find("</html>"), std::string::npos);
    // The failed start-up left nothing behind: the next engine of the process starts.
    engine = KovCreate(9);
    StartGame();
}

TEST_F(EngineTest, ReplacingTheGameShutsTheOldOneDownAndInitsTheNew)
{
    RecordingGame first, second;
    second.initResult = false;
    ASSERT_TRUE(engine->LoadGame(&first));
    EXPECT_TRUE(first.calls.empty()); // Init waits for SystemStart
    EXPECT_FALSE(engine->LoadGame(&second));
    EXPECT_EQ(first.calls, std::vector<std::string>{"OnShutdown"});
    EXPECT_EQ(second.calls, std::vector<std::string>{"Init"});
}

TEST_F(EngineTest, FrameHooksRunInLoopOrder)
{
    StartGame();
    Run(
        [](int pass)
        {
            if (pass == 1)
                PostQuitMessage(0);
        });
    const std::vector<std::string> frame = {"PreFrameUpdate", "FrameUpdate", "Render",
                                            "PostFrameUpdate"};
    ASSERT_GE(game->calls.size(), 1 + 2 * frame.size());
    EXPECT_EQ(game->calls[0], "Init");
    EXPECT_EQ(std::vector<std::string>(game->calls.begin() + 1, game->calls.begin() + 5), frame);
    EXPECT_FALSE(game->m_bActive);
}

TEST_F(EngineTest, HeldKeysAreLevelTriggeredAndPressFollowsRelease)
{
    StartGame();
    game->recordKeyUps = true;
    Run(
        [](int pass)
        {
            if (pass == 0)
                ZanHeadlessKey(0x1E, 1); // A, held for three frames
            if (pass == 3)
                ZanHeadlessKey(0x1E, 0);
            if (pass == 5)
                PostQuitMessage(0);
        });
    const auto a = game->Matching("Key");
    std::vector<std::string> forA;
    for (const auto& c : a)
        if (c.size() > 3 && c.substr(c.size() - 3) == " 30")
            forA.push_back(c);
    // Frame 1 sees nothing yet (the key goes down after it), then three held frames.
    const std::vector<std::string> expected = {"KeyUp 30",   "KeyDown 30",  "KeyDown 30",
                                               "KeyDown 30", "KeyPress 30", "KeyUp 30",
                                               "KeyUp 30"};
    EXPECT_EQ(forA, expected);
    // Every idle key gets OnKeyUp every frame.
    EXPECT_EQ(game->Matching("KeyUp 200").size(), 6u);
}

TEST_F(EngineTest, EscapeQuitsOnReleaseNotOnPress)
{
    StartGame();
    int framesAfterPress = 0;
    bool pressed = false;
    game->onFrame = [&]
    {
        if (pressed)
            ++framesAfterPress;
    };
    EXPECT_TRUE(Run(
        [&](int pass)
        {
            if (pass == 1)
            {
                ZanHeadlessKey(0x01, 1);
                pressed = true;
            }
            if (pass == 4)
                ZanHeadlessKey(0x01, 0);
            if (pass > 50)
                ZanHeadlessClose();
        }));
    EXPECT_GE(framesAfterPress, 3);
    EXPECT_TRUE(game->Has("KeyPress 1"));
}

// A key or button pressed and released between two polls (a quick tap, or one made while the
// game was still starting) counts as one press.
TEST_F(EngineTest, TapsBetweenTwoPollsStillCount)
{
    StartGame();
    ZanHeadlessKey(0x24, 1); // J and the left button, tapped before the first frame
    ZanHeadlessKey(0x24, 0);
    ZanHeadlessMouseButton(0, 1);
    ZanHeadlessMouseButton(0, 0);
    int passes = 0;
    EXPECT_TRUE(Run(
        [&](int pass)
        {
            passes = pass;
            if (pass == 3 || pass == 6)
            {
                const int key = pass == 3 ? 0x1E : 0x01; // A, then Escape
                ZanHeadlessKey(key, 1);
                ZanHeadlessKey(key, 0);
            }
            if (pass == 50)
                ZanHeadlessClose();
        }));
    EXPECT_LT(passes, 50) << "Escape was lost";
    for (const char* call : {"KeyDown 36", "KeyPress 36", "MouseDown 0", "MouseRelease 0",
                             "KeyDown 30", "KeyPress 30", "KeyPress 1"})
        EXPECT_TRUE(game->Has(call)) << call;
    EXPECT_EQ(game->Matching("KeyDown 30").size(), 1u);
}

TEST_F(EngineTest, CloseButtonEndsTheLoop)
{
    StartGame();
    EXPECT_TRUE(Run(
        [](int pass)
        {
            if (pass == 2)
                ZanHeadlessClose();
        }));
    EXPECT_FALSE(game->m_bActive);
    EXPECT_EQ(ZanMainWindow(), nullptr); // the close command destroyed the window
}

TEST_F(EngineTest, WindowMessagesBecomeHandleHooks)
{
    StartGame();
    Run(
        [](int pass)
        {
            if (pass == 0)
            {
                PostMessageA(ZanMainWindow(), WM_KEYUP, 'X', 0); // no key-down before: no press
                ZanHeadlessKey(0x2D, 1);                         // X
                ZanHeadlessKey(0x2D, 0);
            }
            if (pass == 2)
                PostQuitMessage(0);
        });
    const auto handles = game->Matching("Handle");
    const std::vector<std::string> expected = {"HandleKeyUp 88", "HandleKeyDown 88",
                                               "HandleKeyUp 88", "HandleKeyPress 88"};
    EXPECT_EQ(handles, expected);
    EXPECT_TRUE(game->Has("Char 120")); // 'x'
}

// Without the focus a game runs no frames unless it asks to (a network peer must keep
// answering); either way it still quits.
class UnfocusedTest : public EngineTest, public ::testing::WithParamInterface<bool>
{
};

TEST_P(UnfocusedTest, AGameRunsNoFramesWithoutTheFocusUnlessItAsksAndStillQuits)
{
    const bool runsUnfocused = GetParam();
    StartGame();
    game->runsUnfocused = runsUnfocused;
    size_t callsWhenLost = 0;
    EXPECT_TRUE(Run(
        [&](int pass)
        {
            if (pass == 1)
                ZanHeadlessFocus(0);
            if (pass == 2)
                callsWhenLost = game->calls.size();
            if (pass == 6)
                PostQuitMessage(0);
        }));
    EXPECT_TRUE(game->Has("OnFocusLost"));
    if (runsUnfocused)
        EXPECT_GT(game->calls.size(), callsWhenLost + 6);
    else
        EXPECT_EQ(game->calls.size(), callsWhenLost);
}
INSTANTIATE_TEST_SUITE_P(RunsUnfocused, UnfocusedTest, ::testing::Bool());

TEST_F(EngineTest, FocusRegainedRestoresAndResumesFrames)
{
    StartGame();
    Run(
        [&](int pass)
        {
            if (pass == 1)
                ZanHeadlessFocus(0);
            if (pass == 3)
                ZanHeadlessFocus(1);
            if (pass == 6)
                PostQuitMessage(0);
        });
    const auto focus = game->Matching("OnFocus");
    EXPECT_EQ(focus, (std::vector<std::string>{"OnFocusLost", "OnFocusRestored"}));
    EXPECT_TRUE(game->m_bActive == false);
}

TEST_F(EngineTest, ActivationBeforeTheGraphicsDeviceChangesNothing)
{
    RecordingGame g;
    g.MsgProc(nullptr, WM_ACTIVATEAPP, 1, 0);
    EXPECT_FALSE(g.m_bActive);
    EXPECT_TRUE(g.calls.empty());
}

TEST_F(EngineTest, FrameTimerKeepsLongFramesFromJumping)
{
    EXPECT_DOUBLE_EQ(engine->GetFrameTime(), 0.03);
    EXPECT_NEAR(engine->GetFps(), 33.33f, 0.01f);
    ZanHeadlessAdvance(500); // a long start-up
    StartGame();
    std::vector<double> frames;
    game->onFrame = [&] { frames.push_back(engine->GetFrameTime()); };
    Run(
        [&](int pass)
        {
            if (pass == 0)
                ZanHeadlessAdvance(199); // with the loop's 1 ms sleep: exactly 0.2 s
            if (pass == 1)
                ZanHeadlessAdvance(400); // over 0.2 s: the previous frame's time
            if (pass == 2)
                PostQuitMessage(0);
        });
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_DOUBLE_EQ(frames[0], 0.03);
    EXPECT_NEAR(frames[1], 0.2, 1e-9);
    EXPECT_NEAR(frames[2], 0.2, 1e-9);
    // Ticks at 0.5, 0.7 and 1.101 s after the engine was made.
    EXPECT_NEAR(engine->GetElapsedTime(), 1.101, 1e-6);
}

TEST_F(EngineTest, RandomNumbersFollowTheGenerator)
{
    engine->RandomSeed(1);
    std::vector<int> values;
    for (int i = 0; i < 5; ++i)
        values.push_back(engine->RandomInt(0, 99));
    EXPECT_EQ(values, (std::vector<int>{79, 32, 87, 53, 11}));
    engine->RandomSeed(12345);
    EXPECT_EQ(engine->RandomInt(-10, 10), -9);
    EXPECT_EQ(engine->RandomInt(-10, 10), 3);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(engine->RandomInt(5, 5), 5);
    // Seeds whose next state has all-zero or all-one upper bits reach both bounds.
    engine->RandomSeed(int(2708534849u));
    EXPECT_EQ(engine->RandomFloat(0.0f, 1.0f), 0.0f);
    engine->RandomSeed(int(1880880705u));
    EXPECT_FLOAT_EQ(engine->RandomFloat(0.0f, 1.0f), 1.0f);
    // Reversed bounds stay inside the range instead of dividing by zero.
    for (int i = 0; i < 100; ++i)
    {
        const int v = engine->RandomInt(10, 9);
        EXPECT_TRUE(v == 9 || v == 10);
    }
}

// Under LeakSanitizer this also proves the early generator is not replaced by a second one.
TEST_F(EngineTest, NumbersAskedForBeforeStartUpKeepOneGeneratorThatStartUpReseeds)
{
    engine->RandomSeed(7);
    engine->RandomInt(0, 99);
    StartGame();
    const int clockSeed = int(timeGetTime());
    const int first = engine->RandomInt(0, 1000000);
    engine->RandomSeed(clockSeed);
    EXPECT_EQ(engine->RandomInt(0, 1000000), first);
}

TEST_F(EngineTest, SeedZeroUsesTheMillisecondClock)
{
    ZanHeadlessAdvance(777);
    engine->RandomSeed(0);
    const int a = engine->RandomInt(0, 1 << 30);
    engine->RandomSeed(int(timeGetTime()));
    EXPECT_EQ(engine->RandomInt(0, 1 << 30), a);
}

TEST_F(EngineTest, MousePositionIsInClientCoordinates)
{
    StartGame();
    ZanHeadlessMouseMove(123, 45);
    float x = 0, y = 0;
    engine->GetMousePos(&x, &y);
    EXPECT_EQ(x, 123.0f);
    EXPECT_EQ(y, 45.0f);
    engine->GetMousePos(nullptr, nullptr); // skipped, not written
}

TEST_F(EngineTest, MouseOffsetComesFromThePoll)
{
    StartGame();
    float dx = 0, dy = 0, dz = 0;
    Run(
        [&](int pass)
        {
            if (pass == 0)
            {
                ZanHeadlessMouseMove(10, 20);
                ZanHeadlessMouseMove(15, 18);
                ZanHeadlessMouseWheel(120);
            }
            if (pass == 1)
            {
                engine->GetMouseOffset(&dx, &dy, &dz);
                PostQuitMessage(0);
            }
        });
    EXPECT_EQ(dx, 15.0f);
    EXPECT_EQ(dy, 18.0f);
    EXPECT_EQ(dz, 120.0f);
}

TEST_F(EngineTest, MouseButtonsAreLevelTriggeredLikeKeys)
{
    StartGame();
    Run(
        [](int pass)
        {
            if (pass == 0)
                ZanHeadlessMouseButton(1, 1);
            if (pass == 2)
                ZanHeadlessMouseButton(1, 0);
            if (pass == 4)
                PostQuitMessage(0);
        });
    EXPECT_EQ(game->Matching("Mouse"),
              (std::vector<std::string>{"MouseDown 1", "MouseDown 1", "MouseRelease 1"}));
}

// A run log that cannot be written (here a folder holds its name) does not stop the game, and
// the player is told on standard error.
TEST_F(EngineTest, AnUnwritableRunLogIsReportedAndTheGameStillStarts)
{
    ASSERT_EQ(mkdir(kLog.c_str(), 0755), 0);
    game = new RecordingGame;
    game->m_bWindowed = true;
    ASSERT_TRUE(engine->LoadGame(game));
    testing::internal::CaptureStderr();
    EXPECT_TRUE(engine->SystemInitiate());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("cannot write the run log"), std::string::npos) << said;
}

TEST(TestEnvironment, EveryEntryReachesTheTest)
{
    // Without a sound card, tests depend on both; a build folder's ctest must set them itself.
    const char* audio = std::getenv("SDL_AUDIODRIVER");
    const char* openal = std::getenv("ALSOFT_DRIVERS");
    EXPECT_STREQ(audio ? audio : "(unset)", "dummy");
    EXPECT_STREQ(openal ? openal : "(unset)", "null");
}
