#pragma once

#include <cstdarg>
#include <fstream>

// The HTML log, log.html in the start directory; the two runs before stay as
// log1.html and log2.html. Every line reopens the file, so the log is complete
// on disk even when the program dies.
class CLog {
public:
    CLog();
    ~CLog();

    void Print(const char* color, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void PrintBold(const char* color, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void Write(const char* text);

    const char* GetStartDirectory() const { return m_StartDirectory; }

private:
    void PrintLine(const char* color, bool bold, const char* format, va_list args);
    void WriteLine(const char* color, const char* text);

    std::ofstream m_File;
    char* m_NewTag;
    char* m_PrevTag;
    char m_StartDirectory[260];
};

extern CLog g_Log;
