#include "DxtDecoder.h"

#include <cstring>

namespace d3d9 {
namespace {

uint32_t Expand565(uint16_t c) {
    const uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    return ((r << 3) | (r >> 2)) << 16 | ((g << 2) | (g >> 4)) << 8 | ((b << 3) | (b >> 2));
}

uint32_t Mix(uint32_t a, uint32_t b, int wa, int wb) {
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        out |= ((ca * wa + cb * wb) / (wa + wb)) << shift;
    }
    return out;
}

// The colour half of a block: 16 RGB values with the alpha each index implies.
void ColourBlock(const uint8_t* p, bool threeColourMode, uint32_t out[16]) {
    uint16_t c0, c1;
    memcpy(&c0, p, 2);
    memcpy(&c1, p + 2, 2);
    uint32_t palette[4];
    palette[0] = 0xFF000000 | Expand565(c0);
    palette[1] = 0xFF000000 | Expand565(c1);
    if (!threeColourMode || c0 > c1) {
        palette[2] = 0xFF000000 | Mix(palette[0], palette[1], 2, 1);
        palette[3] = 0xFF000000 | Mix(palette[0], palette[1], 1, 2);
    } else {
        palette[2] = 0xFF000000 | Mix(palette[0], palette[1], 1, 1);
        palette[3] = 0;  // transparent black
    }
    uint32_t bits;
    memcpy(&bits, p + 4, 4);
    for (int i = 0; i < 16; ++i) out[i] = palette[(bits >> (2 * i)) & 3];
}

}  // namespace

std::vector<uint32_t> DecodeDxt(D3DFORMAT format, const uint8_t* blocks, UINT width, UINT height) {
    std::vector<uint32_t> texels(static_cast<size_t>(width) * height, 0);
    const UINT blockBytes = format == D3DFMT_DXT1 ? 8 : 16;
    const UINT bw = (width + 3) / 4, bh = (height + 3) / 4;
    for (UINT by = 0; by < bh; ++by) {
        for (UINT bx = 0; bx < bw; ++bx) {
            const uint8_t* p = blocks + (static_cast<size_t>(by) * bw + bx) * blockBytes;
            uint32_t px[16];
            if (format == D3DFMT_DXT1) {
                ColourBlock(p, true, px);
            } else {
                ColourBlock(p + 8, false, px);
                uint8_t alpha[16];
                if (format == D3DFMT_DXT3) {
                    for (int i = 0; i < 16; ++i) {
                        const uint8_t a = (p[i / 2] >> ((i & 1) * 4)) & 15;
                        alpha[i] = static_cast<uint8_t>(a * 17);
                    }
                } else {
                    const uint32_t a0 = p[0], a1 = p[1];
                    uint32_t table[8] = {a0, a1};
                    if (a0 > a1) {
                        for (int i = 1; i <= 6; ++i) table[i + 1] = ((7 - i) * a0 + i * a1) / 7;
                    } else {
                        for (int i = 1; i <= 4; ++i) table[i + 1] = ((5 - i) * a0 + i * a1) / 5;
                        table[6] = 0;
                        table[7] = 255;
                    }
                    uint64_t bits = 0;
                    for (int i = 0; i < 6; ++i) bits |= static_cast<uint64_t>(p[2 + i]) << (8 * i);
                    for (int i = 0; i < 16; ++i) alpha[i] = static_cast<uint8_t>(table[(bits >> (3 * i)) & 7]);
                }
                for (int i = 0; i < 16; ++i) px[i] = (px[i] & 0xFFFFFF) | static_cast<uint32_t>(alpha[i]) << 24;
            }
            for (int i = 0; i < 16; ++i) {
                const UINT x = bx * 4 + i % 4, y = by * 4 + i / 4;
                if (x < width && y < height) texels[static_cast<size_t>(y) * width + x] = px[i];
            }
        }
    }
    return texels;
}

}  // namespace d3d9
