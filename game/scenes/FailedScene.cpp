#include "scenes/Scenes.h"

#include "core/Flow.h"

#include <cstdio>

namespace
{
constexpr unsigned kSplashMs = 10000; // both splash pictures' time
constexpr float kLineHeight = 28.0f;
constexpr int kLevel = 1000; // above anything a half-loaded scene left behind

int BackEvent(int output)
{
    switch (output)
    {
    case FLOW_SHOW_SPLASH:
    case FLOW_SHOW_ONE_PLAYER_WAIT:
    case FLOW_SHOW_TWO_PLAYER_WAIT:
        return FLOW_EVENT_TO_MENU;
    case FLOW_SHOW_ONE_PLAYER_LEVEL:
    case FLOW_SHOW_TWO_PLAYER_LEVEL:
        return FLOW_EVENT_LEVEL_OVER;
    default:
        return 0; // the menu: nothing lies behind it
    }
}
} // namespace

CFailedScene::CFailedScene(int output, const char* file)
    : m_nOutput(output), m_nBackEvent(BackEvent(output)), m_strFile(file ? file : ""), m_uStart(0),
      m_pSky(nullptr), m_apLines()
{
}

bool CFailedScene::Load(const char*)
{
    m_uStart = GetTickCount();
    m_pSky = new CZanSprite("无", 0.0f, 0.0f, 800.0f, 600.0f, kLevel);
    m_pSky->SetPosition(400.0f, 300.0f);
    m_pSky->SetColor(0xff9cc8ecUL);
    char first[160];
    std::snprintf(first, sizeof first, "不能载入 %s", m_strFile.c_str());
    const char* second = m_nBackEvent ? "单击鼠标返回" : "按 Esc 键退出游戏";
    const char* texts[2] = {first, second};
    for (int i = 0; i < 2; ++i)
    {
        // The font's default face; a byte of GBK text is about half a character wide.
        m_apLines[i] = new CZanString("", kLevel + 1, 0);
        m_apLines[i]->SetString(texts[i]);
        m_apLines[i]->SetColor(CZanColor(0.1f, 0.18f, 0.32f, 1.0f));
        const float width = float(m_apLines[i]->GetLength()) * 8.0f;
        m_apLines[i]->SetPosition(400.0f - width / 2.0f, 270.0f + float(i) * kLineHeight);
    }
    return true;
}

bool CFailedScene::Unload()
{
    for (CZanString*& line : m_apLines)
    {
        delete line;
        line = nullptr;
    }
    delete m_pSky;
    m_pSky = nullptr;
    return true;
}

bool CFailedScene::Update()
{
    if (m_nOutput == FLOW_SHOW_SPLASH && m_uStart && GetTickCount() - m_uStart > kSplashMs)
    {
        m_uStart = 0;
        PostFlowEvent(FLOW_EVENT_TO_MENU);
    }
    return true;
}

bool CFailedScene::OnMouseButtonRelease(int button)
{
    if ((button == 0 || button == 1) && m_nBackEvent)
        PostFlowEvent(m_nBackEvent);
    return true;
}

const char* CFailedScene::GetText(int line) const
{
    return line >= 0 && line < 2 && m_apLines[line] ? m_apLines[line]->GetString() : "";
}
