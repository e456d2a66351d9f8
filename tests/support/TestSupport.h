// Helpers shared by the tests: a private working directory, file access, headless runs.
#pragma once

#include <string>
#include <vector>

namespace zantest
{
/// Makes a fresh directory, changes into it, and goes back (removing it) on destruction.
class ScopedWorkDir
{
public:
    ScopedWorkDir();
    ~ScopedWorkDir();
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    std::string m_previous;
};

std::string ReadFile(const std::string& nativePath);
void WriteFile(const std::string& nativePath, const std::string& bytes);
bool FileExists(const std::string& nativePath);

/// The run log's rows as (kind, message, file, line) in order; kind is the GBK kind word.
struct LogRow
{
    int number;
    std::string kind, message, file, line;
};
std::vector<LogRow> ReadLogRows(const std::string& nativePath);

/// Source tree path of a file of the repository (for data files).
std::string SourcePath(const std::string& relative);
} // namespace zantest

#include "ZanEngine.h"

#include <functional>

namespace zantest
{
/// Calls `step(pass)` once per pass of the engine's frame loop (from the platform's Sleep),
/// with pass counting from 0. Headless only.
void OnEveryPass(std::function<void(int)> step);
} // namespace zantest

/// A game that does nothing but let the engine run its frames.
class IdleGame : public CGameBase
{
protected:
    bool FrameUpdate() override { return true; }
    bool PostFrameUpdate() override { return true; }
    bool OnFocusLost() override { return true; }
    bool OnFocusRestored() override { return true; }
    bool OnShutdown() override { return true; }
    bool OnEngineMessage(CPacket_Read*) override { return true; }
    bool OnObjectMessage(unsigned long, CPacket_Read*) override { return true; }
};
