// The textured font: font.png (512 x 512, white glyphs, alpha = coverage) and
// its glyph table, rendered from DejaVu Sans Bold in one run so they agree.
// Caps are 28 texels high with the cap line as y offset 0. Some rectangles are
// fixed by the game's layout; those glyphs are fitted into them. The others are
// rendered a little condensed: the HUD puts "simple kolvar" a tenth of the
// screen from its right edge, and the face at full width runs past it.
#include "Generators.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

const char* const kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
const int kSize = 512;
const int kCapHeight = 28;
const int kGap = 3;
const int kLeft = 12;
// The small letters' width relative to the face's own, as narrow as those the
// fixed rectangles hold ("a", "g"). Digits, capitals and marks keep the face's width.
const double kSmallLetterWidth = 0.8;

struct Ink {
    int width = 0, height = 0, yOffset = 0;
    std::vector<uint8_t> coverage;
};

struct Fixed {
    unsigned char c;
    int x, y, w, h, xo, yo;
};

// The rectangles the game's layout pins down.
const Fixed kFixed[] = {
    {'0', 12, 9, 28, 28, 0, 0},      {'1', 43, 9, 8, 28, 0, 0},        {'A', 277, 9, 29, 28, 0, 0},
    {'I', 14, 69, 7, 28, 0, 0},      {'W', 399, 69, 41, 28, 0, 0},     {'a', 42, 136, 20, 21, 0, 7},
    {'g', 176, 136, 20, 28, 0, 7},   {'j', 234, 129, 12, 34, 0, 0},    {'$', 285, 187, 25, 34, 0, -2},
    {'_', 471, 220, 19, 5, 0, 30},   {'-', 492, 203, 14, 7, 0, 15},    {',', 300, 271, 5, 8, 0, 23},
    {0xA9, 365, 251, 26, 26, 0, 2},  {0xAE, 395, 251, 26, 26, 0, 2},
};

struct Row {
    int capLine;  // texture y of the cap line (y offset 0)
    const char* chars;
};

const Row kRows[] = {
    {9, "0123456789ABCDEFGH"},
    {69, "IJKLMNOPQRSTUVWXY"},
    {129, "Zabcdefghijklmnopqrstu"},
    {189, "vwxyz~`!@#$%^&*()_-"},
    {248, "+=|\\[]{}:;\"'<>,./?\xA9\xAE"},
};

// The line a letter's rectangle starts on, as a y offset below the cap line:
// digits, capitals and small letters with an ascender on the cap line, the
// other small letters on the x-height line. Ink that overshoots the line (round
// tops, ascenders taller than the capitals) is fitted below it. Marks keep
// their own extent (-1).
int TopLine(unsigned char c) {
    if (strchr("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZbdfhiklt", c)) return 0;
    if (strchr("acegmnopqrsuvwxyz", c)) return kCapHeight / 4;
    return -1;
}

const Fixed* FixedFor(unsigned char c) {
    for (const Fixed& f : kFixed)
        if (f.c == c) return &f;
    return nullptr;
}

bool Render(FT_Face face, unsigned char c, double widthScale, Ink& ink) {
    FT_Matrix squeeze = {FT_Fixed(std::lround(widthScale * 0x10000)), 0, 0, 0x10000};
    FT_Set_Transform(face, &squeeze, nullptr);
    // The two signs above 0x7F have the same code in code page 1252 and Unicode.
    const FT_Error error = FT_Load_Char(face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL);
    FT_Set_Transform(face, nullptr, nullptr);
    if (error != 0) return false;
    const FT_Bitmap& bm = face->glyph->bitmap;
    ink.width = (int)bm.width;
    ink.height = (int)bm.rows;
    ink.yOffset = kCapHeight - face->glyph->bitmap_top;
    ink.coverage.assign((size_t)ink.width * ink.height, 0);
    for (int y = 0; y < ink.height; ++y)
        for (int x = 0; x < ink.width; ++x) ink.coverage[(size_t)y * ink.width + x] = bm.buffer[y * bm.pitch + x];
    return ink.width > 0 && ink.height > 0;
}

// Bilinear resampling of the ink into w x h texels at (x, y) of the atlas alpha.
void Blit(const Ink& ink, int x, int y, int w, int h, std::vector<uint8_t>& alpha) {
    for (int ty = 0; ty < h; ++ty) {
        for (int tx = 0; tx < w; ++tx) {
            double sx = (tx + 0.5) * ink.width / w - 0.5, sy = (ty + 0.5) * ink.height / h - 0.5;
            int x0 = (int)std::floor(sx), y0 = (int)std::floor(sy);
            double fx = sx - x0, fy = sy - y0;
            auto at = [&](int px, int py) -> double {
                px = std::min(std::max(px, 0), ink.width - 1);
                py = std::min(std::max(py, 0), ink.height - 1);
                return ink.coverage[(size_t)py * ink.width + px];
            };
            double v = at(x0, y0) * (1 - fx) * (1 - fy) + at(x0 + 1, y0) * fx * (1 - fy) +
                       at(x0, y0 + 1) * (1 - fx) * fy + at(x0 + 1, y0 + 1) * fx * fy;
            int ax = x + tx, ay = y + ty;
            if (ax >= 0 && ax < kSize && ay >= 0 && ay < kSize)
                alpha[(size_t)ay * kSize + ax] = (uint8_t)std::lround(std::min(255.0, std::max(0.0, v)));
        }
    }
}

// The ink resampled to a new width (height kept), by area so strokes keep their weight.
Ink Squeeze(const Ink& ink, int width) {
    Ink out;
    out.width = width;
    out.height = ink.height;
    out.yOffset = ink.yOffset;
    out.coverage.assign((size_t)width * ink.height, 0);
    double step = double(ink.width) / width;
    for (int y = 0; y < ink.height; ++y)
        for (int x = 0; x < width; ++x) {
            double from = x * step, to = from + step, sum = 0;
            for (int sx = (int)from; sx < ink.width && sx < to; ++sx) {
                double part = std::min<double>(sx + 1, to) - std::max<double>(sx, from);
                sum += part * ink.coverage[(size_t)y * ink.width + sx];
            }
            out.coverage[(size_t)y * width + x] = (uint8_t)std::lround(std::min(255.0, sum / step));
        }
    return out;
}

// The columns of the ink around its heaviest column (a narrow glyph's stem).
Ink CropAroundStem(const Ink& ink, int width) {
    int best = 0;
    long bestSum = -1;
    for (int x = 0; x < ink.width; ++x) {
        long sum = 0;
        for (int y = 0; y < ink.height; ++y) sum += ink.coverage[(size_t)y * ink.width + x];
        if (sum > bestSum) bestSum = sum, best = x;
    }
    int first = std::min(std::max(best - width / 2, 0), ink.width - width);
    Ink out = ink;
    out.width = width;
    out.coverage.assign((size_t)width * ink.height, 0);
    for (int y = 0; y < ink.height; ++y)
        for (int x = 0; x < width; ++x)
            out.coverage[(size_t)y * width + x] = ink.coverage[(size_t)y * ink.width + first + x];
    return out;
}

// A "1" pinned to a narrow rectangle keeps its stem and flag; its foot, cut to the
// stem's width, would read as "]". The stem runs on down through the foot rows.
Ink WithoutFoot(const Ink& ink) {
    if (ink.width < 3 || ink.height < 4) return ink;
    auto at = [&](int x, int y) { return ink.coverage[(size_t)y * ink.width + x]; };
    // The stem: the inked columns of the middle row.
    const int middle = ink.height / 2;
    int left = -1, right = -1;
    for (int x = 0; x < ink.width; ++x)
        if (at(x, middle) >= 128) {
            if (left < 0) left = x;
            right = x;
        }
    if (left < 0) return ink;
    Ink out = ink;
    for (int y = middle; y < ink.height; ++y)
        for (int x = 0; x < ink.width; ++x)
            out.coverage[(size_t)y * ink.width + x] = (x >= left && x <= right) ? at(x, middle) : 0;
    // Drop the columns the foot alone used.
    int first = ink.width, last = -1;
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            if (out.coverage[(size_t)y * out.width + x]) first = std::min(first, x), last = std::max(last, x);
    if (last < first) return ink;
    Ink cropped = out;
    cropped.width = last - first + 1;
    cropped.coverage.assign((size_t)cropped.width * out.height, 0);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < cropped.width; ++x)
            cropped.coverage[(size_t)y * cropped.width + x] = out.coverage[(size_t)y * out.width + first + x];
    return cropped;
}

// Squeezing thins strokes: no glyph is narrowed below this share of its width;
// what still does not fit is cut around its stem.
const double kMinSqueeze = 0.75;

// The ink fitted into a rectangle with one clear column on each side.
void BlitFitted(const Ink& ink, int x, int y, int w, int h, std::vector<uint8_t>& alpha) {
    int inner = std::max(1, w - 2);
    Ink fitted = ink;
    if (fitted.width > inner) {
        int squeezed = std::max(inner, (int)std::lround(ink.width * kMinSqueeze));
        fitted = Squeeze(ink, squeezed);
        if (fitted.width > inner) fitted = CropAroundStem(fitted, inner);
    }
    Blit(fitted, x + 1 + (inner - fitted.width) / 2, y, fitted.width, h, alpha);
}

struct Placed {
    unsigned char c;
    int x, y, w, h, xo, yo;
};

bool Layout(FT_Face face, std::vector<Placed>& placed, std::vector<uint8_t>& alpha) {
    for (const Row& row : kRows) {
        std::vector<unsigned char> chars(row.chars, row.chars + strlen(row.chars));
        std::vector<Ink> inks(chars.size());
        for (size_t i = 0; i < chars.size(); ++i) {
            const bool narrow = !FixedFor(chars[i]) && chars[i] >= 'a' && chars[i] <= 'z';
            if (!Render(face, chars[i], narrow ? kSmallLetterWidth : 1.0, inks[i])) {
                fprintf(stderr, "font: no glyph for 0x%02X\n", chars[i]);
                return false;
            }
        }
        // Free glyphs run between the fixed ones; a run too wide for its gap is narrowed.
        size_t i = 0;
        int start = kLeft;
        while (i < chars.size()) {
            size_t end = i;
            while (end < chars.size() && !FixedFor(chars[end])) ++end;
            int limit = end < chars.size() ? FixedFor(chars[end])->x - kGap : kSize - 2;
            // Each rectangle holds its ink plus a clear column on either side, so
            // glyphs drawn at their rectangles' widths never touch.
            int ink = 0, fixedPart = 0;
            for (size_t k = i; k < end; ++k) ink += inks[k].width, fixedPart += 2 + kGap;
            double room = limit - start - fixedPart;
            double scale = ink > room && ink > 0 ? std::max(0.0, room) / ink : 1.0;
            int x = start;
            for (size_t k = i; k < end; ++k) {
                int w = std::max(1, (int)std::floor(inks[k].width * scale)) + 2;
                int top = TopLine(chars[k]), inkTop = inks[k].yOffset, bottom = inkTop + inks[k].height;
                if (top < 0) top = inkTop;
                // Overshooting ink is squeezed under the line; shorter ink sits inside the rectangle.
                int drawTop = std::max(top, inkTop);
                BlitFitted(inks[k], x, row.capLine + drawTop, w, bottom - drawTop, alpha);
                placed.push_back({chars[k], x, row.capLine + top, w, bottom - top, 0, top});
                x += w + kGap;
            }
            if (end < chars.size()) {
                const Fixed& f = *FixedFor(chars[end]);
                BlitFitted(f.c == '1' ? WithoutFoot(inks[end]) : inks[end], f.x, f.y, f.w, f.h, alpha);
                placed.push_back({f.c, f.x, f.y, f.w, f.h, f.xo, f.yo});
                start = f.x + f.w + kGap;
                i = end + 1;
            } else {
                i = end;
            }
        }
    }
    return placed.size() == 96;
}

bool WriteTable(const std::string& path, const std::vector<Placed>& placed) {
    std::ostringstream out;
    out << "// Generated by assetgen together with font.png; do not edit.\n"
           "#include <cstdint>\n\n"
           "extern const int32_t g_FontGlyphTable[96][7];\n"
           "const int32_t g_FontGlyphTable[96][7] = {\n";
    for (const Placed& p : placed)
        out << "    {0x" << std::hex << (int)p.c << std::dec << ", " << p.x << ", " << p.y << ", " << p.w << ", "
            << p.h << ", " << p.xo << ", " << p.yo << "},\n";
    out << "};\n";
    std::string text = out.str();
    // Leave an unchanged table alone so the game does not rebuild for nothing.
    std::ifstream old(path, std::ios::binary);
    std::stringstream oldText;
    oldText << old.rdbuf();
    if (old && oldText.str() == text) return true;
    return assetgen::WriteBytes(path, text.data(), text.size());
}

bool CopyFile(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    if (!in) return false;
    std::stringstream data;
    data << in.rdbuf();
    std::string bytes = data.str();
    return assetgen::WriteBytes(to, bytes.data(), bytes.size());
}

void WritePng(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), (size_t)size);
}

bool Generate(const std::string& dataRoot) {
    // The system font the game installs at start-up is a copy of a DejaVu face.
    if (!CopyFile(kFontFile, dataRoot + "/fonts/aero.ttf")) return false;

    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) return false;
    FT_Face face = nullptr;
    bool ok = FT_New_Face(lib, kFontFile, 0, &face) == 0;
    if (ok) {
        // The em at which the hinted capital H is exactly kCapHeight texels on the
        // cap line and the x-height 3/4 of it, searched in 1/64 pixel steps.
        ok = false;
        for (FT_F26Dot6 em = 34 * 64; em <= 42 * 64 && !ok; ++em) {
            if (FT_Set_Char_Size(face, 0, em, 72, 72) != 0) break;
            if (FT_Load_Char(face, 'H', FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0) break;
            bool cap = (int)face->glyph->bitmap.rows == kCapHeight && face->glyph->bitmap_top == kCapHeight;
            if (!cap || FT_Load_Char(face, 'x', FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0) continue;
            ok = (int)face->glyph->bitmap.rows == kCapHeight * 3 / 4;
        }
        if (!ok) fprintf(stderr, "font: no size gives %d-texel capitals\n", kCapHeight);
    }
    std::vector<Placed> placed;
    std::vector<uint8_t> alpha((size_t)kSize * kSize, 0);
    ok = ok && Layout(face, placed, alpha);
    if (face) FT_Done_Face(face);
    FT_Done_FreeType(lib);
    if (!ok) return false;

    std::vector<uint8_t> rgba((size_t)kSize * kSize * 4);
    for (size_t i = 0; i < alpha.size(); ++i) {
        rgba[i * 4 + 0] = rgba[i * 4 + 1] = rgba[i * 4 + 2] = 255;
        rgba[i * 4 + 3] = alpha[i];
    }
    std::string png;
    if (!stbi_write_png_to_func(WritePng, &png, kSize, kSize, 4, rgba.data(), kSize * 4)) return false;
    if (!assetgen::WriteBytes(dataRoot + "/textures/font.png", png.data(), png.size())) return false;
    std::string sources = assetgen::SourceRoot();
    return sources.empty() || WriteTable(sources + "/FontGlyphs.cpp", placed);
}

assetgen::Registrar g_Font("font", Generate);

}  // namespace
