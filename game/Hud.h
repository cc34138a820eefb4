#pragma once

#include <win32.h>

#include <d3dx9math.h>

#include <cstdint>
#include <string>

#include "engine/AnimatedSprite.h"
#include "engine/Singleton.h"

class CTextureEntry;

// Set when the level goes up; cleared once the new level has been announced.
extern bool g_LevelChanged;

// The in-game head-up display and the keeper of the running game's score,
// lines, level and bonus periods.
class CHud : public CSingleton<CHud> {
public:
    static CHud* GetInstance();
    CHud();
    ~CHud() override;

    // A new game: level 1 and a fresh bonus period from now.
    void Reset();
    void LevelUp();
    // Saturates at the ends of 32 bits rather than wrapping.
    void AddScore(int32_t points);
    // Once per update step, whatever the mode.
    void Process();
    // Once per frame, after the particles and before the menu.
    void DrawPanel();

    // The clock's text for a time of day.
    static std::string ClockText(long hour, long minute);

    // Written directly by the figure step and the clearing.
    int32_t score;
    float displayedScore;
    int32_t level;
    int32_t lines;

    float bonusTime;
    int32_t bombScore;
    int32_t sawScore;
    float periodStart;
    int32_t periodBase;
    float warningLead;
    float lastTick;
    float tickInterval;
    bool ticking;

    CTextureEntry* scoreBarFrame = nullptr;
    CTextureEntry* scoreBarFill = nullptr;
    CTextureEntry* figureIconOff = nullptr;
    CTextureEntry* figureIconOn = nullptr;
    CTextureEntry* bombIconOn = nullptr;
    CTextureEntry* bombIconOff = nullptr;
    CTextureEntry* sawIconOn = nullptr;
    CTextureEntry* sawIconOff = nullptr;
    CAnimatedSprite timeGauge;
    float panelX;
    float panelY;
    DWORD tickSound = 0;
    DWORD periodEndSound = 0;
    DWORD rotationSound = 0;
    DWORD levelSound = 0;
    int32_t bonusIcon = 0;  // 0 special figure, 1 bomb, 2 saw
    int32_t rotationBase = 0;
    float scoreBar = 0.0f;
    float timeBar = 0.0f;

    // How an announcement looks and moves: its size and colour, its trace,
    // the points it comes in from, holds at and leaves to, and the seconds
    // of each of the three legs.
    struct MessageStyle {
        float charSize;
        D3DXCOLOR color;
        float traceDensity;
        float traceLife;
        D3DXVECTOR2 from, hold, to;
        float inTime, holdTime, outTime;
    };

private:
    void Announce(const char* text, const MessageStyle& style);
    // The field turns over before the next figure.
    void RequestFieldFlip();
    void DrawSprite(CTextureEntry* texture, const RECT* source, float x, float y, float scaleX, float scaleY);
};
