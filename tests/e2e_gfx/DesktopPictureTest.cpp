// The desktop (OpenGL) backend draws the same picture as the headless rasteriser: a scene of
// textured, rotated and coloured sprites, an outline, a bent mesh and Chinese text is drawn in
// a real window under X, captured from the screen and compared pixel by pixel with the
// software rasterisation of the same recorded frame. Needs an X display (xvfb-run).
#include "../graphics/GraphicsFixture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace
{
const char* kTitle = "ZanGfxPicture";

// Reads a binary PPM (P6, 8 bits) into 0xRRGGBB pixels.
bool ReadPpm(const std::string& path, int& w, int& h, std::vector<uint32_t>& out)
{
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    if (!(in >> magic >> w >> h >> maxValue) || magic != "P6" || maxValue != 255 || w <= 0 ||
        h <= 0)
        return false;
    in.get();
    std::vector<unsigned char> bytes(size_t(w) * h * 3);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size())))
        return false;
    out.resize(size_t(w) * h);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = uint32_t(bytes[3 * i]) << 16 | uint32_t(bytes[3 * i + 1]) << 8 | bytes[3 * i + 2];
    return true;
}

std::string Shell(const std::string& command)
{
    std::string out;
    if (FILE* p = popen(command.c_str(), "r"))
    {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p))
            out += buf;
        pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

class DesktopGame : public IdleGame
{
public:
    DesktopGame()
    {
        static char title[] = "ZanGfxPicture";
        m_szWindowTitle = title;
        m_bWindowed = true;
    }
};
} // namespace

TEST(DesktopPictureTest, ScreenMatchesTheSoftwareRasteriser)
{
    if (!std::getenv("DISPLAY") || Shell("command -v xdotool").empty() ||
        Shell("command -v import").empty())
        GTEST_SKIP() << "needs an X display, xdotool and import";

    zantest::ScopedWorkDir dir;
    CZanEngine* engine = KovCreate(9);
    CZanResourceMgr* resources = KovResourceCreate();
    DesktopGame* game = new DesktopGame;
    ASSERT_TRUE(engine->LoadGame(game));
    if (!engine->SystemInitiate())
    {
        delete game;
        resources->Release();
        engine->Release();
        GTEST_SKIP() << "the desktop backend could not start (no OpenGL)";
    }

    WriteBmp("checker.bmp", 64, 64,
             [](int x, int y) -> uint32_t
             {
                 if (x < 4 && y < 4)
                     return 0x000000; // colour key: transparent
                 return ((x / 8 + y / 8) & 1) ? 0xE0C020 : 0x2040C0;
             });
    WriteResourceFile("scene.xml", u8"<资源><材质资源 Name=\"棋\" Path=\"checker.bmp\"/>"
                                   u8"<字体资源 Name=\"大\" FaceName=\"黑体\" Height=\"32\"/>"
                                   u8"<字符串资源 Name=\"标题\" Font=\"大\" Size=\"8\" "
                                   u8"RenderLevel=\"50\"/></资源>");
    ASSERT_TRUE(resources->Load("scene.xml"));
    {
        CZanSprite plain("棋", 0.0f, 0.0f, 64.0f, 64.0f, 1);
        plain.SetPosition(100.0f, 100.0f);
        CZanSprite turned("棋", 16.0f, 16.0f, 48.0f, 48.0f, 2);
        turned.SetPosition(260.0f, 110.0f);
        turned.SetRot(0.5f);
        turned.SetScale(1.5f, 1.0f);
        turned.SetColor(0xC0FF8080ul);
        CZanSprite tint("无", 0.0f, 0.0f, 120.0f, 40.0f, 0);
        tint.SetPosition(200.0f, 260.0f);
        tint.SetColor(CZanColor(0.2f, 0.8f, 0.4f, 1.0f));
        CZanQuadGraphics outline(150.0f, 90.0f, 3);
        outline.SetPosition(600.0f, 120.0f);
        outline.SetColor(0xFFFFFFFFul);
        CZanMesh wave("棋", 0.0f, 0.0f, 64.0f, 64.0f, 5, 5, 4);
        wave.SetPosition(520.0f, 380.0f);
        wave.SetScale(3.0f, 3.0f);
        for (int c = 0; c < 5; ++c)
            for (int r = 0; r < 5; ++r)
                wave.SetDisplacement(c, r, float((r % 2) * 3), float((c % 2) * 4), 0);
        wave.SetColor(2, 2, 0xFFFF0000ul);
        CZanResPtr<CZanString> text = resources->CreateString("标题");
        text->SetString("中文测试：帧率");
        text->SetPosition(80.3f, 480.9f);
        text->SetColor(CZanColor(1.0f, 1.0f, 1.0f, 1.0f));

        for (int i = 0; i < 20; ++i)
        {
            PumpMessages();
            g_pGraphics->ClearRender(0);
            g_pGraphics->BeginRender();
            g_pGraphics->RenderGraphics();
            g_pGraphics->EndRender();
            usleep(20000);
        }
        const ZanD3DFrameRecord* frame = ZanD3DLastFrame();
        ASSERT_NE(frame, nullptr);
        EXPECT_GE(frame->drawCalls, 4u);
        std::vector<uint32_t> expected;
        ZanD3DRasterise(*frame, expected);
        ASSERT_EQ(expected.size(), size_t(800 * 600));

        const std::string window = Shell(std::string("timeout 20 xdotool search --sync --name '^") +
                                         kTitle + "$' | head -n 1");
        ASSERT_FALSE(window.empty()) << "the window did not appear";
        const std::string shot = dir.Path() + "/shot.ppm";
        const std::string log = Shell("import -window " + window + " -depth 8 " + shot + " 2>&1");
        int w = 0, h = 0;
        std::vector<uint32_t> screen;
        ASSERT_TRUE(ReadPpm(shot, w, h, screen)) << "no screenshot: " << log;
        ASSERT_EQ(w, 800);
        ASSERT_EQ(h, 600);

        int different = 0, lit = 0;
        for (size_t i = 0; i < screen.size(); ++i)
        {
            const uint32_t a = screen[i], b = expected[i] & 0xFFFFFF;
            int worst = 0;
            for (int shift = 0; shift <= 16; shift += 8)
                worst =
                    std::max(worst, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
            different += worst > 40;
            lit += b != 0;
        }
        EXPECT_GT(lit, 20000) << "the scene drew almost nothing";
        // Edge pixels and glyph smoothing may differ slightly; the picture must not.
        EXPECT_LT(different, int(screen.size() / 200)) << different << " pixels differ";
        if (different >= int(screen.size() / 200) || std::getenv("ZAN_KEEP_PICTURES"))
        {
            // Keep both pictures for a look.
            std::ofstream out("/tmp/zan-gfx-expected.ppm", std::ios::binary);
            out << "P6\n800 600\n255\n";
            for (uint32_t p : expected)
                out.put(char((p >> 16) & 0xFF)).put(char((p >> 8) & 0xFF)).put(char(p & 0xFF));
            Shell("cp " + shot + " /tmp/zan-gfx-screen.ppm");
        }
    }
    delete game;
    resources->Release();
    engine->Release();
}
