#include "engine/Log.h"

#include <crt.h>
#include <win32.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

// Built before any other static object, so their constructors may log.
CLog g_Log __attribute__((init_priority(101)));

namespace {
const int kTagSize = 256;
const int kLineSize = 1024;
const char* const kLogName = "log.html";

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
    CopyFileA("log1.html", "log2.html", FALSE);
    CopyFileA(kLogName, "log1.html", FALSE);
    m_File.open(kLogName, std::ios::out | std::ios::trunc | std::ios::binary);
    m_File.close();

    m_StartDirectory[0] = '\0';
    GetCurrentDirectoryA(sizeof m_StartDirectory, m_StartDirectory);
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
        Write("</Font> </P> </Body> </Html>");
    }
    delete[] m_NewTag;
    delete[] m_PrevTag;
    m_NewTag = m_PrevTag = nullptr;
}

void CLog::Write(const char* text) {
    // A failed open loses this line only; the next line tries again.
    m_File.clear();
    m_File.open(kLogName, std::ios::out | std::ios::app | std::ios::binary);
    if (!m_File.is_open()) return;
    m_File << (text ? text : "") << "\r\n";
    m_File.close();
}

void CLog::WriteLine(const char* color, const char* text) {
    m_File.clear();
    m_File.open(kLogName, std::ios::out | std::ios::app | std::ios::binary);
    snprintf(m_NewTag, kTagSize, "<Font Size = 2 Color = %s Face = Verdana>", color ? color : "");
    char timeText[25];
    crt_now_text(timeText);
    if (!m_File.is_open()) return;
    if (strcmp(m_NewTag, m_PrevTag) != 0) {
        memcpy(m_PrevTag, m_NewTag, kTagSize);
        m_File << "</Font>\r\n" << m_NewTag << "\r\n";
    }
    m_File << "<BR>" << timeText << " ---- " << text << "\r\n";
    m_File.close();
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
    // unchanged, so a percent sign in a value is never read as a format.
    char line[kLineSize];
    vsnprintf(line, sizeof line, format, args);
    if (bold) Write("<B>");
    WriteLine(color, line);
    if (bold) Write("</B>");
}
