#include "core/ZanLog.h"

#include "ZanWin32.h"

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <sys/stat.h>
#include <unistd.h>

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

// Text from settings and data files must show as text, never as markup of the page.
std::string Escaped(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text)
        switch (c)
        {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c; // GBK trail bytes never fall on these five
        }
    return out;
}

// ---- the last record of a crashed run ----
// A fatal signal appends an error record naming it and the foot, so the log of a crashed run
// still says what happened and is a whole page. Only async-signal-safe calls run in the
// handler: the row is assembled from constant texts into a static buffer and written with
// write(2).

constexpr int kFatalSignals[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};
constexpr int kFatalCount = int(sizeof kFatalSignals / sizeof kFatalSignals[0]);

struct SCrashTarget
{
    volatile int fd = -1;         // the open log, or -1
    const volatile int32_t* pRow; // its row counter
    struct sigaction previous[kFatalCount];
    volatile sig_atomic_t handling = 0;
};
SCrashTarget g_crash;

const char* SignalName(int sig)
{
    switch (sig)
    {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGABRT:
        return "SIGABRT";
    case SIGBUS:
        return "SIGBUS";
    case SIGFPE:
        return "SIGFPE";
    case SIGILL:
        return "SIGILL";
    }
    return "?";
}

struct SCrashText
{
    char buffer[512];
    size_t used = 0;

    void Add(const char* text)
    {
        while (*text && used < sizeof buffer)
            buffer[used++] = *text++;
    }
    // At least `width` digits, zero-padded.
    void AddNumber(long value, int width)
    {
        char digits[24];
        int n = 0;
        unsigned long v = value < 0 ? 0ul - (unsigned long)value : (unsigned long)value;
        do
        {
            digits[n++] = char('0' + v % 10);
            v /= 10;
        } while (v && n < 20);
        while (n < width && n < 20)
            digits[n++] = '0';
        if (value < 0)
            digits[n++] = '-';
        while (n > 0 && used < sizeof buffer)
            buffer[used++] = digits[--n];
    }
};
SCrashText g_crashText;

void OnFatalSignal(int sig, siginfo_t* info, void*)
{
    const int fd = g_crash.fd;
    if (!g_crash.handling && fd >= 0)
    {
        g_crash.handling = 1;
        SCrashText& t = g_crashText;
        t.used = 0;
        t.Add("<tr bgcolor=#800000><td>");
        t.AddNumber(*g_crash.pRow, 1);
        t.Add("</td><td>错误</td><td><b>程序异常终止: 信号 ");
        t.Add(SignalName(sig));
        t.Add("</b></td><td>ZanLog</td><td>");
        t.AddNumber(__LINE__, 5);
        t.Add("</td></tr></table> \r\n</body> \r\n</html>");
        for (size_t done = 0; done < t.used;)
        {
            const ssize_t n = write(fd, t.buffer + done, t.used - done);
            if (n > 0)
                done += size_t(n);
            else if (n < 0 && errno != EINTR)
                break;
        }
    }
    // The handler that was there before (normally the default action) now ends the process:
    // a fault happens again when the faulting instruction resumes, a sent signal is re-sent.
    for (int i = 0; i < kFatalCount; ++i)
        if (kFatalSignals[i] == sig)
            sigaction(sig, &g_crash.previous[i], nullptr);
    if (!info || info->si_code <= 0)
        raise(sig);
}

void WatchFatalSignals(int fd, const int32_t* row)
{
    const bool installed = g_crash.fd >= 0;
    g_crash.pRow = row;
    g_crash.fd = fd;
    if (installed)
        return;
    // A stack overflow leaves no stack for the handler: it runs on a stack of its own.
    static char s_altStack[64 * 1024];
    stack_t stack{};
    stack.ss_sp = s_altStack;
    stack.ss_size = sizeof s_altStack;
    sigaltstack(&stack, nullptr);
    struct sigaction action
    {
    };
    action.sa_sigaction = &OnFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kFatalCount; ++i)
        sigaction(kFatalSignals[i], &action, &g_crash.previous[i]);
}

void StopWatching(int fd)
{
    if (g_crash.fd != fd || fd < 0)
        return;
    g_crash.fd = -1;
    for (int i = 0; i < kFatalCount; ++i)
        sigaction(kFatalSignals[i], &g_crash.previous[i], nullptr);
}
} // namespace

CZanLog::CZanLog()
    : m_pFile(nullptr), m_nRow(1), m_nLimit(kDefaultLimit), m_nWritten(0), m_bFull(false)
{
    m_strLine.reserve(1024);
}

CZanLog::~CZanLog()
{
    if (m_pFile)
    {
        StopWatching(fileno(m_pFile));
        std::fclose(m_pFile);
    }
}

bool CZanLog::Open(const char* file, const char* title)
{
    if (m_pFile)
    {
        StopWatching(fileno(m_pFile));
        std::fclose(m_pFile);
    }
    m_pFile = ZanFileOpen(file, "wb");
    struct stat st;
    if (!m_pFile && lstat(ZanNativePath(file).c_str(), &st) == 0 && S_ISLNK(st.st_mode))
    {
        // A link in its place is replaced, never written through: it may point anywhere.
        unlink(ZanNativePath(file).c_str());
        m_pFile = ZanFileOpen(file, "wb");
    }
    if (!m_pFile)
        return false;
    m_nWritten = 0;
    m_bFull = false;
    // Every record goes straight to the file, so a crash or a kill loses none of them.
    std::setvbuf(m_pFile, nullptr, _IONBF, 0);
    WatchFatalSignals(fileno(m_pFile), &m_nRow);
    const std::string date = Today();
    // Lines end in CR LF, as the log has always been written.
    std::fputs(
        Format("<html> <head> <title> %s日志记录</title> </header> \r\n", date.c_str()).c_str(),
        m_pFile);
    std::fputs("<body> \r\n", m_pFile);
    std::fputs(Format("<h1 align = \"center\">%s日志记录(记录日 %s)</h1> \r\n",
                      Escaped(title ? title : "").c_str(), date.c_str())
                   .c_str(),
               m_pFile);
    // A full disk takes the file but not its text: that is no log either.
    if (std::fputs("<table> \r\n", m_pFile) < 0 || std::ferror(m_pFile))
    {
        const int error = errno;
        StopWatching(fileno(m_pFile));
        std::fclose(m_pFile);
        m_pFile = nullptr;
        errno = error;
        return false;
    }
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
    StopWatching(fileno(m_pFile));
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
    if (!m_pFile || m_bFull)
        return false;
    m_strLine.clear();
    m_strLine += Format("<tr bgcolor=%s><td>%d</td><td>%s</td><td><b>", color, m_nRow, kind);
    m_strLine += Escaped(message); // never used as a format
    if (located)
        m_strLine +=
            "</b></td><td>" + Escaped(BaseName(file)) + Format("</td><td>%05d</td></tr>", line);
    else
        m_strLine += "</b></td><td>-</td><td>-</td></tr>";
    if (m_nWritten + m_strLine.size() > m_nLimit)
    {
        // A fault repeated without end must not fill the disk: the run's last row says so.
        m_bFull = true;
        m_strLine = Format("<tr bgcolor=#FFAA00><td>%d</td><td>警告</td><td><b>运行日志已达 %zu "
                           "KB 的上限，本次运行其余的记录不再写入</b></td><td>ZanLog</td><td>"
                           "%05d</td></tr>",
                           m_nRow, m_nLimit >> 10, __LINE__);
    }
    std::fwrite(m_strLine.data(), 1, m_strLine.size(), m_pFile);
    m_nWritten += m_strLine.size();
    ++m_nRow;
    return !m_bFull;
}
