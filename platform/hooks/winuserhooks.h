// Test and host hooks of the window layer: recorded message boxes and a look at
// how a window was mapped onto the host's window system.
#pragma once

#include "winuser.h"

#include <string>
#include <vector>

namespace platform {

struct MessageBoxRecord {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

// Every MessageBoxA call since the last clear, shown or not.
std::vector<MessageBoxRecord> RecordedMessageBoxes();
void ClearRecordedMessageBoxes();
// Message boxes are recorded instead of shown when KOLVAR_HEADLESS_DIALOGS=1
// or when there is no display.
bool HeadlessDialogs();
// The button a recorded box answers with; 0 (the default) means its first button.
void SetMessageBoxAnswer(INT answer);

// True while the window covers the desktop as a full-screen window.
bool IsFullScreenWindow(HWND window);
// Size of an icon made by LoadIconA; false for an unknown handle.
bool IconSize(HICON icon, INT* width, INT* height);

}  // namespace platform
