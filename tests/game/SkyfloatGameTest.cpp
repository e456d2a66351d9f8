// The game object: settings, flow machine, scene forwarding, game messages, timed flow events.
#include "TestSupport.h"
#include "ZanHeadless.h"
#include "core/Scene.h"
#include "app/SkyfloatGame.h"
#include "app/replay/MatchDirector.h"
#include "core/LevelChoice.h"

#include <gtest/gtest.h>

using zantest::ScopedWorkDir;

namespace
{
std::vector<std::string> g_log; // what the fake scenes saw, across scenes
CSkyfloatGame* g_game = nullptr;

class FakeScene : public CScene
{
public:
    explicit FakeScene(int output) : m_output(output) {}
    ~FakeScene() override { g_log.push_back("delete " + std::to_string(m_output)); }
    bool Load(const char* file) override
    {
        g_log.push_back(std::string("load ") + file +
                        (g_game && g_game->GetScene() == this ? " current" : " not-current"));
        return true;
    }
    bool Unload() override { return true; }
    bool Update() override
    {
        g_log.push_back("update");
        return true;
    }
    bool OnKeyDown(int key) override { return Note("down", key); }
    bool OnKeyUp(int key) override { return key == 0x1E ? Note("up", key) : true; }
    bool OnMouseButtonDown(int b) override { return Note("mdown", b); }
    bool OnMouseButtonRelease(int b) override { return Note("mrelease", b); }
    bool Pause() override { return Note("pause", 0); }
    bool Resume() override { return Note("resume", 0); }
    bool OnMessage(CPacket_Read* r) override { return Note("message", int(r->ReadBits(8))); }

private:
    bool Note(const char* what, int value)
    {
        g_log.push_back(std::string(what) + " " + std::to_string(value));
        return true;
    }
    int m_output;
};

CScene* MakeFake(int output, int)
{
    return new FakeScene(output);
}

// Opens the protected hooks the engine would call.
class TestGame : public CSkyfloatGame
{
public:
    using CSkyfloatGame::FrameUpdate;
    using CSkyfloatGame::Init;
    using CSkyfloatGame::OnFocusLost;
    using CSkyfloatGame::OnFocusRestored;
    using CSkyfloatGame::OnHandleChar;
    using CSkyfloatGame::OnKeyDown;
    using CSkyfloatGame::OnKeyPress;
    using CSkyfloatGame::OnKeyUp;
    using CSkyfloatGame::OnMouseButtonDown;
    using CSkyfloatGame::OnMouseButtonRelease;
    using CSkyfloatGame::OnObjectMessage;
    using CSkyfloatGame::PostFrameUpdate;
    using CSkyfloatGame::RunsUnfocused;
};

class GameTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ZanHeadlessEnable();
        g_log.clear();
        CSkyfloatGame::SetSceneFactory(&MakeFake);
    }
    void TearDown() override
    {
        CSkyfloatGame::SetSceneFactory(nullptr);
        g_game = nullptr;
    }
    ScopedWorkDir dir;
};

void Send(TestGame& game, std::initializer_list<std::pair<uint32_t, unsigned>> fields)
{
    CPacket_Write w;
    for (const auto& f : fields)
        w.WriteBits(f.first, f.second);
    CPacket_Read r(w);
    game.OnObjectMessage(1, &r);
}
} // namespace

TEST_F(GameTest, WindowSettingsDefaultWithoutAutoexec)
{
    TestGame game;
    EXPECT_TRUE(game.m_bWindowed);
    EXPECT_STREQ(game.m_szWindowTitle, "赞安游戏引擎");
    EXPECT_EQ(game.m_nWidth, 800);
    EXPECT_EQ(game.m_nHeight, 600);
    EXPECT_STREQ(game.m_szIconName, "IDI_SMALL");
}

TEST_F(GameTest, WindowSettingsComeFromAutoexec)
{
    zantest::WriteFile("Autoexec.cfg", "[全局]\n窗口模式=0\n标题=" + std::string(300, 't') +
                                           "\n窗口宽度=640\n窗口高度=480\n图标=鸟\n");
    {
        TestGame game;
        EXPECT_FALSE(game.m_bWindowed);
        EXPECT_EQ(std::string(game.m_szWindowTitle), std::string(255, 't'));
        EXPECT_EQ(game.m_nWidth, 640);
        EXPECT_EQ(game.m_nHeight, 480);
        EXPECT_STREQ(game.m_szIconName, "鸟");
    }
    zantest::WriteFile("Autoexec.cfg", "[全局]\n窗口模式=2\n");
    TestGame game;
    EXPECT_TRUE(game.m_bWindowed);
}

TEST_F(GameTest, FlowFollowsItsTableAndBuildsEachScene)
{
    TestGame game;
    g_game = &game;
    EXPECT_EQ(game.GetFlowState(), FLOW_START);
    game.OnFlowEvent(FLOW_EVENT_START, nullptr);
    game.OnFlowEvent(FLOW_EVENT_START_LEVEL, nullptr); // no row in the splash: nothing
    game.OnFlowEvent(FLOW_EVENT_TO_MENU, nullptr);
    game.OnFlowEvent(FLOW_EVENT_START_LEVEL, nullptr); // nor in the menu
    EXPECT_EQ(game.GetFlowState(), FLOW_MENU);
    game.OnFlowEvent(FLOW_EVENT_TWO_PLAYERS, nullptr);
    game.OnFlowEvent(FLOW_EVENT_START_LEVEL, nullptr);
    game.OnFlowEvent(FLOW_EVENT_LEVEL_OVER, nullptr);
    game.OnFlowEvent(FLOW_EVENT_TO_MENU, nullptr);
    game.OnFlowEvent(FLOW_EVENT_ONE_PLAYER, nullptr);
    game.OnFlowEvent(FLOW_EVENT_START_LEVEL, nullptr);
    game.OnFlowEvent(FLOW_EVENT_LEVEL_OVER, nullptr);
    EXPECT_EQ(game.GetFlowState(), FLOW_ONE_PLAYER_WAIT);
    const std::vector<std::string> expected = {
        "load PrefaceLevel.xml current", "delete 3200", "load MainMenu.xml current", "delete 3201",
        "load WaitLevel01.xml current",  "delete 3203", "load Level01.xml current",  "delete 3205",
        "load WaitLevel01.xml current",  "delete 3203", "load MainMenu.xml current", "delete 3201",
        "load LevelWait.xml current",    "delete 3202", "load Level01.xml current",  "delete 3204",
        "load LevelWait.xml current"};
    EXPECT_EQ(g_log, expected);
}

TEST_F(GameTest, SceneSwitchMarksTheRenderListForDestruction)
{
    ZanHeadlessEnable();
    CZanEngine* engine = KovCreate(9);
    TestGame game;
    game.OnFlowEvent(FLOW_EVENT_START, nullptr);
    EXPECT_TRUE(engine->GetDestroyRender());
    engine->Release();
}

TEST_F(GameTest, EventsKeysAndFocusReachTheCurrentScene)
{
    TestGame game;
    // Nothing to forward to yet: dropped without harm.
    game.OnKeyDown(0x1E);
    game.OnMouseButtonDown(0);
    game.OnFocusLost();
    Send(game, {{SCENE_MESSAGE, 16}, {7, 8}});
    EXPECT_TRUE(g_log.empty());

    game.OnFlowEvent(FLOW_EVENT_START, nullptr);
    g_log.clear();
    game.OnKeyDown(0x1E);
    game.OnKeyUp(0x1E);
    game.OnMouseButtonDown(1);
    game.OnMouseButtonRelease(1);
    game.OnFocusLost();
    game.OnFocusRestored();
    game.FrameUpdate();
    EXPECT_EQ(g_log, (std::vector<std::string>{"down 30", "up 30", "mdown 1", "mrelease 1",
                                               "pause 0", "resume 0", "update"}));
}

TEST_F(GameTest, SceneMessagesNeverReachTheFlow)
{
    TestGame game;
    game.OnFlowEvent(FLOW_EVENT_START, nullptr);
    g_log.clear();
    Send(game, {{SCENE_MESSAGE, 16}, {42, 8}});
    EXPECT_EQ(g_log, std::vector<std::string>{"message 42"});
    EXPECT_EQ(game.GetFlowState(), FLOW_SPLASH);
    Send(game, {{FLOW_EVENT_TO_MENU, 16}});
    EXPECT_EQ(game.GetFlowState(), FLOW_MENU);
    // The code is a signed 16-bit value: 0xFFFF is -1, no flow event.
    Send(game, {{0xFFFF, 16}});
    EXPECT_EQ(game.GetFlowState(), FLOW_MENU);
}

TEST_F(GameTest, StartEventFiresAtTheFirstFrameAfterTheTickMoves)
{
    TestGame game;
    ASSERT_TRUE(game.Init());
    EXPECT_EQ(game.GetTimedEvents().Size(), 1u);
    game.FrameUpdate(); // same tick: not yet
    EXPECT_EQ(game.GetFlowState(), FLOW_START);
    ZanHeadlessAdvance(1);
    game.FrameUpdate();
    EXPECT_EQ(game.GetFlowState(), FLOW_SPLASH);
    EXPECT_NE(game.GetScene(), nullptr);
    EXPECT_TRUE(game.GetTimedEvents().Empty());
}

TEST_F(GameTest, SceneFilesFollowTheLevelNumber)
{
    EXPECT_EQ(CSkyfloatGame::SceneFile(FLOW_SHOW_ONE_PLAYER_LEVEL, 12), "Level12.xml");
    EXPECT_EQ(CSkyfloatGame::SceneFile(FLOW_SHOW_TWO_PLAYER_WAIT, 3), "WaitLevel03.xml");
    EXPECT_EQ(CSkyfloatGame::SceneFile(1234, 1), "");
}

TEST_F(GameTest, ASessionFromTheTwoPlayerWaitScreenHoldsItsStartAndBackUntilLeft)
{
    TestGame game;
    for (int event : {FLOW_EVENT_START, FLOW_EVENT_TO_MENU, FLOW_EVENT_TWO_PLAYERS})
        game.OnFlowEvent(event, nullptr);
    ASSERT_EQ(game.GetFlowState(), FLOW_TWO_PLAYER_WAIT);
    game.OnKeyPress(0x3D); // F3 opens the address line
    for (char c : std::string("127.0.0.1:9"))
        game.OnHandleChar(c);
    EXPECT_FALSE(game.RunsUnfocused());
    game.OnKeyPress(0x1C);             // Enter joins
    EXPECT_TRUE(game.RunsUnfocused()); // the host is waiting on this program
    // The session decides when its match starts; the screen's own start and back wait.
    Send(game, {{FLOW_EVENT_START_LEVEL, 16}, {1, 16}});
    game.PostFrameUpdate();
    Send(game, {{FLOW_EVENT_TO_MENU, 16}});
    EXPECT_EQ(game.GetFlowState(), FLOW_TWO_PLAYER_WAIT);
    EXPECT_EQ(game.GetMatch(), nullptr);
    game.OnKeyPress(0x01); // Escape leaves the session, not the game
    game.PostFrameUpdate();
    Send(game, {{FLOW_EVENT_TO_MENU, 16}});
    EXPECT_EQ(game.GetFlowState(), FLOW_MENU);
    EXPECT_FALSE(game.RunsUnfocused());
}

TEST_F(GameTest, TheWaitScreenAfterANetworkMatchShowsTheLevelItPlayed)
{
    // A session that starts a two-player match of the host's level 3.
    struct Director : IMatchDirector
    {
        bool started = false;
        int AutoStart() override { return started ? 0 : (started = true, 2); }
        MatchStart MakeStart(int) override
        {
            MatchStart s;
            s.players = 2;
            s.level = 3;
            s.network = 1;
            return s;
        }
        bool ChoosesLevel() const override { return true; }
        void Ended(const CMatchSession&) override {}
    } director;
    TestGame game;
    CSkyfloatGame::SetMatchDirector(&director);
    game.PostFrameUpdate();
    EXPECT_EQ(game.GetFlowState(), FLOW_TWO_PLAYER_LEVEL);
    EXPECT_EQ(LevelChoice().GetChosen(true), 3);
    CSkyfloatGame::SetMatchDirector(nullptr);
    LevelChoice().Choose(1);
}
