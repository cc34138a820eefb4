// libFuzzer entry points for the file readers, through the calls the game makes.
// One binary per reader, chosen at build time by KOLVAR_FUZZ_READER.
#include <cg.h>
#include <d3d9hooks.h>
#include <d3dx9.h>
#include <dmusic.h>
#include <win32.h>
#include <wingdi.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"

namespace {

// Readers take file names: each input goes through a private file.
std::string WriteInput(const uint8_t* data, size_t size, const char* suffix) {
    static const std::string path = fuzzsupport::MakeScratch() + "/input" + suffix;
    fuzzsupport::WriteInput(path, data, size);
    return path;
}

[[maybe_unused]] IDirect3DDevice9* Device() {  // not every reader draws
    static IDirect3DDevice9* device = [] {
        d3d9hooks::SetBackend(d3d9hooks::Backend::Null);
        IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS pp = {};
        pp.Windowed = TRUE;
        pp.BackBufferWidth = 64;
        pp.BackBufferHeight = 64;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        IDirect3DDevice9* d = nullptr;
        d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &d);
        return d;
    }();
    return device;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
#if defined(KOLVAR_FUZZ_IMAGE)
    std::string path = WriteInput(data, size, ".img");
    D3DXIMAGE_INFO info;
    D3DXGetImageInfoFromFileA(path.c_str(), &info);
    IDirect3DTexture9* texture = nullptr;
    if (SUCCEEDED(D3DXCreateTextureFromFileA(Device(), path.c_str(), &texture))) texture->Release();
#elif defined(KOLVAR_FUZZ_MESH)
    std::string path = WriteInput(data, size, ".x");
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* materials = nullptr;
    DWORD count = 0;
    D3DXLoadMeshFromXA(path.c_str(), D3DXMESH_MANAGED, Device(), nullptr, &materials, nullptr, &count, &mesh);
    if (materials) materials->Release();
    if (mesh) mesh->Release();
#elif defined(KOLVAR_FUZZ_MIDI)
    static IDirectMusicLoader8* loader = [] {
        CoInitialize(nullptr);
        IDirectMusicLoader8* l = nullptr;
        CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8,
                         reinterpret_cast<void**>(&l));
        return l;
    }();
    std::string path = WriteInput(data, size, ".mid");
    std::wstring wide(path.begin(), path.end());
    IDirectMusicSegment8* segment = nullptr;
    if (SUCCEEDED(loader->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, wide.c_str(),
                                             reinterpret_cast<void**>(&segment)))) {
        loader->ReleaseObjectByUnknown(segment);
        segment->Release();
    }
#elif defined(KOLVAR_FUZZ_INI)
    std::string path = WriteInput(data, size, ".ini");
    char value[64];
    GetPrivateProfileStringA("sound", "music", "", value, sizeof value, path.c_str());
    GetPrivateProfileStringA("sound", nullptr, "", value, sizeof value, path.c_str());
    WritePrivateProfileStringA("sound", "music", "1", path.c_str());
#elif defined(KOLVAR_FUZZ_SHADER)
    static CGcontext context = [] {
        cgD3D9SetDevice(Device());
        return cgCreateContext();
    }();
    std::string path = WriteInput(data, size, ".cg");
    CGprogram program = cgCreateProgramFromFile(context, CG_SOURCE, path.c_str(), CG_PROFILE_VS_1_1, "main", nullptr);
    if (program) cgDestroyProgram(program);
#elif defined(KOLVAR_FUZZ_FONT)
    static HDC dc = [] {
        HDC d = CreateCompatibleDC(nullptr);
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = 64;
        bi.bmiHeader.biHeight = -64;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        SelectObject(d, CreateDIBSection(d, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
        return d;
    }();
    std::string path = WriteInput(data, size, ".ttf");
    if (AddFontResourceA(path.c_str()) > 0) {
        HFONT font = CreateFontA(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH, "input");
        HGDIOBJ old = SelectObject(dc, font);
        ExtTextOutA(dc, 0, 0, ETO_OPAQUE, nullptr, "Ag1", 3, nullptr);
        SelectObject(dc, old);
        DeleteObject(font);
        RemoveFontResourceA(path.c_str());
    }
#else
#error "choose a reader with KOLVAR_FUZZ_<READER>"
#endif
    return 0;
}
