#pragma once

#include <cg.h>
#include <d3d9.h>

#include <string>
#include <vector>

// A compiled Cg program and its Direct3D shader, owned by the shader manager.
class CShader {
public:
    enum { kVertex = 0, kPixel = 1 };

    CShader(uint32_t kind);
    virtual ~CShader();

    // The first constant register of a named parameter of the program.
    virtual unsigned GetParameterRegister(const std::string& name);
    // True when the program declares the parameter.
    bool HasParameter(const std::string& name) const;
    // The register of a named parameter, or -1 when the program declares none:
    // constants are set by name on every draw, so each name is asked of Cg once.
    int FindRegister(const char* name);

    CGprogram m_Program;
    std::string m_Name;  // full path: the sharing key
    uint32_t m_Kind;
    IUnknown* m_pShader;  // IDirect3DVertexShader9 or IDirect3DPixelShader9 by kind

private:
    // Callers pass the same literals every draw: their address finds the entry,
    // the text confirms it (a reused buffer may hold another name).
    struct KnownRegister {
        const char* key;
        std::string name;
        int index;
    };
    std::vector<KnownRegister> m_known;
};
