#pragma once

// The functions and classes a theme's script.txt sees in its own state, and the
// handle tables its loads fill. g_ThemeTextures lives with the texture manager.
#include <win32.h>

#include <cstddef>
#include <vector>

struct lua_State;

// Sample and stream handles a theme's script loaded; a failed load keeps a 0.
extern std::vector<DWORD> g_ThemeSounds;
extern std::vector<DWORD> g_ThemeStreams;

// What one theme may hold at once. Each load takes a slot until the theme is
// unloaded, so a script that loads in a loop or every frame would otherwise
// hold memory without end; past these a load is refused and logged.
constexpr size_t kMaxThemeTextures = 1024;
constexpr size_t kMaxThemeSounds = 64;
constexpr size_t kMaxThemeStreams = 64;

// Registers the theme state's types and ext_ functions, in the scripts' order.
void RegisterThemeScriptInterface(lua_State* state);
