#include "launcher/ConfigRepair.h"

#include "SetupDialog.h"
#include "engine/Ini.h"
#include "engine/Log.h"
#include "engine/Settings.h"

#include <platform.h>
#include <win32.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using settings::kConfigFile;
const char kTemplate[] = "templates\\config.ini";
// Settings are a few kilobytes: a larger file is something else and is kept aside whole.
const DWORD kMaxConfigSize = 1u << 20;
// Read back for a key the file does not hold: no value can be this.
const char kAbsent[] = "\x7f";

std::string Raw(const char* file, const std::string& section, const std::string& key) {
    char value[256];
    GetPrivateProfileStringA(section.c_str(), key.c_str(), kAbsent, value, sizeof value, file);
    return value;
}

// The names of a list read with a null section or key, each ended by a NUL.
std::vector<std::string> Names(const char* section) {
    std::vector<char> buffer(16384);
    const DWORD n = GetPrivateProfileStringA(section, nullptr, "", buffer.data(), DWORD(buffer.size()), kTemplate);
    std::vector<std::string> names;
    for (DWORD i = 0; i < n; i += DWORD(names.back().size()) + 1) names.emplace_back(&buffer[i]);
    return names;
}

// Whole values only: "12abc" reads as 12 but is not a number the player wrote.
bool ParseNumber(const std::string& text, bool integer, double& out) {
    if (text.empty() || isspace(static_cast<unsigned char>(text[0]))) return false;
    char* end = nullptr;
    errno = 0;
    out = integer ? double(strtoll(text.c_str(), &end, 10)) : strtod(text.c_str(), &end);
    if (*end || errno || !std::isfinite(out)) return false;
    return !integer || (out >= INT_MIN && out <= INT_MAX);
}

std::string Format(double value, bool integer) {
    char text[64];
    if (integer)
        snprintf(text, sizeof text, "%i", int(value));
    else
        snprintf(text, sizeof text, "%.5f", value);
    return text;
}

// The value to keep for one key and, when it changes, why.
std::string Checked(const std::string& section, const std::string& key, const std::string& raw,
                    const std::string& fallback, const char** why) {
    *why = nullptr;
    if (raw == kAbsent) {
        *why = "is missing";
        return fallback;
    }
    // The numbers are the table's; every other key is text.
    const settings::Setting* rule = settings::Find(section, key);
    const settings::Kind kind = rule ? rule->kind : settings::Kind::Text;
    double value = 0.0;
    if (kind == settings::Kind::Text) {
        if (raw.empty() && !fallback.empty()) *why = "is empty";
        return *why ? fallback : raw;
    }
    const bool integer = kind != settings::Kind::Float;
    if (!ParseNumber(raw, integer, value) || (kind == settings::Kind::Depth && value != 16 && value != 32)) {
        *why = "cannot be read";
        return fallback;
    }
    if (value < rule->low || value > rule->high) {
        *why = "is out of range";
        return Format(value < rule->low ? rule->low : rule->high, integer);
    }
    return raw;
}

const char kSetAside[] = "config.ini.bad";

// Puts an unusable config.ini aside as config.ini.bad (an older one there gives way) and makes it anew from the
// template; false with the reason in `problem` when it cannot be done.
bool SetAsideAndRebuild(const std::string& what, std::string& problem) {
    DeleteFileA(kSetAside);  // a file only: a folder of that name stays, and the move then says why
    if (std::rename(platform::HostPath(kConfigFile).c_str(), platform::HostPath(kSetAside).c_str()) != 0) {
        problem = "config.ini " + what + " and cannot be moved to config.ini.bad (" + strerror(errno) + ")";
        g_Log.PrintBold("red", "Error, %s", problem.c_str());
        return false;
    }
    if (!CopyFileA(kTemplate, kConfigFile, TRUE)) {
        problem = "config.ini " + what + ": kept as config.ini.bad, but " + kTemplate + " cannot be copied";
        g_Log.PrintBold("red", "Error, %s", problem.c_str());
        return false;
    }
    g_Log.PrintBold("red", "Error, config.ini %s: kept as config.ini.bad, made anew from %s", what.c_str(), kTemplate);
    return true;
}

// A config.ini that is missing, too large or cannot be read (a folder, a pipe, no permission) is replaced by the
// template; the one that was there is kept aside. On success `text` holds the file.
bool EnsureConfigFile(std::string& text, std::string& problem) {
    const std::string host = platform::HostPath(kConfigFile);
    if (platform::ReadWholeFile(host, text)) {
        if (text.size() <= kMaxConfigSize) return true;
        if (!SetAsideAndRebuild("is too large for settings", problem)) return false;
    } else if (errno == ENOENT) {
        if (!CopyFileA(kTemplate, kConfigFile, TRUE)) {
            problem = std::string("config.ini is missing and ") + kTemplate + " cannot be copied";
            g_Log.PrintBold("red", "Error, %s", problem.c_str());
            return false;
        }
        g_Log.PrintBold("red", "Error, config.ini is missing: made from %s", kTemplate);
    } else {
        const std::string what =
            errno == EFBIG ? "is too large for settings" : std::string("cannot be read (") + strerror(errno) + ")";
        if (!SetAsideAndRebuild(what, problem)) return false;
    }
    if (platform::ReadWholeFile(host, text)) return true;
    problem = std::string("config.ini cannot be read (") + strerror(errno) + ")";
    g_Log.PrintBold("red", "Error, %s", problem.c_str());
    return false;
}

bool HasControlCharacter(const std::string& text) {
    for (unsigned char c : text)
        if ((c < 0x20 && c != '\t') || c == 0x7f) return true;
    return false;
}

// What the INI reader takes as written: blank lines, comments, section headers and key=value lines of a
// section. Anything else (binary junk, text without a key, keys before any section) is no setting.
bool IsSettingsLine(const std::string& line, bool& inSection) {
    if (HasControlCharacter(line)) return false;
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == ';' || line[first] == '#') return true;
    if (line[first] == '[') {
        const size_t close = line.find(']', first);
        const bool named = close != std::string::npos && line.find_first_not_of(" \t", first + 1) < close;
        inSection = inSection || named;
        return named;
    }
    const size_t eq = line.find('=', first);
    return inSection && eq != std::string::npos && eq != first;
}

// Lines that are no settings leave config.ini; the file as it was is kept as config.ini.bad first.
void DropJunkLines(const std::string& text) {
    // A byte-order mark hides the first section from the reader; it goes, the section stays.
    const bool mark = text.compare(0, 3, "\xEF\xBB\xBF") == 0;
    std::string kept;
    int dropped = 0;
    bool inSection = false;
    for (size_t pos = mark ? 3 : 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        end = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(pos, end - pos);
        pos = end;
        std::string body = line;
        if (!body.empty() && body.back() == '\n') body.pop_back();
        if (!body.empty() && body.back() == '\r') body.pop_back();
        if (IsSettingsLine(body, inSection))
            kept += line;
        else
            ++dropped;
    }
    if (!dropped && !mark) return;
    if (!platform::WriteFileSafely(platform::HostPath(kSetAside), text)) {
        g_Log.PrintBold("red", "Error, config.ini has %d lines that are not settings; config.ini.bad cannot be written "
                        "(%s), so they stay", dropped, strerror(errno));
        return;
    }
    if (!platform::WriteFileSafely(platform::HostPath(kConfigFile), kept)) {
        g_Log.PrintBold("red", "Error, config.ini has %d lines that are not settings and cannot be written (%s)",
                        dropped, strerror(errno));
        return;
    }
    g_Log.PrintBold("red", "Error, config.ini had %d lines that are not settings%s: kept as config.ini.bad, removed",
                    dropped, mark ? " and a byte-order mark" : "");
}

// The stored size against its depth's list (Setup's Mode list): a listed
// mode stays, and so does a window of at least 640 x 480 that fits on the
// display (a display may list its own size only); anything else becomes the
// largest listed mode within it, else the first.
void FitScreenSize() {
    const int width = settings::ReadInt(settings::Id::ScreenW);
    const int height = settings::ReadInt(settings::Id::ScreenH);
    const bool windowed = settings::ReadInt(settings::Id::Fullscreen) == 0;
    const std::vector<D3DDISPLAYMODE> modes = DisplayModesOfDepth(settings::ReadInt(settings::Id::Bits));
    if (modes.empty()) return;  // nothing to fit to; the device creation will say what is wrong
    const D3DDISPLAYMODE* best = nullptr;
    long long widest = 0, highest = 0;
    for (const D3DDISPLAYMODE& m : modes) {
        const long long w = m.Width, h = m.Height;
        if (w == width && h == height) return;
        widest = std::max(widest, w);
        highest = std::max(highest, h);
        if (w <= width && h <= height && (!best || w * h > (long long)best->Width * best->Height)) best = &m;
    }
    if (windowed && width >= 640 && height >= 480 && width <= widest && height <= highest) return;
    if (!best) best = &modes.front();
    g_Log.PrintBold("red", "Error, config.ini screen size %dx%d is not a mode of the display: using %ux%u", width,
                    height, best->Width, best->Height);
    settings::WriteInt(settings::Id::ScreenW, int(best->Width));
    settings::WriteInt(settings::Id::ScreenH, int(best->Height));
}

}  // namespace

bool RepairConfig(std::string* problem) {
    std::string text, why;
    if (!EnsureConfigFile(text, why)) {
        if (problem) *problem = why;
        return false;
    }
    DropJunkLines(text);
    const std::vector<std::string> sections = Names(nullptr);
    if (sections.empty()) g_Log.PrintBold("red", "Error, %s cannot be read: config.ini is not checked", kTemplate);
    for (const std::string& section : sections)
        for (const std::string& key : Names(section.c_str())) {
            const std::string raw = Raw(kConfigFile, section, key);
            const char* why = nullptr;
            const std::string value = Checked(section, key, raw, Raw(kTemplate, section, key), &why);
            if (!why) continue;
            if (raw == kAbsent)
                g_Log.PrintBold("red", "Error, config.ini [%s] %s %s: using %s", section.c_str(), key.c_str(), why,
                                value.c_str());
            else
                g_Log.PrintBold("red", "Error, config.ini [%s] %s = %s %s: using %s", section.c_str(), key.c_str(),
                                raw.c_str(), why, value.c_str());
            WriteIniString(kConfigFile, section, key, value);
        }
    if (!sections.empty()) FitScreenSize();
    return true;
}
