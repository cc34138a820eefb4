#pragma once

#include <cstdint>

// A textured rectangle that theme scripts fill in and draw. The fields keep
// the names and order the scripts use.
class CSprite {
public:
    // Draws g_ThemeTextures[texture] through the engine's 2D sprite; positions
    // are fractions of the screen, scales are for an 800 x 600 screen.
    void Draw();

    int32_t texture = 0;
    float x = 0.0f;
    float y = 0.0f;
    float scale_x = 0.0f;
    float scale_y = 0.0f;
    float center_x = 0.0f;
    float center_y = 0.0f;
    float rotate = 0.0f;  // kept for the scripts; drawing does not turn the sprite
    float color_red = 0.0f;
    float color_green = 0.0f;
    float color_blue = 0.0f;
    float color_alpha = 0.0f;
    int32_t fit_to_screen = 0;
};

