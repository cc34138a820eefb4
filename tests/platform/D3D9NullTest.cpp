// The null device: call recording, validation, state blocks, reset rules.
#include <gtest/gtest.h>

#include <algorithm>

#include "d3d9.h"
#include "d3d9hooks.h"
#include "dxerr9.h"
#include "support/DeviceSupport.h"

namespace {

class D3D9Null : public testutil::DeviceTest {
protected:
    void SetUp() override {
        StartDevice(d3d9hooks::Backend::Null, testutil::DepthPresent(640, 480, D3DFMT_D16));
        d3d9hooks::ClearCallLog();
    }
};

TEST_F(D3D9Null, RecordsCallsAsText) {
    m_dev->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    m_dev->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    m_dev->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    m_dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_ARGB(77, 77, 77, 77), 1.0f, 0);
    m_dev->BeginScene();
    m_dev->EndScene();
    m_dev->Present(nullptr, nullptr, nullptr, nullptr);
    const std::vector<std::string> expected = {
        "SetRenderState(D3DRS_ZENABLE, 1)",
        "SetTextureStageState(1, D3DTSS_COLOROP, 1)",
        "SetSamplerState(0, D3DSAMP_MINFILTER, 2)",
        "Clear(0, NULL, D3DCLEAR_TARGET|D3DCLEAR_ZBUFFER, 0x4d4d4d4d, 1, 0)",
        "BeginScene()",
        "EndScene()",
        "Present(NULL, NULL)",
    };
    EXPECT_EQ(d3d9hooks::CallLog(), expected);
}

TEST_F(D3D9Null, DefaultStatesAreThoseOfDirect3D9) {
    enum Kind { Render, Stage, Sampler };
    const struct {
        Kind kind;
        DWORD unit, state, value;
    } cases[] = {
        {Render, 0, D3DRS_ZFUNC, D3DCMP_LESSEQUAL},       {Render, 0, D3DRS_CULLMODE, D3DCULL_CCW},
        {Render, 0, D3DRS_LIGHTING, TRUE},                {Render, 0, D3DRS_ZENABLE, D3DZB_TRUE},
        {Render, 0, D3DRS_ALPHAFUNC, D3DCMP_ALWAYS},      {Stage, 0, D3DTSS_COLOROP, D3DTOP_MODULATE},
        {Stage, 0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1},    {Stage, 1, D3DTSS_COLOROP, D3DTOP_DISABLE},
        {Stage, 3, D3DTSS_TEXCOORDINDEX, 3},              {Sampler, 2, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP},
        {Sampler, 2, D3DSAMP_MAGFILTER, D3DTEXF_POINT},
    };
    for (const auto& c : cases) {
        DWORD v = 0xDEADBEEF;
        if (c.kind == Render) m_dev->GetRenderState(D3DRENDERSTATETYPE(c.state), &v);
        if (c.kind == Stage) m_dev->GetTextureStageState(c.unit, D3DTEXTURESTAGESTATETYPE(c.state), &v);
        if (c.kind == Sampler) m_dev->GetSamplerState(c.unit, D3DSAMPLERSTATETYPE(c.state), &v);
        EXPECT_EQ(v, c.value) << "kind " << c.kind << " unit " << c.unit << " state " << c.state;
    }
    D3DVIEWPORT9 vp{};
    m_dev->GetViewport(&vp);
    EXPECT_EQ(vp.Width, 640u);
    EXPECT_EQ(vp.Height, 480u);
    EXPECT_EQ(vp.MaxZ, 1.0f);
}

TEST_F(D3D9Null, ResetRefusedWhileDefaultPoolObjectsLive) {
    IDirect3DIndexBuffer9* ib = nullptr;
    IDirect3DVertexBuffer9* managed = nullptr;
    ASSERT_EQ(m_dev->CreateIndexBuffer(12, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib, nullptr), D3D_OK);
    ASSERT_EQ(m_dev->CreateVertexBuffer(80, D3DUSAGE_WRITEONLY, D3DFVF_XYZ | D3DFVF_TEX1, D3DPOOL_MANAGED, &managed,
                                        nullptr),
              D3D_OK);
    // Still bound to the device after the game lets go: must not block the reset.
    m_dev->SetIndices(ib);
    D3DPRESENT_PARAMETERS pp = testutil::DepthPresent(800, 600, D3DFMT_D16);
    EXPECT_EQ(d3d9hooks::LiveDefaultPoolResources(m_dev), 1);
    EXPECT_EQ(m_dev->Reset(&pp), D3DERR_INVALIDCALL);

    IDirect3DStateBlock9* sb = nullptr;
    ASSERT_EQ(m_dev->CreateStateBlock(D3DSBT_ALL, &sb), D3D_OK);
    EXPECT_EQ(d3d9hooks::LiveStateBlocks(m_dev), 1);
    EXPECT_EQ(ib->Release(), 0u);
    EXPECT_EQ(d3d9hooks::LiveDefaultPoolResources(m_dev), 0);
    EXPECT_EQ(m_dev->Reset(&pp), D3DERR_INVALIDCALL) << "a live state block blocks the reset too";
    sb->Release();
    EXPECT_EQ(m_dev->Reset(&pp), D3D_OK);
    D3DVIEWPORT9 vp{};
    m_dev->GetViewport(&vp);
    EXPECT_EQ(vp.Width, 800u);
    IDirect3DIndexBuffer9* bound = reinterpret_cast<IDirect3DIndexBuffer9*>(1);
    m_dev->GetIndices(&bound);
    EXPECT_EQ(bound, nullptr) << "reset unbinds everything";
    managed->Release();
}

TEST_F(D3D9Null, DeviceLossCycle) {
    d3d9hooks::LoseDevice(m_dev);
    EXPECT_EQ(m_dev->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(m_dev->TestCooperativeLevel(), D3DERR_DEVICELOST);
    D3DPRESENT_PARAMETERS pp{};
    pp.Windowed = TRUE;
    EXPECT_EQ(m_dev->Reset(&pp), D3DERR_DEVICELOST);
    d3d9hooks::MakeResettable(m_dev);
    EXPECT_EQ(m_dev->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    d3d9hooks::FailReset(D3DERR_DRIVERINTERNALERROR);
    EXPECT_EQ(m_dev->Reset(&pp), D3DERR_DRIVERINTERNALERROR);
    EXPECT_EQ(m_dev->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(m_dev->Reset(&pp), D3D_OK);
    EXPECT_EQ(m_dev->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(pp.BackBufferWidth, 1024u) << "windowed 0 x 0 takes the window's (here default) size";
}

TEST_F(D3D9Null, StateBlockRecordsOnlyWhatWasSetAndRestoresIt) {
    ASSERT_EQ(m_dev->BeginStateBlock(), D3D_OK);
    m_dev->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    m_dev->SetRenderState(D3DRS_ALPHAREF, 8);
    m_dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    IDirect3DStateBlock9* saved = nullptr;
    ASSERT_EQ(m_dev->EndStateBlock(&saved), D3D_OK);
    DWORD v = 99;
    m_dev->GetRenderState(D3DRS_ALPHATESTENABLE, &v);
    EXPECT_EQ(v, FALSE) << "recording does not touch the device";

    ASSERT_EQ(saved->Capture(), D3D_OK);  // saves FALSE, 0, MODULATE
    m_dev->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    m_dev->SetRenderState(D3DRS_ALPHAREF, 8);
    m_dev->SetRenderState(D3DRS_ZENABLE, FALSE);  // not in the block
    m_dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_ADD);
    ASSERT_EQ(saved->Apply(), D3D_OK);
    m_dev->GetRenderState(D3DRS_ALPHATESTENABLE, &v);
    EXPECT_EQ(v, FALSE);
    m_dev->GetRenderState(D3DRS_ALPHAREF, &v);
    EXPECT_EQ(v, 0u);
    m_dev->GetTextureStageState(0, D3DTSS_COLOROP, &v);
    EXPECT_EQ(v, D3DTOP_MODULATE);
    m_dev->GetRenderState(D3DRS_ZENABLE, &v);
    EXPECT_EQ(v, FALSE) << "states outside the block stay";
    EXPECT_EQ(saved->Release(), 0u);
}

TEST_F(D3D9Null, StateBlockKeepsTexturesAlive) {
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(m_dev->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
    m_dev->SetTexture(0, tex);
    IDirect3DStateBlock9* sb = nullptr;
    ASSERT_EQ(m_dev->CreateStateBlock(D3DSBT_ALL, &sb), D3D_OK);
    m_dev->SetTexture(0, nullptr);
    EXPECT_EQ(tex->Release(), 0u);
    sb->Apply();  // the texture must still be usable
    IDirect3DBaseTexture9* got = nullptr;
    m_dev->GetTexture(0, &got);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->GetType(), D3DRTYPE_TEXTURE);
    got->Release();
    m_dev->SetTexture(0, nullptr);
    sb->Release();
}

TEST_F(D3D9Null, ShaderConstantsPersistAcrossShaderSwitches) {
    auto blobA = D3D9BuildGlslBlob(D3D9_GLSL_VERTEX, "void main() { gl_Position = c[0]; }");
    auto blobB = D3D9BuildGlslBlob(D3D9_GLSL_VERTEX, "void main() { gl_Position = c[1]; }");
    IDirect3DVertexShader9 *a = nullptr, *b = nullptr;
    ASSERT_EQ(m_dev->CreateVertexShader(blobA.data(), &a), D3D_OK);
    ASSERT_EQ(m_dev->CreateVertexShader(blobB.data(), &b), D3D_OK);
    const float one[4] = {1, 2, 3, 4};
    m_dev->SetVertexShader(a);
    m_dev->SetVertexShaderConstantF(10, one, 1);
    m_dev->SetVertexShader(b);
    m_dev->SetVertexShader(nullptr);
    float back[4] = {};
    ASSERT_EQ(m_dev->GetVertexShaderConstantF(10, back, 1), D3D_OK);
    EXPECT_EQ(std::vector<float>(back, back + 4), std::vector<float>(one, one + 4));
    EXPECT_EQ(m_dev->SetVertexShaderConstantF(255, one, 2), D3DERR_INVALIDCALL) << "past the register file";
    EXPECT_EQ(m_dev->SetPixelShaderConstantF(31, one, 1), D3D_OK);
    EXPECT_EQ(m_dev->SetPixelShaderConstantF(32, one, 1), D3DERR_INVALIDCALL);
    a->Release();
    b->Release();
}

TEST_F(D3D9Null, MalformedShaderBlobsAreRefused) {
    const auto blob = D3D9BuildGlslBlob(D3D9_GLSL_VERTEX, "void main() {}");
    EXPECT_EQ(D3D9GlslBlobSize(blob.data()), blob.size() * 4);
    const auto pixel = D3D9BuildGlslBlob(D3D9_GLSL_PIXEL, "void main() {}");
    IDirect3DVertexShader9* shader = nullptr;
    EXPECT_EQ(m_dev->CreateVertexShader(pixel.data(), &shader), D3DERR_INVALIDCALL) << "kind mismatch";
    // Each blob keeps the builder's allocation: a reader trusting the header
    // would step out of it (the sanitizer build reports that).
    struct Case {
        const char* what;
        size_t word;
        DWORD value;
    } cases[] = {
        {"unknown kind", 1, 7},
        {"bad magic", 0, 0x12345678},
        {"length past the text", 2, 4000},
        {"length past the largest text", 2, D3D9_GLSL_MAX_TEXT + 1},
        {"length short of the text", 2, 5},
        {"no length", 2, 0},
        {"no end marker", blob.size() - 1, 0},
    };
    for (const Case& c : cases) {
        auto bad = blob;
        bad[c.word] = c.value;
        IDirect3DVertexShader9* vs = nullptr;
        EXPECT_EQ(m_dev->CreateVertexShader(bad.data(), &vs), D3DERR_INVALIDCALL) << c.what;
        EXPECT_EQ(vs, nullptr) << c.what;
        EXPECT_EQ(D3D9GlslBlobSize(bad.data()), 0u) << c.what;
    }
}

TEST_F(D3D9Null, DrawsAreValidatedAgainstBuffers) {
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(m_dev->CreateVertexBuffer(80, D3DUSAGE_WRITEONLY, D3DFVF_XYZ | D3DFVF_TEX1, D3DPOOL_MANAGED, &vb, nullptr),
              D3D_OK);
    ASSERT_EQ(m_dev->CreateIndexBuffer(12, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib, nullptr), D3D_OK);
    WORD* idx = nullptr;
    ASSERT_EQ(ib->Lock(0, 0, reinterpret_cast<void**>(&idx), 0), D3D_OK);
    const WORD quad[6] = {0, 1, 2, 2, 3, 0};
    std::copy(quad, quad + 6, idx);
    ib->Unlock();
    m_dev->SetFVF(D3DFVF_XYZ | D3DFVF_TEX1);
    m_dev->SetStreamSource(0, vb, 0, 20);
    m_dev->SetIndices(ib);
    EXPECT_EQ(m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3DERR_INVALIDCALL) << "outside a scene";
    m_dev->BeginScene();
    EXPECT_EQ(m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    EXPECT_EQ(m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 4, 0, 2), D3DERR_INVALIDCALL)
        << "index 3 + base 1 reads a fifth vertex";
    EXPECT_EQ(m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 3, 2), D3DERR_INVALIDCALL) << "past the indices";
    EXPECT_EQ(m_dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    EXPECT_EQ(m_dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 1, 2), D3DERR_INVALIDCALL);
    m_dev->EndScene();
    auto draws = d3d9hooks::CallsStartingWith("DrawIndexedPrimitive(");
    ASSERT_EQ(draws.size(), 4u);
    EXPECT_EQ(draws[1], "DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2)");
    EXPECT_EQ(draws[2], "DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 4, 0, 2) -> D3DERR_INVALIDCALL");
    m_dev->SetStreamSource(0, nullptr, 0, 0);
    m_dev->SetIndices(nullptr);
    vb->Release();
    ib->Release();
}

TEST_F(D3D9Null, TextureLevelsAndLockLayouts) {
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(m_dev->CreateTexture(100, 60, 0, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
    EXPECT_EQ(tex->GetLevelCount(), 7u);  // 100x60 .. 1x1
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(tex->GetLevelDesc(2, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 25u);
    EXPECT_EQ(desc.Height, 15u);
    EXPECT_EQ(desc.Format, D3DFMT_A4R4G4B4);
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3D_OK);
    EXPECT_EQ(lr.Pitch, 200);
    EXPECT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL) << "already locked";
    tex->UnlockRect(0);
    RECT r{10, 5, 20, 6};
    ASSERT_EQ(tex->LockRect(0, &lr, &r, 0), D3D_OK);
    tex->UnlockRect(0);
    RECT outside{90, 0, 101, 1};
    EXPECT_EQ(tex->LockRect(0, &lr, &outside, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(tex->GetLevelDesc(7, &desc), D3DERR_INVALIDCALL);
    tex->Release();

    IDirect3DTexture9* huge = nullptr;
    EXPECT_EQ(m_dev->CreateTexture(16384, 16384, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &huge, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(huge, nullptr);

    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(m_dev->CreateCubeTexture(256, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &cube, nullptr), D3D_OK);
    EXPECT_EQ(cube->GetLevelCount(), 9u);
    ASSERT_EQ(cube->LockRect(D3DCUBEMAP_FACE_NEGATIVE_Z, 8, &lr, nullptr, 0), D3D_OK);
    EXPECT_EQ(lr.Pitch, 4);
    cube->UnlockRect(D3DCUBEMAP_FACE_NEGATIVE_Z, 8);
    cube->Release();
}

// Textures take the device's memory until released; past it a texture (2D or
// cube) is refused as a card would refuse it.
TEST_F(D3D9Null, TexturesStayWithinTheDeviceMemory) {
    EXPECT_EQ(m_dev->GetAvailableTextureMem(), 512u << 20);
    d3d9hooks::SetTextureMemory(m_dev, 3 * 64 * 64 * 4);  // three 64 x 64 levels of four bytes
    IDirect3DTexture9* held[3] = {};
    for (IDirect3DTexture9*& t : held)
        ASSERT_EQ(m_dev->CreateTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr), D3D_OK);
    EXPECT_EQ(m_dev->GetAvailableTextureMem(), 0u);
    IDirect3DTexture9* over = nullptr;
    EXPECT_EQ(m_dev->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &over, nullptr),
              D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(over, nullptr);
    held[1]->Release();
    IDirect3DCubeTexture9* cube = nullptr;
    EXPECT_EQ(m_dev->CreateCubeTexture(64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube, nullptr),
              D3DERR_OUTOFVIDEOMEMORY);  // six faces
    ASSERT_EQ(m_dev->CreateTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &held[1], nullptr), D3D_OK);
    for (IDirect3DTexture9* t : held) t->Release();
}

TEST_F(D3D9Null, FvfBecomesADeclaration) {
    m_dev->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    IDirect3DVertexDeclaration9* decl = nullptr;
    ASSERT_EQ(m_dev->GetVertexDeclaration(&decl), D3D_OK);
    ASSERT_NE(decl, nullptr);
    D3DVERTEXELEMENT9 e[8];
    UINT n = 8;
    ASSERT_EQ(decl->GetDeclaration(e, &n), D3D_OK);
    ASSERT_EQ(n, 4u);
    EXPECT_EQ(e[0].Usage, D3DDECLUSAGE_POSITIONT);
    EXPECT_EQ(e[1].Offset, 16);
    EXPECT_EQ(e[1].Type, D3DDECLTYPE_D3DCOLOR);
    EXPECT_EQ(e[2].Offset, 20);
    EXPECT_EQ(e[2].Usage, D3DDECLUSAGE_TEXCOORD);
    EXPECT_EQ(e[3].Stream, 0xFF);
    decl->Release();
    DWORD fvf = 0;
    m_dev->GetFVF(&fvf);
    EXPECT_EQ(fvf, 0x144u);
}

TEST(D3D9Direct3D, CreationFaultsAndCaps) {
    d3d9hooks::ResetAll();
    d3d9hooks::SetBackend(d3d9hooks::Backend::Null);
    EXPECT_EQ(Direct3DCreate9(32), nullptr) << "only the SDK version we were built for";
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS pp{};
    pp.Windowed = TRUE;
    IDirect3DDevice9* dev = nullptr;
    d3d9hooks::FailCreateDevice(D3DERR_NOTAVAILABLE, 1, D3DCREATE_HARDWARE_VERTEXPROCESSING);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &dev),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(dev, nullptr);
    d3d9hooks::SetShaderVersions(D3DVS_VERSION(1, 1), 0);
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &dev), D3D_OK);
    D3DCAPS9 caps{};
    dev->GetDeviceCaps(&caps);
    EXPECT_EQ(caps.PixelShaderVersion, 0u);
    EXPECT_GE(D3DSHADER_VERSION_MAJOR(caps.VertexShaderVersion), 1u);
    EXPECT_EQ(caps.MaxTextureWidth, 4096u);
    D3DDEVICE_CREATION_PARAMETERS cp{};
    dev->GetCreationParameters(&cp);
    EXPECT_EQ(cp.BehaviorFlags, static_cast<DWORD>(D3DCREATE_SOFTWARE_VERTEXPROCESSING));
    D3DADAPTER_IDENTIFIER9 id{};
    EXPECT_EQ(d3d->GetAdapterIdentifier(cp.AdapterOrdinal, 0, &id), D3D_OK);
    EXPECT_STRNE(id.Description, "");
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8,
                                     D3DUSAGE_RENDERTARGET | D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING,
                                     D3DRTYPE_SURFACE, D3DFMT_X8R8G8B8),
              D3D_OK);
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_A16B16G16R16F),
              D3DERR_NOTAVAILABLE);
    IDirect3D9* back = nullptr;
    dev->GetDirect3D(&back);
    EXPECT_EQ(back, d3d);
    back->Release();
    EXPECT_EQ(dev->Release(), 0u);
    EXPECT_EQ(d3d->Release(), 0u);
    d3d9hooks::ResetAll();
}

TEST(D3D9Direct3D, ShaderVersionsFromEnvironment) {
    d3d9hooks::ResetAll();
    d3d9hooks::SetBackend(d3d9hooks::Backend::Null);
    setenv("KOLVAR_VS_VERSION", "1.1", 1);
    setenv("KOLVAR_PS_VERSION", "0.0", 1);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DCAPS9 caps{};
    d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps);
    EXPECT_EQ(caps.VertexShaderVersion, static_cast<DWORD>(D3DVS_VERSION(1, 1)));
    EXPECT_EQ(caps.PixelShaderVersion, 0u);
    unsetenv("KOLVAR_VS_VERSION");
    unsetenv("KOLVAR_PS_VERSION");
    d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps);
    EXPECT_EQ(caps.PixelShaderVersion, static_cast<DWORD>(D3DPS_VERSION(2, 0)));
    d3d->Release();
}

TEST(D3D9Errors, CodesFromEachFamilyAreNamed) {
    const struct {
        HRESULT hr;
        const char* name;
    } cases[] = {
        {D3DERR_DEVICELOST, "D3DERR_DEVICELOST"},
        {HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "ERROR_FILE_NOT_FOUND"},
        {static_cast<HRESULT>(0x8007001E), "DIERR_INPUTLOST"},
        {S_OK, "S_OK"},
        {0x12345, "Unknown"},
    };
    for (const auto& c : cases) EXPECT_STREQ(DXGetErrorString9(c.hr), c.name);
}

}  // namespace
