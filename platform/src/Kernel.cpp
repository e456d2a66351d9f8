// Kernel services: local time, system facts, working directory, atomics and locks. Values come
// from the real system.
#include "Platform.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/utsname.h>
#include <unistd.h>

void GetLocalTime(SYSTEMTIME* out)
{
    if (!out)
        return;
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm t{};
    localtime_r(&ts.tv_sec, &t);
    out->wYear = WORD(t.tm_year + 1900);
    out->wMonth = WORD(t.tm_mon + 1);
    out->wDayOfWeek = WORD(t.tm_wday);
    out->wDay = WORD(t.tm_mday);
    out->wHour = WORD(t.tm_hour);
    out->wMinute = WORD(t.tm_min);
    out->wSecond = WORD(t.tm_sec);
    out->wMilliseconds = WORD(ts.tv_nsec / 1000000);
}

// The kernel release ("6.1.0-18-amd64") gives major, minor and build.
BOOL GetVersionExA(OSVERSIONINFOA* info)
{
    if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA))
        return FALSE;
    utsname u{};
    if (uname(&u) != 0)
        return FALSE;
    unsigned major = 0, minor = 0, build = 0;
    std::sscanf(u.release, "%u.%u.%u", &major, &minor, &build);
    info->dwMajorVersion = major;
    info->dwMinorVersion = minor;
    info->dwBuildNumber = build;
    info->dwPlatformId = 2;
    std::snprintf(info->szCSDVersion, sizeof info->szCSDVersion, "%s", u.sysname);
    return TRUE;
}

void GlobalMemoryStatus(MEMORYSTATUS* status)
{
    if (!status)
        return;
    std::memset(status, 0, sizeof *status);
    status->dwLength = sizeof *status;
    FILE* f = std::fopen("/proc/meminfo", "r");
    if (!f)
        return;
    char line[256];
    unsigned long long kb = 0;
    while (std::fgets(line, sizeof line, f))
    {
        if (std::sscanf(line, "MemTotal: %llu kB", &kb) == 1)
            status->dwTotalPhys = SIZE_T(kb) * 1024u;
        else if (std::sscanf(line, "MemAvailable: %llu kB", &kb) == 1)
            status->dwAvailPhys = SIZE_T(kb) * 1024u;
    }
    std::fclose(f);
    if (status->dwTotalPhys)
        status->dwMemoryLoad = DWORD(100 - (status->dwAvailPhys * 100 + status->dwTotalPhys / 2) /
                                               status->dwTotalPhys);
}

// Configuration paths are GBK and at most MAX_PATH bytes. A working directory that cannot be
// written so (a name outside GBK, or too long) is reported as ".", which still names it for
// every relative open; a '?'-mangled or cut path would name no directory at all.
DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer)
{
    std::string path = ".";
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd))
    {
        const std::string gbk = ZanUtf8ToGbk(cwd);
        if (gbk.size() < MAX_PATH && ZanGbkToUtf8(gbk) == cwd)
            path = gbk;
    }
    if (!buffer || path.size() + 1 > size)
        return DWORD(path.size() + 1);
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return DWORD(path.size());
}

LONG InterlockedIncrement(volatile LONG* value)
{
    return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST);
}

LONG InterlockedDecrement(volatile LONG* value)
{
    return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST);
}

void InitializeCriticalSection(CRITICAL_SECTION* section)
{
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&section->mutex, &attr);
    pthread_mutexattr_destroy(&attr);
}

void EnterCriticalSection(CRITICAL_SECTION* section)
{
    pthread_mutex_lock(&section->mutex);
}

void LeaveCriticalSection(CRITICAL_SECTION* section)
{
    pthread_mutex_unlock(&section->mutex);
}

void DeleteCriticalSection(CRITICAL_SECTION* section)
{
    pthread_mutex_destroy(&section->mutex);
}
