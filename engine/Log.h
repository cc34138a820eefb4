#pragma once

#include <cstdarg>
#include <fstream>
#include <string>

// The HTML log, log.html in the start directory; the two runs before stay as
// log1.html and log2.html. Every line reopens the file, so the log is complete
// on disk even when the program dies. A session writes at most kSizeCap bytes:
// past that one line says the log was cut and only the end line follows. A
// write that fails (full disk, file size limit) ends the log for the session.
// The log cannot report on itself: the first failure to open or write the file
// is said once on standard error, and the program goes on.
class CLog {
public:
    static constexpr unsigned long kSizeCap = 8ul * 1024 * 1024;

    CLog();
    ~CLog();

    void Print(const char* color, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void PrintBold(const char* color, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void Write(const char* text);

    const char* GetStartDirectory() const { return m_StartDirectory; }

private:
    void PrintLine(const char* color, bool bold, const char* format, va_list args);
    // The message line of the text with its font tag when the colour changed.
    std::string MessageLine(const char* color, const char* text);
    // Appends the bytes unless the log is cut or stopped; the cut note fits
    // below the cap, the end line (final) always gets its try. False when
    // nothing reached the file.
    bool Append(const std::string& bytes, bool final = false);
    // One line on standard error with the file and the reason, the first time only.
    void ReportFailure(int error);

    std::ofstream m_File;
    char* m_NewTag;
    char* m_PrevTag;
    char m_StartDirectory[260];
    unsigned long m_Written = 0;
    bool m_Cut = false;
    bool m_Stopped = false;
    bool m_Reported = false;
};

extern CLog g_Log;
