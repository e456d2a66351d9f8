// The smallest game on ZanEngine: a red ball drawn as a sprite in the middle of the window.
// Escape quits. With --headless it runs without a display on the engine's virtual clock,
// checks that the ball reached the picture, and says so in its exit status.
#include <ZanEngine.h>
#include <ZanHeadless.h>

#include <cstdio>
#include <cstring>

namespace
{
// The ball is owned by the game object, so it goes before the resource manager does.
class SpriteGame : public CGameBase
{
public:
    explicit SpriteGame(CZanResourceMgr* resources) : m_resources(resources) {}

    // Called by SystemStart once the window and the devices are up.
    bool Init() override
    {
        if (!CGameBase::Init() || !m_resources->Load("sprite.xml"))
            return false;
        m_ball = m_resources->CreateSprite("球");
        m_ball->SetPosition(400.0f, 300.0f);
        return true;
    }

protected:
    bool OnShutdown() override { return true; }
    bool FrameUpdate() override { return true; }
    bool PostFrameUpdate() override { return true; }
    bool OnFocusLost() override { return true; }
    bool OnFocusRestored() override { return true; }
    bool OnEngineMessage(CPacket_Read*) override { return true; }
    bool OnObjectMessage(unsigned long, CPacket_Read*) override { return true; }

private:
    CZanResourceMgr* m_resources;
    CZanResPtr<CZanSprite> m_ball;
};

struct Check
{
    int frames = 0;
    bool seen = false;
};

// After a few frames: the centre shows the ball's red, a corner the cleared background.
void CheckFrame(void* user)
{
    Check& check = *static_cast<Check*>(user);
    if (++check.frames < 3)
        return;
    int w = 0, h = 0;
    const unsigned* px = ZanHeadlessFrame(&w, &h);
    if (px && w == 800 && h == 600)
    {
        const unsigned centre = px[300 * w + 400] & 0xFFFFFFu;
        const unsigned corner = px[10 * w + 10] & 0xFFFFFFu;
        std::printf("centre %06X, corner %06X\n", centre, corner);
        check.seen = centre == 0xE8403Au && corner != centre;
    }
    ZanHeadlessClose();
}
} // namespace

int main(int argc, char** argv)
{
    const bool headless = argc > 1 && std::strcmp(argv[1], "--headless") == 0;
    Check check;
    if (headless)
    {
        ZanHeadlessEnable();
        ZanHeadlessOnFrame(CheckFrame, &check);
    }
    CZanEngine* engine = KovCreate(9);
    CZanResourceMgr* resources = KovResourceCreate();
    SpriteGame* game = new SpriteGame(resources);
    bool ran = engine->LoadGame(game) && engine->SystemInitiate() && engine->SystemStart();
    delete game;
    resources->Release();
    engine->Release();
    if (headless)
        ran = ran && check.seen;
    std::printf("%s\n", ran ? "sprite drawn" : "failed: see 运行日志.htm");
    return ran ? 0 : 1;
}
