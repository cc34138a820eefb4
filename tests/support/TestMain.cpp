// Test entry: every test binary keeps the registry, the user's config folder
// and the audio driver away from the real machine.
#include <gtest/gtest.h>

#include <platform.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    std::string home = std::filesystem::temp_directory_path().string() + "/kolvar-test-home-" +
                       std::to_string(getpid());
    std::filesystem::create_directories(home + "/.config");
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("KOLVAR_GAME_DIR", KOLVAR_TEST_GAME_DIR, 0);
    setenv("KOLVAR_SOURCE_DIR", KOLVAR_TEST_SOURCE_DIR, 0);
    setenv("KOLVAR_ARTIFACTS", KOLVAR_TEST_ARTIFACTS, 0);
    platform::SetRegistryFile(home + "/registry.ini");

    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
    return result;
}
