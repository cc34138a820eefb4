#include "game/LitConstants.h"

#include "engine/ShaderManager.h"

CLitConstants& CLitConstants::Colours(const float* diffuseColour, const float* ambientColour,
                                      const float* specularColour) {
    diffuse = diffuseColour;
    ambient = ambientColour;
    specular = specularColour;
    return *this;
}

CLitConstants& CLitConstants::LightAndEye(const float* lightPosition, const float* eyePosition) {
    light = lightPosition;
    eye = eyePosition;
    return *this;
}

CLitConstants& CLitConstants::Matrices(const D3DXMATRIX& clipMatrix, const D3DXMATRIX& invTranspose,
                                       const D3DXMATRIX& transpose) {
    clip = &clipMatrix._11;
    worldViewInvTranspose = &invTranspose._11;
    worldViewTranspose = &transpose._11;
    return *this;
}

CLitConstants& CLitConstants::Falloff() {
    range = kLightRange;
    attenuation = kLightAttenuation;
    return *this;
}

// The shader manager refuses a null entry without touching the device.
void SetLitConstants(CVertexShader* vs, CPixelShader* ps, const CLitConstants& c) {
    CShaderManager* shaders = CShaderManager::GetInstance();
    if (ps) {
        shaders->SetVertexShaderConstant(vs, "eye_position", c.eye, 1);
        shaders->SetVertexShaderConstant(vs, "light_position", c.light, 1);
        shaders->SetVertexShaderConstant(vs, "clip_matrix", c.clip, 4);
        shaders->SetVertexShaderConstant(vs, "world_matrix_t", c.worldViewTranspose, 4);
        shaders->SetVertexShaderConstant(vs, "world_matrix_it", c.worldViewInvTranspose, 4);
        shaders->SetPixelShaderConstant(ps, "diffuse_color", c.diffuse, 1);
        shaders->SetPixelShaderConstant(ps, "ambient_color", c.ambient, 1);
        return;
    }
    shaders->SetVertexShaderConstant(vs, "diffuse_color", c.diffuse, 1);
    shaders->SetVertexShaderConstant(vs, "light_position", c.light, 1);
    shaders->SetVertexShaderConstant(vs, "light_range", c.range, 1);
    shaders->SetVertexShaderConstant(vs, "light_attenuation", c.attenuation, 1);
    shaders->SetVertexShaderConstant(vs, "eye_position", c.eye, 1);
    shaders->SetVertexShaderConstant(vs, "clip_matrix", c.clip, 4);
    shaders->SetVertexShaderConstant(vs, "world_matrix_it", c.worldViewInvTranspose, 4);
    shaders->SetVertexShaderConstant(vs, "world_matrix_t", c.worldViewTranspose, 4);
    shaders->SetVertexShaderConstant(vs, "ambient_color", c.ambient, 1);
    shaders->SetVertexShaderConstant(vs, "specular_color", c.specular, 1);
}
