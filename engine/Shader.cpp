#include "engine/Shader.h"

#include <cstring>

CShader::CShader(uint32_t kind) : m_Program(nullptr), m_Kind(kind), m_pShader(nullptr) {}

// Frees the name only: the manager releases the Direct3D shader and Cg
// programs live as long as the process.
CShader::~CShader() {}

unsigned CShader::GetParameterRegister(const std::string& name) {
    return static_cast<unsigned>(cgGetParameterResourceIndex(cgGetNamedParameter(m_Program, name.c_str())));
}

bool CShader::HasParameter(const std::string& name) const {
    return m_Program && cgGetNamedParameter(m_Program, name.c_str()) != nullptr;
}

int CShader::FindRegister(const char* name) {
    if (!name || !m_Program) return -1;
    for (const KnownRegister& known : m_known)
        if (known.key == name && known.name == name) return known.index;
    int index = -1;
    bool found = false;
    for (const KnownRegister& known : m_known)
        if (known.name == name) {
            index = known.index;
            found = true;
            break;
        }
    if (!found) {
        CGparameter parameter = cgGetNamedParameter(m_Program, name);
        index = parameter ? static_cast<int>(cgGetParameterResourceIndex(parameter)) : -1;
    }
    // A program has a handful of names; a caller building names at run time
    // must not grow this without end.
    if (m_known.size() < 64) m_known.push_back({name, name, index});
    return index;
}
