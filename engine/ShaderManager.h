#pragma once

#include <cg.h>
#include <d3d9.h>

#include <string>
#include <vector>

#include "engine/PixelShader.h"
#include "engine/Singleton.h"
#include "engine/VertexDeclaration.h"
#include "engine/VertexShader.h"

// Compiles Cg programs into Direct3D shaders and owns them and the vertex
// declarations; sets shaders, declarations and constants (by name) on the
// device. Shaders and declarations survive a device reset.
class CShaderManager : public CSingleton<CShaderManager> {
public:
    CShaderManager();
    virtual ~CShaderManager();

    CVertexShader* LoadVertexShader(const std::string& file, const std::string& profile);
    CPixelShader* LoadPixelShader(const std::string& file, const std::string& profile);
    CVertexDeclaration* LoadVertexDeclaration(const D3DVERTEXELEMENT9* elements);

    bool SetVertexShadersPath(const std::string& path);
    bool SetPixelShadersPath(const std::string& path);

    void SetVertexShader(CVertexShader* shader);
    void SetPixelShader(CPixelShader* shader);
    void SetVertexDeclaration(CVertexDeclaration* declaration);

    HRESULT SetVertexShaderConstant(CVertexShader* shader, const std::string& name, const float* data,
                                    unsigned registerCount);
    HRESULT SetPixelShaderConstant(CPixelShader* shader, const std::string& name, const float* data,
                                   unsigned registerCount);
    // The same for the literals the draw code passes, without a string made per call.
    HRESULT SetVertexShaderConstant(CVertexShader* shader, const char* name, const float* data,
                                    unsigned registerCount);
    HRESULT SetPixelShaderConstant(CPixelShader* shader, const char* name, const float* data,
                                   unsigned registerCount);

    BYTE GetVertexShaderMajor() const { return m_VSMajor; }
    BYTE GetVertexShaderMinor() const { return m_VSMinor; }
    BYTE GetPixelShaderMajor() const { return m_PSMajor; }
    BYTE GetPixelShaderMinor() const { return m_PSMinor; }
    const std::string& GetVertexShadersPath() const { return m_VertexShadersPath; }
    const std::string& GetPixelShadersPath() const { return m_PixelShadersPath; }
    size_t GetShaderCount() const { return m_Shaders.size(); }
    size_t GetDeclarationCount() const { return m_Declarations.size(); }

private:
    CShader* LoadShader(CShader* shader, const std::string& file, const std::string& profile);

    std::string m_VertexShadersPath;
    std::string m_PixelShadersPath;
    BYTE m_VSMajor = 0;
    BYTE m_VSMinor = 0;
    BYTE m_PSMajor = 0;
    BYTE m_PSMinor = 0;
    std::vector<CShader*> m_Shaders;
    std::vector<CVertexDeclaration*> m_Declarations;
    CGcontext m_Context = nullptr;
};
