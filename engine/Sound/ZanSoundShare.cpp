// Whole-file sounds decoded once per file: every sound object made from the same file plays
// the one buffer, which goes when the last of them does.
#include "Sound/SoundShared.h"

#include "Resource/ZanBudget.h"

#include <map>
#include <string>
#include <sys/stat.h>

namespace
{
struct SShared
{
    std::string key;
    ALenum format;
    size_t bytes;
    int users;
};
std::map<ALuint, SShared> s_byBuffer;
std::map<std::string, ALuint> s_byFile;

// The file as it is now: a file replaced or changed since is decoded afresh.
std::string FileKey(const char* path)
{
    struct stat st;
    const std::string native = ZanNativePath(path);
    if (!path || stat(native.c_str(), &st) != 0)
        return std::string();
    return native + '\n' + std::to_string(st.st_size) + '\n' + std::to_string(st.st_mtim.tv_sec) +
           '.' + std::to_string(st.st_mtim.tv_nsec);
}
} // namespace

ALuint ZanSoundShareFind(const char* path, ALenum& format)
{
    const auto found = s_byFile.find(FileKey(path));
    if (found == s_byFile.end())
        return 0;
    SShared& shared = s_byBuffer[found->second];
    ++shared.users;
    format = shared.format;
    return found->second;
}

void ZanSoundShareAdd(const char* path, ALuint buffer, ALenum format, size_t bytes)
{
    const std::string key = FileKey(path);
    s_byBuffer[buffer] = SShared{key, format, bytes, 1};
    if (!key.empty())
        s_byFile[key] = buffer;
}

void ZanSoundShareRelease(ALuint buffer)
{
    const auto found = s_byBuffer.find(buffer);
    if (found == s_byBuffer.end())
    {
        alDeleteBuffers(1, &buffer);
        return;
    }
    if (--found->second.users > 0)
        return;
    const auto file = s_byFile.find(found->second.key);
    if (file != s_byFile.end() && file->second == buffer)
        s_byFile.erase(file);
    ZanBudgetGive(found->second.bytes);
    s_byBuffer.erase(found);
    alDeleteBuffers(1, &buffer);
}
