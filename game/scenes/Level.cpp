#include "scenes/Level.h"

#include "actors/ActorSupport.h"
#include "actors/Bird.h"
#include "actors/HeadUpDisplay.h"
#include "actors/Monster.h"
#include "core/Flow.h"
#include "core/LevelChoice.h"
#include "core/ScoreTable.h"
#include "world/SKFMapMgr.h"

#include <cstdio>
#include <string>

namespace
{
enum
{
    OUT_BEGIN = 1200,
    OUT_CLOCK_TICK = 1201,
    OUT_BIRD_OUT = 1202,
    OUT_MATCH_OVER = 1203,
    OUT_TIME_UP = 1204,
    OUT_SHOW_LIVES = 1511,
    OUT_SHOW_SCORE = 1512
};

const MachineRow kLevelMachine[] = {
    {LEVEL_WAITING, LEVEL_BEGIN, LEVEL_PLAYING, OUT_BEGIN},
    {LEVEL_PLAYING, LEVEL_CLOCK_TICK, LEVEL_PLAYING, OUT_CLOCK_TICK},
    {LEVEL_PLAYING, LEVEL_BIRD_LIVES, LEVEL_PLAYING, OUT_SHOW_LIVES},
    {LEVEL_PLAYING, LEVEL_BIRD_SCORE, LEVEL_PLAYING, OUT_SHOW_SCORE},
    {LEVEL_PLAYING, LEVEL_BIRD_OUT, LEVEL_ENDING, OUT_BIRD_OUT},
    {LEVEL_PLAYING, LEVEL_TIME_UP, LEVEL_ENDING, OUT_TIME_UP},
    {LEVEL_ENDING, LEVEL_MATCH_OVER, LEVEL_OVER, OUT_MATCH_OVER},
};

struct KeyRow
{
    int key, bird, down, up;
};

const KeyRow kKeys[] = {
    {DIK_A, 0, BIRD_LEFT_PRESSED, BIRD_LEFT_RELEASED},
    {DIK_D, 0, BIRD_RIGHT_PRESSED, BIRD_RIGHT_RELEASED},
    {DIK_J, 0, BIRD_FLAP, 0},
    {DIK_LEFT, 1, BIRD_LEFT_PRESSED, BIRD_LEFT_RELEASED},
    {DIK_RIGHT, 1, BIRD_RIGHT_PRESSED, BIRD_RIGHT_RELEASED},
    {DIK_END, 1, BIRD_FLAP, 0},
};

struct Spot
{
    float x, y;
};
const Spot kLifeSpots[CLevel::MAX_BIRDS] = {{70, 25}, {728, 25}};
const Spot kScoreSpots[CLevel::MAX_BIRDS] = {{15, 65}, {676, 65}};
const Spot kCounterSpots[CLevel::MAX_BIRDS] = {{70, 568}, {728, 568}};

std::string Format(const char* format, int n)
{
    char text[100];
    std::snprintf(text, sizeof text, format, n);
    return text;
}
} // namespace

CLevel::CLevel(int birds)
    : m_nBirds(birds), m_apBirds(), m_apMonsters(), m_apControllers(), m_nMonsters(0),
      m_nLastTick(0), m_nRemaining(FULL_TIME), m_pCountdown(nullptr), m_apLives(), m_apScores(),
      m_apCounters(), m_pMachine(nullptr), m_pStartSound(nullptr), m_pTimeUpSound(nullptr),
      m_nNumber(1), m_bCleared(false), m_bNewBest(false)
{
}

CLevel::~CLevel()
{
    Unload();
}

bool CLevel::Load(const char* file)
{
    if (!file)
        return false;
    const std::string resources = std::string("resource_") + file;
    if (!Resources()->Load(resources.c_str()) || !g_pMapMgr || !g_pMapMgr->Load(file))
        return false;

    m_pMachine = BuildMachine(LEVEL_WAITING, kLevelMachine);
    LoadDisplay();

    const std::string settings = g_pMapMgr->GetSettingsFile();
    CZanIni ini(settings.c_str());
    m_nMonsters = ini.GetInt("设置", "怪物数", 1);
    if (m_nMonsters > MAX_MONSTERS)
    {
        Engine()->SystemWarnLog("怪物数超过 6, 只放 6 个怪物", __FILE__, __LINE__);
        m_nMonsters = MAX_MONSTERS;
    }
    if (m_nMonsters < 0)
        m_nMonsters = 0;

    LoadActors();
    m_Environment.Load(settings.c_str(), m_fHour);
    m_TimedEvents.Schedule(800, LEVEL_BEGIN);

    m_pStartSound = LoadSoundRecord("开始声音0%d", Engine()->RandomInt(1, 3));
    PlayIfLoaded(m_pStartSound);
    m_pTimeUpSound = LoadSoundRecord("时间到0%d", Engine()->RandomInt(1, 3));
    return true;
}

void CLevel::LoadDisplay()
{
    m_pCountdown = new CCountdownDisplay(m_nRemaining / 1000);
    m_pCountdown->Place(400.0f, 30.0f);
    for (int i = 0; i < m_nBirds; ++i)
    {
        m_apLives[i] = new CLifeDisplay(3);
        m_apLives[i]->Place(kLifeSpots[i].x, kLifeSpots[i].y);
        m_apScores[i] = new CScoreDisplay(0);
        m_apScores[i]->Place(kScoreSpots[i].x, kScoreSpots[i].y);
        m_apCounters[i] = new CCounterDisplay(0);
        m_apCounters[i]->Place(kCounterSpots[i].x, kCounterSpots[i].y);
    }
    // A storm far off in the sky over a duel; a single player gets the quiet sky.
    m_Lightning = Resources()->CreateAnim("雷电");
    m_Lightning->SetPosition(560.0f, 140.0f);
    if (m_nBirds == 2)
        m_Lightning->Play(0);
    else
        m_Lightning->SetVisible(false);
}

void CLevel::LoadActors()
{
    for (int i = 0; i < m_nBirds; ++i)
    {
        m_apBirds[i] = new CBird(Format("角色%d", i + 1).c_str(), 50.0f, 30.0f);
        const CZanVector spawn = g_pMapMgr->GetPoint(Format("出生点%d", i + 1).c_str());
        m_apBirds[i]->Spawn(spawn.x, spawn.y);
    }
    for (int i = 0; i < m_nMonsters; ++i)
    {
        m_apMonsters[i] = new CMonster(Format("怪物%d", i + 1).c_str(), 35.0f, 30.0f);
        m_apControllers[i] = new CMonsterAI(m_apMonsters[i]);
        m_apMonsters[i]->SetController(m_apControllers[i]);
        const CZanVector spawn = g_pMapMgr->GetPoint(Format("怪物出生点%d", i + 1).c_str());
        m_apMonsters[i]->Spawn(spawn.x, spawn.y);
    }
}

bool CLevel::Unload()
{
    for (CBird*& bird : m_apBirds)
    {
        delete bird;
        bird = nullptr;
    }
    for (int i = 0; i < MAX_MONSTERS; ++i)
    {
        delete m_apMonsters[i];
        m_apMonsters[i] = nullptr;
        delete m_apControllers[i];
        m_apControllers[i] = nullptr;
    }
    m_nMonsters = 0;
    delete m_pMachine;
    m_pMachine = nullptr;
    m_TimedEvents.Clear();
    m_Environment.Release();
    delete m_pCountdown;
    m_pCountdown = nullptr;
    for (int i = 0; i < MAX_BIRDS; ++i)
    {
        delete m_apLives[i];
        delete m_apScores[i];
        delete m_apCounters[i];
        m_apLives[i] = nullptr;
        m_apScores[i] = nullptr;
        m_apCounters[i] = nullptr;
    }
    m_Lightning = CZanResPtr<CZanAnim>();
    delete m_pStartSound;
    m_pStartSound = nullptr;
    delete m_pTimeUpSound;
    m_pTimeUpSound = nullptr;
    m_Notice = CZanResPtr<CZanString>();
    return true;
}

bool CLevel::Update()
{
    if (!m_pMachine)
        return true;
    m_Environment.Step(m_fHour);
    for (int i = 0; i < m_nMonsters; ++i)
        m_apControllers[i]->Pump();
    if (m_nBirds == 2 && m_Lightning.IsValid())
        m_Lightning->Update(0.0f);
    m_TimedEvents.Pump([this](int event) { Handle(event, nullptr); });
    DrownStrays();
    return true;
}

// The water drowns whatever touches it; an actor thrown down faster than the water is thick
// passes it between two steps and would fall for ever. Below the screen it drowns all the
// same, as the water itself would tell it.
void CLevel::DrownStrays()
{
    constexpr float kBelowWorld = 700.0f;
    auto stray = [](const CZanObject* actor)
    { return actor->GetBody()->m_bCollidable && actor->GetPos().y > kBelowWorld; };
    for (int i = 0; i < m_nBirds; ++i)
        if (stray(m_apBirds[i]))
        {
            const uint32_t id = uint32_t(m_apBirds[i]->GetID());
            SendEvent(ZAN_ID_GAME, id, BIRD_DIE, {id});
        }
    for (int i = 0; i < m_nMonsters; ++i)
        if (stray(m_apMonsters[i]))
        {
            const uint32_t id = uint32_t(m_apMonsters[i]->GetID());
            SendEvent(ZAN_ID_GAME, id, MONSTER_DIE, {id});
        }
}

bool CLevel::MapKey(int key, int* bird, int* down, int* up) const
{
    for (const KeyRow& row : kKeys)
        if (row.key == key && row.bird < m_nBirds && m_apBirds[row.bird])
        {
            *bird = row.bird;
            *down = row.down;
            *up = row.up;
            return true;
        }
    return false;
}

bool CLevel::OnKeyDown(int key)
{
    int bird, down, up;
    if (MapKey(key, &bird, &down, &up))
        SendEvent(ZAN_ID_GAME, m_apBirds[bird]->GetID(), down);
    return true;
}

bool CLevel::OnKeyUp(int key)
{
    int bird, down, up;
    if (MapKey(key, &bird, &down, &up) && up)
        SendEvent(ZAN_ID_GAME, m_apBirds[bird]->GetID(), up);
    return true;
}

bool CLevel::Pause()
{
    m_Environment.Pause();
    return true;
}

bool CLevel::Resume()
{
    m_Environment.Resume();
    return true;
}

bool CLevel::IsPlayer(unsigned long id)
{
    for (int i = 0; i < m_nBirds; ++i)
        if (m_apBirds[i] && m_apBirds[i]->GetID() == id)
            return true;
    return false;
}

bool CLevel::IsMonster(unsigned long id)
{
    for (int i = 0; i < m_nMonsters; ++i)
        if (m_apMonsters[i] && m_apMonsters[i]->GetID() == id)
            return true;
    return false;
}

bool CLevel::OnMessage(CPacket_Read* message)
{
    if (message && m_pMachine)
        Handle(int16_t(message->ReadBits(16)), message);
    return true;
}

int CLevel::BirdSlot(unsigned long id) const
{
    return m_apBirds[0] && m_apBirds[0]->GetID() == id ? 0 : 1;
}

// The one-player clock runs at half speed. The odd millisecond that halving drops is kept for
// the next tick, or frames a millisecond apart would never move the clock at all.
void CLevel::ClockTick()
{
    const unsigned now = NowTicks();
    const unsigned elapsed = now - m_nLastTick;
    unsigned used = elapsed;
    if (m_nBirds == 1)
    {
        m_nRemaining -= int(elapsed >> 1);
        used = elapsed & ~1u;
    }
    else
        m_nRemaining -= int(elapsed);
    if (m_nRemaining < 0)
    {
        m_nRemaining = 0;
        m_TimedEvents.Schedule(0, LEVEL_TIME_UP);
    }
    m_nLastTick += used;
    m_pCountdown->Set(m_nRemaining / 1000);
    m_TimedEvents.Schedule(0, LEVEL_CLOCK_TICK);
}

void CLevel::Handle(int event, CPacket_Read* reader)
{
    m_pMachine->Process(event);
    switch (m_pMachine->GetOutput())
    {
    case OUT_BEGIN:
        for (int i = 0; i < m_nBirds; ++i)
            SendEvent(ZAN_ID_GAME, m_apBirds[i]->GetID(), BIRD_START);
        for (int i = 0; i < m_nMonsters; ++i)
            SendEvent(ZAN_ID_GAME, m_apMonsters[i]->GetID(), MONSTER_START);
        m_nLastTick = NowTicks();
        m_TimedEvents.Schedule(0, LEVEL_CLOCK_TICK);
        break;
    case OUT_CLOCK_TICK:
        ClockTick();
        break;
    case OUT_BIRD_OUT:
        EndMatch(false);
        m_TimedEvents.Schedule(3000, LEVEL_MATCH_OVER);
        break;
    case OUT_TIME_UP:
        EndMatch(true);
        m_TimedEvents.Schedule(3000, LEVEL_MATCH_OVER);
        PlayIfLoaded(m_pTimeUpSound);
        for (int i = 0; i < m_nBirds; ++i)
            SendEvent(ZAN_ID_GAME, m_apBirds[i]->GetID(), BIRD_DIE);
        break;
    case OUT_SHOW_LIVES:
        if (reader)
        {
            const int lives = int(reader->ReadBits(32));
            const int slot = BirdSlot(reader->ReadBits(32));
            if (slot < m_nBirds)
                m_apLives[slot]->Set(lives);
        }
        break;
    case OUT_SHOW_SCORE:
        if (reader)
        {
            const int score = int(reader->ReadBits(32));
            const int slot = BirdSlot(reader->ReadBits(32));
            if (slot < m_nBirds)
            {
                m_apScores[slot]->Set(score);
                // A bird scores only by popping a balloon: its counter shows how many it popped.
                m_apCounters[slot]->Set(m_apCounters[slot]->GetValue() + 1);
            }
        }
        break;
    case OUT_MATCH_OVER:
        SendEvent(ZAN_ID_GAME, ZAN_ID_GAME, FLOW_EVENT_LEVEL_OVER);
        break;
    default:
        break;
    }
}

void CLevel::EndMatch(bool timeUp)
{
    m_bCleared = Clears(m_nBirds, m_apBirds[0] ? m_apBirds[0]->GetLives() : 0, timeUp);
    if (m_bCleared)
    {
        LevelChoice().Cleared(m_nNumber);
        if (!LevelChoice().Save())
            Engine()->SystemWarnLog("进度无法保存", __FILE__, __LINE__);
    }

    CScoreTable table;
    table.Load();
    bool kept = false;
    for (int i = 0; i < m_nBirds; ++i)
    {
        const ScoreEntry entry{m_apBirds[i]->GetScore(), Format("玩家%d", i + 1),
                               CScoreTable::Today()};
        const int rank = table.Insert(m_nNumber, m_nBirds == 2, entry);
        kept |= rank >= 0;
        m_bNewBest |= rank == 0;
    }
    if (kept && !table.Save())
        Engine()->SystemWarnLog("成绩表无法保存", __FILE__, __LINE__);

    std::string notice;
    if (m_bCleared)
        notice = Format("第%d关 过关!", m_nNumber);
    if (m_bNewBest)
        notice += std::string(notice.empty() ? "" : "  ") + "新纪录!";
    if (notice.empty())
        return;
    m_Notice = Resources()->CreateString("公告");
    m_Notice->SetString(notice.c_str());
    m_Notice->SetColor(CZanColor(1.0f, 0.86f, 0.3f, 1.0f));
    // About 20 pixels a byte at this size: centred over the middle of the screen.
    m_Notice->SetPosition(400.0f - 10.0f * float(notice.size()), 250.0f);
}

CScene* MakeLevelScene(int output, int level)
{
    CLevel* scene = nullptr;
    switch (output)
    {
    case FLOW_SHOW_ONE_PLAYER_LEVEL:
        scene = new CSinglePlayerLevel;
        break;
    case FLOW_SHOW_TWO_PLAYER_LEVEL:
        scene = new CTwoPlayerLevel;
        break;
    default:
        return nullptr;
    }
    scene->SetNumber(level);
    return scene;
}
