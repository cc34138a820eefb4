// Shared state of the window and message-queue code (not part of the API).
#pragma once

#include "winuser.h"

#include <SDL.h>

#include <string>
#include <vector>

struct HWND__ {
    SDL_Window* sdl = nullptr;  // null for a window made without a display
    uint32_t sdlId = 0;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    RECT outer = {0, 0, 0, 0};  // outer rectangle as Windows would report it
    bool fullScreen = false;
    bool shownOnce = false;
};

namespace winimpl {

// Starts SDL's video subsystem once; false when there is no display.
bool EnsureVideo();
bool VideoAvailable();

bool IsLiveWindow(HWND window);
HWND WindowFromSdlId(uint32_t id);
// The window keyboard input goes to: the focus window, else the first one alive.
HWND KeyboardWindow();

// Appends a message to the queue (front = true puts it next in line).
void PostToQueue(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool front = false);
// Drops the queued messages and the activation of a window that goes away.
void ForgetWindow(HWND window);
// A window became visible for the first time: a headless X server may never
// report focus, so the application is activated here once.
void OnFirstShow(HWND window);

// Text conversion between code page 1252 (the game's narrow text) and UTF-8 (SDL's).
std::string Cp1252ToUtf8(const char* text);
// Appends the code page 1252 bytes of a UTF-8 text; characters outside the page become '?'.
void Utf8ToCp1252(const char* text, std::string& out);

// Virtual-key code of an SDL key, 0 when the key has none.
UINT VirtualKeyOf(const SDL_Keysym& key);

// Dialogs and their controls (platform/dialogs) answer for their own handles.
bool IsDialogHandle(HWND window);
BOOL ShowDialogWindow(HWND window, INT command);
HWND FocusDialogWindow(HWND window);
// The buttons of a message box type, the first one first.
struct MessageBoxButton {
    INT id;
    const char* label;
};
std::vector<MessageBoxButton> MessageBoxButtons(UINT type);
// A GTK message box, over the dialog on top when one is up, else on its own
// above every window; false when GTK cannot open the display.
bool DialogMessageBox(const char* text, const char* caption, UINT type, INT* answer);

}  // namespace winimpl
