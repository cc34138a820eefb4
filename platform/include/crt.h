// C runtime behaviour the game depends on, pinned so that every run on every
// machine behaves alike: the 15-bit generator, the time text and the C locale.
#pragma once

#include <cstdint>
#include <ctime>

#define CRT_RAND_MAX 0x7FFF

// The one process-wide generator (s = s * 214013 + 2531011, draw = bits 16..30),
// seed 1 at start. Shared by the engine and every Lua state's math.random.
int crt_rand();
void crt_srand(unsigned int seed);

// 24-character time text "Tue Dec 08 19:02:47 2026" (day zero-padded, no newline).
// out must hold 25 characters.
void crt_timetext(const struct tm* t, char out[25]);
// The same for the current local time.
void crt_now_text(char out[25]);

// Puts the process in the C numeric locale (number text is "0.50000", never "0,50000").
void crt_use_c_locale();
