#pragma once

#include <d3dx9math.h>

// View and projection of the scene; the graphics engine owns the one camera.
class CCamera {
public:
    CCamera();

    void SetViewParams(const D3DXVECTOR3& eye, const D3DXVECTOR3& lookAt, const D3DXVECTOR3& up);
    void SetProjParams(float fov, float aspect, float nearPlane, float farPlane);

    const D3DXVECTOR3& GetEyePt() const { return m_Eye; }
    const D3DXVECTOR3& GetLookatPt() const { return m_LookAt; }
    const D3DXVECTOR3& GetUpVec() const { return m_Up; }
    const D3DXVECTOR3& GetViewDir() const { return m_ViewDir; }
    const D3DXVECTOR3& GetCross() const { return m_Cross; }
    const D3DXMATRIX& GetViewMatrix() const { return m_View; }
    const D3DXMATRIX& GetBillboardMatrix() const { return m_Billboard; }
    const D3DXMATRIX& GetProjMatrix() const { return m_Proj; }
    float GetFOV() const { return m_Fov; }
    float GetAspect() const { return m_Aspect; }
    float GetNearPlane() const { return m_Near; }
    float GetFarPlane() const { return m_Far; }

private:
    D3DXVECTOR3 m_Eye, m_LookAt, m_Up;
    D3DXVECTOR3 m_ViewDir, m_Cross;
    D3DXMATRIX m_View, m_Billboard;
    float m_Fov, m_Aspect, m_Near, m_Far;
    D3DXMATRIX m_Proj;
};
