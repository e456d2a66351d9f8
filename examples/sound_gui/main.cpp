// Sound and GUI on ZanEngine: one toggle button. Each click plays a short tick; switched on,
// the button streams a music loop, switched off it stops it. Escape quits. With --headless it
// clicks the button itself on the engine's virtual clock and checks what a player would see
// and hear: the button's look, the tick ending after its length, and the music still playing
// after more than the two chunks it starts with (so the stream refilled), then stopping.
#include <ZanEngine.h>
#include <ZanHeadless.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{
const unsigned long kOffColour = 0xFF4A5A78u;
const unsigned long kOnColour = 0xFF3FA35Au;
const float kButtonX = 400.0f;
const float kButtonY = 300.0f;

class SoundGuiGame : public CGameBase
{
public:
    SoundGuiGame(CZanEngine* engine, CZanResourceMgr* resources)
        : m_engine(engine), m_resources(resources), m_button(nullptr)
    {
        m_szWindowTitle = const_cast<char*>("ZanEngine sound and GUI");
        m_bWindowed = true;
    }
    // Sounds hold OpenAL names and must go before the engine closes the sound device: the
    // program deletes the game first.
    ~SoundGuiGame() override { ReleaseAll(); }

    // Called by SystemStart once the window and the devices are up.
    bool Init() override
    {
        if (!CGameBase::Init() || !m_resources->Load("sound_gui.xml"))
            return false;
        // The button's sprites come from the resource manager, so it is made after Load. The
        // second name is the look while off, the first the look while on.
        m_button = new CZanGuiSpriteButton("按钮开", "按钮关");
        m_button->SetMode(true); // a toggle: each full click flips it
        m_button->GetFirstLook()->SetColor(kOffColour);
        m_button->GetSecondLook()->SetColor(kOnColour);
        CZanVector centre(kButtonX, kButtonY);
        m_button->Move(centre);
        m_gui.AddObject(m_button);

        m_label = m_resources->CreateString("标签");
        m_label->SetPosition(kButtonX - 110.0f, kButtonY + 50.0f);
        m_label->SetString("Click to play music");

        // A sound entry names a file and whether it loops; the game makes the sound objects.
        const ZanAudio* click = m_resources->GetAudioInfo("点击");
        const ZanAudio* music = m_resources->GetAudioInfo("音乐");
        if (!click || !music)
            return false;
        m_click.LoadSound(click->strPath.c_str(), click->bLoop);
        m_music.LoadSound(music->strPath.c_str(), music->bLoop);
        return true;
    }

    bool ButtonOn() const { return m_button && m_button->GetState(); }
    CZanWave& Click() { return m_click; }
    CZanOggStream& Music() { return m_music; }

protected:
    // The stream decodes only when asked: once a frame keeps it fed. The button shows the
    // look of its state, pressed or not.
    bool FrameUpdate() override
    {
        m_music.Update();
        if (m_button)
            m_button->Update(0.0f);
        return true;
    }
    // Mouse hooks are called every frame while a button is held: act on the first frame.
    bool OnMouseButtonDown(int button) override
    {
        if (button == 0 && !m_bHeld)
        {
            m_bHeld = true;
            m_bPressedOnButton = m_button && m_button->HitTest(MouseX(), MouseY());
            if (m_bPressedOnButton)
                m_button->MouseLButton(true);
        }
        return true;
    }
    // A release after a press: a click, if it began and ends on the button.
    bool OnMouseButtonRelease(int button) override
    {
        if (button != 0)
            return true;
        m_bHeld = false;
        if (m_bPressedOnButton && m_button->MouseLButton(false) &&
            m_button->HitTest(MouseX(), MouseY()))
            Clicked();
        m_bPressedOnButton = false;
        return true;
    }
    bool OnShutdown() override
    {
        ReleaseAll();
        return true;
    }
    bool PostFrameUpdate() override { return true; }
    bool OnFocusLost() override { return true; }
    bool OnFocusRestored() override { return true; }
    bool OnEngineMessage(CPacket_Read*) override { return true; }
    bool OnObjectMessage(unsigned long, CPacket_Read*) override { return true; }

private:
    void Clicked()
    {
        m_click.RewindSound();
        m_click.PlaySoundA();
        if (m_button->GetState())
        {
            m_music.RewindSound();
            m_music.PlaySoundA();
            m_label->SetString("Music on: click to stop");
        }
        else
        {
            m_music.StopSound();
            m_label->SetString("Click to play music");
        }
    }
    float MouseX() const { return Mouse().x; }
    float MouseY() const { return Mouse().y; }
    CZanVector Mouse() const
    {
        CZanVector p;
        m_engine->GetMousePos(&p.x, &p.y);
        return p;
    }
    void ReleaseAll()
    {
        m_click.DestroySound();
        m_music.DestroySound();
        if (m_button)
            m_gui.DelObject(m_button->GetID()); // the manager does not own its widgets
        delete m_button;
        m_button = nullptr;
        m_label = CZanResPtr<CZanString>();
    }

    CZanEngine* m_engine;
    CZanResourceMgr* m_resources;
    CZanGuiMgr m_gui;
    CZanGuiSpriteButton* m_button;
    CZanResPtr<CZanString> m_label;
    CZanWave m_click;
    CZanOggStream m_music;
    bool m_bHeld = false;
    bool m_bPressedOnButton = false;
};

// The headless run: a script of mouse actions by frame, each frame 16 ms of virtual time.
struct Check
{
    SoundGuiGame* game = nullptr;
    int frame = 0;
    bool tickStarted = false, tickEnded = false, musicStreamed = false, musicStopped = false;
    bool onLook = false, offLook = false;
};

bool ButtonShows(unsigned long colour)
{
    int w = 0, h = 0;
    const unsigned* px = ZanHeadlessFrame(&w, &h);
    return px && w == 800 && h == 600 &&
           (px[int(kButtonY) * w + int(kButtonX)] & 0xFFFFFFu) == (colour & 0xFFFFFFu);
}

void Click(int frame, int at)
{
    if (frame == at)
        ZanHeadlessMouseButton(0, 1);
    else if (frame == at + 2)
        ZanHeadlessMouseButton(0, 0);
}

void CheckFrame(void* user)
{
    Check& c = *static_cast<Check*>(user);
    ZanHeadlessAdvance(15);
    SoundGuiGame& game = *c.game;
    const int f = ++c.frame;
    // Listen every frame: the silent device mixes the time passed whenever a sound is asked,
    // as a real device would have played it meanwhile.
    const bool musicAudible = game.Music().IsPlaying();
    if (f == 5)
        ZanHeadlessMouseMove(int(kButtonX), int(kButtonY));
    Click(f, 6);
    if (f == 10)
        c.tickStarted = game.Click().IsPlaying();
    if (f == 30) // 0.3 s later: the 0.15 s tick is over
        c.tickEnded = !game.Click().IsPlaying();
    if (f == 340) // 5.2 s of music: twice what the first two chunks hold
    {
        c.musicStreamed = game.ButtonOn() && game.Music().IsStreamPlaying() && musicAudible;
        c.onLook = ButtonShows(kOnColour);
    }
    Click(f, 345);
    if (f == 360)
    {
        c.musicStopped = !game.ButtonOn() && !game.Music().IsStreamPlaying() && !musicAudible;
        c.offLook = ButtonShows(kOffColour);
        std::printf("tick played %d and ended %d; music streamed %d and stopped %d; "
                    "button looks on %d, off %d\n",
                    c.tickStarted, c.tickEnded, c.musicStreamed, c.musicStopped, c.onLook,
                    c.offLook);
        ZanHeadlessClose();
    }
}
} // namespace

int main(int argc, char** argv)
{
    const bool headless = argc > 1 && std::strcmp(argv[1], "--headless") == 0;
    Check check;
    if (headless)
    {
        // No output device: the engine's silent device then mixes on the virtual clock, so a
        // sound lasts exactly its length however fast the run goes.
        setenv("ALSOFT_DRIVERS", "zan-no-such-driver", 1);
        ZanHeadlessEnable();
        ZanHeadlessOnFrame(CheckFrame, &check);
    }
    CZanEngine* engine = KovCreate(9);
    CZanResourceMgr* resources = KovResourceCreate();
    SoundGuiGame* game = new SoundGuiGame(engine, resources);
    check.game = game;
    bool ran = engine->LoadGame(game) && engine->SystemInitiate() && engine->SystemStart();
    delete game;
    resources->Release();
    engine->Release();
    if (headless)
        ran = ran && check.tickStarted && check.tickEnded && check.musicStreamed &&
              check.musicStopped && check.onLook && check.offLook;
    std::printf("%s\n", ran ? "button, sound and music work" : "failed: see the run log");
    return ran ? 0 : 1;
}
