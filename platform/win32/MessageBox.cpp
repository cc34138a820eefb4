// Message boxes: a GTK box on a display, over the dialog on top when there is
// one; recorded and written to standard error when dialogs are headless or no
// display can be opened.
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

}  // namespace

namespace platform {

std::vector<MessageBoxRecord> RecordedMessageBoxes() { return Records(); }
void ClearRecordedMessageBoxes() { Records().clear(); }
void SetMessageBoxAnswer(INT answer) { g_Answer = answer; }

bool HeadlessDialogs() {
    const char* env = getenv("KOLVAR_HEADLESS_DIALOGS");
    if (env && strcmp(env, "1") == 0) return true;
    return !platform::HasDisplay();
}

}  // namespace platform

namespace winimpl {

std::vector<MessageBoxButton> MessageBoxButtons(UINT type) {
    switch (type & 0xF) {
        case MB_OKCANCEL: return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
        case MB_ABORTRETRYIGNORE: return {{IDABORT, "Abort"}, {IDRETRY, "Retry"}, {IDIGNORE, "Ignore"}};
        case MB_YESNOCANCEL: return {{IDYES, "Yes"}, {IDNO, "No"}, {IDCANCEL, "Cancel"}};
        case MB_YESNO: return {{IDYES, "Yes"}, {IDNO, "No"}};
        case MB_RETRYCANCEL: return {{IDRETRY, "Retry"}, {IDCANCEL, "Cancel"}};
        default: return {{IDOK, "OK"}};
    }
}

}  // namespace winimpl

INT MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    const char* t = text ? text : "";
    const char* c = caption ? caption : "Error";
    Records().push_back({owner, t, c, type});
    const INT first = winimpl::MessageBoxButtons(type).front().id;

    if (!platform::HeadlessDialogs()) {
        INT answer = 0;
        if (winimpl::DialogMessageBox(t, c, type, &answer)) return answer;
    }
    // Nobody can see a box: the text still reaches whoever started the program.
    fprintf(stderr, "[message box] %s: %s\n", c, t);
    return g_Answer ? g_Answer : first;
}
