#include "app/GameFlowLinks.h"

#include "engine/Log.h"

// Weak, so the shell's definitions replace these when it is linked.
__attribute__((weak)) bool g_bExitRequested = false;
__attribute__((weak)) bool g_bNameEntry = false;
__attribute__((weak)) int32_t g_NameEntryPlace = 0;
__attribute__((weak)) char g_EnteredName[256] = {};
__attribute__((weak)) float g_NameBlinkStart = 0.0f;
__attribute__((weak)) int32_t g_NameBlinkOn = 0;

__attribute__((weak)) void StartGame() { g_Log.Print("red", "StartGame: no game flow is linked"); }
