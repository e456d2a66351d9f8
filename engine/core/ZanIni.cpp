#include "Zan/ZanCore.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace
{
// The profile calls read at most this much of a settings file; a bigger one reads as absent.
const size_t kMaxSettingsBytes = 1u << 20;

// A settings file that is there but gives nothing (no regular file, too big, no text, not one
// "[section]" line) leaves every value at its default without a word from the profile calls.
// The player may have meant to change something: say so, in the run log and on standard
// error, which is all there is before the log opens. Once for each file: settings are read
// again at every scene.
void ReportUnusable(const char* path, const char* name)
{
    struct stat st;
    if (stat(ZanNativePath(path).c_str(), &st) != 0)
        return; // absent: the defaults are meant
    std::string text;
    // Text has no NUL bytes; a picture or a sound that happens to hold a "[...]" is no text.
    bool usable = ZanFileReadAll(path, kMaxSettingsBytes, text) && text.find('\0') == text.npos;
    if (usable)
    {
        usable = false;
        for (size_t at = 0; at < text.size() && !usable; at = text.find('\n', at) + 1)
        {
            const size_t open = text.find_first_not_of(" \t", at);
            const size_t end = text.find('\n', at);
            usable = open != std::string::npos && text[open] == '[' && text.find(']', open) < end;
            if (end == std::string::npos)
                break;
        }
    }
    static std::set<std::string> s_reported;
    if (usable || !s_reported.insert(path).second)
        return;
    const std::string message = std::string("配置文件无法使用，全部按默认设置: ") + name;
    std::fprintf(stderr, "%s\n", ZanGbkToUtf8(message).c_str());
    if (CZanEngine* engine = CZanEngine::Instance())
        engine->SystemWarnLog(message, "ZanIni", __LINE__);
}
} // namespace

CZanIni::CZanIni(const char* name)
{
    m_szPath[0] = '\0';
    m_szValue[0] = '\0';
    if (!name)
        return;
    char dir[sizeof m_szPath];
    const DWORD len = GetCurrentDirectoryA(sizeof dir, dir);
    // A deep working directory leaves no room for the name: "." names the same directory.
    int n = -1;
    if (len > 0 && len < sizeof dir)
        n = std::snprintf(m_szPath, sizeof m_szPath, "%s\\%s", dir, name);
    if (n < 0 || size_t(n) >= sizeof m_szPath)
        n = std::snprintf(m_szPath, sizeof m_szPath, ".\\%s", name);
    // A name that still does not fit is refused rather than cut: a cut path names another file.
    if (n < 0 || size_t(n) >= sizeof m_szPath)
        m_szPath[0] = '\0';
    else if (name[0])
        ReportUnusable(m_szPath, name);
}

int CZanIni::GetInt(const char* section, const char* key, int defaultValue)
{
    if (!m_szPath[0])
        return defaultValue;
    return int(GetPrivateProfileIntA(section, key, defaultValue, m_szPath));
}

float CZanIni::GetFloat(const char* section, const char* key, float defaultValue)
{
    if (!m_szPath[0])
        return defaultValue;
    char text[256];
    if (GetPrivateProfileStringA(section, key, "", text, sizeof text, m_szPath) == 0)
        return defaultValue;
    return float(std::atof(text));
}

char* CZanIni::GetString(const char* section, const char* key, const char* defaultValue)
{
    if (!m_szPath[0])
    {
        std::snprintf(m_szValue, sizeof m_szValue, "%s", defaultValue ? defaultValue : "");
        return m_szValue;
    }
    GetPrivateProfileStringA(section, key, defaultValue, m_szValue, sizeof m_szValue, m_szPath);
    return m_szValue;
}

void CZanIni::SetInt(const char* section, const char* key, int value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d", value);
    SetString(section, key, text);
}

void CZanIni::SetFloat(const char* section, const char* key, float value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%f", double(value));
    SetString(section, key, text);
}

void CZanIni::SetString(const char* section, const char* key, const char* value)
{
    if (m_szPath[0])
        WritePrivateProfileStringA(section, key, value, m_szPath);
}
