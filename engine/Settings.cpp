#include "engine/Settings.h"

#include <win32.h>

#include <climits>
#include <cstddef>

#include "engine/Ini.h"

namespace settings {

const char kConfigFile[] = "config.ini";

namespace {

constexpr double kNoLow = INT_MIN, kNoHigh = INT_MAX;

// In the order of Id. Who reads a setting is named where the row does not say.
constexpr Setting kTable[] = {
    // Launcher window texts and files (launcher/Preloader.cpp); the title is also the window's and the bug report's.
    {Id::Title, "preloader", "title", Kind::Text, 0, 0},  // g_WindowTitle
    {Id::LogoFile, "preloader", "logo_file", Kind::Text, 0, 0},
    {Id::StartButton, "preloader", "start_button", Kind::Text, 0, 0},
    {Id::ThemesButton, "preloader", "themes_button", Kind::Text, 0, 0},
    {Id::SetupButton, "preloader", "setup_button", Kind::Text, 0, 0},
    {Id::ScoresButton, "preloader", "scores_button", Kind::Text, 0, 0},
    {Id::WebButton, "preloader", "web_button", Kind::Text, 0, 0},
    {Id::HistoryButton, "preloader", "history_button", Kind::Text, 0, 0},
    {Id::TellButton, "preloader", "tell_button", Kind::Text, 0, 0},
    {Id::BugReportButton, "preloader", "bug_report_button", Kind::Text, 0, 0},
    {Id::EnableOnlineHighscores, "preloader", "enable_online_highscores", Kind::Int, kNoLow, kNoHigh},
    {Id::WebFile, "preloader", "web_file", Kind::Text, 0, 0},
    {Id::HistoryFile, "preloader", "history_file", Kind::Text, 0, 0},

    {Id::Version, "game", "version", Kind::Text, 0, 0},              // g_VersionText
    {Id::ResCount, "game", "res_count", Kind::Int, 0, kNoHigh},      // g_ResCount; written after loading
    {Id::GameType, "game", "game_type", Kind::Int, 0, 1},            // g_GameType
    {Id::Difficulty, "game", "difficulty", Kind::Int, 0, 3},         // g_Difficulty
    {Id::FallType, "game", "fall_type", Kind::Int, 0, 1},            // written from g_FallType, never read
    {Id::FrameType, "game", "frame_type", Kind::Int, 0, 1},          // g_FrameType
    {Id::FrameOpacity, "game", "frame_opacity", Kind::Float, 0, 1},  // g_FrameOpacity
    {Id::Theme, "game", "theme", Kind::Text, 0, 0},                  // g_CurrentThemeName

    // The graphics engine's parameters; the repair fits the size to a display mode.
    {Id::ScreenW, "graphics", "screen_w", Kind::Int, kNoLow, kNoHigh},
    {Id::ScreenH, "graphics", "screen_h", Kind::Int, kNoLow, kNoHigh},
    {Id::Fullscreen, "graphics", "fullscreen", Kind::Int, 0, 1},
    {Id::Bits, "graphics", "bits", Kind::Depth, 16, 32},
    {Id::FrameDetails, "graphics", "frame_details", Kind::Int, 0, 2},    // g_FrameDetails
    {Id::BlocksDetails, "graphics", "blocks_details", Kind::Int, 0, 2},  // g_BlocksDetails

    // CSoundEngine::m_volumes, written back by its destructor.
    {Id::BackgroundVolume, "sound", "background_volume", Kind::Float, 0, 1},
    {Id::GameVolume, "sound", "game_volume", Kind::Float, 0, 1},
    {Id::MusicVolume, "sound", "music_volume", Kind::Float, 0, 1},

    // The launcher's themes dialog (launcher/ThemesDialog.cpp).
    {Id::ThemesTitle, "preloader_themes", "title", Kind::Text, 0, 0},
    {Id::ChooseThemeText, "preloader_themes", "choose_theme_text", Kind::Text, 0, 0},
    {Id::ScreenshotText, "preloader_themes", "screenshot_text", Kind::Text, 0, 0},
    {Id::AddButton, "preloader_themes", "add_button", Kind::Text, 0, 0},
    {Id::RemoveButton, "preloader_themes", "remove_button", Kind::Text, 0, 0},
    {Id::DownloadButton, "preloader_themes", "download_button", Kind::Text, 0, 0},
    {Id::RandomButton, "preloader_themes", "random_button", Kind::Text, 0, 0},
    {Id::CloseButton, "preloader_themes", "close_button", Kind::Text, 0, 0},
    {Id::AreYouSure, "preloader_themes", "are_you_sure", Kind::Text, 0, 0},
    {Id::DownloadUrl, "preloader_themes", "download_url", Kind::Text, 0, 0},
    {Id::RandomTheme, "preloader_themes", "random", Kind::Int, kNoLow, kNoHigh},  // g_bRandomTheme

    // The launcher's bug report (launcher/BugReport.cpp).
    {Id::BugReportTitle, "preloader_bug_report", "title", Kind::Text, 0, 0},
    {Id::ProblemStatic, "preloader_bug_report", "problem_static", Kind::Text, 0, 0},
    {Id::SendButton, "preloader_bug_report", "send_button", Kind::Text, 0, 0},
    {Id::CancelButton, "preloader_bug_report", "cancel_button", Kind::Text, 0, 0},
    {Id::BugReportMail, "preloader_bug_report", "mail", Kind::Text, 0, 0},

    // CHighscores (app/Highscores.cpp).
    {Id::LocalScoresFile, "highscores", "local_scores_file", Kind::Text, 0, 0},
    {Id::OnlineScoresHtml, "highscores", "online_scores_html", Kind::Text, 0, 0},
    {Id::OnlineScoresScript, "highscores", "online_scores_script", Kind::Text, 0, 0},

    // tell.exe's invitation (launcher/tell/Tell.cpp).
    {Id::TellSubject, "tell", "subject", Kind::Text, 0, 0},
    {Id::TellBody, "tell", "body", Kind::Text, 0, 0},
};

constexpr bool InIdOrder() {
    for (size_t i = 0; i < sizeof kTable / sizeof kTable[0]; ++i)
        if (static_cast<size_t>(kTable[i].id) != i) return false;
    return sizeof kTable / sizeof kTable[0] == static_cast<size_t>(Id::Count);
}
static_assert(InIdOrder(), "one row per Id, in the order of Id");

}  // namespace

const Setting& Get(Id id) { return kTable[static_cast<size_t>(id)]; }

const Setting* Find(const std::string& section, const std::string& key) {
    for (const Setting& s : kTable)
        if (_stricmp(s.section, section.c_str()) == 0 && _stricmp(s.key, key.c_str()) == 0) return &s;
    return nullptr;
}

std::string ReadText(Id id, const std::string& file) { return ReadIniString(file, Get(id).section, Get(id).key); }
int ReadInt(Id id, const std::string& file) { return ReadIniInt(file, Get(id).section, Get(id).key); }
float ReadFloat(Id id, const std::string& file) { return ReadIniFloat(file, Get(id).section, Get(id).key); }

void WriteText(Id id, const std::string& value, const std::string& file) {
    WriteIniString(file, Get(id).section, Get(id).key, value);
}
void WriteInt(Id id, int value, const std::string& file) { WriteIniInt(file, Get(id).section, Get(id).key, value); }
void WriteFloat(Id id, float value, const std::string& file) {
    WriteIniFloat(file, Get(id).section, Get(id).key, value);
}

}  // namespace settings
