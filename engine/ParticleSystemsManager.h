#pragma once

#include <d3d9.h>

#include <list>
#include <vector>

#include "engine/Singleton.h"

class CParticleSystem;
class CTextureEntry;
class CVertexShader;
class CVertexDeclaration;

// Draws the vertices [first, first + count) of a point-sprite buffer with the
// particle render states. The caller has made the point-sprite shader,
// declaration and constants current.
void DrawPointSprites(IDirect3DVertexBuffer9* buffer, unsigned firstVertex, unsigned count, CTextureEntry* texture);

// Sets "clip_matrix" and "eye_position" of the point-sprite program from the
// engine's camera and the current viewport; shared with the 3D sprites.
// Additive, alpha-tested point sprites without depth writes: the particles' and the 3D sprites' states.
void SetPointSpriteStates(IDirect3DDevice9* device);
void SetPointSpriteConstants(CVertexShader* shader);

// Owns the registered particle systems, updates them once per step, fills
// one shared point-sprite buffer grouped by texture and draws it per texture.
class CParticleSystemsManager : public CSingleton<CParticleSystemsManager> {
public:
    struct Batch {
        unsigned vertexCount;
        CTextureEntry* texture;
    };
    typedef std::list<CParticleSystem*> SystemList;

    static const unsigned kSharedCapacity = 20000;  // vertices
    static const unsigned kMaxSystems = 1000;

    CParticleSystemsManager();
    virtual ~CParticleSystemsManager();

    // False when the list is full: the system is not ours then, its owner deletes it.
    bool AddSystem(CParticleSystem* system);
    // Unlinks the first node holding the system; the caller owns it then.
    void RemoveSystem(CParticleSystem* system);
    void Update();
    void Render();
    bool InvalidateDeviceObjects();
    bool RestoreDeviceObjects();

    CTextureEntry* GetDefaultTexture() const { return m_pDefaultTexture; }
    CVertexShader* GetPointSpriteShader() const { return m_pPointSpriteShader; }
    CVertexDeclaration* GetPointSpriteDeclaration() const { return m_pPointSpriteDeclaration; }

    // Read by tests and diagnostics.
    const SystemList& GetSystems() const { return m_Systems; }
    const std::vector<Batch>& GetBatches() const { return m_Batches; }
    unsigned GetSharedVertexTotal() const { return m_SharedTotal; }
    IDirect3DVertexBuffer9* GetVertexBuffer() const { return m_pVertexBuffer; }

    unsigned m_LiveParticles;  // CParticle objects in existence
    unsigned m_SystemCount;    // registration requests minus system destructors

private:
    bool CreateSharedBuffer();
    void FillSharedBuffer();

    CTextureEntry* m_pDefaultTexture;
    unsigned m_SharedTotal;
    std::vector<Batch> m_Batches;
    unsigned m_SharedCapacity;
    unsigned m_MaxSystems;
    SystemList m_Systems;
    IDirect3DVertexBuffer9* m_pVertexBuffer;
    CVertexShader* m_pPointSpriteShader;
    CVertexDeclaration* m_pPointSpriteDeclaration;

    // A system removed while the update walks the list is nulled in place and
    // unlinked by the walk, so the walk never steps on a freed node.
    bool m_Updating;
    bool m_RemovedWhileUpdating = false;  // a node of m_Systems was set to null during the update
    // Numbers the updates. A system whose m_CountedStep is this step makes
    // up the shared total; one registered during the update waits a step.
    unsigned m_Step = 0;
    bool m_OverflowLogged;
};
