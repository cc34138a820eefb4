#include "engine/Sprite3DRenderer.h"

CSprite3DRenderer::CSprite3DRenderer() {}
CSprite3DRenderer::~CSprite3DRenderer() {}
bool CSprite3DRenderer::InvalidateDeviceObjects() { return true; }
bool CSprite3DRenderer::RestoreDeviceObjects() { return true; }
