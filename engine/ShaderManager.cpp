#include "engine/ShaderManager.h"

CShaderManager::CShaderManager() {}
CShaderManager::~CShaderManager() {}
