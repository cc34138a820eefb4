// Bitmaps loaded from bitmap files for dialog pictures, held as GdkPixbufs.
#include "DialogInternal.h"

#include "platform.h"

#include <cstdint>
#include <initializer_list>
#include <set>
#include <string>

namespace {

struct LoadedBitmap {
    GdkPixbuf* pixbuf;
};

std::set<LoadedBitmap*>& Bitmaps() {
    static std::set<LoadedBitmap*> bitmaps;
    return bitmaps;
}

const int64_t kMaxBitmapSide = 4096;

uint32_t Le(const std::string& bytes, size_t at, int size) {
    uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

bool OneOf(uint32_t v, std::initializer_list<uint32_t> allowed) {
    for (uint32_t a : allowed)
        if (v == a) return true;
    return false;
}

// The decoder believes every field of the header: it reserves up to the pixel
// offset, reads the palette by its count and the rows by their stride. So the
// header must be of a known kind with at most kMaxBitmapSide pixels each way
// (rows may run top-down: a negative height), a depth and compression the
// format pairs, and palette and pixels inside the file.
bool BitmapHeaderFits(const std::string& bytes) {
    const uint64_t kFileHeader = 14, size = bytes.size();
    if (size < kFileHeader + 4 || bytes.compare(0, 2, "BM") != 0) return false;
    const uint32_t infoSize = Le(bytes, kFileHeader, 4);
    const bool core = infoSize == 12;
    if (!OneOf(infoSize, {12, 40, 52, 56, 64, 108, 124}) || size < kFileHeader + infoSize) return false;
    int64_t width = 0, height = 0;
    uint32_t bpp = 0, compression = 0, colours = 0;
    if (core) {
        width = Le(bytes, 18, 2);
        height = Le(bytes, 20, 2);
        bpp = Le(bytes, 24, 2);
    } else {
        width = static_cast<int32_t>(Le(bytes, 18, 4));
        height = static_cast<int32_t>(Le(bytes, 22, 4));
        bpp = Le(bytes, 28, 2);
        compression = Le(bytes, 30, 4);
        colours = Le(bytes, 46, 4);
    }
    const bool topDown = height < 0;
    if (topDown) height = -height;
    if (width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide) return false;

    const uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3;
    bool paired = false;
    switch (compression) {
        case kRgb: paired = OneOf(bpp, {1, 4, 8, 24}) || (!core && (bpp == 16 || bpp == 32)); break;
        case kRle8: paired = bpp == 8; break;
        case kRle4: paired = bpp == 4; break;
        case kBitFields: paired = (bpp == 16 || bpp == 32) && infoSize != 64; break;  // 64: another meaning
        default: break;
    }
    const bool rle = compression == kRle8 || compression == kRle4;
    if (!paired || (rle && topDown)) return false;  // run-length rows only go up

    // Headers, colour masks and palette come before the pixels.
    const uint64_t most = bpp <= 8 ? uint64_t(1) << bpp : 0;
    if (bpp <= 8 && colours > most) return false;
    const uint64_t entries = core ? most : colours ? colours : most;
    const uint64_t masks = compression == kBitFields && infoSize == 40 ? 12 : 0;  // after the short header
    const uint64_t offset = Le(bytes, 10, 4);
    if (kFileHeader + infoSize + masks + entries * (core ? 3 : 4) > offset) return false;
    if (rle) return offset < size;  // runs can end the picture early: no length to check
    const uint64_t stride = (uint64_t(width) * bpp + 31) / 32 * 4;
    return offset <= size && stride * uint64_t(height) <= size - offset;
}

}  // namespace

GdkPixbuf* PixbufOfBitmap(HANDLE bitmap) {
    auto* b = static_cast<LoadedBitmap*>(bitmap);
    return Bitmaps().count(b) ? b->pixbuf : nullptr;
}

bool platform::DeleteLoadedBitmap(void* object) {
    auto* b = static_cast<LoadedBitmap*>(object);
    if (!Bitmaps().erase(b)) return false;
    g_object_unref(b->pixbuf);
    delete b;
    return true;
}

HANDLE LoadImageA(HINSTANCE, LPCSTR name, UINT type, INT width, INT height, UINT flags) {
    // The program's images all come from files; it has no bitmap resources.
    if (type != IMAGE_BITMAP || !(flags & LR_LOADFROMFILE) || !name || IS_INTRESOURCE(name)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string bytes;
    if (!platform::ReadWholeFile(platform::HostPath(name), bytes)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    // Pictures come with themes from anywhere: only a bitmap file of a sane size
    // whose header fits it reaches the decoder, and only the bitmap decoder sees it.
    if (!BitmapHeaderFits(bytes)) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("bmp", nullptr);
    if (!loader) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    if (width > 0 && height > 0) gdk_pixbuf_loader_set_size(loader, width, height);
    const bool written = gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(bytes.data()), bytes.size(),
                                                 nullptr);
    const bool closed = gdk_pixbuf_loader_close(loader, nullptr);
    GdkPixbuf* pixbuf = written && closed ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
    if (pixbuf) g_object_ref(pixbuf);
    g_object_unref(loader);
    if (!pixbuf) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    auto* b = new LoadedBitmap{pixbuf};
    Bitmaps().insert(b);
    return b;
}
