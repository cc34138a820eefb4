#pragma once

// High-score name entry, shared with the window procedure and the frame drawing.
extern bool g_bNameEntry;
extern int g_NameEntryPlace;
extern char g_EnteredName[256];
extern float g_NameBlinkStart;
extern int g_NameBlinkOn;

// A new game: the field appears; play starts when its animation ends.
void StartGame();
// Rules from the general script, then play.
void NewGameFromScript();
// The figure script refused the next figure: messages, sound, the field disappears.
void ShowGameOver();
// The field has disappeared: back to the menu.
void OnGameOverFinished();
// Opens the menu on its first page unless it is open already.
void ShowMainMenu();

// Draws the name being typed in the high-score page's style; the menus install it.
typedef void (*NameEntryDrawer)(const char* text);
void SetNameEntryDrawer(NameEntryDrawer drawer);
void DrawNameEntry(const char* text);
