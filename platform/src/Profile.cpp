// The private-profile functions over classic sectioned configuration files.
//
// Sections and keys match without regard to ASCII letter case (GBK double-byte characters
// compare exactly, since their trail bytes may fall in the ASCII letter range); the value is
// what follows the first '=' with surrounding blanks removed.
#include "Platform.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string Trim(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

bool SameName(const std::string& a, const char* b)
{
    const size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i)
    {
        const unsigned char x = a[i], y = b[i];
        if (x >= 0x81 && x <= 0xFE && i + 1 < n)
        {
            if (x != y || a[i + 1] != b[i + 1])
                return false;
            ++i;
            continue;
        }
        const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
        if (lower(x) != lower(y))
            return false;
    }
    return true;
}

// Configuration files are a few hundred bytes; anything near this is not one.
constexpr size_t kMaxProfileBytes = 1u << 20;

// False when the file is missing, not a regular file or too large: its settings are then
// the defaults.
bool ReadLines(const char* path, std::vector<std::string>& lines)
{
    std::string text;
    if (!ZanFileReadAll(path, kMaxProfileBytes, text))
        return false;
    size_t start = 0;
    while (start < text.size())
    {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return true;
}

// "[name]" gives name; anything else gives false.
bool SectionName(const std::string& line, std::string& name)
{
    const std::string t = Trim(line);
    if (t.size() < 2 || t[0] != '[')
        return false;
    // The trail byte of a GBK character may be ']' (0x5D), as in 閉: step over whole characters.
    for (size_t i = 1; i < t.size(); ++i)
    {
        const unsigned char c = t[i];
        if (c == ']')
        {
            name = Trim(t.substr(1, i - 1));
            return true;
        }
        if (c >= 0x81 && c <= 0xFE && i + 1 < t.size())
            ++i;
    }
    return false;
}

bool KeyValue(const std::string& line, std::string& key, std::string& value)
{
    const size_t eq = line.find('=');
    if (eq == std::string::npos)
        return false;
    key = Trim(line.substr(0, eq));
    value = Trim(line.substr(eq + 1));
    return true;
}

bool Lookup(LPCSTR section, LPCSTR key, LPCSTR path, std::string& value)
{
    std::vector<std::string> lines;
    if (!section || !key || !path || !ReadLines(path, lines))
        return false;
    bool inSection = false;
    for (const std::string& line : lines)
    {
        std::string name, k, v;
        if (SectionName(line, name))
            inSection = SameName(name, section);
        else if (inSection && KeyValue(line, k, v) && SameName(k, key))
        {
            value = v;
            return true;
        }
    }
    return false;
}
} // namespace

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR path)
{
    std::string value;
    if (!Lookup(section, key, path, value))
        return UINT(defaultValue);
    // A leading decimal number; no digits gives 0.
    const char* p = value.c_str();
    bool negative = false;
    if (*p == '-' || *p == '+')
        negative = *p++ == '-';
    uint32_t n = 0;
    while (*p >= '0' && *p <= '9')
        n = n * 10u + uint32_t(*p++ - '0');
    return negative ? UINT(0u - n) : UINT(n);
}

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer,
                               DWORD size, LPCSTR path)
{
    if (!buffer || size == 0)
        return 0;
    std::string value;
    if (!Lookup(section, key, path, value))
        value = Trim(defaultValue ? defaultValue : "");
    const size_t n = std::min<size_t>(value.size(), size - 1);
    std::memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
    return DWORD(n);
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path)
{
    if (!section || !path)
        return FALSE;
    std::vector<std::string> lines;
    // A missing file is created; one that exists but cannot be read (a special file, or one
    // too large) is left alone rather than replaced by the single key.
    struct stat st;
    if (!ReadLines(path, lines) && lstat(ZanNativePath(path).c_str(), &st) == 0)
        return FALSE;
    size_t sectionLine = lines.size(), sectionEnd = lines.size(), insertAt = lines.size();
    size_t keyLine = lines.size();
    bool found = false;
    for (size_t i = 0; i < lines.size(); ++i)
    {
        std::string name, k, v;
        if (SectionName(lines[i], name))
        {
            if (found)
            {
                sectionEnd = i;
                break;
            }
            if (SameName(name, section))
            {
                found = true;
                sectionLine = i;
                insertAt = i + 1;
            }
        }
        else if (found)
        {
            if (!Trim(lines[i]).empty())
                insertAt = i + 1;
            if (key && keyLine == lines.size() && KeyValue(lines[i], k, v) && SameName(k, key))
                keyLine = i;
        }
    }
    if (!key)
    {
        // A null key removes the whole section.
        if (!found)
            return TRUE;
        lines.erase(lines.begin() + long(sectionLine), lines.begin() + long(sectionEnd));
    }
    else if (keyLine < lines.size())
    {
        if (value)
            lines[keyLine] = std::string(key) + "=" + value;
        else
            lines.erase(lines.begin() + long(keyLine));
    }
    else if (value)
    {
        if (!found)
        {
            lines.push_back(std::string("[") + section + "]");
            insertAt = lines.size();
        }
        lines.insert(lines.begin() + long(insertAt), std::string(key) + "=" + value);
    }
    else
        return TRUE; // removing a key that is not there
    // Write beside the file and rename over it, so a failed write never loses the old one. The
    // temporary name is fresh each time and made without following links.
    const std::string native = ZanNativePath(path);
    std::string temp = native + ".XXXXXX";
    const int fd = mkostemp(&temp[0], O_CLOEXEC);
    if (fd < 0)
        return FALSE;
    struct stat old;
    fchmod(fd, stat(native.c_str(), &old) == 0 ? (old.st_mode & 0777) : 0644);
    FILE* f = fdopen(fd, "wb");
    if (!f)
    {
        close(fd);
        std::remove(temp.c_str());
        return FALSE;
    }
    bool ok = true;
    for (const std::string& line : lines)
        ok = ok && std::fputs((line + "\r\n").c_str(), f) >= 0;
    ok = (std::fclose(f) == 0) && ok;
    if (!ok || std::rename(temp.c_str(), native.c_str()) != 0)
    {
        std::remove(temp.c_str());
        return FALSE;
    }
    return TRUE;
}
