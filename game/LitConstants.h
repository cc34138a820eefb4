#pragma once

#include <d3dx9math.h>

class CPixelShader;
class CVertexShader;

// A matrix or vector as the float array a shader constant takes.
template <class T>
const float* ShaderFloats(const T& value) {
    return reinterpret_cast<const float*>(&value);
}

// The vertex-program path's light falloff, the same for every lit object.
inline constexpr float kLightRange[4] = {50.0f, 0.5f, 0.5f, 0.5f};
inline constexpr float kLightAttenuation[4] = {0.5f, 0.5f, 0.5f, 0.5f};

// The named constants of the lit objects' programs: the field's blocks, the
// frame, the figures, the bombs and the saw. An entry left null is not sent,
// so a draw sends only what differs from the one before.
struct CLitConstants {
    const float* diffuse = nullptr;                // "diffuse_color"
    const float* ambient = nullptr;                // "ambient_color"
    const float* specular = nullptr;               // "specular_color"
    const float* light = nullptr;                  // "light_position", in the object's space
    const float* eye = nullptr;                    // "eye_position", likewise
    const float* range = nullptr;                  // "light_range"
    const float* attenuation = nullptr;            // "light_attenuation"
    const float* clip = nullptr;                   // "clip_matrix"
    const float* worldViewInvTranspose = nullptr;  // "world_matrix_it"
    const float* worldViewTranspose = nullptr;     // "world_matrix_t"

    CLitConstants& Colours(const float* diffuseColour, const float* ambientColour,
                           const float* specularColour = nullptr);
    CLitConstants& LightAndEye(const float* lightPosition, const float* eyePosition);
    CLitConstants& Matrices(const D3DXMATRIX& clipMatrix, const D3DXMATRIX& invTranspose,
                            const D3DXMATRIX& transpose);
    // kLightRange and kLightAttenuation.
    CLitConstants& Falloff();
};

// Sends the constants by name, each path in its own order. Without a pixel
// program all go to the vertex program: diffuse, light, range, attenuation,
// eye, clip, inverse transpose, transpose, ambient, specular. With one (the
// pixel-program path) the vertex program takes eye, light, clip, transpose and
// inverse transpose, and the pixel program the diffuse and ambient colours.
void SetLitConstants(CVertexShader* vs, CPixelShader* ps, const CLitConstants& constants);
