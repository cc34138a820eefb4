#include <gtest/gtest.h>

#include "engine/DXUtil.h"

#include <sys/stat.h>

#include <vector>

#include <platform.h>
#include <win32.h>

#include "support/TestUtil.h"

using testutil::ScopedCwd;
using testutil::TempDir;
using testutil::WriteFile;

namespace {

TEST(DXUtil, FormatNames) {
    EXPECT_STREQ(FormatToString(D3DFMT_A8R8G8B8, true), "D3DFMT_A8R8G8B8");
    EXPECT_STREQ(FormatToString(static_cast<D3DFORMAT>(21), false), "A8R8G8B8");
    EXPECT_STREQ(FormatToString(D3DFMT_X8R8G8B8, true), "D3DFMT_X8R8G8B8");
    EXPECT_STREQ(FormatToString(D3DFMT_DXT5, false), "DXT5");
    EXPECT_STREQ(FormatToString(D3DFMT_UNKNOWN, true), "D3DFMT_UNKNOWN");
    EXPECT_STREQ(FormatToString(D3DFMT_CxV8U8, true), "D3DFMT_CxV8U8");
    EXPECT_STREQ(FormatToString(static_cast<D3DFORMAT>(9999), true), "Unknown format");
    EXPECT_STREQ(FormatToString(static_cast<D3DFORMAT>(9999), false), "Unknown format");
    EXPECT_STREQ(FormatToString(D3DFMT_L16, false), "L16");
    for (D3DFORMAT unnamed : {D3DFMT_R8G8_B8G8, D3DFMT_G8R8_G8B8, D3DFMT_D32F_LOCKABLE, D3DFMT_D24FS8})
        EXPECT_STREQ(FormatToString(unnamed, true), "Unknown format") << unnamed;
}

TEST(DXUtil, CopyNarrowStringBoundsAndTerminates) {
    char out[4];
    EXPECT_EQ(CopyNarrowString(out, "abcdef", sizeof out), S_OK);
    EXPECT_STREQ(out, "abc");
    EXPECT_EQ(CopyNarrowString(nullptr, "a", 4), E_INVALIDARG);
    EXPECT_EQ(CopyNarrowString(out, nullptr, 4), E_INVALIDARG);
    EXPECT_EQ(CopyNarrowString(out, "a", 0), E_INVALIDARG);
}

class MediaFiles : public ::testing::Test {
protected:
    void SetUp() override {
        m_Saved = platform::RegistryFile();
        platform::SetRegistryFile(m_Reg.file("registry.ini"));
    }
    void TearDown() override { platform::SetRegistryFile(m_Saved); }
    void InstallSdk(const std::string& folder) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\DirectX SDK", 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, "DX9SDK Samples Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                       static_cast<DWORD>(folder.size() + 1));
        RegCloseKey(key);
    }
    TempDir m_Reg;
    std::string m_Saved;
};

TEST_F(MediaFiles, NoSdkOnThisMachine) {
    char out[MAX_PATH];
    EXPECT_EQ(GetMediaPath(out, sizeof out), E_FAIL);
    EXPECT_EQ(GetMediaPath(nullptr, 10), E_INVALIDARG);
    EXPECT_EQ(GetMediaPath(out, 0), E_INVALIDARG);
}

TEST_F(MediaFiles, SearchOrder) {
    TempDir game, sdk;
    ScopedCwd cwd(game.path());
    WriteFile(game.file("block.x"), "x");
    char out[MAX_PATH];
    ASSERT_EQ(FindMediaFile(out, sizeof out, "block.x"), S_OK);
    EXPECT_EQ(std::string(out), game.path() + "\\block.x");
    // A name with a folder that does not exist is found by its bare name in the current folder.
    ASSERT_EQ(FindMediaFile(out, sizeof out, "C:\\elsewhere\\block.x"), S_OK);
    EXPECT_STREQ(out, "block.x");

    EXPECT_EQ(FindMediaFile(out, sizeof out, "nowhere.x"), E_FAIL) << "the media folder's error passes through";

    testutil::WriteFile(sdk.file("Media_only.x"), "m");
    mkdir(sdk.file("Media").c_str(), 0755);
    WriteFile(sdk.file("Media/tiger.x"), "t");
    InstallSdk(sdk.path());
    ASSERT_EQ(GetMediaPath(out, sizeof out), S_OK);
    EXPECT_EQ(std::string(out), sdk.path() + "\\Media\\");
    char tiny[8];
    EXPECT_EQ(GetMediaPath(tiny, sizeof tiny), E_FAIL) << "the value itself does not fit";
    std::vector<char> justValue(sdk.path().size() + 3);
    EXPECT_EQ(GetMediaPath(justValue.data(), static_cast<int>(justValue.size())), E_INVALIDARG)
        << "the value fits, the suffix does not";

    ASSERT_EQ(FindMediaFile(out, sizeof out, "tiger.x"), S_OK);
    EXPECT_EQ(std::string(out), sdk.path() + "\\Media\\tiger.x");
    EXPECT_EQ(FindMediaFile(out, sizeof out, "nowhere.x"), static_cast<HRESULT>(0x80070002));
    EXPECT_STREQ(out, "nowhere.x");
    EXPECT_EQ(FindMediaFile(nullptr, 10, "a"), E_INVALIDARG);
    EXPECT_EQ(FindMediaFile(out, sizeof out, nullptr), E_INVALIDARG);
}

}  // namespace
