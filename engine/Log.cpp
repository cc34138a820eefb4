#include "engine/Log.h"

#include <crt.h>
#include <win32.h>

#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

// Built before any other static object, so their constructors may log.
CLog g_Log __attribute__((init_priority(101)));

namespace {
const int kTagSize = 256;
const int kLineSize = 1024;
// Room below the cap for the note that the log was cut.
const unsigned long kCutReserve = 512;
const char* const kLogName = "log.html";

// Only a regular file is an old log: a folder or a device under its name is not copied.
bool IsRegularFile(const char* name) {
    struct stat st;
    return stat(name, &st) == 0 && S_ISREG(st.st_mode);
}

// Switches to a directory for the lifetime of the object. The caller's
// directory is saved whatever its length, so logging never leaves the
// program in another directory.
class CDirectorySwitch {
public:
    explicit CDirectorySwitch(const char* dir) {
        DWORD size = GetCurrentDirectoryA(0, nullptr);
        m_Saved.resize(size);
        DWORD length = size ? GetCurrentDirectoryA(size, &m_Saved[0]) : 0;
        m_Saved.resize(length < size ? length : 0);
        SetCurrentDirectoryA(dir);
    }
    ~CDirectorySwitch() {
        if (!m_Saved.empty()) SetCurrentDirectoryA(m_Saved.c_str());
    }

private:
    std::string m_Saved;
};
}  // namespace

CLog::CLog() {
    // Past a file size limit a write fails and the log stops, rather than the signal ending the game.
    signal(SIGXFSZ, SIG_IGN);
    m_StartDirectory[0] = '\0';
    GetCurrentDirectoryA(sizeof m_StartDirectory, m_StartDirectory);
    if (IsRegularFile("log1.html")) CopyFileA("log1.html", "log2.html", FALSE);
    if (IsRegularFile(kLogName)) CopyFileA(kLogName, "log1.html", FALSE);
    errno = 0;
    m_File.open(kLogName, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!m_File.is_open()) ReportFailure(errno);
    m_File.close();
    m_NewTag = new char[kTagSize];
    m_PrevTag = new char[kTagSize];
    m_NewTag[0] = '\0';
    m_PrevTag[0] = '\0';

    Write("<Title>Log File</Title>");
    Write("<Html> <Body BgColor =  Cornsilk>");
    Write("<B><Font Size = 3 Color = Black Face = Verdana>Log started: </B><BR>");
}

CLog::~CLog() {
    // The end line goes to the start directory, wherever the program left the current one.
    {
        CDirectorySwitch dir(m_StartDirectory);
        Append(std::string("</Font> </P> </Body> </Html>") + "\r\n", true);
    }
    delete[] m_NewTag;
    delete[] m_PrevTag;
    m_NewTag = m_PrevTag = nullptr;
}

bool CLog::Append(const std::string& bytes, bool final) {
    if (m_Stopped || (m_Cut && !final)) return false;
    std::string out = bytes;
    if (!final && m_Written + bytes.size() > kSizeCap - kCutReserve) {
        m_Cut = true;
        char note[160];
        snprintf(note, sizeof note, "The log was cut here: this session reached its limit of %lu bytes.", kSizeCap);
        out = MessageLine("red", note);
    }
    // A failed open loses this piece only; the next one tries again.
    m_File.clear();
    errno = 0;
    m_File.open(kLogName, std::ios::out | std::ios::app | std::ios::binary);
    if (!m_File.is_open()) {
        ReportFailure(errno);
        return false;
    }
    // Flushed before the close, so errno still holds the write's reason.
    m_File.write(out.data(), static_cast<std::streamsize>(out.size()));
    m_File.flush();
    const int error = m_File.fail() ? errno : 0;
    m_File.close();
    if (m_File.fail()) {
        m_Stopped = true;
        ReportFailure(error ? error : errno);
        return false;
    }
    m_Written += out.size();
    return true;
}

void CLog::ReportFailure(int error) {
    if (m_Reported) return;
    m_Reported = true;
    const std::string path = m_StartDirectory[0] ? std::string(m_StartDirectory) + "/" + kLogName : kLogName;
    fprintf(stderr, "log: cannot write %s: %s; the game goes on without its log\n", path.c_str(),
            error ? strerror(error) : "unknown error");
}

void CLog::Write(const char* text) { Append(std::string(text ? text : "") + "\r\n"); }

std::string CLog::MessageLine(const char* color, const char* text) {
    snprintf(m_NewTag, kTagSize, "<Font Size = 2 Color = %s Face = Verdana>", color ? color : "");
    char timeText[25];
    crt_now_text(timeText);
    std::string out;
    if (strcmp(m_NewTag, m_PrevTag) != 0) {
        memcpy(m_PrevTag, m_NewTag, kTagSize);
        out += std::string("</Font>\r\n") + m_NewTag + "\r\n";
    }
    out += std::string("<BR>") + timeText + " ---- " + text + "\r\n";
    return out;
}

void CLog::Print(const char* color, const char* format, ...) {
    if (!format || !m_NewTag) return;
    CDirectorySwitch dir(m_StartDirectory);
    va_list args;
    va_start(args, format);
    PrintLine(color, false, format, args);
    va_end(args);
}

void CLog::PrintBold(const char* color, const char* format, ...) {
    if (!format || !m_NewTag) return;
    CDirectorySwitch dir(m_StartDirectory);
    va_list args;
    va_start(args, format);
    PrintLine(color, true, format, args);
    va_end(args);
}

void CLog::PrintLine(const char* color, bool bold, const char* format, va_list args) {
    // Longer messages are cut to the line buffer; the formatted text is written
    // unchanged but for the markup characters, so a percent sign in a value is
    // never read as a format and a file name cannot add markup to the page.
    char line[kLineSize];
    vsnprintf(line, sizeof line, format, args);
    std::string text;
    for (const char* c = line; *c; ++c) {
        switch (*c) {
            case '<': text += "&lt;"; break;
            case '>': text += "&gt;"; break;
            case '&': text += "&amp;"; break;
            default: text += *c;
        }
    }
    // One piece, so the cap never leaves a bold marker without its end.
    const std::string saved(m_PrevTag);
    std::string piece = MessageLine(color, text.c_str());
    if (bold) piece = "<B>\r\n" + piece + "</B>\r\n";
    // A line that was not written leaves the previous tag as the file has it.
    if (!Append(piece)) snprintf(m_PrevTag, kTagSize, "%s", saved.c_str());
}
