#pragma once

#include <win32.h>

#include <string>

#include "app/ThemeManager.h"  // the theme and playlist start-up globals
#include "engine/AnimatedSprite.h"

struct lua_State;
class CFont;
class CTextureEntry;

// Filled by start-up; read across the shell.
extern std::string g_VersionText;
extern std::string g_WindowTitle;
extern lua_State* g_LuaState;
extern CFont* g_SystemFont;
extern CTextureEntry* g_IntroTexture;
extern CAnimatedSprite g_LoadingSprite;
extern bool g_bLoadingScreen;
extern DWORD g_GameOverSound;

int WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);

// Start-up up to the main loop. False where WinMain returns at once; the
// general script state is then closed again.
bool StartApplication(HINSTANCE instance);
// True when the last start-up failed (a box said why); a launcher closed
// without Start is no failure.
bool StartupFailed();

