#pragma once

#include <d3d9.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testutil {

// A fresh folder under the test temp root, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return m_Path; }
    std::string file(const std::string& name) const { return m_Path + "/" + name; }

private:
    std::string m_Path;
};

// Changes the current directory for the lifetime of the object.
class ScopedCwd {
public:
    explicit ScopedCwd(const std::string& dir);
    ~ScopedCwd();

private:
    std::string m_Saved;
};

// A game folder of links to the built one (KOLVAR_GAME_DIR) with fresh settings:
// config.ini from the template, an empty playlist, no logs or high scores.
void MakeGameFolder(const std::string& folder);
// Turns the linked folders along `relative` into real folders of links, so the
// file at its end can be replaced or removed without touching the build.
void UnlinkGamePath(const std::string& folder, const std::string& relative);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& contents);
bool FileExists(const std::string& path);

// Turns the folder link `link` into a folder of links to what it pointed at,
// leaving out the given files (paths below the link, '/' separated).
void LinkFolderWithout(const std::string& link, const std::vector<std::string>& leftOut);

// One message line of an HTML log; colour and bold carry over from the lines before it.
struct LogEntry {
    std::string colour;
    bool bold;
    std::string text;
};
std::vector<LogEntry> ReadLogEntries(const std::string& logFile);

// A small windowed device of the backend chosen by the d3d9 hooks (64 x 64, no window).
// Returns false (with a test failure) when either creation fails.
bool CreateSmallDevice(IDirect3D9** d3d, IDirect3DDevice9** device);

// A GL test without a display or context skips, except under KOLVAR_REQUIRE_GL=1
// (set by scripts/test.sh), where it fails: CI must not go green by skipping.
::testing::TestPartResult::Type NoGlResult();
#define KOLVAR_SKIP_WITHOUT_GL() return GTEST_MESSAGE_("no GL context: ", ::testutil::NoGlResult())

// Where GL tests put their screenshots (build/test-artifacts).
std::string ArtifactsDir();

// A kept screenshot must show something: at least `minColours` distinct colours
// over the whole picture or within `region` (pixels, right and bottom excluded).
// Pixels are top-down 0xAARRGGBB; alpha is ignored.
::testing::AssertionResult ShowsSomething(const std::vector<DWORD>& pixels, UINT width, UINT height,
                                          size_t minColours = 2, const RECT* region = nullptr);
// Writes the picture as ArtifactsDir()/name and checks that it shows something.
::testing::AssertionResult SaveScreenshot(const std::string& name, const std::vector<DWORD>& pixels, UINT width,
                                          UINT height, size_t minColours = 2);
// The same check for a screenshot file something else wrote (a dialog, the game).
::testing::AssertionResult ScreenshotShowsSomething(const std::string& path, size_t minColours = 2,
                                                    const RECT* region = nullptr);

// Windowed X8R8G8B8 present parameters of the given size.
D3DPRESENT_PARAMETERS WindowedPresent(UINT width, UINT height);

// A picture file as RGBA bytes, empty when it cannot be read.
std::vector<unsigned char> LoadRgba(const std::string& path, int* width, int* height);

// The files of tests/corpus/<kind> in name order (a test failure when there are none).
std::vector<std::string> CorpusFiles(const std::string& kind);
// A corpus file named loads_* must load; every other one must fail cleanly.
bool ShouldLoad(const std::string& path);

// Passes when every wanted line stands in `got` in this order; other lines may come between.
::testing::AssertionResult InOrder(const std::vector<std::string>& got, const std::vector<std::string>& wanted);

// A path below the built game's data folder (KOLVAR_GAME_DIR, else ./game): GameData("meshes/frame.x").
std::string GameData(const std::string& relative);

}  // namespace testutil
