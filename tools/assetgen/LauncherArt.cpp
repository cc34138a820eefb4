// The launcher's art: the logo beside its buttons and the theme-archive icon
// that the desktop shows for .kvr files.
#include "Generators.h"
#include "TextureGen.h"

#include <filesystem>
#include <string>

namespace {

using namespace texgen;

// Figures as they stack up in a field: column, row from the bottom, colour.
struct Cell {
    int col, row;
    uint32_t rgb;
};
const Cell kStack[] = {
    {0, 0, 0x3c6edc}, {1, 0, 0x3c6edc}, {2, 0, 0x46be50}, {3, 0, 0x46be50}, {5, 0, 0xdc3c32}, {6, 0, 0xdc3c32},
    {0, 1, 0x3c6edc}, {2, 1, 0x46be50}, {3, 1, 0xe6b432}, {4, 1, 0xe6b432}, {5, 1, 0xdc3c32}, {6, 1, 0x9650d2},
    {0, 2, 0xe6b432}, {3, 2, 0xe6b432}, {5, 2, 0x9650d2}, {6, 2, 0x9650d2},
    // The falling figure.
    {2, 5, 0xdc3c32}, {3, 5, 0xdc3c32}, {3, 6, 0xdc3c32}, {4, 6, 0xdc3c32},
};

bool Logo(const std::string& root) {
    const int w = 240, h = 186;
    Canvas c(w, h);
    c.ForEach([&](int x, int y, float, float fy) {
        float t = fy / h;
        Color sky = Mix(Hex(0x0c1a3c), Hex(0x2a4f8f), t);
        float n = Fbm(x * 0.03f, y * 0.03f, 7, 4) * 0.08f;
        c.at(x, y) = Rgba(sky.r + n, sky.g + n, sky.b + n, 1.0f);
    });
    AddGlow(c, 120, 95, 80, Rgba(0.35f, 0.6f, 1.0f, 1.0f), 0.35f);
    const float cell = 21.0f, left = 120 - 3.5f * cell, bottom = 174;
    // The field's walls.
    c.ForEach([&](int x, int y, float fx, float fy) {
        float d = std::min(SdRoundBox(fx, fy, left - 6, 104, 3, 74, 2), SdRoundBox(fx, fy, left + 7 * cell + 6, 104, 3, 74, 2));
        d = std::min(d, SdRoundBox(fx, fy, 120, bottom + 6, 7 * cell / 2 + 9, 3, 2));
        c.Over(x, y, Rgba(0.75f, 0.82f, 0.95f, 0.9f), Coverage(d));
    });
    for (const Cell& k : kStack)
        DrawGlossyBlock(c, left + (k.col + 0.5f) * cell, bottom - (k.row + 0.5f) * cell, cell * 0.46f, Hex(k.rgb));
    std::filesystem::create_directories(root + "/launcher");
    return WriteBmp(root + "/launcher/logo.bmp", c);
}

bool ArchiveIcon(const std::string& root) {
    Canvas c(32, 32);
    // A parcel with a block on its lid.
    c.ForEach([&](int x, int y, float fx, float fy) {
        float d = SdRoundBox(fx, fy, 16, 20, 13, 10, 2);
        Color box = Mix(Hex(0xc89650), Hex(0x8a5a28), fy / 32.0f);
        c.Over(x, y, box, Coverage(d));
        float band = SdRoundBox(fx, fy, 16, 20, 2, 10, 0);
        c.Over(x, y, Hex(0xf0e0b0), Coverage(band) * Coverage(d));
    });
    DrawGlossyBlock(c, 16, 8, 7, Hex(0x3c6edc));
    std::filesystem::create_directories(root + "/icons");
    return WritePng(root + "/icons/125.png", c, true);
}

bool LauncherArt(const std::string& root) { return Logo(root) && ArchiveIcon(root); }

assetgen::Registrar g_LauncherArt("launcher art", LauncherArt);

}  // namespace
