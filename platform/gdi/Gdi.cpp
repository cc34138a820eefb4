// GDI objects over FreeType. Handles are pointers into a table of live
// objects, so a stale or foreign handle is refused instead of followed.
#include "../dialogs/LoadedBitmaps.h"
#include "wingdi.h"
#include "gdihooks.h"
#include "platform.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

const char* const kFallbackFolder = "/usr/share/fonts/truetype/dejavu/";
const int kDefaultPixelHeight = 16;
// FreeType refuses sizes beyond 16 bits; larger requests are clamped.
const int kMaxPixelHeight = 4096;
// No sane glyph is this much larger than its font's cell.
const int64_t kMaxGlyphSide = 1024;

enum class Kind { Font, Bitmap };

struct Object {
    explicit Object(Kind k) : kind(k) {}
    virtual ~Object() = default;
    Kind kind;
    int selections = 0;  // DCs this object is selected into
    bool stock = false;
};

struct Font : Object {
    Font() : Object(Kind::Font) {}
    ~Font() override {
        if (face) FT_Done_Face(face);
    }
    std::string file;
    FT_Face face = nullptr;
    bool emboldened = false;
    bool slanted = false;
    int ascent = 0, descent = 0;
};

struct Bitmap : Object {
    Bitmap() : Object(Kind::Bitmap) {}
    int width = 0, height = 0;
    bool topDown = true;
    std::vector<uint32_t> pixels;
    uint32_t* Row(int y) { return pixels.data() + (size_t)(topDown ? y : height - 1 - y) * width; }
};

struct DC {
    Object* font = nullptr;
    Object* bitmap = nullptr;
    COLORREF textColor = 0x000000;
    COLORREF bkColor = 0xFFFFFF;
    UINT align = TA_TOP;
    int mapMode = MM_TEXT;
};

struct AddedFont {
    std::string file;  // host path
    std::string family;
    std::string stem;  // file name without folder and extension
    bool bold = false, italic = false;
};

struct Gdi {
    FT_Library library = nullptr;
    bool libraryFailed = false;
    std::set<Object*> objects;
    std::set<DC*> dcs;
    std::vector<AddedFont> added;
    Bitmap stockBitmap;
    std::unique_ptr<Font> stockFont;

    Gdi() { stockBitmap.stock = true; stockBitmap.width = stockBitmap.height = 1; stockBitmap.pixels.assign(1, 0); }
    ~Gdi() {
        for (Object* o : objects) delete o;
        for (DC* dc : dcs) delete dc;
        stockFont.reset();
        if (library) FT_Done_FreeType(library);
    }
};

Gdi& G() {
    static Gdi gdi;
    return gdi;
}

FT_Library Library() {
    Gdi& g = G();
    if (!g.library && !g.libraryFailed && FT_Init_FreeType(&g.library) != 0) {
        g.library = nullptr;
        g.libraryFailed = true;
    }
    return g.library;
}

DC* ToDC(HDC handle) {
    DC* dc = reinterpret_cast<DC*>(handle);
    return G().dcs.count(dc) ? dc : nullptr;
}

Object* ToObject(HGDIOBJ handle) {
    Object* o = static_cast<Object*>(handle);
    Gdi& g = G();
    if (o == &g.stockBitmap || (g.stockFont && o == g.stockFont.get())) return o;
    return g.objects.count(o) ? o : nullptr;
}

std::string Lower(std::string s) {
    for (char& c : s) c = (char)tolower((unsigned char)c);
    return s;
}

std::string StemOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// Text is code page 1252, the font's character map Unicode.
FT_ULong CharToUnicode(unsigned char c) {
    char in = (char)c;
    WCHAR out = 0;
    return MultiByteToWideChar(CP_ACP, 0, &in, 1, &out, 1) == 1 ? (FT_ULong)out : 0;
}

// Sizes the face and fills the cell metrics as GDI reports them for TrueType:
// ascent and descent from the OS/2 Windows metrics.
bool SizeFont(Font* f, int height) {
    FT_Face face = f->face;
    int units = face->units_per_EM ? face->units_per_EM : 2048;
    TT_OS2* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    double winAscent = os2 ? os2->usWinAscent : face->ascender;
    double winDescent = os2 ? os2->usWinDescent : -face->descender;
    if (winAscent + winDescent <= 0) {
        winAscent = units * 0.8;
        winDescent = units * 0.2;
    }
    double ppem;
    if (height < 0) {
        ppem = -(double)height;  // character height: the em
    } else if (height > 0) {
        ppem = height * units / (winAscent + winDescent);  // cell height
    } else {
        ppem = kDefaultPixelHeight;
    }
    ppem = std::min(std::max(ppem, 1.0), (double)kMaxPixelHeight);
    FT_UInt px = (FT_UInt)std::lround(ppem);
    if (px < 1) px = 1;
    if (FT_Set_Pixel_Sizes(face, 0, px) != 0) return false;
    double scale = (double)px / units;
    f->ascent = (int)std::lround(winAscent * scale);
    f->descent = (int)std::lround(winDescent * scale);
    return true;
}

std::string FallbackFile(bool bold, bool italic) {
    std::string name = "DejaVuSans";
    if (bold && italic)
        name += "-BoldOblique";
    else if (bold)
        name += "-Bold";
    else if (italic)
        name += "-Oblique";
    return kFallbackFolder + name + ".ttf";
}

// The added font that best matches the face name and style, else "".
std::string FindAddedFile(const char* faceName, bool bold, bool italic) {
    if (!faceName || !*faceName) return "";
    std::string wanted = Lower(faceName);
    const AddedFont* best = nullptr;
    int bestScore = -1;
    // The newest file wins a tie: it was added for this very call.
    for (auto it = G().added.rbegin(); it != G().added.rend(); ++it) {
        if (Lower(it->family) != wanted && Lower(it->stem) != wanted) continue;
        int score = (it->bold == bold) * 2 + (it->italic == italic);
        if (score > bestScore) {
            bestScore = score;
            best = &*it;
        }
    }
    return best ? best->file : "";
}

Font* OpenFont(const std::string& file, int height, bool bold, bool italic) {
    FT_Library lib = Library();
    if (!lib) return nullptr;
    std::unique_ptr<Font> f(new Font());
    f->file = file;
    if (FT_New_Face(lib, file.c_str(), 0, &f->face) != 0) {
        f->face = nullptr;
        return nullptr;
    }
    if (!FT_IS_SCALABLE(f->face) || FT_Select_Charmap(f->face, FT_ENCODING_UNICODE) != 0) return nullptr;
    bool faceBold = f->face->style_flags & FT_STYLE_FLAG_BOLD;
    bool faceItalic = f->face->style_flags & FT_STYLE_FLAG_ITALIC;
    f->emboldened = bold && !faceBold;
    f->slanted = italic && !faceItalic;
    if (!SizeFont(f.get(), height)) return nullptr;
    return f.release();
}

Font* DefaultFont() {
    Gdi& g = G();
    if (!g.stockFont) {
        g.stockFont.reset(OpenFont(FallbackFile(false, false), -kDefaultPixelHeight, false, false));
        if (g.stockFont) g.stockFont->stock = true;
    }
    return g.stockFont.get();
}

Font* SelectedFont(DC* dc) {
    return dc->font ? static_cast<Font*>(dc->font) : DefaultFont();
}

// Loads a glyph with the font's synthetic style; false when it has none.
bool LoadGlyph(Font* f, unsigned char c, bool render) {
    FT_UInt index = FT_Get_Char_Index(f->face, CharToUnicode(c));
    if (FT_Load_Glyph(f->face, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return false;
    FT_GlyphSlot slot = f->face->glyph;
    if (f->slanted) FT_GlyphSlot_Oblique(slot);
    if (f->emboldened) FT_GlyphSlot_Embolden(slot);
    if (render && slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
        return false;
    return true;
}

int Advance(Font* f, unsigned char c) {
    if (!LoadGlyph(f, c, false)) return 0;
    return (int)((f->face->glyph->advance.x + 32) >> 6);
}

uint8_t Mix(int bk, int fg, int coverage) { return (uint8_t)(bk + ((fg - bk) * coverage + 127) / 255); }

uint32_t Pixel(COLORREF c) {
    // COLORREF is 0x00BBGGRR, a DIB pixel 0x00RRGGBB.
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

}  // namespace

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    int64_t p = (int64_t)a * b;
    int64_t half = (c < 0 ? -(int64_t)c : c) / 2;
    bool negative = (p < 0) != (c < 0);
    int64_t ap = p < 0 ? -p : p;
    int64_t ac = c < 0 ? -(int64_t)c : c;
    int64_t q = (ap + half) / ac;
    if (negative) q = -q;
    if (q > INT_MAX || q < INT_MIN) return -1;
    return (int)q;
}

int AddFontResourceA(LPCSTR fileName) {
    if (!fileName || !*fileName) return 0;
    FT_Library lib = Library();
    if (!lib) return 0;
    std::string path = platform::HostPath(fileName);
    if (!platform::IsGameDataFile(path)) return 0;
    FT_Face face = nullptr;
    if (FT_New_Face(lib, path.c_str(), -1, &face) != 0) return 0;
    long faces = face->num_faces;
    FT_Done_Face(face);
    int added = 0;
    for (long i = 0; i < faces; ++i) {
        if (FT_New_Face(lib, path.c_str(), i, &face) != 0) continue;
        if (FT_IS_SCALABLE(face)) {
            AddedFont a;
            a.file = path;
            a.family = face->family_name ? face->family_name : "";
            a.stem = StemOf(path);
            a.bold = face->style_flags & FT_STYLE_FLAG_BOLD;
            a.italic = face->style_flags & FT_STYLE_FLAG_ITALIC;
            G().added.push_back(a);
            ++added;
        }
        FT_Done_Face(face);
    }
    return added;
}

BOOL RemoveFontResourceA(LPCSTR fileName) {
    if (!fileName || !*fileName) return FALSE;
    std::string path = platform::HostPath(fileName);
    auto& added = G().added;
    auto end = std::remove_if(added.begin(), added.end(), [&](const AddedFont& a) { return a.file == path; });
    if (end == added.end()) return FALSE;
    added.erase(end, added.end());
    return TRUE;
}

HFONT CreateFontA(int height, int, int, int, int weight, DWORD italic, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                  DWORD, LPCSTR faceName) {
    bool bold = weight >= 600;
    bool slant = italic != 0;
    std::string file = FindAddedFile(faceName, bold, slant);
    Font* f = file.empty() ? nullptr : OpenFont(file, height, bold, slant);
    if (!f) f = OpenFont(FallbackFile(bold, slant), height, bold, slant);
    if (!f) return nullptr;
    G().objects.insert(f);
    return reinterpret_cast<HFONT>(static_cast<Object*>(f));
}

HDC CreateCompatibleDC(HDC) {
    DC* dc = new DC();
    G().dcs.insert(dc);
    return reinterpret_cast<HDC>(dc);
}

BOOL DeleteDC(HDC handle) {
    DC* dc = ToDC(handle);
    if (!dc) return FALSE;
    if (dc->font) --dc->font->selections;
    if (dc->bitmap) --dc->bitmap->selections;
    G().dcs.erase(dc);
    delete dc;
    return TRUE;
}

int SetMapMode(HDC handle, int mode) {
    DC* dc = ToDC(handle);
    if (!dc || mode < 1 || mode > 8) return 0;
    int old = dc->mapMode;
    dc->mapMode = mode;
    return old;
}

int GetDeviceCaps(HDC, int index) {
    // Every display counts as 96 dots per inch, the Windows default.
    return index == LOGPIXELSY ? 96 : 0;
}

HGDIOBJ SelectObject(HDC handle, HGDIOBJ object) {
    DC* dc = ToDC(handle);
    Object* o = ToObject(object);
    if (!dc || !o) return nullptr;
    Object*& slot = o->kind == Kind::Font ? dc->font : dc->bitmap;
    Object* old = slot;
    if (!old) old = o->kind == Kind::Font ? static_cast<Object*>(DefaultFont()) : &G().stockBitmap;
    if (slot) --slot->selections;
    slot = o;
    ++o->selections;
    return old;
}

BOOL DeleteObject(HGDIOBJ object) {
    Object* o = ToObject(object);
    if (!o) return DeleteLoadedBitmap(object) ? TRUE : FALSE;
    if (o->stock) return TRUE;
    // Deleting an object a DC still uses would leave the DC dangling.
    if (o->selections > 0) return FALSE;
    G().objects.erase(o);
    delete o;
    return TRUE;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD) {
    if (bits) *bits = nullptr;
    if (!info || usage != DIB_RGB_COLORS || section) return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biBitCount != 32 || h.biCompression != BI_RGB || h.biWidth <= 0 || h.biHeight == 0) return nullptr;
    int64_t height = h.biHeight < 0 ? -(int64_t)h.biHeight : h.biHeight;
    if ((int64_t)h.biWidth * height > (int64_t)1 << 28) return nullptr;
    Bitmap* b = new Bitmap();
    b->width = h.biWidth;
    b->height = (int)height;
    b->topDown = h.biHeight < 0;
    b->pixels.assign((size_t)b->width * b->height, 0);
    G().objects.insert(b);
    if (bits) *bits = b->pixels.data();
    return reinterpret_cast<HBITMAP>(static_cast<Object*>(b));
}

COLORREF SetTextColor(HDC handle, COLORREF color) {
    DC* dc = ToDC(handle);
    if (!dc) return 0xFFFFFFFF;
    COLORREF old = dc->textColor;
    dc->textColor = color;
    return old;
}

COLORREF SetBkColor(HDC handle, COLORREF color) {
    DC* dc = ToDC(handle);
    if (!dc) return 0xFFFFFFFF;
    COLORREF old = dc->bkColor;
    dc->bkColor = color;
    return old;
}

UINT SetTextAlign(HDC handle, UINT align) {
    DC* dc = ToDC(handle);
    if (!dc) return 0xFFFFFFFF;
    UINT old = dc->align;
    dc->align = align;
    return old;
}

BOOL GetTextExtentPoint32A(HDC handle, LPCSTR text, int count, LPSIZE size) {
    DC* dc = ToDC(handle);
    if (!dc || !size || count < 0 || (count > 0 && !text)) return FALSE;
    Font* f = SelectedFont(dc);
    if (!f) return FALSE;
    int64_t width = 0;
    for (int i = 0; i < count; ++i) width += Advance(f, (unsigned char)text[i]);
    size->cx = (LONG)std::min<int64_t>(width, INT_MAX);
    size->cy = f->ascent + f->descent;
    return TRUE;
}

BOOL ExtTextOutA(HDC handle, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT count, const INT*) {
    DC* dc = ToDC(handle);
    if (!dc || (count > 0 && !text)) return FALSE;
    Font* f = SelectedFont(dc);
    if (!f) return FALSE;
    Bitmap* b = dc->bitmap ? static_cast<Bitmap*>(dc->bitmap) : nullptr;
    if (!b) return FALSE;
    uint32_t bk = Pixel(dc->bkColor), fg = Pixel(dc->textColor);

    auto fill = [&](int64_t left, int64_t top, int64_t right, int64_t bottom) {
        left = std::max<int64_t>(left, 0);
        top = std::max<int64_t>(top, 0);
        right = std::min<int64_t>(right, b->width);
        bottom = std::min<int64_t>(bottom, b->height);
        for (int64_t py = top; py < bottom; ++py) {
            uint32_t* row = b->Row((int)py);
            for (int64_t px = left; px < right; ++px) row[px] = bk;
        }
    };
    if ((options & ETO_OPAQUE) && rect) fill(rect->left, rect->top, rect->right, rect->bottom);

    // The text cell is painted in the background colour, then the glyphs over it.
    int64_t pen = x;
    int64_t baseline = (int64_t)y + f->ascent;
    int64_t width = 0;
    for (UINT i = 0; i < count; ++i) width += Advance(f, (unsigned char)text[i]);
    fill(x, y, x + width, (int64_t)y + f->ascent + f->descent);
    for (UINT i = 0; i < count; ++i) {
        unsigned char c = (unsigned char)text[i];
        if (!LoadGlyph(f, c, false)) continue;
        FT_GlyphSlot slot = f->face->glyph;
        // Rendering costs the glyph's whole area: glyphs outside the bitmap are
        // skipped unrendered, and so are absurdly large ones from a hostile font.
        if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            FT_BBox box;
            FT_Outline_Get_CBox(&slot->outline, &box);
            int64_t x0 = pen + (box.xMin >> 6), x1 = pen + ((box.xMax + 63) >> 6);
            int64_t y0 = baseline - ((box.yMax + 63) >> 6), y1 = baseline - (box.yMin >> 6);
            int64_t limit = std::max<int64_t>(kMaxGlyphSide, 4 * (int64_t)f->face->size->metrics.y_ppem);
            bool huge = x1 - x0 > limit || y1 - y0 > limit;
            bool outside = x1 <= 0 || y1 <= 0 || x0 >= b->width || y0 >= b->height;
            if (huge || outside) {
                pen += (slot->advance.x + 32) >> 6;
                continue;
            }
            if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) continue;
        }
        const FT_Bitmap& bm = slot->bitmap;
        int64_t left = pen + slot->bitmap_left, top = baseline - slot->bitmap_top;
        for (unsigned row = 0; row < bm.rows; ++row) {
            int64_t py = top + row;
            if (py < 0 || py >= b->height) continue;
            uint32_t* out = b->Row((int)py);
            const unsigned char* src = bm.buffer + (int64_t)row * bm.pitch;
            for (unsigned col = 0; col < bm.width; ++col) {
                int64_t px = left + col;
                int cov = src[col];
                if (px < 0 || px >= b->width || cov == 0) continue;
                uint32_t under = out[px];
                uint8_t r = Mix((under >> 16) & 0xFF, (fg >> 16) & 0xFF, cov);
                uint8_t g = Mix((under >> 8) & 0xFF, (fg >> 8) & 0xFF, cov);
                uint8_t bl = Mix(under & 0xFF, fg & 0xFF, cov);
                out[px] = ((uint32_t)r << 16) | ((uint32_t)g << 8) | bl;
            }
        }
        pen += (slot->advance.x + 32) >> 6;
    }
    return TRUE;
}

namespace platform {

std::string GdiFontFile(HFONT font) {
    Object* o = ToObject(font);
    if (!o || o->kind != Kind::Font) return "";
    return static_cast<Font*>(o)->file;
}

int GdiAddedFontCount() { return (int)G().added.size(); }

}  // namespace platform
