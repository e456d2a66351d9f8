#include "core/ZanLog.h"

#include "ZanWin32.h"

#include <cstdarg>

namespace
{
std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out(n > 0 ? size_t(n) : 0, '\0');
    if (n > 0)
        std::vsnprintf(&out[0], size_t(n) + 1, format, args);
    va_end(args);
    return out;
}

std::string Today()
{
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return Format("%02d年%02d月%d日", t.wYear, t.wMonth, t.wDay);
}

// The file column shows the reporting source by its last path component.
std::string BaseName(const std::string& path)
{
    const size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}
} // namespace

CZanLog::CZanLog() : m_pFile(nullptr), m_nRow(1)
{
    m_strLine.reserve(1024);
}

CZanLog::~CZanLog()
{
    if (m_pFile)
        std::fclose(m_pFile);
}

bool CZanLog::Open(const char* file, const char* title)
{
    if (m_pFile)
        std::fclose(m_pFile);
    m_pFile = ZanFileOpen(file, "wb");
    if (!m_pFile)
        return false;
    const std::string date = Today();
    // Lines end in CR LF, as the log has always been written.
    std::fputs(
        Format("<html> <head> <title> %s日志记录</title> </header> \r\n", date.c_str()).c_str(),
        m_pFile);
    std::fputs("<body> \r\n", m_pFile);
    std::fputs(Format("<h1 align = \"center\">%s日志记录(记录日 %s)</h1> \r\n", title ? title : "",
                      date.c_str())
                   .c_str(),
               m_pFile);
    std::fputs("<table> \r\n", m_pFile);
    return true;
}

void CZanLog::TableStart()
{
    if (!m_pFile)
        return;
    std::fputs("<TABLE BORDER=1 WIDTH=1024>"
               "<tr bgcolor=#808080><td>序号</td><td>类型</td><td>信息描述</td><td>所在文件</td>"
               "<td>所在行号</td></tr>",
               m_pFile);
}

bool CZanLog::Close()
{
    if (!m_pFile)
        return false;
    std::fputs("</table> \r\n</body> \r\n</html>", m_pFile);
    std::fclose(m_pFile);
    m_pFile = nullptr;
    return true;
}

bool CZanLog::WritePlain(const std::string& message)
{
    return WriteRow("#800080", "一般", message, "", 0, false);
}

bool CZanLog::WriteError(const std::string& message, const std::string& file, int line)
{
    return WriteRow("#800000", "错误", message, file, line, true);
}

bool CZanLog::WriteInfo(const std::string& message, const std::string& file, int line)
{
    return WriteRow("#008000", "信息", message, file, line, true);
}

bool CZanLog::WriteWarn(const std::string& message, const std::string& file, int line)
{
    return WriteRow("#FFAA00", "警告", message, file, line, true);
}

bool CZanLog::WriteRow(const char* color, const char* kind, const std::string& message,
                       const std::string& file, int line, bool located)
{
    if (!m_pFile)
        return false;
    m_strLine.clear();
    m_strLine += Format("<tr bgcolor=%s><td>%d</td><td>%s</td><td><b>", color, m_nRow, kind);
    m_strLine += message; // never used as a format
    if (located)
        m_strLine += "</b></td><td>" + BaseName(file) + Format("</td><td>%05d</td></tr>", line);
    else
        m_strLine += "</b></td><td>-</td><td>-</td></tr>";
    std::fwrite(m_strLine.data(), 1, m_strLine.size(), m_pFile);
    ++m_nRow;
    return true;
}
