#pragma once

#include <win32.h>
#include <winuser.h>

// The application is in the foreground / the exit routine is to run.
extern bool g_bAppActive;
extern bool g_bExitRequested;

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Hands a menu code to the current page.
void MenuInput(int code);
