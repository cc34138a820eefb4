#include "crt.h"

#include <clocale>
#include <cstdio>
#include <cstring>

namespace {
uint32_t g_randState = 1;
const char* const kWeekdays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
}  // namespace

int crt_rand() {
    g_randState = g_randState * 214013u + 2531011u;
    return static_cast<int>((g_randState >> 16) & 0x7FFF);
}

void crt_srand(unsigned int seed) { g_randState = seed; }

void crt_timetext(const struct tm* t, char out[25]) {
    int wday = (t->tm_wday >= 0 && t->tm_wday < 7) ? t->tm_wday : 0;
    int mon = (t->tm_mon >= 0 && t->tm_mon < 12) ? t->tm_mon : 0;
    char text[64];
    snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %04d", kWeekdays[wday], kMonths[mon],
             t->tm_mday % 100, t->tm_hour % 100, t->tm_min % 100, t->tm_sec % 100, (t->tm_year + 1900) % 10000);
    memcpy(out, text, 24);
    out[24] = '\0';
}

void crt_now_text(char out[25]) {
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    crt_timetext(&local, out);
}

void crt_use_c_locale() { setlocale(LC_ALL, "C"); }
