#include <gtest/gtest.h>

#include <gdihooks.h>
#include <wingdi.h>

#include <filesystem>

#include "support/TestUtil.h"

namespace {

const char* const kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// A top-down device-independent bitmap header.
BITMAPINFO TopDown(int w, int h, WORD bitCount = 32) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = bitCount;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

struct Dib {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ oldBitmap = nullptr;
    uint32_t* bits = nullptr;
    int width, height;
    Dib(int w, int h) : width(w), height(h) {
        dc = CreateCompatibleDC(nullptr);
        BITMAPINFO info = TopDown(w, h);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        oldBitmap = SelectObject(dc, bitmap);
    }
    ~Dib() {
        SelectObject(dc, oldBitmap);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    uint32_t At(int x, int y) const { return bits[y * width + x]; }
};

HFONT Make(int height, int weight, const char* face, DWORD italic = 0) {
    return CreateFontA(height, 0, 0, 0, weight, italic, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH, face);
}

TEST(GdiTest, MulDivRoundsAndRefusesDivisionByZero) {
    EXPECT_EQ(133, MulDiv(100, 96, 72));
    EXPECT_EQ(2, MulDiv(3, 1, 2));
    EXPECT_EQ(-2, MulDiv(-3, 1, 2));
    EXPECT_EQ(-2, MulDiv(3, 1, -2));
    EXPECT_EQ(-1, MulDiv(5, 5, 0));
    EXPECT_EQ(-1, MulDiv(0x7FFFFFFF, 4, 1));
    EXPECT_EQ(0x7FFFFFFF, MulDiv(0x7FFFFFFF, 4, 4)) << "the product may exceed 32 bits";
    EXPECT_EQ(96, GetDeviceCaps(nullptr, LOGPIXELSY));
}

TEST(GdiTest, FaceNamesResolveToAddedFilesOrFallBack) {
    testutil::TempDir dir;
    std::string aero = dir.file("aero.ttf");
    std::filesystem::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", aero);
    int before = platform::GdiAddedFontCount();

    EXPECT_EQ(0, AddFontResourceA(dir.file("missing.ttf").c_str()));
    EXPECT_EQ(0, AddFontResourceA(nullptr));
    testutil::WriteFile(dir.file("junk.ttf"), "not a font");
    EXPECT_EQ(0, AddFontResourceA(dir.file("junk.ttf").c_str()));

    ASSERT_EQ(1, AddFontResourceA(aero.c_str()));
    // By the file's name (the family inside is different) and by its family.
    HFONT byName = Make(-40, FW_NORMAL, "Aero");
    ASSERT_NE(nullptr, byName);
    EXPECT_EQ(aero, platform::GdiFontFile(byName));
    EXPECT_TRUE(RemoveFontResourceA(aero.c_str()));
    EXPECT_FALSE(RemoveFontResourceA(aero.c_str()));
    EXPECT_EQ(before, platform::GdiAddedFontCount());
    // A font made while the file was added keeps working after the removal.
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, byName);
    SIZE size = {};
    EXPECT_TRUE(GetTextExtentPoint32A(dc, "Aero", 4, &size));
    EXPECT_GT(size.cx, 0);

    HFONT unknown = Make(-40, FW_NORMAL, "No Such Face");
    HFONT unknownBold = Make(-40, FW_BOLD, "Aero");
    ASSERT_NE(nullptr, unknown);
    EXPECT_EQ(kDejaVu, platform::GdiFontFile(unknown));
    EXPECT_EQ("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", platform::GdiFontFile(unknownBold));

    SelectObject(dc, old);
    EXPECT_TRUE(DeleteObject(byName));
    EXPECT_TRUE(DeleteObject(unknown));
    EXPECT_TRUE(DeleteObject(unknownBold));
    EXPECT_FALSE(DeleteObject(unknown)) << "a deleted handle is refused";
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
}

TEST(GdiTest, ExtentsFollowAdvancesAndTheCellHeight) {
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(MM_TEXT, SetMapMode(dc, MM_TEXT));
    // Height 100 points at 96 dpi, as the bitmap font asks for its system font.
    HFONT font = Make(-MulDiv(100, GetDeviceCaps(dc, LOGPIXELSY), 72), FW_NORMAL, "DejaVu Sans");
    HGDIOBJ old = SelectObject(dc, font);
    SIZE x = {}, w = {}, ww = {}, empty = {};
    ASSERT_TRUE(GetTextExtentPoint32A(dc, "x", 1, &x));
    ASSERT_TRUE(GetTextExtentPoint32A(dc, "W", 1, &w));
    ASSERT_TRUE(GetTextExtentPoint32A(dc, "WWx", 2, &ww));
    ASSERT_TRUE(GetTextExtentPoint32A(dc, "", 0, &empty));
    // DejaVu's Windows ascent + descent is 1.164 em: a 133-pixel em gives a 155-pixel cell.
    EXPECT_NEAR(155, x.cy, 1);
    EXPECT_EQ(x.cy, w.cy);
    EXPECT_EQ(2 * w.cx, ww.cx);
    EXPECT_GT(w.cx, x.cx);
    EXPECT_NEAR(133 * 0.59, x.cx, 4);
    EXPECT_EQ(0, empty.cx);
    EXPECT_FALSE(GetTextExtentPoint32A(dc, nullptr, 3, &x));
    EXPECT_FALSE(GetTextExtentPoint32A(nullptr, "x", 1, &x));

    // A selected font cannot be deleted from under the context.
    EXPECT_FALSE(DeleteObject(font));
    EXPECT_EQ(font, SelectObject(dc, old));
    EXPECT_TRUE(DeleteObject(font));
    DeleteDC(dc);
}

TEST(GdiTest, TextIsWhiteCoverageOnBlackInTheLowByte) {
    Dib dib(96, 48);
    ASSERT_NE(nullptr, dib.bits);
    HFONT font = Make(-32, FW_BOLD, "DejaVu Sans");
    HGDIOBJ oldFont = SelectObject(dib.dc, font);
    SetTextColor(dib.dc, RGB(255, 255, 255));
    SetBkColor(dib.dc, RGB(0, 0, 0));
    SetTextAlign(dib.dc, TA_TOP);
    SIZE size = {};
    GetTextExtentPoint32A(dib.dc, "I", 1, &size);
    ASSERT_TRUE(ExtTextOutA(dib.dc, 10, 4, ETO_OPAQUE, nullptr, "I", 1, nullptr));

    int full = 0, partial = 0, left = dib.width, right = -1, top = dib.height, bottom = -1;
    for (int y = 0; y < dib.height; ++y)
        for (int x = 0; x < dib.width; ++x) {
            uint32_t p = dib.At(x, y);
            uint32_t b = p & 0xFF;
            EXPECT_EQ(b, (p >> 8) & 0xFF);
            EXPECT_EQ(b, (p >> 16) & 0xFF);
            if (!b) continue;
            full += b == 255;
            partial += b < 255;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    EXPECT_GT(full, 50) << "a bold bar is solid";
    // The bar stands inside the cell drawn at (10, 4): cap height below the top of the cell.
    EXPECT_GE(left, 10);
    EXPECT_LT(right, 10 + size.cx);
    EXPECT_GT(top, 4);
    EXPECT_LT(bottom, 4 + size.cy);
    EXPECT_NEAR(23, bottom - top + 1, 2) << "DejaVu's cap height is 0.73 em";

    // Bytes above 0x7F draw their code-page glyph or nothing, never out of bounds.
    EXPECT_TRUE(ExtTextOutA(dib.dc, 90, 40, ETO_OPAQUE, nullptr, "\xE9\x81\xA9\xFF", 4, nullptr));
    EXPECT_TRUE(ExtTextOutA(dib.dc, -500, -500, ETO_OPAQUE, nullptr, "WWW", 3, nullptr));
    SelectObject(dib.dc, oldFont);
    DeleteObject(font);
}

TEST(GdiTest, DibSectionsAreThirtyTwoBitOnly) {
    BITMAPINFO info = TopDown(16, 16, 24);
    void* bits = reinterpret_cast<void*>(1);
    EXPECT_EQ(nullptr, CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    EXPECT_EQ(nullptr, bits);
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biWidth = 0;
    EXPECT_EQ(nullptr, CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    info.bmiHeader.biWidth = 16;
    HBITMAP bm = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(nullptr, bm);
    ASSERT_NE(nullptr, bits);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(0u, static_cast<uint32_t*>(bits)[i]);
    EXPECT_TRUE(DeleteObject(bm));
    EXPECT_EQ(nullptr, SelectObject(nullptr, bm));
}

}  // namespace
