// CScene: one screen of the game (splash, menu, wait screen, level).
#pragma once

class CPacket_Read;

/// The game holds exactly one current scene and forwards frames, keys, mouse buttons, focus
/// changes and scene messages to it. A scene's destructor unloads it.
class CScene
{
public:
    CScene() : m_fHour(0.0f) {}
    virtual ~CScene() {}

    virtual bool Load(const char* file) = 0;
    virtual bool Unload() = 0;
    virtual bool Update() = 0;
    virtual bool OnKeyDown(int key) = 0;
    virtual bool OnKeyUp(int key) = 0;
    virtual bool OnMouseButtonDown(int button) = 0;
    virtual bool OnMouseButtonRelease(int button) = 0;
    virtual bool Pause() = 0;
    virtual bool Resume() = 0;
    virtual bool IsMonster(unsigned long) { return false; }
    virtual bool IsPlayer(unsigned long) { return false; }
    virtual bool OnMessage(CPacket_Read*) { return true; }
    virtual float GetHour() { return m_fHour; }
    /// Moves the clock, for tools and tests that look at a given time of day.
    void SetHour(float hour) { m_fHour = hour; }

protected:
    float m_fHour; ///< the scene's time of day in hours
};

/// The current scene of the running game, or null between scenes and without a game.
CScene* CurrentScene();
/// Names who answers CurrentScene: the game object, which sits above every scene.
void SetSceneSource(CScene* (*source)());

/// Loads the scene's resource file, "resource_" + file; false when that fails.
bool LoadSceneResources(const char* file);
