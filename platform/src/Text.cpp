// GBK <-> UTF-8 conversion and GBK paths on a UTF-8 file system.
#include "Platform.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
std::string Convert(const char* to, const char* from, const std::string& in, const std::string& bad)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return in;
    std::string out;
    out.reserve(in.size() * 2);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buf[1024];
    while (srcLeft > 0)
    {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, dst - buf);
        if (r == size_t(-1) && errno != E2BIG)
        {
            // An invalid or truncated sequence: replace one byte and go on.
            out += bad;
            ++src;
            --srcLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}
} // namespace

std::string ZanGbkToUtf8(const std::string& gbk)
{
    return Convert("UTF-8", "GBK", gbk, "?");
}

std::string ZanUtf8ToGbk(const std::string& utf8)
{
    return Convert("GBK", "UTF-8", utf8, "?");
}

std::u32string ZanGbkToUtf32(const std::string& gbk)
{
    const std::string bytes = Convert("UTF-32LE", "GBK", gbk, std::string("?\0\0\0", 4));
    std::u32string out(bytes.size() / 4, U'\0');
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = char32_t(uint8_t(bytes[4 * i])) | char32_t(uint8_t(bytes[4 * i + 1])) << 8 |
                 char32_t(uint8_t(bytes[4 * i + 2])) << 16 |
                 char32_t(uint8_t(bytes[4 * i + 3])) << 24;
    return out;
}

// Converted first, separators second: a GBK trail byte may be 0x5C, a UTF-8 one never is.
std::string ZanNativePath(const char* gbkPath)
{
    std::string path = ZanGbkToUtf8(gbkPath ? gbkPath : "");
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

// Only regular files open: a FIFO, device or directory given a data file's name would block
// the reader or feed it without end. The open itself never blocks, and the check is made on
// the opened descriptor, so the file cannot be swapped in between.
FILE* ZanFileOpen(const char* gbkPath, const char* mode)
{
    if (!gbkPath || !mode)
        return nullptr;
    int flags = 0;
    switch (mode[0])
    {
    case 'r':
        flags = O_RDONLY;
        break;
    case 'w':
        flags = O_WRONLY | O_CREAT | O_TRUNC;
        break;
    case 'a':
        flags = O_WRONLY | O_CREAT | O_APPEND;
        break;
    default:
        errno = EINVAL;
        return nullptr;
    }
    if (std::strchr(mode, '+'))
        flags = (flags & ~O_ACCMODE) | O_RDWR;
    // Data folders are the player's: a link planted there must not carry a write elsewhere.
    if ((flags & O_ACCMODE) != O_RDONLY)
        flags |= O_NOFOLLOW;
    const int fd = open(ZanNativePath(gbkPath).c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    {
        close(fd);
        errno = EINVAL;
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FILE* f = fdopen(fd, mode);
    if (!f)
        close(fd);
    return f;
}

bool ZanFileReadAll(const char* gbkPath, size_t maxBytes, std::string& out)
{
    out.clear();
    FILE* f = ZanFileOpen(gbkPath, "rb");
    if (!f)
        return false;
    char chunk[16384];
    size_t n;
    bool ok = true;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
    {
        if (n > maxBytes - out.size())
        {
            ok = false;
            break;
        }
        out.append(chunk, n);
    }
    ok = ok && !std::ferror(f);
    std::fclose(f);
    if (!ok)
        out.clear();
    return ok;
}
