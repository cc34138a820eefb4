#pragma once

// A plain start screen for as long as the menu manager has no pages: game type,
// difficulty, keys and the last score, drawn while the menu is not closed.
bool StartScreenActive();
void RenderStartScreen();
// Menu codes: 0/1 game type, 2/3 difficulty, 4 start, 5 back to a running game.
void StartScreenOnInput(int code);
