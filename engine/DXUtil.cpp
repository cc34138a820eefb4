#include "engine/DXUtil.h"

#include <win32.h>

#include <cstdio>
#include <cstring>

namespace {
struct FormatName {
    D3DFORMAT format;
    const char* name;
};

#define FMT(x) {x, #x}
const FormatName kFormats[] = {
    FMT(D3DFMT_UNKNOWN),       FMT(D3DFMT_R8G8B8),        FMT(D3DFMT_A8R8G8B8),      FMT(D3DFMT_X8R8G8B8),
    FMT(D3DFMT_R5G6B5),        FMT(D3DFMT_X1R5G5B5),      FMT(D3DFMT_A1R5G5B5),      FMT(D3DFMT_A4R4G4B4),
    FMT(D3DFMT_R3G3B2),        FMT(D3DFMT_A8),            FMT(D3DFMT_A8R3G3B2),      FMT(D3DFMT_X4R4G4B4),
    FMT(D3DFMT_A2B10G10R10),   FMT(D3DFMT_A8B8G8R8),      FMT(D3DFMT_X8B8G8R8),      FMT(D3DFMT_G16R16),
    FMT(D3DFMT_A2R10G10B10),   FMT(D3DFMT_A16B16G16R16),  FMT(D3DFMT_A8P8),          FMT(D3DFMT_P8),
    FMT(D3DFMT_L8),            FMT(D3DFMT_A8L8),          FMT(D3DFMT_A4L4),          FMT(D3DFMT_V8U8),
    FMT(D3DFMT_L6V5U5),        FMT(D3DFMT_X8L8V8U8),      FMT(D3DFMT_Q8W8V8U8),      FMT(D3DFMT_V16U16),
    FMT(D3DFMT_A2W10V10U10),   FMT(D3DFMT_UYVY),          FMT(D3DFMT_YUY2),          FMT(D3DFMT_DXT1),
    FMT(D3DFMT_DXT2),          FMT(D3DFMT_DXT3),          FMT(D3DFMT_DXT4),          FMT(D3DFMT_DXT5),
    FMT(D3DFMT_D16_LOCKABLE),  FMT(D3DFMT_D32),           FMT(D3DFMT_D15S1),         FMT(D3DFMT_D24S8),
    FMT(D3DFMT_D24X8),         FMT(D3DFMT_D24X4S4),       FMT(D3DFMT_D16),           FMT(D3DFMT_L16),
    FMT(D3DFMT_VERTEXDATA),    FMT(D3DFMT_INDEX16),       FMT(D3DFMT_INDEX32),       FMT(D3DFMT_Q16W16V16U16),
    FMT(D3DFMT_MULTI2_ARGB8),  FMT(D3DFMT_R16F),          FMT(D3DFMT_G16R16F),       FMT(D3DFMT_A16B16G16R16F),
    FMT(D3DFMT_R32F),          FMT(D3DFMT_G32R32F),       FMT(D3DFMT_A32B32G32R32F), FMT(D3DFMT_CxV8U8),
};
// The log names these 56 formats; the packed R8G8_B8G8 and G8R8_G8B8 and the
// float depth formats D32F_LOCKABLE and D24FS8 are "Unknown format".
static_assert(sizeof kFormats / sizeof kFormats[0] == 56, "format names");
#undef FMT

bool CanOpen(const char* path) {
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}
}  // namespace

const char* FormatToString(D3DFORMAT format, bool withPrefix) {
    for (const FormatName& f : kFormats) {
        if (f.format != format) continue;
        if (!withPrefix && strncmp(f.name, "D3DFMT_", 7) == 0) return f.name + 7;
        return f.name;
    }
    return "Unknown format";
}

HRESULT CopyNarrowString(char* out, const char* in, int size) {
    if (!out || !in || size < 1) return E_INVALIDARG;
    strncpy(out, in, static_cast<size_t>(size));
    out[size - 1] = '\0';
    return S_OK;
}

HRESULT GetMediaPath(char* out, int size) {
    if (!out || size < 1) return E_INVALIDARG;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\DirectX SDK", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return E_FAIL;
    DWORD type = 0, bytes = static_cast<DWORD>(size);
    LONG result = RegQueryValueExA(key, "DX9SDK Samples Path", nullptr, &type,
                                   reinterpret_cast<BYTE*>(out), &bytes);
    RegCloseKey(key);
    out[size - 1] = '\0';
    if (result != ERROR_SUCCESS) return E_FAIL;
    const char* suffix = "\\Media\\";
    if (strlen(out) + strlen(suffix) + 1 > static_cast<size_t>(size)) return E_INVALIDARG;
    strcat(out, suffix);
    return S_OK;
}

HRESULT FindMediaFile(char* out, int size, const char* name) {
    if (!name || !out || size < 1) return E_INVALIDARG;
    char* filePart = nullptr;
    DWORD len = GetFullPathNameA(name, static_cast<DWORD>(size), out, &filePart);
    if (len == 0 || len >= static_cast<DWORD>(size)) return E_FAIL;
    char bare[260];
    CopyNarrowString(bare, filePart ? filePart : name, sizeof bare);

    if (CanOpen(out)) return S_OK;
    if (CanOpen(bare)) return CopyNarrowString(out, bare, size);

    char media[260];
    HRESULT hr = GetMediaPath(media, sizeof media);
    if (FAILED(hr)) {
        // Leave the caller a usable name, as on the not-found path.
        CopyNarrowString(out, name, size);
        return hr;
    }
    if (strlen(media) + strlen(bare) + 1 > static_cast<size_t>(size)) return E_INVALIDARG;
    char full[520];
    snprintf(full, sizeof full, "%s%s", media, bare);
    if (CanOpen(full)) return CopyNarrowString(out, full, size);

    CopyNarrowString(out, name, size);
    return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
}
