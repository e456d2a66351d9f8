#include "TestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace zantest
{
ScopedWorkDir::ScopedWorkDir()
{
    char pattern[] = "/tmp/zantest-XXXXXX";
    const char* dir = mkdtemp(pattern);
    m_previous = fs::current_path().string();
    m_path = dir ? dir : "/tmp";
    fs::current_path(m_path);
}

ScopedWorkDir::~ScopedWorkDir()
{
    std::error_code ec;
    fs::current_path(m_previous, ec);
    fs::remove_all(m_path, ec);
}

std::string ReadFile(const std::string& nativePath)
{
    std::ifstream in(nativePath, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::string& nativePath, const std::string& bytes)
{
    std::ofstream out(nativePath, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool FileExists(const std::string& nativePath)
{
    return fs::exists(nativePath);
}

namespace
{
// The run log writes text with its markup characters escaped.
std::string Unescaped(std::string text)
{
    static const char* const kEntities[][2] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
    std::string out;
    for (size_t i = 0; i < text.size();)
    {
        bool replaced = false;
        for (const auto& e : kEntities)
            if (text.compare(i, std::strlen(e[0]), e[0]) == 0)
            {
                out += e[1];
                i += std::strlen(e[0]);
                replaced = true;
                break;
            }
        if (!replaced)
            out += text[i++];
    }
    return out;
}
} // namespace

std::vector<LogRow> ReadLogRows(const std::string& nativePath)
{
    const std::string text = ReadFile(nativePath);
    std::vector<LogRow> rows;
    size_t pos = 0;
    const std::string rowStart = "<tr bgcolor=#";
    while ((pos = text.find(rowStart, pos)) != std::string::npos)
    {
        const size_t end = text.find("</tr>", pos);
        if (end == std::string::npos)
            break;
        std::string row = text.substr(pos, end - pos);
        pos = end;
        std::vector<std::string> cells;
        size_t c = 0;
        while ((c = row.find("<td>", c)) != std::string::npos)
        {
            const size_t ce = row.find("</td>", c);
            cells.push_back(row.substr(c + 4, ce - c - 4));
            c = ce;
        }
        if (cells.size() != 5 || cells[0] == "\xd0\xf2\xba\xc5") // the header row
            continue;
        std::string message = cells[2];
        if (message.rfind("<b>", 0) == 0 && message.size() >= 7)
            message = message.substr(3, message.size() - 7);
        rows.push_back(
            {std::atoi(cells[0].c_str()), cells[1], Unescaped(message), cells[3], cells[4]});
    }
    return rows;
}

std::string SourcePath(const std::string& relative)
{
    return std::string(ZAN_SOURCE_DIR) + "/" + relative;
}
} // namespace zantest

#include "ZanHeadless.h"

namespace zantest
{
namespace
{
std::function<void(int)> g_step;
int g_pass = 0;

void Trampoline(void*)
{
    if (g_step)
        g_step(g_pass++);
}
} // namespace

void OnEveryPass(std::function<void(int)> step)
{
    g_step = std::move(step);
    g_pass = 0;
    ZanHeadlessOnFrame(&Trampoline, nullptr);
}
} // namespace zantest
