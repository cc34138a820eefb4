#include "engine/VertexDeclaration.h"

#include <cstring>

CVertexDeclaration::CVertexDeclaration() : m_pDeclaration(nullptr) { memset(m_Elements, 0, sizeof m_Elements); }

// The manager releases the Direct3D declaration.
CVertexDeclaration::~CVertexDeclaration() {}
