#include "engine/MeshManager.h"

CMeshManager::CMeshManager() {}
CMeshManager::~CMeshManager() {}
bool CMeshManager::InvalidateMeshes() { return true; }
bool CMeshManager::RestoreMeshes() { return true; }
