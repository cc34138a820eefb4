// The graphics engine on the recording null device: start-up and exit log,
// creation fallbacks, mode lists, the fixed-step tick, the frame cycle through
// device loss and reset, and the style changes of the window.
#include <gtest/gtest.h>

#include <d3d9hooks.h>
#include <platform.h>
#include <winuserhooks.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/EngineTimer.h"
#include "engine/GraphicsEngine.h"
#include "engine/Log.h"
#include "engine/MenuHooks.h"
#include "engine/TextureEntry.h"
#include "support/EngineSupport.h"

namespace {

using testutil::LogEntry;

std::vector<float> g_Steps;
std::vector<float> g_TimesInStep;

void RecordStep() {
    g_Steps.push_back(CGraphicsEngine::GetInstance()->GetCurrentStep());
    g_TimesInStep.push_back(CGraphicsEngine::GetInstance()->GetTime());
}

// Index of the first call at or after `from` that starts with `prefix`, or -1.
int FindCall(const std::vector<std::string>& calls, const std::string& prefix, int from = 0) {
    for (size_t i = from; i < calls.size(); ++i)
        if (calls[i].compare(0, prefix.size(), prefix) == 0) return static_cast<int>(i);
    return -1;
}

// Index of the first call at or after `from` that holds both parts, or -1.
int FindCallWith(const std::vector<std::string>& calls, const std::string& a, const std::string& b, int from = 0) {
    for (size_t i = from; i < calls.size(); ++i)
        if (calls[i].find(a) != std::string::npos && calls[i].find(b) != std::string::npos) return static_cast<int>(i);
    return -1;
}

// Every case runs on the null device and, with a display, on the GL device
// with its call recording switched on.
class GraphicsEngineTest : public testing::TestWithParam<d3d9hooks::Backend> {
protected:
    void SetUp() override {
        if (GetParam() == d3d9hooks::Backend::GL && !getenv("DISPLAY")) KOLVAR_SKIP_WITHOUT_GL() << "no display for GL";
        UseBackend();
        platform::SetFakeClock(true, 1000000000LL);
        EngineTimerRestart();
        g_Steps.clear();
        g_TimesInStep.clear();
        enginescope::FillWindowed(m_Params, "Kolvar engine test", 640, 480, RecordStep);
        m_Log.Mark();
    }
    void TearDown() override {
        m_Singletons.Now();
        d3d9hooks::ResetAll();
        platform::SetFakeClock(false);
    }

    void UseBackend() {
        d3d9hooks::ResetAll();
        d3d9hooks::SetBackend(GetParam());
        d3d9hooks::SetGlRecording(GetParam() == d3d9hooks::Backend::GL);
        d3d9hooks::ClearCallLog();
    }

    CGraphicsEngine* Start() {
        CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
        EXPECT_TRUE(engine->SetGeneralParameters(&m_Params));
        return engine;
    }

    bool Logged(const std::string& text) const { return m_Log.Lines(text) > 0; }

    CGeneralParameters m_Params;
    testutil::LogTail m_Log;
    enginescope::Sweep m_Singletons;
};

TEST_P(GraphicsEngineTest, StartUpAndExitLog) {
    d3d9hooks::SetAdapterModes(D3DFMT_R5G6B5, {{800, 600, 60, D3DFMT_R5G6B5}});
    d3d9hooks::SetAdapterModes(D3DFMT_X8R8G8B8, {{1024, 768, 60, D3DFMT_X8R8G8B8}});
    Start();
    m_Singletons.Now();
    EXPECT_EQ(CGraphicsEngine::GetInstancePtr(), nullptr);

    const int desktopW = GetSystemMetrics(SM_CXSCREEN), desktopH = GetSystemMetrics(SM_CYSCREEN);
    const std::string line = "--------------------------------";
    std::vector<LogEntry> expected = {
        {"blue", true, "Graphics engine started !"},
        {"purple", false, line},
        {"purple", true, "           Initializing         "},
        {"purple", false, line},
        {"blue", false, "Initializing camera"},
        {"green", false, "complete"},
        {"blue", false, "Setting general parameters:"},
        {"darkgray", false, "   caption = Kolvar engine test"},
        {"darkgray", false, "   width = 640"},
        {"darkgray", false, "   height = 480"},
        {"darkgray", false, "  bits = 32"},
        {"darkgray", false, "windowed = yes"},
        {"black", false, "auto-detection parameters:"},
        {"darkgray", false, "  desktop width = " + std::to_string(desktopW)},
        {"darkgray", false, "  desktop height = " + std::to_string(desktopH)},
        {"green", false, "complete"},
        {"blue", false, "Creating window"},
        {"green", false, "complete"},
        {"blue", false, "Creating Direct3D9 object"},
        {"green", false, "complete"},
        {"blue", false, "Build Direct3D present parameters:"},
        {"darkgray", false, "   BackBuffer format = D3DFMT_UNKNOWN"},
        {"green", false, "complete"},
        {"blue", false, "Creating device"},
        {"gray", false, "trying create hardware vertex processing device..."},
        {"black", false, "Adapter name: *"},
        {"black", false, "driver: *"},
        {"black", false, "supported modes: "},
        {"gray", false, "800x600x16"},
        {"gray", false, "1024x768x32"},
        {"green", false, "complete"},
        {"purple", false, line},
        {"purple", true, "           Complete         "},
        {"purple", false, line},
        {"purple", false, line},
        {"purple", true, "            Exiting             "},
        {"purple", false, line},
        {"blue", false, "destroying camera"},
        {"green", false, "complete"},
        {"blue", false, "Release Direct3D9 device"},
        {"green", false, "complete"},
        {"blue", false, "Release Direct3D9 object"},
        {"green", false, "complete"},
        {"blue", true, "Graphics engine ended !"},
    };
    // Other layers (input, managers) may log between these lines; ours keep their order.
    std::vector<LogEntry> got = m_Log.Entries();
    size_t at = 0;
    for (const LogEntry& want : expected) {
        bool prefixOnly = want.text.back() == '*';
        std::string text = prefixOnly ? want.text.substr(0, want.text.size() - 1) : want.text;
        while (at < got.size() &&
               !(prefixOnly ? got[at].text.compare(0, text.size(), text) == 0 : got[at].text == text))
            ++at;
        ASSERT_LT(at, got.size()) << "missing or out of order: \"" << want.text << "\"";
        EXPECT_EQ(got[at].colour, want.colour) << want.text;
        EXPECT_EQ(got[at].bold, want.bold) << want.text;
        ++at;
    }
}

void LogMenuCreated() { g_Log.Print("gray", "menu manager hook: create"); }
void LogMenuDestroyed() { g_Log.Print("gray", "menu manager hook: destroy"); }

// The managers come up in a fixed order at start-up and go in another at exit.
TEST_P(GraphicsEngineTest, ManagersAreMadeAndDeletedInOrder) {
    SetMenuManagerHooks(LogMenuCreated, LogMenuDestroyed);
    Start();
    m_Singletons.Now();
    SetMenuManagerHooks(nullptr, nullptr);
    const std::vector<std::string> order = {
        "Creating DirectInput8 object",
        "Creating window",
        "Creating device",
        "Initializing mesh manager",
        "Initializing font manager",
        "Initializing texture manager",
        "Initializing particle systems manager",
        "Initializing shader manager",
        "menu manager hook: create",
        "Creating keyboard device",
        "Creating mouse device",
        "           Complete         ",
        "destroying camera",
        "Destroying particle systems manager",
        "Destroying mesh manager",
        "Destroying texture manager",
        "Destroying font manager",
        "Destroying shaders and declarations",
        "menu manager hook: destroy",
        "Release keyboard device",
        "Release mouse device",
        "Release DirectInput8 object",
        "Release Direct3D9 device",
        "Release Direct3D9 object",
    };
    std::vector<std::string> got;
    for (const LogEntry& e : m_Log.Entries()) got.push_back(e.text);
    EXPECT_TRUE(testutil::InOrder(got, order));
}

TEST_P(GraphicsEngineTest, StartUpStatesAndFirstFrame) {
    CGraphicsEngine* engine = Start();
    ASSERT_NE(engine->GetDevice(), nullptr);
    ASSERT_NE(engine->GetWindow(), nullptr);
    ASSERT_NE(engine->GetSprite(), nullptr);
    const std::vector<std::string>& calls = d3d9hooks::CallLog();
    int create = FindCall(calls, "CreateDevice(");
    ASSERT_GE(create, 0);
    EXPECT_NE(calls[create].find("HARDWARE_VERTEXPROCESSING"), std::string::npos) << calls[create];
    for (const char* state : {"SetRenderState(D3DRS_DITHERENABLE, 1)", "SetRenderState(D3DRS_ZENABLE, 1)",
                              "SetRenderState(D3DRS_LIGHTING, 0)"})
        EXPECT_GE(FindCall(calls, state, create), 0) << state;
    EXPECT_EQ(d3d9hooks::CallsStartingWith("SetSamplerState(").size(), 10u);
    EXPECT_EQ(d3d9hooks::CallsStartingWith("SetTextureStageState(").size(), 4u);
    int grey = FindCall(calls, "Clear(0, NULL, D3DCLEAR_TARGET|D3DCLEAR_ZBUFFER, 0x4d4d4d4d, 1, 0)", create);
    ASSERT_GE(grey, 0);
    EXPECT_GE(FindCall(calls, "Present(", grey), 0);

    // A frame that keeps the colour target clears depth only.
    d3d9hooks::ClearCallLog();
    ASSERT_TRUE(engine->BeginFrame(false));
    engine->DrawQuad();
    engine->EndFrame();
    std::vector<std::string> frame = d3d9hooks::CallLog();
    ASSERT_GE(frame.size(), 8u);
    EXPECT_EQ(frame[0], "Clear(0, NULL, D3DCLEAR_ZBUFFER, 0x0, 1, 0)");
    EXPECT_EQ(frame[1], "BeginScene()");
    EXPECT_EQ(frame[2].rfind("SetFVF(", 0), 0u);
    EXPECT_GE(FindCall(frame, "DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2)"), 0);
    EXPECT_EQ(frame[frame.size() - 2], "EndScene()");
    EXPECT_EQ(frame.back().rfind("Present(", 0), 0u);
}

TEST_P(GraphicsEngineTest, TickRunsWholeStepsThenTheRemainder) {
    CGraphicsEngine* engine = Start();
    engine->Tick();  // whatever start-up took
    g_Steps.clear();
    g_TimesInStep.clear();
    float t0 = engine->GetTime();

    platform::AdvanceFakeClock(60000000);  // 0.06 s
    engine->Tick();
    ASSERT_EQ(g_Steps.size(), 3u);
    EXPECT_FLOAT_EQ(g_Steps[0], 0.025f);
    EXPECT_FLOAT_EQ(g_Steps[1], 0.025f);
    EXPECT_NEAR(g_Steps[2], 0.01f, 1e-6f);
    // Inside a step the time is already that step's end.
    EXPECT_FLOAT_EQ(g_TimesInStep[0], t0 + 0.025f);
    EXPECT_NEAR(engine->GetTime(), t0 + 0.06f, 1e-6f);

    g_Steps.clear();
    platform::AdvanceFakeClock(25000000);  // exactly one step
    engine->Tick();
    ASSERT_EQ(g_Steps.size(), 2u);
    EXPECT_EQ(g_Steps[0], 0.025f);
    EXPECT_EQ(g_Steps[1], 0.0f);

    g_Steps.clear();
    platform::AdvanceFakeClock(10000000);
    engine->Tick();
    ASSERT_EQ(g_Steps.size(), 1u);
    EXPECT_NEAR(g_Steps[0], 0.01f, 1e-7f);

    // A long stall is caught up step by step, without a cap.
    g_Steps.clear();
    platform::AdvanceFakeClock(2000000000LL);
    engine->Tick();
    EXPECT_GE(g_Steps.size(), 80u);
}

TEST_P(GraphicsEngineTest, PauseDiscardsThePausedTime) {
    CGraphicsEngine* engine = Start();
    engine->Tick();
    float t0 = engine->GetTime();
    engine->Pause();
    g_Steps.clear();
    platform::AdvanceFakeClock(10000000000LL);
    engine->Tick();
    EXPECT_TRUE(g_Steps.empty());
    EXPECT_EQ(engine->GetTime(), t0);
    engine->Resume();
    platform::AdvanceFakeClock(20000000);
    engine->Tick();
    EXPECT_NEAR(engine->GetTime(), t0 + 0.02f, 1e-6f);
}

TEST_P(GraphicsEngineTest, TickWithoutCallbackOrWithAZeroStepDoesNotHang) {
    m_Params.m_UpdateCallback.clear();
    m_Params.m_FixedStep = 0.0f;
    CGraphicsEngine* engine = Start();
    engine->Tick();
    platform::AdvanceFakeClock(1000000000LL);
    engine->Tick();
    EXPECT_NEAR(engine->GetTime(), 1.0f, 1e-6f);
    EXPECT_NEAR(engine->GetCurrentStep(), 1.0f, 1e-6f);
}

TEST_P(GraphicsEngineTest, LostDeviceSkipsFramesUntilResetThenDraws) {
    CGraphicsEngine* engine = Start();
    IDirect3DDevice9* device = engine->GetDevice();
    const int liveAtStart = d3d9hooks::LiveDefaultPoolResources(device);
    ASSERT_TRUE(engine->BeginFrame(true));
    d3d9hooks::LoseDevice(device);
    engine->EndFrame();
    EXPECT_TRUE(engine->IsDeviceLost());
    EXPECT_FALSE(engine->BeginFrame(false));
    EXPECT_FALSE(engine->BeginFrame(false));
    EXPECT_FALSE(Logged("restarting Direct3D9")) << "no reset while the device reports lost";

    d3d9hooks::MakeResettable(device);
    d3d9hooks::ClearCallLog();
    EXPECT_FALSE(engine->BeginFrame(false)) << "the frame of the reset is not drawn";
    EXPECT_TRUE(Logged("restarting complete"));
    std::vector<std::string> calls = d3d9hooks::CallLog();
    // Nothing is drawn in the reset frame; the reset itself clears and presents once.
    EXPECT_EQ(FindCall(calls, "BeginScene("), -1);
    std::string all;
    for (const std::string& c : calls) all += c + "\n";
    SCOPED_TRACE(all);
    int reset = FindCall(calls, "Reset(");
    ASSERT_GE(reset, 0);
    // Invalidation: the sprite, then the quad's index and vertex buffers, all before the reset.
    int spriteLost = FindCall(calls, "ID3DXSprite.OnLostDevice()");
    int ibGone = FindCallWith(calls, "ib#", ".Release()", spriteLost);
    int vbGone = FindCallWith(calls, "vb#", ".Release()", ibGone);
    ASSERT_GE(spriteLost, 0);
    EXPECT_GT(ibGone, spriteLost);
    EXPECT_GT(vbGone, ibGone);
    EXPECT_GT(reset, vbGone);
    int clear = FindCall(calls, "Clear(0, NULL, D3DCLEAR_TARGET|D3DCLEAR_ZBUFFER, 0x804d, 1, 0)", reset);
    ASSERT_GT(clear, reset);
    int present = FindCall(calls, "Present(", clear);
    int spriteBack = FindCall(calls, "ID3DXSprite.OnResetDevice()", present);
    EXPECT_GT(spriteBack, present);
    int vb = FindCall(calls, "CreateVertexBuffer(", spriteBack);
    int ib = FindCall(calls, "CreateIndexBuffer(", vb);
    int view = FindCall(calls, "SetTransform(D3DTS_VIEW", ib);
    int proj = FindCall(calls, "SetTransform(D3DTS_PROJECTION", view);
    EXPECT_GT(present, clear);
    EXPECT_GT(vb, present);
    EXPECT_GT(ib, vb);
    EXPECT_GT(view, ib);
    EXPECT_GT(proj, view);
    // The device refuses a reset while default-pool objects live: the reset
    // went through, and afterwards exactly what lived before is back.
    EXPECT_EQ(d3d9hooks::LiveDefaultPoolResources(device), liveAtStart);
    // Meshes go before fonts, and come back after them.
    std::vector<std::string> steps;
    for (const LogEntry& e : m_Log.Entries())
        for (const char* step : {"Invalidating meshes:", "Invalidating fonts:", "restarting Direct3D9",
                                 "Restoring fonts:", "Restoring meshes:", "restarting complete"})
            if (e.text == step) steps.push_back(step);
    EXPECT_EQ(steps, (std::vector<std::string>{"Invalidating meshes:", "Invalidating fonts:", "restarting Direct3D9",
                                               "Restoring fonts:", "Restoring meshes:", "restarting complete"}));

    EXPECT_TRUE(engine->BeginFrame(false)) << "the next frame asks again and draws";
    EXPECT_FALSE(engine->IsDeviceLost());
    engine->EndFrame();
}

TEST_P(GraphicsEngineTest, FailedResetIsTriedAgainNextFrame) {
    CGraphicsEngine* engine = Start();
    IDirect3DDevice9* device = engine->GetDevice();
    d3d9hooks::LoseDevice(device);
    engine->BeginFrame(true);
    engine->EndFrame();
    d3d9hooks::MakeResettable(device);
    d3d9hooks::FailReset(D3DERR_INVALIDCALL, 1);
    EXPECT_FALSE(engine->BeginFrame(false));
    EXPECT_TRUE(Logged("Error: Device reset FAILED ! code:  (D3DERR_INVALIDCALL)"));
    EXPECT_FALSE(Logged("restarting complete"));
    EXPECT_TRUE(engine->IsDeviceLost());
    EXPECT_FALSE(engine->BeginFrame(false));
    EXPECT_TRUE(Logged("restarting complete"));
    EXPECT_TRUE(engine->BeginFrame(false));
    engine->EndFrame();
}

// A hardware device without pixel shaders, or one the driver refuses, gives way to a software one.
TEST_P(GraphicsEngineTest, HardwareDeviceFallsBackToSoftware) {
    struct Case {
        bool refused;
        std::vector<std::string> logged;
    } cases[] = {
        {false, {"NOTE: hardware shaders does not supported , trying software shaders", "ok..."}},
        {true, {"failed... code: D3DERR_NOTAVAILABLE", "then trying software...", "ok..."}},
    };
    for (const Case& c : cases) {
        UseBackend();
        m_Log.Mark();
        if (c.refused)
            d3d9hooks::FailCreateDevice(D3DERR_NOTAVAILABLE, 1, D3DCREATE_HARDWARE_VERTEXPROCESSING);
        else
            d3d9hooks::SetShaderVersions(D3DVS_VERSION(1, 1), D3DPS_VERSION(0, 0));
        EXPECT_NE(Start()->GetDevice(), nullptr);
        for (const std::string& line : c.logged) EXPECT_TRUE(Logged(line)) << line;
        std::vector<std::string> creates = d3d9hooks::CallsStartingWith("CreateDevice(");
        ASSERT_EQ(creates.size(), 2u);
        EXPECT_NE(creates[0].find("HARDWARE_VERTEXPROCESSING"), std::string::npos);
        EXPECT_NE(creates[1].find("SOFTWARE_VERTEXPROCESSING"), std::string::npos);
        m_Singletons.Now();
    }
}

TEST_P(GraphicsEngineTest, RefusedSizeIsRetriedAt800x600InTheEnginesCopyOnly) {
    m_Params.m_Windowed = false;
    m_Params.m_Width = 1600;
    m_Params.m_Height = 1200;
    d3d9hooks::FailCreateDevice(D3DERR_NOTAVAILABLE, 2);
    CGraphicsEngine* engine = Start();
    ASSERT_NE(engine->GetDevice(), nullptr);
    EXPECT_TRUE(Logged("Error: Creating device FAILED ! code:  D3DERR_NOTAVAILABLE"));
    CGeneralParameters now;
    ASSERT_TRUE(engine->GetGeneralParameters(&now));
    EXPECT_EQ(now.m_Width, 800);
    EXPECT_EQ(now.m_Height, 600);
    EXPECT_EQ(m_Params.m_Width, 1600) << "the shell's record keeps the asked size";
    std::vector<std::string> creates = d3d9hooks::CallsStartingWith("CreateDevice(");
    ASSERT_EQ(creates.size(), 3u);
    EXPECT_NE(creates[2].find("800"), std::string::npos) << creates[2];
}

TEST_P(GraphicsEngineTest, DeviceOrObjectCreationFailureEndsStartUp) {
    d3d9hooks::FailCreateDevice(D3DERR_NOTAVAILABLE, 4);
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    EXPECT_FALSE(engine->SetGeneralParameters(&m_Params));
    EXPECT_EQ(engine->GetDevice(), nullptr);
    m_Singletons.Now();

    UseBackend();
    d3d9hooks::FailDirect3DCreate(true);
    engine = CGraphicsEngine::GetInstance();
    EXPECT_FALSE(engine->SetGeneralParameters(&m_Params));
    EXPECT_TRUE(Logged("Error: Creating Direct3D9 object FAILED !"));

    EXPECT_FALSE(engine->SetGeneralParameters(nullptr));
    EXPECT_FALSE(engine->GetGeneralParameters(nullptr));
    EXPECT_TRUE(Logged("Error, parameters is empty !"));
}

// A damaged config.ini can ask for any size: a window whose sides do not fit
// the 32-bit coordinates ends start-up instead of wrapping around.
TEST_P(GraphicsEngineTest, WindowSizesBeyondTheCoordinatesAreRefused) {
    const int32_t sizes[][2] = {{INT32_MAX, 480}, {640, INT32_MAX}, {INT32_MAX - 4, INT32_MAX - 4}};
    for (const auto& size : sizes) {
        m_Params.m_Width = size[0];
        m_Params.m_Height = size[1];
        CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
        EXPECT_FALSE(engine->SetGeneralParameters(&m_Params)) << size[0] << " x " << size[1];
        EXPECT_EQ(engine->GetDevice(), nullptr);
        const std::string line = "Error, window size " + std::to_string(size[0]) + " x " + std::to_string(size[1]) +
                                 " does not fit the screen coordinates !";
        EXPECT_TRUE(Logged(line)) << line;
        m_Singletons.Now();
        UseBackend();
    }
}

TEST_P(GraphicsEngineTest, ModeListsKeepTheFirstModeOfEachSize) {
    d3d9hooks::SetAdapterModes(D3DFMT_R5G6B5, {{640, 480, 60, D3DFMT_R5G6B5},
                                               {640, 480, 75, D3DFMT_R5G6B5},
                                               {320, 240, 60, D3DFMT_R5G6B5},
                                               {800, 400, 60, D3DFMT_R5G6B5},
                                               {1024, 768, 85, D3DFMT_R5G6B5},
                                               {800, 600, 60, D3DFMT_R5G6B5}});
    d3d9hooks::SetAdapterModes(D3DFMT_X8R8G8B8, {{1280, 1024, 60, D3DFMT_X8R8G8B8},
                                                 {639, 480, 60, D3DFMT_X8R8G8B8},
                                                 {1280, 1024, 75, D3DFMT_X8R8G8B8}});
    CGraphicsEngine* engine = Start();
    const std::vector<D3DDISPLAYMODE>& m16 = engine->GetModes16();
    ASSERT_EQ(m16.size(), 3u);
    EXPECT_EQ(m16[0].Width, 640u);
    EXPECT_EQ(m16[0].RefreshRate, 60u);
    EXPECT_EQ(m16[1].Width, 1024u);
    EXPECT_EQ(m16[2].Width, 800u);
    EXPECT_EQ(m16[2].Height, 600u);
    ASSERT_EQ(engine->GetModes32().size(), 1u);
    EXPECT_EQ(engine->GetModes32()[0].RefreshRate, 60u);
    EXPECT_TRUE(Logged("1280x1024x32"));
    EXPECT_FALSE(Logged("320x240x16"));
}

TEST_P(GraphicsEngineTest, FullScreenToggleResetsAndRestylesTheWindow) {
    CGraphicsEngine* engine = Start();
    HWND window = engine->GetWindow();
    RECT client;
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, 640) << "the window made at start has a client area of the asked size";
    EXPECT_EQ(client.bottom, 480);

    CGeneralParameters p;
    ASSERT_TRUE(engine->GetGeneralParameters(&p));
    const int32_t desktopW = p.m_DesktopWidth;
    p.m_Windowed = false;
    p.m_Bits = 16;
    p.m_DesktopWidth = 123;  // a later record's desktop size is not taken
    d3d9hooks::ClearCallLog();
    ASSERT_TRUE(engine->SetGeneralParameters(&p));
    EXPECT_TRUE(Logged("   windowed =  no"));
    EXPECT_TRUE(Logged("   BackBuffer format = D3DFMT_R5G6B5"));
    EXPECT_TRUE(Logged("        ReInitializing          "));
    EXPECT_TRUE(platform::IsFullScreenWindow(window));
    EXPECT_EQ(d3d9hooks::CallsStartingWith("Reset(").size(), 1u);
    EXPECT_EQ(d3d9hooks::CallsStartingWith("CreateDevice(").size(), 0u);
    ASSERT_TRUE(engine->GetGeneralParameters(&p));
    EXPECT_EQ(p.m_DesktopWidth, desktopW);

    // Back to a window: its outer size, not its client area, is the asked size.
    p.m_Windowed = true;
    ASSERT_TRUE(engine->SetGeneralParameters(&p));
    EXPECT_FALSE(platform::IsFullScreenWindow(window));
    RECT outer;
    ASSERT_TRUE(GetWindowRect(window, &outer));
    EXPECT_EQ(outer.right - outer.left, 640);
    EXPECT_EQ(outer.bottom - outer.top, 480);
    EXPECT_EQ(outer.left, (desktopW - 640) / 2);
    GetClientRect(window, &client);
    EXPECT_LT(client.right, 640);
}

TEST_P(GraphicsEngineTest, ViewProjectionIsCachedUntilTheViewChanges) {
    CGraphicsEngine* engine = Start();
    d3d9hooks::ClearCallLog();
    const D3DXMATRIX* vp = engine->GetViewProjMatrix();
    EXPECT_EQ(d3d9hooks::CallsStartingWith("SetTransform(").size(), 2u);
    engine->GetViewProjMatrix();
    EXPECT_EQ(d3d9hooks::CallsStartingWith("SetTransform(").size(), 2u) << "cached";
    // The start view looks from (0, 0, -7) at the origin: the origin lands mid-screen.
    D3DXVECTOR4 origin(0, 0, 0, 1), clip;
    D3DXVec4Transform(&clip, &origin, vp);
    EXPECT_NEAR(clip.x / clip.w, 0.0f, 1e-6f);
    EXPECT_NEAR(clip.w, 7.0f, 1e-5f);

    engine->SetViewParams(D3DXVECTOR3(0, 0, -3), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 1, 0));
    D3DXVec4Transform(&clip, &origin, engine->GetViewProjMatrix());
    EXPECT_NEAR(clip.w, 3.0f, 1e-5f);
}

// Positions and scales are fractions of a 1024 x 768 screen; the sprite's own
// blending gives way to the caller's; colours are clamped and rounded bytes.
TEST_P(GraphicsEngineTest, Sprite2DPlacesScalesAndColoursForTheScreenSize) {
    struct Case {
        int width, height;
        const char* draw;
    } cases[] = {
        {1024, 768, "ID3DXSprite.Draw(tex, NULL, {1,1}, NULL, 0.25, {480,352}, 0xffff0080)"},
        {800, 600, "ID3DXSprite.Draw(tex, NULL, {0.78125,0.78125}, NULL, 0.25, {375,275}, 0xffff0080)"},
    };
    for (const Case& c : cases) {
        m_Params.m_Width = c.width;
        m_Params.m_Height = c.height;
        CGraphicsEngine* engine = Start();
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(engine->GetDevice()->CreateTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
                  D3D_OK);
        CTextureEntry entry;
        entry.m_Width = 64;
        entry.m_Height = 64;
        entry.m_pTexture = texture;
        ASSERT_TRUE(engine->BeginFrame(true));
        d3d9hooks::ClearCallLog();
        engine->DrawSprite2D(&entry, 0.5f, 0.5f, 1.0f, 1.0f, 1.5f, -0.2f, 0.5f, 1.0f, true, 0.25f,
                             D3DBLEND_SRCALPHA, D3DBLEND_ONE);
        std::vector<std::string> calls = d3d9hooks::CallLog();
        engine->EndFrame();
        int begin = FindCall(calls, "ID3DXSprite.Begin()");
        int src = FindCall(calls, "SetRenderState(D3DRS_SRCBLEND, 5)", begin);
        int dest = FindCall(calls, "SetRenderState(D3DRS_DESTBLEND, 2)", src);
        int draw = FindCall(calls, c.draw, dest);
        EXPECT_GE(begin, 0);
        EXPECT_GT(src, begin);
        EXPECT_GT(dest, src);
        EXPECT_GT(draw, dest) << c.draw;
        EXPECT_GT(FindCall(calls, "ID3DXSprite.End()", draw), draw);

        // Not centred: the top-left corner goes to (x, y).
        d3d9hooks::ClearCallLog();
        ASSERT_TRUE(engine->BeginFrame(true));
        engine->DrawSprite2D(&entry, 0.25f, 0.0f, 2.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.5f, false, 0.0f, D3DBLEND_ONE,
                             D3DBLEND_ZERO);
        engine->EndFrame();
        std::string corner = "{" + std::to_string(c.width / 4) + ",0}, 0x80ffffff)";
        EXPECT_EQ(d3d9hooks::CallsStartingWith("ID3DXSprite.Draw(").size(), 1u);
        EXPECT_NE(d3d9hooks::CallsStartingWith("ID3DXSprite.Draw(")[0].find(corner), std::string::npos)
            << d3d9hooks::CallsStartingWith("ID3DXSprite.Draw(")[0];

        entry.m_pTexture = nullptr;
        texture->Release();
        m_Singletons.Now();
    }
}

INSTANTIATE_TEST_SUITE_P(Devices, GraphicsEngineTest,
                         testing::Values(d3d9hooks::Backend::Null, d3d9hooks::Backend::GL),
                         [](const testing::TestParamInfo<d3d9hooks::Backend>& info) {
                             return info.param == d3d9hooks::Backend::GL ? std::string("GL") : std::string("Null");
                         });

}  // namespace
