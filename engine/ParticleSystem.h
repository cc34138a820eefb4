#pragma once

#include <d3d9.h>

#include <vector>

#include "engine/Particle.h"

class CTextureEntry;

// The vertex of every particle buffer (FVF XYZ | PSIZE | DIFFUSE).
struct PointSpriteVertex {
    float x, y, z;
    float size;
    D3DCOLOR color;
};
static_assert(sizeof(PointSpriteVertex) == 20, "point-sprite vertex is 20 bytes");

const DWORD kPointSpriteFVF = D3DFVF_XYZ | D3DFVF_PSIZE | D3DFVF_DIFFUSE;
const DWORD kPointSpriteUsage = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY | D3DUSAGE_POINTS;

// Back to front: the particle with the larger z comes first.
bool CompareParticleDepth(const CParticle* a, const CParticle* b);

// Base of every particle effect. A registered system belongs to the particle
// systems manager, which deletes it once its Update returns false.
class CParticleSystem {
public:
    typedef std::vector<CParticle*> ParticleVector;

    CParticleSystem(CTextureEntry* texture, unsigned maxParticles, bool ownVertexBuffer, bool registerSystem);
    virtual ~CParticleSystem();

    // The order of these virtual operations is part of the effects' contract.
    virtual bool Update();
    virtual void InvalidateDeviceObjects();
    virtual bool RestoreDeviceObjects();
    virtual void Render();
    virtual void RemoveFromManager();
    virtual unsigned GetParticleCount();
    virtual bool AddParticle(CParticle* particle);
    virtual void RemoveParticle(ParticleVector::iterator& position);
    virtual unsigned FillVertices(BYTE*& writePointer);

    bool m_Registered;  // held by the manager; a refused system stays its owner's to delete
    bool m_Enabled;  // a disabled system is updated but contributes no vertices
    bool m_Sorted;   // write the particles back to front
    bool m_OwnVertexBuffer;
    unsigned m_ParticleCount;  // always m_Particles.size()
    IDirect3DVertexBuffer9* m_pVertexBuffer;
    CTextureEntry* m_pTexture;
    ParticleVector m_Particles;  // owned, in insertion order
    ParticleVector m_SortBuffer;
    unsigned m_MaxParticles;
    unsigned m_FilledVertices;  // vertices written into the own buffer by the last update
    // The manager's step in which this system's particles were last counted
    // into the shared total; 0 never.
    unsigned m_CountedStep = 0;
};
