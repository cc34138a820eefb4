// Image file decoding: PNG through libpng, JPG through libjpeg, TGA, BMP and DDS
// read by our own code. Every size in a header is checked against what the file can hold
// before anything is allocated for it.
#include "platform/d3dx9/Image.h"
#include "platform/d3dx9/ImageCodecs.h"

#include <d3d9types.h>
#include <platform.h>

#include <cstring>

namespace d3dximage {

namespace {

void SetError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

uint32_t Read32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint32_t Read16(const uint8_t* p) { return p[0] | (p[1] << 8); }

// A compressed file cannot stand for more pixels than this per byte
// (deflate of a one-colour 1-bit image stays well below it).
constexpr uint64_t kMaxPixelsPerByte = 65536;

bool CheckSides(uint32_t w, uint32_t h, std::string* error) {
    if (w == 0 || h == 0) {
        SetError(error, "image has no texels");
        return false;
    }
    if (w > kMaxImageSide || h > kMaxImageSide) {
        SetError(error, "image is too large (" + std::to_string(w) + " x " + std::to_string(h) + ")");
        return false;
    }
    return true;
}

// ---- DDS ----

constexpr uint32_t kDdsHeaderSize = 124;
constexpr uint32_t kDdsDataOffset = 4 + kDdsHeaderSize;
constexpr uint32_t kDdsdMipMapCount = 0x20000;
constexpr uint32_t kDdpfAlphaPixels = 0x1;
constexpr uint32_t kDdpfAlpha = 0x2;
constexpr uint32_t kDdpfFourCC = 0x4;
constexpr uint32_t kDdpfRgb = 0x40;
constexpr uint32_t kDdpfLuminance = 0x20000;
constexpr uint32_t kCaps2CubeMap = 0x200;
constexpr uint32_t kCaps2AllFaces = 0xfc00;
constexpr uint32_t kCaps2Volume = 0x200000;

struct DdsLayout {
    uint32_t width, height, levels, faces;
    uint32_t blockBytes;  // 8 or 16 for DXTn, 0 for plain texels
    uint32_t bitCount;
    uint32_t fourCC;
    uint32_t masks[4];  // r, g, b, a
    bool luminance;
    uint32_t format;
    bool alpha;
};

uint64_t DdsLevelBytes(const DdsLayout& l, uint32_t level) {
    uint64_t w = l.width >> level, h = l.height >> level;
    if (w == 0) w = 1;
    if (h == 0) h = 1;
    if (l.blockBytes) return ((w + 3) / 4) * ((h + 3) / 4) * l.blockBytes;
    return ((w * l.bitCount + 7) / 8) * h;
}

uint32_t FormatFromMasks(const DdsLayout& l) {
    const uint32_t* m = l.masks;
    if (l.luminance) return l.bitCount == 16 && m[3] ? D3DFMT_A8L8 : D3DFMT_L8;
    if (l.bitCount == 32 && m[0] == 0xff0000 && m[1] == 0xff00 && m[2] == 0xff)
        return m[3] == 0xff000000u ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    if (l.bitCount == 32 && m[0] == 0xff && m[1] == 0xff00 && m[2] == 0xff0000)
        return m[3] == 0xff000000u ? D3DFMT_A8B8G8R8 : D3DFMT_X8B8G8R8;
    if (l.bitCount == 24) return D3DFMT_R8G8B8;
    if (l.bitCount == 16 && m[0] == 0xf800 && m[1] == 0x7e0 && m[2] == 0x1f) return D3DFMT_R5G6B5;
    if (l.bitCount == 16 && m[0] == 0xf00 && m[1] == 0xf0 && m[2] == 0xf) return D3DFMT_A4R4G4B4;
    if (l.bitCount == 16 && m[0] == 0x7c00 && m[1] == 0x3e0 && m[2] == 0x1f)
        return m[3] ? D3DFMT_A1R5G5B5 : D3DFMT_X1R5G5B5;
    if (l.bitCount == 8 && m[3] == 0xff && !m[0]) return D3DFMT_A8;
    return l.alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
}

bool ParseDds(const uint8_t* data, size_t size, DdsLayout& l, std::string* error) {
    if (size < kDdsDataOffset || Read32(data + 4) != kDdsHeaderSize) {
        SetError(error, "DDS header is truncated or malformed");
        return false;
    }
    const uint8_t* h = data + 4;
    uint32_t flags = Read32(h + 4);
    l.height = Read32(h + 8);
    l.width = Read32(h + 12);
    uint32_t mips = Read32(h + 24);
    uint32_t pfFlags = Read32(h + 76);
    l.fourCC = Read32(h + 80);
    l.bitCount = Read32(h + 84);
    for (int i = 0; i < 4; ++i) l.masks[i] = Read32(h + 88 + 4 * i);
    uint32_t caps2 = Read32(h + 108);
    if (!CheckSides(l.width, l.height, error)) return false;

    l.levels = (flags & kDdsdMipMapCount) && mips ? mips : 1;
    if (l.levels > FullMipCount(l.width, l.height)) {
        SetError(error, "DDS claims more mip levels than its size allows");
        return false;
    }
    if (caps2 & kCaps2Volume) {
        SetError(error, "DDS volume textures are not supported");
        return false;
    }
    l.faces = 1;
    if (caps2 & kCaps2CubeMap) {
        if ((caps2 & kCaps2AllFaces) != kCaps2AllFaces) {
            SetError(error, "DDS cube map without all six faces");
            return false;
        }
        if (l.width != l.height) {
            SetError(error, "DDS cube map faces are not square");
            return false;
        }
        l.faces = 6;
    }

    l.blockBytes = 0;
    l.luminance = false;
    if (pfFlags & kDdpfFourCC) {
        if (l.fourCC == MAKEFOURCC('D', 'X', 'T', '1')) {
            l.blockBytes = 8;
            l.format = D3DFMT_DXT1;
            l.alpha = true;
        } else if (l.fourCC == MAKEFOURCC('D', 'X', 'T', '2') || l.fourCC == MAKEFOURCC('D', 'X', 'T', '3')) {
            l.blockBytes = 16;
            l.format = D3DFMT_DXT3;
            l.alpha = true;
        } else if (l.fourCC == MAKEFOURCC('D', 'X', 'T', '4') || l.fourCC == MAKEFOURCC('D', 'X', 'T', '5')) {
            l.blockBytes = 16;
            l.format = D3DFMT_DXT5;
            l.alpha = true;
        } else {
            SetError(error, "DDS pixel format is not supported");
            return false;
        }
    } else if (pfFlags & (kDdpfRgb | kDdpfLuminance | kDdpfAlpha)) {
        if (l.bitCount != 8 && l.bitCount != 16 && l.bitCount != 24 && l.bitCount != 32) {
            SetError(error, "DDS bit count is not supported");
            return false;
        }
        l.luminance = (pfFlags & kDdpfLuminance) != 0;
        l.alpha = (pfFlags & (kDdpfAlphaPixels | kDdpfAlpha)) && l.masks[3];
        if (!l.alpha) l.masks[3] = 0;
        if (pfFlags & kDdpfAlpha) l.masks[0] = l.masks[1] = l.masks[2] = 0;
        l.format = FormatFromMasks(l);
    } else {
        SetError(error, "DDS pixel format is not supported");
        return false;
    }

    uint64_t total = 0;
    for (uint32_t level = 0; level < l.levels; ++level) total += DdsLevelBytes(l, level);
    total *= l.faces;
    if (total > size - kDdsDataOffset) {
        SetError(error, "DDS data is shorter than its header says");
        return false;
    }
    return true;
}

// Scales a masked field to 0..255.
uint32_t Expand(uint32_t value, uint32_t mask) {
    if (!mask) return 0;
    uint32_t shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    uint32_t max = mask >> shift;
    uint32_t v = (value & mask) >> shift;
    return uint32_t((uint64_t(v) * 255 + max / 2) / max);
}

uint32_t Rgb565(uint32_t c) {
    uint32_t r = Expand(c, 0xf800), g = Expand(c, 0x7e0), b = Expand(c, 0x1f);
    return (r << 16) | (g << 8) | b;
}

uint32_t Mix(uint32_t a, uint32_t b, uint32_t wa, uint32_t wb, uint32_t div) {
    uint32_t out = 0;
    for (int s = 0; s < 24; s += 8) {
        uint32_t ca = (a >> s) & 0xff, cb = (b >> s) & 0xff;
        out |= ((ca * wa + cb * wb) / div) << s;
    }
    return out;
}

// Colour part of a DXT block: four rgb values and 2-bit indices.
void DecodeColourBlock(const uint8_t* p, bool allowTransparent, uint32_t out[16]) {
    uint32_t c0 = Read16(p), c1 = Read16(p + 2);
    uint32_t col[4];
    col[0] = Rgb565(c0) | 0xff000000u;
    col[1] = Rgb565(c1) | 0xff000000u;
    if (c0 > c1 || !allowTransparent) {
        col[2] = Mix(col[0], col[1], 2, 1, 3) | 0xff000000u;
        col[3] = Mix(col[0], col[1], 1, 2, 3) | 0xff000000u;
    } else {
        col[2] = Mix(col[0], col[1], 1, 1, 2) | 0xff000000u;
        col[3] = 0;
    }
    uint32_t bits = Read32(p + 4);
    for (int i = 0; i < 16; ++i) out[i] = col[(bits >> (2 * i)) & 3];
}

void DecodeDxt5Alpha(const uint8_t* p, uint32_t out[16]) {
    uint32_t a[8];
    a[0] = p[0];
    a[1] = p[1];
    if (a[0] > a[1]) {
        for (int i = 1; i < 7; ++i) a[1 + i] = ((7 - i) * a[0] + i * a[1]) / 7;
    } else {
        for (int i = 1; i < 5; ++i) a[1 + i] = ((5 - i) * a[0] + i * a[1]) / 5;
        a[6] = 0;
        a[7] = 255;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) bits |= uint64_t(p[2 + i]) << (8 * i);
    for (int i = 0; i < 16; ++i) out[i] = (out[i] & 0xffffff) | (a[(bits >> (3 * i)) & 7] << 24);
}

void DecodeDdsLevel(const DdsLayout& l, const uint8_t* src, Image& img) {
    img = Image(l.width, l.height);
    if (l.blockBytes) {
        uint32_t bw = (l.width + 3) / 4, bh = (l.height + 3) / 4;
        for (uint32_t by = 0; by < bh; ++by) {
            for (uint32_t bx = 0; bx < bw; ++bx) {
                const uint8_t* block = src + (size_t(by) * bw + bx) * l.blockBytes;
                uint32_t px[16];
                if (l.format == D3DFMT_DXT1) {
                    DecodeColourBlock(block, true, px);
                } else {
                    DecodeColourBlock(block + 8, false, px);
                    if (l.format == D3DFMT_DXT3) {
                        for (int i = 0; i < 16; ++i) {
                            uint32_t a = (block[i / 2] >> (4 * (i & 1))) & 0xf;
                            px[i] = (px[i] & 0xffffff) | ((a * 17) << 24);
                        }
                    } else {
                        DecodeDxt5Alpha(block, px);
                    }
                }
                for (uint32_t i = 0; i < 16; ++i) {
                    uint32_t x = bx * 4 + i % 4, y = by * 4 + i / 4;
                    if (x < l.width && y < l.height) img.at(x, y) = px[i];
                }
            }
        }
        return;
    }
    uint32_t bytes = l.bitCount / 8;
    size_t pitch = size_t(l.width) * bytes;
    for (uint32_t y = 0; y < l.height; ++y) {
        const uint8_t* row = src + pitch * y;
        for (uint32_t x = 0; x < l.width; ++x) {
            uint32_t v = 0;
            for (uint32_t b = 0; b < bytes; ++b) v |= uint32_t(row[x * bytes + b]) << (8 * b);
            uint32_t r, g, bl;
            if (l.luminance) {
                r = g = bl = Expand(v, l.masks[0]);
            } else {
                r = Expand(v, l.masks[0]);
                g = Expand(v, l.masks[1]);
                bl = Expand(v, l.masks[2]);
            }
            uint32_t a = l.alpha ? Expand(v, l.masks[3]) : 255;
            img.at(x, y) = (a << 24) | (r << 16) | (g << 8) | bl;
        }
    }
}

// ---- picture formats ----

bool LooksLikeTga(const uint8_t* d, size_t size) {
    if (size < 18) return false;
    uint32_t cmapType = d[1], type = d[2], bpp = d[16];
    if (cmapType > 1) return false;
    if (type != 1 && type != 2 && type != 3 && type != 9 && type != 10 && type != 11) return false;
    if ((type == 1 || type == 9) != (cmapType == 1)) return false;
    if (bpp != 8 && bpp != 15 && bpp != 16 && bpp != 24 && bpp != 32) return false;
    return Read16(d + 12) > 0 && Read16(d + 14) > 0;
}

bool ReadPicture(FileKind kind, const uint8_t* data, size_t size, RawInfo& info, Image* out, std::string* error) {
    switch (kind) {
        case kPng: return ReadPng(data, size, info, out, error);
        case kJpg: return ReadJpeg(data, size, info, out, error);
        case kBmp: return ReadBmp(data, size, info, out, error);
        case kTga: return ReadTga(data, size, info, out, error);
        default: SetError(error, "unknown image file format"); return false;
    }
}

uint32_t FileFormat(FileKind kind, int comp) {
    if (comp == 1) return D3DFMT_L8;
    if (comp == 2) return D3DFMT_A8L8;
    if (comp == 4) return D3DFMT_A8R8G8B8;
    return kind == kJpg ? D3DFMT_X8R8G8B8 : D3DFMT_R8G8B8;
}

}  // namespace

FileKind DetectKind(const uint8_t* d, size_t size) {
    static const uint8_t kPngSig[8] = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a};
    if (size >= 8 && memcmp(d, kPngSig, 8) == 0) return kPng;
    if (size >= 3 && d[0] == 0xff && d[1] == 0xd8 && d[2] == 0xff) return kJpg;
    if (size >= 4 && memcmp(d, "DDS ", 4) == 0) return kDds;
    if (size >= 2 && d[0] == 'B' && d[1] == 'M') return kBmp;
    if (LooksLikeTga(d, size)) return kTga;
    return kUnknownKind;
}

bool ReadInfo(const uint8_t* data, size_t size, FileInfo& info, std::string* error) {
    info = FileInfo();
    if (!data || size == 0) {
        SetError(error, "file is empty");
        return false;
    }
    FileKind kind = DetectKind(data, size);
    if (kind == kUnknownKind) {
        SetError(error, "unknown image file format");
        return false;
    }
    if (kind == kDds) {
        DdsLayout l;
        if (!ParseDds(data, size, l, error)) return false;
        info.width = l.width;
        info.height = l.height;
        info.mipLevels = l.levels;
        info.format = l.format;
        info.kind = kDds;
        info.cube = l.faces == 6;
        info.alpha = l.alpha;
        return true;
    }
    RawInfo raw;
    if (!ReadPicture(kind, data, size, raw, nullptr, error)) return false;
    if (!CheckSides(raw.width, raw.height, error)) return false;
    // A compressed file cannot stand for more texels than this.
    if (uint64_t(raw.width) * raw.height > uint64_t(size) * kMaxPixelsPerByte) {
        SetError(error, "image claims more texels than the file can hold");
        return false;
    }
    info.width = raw.width;
    info.height = raw.height;
    info.mipLevels = 1;
    info.kind = kind;
    info.format = FileFormat(kind, raw.comp);
    info.alpha = raw.comp == 2 || raw.comp == 4;
    return true;
}

bool Decode(const uint8_t* data, size_t size, DecodedFile& out, std::string* error) {
    out = DecodedFile();
    if (!ReadInfo(data, size, out.info, error)) return false;
    if (out.info.kind == kDds) {
        DdsLayout l;
        ParseDds(data, size, l, nullptr);
        const uint8_t* p = data + kDdsDataOffset;
        out.faces.resize(l.faces);
        for (uint32_t f = 0; f < l.faces; ++f) {
            DecodeDdsLevel(l, p, out.faces[f]);
            for (uint32_t level = 0; level < l.levels; ++level) p += DdsLevelBytes(l, level);
        }
        return true;
    }
    RawInfo raw;
    Image img;
    if (!ReadPicture(out.info.kind, data, size, raw, &img, error)) return false;
    if (img.width != out.info.width || img.height != out.info.height) {
        SetError(error, "image size changed while decoding");
        return false;
    }
    out.faces.push_back(std::move(img));
    return true;
}

bool ReadImageFile(const char* path, std::string& bytes) {
    bytes.clear();
    if (!path) return false;
    return platform::ReadWholeFile(platform::HostPath(path), bytes);
}

}  // namespace d3dximage
