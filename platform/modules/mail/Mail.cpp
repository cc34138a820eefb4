// Simple MAPI over the desktop: MAPISendMail writes one RFC 5322 message as
// bugreport.eml in the current (program) folder and hands the same mail to
// xdg-email, which opens the player's mail composer. KOLVAR_MAIL_LOG=<file>
// records the calls there instead of starting xdg-email.
#include "mapi.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

#define MAPI_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

LHANDLE g_NextSession = 1;
std::vector<LHANDLE> g_Sessions;

// Code page 1252 -> Unicode; the five undefined bytes keep their value.
uint32_t FromCp1252(unsigned char c) {
    static const uint16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    return c >= 0x80 && c <= 0x9F ? kHigh[c - 0x80] : c;
}

std::string Utf8(const char* text) {
    std::string out;
    for (const char* p = text ? text : ""; *p; ++p) {
        uint32_t u = FromCp1252(static_cast<unsigned char>(*p));
        if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (u >> 12));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}

std::string HostPath(const char* windowsPath) {
    std::string p = windowsPath ? windowsPath : "";
    std::replace(p.begin(), p.end(), '\\', '/');
    if (p.size() >= 2 && p[1] == ':') p.erase(0, 2);
    return p;
}

std::string Base64(const std::string& data, size_t lineLength) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t column = 0;
    for (size_t i = 0; i < data.size(); i += 3) {
        uint32_t v = static_cast<unsigned char>(data[i]) << 16;
        if (i + 1 < data.size()) v |= static_cast<unsigned char>(data[i + 1]) << 8;
        if (i + 2 < data.size()) v |= static_cast<unsigned char>(data[i + 2]);
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        out += i + 1 < data.size() ? kDigits[(v >> 6) & 63] : '=';
        out += i + 2 < data.size() ? kDigits[v & 63] : '=';
        column += 4;
        if (lineLength && column >= lineLength && i + 3 < data.size()) {
            out += "\r\n";
            column = 0;
        }
    }
    return out;
}

bool IsPlainAscii(const std::string& s) {
    for (unsigned char c : s)
        if (c < 0x20 || c > 0x7E || c == '"' || c == '\\') return false;
    return true;
}

// A header value: plain when it is printable ASCII, else an encoded word.
std::string HeaderText(const std::string& utf8) {
    if (IsPlainAscii(utf8)) return utf8;
    return "=?UTF-8?B?" + Base64(utf8, 0) + "?=";
}

std::string MimeType(const std::string& fileName) {
    static const struct {
        const char* extension;
        const char* type;
    } kTypes[] = {{".txt", "text/plain"}, {".log", "text/plain"}, {".ini", "text/plain"},
                  {".html", "text/html"}, {".htm", "text/html"},   {".png", "image/png"},
                  {".jpg", "image/jpeg"}, {".jpeg", "image/jpeg"}, {".bmp", "image/bmp"},
                  {".zip", "application/zip"}, {".kvr", "application/zip"}};
    size_t dot = fileName.rfind('.');
    if (dot != std::string::npos) {
        std::string ext = fileName.substr(dot);
        for (char& c : ext) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        for (const auto& t : kTypes)
            if (ext == t.extension) return t.type;
    }
    return "application/octet-stream";
}

// The file name parameter of a part, RFC 2231 style when it is not plain ASCII.
std::string FileNameParameter(const std::string& utf8) {
    if (IsPlainAscii(utf8)) return "filename=\"" + utf8 + "\"";
    std::string out = "filename*=UTF-8''";
    for (unsigned char c : utf8) {
        if (isalnum(c) || c == '.' || c == '-' || c == '_') {
            out += static_cast<char>(c);
        } else {
            char hex[4];
            snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

std::string WithCrlf(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') continue;
        if (text[i] == '\n') out += '\r';
        out += text[i];
    }
    return out;
}

bool ReadWhole(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    out = s.str();
    return !in.bad();
}

struct Attachment {
    std::string path;  // host path
    std::string name;  // UTF-8
    std::string data;
};

std::string Address(const MapiRecipDesc& r) {
    std::string a = r.lpszAddress ? r.lpszAddress : (r.lpszName ? r.lpszName : "");
    if (strncasecmp(a.c_str(), "SMTP:", 5) == 0) a.erase(0, 5);
    return a;
}

std::string Compose(const MapiMessage& m, const std::vector<Attachment>& files) {
    std::ostringstream out;
    char date[64];
    time_t now = time(nullptr);
    struct tm t;
    localtime_r(&now, &t);
    strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S %z", &t);
    out << "Date: " << date << "\r\n";
    for (ULONG i = 0; i < m.nRecipCount; ++i) {
        const MapiRecipDesc& r = m.lpRecips[i];
        const char* field = r.ulRecipClass == MAPI_CC ? "Cc" : r.ulRecipClass == MAPI_BCC ? "Bcc" : "To";
        std::string address = Address(r);
        std::string name = Utf8(r.lpszName);
        out << field << ": ";
        if (!name.empty() && name != address) out << HeaderText(name) << " ";
        out << "<" << address << ">\r\n";
    }
    out << "Subject: " << HeaderText(Utf8(m.lpszSubject)) << "\r\n";
    out << "MIME-Version: 1.0\r\n";
    std::string body = Base64(WithCrlf(Utf8(m.lpszNoteText)), 76);
    const std::string kTextHeaders =
        "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: base64\r\n\r\n";
    if (files.empty()) {
        out << kTextHeaders << body << "\r\n";
        return out.str();
    }
    const std::string boundary = "=_kolvar_report_" + std::to_string(now) + "_" + std::to_string(getpid());
    out << "Content-Type: multipart/mixed; boundary=\"" << boundary << "\"\r\n\r\n";
    out << "--" << boundary << "\r\n" << kTextHeaders << body << "\r\n";
    for (const Attachment& a : files) {
        out << "--" << boundary << "\r\n";
        out << "Content-Type: " << MimeType(a.name) << "\r\n";
        out << "Content-Transfer-Encoding: base64\r\n";
        out << "Content-Disposition: attachment; " << FileNameParameter(a.name) << "\r\n\r\n";
        out << Base64(a.data, 76) << "\r\n";
    }
    out << "--" << boundary << "--\r\n";
    return out.str();
}

bool WriteThroughTemp(const std::string& path, const std::string& contents) {
    std::string temp = path + ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << contents;
        out.close();
        if (!out) {
            unlink(temp.c_str());
            return false;
        }
    }
    if (rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    return true;
}

void Record(const std::string& line) {
    const char* log = getenv("KOLVAR_MAIL_LOG");
    if (!log || !*log) return;
    std::ofstream out(log, std::ios::app);
    out << line << "\n";
}

bool Recording() {
    const char* log = getenv("KOLVAR_MAIL_LOG");
    return log && *log;
}

// xdg-email opens the composer with everything filled in; 0 from it is success.
bool StartComposer(const MapiMessage& m, const std::vector<Attachment>& files) {
    std::vector<std::string> args = {"xdg-email", "--utf8", "--subject", Utf8(m.lpszSubject), "--body",
                                     Utf8(m.lpszNoteText)};
    for (const Attachment& a : files) {
        args.push_back("--attach");
        args.push_back(a.path);
    }
    for (ULONG i = 0; i < m.nRecipCount; ++i)
        if (m.lpRecips[i].ulRecipClass == MAPI_TO) args.push_back(Address(m.lpRecips[i]));
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "xdg-email", nullptr, nullptr, argv.data(), environ) != 0) {
        fprintf(stderr, "mapi32: cannot start xdg-email\n");
        return false;
    }
    int status = 0;
    pid_t r;
    do {
        r = waitpid(pid, &status, 0);
    } while (r < 0 && errno == EINTR);
    return r == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

MAPI_EXPORT ULONG WINAPI MAPILogon(ULONG_PTR, LPSTR, LPSTR, FLAGS flags, ULONG, LPLHANDLE session) {
    if (!session) return MAPI_E_FAILURE;
    *session = g_NextSession++;
    g_Sessions.push_back(*session);
    char line[64];
    snprintf(line, sizeof line, "MAPILogon flags=0x%X session=%u", flags, *session);
    Record(line);
    return SUCCESS_SUCCESS;
}

MAPI_EXPORT ULONG WINAPI MAPISendMail(LHANDLE session, ULONG_PTR, lpMapiMessage message, FLAGS flags, ULONG) {
    if (!message || (message->nRecipCount && !message->lpRecips) || (message->nFileCount && !message->lpFiles))
        return MAPI_E_FAILURE;
    if (session && std::find(g_Sessions.begin(), g_Sessions.end(), session) == g_Sessions.end())
        return MAPI_E_INVALID_SESSION;

    std::vector<Attachment> files;
    for (ULONG i = 0; i < message->nFileCount; ++i) {
        const MapiFileDesc& f = message->lpFiles[i];
        Attachment a;
        a.path = HostPath(f.lpszPathName);
        if (f.lpszFileName && *f.lpszFileName) {
            a.name = Utf8(f.lpszFileName);
        } else {
            size_t slash = a.path.rfind('/');
            a.name = Utf8(slash == std::string::npos ? a.path.c_str() : a.path.c_str() + slash + 1);
        }
        if (!ReadWhole(a.path, a.data)) {
            fprintf(stderr, "mapi32: cannot read attachment %s\n", a.path.c_str());
            return MAPI_E_ATTACHMENT_NOT_FOUND;
        }
        files.push_back(a);
    }

    std::ostringstream record;
    record << "MAPISendMail session=" << session << " flags=0x" << std::hex << flags << std::dec
           << " subject=" << Utf8(message->lpszSubject) << " files=" << files.size();
    for (ULONG i = 0; i < message->nRecipCount; ++i)
        record << "\nrecipient class=" << message->lpRecips[i].ulRecipClass
               << " name=" << Utf8(message->lpRecips[i].lpszName)
               << " address=" << Utf8(message->lpRecips[i].lpszAddress);
    for (const Attachment& a : files) record << "\nattach " << a.path;
    Record(record.str());

    if (!WriteThroughTemp("bugreport.eml", Compose(*message, files)))
        fprintf(stderr, "mapi32: cannot write bugreport.eml\n");
    if (Recording()) return SUCCESS_SUCCESS;
    return StartComposer(*message, files) ? SUCCESS_SUCCESS : MAPI_E_FAILURE;
}

MAPI_EXPORT ULONG WINAPI MAPILogoff(LHANDLE session, ULONG_PTR, FLAGS, ULONG) {
    auto it = std::find(g_Sessions.begin(), g_Sessions.end(), session);
    if (it == g_Sessions.end()) return MAPI_E_INVALID_SESSION;
    g_Sessions.erase(it);
    Record("MAPILogoff session=" + std::to_string(session));
    return SUCCESS_SUCCESS;
}
