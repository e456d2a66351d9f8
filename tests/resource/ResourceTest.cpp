// Resource handles, UTF8ToANSI and the resource manager with its file format.
#include "../graphics/GraphicsFixture.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace
{
// A resource that counts its deletions.
class Counted : public IZanResource
{
public:
    explicit Counted(int* deleted) : m_deleted(deleted) {}
    ~Counted() override { ++*m_deleted; }
    const char* GetResourceType() const override { return "counted"; }

private:
    int* m_deleted;
};

int ErrorCount(const std::string& message)
{
    std::fflush(nullptr); // the run log is written through a buffer
    int n = 0;
    for (const auto& r : zantest::ReadLogRows(ZanNativePath("运行日志.htm")))
        n += r.message == message && r.file == "ZanResourceMgr";
    return n;
}

class ResourceTest : public GraphicsTest
{
protected:
    void SetUp() override
    {
        GraphicsTest::SetUp();
        WriteBmp("t.bmp", 64, 32, [](int, int) { return 0x808080u; });
    }
    bool LoadText(const std::string& utf8)
    {
        WriteResourceFile("r.xml", utf8);
        return resources->Load("r.xml");
    }
};

const char* kEveryKind = u8R"(<?xml version="1.0" encoding="UTF-8"?>
<资源>
  <材质资源 Name="纹理" Path="t.bmp"/>
  <字体资源 Name="大字" FaceName="黑体" Height="24" Width="10"/>
  <精灵资源 Name="鸟" Texture="纹理" TexOffset_X="16" TexOffset_Y="8" Width="32" Height="16" RenderLevel="7"/>
  <动画资源 Name="飞" Texture="纹理" Frames="6" Fps="12.5" Width="16" Height="16" RenderLevel="3"/>
  <网格资源 Name="水" Texture="纹理" Rows="3" Columns="5" Width="64" Height="32" RenderLevel="-2"/>
  <矩形资源 Name="框" Path="x" Width="10" Height="20" RenderLevel="4"/>
  <粒子资源 Name="烟" Sprite="鸟" MaxNumbers="50" Emission="30" LifeTime="2.5" PaticleLifeMin="0.5"
      PaticleLifeMax="1.5" Angular="270" Spread="30" SpeedMin="10" SpeedMax="20" SizeSart="1"
      SizeEnd="0.25" AngularStart="-90" AngularEnd="90" Accel_X="1" Accel_Y="98"
      ColorStart="-1" ColorEnd="2164260863"/>
  <字符串资源 Name="分数" Font="大字" Size="32" RenderLevel="9"/>
  <声音资源 Name="叫" Path="叫.wav" Loop="false"/>
</资源>)";
} // namespace

TEST(ResourceHandleTest, CopiesShareOneHolderAndDeleteOnce)
{
    int deleted = 0;
    {
        CZanResPtr<Counted> a(new Counted(&deleted));
        CZanResPtr<Counted> b(a);
        EXPECT_EQ(a.GetHolder(), b.GetHolder());
        EXPECT_EQ(a.GetHolder()->GetRefCount(), 2);
        EXPECT_EQ(a.Get(), b.operator->());
        EXPECT_EQ(&*a, a.Get());
        b = a; // the same holder: nothing changes
        EXPECT_EQ(a.GetHolder()->GetRefCount(), 2);
    }
    EXPECT_EQ(deleted, 1);
}

TEST(ResourceHandleTest, AssignmentReleasesTheOldHolder)
{
    int deleted = 0;
    CZanResPtr<Counted> a(new Counted(&deleted));
    CZanResPtr<Counted> b(new Counted(&deleted));
    a = b;
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(b.GetHolder()->GetRefCount(), 2);
    CZanResPtr<Counted> empty;
    a = empty;
    EXPECT_EQ(a.Get(), nullptr);
    EXPECT_EQ(b.GetHolder()->GetRefCount(), 1);
}

TEST(ResourceHandleTest, HolderNeverGivenToAHandleDeletesOnFirstRelease)
{
    int deleted = 0;
    CZanResourcePtrHolder* holder = new CZanResourcePtrHolder(new Counted(&deleted));
    EXPECT_EQ(holder->GetRefCount(), 0);
    EXPECT_EQ(holder->Release(), -1);
    EXPECT_EQ(deleted, 1);
    CZanResPtr<Counted> none;
    EXPECT_EQ(none.Get(), nullptr);
    EXPECT_EQ(none.GetHolder(), nullptr);
    CZanResPtr<Counted> fromNull(static_cast<Counted*>(nullptr));
    EXPECT_EQ(fromNull.GetHolder(), nullptr);
}

TEST(Utf8ToAnsiTest, ConvertsToGbkAndCountsTheTerminator)
{
    char out[100];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(UTF8ToANSI(u8"资源", out), 5);
    EXPECT_STREQ(out, "资源");
    EXPECT_EQ(UTF8ToANSI("", out), 1);
    EXPECT_EQ(out[0], '\0');
    EXPECT_EQ(UTF8ToANSI(u8"a\U0001F600b", out), 4); // GBK has no emoji
    EXPECT_STREQ(out, "a?b");
}

TEST(Utf8ToAnsiTest, RefusesBadAndOverlongInputWithoutTouchingTheOutput)
{
    char out[100] = "keep";
    EXPECT_EQ(UTF8ToANSI(nullptr, out), 0);
    EXPECT_EQ(UTF8ToANSI("\xC3", out), 0);         // lead byte at the end
    EXPECT_EQ(UTF8ToANSI("\xE4\xB8", out), 0);     // cut sequence
    EXPECT_EQ(UTF8ToANSI("\xC0\xAF", out), 0);     // overlong form
    EXPECT_EQ(UTF8ToANSI("\xED\xA0\x80", out), 0); // surrogate
    EXPECT_STREQ(out, "keep");

    EXPECT_EQ(UTF8ToANSI(std::string(99, 'a').c_str(), out), 100);
    EXPECT_EQ(UTF8ToANSI(std::string(100, 'b').c_str(), out), 0);
    std::string chinese;
    for (int i = 0; i < 49; ++i)
        chinese += u8"中";
    EXPECT_EQ(UTF8ToANSI(chinese.c_str(), out), 99);
    chinese += u8"中"; // 100 GBK bytes: no room for the terminator
    EXPECT_EQ(UTF8ToANSI(chinese.c_str(), out), 0);
}

TEST_F(ResourceTest, FactoryCountsUses)
{
    CZanResourceMgr* again = KovResourceCreate();
    EXPECT_EQ(again, resources);
    again->Release();
    EXPECT_EQ(CZanResourceMgr::Instance(), resources);
}

TEST_F(ResourceTest, DefaultsStandInForUnknownNames)
{
    CZanResPtr<CZanSprite> a = resources->CreateSprite("没有");
    CZanResPtr<CZanSprite> b = resources->CreateSprite("没有");
    ASSERT_NE(a.Get(), nullptr);
    EXPECT_EQ(a.Get(), b.Get());
    EXPECT_EQ(a.Get()->GetWidth(), 0.0f);
    EXPECT_EQ(a->GetTextureHandle(), nullptr);
    EXPECT_EQ(resources->CreateAnim(nullptr)->GetFrames(), 1);
    EXPECT_EQ(resources->CreateMesh("没有")->GetColumns(), 2);
    EXPECT_EQ(resources->CreateQuad("没有")->GetWidth(), 1.0f);
    EXPECT_EQ(resources->CreateString("没有")->GetCapacity(), 0);
    EXPECT_EQ(resources->GetParticleInfo("没有"), nullptr);
    EXPECT_EQ(resources->GetAudioInfo("没有"), nullptr);
    CZanResPtr<CZanTexture>* t = resources->GetTexture("没有");
    ASSERT_NE(t->Get(), nullptr);
    EXPECT_EQ(t->Get()->GetWidth(), 128.0f);
    EXPECT_EQ(t->Get()->GetHeight(), 128.0f);
    EXPECT_NE(t->Get()->GetTexture(), nullptr);
    delete t;
    CZanResPtr<CZanFont>* f = resources->GetFont(nullptr);
    EXPECT_EQ(f->Get()->GetWeight(), 400);
    EXPECT_EQ(f->Get()->GetWidth(), 8);
    delete f;
}

TEST_F(ResourceTest, EveryKindIsReadFromAFile)
{
    ASSERT_TRUE(LoadText(kEveryKind));
    EXPECT_EQ(ErrorCount("不是正确的资源文件"), 0);

    CZanResPtr<CZanSprite> s = resources->CreateSprite("鸟");
    ASSERT_NE(s->GetTextureHandle(), nullptr);
    EXPECT_EQ(s->GetWidth(), 32.0f);
    EXPECT_EQ(s->GetRenderLevel(), 7);
    EXPECT_FLOAT_EQ(s->GetQuad().v[0].u, 0.25f);
    EXPECT_FLOAT_EQ(s->GetQuad().v[2].v, 0.75f);
    EXPECT_EQ((*s->GetTextureHandle())->GetWidth(), 64.0f);

    CZanResPtr<CZanAnim> a = resources->CreateAnim("飞");
    EXPECT_EQ(a->GetFrames(), 6);
    EXPECT_NEAR(a->GetSpeed(), 12.5f, 1e-4);
    EXPECT_EQ(a->GetRenderLevel(), 3);
    EXPECT_FLOAT_EQ(a->GetFrameCorner(4, 0).x, 0.0f); // 64 px wide: four 16 px frames a row
    EXPECT_FLOAT_EQ(a->GetFrameCorner(4, 0).y, 0.5f);

    CZanResPtr<CZanMesh> m = resources->CreateMesh("水");
    EXPECT_EQ(m->GetRows(), 3);
    EXPECT_EQ(m->GetColumns(), 5);
    EXPECT_EQ(m->GetRenderLevel(), -2);

    CZanResPtr<CZanQuadGraphics> q = resources->CreateQuad("框");
    EXPECT_EQ(q->GetHeight(), 20.0f);
    EXPECT_EQ(q->GetRenderLevel(), 4);

    const ZanParticleSystemInfo* p = resources->GetParticleInfo("烟");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->strSprite, "鸟");
    EXPECT_EQ(p->nMaxNumbers, 50);
    EXPECT_EQ(p->nEmission, 30);
    EXPECT_FLOAT_EQ(p->fLifeTime, 2.5f);
    EXPECT_FLOAT_EQ(p->fParticleLifeMin, 0.5f);
    EXPECT_FLOAT_EQ(p->fParticleLifeMax, 1.5f);
    EXPECT_FLOAT_EQ(p->fSizeStart, 1.0f);
    EXPECT_FLOAT_EQ(p->fSizeEnd, 0.25f);
    EXPECT_FLOAT_EQ(p->fAngularStart, -90.0f);
    EXPECT_FLOAT_EQ(p->fAccelY, 98.0f);
    EXPECT_EQ(p->colStart.GetHWColor(), 0xFFFFFFFFul);
    EXPECT_EQ(p->colEnd.GetHWColor(), 0x80FFFFFFul);

    CZanResPtr<CZanString> str = resources->CreateString("分数");
    EXPECT_EQ(str->GetCapacity(), 32);
    EXPECT_EQ(str->GetRenderLevel(), 9);
    EXPECT_EQ(str->GetFontHandle()->Get()->GetHeight(), 24);
    EXPECT_EQ(str->GetFontHandle()->Get()->GetWeight(), 500);

    const ZanAudio* sound = resources->GetAudioInfo("叫");
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->strPath, "叫.wav");
    EXPECT_FALSE(sound->bLoop);
}

TEST_F(ResourceTest, KnownNamesMakeNewObjectsSharingOneTexture)
{
    ASSERT_TRUE(LoadText(kEveryKind));
    CZanResPtr<CZanSprite> a = resources->CreateSprite("鸟");
    CZanResPtr<CZanSprite> b = resources->CreateSprite("鸟");
    EXPECT_NE(a.Get(), b.Get());
    EXPECT_EQ(a->GetTextureHandle()->GetHolder(), b->GetTextureHandle()->GetHolder());
    // Two sprites, and the manager's two: by entry name and by picture file.
    EXPECT_EQ(a->GetTextureHandle()->GetHolder()->GetRefCount(), 4);
}

TEST_F(ResourceTest, MissingRequiredAttributesSkipTheEntryAndAbsentNumbersStayZero)
{
    ASSERT_TRUE(LoadText(u8R"(<资源>
      <精灵资源 Name="无纹理" Width="5"/>
      <精灵资源 Name="" Texture="t"/>
      <精灵资源 Name="空值" Texture="t" Width="" Height="abc" RenderLevel=" 12x"/>
      <字体资源 Name="无高" FaceName="黑体"/>
      <字体资源 Name="空高" FaceName="黑体" Height=""/>
      <声音资源 Name="无循环" Path="a.ogg"/>
      <声音资源 Name="大写" Path="a.ogg" Loop="False"/>
      <声音资源 Name="零" Path="a.ogg" Loop="0"/>
      <矩形资源 Name="无路径" Width="3"/>
      <粒子资源 Name="空粒子" Sprite="s"/>
    </资源>)"));
    CZanResPtr<CZanSprite> def = resources->CreateSprite("没有");
    EXPECT_EQ(resources->CreateSprite("无纹理").Get(), def.Get());
    CZanResPtr<CZanSprite> s = resources->CreateSprite("空值");
    EXPECT_NE(s.Get(), def.Get());
    EXPECT_EQ(s->GetWidth(), 0.0f);
    EXPECT_EQ(s->GetHeight(), 0.0f);
    EXPECT_EQ(s->GetRenderLevel(), 12);
    CZanResPtr<CZanFont>* f = resources->GetFont("无高");
    EXPECT_EQ(f->Get()->GetHeight(), 16); // the default font
    delete f;
    f = resources->GetFont("空高");
    EXPECT_EQ(f->Get()->GetWidth(), 8);
    delete f;
    EXPECT_TRUE(resources->GetAudioInfo("无循环")->bLoop);
    EXPECT_TRUE(resources->GetAudioInfo("大写")->bLoop);
    EXPECT_FALSE(resources->GetAudioInfo("零")->bLoop);
    EXPECT_EQ(resources->CreateQuad("无路径")->GetWidth(), 1.0f);
    const ZanParticleSystemInfo* p = resources->GetParticleInfo("空粒子");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->nMaxNumbers, 0);
    EXPECT_EQ(p->colStart, CZanColor());
}

TEST_F(ResourceTest, LaterEntriesReplaceEarlierOnesAndKindsMustMatch)
{
    ASSERT_TRUE(LoadText(u8R"(<资源>
      <精灵资源 Name="甲" Texture="t" Width="1"/>
      <动画资源 Name="甲" Texture="t" Width="2" Frames="3"/>
      <矩形资源 Name="乙" Path="p" Width="4"/>
      <未知资源 Name="丙" Path="p"/>
      <声音资源 Name="丁" Path="一.wav"/>
      <声音资源 Name="丁" Path="二.wav"/>
    </资源>)"));
    CZanResPtr<CZanAnim> a = resources->CreateAnim("甲");
    EXPECT_EQ(a->GetWidth(), 2.0f);
    EXPECT_EQ(a->GetFrames(), 3);
    // Declared as an animation: as a sprite it is unknown.
    EXPECT_EQ(resources->CreateSprite("甲").Get(), resources->CreateSprite("没有").Get());
    EXPECT_EQ(resources->CreateAnim("乙").Get(), resources->CreateAnim("没有").Get());
    EXPECT_EQ(resources->CreateMesh("乙").Get(), resources->CreateMesh("没有").Get());
    EXPECT_EQ(resources->CreateQuad("乙")->GetWidth(), 4.0f);
    EXPECT_EQ(resources->GetAudioInfo("丁")->strPath, "二.wav");
}

TEST_F(ResourceTest, FilesAccumulateAndClearKeepsObjectsAlive)
{
    ASSERT_TRUE(LoadText(kEveryKind));
    ASSERT_TRUE(LoadText(u8"<资源><声音资源 Name=\"另\" Path=\"x\"/></资源>"));
    EXPECT_NE(resources->GetAudioInfo("叫"), nullptr);
    CZanResPtr<CZanSprite> before = resources->CreateSprite("鸟");
    CZanResPtr<CZanString> text = resources->CreateString("分数");
    EXPECT_TRUE(resources->Clear());
    EXPECT_EQ(resources->GetAudioInfo("另"), nullptr);
    EXPECT_EQ(resources->GetParticleInfo("烟"), nullptr);
    EXPECT_EQ(resources->CreateSprite("鸟").Get(), resources->CreateSprite("没有").Get());
    // The sprite made before still holds the only reference to its texture.
    ASSERT_NE(before->GetTextureHandle(), nullptr);
    EXPECT_EQ(before->GetTextureHandle()->GetHolder()->GetRefCount(), 1);
    EXPECT_NE((*before->GetTextureHandle())->GetTexture(), nullptr);
    EXPECT_EQ(text->GetFontHandle()->Get()->GetHeight(), 24);
    const ZanD3DFrameRecord& f = RenderListFrame();
    bool textured = false;
    for (const ZanD3DDraw* d : QuadDraws(f))
        textured |= d->texture == (*before->GetTextureHandle())->GetTexture();
    EXPECT_TRUE(textured);
}

TEST_F(ResourceTest, BadFilesAreReportedAndNothingIsRead)
{
    EXPECT_FALSE(resources->Load(nullptr));
    EXPECT_EQ(ErrorCount("资源文件为 NULL"), 1);
    EXPECT_FALSE(resources->Load("不存在.xml"));
    EXPECT_FALSE(LoadText(u8"<资源><精灵资源 Name=\"a\" Texture=\"t\"></资源>"));
    EXPECT_FALSE(LoadText(""));
    std::string deep;
    for (int i = 0; i < 5000; ++i)
        deep += "<a>";
    EXPECT_FALSE(LoadText(u8"<资源>" + deep));
    EXPECT_EQ(ErrorCount("无法解析资源文件"), 4);
    // Only the missing one is called missing.
    EXPECT_EQ(ErrorCount("找不到资源文件: 不存在.xml"), 1);
}

TEST_F(ResourceTest, CommentsAndDeclarationsHoldingTagsAreNotNesting)
{
    std::string text = u8"<?xml version=\"1.0\"?><!-- a < b --><资源>";
    for (int i = 0; i < 200; ++i)
        text += u8"<!-- <精灵资源 Name=\"旧\"> --><![CDATA[<a><b>]]>";
    text += u8"<声音资源 Name=\"叫\" Path=\"x.wav\"/></资源>";
    ASSERT_TRUE(LoadText(text));
    EXPECT_NE(resources->GetAudioInfo("叫"), nullptr);
    EXPECT_EQ(ErrorCount("无法解析资源文件"), 0);
}

// Stray closing tags first must not buy room for deeper nesting: the parser recurses once per
// level and would run out of stack.
TEST_F(ResourceTest, StrayClosesBeforeDeepNestingAreRefusedNotParsed)
{
    std::string text;
    for (const char* piece : {"</x>", "<x>", "</x>"})
        for (int i = 0; i < 40000; ++i)
            text += piece;
    EXPECT_FALSE(LoadText(text));
    EXPECT_FALSE(LoadText(u8"<资源>" + text + u8"</资源>"));
    EXPECT_EQ(ErrorCount("无法解析资源文件"), 2);
}

TEST(XmlNestingTest, CountsTheLevelsTheParserWouldEnter)
{
    std::string stray, opens;
    for (int i = 0; i < 100; ++i)
        stray += "</a>", opens += "<a>";
    const struct
    {
        std::string text;
        int depth;
    } cases[] = {
        {"<a><b/><c x='>'/></a>", 1},
        {"<a><b><c></c></b></a>", 3},
        {stray + opens, 100},
        {"<r>" + stray + opens, 100}, // the parser stops at the first wrong close
        {"<!-- <a><a> --><![CDATA[<a>]]><!DOCTYPE x><?pi <a>?><r></r>", 1},
        {"<a x=\"</a></a>\"><b>", 2},
        // The parser reads some quoted declaration values to their quote and others to '>'.
        {"<r><?xml v=\"</r>\"?><a>", 1 << 30},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><r><a/></r>", 1},
        {"< <a><a>", 1}, // "< <a>" is one unknown node
    };
    for (const auto& c : cases)
        EXPECT_EQ(ZanXmlNestingDepth(c.text), c.depth) << c.text;
}

TEST_F(ResourceTest, WrongRootIsReportedButItsEntriesAreRead)
{
    ASSERT_TRUE(LoadText(u8"<根><声音资源 Name=\"叫\" Path=\"x.wav\"/></根>"));
    EXPECT_EQ(ErrorCount("不是正确的资源文件"), 1);
    EXPECT_NE(resources->GetAudioInfo("叫"), nullptr);
}

TEST_F(ResourceTest, ByteOrderMarkAndOverlongNamesAreHandled)
{
    ASSERT_TRUE(LoadText("\xEF\xBB\xBF" +
                         std::string(u8"<资源><声音资源 Name=\"叫\" Path=\"x\"/></资源>")));
    EXPECT_NE(resources->GetAudioInfo("叫"), nullptr);
    const std::string longName(150, 'n');
    ASSERT_TRUE(LoadText(u8"<资源><声音资源 Name=\"" + longName + "\" Path=\"x\"/>" +
                         u8"<声音资源 Name=\"长路径\" Path=\"" + longName + u8"\"/></资源>"));
    EXPECT_EQ(resources->GetAudioInfo(longName.c_str()), nullptr);
    EXPECT_EQ(resources->GetAudioInfo(longName.substr(0, 99).c_str()), nullptr);
    EXPECT_EQ(resources->GetAudioInfo("长路径"), nullptr);
}

// Entries naming one picture file share one texture: a file used for every picture is decoded
// once.
TEST_F(ResourceTest, TexturesOfOneFileAreDecodedOnce)
{
    const size_t before = ZanMediaBytesInUse();
    ASSERT_TRUE(LoadText(u8"<资源><材质资源 Name=\"甲\" Path=\"t.bmp\"/><材质资源 Name=\"乙\" "
                         u8"Path=\"t.bmp\"/></资源>"));
    std::unique_ptr<CZanResPtr<CZanTexture>> a(resources->GetTexture("甲"));
    std::unique_ptr<CZanResPtr<CZanTexture>> b(resources->GetTexture("乙"));
    ASSERT_NE((*a)->GetTexture(), nullptr);
    EXPECT_EQ((*a)->GetTexture(), (*b)->GetTexture());
    EXPECT_EQ(ZanMediaBytesInUse() - before, 64u * 32 * 4);
}

// Past the media budget a texture is not made, and the first refusal says why.
TEST_F(ResourceTest, TexturesPastTheMediaBudgetAreRefusedWithOneWarning)
{
    WriteBmp("u.bmp", 64, 32, [](int, int) { return 0x404040u; });
    WriteBmp("v.bmp", 64, 32, [](int, int) { return 0x202020u; });
    ZanSetMediaBudget(ZanMediaBytesInUse() + 64 * 32 * 4 + 100);
    ASSERT_TRUE(LoadText(u8"<资源><材质资源 Name=\"甲\" Path=\"t.bmp\"/><材质资源 Name=\"乙\" "
                         u8"Path=\"u.bmp\"/><材质资源 Name=\"丙\" Path=\"v.bmp\"/></资源>"));
    std::unique_ptr<CZanResPtr<CZanTexture>> a(resources->GetTexture("甲"));
    std::unique_ptr<CZanResPtr<CZanTexture>> c(resources->GetTexture("丙"));
    EXPECT_NE((*a)->GetTexture(), nullptr);
    EXPECT_EQ((*c)->GetTexture(), nullptr);
    std::fflush(nullptr);
    int warnings = 0;
    for (const auto& r : zantest::ReadLogRows(ZanNativePath("运行日志.htm")))
        warnings += r.message == "声音和纹理的内存已达上限，其余的不再载入";
    EXPECT_EQ(warnings, 1);
    ZanSetMediaBudget(size_t(768) << 20);
}

namespace
{
// Writes `count` 64 x 64 pictures and a resource file "many.xml" naming them all.
void WriteManyPictures(int count)
{
    std::string xml = u8"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<资源>\n";
    for (int i = 0; i < count; ++i)
    {
        const std::string file = "p" + std::to_string(i) + ".bmp";
        WriteBmp(file.c_str(), 64, 64, [i](int, int) { return uint32_t(i) * 0x010101u; });
        xml += u8"<材质资源 Name=\"图" + std::to_string(i) + "\" Path=\"" + file + "\"/>\n";
    }
    WriteResourceFile("many.xml", xml + u8"</资源>");
}
} // namespace

// A player who asks to quit while pictures load is not kept waiting for the rest: the load
// stops before the next picture, and the frame loop then ends without another frame.
TEST_F(ResourceTest, AQuitRequestDuringALoadAbandonsItAndEndsTheLoop)
{
    WriteManyPictures(20);
    struct Case
    {
        const char* how;
        void (*ask)();
        size_t pictures; // decoded by the load
    };
    const Case cases[] = {
        {"nothing", [] {}, 20},
        {"Escape", [] { ZanHeadlessKey(DIK_ESCAPE, 1), ZanHeadlessKey(DIK_ESCAPE, 0); }, 0},
        {"a quit message", [] { PostQuitMessage(0); }, 0},
        // Last: the close button ends with the window destroyed.
        {"the close button", [] { ZanHeadlessClose(); }, 0},
    };
    for (const Case& c : cases)
    {
        resources->Clear();
        ASSERT_EQ(ZanMediaBytesInUse(), 0u);
        c.ask();
        EXPECT_EQ(resources->Load("many.xml"), c.pictures == 20) << c.how;
        EXPECT_EQ(ZanMediaBytesInUse(), c.pictures * 64 * 64 * 4) << c.how;
        if (c.pictures == 20)
            continue;
        int passes = 0;
        ZanHeadlessOnFrame(
            [](void* user)
            {
                if (++*static_cast<int*>(user) == 50)
                    PostQuitMessage(0);
            },
            &passes);
        EXPECT_TRUE(engine->SystemStart()) << c.how;
        ZanHeadlessOnFrame(nullptr, nullptr);
        EXPECT_EQ(passes, 0) << c.how;
    }
}

// Escape is the game's own key once a frame has read it: a load in a later frame goes on.
TEST_F(ResourceTest, AnEscapeAnEarlierFrameReadDoesNotInterruptALoad)
{
    WriteManyPictures(5);
    ZanHeadlessKey(DIK_ESCAPE, 1);
    ZanHeadlessKey(DIK_ESCAPE, 0);
    ZanHeadlessOnFrame([](void*) { PostQuitMessage(0); }, nullptr);
    EXPECT_TRUE(engine->SystemStart());
    ZanHeadlessOnFrame(nullptr, nullptr);
    EXPECT_TRUE(resources->Load("many.xml"));
    EXPECT_EQ(ZanMediaBytesInUse(), 5u * 64 * 64 * 4);
}
