#pragma once

#include <vector>

#include "engine/Singleton.h"

class CBlockPart;
class CMesh;

// Owns the fragments of knocked-out blocks and advances them each field step.
class CBlockPartManager : public CSingleton<CBlockPartManager> {
public:
    static CBlockPartManager* GetInstance();
    CBlockPartManager();
    ~CBlockPartManager() override;

    void Add(CBlockPart* part);
    void Update();
    // The pieces are seen through their trails only.
    void Render();

    CMesh* mesh;
    std::vector<CBlockPart*> parts;
};
