#include "core/LevelChoice.h"

#include "core/WholeFile.h"

#include "ZanEngine.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

int CLevelChoice::GetChosen(bool twoPlayers) const
{
    return twoPlayers ? m_nChosen : std::min(m_nChosen, m_nOpened);
}

bool CLevelChoice::IsOpen(int level, bool twoPlayers) const
{
    return level >= 1 && level <= (twoPlayers ? int(LEVEL_COUNT) : m_nOpened);
}

int CLevelChoice::Step(int delta, bool twoPlayers)
{
    const int last = twoPlayers ? int(LEVEL_COUNT) : m_nOpened;
    m_nChosen = std::clamp(GetChosen(twoPlayers) + delta, 1, last);
    return m_nChosen;
}

void CLevelChoice::Choose(int level)
{
    if (level >= 1 && level <= LEVEL_COUNT)
        m_nChosen = level;
}

void CLevelChoice::Cleared(int level)
{
    if (level < 1 || level > LEVEL_COUNT)
        return;
    const int next = std::min(level + 1, int(LEVEL_COUNT));
    m_nOpened = std::max(m_nOpened, next);
    m_nChosen = next;
}

void CLevelChoice::Load(const char* name)
{
    struct stat st;
    if (lstat(name, &st) != 0 && errno == ENOENT)
        return;
    std::string text;
    if (!ReadRegularFile(name, 4096, &text))
    {
        if (CZanEngine* engine = CZanEngine::Instance())
            engine->SystemWarnLog("进度文件无法读取, 不开放新的关卡", __FILE__, __LINE__);
        return;
    }
    // Read the way every settings file is; a hand-edited number stays within the levels.
    CZanIni ini(name);
    const int opened = std::clamp(ini.GetInt("单人", "已开放关卡", 1), 1, int(LEVEL_COUNT));
    if (opened > m_nOpened)
        m_nOpened = m_nChosen = opened;
}

bool CLevelChoice::Save(const char* name) const
{
    return ReplaceWholeFile(
        name, "; 单人游戏已开放的关卡\n[单人]\n已开放关卡=" + std::to_string(m_nOpened) + "\n");
}

CLevelChoice& LevelChoice()
{
    static CLevelChoice choice;
    return choice;
}
