#include "engine/Ini.h"

#include <win32.h>

#include <cctype>
#include <cfloat>
#include <cmath>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {
// "<current directory>\<file>", as the game has always formed it.
bool IniPath(const std::string& file, char (&path)[260]) {
    char dir[260];
    // A current directory too long for the buffer is refused like a too-long
    // path; read as empty it would point the name at the root of the disk.
    DWORD length = GetCurrentDirectoryA(sizeof dir, dir);
    if (length == 0 || length >= sizeof dir) return false;
    int n = snprintf(path, sizeof path, "%s\\%s", dir, file.c_str());
    return n >= 0 && n < static_cast<int>(sizeof path);
}
}  // namespace

std::string ReadIniString(const std::string& file, const std::string& section, const std::string& key) {
    char path[260];
    if (!IniPath(file, path)) return std::string();
    char value[255];
    GetPrivateProfileStringA(section.c_str(), key.c_str(), "", value, sizeof value, path);
    return value;
}

int ReadIniInt(const std::string& file, const std::string& section, const std::string& key) {
    std::string text = ReadIniString(file, section, key);
    errno = 0;
    long v = strtol(text.c_str(), nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

float ReadIniFloat(const std::string& file, const std::string& section, const std::string& key) {
    // Only the plain decimal form counts: "0x10" reads as 0 and "inf" or "nan"
    // as nothing, so a stray word in config.ini cannot turn into a huge or NaN value.
    std::string text = ReadIniString(file, section, key);
    const char* s = text.c_str();
    size_t i = 0;
    while (isspace(static_cast<unsigned char>(s[i]))) ++i;
    const size_t start = i;
    if (s[i] == '+' || s[i] == '-') ++i;
    size_t digits = 0;
    for (; isdigit(static_cast<unsigned char>(s[i])); ++i) ++digits;
    if (s[i] == '.')
        for (++i; isdigit(static_cast<unsigned char>(s[i])); ++i) ++digits;
    if (digits == 0) return 0.0f;
    size_t end = i;
    if (s[i] == 'e' || s[i] == 'E') {
        size_t j = i + 1;
        if (s[j] == '+' || s[j] == '-') ++j;
        if (isdigit(static_cast<unsigned char>(s[j]))) {
            while (isdigit(static_cast<unsigned char>(s[j]))) ++j;
            end = j;
        }
    }
    double value = strtod(text.substr(start, end - start).c_str(), nullptr);
    // Beyond the float range the cast would give infinity (or be undefined).
    if (!(std::fabs(value) <= FLT_MAX)) return 0.0f;
    return static_cast<float>(value);
}

void WriteIniString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value) {
    char path[260];
    if (!IniPath(file, path)) return;
    WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path);
}

void WriteIniInt(const std::string& file, const std::string& section, const std::string& key, int value) {
    char text[256];
    snprintf(text, sizeof text, "%i", value);
    WriteIniString(file, section, key, text);
}

void WriteIniFloat(const std::string& file, const std::string& section, const std::string& key, float value) {
    char text[256];
    snprintf(text, sizeof text, "%.5f", static_cast<double>(value));
    WriteIniString(file, section, key, text);
}
