// Image files for texture tests, built in memory (PNG, JPG, TGA, BMP through
// stb_image_write; DDS by hand). Texels are given as A8R8G8B8.
#pragma once

#include <stb_image_write.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace texfiles {

inline void AppendBytes(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), size_t(size));
}

// ARGB texels -> RGBA (comp 4) or RGB (comp 3) bytes.
inline std::vector<uint8_t> ToBytes(const std::vector<uint32_t>& argb, int comp) {
    std::vector<uint8_t> out;
    for (uint32_t c : argb) {
        out.push_back(uint8_t(c >> 16));
        out.push_back(uint8_t(c >> 8));
        out.push_back(uint8_t(c));
        if (comp == 4) out.push_back(uint8_t(c >> 24));
    }
    return out;
}

inline std::string Png(int w, int h, const std::vector<uint32_t>& argb, int comp = 4) {
    std::string s;
    std::vector<uint8_t> b = ToBytes(argb, comp);
    stbi_write_png_to_func(AppendBytes, &s, w, h, comp, b.data(), w * comp);
    return s;
}
inline std::string Bmp(int w, int h, const std::vector<uint32_t>& argb) {
    std::string s;
    std::vector<uint8_t> b = ToBytes(argb, 3);
    stbi_write_bmp_to_func(AppendBytes, &s, w, h, 3, b.data());
    return s;
}
inline std::string Tga(int w, int h, const std::vector<uint32_t>& argb) {
    std::string s;
    std::vector<uint8_t> b = ToBytes(argb, 4);
    stbi_write_tga_to_func(AppendBytes, &s, w, h, 4, b.data());
    return s;
}
inline std::string Jpg(int w, int h, const std::vector<uint32_t>& argb) {
    std::string s;
    std::vector<uint8_t> b = ToBytes(argb, 3);
    stbi_write_jpg_to_func(AppendBytes, &s, w, h, 3, b.data(), 95);
    return s;
}

// A bitmap file from its fields: the 40-byte header (or the old 12-byte one),
// then `between` (palette or colour masks), `gap` zero bytes and the pixels.
inline std::string BmpFile(int32_t w, int32_t h, uint32_t bpp, uint32_t compression, uint32_t colours,
                           const std::string& between, const std::string& pixels, uint32_t info = 40,
                           uint32_t gap = 0) {
    std::string s = "BM";
    auto put = [&s](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) s.push_back(char((v >> (8 * i)) & 0xff));
    };
    const uint32_t offset = 14 + info + uint32_t(between.size()) + gap;
    put(offset + uint32_t(pixels.size()), 4), put(0, 4), put(offset, 4), put(info, 4);
    if (info == 12) {
        put(uint32_t(w), 2), put(uint32_t(h), 2), put(1, 2), put(bpp, 2);
    } else {
        put(uint32_t(w), 4), put(uint32_t(h), 4), put(1, 2), put(bpp, 2), put(compression, 4);
        put(uint32_t(pixels.size()), 4), put(2835, 4), put(2835, 4), put(colours, 4), put(0, 4);
        s.resize(14 + info, '\0');
    }
    return s + between + std::string(gap, '\0') + pixels;
}

// 2 x 2 bitmaps, every texel pure red, at each depth the format stores
// without run-length compression.
inline std::vector<std::pair<const char*, std::string>> RedBmps() {
    const std::string palette("\0\0\0\0\0\0\xff\0", 8);  // black, red
    auto twice = [](const std::string& row) { return row + row; };
    return {
        {"1 bit", BmpFile(2, 2, 1, 0, 2, palette, twice(std::string("\xc0\0\0\0", 4)))},
        {"4 bits", BmpFile(2, 2, 4, 0, 2, palette, twice(std::string("\x11\0\0\0", 4)))},
        {"8 bits", BmpFile(2, 2, 8, 0, 2, palette, twice(std::string("\1\1\0\0", 4)))},
        {"8 bits, old header", BmpFile(2, 2, 8, 0, 0, std::string("\0\0\xff", 3) + std::string(255 * 3, '\0'),
                                       twice(std::string("\0\0\0\0", 4)), 12)},
        {"16 bits", BmpFile(2, 2, 16, 0, 0, "", twice(std::string("\0\x7c\0\x7c", 4)))},
        {"16 bits, 565 fields", BmpFile(2, 2, 16, 3, 0, std::string("\0\xf8\0\0\xe0\7\0\0\x1f\0\0\0", 12),
                                        twice(std::string("\0\xf8\0\xf8", 4)))},
        {"24 bits", BmpFile(2, 2, 24, 0, 0, "", twice(std::string("\0\0\xff\0\0\xff\0\0", 8)))},
        {"24 bits, old header", BmpFile(2, 2, 24, 0, 0, "", twice(std::string("\0\0\xff\0\0\xff\0\0", 8)), 12)},
        {"32 bits", BmpFile(2, 2, 32, 0, 0, "", twice(std::string("\0\0\xff\0\0\0\xff\0", 8)))},
        {"32 bits, gap before the pixels",
         BmpFile(2, 2, 32, 0, 0, "", twice(std::string("\0\0\xff\0\0\0\xff\0", 8)), 40, 6)},
    };
}

inline std::vector<uint32_t> Solid(int w, int h, uint32_t argb) { return std::vector<uint32_t>(size_t(w) * h, argb); }

// A picture with distinct corners, so placement and orientation show.
inline std::vector<uint32_t> Corners(int w, int h) {
    std::vector<uint32_t> px(size_t(w) * h, 0xff808080u);
    px[0] = 0xffff0000u;                  // top-left red
    px[size_t(w) - 1] = 0xff00ff00u;      // top-right green
    px[size_t(h - 1) * w] = 0xff0000ffu;  // bottom-left blue
    px[size_t(h) * w - 1] = 0x80ffffffu;  // bottom-right half-transparent white
    return px;
}

inline void Put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(char((v >> (8 * i)) & 0xff));
}

// DDS header; pixel format given by flags, fourCC, bit count and masks.
inline std::string DdsHeader(uint32_t w, uint32_t h, uint32_t mips, bool cube, uint32_t pfFlags, uint32_t fourCC,
                             uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    std::string s = "DDS ";
    const uint32_t fields[] = {124, 0x1 | 0x2 | 0x4 | 0x1000 | (mips > 1 ? 0x20000u : 0u), h, w, 0, 0, mips,
                               0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,        // reserved
                               32, pfFlags, fourCC, bits, r, g, b, a,  // the pixel format
                               0x1000 | (cube ? 0x8u : 0u) | (mips > 1 ? 0x400000u : 0u), cube ? 0xfe00u : 0u, 0, 0, 0};
    for (uint32_t v : fields) Put32(s, v);
    return s;
}

// A8R8G8B8 DDS; one face per entry of faces (six make a cube map); every
// mip level below the first is filled with the face's first texel.
inline std::string Dds(uint32_t w, uint32_t h, const std::vector<std::vector<uint32_t>>& faces, uint32_t mips = 1) {
    std::string s = DdsHeader(w, h, mips, faces.size() == 6, 0x41, 0, 32, 0xff0000, 0xff00, 0xff, 0xff000000u);
    for (const auto& face : faces) {
        for (uint32_t level = 0; level < mips; ++level) {
            uint32_t lw = w >> level ? w >> level : 1, lh = h >> level ? h >> level : 1;
            for (uint32_t i = 0; i < lw * lh; ++i) Put32(s, level == 0 ? face[i] : face[0]);
        }
    }
    return s;
}

}  // namespace texfiles
