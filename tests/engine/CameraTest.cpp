#include <gtest/gtest.h>

#include "engine/Camera.h"

namespace {

TEST(Camera, DefaultsAndEngineSetup) {
    CCamera cam;
    EXPECT_FLOAT_EQ(cam.GetFOV(), D3DX_PI / 4);
    EXPECT_EQ(cam.GetAspect(), 1.0f);
    EXPECT_EQ(cam.GetFarPlane(), 1000.0f);

    cam.SetViewParams(D3DXVECTOR3(0, 0, -7), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 1, 0));
    cam.SetProjParams(D3DX_PI / 4, 4.0f / 3.0f, 1.0f, 1000.0f);
    EXPECT_EQ(cam.GetViewDir(), D3DXVECTOR3(0, 0, 1));
    EXPECT_EQ(cam.GetCross(), D3DXVECTOR3(-1, 0, 0));
    EXPECT_FLOAT_EQ(cam.GetViewMatrix()._43, 7.0f);
    // The billboard turns sprites to face the camera: no translation.
    const D3DXMATRIX& bb = cam.GetBillboardMatrix();
    EXPECT_EQ(bb._41, 0.0f);
    EXPECT_EQ(bb._42, 0.0f);
    EXPECT_EQ(bb._43, 0.0f);
    EXPECT_FLOAT_EQ(bb._11, 1.0f);
    EXPECT_NEAR(cam.GetProjMatrix()._22, 2.4142137f, 1e-5);
    EXPECT_NEAR(cam.GetProjMatrix()._11, 2.4142137f * 0.75f, 1e-5);
}

TEST(Camera, BillboardIsTheInverseRotation) {
    CCamera cam;
    cam.SetViewParams(D3DXVECTOR3(3, 2, -5), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 1, 0));
    D3DXMATRIX prod = cam.GetBillboardMatrix() * cam.GetViewMatrix();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(prod.m[i][j], i == j ? 1.0f : 0.0f, 1e-5);

    // An eye on its look-at point has no view to invert: the billboard stays as it was.
    const D3DXMATRIX before = cam.GetBillboardMatrix();
    cam.SetViewParams(D3DXVECTOR3(1, 1, 1), D3DXVECTOR3(1, 1, 1), D3DXVECTOR3(0, 1, 0));
    for (int i = 0; i < 16; ++i) EXPECT_EQ((&cam.GetBillboardMatrix()._11)[i], (&before._11)[i]) << i;
}

}  // namespace
