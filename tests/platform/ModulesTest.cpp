#include <gtest/gtest.h>

#include <win32.h>

#include <SDL.h>
#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/TestUtil.h"
#include "tests/platform/ScopedEnv.h"

namespace {

// Any real shared object will do as a module; SDL is linked into every test binary.
std::string SomeSharedObject() {
    Dl_info info{};
    EXPECT_NE(dladdr(reinterpret_cast<void*>(&SDL_GetVersion), &info), 0);
    return info.dli_fname ? info.dli_fname : "";
}

void InstallModule(const std::string& folder, const std::string& name) {
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(SomeSharedObject(), folder + "/" + name,
                               std::filesystem::copy_options::overwrite_existing);
}

}  // namespace

TEST(Modules, WindowsNameMapsToSharedObjectInCurrentFolder) {
    testutil::TempDir dir;
    InstallModule(dir.path(), "modtest.so");
    testutil::ScopedCwd cwd(dir.path());
    ScopedEnv game("KOLVAR_GAME_DIR", nullptr);

    HMODULE module = LoadLibraryA("ModTest.DLL");
    ASSERT_NE(module, nullptr);
    EXPECT_NE(GetProcAddress(module, "SDL_GetVersion"), nullptr);
    EXPECT_EQ(GetProcAddress(module, "NoSuchEntryPoint"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PROC_NOT_FOUND);
    EXPECT_EQ(FreeLibrary(module), TRUE);
}

TEST(Modules, MissingModuleFailsWithModNotFound) {
    testutil::TempDir dir;
    testutil::ScopedCwd cwd(dir.path());
    ScopedEnv game("KOLVAR_GAME_DIR", dir.path().c_str());
    EXPECT_EQ(LoadLibraryA("kolvar-absent.dll"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);
    // A file that is not a shared object is not a module either.
    testutil::WriteFile(dir.file("broken.so"), "not an ELF file");
    EXPECT_EQ(LoadLibraryA("broken.dll"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);
}

TEST(Modules, GameFolderFromEnvironmentIsSearched) {
    testutil::TempDir cwdDir;
    testutil::TempDir gameDir;
    InstallModule(gameDir.path(), "gamemod.so");
    testutil::ScopedCwd cwd(cwdDir.path());
    ScopedEnv game("KOLVAR_GAME_DIR", gameDir.path().c_str());
    HMODULE module = LoadLibraryA("gamemod.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(FreeLibrary(module), TRUE);
}

TEST(Modules, PathWithBackslashesOpensOnlyThatFolder) {
    testutil::TempDir dir;
    InstallModule(dir.path() + "/Plugins", "pathmod.so");
    testutil::ScopedCwd cwd(dir.path());
    HMODULE module = LoadLibraryA("plugins\\PathMod.dll");
    ASSERT_NE(module, nullptr);
    FreeLibrary(module);
    EXPECT_EQ(LoadLibraryA("elsewhere\\pathmod.dll"), nullptr);
}

TEST(Modules, TestHookHidesNamedModules) {
    testutil::TempDir dir;
    InstallModule(dir.path(), "hidden.so");
    InstallModule(dir.path(), "shown.so");
    testutil::ScopedCwd cwd(dir.path());
    ScopedEnv missing("KOLVAR_MISSING_MODULES", "other.dll, HIDDEN.DLL");
    EXPECT_EQ(LoadLibraryA("hidden.dll"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);
    HMODULE shown = LoadLibraryA("shown.dll");
    EXPECT_NE(shown, nullptr);
    if (shown) FreeLibrary(shown);
}

TEST(Modules, NullArgumentsAreHarmless) {
    EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
    EXPECT_EQ(LoadLibraryA(""), nullptr);
    EXPECT_EQ(GetProcAddress(nullptr, "x"), nullptr);
    EXPECT_EQ(FreeLibrary(nullptr), FALSE);
}
