// PNG through libpng, JPEG through libjpeg-turbo, BMP and TGA read here. Every
// library error becomes a false return; every size is checked against what the
// file holds before anything is allocated for it.
#include "platform/d3dx9/ImageCodecs.h"

#include <jpeglib.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace d3dximage {

namespace {

void Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
}

uint32_t Le16(const uint8_t* p) { return p[0] | (uint32_t(p[1]) << 8); }
uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return (a << 24) | (r << 16) | (g << 8) | b; }

bool SidesOk(uint64_t w, uint64_t h, std::string* error) {
    if (w == 0 || h == 0) {
        Fail(error, "image has no texels");
        return false;
    }
    if (w > kMaxImageSide || h > kMaxImageSide) {
        Fail(error, "image is too large (" + std::to_string(w) + " x " + std::to_string(h) + ")");
        return false;
    }
    return true;
}

// ---- JPEG ----

struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

// Leaves through longjmp into JpegRun, whose frames up to here are libjpeg's only.
void JpegErrorExit(j_common_ptr cinfo) {
    JpegError* err = reinterpret_cast<JpegError*>(cinfo->err);
    err->mgr.format_message(cinfo, err->message);
    longjmp(err->jump, 1);
}

void JpegQuiet(j_common_ptr, int) {}

// A hostile progressive file can ask for thousands of scans.
constexpr int kMaxJpegScans = 256;

void JpegProgress(j_common_ptr cinfo) {
    j_decompress_ptr d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxJpegScans) {
        JpegError* err = reinterpret_cast<JpegError*>(cinfo->err);
        std::snprintf(err->message, sizeof err->message, "too many scans");
        longjmp(err->jump, 1);
    }
}

// Only plain data lives here, so the jump skips no destructor. rows is sized by
// the caller from the header (headerOnly first), never inside the jump's reach.
bool JpegRun(const uint8_t* data, size_t size, RawInfo* info, uint8_t* rgba, char* message) {
    jpeg_decompress_struct cinfo;
    JpegError err;
    jpeg_progress_mgr progress;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = JpegErrorExit;
    err.mgr.emit_message = JpegQuiet;
    err.message[0] = '\0';
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::memcpy(message, err.message, sizeof err.message);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    progress.progress_monitor = JpegProgress;
    cinfo.progress = &progress;
    cinfo.mem->max_memory_to_use = 256L * 1024 * 1024;
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    info->width = cinfo.image_width;
    info->height = cinfo.image_height;
    info->comp = cinfo.num_components == 1 ? 1 : 3;
    if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) {
        std::snprintf(message, JMSG_LENGTH_MAX, "CMYK is not supported");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    if (!rgba || info->width == 0 || info->height == 0 || info->width > kMaxImageSide ||
        info->height > kMaxImageSide) {
        jpeg_destroy_decompress(&cinfo);
        return true;
    }
    cinfo.out_color_space = JCS_EXT_RGBA;
    jpeg_start_decompress(&cinfo);
    const size_t pitch = size_t(info->width) * 4;
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = rgba + pitch * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// ---- BMP ----

struct BmpLayout {
    uint32_t width = 0, height = 0;
    bool topDown = false;
    uint32_t bpp = 0;
    uint32_t dataOffset = 0;
    uint32_t masks[4] = {0, 0, 0, 0};  // r g b a, for 16 and 32 bits
    uint32_t paletteOffset = 0, paletteCount = 0, paletteEntry = 4;
};

bool ParseBmp(const uint8_t* d, size_t size, BmpLayout& l, std::string* error) {
    if (size < 26) {
        Fail(error, "BMP header is cut short");
        return false;
    }
    uint32_t headerSize = Le32(d + 14);
    l.dataOffset = Le32(d + 10);
    uint32_t compression = 0;
    const bool core = headerSize == 12;
    if (core) {
        l.width = Le16(d + 18);
        l.height = Le16(d + 20);
        l.bpp = Le16(d + 24);
        l.paletteEntry = 3;
    } else if ((headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 64 || headerSize == 108 ||
                headerSize == 124) &&
               size >= 14 + 40) {
        int32_t w = int32_t(Le32(d + 18)), h = int32_t(Le32(d + 22));
        if (w <= 0 || h == 0 || h == INT32_MIN) {
            Fail(error, "BMP has no texels");
            return false;
        }
        l.width = uint32_t(w);
        l.topDown = h < 0;
        l.height = uint32_t(h < 0 ? -h : h);
        l.bpp = Le16(d + 28);
        compression = Le32(d + 30);
        l.paletteCount = Le32(d + 46);
    } else {
        Fail(error, "BMP header of an unknown kind");
        return false;
    }
    uint32_t maskOffset = 14 + 40, afterHeader = 14 + headerSize;
    if (compression == 3) {
        if (headerSize == 40) afterHeader += 12;
        if (afterHeader > size || maskOffset + 12 > size) {
            Fail(error, "BMP header is cut short");
            return false;
        }
        l.masks[0] = Le32(d + maskOffset), l.masks[1] = Le32(d + maskOffset + 4), l.masks[2] = Le32(d + maskOffset + 8);
        if (headerSize >= 56 && maskOffset + 16 <= size) l.masks[3] = Le32(d + maskOffset + 12);
        // The 64-byte header gives compression 3 another meaning.
        if ((l.bpp != 16 && l.bpp != 32) || headerSize == 64) {
            Fail(error, "BMP bit fields need 16 or 32 bits");
            return false;
        }
    } else if (compression != 0) {
        Fail(error, "BMP compression " + std::to_string(compression) + " is not supported");
        return false;
    } else if (l.bpp == 16) {
        l.masks[0] = 0x7c00, l.masks[1] = 0x03e0, l.masks[2] = 0x001f;
    } else if (l.bpp == 32) {
        l.masks[0] = 0xff0000, l.masks[1] = 0xff00, l.masks[2] = 0xff, l.masks[3] = 0xff000000u;
    }
    // The old header knows no 16 or 32 bits.
    if (l.bpp != 1 && l.bpp != 4 && l.bpp != 8 && l.bpp != 24 && (core || (l.bpp != 16 && l.bpp != 32))) {
        Fail(error, "BMP with " + std::to_string(l.bpp) + " bits per texel is not supported");
        return false;
    }
    if (!SidesOk(l.width, l.height, error)) return false;
    uint64_t pixelsFrom = afterHeader;  // headers, masks and palette come first
    if (l.bpp <= 8) {
        uint32_t most = 1u << l.bpp;
        if (l.paletteCount == 0 || l.paletteCount > most) l.paletteCount = most;
        l.paletteOffset = afterHeader;
        pixelsFrom += uint64_t(l.paletteCount) * l.paletteEntry;
        if (pixelsFrom > size) {
            Fail(error, "BMP palette is cut short");
            return false;
        }
    }
    if (l.dataOffset < pixelsFrom) {
        Fail(error, "BMP pixels overlap its header or palette");
        return false;
    }
    uint64_t pitch = ((uint64_t(l.width) * l.bpp + 31) / 32) * 4;
    if (l.dataOffset > size || pitch * l.height > size - l.dataOffset) {
        Fail(error, "image data is shorter than its header says");
        return false;
    }
    return true;
}

uint32_t MaskShift(uint32_t mask) {
    uint32_t s = 0;
    while (mask && !(mask & 1)) mask >>= 1, ++s;
    return s;
}

// A field scaled to 8 bits, whatever its width.
uint32_t Field(uint32_t v, uint32_t mask) {
    if (!mask) return 0;
    uint32_t shift = MaskShift(mask), bits = 0;
    uint32_t m = mask >> shift;
    while (m & 1) m >>= 1, ++bits;
    uint32_t x = (v & mask) >> shift;
    if (bits >= 8) return x >> (bits - 8);
    uint32_t maxv = (1u << bits) - 1;
    return (x * 255 + maxv / 2) / maxv;
}

void DecodeBmp(const uint8_t* d, const BmpLayout& l, Image& img) {
    uint64_t pitch = ((uint64_t(l.width) * l.bpp + 31) / 32) * 4;
    bool anyAlpha = false;
    for (uint32_t y = 0; y < l.height; ++y) {
        const uint8_t* row = d + l.dataOffset + pitch * y;
        uint32_t outY = l.topDown ? y : l.height - 1 - y;
        for (uint32_t x = 0; x < l.width; ++x) {
            uint32_t c;
            if (l.bpp <= 8) {
                uint32_t bit = x * l.bpp;
                uint32_t index = (row[bit / 8] >> (8 - l.bpp - bit % 8)) & ((1u << l.bpp) - 1);
                if (index >= l.paletteCount) index = 0;
                const uint8_t* p = d + l.paletteOffset + index * l.paletteEntry;
                c = Argb(255, p[2], p[1], p[0]);
            } else if (l.bpp == 24) {
                const uint8_t* p = row + x * 3;
                c = Argb(255, p[2], p[1], p[0]);
            } else {
                uint32_t v = l.bpp == 16 ? Le16(row + x * 2) : Le32(row + x * 4);
                uint32_t a = l.masks[3] ? Field(v, l.masks[3]) : 255;
                if (l.masks[3] && a) anyAlpha = true;
                c = Argb(a, Field(v, l.masks[0]), Field(v, l.masks[1]), Field(v, l.masks[2]));
            }
            img.at(x, outY) = c;
        }
    }
    // Writers that leave the spare byte zero mean opaque, not invisible.
    if (l.masks[3] && !anyAlpha)
        for (uint32_t& t : img.texels) t |= 0xff000000u;
}

// ---- TGA ----

struct TgaLayout {
    uint32_t type = 0, width = 0, height = 0, bpp = 0, topDown = 0;
    uint32_t dataOffset = 0;
    uint32_t mapFirst = 0, mapLength = 0, mapBpp = 0, mapOffset = 0;
};

bool ParseTga(const uint8_t* d, size_t size, TgaLayout& l, std::string* error) {
    if (size < 18) {
        Fail(error, "TGA header is cut short");
        return false;
    }
    l.type = d[2];
    l.mapFirst = Le16(d + 3), l.mapLength = Le16(d + 5), l.mapBpp = d[7];
    l.width = Le16(d + 12), l.height = Le16(d + 14), l.bpp = d[16];
    l.topDown = (d[17] & 0x20) != 0;
    l.mapOffset = 18 + d[0];
    bool mapped = l.type == 1 || l.type == 9;
    if (d[1] == 1) {
        if (l.mapBpp != 15 && l.mapBpp != 16 && l.mapBpp != 24 && l.mapBpp != 32) {
            Fail(error, "TGA colour map entries of an unknown size");
            return false;
        }
        l.dataOffset = l.mapOffset + l.mapLength * ((l.mapBpp + 7) / 8);
    } else {
        l.dataOffset = l.mapOffset;
    }
    if (l.dataOffset > size) {
        Fail(error, "TGA colour map is cut short");
        return false;
    }
    bool grey = l.type == 3 || l.type == 11;
    if ((mapped && (l.bpp != 8 || d[1] != 1 || l.mapLength == 0)) || (grey && l.bpp != 8 && l.bpp != 16) ||
        (!mapped && !grey && l.bpp != 15 && l.bpp != 16 && l.bpp != 24 && l.bpp != 32)) {
        Fail(error, "TGA texel layout is not supported");
        return false;
    }
    if (!SidesOk(l.width, l.height, error)) return false;
    uint64_t pixels = uint64_t(l.width) * l.height;
    uint32_t bytes = (l.bpp + 7) / 8;
    uint64_t have = size - l.dataOffset;
    // Raw data must be all there; a run-length packet stands for at most 128 texels.
    if (l.type < 9 ? pixels * bytes > have : pixels > have * 128) {
        Fail(error, "image data is shorter than its header says");
        return false;
    }
    return true;
}

uint32_t TgaTexel(const uint8_t* p, uint32_t bpp, bool grey) {
    if (grey) return bpp == 16 ? Argb(p[1], p[0], p[0], p[0]) : Argb(255, p[0], p[0], p[0]);
    if (bpp == 24) return Argb(255, p[2], p[1], p[0]);
    if (bpp == 32) return Argb(p[3], p[2], p[1], p[0]);
    uint32_t v = Le16(p);
    auto five = [](uint32_t x) { return (x << 3) | (x >> 2); };
    return Argb(255, five((v >> 10) & 31), five((v >> 5) & 31), five(v & 31));
}

bool DecodeTga(const uint8_t* d, size_t size, const TgaLayout& l, Image& img, std::string* error) {
    bool mapped = l.type == 1 || l.type == 9, grey = l.type == 3 || l.type == 11, rle = l.type >= 9;
    uint32_t bytes = (l.bpp + 7) / 8, mapBytes = (l.mapBpp + 7) / 8;
    uint64_t pixels = uint64_t(l.width) * l.height;
    const uint8_t* p = d + l.dataOffset;
    const uint8_t* end = d + size;
    auto texel = [&](const uint8_t* q) {
        if (!mapped) return TgaTexel(q, l.bpp, grey);
        uint32_t index = q[0];
        if (index < l.mapFirst || index - l.mapFirst >= l.mapLength) return 0u;
        return TgaTexel(d + l.mapOffset + (index - l.mapFirst) * mapBytes, l.mapBpp, false);
    };
    auto place = [&](uint64_t i, uint32_t c) {
        uint32_t x = uint32_t(i % l.width), y = uint32_t(i / l.width);
        img.at(x, l.topDown ? y : l.height - 1 - y) = c;
    };
    uint64_t i = 0;
    while (i < pixels) {
        uint32_t count = 1;
        bool run = false;
        if (rle) {
            if (p >= end) break;
            run = (*p & 0x80) != 0;
            count = (*p & 0x7f) + 1u;
            ++p;
        }
        if (run) {
            if (end - p < bytes) break;
            uint32_t c = texel(p);
            p += bytes;
            for (uint32_t k = 0; k < count && i < pixels; ++k) place(i++, c);
        } else {
            for (uint32_t k = 0; k < count && i < pixels; ++k) {
                if (end - p < bytes) {
                    Fail(error, "image data is shorter than its header says");
                    return false;
                }
                place(i++, texel(p));
                p += bytes;
            }
        }
    }
    if (i < pixels) {
        Fail(error, "image data is shorter than its header says");
        return false;
    }
    // Files whose alpha is all zero mean opaque (the attribute bits were left unset).
    if (l.bpp == 32 || (mapped && l.mapBpp == 32)) {
        bool anyAlpha = false;
        for (uint32_t t : img.texels) anyAlpha |= (t >> 24) != 0;
        if (!anyAlpha)
            for (uint32_t& t : img.texels) t |= 0xff000000u;
    }
    return true;
}

}  // namespace

bool ReadPng(const uint8_t* data, size_t size, RawInfo& info, Image* out, std::string* error) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size)) {
        Fail(error, std::string("bad image header: ") + image.message);
        png_image_free(&image);
        return false;
    }
    info.width = image.width;
    info.height = image.height;
    bool colour = (image.format & PNG_FORMAT_FLAG_COLOR) != 0;
    bool alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    info.comp = (colour ? 3 : 1) + (alpha ? 1 : 0);
    if (!out) {
        png_image_free(&image);
        return true;
    }
    if (!SidesOk(image.width, image.height, error)) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_BGRA;
    std::vector<uint8_t> bgra(size_t(image.width) * image.height * 4);
    if (!png_image_finish_read(&image, nullptr, bgra.data(), 0, nullptr)) {
        Fail(error, std::string("bad image data: ") + image.message);
        png_image_free(&image);
        return false;
    }
    *out = Image(image.width, image.height);
    for (size_t i = 0; i < out->texels.size(); ++i) {
        const uint8_t* p = &bgra[i * 4];
        out->texels[i] = Argb(p[3], p[2], p[1], p[0]);
    }
    return true;
}

bool ReadJpeg(const uint8_t* data, size_t size, RawInfo& info, Image* out, std::string* error) {
    char message[JMSG_LENGTH_MAX] = "";
    if (!JpegRun(data, size, &info, nullptr, message)) {
        Fail(error, std::string("bad image header: ") + message);
        return false;
    }
    if (!out) return true;
    if (!SidesOk(info.width, info.height, error)) return false;
    std::vector<uint8_t> rgba(size_t(info.width) * info.height * 4);
    RawInfo again;
    if (!JpegRun(data, size, &again, rgba.data(), message)) {
        Fail(error, std::string("bad image data: ") + message);
        return false;
    }
    *out = Image(info.width, info.height);
    for (size_t i = 0; i < out->texels.size(); ++i) {
        const uint8_t* p = &rgba[i * 4];
        out->texels[i] = Argb(255, p[0], p[1], p[2]);
    }
    return true;
}

bool ReadBmp(const uint8_t* data, size_t size, RawInfo& info, Image* out, std::string* error) {
    BmpLayout l;
    if (!ParseBmp(data, size, l, error)) return false;
    info.width = l.width;
    info.height = l.height;
    info.comp = l.masks[3] ? 4 : 3;
    if (!out) return true;
    *out = Image(l.width, l.height);
    DecodeBmp(data, l, *out);
    return true;
}

bool ReadTga(const uint8_t* data, size_t size, RawInfo& info, Image* out, std::string* error) {
    TgaLayout l;
    if (!ParseTga(data, size, l, error)) return false;
    info.width = l.width;
    info.height = l.height;
    bool grey = l.type == 3 || l.type == 11;
    uint32_t bits = (l.type == 1 || l.type == 9) ? l.mapBpp : l.bpp;
    info.comp = grey ? (l.bpp == 16 ? 2 : 1) : (bits == 32 ? 4 : 3);
    if (!out) return true;
    *out = Image(l.width, l.height);
    return DecodeTga(data, size, l, *out, error);
}

}  // namespace d3dximage
