// config.ini made usable before the launcher reads it.
#pragma once

#include <string>

// A missing config.ini is made from templates\config.ini; one that cannot be
// read (a folder, a pipe, no permission) or is too large is kept aside as
// config.ini.bad and made anew from the template. Lines that are no settings,
// sections or comments are dropped, the file as it was kept as config.ini.bad.
// Keys that are missing or do not read as their kind take the template's
// value; numbers out of range are clamped, and the screen size becomes a mode
// the display offers (a window may keep any size that fits on the display).
// Every change is written back and logged; values that read well are kept.
// False when no usable config.ini can be had; `problem` then names the file
// and the reason, for the player.
bool RepairConfig(std::string* problem = nullptr);
