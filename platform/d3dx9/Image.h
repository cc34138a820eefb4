// Image files and texel work behind the D3DX texture functions: decoding
// (PNG through libpng, JPG through libjpeg, TGA, BMP and DDS by our own readers), sizing,
// mip levels, normal maps and the conversion into locked texture memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace d3dximage {

// File kinds, numbered as D3DXIMAGE_FILEFORMAT.
enum FileKind : uint32_t { kBmp = 0, kJpg = 1, kTga = 2, kPng = 3, kDds = 4, kUnknownKind = 0xffffffffu };

// Filter numbers of the D3DX_FILTER_* constants (low byte of a filter argument).
enum FilterKind : uint32_t { kFilterNone = 1, kFilterPoint = 2, kFilterLinear = 3, kFilterTriangle = 4, kFilterBox = 5 };

// No image side beyond this is accepted (a texture this large would not be
// created by any device we run on either).
constexpr uint32_t kMaxImageSide = 8192;

// One picture as A8R8G8B8 texels, rows from the top.
struct Image {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> texels;

    Image() = default;
    Image(uint32_t w, uint32_t h, uint32_t fill = 0) : width(w), height(h), texels(size_t(w) * h, fill) {}
    uint32_t& at(uint32_t x, uint32_t y) { return texels[size_t(y) * width + x]; }
    uint32_t at(uint32_t x, uint32_t y) const { return texels[size_t(y) * width + x]; }
};

// What a file holds, before decoding the texels.
struct FileInfo {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t mipLevels = 1;
    uint32_t format = 0;  // D3DFORMAT of the data in the file
    FileKind kind = kUnknownKind;
    bool cube = false;
    bool alpha = false;  // the texels carry alpha
};

// A decoded file: one image, or six for a cube map in face order +X -X +Y -Y +Z -Z.
struct DecodedFile {
    FileInfo info;
    std::vector<Image> faces;
};

// The file kind from the first bytes (not from the name).
FileKind DetectKind(const uint8_t* data, size_t size);

// Reads the header only. False with a reason for anything we cannot load,
// including sizes the file cannot possibly hold.
bool ReadInfo(const uint8_t* data, size_t size, FileInfo& info, std::string* error);

// Decodes the whole file (for DDS, level 0 of each face).
bool Decode(const uint8_t* data, size_t size, DecodedFile& out, std::string* error);

// Reads a file named by a Windows path.
bool ReadImageFile(const char* path, std::string& bytes);

// Smallest power of two >= v (1 for 0).
uint32_t RoundUpPow2(uint32_t v);
// Levels of a full chain down to 1 x 1.
uint32_t FullMipCount(uint32_t width, uint32_t height);

// The image brought to width x height. Filter none places it at the top-left
// with transparent black around it (cropping what does not fit); point picks
// the nearest texel; the other filters stretch with interpolation.
Image Resample(const Image& src, uint32_t width, uint32_t height, uint32_t filter);

// The next smaller mip level (each side halved, at least 1).
Image NextMipLevel(const Image& src, uint32_t filter);

// Normal map from the heights in one channel (D3DX_CHANNEL_* bits; red, green,
// blue, alpha or luminance). Wraps at the edges unless the mirror flags say so.
// Encoding: r, g, b = (n + 1) * 127.5 of the unit normal, z up out of the
// surface, x to the right and y down the rows; alpha 255.
Image ComputeNormalMap(const Image& heights, uint32_t channel, uint32_t flags, float amplitude);

// Bytes per texel of a format we can store, 0 for one we cannot.
uint32_t BytesPerTexel(uint32_t format);
// Writes texels into locked memory of the given format (rows of pitch bytes).
bool StoreTexels(const Image& image, uint32_t format, void* bits, int32_t pitch);
// Reads texels back from locked memory into A8R8G8B8.
bool LoadTexels(Image& image, uint32_t width, uint32_t height, uint32_t format, const void* bits, int32_t pitch);

}  // namespace d3dximage
