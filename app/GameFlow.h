#pragma once

#include <d3dx9math.h>

// High-score name entry, shared with the window procedure and the frame drawing.
extern bool g_bNameEntry;
extern int g_NameEntryPlace;
extern char g_EnteredName[256];
extern float g_NameBlinkStart;
extern int g_NameBlinkOn;

// True when the field, field-animation and figure scripts all ran; otherwise
// a box names the first that did not and no game may start.
bool GameScriptsReady();
// A new game: the field appears; play starts when its animation ends.
void StartGame();
// Rules from the general script, then play.
void NewGameFromScript();
// The figure script refused the next figure: messages, sound, the field disappears.
void ShowGameOver();
// A floating message along the top band: in from fromX, held at holdX, out to toX.
void StartTopBandMessage(const char* text, float size, const D3DXCOLOR& textColor, float traceDensity, float fromX,
                         float holdX, float toX);
// The field has disappeared: back to the menu.
void OnGameOverFinished();
// Opens the menu on its first page unless it is open already.
void ShowMainMenu();

// Enter during the name entry: stores the name ("Noname" when blank) and saves.
void EndNameEntry();
// Draws this frame's text of the entry in the style of its row's name.
void DrawEnteredName(const char* text);
