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

private:
    bool WriteRow(const char* color, const char* kind, const std::string& message,
                  const std::string& file, int line, bool located);

    FILE* m_pFile;
    std::string m_strLine; // each row is composed here before it is written
    int32_t m_nRow;
};
