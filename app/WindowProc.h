#pragma once

#include <win32.h>
#include <winuser.h>

// The application is in the foreground / the exit routine is to run.
extern bool g_bAppActive;
extern bool g_bExitRequested;

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Hands a menu code to the current page (or the start screen while there are no pages).
void MenuInput(int code);
