// Dialog templates: the program's dialog resources as data, found by resource
// id. Each dialog's file registers its own template with a static registrar.
#pragma once

#include "winuser.h"

#include <vector>

namespace platform {

// Control classes, as the resource script names them.
enum class DialogControlClass { Button, Static, Edit, ListBox, ComboBox };

struct DialogControl {
    DialogControlClass cls;
    INT id;  // -1 for controls the code never addresses
    const char* text;
    DWORD style;  // WS_* | BS_* / SS_* / LBS_* / CBS_* / ES_*
    SHORT x, y, cx, cy;  // dialog units
};

struct DialogTemplate {
    WORD id;
    const char* caption;
    DWORD style;
    SHORT cx, cy;  // dialog units
    const char* fontFace;
    WORD pointSize;
    std::vector<DialogControl> controls;
};

// A later registration of the same id replaces the earlier one.
void RegisterDialogTemplate(const DialogTemplate& tmpl);
const DialogTemplate* FindDialogTemplate(WORD id);

struct DialogTemplateRegistrar {
    explicit DialogTemplateRegistrar(const DialogTemplate& tmpl) { RegisterDialogTemplate(tmpl); }
};

}  // namespace platform
