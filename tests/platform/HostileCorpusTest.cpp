// Replays the hostile files under tests/corpus through the entry points the game
// uses. A file named loads_* must load; every other one must fail cleanly.
#include <gtest/gtest.h>

#include <cg.h>
#include <d3d9hooks.h>
#include <d3dx9.h>
#include <dmusic.h>
#include <win32.h>
#include <wingdi.h>
#include <winuser.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "TextureFiles.h"
#include "dmusichooks.h"
#include "support/DeviceSupport.h"

namespace {

using testutil::CorpusFiles;
using testutil::ShouldLoad;

class HostileCorpus : public testutil::DeviceTest {
protected:
    void SetUp() override { StartDevice(d3d9hooks::Backend::Null, testutil::WindowedPresent(64, 64)); }
};

TEST_F(HostileCorpus, ImagesLoadOrFailCleanly) {
    for (const std::string& path : CorpusFiles("image")) {
        SCOPED_TRACE(path);
        D3DXIMAGE_INFO info;
        HRESULT infoResult = D3DXGetImageInfoFromFileA(path.c_str(), &info);
        IDirect3DTexture9* texture = nullptr;
        HRESULT hr = D3DXCreateTextureFromFileExA(m_dev, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                                  D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                                  nullptr, nullptr, &texture);
        EXPECT_EQ(SUCCEEDED(hr), ShouldLoad(path));
        if (SUCCEEDED(hr)) {
            EXPECT_TRUE(SUCCEEDED(infoResult));  // a header can be sound while the data is not
        }
        EXPECT_EQ(texture != nullptr, SUCCEEDED(hr));
        if (texture) texture->Release();
    }
}

// The largest address space this process has held, in bytes: a reservation
// counts even when its pages are never touched.
uint64_t PeakVirtualBytes() {
    FILE* status = fopen("/proc/self/status", "re");
    if (!status) return 0;
    char line[256];
    unsigned long long kib = 0;
    while (fgets(line, sizeof line, status) && sscanf(line, "VmPeak: %llu kB", &kib) != 1) {
    }
    fclose(status);
    return uint64_t(kib) * 1024;
}

// Theme logos go through the dialog picture loader; a header must not make
// the decoder reserve what the file cannot hold.
TEST(HostileCorpusBitmaps, LoadOrFailCleanlyWithoutReservingForTheirHeaders) {
    testutil::TempDir dir;
    const std::string good = dir.file("good.bmp");
    testutil::WriteFile(good, texfiles::Bmp(4, 4, texfiles::Solid(4, 4, 0xff102030u)));
    HANDLE warm = LoadImageA(nullptr, good.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);  // decoder set up once
    ASSERT_NE(warm, nullptr);
    DeleteObject(warm);
    for (const std::string& path : CorpusFiles("image")) {
        if (path.size() < 4 || path.compare(path.size() - 4, 4, ".bmp") != 0) continue;
        SCOPED_TRACE(path);
        const uint64_t before = PeakVirtualBytes();
        HANDLE image = LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
        EXPECT_EQ(image != nullptr, ShouldLoad(path));
        EXPECT_LT(PeakVirtualBytes(), before + (64u << 20));
        if (image) DeleteObject(image);
    }
}

TEST_F(HostileCorpus, MeshesAndTheirMaterialTexturesLoadOrFailCleanly) {
    for (const std::string& path : CorpusFiles("mesh")) {
        SCOPED_TRACE(path);
        ID3DXBuffer* materials = nullptr;
        DWORD count = 0;
        ID3DXMesh* mesh = nullptr;
        HRESULT hr = D3DXLoadMeshFromXA(path.c_str(), D3DXMESH_MANAGED, m_dev, nullptr, &materials, nullptr,
                                        &count, &mesh);
        EXPECT_EQ(SUCCEEDED(hr), ShouldLoad(path));
        if (materials) {
            // The engine loads each material's texture by the name the file gives.
            auto* m = static_cast<D3DXMATERIAL*>(materials->GetBufferPointer());
            for (DWORD i = 0; i < count; ++i) {
                if (!m[i].pTextureFilename) continue;
                IDirect3DTexture9* texture = nullptr;
                EXPECT_TRUE(FAILED(D3DXCreateTextureFromFileA(m_dev, m[i].pTextureFilename, &texture)))
                    << m[i].pTextureFilename;
                if (texture) texture->Release();
            }
            materials->Release();
        }
        if (mesh) mesh->Release();
    }
}

TEST_F(HostileCorpus, ShaderSourcesFailCleanly) {
    CGcontext context = cgCreateContext();
    cgD3D9SetDevice(m_dev);
    for (const std::string& path : CorpusFiles("shader")) {
        SCOPED_TRACE(path);
        CGprogram program = cgCreateProgramFromFile(context, CG_SOURCE, path.c_str(), CG_PROFILE_VS_1_1, "main", nullptr);
        EXPECT_EQ(program != nullptr, ShouldLoad(path));
        if (program) cgDestroyProgram(program);
    }
    cgD3D9SetDevice(nullptr);
    cgDestroyContext(context);
}

TEST(HostileCorpusMusic, SongsLoadOrFailCleanlyAndPlay) {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    IDirectMusicLoader8* loader = nullptr;
    IDirectMusicPerformance8* performance = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8,
                                     reinterpret_cast<void**>(&loader)));
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC,
                                     IID_IDirectMusicPerformance8, reinterpret_cast<void**>(&performance)));
    ASSERT_EQ(S_OK, performance->InitAudio(nullptr, nullptr, nullptr, DMUS_APATH_DYNAMIC_STEREO, 128,
                                           DMUS_AUDIOF_ALL, nullptr));
    for (const std::string& path : CorpusFiles("midi")) {
        SCOPED_TRACE(path);
        std::wstring wide(path.begin(), path.end());
        IDirectMusicSegment8* segment = nullptr;
        HRESULT hr = loader->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, wide.c_str(),
                                                reinterpret_cast<void**>(&segment));
        EXPECT_EQ(SUCCEEDED(hr), ShouldLoad(path));
        if (!segment) continue;
        // A far event makes the render horizon huge: the chunk size must stay in range.
        segment->Download(performance);
        EXPECT_EQ(S_OK, performance->PlaySegmentEx(segment, nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr));
        std::vector<float> pcm(2 * 4096);
        EXPECT_TRUE(dmusic::RenderPerformance(performance, pcm.data(), 4096));
        performance->Stop(nullptr, nullptr, 0, 0);
        loader->ReleaseObjectByUnknown(segment);
        segment->Release();
    }
    performance->CloseDown();
    performance->Release();
    loader->Release();
    CoUninitialize();
}

TEST(HostileCorpusIni, SettingsFilesReadWithinTheirBuffers) {
    for (const std::string& path : CorpusFiles("ini")) {
        SCOPED_TRACE(path);
        char keys[64];
        DWORD n = GetPrivateProfileStringA("sound", nullptr, "", keys, sizeof keys, path.c_str());
        EXPECT_LE(n, sizeof keys - 2);
        char value[16];
        n = GetPrivateProfileStringA("sound", "music", "d", value, sizeof value, path.c_str());
        EXPECT_LT(n, sizeof value);
        EXPECT_EQ(strlen(value), n);
    }
}

TEST(HostileCorpusFont, FontsLoadOrFailAndDrawInBoundedTime) {
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_TRUE(dc);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = 64;
    bi.bmiHeader.biHeight = -64;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_TRUE(bitmap);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    for (const std::string& path : CorpusFiles("font")) {
        SCOPED_TRACE(path);
        int added = AddFontResourceA(path.c_str());
        EXPECT_EQ(added > 0, ShouldLoad(path));
        if (added <= 0) continue;
        HFONT font = CreateFontA(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH, "Hostile");
        ASSERT_TRUE(font);
        HGDIOBJ oldFont = SelectObject(dc, font);
        // Huge glyphs are skipped, not rendered in full and then clipped.
        EXPECT_TRUE(ExtTextOutA(dc, 0, 0, ETO_OPAQUE, nullptr, "AAAA", 4, nullptr));
        SelectObject(dc, oldFont);
        DeleteObject(font);
        RemoveFontResourceA(path.c_str());
    }
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

}  // namespace
