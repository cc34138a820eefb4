#include "ParticleTestEnv.h"

#include <d3d9hooks.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "engine/GeneralParameters.h"
#include "engine/GraphicsEngine.h"
#include "engine/Log.h"
#include "support/TestUtil.h"

namespace particletest {

namespace {
std::string g_savedCwd;
size_t g_logMark = 0;

LRESULT TestWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}
}  // namespace

bool StartEngine(bool gl) {
    MarkLog();
    d3d9hooks::ResetAll();
    d3d9hooks::SetBackend(gl ? d3d9hooks::Backend::GL : d3d9hooks::Backend::Null);
    char cwd[4096];
    g_savedCwd = getcwd(cwd, sizeof cwd) ? cwd : ".";
    const char* gameDir = getenv("KOLVAR_GAME_DIR");
    if (!gameDir || chdir(gameDir) != 0) {
        ADD_FAILURE() << "no game folder (KOLVAR_GAME_DIR)";
        return false;
    }
    CGeneralParameters params;
    params.m_Caption = "particles";
    params.m_WndProc = TestWndProc;
    params.m_Windowed = true;
    params.m_Width = 1024;
    params.m_Height = 768;
    params.m_FixedStep = 0.025f;
    params.m_UpdateCallback = [] {};
    params.m_Bits = 32;
    return CGraphicsEngine::GetInstance()->SetGeneralParameters(&params);
}

void StopEngine() {
    delete CGraphicsEngine::GetInstancePtr();
    d3d9hooks::ResetAll();
    if (!g_savedCwd.empty() && chdir(g_savedCwd.c_str()) != 0) ADD_FAILURE() << "chdir back";
}

std::string LogText() { return testutil::ReadFile(std::string(g_Log.GetStartDirectory()) + "/log.html"); }

void MarkLog() { g_logMark = LogText().size(); }

int CountLogLines(const std::string& message) {
    std::string text = LogText();
    text.erase(0, std::min(g_logMark, text.size()));
    std::string needle = " ---- " + message + "\r\n";
    int count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++count;
    return count;
}

const std::vector<std::string> kPointSpriteStatesOn = {
    "SetRenderState(D3DRS_POINTSPRITEENABLE, 1)", "SetRenderState(D3DRS_LIGHTING, 0)",
    "SetRenderState(D3DRS_ZWRITEENABLE, 0)",      "SetRenderState(D3DRS_ALPHABLENDENABLE, 1)",
    "SetRenderState(D3DRS_SRCBLEND, 5)",          "SetRenderState(D3DRS_DESTBLEND, 2)",
    "SetRenderState(D3DRS_ALPHATESTENABLE, 1)",   "SetRenderState(D3DRS_ALPHAREF, 0)",
    "SetRenderState(D3DRS_ALPHAFUNC, 5)"};
const std::vector<std::string> kPointSpriteStatesOff = {
    "SetRenderState(D3DRS_POINTSPRITEENABLE, 0)", "SetRenderState(D3DRS_POINTSCALEENABLE, 0)",
    "SetRenderState(D3DRS_ZWRITEENABLE, 1)", "SetRenderState(D3DRS_ALPHABLENDENABLE, 0)",
    "SetRenderState(D3DRS_ALPHATESTENABLE, 0)"};

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
