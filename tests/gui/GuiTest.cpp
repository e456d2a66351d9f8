// Widgets, buttons, the sprite cursor and the widget manager, with sprites from a resource
// file through the real resource manager. Each test runs in its own process, so widget ids
// start afresh at 100.
#include "../graphics/GraphicsFixture.h"

namespace
{
// The display count of the system cursor: shown while it is 0 or more.
int CursorCount()
{
    ShowCursor(TRUE);
    return ShowCursor(FALSE);
}

class GuiTest : public GraphicsTest
{
protected:
    void SetUp() override
    {
        GraphicsTest::SetUp();
        WriteBmp("钮.bmp", 64, 32, [](int, int) -> uint32_t { return 0x808080; });
        WriteResourceFile("界面.xml",
                          u8"<资源><材质资源 Name=\"钮\" Path=\"钮.bmp\"/>"
                          u8"<精灵资源 Name=\"平常\" Texture=\"钮\" Width=\"40\" Height=\"20\"/>"
                          u8"<精灵资源 Name=\"按下\" Texture=\"钮\" Width=\"44\" Height=\"24\"/>"
                          u8"<精灵资源 Name=\"指针\" Texture=\"钮\" Width=\"16\" Height=\"16\"/>"
                          u8"</资源>");
        ASSERT_TRUE(resources->Load("界面.xml"));
    }
};

// A widget with nothing but an id: the plainest subclass a game could write.
class Label : public CZanGuiObject
{
public:
    void Move(CZanVector&) override {}
    void Show(bool) override {}
    bool HitTest(float, float) const override { return false; }
};

// The look on show, by its size: "平常" is 40 wide, "按下" 44.
float ShownWidth(const CZanGuiSpriteButton& b)
{
    const bool first = b.GetFirstLook()->IsVisible(), second = b.GetSecondLook()->IsVisible();
    if (first == second)
        return first ? -1.0f : 0.0f; // both or neither: wrong either way
    return (first ? b.GetFirstLook() : b.GetSecondLook())->GetWidth();
}
} // namespace

TEST_F(GuiTest, IdsCountFromHundredPerWidgetAndCopiesKeepTheirs)
{
    CZanGuiSpriteButton a("按下", "平常");
    Label label;
    CZanGuiMouse cursor("指针"); // not a widget: takes no id
    CZanGuiSpriteButton b("按下", "平常");
    EXPECT_EQ(a.GetID(), 100ul);
    EXPECT_EQ(label.GetID(), 101ul);
    EXPECT_EQ(b.GetID(), 102ul);
    EXPECT_TRUE(a.IsEnabled());

    const size_t drawables = g_pGraphics->GetRenderCount();
    {
        CZanGuiSpriteButton copy(a);
        EXPECT_EQ(copy.GetID(), 100ul);
        EXPECT_EQ(copy.GetFirstLook(), a.GetFirstLook()) << "copies share the looks";
        EXPECT_EQ(g_pGraphics->GetRenderCount(), drawables);
    }
    EXPECT_EQ(g_pGraphics->GetRenderCount(), drawables) << "the original still holds them";
    Label next;
    EXPECT_EQ(next.GetID(), 103ul);
}

TEST_F(GuiTest, SecondNameIsTheFirstLookShownAtRest)
{
    CZanGuiSpriteButton b("按下", "平常");
    EXPECT_EQ(b.GetFirstLook()->GetWidth(), 40.0f);
    EXPECT_EQ(b.GetSecondLook()->GetWidth(), 44.0f);
    EXPECT_TRUE(b.GetFirstLook()->IsVisible());
    EXPECT_FALSE(b.GetSecondLook()->IsVisible());
    EXPECT_FALSE(b.GetState());
    EXPECT_FALSE(b.GetMode());

    CZanVector where(200.0f, 150.0f);
    b.Move(where);
    EXPECT_EQ(b.GetFirstLook()->GetPosition(), where);
    EXPECT_EQ(b.GetSecondLook()->GetPosition(), where);

    b.SetState(true);
    b.Update(0.0f);
    EXPECT_EQ(ShownWidth(b), 44.0f);
    b.Show(false);
    EXPECT_EQ(ShownWidth(b), 0.0f);
    b.Show(true);
    EXPECT_EQ(ShownWidth(b), 44.0f);
}

TEST_F(GuiTest, UnknownLooksLeaveTheSharedDefaultSpriteAlone)
{
    CZanResPtr<CZanSprite> shared = resources->CreateSprite("没有这个");
    ASSERT_NE(shared.Get(), nullptr);
    ASSERT_TRUE(shared->IsVisible());
    {
        CZanGuiSpriteButton b("没有", "也没有");
        CZanGuiMouse cursor("没有指针");
        CZanVector where(300.0f, 200.0f);
        b.Move(where);
        b.SetState(true);
        b.Update(0.0f);
        EXPECT_NE(b.GetFirstLook(), shared.Get());
        EXPECT_EQ(ShownWidth(b), shared->GetWidth()) << "the default look still shows";
        EXPECT_TRUE(shared->IsVisible());
        EXPECT_NE(shared->GetPosition(), where);
    }
    EXPECT_TRUE(shared->IsVisible());
}

TEST_F(GuiTest, PushButtonIsOnOnlyWhileHeld)
{
    CZanGuiSpriteButton b("按下", "平常");
    EXPECT_FALSE(b.MouseLButton(true));
    EXPECT_TRUE(b.GetState());
    EXPECT_EQ(ShownWidth(b), 44.0f);
    EXPECT_TRUE(b.MouseLButton(false));
    EXPECT_FALSE(b.GetState());
    EXPECT_EQ(ShownWidth(b), 40.0f);

    // Pushing a button that was set on still ends off.
    b.SetState(true);
    b.MouseLButton(true);
    b.MouseLButton(false);
    EXPECT_FALSE(b.GetState());
}

TEST_F(GuiTest, ToggleButtonFlipsOnEachFullClick)
{
    CZanGuiSpriteButton b("按下", "平常");
    b.SetMode(true);
    const bool expected[] = {true, false, true};
    for (bool after : expected)
    {
        EXPECT_FALSE(b.MouseLButton(true));
        EXPECT_TRUE(b.GetState()) << "on while held";
        EXPECT_TRUE(b.MouseLButton(false));
        EXPECT_EQ(b.GetState(), after);
        EXPECT_EQ(ShownWidth(b), after ? 44.0f : 40.0f);
    }

    // A disabled button ignores the mouse.
    b.Enable(false);
    EXPECT_FALSE(b.MouseLButton(true));
    EXPECT_FALSE(b.MouseLButton(false));
    EXPECT_TRUE(b.GetState());
}

TEST_F(GuiTest, HitTestCoversTheLookOnShow)
{
    CZanGuiSpriteButton b("按下", "平常");
    CZanVector where(100.0f, 50.0f);
    b.Move(where);
    // 40 x 20 around (100, 50): minimum edges inside, maximum edges outside.
    EXPECT_TRUE(b.HitTest(100.0f, 50.0f));
    EXPECT_TRUE(b.HitTest(80.0f, 40.0f));
    EXPECT_TRUE(b.HitTest(119.9f, 59.9f));
    EXPECT_FALSE(b.HitTest(120.0f, 50.0f));
    EXPECT_FALSE(b.HitTest(100.0f, 60.0f));
    EXPECT_FALSE(b.HitTest(79.9f, 50.0f));
    EXPECT_FALSE(b.HitTest(121.0f, 50.0f));

    b.MouseLButton(true); // the pressed look is 44 x 24
    EXPECT_TRUE(b.HitTest(121.0f, 61.0f));
    b.MouseLButton(false);

    b.GetFirstLook()->SetScale(2.0f, 2.0f);
    EXPECT_TRUE(b.HitTest(139.0f, 69.0f)) << "drawn twice as large";

    b.Show(false);
    EXPECT_FALSE(b.HitTest(100.0f, 50.0f));
}

TEST_F(GuiTest, ManagerForwardsToRegisteredIdsOnly)
{
    CZanGuiMgr gui;
    CZanGuiSpriteButton b("按下", "平常");
    Label label;
    EXPECT_FALSE(gui.AddObject(nullptr));
    EXPECT_TRUE(gui.AddObject(&b));
    EXPECT_TRUE(gui.AddObject(&label));
    EXPECT_EQ(gui.GetObjectA(b.GetID()), &b);
    EXPECT_EQ(gui.GetObjectA(label.GetID()), &label);

    // Unknown ids: nothing happens.
    const unsigned long unknown = 99999;
    CZanVector where(300.0f, 200.0f);
    EXPECT_EQ(gui.GetObjectA(unknown), nullptr);
    EXPECT_FALSE(gui.MoveObject(unknown, where));
    EXPECT_FALSE(gui.ShowObject(unknown, false));
    EXPECT_FALSE(gui.EnableObject(unknown, false));
    EXPECT_FALSE(gui.DelObject(unknown));
    EXPECT_EQ(gui.GetObjectCount(), 2u);

    EXPECT_TRUE(gui.MoveObject(b.GetID(), where));
    EXPECT_EQ(b.GetPosition(), where);
    EXPECT_TRUE(gui.ShowObject(b.GetID(), false));
    EXPECT_FALSE(b.IsShown());
    EXPECT_EQ(ShownWidth(b), 0.0f);
    EXPECT_TRUE(gui.EnableObject(b.GetID(), false));
    EXPECT_FALSE(b.IsEnabled());

    // A copy has the same id and takes the original's place.
    CZanGuiSpriteButton copy(b);
    EXPECT_TRUE(gui.AddObject(&copy));
    EXPECT_EQ(gui.GetObjectA(b.GetID()), &copy);
    EXPECT_EQ(gui.GetObjectCount(), 2u);

    EXPECT_TRUE(gui.DelObject(b.GetID()));
    EXPECT_EQ(gui.GetObjectA(b.GetID()), nullptr);
    EXPECT_FALSE(gui.DelObject(b.GetID()));
    EXPECT_TRUE(copy.GetFirstLook() != nullptr) << "removing does not delete";
}

TEST_F(GuiTest, CursorReplacesTheSystemCursor)
{
    CZanGuiMgr gui;
    const int shown = CursorCount();
    ASSERT_GE(shown, 0);

    EXPECT_FALSE(gui.SetCursor(nullptr));
    EXPECT_EQ(CursorCount(), shown);
    EXPECT_EQ(gui.GetCursor(), nullptr);

    CZanGuiMouse arrow("指针");
    ASSERT_NE(arrow.GetSprite(), nullptr);
    EXPECT_EQ(arrow.GetSprite()->GetWidth(), 16.0f);
    EXPECT_FALSE(arrow.GetSprite()->IsVisible());
    EXPECT_TRUE(gui.SetCursor(&arrow));
    EXPECT_EQ(gui.GetCursor(), &arrow);
    EXPECT_LT(CursorCount(), 0) << "the system cursor is hidden";
    EXPECT_TRUE(arrow.GetSprite()->IsVisible());

    CZanGuiMouse other("指针");
    EXPECT_TRUE(gui.SetCursor(&other));
    EXPECT_FALSE(arrow.GetSprite()->IsVisible()) << "one cursor on the screen";
    EXPECT_TRUE(other.GetSprite()->IsVisible());
    EXPECT_LT(CursorCount(), 0);
}
