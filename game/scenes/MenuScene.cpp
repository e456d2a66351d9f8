#include "scenes/Scenes.h"

#include "world/SKFMapMgr.h"

namespace
{
CZanOgg* LoadEffect(const char* name)
{
    CZanResourceMgr* resources = CZanResourceMgr::Instance();
    ZanAudio* audio = resources ? resources->GetAudioInfo(name) : nullptr;
    if (!audio)
        return nullptr;
    CZanOgg* sound = new CZanOgg;
    sound->LoadSound(audio->strPath.c_str(), audio->bLoop);
    return sound;
}

void Play(CZanOgg* sound)
{
    if (sound)
        sound->PlaySoundA();
}

void MousePos(float& x, float& y)
{
    x = y = -1.0f;
    if (CZanEngine* engine = CZanEngine::Instance())
        engine->GetMousePos(&x, &y);
}
} // namespace

CButtonScene::CButtonScene() : m_pSelect(nullptr), m_pHover(nullptr) {}

bool CButtonScene::LoadWorld(const char* file)
{
    if (!LoadSceneResources(file) || !g_pMapMgr || !g_pMapMgr->Load(file))
        return false;
    m_Environment.Load(g_pMapMgr->GetSettingsFile().c_str(), m_fHour);
    if (const D3DPRESENT_PARAMETERS* screen =
            g_pGraphics ? g_pGraphics->GetPresentParameters() : nullptr)
        m_Backdrop.Build(int(screen->BackBufferWidth), int(screen->BackBufferHeight));
    return true;
}

void CButtonScene::LoadSounds()
{
    m_pSelect = LoadEffect("鼠标选择");
    m_pHover = LoadEffect("鼠标盘旋");
}

CMenuButton* CButtonScene::AddButton(const char* name, float x, float y, float w, float h)
{
    CMenuButton* button = new CMenuButton;
    button->Create(name);
    button->Place(x, y, w, h);
    button->Reset();
    m_vecButtons.push_back(button);
    return button;
}

void CButtonScene::AddPicture(const char* name, float x, float y)
{
    CZanResourceMgr* resources = CZanResourceMgr::Instance();
    if (!resources)
        return;
    CZanResPtr<CZanSprite> sprite = resources->CreateSprite(name);
    if (sprite.Get())
        sprite->SetPosition(x, y);
    m_vecPictures.push_back(sprite);
}

bool CButtonScene::Unload()
{
    for (CMenuButton* button : m_vecButtons)
        delete button;
    m_vecButtons.clear();
    m_vecPictures.clear();
    m_Backdrop.Release();
    m_Environment.Release();
    delete m_pSelect;
    m_pSelect = nullptr;
    delete m_pHover;
    m_pHover = nullptr;
    return true;
}

int CButtonScene::ButtonUnderCursor() const
{
    float x, y;
    MousePos(x, y);
    for (size_t i = 0; i < m_vecButtons.size(); ++i)
        if (m_vecButtons[i]->Contains(x, y))
            return int(i);
    return -1;
}

bool CButtonScene::Update()
{
    m_Environment.Step(m_fHour);
    m_Backdrop.Update();
    float x, y;
    MousePos(x, y);
    for (CMenuButton* button : m_vecButtons)
    {
        if (button->Contains(x, y))
        {
            if (!button->IsHovered())
                Play(m_pHover);
            button->SetHover();
        }
        else
            button->Reset();
    }
    return true;
}

bool CButtonScene::OnMouseButtonDown(int button)
{
    if (button != 0)
        return true;
    float x, y;
    MousePos(x, y);
    for (CMenuButton* b : m_vecButtons)
        if (b->Contains(x, y) && !b->IsPressed())
        {
            Play(m_pSelect);
            b->SetPressed();
        }
    return true;
}

bool CButtonScene::Pause()
{
    m_Environment.Pause();
    return true;
}

bool CButtonScene::Resume()
{
    m_Environment.Resume();
    return true;
}

bool CButtonScene::OnMessage(CPacket_Read* message)
{
    if (message)
        message->ReadBits(16);
    return true;
}

bool CMenuScene::Load(const char* file)
{
    if (!LoadWorld(file))
        return false;
    LoadSounds();
    AddPicture("LOGO", 400.0f, 140.0f);
    AddButton("单人游戏", 400.0f, 320.0f, 230.0f, 70.0f);
    AddButton("双人游戏", 400.0f, 410.0f, 230.0f, 70.0f);
    AddButton("退出游戏", 400.0f, 500.0f, 230.0f, 70.0f);
    return true;
}

bool CMenuScene::OnMouseButtonRelease(int button)
{
    if (button != 0)
        return true;
    switch (ButtonUnderCursor())
    {
    case ONE_PLAYER:
        GetButton(ONE_PLAYER)->Reset();
        PostFlowEvent(FLOW_EVENT_ONE_PLAYER);
        break;
    case TWO_PLAYERS:
        GetButton(TWO_PLAYERS)->Reset();
        PostFlowEvent(FLOW_EVENT_TWO_PLAYERS);
        break;
    case QUIT:
        GetButton(QUIT)->Reset();
        PostQuitMessage(0);
        break;
    default:
        break;
    }
    return true;
}

bool CSinglePlayerWait::Load(const char* file)
{
    if (!LoadWorld(file))
        return false;
    AddPicture("关卡1", 260.0f, 280.0f);
    AddPicture("图板", 400.0f, 300.0f);
    AddPicture("树叶上", 400.0f, 130.0f);
    AddPicture("树叶下", 400.0f, 480.0f);
    LoadSounds();
    AddButton("开始", 640.0f, 430.0f, 120.0f, 70.0f);
    AddButton("返回", 180.0f, 430.0f, 120.0f, 70.0f);
    AddButton("左箭头", CLevelBoard::LEFT_ARROW_X, CLevelBoard::ARROW_Y, CLevelBoard::ARROW_W,
              CLevelBoard::ARROW_H);
    AddButton("右箭头", CLevelBoard::RIGHT_ARROW_X, CLevelBoard::ARROW_Y, CLevelBoard::ARROW_W,
              CLevelBoard::ARROW_H);
    m_Board.Show();
    return true;
}

bool CSinglePlayerWait::OnMouseButtonRelease(int button)
{
    if (button != 0)
        return true;
    switch (ButtonUnderCursor())
    {
    case START:
        GetButton(START)->Reset();
        PostFlowEvent(FLOW_EVENT_START_LEVEL, m_Board.GetLevel());
        break;
    case PREVIOUS_LEVEL:
    case NEXT_LEVEL:
        GetButton(size_t(ButtonUnderCursor()))->Reset();
        m_Board.Step(ButtonUnderCursor() == NEXT_LEVEL ? 1 : -1);
        break;
    case BACK:
        GetButton(BACK)->Reset();
        PostFlowEvent(FLOW_EVENT_TO_MENU);
        break;
    default:
        break;
    }
    return true;
}
