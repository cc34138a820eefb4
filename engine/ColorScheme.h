#pragma once

#include <d3dx9math.h>

// The HUD's colours. init.txt fills the default scheme; the current one is
// copied from it at start-up and read by the HUD every frame.
class CColorScheme {
public:
    D3DXCOLOR next_color;
    D3DXCOLOR score_color;
    D3DXCOLOR score_value_color;
    D3DXCOLOR lines_color;
    D3DXCOLOR lines_value_color;
    D3DXCOLOR level_color;
    D3DXCOLOR level_value_color;
    D3DXCOLOR game_type_color;
    D3DXCOLOR game_type_value_color;
    D3DXCOLOR difficulty_color;
    D3DXCOLOR difficulty_value_color;
    D3DXCOLOR time_color;
    D3DXCOLOR fps_color;
};

// Zero until init.txt fills the default.
extern CColorScheme g_DefaultScheme;
extern CColorScheme g_CurrentScheme;
