#include "core/LevelChoice.h"

#include <algorithm>

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

CLevelChoice& LevelChoice()
{
    static CLevelChoice choice;
    return choice;
}
