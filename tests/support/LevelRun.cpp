#include "LevelRun.h"

#include "app/replay/MatchHash.h"
#include "core/LevelChoice.h"

#include "world/SKFMapMgr.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace zantest
{
namespace
{
LevelRun* s_pRun = nullptr;

CScene* MakeScene(int output, int level)
{
    return MakeLevelScene(output, level);
}
} // namespace

LevelRun::LevelRun(int players)
    : m_nPlayers(players), m_nFrameMs(FRAME_MS), m_pEngine(nullptr), m_pPhysics(nullptr),
      m_pResources(nullptr), m_pGame(nullptr), m_nLimit(0), m_nLevelStart(0), m_nLastFlow(0),
      m_bQuit(false)
{
    for (const fs::directory_entry& entry : fs::directory_iterator(SourcePath("data")))
        fs::create_symlink(entry.path(), entry.path().filename());
}

LevelRun::~LevelRun()
{
    Shutdown();
    // What this run opened stays with it: the choice is the process's, and the next run in it
    // starts from its own progress file.
    LevelChoice() = CLevelChoice();
}

void LevelRun::Shutdown()
{
    delete m_pGame;
    m_pGame = nullptr;
    if (m_pResources)
        m_pResources->Release();
    m_pResources = nullptr;
    if (m_pPhysics)
        m_pPhysics->Release();
    m_pPhysics = nullptr;
    if (m_pEngine)
        m_pEngine->Release();
    m_pEngine = nullptr;
    s_pRun = nullptr;
}

void LevelRun::Override(const std::string& name, const std::string& bytes)
{
    fs::remove(name);
    WriteFile(name, bytes);
}

CLevel* LevelRun::Level() const
{
    return m_pGame ? dynamic_cast<CLevel*>(m_pGame->GetScene()) : nullptr;
}

unsigned LevelRun::Time() const
{
    return GetTickCount() - m_nLevelStart;
}

void LevelRun::StartAgain()
{
    m_pGame->OnFlowEvent(FLOW_EVENT_START_LEVEL, nullptr);
}

void LevelRun::Send(unsigned long to, int event, std::initializer_list<uint32_t> payload)
{
    CPacket_Write w;
    w.WriteBits(uint32_t(event), 16);
    for (uint32_t field : payload)
        w.WriteBits(field, 32);
    CPacket_Read r(w);
    CZanEngine::Instance()->SendToObject(ZAN_ID_GAME, to, r);
}

std::vector<LogRow> LevelRun::LogRows() const
{
    return ReadLogRows(u8"运行日志.htm");
}

// Walks the flow from the splash to the level, then hands every frame to the step.
void LevelRun::Pass()
{
    ZanHeadlessAdvance(m_nFrameMs - 1); // the loop's own Sleep(1) adds the last millisecond
    if (m_bQuit)
        return;
    if (m_pGame->GetFlowState() == FLOW_SPLASH)
    {
        m_pGame->OnFlowEvent(FLOW_EVENT_TO_MENU, nullptr);
        m_pGame->OnFlowEvent(m_nPlayers == 1 ? FLOW_EVENT_ONE_PLAYER : FLOW_EVENT_TWO_PLAYERS,
                             nullptr);
        m_pGame->OnFlowEvent(FLOW_EVENT_START_LEVEL, nullptr);
    }
    if (m_pGame->GetFlowState() == FLOW_START)
        return;
    const int flow = m_pGame->GetFlowState();
    if (flow != m_nLastFlow && Level())
        m_nLevelStart = GetTickCount();
    m_nLastFlow = flow;
    if (!m_Step(*this) || Time() > m_nLimit)
    {
        m_bQuit = true;
        PostQuitMessage(0);
    }
}

void LevelRun::Play(const std::function<bool(LevelRun&)>& step, unsigned limitMs)
{
    ZanHeadlessEnable();
    m_pEngine = KovCreate(9);
    m_pPhysics = KovPhysicsCreate(CZanVector(0.0f, 1000.0f));
    m_pPhysics->SetDamp(0.001f);
    m_pResources = KovResourceCreate();
    CSkyfloatGame::SetSceneFactory(&MakeScene);
    m_pGame = new CSkyfloatGame;
    m_pEngine->LoadGame(m_pGame);
    ASSERT_TRUE(m_pEngine->SystemInitiate());
    m_Step = step;
    m_nLimit = limitMs;
    s_pRun = this;
    OnEveryPass([](int) { s_pRun->Pass(); });
    m_pEngine->SystemStart();
    OnEveryPass(nullptr);
}

// The same hash a replay records, so a test's figures and a replay's agree.
uint64_t StateHash(const CLevel& level)
{
    return MatchStateHash(level);
}
} // namespace zantest
