// The widest texts the HUD and the menus can show, measured with the textured
// font's own extent, and the screen modes they must fit: 4:3 and the 16:9
// modes the setup dialog offers.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "engine/Font.h"

namespace textfit {

struct ScreenMode {
    int width, height;
};
inline std::ostream& operator<<(std::ostream& out, const ScreenMode& m) { return out << m.width << "x" << m.height; }
const ScreenMode kModes[] = {{1024, 768}, {1280, 720}, {1600, 900}, {1920, 1080}};

// Extent in pixels at character size 1: the comparison is the same at any size.
inline float Width(CFont* font, const std::string& text) {
    float w = 0.0f, h = 0.0f;
    font->GetTextExtent(text.c_str(), 1.0f, 1.0f, &w, &h, 0.0f);
    return w;
}

// The widest "%i" a non-negative 32-bit count can show: ten digits, the first 1 or 2.
inline int32_t WidestFigure(CFont* font) {
    std::string best = "0";
    for (char first : {'1', '2'})
        for (char digit = '0'; digit <= '9'; ++digit) {
            const std::string figure = std::string(1, first) + std::string(9, digit);
            if (std::stoll(figure) <= INT32_MAX && Width(font, figure) > Width(font, best)) best = figure;
        }
    return int32_t(std::stoll(best));
}

}  // namespace textfit
