// Data files that are FIFOs, devices, directories or far too large read as missing: nothing
// blocks, nothing is read without end, and nothing of them is replaced by a write.
#include "Platform.h"
#include "TestSupport.h"
#include "ZanEngine.h"

#include <climits>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using zantest::ScopedWorkDir;

namespace
{
// A hang would otherwise only end at the test runner's timeout; the alarm ends it at once.
struct HangGuard
{
    HangGuard() { alarm(20); }
    ~HangGuard() { alarm(0); }
};

mode_t KindOf(const char* path)
{
    struct stat st
    {
    };
    return lstat(path, &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}
} // namespace

TEST(NonRegularFiles, FifoDeviceLinkAndDirectoryReadAsMissingAndAreNotReplaced)
{
    ScopedWorkDir dir;
    HangGuard guard;
    ASSERT_EQ(mkfifo("Autoexec.cfg", 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", "zero.cfg"), 0);
    ASSERT_EQ(mkdir("dir.cfg", 0700), 0);
    for (const char* name : {"Autoexec.cfg", "zero.cfg", "dir.cfg"})
    {
        for (const char* mode : {"rb", "wb", "ab", "r+b"})
            EXPECT_EQ(ZanFileOpen(name, mode), nullptr) << name << " " << mode;
        CZanIni ini(name);
        EXPECT_EQ(ini.GetInt("全局", "窗口宽度", 800), 800) << name;
        EXPECT_STREQ(ini.GetString("全局", "标题", "默认"), "默认") << name;
        ini.SetInt("全局", "窗口宽度", 640);
    }
    EXPECT_EQ(KindOf("Autoexec.cfg"), S_IFIFO);
    EXPECT_EQ(KindOf("zero.cfg"), S_IFLNK);
    EXPECT_EQ(KindOf("dir.cfg"), S_IFDIR);
    std::string out = "stale";
    EXPECT_FALSE(ZanFileReadAll("zero.cfg", 1 << 20, out));
    EXPECT_TRUE(out.empty());
}

TEST(NonRegularFiles, OversizedConfigurationReadsAsMissingAndIsKept)
{
    ScopedWorkDir dir;
    const std::string big = "[全局]\r\n窗口宽度=1024\r\n" + std::string(2 << 20, ';');
    zantest::WriteFile("big.cfg", big);
    CZanIni ini("big.cfg");
    EXPECT_EQ(ini.GetInt("全局", "窗口宽度", 800), 800);
    ini.SetInt("全局", "窗口宽度", 640);
    EXPECT_EQ(zantest::ReadFile("big.cfg"), big);
    // A regular file within the cap still reads, to the byte.
    std::string out;
    EXPECT_TRUE(ZanFileReadAll("big.cfg", big.size(), out));
    EXPECT_EQ(out, big);
    EXPECT_FALSE(ZanFileReadAll("big.cfg", big.size() - 1, out));
}

// The graphics and input objects read "Autoexec.cfg" while the engine library loads, before
// main: a fresh copy of this program started beside a FIFO of that name must get to main.
TEST(NonRegularFiles, ProgramStartsBesideAFifoNamedAutoexec)
{
    ScopedWorkDir dir;
    ASSERT_EQ(mkfifo("Autoexec.cfg", 0600), 0);
    char self[PATH_MAX] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    const pid_t child = fork();
    if (child == 0)
    {
        execl(self, self, "--gtest_list_tests", "--gtest_filter=-*", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    pid_t done = 0;
    for (int i = 0; i < 200 && done == 0; ++i)
    {
        done = waitpid(child, &status, WNOHANG);
        if (done == 0)
            usleep(50 * 1000);
    }
    if (done == 0)
    {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        FAIL() << "the program hung reading the FIFO";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
