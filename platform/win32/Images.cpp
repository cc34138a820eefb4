// Bitmaps loaded from bitmap files for dialog pictures, held as GdkPixbufs.
#include "DialogInternal.h"

#include "platform.h"

#include <cstdint>
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

// A bitmap file header and an information header of a known size, with at most
// kMaxBitmapSide pixels each way (rows may run top-down: a negative height).
bool BitmapWithinBounds(const std::string& bytes) {
    const size_t kFileHeader = 14;
    if (bytes.size() < kFileHeader + 4 || bytes.compare(0, 2, "BM") != 0) return false;
    const uint32_t infoSize = Le(bytes, kFileHeader, 4);
    int64_t width = 0, height = 0;
    if (infoSize == 12 && bytes.size() >= kFileHeader + 12) {
        width = Le(bytes, 18, 2);
        height = Le(bytes, 20, 2);
    } else if (infoSize >= 40 && infoSize <= 124 && bytes.size() >= kFileHeader + infoSize) {
        width = static_cast<int32_t>(Le(bytes, 18, 4));
        height = static_cast<int32_t>(Le(bytes, 22, 4));
    } else {
        return false;
    }
    if (height < 0) height = -height;
    return width > 0 && height > 0 && width <= kMaxBitmapSide && height <= kMaxBitmapSide;
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
    // reaches the decoder, and only the bitmap decoder sees it.
    if (!BitmapWithinBounds(bytes)) {
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
