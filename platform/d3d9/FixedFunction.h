// Fixed-function emulation: the parts of the D3D pipeline the game uses,
// as GLSL generated from zeroed, normalised POD keys and cached by them.
#pragma once

#include <cstdint>
#include <string>

#include "DeviceState.h"

namespace d3d9 {

class CVertexDeclaration;

struct FFStageKey {
    uint8_t colorOp, colorArg0, colorArg1, colorArg2;
    uint8_t alphaOp, alphaArg0, alphaArg1, alphaArg2;
    uint8_t texCoord;  // TEXCOORDINDEX (low 3 bits)
    uint8_t texType;   // 0 none (reads white), 1 2D, 2 cube
    uint8_t toTemp;    // result goes to TEMP instead of CURRENT
    uint8_t pad;
};

struct FFPixelKey {
    FFStageKey stages[kStages];
    uint8_t stageCount;
    uint8_t specular;     // SPECULARENABLE adds colour 1
    uint8_t pointSprite;  // texture coordinates from the point
    uint8_t alphaFunc;    // D3DCMP_* of the alpha test, 0 when it is off
};

struct FFVertexKey {
    uint8_t transformed;  // XYZRHW: screen positions, no transform or lighting
    uint8_t hasColor0, hasColor1, hasPsize, hasNormal;
    uint8_t lighting;
    uint8_t diffuseSource, ambientSource, emissiveSource;  // 0 material, 1 colour 0, 2 colour 1
    uint8_t pointScale;
    uint8_t pad[2];
};

// Texture kind bound to a stage: 0 none, 1 2D, 2 cube.
FFPixelKey MakePixelKey(const DeviceState& state, const uint8_t textureTypes[kStages]);
FFVertexKey MakeVertexKey(const DeviceState& state, const CVertexDeclaration& declaration);

std::string PixelShaderText(const FFPixelKey& key);    // body after the pixel prelude
std::string VertexShaderText(const FFVertexKey& key);  // complete vertex shader

// Preludes and wrappers around the game's GLSL (see d3d9.h for the contract).
std::string WrapVertexShader(const std::string& userText);
// The game's pixel shader without a main: linked with PixelMainText.
std::string WrapPixelShader(const std::string& userText);
// The main that runs the game's pixel shader and then the alpha test.
std::string PixelMainText(uint8_t alphaFunc);
// The alpha test compiled in: nothing for no test, so no discard is left.
std::string AlphaTestText(uint8_t alphaFunc, const char* alpha);
// The alpha function a draw tests with (0: no test), as the keys hold it.
uint8_t AlphaFuncOf(const DeviceState& state);

}  // namespace d3d9
