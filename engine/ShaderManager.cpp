#include "engine/ShaderManager.h"

#include <d3dx9shader.h>
#include <dxerr9.h>

#include <cstring>
#include <new>

#include "engine/GraphicsEngine.h"
#include "engine/Loading.h"
#include "engine/Log.h"
#include "engine/MeshManager.h"

namespace {

// The Cg context lives as long as the process: programs are never destroyed.
CGcontext g_CgContext = nullptr;

}  // namespace

CShaderManager::CShaderManager() {
    g_Log.Print("blue", "Initializing shader manager");
    if (!g_CgContext) g_CgContext = cgCreateContext();
    m_Context = g_CgContext;
    IDirect3DDevice9* device = ManagerDevice();
    cgD3D9SetDevice(device);
    char dir[MAX_PATH] = "";
    if (GetCurrentDirectoryA(MAX_PATH, dir) == 0 || dir[0] == '\0') strcpy(dir, ".");
    m_VertexShadersPath = dir;
    m_PixelShadersPath = dir;
    D3DCAPS9 caps;
    memset(&caps, 0, sizeof caps);
    if (device) device->GetDeviceCaps(&caps);
    m_VSMajor = static_cast<BYTE>(D3DSHADER_VERSION_MAJOR(caps.VertexShaderVersion));
    m_VSMinor = static_cast<BYTE>(D3DSHADER_VERSION_MINOR(caps.VertexShaderVersion));
    m_PSMajor = static_cast<BYTE>(D3DSHADER_VERSION_MAJOR(caps.PixelShaderVersion));
    m_PSMinor = static_cast<BYTE>(D3DSHADER_VERSION_MINOR(caps.PixelShaderVersion));
    g_Log.Print("black", "Vertex shaders version: %i.%i", m_VSMajor, m_VSMinor);
    g_Log.Print("black", "Pixel shaders version: %i.%i", m_PSMajor, m_PSMinor);
    g_Log.Print("green", "Complete");
}

CShaderManager::~CShaderManager() {
    g_Log.Print("blue", "Destroying shaders and declarations");
    for (CShader* shader : m_Shaders) {
        g_Log.Print("darkgray", shader->m_Kind == CShader::kVertex ? "unloading vertex shader: (%s) - complete"
                                                                   : "unloading pixel shader: (%s) - complete",
                    shader->m_Name.c_str());
        if (shader->m_pShader) shader->m_pShader->Release();
        delete shader;
    }
    for (CVertexDeclaration* decl : m_Declarations) {
        if (decl->m_pDeclaration) decl->m_pDeclaration->Release();
        delete decl;
        g_Log.Print("darkgray", "unloading vertex declaration - complete");
    }
    g_Log.Print("green", "Destroying complete");
    m_Shaders.clear();
    m_Declarations.clear();
    // The device may go before the next manager: let the compiler forget it.
    cgD3D9SetDevice(nullptr);
}

CVertexShader* CShaderManager::LoadVertexShader(const std::string& file, const std::string& profile) {
    CountLoadedResource();
    if (file.empty()) {
        g_Log.PrintBold("red", "Couldn't load vertex shader, becouse file string is empty !");
        return nullptr;
    }
    return static_cast<CVertexShader*>(LoadShader(new CVertexShader(), file, profile));
}

CPixelShader* CShaderManager::LoadPixelShader(const std::string& file, const std::string& profile) {
    CountLoadedResource();
    if (file.empty()) {
        g_Log.PrintBold("red", "Error, name of shader is NULL !");
        return nullptr;
    }
    return static_cast<CPixelShader*>(LoadShader(new CPixelShader(), file, profile));
}

// Steps 3 to 12 of a load, shared by both kinds.
CShader* CShaderManager::LoadShader(CShader* shader, const std::string& file, const std::string& profileName) {
    const bool vertex = shader->m_Kind == CShader::kVertex;
    const std::string fullPath = (vertex ? m_VertexShadersPath : m_PixelShadersPath) + "\\" + file;
    // Shared by full path; a vertex and a pixel shader of the same path stay apart.
    for (CShader* existing : m_Shaders)
        if (existing->m_Name == fullPath && existing->m_Kind == shader->m_Kind) {
            delete shader;
            return existing;
        }
    shader->m_Name = fullPath;

    CGprofile profile;
    if (profileName.empty())
        profile = vertex ? cgD3D9GetLatestVertexProfile() : cgD3D9GetLatestPixelProfile();
    else
        profile = cgGetProfile(profileName.c_str());
    const char* args[] = {cgD3D9GetOptimalOptions(profile), nullptr};

    shader->m_Program = cgCreateProgramFromFile(m_Context, CG_SOURCE, fullPath.c_str(), profile, "main", args);
    if (!shader->m_Program) {
        g_Log.PrintBold("red", vertex ? "Couldn't compile vertex shader: (%s), error = (%s)"
                                      : "Couldn't compile pixel shader: (%s), error = (%s)",
                        fullPath.c_str(), cgGetErrorString(cgGetError()));
        delete shader;
        return nullptr;
    }

    const char* text = cgGetProgramString(shader->m_Program, CG_COMPILED_PROGRAM);
    ID3DXBuffer* code = nullptr;
    HRESULT hr = D3DXAssembleShader(text, text ? static_cast<UINT>(strlen(text)) : 0, nullptr, nullptr, 0, &code,
                                    nullptr);
    if (FAILED(hr)) {
        g_Log.PrintBold("red", vertex ? "Couldn't assemble vertex shader: (%s), code = (%s)"
                                      : "Couldn't assemble pixel shader: (%s), code = (%s)",
                        file.c_str(), DXGetErrorString9(hr));
        delete shader;
        return nullptr;
    }

    IDirect3DDevice9* device = ManagerDevice();
    const DWORD* function = static_cast<const DWORD*>(code->GetBufferPointer());
    if (!device) {
        hr = D3DERR_INVALIDCALL;
    } else if (vertex) {
        IDirect3DVertexShader9* vs = nullptr;
        hr = device->CreateVertexShader(function, &vs);
        shader->m_pShader = SUCCEEDED(hr) ? vs : nullptr;
    } else {
        IDirect3DPixelShader9* ps = nullptr;
        hr = device->CreatePixelShader(function, &ps);
        shader->m_pShader = SUCCEEDED(hr) ? ps : nullptr;
    }
    code->Release();
    if (FAILED(hr)) {
        g_Log.PrintBold("red", vertex ? "Couldn't create vertex shader: (%s), code = (%s)"
                                      : "Couldn't create pixel shader: (%s), code = (%s)",
                        file.c_str(), DXGetErrorString9(hr));
        // The GL compiler's own words, when it refused the program.
        std::string compileLog = device ? D3D9ShaderCompileLog(device) : std::string();
        if (!compileLog.empty()) g_Log.PrintBold("red", "%s", compileLog.c_str());
        delete shader;
        return nullptr;
    }

    m_Shaders.push_back(shader);
    g_Log.Print("darkgray", vertex ? "Loading vertex shader: (%s) complete." : "Loading pixel shader: (%s) complete.",
                fullPath.c_str());
    return shader;
}

CVertexDeclaration* CShaderManager::LoadVertexDeclaration(const D3DVERTEXELEMENT9* elements) {
    if (!elements) {
        g_Log.PrintBold("red", "Couldn't load vertex declaration, becouse array of elements is empty !");
        return nullptr;
    }
    // Elements up to and including the end marker; no marker within the
    // array's capacity is an error.
    int count = 0;
    while (count < CVertexDeclaration::kMaxElements && elements[count].Stream != 0xFF) ++count;
    if (count == CVertexDeclaration::kMaxElements) {
        g_Log.PrintBold("red", "Error, couldn't create vertex declaration, code = (%s)",
                        DXGetErrorString9(D3DERR_INVALIDCALL));
        return nullptr;
    }
    ++count;

    CVertexDeclaration* decl = new (std::nothrow) CVertexDeclaration();
    if (!decl) {
        g_Log.PrintBold("red", "Couldn't create vertex declaration object !");
        return nullptr;
    }
    for (CVertexDeclaration* existing : m_Declarations) {
        bool same = true;
        for (int i = 0; i < count && same; ++i)
            same = memcmp(&existing->m_Elements[i], &elements[i], sizeof(D3DVERTEXELEMENT9)) == 0;
        if (same) {
            delete decl;
            return existing;
        }
    }
    memcpy(decl->m_Elements, elements, count * sizeof(D3DVERTEXELEMENT9));
    IDirect3DDevice9* device = ManagerDevice();
    HRESULT hr = device ? device->CreateVertexDeclaration(decl->m_Elements, &decl->m_pDeclaration)
                        : D3DERR_INVALIDCALL;
    if (FAILED(hr)) {
        g_Log.PrintBold("red", "Error, couldn't create vertex declaration, code = (%s)", DXGetErrorString9(hr));
        delete decl;
        return nullptr;
    }
    m_Declarations.push_back(decl);
    g_Log.Print("darkgray", "Loading vertex declaration complete.");
    return decl;
}

bool CShaderManager::SetVertexShadersPath(const std::string& path) {
    g_Log.Print("blue", "Setting vertex shaders path:");
    if (path.empty()) {
        g_Log.PrintBold("red", "Error, path-string is empty !");
        return false;
    }
    m_VertexShadersPath = path;
    g_Log.Print("darkgray", "path = %s", path.c_str());
    g_Log.Print("green", "Complete");
    return true;
}

bool CShaderManager::SetPixelShadersPath(const std::string& path) {
    g_Log.Print("blue", "Setting pixel shaders path:");
    if (path.empty()) {
        g_Log.PrintBold("red", "Error, path-string is empty !");
        return false;
    }
    m_PixelShadersPath = path;
    g_Log.Print("darkgray", "path = %s", path.c_str());
    g_Log.Print("green", "Complete");
    return true;
}

void CShaderManager::SetVertexShader(CVertexShader* shader) {
    IDirect3DDevice9* device = ManagerDevice();
    if (device) device->SetVertexShader(shader ? shader->GetShader() : nullptr);
}

void CShaderManager::SetPixelShader(CPixelShader* shader) {
    IDirect3DDevice9* device = ManagerDevice();
    if (device) device->SetPixelShader(shader ? shader->GetShader() : nullptr);
}

void CShaderManager::SetVertexDeclaration(CVertexDeclaration* declaration) {
    IDirect3DDevice9* device = ManagerDevice();
    if (!declaration || !device) return;
    device->SetVertexDeclaration(declaration->m_pDeclaration);
    // Mesh renders must set their own declaration again after this one.
    if (CMeshManager::HasInstance()) CMeshManager::GetInstance()->ForgetVertexDeclaration();
}

// A name the program does not declare would land in register 0 and
// overwrite whatever is there: such a set is refused instead.
HRESULT CShaderManager::SetVertexShaderConstant(CVertexShader* shader, const char* name, const float* data,
                                                unsigned registerCount) {
    IDirect3DDevice9* device = ManagerDevice();
    const int index = shader && device && data ? shader->FindRegister(name) : -1;
    if (index < 0) return D3DERR_INVALIDCALL;
    return device->SetVertexShaderConstantF(static_cast<UINT>(index), data, registerCount);
}

HRESULT CShaderManager::SetPixelShaderConstant(CPixelShader* shader, const char* name, const float* data,
                                               unsigned registerCount) {
    IDirect3DDevice9* device = ManagerDevice();
    const int index = shader && device && data ? shader->FindRegister(name) : -1;
    if (index < 0) return D3DERR_INVALIDCALL;
    return device->SetPixelShaderConstantF(static_cast<UINT>(index), data, registerCount);
}

HRESULT CShaderManager::SetVertexShaderConstant(CVertexShader* shader, const std::string& name, const float* data,
                                                unsigned registerCount) {
    return SetVertexShaderConstant(shader, name.c_str(), data, registerCount);
}

HRESULT CShaderManager::SetPixelShaderConstant(CPixelShader* shader, const std::string& name, const float* data,
                                               unsigned registerCount) {
    return SetPixelShaderConstant(shader, name.c_str(), data, registerCount);
}
