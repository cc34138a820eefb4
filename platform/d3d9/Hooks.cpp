#include "d3d9hooks.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "Device.h"
#include "HookState.h"

namespace {

struct Fault {
    HRESULT hr = S_OK;
    int count = 0;
    DWORD mask = 0;
};

struct Hooks {
    d3d9hooks::Backend backend = d3d9hooks::Backend::FromEnvironment;
    bool versionsSet = false;
    DWORD vs = 0, ps = 0;
    std::map<D3DFORMAT, std::vector<D3DDISPLAYMODE>> modes;
    Fault create, reset;
    bool refuseCreate = false;
    bool glRecording = false;
    bool nullRecording = true;
    bool capturePresents = false;
    std::vector<std::string> log;
    std::map<HWND, void*> windows;
};

Hooks& State() {
    static Hooks hooks;
    return hooks;
}

d3d9::CDevice* Internal(IDirect3DDevice9* device) { return dynamic_cast<d3d9::CDevice*>(device); }

}  // namespace

namespace d3d9 {

void AppendCall(const std::string& line) {
    // A runaway test must not eat all memory; keep the newest lines.
    auto& log = State().log;
    if (log.size() >= 200000) log.erase(log.begin(), log.begin() + 100000);
    log.push_back(line);
}

bool GlRecordingRequested() { return State().glRecording; }

bool NullRecordingRequested() { return State().nullRecording; }

bool PresentCaptureRequested() { return State().capturePresents; }

bool UseNullBackend() { return d3d9hooks::ActiveBackend() == d3d9hooks::Backend::Null; }

HRESULT TakeCreateFault(DWORD behaviorFlags) {
    Fault& f = State().create;
    if (f.count <= 0) return S_OK;
    if (f.mask && !(behaviorFlags & f.mask)) return S_OK;
    --f.count;
    return f.hr;
}

HRESULT TakeResetFault() {
    Fault& f = State().reset;
    if (f.count <= 0) return S_OK;
    --f.count;
    return f.hr;
}

bool Direct3DCreateRefused() { return State().refuseCreate; }

bool ShaderVersionOverride(DWORD* vs, DWORD* ps) {
    if (!State().versionsSet) return false;
    *vs = State().vs;
    *ps = State().ps;
    return true;
}

bool AdapterModeOverride(D3DFORMAT format, std::vector<D3DDISPLAYMODE>* modes) {
    auto& m = State().modes;
    if (m.empty()) return false;
    auto it = m.find(format);
    modes->clear();
    if (it != m.end()) *modes = it->second;
    return true;
}

void* RegisteredSdlWindow(HWND window) {
    auto it = State().windows.find(window);
    return it == State().windows.end() ? nullptr : it->second;
}

}  // namespace d3d9

namespace d3d9hooks {

void SetBackend(Backend backend) { State().backend = backend; }

Backend ActiveBackend() {
    if (State().backend != Backend::FromEnvironment) return State().backend;
    const char* env = getenv("KOLVAR_D3D");
    return env && strcasecmp(env, "null") == 0 ? Backend::Null : Backend::GL;
}

void SetShaderVersions(DWORD vs, DWORD ps) {
    State().versionsSet = true;
    State().vs = vs;
    State().ps = ps;
}

void ClearShaderVersions() { State().versionsSet = false; }

void SetAdapterModes(D3DFORMAT format, const std::vector<D3DDISPLAYMODE>& modes) { State().modes[format] = modes; }

void ClearAdapterModes() { State().modes.clear(); }

void FailCreateDevice(HRESULT hr, int count, DWORD behaviorMask) { State().create = Fault{hr, count, behaviorMask}; }

void FailReset(HRESULT hr, int count) { State().reset = Fault{hr, count, 0}; }

void FailDirect3DCreate(bool fail) { State().refuseCreate = fail; }

void LoseDevice(IDirect3DDevice9* device) {
    if (auto* d = Internal(device)) d->SetLoss(d3d9::CDevice::Loss::Lost);
}

void MakeResettable(IDirect3DDevice9* device) {
    if (auto* d = Internal(device)) d->SetLoss(d3d9::CDevice::Loss::NotReset);
}

void ResetAll() {
    Hooks& h = State();
    h.backend = Backend::FromEnvironment;
    h.versionsSet = false;
    h.modes.clear();
    h.create = Fault{};
    h.reset = Fault{};
    h.refuseCreate = false;
    h.glRecording = false;
    h.nullRecording = true;
    h.capturePresents = false;
}

void CapturePresents(bool on) { State().capturePresents = on; }

std::vector<DWORD> LastPresentedFrame(IDirect3DDevice9* device, UINT* width, UINT* height) {
    UINT w = 0, h = 0;
    std::vector<DWORD> pixels;
    if (auto* d = Internal(device)) pixels = d->Renderer().LastPresented(&w, &h);
    if (width) *width = w;
    if (height) *height = h;
    return pixels;
}

void SetGlRecording(bool on) { State().glRecording = on; }

void SetNullRecording(bool on) { State().nullRecording = on; }

void SetDeviceRecording(IDirect3DDevice9* device, bool on) {
    if (auto* d = Internal(device)) d->SetRecording(on);
}

void SetTextureMemory(IDirect3DDevice9* device, uint64_t bytes) {
    if (auto* d = Internal(device)) d->SetTextureMemory(bytes);
}

const std::vector<std::string>& CallLog() { return State().log; }

void ClearCallLog() { State().log.clear(); }

std::vector<std::string> CallsStartingWith(const std::string& prefix) {
    std::vector<std::string> out;
    for (const std::string& line : State().log)
        if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
    return out;
}

int LiveDefaultPoolResources(IDirect3DDevice9* device) {
    auto* d = Internal(device);
    return d ? d->LiveDefaultPoolObjects() : 0;
}

int LiveStateBlocks(IDirect3DDevice9* device) {
    auto* d = Internal(device);
    return d ? d->LiveStateBlocks() : 0;
}

void RegisterSdlWindow(HWND window, void* sdlWindow) {
    if (sdlWindow)
        State().windows[window] = sdlWindow;
    else
        State().windows.erase(window);
}

std::vector<DWORD> ReadBackBuffer(IDirect3DDevice9* device, UINT* width, UINT* height) {
    UINT w = 0, h = 0;
    std::vector<DWORD> pixels;
    if (auto* d = Internal(device)) pixels = d->Renderer().ReadBack(&w, &h);
    if (width) *width = w;
    if (height) *height = h;
    return pixels;
}

bool WritePng(const std::string& path, const std::vector<DWORD>& pixels, UINT width, UINT height) {
    if (width == 0 || height == 0 || pixels.size() < static_cast<size_t>(width) * height) return false;
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<size_t>(width) * 4);
    for (UINT y = 0; y < height; ++y) {
        for (UINT x = 0; x < width; ++x) {
            const DWORD p = pixels[static_cast<size_t>(y) * width + x];
            row[x * 4 + 0] = static_cast<png_byte>(p >> 16);
            row[x * 4 + 1] = static_cast<png_byte>(p >> 8);
            row[x * 4 + 2] = static_cast<png_byte>(p);
            row[x * 4 + 3] = static_cast<png_byte>(p >> 24);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return fclose(f) == 0;
}

}  // namespace d3d9hooks

std::string D3D9ShaderCompileLog(IDirect3DDevice9* device) {
    auto* d = dynamic_cast<d3d9::CDevice*>(device);
    return d ? d->LastShaderLog() : std::string();
}

namespace d3d9 {
extern uint64_t g_glCalls;
}

uint64_t d3d9hooks::GlCallCount() { return d3d9::g_glCalls; }
