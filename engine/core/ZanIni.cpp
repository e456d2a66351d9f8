#include "Zan/ZanCore.h"

#include <cstdlib>
#include <cstring>

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
