#include <gtest/gtest.h>

#include <d3dx9math.h>

#include <cmath>
#include <limits>

namespace {

void ExpectMatrixNear(const D3DXMATRIX& a, const D3DXMATRIX& b, float eps = 1e-5f) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(a.m[i][j], b.m[i][j], eps) << "at " << i << "," << j;
}

TEST(D3DXMath, LookAtLeftHanded) {
    D3DXMATRIX v;
    D3DXVECTOR3 eye(0, 0, -7), at(0, 0, 0), up(0, 1, 0);
    D3DXMatrixLookAtLH(&v, &eye, &at, &up);
    ExpectMatrixNear(v, D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 7, 1));
    // A point in front of the camera ends up at positive view-space z.
    D3DXVECTOR3 p(1, 2, 3), out;
    D3DXVec3TransformCoord(&out, &p, &v);
    EXPECT_NEAR(out.x, 1, 1e-6);
    EXPECT_NEAR(out.y, 2, 1e-6);
    EXPECT_NEAR(out.z, 10, 1e-6);

    // Looking down +x: x axis of the view is -z of the world.
    D3DXVECTOR3 eye2(0, 0, 0), at2(1, 0, 0);
    D3DXMatrixLookAtLH(&v, &eye2, &at2, &up);
    ExpectMatrixNear(v, D3DXMATRIX(0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1));
}

TEST(D3DXMath, PerspectiveMapsDepthToZeroOne) {
    D3DXMATRIX p;
    D3DXMatrixPerspectiveFovLH(&p, D3DX_PI / 2, 2.0f, 1.0f, 101.0f);
    EXPECT_NEAR(p._11, 0.5f, 1e-6);
    EXPECT_NEAR(p._22, 1.0f, 1e-6);
    EXPECT_NEAR(p._33, 101.0f / 100.0f, 1e-6);
    EXPECT_EQ(p._34, 1.0f);
    EXPECT_NEAR(p._43, -101.0f / 100.0f, 1e-6);
    EXPECT_EQ(p._44, 0.0f);
    D3DXVECTOR3 nearPt(0, 0, 1), farPt(0, 0, 101), out;
    D3DXVec3TransformCoord(&out, &nearPt, &p);
    EXPECT_NEAR(out.z, 0.0f, 1e-6);
    D3DXVec3TransformCoord(&out, &farPt, &p);
    EXPECT_NEAR(out.z, 1.0f, 1e-6);
}

TEST(D3DXMath, MultiplyInverseTranspose) {
    D3DXMATRIX t, r, s, m, inv, id, prod;
    D3DXMatrixTranslation(&t, 1, 2, 3);
    D3DXMatrixRotationY(&r, 0.7f);
    D3DXMatrixScaling(&s, 2, 3, 4);
    m = s * r * t;
    // Row vectors: scale first, translation last.
    D3DXVECTOR3 o(0, 0, 0), out;
    D3DXVec3TransformCoord(&out, &o, &m);
    EXPECT_NEAR(out.x, 1, 1e-6);
    EXPECT_NEAR(out.y, 2, 1e-6);
    EXPECT_NEAR(out.z, 3, 1e-6);

    float det = 0;
    ASSERT_NE(D3DXMatrixInverse(&inv, &det, &m), nullptr);
    EXPECT_NEAR(det, 24.0f, 1e-4);
    D3DXMatrixMultiply(&prod, &m, &inv);
    ExpectMatrixNear(prod, *D3DXMatrixIdentity(&id));

    D3DXMATRIX singular(1, 2, 3, 4, 2, 4, 6, 8, 0, 0, 1, 0, 0, 0, 0, 1), keep = id;
    EXPECT_EQ(D3DXMatrixInverse(&keep, nullptr, &singular), nullptr);
    ExpectMatrixNear(keep, id);

    D3DXMATRIX a(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16), at;
    D3DXMatrixTranspose(&at, &a);
    EXPECT_EQ(at._12, 5.0f);
    EXPECT_EQ(at._41, 4.0f);
    // In-place multiply reads its inputs before writing.
    D3DXMATRIX b = a;
    D3DXMatrixMultiply(&b, &b, &id);
    EXPECT_EQ(b, a);
}

TEST(D3DXMath, RotationsAreLeftHanded) {
    D3DXMATRIX rz;
    D3DXMatrixRotationZ(&rz, D3DX_PI / 2);
    D3DXVECTOR3 x(1, 0, 0), out;
    D3DXVec3TransformNormal(&out, &x, &rz);
    EXPECT_NEAR(out.x, 0, 1e-6);
    EXPECT_NEAR(out.y, 1, 1e-6);
    D3DXMATRIX axis, ry;
    D3DXVECTOR3 yAxis(0, 5, 0);
    D3DXMatrixRotationAxis(&axis, &yAxis, 0.3f);
    D3DXMatrixRotationY(&ry, 0.3f);
    ExpectMatrixNear(axis, ry);
    D3DXQUATERNION q;
    D3DXQuaternionRotationAxis(&q, &yAxis, 0.3f);
    D3DXMATRIX fromQ;
    D3DXMatrixRotationQuaternion(&fromQ, &q);
    ExpectMatrixNear(fromQ, ry);
}

TEST(D3DXMath, QuaternionProductTurnsByTheFirstThenTheSecond) {
    D3DXVECTOR3 xAxis(1, 0, 0), yAxis(0, 1, 0);
    D3DXQUATERNION qx, qy, product;
    D3DXQuaternionRotationAxis(&qx, &xAxis, 0.7f);
    D3DXQuaternionRotationAxis(&qy, &yAxis, -D3DX_PI / 2);
    D3DXQuaternionMultiply(&product, &qx, &qy);
    D3DXMATRIX mx, my, expected, fromQ;
    D3DXMatrixRotationQuaternion(&mx, &qx);
    D3DXMatrixRotationQuaternion(&my, &qy);
    D3DXMatrixMultiply(&expected, &mx, &my);
    D3DXMatrixRotationQuaternion(&fromQ, &product);
    ExpectMatrixNear(fromQ, expected);
    // Written into its own first operand, the result is the same.
    D3DXQuaternionMultiply(&qx, &qx, &qy);
    EXPECT_NEAR(qx.x, product.x, 1e-6);
    EXPECT_NEAR(qx.w, product.w, 1e-6);
}

TEST(D3DXMath, ColourByteClampsRoundsAndTakesNaNAsZero) {
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float value;
        DWORD byte;
    };
    for (const Case& c : {Case{0.5f, 128}, Case{0.2f, 51}, Case{0.003f, 1}, Case{0.001f, 0}, Case{1.0f, 255}, Case{7.0f, 255},
                          Case{inf, 255}, Case{0.0f, 0}, Case{-0.5f, 0}, Case{-inf, 0}, Case{std::nanf(""), 0}})
        EXPECT_EQ(platform::ColourByte(c.value), c.byte) << c.value;
    // The colour record packs each channel the same way.
    EXPECT_EQ(static_cast<DWORD>(D3DXCOLOR(std::nanf(""), 2.0f, 0.2f, 0.5f)), 0x8000FF33u);
    EXPECT_EQ(D3DCOLOR_COLORVALUE(std::nanf(""), 2.0f, 0.2f, 0.5f), 0x8000FF33u);
}

TEST(D3DXMath, ColourConversionSaturatesAndRounds) {
    EXPECT_EQ(static_cast<DWORD>(D3DXCOLOR(1.5f, -0.2f, 0.5f, 1.0f)), 0xFFFF0080u);
    EXPECT_EQ(static_cast<DWORD>(D3DXCOLOR(0, 0, 1, 0)), 0x000000FFu);
    D3DXCOLOR c(0xFF804020u);
    EXPECT_NEAR(c.r, 128 / 255.0f, 1e-6);
    EXPECT_NEAR(c.b, 32 / 255.0f, 1e-6);
    EXPECT_EQ(c.a, 1.0f);
}

}  // namespace
