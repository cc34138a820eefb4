// The draw path's budget and its diagnostics: an unchanged draw costs a few GL
// calls, index bounds follow relocked ranges, and what cannot be drawn or is
// not emulated is said on standard error.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "d3d9.h"
#include "d3d9hooks.h"
#include "support/DeviceSupport.h"

namespace {

struct TL {
    float x, y, z, rhw;
    D3DCOLOR c;
};

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class D3D9DrawPath : public testutil::DeviceTest, public ::testing::WithParamInterface<d3d9hooks::Backend> {
protected:
    void SetUp() override {
        D3DPRESENT_PARAMETERS pp{};
        pp.Windowed = TRUE;
        pp.BackBufferWidth = pp.BackBufferHeight = 32;
        pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        StartDevice(GetParam(), pp);
        if (m_dev) Use2DStates();
    }
    DWORD Pixel(UINT x, UINT y) {
        UINT w = 0, h = 0;
        auto p = d3d9hooks::ReadBackBuffer(m_dev, &w, &h);
        return p.empty() ? 0 : p[y * w + x] & 0xFFFFFF;
    }
};
class D3D9DrawPathGl : public D3D9DrawPath {};

TEST_P(D3D9DrawPathGl, RepeatedDrawStaysWithinItsGlCallBudget) {
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(m_dev->CreateVertexBuffer(4 * sizeof(TL), 0, 0, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    ASSERT_EQ(m_dev->CreateIndexBuffer(6 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
    TL* v = nullptr;
    vb->Lock(0, 0, reinterpret_cast<void**>(&v), 0);
    const TL quad[4] = {{0, 0, 0.5f, 1, 0xFF00FF00}, {32, 0, 0.5f, 1, 0xFF00FF00},
                        {0, 32, 0.5f, 1, 0xFF00FF00}, {32, 32, 0.5f, 1, 0xFF00FF00}};
    memcpy(v, quad, sizeof quad);
    vb->Unlock();
    WORD* idx = nullptr;
    ib->Lock(0, 0, reinterpret_cast<void**>(&idx), 0);
    const WORD tris[6] = {0, 1, 2, 2, 1, 3};
    memcpy(idx, tris, sizeof tris);
    ib->Unlock();

    struct Case {
        const char* what;
        bool indexed;
    };
    for (const Case& c : {Case{"vertex buffer, indexed", true}, Case{"user memory", false}}) {
        SCOPED_TRACE(c.what);
        m_dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        m_dev->BeginScene();
        m_dev->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
        m_dev->SetStreamSource(0, vb, 0, sizeof(TL));
        m_dev->SetIndices(ib);
        auto draw = [&] {
            return c.indexed ? m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2)
                             : m_dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TL));
        };
        ASSERT_EQ(draw(), D3D_OK);  // the first draw sets everything up
        if (!c.indexed) m_dev->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
        const uint64_t before = d3d9hooks::GlCallCount();
        ASSERT_EQ(draw(), D3D_OK);
        EXPECT_LE(d3d9hooks::GlCallCount() - before, 15u);
        m_dev->EndScene();
        EXPECT_EQ(Pixel(16, 16), 0x00FF00u);
    }
    vb->Release();
    ib->Release();
}

TEST_P(D3D9DrawPath, IndexBoundsFollowRelockedRanges) {
    struct P {
        float x, y, z;
    };
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(m_dev->CreateVertexBuffer(4 * sizeof(P), 0, 0, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    ASSERT_EQ(m_dev->CreateIndexBuffer(12 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
    WORD* idx = nullptr;
    ib->Lock(0, 0, reinterpret_cast<void**>(&idx), 0);
    for (int i = 0; i < 12; ++i) idx[i] = static_cast<WORD>(i % 4);
    ib->Unlock();
    m_dev->BeginScene();
    m_dev->SetFVF(D3DFVF_XYZ);
    m_dev->SetStreamSource(0, vb, 0, sizeof(P));
    m_dev->SetIndices(ib);
    auto drawFrom = [&](UINT start) { return m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, start, 1); };
    EXPECT_EQ(drawFrom(0), D3D_OK);
    EXPECT_EQ(drawFrom(6), D3D_OK);
    // Index 7 lands past the four vertices: only draws that read it are refused.
    ib->Lock(8 * 2, 2 * 2, reinterpret_cast<void**>(&idx), 0);
    idx[0] = 7;
    idx[1] = 1;
    ib->Unlock();
    EXPECT_EQ(drawFrom(6), D3DERR_INVALIDCALL);
    EXPECT_EQ(drawFrom(9), D3D_OK);
    EXPECT_EQ(drawFrom(3), D3D_OK);
    EXPECT_EQ(m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, -1, 0, 4, 0, 1), D3DERR_INVALIDCALL);
    // Writing it back makes the range whole again.
    ib->Lock(8 * 2, 2, reinterpret_cast<void**>(&idx), 0);
    idx[0] = 0;
    ib->Unlock();
    EXPECT_EQ(drawFrom(6), D3D_OK);
    m_dev->EndScene();
    vb->Release();
    ib->Release();
}

TEST_P(D3D9DrawPath, UnsupportedStatesAreReportedOnceEach) {
    testing::internal::CaptureStderr();
    for (int i = 0; i < 2; ++i) {
        m_dev->SetRenderState(D3DRS_FOGENABLE, TRUE);
        m_dev->SetRenderState(D3DRS_CLIPPLANEENABLE, 1);
        m_dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_BUMPENVMAP);
    }
    m_dev->SetRenderState(D3DRS_FOGENABLE, FALSE);  // turning it off is fine
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Count(err, "fog"), 1u) << err;
    EXPECT_EQ(Count(err, "clip planes"), 1u) << err;
    EXPECT_EQ(Count(err, "bump-map"), 1u) << err;
}

TEST_P(D3D9DrawPathGl, DrawWithAProgramThatFailsToLinkIsRefusedAloud) {
    // Compiles on its own, but calls a function nothing defines.
    const auto blob = D3D9BuildGlslBlob(D3D9_GLSL_PIXEL, "vec4 undefinedColour();\nvoid main() { oC0 = undefinedColour(); }\n");
    IDirect3DPixelShader9* ps = nullptr;
    ASSERT_EQ(m_dev->CreatePixelShader(blob.data(), &ps), D3D_OK);
    const TL tri[3] = {{0, 0, 0.5f, 1, 0}, {32, 0, 0.5f, 1, 0}, {0, 32, 0.5f, 1, 0}};
    testing::internal::CaptureStderr();
    m_dev->BeginScene();
    m_dev->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    m_dev->SetPixelShader(ps);
    EXPECT_EQ(m_dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(TL)), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(TL)), D3DERR_INVALIDCALL);
    m_dev->SetPixelShader(nullptr);
    EXPECT_EQ(m_dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(TL)), D3D_OK);
    m_dev->EndScene();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Count(err, "failed to link"), 1u) << err;
    EXPECT_EQ(Count(err, "draw not issued"), 1u) << err;
    ps->Release();
}

INSTANTIATE_TEST_SUITE_P(Devices, D3D9DrawPath,
                         ::testing::Values(d3d9hooks::Backend::Null, d3d9hooks::Backend::GL),
                         [](const auto& info) { return info.param == d3d9hooks::Backend::GL ? "GL" : "Null"; });
INSTANTIATE_TEST_SUITE_P(Devices, D3D9DrawPathGl, ::testing::Values(d3d9hooks::Backend::GL));

}  // namespace
