// The window icon: a few bevelled blocks on a transparent 32 x 32 square,
// written as a PNG with stored (uncompressed) deflate blocks.
#include "Generators.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

const int kSize = 32;
const int kCell = 8;
const char* const kPattern[4] = {"..R.", ".RR.", "GGB.", "GBBB"};

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

void Chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    Put32(png, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    Put32(png, Crc32(body.data(), body.size()));
}

std::vector<uint8_t> StoredZlib(const std::vector<uint8_t>& raw) {
    std::vector<uint8_t> z = {0x78, 0x01};
    size_t pos = 0;
    do {
        size_t n = std::min<size_t>(65535, raw.size() - pos);
        bool last = pos + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(static_cast<uint8_t>(n));
        z.push_back(static_cast<uint8_t>(n >> 8));
        z.push_back(static_cast<uint8_t>(~n));
        z.push_back(static_cast<uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
        pos += n;
    } while (pos < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    Put32(z, (b << 16) | a);
    return z;
}

void BlockColour(char c, uint8_t rgb[3]) {
    switch (c) {
        case 'R': rgb[0] = 220; rgb[1] = 60; rgb[2] = 50; break;
        case 'G': rgb[0] = 70; rgb[1] = 190; rgb[2] = 80; break;
        default: rgb[0] = 60; rgb[1] = 110; rgb[2] = 220; break;
    }
}

bool WriteIcon(const std::string& dataRoot) {
    std::vector<uint8_t> raw;
    for (int y = 0; y < kSize; ++y) {
        raw.push_back(0);  // filter: none
        for (int x = 0; x < kSize; ++x) {
            char c = kPattern[y / kCell][x / kCell];
            if (c == '.') {
                raw.insert(raw.end(), {0, 0, 0, 0});
                continue;
            }
            uint8_t rgb[3];
            BlockColour(c, rgb);
            int cx = x % kCell, cy = y % kCell;
            // Light top-left edge, dark bottom-right edge.
            int shade = (cx == 0 || cy == 0) ? 50 : (cx == kCell - 1 || cy == kCell - 1) ? -70 : 0;
            for (int i = 0; i < 3; ++i) raw.push_back(static_cast<uint8_t>(std::max(0, std::min(255, rgb[i] + shade))));
            raw.push_back(255);
        }
    }
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> ihdr;
    Put32(ihdr, kSize);
    Put32(ihdr, kSize);
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA, no interlace
    Chunk(png, "IHDR", ihdr);
    Chunk(png, "IDAT", StoredZlib(raw));
    Chunk(png, "IEND", {});
    return assetgen::WriteBytes(dataRoot + "/icon.png", png.data(), png.size());
}

assetgen::Registrar g_IconGenerator("window icon", WriteIcon);

}  // namespace
