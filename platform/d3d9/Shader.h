// Vertex and pixel shaders: the GLSL text of a blob (see d3d9.h) and the
// backend's compiled object.
#pragma once

#include <string>
#include <vector>

#include "DeviceObject.h"

namespace d3d9 {

class CShader : public CDeviceObject {
public:
    CShader(CDevice* device, DWORD kind, const DWORD* blob, const char* text)
        : CDeviceObject(device, D3DPOOL_MANAGED, kind == D3D9_GLSL_VERTEX ? "vs" : "ps"), m_kind(kind),
          m_blob(blob, blob + D3D9GlslBlobSize(blob) / 4), m_text(text) {}
    ~CShader() override;
    DWORD Kind() const { return m_kind; }
    const std::string& Text() const { return m_text; }
    HRESULT Function(void* data, UINT* size);

    uint32_t m_glName = 0;  // compiled shader object
    uint32_t m_serial = 0;  // identifies the shader in program caches

protected:
    DWORD m_kind;
    std::vector<DWORD> m_blob;
    std::string m_text;
};

}  // namespace d3d9
