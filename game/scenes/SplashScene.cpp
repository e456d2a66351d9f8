#include "scenes/Scenes.h"

#include <cstdio>

CSplashScene::CSplashScene()
    : m_pImage(nullptr), m_uStart(0), m_fDuration(5.0f), m_nCount(2), m_nShown(0)
{
}

bool CSplashScene::Load(const char* file)
{
    if (!LoadSceneResources(file))
        return false;
    m_nShown = 1;
    m_pImage = new CFadeImage;
    m_pImage->Show("Splash1", m_fDuration, CFadeImage::FADE_IN_OUT);
    m_uStart = GetTickCount();
    return true;
}

bool CSplashScene::Unload()
{
    delete m_pImage;
    m_pImage = nullptr;
    return true;
}

bool CSplashScene::Update()
{
    if (!m_pImage)
        return true;
    if (long(m_fDuration * 1000.0f) < long(GetTickCount() - m_uStart))
    {
        if (++m_nShown > m_nCount)
        {
            PostFlowEvent(FLOW_EVENT_TO_MENU);
            return true;
        }
        char name[32];
        std::snprintf(name, sizeof name, "Splash%d", m_nShown);
        delete m_pImage;
        m_pImage = new CFadeImage;
        m_pImage->Show(name, m_fDuration, CFadeImage::FADE_IN_OUT);
        m_uStart = GetTickCount();
    }
    m_pImage->Update();
    return true;
}

bool CSplashScene::OnMouseButtonRelease(int button)
{
    if (button == 0)
        PostFlowEvent(FLOW_EVENT_TO_MENU);
    return true;
}

bool CTwoPlayerWait::Load(const char* file)
{
    // A bare black screen left players guessing what the mouse does here, so the board that
    // explains both players' keys is shown like the one-player wait screen's.
    if (!LoadWorld(file))
        return false;
    AddPicture("关卡1", 260.0f, 280.0f);
    AddPicture("图板", 400.0f, 300.0f);
    AddPicture("树叶上", 400.0f, 130.0f);
    AddPicture("树叶下", 400.0f, 480.0f);
    LoadSounds();
    AddButton("左箭头", CLevelBoard::LEFT_ARROW_X, CLevelBoard::ARROW_Y, CLevelBoard::ARROW_W,
              CLevelBoard::ARROW_H);
    AddButton("右箭头", CLevelBoard::RIGHT_ARROW_X, CLevelBoard::ARROW_Y, CLevelBoard::ARROW_W,
              CLevelBoard::ARROW_H);
    m_Board.Show();
    return true;
}

bool CTwoPlayerWait::OnMouseButtonRelease(int button)
{
    if (button == 0)
    {
        const int arrow = ButtonUnderCursor();
        if (arrow == PREVIOUS_LEVEL || arrow == NEXT_LEVEL)
        {
            GetButton(size_t(arrow))->Reset();
            m_Board.Step(arrow == NEXT_LEVEL ? 1 : -1);
        }
        else
            PostFlowEvent(FLOW_EVENT_START_LEVEL, m_Board.GetLevel());
    }
    else if (button == 1)
        PostFlowEvent(FLOW_EVENT_TO_MENU);
    return true;
}
