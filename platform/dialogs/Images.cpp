// Bitmaps loaded from files for dialog pictures, held as GdkPixbufs.
#include "DialogInternal.h"

#include "platform.h"

#include <set>

namespace {

struct LoadedBitmap {
    GdkPixbuf* pixbuf;
};

std::set<LoadedBitmap*>& Bitmaps() {
    static std::set<LoadedBitmap*> bitmaps;
    return bitmaps;
}

}  // namespace

GdkPixbuf* PixbufOfBitmap(HANDLE bitmap) {
    auto* b = static_cast<LoadedBitmap*>(bitmap);
    return Bitmaps().count(b) ? b->pixbuf : nullptr;
}

bool DeleteLoadedBitmap(void* object) {
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
    std::string host = platform::HostPath(name);
    GError* error = nullptr;
    GdkPixbuf* pixbuf = width > 0 && height > 0
                            ? gdk_pixbuf_new_from_file_at_scale(host.c_str(), width, height, FALSE, &error)
                            : gdk_pixbuf_new_from_file(host.c_str(), &error);
    if (!pixbuf) {
        if (error) g_error_free(error);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    auto* b = new LoadedBitmap{pixbuf};
    Bitmaps().insert(b);
    return b;
}
