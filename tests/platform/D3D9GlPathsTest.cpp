// The GL backend's two ways to the screen (straight into the window, or an
// offscreen buffer copied into it) give the same pixels, dynamic buffers
// show what each lock wrote whatever the lock flags, and user vertices draw
// as given however often the stream buffers they go through wrap around,
// managed textures read back what was written once the driver holds them,
// and only fully opaque sprites skip blending.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "d3d9.h"
#include "d3d9hooks.h"
#include "support/DeviceSupport.h"

namespace {

struct TLVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
};
constexpr DWORD kFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;
constexpr UINT kSize = 64;

class GlDevice {
public:
    explicit GlDevice(bool offscreen) {
        if (offscreen)
            setenv("KOLVAR_GL_OFFSCREEN", "1", 1);
        else
            unsetenv("KOLVAR_GL_OFFSCREEN");
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS pp = testutil::DepthPresent(kSize, kSize, D3DFMT_D24S8);
        pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        if (d3d) d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &dev);
        unsetenv("KOLVAR_GL_OFFSCREEN");
        if (!dev) return;
        dev->SetRenderState(D3DRS_LIGHTING, FALSE);
        dev->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        dev->SetFVF(kFvf);
    }
    ~GlDevice() {
        if (dev) dev->Release();
        if (d3d) d3d->Release();
    }
    std::vector<DWORD> Grab(const std::string& name) {
        UINT w = 0, h = 0;
        std::vector<DWORD> pixels = d3d9hooks::ReadBackBuffer(dev, &w, &h);
        EXPECT_TRUE(testutil::SaveScreenshot("d3d9_" + name + ".png", pixels, w, h));
        for (DWORD& p : pixels) p &= 0xFFFFFF;
        return pixels;
    }

    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* dev = nullptr;
};

class D3D9GlPaths : public ::testing::Test {
protected:
    void SetUp() override {
        d3d9hooks::ResetAll();
        d3d9hooks::SetBackend(d3d9hooks::Backend::GL);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) KOLVAR_SKIP_WITHOUT_GL() << "no display: " << SDL_GetError();
    }
    void TearDown() override { d3d9hooks::ResetAll(); }
};

// Edges through pixel centres (where the top-left rule decides), culling,
// clear rectangles and an offset viewport: the cases where turning the
// picture the right way up could move a pixel.
std::vector<DWORD> DrawScene(GlDevice& g, const char* name) {
    IDirect3DDevice9* d = g.dev;
    const D3DRECT rect = {40, 4, 60, 12};
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF202020, 1.0f, 0);
    d->Clear(1, &rect, D3DCLEAR_TARGET, 0xFF00FFFF, 1.0f, 0);
    d->BeginScene();
    // A fan of four triangles around (20, 20): every shared edge has pixel
    // centres on it, and each triangle its own colour.
    const D3DCOLOR colors[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00};
    const float ring[5][2] = {{4, 4}, {36, 4}, {36, 36}, {4, 36}, {4, 4}};
    for (int i = 0; i < 4; ++i) {
        const TLVertex v[3] = {{20, 20, 0.5f, 1, colors[i]},
                               {ring[i][0], ring[i][1], 0.5f, 1, colors[i]},
                               {ring[i + 1][0], ring[i + 1][1], 0.5f, 1, colors[i]}};
        d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(TLVertex));
    }
    // Two overlapping triangles of either winding; counter-clockwise ones are culled.
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    const TLVertex cw[3] = {{40, 40, 0.5f, 1, 0xFFFF00FF}, {60, 40, 0.5f, 1, 0xFFFF00FF}, {40, 60, 0.5f, 1, 0xFFFF00FF}};
    const TLVertex ccw[3] = {{60, 60, 0.5f, 1, 0xFFFFFFFF}, {60, 42, 0.5f, 1, 0xFFFFFFFF}, {42, 60, 0.5f, 1, 0xFFFFFFFF}};
    d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, cw, sizeof(TLVertex));
    d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, ccw, sizeof(TLVertex));
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    // A viewport off the origin, cleared and drawn into.
    const D3DVIEWPORT9 vp = {8, 44, 24, 16, 0, 1};
    d->SetViewport(&vp);
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF808000, 1.0f, 0);
    const TLVertex inner[3] = {{10, 46, 0.5f, 1, 0xFF008080}, {30, 46, 0.5f, 1, 0xFF008080}, {10, 58, 0.5f, 1, 0xFF008080}};
    d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, inner, sizeof(TLVertex));
    d->EndScene();
    return g.Grab(name);
}

TEST_F(D3D9GlPaths, WindowAndOffscreenGiveTheSamePixels) {
    GlDevice window(false), offscreen(true);
    ASSERT_TRUE(window.dev && offscreen.dev);
    const std::vector<DWORD> a = DrawScene(window, "paths_window");
    const std::vector<DWORD> b = DrawScene(offscreen, "paths_offscreen");
    ASSERT_EQ(a.size(), size_t(kSize) * kSize);
    ASSERT_EQ(b.size(), a.size());
    EXPECT_GE(std::set<DWORD>(a.begin(), a.end()).size(), 9u) << "every part of the scene drew";
    size_t differ = 0;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && differ++ < 5)
            ADD_FAILURE() << "pixel " << i % kSize << "," << i / kSize << ": " << std::hex << a[i] << " vs " << b[i];
    EXPECT_EQ(differ, 0u);
}

TEST_F(D3D9GlPaths, DynamicBuffersShowEveryLock) {
    GlDevice g(false);
    ASSERT_TRUE(g.dev);
    IDirect3DDevice9* d = g.dev;
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(d->CreateVertexBuffer(8 * sizeof(TLVertex), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, kFvf,
                                    D3DPOOL_DEFAULT, &vb, nullptr),
              D3D_OK);
    ASSERT_EQ(d->CreateIndexBuffer(12 * sizeof(WORD), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                   D3DPOOL_DEFAULT, &ib, nullptr),
              D3D_OK);
    d->SetStreamSource(0, vb, 0, sizeof(TLVertex));
    d->SetIndices(ib);
    // Quad q covers x in [32q, 32q + 32); its indices follow the same lock as its vertices.
    auto write = [&](int q, DWORD flags, D3DCOLOR c) {
        TLVertex* v = nullptr;
        ASSERT_EQ(vb->Lock(q * 4 * sizeof(TLVertex), 4 * sizeof(TLVertex), reinterpret_cast<void**>(&v), flags),
                  D3D_OK);
        const float x = 32.0f * q;
        v[0] = {x, 0, 0.5f, 1, c};
        v[1] = {x + 32, 0, 0.5f, 1, c};
        v[2] = {x, 32, 0.5f, 1, c};
        v[3] = {x + 32, 32, 0.5f, 1, c};
        vb->Unlock();
        WORD* i = nullptr;
        ASSERT_EQ(ib->Lock(q * 6 * sizeof(WORD), 6 * sizeof(WORD), reinterpret_cast<void**>(&i), flags), D3D_OK);
        const WORD base = static_cast<WORD>(q * 4);
        const WORD quad[6] = {base, WORD(base + 1), WORD(base + 2), WORD(base + 2), WORD(base + 1), WORD(base + 3)};
        memcpy(i, quad, sizeof quad);
        ib->Unlock();
    };
    struct Step {
        int quad;
        DWORD flags;
        D3DCOLOR color;
        int drawn;  // quads drawn after the lock, from the left
        DWORD left, right;
    };
    const Step steps[] = {
        {0, D3DLOCK_DISCARD, 0xFFFF0000, 1, 0xFF0000, 0x000000},
        {1, D3DLOCK_NOOVERWRITE, 0xFF00FF00, 2, 0xFF0000, 0x00FF00},  // appended behind a draw in flight
        {0, 0, 0xFF0000FF, 2, 0x0000FF, 0x00FF00},                    // a plain lock keeps the rest
        {1, D3DLOCK_NOOVERWRITE, 0xFFFFFF00, 2, 0x0000FF, 0xFFFF00},
        {0, D3DLOCK_DISCARD, 0xFFFF00FF, 1, 0xFF00FF, 0x000000},
    };
    for (const Step& s : steps) {
        write(s.quad, s.flags, s.color);
        d->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        d->BeginScene();
        for (int q = 0; q < s.drawn; ++q)
            EXPECT_EQ(d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, q * 6, 2), D3D_OK);
        d->EndScene();
        const std::vector<DWORD> p = g.Grab("dynamic_locks");
        EXPECT_EQ(p[16 * kSize + 16], s.left) << "after writing quad " << s.quad << " with flags " << s.flags;
        EXPECT_EQ(p[16 * kSize + 48], s.right) << "after writing quad " << s.quad << " with flags " << s.flags;
        d->Present(nullptr, nullptr, nullptr, nullptr);
    }
    ib->Release();
    vb->Release();
}

TEST_F(D3D9GlPaths, UserVerticesDrawAsGivenAcrossStreamWraps) {
    GlDevice g(false);
    ASSERT_TRUE(g.dev);
    IDirect3DDevice9* d = g.dev;
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    d->BeginScene();
    // 64 draws of 8 x 8 squares, each behind a long run of empty triangles, so
    // the stream wraps many times; one draw is larger than a whole stream.
    auto color = [](int q) { return D3DCOLOR(0xFF000000u | (q * 4) << 16 | (255 - q * 4) << 8 | (q * 37 % 256)); };
    for (int q = 0; q < 64; ++q) {
        std::vector<TLVertex> v(q == 10 ? 72000 : 15000, TLVertex{0, 0, 0.5f, 1, 0});
        const float x = 8.0f * (q % 8), y = 8.0f * (q / 8);
        const TLVertex square[6] = {{x, y, 0.5f, 1, color(q)},     {x + 8, y, 0.5f, 1, color(q)},
                                    {x, y + 8, 0.5f, 1, color(q)}, {x, y + 8, 0.5f, 1, color(q)},
                                    {x + 8, y, 0.5f, 1, color(q)}, {x + 8, y + 8, 0.5f, 1, color(q)}};
        std::copy(square, square + 6, v.end() - 6);
        EXPECT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(v.size() / 3), v.data(), sizeof(TLVertex)),
                  D3D_OK);
    }
    d->EndScene();
    const std::vector<DWORD> p = g.Grab("stream_wraps");
    for (int q = 0; q < 64; ++q)
        EXPECT_EQ(p[(8 * (q / 8) + 4) * kSize + 8 * (q % 8) + 4], color(q) & 0xFFFFFF) << "square " << q;
}

// A managed texture's texels live in the driver once drawn with: a later
// lock must read back exactly what was written, whatever the format.
TEST_F(D3D9GlPaths, ManagedTexturesReadBackWhatWasWrittenAfterDrawing) {
    GlDevice g(false);
    ASSERT_TRUE(g.dev);
    IDirect3DDevice9* d = g.dev;
    const D3DFORMAT formats[] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_A1R5G5B5,
                                 D3DFMT_R5G6B5,   D3DFMT_L8,       D3DFMT_A8L8,     D3DFMT_A8,
                                 D3DFMT_DXT1,     D3DFMT_DXT5};
    for (D3DFORMAT format : formats) {
        IDirect3DTexture9* t = nullptr;
        ASSERT_EQ(d->CreateTexture(16, 8, 2, 0, format, D3DPOOL_MANAGED, &t, nullptr), D3D_OK) << format;
        std::vector<std::vector<uint8_t>> written;
        for (UINT level = 0; level < 2; ++level) {
            D3DLOCKED_RECT r{};
            ASSERT_EQ(t->LockRect(level, &r, nullptr, 0), D3D_OK);
            // Every byte that the format holds: 16 x 8 texels of at most 4 bytes, or their blocks.
            const size_t bytes = static_cast<size_t>(r.Pitch) * (format == D3DFMT_DXT1 || format == D3DFMT_DXT5 ? 2 >> level : 8 >> level);
            std::vector<uint8_t> pattern(bytes);
            for (size_t i = 0; i < bytes; ++i) pattern[i] = static_cast<uint8_t>(i * 37 + level * 101 + format);
            // 5-6-5 and 1-5-5-5 words hold every bit pattern; an X8 texel keeps its X byte.
            memcpy(r.pBits, pattern.data(), bytes);
            t->UnlockRect(level);
            written.push_back(pattern);
        }
        d->SetTexture(0, t);
        d->BeginScene();
        const TLVertex v[3] = {{0, 0, 0.5f, 1, 0xFFFFFFFF}, {4, 0, 0.5f, 1, 0xFFFFFFFF}, {0, 4, 0.5f, 1, 0xFFFFFFFF}};
        EXPECT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(TLVertex)), D3D_OK);
        d->EndScene();
        d->SetTexture(0, nullptr);
        for (UINT level = 0; level < 2; ++level) {
            D3DLOCKED_RECT r{};
            ASSERT_EQ(t->LockRect(level, &r, nullptr, D3DLOCK_READONLY), D3D_OK) << format;
            const std::vector<uint8_t> back(static_cast<uint8_t*>(r.pBits),
                                            static_cast<uint8_t*>(r.pBits) + written[level].size());
            t->UnlockRect(level);
            EXPECT_EQ(back, written[level]) << "format " << format << ", level " << level;
        }
        t->Release();
    }
}

// Blending and the alpha test are dropped only where they change no pixel:
// where every fragment has alpha 1, or (the test) where an additive blend by
// source alpha adds nothing for the fragments it drops. A texel or a vertex
// colour with less alpha must still blend over what is there, and the test
// must still drop what a blend by one would add.
TEST_F(D3D9GlPaths, SpritesBlendAndTestUnlessNoPixelChanges) {
    GlDevice g(false);
    ASSERT_TRUE(g.dev);
    IDirect3DDevice9* d = g.dev;
    struct Case {
        const char* name;
        D3DFORMAT format;
        DWORD texel;   // every texel, as ARGB
        DWORD colour;  // every vertex
        DWORD expected;
        DWORD destBlend = D3DBLEND_INVSRCALPHA;
        DWORD srcBlend = D3DBLEND_SRCALPHA;
    };
    // Over a background of 0x204060: half alpha gives the average, rounded either way.
    const Case cases[] = {
        {"opaque texture and colour", D3DFMT_A8R8G8B8, 0xFFC08000, 0xFFFFFFFF, 0xC08000},
        {"texture without alpha", D3DFMT_X8R8G8B8, 0x00C08000, 0xFFFFFFFF, 0xC08000},
        {"half-transparent texels", D3DFMT_A8R8G8B8, 0x80C08000, 0xFFFFFFFF, 0x706030},
        {"half-transparent colour", D3DFMT_X8R8G8B8, 0x00C08000, 0x80FFFFFF, 0x706030},
        {"transparent texels", D3DFMT_A8R8G8B8, 0x00C08000, 0xFFFFFFFF, 0x204060},
        {"added, transparent texels", D3DFMT_A8R8G8B8, 0x00FFFFFF, 0xFFFFFFFF, 0x204060, D3DBLEND_ONE},
        {"added, faint texels", D3DFMT_A8R8G8B8, 0x10FFFFFF, 0xFFFFFFFF, 0x305070, D3DBLEND_ONE},
        {"added by one, transparent texels", D3DFMT_A8R8G8B8, 0x00FFFFFF, 0xFFFFFFFF, 0x204060, D3DBLEND_ONE,
         D3DBLEND_ONE},
    };
    struct TexVertex {
        float x, y, z, rhw;
        D3DCOLOR color;
        float u, v;
    };
    for (const Case& c : cases) {
        IDirect3DTexture9* t = nullptr;
        ASSERT_EQ(d->CreateTexture(8, 8, 1, 0, c.format, D3DPOOL_MANAGED, &t, nullptr), D3D_OK);
        D3DLOCKED_RECT r{};
        ASSERT_EQ(t->LockRect(0, &r, nullptr, 0), D3D_OK);
        for (int i = 0; i < 64; ++i) static_cast<DWORD*>(r.pBits)[i] = c.texel;
        t->UnlockRect(0);
        d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF204060, 1.0f, 0);
        const D3DRECT corner = {0, 0, 4, 4};  // the picture is never one colour
        d->Clear(1, &corner, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
        d->BeginScene();
        d->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        d->SetTexture(0, t);
        d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        d->SetRenderState(D3DRS_SRCBLEND, c.srcBlend);
        d->SetRenderState(D3DRS_DESTBLEND, c.destBlend);
        d->SetRenderState(D3DRS_ZWRITEENABLE, c.destBlend != D3DBLEND_ONE);
        d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
        d->SetRenderState(D3DRS_ALPHAREF, 0);
        d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
        const TexVertex v[4] = {{8, 8, 0.5f, 1, c.colour, 0, 0},
                                {56, 8, 0.5f, 1, c.colour, 1, 0},
                                {8, 56, 0.5f, 1, c.colour, 0, 1},
                                {56, 56, 0.5f, 1, c.colour, 1, 1}};
        EXPECT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TexVertex)), D3D_OK);
        d->EndScene();
        const std::vector<DWORD> p = g.Grab("sprite_alpha");
        for (int shift : {0, 8, 16})
            EXPECT_NEAR(int(p[32 * kSize + 32] >> shift & 0xFF), int(c.expected >> shift & 0xFF), 1) << c.name;
        d->SetTexture(0, nullptr);
        d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        d->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
        d->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        d->SetFVF(kFvf);
        t->Release();
    }
}

}  // namespace
