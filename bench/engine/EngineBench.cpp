// bench_engine [--frames N] [--ticks N] [--width W --height H] [--screenshot file.png]
// Frames per second of the engine's empty frame (clear and present) in a
// window, and the cost of one Tick with an empty update callback. The device
// is whatever KOLVAR_D3D selects (GL unless "null").
#include "engine/EngineTimer.h"
#include "engine/GraphicsEngine.h"
#include "support/EngineScope.h"

#include <d3d9hooks.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void EmptyUpdate() {}

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace

int main(int argc, char** argv) {
    long frames = 1000, ticks = 1000000;
    int width = 1024, height = 768;
    std::string screenshot;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--frames")) frames = atol(argv[i + 1]);
        else if (!strcmp(argv[i], "--ticks")) ticks = atol(argv[i + 1]);
        else if (!strcmp(argv[i], "--width")) width = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--height")) height = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--screenshot")) screenshot = argv[i + 1];
    }

    enginescope::EngineScope scope(enginescope::Options{"Kolvar engine bench", width, height, EmptyUpdate, false});
    if (!scope.Ok()) return 1;
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    PumpMessages();

    // Warm up, then the empty frame.
    for (int i = 0; i < 20; ++i)
        if (engine->BeginFrame(true)) engine->EndFrame();
    auto start = std::chrono::steady_clock::now();
    long drawn = 0;
    for (long i = 0; i < frames; ++i) {
        if (!engine->BeginFrame(true)) continue;
        engine->EndFrame();
        ++drawn;
        if ((i & 63) == 0) PumpMessages();
    }
    double frameSeconds = Seconds(start);
    printf("empty frame %dx%d (%s device): %ld frames in %.3f s = %.1f frames/s (%.3f ms/frame)\n", width, height,
           d3d9hooks::ActiveBackend() == d3d9hooks::Backend::Null ? "null" : "GL", drawn, frameSeconds,
           drawn / frameSeconds, 1000.0 * frameSeconds / (drawn ? drawn : 1));

    // Ticks: each runs the remainder step at least (the elapsed time is tiny).
    start = std::chrono::steady_clock::now();
    for (long i = 0; i < ticks; ++i) engine->Tick();
    double tickSeconds = Seconds(start);
    printf("Tick with an empty callback: %ld ticks in %.3f s = %.1f ns/tick\n", ticks, tickSeconds,
           1e9 * tickSeconds / (ticks ? ticks : 1));

    if (!screenshot.empty()) {
        if (engine->BeginFrame(true)) {
            engine->GetDevice()->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(30, 90, 160), 1.0f, 0);
            UINT w = 0, h = 0;
            std::vector<DWORD> pixels = d3d9hooks::ReadBackBuffer(engine->GetDevice(), &w, &h);
            engine->EndFrame();
            if (pixels.empty() || !d3d9hooks::WritePng(screenshot, pixels, w, h))
                fprintf(stderr, "bench_engine: no screenshot (null device?)\n");
            else
                printf("screenshot %ux%u: %s\n", w, h, screenshot.c_str());
        }
    }
    return 0;
}
