#include "engine/FontManager.h"

#include "engine/BitmapFont.h"
#include "engine/Font.h"
#include "engine/Log.h"

#include <cstdio>
#include <new>

CFontManager::CFontManager() {
    m_FontsPath[0] = '\0';
    g_Log.Print("blue", "Initializing font manager");
    g_Log.Print("green", "Complete");
}

CFontManager::~CFontManager() {
    g_Log.Print("blue", "Destroying font manager");
    g_Log.Print("blue", "Unloading fonts:");
    for (CFont* font : m_Fonts) {
        g_Log.Print("darkgray", "unloading font: (%s) - complete.", font->GetName());
        delete font;
    }
    m_Fonts.clear();
    g_Log.Print("green", "unloading complete");
    g_Log.Print("green", "Destroying complete");
}

bool CFontManager::SetFontsPath(const char* path) {
    g_Log.Print("blue", "Setting fonts path:");
    if (!path) {
        g_Log.PrintBold("red", "Error, path-string is empty !");
        return false;
    }
    snprintf(m_FontsPath, sizeof m_FontsPath, "%s", path);
    g_Log.Print("darkgray", "path = %s", m_FontsPath);
    g_Log.Print("green", "Complete");
    return true;
}

bool CFontManager::AddFont(CFont** out, const char* name, int height, unsigned flags, bool system) {
    if (!name) {
        g_Log.PrintBold("red", "Couldn't load font, becouse file string is empty !");
        return false;
    }
    CFont* font = new (std::nothrow) CFont();
    if (!font) {
        g_Log.PrintBold("red", "Couldn't create font object for (%s) object!", name);
        return false;
    }
    if (!font->Load(name, height, flags, system)) {
        // A font that failed to load is not kept, so it is freed here.
        delete font;
        return false;
    }
    m_Fonts.push_back(font);
    if (out) *out = font;
    return true;
}

bool CFontManager::InvalidateFonts() {
    g_Log.Print("blue", "Invalidating fonts:");
    for (CFont* font : m_Fonts) {
        g_Log.Print("darkgray", "invalidate font: (%s) - complete.", font->GetName());
        if (font->IsSystem() && font->GetBitmapFont()) font->GetBitmapFont()->InvalidateDeviceObjects();
    }
    g_Log.Print("green", "Invalidating complete");
    return true;
}

bool CFontManager::RestoreFonts() {
    g_Log.Print("blue", "Restoring fonts:");
    for (CFont* font : m_Fonts) {
        if (!font->IsSystem() || !font->GetBitmapFont()) continue;
        if (SUCCEEDED(font->GetBitmapFont()->RestoreDeviceObjects()))
            g_Log.Print("darkgray", "Loading font: (%s) complete.", font->GetName());
        else
            g_Log.PrintBold("red", "Error, couldn't load system font (%s) !", font->GetName());
    }
    g_Log.Print("green", "Restoring complete");
    return true;
}
