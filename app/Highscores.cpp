#include "app/Highscores.h"

#include <platform.h>
#include <shellapi.h>
#include <win32.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/MenuText.h"
#include "engine/Log.h"
#include "engine/Settings.h"

CMenuText* g_HighscoreNames[CHighscores::kPlaces] = {};
CMenuText* g_HighscoreScores[CHighscores::kPlaces] = {};

namespace {

const size_t kMaxEncoded = 5000;

std::string ScoresFileName() { return settings::ReadText(settings::Id::LocalScoresFile); }

std::string Base64(const std::string& bytes) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t n = static_cast<uint8_t>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) n |= static_cast<uint8_t>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) n |= static_cast<uint8_t>(bytes[i + 2]);
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[n & 63] : '=';
    }
    return out;
}

}  // namespace

CHighscores::CHighscores() { Clear(); }

CHighscores::~CHighscores() {}

void CHighscores::Clear() {
    for (HighscoreEntry& entry : m_entries) {
        memset(entry.name, 0, sizeof entry.name);
        strcpy(entry.name, "Empty");
        entry.score = 0;
    }
}

void CHighscores::Load() {
    const std::string name = ScoresFileName();
    g_Log.Print("blue", "Loading highscores file: %s", name.c_str());
    const std::string path = name.empty() ? std::string() : platform::HostPath(name.c_str());
    std::string bytes;
    errno = 0;
    // Bounded and non-blocking: a FIFO or a huge file under that name cannot stall the start.
    const bool read = !path.empty() && platform::ReadWholeFile(path, bytes);
    if (!read && errno != EFBIG) {
        g_Log.Print("red", "couldn't open highscores file");
        g_Log.Print("red", "highscores is empty now");
        return;
    }
    // Any size but exactly ten records (or a record rejected below): whatever is
    // there goes aside before a save replaces it.
    m_keepAside = bytes.size() != sizeof m_entries;
    if (bytes.size() < sizeof m_entries) {
        g_Log.Print("red", "something wrong while read highscore file: %s", name.c_str());
        g_Log.Print("red", "highscores is empty now");
        Clear();
        return;
    }
    memcpy(m_entries, bytes.data(), sizeof m_entries);
    for (int i = 0; i < kPlaces; ++i) {
        HighscoreEntry& entry = m_entries[i];
        // A name without its terminator is not a name the game wrote.
        if (memchr(entry.name, '\0', sizeof entry.name)) continue;
        g_Log.Print("red", "highscores place %d has a name without its end: made Empty", i + 1);
        memset(entry.name, 0, sizeof entry.name);
        strcpy(entry.name, "Empty");
        entry.score = 0;
        m_keepAside = true;  // the player's file as it was goes aside before a save replaces it
    }
    g_Log.Print("green", "Loading highscores file complete");
}

bool CHighscores::KeepBadFileAside(const std::string& target) {
    if (!m_keepAside) return true;
    const std::string aside = target + ".bad";
    std::string bytes;
    bool kept = false;
    if (!platform::HostExists(target))
        kept = true;  // gone meanwhile: nothing to keep
    else if (platform::ReadWholeFile(target, bytes))
        kept = platform::WriteFileSafely(aside, bytes);
    else
        kept = rename(target.c_str(), aside.c_str()) == 0;  // too large to copy: moved whole
    if (!kept) {
        g_Log.Print("red", "couldn't keep the damaged highscores file as %s: not overwritten", aside.c_str());
        return false;
    }
    if (platform::HostExists(aside)) g_Log.Print("red", "the damaged highscores file is kept as %s", aside.c_str());
    m_keepAside = false;
    return true;
}

void CHighscores::Save() {
    const std::string name = ScoresFileName();
    g_Log.Print("blue", "Writing highscores file: %s", name.c_str());
    const std::string target = name.empty() ? std::string() : platform::HostPath(name.c_str());
    if (target.empty() || !KeepBadFileAside(target)) {
        g_Log.Print("red", "couldn't open/create highscores file");
        g_Log.Print("red", "highscores will be erased !");
        return;
    }
    // Written whole to a temporary and renamed: a failed save never costs the old file.
    const std::string bytes(reinterpret_cast<const char*>(m_entries), sizeof m_entries);
    if (!platform::WriteFileSafely(target, bytes)) {
        const int error = errno;
        const bool notCreated = error == EACCES || error == EPERM || error == EROFS || error == ENOENT ||
                                error == ENOTDIR || error == EISDIR;
        if (notCreated)
            g_Log.Print("red", "couldn't open/create highscores file");
        else
            g_Log.Print("red", "something wrong while write highscore file: %s", name.c_str());
        g_Log.Print("red", "highscores will be erased !");
        return;
    }
    g_Log.Print("green", "Writing highscores file complete");
}

int CHighscores::AddScore(int32_t score) {
    int place = -1;
    for (int i = 0; i < kPlaces; ++i) {
        if (m_entries[i].score <= score) {
            place = i;
            break;
        }
    }
    if (place < 0) return -1;
    for (int i = kPlaces - 1; i > place; --i) m_entries[i] = m_entries[i - 1];
    memset(m_entries[place].name, 0, sizeof m_entries[place].name);
    m_entries[place].score = score;
    return place;
}

std::string CHighscores::EncodeOnlineData() const {
    std::string data;
    for (const HighscoreEntry& entry : m_entries) {
        data += std::string(entry.name, strnlen(entry.name, sizeof entry.name));
        data += '\n';
        data += std::to_string(entry.score);
        data += '\n';
    }
    for (char& c : data) c = static_cast<char>(static_cast<uint8_t>(c) - 0x30);
    return Base64(data);
}

void CHighscores::GotoOnlineScores() {
    Load();
    const std::string script = settings::ReadText(settings::Id::OnlineScoresScript);
    const std::string html = settings::ReadText(settings::Id::OnlineScoresHtml);
    // No score server is run for this game; without an address there is nothing to post to.
    if (script.empty()) {
        g_Log.Print("red", "online scores: [highscores] online_scores_script is not set");
        return;
    }
    const std::string encoded = EncodeOnlineData();
    if (encoded.size() > kMaxEncoded) {
        MessageBoxA(nullptr, "Can't process high scores.", "Error in CHighscores::GotoOnlineScores(...)",
                    MB_OK | MB_ICONSTOP);
        return;
    }
    std::string page = "<body style=\"display:none\" onload=\"document.forms(0).submit();\">\n<form action=\"";
    page += script;
    page += "\" method=\"POST\">\n<input type=hidden name=Data value = \"";
    page += encoded;
    page += "\">\n</form></body>";
    std::string crlf;
    for (char c : page) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    if (html.empty() || !platform::WriteFileSafely(platform::HostPath(html.c_str()), crlf)) {
        MessageBoxA(nullptr, "Can't process high scores.", "Error(...)", MB_OK | MB_ICONSTOP);
        return;
    }
    ShellExecuteA(nullptr, "open", html.c_str(), nullptr, nullptr, 0);
}

void RefreshHighscoresPage() {
    CHighscores* table = CHighscores::GetInstance();
    for (int i = 0; i < CHighscores::kPlaces; ++i) {
        // Control characters stay in the table (and the file) but are not drawn.
        std::string shown;
        for (const char* c = table->m_entries[i].name; *c; ++c)
            if (static_cast<unsigned char>(*c) >= 0x20 && *c != 0x7f) shown += *c;
        if (g_HighscoreNames[i]) g_HighscoreNames[i]->SetText(shown.c_str());
        if (g_HighscoreScores[i]) g_HighscoreScores[i]->SetText(std::to_string(table->m_entries[i].score).c_str());
    }
}
