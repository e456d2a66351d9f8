#include "scenes/LevelBoard.h"

#include "core/LevelChoice.h"
#include "core/ScoreTable.h"

#include <cstdio>

namespace
{
CZanResPtr<CZanSprite> Picture(const char* format, int level, float x, float y)
{
    char name[32];
    std::snprintf(name, sizeof name, format, level);
    CZanResPtr<CZanSprite> sprite = CZanResourceMgr::Instance()->CreateSprite(name);
    sprite->SetPosition(x, y);
    return sprite;
}
} // namespace

void CLevelBoard::Show()
{
    CZanResourceMgr* resources = CZanResourceMgr::Instance();
    if (!resources)
        return;
    m_nLevel = LevelChoice().GetChosen(m_bTwoPlayers);
    if (m_Title.IsValid())
        m_Title->SetVisible(false);
    if (m_Preview.IsValid())
        m_Preview->SetVisible(false);
    m_Title = Picture("关卡%d", m_nLevel, 260.0f, 280.0f);
    m_Title->SetVisible(true);
    m_Preview = Picture("预览%d", m_nLevel, 546.0f, 297.0f);
    m_Preview->SetVisible(true);

    CScoreTable table;
    table.Load();
    if (!m_Best.IsValid())
    {
        m_Best = resources->CreateString("最高分");
        m_Best->SetColor(CZanColor(0.42f, 0.29f, 0.2f, 1.0f));
    }
    char text[64];
    std::snprintf(text, sizeof text, "最高分  %07d", table.Best(m_nLevel, m_bTwoPlayers));
    m_Best->SetString(text);
    m_Best->SetPosition(182.0f, 200.0f);
}

bool CLevelBoard::Step(int delta)
{
    const int before = LevelChoice().GetChosen(m_bTwoPlayers);
    if (LevelChoice().Step(delta, m_bTwoPlayers) == before)
        return false;
    Show();
    return true;
}

void CLevelBoard::Release()
{
    m_Title = CZanResPtr<CZanSprite>();
    m_Preview = CZanResPtr<CZanSprite>();
    m_Best = CZanResPtr<CZanString>();
}
