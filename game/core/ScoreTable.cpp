#include "core/ScoreTable.h"

#include "core/WholeFile.h"

#include "ZanEngine.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/stat.h>

namespace
{
std::string Trim(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r'))
        --e;
    return s.substr(b, e - b);
}

bool AllDigits(const std::string& s)
{
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The section's level and mode back from its name; false for a section of someone else's.
bool IsOurSection(const std::string& name)
{
    for (int level = 1; level <= 99; ++level)
        if (name == CScoreTable::Section(level, false) || name == CScoreTable::Section(level, true))
            return true;
    return false;
}

void Warn(const char* message)
{
    if (CZanEngine* engine = CZanEngine::Instance())
        engine->SystemWarnLog(message, __FILE__, __LINE__);
}

} // namespace

std::string CScoreTable::Section(int level, bool twoPlayers)
{
    char name[64];
    std::snprintf(name, sizeof name, "关卡%d %s", level, twoPlayers ? "双人" : "单人");
    return name;
}

bool CScoreTable::ParseEntry(const std::string& text, ScoreEntry* entry)
{
    const size_t a = text.find(',');
    const size_t b = a == std::string::npos ? a : text.find(',', a + 1);
    if (b == std::string::npos || text.find(',', b + 1) != std::string::npos)
        return false;
    const std::string score = text.substr(0, a), who = text.substr(a + 1, b - a - 1),
                      date = text.substr(b + 1);
    if (!AllDigits(score) || score.size() > 9 || who.empty() || who.size() > 32 ||
        date.size() != 10)
        return false;
    const std::string year = date.substr(0, 4), month = date.substr(5, 2), day = date.substr(8, 2);
    if (date[4] != '-' || date[7] != '-' || !AllDigits(year) || !AllDigits(month) ||
        !AllDigits(day) || std::atoi(month.c_str()) < 1 || std::atoi(month.c_str()) > 12 ||
        std::atoi(day.c_str()) < 1 || std::atoi(day.c_str()) > 31)
        return false;
    for (unsigned char c : who)
        if (c < 0x20 || c == 0x7F || c == '=' || c == '[' || c == ']' || c == ';')
            return false;
    if (entry)
        *entry = {std::atoi(score.c_str()), who, date};
    return true;
}

bool CScoreTable::IsTableText(const std::string& text)
{
    if (text.find('\0') != std::string::npos)
        return false;
    std::string section;
    size_t start = 0;
    while (start < text.size())
    {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = Trim(text.substr(start, end - start));
        start = end + 1;
        for (unsigned char c : line)
            if (c < 0x20 && c != '\t')
                return false;
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[')
        {
            if (line.back() != ']')
                return false;
            section = line.substr(1, line.size() - 2);
            if (!IsOurSection(section))
                return false;
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos || section.empty())
            return false;
        const std::string key = Trim(line.substr(0, eq));
        const int rank = AllDigits(key) && key.size() <= 2 ? std::atoi(key.c_str()) : 0;
        if (rank < 1 || rank > KEEP || !ParseEntry(Trim(line.substr(eq + 1)), nullptr))
            return false;
    }
    return true;
}

bool CScoreTable::Load(const char* name)
{
    m_Sections.clear();
    struct stat st;
    if (lstat(name, &st) != 0 && errno == ENOENT)
        return true;
    std::string text;
    if (!ReadRegularFile(name, MAX_FILE_BYTES, &text) || !IsTableText(text))
    {
        const std::string bad = std::string(name) + ".bad";
        if (std::rename(name, bad.c_str()) == 0)
            Warn("成绩表无法读取, 已原样另存为 scores.cfg.bad, 重新开始记录");
        else
            Warn("成绩表无法读取, 也无法另存, 重新开始记录");
        return false;
    }
    // The file is a table of ours: its lines are read the way every settings file is.
    CZanIni ini(name);
    for (int level = 1; level <= 99; ++level)
        for (bool two : {false, true})
        {
            const std::string section = Section(level, two);
            if (text.find("[" + section + "]") == std::string::npos)
                continue;
            std::vector<ScoreEntry> entries;
            for (int rank = 1; rank <= KEEP; ++rank)
            {
                ScoreEntry entry;
                const std::string key = std::to_string(rank);
                if (ParseEntry(ini.GetString(section.c_str(), key.c_str(), ""), &entry))
                    entries.push_back(entry);
            }
            // Kept best first, whatever order a hand-edited file put them in.
            std::stable_sort(entries.begin(), entries.end(),
                             [](const ScoreEntry& a, const ScoreEntry& b)
                             { return a.score > b.score; });
            if (!entries.empty())
                m_Sections[section] = entries;
        }
    return true;
}

std::string CScoreTable::Text() const
{
    std::string text;
    for (const auto& [section, entries] : m_Sections)
    {
        text += "[" + section + "]\n";
        for (size_t i = 0; i < entries.size(); ++i)
            text += std::to_string(i + 1) + "=" + std::to_string(entries[i].score) + "," +
                    entries[i].who + "," + entries[i].date + "\n";
    }
    return text;
}

bool CScoreTable::Save(const char* name) const
{
    return ReplaceWholeFile(name, Text());
}

int CScoreTable::Insert(int level, bool twoPlayers, const ScoreEntry& entry)
{
    if (entry.score <= 0 ||
        !ParseEntry(std::to_string(entry.score) + "," + entry.who + "," + entry.date, nullptr))
        return -1;
    std::vector<ScoreEntry>& entries = m_Sections[Section(level, twoPlayers)];
    const auto at = std::upper_bound(entries.begin(), entries.end(), entry,
                                     [](const ScoreEntry& a, const ScoreEntry& b)
                                     { return a.score > b.score; });
    const int rank = int(at - entries.begin());
    if (rank >= KEEP)
        return -1;
    entries.insert(at, entry);
    if (entries.size() > size_t(KEEP))
        entries.resize(KEEP);
    return rank;
}

const std::vector<ScoreEntry>& CScoreTable::Entries(int level, bool twoPlayers) const
{
    static const std::vector<ScoreEntry> none;
    const auto it = m_Sections.find(Section(level, twoPlayers));
    return it == m_Sections.end() ? none : it->second;
}

int CScoreTable::Best(int level, bool twoPlayers) const
{
    const std::vector<ScoreEntry>& entries = Entries(level, twoPlayers);
    return entries.empty() ? 0 : entries.front().score;
}

std::string CScoreTable::Today()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}
