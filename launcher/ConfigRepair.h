// config.ini made usable before the launcher reads it.
#pragma once

// A missing config.ini is made from templates\config.ini; keys that are
// missing or do not read as their kind take the template's value; numbers out
// of range are clamped, and the screen size becomes a mode the display offers
// (a window may keep any size that fits on the display).
// Every change is written back and logged; values that read well are kept.
void RepairConfig();
