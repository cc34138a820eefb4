#include "engine/FontManager.h"

CFontManager::CFontManager() {}
CFontManager::~CFontManager() {}
bool CFontManager::InvalidateFonts() { return true; }
bool CFontManager::RestoreFonts() { return true; }
