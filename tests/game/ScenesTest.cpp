// The splash, menu and wait screens played through the real game class and the real data.
#include "../map/WorldFixture.h"
#include "app/SceneFactory.h"
#include "scenes/Scenes.h"
#include "world/Scenery.h"

#include <dirent.h>
#include <unistd.h>

namespace
{
class ScenesTest : public WorldTest
{
protected:
    void SetUp() override
    {
        // The game runs in data/ as its working directory; the run log stays out of it.
        const std::string data = zantest::SourcePath("data");
        DIR* d = opendir(data.c_str());
        ASSERT_NE(d, nullptr);
        while (dirent* e = readdir(d))
        {
            if (e->d_name[0] == '.')
                continue;
            ASSERT_EQ(symlink((data + "/" + e->d_name).c_str(), e->d_name), 0);
        }
        closedir(d);
        WorldTest::SetUp();
        CSkyfloatGame::SetSceneFactory(&MakeSkyfloatScene);
        baseRenders = g_pGraphics->GetRenderCount();
    }

    // Runs the frame loop at about 60 frames per second; `step` sees every pass (after its
    // frame) and ends the run by returning false. A quitting game ends it too.
    void Run(const std::function<bool(int)>& step, int limit = 2000)
    {
        zantest::OnEveryPass(
            [&, limit](int pass)
            {
                ZanHeadlessAdvance(15);
                if (!step(pass) || pass >= limit)
                    PostQuitMessage(0);
            });
        engine->SystemStart();
    }
    // Plays until the menu is up, skipping the splash with a click.
    void ToMenu()
    {
        Run(
            [&](int pass)
            {
                if (pass == 5 || pass == 6)
                    ZanHeadlessMouseButton(0, pass == 5);
                return game->GetFlowState() != FLOW_MENU;
            });
        ASSERT_EQ(game->GetFlowState(), FLOW_MENU);
    }
    // Input is polled once a frame: a click is a press seen in one frame and a release in
    // the next.
    static void Press(int button) { ZanHeadlessMouseButton(button, 1); }
    static void Release(int button) { ZanHeadlessMouseButton(button, 0); }
    CButtonScene* Buttons() const { return dynamic_cast<CButtonScene*>(game->GetScene()); }
    int Frame(size_t button) const { return Buttons()->GetButton(button)->GetAnim()->GetFrame(); }

    size_t baseRenders = 0;
};

// Script steps: each runs once, in order, one frame apart.
struct Script
{
    std::vector<std::function<void()>> steps;
    bool operator()(int pass)
    {
        if (size_t(pass) < steps.size())
            steps[size_t(pass)]();
        return size_t(pass) + 1 < steps.size();
    }
};
} // namespace

TEST_F(ScenesTest, TwoSplashesOfFiveSecondsLeadToTheMenu)
{
    unsigned splash = 0, second = 0, menu = 0;
    float heldAlpha = -1.0f;
    Run(
        [&](int)
        {
            const unsigned now = ZanHeadlessNow();
            if (!splash && game->GetFlowState() == FLOW_SPLASH)
                splash = now;
            auto* s = dynamic_cast<CSplashScene*>(game->GetScene());
            if (s && s->GetShown() == 2 && !second)
                second = now;
            if (s && splash && now - splash >= 2500 && heldAlpha < 0.0f)
                heldAlpha = s->GetImage()->GetSprite()->GetAlpha();
            if (game->GetFlowState() == FLOW_MENU)
                menu = now;
            return !menu;
        });
    ASSERT_NE(splash, 0u);
    EXPECT_NEAR(double(second - splash), 5000.0, 40.0);
    EXPECT_NEAR(double(menu - splash), 10000.0, 80.0);
    EXPECT_EQ(heldAlpha, 1.0f); // the middle fifth is held fully opaque
    ASSERT_NE(Buttons(), nullptr);
    EXPECT_EQ(Buttons()->GetButtonCount(), 3u);
}

TEST_F(ScenesTest, LeftClickOnTheFirstSplashGoesStraightToTheMenu)
{
    int shown = 0;
    unsigned clicked = 0;
    Run(
        [&](int pass)
        {
            if (auto* s = dynamic_cast<CSplashScene*>(game->GetScene()))
                shown = std::max(shown, s->GetShown());
            if (pass >= 60 && pass < 64)
            {
                // The right button does not skip; the left one does.
                clicked = ZanHeadlessNow();
                ZanHeadlessMouseButton(pass < 62 ? 1 : 0, pass % 2 == 0);
            }
            return game->GetFlowState() != FLOW_MENU;
        });
    EXPECT_EQ(game->GetFlowState(), FLOW_MENU);
    EXPECT_EQ(shown, 1);
    EXPECT_LE(ZanHeadlessNow() - clicked, 40u);
}

TEST_F(ScenesTest, AButtonReachedAndPressedInOneFrameSoundsItsHoverOnce)
{
    ToMenu();
    ZanHeadlessMouseMove(400, 320);
    ZanHeadlessMouseButton(0, 1);
    ALint firstOffset = -1, lastOffset = -1;
    Run(
        [&](int pass)
        {
            CZanOgg* hover = Buttons()->GetHoverSound();
            ALint offset = 0;
            alGetSourcei(hover->GetSource(), AL_SAMPLE_OFFSET, &offset);
            if (pass == 1)
                firstOffset = offset;
            if (hover->IsPlaying())
                lastOffset = offset;
            return pass < 30;
        });
    ZanHeadlessMouseButton(0, 0);
    // Restarted every frame, the sound would never get past its first few milliseconds.
    EXPECT_TRUE(lastOffset < 0 || lastOffset > firstOffset + 4410)
        << firstOffset << " " << lastOffset;
}

TEST_F(ScenesTest, AScreenThatCannotLoadSaysSoAndTheSplashKeepsItsTime)
{
    ASSERT_EQ(unlink("resource_PrefaceLevel.xml"), 0);
    ASSERT_EQ(unlink("MainMenu.xml"), 0);
    std::string splashText, menuText;
    // The headless clock runs on from the tests before this one in the same program.
    const unsigned start = ZanHeadlessNow();
    unsigned menu = 0;
    Run(
        [&](int)
        {
            auto* failed = dynamic_cast<CFailedScene*>(game->GetScene());
            if (failed && game->GetFlowState() == FLOW_SPLASH)
                splashText = std::string(failed->GetText(0)) + "/" + failed->GetText(1);
            if (failed && game->GetFlowState() == FLOW_MENU && !menu)
            {
                menu = ZanHeadlessNow() - start;
                menuText = std::string(failed->GetText(0)) + "/" + failed->GetText(1);
            }
            return !menu;
        });
    EXPECT_EQ(splashText, "不能载入 PrefaceLevel.xml/单击鼠标返回");
    EXPECT_EQ(menuText, "不能载入 MainMenu.xml/按 Esc 键退出游戏");
    EXPECT_GE(menu, 10000u);
    EXPECT_LE(menu, 10500u);
    EXPECT_GT(g_pGraphics->GetRenderCount(), baseRenders) << "something is drawn";
}

TEST_F(ScenesTest, MenuButtonsLightUpClickAndLeadToTheWaitScreens)
{
    ToMenu();
    CScene* menu = game->GetScene();
    Script s;
    s.steps = {
        [] { ZanHeadlessMouseMove(400, 320); },
        [&]
        {
            EXPECT_EQ(Frame(0), 1);
            EXPECT_EQ(Frame(1), 0);
            EXPECT_TRUE(Buttons()->GetHoverSound()->IsPlaying());
            EXPECT_FALSE(Buttons()->GetSelectSound()->IsPlaying());
            ZanHeadlessMouseButton(0, 1);
        },
        [&]
        {
            EXPECT_EQ(Frame(0), 2);
            EXPECT_TRUE(Buttons()->GetButton(0)->IsPressed());
            EXPECT_TRUE(Buttons()->GetSelectSound()->IsPlaying());
            ZanHeadlessMouseButton(0, 0);
        },
        // The wait screen replaced the menu at the dispatch of the release's frame.
        [&] { EXPECT_EQ(game->GetFlowState(), FLOW_ONE_PLAYER_WAIT); },
        [] { ZanHeadlessMouseMove(180, 430); }, // "返回"
        [&]
        {
            EXPECT_EQ(Frame(1), 1);
            Press(0);
        },
        [] { Release(0); },
        [&] { EXPECT_EQ(game->GetFlowState(), FLOW_MENU); },
        [] { ZanHeadlessMouseMove(400, 410); }, // "双人游戏"
        [&]
        {
            EXPECT_EQ(Frame(1), 1);
            EXPECT_EQ(Frame(0), 0);
            Press(0);
        },
        [] { Release(0); },
        [&] { EXPECT_EQ(game->GetFlowState(), FLOW_TWO_PLAYER_WAIT); },
        [] { Press(1); },
        [] { Release(1); },
        [&] { EXPECT_EQ(game->GetFlowState(), FLOW_MENU); },
    };
    Run(std::ref(s));
    EXPECT_NE(game->GetScene(), menu);
}

TEST_F(ScenesTest, QuitButtonEndsTheGame)
{
    ToMenu();
    int passes = 0;
    Run(
        [&](int pass)
        {
            passes = pass;
            if (pass == 0)
                ZanHeadlessMouseMove(400, 500);
            if (pass == 1 || pass == 2)
                ZanHeadlessMouseButton(0, pass == 1);
            return true;
        });
    EXPECT_LE(passes, 4);
    EXPECT_EQ(game->GetFlowState(), FLOW_MENU);
}

TEST_F(ScenesTest, MovingOffAPressedButtonResetsItAndReleasingThereDoesNothing)
{
    ToMenu();
    CScene* menu = game->GetScene();
    Script s;
    s.steps = {
        [] { ZanHeadlessMouseMove(400, 410); },
        [] { ZanHeadlessMouseButton(0, 1); },
        [&]
        {
            EXPECT_EQ(Frame(1), 2);
            ZanHeadlessMouseMove(700, 410);
        },
        [&]
        {
            EXPECT_EQ(Frame(1), 0);
            EXPECT_FALSE(Buttons()->GetButton(1)->IsPressed());
            ZanHeadlessMouseButton(0, 0);
        },
        [] { Press(1); }, // a right click anywhere in the menu does nothing either
        [] { Release(1); },
        [] { ZanHeadlessMouseMove(400, 320); },
        [] { Press(1); },
        [] { Release(1); },
        [] { PostFlowEvent(FLOW_EVENT_START_LEVEL); }, // the menu has no level to start
        [] {},
    };
    Run(std::ref(s));
    EXPECT_EQ(game->GetFlowState(), FLOW_MENU);
    EXPECT_EQ(game->GetScene(), menu);
}

TEST_F(ScenesTest, LeavingASceneLeavesNoObjectBodyPictureOrMapItem)
{
    ToMenu();
    ASSERT_GT(g_pMapMgr->GetObjectCount(), 0);
    std::vector<unsigned long> ids;
    for (int i = 0; i < g_pMapMgr->GetObjectCount(); ++i)
        ids.push_back(g_pMapMgr->GetObject(i)->GetID());
    EXPECT_GT(g_pGraphics->GetRenderCount(), baseRenders + ids.size());
    ASSERT_NE(
        Buttons()->GetEnvironment().GetWeatherSystem(Buttons()->GetEnvironment().GetWeatherKind()),
        nullptr);
    ASSERT_NE(Buttons()->GetEnvironment().GetMusic(), nullptr);

    Run(
        [&](int pass)
        {
            if (pass == 0)
                game->TearDownScene();
            return pass < 2;
        });
    ASSERT_EQ(game->GetScene(), nullptr);
    EXPECT_EQ(g_pMapMgr->GetObjectCount(), 0);
    EXPECT_EQ(g_pMapMgr->GetPointCount(), 0u);
    for (unsigned long id = ZAN_FIRST_OBJECT_ID; id <= ids.back() + 100; ++id)
    {
        EXPECT_EQ(engine->GetObject(id), nullptr) << id;
        EXPECT_EQ(physics->GetBody(id), nullptr) << id;
    }
    // and the frame-rate text and the match notice
    EXPECT_EQ(g_pGraphics->GetRenderCount(), baseRenders + 2);
    EXPECT_EQ(resources->GetAudioInfo("背景音乐"), nullptr);
}

// The menu's sky, far islands and islands, composed into one picture, take the hour's colour
// each frame and show what the layers themselves would (to a level or two) below the clouds and
// above the water; a layer that moves is composed again; when the sun sinks behind the islands
// the layers are drawn instead.
TEST_F(ScenesTest, TheComposedSkyTakesTheHoursColourFollowsItsLayersAndGivesWayToTheSettingSun)
{
    ToMenu();
    CBackdrop& backdrop = Buttons()->GetBackdrop();
    CZanSprite* island = nullptr; // the mirrored one on the right
    for (int i = 0; i < g_pMapMgr->GetObjectCount(); ++i)
        if (CSkyObject* sky = dynamic_cast<CSkyObject*>(g_pMapMgr->GetObject(i)))
            if (sky->GetSprite() && sky->GetSprite()->GetScale().x < 0)
                island = sky->GetSprite();
    ASSERT_NE(island, nullptr);
    const struct
    {
        float hour, islandX;
        bool composed;
    } cases[] = {{9.0f, 700.0f, true},
                 {13.0f, 700.0f, true},
                 {21.0f, 700.0f, true},
                 {21.0f, 640.0f, true},
                 {8.0f, 700.0f, false}};
    const int top = 360, bottom = 525; // clear of the clouds, sun, moon and the water's waves
    for (const auto& c : cases)
    {
        island->SetPosition(c.islandX, island->GetPosition().y);
        std::vector<unsigned> seen[2];
        for (int layers = 0; layers < 2; ++layers)
        {
            backdrop.SetEnabled(layers == 0);
            Run(
                [&](int pass)
                {
                    Buttons()->SetHour(c.hour);
                    return pass < 1;
                });
            EXPECT_EQ(backdrop.IsShown(), c.composed && layers == 0) << c.hour;
            int w = 0, h = 0;
            const unsigned* frame = ZanHeadlessFrame(&w, &h);
            ASSERT_NE(frame, nullptr);
            ASSERT_GE(h, bottom);
            seen[layers].assign(frame + top * w, frame + bottom * w);
        }
        int worst = 0;
        for (size_t i = 0; i < seen[0].size(); ++i)
            for (int shift = 0; shift < 24; shift += 8)
                worst = std::max(worst, std::abs(int((seen[0][i] >> shift) & 0xFF) -
                                                 int((seen[1][i] >> shift) & 0xFF)));
        EXPECT_LE(worst, 3) << c.hour << " h, island at " << c.islandX;
    }
}

// Escape pressed as a screen starts to load: the load is abandoned before its first picture,
// no screen stands in for it, and the frame loop ends the game without another frame.
TEST_F(ScenesTest, EscapeDuringALoadAbandonsItAndEndsTheGameAtOnce)
{
    ToMenu();
    int passesAfter = -1;
    bool scene = true;
    size_t bytes = 0;
    Run(
        [&](int)
        {
            if (passesAfter >= 0)
                return ++passesAfter < 100;
            ZanHeadlessKey(DIK_ESCAPE, 1);
            game->OnFlowEvent(FLOW_EVENT_ONE_PLAYER, nullptr);
            scene = game->GetScene() != nullptr;
            bytes = ZanMediaBytesInUse();
            passesAfter = 0;
            return true;
        });
    ZanHeadlessKey(DIK_ESCAPE, 0);
    EXPECT_FALSE(scene);
    EXPECT_EQ(bytes, 0u); // no picture of the wait screen was decoded
    EXPECT_EQ(passesAfter, 0);
    EXPECT_EQ(LogCount("警告", "载入时玩家要求退出，载入中止", "ZanEngine"), 1);
}
