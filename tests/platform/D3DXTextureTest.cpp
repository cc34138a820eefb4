// The D3DX texture functions on the recording null device: sizing, padding,
// mip chains, cube maps, normal maps and bad files.
#include <gtest/gtest.h>

#include <d3d9hooks.h>
#include <d3dx9tex.h>

#include <sys/stat.h>

#include <cmath>

#include "support/DeviceSupport.h"
#include "tests/platform/TextureFiles.h"

namespace {

class D3DXTextureTest : public testutil::DeviceTest {
protected:
    void SetUp() override { StartDevice(d3d9hooks::Backend::Null, testutil::WindowedPresent(64, 64)); }

    std::string Write(const std::string& name, const std::string& bytes) {
        testutil::WriteFile(m_Dir.file(name), bytes);
        return m_Dir.file(name);
    }

    // Texel (x, y) of a level of a 2D texture.
    static uint32_t Texel(IDirect3DTexture9* tex, UINT level, UINT x, UINT y) {
        D3DLOCKED_RECT r;
        EXPECT_EQ(tex->LockRect(level, &r, nullptr, 0), D3D_OK);
        uint32_t v = reinterpret_cast<const uint32_t*>(static_cast<const char*>(r.pBits) + size_t(r.Pitch) * y)[x];
        tex->UnlockRect(level);
        return v;
    }

    testutil::TempDir m_Dir;
};

TEST_F(D3DXTextureTest, DefaultSizeRoundsUpAndReportsTheFileSize) {
    std::string path = Write("pic.png", texfiles::Png(100, 60, texfiles::Corners(100, 60)));
    D3DXIMAGE_INFO info = {};
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileExA(m_dev, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                           D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_TRIANGLE,
                                           D3DX_FILTER_TRIANGLE, 0, &info, nullptr, &tex),
              D3D_OK);
    ASSERT_NE(tex, nullptr);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(tex->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 128u);
    EXPECT_EQ(desc.Height, 64u);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(tex->GetLevelCount(), 8u);
    EXPECT_EQ(info.Width, 100u);
    EXPECT_EQ(info.Height, 60u);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PNG);
    EXPECT_EQ(info.ResourceType, D3DRTYPE_TEXTURE);
    // Stretched: the corners stay in the corners, the last level is the average.
    EXPECT_EQ(Texel(tex, 0, 0, 0), 0xffff0000u);
    EXPECT_EQ(Texel(tex, 0, 127, 0), 0xff00ff00u);
    EXPECT_EQ(Texel(tex, 0, 64, 32), 0xff808080u);
    ASSERT_EQ(tex->GetLevelDesc(7, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 1u);
    uint32_t last = Texel(tex, 7, 0, 0);
    for (int shift : {0, 8, 16}) EXPECT_NEAR(int((last >> shift) & 0xff), 0x80, 2);
    tex->Release();
}

TEST_F(D3DXTextureTest, FilterNonePlacesTheImageTopLeft) {
    std::string path = Write("pic.png", texfiles::Png(100, 60, texfiles::Corners(100, 60)));
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileExA(m_dev, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                           D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0,
                                           nullptr, nullptr, &tex),
              D3D_OK);
    // The placement itself is the resampler's test: here, that the filter reaches it.
    EXPECT_EQ(Texel(tex, 0, 99, 59), 0x80ffffffu);
    EXPECT_EQ(Texel(tex, 0, 127, 63), 0u);
    tex->Release();

    // The theme load: size from the file rounded up, one level, linear.
    ASSERT_EQ(D3DXCreateTextureFromFileExA(m_dev, path.c_str(), 0, 0, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                           D3DX_FILTER_LINEAR, D3DX_FILTER_LINEAR, 0, nullptr, nullptr, &tex),
              D3D_OK);
    D3DSURFACE_DESC desc;
    tex->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 128u);
    EXPECT_EQ(desc.Height, 64u);
    EXPECT_EQ(tex->GetLevelCount(), 1u);
    tex->Release();
}

TEST_F(D3DXTextureTest, KindFromContentAndWindowsPaths) {
    // A PNG named .jpg, in a folder reached with backslashes and other letter case.
    ASSERT_EQ(mkdir(m_Dir.file("Sub").c_str(), 0755), 0);
    Write("Sub/pic.jpg", texfiles::Png(16, 8, texfiles::Solid(16, 8, 0xff112233u), 3));
    std::string path = m_Dir.path() + "\\SUB\\PIC.JPG";
    D3DXIMAGE_INFO info = {};
    ASSERT_EQ(D3DXGetImageInfoFromFileA(path.c_str(), &info), D3D_OK);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PNG);
    EXPECT_EQ(info.Width, 16u);
    EXPECT_EQ(info.Height, 8u);
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileA(m_dev, path.c_str(), &tex), D3D_OK);
    D3DSURFACE_DESC desc;
    tex->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);  // no alpha in the file
    EXPECT_EQ(Texel(tex, 0, 5, 5), 0xff112233u);
    tex->Release();
}

TEST_F(D3DXTextureTest, CubeMapLoadsSixFaces) {
    std::vector<std::vector<uint32_t>> faces;
    for (uint32_t f = 0; f < 6; ++f) faces.push_back(texfiles::Solid(16, 16, 0xff000000u | (0x100000 * (f + 1))));
    std::string path = Write("cube.dds", texfiles::Dds(16, 16, faces));
    D3DXIMAGE_INFO info = {};
    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(D3DXCreateCubeTextureFromFileExA(m_dev, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                               D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_TRIANGLE,
                                               D3DX_FILTER_TRIANGLE, 0, &info, nullptr, &cube),
              D3D_OK);
    EXPECT_EQ(info.ResourceType, D3DRTYPE_CUBETEXTURE);
    EXPECT_EQ(cube->GetLevelCount(), 5u);
    for (UINT f = 0; f < 6; ++f) {
        for (UINT level : {0u, 4u}) {
            D3DLOCKED_RECT r;
            ASSERT_EQ(cube->LockRect(D3DCUBEMAP_FACES(f), level, &r, nullptr, 0), D3D_OK);
            EXPECT_EQ(*static_cast<const uint32_t*>(r.pBits), 0xff000000u | (0x100000 * (f + 1)))
                << "face " << f << " level " << level;
            cube->UnlockRect(D3DCUBEMAP_FACES(f), level);
        }
    }
    cube->Release();

    // A plain picture is no cube map.
    std::string flat = Write("flat.png", texfiles::Png(16, 16, texfiles::Solid(16, 16, 0xffffffffu)));
    cube = nullptr;
    EXPECT_TRUE(FAILED(D3DXCreateCubeTextureFromFileExA(m_dev, flat.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                                        D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT,
                                                        0, nullptr, nullptr, &cube)));
    EXPECT_EQ(cube, nullptr);
}

TEST_F(D3DXTextureTest, BadFilesFailAndLeaveTheOutputAlone) {
    // Which bodies fail to decode is the decoder's own test; here, what the API hands back.
    std::string png = texfiles::Png(64, 64, texfiles::Corners(64, 64));
    const std::pair<const char*, std::string> files[] = {
        {"empty.png", ""},
        {"truncated.png", png.substr(0, png.size() / 2)},
    };
    for (const auto& f : files) {
        std::string path = Write(f.first, f.second);
        IDirect3DTexture9* tex = nullptr;
        EXPECT_TRUE(FAILED(D3DXCreateTextureFromFileA(m_dev, path.c_str(), &tex))) << f.first;
        EXPECT_EQ(tex, nullptr) << f.first;
        // Only the header is read for the information; a cut body still gives it.
        D3DXIMAGE_INFO info = {};
        bool headerOnly = std::string(f.first) == "truncated.png";
        EXPECT_EQ(SUCCEEDED(D3DXGetImageInfoFromFileA(path.c_str(), &info)), headerOnly) << f.first;
    }
    IDirect3DTexture9* tex = nullptr;
    EXPECT_TRUE(FAILED(D3DXCreateTextureFromFileA(m_dev, m_Dir.file("missing.png").c_str(), &tex)));
    EXPECT_TRUE(FAILED(D3DXCreateTextureFromFileA(m_dev, m_Dir.path().c_str(), &tex)));  // a folder
    EXPECT_TRUE(FAILED(D3DXCreateTextureFromFileA(m_dev, nullptr, &tex)));
    EXPECT_EQ(tex, nullptr);
}

TEST_F(D3DXTextureTest, EmptyTexturesAndNormalMaps) {
    IDirect3DTexture9* heights = nullptr;
    ASSERT_EQ(D3DXCreateTexture(m_dev, 0, 0, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, &heights), D3D_OK);
    D3DSURFACE_DESC desc;
    heights->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 256u);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(heights->GetLevelCount(), 9u);
    heights->Release();

    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(D3DXCreateCubeTexture(m_dev, 256, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &cube), D3D_OK);
    EXPECT_EQ(cube->GetLevelCount(), 9u);
    cube->Release();

    // Heights rising to the right in red, as the engine asks for them.
    std::vector<uint32_t> ramp(64 * 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) ramp[y * 64 + x] = 0xff000000u | uint32_t(x * 4) << 16;
    std::string path = Write("ramp.png", texfiles::Png(64, 64, ramp, 3));
    ASSERT_EQ(D3DXCreateTextureFromFileA(m_dev, path.c_str(), &heights), D3D_OK);
    IDirect3DTexture9* normals = nullptr;
    ASSERT_EQ(D3DXCreateTexture(m_dev, 64, 64, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &normals), D3D_OK);
    ASSERT_EQ(D3DXComputeNormalMap(normals, heights, nullptr, 0, D3DX_CHANNEL_RED, 3.0f), D3D_OK);
    uint32_t n = Texel(normals, 0, 32, 32);
    EXPECT_LT((n >> 16) & 0xff, 120u);               // tilted toward -x
    EXPECT_NEAR(int((n >> 8) & 0xff), 128, 1);       // no slope along y
    EXPECT_GT(n & 0xff, 200u);                       // mostly facing out
    // Smaller levels keep unit-length normals pointing the same way.
    uint32_t m = Texel(normals, 3, 4, 4);
    float nx = ((m >> 16) & 0xff) / 127.5f - 1, ny = ((m >> 8) & 0xff) / 127.5f - 1, nz = (m & 0xff) / 127.5f - 1;
    EXPECT_NEAR(std::sqrt(nx * nx + ny * ny + nz * nz), 1.0f, 0.02f);
    EXPECT_LT(nx, -0.05f);
    normals->Release();
    heights->Release();
}

}  // namespace
