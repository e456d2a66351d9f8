// Which level the wait screens offer, and how far a single player has got.
#pragma once

/// The level chosen on the wait screens and the levels open to a single player. Two players
/// may play every level; a single player opens the next one by clearing a level. What is open
/// is kept between runs in a small settings file of the working folder.
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

    /// Adds the levels that `name` ("[单人]", "已开放关卡=N") says are open; a missing file
    /// adds none, an unreadable one none with a warning record. When that opens more, the
    /// highest open level becomes the choice, as after clearing the one before it.
    void Load(const char* name = "progress.cfg");
    /// Writes what is open to `name`, replacing it whole. False when that fails.
    bool Save(const char* name = "progress.cfg") const;

private:
    int m_nChosen;
    int m_nOpened;
};

/// The program's level choice.
CLevelChoice& LevelChoice();
