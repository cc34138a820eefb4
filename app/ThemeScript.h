#pragma once

// The functions and classes a theme's script.txt sees in its own state, and the
// handle tables its loads fill. g_ThemeTextures lives with the texture manager.
#include <win32.h>

#include <vector>

struct lua_State;

// Sample and stream handles a theme's script loaded; a failed load keeps a 0.
extern std::vector<DWORD> g_ThemeSounds;
extern std::vector<DWORD> g_ThemeStreams;

// Registers the theme state's types and ext_ functions, in the scripts' order.
void RegisterThemeScriptInterface(lua_State* state);
