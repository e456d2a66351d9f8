// Which level the wait screens offer, and how far a single player has got.
#pragma once

/// The level chosen on the wait screens and the levels open to a single player. Two players
/// may play every level; a single player opens the next one by clearing a level. Kept for the
/// program's run.
class CLevelChoice
{
public:
    enum
    {
        LEVEL_COUNT = 4
    };

    CLevelChoice() : m_nChosen(1), m_nOpened(1) {}

    /// The level a wait screen of this mode offers: the chosen one, within the open ones.
    int GetChosen(bool twoPlayers) const;
    /// The highest level open to a single player.
    int GetOpened() const { return m_nOpened; }
    bool IsOpen(int level, bool twoPlayers) const;
    /// Moves the choice by delta within the levels open in this mode (stopping at the ends)
    /// and returns the level now chosen.
    int Step(int delta, bool twoPlayers);
    /// Chooses a level, ignoring a number outside 1 to LEVEL_COUNT.
    void Choose(int level);
    /// A single player cleared the level: the next one opens and becomes the choice.
    void Cleared(int level);

private:
    int m_nChosen;
    int m_nOpened;
};

/// The program's level choice.
CLevelChoice& LevelChoice();
