// The screens before a level: the splash, the main menu and the two wait screens.
#pragma once

#include "core/Flow.h"
#include "core/Scene.h"
#include "scenes/LevelBoard.h"
#include "scenes/MenuButton.h"
#include "world/Backdrop.h"
#include "world/Environment.h"

#include <string>
#include <vector>

class CZanOgg;

/// Stands in for a scene whose resource or map file could not be loaded: the sky, what failed
/// and how to go on. A click leads where the scene's own way out would (the splash also moves
/// on by itself after its usual 10 s); without a menu to go back to, Escape ends the game.
class CFailedScene : public CScene
{
public:
    CFailedScene(int output, const char* file);
    ~CFailedScene() override { Unload(); }

    bool Load(const char* file) override;
    bool Unload() override;
    bool Update() override;
    bool OnKeyDown(int) override { return true; }
    bool OnKeyUp(int) override { return true; }
    bool OnMouseButtonDown(int) override { return true; }
    bool OnMouseButtonRelease(int button) override;
    bool Pause() override { return true; }
    bool Resume() override { return true; }

    const char* GetText(int line) const;

private:
    int m_nOutput;
    int m_nBackEvent; // 0: none
    std::string m_strFile;
    unsigned m_uStart;
    CZanSprite* m_pSky;
    CZanString* m_apLines[2];
};

/// Two pictures fading in and out for 5 s each; a left click skips to the menu.
class CSplashScene : public CScene
{
public:
    CSplashScene();
    ~CSplashScene() override { Unload(); }

    bool Load(const char* file) override;
    bool Unload() override;
    bool Update() override;
    bool OnKeyDown(int) override { return true; }
    bool OnKeyUp(int) override { return true; }
    bool OnMouseButtonDown(int) override { return true; }
    bool OnMouseButtonRelease(int button) override;
    bool Pause() override { return true; }
    bool Resume() override { return true; }

    int GetShown() const { return m_nShown; }
    CFadeImage* GetImage() const { return m_pImage; }

private:
    CFadeImage* m_pImage;
    unsigned m_uStart;
    float m_fDuration;
    int m_nCount;
    int m_nShown;
};

/// A screen under the living sky with buttons that light up under the cursor and click with
/// a sound: the main menu and the two wait screens.
class CButtonScene : public CScene
{
public:
    CButtonScene();
    ~CButtonScene() override { Unload(); }

    bool Unload() override;
    /// The clock and weather, then each button's hover state under the cursor.
    bool Update() override;
    bool OnKeyDown(int) override { return true; }
    bool OnKeyUp(int) override { return true; }
    /// A left press on a button plays the select sound and shows it pressed.
    bool OnMouseButtonDown(int button) override;
    bool Pause() override;
    bool Resume() override;
    bool OnMessage(CPacket_Read* message) override;

    CMenuButton* GetButton(size_t i) const
    {
        return i < m_vecButtons.size() ? m_vecButtons[i] : nullptr;
    }
    size_t GetButtonCount() const { return m_vecButtons.size(); }
    const CEnvironment& GetEnvironment() const { return m_Environment; }
    CBackdrop& GetBackdrop() { return m_Backdrop; }
    CZanOgg* GetSelectSound() const { return m_pSelect; }
    CZanOgg* GetHoverSound() const { return m_pHover; }

protected:
    /// Resource file, map and environment; false when the resources or the map fail.
    bool LoadWorld(const char* file);
    void LoadSounds();
    CMenuButton* AddButton(const char* name, float x, float y, float w, float h);
    void AddPicture(const char* name, float x, float y);
    /// Index of the button under the cursor, or -1.
    int ButtonUnderCursor() const;

private:
    CEnvironment m_Environment;
    CBackdrop m_Backdrop;
    std::vector<CMenuButton*> m_vecButtons;
    std::vector<CZanResPtr<CZanSprite>> m_vecPictures;
    CZanOgg* m_pSelect;
    CZanOgg* m_pHover;
};

/// The main menu: logo, one player, two players, quit.
class CMenuScene : public CButtonScene
{
public:
    enum
    {
        ONE_PLAYER,
        TWO_PLAYERS,
        QUIT
    };
    bool Load(const char* file) override;
    bool OnMouseButtonRelease(int button) override;
};

/// The screen before a one-player level: the level's board with its chooser, start and back.
class CSinglePlayerWait : public CButtonScene
{
public:
    enum
    {
        START,
        BACK,
        PREVIOUS_LEVEL,
        NEXT_LEVEL
    };
    CSinglePlayerWait() : m_Board(false) {}
    bool Load(const char* file) override;
    bool OnMouseButtonRelease(int button) override;
    const CLevelBoard& GetBoard() const { return m_Board; }

private:
    CLevelBoard m_Board;
};

/// The screen before a two-player level: the level's board with both players' keys under the
/// living sky. Its only buttons are the level chooser's small arrows: a left click anywhere
/// else starts, a right click returns to the menu.
class CTwoPlayerWait : public CButtonScene
{
public:
    enum
    {
        PREVIOUS_LEVEL,
        NEXT_LEVEL
    };
    CTwoPlayerWait() : m_Board(true) {}
    bool Load(const char* file) override;
    bool OnMouseButtonRelease(int button) override;
    const CLevelBoard& GetBoard() const { return m_Board; }

private:
    CLevelBoard m_Board;
};
