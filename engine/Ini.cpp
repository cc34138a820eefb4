#include "engine/Ini.h"

#include <win32.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {
// "<current directory>\<file>", as the game has always formed it.
bool IniPath(const std::string& file, char (&path)[260]) {
    char dir[260];
    dir[0] = '\0';
    GetCurrentDirectoryA(sizeof dir, dir);
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
    std::string text = ReadIniString(file, section, key);
    return static_cast<float>(strtod(text.c_str(), nullptr));
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
