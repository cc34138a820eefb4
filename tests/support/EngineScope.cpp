#include "support/EngineScope.h"

#include <cstdio>

#include "audio/SoundEngine.h"
#include "engine/FontManager.h"
#include "engine/GraphicsEngine.h"
#include "engine/Keyboard.h"
#include "engine/MeshManager.h"
#include "engine/Mouse.h"
#include "engine/ParticleSystemsManager.h"
#include "engine/ShaderManager.h"
#include "engine/Sprite3DRenderer.h"
#include "engine/TextureManager.h"

namespace enginescope {

namespace {

LRESULT CALLBACK DefaultProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

struct Singleton {
    bool (*exists)();
    void (*destroy)();
};

template <class T>
constexpr Singleton Of() {
    return {[] { return T::HasInstance(); }, [] { delete T::GetInstancePtr(); }};
}

// In deletion order: sound before graphics, as the game tears down, then the managers in the order
// the graphics engine releases them.
constexpr Singleton kSingletons[] = {
    Of<CSoundEngine>(), Of<CGraphicsEngine>(), Of<CSprite3DRenderer>(), Of<CParticleSystemsManager>(),
    Of<CMeshManager>(), Of<CTextureManager>(), Of<CFontManager>(),      Of<CShaderManager>(),
    Of<CKeyboard>(),    Of<CMouse>(),
};
constexpr unsigned kCount = sizeof kSingletons / sizeof kSingletons[0];

}  // namespace

void FillWindowed(CGeneralParameters& p, const char* caption, int width, int height, void (*update)()) {
    p.m_Caption = caption;
    p.m_IconId = 113;
    p.m_WndProc = DefaultProc;
    p.m_Windowed = true;
    p.m_Width = width;
    p.m_Height = height;
    p.m_FixedStep = 0.025f;
    p.m_UpdateCallback = update;
    p.m_Bits = 32;
}

Sweep::Sweep() {
    for (unsigned i = 0; i < kCount; ++i)
        if (kSingletons[i].exists()) m_existed |= 1u << i;
}

void Sweep::Now() {
    while (!m_above.empty()) {
        std::function<void()> destroy = std::move(m_above.back());
        m_above.pop_back();
        destroy();
    }
    // Each is looked up again: deleting the engine takes its managers along.
    for (unsigned i = 0; i < kCount; ++i)
        if (!(m_existed & (1u << i)) && kSingletons[i].exists()) kSingletons[i].destroy();
}

EngineScope::EngineScope(const Options& o) {
    FillWindowed(m_params, o.caption, o.width, o.height, o.update);
    if (!CGraphicsEngine::GetInstance()->SetGeneralParameters(&m_params)) {
        std::fprintf(stderr, "%s: the engine did not start (is there a display? see log.html)\n", o.caption);
        return;
    }
    m_ok = true;
    if (!o.dataPaths) return;
    CMeshManager::GetInstance()->SetMeshPath("data\\meshes");
    CTextureManager::GetInstance()->SetTexturePath("data\\textures");
    CShaderManager::GetInstance()->SetVertexShadersPath("data\\vertex_shaders");
    CShaderManager::GetInstance()->SetPixelShadersPath("data\\pixel_shaders");
    CFontManager::GetInstance()->SetFontsPath("data\\fonts");
    CSoundEngine::GetInstance()->SetAudioPath("data\\audio");
}

}  // namespace enginescope
