// Message boxes: an SDL message box on a display; recorded and written to
// standard error when dialogs are headless.
#include "WindowInternal.h"
#include "platform.h"
#include "winuserhooks.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

std::vector<platform::MessageBoxRecord>& Records() {
    static std::vector<platform::MessageBoxRecord> records;
    return records;
}
INT g_Answer = 0;

struct Button {
    INT id;
    const char* label;
};

// The buttons of a box type, first button first.
std::vector<Button> ButtonsOf(UINT type) {
    switch (type & 0xF) {
        case MB_OKCANCEL: return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
        case MB_ABORTRETRYIGNORE: return {{IDABORT, "Abort"}, {IDRETRY, "Retry"}, {IDIGNORE, "Ignore"}};
        case MB_YESNOCANCEL: return {{IDYES, "Yes"}, {IDNO, "No"}, {IDCANCEL, "Cancel"}};
        case MB_YESNO: return {{IDYES, "Yes"}, {IDNO, "No"}};
        case MB_RETRYCANCEL: return {{IDRETRY, "Retry"}, {IDCANCEL, "Cancel"}};
        default: return {{IDOK, "OK"}};
    }
}

}  // namespace

namespace platform {

std::vector<MessageBoxRecord> RecordedMessageBoxes() { return Records(); }
void ClearRecordedMessageBoxes() { Records().clear(); }
void SetMessageBoxAnswer(INT answer) { g_Answer = answer; }

bool HeadlessDialogs() {
    const char* env = getenv("KOLVAR_HEADLESS_DIALOGS");
    if (env && strcmp(env, "1") == 0) return true;
    return !HasDisplay();
}

}  // namespace platform

INT MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    const char* t = text ? text : "";
    const char* c = caption ? caption : "Error";
    Records().push_back({owner, t, c, type});
    std::vector<Button> buttons = ButtonsOf(type);

    if (platform::HeadlessDialogs()) {
        fprintf(stderr, "[message box] %s: %s\n", c, t);
        return g_Answer ? g_Answer : buttons.front().id;
    }

    // Over a launcher dialog the box belongs to it; the SDL box serves the game window.
    INT dialogAnswer = 0;
    if (!platform::SdlWindowOf(owner) && winimpl::DialogMessageBox(t, c, type, &dialogAnswer)) return dialogAnswer;

    std::string utf8Text = winimpl::Cp1252ToUtf8(t);
    std::string utf8Caption = winimpl::Cp1252ToUtf8(c);
    std::vector<SDL_MessageBoxButtonData> data;
    for (size_t i = 0; i < buttons.size(); ++i) {
        Uint32 flags = 0;
        if (i == 0) flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
        if (buttons[i].id == IDCANCEL || (buttons.size() == 1)) flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
        data.push_back({flags, buttons[i].id, buttons[i].label});
    }
    Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
    switch (type & 0xF0) {
        case MB_ICONHAND: flags = SDL_MESSAGEBOX_ERROR; break;
        case MB_ICONEXCLAMATION: flags = SDL_MESSAGEBOX_WARNING; break;
        default: break;
    }
    SDL_MessageBoxData box;
    memset(&box, 0, sizeof box);
    box.flags = flags;
    box.window = static_cast<SDL_Window*>(platform::SdlWindowOf(owner));
    box.title = utf8Caption.c_str();
    box.message = utf8Text.c_str();
    box.numbuttons = static_cast<int>(data.size());
    box.buttons = data.data();
    int pressed = 0;
    if (SDL_ShowMessageBox(&box, &pressed) != 0) {
        fprintf(stderr, "[message box] %s: %s\n", c, t);
        return 0;
    }
    // Closing the box without a button counts as its escape button.
    if (pressed < 0) pressed = (type & 0xF) == MB_OK ? IDOK : IDCANCEL;
    return pressed;
}
