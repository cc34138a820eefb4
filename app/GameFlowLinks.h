#pragma once

// Game-flow state and entry points shared by the menus and the application
// shell. The shell owns the loop and StartGame; until it links its own
// definitions, the weak ones in GameFlowLinks.cpp stand in.
#include <cstdint>

extern bool g_bExitRequested;

// The high-score name entry.
extern bool g_bNameEntry;
extern int32_t g_NameEntryPlace;
extern char g_EnteredName[256];
extern float g_NameBlinkStart;
extern int32_t g_NameBlinkOn;

void StartGame();

// The field has vanished after game over: the menu comes back on the High
// scores page and a good score opens the name entry.
void OnGameOverFinished();
// Enter during the name entry: stores the name ("Noname" when blank) and saves.
void EndNameEntry();
// Draws the text of this frame in the style of the entry row's name.
void DrawEnteredName(const char* text);
