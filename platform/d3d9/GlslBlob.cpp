#include "d3d9.h"

#include <cstring>

std::vector<DWORD> D3D9BuildGlslBlob(DWORD kind, const char* glslText) {
    const size_t len = strlen(glslText ? glslText : "") + 1;
    std::vector<DWORD> blob(3 + (len + 3) / 4, 0);
    blob[0] = D3D9_GLSL_MAGIC;
    blob[1] = kind;
    blob[2] = static_cast<DWORD>(len);
    memcpy(&blob[3], glslText ? glslText : "", len);
    return blob;
}

bool D3D9ReadGlslBlob(const DWORD* blob, DWORD* kind, const char** text) {
    if (!blob || blob[0] != D3D9_GLSL_MAGIC) return false;
    if (blob[1] != D3D9_GLSL_VERTEX && blob[1] != D3D9_GLSL_PIXEL) return false;
    const DWORD len = blob[2];
    if (len == 0 || len > D3D9_GLSL_MAX_TEXT) return false;
    const char* t = reinterpret_cast<const char*>(blob + 3);
    // The text must end exactly where the header says, with no NUL inside.
    if (t[len - 1] != '\0' || memchr(t, '\0', len - 1) != nullptr) return false;
    if (kind) *kind = blob[1];
    if (text) *text = t;
    return true;
}

UINT D3D9GlslBlobSize(const DWORD* blob) {
    if (!D3D9ReadGlslBlob(blob, nullptr, nullptr)) return 0;
    return static_cast<UINT>(12 + (blob[2] + 3) / 4 * 4);
}
