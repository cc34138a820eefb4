// Symbol names of enum values, for the call log and error names.
#pragma once

#include <string>

#include "d3d9.h"

namespace d3d9 {

std::string RenderStateName(DWORD state);
std::string StageStateName(DWORD type);
std::string SamplerStateName(DWORD type);
std::string TransformName(DWORD state);
std::string FormatName(D3DFORMAT format);
std::string PoolName(D3DPOOL pool);
std::string PrimitiveName(D3DPRIMITIVETYPE type);
std::string DevTypeName(D3DDEVTYPE type);
std::string ClearFlagsText(DWORD flags);
std::string CreateFlagsText(DWORD flags);
std::string UsageText(DWORD usage);
std::string LockFlagsText(DWORD flags);
std::string RTypeName(D3DRESOURCETYPE type);
std::string Hex(DWORD value);
std::string FloatText(float value);
std::string FloatsText(const float* values, UINT count);
std::string RectText(const RECT* rect);

}  // namespace d3d9
