#pragma once

#include <cstddef>
#include <vector>

#include "engine/Singleton.h"

class CFont;

// Owns every font of the game. Callers keep the pointer AddFont gives them.
class CFontManager : public CSingleton<CFontManager> {
public:
    CFontManager();
    virtual ~CFontManager();

    bool SetFontsPath(const char* path);
    bool AddFont(CFont** out, const char* name, int height, unsigned flags, bool system);
    bool InvalidateFonts();
    bool RestoreFonts();

    const char* GetFontsPath() const { return m_FontsPath; }
    size_t GetFontCount() const { return m_Fonts.size(); }

private:
    char m_FontsPath[260];
    std::vector<CFont*> m_Fonts;
};
