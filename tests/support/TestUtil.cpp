#include "TestUtil.h"

#include <d3d9hooks.h>
#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>
#include <cstring>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace testutil {

TempDir::TempDir() {
    std::string base = std::filesystem::temp_directory_path().string() + "/kolvar-test-XXXXXX";
    std::vector<char> name(base.begin(), base.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) ADD_FAILURE() << "mkdtemp failed";
    m_Path = name.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_Path, ec);
}

ScopedCwd::ScopedCwd(const std::string& dir) {
    char buf[4096];
    m_Saved = getcwd(buf, sizeof buf) ? buf : ".";
    if (chdir(dir.c_str()) != 0) ADD_FAILURE() << "chdir " << dir;
}

ScopedCwd::~ScopedCwd() {
    if (chdir(m_Saved.c_str()) != 0) ADD_FAILURE() << "chdir back " << m_Saved;
}

void MakeGameFolder(const std::string& folder) {
    namespace fs = std::filesystem;
    const char* game = getenv("KOLVAR_GAME_DIR");
    ASSERT_TRUE(game);
    for (const fs::directory_entry& e : fs::directory_iterator(game)) {
        const std::string name = e.path().filename().string();
        if (name == "config.ini" || name == "playlist.ini" || name.rfind("log", 0) == 0 || name.rfind("CMake", 0) == 0 ||
            name.rfind("highscores", 0) == 0)
            continue;
        fs::create_symlink(e.path(), folder + "/" + name);
    }
    WriteFile(folder + "/config.ini", ReadFile(std::string(getenv("KOLVAR_SOURCE_DIR")) + "/data/templates/config.ini"));
    WriteFile(folder + "/playlist.ini", "[playlist]\r\nnum=0\r\n");
}

void UnlinkGamePath(const std::string& folder, const std::string& relative) {
    namespace fs = std::filesystem;
    fs::path at = folder;
    for (const fs::path& part : fs::path(relative)) {
        at /= part;
        if (!fs::is_symlink(at)) continue;
        const fs::path target = fs::read_symlink(at);
        if (!fs::is_directory(target)) continue;
        fs::remove(at);
        fs::create_directory(at);
        for (const fs::directory_entry& e : fs::directory_iterator(target))
            fs::create_symlink(e.path(), at / e.path().filename());
    }
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
}

void LinkFolderWithout(const std::string& link, const std::vector<std::string>& leftOut) {
    namespace fs = std::filesystem;
    const fs::path target = fs::read_symlink(link);
    fs::remove(link);
    fs::create_directory(link);
    for (const fs::directory_entry& entry : fs::directory_iterator(target)) {
        const std::string name = entry.path().filename().string();
        std::vector<std::string> below;
        bool skip = false;
        for (const std::string& path : leftOut) {
            if (path == name) skip = true;
            if (path.rfind(name + "/", 0) == 0) below.push_back(path.substr(name.size() + 1));
        }
        const std::string at = link + "/" + name;
        if (skip) continue;
        if (entry.is_directory())
            fs::create_directory_symlink(entry.path(), at);
        else
            fs::create_symlink(entry.path(), at);
        if (!below.empty()) LinkFolderWithout(at, below);
    }
}

bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::vector<LogEntry> ReadLogEntries(const std::string& logFile) {
    std::string html = ReadFile(logFile);
    std::vector<LogEntry> entries;
    std::string colour;
    bool bold = false;
    size_t pos = 0;
    const std::string font = "<Font Size = 2 Color = ";
    while (pos < html.size()) {
        size_t end = html.find("\r\n", pos);
        if (end == std::string::npos) end = html.size();
        std::string line = html.substr(pos, end - pos);
        pos = end + 2;
        if (line == "<B>") {
            bold = true;
        } else if (line.compare(0, font.size(), font) == 0) {
            colour = line.substr(font.size(), line.find(' ', font.size()) - font.size());
        } else if (line.compare(0, 4, "<BR>") == 0) {
            size_t sep = line.find(" ---- ");
            entries.push_back({colour, bold, sep == std::string::npos ? line : line.substr(sep + 6)});
            bold = false;
        }
    }
    return entries;
}

bool CreateSmallDevice(IDirect3D9** d3d, IDirect3DDevice9** device) {
    *device = nullptr;
    *d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!*d3d) {
        ADD_FAILURE() << "Direct3DCreate9 failed";
        return false;
    }
    D3DPRESENT_PARAMETERS pp = WindowedPresent(64, 64);
    HRESULT hr = (*d3d)->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                      &pp, device);
    if (hr != D3D_OK) ADD_FAILURE() << "CreateDevice failed: " << hr;
    return hr == D3D_OK;
}

D3DPRESENT_PARAMETERS WindowedPresent(UINT width, UINT height) {
    D3DPRESENT_PARAMETERS pp = {};
    pp.BackBufferWidth = width;
    pp.BackBufferHeight = height;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.Windowed = TRUE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    return pp;
}

std::vector<unsigned char> LoadRgba(const std::string& path, int* width, int* height) {
    int channels = 0;
    unsigned char* pixels = stbi_load(path.c_str(), width, height, &channels, 4);
    if (!pixels) return {};
    std::vector<unsigned char> out(pixels, pixels + size_t(*width) * *height * 4);
    stbi_image_free(pixels);
    return out;
}

::testing::AssertionResult InOrder(const std::vector<std::string>& got, const std::vector<std::string>& wanted) {
    size_t at = 0;
    for (const std::string& want : wanted) {
        while (at < got.size() && got[at] != want) ++at;
        if (at == got.size()) return ::testing::AssertionFailure() << "missing or out of order: \"" << want << "\"";
        ++at;
    }
    return ::testing::AssertionSuccess();
}

std::vector<std::string> CorpusFiles(const std::string& kind) {
    const char* source = std::getenv("KOLVAR_SOURCE_DIR");
    std::string dir = std::string(source ? source : ".") + "/tests/corpus/" + kind;
    std::vector<std::string> files;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') files.push_back(dir + "/" + e->d_name);
        closedir(d);
    }
    std::sort(files.begin(), files.end());
    EXPECT_FALSE(files.empty()) << "no corpus in " << dir;
    return files;
}

bool ShouldLoad(const std::string& path) { return path.find("/loads_") != std::string::npos; }

std::string ArtifactsDir() {
    const char* env = getenv("KOLVAR_ARTIFACTS");
    std::string dir = env ? env : "test-artifacts";
    std::filesystem::create_directories(dir);
    return dir;
}

::testing::AssertionResult ShowsSomething(const std::vector<DWORD>& pixels, UINT width, UINT height,
                                          size_t minColours, const RECT* region) {
    if (pixels.size() != size_t(width) * height || pixels.empty())
        return ::testing::AssertionFailure() << "no picture (" << width << " x " << height << ")";
    const RECT whole{0, 0, LONG(width), LONG(height)};
    const RECT r = region ? *region : whole;
    if (r.left < 0 || r.top < 0 || r.right > LONG(width) || r.bottom > LONG(height) || r.left >= r.right ||
        r.top >= r.bottom)
        return ::testing::AssertionFailure() << "region outside the " << width << " x " << height << " picture";
    std::set<DWORD> colours;
    for (LONG y = r.top; y < r.bottom; ++y)
        for (LONG x = r.left; x < r.right; ++x) colours.insert(pixels[size_t(y) * width + x] & 0xFFFFFFu);
    if (colours.size() >= minColours) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "a blank picture: " << colours.size() << " colours where "
                                         << minColours << " were wanted";
}

::testing::AssertionResult SaveScreenshot(const std::string& name, const std::vector<DWORD>& pixels, UINT width,
                                          UINT height, size_t minColours) {
    const std::string path = ArtifactsDir() + "/" + name;
    if (!d3d9hooks::WritePng(path, pixels, width, height)) return ::testing::AssertionFailure() << "cannot write " << path;
    ::testing::AssertionResult shows = ShowsSomething(pixels, width, height, minColours);
    if (!shows) shows << " in " << path;
    return shows;
}

::testing::AssertionResult ScreenshotShowsSomething(const std::string& path, size_t minColours, const RECT* region) {
    int w = 0, h = 0;
    const std::vector<unsigned char> rgba = LoadRgba(path, &w, &h);
    if (rgba.empty()) return ::testing::AssertionFailure() << "cannot read " << path;
    std::vector<DWORD> pixels(size_t(w) * h);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = DWORD(rgba[i * 4]) << 16 | DWORD(rgba[i * 4 + 1]) << 8 | rgba[i * 4 + 2];
    ::testing::AssertionResult shows = ShowsSomething(pixels, UINT(w), UINT(h), minColours, region);
    if (!shows) shows << " in " << path;
    return shows;
}

::testing::TestPartResult::Type NoGlResult() {
    const char* require = getenv("KOLVAR_REQUIRE_GL");
    bool required = require && *require && strcmp(require, "0") != 0;
    return required ? ::testing::TestPartResult::kFatalFailure : ::testing::TestPartResult::kSkip;
}

std::string GameData(const std::string& relative) {
    const char* game = getenv("KOLVAR_GAME_DIR");
    return std::string(game ? game : "game") + "/data/" + relative;
}

}  // namespace testutil
