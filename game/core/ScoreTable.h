// The high-score table kept in "scores.cfg" in the working folder.
#pragma once

#include <map>
#include <string>
#include <vector>

/// One line of the table: "SCORE,WHO,YYYY-MM-DD".
struct ScoreEntry
{
    int score = 0;
    std::string who;  ///< GBK, without commas or line breaks
    std::string date; ///< YYYY-MM-DD

    bool operator==(const ScoreEntry& o) const
    {
        return score == o.score && who == o.who && date == o.date;
    }
};

/// The ten best scores of each level and mode, best first. The file is a settings file with
/// one section per level and mode ("[关卡1 单人]", "[关卡1 双人]", ...) and the keys 1 to 10.
/// It is replaced whole on every save, so a crash leaves either the old table or the new one.
class CScoreTable
{
public:
    enum
    {
        KEEP = 10,                 ///< entries kept per level and mode
        MAX_FILE_BYTES = 64 * 1024 ///< a longer file is not a table of ours
    };

    /// Reads the table from `name` in the working folder. A missing file gives an empty
    /// table; a file that is not a readable table (damaged, not text, too big, not a regular
    /// file) is moved aside as `name` + ".bad", with a warning record, and the table starts
    /// empty. False in that last case.
    bool Load(const char* name = "scores.cfg");
    /// Writes the whole table to `name`: a new file beside it, flushed to disk, renamed over
    /// the old one. False when that fails (the old file is then untouched).
    bool Save(const char* name = "scores.cfg") const;

    /// Puts a score in its place (after equal scores already there) and returns its rank
    /// from 0, or -1 when it does not make the table. Scores of 0 or less are not kept.
    int Insert(int level, bool twoPlayers, const ScoreEntry& entry);
    /// The entries of a level and mode, best first.
    const std::vector<ScoreEntry>& Entries(int level, bool twoPlayers) const;
    /// The best score of a level and mode, 0 when there is none.
    int Best(int level, bool twoPlayers) const;

    /// The section name of a level and mode, in GBK.
    static std::string Section(int level, bool twoPlayers);
    /// Parses "SCORE,WHO,YYYY-MM-DD"; false when the text is not such a line.
    static bool ParseEntry(const std::string& text, ScoreEntry* entry);
    /// Today's date as YYYY-MM-DD.
    static std::string Today();

private:
    /// Checks the raw file: false when any part of it is not a table line.
    static bool IsTableText(const std::string& text);
    std::string Text() const;

    std::map<std::string, std::vector<ScoreEntry>> m_Sections;
};
