#include "TestSupport.h"
#include "core/ZanLog.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using zantest::ReadFile;
using zantest::ScopedWorkDir;
using zantest::WriteFile;

namespace
{
std::string Today()
{
    SYSTEMTIME t{};
    GetLocalTime(&t);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d年%02d月%d日", t.wYear, t.wMonth, t.wDay);
    return buf;
}

const char* const kLogName = "运行日志.htm";
const std::string kNativeLogName = ZanNativePath(kLogName);
} // namespace

TEST(RunLog, FileIsByteExactFromHeadToFoot)
{
    ScopedWorkDir dir;
    CZanLog log;
    ASSERT_TRUE(log.Open(kLogName, "标题"));
    log.TableStart();
    EXPECT_TRUE(log.WritePlain("开始 100%"));
    EXPECT_TRUE(log.WriteError("坏了", "a\\b\\c.cpp", 7));
    EXPECT_TRUE(log.WriteInfo("好", "main.cpp", 123456));
    EXPECT_TRUE(log.WriteWarn("%s%d", "Graphics\\ZanGraphics", 42));
    ASSERT_TRUE(log.Close());

    const std::string date = Today();
    const std::string expected =
        "<html> <head> <title> " + date + "日志记录</title> </header> \r\n" + "<body> \r\n" +
        "<h1 align = \"center\">标题日志记录(记录日 " + date + ")</h1> \r\n" + "<table> \r\n" +
        "<TABLE BORDER=1 WIDTH=1024><tr bgcolor=#808080><td>序号</td><td>类型</td>"
        "<td>信息描述</td><td>所在文件</td><td>所在行号</td></tr>"
        "<tr bgcolor=#800080><td>1</td><td>一般</td><td><b>开始 "
        "100%</b></td><td>-</td><td>-</td></tr>"
        "<tr "
        "bgcolor=#800000><td>2</td><td>错误</td><td><b>坏了</b></td><td>c.cpp</td><td>00007</td></"
        "tr>"
        "<tr "
        "bgcolor=#008000><td>3</td><td>信息</td><td><b>好</b></td><td>main.cpp</td><td>123456</"
        "td></tr>"
        "<tr "
        "bgcolor=#FFAA00><td>4</td><td>警告</td><td><b>%s%d</b></td><td>ZanGraphics</td><td>00042</"
        "td></tr>"
        "</table> \r\n</body> \r\n</html>";
    EXPECT_EQ(ReadFile(kNativeLogName), expected);
}

TEST(RunLog, RecordsWhileClosedAreDroppedAndDoNotCount)
{
    ScopedWorkDir dir;
    CZanLog log;
    EXPECT_FALSE(log.WritePlain("lost"));
    EXPECT_FALSE(log.WriteError("lost", "x", 1));
    EXPECT_FALSE(log.Close());
    EXPECT_EQ(log.RowCounter(), 1);
    ASSERT_TRUE(log.Open(kLogName, "t"));
    EXPECT_TRUE(log.WritePlain("first"));
    EXPECT_EQ(log.RowCounter(), 2);
}

TEST(RunLog, SecondRunReplacesTheFirstFile)
{
    ScopedWorkDir dir;
    {
        CZanLog log;
        log.Open(kLogName, "一");
        log.TableStart();
        log.WritePlain("old row");
        log.Close();
    }
    CZanLog log;
    log.Open(kLogName, "二");
    log.Close();
    const std::string text = ReadFile(kNativeLogName);
    EXPECT_EQ(text.find("old row"), std::string::npos);
    EXPECT_NE(text.find("二日志记录"), std::string::npos);
}

TEST(RunLog, UnwritableFileIsSilent)
{
    ScopedWorkDir dir;
    CZanLog log;
    EXPECT_FALSE(log.Open("no\\such\\dir\\运行日志.htm", "t"));
    EXPECT_FALSE(log.WritePlain("x"));
}

TEST(RunLog, LongMessagesAreWrittenWhole)
{
    ScopedWorkDir dir;
    CZanLog log;
    log.Open(kLogName, "t");
    const std::string longText(5000, 'x');
    log.WritePlain(longText);
    log.Close();
    EXPECT_NE(ReadFile(kNativeLogName).find("<b>" + longText + "</b>"), std::string::npos);
}

TEST(RunLog, EveryRecordIsInTheFileAtOnce)
{
    ScopedWorkDir dir;
    CZanLog log;
    ASSERT_TRUE(log.Open(kLogName, "t"));
    log.TableStart();
    log.WriteWarn("已写", "a.cpp", 1);
    const std::vector<zantest::LogRow> rows = zantest::ReadLogRows(kNativeLogName);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].message, "已写");
}

// A run that dies of a fatal signal ends its log with an error record naming the signal and
// the foot, and still dies of that signal.
TEST(RunLog, FatalSignalAppendsALastRecordAndClosesThePage)
{
    for (const int sig : {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL})
    {
        ScopedWorkDir dir;
        const pid_t child = fork();
        if (child == 0)
        {
            signal(sig, SIG_DFL); // whatever a sanitizer put there: the plain default action
            CZanLog log;
            log.Open(kLogName, "t");
            log.TableStart();
            log.WritePlain("之前");
            raise(sig);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig;
        const std::string text = ReadFile(kNativeLogName);
        const std::vector<zantest::LogRow> rows = zantest::ReadLogRows(kNativeLogName);
        ASSERT_EQ(rows.size(), 2u) << sig;
        EXPECT_EQ(rows[1].number, 2);
        EXPECT_EQ(rows[1].kind, "错误");
        EXPECT_NE(rows[1].message.find(sigabbrev_np(sig)), std::string::npos) << rows[1].message;
        EXPECT_EQ(rows[1].file, "ZanLog");
        EXPECT_EQ(rows[1].line.size(), 5u);
        const std::string foot = "</table> \r\n</body> \r\n</html>";
        ASSERT_GE(text.size(), foot.size());
        EXPECT_EQ(text.substr(text.size() - foot.size()), foot) << sig;
    }
}

TEST(RunLog, AClosedLogNoLongerCatchesSignals)
{
    ScopedWorkDir dir;
    const pid_t child = fork();
    if (child == 0)
    {
        signal(SIGSEGV, SIG_DFL);
        {
            CZanLog log;
            log.Open(kLogName, "t");
            log.Close();
        }
        raise(SIGSEGV);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV);
    const std::string text = ReadFile(kNativeLogName);
    EXPECT_EQ(text.find("SIGSEGV"), std::string::npos);
}

TEST(RunLog, MarkupInTheTitleAndRecordsShowsAsText)
{
    ScopedWorkDir dir;
    CZanLog log;
    ASSERT_TRUE(log.Open(kLogName, "<script>标题</script>"));
    log.TableStart();
    log.WriteWarn("标题=<script>alert(\"a\" & 'b')</script>", "<i>.cpp", 1);
    log.Close();
    const std::string text = ReadFile(kNativeLogName);
    EXPECT_EQ(text.find("<script>"), std::string::npos);
    EXPECT_EQ(text.find("<i>"), std::string::npos);
    EXPECT_NE(text.find("&lt;script&gt;alert(&quot;a&quot; &amp; &#39;b&#39;)&lt;/script&gt;"),
              std::string::npos);
    EXPECT_NE(text.find("&lt;script&gt;标题&lt;/script&gt;日志记录"), std::string::npos);
}

// A fault repeated without end stops at the size limit with a last row saying so; the page
// still gets its foot.
TEST(RunLog, RowsStopAtTheSizeLimitWithOneRowSayingSo)
{
    ScopedWorkDir dir;
    CZanLog log;
    log.SetSizeLimit(8192);
    ASSERT_TRUE(log.Open(kLogName, "t"));
    log.TableStart();
    int written = 0;
    for (int i = 0; i < 100000; ++i)
        written += log.WriteError("动画帧的范围超出纹理材质范围", "Graphics\\ZanAnim", 7) ? 1 : 0;
    log.Close();
    const std::vector<zantest::LogRow> rows = zantest::ReadLogRows(kNativeLogName);
    ASSERT_EQ(rows.size(), size_t(written) + 1);
    EXPECT_LT(written, 200);
    EXPECT_EQ(rows.back().kind, "警告");
    EXPECT_NE(rows.back().message.find("上限"), std::string::npos);
    const std::string text = ReadFile(kNativeLogName);
    EXPECT_LT(text.size(), 8192u + 1024u);
    EXPECT_EQ(text.substr(text.size() - 7), "</html>");
}

TEST(RunLog, ALinkInPlaceOfTheLogIsReplacedNotWrittenThrough)
{
    ScopedWorkDir dir;
    WriteFile("elsewhere.txt", "keep me");
    ASSERT_EQ(symlink("elsewhere.txt", kNativeLogName.c_str()), 0);
    CZanLog log;
    ASSERT_TRUE(log.Open(kLogName, "t"));
    log.WritePlain("row");
    log.Close();
    EXPECT_EQ(ReadFile("elsewhere.txt"), "keep me");
    struct stat st;
    ASSERT_EQ(lstat(kNativeLogName.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
}

namespace
{
volatile int g_deepest = 1 << 30; // never reached: the stack runs out first

int Deeper(int n)
{
    if (n >= g_deepest)
        return 0;
    volatile char frame[1024];
    frame[0] = char(n);
    return Deeper(n + 1) + frame[0];
}
} // namespace

// A stack overflow leaves no stack for a handler: the record is still written.
TEST(RunLog, StackOverflowStillLeavesItsRecord)
{
    ScopedWorkDir dir;
    const pid_t child = fork();
    if (child == 0)
    {
        signal(SIGSEGV, SIG_DFL);
        CZanLog log;
        log.Open(kLogName, "t");
        log.TableStart();
        log.WritePlain("之前");
        _exit(Deeper(0));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV);
    const std::vector<zantest::LogRow> rows = zantest::ReadLogRows(kNativeLogName);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_NE(rows[1].message.find("SIGSEGV"), std::string::npos);
}
