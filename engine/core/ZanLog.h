// CZanLog: the HTML run log writer owned by the engine.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class CZanLog
{
public:
    CZanLog();
    ~CZanLog();

    /// Replaces the file and writes the head with today's date and `title`. False when the
    /// file cannot be created; records are then dropped.
    bool Open(const char* file, const char* title);
    void TableStart();
    /// Writes the foot and closes; false when it was not open.
    bool Close();
    bool IsOpen() const { return m_pFile != nullptr; }

    bool WritePlain(const std::string& message);
    bool WriteError(const std::string& message, const std::string& file, int line);
    bool WriteInfo(const std::string& message, const std::string& file, int line);
    bool WriteWarn(const std::string& message, const std::string& file, int line);

    int32_t RowCounter() const { return m_nRow; }

    /// Rows of one run stop at this many bytes, after a last row that says so (the head, the
    /// foot and a crash record are not counted). 4 MB unless set.
    void SetSizeLimit(size_t bytes) { m_nLimit = bytes; }
    static const size_t kDefaultLimit = 4u << 20;

private:
    bool WriteRow(const char* color, const char* kind, const std::string& message,
                  const std::string& file, int line, bool located);

    FILE* m_pFile;
    std::string m_strLine; // each row is composed here before it is written
    int32_t m_nRow;
    size_t m_nLimit;
    size_t m_nWritten; // bytes of rows this run
    bool m_bFull;      // the limit's row is written; later rows are dropped
};
