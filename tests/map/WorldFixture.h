// A headless engine with physics, resources and the real game object, for map and scene tests.
#pragma once

#include "../graphics/GraphicsFixture.h"
#include "core/Scene.h"
#include "app/SkyfloatGame.h"
#include "world/SKFMapMgr.h"

#include <set>

/// A scene whose hour and actors the test sets.
class StubScene : public CScene
{
public:
    bool Load(const char*) override { return true; }
    bool Unload() override { return true; }
    bool Update() override { return true; }
    bool OnKeyDown(int) override { return true; }
    bool OnKeyUp(int) override { return true; }
    bool OnMouseButtonDown(int) override { return true; }
    bool OnMouseButtonRelease(int) override { return true; }
    bool Pause() override { return true; }
    bool Resume() override { return true; }
    bool IsPlayer(unsigned long id) override { return players.count(id) != 0; }
    bool IsMonster(unsigned long id) override { return monsters.count(id) != 0; }

    std::set<unsigned long> players, monsters;
};

/// Opens the hooks the engine calls.
class OpenGame : public CSkyfloatGame
{
public:
    using CSkyfloatGame::FrameUpdate;
    using CSkyfloatGame::Init;
    using CSkyfloatGame::OnMouseButtonDown;
    using CSkyfloatGame::OnMouseButtonRelease;
    using CSkyfloatGame::OnObjectMessage;
};

class WorldTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ZanHeadlessEnable();
        engine = KovCreate(9);
        physics = KovPhysicsCreate(CZanVector(0.0f, 1000.0f));
        resources = KovResourceCreate();
        game = new OpenGame;
        game->m_bWindowed = true;
        ASSERT_TRUE(engine->LoadGame(game));
        ASSERT_TRUE(engine->SystemInitiate());
    }
    void TearDown() override
    {
        delete game;
        CSkyfloatGame::SetSceneFactory(nullptr);
        resources->Release();
        physics->Release();
        engine->Release();
    }

    /// Makes the game's current scene a StubScene at the given hour.
    StubScene* UseStubScene(float hour)
    {
        CSkyfloatGame::SetSceneFactory([](int, int) -> CScene* { return new StubScene; });
        game->OnFlowEvent(FLOW_EVENT_START, nullptr);
        StubScene* scene = static_cast<StubScene*>(game->GetScene());
        scene->SetHour(hour);
        return scene;
    }

    /// Run-log rows of a message from a source file.
    static int LogCount(const std::string& kind, const std::string& message, const char* file)
    {
        std::fflush(nullptr);
        int n = 0;
        for (const auto& r : zantest::ReadLogRows(ZanNativePath("运行日志.htm")))
            n += r.kind == kind && r.message == message && r.file == file;
        return n;
    }

    zantest::ScopedWorkDir dir;
    CZanEngine* engine = nullptr;
    CZanPhysicsEngine* physics = nullptr;
    CZanResourceMgr* resources = nullptr;
    OpenGame* game = nullptr;
};
