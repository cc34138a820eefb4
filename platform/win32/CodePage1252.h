// Code page 1252, the game's narrow text. Bytes 0x80..0x9F differ from Latin-1;
// the five undefined ones map to the control code of the same value so every
// byte survives a round trip.
#pragma once

#include <cstdint>

namespace platform {

inline uint32_t Cp1252ToUnicode(unsigned char c) {
    static const uint16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    if (c >= 0x80 && c <= 0x9F) return kHigh[c - 0x80];
    return c;
}

// The byte for a code point, or -1 when code page 1252 has none.
inline int UnicodeToCp1252(uint32_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<int>(u);
    for (int c = 0x80; c <= 0x9F; ++c)
        if (Cp1252ToUnicode(static_cast<unsigned char>(c)) == u) return c;
    return -1;
}

}  // namespace platform
