// The Windows-facility stand-in: windows and messages, the virtual clock, text and paths,
// the single-copy guard, private-profile edge cases.
#include "Platform.h"
#include "TestSupport.h"
#include "ZanHeadless.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using zantest::ScopedWorkDir;

namespace
{
std::vector<UINT> g_seen;

LRESULT Recorder(HWND w, UINT m, WPARAM p, LPARAM l)
{
    g_seen.push_back(m);
    if (m == WM_DESTROY)
        PostQuitMessage(3);
    return DefWindowProcA(w, m, p, l);
}

HWND MakeWindow()
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = &Recorder;
    wc.lpszClassName = "platform-test";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "platform-test", "标题", WS_POPUP | WS_VISIBLE | WS_CAPTION, 10, 20,
                           306, 225, nullptr, nullptr, nullptr, nullptr);
}
} // namespace

TEST(Windows, CloseCommandDestroysTheWindowAndQuits)
{
    ZanHeadlessEnable();
    g_seen.clear();
    HWND w = MakeWindow();
    ASSERT_NE(w, nullptr);
    ZanHeadlessClose();
    MSG msg{};
    std::vector<UINT> dispatched;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        dispatched.push_back(msg.message);
        DispatchMessageA(&msg);
    }
    EXPECT_EQ(dispatched, (std::vector<UINT>{WM_SYSCOMMAND, WM_QUIT}));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_EQ(g_seen, (std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}));
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(DestroyWindow(w)); // a stale handle is refused, not reused
    EXPECT_EQ(DefWindowProcA(w, WM_CLOSE, 0, 0), 0);
}

// A filtered look finds its message past others and takes only that one; 0, 0 takes any.
TEST(Windows, FilteredPeekFindsAMessagePastOthersAndLeavesTheRest)
{
    ZanHeadlessEnable();
    HWND w = MakeWindow();
    ASSERT_NE(w, nullptr);
    PostMessageA(w, WM_PAINT, 0, 0);
    PostMessageA(w, WM_KEYDOWN, VK_ESCAPE, 0);
    PostQuitMessage(5);
    struct Case
    {
        UINT first, last, remove;
        BOOL found;
        UINT message;
    };
    const Case cases[] = {
        {WM_QUIT, WM_QUIT, PM_NOREMOVE, TRUE, WM_QUIT},
        {WM_SYSCOMMAND, WM_SYSCOMMAND, PM_NOREMOVE, FALSE, 0},
        {WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE, TRUE, WM_KEYDOWN},
        {WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE, FALSE, 0}, // taken by the row before
        {0, 0, PM_REMOVE, TRUE, WM_PAINT},
        {0, 0, PM_REMOVE, TRUE, WM_QUIT},
        {0, 0, PM_REMOVE, FALSE, 0},
    };
    for (const Case& c : cases)
    {
        MSG msg{};
        EXPECT_EQ(PeekMessageA(&msg, nullptr, c.first, c.last, c.remove), c.found) << c.first;
        EXPECT_EQ(c.found ? msg.message : 0u, c.message) << c.first;
    }
    DestroyWindow(w);
}

// GetAsyncKeyState: down now, and pressed since the last look for that key; reading it leaves
// the keyboard device's own taps alone.
TEST(Windows, AsyncKeyStateTellsDownAndPressedSinceTheLastLook)
{
    ZanHeadlessEnable();
    const struct
    {
        int down;    // -1: no change
        short state; // what GetAsyncKeyState(VK_ESCAPE) says next
    } steps[] = {
        {-1, 0},             // never pressed
        {1, short(0x8001)},  // pressed and held
        {-1, short(0x8000)}, // still held, the press already told
        {0, 0},              // released
    };
    for (const auto& s : steps)
    {
        if (s.down >= 0)
            ZanHeadlessKey(DIK_ESCAPE, s.down);
        EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE), s.state);
    }
    ZanHeadlessKey(DIK_ESCAPE, 1);
    ZanHeadlessKey(DIK_ESCAPE, 0);
    EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE), 1); // tapped between two looks
    EXPECT_EQ(GetAsyncKeyState(VK_RETURN), 0);
    EXPECT_EQ(GetAsyncKeyState(0), 0);
}

TEST(Windows, ClassesMustBeRegisteredOnceAndExistForWindows)
{
    ZanHeadlessEnable();
    WNDCLASSA wc{};
    wc.lpfnWndProc = &Recorder;
    wc.lpszClassName = "twice";
    EXPECT_NE(RegisterClassA(&wc), 0u);
    EXPECT_EQ(RegisterClassA(&wc), 0u);
    EXPECT_EQ(CreateWindowExA(0, "unknown", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    EXPECT_TRUE(UnregisterClassA("twice", nullptr));
    EXPECT_FALSE(UnregisterClassA("twice", nullptr));
}

TEST(Windows, FramedWindowClientAreaAndCursorMapping)
{
    ZanHeadlessEnable();
    HWND w = MakeWindow();
    ZanWindow* zw = ZanWindowFromHandle(w);
    ASSERT_NE(zw, nullptr);
    EXPECT_EQ(zw->clientW, 300);
    EXPECT_EQ(zw->clientH, 200);
    ZanHeadlessMouseMove(30, 40);
    POINT p{};
    GetCursorPos(&p);
    EXPECT_EQ(p.x, 10 + 3 + 30);
    EXPECT_EQ(p.y, 20 + 3 + 19 + 40);
    ScreenToClient(w, &p);
    EXPECT_EQ(p.x, 30);
    EXPECT_EQ(p.y, 40);
}

TEST(Clock, VirtualTimeMovesOnlyWhenAdvanced)
{
    ZanHeadlessEnable();
    const DWORD t0 = GetTickCount();
    LARGE_INTEGER f{}, c0{}, c1{};
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c0);
    EXPECT_EQ(GetTickCount(), t0);
    Sleep(250);
    ZanHeadlessAdvance(750);
    QueryPerformanceCounter(&c1);
    EXPECT_EQ(GetTickCount() - t0, 1000u);
    EXPECT_EQ(timeGetTime(), GetTickCount());
    EXPECT_EQ(c1.QuadPart - c0.QuadPart, f.QuadPart);
}

TEST(Text, GbkAndUtf8RoundTripAndPathsUseSlashes)
{
    const std::string gbk = "运行日志.htm";
    EXPECT_EQ(ZanGbkToUtf8(gbk), u8"运行日志.htm");
    EXPECT_EQ(ZanUtf8ToGbk(ZanGbkToUtf8(gbk)), gbk);
    // 0x5C is a trail byte of some GBK characters ("\x95\x5C"): only real separators turn.
    EXPECT_EQ(ZanNativePath("a\\\x95\x5C\\b.cfg"), "a/" + ZanGbkToUtf8("\x95\x5C") + "/b.cfg");
    EXPECT_EQ(ZanGbkToUtf32("A中"), std::u32string(U"A中"));
    // Bytes that are not GBK are replaced, never dropped silently or overrun.
    EXPECT_EQ(ZanGbkToUtf8("x\xFFy"), "x?y");
    EXPECT_EQ(ZanGbkToUtf8(std::string("\x81", 1)), "?");
}

TEST(Text, FilesWithChineseNamesAreUtf8OnDisk)
{
    ScopedWorkDir dir;
    FILE* f = ZanFileOpen("数据.txt", "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_TRUE(zantest::FileExists(u8"数据.txt"));
    char cwd[256];
    const DWORD n = GetCurrentDirectoryA(sizeof cwd, cwd);
    EXPECT_EQ(std::string(cwd, n), ZanUtf8ToGbk(dir.Path()));
    EXPECT_EQ(GetCurrentDirectoryA(2, cwd), n + 1); // too small: the size needed
}

TEST(Profile, KeysAndSectionsCanBeRemovedAndRewritten)
{
    ScopedWorkDir dir;
    const char* path = "p.ini";
    WritePrivateProfileStringA("a", "x", "1", path);
    WritePrivateProfileStringA("a", "y", "2", path);
    WritePrivateProfileStringA("b", "z", "3", path);
    WritePrivateProfileStringA("A", "X", nullptr, path); // remove a key, any case
    EXPECT_EQ(zantest::ReadFile("p.ini"), "[a]\r\ny=2\r\n[b]\r\nz=3\r\n");
    WritePrivateProfileStringA("a", nullptr, nullptr, path); // remove a section
    EXPECT_EQ(zantest::ReadFile("p.ini"), "[b]\r\nz=3\r\n");
    char buf[8];
    EXPECT_EQ(GetPrivateProfileStringA("b", "z", "d", buf, sizeof buf, path), 1u);
    EXPECT_EQ(GetPrivateProfileStringA("b", "q", "default!", buf, 4, path), 3u);
    EXPECT_STREQ(buf, "def");
    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", "no/such/dir/p.ini"));
}

TEST(Profile, ValuesWithBlanksCommentsAndMissingBrackets)
{
    ScopedWorkDir dir;
    zantest::WriteFile("q.ini", "k=outside\n[ s ]\n\tk\t=\t v w \t\r\n[broken\nk=9\n");
    char buf[32];
    GetPrivateProfileStringA("s", "k", "", buf, sizeof buf, "q.ini");
    EXPECT_STREQ(buf, "v w");
    // A line that is not a section header does not start a section.
    EXPECT_EQ(GetPrivateProfileIntA("s", "k", 5, "q.ini"), 0u);
}

// A settings file far beyond any real one (sparse, so cheap) reads as absent and is never
// replaced by a write.
TEST(Profile, AHugeFileReadsAsAbsentAndIsLeftAlone)
{
    ScopedWorkDir dir;
    zantest::WriteFile("h.ini", "[s]\nk=7\n");
    ASSERT_EQ(truncate("h.ini", off_t(2) << 30), 0);
    char buf[8];
    EXPECT_EQ(GetPrivateProfileIntA("s", "k", 3, "h.ini"), 3u);
    EXPECT_EQ(GetPrivateProfileStringA("s", "k", "d", buf, sizeof buf, "h.ini"), 1u);
    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", "h.ini"));
    EXPECT_EQ(std::filesystem::file_size("h.ini"), std::uintmax_t(2) << 30);
    char head[8] = {};
    std::ifstream("h.ini", std::ios::binary).read(head, sizeof head);
    EXPECT_EQ(std::string(head, sizeof head), "[s]\nk=7\n");
}

namespace
{
// Another running copy: a child process that takes the guard and keeps it until killed.
struct OtherCopy
{
    pid_t pid = -1;
    bool holds = false;

    explicit OtherCopy(const char* name)
    {
        int ready[2];
        if (pipe(ready) != 0)
            return;
        pid = fork();
        if (pid == 0)
        {
            const char ok = ZanAcquireInstanceGuard(name) ? 'y' : 'n';
            (void)!write(ready[1], &ok, 1);
            pause();
            _exit(0);
        }
        char ok = 0;
        holds = read(ready[0], &ok, 1) == 1 && ok == 'y';
        close(ready[0]);
        close(ready[1]);
    }
    ~OtherCopy() { Stop(); }
    void Stop()
    {
        if (pid > 0)
        {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        pid = -1;
    }
};

bool Contains(const std::string& folder, const std::string& name)
{
    std::error_code ec;
    return std::filesystem::exists(folder + "/" + name, ec);
}
} // namespace

TEST(InstanceGuard, RefusesASecondHolderButNotAfterACrash)
{
    ScopedWorkDir dir;
    setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
    OtherCopy other("GuardTest");
    EXPECT_TRUE(other.holds);
    EXPECT_FALSE(ZanAcquireInstanceGuard("GuardTest"));
    other.Stop(); // killed outright
    EXPECT_TRUE(ZanAcquireInstanceGuard("GuardTest"));
}

// A runtime folder that is missing, a link, or writable by others is not used; the guard then
// lives in a private folder of the player's cache and still refuses a second copy.
TEST(InstanceGuard, FallsBackToThePlayersCacheWhenTheRuntimeFolderIsUnfit)
{
    ScopedWorkDir dir;
    namespace fs = std::filesystem;
    const std::string home = dir.Path() + "/home", shared = dir.Path() + "/shared",
                      link = dir.Path() + "/link";
    fs::create_directories(home);
    fs::create_directories(shared);
    fs::permissions(shared, fs::perms::all);
    fs::create_directory_symlink(home, link);
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CACHE_HOME");
    int n = 0;
    for (const std::string& runtime : {dir.Path() + "/missing", shared, link})
    {
        SCOPED_TRACE(runtime);
        const std::string name = "CacheGuard" + std::to_string(n++);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        OtherCopy other(name.c_str());
        EXPECT_TRUE(other.holds);
        EXPECT_FALSE(ZanAcquireInstanceGuard(name.c_str()));
        EXPECT_FALSE(Contains(runtime, name + ".lock"));
        EXPECT_TRUE(Contains(home + "/.cache/" + name, name + ".lock"));
        EXPECT_EQ(fs::status(home + "/.cache/" + name).permissions(), fs::perms::owner_all);
    }
}

// With neither a runtime folder nor a home, a private folder in /tmp holds the guard. One that
// someone else made there first is never used, so they cannot stop the game from starting.
TEST(InstanceGuard, UsesAPrivateFolderInTmpAndIgnoresOneMadeByAnotherUser)
{
    namespace fs = std::filesystem;
    unsetenv("XDG_RUNTIME_DIR");
    unsetenv("XDG_CACHE_HOME");
    unsetenv("HOME");
    const std::string name = "TmpGuard" + std::to_string(getpid());
    const std::string folder = "/tmp/" + name + "-" + std::to_string(geteuid());
    {
        OtherCopy other(name.c_str());
        EXPECT_TRUE(other.holds);
        EXPECT_FALSE(ZanAcquireInstanceGuard(name.c_str()));
        EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder + "/" + name + ".lock")));
    }
    fs::remove_all(folder);
    if (geteuid() != 0)
        GTEST_SKIP() << "making another user's folder needs root";
    // Another user made a folder under our name, open to all, and holds a lock inside.
    const std::string hostile = "Hostile" + std::to_string(getpid());
    const std::string theirs = "/tmp/" + hostile + "-0";
    fs::create_directory(theirs);
    ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
    fs::permissions(theirs, fs::perms::all);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t them = fork();
    if (them == 0)
    {
        int fd = -1;
        if (setgid(65534) == 0 && setuid(65534) == 0)
            fd = open((theirs + "/" + hostile + ".lock").c_str(), O_RDWR | O_CREAT, 0666);
        const char ok = fd >= 0 && flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
        (void)!write(ready[1], &ok, 1);
        pause();
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    EXPECT_EQ(ok, 'y');
    EXPECT_TRUE(ZanAcquireInstanceGuard(hostile.c_str()));
    kill(them, SIGKILL);
    waitpid(them, nullptr, 0);
    fs::remove_all(theirs);
}
