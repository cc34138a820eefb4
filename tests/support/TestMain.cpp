// Test entry: every test binary keeps the registry, the user's config folder
// and the audio driver away from the real machine.
#include <gtest/gtest.h>

#include <platform.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include <cstdio>
#include <cstring>

// ctest runs every case as a process of its own, in parallel, and each process's
// log rotates and truncates log.html in the folder it starts in. Tests read their
// own log lines, so before any static object is built (the preinit array runs
// first) the process moves into a folder of its own, where the global log starts;
// main moves back to the working folder.
namespace {
// Plain arrays: they hold their value before dynamic initialisation runs.
char g_StartFolder[4096];
char g_LogFolder[64];
pid_t g_LogOwner = 0;

void RemoveLogFolder() {
    // A forked child (death tests) leaves the folder to its parent.
    if (getpid() != g_LogOwner || !g_LogFolder[0]) return;
    std::error_code ec;
    std::filesystem::remove_all(g_LogFolder, ec);
}
void EnterLogFolder(int, char**, char**) {
    char folder[] = "/tmp/kolvar-log-XXXXXX";
    if (!getcwd(g_StartFolder, sizeof g_StartFolder) || !mkdtemp(folder)) return;
    if (chdir(folder) != 0) {
        rmdir(folder);
        g_StartFolder[0] = '\0';
        return;
    }
    memcpy(g_LogFolder, folder, sizeof folder);
    g_LogOwner = getpid();
    atexit(RemoveLogFolder);  // registered before the log exists, so it runs after the log's last line
}
__attribute__((section(".preinit_array"), used)) void (*const g_EnterLogFolder)(int, char**, char**) =
    EnterLogFolder;

}  // namespace

int main(int argc, char** argv) {
    if (g_StartFolder[0] && chdir(g_StartFolder) != 0) perror("chdir");

    std::string home = std::filesystem::temp_directory_path().string() + "/kolvar-test-home-" +
                       std::to_string(getpid());
    std::filesystem::create_directories(home + "/.config");
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("KOLVAR_HEADLESS_DIALOGS", "1", 0);  // nobody can click a box under Xvfb
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
