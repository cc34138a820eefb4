// Test and script hooks of the dialog layer: drive open dialogs by steps,
// answer the file chooser, look at where controls are and photograph a dialog.
#pragma once

#include "winuser.h"

#include <functional>
#include <string>
#include <vector>

namespace platform {

struct DialogStep {
    enum class Kind {
        Press,        // click a button or check box, as a user would (refused when hidden or disabled)
        SelectList,   // pick list entry `index`
        SelectCombo,  // pick combo entry `index`
        Close,        // the close box
        Escape,       // the Escape key
        Call,         // run `call` with the dialog on top
    };
    Kind kind = Kind::Call;
    INT control = 0;
    INT index = 0;
    std::function<void(HWND)> call;

    static DialogStep Press(INT control) { return Make(Kind::Press, control, 0); }
    static DialogStep SelectList(INT control, INT index) { return Make(Kind::SelectList, control, index); }
    static DialogStep SelectCombo(INT control, INT index) { return Make(Kind::SelectCombo, control, index); }
    static DialogStep Close() { return Make(Kind::Close, 0, 0); }
    static DialogStep Escape() { return Make(Kind::Escape, 0, 0); }
    static DialogStep Call(std::function<void(HWND)> f) {
        DialogStep s = Make(Kind::Call, 0, 0);
        s.call = std::move(f);
        return s;
    }

private:
    static DialogStep Make(Kind kind, INT control, INT index) {
        DialogStep s;
        s.kind = kind;
        s.control = control;
        s.index = index;
        return s;
    }
};

// Steps run one by one on whichever dialog is on top, from inside its modal
// loop. While steps are queued (scripted mode), a dialog left without steps is
// closed after `idleSeconds`, so a short script never hangs a run.
void QueueDialogSteps(const std::vector<DialogStep>& steps);
void ClearDialogSteps();
size_t PendingDialogSteps();
void SetScriptIdleTimeout(double idleSeconds);

// The next GetOpenFileNameA shows its chooser and answers with this host path
// ("" cancels) instead of waiting for a person.
void QueueFileChooserAnswer(const std::string& hostPath);

// The dialog on top, or null.
HWND TopDialog();
// Where a control sits in its dialog's client area, in pixels.
bool DialogControlRect(HWND control, RECT* rect);
// Pixels per dialog unit times 4 (x) and 8 (y): the dialog font's average
// character width and height.
bool DialogBaseUnits(HWND dialog, INT* charWidth, INT* charHeight);
// The dialog as it is drawn now, as a PNG.
bool SaveDialogScreenshot(HWND dialog, const std::string& pngPath);

// The filters of a Windows filter string, and the case-insensitive match of a
// file name against one filter's patterns.
struct FileFilter {
    std::string label;
    std::vector<std::string> patterns;
};
std::vector<FileFilter> ParseFileFilters(const char* filter);
bool FileFilterMatches(const FileFilter& filter, const std::string& fileName);

}  // namespace platform
