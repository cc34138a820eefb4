// config.ini's settings, each section and key named here only. The defaults are
// templates\config.ini's values: the repair takes a missing or unusable value from there.
#pragma once

#include <string>

namespace settings {

extern const char kConfigFile[];  // "config.ini"

// Depth: a colour depth, 16 or 32.
enum class Kind { Text, Int, Float, Depth };

enum class Id {
    // [preloader]
    Title,
    LogoFile,
    StartButton,
    ThemesButton,
    SetupButton,
    ScoresButton,
    WebButton,
    HistoryButton,
    TellButton,
    BugReportButton,
    EnableOnlineHighscores,
    WebFile,
    HistoryFile,
    // [game]
    Version,
    ResCount,
    GameType,
    Difficulty,
    FallType,
    FrameType,
    FrameOpacity,
    Theme,
    // [graphics]
    ScreenW,
    ScreenH,
    Fullscreen,
    Bits,
    FrameDetails,
    BlocksDetails,
    // [sound]
    BackgroundVolume,
    GameVolume,
    MusicVolume,
    // [preloader_themes]
    ThemesTitle,
    ChooseThemeText,
    ScreenshotText,
    AddButton,
    RemoveButton,
    DownloadButton,
    RandomButton,
    CloseButton,
    AreYouSure,
    DownloadUrl,
    RandomTheme,
    // [preloader_bug_report]
    BugReportTitle,
    ProblemStatic,
    SendButton,
    CancelButton,
    BugReportMail,
    // [highscores]
    LocalScoresFile,
    OnlineScoresHtml,
    OnlineScoresScript,
    // [tell]
    TellSubject,
    TellBody,
    Count
};

struct Setting {
    Id id;
    const char* section;
    const char* key;
    Kind kind;
    // The numbers the game can use, ends included; unused for text.
    double low, high;
};

const Setting& Get(Id id);
// The setting of that section and key, matched without case as the INI reader
// does; null for a key the game does not read.
const Setting* Find(const std::string& section, const std::string& key);

// Through engine/Ini.h, so reads and writes are those of the INI functions.
std::string ReadText(Id id, const std::string& file = kConfigFile);
int ReadInt(Id id, const std::string& file = kConfigFile);
float ReadFloat(Id id, const std::string& file = kConfigFile);
void WriteText(Id id, const std::string& value, const std::string& file = kConfigFile);
void WriteInt(Id id, int value, const std::string& file = kConfigFile);
void WriteFloat(Id id, float value, const std::string& file = kConfigFile);

}  // namespace settings
