#include "ParticleTestEnv.h"

#include <d3d9hooks.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "engine/Log.h"
#include "support/EngineSupport.h"

namespace particletest {

namespace {
std::unique_ptr<testutil::ScopedCwd> g_cwd;
std::unique_ptr<enginescope::EngineScope> g_scope;
testutil::LogTail& Log() {
    static testutil::LogTail tail;
    return tail;
}
}  // namespace

bool StartEngine(bool gl) {
    Log().Mark();
    d3d9hooks::ResetAll();
    d3d9hooks::SetBackend(gl ? d3d9hooks::Backend::GL : d3d9hooks::Backend::Null);
    const char* gameDir = getenv("KOLVAR_GAME_DIR");
    if (!gameDir) {
        ADD_FAILURE() << "no game folder (KOLVAR_GAME_DIR)";
        return false;
    }
    g_cwd = std::make_unique<testutil::ScopedCwd>(gameDir);
    g_scope = std::make_unique<enginescope::EngineScope>(enginescope::Options{"particles", 1024, 768, nullptr, false});
    return g_scope->Ok();
}

void StopEngine() {
    g_scope.reset();
    d3d9hooks::ResetAll();
    g_cwd.reset();
}

int CountLogLines(const std::string& message) { return Log().Lines(message); }

void ExpectPointSpriteStates(IDirect3DDevice9* device, bool drawing) {
    struct State {
        D3DRENDERSTATETYPE state;
        DWORD drawing, after;
    } states[] = {
        {D3DRS_POINTSPRITEENABLE, TRUE, FALSE}, {D3DRS_ZWRITEENABLE, FALSE, TRUE},
        {D3DRS_ALPHABLENDENABLE, TRUE, FALSE},  {D3DRS_ALPHATESTENABLE, TRUE, FALSE},
    };
    for (const State& s : states) {
        DWORD value = ~0u;
        device->GetRenderState(s.state, &value);
        EXPECT_EQ(value, drawing ? s.drawing : s.after) << "render state " << s.state;
    }
    if (!drawing) return;
    DWORD src = 0, dest = 0, func = 0, ref = ~0u;
    device->GetRenderState(D3DRS_SRCBLEND, &src);
    device->GetRenderState(D3DRS_DESTBLEND, &dest);
    device->GetRenderState(D3DRS_ALPHAFUNC, &func);
    device->GetRenderState(D3DRS_ALPHAREF, &ref);
    EXPECT_EQ(src, DWORD(D3DBLEND_SRCALPHA));
    EXPECT_EQ(dest, DWORD(D3DBLEND_ONE));
    EXPECT_EQ(func, DWORD(D3DCMP_GREATER));
    EXPECT_EQ(ref, 0u);
}

std::vector<std::string> LockCalls() {
    std::vector<std::string> locks;
    for (const std::string& line : d3d9hooks::CallLog()) {
        size_t at = line.find(".Lock(");
        if (at != std::string::npos) locks.push_back(line.substr(at));
    }
    return locks;
}

TestSystem::TestSystem(CTextureEntry* texture, unsigned particles, bool ownBuffer, unsigned maxParticles)
    : CParticleSystem(texture, maxParticles, ownBuffer, true) {
    for (unsigned i = 0; i < particles; ++i) {
        CParticle* particle = new CParticle();
        particle->m_Position = D3DXVECTOR3(static_cast<float>(i), 0.0f, 0.0f);
        if (!AddParticle(particle)) delete particle;
    }
}

TestSystem::~TestSystem() {
    if (m_pDeletedFlag) *m_pDeletedFlag = true;
}

bool TestSystem::Update() {
    ++m_Updates;
    if (m_Finish) return false;
    return CParticleSystem::Update();
}

}  // namespace particletest
