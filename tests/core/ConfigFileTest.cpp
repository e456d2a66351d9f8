#include "TestSupport.h"

#include <filesystem>
#include <unistd.h>
#include <gtest/gtest.h>

using zantest::ReadFile;
using zantest::ScopedWorkDir;
using zantest::WriteFile;

namespace
{
// The engine's configuration files are GBK text.
void WriteGbk(const std::string& nativeName, const std::string& gbk)
{
    WriteFile(nativeName, gbk);
}
} // namespace

TEST(ConfigFile, ReadsSectionsAndKeysWithoutRegardToCase)
{
    ScopedWorkDir dir;
    WriteGbk("Autoexec.cfg",
             "[全局]\r\n窗口宽度 = 1024 \r\n标题=  我的 游戏  \r\n[Input]\r\nBuffer=1\r\n");
    CZanIni ini;
    EXPECT_EQ(ini.GetInt("全局", "窗口宽度", 800), 1024);
    EXPECT_STREQ(ini.GetString("全局", "标题", "x"), "我的 游戏");
    EXPECT_EQ(ini.GetInt("INPUT", "buffer", 0), 1);
    EXPECT_EQ(ini.GetInt("input", "BUFFER", 0), 1);
}

TEST(ConfigFile, MissingFileSectionOrKeyGivesTheDefault)
{
    ScopedWorkDir dir;
    CZanIni none("nothing.cfg");
    EXPECT_EQ(none.GetInt("a", "b", 7), 7);
    EXPECT_STREQ(none.GetString("a", "b", "默认"), "默认");
    EXPECT_FLOAT_EQ(none.GetFloat("a", "b", 2.5f), 2.5f);
    WriteGbk("Autoexec.cfg", "[a]\nb=1\n");
    CZanIni ini;
    EXPECT_EQ(ini.GetInt("a", "c", 9), 9);
    EXPECT_EQ(ini.GetInt("z", "b", 9), 9);
}

TEST(ConfigFile, ValuesFollowTheFirstEqualsSign)
{
    ScopedWorkDir dir;
    WriteGbk("x.cfg", "[s]\nk=a=b\nn=  42abc\nneg=-3\nword=abc\nempty=\n");
    CZanIni ini("x.cfg");
    EXPECT_STREQ(ini.GetString("s", "k", ""), "a=b");
    EXPECT_EQ(ini.GetInt("s", "n", 0), 42);
    EXPECT_EQ(ini.GetInt("s", "neg", 0), -3);
    EXPECT_EQ(ini.GetInt("s", "word", 5), 0);
    EXPECT_FLOAT_EQ(ini.GetFloat("s", "empty", 1.25f), 1.25f);
    EXPECT_FLOAT_EQ(ini.GetFloat("s", "word", 1.25f), 0.0f);
}

TEST(ConfigFile, GetStringResultIsOverwrittenByTheNextCall)
{
    ScopedWorkDir dir;
    WriteGbk("x.cfg", "[s]\na=first\nb=second\n");
    CZanIni ini("x.cfg");
    const char* first = ini.GetString("s", "a", "");
    ini.GetString("s", "b", "");
    EXPECT_STREQ(first, "second");
}

TEST(ConfigFile, LongValuesAreCutTo255Bytes)
{
    ScopedWorkDir dir;
    WriteGbk("x.cfg", "[s]\nt=" + std::string(400, 'q') + "\n");
    CZanIni ini("x.cfg");
    EXPECT_EQ(std::string(ini.GetString("s", "t", "")), std::string(255, 'q'));
}

// GBK trail bytes may look like ASCII letters; case folding must not touch them.
TEST(ConfigFile, DoubleByteNamesCompareExactly)
{
    ScopedWorkDir dir;
    // 0x81 0x41 and 0x81 0x61 are different GBK characters whose trail bytes are 'A' and 'a'.
    WriteGbk("x.cfg", "[s]\n\x81\x41=1\n");
    CZanIni ini("x.cfg");
    EXPECT_EQ(ini.GetInt("s", "\x81\x41", 0), 1);
    EXPECT_EQ(ini.GetInt("s", "\x81\x61", 0), 0);
}

// 閉 is 0xE9 0x5D in GBK: its trail byte is the closing bracket.
TEST(ConfigFile, SectionNamesWithABracketTrailByteAreFoundAndRewrittenInPlace)
{
    ScopedWorkDir dir;
    CZanIni ini("x.cfg");
    ini.SetInt("閉门", "次数", 1);
    ini.SetInt("閉门", "次数", 2);
    ini.SetInt("閉", "k", 3);
    EXPECT_EQ(ReadFile(ZanNativePath("x.cfg")), "[閉门]\r\n次数=2\r\n[閉]\r\nk=3\r\n");
    EXPECT_EQ(ini.GetInt("閉门", "次数", 0), 2);
    EXPECT_EQ(ini.GetInt("閉", "k", 0), 3);
}

TEST(ConfigFile, WritesCreateFileSectionAndKeyAndKeepTheRest)
{
    ScopedWorkDir dir;
    CZanIni ini("新.cfg");
    ini.SetInt("设置", "怪物数", 6);
    ini.SetFloat("设置", "速率", 1.5f);
    ini.SetString("其他", "名字", "小鸟");
    ini.SetInt("设置", "怪物数", 3);
    EXPECT_EQ(ReadFile(ZanNativePath("新.cfg")),
              "[设置]\r\n怪物数=3\r\n速率=1.500000\r\n[其他]\r\n名字=小鸟\r\n");
    EXPECT_EQ(ini.GetInt("设置", "怪物数", 0), 3);
    EXPECT_FLOAT_EQ(ini.GetFloat("设置", "速率", 0), 1.5f);
}

TEST(ConfigFile, PathsTooLongForTheBufferAreRefused)
{
    ScopedWorkDir dir;
    const std::string longName(300, 'n');
    CZanIni ini(longName.c_str());
    ini.SetInt("s", "k", 1); // must not write anywhere, nor overflow
    EXPECT_EQ(ini.GetInt("s", "k", 77), 77);
}

TEST(ConfigFile, DefaultFileLivesInTheWorkingDirectory)
{
    ScopedWorkDir dir;
    WriteGbk("Autoexec.cfg", "[全局]\n窗口模式=0\n");
    CZanIni ini;
    EXPECT_EQ(ini.GetInt("全局", "窗口模式", 1), 0);
}

// A working directory that has no GBK spelling ("ø") or does not fit a configuration path
// (over 255 bytes) must still be where settings are read from and written to.
TEST(ConfigFile, WorksFromAnyWorkingDirectory)
{
    ScopedWorkDir dir;
    const std::string deep =
        std::string(120, 'd') + "/" + std::string(120, 'e') + "/" + std::string(40, 'f');
    for (const std::string& sub : {std::string(u8"bjørn/游戏"), deep})
    {
        SCOPED_TRACE(sub);
        std::filesystem::create_directories(dir.Path() + "/" + sub);
        std::filesystem::current_path(dir.Path() + "/" + sub);
        WriteGbk("Autoexec.cfg", "[全局]\r\n窗口宽度=1024\r\n");
        CZanIni ini;
        EXPECT_EQ(ini.GetInt("全局", "窗口宽度", 800), 1024);
        ini.SetInt("全局", "窗口高度", 768);
        EXPECT_EQ(ReadFile("Autoexec.cfg"), "[全局]\r\n窗口宽度=1024\r\n窗口高度=768\r\n");
        std::filesystem::current_path(dir.Path());
    }
}

// A file that is there but gives nothing leaves every setting at its default: that is said
// once per file, while an absent file (defaults meant) and a good one pass in silence.
TEST(ConfigFile, AFileThatGivesNothingIsReportedOnce)
{
    ScopedWorkDir dir;
    WriteGbk("good.cfg", "  [s]\nk=1\n");
    // A picture that happens to hold a section line is still no text.
    WriteGbk("garbage.cfg", std::string("\x89PNG\r\n\x1a\n\0\0\n[s]\nk=1\n", 19));
    WriteGbk("huge.cfg", "[s]\n" + std::string(2u << 20, 'x'));
    std::filesystem::create_directory("folder.cfg");
    auto said = [](const char* name)
    {
        testing::internal::CaptureStderr();
        CZanIni first(name), again(name);
        return testing::internal::GetCapturedStderr();
    };
    EXPECT_EQ(said("good.cfg"), "");
    EXPECT_EQ(said("absent.cfg"), "");
    for (const char* name : {"garbage.cfg", "huge.cfg", "folder.cfg"})
        EXPECT_EQ(said(name), ZanGbkToUtf8("配置文件无法使用，全部按默认设置: ") + name + "\n")
            << name;
}

// A link planted beside a settings file never carries a write elsewhere.
TEST(ConfigFile, WritesNeverFollowALinkBesideTheFile)
{
    ScopedWorkDir dir;
    WriteFile("elsewhere.cfg", "keep me");
    ASSERT_EQ(symlink("elsewhere.cfg", "Autoexec.cfg.tmp"), 0);
    CZanIni ini;
    ini.SetInt("全局", "窗口宽度", 640);
    EXPECT_EQ(ReadFile("elsewhere.cfg"), "keep me");
    EXPECT_EQ(ini.GetInt("全局", "窗口宽度", 800), 640);
}
