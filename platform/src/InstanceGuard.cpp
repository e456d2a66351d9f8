// The single-running-copy guard: an advisory lock on a file in a folder that only the player
// can write to. The kernel drops the lock when the process ends, however it ends, so a stale
// guard never refuses a new start; and since no other user can create or replace anything in
// that folder, no one else can hold the lock to keep the player's game from starting.
#include "Platform.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
// A descriptor of `path` when it is a real directory (a link is never followed) that belongs
// to us and that no one else may write to; -1 otherwise.
int OpenPrivateDir(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st
    {
    };
    if (fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid() ||
        (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    {
        close(fd);
        return -1;
    }
    return fd;
}

int MakePrivateDir(const std::string& path)
{
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return -1;
    return OpenPrivateDir(path);
}

bool IsAbsolute(const char* path)
{
    return path && path[0] == '/';
}

std::string FileName(const char* name)
{
    std::string file;
    for (const char* p = name; p && *p; ++p)
        file += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return file.empty() ? "zan" : file;
}

struct Folder
{
    std::string path;
    bool make; // ours to create when missing
};

// Folders for the lock, best first: the session's runtime folder, a folder of our own in the
// player's cache, a folder of our own in /tmp.
std::vector<Folder> LockFolders(const std::string& name)
{
    std::vector<Folder> folders;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (IsAbsolute(runtime))
        folders.push_back({runtime, false});
    const char* xdgCache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    if (IsAbsolute(xdgCache))
        folders.push_back({std::string(xdgCache) + "/" + name, true});
    else if (IsAbsolute(home))
        folders.push_back({std::string(home) + "/.cache/" + name, true});
    folders.push_back({"/tmp/" + name + "-" + std::to_string(geteuid()), true});
    return folders;
}

enum class Lock
{
    Held,
    Taken,
    Unusable
};

Lock LockIn(int folder, const std::string& file)
{
    const int fd = openat(folder, file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return Lock::Unusable;
    struct stat st
    {
    };
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    {
        close(fd);
        return Lock::Unusable;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) == 0)
        return Lock::Held; // the descriptor stays open for the life of the process
    const bool taken = errno == EWOULDBLOCK;
    close(fd);
    return taken ? Lock::Taken : Lock::Unusable;
}
} // namespace

bool ZanAcquireInstanceGuard(const char* name)
{
    const std::string base = FileName(name);
    for (const Folder& folder : LockFolders(base))
    {
        if (folder.make)
        {
            // The cache itself may not exist yet on a fresh account.
            const std::string parent = folder.path.substr(0, folder.path.rfind('/'));
            mkdir(parent.c_str(), 0700);
        }
        const int fd = folder.make ? MakePrivateDir(folder.path) : OpenPrivateDir(folder.path);
        if (fd < 0)
            continue;
        const Lock lock = LockIn(fd, base + ".lock");
        close(fd);
        if (lock != Lock::Unusable)
            return lock == Lock::Held;
    }
    // Refusing to run would let anyone who can make a folder in /tmp stop the game.
    std::fprintf(stderr,
                 "%s: no private folder for the single-copy lock; a second copy will not be "
                 "refused\n",
                 base.c_str());
    return true;
}
