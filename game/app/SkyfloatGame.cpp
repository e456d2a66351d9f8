#include "app/SkyfloatGame.h"

#include "app/net/NetLobby.h"
#include "app/replay/MatchDirector.h"
#include "app/replay/MatchSession.h"
#include "core/LevelChoice.h"
#include "core/Scene.h"
#include "scenes/Level.h"
#include "scenes/Scenes.h"
#include "world/SKFMapMgr.h"

#include <cstring>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace
{
// Copies a configuration string into a new 256-byte buffer the game owns.
char* CopySetting(const char* text)
{
    char* buffer = new char[256];
    std::snprintf(buffer, 256, "%s", text ? text : "");
    return buffer;
}

CSkyfloatGame::SceneFactory s_pSceneFactory = nullptr;
CSkyfloatGame* s_pGame = nullptr; // the live game, for CurrentScene
IMatchDirector s_LocalDirector;
IMatchDirector* s_pDirector = &s_LocalDirector;

// The program's own clock, for pacing and network timers; never the simulation's.
double GetExactSeconds()
{
    CZanEngine* engine = CZanEngine::Instance();
    return engine ? engine->GetExactTime() : 0.0;
}

CScene* LiveGameScene()
{
    return s_pGame ? s_pGame->GetScene() : nullptr;
}

struct FlowRow
{
    int state, event, next, output;
};

const FlowRow kFlowTable[] = {
    {FLOW_START, FLOW_EVENT_START, FLOW_SPLASH, FLOW_SHOW_SPLASH},
    {FLOW_SPLASH, FLOW_EVENT_TO_MENU, FLOW_MENU, FLOW_SHOW_MENU},
    {FLOW_MENU, FLOW_EVENT_ONE_PLAYER, FLOW_ONE_PLAYER_WAIT, FLOW_SHOW_ONE_PLAYER_WAIT},
    {FLOW_MENU, FLOW_EVENT_TWO_PLAYERS, FLOW_TWO_PLAYER_WAIT, FLOW_SHOW_TWO_PLAYER_WAIT},
    {FLOW_ONE_PLAYER_WAIT, FLOW_EVENT_TO_MENU, FLOW_MENU, FLOW_SHOW_MENU},
    {FLOW_ONE_PLAYER_WAIT, FLOW_EVENT_START_LEVEL, FLOW_ONE_PLAYER_LEVEL,
     FLOW_SHOW_ONE_PLAYER_LEVEL},
    {FLOW_TWO_PLAYER_WAIT, FLOW_EVENT_TO_MENU, FLOW_MENU, FLOW_SHOW_MENU},
    {FLOW_TWO_PLAYER_WAIT, FLOW_EVENT_START_LEVEL, FLOW_TWO_PLAYER_LEVEL,
     FLOW_SHOW_TWO_PLAYER_LEVEL},
    {FLOW_ONE_PLAYER_LEVEL, FLOW_EVENT_LEVEL_OVER, FLOW_ONE_PLAYER_WAIT, FLOW_SHOW_ONE_PLAYER_WAIT},
    {FLOW_TWO_PLAYER_LEVEL, FLOW_EVENT_LEVEL_OVER, FLOW_TWO_PLAYER_WAIT, FLOW_SHOW_TWO_PLAYER_WAIT},
};
} // namespace

CSkyfloatGame::CSkyfloatGame()
    : m_pScene(nullptr), m_pFlow(nullptr), m_pMatch(nullptr), m_nDeferredFlow(0),
      m_pNotice(nullptr), m_pLobby(new CNetLobby)
{
    m_TimedEvents.Clear();
    CZanIni ini("Autoexec.cfg");
    m_bWindowed = ini.GetInt("全局", "窗口模式", 1) != 0;
    m_szWindowTitle = CopySetting(ini.GetString("全局", "标题", "赞安游戏引擎"));
    m_nWidth = ini.GetInt("全局", "窗口宽度", 800);
    m_nHeight = ini.GetInt("全局", "窗口高度", 600);
    m_szIconName = CopySetting(ini.GetString("全局", "图标", "IDI_SMALL"));
    if (!g_pMapMgr)
        g_pMapMgr = new CMapMgr;
    BuildFlow();
    s_pGame = this;
    SetSceneSource(&LiveGameScene);
}

CSkyfloatGame::~CSkyfloatGame()
{
    EndMatch();
    if (m_pLobby->Match() && s_pDirector == m_pLobby->Match())
    {
        m_pLobby->Match()->Leave();
        m_pLobby->Match()->Linger(1.0);
        SetMatchDirector(nullptr);
    }
    delete m_pNotice; // releases the text, which leaves the render list
    m_pNotice = nullptr;
    delete m_pFlow;
    m_pFlow = nullptr;
    delete[] m_szWindowTitle;
    m_szWindowTitle = nullptr;
    delete[] m_szIconName;
    m_szIconName = nullptr;
    delete m_pScene;
    m_pScene = nullptr;
    delete g_pMapMgr;
    g_pMapMgr = nullptr;
    m_TimedEvents.Clear();
    if (s_pGame == this)
        s_pGame = nullptr;
}

void CSkyfloatGame::BuildFlow()
{
    m_pFlow = new CStateMachine(FLOW_START);
    for (int state = FLOW_START; state <= FLOW_TWO_PLAYER_LEVEL; ++state)
    {
        CState* s = new CState(state, 2);
        for (const FlowRow& row : kFlowTable)
            if (row.state == state)
                s->AddTransition(row.event, row.next, row.output);
        if (!m_pFlow->AddState(s))
            delete s;
    }
}

LRESULT CSkyfloatGame::MsgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CGameBase::MsgProc(window, message, wParam, lParam);
    return 1;
}

bool CSkyfloatGame::PreFrameUpdate()
{
    return CGameBase::PreFrameUpdate();
}

bool CSkyfloatGame::FrameUpdate()
{
    if (m_pScene)
        m_pScene->Update();
    if (m_pMatch)
        m_pMatch->EndStep(dynamic_cast<CLevel*>(m_pScene));
    m_TimedEvents.Pump([this](int event) { OnFlowEvent(event, nullptr); });
    return true;
}

bool CSkyfloatGame::PostFrameUpdate()
{
    if (const int event = m_nDeferredFlow)
    {
        m_nDeferredFlow = 0;
        OnFlowEvent(event, nullptr);
    }
    if (m_pMatch && m_pMatch->Feed()->Over())
    {
        EndMatch();
        OnFlowEvent(FLOW_EVENT_LEVEL_OVER, nullptr);
    }
    s_pDirector->Pump(GetExactSeconds());
    PumpLobby();
    if (!m_pMatch && s_pDirector->GaveUp() && s_pDirector->QuitAfter())
        PostQuitMessage(0);
    if (const int players = m_pMatch ? 0 : s_pDirector->AutoStart())
        StartMatch(players);
    ShowNotice();
    return true;
}

void CSkyfloatGame::PumpLobby()
{
    if (m_pMatch || m_pFlow->GetCurrent() != FLOW_TWO_PLAYER_WAIT)
        m_pLobby->CancelTyping();
    CNetMatch* net = m_pLobby->Match();
    if (!net || s_pDirector != net)
        return;
    // The host's level follows the chooser until a player joins.
    net->SetLevel(LevelChoice().GetChosen(true));
    if (m_pMatch)
        return;
    const bool played = net->Round() > 0;
    if (!m_pLobby->Close(GetExactSeconds()))
        return;
    SetMatchDirector(nullptr);
    // A session that played ends at the menu, like a match that loses its peer.
    if (played && m_pFlow->GetCurrent() == FLOW_TWO_PLAYER_WAIT)
        OnFlowEvent(FLOW_EVENT_TO_MENU, nullptr);
}

void CSkyfloatGame::ShowNotice()
{
    if (!m_pNotice || !m_pNotice->Get())
        return;
    std::string text = m_pMatch ? m_pMatch->Feed()->Notice() : s_pDirector->Notice();
    if (text.empty() && !m_pMatch)
        text = m_pLobby->Notice(GetExactSeconds());
    CZanString* notice = m_pNotice->Get();
    if (text != m_strNotice)
    {
        m_strNotice = text;
        notice->SetString(text.c_str());
    }
    notice->SetVisible(!text.empty());
}

int CSkyfloatGame::SimulationSteps()
{
    return m_pMatch ? m_pMatch->Ready(GetExactSeconds()) : 1;
}

double CSkyfloatGame::BeginSimulationStep(double frameTime)
{
    return m_pMatch ? m_pMatch->BeginStep(m_pScene, frameTime) : frameTime;
}

bool CSkyfloatGame::RunsUnfocused() const
{
    return s_pDirector->HoldsScreens();
}

void CSkyfloatGame::SetMatchDirector(IMatchDirector* director)
{
    s_pDirector = director ? director : &s_LocalDirector;
}

void CSkyfloatGame::EndMatch()
{
    if (!m_pMatch)
        return;
    CMatchSession* match = m_pMatch;
    m_pMatch = nullptr;
    match->End();
    s_pDirector->Ended(*match);
    delete match;
    if (s_pDirector->QuitAfter())
        PostQuitMessage(0);
}

void CSkyfloatGame::StartMatch(int players)
{
    if (m_pFlow->GetCurrent() == FLOW_START)
        OnFlowEvent(FLOW_EVENT_START, nullptr);
    const int flow = m_pFlow->GetCurrent();
    if (flow == FLOW_ONE_PLAYER_LEVEL || flow == FLOW_TWO_PLAYER_LEVEL)
        OnFlowEvent(FLOW_EVENT_LEVEL_OVER, nullptr);
    if (m_pFlow->GetCurrent() == FLOW_SPLASH)
        OnFlowEvent(FLOW_EVENT_TO_MENU, nullptr);
    const int wait = players == 1 ? FLOW_ONE_PLAYER_WAIT : FLOW_TWO_PLAYER_WAIT;
    if (m_pFlow->GetCurrent() != wait && m_pFlow->GetCurrent() != FLOW_MENU)
        OnFlowEvent(FLOW_EVENT_TO_MENU, nullptr);
    if (m_pFlow->GetCurrent() == FLOW_MENU)
        OnFlowEvent(players == 1 ? FLOW_EVENT_ONE_PLAYER : FLOW_EVENT_TWO_PLAYERS, nullptr);
    OnFlowEvent(FLOW_EVENT_START_LEVEL, nullptr);
}

bool CSkyfloatGame::OnFocusLost()
{
    // A network match is shared: it goes on whichever window has the focus.
    if (m_pMatch && m_pMatch->Record().start.network)
        return true;
    if (m_pScene)
        m_pScene->Pause();
    return true;
}

bool CSkyfloatGame::OnFocusRestored()
{
    if (m_pMatch && m_pMatch->Record().start.network)
        return true;
    if (m_pScene)
        m_pScene->Resume();
    return true;
}

bool CSkyfloatGame::Render()
{
    return CGameBase::Render();
}

bool CSkyfloatGame::Init()
{
    if (!CGameBase::Init())
        return false;
#ifdef __GLIBC__
    // Pictures are decoded through buffers of a megabyte or more. A fixed threshold keeps them
    // in pages of their own, returned when freed; the default one rises after the first such
    // free and leaves them to fragment the heap.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
#endif
    LevelChoice().Load();
    m_TimedEvents.Add(GetTickCount(), FLOW_EVENT_START);
    delete m_pNotice;
    m_pNotice = new CZanResPtr<CZanString>(new CZanString("系统", 100000, 96));
    m_pNotice->Get()->SetPosition(360.0f, 24.0f);
    m_pNotice->Get()->SetVisible(false);
    return true;
}

bool CSkyfloatGame::OnShutdown()
{
    return true;
}

bool CSkyfloatGame::OnKeyDown(int key)
{
    if (!CGameBase::OnKeyDown(key))
        return false;
    if (m_pMatch)
        m_pMatch->Feed()->Key(key, true);
    else if (m_pScene)
        m_pScene->OnKeyDown(key);
    return true;
}

bool CSkyfloatGame::OnKeyUp(int key)
{
    if (!CGameBase::OnKeyUp(key))
        return false;
    if (m_pMatch)
        m_pMatch->Feed()->Key(key, false);
    else if (m_pScene)
        m_pScene->OnKeyUp(key);
    return true;
}

bool CSkyfloatGame::OnKeyPress(int key)
{
    if (s_pDirector->Key(key))
        return true;
    if (!m_pMatch && s_pDirector == &s_LocalDirector &&
        m_pFlow->GetCurrent() == FLOW_TWO_PLAYER_WAIT &&
        m_pLobby->Key(key, LevelChoice().GetChosen(true)))
    {
        if (CNetMatch* net = m_pLobby->Match())
            SetMatchDirector(net);
        return true;
    }
    return CGameBase::OnKeyPress(key);
}

bool CSkyfloatGame::OnMouseButtonDown(int button)
{
    if (m_pScene)
        m_pScene->OnMouseButtonDown(button);
    return true;
}

bool CSkyfloatGame::OnMouseButtonUp(int button)
{
    return CGameBase::OnMouseButtonUp(button);
}

bool CSkyfloatGame::OnMouseButtonRelease(int button)
{
    if (m_pScene)
        m_pScene->OnMouseButtonRelease(button);
    return true;
}

bool CSkyfloatGame::OnHandleChar(int character)
{
    if (m_pLobby->Char(character))
        return true;
    return CGameBase::OnHandleChar(character);
}

bool CSkyfloatGame::OnHandleKeyDown(int vk)
{
    return CGameBase::OnHandleKeyDown(vk);
}

bool CSkyfloatGame::OnHandleKeyUp(int vk)
{
    return CGameBase::OnHandleKeyUp(vk);
}

bool CSkyfloatGame::OnHandleKeyPress(int vk)
{
    return CGameBase::OnHandleKeyPress(vk);
}

bool CSkyfloatGame::OnEngineMessage(CPacket_Read*)
{
    return true;
}

bool CSkyfloatGame::OnObjectMessage(unsigned long, CPacket_Read* message)
{
    if (!message)
        return true;
    const int code = int16_t(message->ReadBits(16));
    if (code == SCENE_MESSAGE)
    {
        if (m_pScene)
            m_pScene->OnMessage(message);
    }
    else if (s_pDirector->HoldsScreens() &&
             (code == FLOW_EVENT_START_LEVEL ||
              (code == FLOW_EVENT_TO_MENU && m_pFlow->GetCurrent() == FLOW_TWO_PLAYER_WAIT)))
        return true; // a network session starts its matches, and Escape leaves it
    else if (code == FLOW_EVENT_START_LEVEL)
        m_nDeferredFlow = code; // a match starts between passes, where a replay can start it too
    else
        OnFlowEvent(code, message);
    return true;
}

bool CSkyfloatGame::OnFlowEvent(int event, CPacket_Read* message)
{
    // A wait screen's start carries the level it shows; without one the choice stands.
    if (event == FLOW_EVENT_START_LEVEL && message)
        LevelChoice().Choose(int(message->ReadBits(16)));
    m_pFlow->Process(event);
    switch (m_pFlow->GetOutput())
    {
    case FLOW_SHOW_SPLASH:
    case FLOW_SHOW_MENU:
    case FLOW_SHOW_ONE_PLAYER_WAIT:
    case FLOW_SHOW_TWO_PLAYER_WAIT:
    case FLOW_SHOW_ONE_PLAYER_LEVEL:
    case FLOW_SHOW_TWO_PLAYER_LEVEL:
    {
        EndMatch();
        TearDownScene();
        const bool shown = ShowScene(m_pFlow->GetOutput());
#ifdef __GLIBC__
        // The scene gone leaves its objects, documents and sounds freed all through the heap;
        // hand the whole free pages back, so a long session stays its size.
        malloc_trim(0);
#endif
        return shown;
    }
    default:
        return false;
    }
}

void CSkyfloatGame::TearDownScene()
{
    if (g_pMapMgr)
        g_pMapMgr->Clear();
    if (CZanResourceMgr* resources = CZanResourceMgr::Instance())
        resources->Clear();
    if (CZanPhysicsEngine* physics = CZanPhysicsEngine::Instance())
        physics->RemoveAll();
    if (CZanEngine* engine = CZanEngine::Instance())
        engine->SetDestroyRender(true);
    delete m_pScene;
    m_pScene = nullptr;
}

void CSkyfloatGame::SetSceneFactory(SceneFactory factory)
{
    s_pSceneFactory = factory;
}

std::string CSkyfloatGame::SceneFile(int output, int level)
{
    char name[64];
    switch (output)
    {
    case FLOW_SHOW_SPLASH:
        return "PrefaceLevel.xml";
    case FLOW_SHOW_MENU:
        return "MainMenu.xml";
    case FLOW_SHOW_ONE_PLAYER_WAIT:
        return "LevelWait.xml";
    case FLOW_SHOW_TWO_PLAYER_WAIT:
        std::snprintf(name, sizeof name, "WaitLevel%02d.xml", level);
        return name;
    case FLOW_SHOW_ONE_PLAYER_LEVEL:
    case FLOW_SHOW_TWO_PLAYER_LEVEL:
        std::snprintf(name, sizeof name, "Level%02d.xml", level);
        return name;
    default:
        return std::string();
    }
}

// The scene becomes current before it loads. One that cannot load is torn down and a plain
// screen saying so takes its place, so the player is never left before a black window; one
// abandoned because the player quit leaves no scene.
bool CSkyfloatGame::ShowScene(int output)
{
    const bool two = output == FLOW_SHOW_TWO_PLAYER_WAIT || output == FLOW_SHOW_TWO_PLAYER_LEVEL;
    int level = LevelChoice().GetChosen(two);
    const bool match = output == FLOW_SHOW_ONE_PLAYER_LEVEL || output == FLOW_SHOW_TWO_PLAYER_LEVEL;
    MatchStart start;
    if (match)
    {
        // A replay or a network match plays the level of its start; a local one records its own.
        start = s_pDirector->MakeStart(two ? 2 : 1);
        if (s_pDirector->ChoosesLevel())
            level = start.level;
        else
            start.level = uint8_t(level);
        // The wait screen between a session's matches shows the level they play.
        if (start.network && two)
            LevelChoice().Choose(level);
    }
    // One two-player wait screen serves every level: its board shows the chosen one.
    const std::string file = SceneFile(output, output == FLOW_SHOW_TWO_PLAYER_WAIT ? 1 : level);
    m_pScene = s_pSceneFactory ? s_pSceneFactory(output, level) : nullptr;
    if (!m_pScene)
        return false;
    if (match)
    {
        m_pMatch = new CMatchSession(start, s_pDirector->MakeFeed(start));
        m_pMatch->Begin();
    }
    if (m_pScene->Load(file.c_str()))
        return true;
    EndMatch();
    TearDownScene();
    // A load the player cut short by quitting needs no screen: the game is ending.
    CZanEngine* engine = CZanEngine::Instance();
    if (engine && engine->LoadInterrupted())
        return false;
    m_pScene = new CFailedScene(output, file.c_str());
    m_pScene->Load(file.c_str());
    return false;
}
