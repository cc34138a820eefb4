#include "engine/Camera.h"

CCamera::CCamera() {
    SetViewParams(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 1), D3DXVECTOR3(0, 1, 0));
    SetProjParams(D3DX_PI / 4, 1.0f, 1.0f, 1000.0f);
}

void CCamera::SetViewParams(const D3DXVECTOR3& eye, const D3DXVECTOR3& lookAt, const D3DXVECTOR3& up) {
    m_Eye = eye;
    m_LookAt = lookAt;
    m_Up = up;
    D3DXVECTOR3 dir = m_LookAt - m_Eye;
    D3DXVec3Normalize(&m_ViewDir, &dir);
    D3DXVec3Cross(&m_Cross, &m_ViewDir, &m_Up);
    D3DXMatrixLookAtLH(&m_View, &m_Eye, &m_LookAt, &m_Up);
    // A degenerate view (eye on the look-at point) keeps the last billboard.
    D3DXMatrixInverse(&m_Billboard, nullptr, &m_View);
    m_Billboard._41 = 0.0f;
    m_Billboard._42 = 0.0f;
    m_Billboard._43 = 0.0f;
}

void CCamera::SetProjParams(float fov, float aspect, float nearPlane, float farPlane) {
    m_Fov = fov;
    m_Aspect = aspect;
    m_Near = nearPlane;
    m_Far = farPlane;
    D3DXMatrixPerspectiveFovLH(&m_Proj, fov, aspect, nearPlane, farPlane);
}
