#include "engine/Shader.h"

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
