// CSkyfloatGame: the game object of Skyfloat.
#pragma once

#include "ZanEngine.h"
#include "core/Flow.h"
#include "core/StateMachine.h"

#include <memory>
#include <string>

class CScene;
class CMatchSession;
class IMatchDirector;
class CNetLobby;

/// Reads its window settings from "Autoexec.cfg", owns the current scene and the flow
/// machine, and forwards every engine event to the scene.
class CSkyfloatGame : public CGameBase
{
public:
    CSkyfloatGame();
    ~CSkyfloatGame() override;

    LRESULT MsgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    /// Feeds a flow event to the flow machine and builds the scene its output names.
    /// Returns the new scene's Load result (false when no scene was built).
    bool OnFlowEvent(int event, CPacket_Read* message);
    /// Clears the map, the resources and the physics world and deletes the current scene.
    void TearDownScene();

    /// Makes the scene for a flow output (3200 to 3205) and a level number, or null.
    typedef CScene* (*SceneFactory)(int output, int level);
    /// Sets the factory the flow builds its scenes with; null builds none.
    static void SetSceneFactory(SceneFactory factory);
    /// The file a flow output's scene loads ("MainMenu.xml", "Level01.xml", ...).
    static std::string SceneFile(int output, int level);

    /// Who plays the matches from now on (null: the local players); not owned.
    static void SetMatchDirector(IMatchDirector* director);

    CScene* GetScene() const { return m_pScene; }
    /// The match being played, or null.
    CMatchSession* GetMatch() const { return m_pMatch; }
    int GetFlowState() const { return m_pFlow->GetCurrent(); }
    const CTimedEvents& GetTimedEvents() const { return m_TimedEvents; }

protected:
    bool PreFrameUpdate() override;
    bool FrameUpdate() override;
    bool PostFrameUpdate() override;
    bool OnFocusLost() override;
    bool OnFocusRestored() override;
    bool Render() override;
    bool Init() override;
    bool OnShutdown() override;
    bool OnKeyDown(int key) override;
    bool OnKeyUp(int key) override;
    /// Escape and Enter may belong to a network session, F2 and F3 start one.
    bool OnKeyPress(int key) override;
    bool OnMouseButtonDown(int button) override;
    bool OnMouseButtonUp(int button) override;
    bool OnMouseButtonRelease(int button) override;
    bool OnHandleChar(int character) override;
    bool OnHandleKeyDown(int vk) override;
    bool OnHandleKeyUp(int vk) override;
    bool OnHandleKeyPress(int vk) override;
    bool OnEngineMessage(CPacket_Read* message) override;
    bool OnObjectMessage(unsigned long sender, CPacket_Read* message) override;
    int SimulationSteps() override;
    double BeginSimulationStep(double frameTime) override;
    /// While a network session runs: the other player's program is waiting on this one.
    bool RunsUnfocused() const override;

private:
    void BuildFlow();
    /// The scene an output shows, made and loaded; false when there is none.
    bool ShowScene(int output);
    /// Ends the running match: its record is complete and handed to the director.
    void EndMatch();
    /// Walks the flow to a match's level, as a player would through the screens.
    void StartMatch(int players);
    /// Shows the director's or the running match's notice, or hides it.
    void ShowNotice();
    /// Keeps the in-game network session going, and lets it go once it is over.
    void PumpLobby();

    CScene* m_pScene;
    CStateMachine* m_pFlow;
    CTimedEvents m_TimedEvents;
    CMatchSession* m_pMatch;
    int m_nDeferredFlow;               ///< a level asked for inside a step starts after it
    CZanResPtr<CZanString>* m_pNotice; ///< the match director's line for the player
    std::string m_strNotice;
    std::unique_ptr<CNetLobby> m_pLobby; ///< hosting or joining from the two-player wait screen
};
