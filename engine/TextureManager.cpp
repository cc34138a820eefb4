#include "engine/TextureManager.h"

CTextureManager::CTextureManager() {}
CTextureManager::~CTextureManager() {}
