// Image decoding, sizing, mip levels and normal maps behind the D3DX texture loaders.
#include <gtest/gtest.h>

#include <d3d9types.h>

#include <cmath>

#include "platform/d3dx9/Image.h"
#include "tests/platform/TextureFiles.h"

using namespace d3dximage;

namespace {

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

bool DecodeString(const std::string& s, DecodedFile& out, std::string* error = nullptr) {
    return Decode(Bytes(s), s.size(), out, error);
}

}  // namespace

TEST(D3DXTextureImage, DecodesEveryFileKindByContent) {
    std::vector<uint32_t> px = texfiles::Corners(100, 60);
    struct Case {
        std::string bytes;
        FileKind kind;
        bool alpha;
        bool exact;
    } cases[] = {
        {texfiles::Png(100, 60, px), kPng, true, true},
        {texfiles::Tga(100, 60, px), kTga, true, true},
        {texfiles::Bmp(100, 60, px), kBmp, false, true},
        {texfiles::Jpg(100, 60, texfiles::Solid(100, 60, 0xff3366ccu)), kJpg, false, false},
        {texfiles::Dds(100, 60, {px}), kDds, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        EXPECT_EQ(DetectKind(Bytes(c.bytes), c.bytes.size()), c.kind);
        DecodedFile f;
        std::string error;
        ASSERT_TRUE(DecodeString(c.bytes, f, &error)) << error;
        EXPECT_EQ(f.info.width, 100u);
        EXPECT_EQ(f.info.height, 60u);
        EXPECT_EQ(f.info.alpha, c.alpha);
        ASSERT_EQ(f.faces.size(), 1u);
        const Image& img = f.faces[0];
        if (c.exact) {
            EXPECT_EQ(img.at(0, 0), 0xffff0000u);
            EXPECT_EQ(img.at(99, 0), 0xff00ff00u);
            EXPECT_EQ(img.at(0, 59), 0xff0000ffu);
            EXPECT_EQ(img.at(99, 59), c.alpha ? 0x80ffffffu : 0xffffffffu);
        } else {
            uint32_t t = img.at(50, 30);
            EXPECT_NEAR(int((t >> 16) & 0xff), 0x33, 3);
            EXPECT_NEAR(int((t >> 8) & 0xff), 0x66, 3);
            EXPECT_NEAR(int(t & 0xff), 0xcc, 3);
            EXPECT_EQ(t >> 24, 0xffu);
        }
    }
}

TEST(D3DXTextureImage, BmpsOfEveryDepthDecode) {
    for (const auto& red : texfiles::RedBmps()) {
        DecodedFile f;
        std::string error;
        ASSERT_TRUE(DecodeString(red.second, f, &error)) << red.first << ": " << error;
        EXPECT_EQ(f.faces[0].texels, std::vector<uint32_t>(4, 0xffff0000u)) << red.first;
    }
}

TEST(D3DXTextureImage, DdsCubeMapsAndPixelFormats) {
    std::vector<std::vector<uint32_t>> faces;
    for (uint32_t f = 0; f < 6; ++f) faces.push_back(texfiles::Solid(8, 8, 0xff000000u | (f * 40 + 10)));
    std::string cube = texfiles::Dds(8, 8, faces, 4);
    DecodedFile f;
    ASSERT_TRUE(DecodeString(cube, f));
    EXPECT_TRUE(f.info.cube);
    EXPECT_EQ(f.info.mipLevels, 4u);
    EXPECT_EQ(f.info.format, uint32_t(D3DFMT_A8R8G8B8));
    ASSERT_EQ(f.faces.size(), 6u);
    for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(f.faces[i].at(7, 7), 0xff000000u | (i * 40 + 10)) << "face " << i;

    // 16-bit 565 through the masks.
    std::string s565 = texfiles::DdsHeader(2, 1, 1, false, 0x40, 0, 16, 0xf800, 0x7e0, 0x1f, 0);
    s565 += std::string("\x00\xf8\x1f\x00", 4);  // pure red, pure blue
    ASSERT_TRUE(DecodeString(s565, f));
    EXPECT_EQ(f.info.format, uint32_t(D3DFMT_R5G6B5));
    EXPECT_EQ(f.faces[0].at(0, 0), 0xffff0000u);
    EXPECT_EQ(f.faces[0].at(1, 0), 0xff0000ffu);

    // DXT1: colour 0 white, colour 1 black, indices 0,1,2,3 across each row.
    std::string dxt1 = texfiles::DdsHeader(4, 4, 1, false, 0x4, MAKEFOURCC('D', 'X', 'T', '1'), 0, 0, 0, 0, 0);
    dxt1 += std::string("\xff\xff\x00\x00\xe4\xe4\xe4\xe4", 8);
    ASSERT_TRUE(DecodeString(dxt1, f));
    EXPECT_EQ(f.info.format, uint32_t(D3DFMT_DXT1));
    EXPECT_EQ(f.faces[0].at(0, 2), 0xffffffffu);
    EXPECT_EQ(f.faces[0].at(1, 2), 0xff000000u);
    EXPECT_EQ(f.faces[0].at(2, 2), 0xffaaaaaau);
    EXPECT_EQ(f.faces[0].at(3, 2), 0xff555555u);

    // DXT5: alpha endpoints 255 and 0, all texels index 1 (alpha 0) over white.
    std::string dxt5 = texfiles::DdsHeader(4, 4, 1, false, 0x4, MAKEFOURCC('D', 'X', 'T', '5'), 0, 0, 0, 0, 0);
    dxt5 += std::string("\xff\x00\x49\x92\x24\x49\x92\x24", 8);
    dxt5 += std::string("\xff\xff\x00\x00\x00\x00\x00\x00", 8);
    ASSERT_TRUE(DecodeString(dxt5, f));
    EXPECT_EQ(f.faces[0].at(3, 3), 0x00ffffffu);
}

TEST(D3DXTextureImage, BadFilesFailWithoutHugeAllocations) {
    std::string png = texfiles::Png(64, 64, texfiles::Corners(64, 64));
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"zero bytes", ""});
    cases.push_back({"truncated png", png.substr(0, png.size() / 2)});
    cases.push_back({"text", "this is not a picture at all"});
    // A PNG header claiming 16384 x 16384 in a file of a few dozen bytes.
    std::string huge = png.substr(0, 33);
    huge[16] = 0, huge[17] = 0, huge[18] = 0x40, huge[19] = 0;
    huge[20] = 0, huge[21] = 0, huge[22] = 0x40, huge[23] = 0;
    cases.push_back({"16384 png header", huge});
    std::string hugeSmaller = huge;  // within the side limit, still far beyond the file
    hugeSmaller[18] = 0x1f, hugeSmaller[22] = 0x1f;
    cases.push_back({"7936 png header", hugeSmaller});
    // A BMP claiming 4000 x 4000 with a handful of texels behind it.
    std::string bmp = texfiles::Bmp(4, 4, texfiles::Solid(4, 4, 0xffffffffu));
    bmp[18] = char(0xa0), bmp[19] = 0x0f, bmp[22] = char(0xa0), bmp[23] = 0x0f;
    cases.push_back({"lying bmp", bmp});
    std::string overlapping = texfiles::Bmp(4, 4, texfiles::Solid(4, 4, 0xffffffffu));
    overlapping[10] = 30;  // pixels from inside the header
    cases.push_back({"bmp pixels inside the header", overlapping});
    // No colour count: all 256 entries, which run over the pixels.
    cases.push_back({"bmp palette over the pixels",
                     texfiles::BmpFile(2, 2, 8, 0, 0, std::string(8, '\0'), std::string(1100, '\0'))});
    cases.push_back({"bmp old header at 32 bits", texfiles::BmpFile(2, 2, 32, 0, 0, "", std::string(16, '\0'), 12)});
    std::string tga = texfiles::Tga(4, 4, texfiles::Solid(4, 4, 0xffffffffu));
    tga[12] = 0, tga[13] = 0x10, tga[14] = 0, tga[15] = 0x10;
    cases.push_back({"lying tga", tga});
    cases.push_back({"dds 16384 header", texfiles::DdsHeader(16384, 16384, 1, false, 0x41, 0, 32, 0xff0000, 0xff00,
                                                            0xff, 0xff000000u) + "tiny"});
    cases.push_back({"dds lying header", texfiles::DdsHeader(256, 256, 1, false, 0x41, 0, 32, 0xff0000, 0xff00, 0xff,
                                                            0xff000000u) + std::string(1000, 'x')});
    cases.push_back({"dds lying mip count", texfiles::DdsHeader(4, 4, 9, false, 0x41, 0, 32, 0xff0000, 0xff00, 0xff,
                                                               0xff000000u) + std::string(4096, 'x')});
    std::vector<std::vector<uint32_t>> five(5, texfiles::Solid(4, 4, 0));
    std::string partialCube = texfiles::Dds(4, 4, five);
    partialCube[4 + 108] = 0x00, partialCube[4 + 109] = 0x7e;  // five faces flagged
    cases.push_back({"partial cube", partialCube});
    cases.push_back({"dds header cut short", texfiles::DdsHeader(4, 4, 1, false, 0x41, 0, 32, 0, 0, 0, 0).substr(0, 60)});
    for (const Case& c : cases) {
        DecodedFile f;
        std::string error;
        EXPECT_FALSE(DecodeString(c.bytes, f, &error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_TRUE(f.faces.empty()) << c.what;
    }
}

TEST(D3DXTextureImage, DamagedFilesNeverGiveInconsistentImages) {
    std::vector<uint32_t> px = texfiles::Corners(24, 20);
    std::vector<std::vector<uint32_t>> faces(6, texfiles::Solid(8, 8, 0xff336699u));
    const std::string samples[] = {
        texfiles::Png(24, 20, px), texfiles::Bmp(24, 20, px), texfiles::Tga(24, 20, px), texfiles::Jpg(24, 20, px),
        texfiles::Dds(24, 20, {px}, 3), texfiles::Dds(8, 8, faces, 4),
    };
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
    int decoded = 0;
    for (const std::string& sample : samples) {
        for (int round = 0; round < 300; ++round) {
            std::string bytes = sample;
            // A few bytes changed, mostly in the header; sometimes cut short.
            for (int k = 0; k < 3; ++k) bytes[next() % std::min<size_t>(bytes.size(), round % 2 ? 160 : bytes.size())] = char(next());
            if (round % 5 == 0) bytes.resize(next() % bytes.size());
            DecodedFile f;
            if (!DecodeString(bytes, f)) continue;
            ++decoded;
            ASSERT_FALSE(f.faces.empty());
            for (const Image& img : f.faces) {
                EXPECT_EQ(img.width, f.info.width);
                EXPECT_EQ(img.height, f.info.height);
                EXPECT_EQ(img.texels.size(), size_t(img.width) * img.height);
                EXPECT_LE(img.width, kMaxImageSide);
            }
        }
    }
    EXPECT_GT(decoded, 0);  // some damage (in texel data) still decodes
}

TEST(D3DXTextureImage, SizingPlacesOrStretches) {
    EXPECT_EQ(RoundUpPow2(100), 128u);
    EXPECT_EQ(RoundUpPow2(64), 64u);
    EXPECT_EQ(RoundUpPow2(1), 1u);
    EXPECT_EQ(RoundUpPow2(0), 1u);
    EXPECT_EQ(FullMipCount(128, 64), 8u);
    EXPECT_EQ(FullMipCount(1, 1), 1u);

    Image src(100, 60);
    src.texels = texfiles::Corners(100, 60);
    // Filter none: the picture at the top-left, transparent black elsewhere.
    Image placed = Resample(src, 128, 64, kFilterNone);
    ASSERT_EQ(placed.width, 128u);
    EXPECT_EQ(placed.at(0, 0), 0xffff0000u);
    EXPECT_EQ(placed.at(99, 0), 0xff00ff00u);
    EXPECT_EQ(placed.at(99, 59), 0x80ffffffu);
    EXPECT_EQ(placed.at(100, 0), 0u);
    EXPECT_EQ(placed.at(0, 60), 0u);
    EXPECT_EQ(placed.at(127, 63), 0u);
    // Filter none into a smaller texture crops.
    Image cropped = Resample(src, 64, 32, kFilterNone | 0x80000);
    EXPECT_EQ(cropped.at(0, 0), 0xffff0000u);
    EXPECT_EQ(cropped.at(63, 31), 0xff808080u);

    // Stretching keeps corners in their corners and uniform areas uniform.
    Image stretched = Resample(src, 128, 64, kFilterTriangle);
    EXPECT_EQ(stretched.at(0, 0), 0xffff0000u);
    EXPECT_EQ(stretched.at(127, 0), 0xff00ff00u);
    EXPECT_EQ(stretched.at(0, 63), 0xff0000ffu);
    EXPECT_EQ(stretched.at(64, 32), 0xff808080u);

    // A horizontal ramp stays monotonic when shrunk and when enlarged.
    Image ramp(64, 1);
    for (uint32_t x = 0; x < 64; ++x) ramp.at(x, 0) = 0xff000000u | (x * 4) << 16;
    for (uint32_t w : {16u, 256u}) {
        Image r = Resample(ramp, w, 1, kFilterLinear);
        for (uint32_t x = 1; x < w; ++x) EXPECT_GE(r.at(x, 0), r.at(x - 1, 0)) << w << " at " << x;
    }
    Image point = Resample(ramp, 32, 1, kFilterPoint);
    for (uint32_t x = 0; x < 32; ++x) EXPECT_EQ(point.at(x, 0), ramp.at(2 * x + 1, 0));
}

TEST(D3DXTextureImage, MipLevelsAverageOrPick) {
    Image img(2, 2);
    img.texels = {0xff000000u, 0xff0000ffu, 0x00ff0000u, 0xffff00ffu};
    Image box = NextMipLevel(img, kFilterBox);
    ASSERT_EQ(box.width, 1u);
    EXPECT_EQ(box.at(0, 0), 0xbf800080u);
    Image picked = NextMipLevel(img, kFilterNone);
    EXPECT_EQ(picked.at(0, 0), 0xffff00ffu);
    // Odd and thin sizes halve down to one texel.
    Image strip(5, 1, 0xff204060u);
    Image next = NextMipLevel(strip, kFilterTriangle);
    EXPECT_EQ(next.width, 2u);
    EXPECT_EQ(next.height, 1u);
    EXPECT_EQ(next.at(1, 0), 0xff204060u);
}

TEST(D3DXTextureImage, NormalMapFollowsTheSlope) {
    // Heights rise to the right in red: the surface faces left.
    Image ramp(8, 8);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 8; ++x) ramp.at(x, y) = 0xff000000u | (x * 32) << 16 | 0x00ff;
    Image n = ComputeNormalMap(ramp, 1 /* red */, 0x10000 /* mirror u */, 3.0f);
    uint32_t mid = n.at(4, 4);
    EXPECT_LT((mid >> 16) & 0xff, 100u);  // x points left
    EXPECT_NEAR(int((mid >> 8) & 0xff), 128, 1);  // no slope down the rows
    EXPECT_GT(mid & 0xff, 160u);  // still mostly up
    EXPECT_EQ(mid >> 24, 0xffu);
    // Mirrored edge: no slope through the border.
    EXPECT_EQ(n.at(0, 4), n.at(0, 3));
    // The blue channel holds no height here: a flat map.
    Image flat = ComputeNormalMap(ramp, 2 /* blue */, 0, 3.0f);
    EXPECT_EQ(flat.at(3, 3), 0xff8080ffu);
    // A NaN amplitude leaves black texels, not bytes cast from NaN.
    EXPECT_EQ(ComputeNormalMap(ramp, 1, 0, std::nanf("")).at(4, 4), 0xff000000u);

    // Heights rising down the rows tilt y up (toward smaller rows).
    Image down(4, 8);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 4; ++x) down.at(x, y) = 0xff000000u | (y * 32) << 16;
    Image nd = ComputeNormalMap(down, 1, 0x20000, 3.0f);
    EXPECT_NEAR(int((nd.at(2, 4) >> 16) & 0xff), 128, 1);
    EXPECT_LT((nd.at(2, 4) >> 8) & 0xff, 100u);
    // Inverted sign flips it.
    Image inv = ComputeNormalMap(down, 1, 0x20000 | 0x80000, 3.0f);
    EXPECT_GT((inv.at(2, 4) >> 8) & 0xff, 156u);
    // Wrapping: the ramp's jump from 224 back to 0 shows at the edges.
    Image wrapped = ComputeNormalMap(ramp, 1, 0, 3.0f);
    EXPECT_GT((wrapped.at(0, 4) >> 16) & 0xff, 128u);
}

TEST(D3DXTextureImage, TexelFormatsRoundTrip) {
    Image img(3, 1);
    img.texels = {0xffff0000u, 0x8000ff00u, 0x000000ffu};
    struct Case {
        D3DFORMAT format;
        uint32_t bytes;
        uint32_t back[3];
    } cases[] = {
        {D3DFMT_A8R8G8B8, 4, {0xffff0000u, 0x8000ff00u, 0x000000ffu}},
        {D3DFMT_X8R8G8B8, 4, {0xffff0000u, 0xff00ff00u, 0xff0000ffu}},
        {D3DFMT_A4R4G4B4, 2, {0xffff0000u, 0x8800ff00u, 0x000000ffu}},
        {D3DFMT_R5G6B5, 2, {0xffff0000u, 0xff00ff00u, 0xff0000ffu}},
        {D3DFMT_A1R5G5B5, 2, {0xffff0000u, 0xff00ff00u, 0x000000ffu}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(BytesPerTexel(c.format), c.bytes);
        std::vector<uint8_t> mem(64, 0xcd);
        ASSERT_TRUE(StoreTexels(img, c.format, mem.data(), 16));
        EXPECT_EQ(mem[3 * c.bytes], 0xcd);  // nothing written past the row
        Image back;
        ASSERT_TRUE(LoadTexels(back, 3, 1, c.format, mem.data(), 16));
        for (int i = 0; i < 3; ++i) EXPECT_EQ(back.texels[i], c.back[i]) << i;
    }
    uint8_t tiny[4];
    EXPECT_FALSE(StoreTexels(img, D3DFMT_A8R8G8B8, tiny, 4));  // pitch shorter than a row
    EXPECT_FALSE(StoreTexels(img, D3DFMT_DXT1, tiny, 64));
}
