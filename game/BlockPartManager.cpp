#include "game/BlockPartManager.h"

#include "engine/MeshManager.h"
#include "game/BlockPart.h"

CBlockPartManager* CBlockPartManager::GetInstance() { return CSingleton<CBlockPartManager>::GetInstance(); }

CBlockPartManager::CBlockPartManager() : mesh(nullptr) {
    // A missing mesh changes nothing: nothing draws it.
    CMeshManager::GetInstance()->LoadMesh(&mesh, "block_part.x", 0);
}

CBlockPartManager::~CBlockPartManager() {
    for (CBlockPart* part : parts) delete part;
    parts.clear();
}

void CBlockPartManager::Add(CBlockPart* part) {
    if (part) parts.push_back(part);
}

void CBlockPartManager::Update() {
    // The fragment swapped into a freed place has not been updated yet: stay on it.
    for (size_t i = 0; i < parts.size();) {
        if (parts[i]->Update()) {
            ++i;
            continue;
        }
        delete parts[i];
        parts[i] = parts.back();
        parts.pop_back();
    }
}

void CBlockPartManager::Render() {}
