// Test view of the GDI layer.
#pragma once

#include <string>

#include "win32.h"

namespace platform {

// The font file a font was made from ("" for an unknown handle).
std::string GdiFontFile(HFONT font);
// Font files currently added with AddFontResourceA.
int GdiAddedFontCount();

}  // namespace platform
