#pragma once

// Finds the installed themes and keeps one of them loaded: its Lua state, its
// background hook, its textures, sounds and music.
#include <map>
#include <string>

#include "engine/Singleton.h"

struct lua_State;
class CTextureEntry;
struct ThemeHook;  // holds the script's function; kept out of this header for build speed

extern std::string g_CurrentThemeName;
extern bool g_bRandomTheme;
extern bool g_bUserPlaylist;

class CThemeManager : public CSingleton<CThemeManager> {
public:
    CThemeManager();
    ~CThemeManager() override;

    void ScanThemes();
    // key is a display name, or a folder name with byFolder.
    bool LoadTheme(const std::string& key, bool byFolder);
    bool LoadFirstTheme();
    void UnloadTheme();
    void DrawBackground();
    // False once no hook is left to paint the frame, so the caller clears it.
    bool HasBackground() const { return m_backgroundHook != nullptr; }
    lua_State* GetState() const { return m_luaState; }

    std::map<std::string, std::string> m_themeFolders;   // display name -> folder
    std::map<std::string, CTextureEntry*> m_themeLogos;  // display name -> logo (may have no texture)
    ThemeHook* m_backgroundHook;
    lua_State* m_luaState;

private:
    bool m_drawReported;
    std::string m_themeFolder;  // of the loaded theme, where its player keeps its place
};

// Calls for the application shell.
// Start-up, after the sound engine: reads the random flag and creates the manager.
void StartThemes();
// Start-up, late: picks the configured theme unless chosen at random, and loads it.
bool LoadStartTheme();
// Per frame, after the frame has begun; false when nothing painted the background.
bool DrawThemeBackground();
// Shutdown, right after the animated objects.
void DeleteThemeManager();
