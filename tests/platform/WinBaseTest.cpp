// Global memory, file search, version records and folder deletion.
#include <gtest/gtest.h>

#include <shellapi.h>
#include <winbase.h>
#include <winver.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "support/TestUtil.h"

namespace fs = std::filesystem;

namespace {

TEST(GlobalMemory, ZeroFilledLockCountedAndCheckedHandles) {
    HGLOBAL memory = GlobalAlloc(GHND, 64);
    ASSERT_NE(memory, nullptr);
    auto* bytes = static_cast<unsigned char*>(GlobalLock(memory));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::count(bytes, bytes + 64, 0), 64);
    EXPECT_EQ(GlobalLock(memory), bytes);
    EXPECT_TRUE(GlobalUnlock(memory));   // still locked once
    EXPECT_FALSE(GlobalUnlock(memory));  // now unlocked
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(GlobalFree(memory), nullptr);
    // A freed or foreign handle is refused, not touched.
    EXPECT_EQ(GlobalLock(memory), nullptr);
    int local = 0;
    EXPECT_EQ(GlobalFree(&local), static_cast<HGLOBAL>(&local));
}

TEST(SearchPath, FindsFilesAndModulesLikeLoadLibrary) {
    testutil::TempDir dir;
    testutil::ScopedCwd cwd(dir.path());
    testutil::WriteFile(dir.file("Notes.TXT"), "x");
    char buffer[MAX_PATH];
    LPSTR part = nullptr;
    DWORD n = SearchPathA(nullptr, "notes.txt", nullptr, sizeof buffer, buffer, &part);
    EXPECT_EQ(std::string(buffer, n), dir.file("Notes.TXT"));
    EXPECT_STREQ(part, "Notes.TXT");
    EXPECT_EQ(SearchPathA(nullptr, "notes.txt", nullptr, 4, buffer, nullptr), n + 1);  // size needed
    EXPECT_EQ(SearchPathA(nullptr, "absent.txt", nullptr, sizeof buffer, buffer, nullptr), 0u);

    // "arch.DLL" is the module file of the game folder, unless marked missing.
    n = SearchPathA(nullptr, "arch.DLL", nullptr, sizeof buffer, buffer, nullptr);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(fs::path(buffer).filename(), "arch.so");
    setenv("KOLVAR_MISSING_MODULES", "arch.dll", 1);
    EXPECT_EQ(SearchPathA(nullptr, "arch.DLL", nullptr, sizeof buffer, buffer, nullptr), 0u);
    unsetenv("KOLVAR_MISSING_MODULES");
}

TEST(VersionInfo, ReadsTheModulesStringTable) {
    char path[MAX_PATH];
    ASSERT_GT(SearchPathA(nullptr, "arch.DLL", nullptr, sizeof path, path, nullptr), 0u);
    DWORD size = GetFileVersionInfoSizeA(path, nullptr);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, &block[0]));
    EXPECT_FALSE(GetFileVersionInfoA(path, 0, size - 1, &block[0]));
    LPVOID value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\CompanyName", &value, &length));
    EXPECT_STREQ(static_cast<const char*>(value), "Info-ZIP");
    EXPECT_EQ(length, 9u);
    EXPECT_FALSE(VerQueryValueA(block.data(), "\\StringFileInfo\\040704E4\\CompanyName", &value, &length));
    EXPECT_FALSE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\Missing", &value, &length));

    testutil::TempDir dir;
    testutil::WriteFile(dir.file("plain.dll"), "not a module");
    EXPECT_EQ(GetFileVersionInfoSizeA(dir.file("plain.dll").c_str(), nullptr), 0u);
}

TEST(FileOperation, DeletesTheListedFoldersOnly) {
    testutil::TempDir dir;
    fs::create_directories(dir.file("themes/old/sub"));
    fs::create_directories(dir.file("themes/keep"));
    testutil::WriteFile(dir.file("themes/old/sub/a.txt"), "a");
    testutil::WriteFile(dir.file("precious.txt"), "p");
    fs::create_symlink(dir.file("precious.txt"), dir.file("themes/old/link"));

    std::string from = dir.path() + "\\themes\\old";
    from.push_back('\0');
    from.push_back('\0');
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.data();
    op.fFlags = FOF_NOCONFIRMATION;
    EXPECT_EQ(SHFileOperationA(&op), 0);
    EXPECT_FALSE(fs::exists(dir.file("themes/old")));
    EXPECT_TRUE(fs::exists(dir.file("themes/keep")));
    EXPECT_EQ(testutil::ReadFile(dir.file("precious.txt")), "p");  // a link is removed, not followed

    EXPECT_NE(SHFileOperationA(&op), 0);  // gone already
}

}  // namespace
