// Private profiles (INI files) with the Windows rules: case-insensitive names,
// trimmed values, one pair of matching quotes stripped, the first match wins,
// values cut to the caller's buffer. Writes keep every other line as it was
// and replace the file in one step.
#include "platform.h"
#include "win32.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Line {
    std::string text;  // without its line end
    std::string eol;   // "\r\n", "\n" or "" for a last line without one
};

// The next line of data from pos on, without its line end; false past the last.
// Reading goes through views: a long file is read again for every key.
bool NextLine(std::string_view data, size_t& pos, std::string_view& line, std::string_view& eol) {
    if (pos >= data.size()) return false;
    size_t nl = data.find('\n', pos);
    if (nl == std::string_view::npos) {
        line = data.substr(pos);
        eol = std::string_view();
        pos = data.size();
        return true;
    }
    size_t end = nl;
    eol = "\n";
    if (end > pos && data[end - 1] == '\r') {
        --end;
        eol = "\r\n";
    }
    line = data.substr(pos, end - pos);
    pos = nl + 1;
    return true;
}

std::vector<Line> SplitLines(const std::string& data) {
    std::vector<Line> lines;
    size_t pos = 0;
    std::string_view line, eol;
    while (NextLine(data, pos, line, eol)) lines.push_back({std::string(line), std::string(eol)});
    return lines;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// A caller's section or key name, trimmed as the names in the file are; null stays null.
class TrimmedName {
public:
    explicit TrimmedName(LPCSTR name) : m_given(name != nullptr), m_text(name ? Trim(name) : std::string_view()) {}
    const char* Get() const { return m_given ? m_text.c_str() : nullptr; }

private:
    bool m_given;
    std::string m_text;
};

bool EqualNoCase(std::string_view a, const char* b) {
    size_t n = strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// Classifies one line: a section header (name set), a key line (key and value set) or neither.
// The views point into the line.
enum class Kind { Other, Section, Key };
Kind Classify(std::string_view raw, std::string_view& name, std::string_view& value) {
    std::string_view t = Trim(raw);
    if (t.empty() || t[0] == ';') return Kind::Other;
    if (t[0] == '[') {
        size_t close = t.find(']');
        name = Trim(t.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
        return Kind::Section;
    }
    size_t eq = t.find('=');
    if (eq == std::string_view::npos) {
        name = t;
        value = std::string_view();
    } else {
        name = Trim(t.substr(0, eq));
        value = Trim(t.substr(eq + 1));
    }
    return Kind::Key;
}

std::string_view StripQuotes(std::string_view v) {
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) return v.substr(1, v.size() - 2);
    return v;
}

// Copies a list of names as Windows does: each terminated, the list closed by a second NUL,
// cut to fit with both terminators kept. Returns the count without the final NUL.
DWORD CopyList(const std::vector<std::string>& names, LPSTR out, DWORD size) {
    if (size < 2) {
        if (size == 1) out[0] = '\0';
        return 0;
    }
    DWORD pos = 0;
    for (const std::string& n : names) {
        for (char c : n) {
            if (c == '\0') break;
            if (pos + 2 >= size) {
                out[pos] = '\0';
                out[pos + 1] = '\0';
                return size - 2;
            }
            out[pos++] = c;
        }
        if (pos + 2 >= size) {
            out[pos] = '\0';
            out[pos + 1] = '\0';
            return size - 2;
        }
        out[pos++] = '\0';
    }
    out[pos] = '\0';
    return pos;
}

DWORD CopyValue(std::string_view v, LPSTR out, DWORD size) {
    DWORD n = 0;
    while (n < v.size() && n + 1 < size && v[n] != '\0') {
        out[n] = v[n];
        ++n;
    }
    out[n] = '\0';
    return n;
}

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR sectionArg, LPCSTR keyArg, LPCSTR defaultValue, LPSTR returned, DWORD size,
                               LPCSTR fileName) {
    if (!returned || size == 0) return 0;
    // The names in the file are trimmed as they are read, so the caller's are too.
    const TrimmedName sectionName(sectionArg), keyName(keyArg);
    const char* section = sectionName.Get();
    const char* key = keyName.Get();
    std::string data;
    if (fileName) platform::ReadWholeFile(platform::HostPath(fileName), data);

    size_t pos = 0;
    std::string_view line, eol, name, value;
    if (!section) {
        std::vector<std::string> names;
        while (NextLine(data, pos, line, eol))
            if (Classify(line, name, value) == Kind::Section) names.emplace_back(name);
        return CopyList(names, returned, size);
    }

    bool inSection = false, seenSection = false;
    std::vector<std::string> keys;
    while (NextLine(data, pos, line, eol)) {
        Kind k = Classify(line, name, value);
        if (k == Kind::Section) {
            // The first section of that name is the one that counts.
            if (inSection) break;
            inSection = !seenSection && EqualNoCase(name, section);
            seenSection = seenSection || inSection;
            continue;
        }
        if (!inSection || k != Kind::Key) continue;
        if (!key) {
            keys.emplace_back(name);
        } else if (EqualNoCase(name, key)) {
            return CopyValue(StripQuotes(value), returned, size);
        }
    }
    if (!key) return CopyList(keys, returned, size);

    std::string_view def = defaultValue ? defaultValue : "";
    while (!def.empty() && def.back() == ' ') def.remove_suffix(1);
    return CopyValue(def, returned, size);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName) {
    char buf[256];
    if (GetPrivateProfileStringA(section, key, "", buf, sizeof buf, fileName) == 0) return defaultValue;
    char* end = nullptr;
    errno = 0;
    long v = strtol(buf, &end, 10);
    if (end == buf) return 0;
    if (v > INT32_MAX) v = INT32_MAX;
    if (v < INT32_MIN) v = INT32_MIN;
    return static_cast<UINT>(static_cast<INT>(v));
}

BOOL WritePrivateProfileStringA(LPCSTR sectionArg, LPCSTR keyArg, LPCSTR value, LPCSTR fileName) {
    if (!sectionArg || !fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Names are trimmed as the reader trims them, or a written value could never be read back.
    const TrimmedName sectionName(sectionArg), keyName(keyArg);
    const char* section = sectionName.Get();
    const char* key = keyName.Get();
    std::string host = platform::HostPath(fileName);
    std::string data;
    errno = 0;
    bool exists = platform::ReadWholeFile(host, data);
    // A file that is there but cannot be read must not be replaced by the one new line.
    if (!exists && errno != ENOENT && errno != ENOTDIR) {
        const int error = errno;
        platform::RecordWriteFailure(host, error);
        SetLastError(error == EACCES || error == EPERM ? ERROR_ACCESS_DENIED : ERROR_INVALID_DATA);
        return FALSE;
    }
    if (!exists && (!key || !value)) return TRUE;  // nothing to delete
    if (exists && platform::IsReadOnlyFile(host)) {
        platform::RecordWriteFailure(host, EACCES);
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }

    std::vector<Line> lines = SplitLines(data);
    std::string eol = "\r\n";
    if (!lines.empty() && lines[0].eol == "\n") eol = "\n";

    // Locate the first section of that name and, inside it, the key.
    int sectionLine = -1, sectionEnd = static_cast<int>(lines.size()), keyLine = -1, lastContent = -1;
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        std::string_view name, val;
        Kind k = Classify(lines[i].text, name, val);
        if (k == Kind::Section) {
            if (sectionLine >= 0) {
                sectionEnd = i;
                break;
            }
            if (EqualNoCase(name, section)) {
                sectionLine = i;
                lastContent = i;
            }
            continue;
        }
        if (sectionLine < 0) continue;
        if (!Trim(lines[i].text).empty()) lastContent = i;
        if (k == Kind::Key && key && keyLine < 0 && EqualNoCase(name, key)) keyLine = i;
    }

    if (!key) {
        if (sectionLine < 0) return TRUE;
        lines.erase(lines.begin() + sectionLine, lines.begin() + sectionEnd);
    } else if (!value) {
        if (keyLine < 0) return TRUE;
        lines.erase(lines.begin() + keyLine);
    } else {
        std::string entry = std::string(key) + "=" + value;
        if (keyLine >= 0) {
            lines[keyLine].text = entry;
        } else if (sectionLine >= 0) {
            if (lines[lastContent].eol.empty()) lines[lastContent].eol = eol;
            lines.insert(lines.begin() + lastContent + 1, Line{entry, eol});
        } else {
            if (!lines.empty() && lines.back().eol.empty()) lines.back().eol = eol;
            lines.push_back(Line{std::string("[") + section + "]", eol});
            lines.push_back(Line{entry, eol});
        }
    }

    std::string out;
    for (const Line& l : lines) out += l.text + l.eol;
    if (!platform::WriteFileSafely(host, out)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}
