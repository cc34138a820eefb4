// D3DXAssembleShader stand-in: wraps GLSL text in the layer's shader blob.
#include <cstring>
#include <string>

#include "d3dx9shader.h"

namespace {

HRESULT Fail(const std::string& message, ID3DXBuffer** errorMsgs) {
    if (errorMsgs) {
        *errorMsgs = nullptr;
        if (SUCCEEDED(D3DXCreateBuffer(DWORD(message.size() + 1), errorMsgs)))
            memcpy((*errorMsgs)->GetBufferPointer(), message.c_str(), message.size() + 1);
    }
    return D3DXERR_INVALIDDATA;
}

}  // namespace

HRESULT D3DXAssembleShader(LPCSTR srcData, UINT srcDataLen, const D3DXMACRO* defines, LPD3DXINCLUDE include,
                           DWORD, ID3DXBuffer** shader, ID3DXBuffer** errorMsgs) {
    if (errorMsgs) *errorMsgs = nullptr;
    if (!srcData || !shader) return D3DERR_INVALIDCALL;
    *shader = nullptr;
    if (include) return Fail("include handlers are not supported", errorMsgs);
    // The length counts the text; a NUL before it ends the text.
    std::string text(srcData, strnlen(srcData, srcDataLen));
    size_t eol = text.find('\n');
    std::string first = text.substr(0, eol);
    DWORD kind;
    if (first.compare(0, 6, "// vs_") == 0) {
        kind = D3D9_GLSL_VERTEX;
    } else if (first.compare(0, 6, "// ps_") == 0) {
        kind = D3D9_GLSL_PIXEL;
    } else {
        return Fail("the program text does not name a vs_ or ps_ profile on its first line", errorMsgs);
    }
    std::string body = eol == std::string::npos ? std::string() : text.substr(eol + 1);
    std::string out = first + "\n";
    for (const D3DXMACRO* d = defines; d && d->Name; ++d)
        out += std::string("#define ") + d->Name + " " + (d->Definition ? d->Definition : "") + "\n";
    out += body;
    if (out.size() + 1 > D3D9_GLSL_MAX_TEXT) return Fail("program text too long", errorMsgs);
    std::vector<DWORD> blob = D3D9BuildGlslBlob(kind, out.c_str());
    if (blob.empty()) return Fail("cannot build the shader blob", errorMsgs);
    HRESULT hr = D3DXCreateBuffer(DWORD(blob.size() * sizeof(DWORD)), shader);
    if (FAILED(hr)) return hr;
    memcpy((*shader)->GetBufferPointer(), blob.data(), blob.size() * sizeof(DWORD));
    return D3D_OK;
}
