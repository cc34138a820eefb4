#include "app/ThemeManager.h"

#include <crt.h>
#include <win32.h>

#include <cstdio>
#include <cstring>

#include "app/ThemeScript.h"
#include "audio/MusicPlayer.h"
#include "audio/SoundEngine.h"
#include "engine/ColorScheme.h"
#include "engine/Ini.h"
#include "engine/Log.h"
#include "engine/Script.h"
#include "engine/Settings.h"
#include "engine/TextureManager.h"

std::string g_CurrentThemeName;
bool g_bRandomTheme = false;
bool g_bUserPlaylist = false;

struct ThemeHook {
    luabind::object function;
};

namespace {

const size_t kMaxPath = 260;

std::string CurrentDirectory() {
    char buffer[kMaxPath] = "";
    DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer) : std::string(".");
}

// Puts the texture folder and the current directory back however the caller leaves.
// The texture folder only when asked: a theme load leaves it on the program folder.
class FolderGuard {
public:
    explicit FolderGuard(bool textures) : m_directory(CurrentDirectory()) {
        if (textures) m_texturePath = CTextureManager::GetInstance()->GetTexturePath();
        m_restoreTextures = textures;
    }
    ~FolderGuard() {
        if (m_restoreTextures) CTextureManager::GetInstance()->SetTexturePath(m_texturePath.c_str());
        SetCurrentDirectoryA(m_directory.c_str());
    }
    const std::string& Directory() const { return m_directory; }

private:
    std::string m_directory;
    std::string m_texturePath;
    bool m_restoreTextures;
};

}  // namespace

CThemeManager::CThemeManager() : m_backgroundHook(nullptr), m_luaState(nullptr), m_drawReported(false) {
    std::vector<CTextureEntry*>().swap(g_ThemeTextures);
    std::vector<DWORD>().swap(g_ThemeSounds);
    std::vector<DWORD>().swap(g_ThemeStreams);
    ScanThemes();
}

CThemeManager::~CThemeManager() {
    UnloadTheme();
    // Logos go back to the texture manager; one that failed may have no entry.
    if (CTextureManager* textures = CTextureManager::GetInstancePtr())
        for (auto& logo : m_themeLogos)
            if (logo.second) textures->RemoveTexture(logo.second);
    m_themeLogos.clear();
    m_themeFolders.clear();
}

void CThemeManager::ScanThemes() {
    m_themeFolders.clear();
    m_themeLogos.clear();
    CTextureManager* textures = CTextureManager::GetInstance();
    {
        FolderGuard guard(true);
        g_Log.PrintBold("blue", "Scan for themes:");
        if (SetCurrentDirectoryA("themes")) {
            textures->SetTexturePath(".");
            WIN32_FIND_DATAA data;
            HANDLE find = FindFirstFileA("*", &data);
            if (find != INVALID_HANDLE_VALUE) {
                do {
                    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || data.cFileName[0] == '.') continue;
                    const std::string folder = data.cFileName;
                    const std::string name = ReadIniString(folder + "\\info.ini", "general", "name");
                    if (name.empty()) continue;
                    g_Log.PrintBold("darkblue", "-= %s =-", name.c_str());
                    if (m_themeFolders.count(name)) continue;  // the first folder with a name keeps it
                    m_themeFolders.emplace(name, folder);
                    CTextureEntry* logo = nullptr;
                    textures->GetTexture(&logo, (folder + "\\logo.png").c_str(), false, false, 0.0f);
                    m_themeLogos.emplace(name, logo);
                } while (FindNextFileA(find, &data));
                FindClose(find);
            }
        }
    }

    if (!g_bRandomTheme || m_themeFolders.empty()) return;
    crt_srand(GetTickCount());
    const int count = static_cast<int>(m_themeFolders.size());
    for (;;) {
        auto chosen = m_themeFolders.begin();
        std::advance(chosen, crt_rand() % count);
        g_CurrentThemeName = chosen->first;
        if (count == 1 || chosen->second != "simple") break;
    }
}

bool CThemeManager::LoadTheme(const std::string& key, bool byFolder) {
    // A theme still loaded would leak its state and tables.
    if (m_luaState || m_backgroundHook) UnloadTheme();
    g_CurrentScheme = g_DefaultScheme;

    std::string folder = key;
    if (!byFolder) {
        auto found = m_themeFolders.find(key);
        if (found == m_themeFolders.end()) {
            g_Log.PrintBold("red", "couldn't find theme: (%s)", key.c_str());
            return LoadFirstTheme();
        }
        folder = found->second;
    }
    g_Log.PrintBold("darkblue", "loading from theme folder: (%s)", folder.c_str());

    CTextureManager* textures = CTextureManager::GetInstance();
    CSoundEngine* sound = CSoundEngine::GetInstance();
    if (!g_bUserPlaylist && sound->m_musicPlayer) {
        // A player left from elsewhere keeps its place where it was made, not in this theme.
        delete sound->m_musicPlayer;
        sound->m_musicPlayer = nullptr;
    }
    FolderGuard guard(false);
    const std::string program = guard.Directory();
    const std::string themePath = program + "\\themes\\" + folder;
    if (themePath.size() >= kMaxPath) {
        g_Log.PrintBold("red", "theme path too long: (%s)", themePath.c_str());
        return false;
    }
    if (!SetCurrentDirectoryA(themePath.c_str()))
        g_Log.PrintBold("red", "couldn't enter theme folder: (%s)", themePath.c_str());
    textures->SetTexturePath(themePath.c_str());
    sound->SetAudioPath(themePath.c_str());

    m_luaState = script::OpenState(script::Libraries::BaseMath, script::Budget::Theme, program);
    if (m_luaState) RegisterThemeScriptInterface(m_luaState);
    sound->BeginSoundList();

    if (m_luaState && script::RunFile(m_luaState, themePath + "\\script.txt")) {
        // A failed init leaves the theme loaded but without a background.
        if (script::CallVoid(m_luaState, script::GetGlobal(m_luaState, "game_BackgroundInit"), "game_BackgroundInit",
                             nullptr))
            m_backgroundHook = new ThemeHook{script::GetGlobal(m_luaState, "game_BackgroundDraw")};
    }
    m_drawReported = false;
    m_themeFolder = folder;

    if (!g_bUserPlaylist) {
        sound->SetAudioPath(".");
        sound->m_musicPlayer = new CMusicPlayer("playlist.ini");
        sound->m_musicPlayer->LoadPlaylist();
        sound->m_musicPlayer->Play();
    }

    textures->SetTexturePath(program.c_str());
    sound->SetAudioPath(program.c_str());
    SetCurrentDirectoryA(program.c_str());
    sound->EndSoundList();
    g_Log.PrintBold("green", "loading theme complete");
    return true;
}

bool CThemeManager::LoadFirstTheme() {
    if (m_themeFolders.empty()) return false;
    g_CurrentThemeName = m_themeFolders.begin()->first;
    const std::string folder = m_themeFolders.begin()->second;
    return LoadTheme(folder, true);
}

void CThemeManager::UnloadTheme() {
    g_Log.PrintBold("darkblue", "unloading current theme");
    if (CTextureManager* textures = CTextureManager::GetInstancePtr())
        for (CTextureEntry* entry : g_ThemeTextures)
            if (entry) textures->RemoveTexture(entry);
    std::vector<CTextureEntry*>().swap(g_ThemeTextures);

    if (CSoundEngine* sound = CSoundEngine::GetInstancePtr()) {
        if (!g_bUserPlaylist && sound->m_musicPlayer) {
            // The player writes its position into the theme's own playlist.ini.
            FolderGuard guard(false);
            if (!m_themeFolder.empty())
                SetCurrentDirectoryA((guard.Directory() + "\\themes\\" + m_themeFolder).c_str());
            delete sound->m_musicPlayer;
            sound->m_musicPlayer = nullptr;
        }
        sound->UnloadAll();
    }
    std::vector<DWORD>().swap(g_ThemeSounds);
    std::vector<DWORD>().swap(g_ThemeStreams);

    delete m_backgroundHook;  // before the state it refers into
    m_backgroundHook = nullptr;
    script::CloseState(m_luaState);
    m_themeFolder.clear();
    g_Log.PrintBold("darkgreen", "unloading theme complete");
}

void CThemeManager::DrawBackground() {
    if (!m_backgroundHook) return;
    // A missing or failing hook is reported once and dropped; the frame is then cleared by the caller.
    if (!script::CallVoid(m_luaState, m_backgroundHook->function, "game_BackgroundDraw", &m_drawReported)) {
        delete m_backgroundHook;
        m_backgroundHook = nullptr;
    }
}

void StartThemes() {
    g_bRandomTheme = settings::ReadInt(settings::Id::RandomTheme) != 0;
    CThemeManager::GetInstance();
}

bool LoadStartTheme() {
    CThemeManager* manager = CThemeManager::GetInstance();
    if (!g_bRandomTheme) g_CurrentThemeName = settings::ReadText(settings::Id::Theme);
    return manager->LoadTheme(g_CurrentThemeName, false);
}

bool DrawThemeBackground() {
    CThemeManager* manager = CThemeManager::GetInstancePtr();
    if (!manager) return false;
    manager->DrawBackground();
    return manager->HasBackground();
}

void DeleteThemeManager() { delete CThemeManager::GetInstancePtr(); }
