// Runs the particle manager's worst case (1000 systems of 20 particles, the
// whole shared buffer) for a number of frames and prints the update cost, the
// draw cost and the frame rate. KOLVAR_D3D=null measures without GL.
#include <d3d9hooks.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "engine/GraphicsEngine.h"
#include "engine/ParticleSystem.h"
#include "engine/ParticleSystemsManager.h"
#include "support/EngineScope.h"

namespace {

const int kSystems = 1000;
const int kParticles = 20;

// A small swirl per system, so every step writes new positions.
class CSwirlSystem : public CParticleSystem {
public:
    CSwirlSystem(int index) : CParticleSystem(nullptr, kParticles, false, true), m_Index(index) {
        for (int i = 0; i < kParticles; ++i) {
            CParticle* particle = new CParticle();
            particle->m_Color = D3DXCOLOR(0.3f + 0.02f * i, 0.5f, 1.0f, 0.4f);
            particle->m_Size = 0.2f;
            AddParticle(particle);
        }
    }
    bool Update() override {
        float t = CGraphicsEngine::GetInstance()->GetTime() + m_Index * 0.37f;
        float cx = ((m_Index % 40) - 19.5f) * 0.2f, cy = ((m_Index / 40) - 12.0f) * 0.2f;
        for (int i = 0; i < kParticles; ++i) {
            float a = t * 2.0f + i * 0.314f;
            m_Particles[i]->m_Position = D3DXVECTOR3(cx + 0.15f * std::cos(a), cy + 0.15f * std::sin(a), 0.02f * i);
        }
        return CParticleSystem::Update();
    }

private:
    int m_Index;
};

double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
    int frames = argc > 1 ? atoi(argv[1]) : 500;
    if (frames < 1) frames = 1;
    const char* gameDir = getenv("KOLVAR_GAME_DIR");
    if (!gameDir) gameDir = KOLVAR_DEFAULT_GAME_DIR;
    if (chdir(gameDir) != 0) {
        fprintf(stderr, "no game folder %s\n", gameDir);
        return 1;
    }
    enginescope::EngineScope scope(enginescope::Options{"bench_particles", 1024, 768, [] {}, false});
    if (!scope.Ok()) return 1;
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    CParticleSystemsManager* manager = CParticleSystemsManager::GetInstance();
    for (int i = 0; i < kSystems; ++i) new CSwirlSystem(i);

    std::chrono::steady_clock::duration update{}, draw{};
    auto start = std::chrono::steady_clock::now();
    for (int frame = 0; frame < frames; ++frame) {
        auto t0 = std::chrono::steady_clock::now();
        engine->Tick();
        manager->Update();
        auto t1 = std::chrono::steady_clock::now();
        if (engine->BeginFrame(true)) {
            manager->Render();
            engine->EndFrame();
        }
        auto t2 = std::chrono::steady_clock::now();
        update += t1 - t0;
        draw += t2 - t1;
    }
    double total = Ms(std::chrono::steady_clock::now() - start);
    printf("backend: %s\n", d3d9hooks::ActiveBackend() == d3d9hooks::Backend::GL ? "GL" : "null");
    printf("systems: %d x %d particles, shared vertices: %u, batches: %zu\n", kSystems, kParticles,
           manager->GetSharedVertexTotal(), manager->GetBatches().size());
    printf("frames: %d\n", frames);
    printf("update: %.3f ms per frame\n", Ms(update) / frames);
    printf("draw (begin, render, end and present): %.3f ms per frame\n", Ms(draw) / frames);
    printf("frames per second: %.1f\n", frames * 1000.0 / total);
    return 0;
}
