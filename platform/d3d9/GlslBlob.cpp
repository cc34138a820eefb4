#include "d3d9.h"

#include <cstring>

namespace {
size_t TextWords(size_t bytes) { return (bytes + 3) / 4; }
}  // namespace

std::vector<DWORD> D3D9BuildGlslBlob(DWORD kind, const char* glslText) {
    const size_t len = strlen(glslText ? glslText : "") + 1;
    std::vector<DWORD> blob(3 + TextWords(len) + 1, 0);
    blob[0] = D3D9_GLSL_MAGIC;
    blob[1] = kind;
    blob[2] = static_cast<DWORD>(len);
    memcpy(&blob[3], glslText ? glslText : "", len);
    blob.back() = D3D9_GLSL_END;
    return blob;
}

bool D3D9ReadGlslBlob(const DWORD* blob, DWORD* kind, const char** text) {
    if (!blob || blob[0] != D3D9_GLSL_MAGIC) return false;
    if (blob[1] != D3D9_GLSL_VERTEX && blob[1] != D3D9_GLSL_PIXEL) return false;
    const DWORD len = blob[2];
    if (len == 0 || len > D3D9_GLSL_MAX_TEXT) return false;
    const char* t = reinterpret_cast<const char*>(blob + 3);
    // A length field that lies must not lead the reader out of the blob: the
    // first NUL ends the text whatever the header says, so it must sit exactly
    // where the header puts it.
    if (strnlen(t, len) != len - 1) return false;
    // The rest of the NUL's word is padding, then the marker the builder wrote.
    for (size_t i = len; i < TextWords(len) * 4; ++i)
        if (t[i] != '\0') return false;
    if (blob[3 + TextWords(len)] != D3D9_GLSL_END) return false;
    if (kind) *kind = blob[1];
    if (text) *text = t;
    return true;
}

UINT D3D9GlslBlobSize(const DWORD* blob) {
    if (!D3D9ReadGlslBlob(blob, nullptr, nullptr)) return 0;
    return static_cast<UINT>(4 * (3 + TextWords(blob[2]) + 1));
}
