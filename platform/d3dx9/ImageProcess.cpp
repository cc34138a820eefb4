// Texel work on decoded images: sizing, mip levels, normal maps and the
// conversion to and from the memory layouts of locked textures.
#include "platform/d3dx9/Image.h"

#include <d3d9types.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace d3dximage {

namespace {

struct Tap {
    uint32_t index;
    float weight;
};

// Source taps of each destination index along one axis.
std::vector<std::vector<Tap>> AxisTaps(uint32_t src, uint32_t dst, bool point) {
    std::vector<std::vector<Tap>> taps(dst);
    double scale = double(src) / dst;
    for (uint32_t i = 0; i < dst; ++i) {
        if (point || src == dst) {
            uint32_t j = std::min<uint32_t>(src - 1, uint32_t((i + 0.5) * scale));
            taps[i].push_back({j, 1.0f});
        } else if (dst < src) {
            // Area average over the source span the destination texel covers.
            double a = i * scale, b = (i + 1) * scale;
            for (uint32_t j = uint32_t(a); j < src && j < b; ++j) {
                double overlap = std::min(b, j + 1.0) - std::max(a, double(j));
                if (overlap > 0) taps[i].push_back({j, float(overlap / scale)});
            }
        } else {
            // Enlarging: linear between the two nearest texel centres.
            double c = (i + 0.5) * scale - 0.5;
            double f = std::floor(c);
            float t = float(c - f);
            int64_t j0 = int64_t(f), j1 = j0 + 1;
            j0 = std::clamp<int64_t>(j0, 0, src - 1);
            j1 = std::clamp<int64_t>(j1, 0, src - 1);
            taps[i].push_back({uint32_t(j0), 1.0f - t});
            taps[i].push_back({uint32_t(j1), t});
        }
    }
    return taps;
}

// A value on the byte scale through the checked channel conversion (which
// takes NaN as 0); divided by 255 every value rounds to the byte it did before.
uint32_t ToByte(float v) { return platform::ColourByte(v / 255.0f); }

Image Stretch(const Image& src, uint32_t width, uint32_t height, bool point) {
    std::vector<std::vector<Tap>> tx = AxisTaps(src.width, width, point);
    std::vector<std::vector<Tap>> ty = AxisTaps(src.height, height, point);
    // Rows first into floats, then columns.
    std::vector<float> mid(size_t(width) * src.height * 4, 0.0f);
    for (uint32_t y = 0; y < src.height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            float* out = &mid[(size_t(y) * width + x) * 4];
            for (const Tap& t : tx[x]) {
                uint32_t c = src.at(t.index, y);
                for (int k = 0; k < 4; ++k) out[k] += t.weight * float((c >> (8 * k)) & 0xff);
            }
        }
    }
    Image dst(width, height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            float acc[4] = {0, 0, 0, 0};
            for (const Tap& t : ty[y]) {
                const float* in = &mid[(size_t(t.index) * width + x) * 4];
                for (int k = 0; k < 4; ++k) acc[k] += t.weight * in[k];
            }
            uint32_t c = 0;
            for (int k = 0; k < 4; ++k) c |= ToByte(acc[k]) << (8 * k);
            dst.at(x, y) = c;
        }
    }
    return dst;
}

uint32_t FilterKindOf(uint32_t filter) { return filter & 0xff; }

// Height of a texel from the chosen channels (averaged when several are set).
float HeightOf(uint32_t c, uint32_t channel) {
    float r = ((c >> 16) & 0xff) / 255.0f, g = ((c >> 8) & 0xff) / 255.0f, b = (c & 0xff) / 255.0f,
          a = (c >> 24) / 255.0f;
    float sum = 0.0f;
    int n = 0;
    if (channel & 1) sum += r, ++n;        // D3DX_CHANNEL_RED
    if (channel & 2) sum += b, ++n;        // D3DX_CHANNEL_BLUE
    if (channel & 4) sum += g, ++n;        // D3DX_CHANNEL_GREEN
    if (channel & 8) sum += a, ++n;        // D3DX_CHANNEL_ALPHA
    if (channel & 16) sum += 0.2125f * r + 0.7154f * g + 0.0721f * b, ++n;  // luminance
    return n ? sum / n : r;
}

uint32_t Neighbour(int64_t i, uint32_t size, bool mirror) {
    int64_t n = size;
    if (i >= 0 && i < n) return uint32_t(i);
    if (mirror) {
        if (n == 1) return 0;
        return uint32_t(i < 0 ? -i : 2 * (n - 1) - i);
    }
    return uint32_t(((i % n) + n) % n);
}

uint32_t Scale8(uint32_t v, uint32_t max) { return (v * max + 127) / 255; }
uint32_t Expand(uint32_t v, uint32_t max) { return (v * 255 + max / 2) / max; }

}  // namespace

uint32_t RoundUpPow2(uint32_t v) {
    uint32_t p = 1;
    while (p < v && p < 0x80000000u) p <<= 1;
    return p;
}

uint32_t FullMipCount(uint32_t width, uint32_t height) {
    uint32_t levels = 1;
    while (width > 1 || height > 1) {
        width = std::max(1u, width / 2);
        height = std::max(1u, height / 2);
        ++levels;
    }
    return levels;
}

Image Resample(const Image& src, uint32_t width, uint32_t height, uint32_t filter) {
    if (src.width == width && src.height == height) return src;
    uint32_t kind = FilterKindOf(filter);
    if (kind == kFilterNone || src.width == 0 || src.height == 0) {
        Image dst(width, height, 0);
        uint32_t w = std::min(width, src.width), h = std::min(height, src.height);
        for (uint32_t y = 0; y < h; ++y) memcpy(&dst.texels[size_t(y) * width], &src.texels[size_t(y) * src.width], w * 4);
        return dst;
    }
    return Stretch(src, width, height, kind == kFilterPoint);
}

Image NextMipLevel(const Image& src, uint32_t filter) {
    uint32_t w = std::max(1u, src.width / 2), h = std::max(1u, src.height / 2);
    uint32_t kind = FilterKindOf(filter);
    // Without a filter each level keeps every other texel of the one above.
    return Stretch(src, w, h, kind == kFilterNone || kind == kFilterPoint);
}

Image ComputeNormalMap(const Image& heights, uint32_t channel, uint32_t flags, float amplitude) {
    const uint32_t w = heights.width, h = heights.height;
    const bool mirrorU = (flags & 0x10000) != 0, mirrorV = (flags & 0x20000) != 0;
    const bool invert = (flags & 0x80000) != 0;
    std::vector<float> hf(heights.texels.size());
    for (size_t i = 0; i < hf.size(); ++i) hf[i] = HeightOf(heights.texels[i], channel);
    Image out(w, h);
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            float left = hf[size_t(y) * w + Neighbour(int64_t(x) - 1, w, mirrorU)];
            float right = hf[size_t(y) * w + Neighbour(int64_t(x) + 1, w, mirrorU)];
            float up = hf[size_t(Neighbour(int64_t(y) - 1, h, mirrorV)) * w + x];
            float down = hf[size_t(Neighbour(int64_t(y) + 1, h, mirrorV)) * w + x];
            // The slope over two texels, not halved: bumps stay visible at
            // the small amplitudes the game asks for.
            float nx = -(right - left) * amplitude;
            float ny = -(down - up) * amplitude;
            if (invert) nx = -nx, ny = -ny;
            float nz = 1.0f;
            float len = std::sqrt(nx * nx + ny * ny + nz * nz);
            nx /= len, ny /= len, nz /= len;
            uint32_t r = ToByte((nx + 1.0f) * 127.5f), g = ToByte((ny + 1.0f) * 127.5f),
                     b = ToByte((nz + 1.0f) * 127.5f);
            out.at(x, y) = 0xff000000u | (r << 16) | (g << 8) | b;
        }
    }
    return out;
}

uint32_t BytesPerTexel(uint32_t format) {
    switch (format) {
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8:
            return 4;
        case D3DFMT_A4R4G4B4:
        case D3DFMT_R5G6B5:
        case D3DFMT_A1R5G5B5:
        case D3DFMT_X1R5G5B5:
            return 2;
        case D3DFMT_L8:
        case D3DFMT_A8:
            return 1;
        default:
            return 0;
    }
}

bool StoreTexels(const Image& image, uint32_t format, void* bits, int32_t pitch) {
    uint32_t bpt = BytesPerTexel(format);
    if (!bpt || !bits || pitch < int32_t(image.width * bpt)) return false;
    for (uint32_t y = 0; y < image.height; ++y) {
        uint8_t* row = static_cast<uint8_t*>(bits) + size_t(pitch) * y;
        for (uint32_t x = 0; x < image.width; ++x) {
            uint32_t c = image.at(x, y);
            uint32_t a = c >> 24, r = (c >> 16) & 0xff, g = (c >> 8) & 0xff, b = c & 0xff;
            uint32_t v;
            switch (format) {
                case D3DFMT_A8R8G8B8: v = c; break;
                case D3DFMT_X8R8G8B8: v = c | 0xff000000u; break;
                case D3DFMT_A4R4G4B4:
                    v = (Scale8(a, 15) << 12) | (Scale8(r, 15) << 8) | (Scale8(g, 15) << 4) | Scale8(b, 15);
                    break;
                case D3DFMT_R5G6B5: v = (Scale8(r, 31) << 11) | (Scale8(g, 63) << 5) | Scale8(b, 31); break;
                case D3DFMT_A1R5G5B5:
                    v = ((a >= 128) << 15) | (Scale8(r, 31) << 10) | (Scale8(g, 31) << 5) | Scale8(b, 31);
                    break;
                case D3DFMT_X1R5G5B5: v = 0x8000 | (Scale8(r, 31) << 10) | (Scale8(g, 31) << 5) | Scale8(b, 31); break;
                case D3DFMT_L8: v = (r * 54 + g * 183 + b * 19 + 128) >> 8; break;
                default: v = a; break;  // D3DFMT_A8
            }
            memcpy(row + x * bpt, &v, bpt);  // little-endian, as the device lays texels out
        }
    }
    return true;
}

bool LoadTexels(Image& image, uint32_t width, uint32_t height, uint32_t format, const void* bits, int32_t pitch) {
    uint32_t bpt = BytesPerTexel(format);
    if (!bpt || !bits || pitch < int32_t(width * bpt)) return false;
    image = Image(width, height);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(bits) + size_t(pitch) * y;
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t v = 0;
            memcpy(&v, row + x * bpt, bpt);
            uint32_t c;
            switch (format) {
                case D3DFMT_A8R8G8B8: c = v; break;
                case D3DFMT_X8R8G8B8: c = v | 0xff000000u; break;
                case D3DFMT_A4R4G4B4:
                    c = (Expand(v >> 12, 15) << 24) | (Expand((v >> 8) & 15, 15) << 16) |
                        (Expand((v >> 4) & 15, 15) << 8) | Expand(v & 15, 15);
                    break;
                case D3DFMT_R5G6B5:
                    c = 0xff000000u | (Expand(v >> 11, 31) << 16) | (Expand((v >> 5) & 63, 63) << 8) |
                        Expand(v & 31, 31);
                    break;
                case D3DFMT_A1R5G5B5:
                case D3DFMT_X1R5G5B5:
                    c = ((format == D3DFMT_X1R5G5B5 || (v & 0x8000)) ? 0xff000000u : 0) |
                        (Expand((v >> 10) & 31, 31) << 16) | (Expand((v >> 5) & 31, 31) << 8) | Expand(v & 31, 31);
                    break;
                case D3DFMT_L8: c = 0xff000000u | (v << 16) | (v << 8) | v; break;
                default: c = v << 24; break;  // D3DFMT_A8
            }
            image.at(x, y) = c;
        }
    }
    return true;
}

}  // namespace d3dximage
