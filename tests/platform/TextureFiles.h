// Image files for texture tests, built in memory (PNG, JPG, TGA, BMP through
// stb_image_write; DDS by hand). Texels are given as A8R8G8B8.
#pragma once

#include <stb_image_write.h>

#include <cstdint>
#include <cstring>
#include <string>
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

inline std::vector<uint32_t> Solid(int w, int h, uint32_t argb) { return std::vector<uint32_t>(size_t(w) * h, argb); }

inline void Put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(char((v >> (8 * i)) & 0xff));
}

// DDS header; pixel format given by flags, fourCC, bit count and masks.
inline std::string DdsHeader(uint32_t w, uint32_t h, uint32_t mips, bool cube, uint32_t pfFlags, uint32_t fourCC,
                             uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    std::string s = "DDS ";
    Put32(s, 124);
    Put32(s, 0x1 | 0x2 | 0x4 | 0x1000 | (mips > 1 ? 0x20000 : 0));
    Put32(s, h);
    Put32(s, w);
    Put32(s, 0);
    Put32(s, 0);
    Put32(s, mips);
    for (int i = 0; i < 11; ++i) Put32(s, 0);
    Put32(s, 32);
    Put32(s, pfFlags);
    Put32(s, fourCC);
    Put32(s, bits);
    Put32(s, r);
    Put32(s, g);
    Put32(s, b);
    Put32(s, a);
    Put32(s, 0x1000 | (cube ? 0x8 : 0) | (mips > 1 ? 0x400000 : 0));
    Put32(s, cube ? 0xfe00 : 0);
    Put32(s, 0);
    Put32(s, 0);
    Put32(s, 0);
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
