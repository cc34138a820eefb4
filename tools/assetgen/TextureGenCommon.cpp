#include "TextureGen.h"

#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cstdio>

#include "Generators.h"

namespace texgen {

Color Mix(const Color& a, const Color& b, float t) {
    return Color{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Color Scale(const Color& c, float k) { return Color{c.r * k, c.g * k, c.b * k, c.a}; }

float Clamp01(float v) { return v < 0.0f ? 0.0f : v > 1.0f ? 1.0f : v; }

float Smoothstep(float e0, float e1, float v) {
    float t = Clamp01((v - e0) / (e1 - e0));
    return t * t * (3.0f - 2.0f * t);
}

float SdCircle(float x, float y, float cx, float cy, float r) { return std::hypot(x - cx, y - cy) - r; }

float SdRoundBox(float x, float y, float cx, float cy, float hw, float hh, float radius) {
    float qx = std::fabs(x - cx) - hw + radius, qy = std::fabs(y - cy) - hh + radius;
    float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - radius;
}

float SdSegment(float x, float y, float ax, float ay, float bx, float by) {
    float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
    float h = Clamp01((px * dx + py * dy) / (dx * dx + dy * dy));
    return std::hypot(px - dx * h, py - dy * h);
}

float SdTriangle(float x, float y, float ax, float ay, float bx, float by, float cx, float cy) {
    float e0x = bx - ax, e0y = by - ay, e1x = cx - bx, e1y = cy - by, e2x = ax - cx, e2y = ay - cy;
    float v0x = x - ax, v0y = y - ay, v1x = x - bx, v1y = y - by, v2x = x - cx, v2y = y - cy;
    auto proj = [](float vx, float vy, float ex, float ey, float& ox, float& oy) {
        float h = Clamp01((vx * ex + vy * ey) / (ex * ex + ey * ey));
        ox = vx - ex * h;
        oy = vy - ey * h;
    };
    float p0x, p0y, p1x, p1y, p2x, p2y;
    proj(v0x, v0y, e0x, e0y, p0x, p0y);
    proj(v1x, v1y, e1x, e1y, p1x, p1y);
    proj(v2x, v2y, e2x, e2y, p2x, p2y);
    float s = (e0x * e2y - e0y * e2x) > 0 ? 1.0f : -1.0f;
    float d0 = p0x * p0x + p0y * p0y, s0 = s * (v0x * e0y - v0y * e0x);
    float d1 = p1x * p1x + p1y * p1y, s1 = s * (v1x * e1y - v1y * e1x);
    float d2 = p2x * p2x + p2y * p2y, s2 = s * (v2x * e2y - v2y * e2x);
    float d = std::min(std::min(d0, d1), d2);
    float sg = std::min(std::min(s0, s1), s2);
    return -std::sqrt(d) * (sg > 0 ? 1.0f : -1.0f);
}

float Hash(uint32_t a, uint32_t b, uint32_t seed) {
    uint32_t h = a * 0x8da6b343u ^ b * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return (h & 0xffffff) / float(0xffffff);
}

float Noise(float x, float y, uint32_t seed, int period) {
    float fx = std::floor(x), fy = std::floor(y);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    auto wrap = [period](float v) { return uint32_t(((int64_t(v) % period) + period) % period); };
    uint32_t x0 = wrap(fx), x1 = wrap(fx + 1), y0 = wrap(fy), y1 = wrap(fy + 1);
    float a = Hash(x0, y0, seed), b = Hash(x1, y0, seed), c = Hash(x0, y1, seed), d = Hash(x1, y1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float Fbm(float x, float y, uint32_t seed, int octaves, int period) {
    float sum = 0, amp = 0.5f, norm = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += amp * Noise(x, y, seed + i * 101, period);
        norm += amp;
        x *= 2;
        y *= 2;
        period *= 2;
        amp *= 0.5f;
    }
    return sum / norm;
}

Canvas::Canvas(int width, int height, Color fill)
    : m_Width(width), m_Height(height), m_Pixels(size_t(width) * height, fill) {}

void Canvas::Over(int x, int y, const Color& c, float coverage) {
    if (x < 0 || y < 0 || x >= m_Width || y >= m_Height) return;
    Color& d = at(x, y);
    float sa = Clamp01(c.a * coverage);
    if (sa <= 0) return;
    float oa = sa + d.a * (1 - sa);
    d.r = (c.r * sa + d.r * d.a * (1 - sa)) / oa;
    d.g = (c.g * sa + d.g * d.a * (1 - sa)) / oa;
    d.b = (c.b * sa + d.b * d.a * (1 - sa)) / oa;
    d.a = oa;
}

void Canvas::Add(int x, int y, const Color& c, float amount) {
    if (x < 0 || y < 0 || x >= m_Width || y >= m_Height || amount <= 0) return;
    Color& d = at(x, y);
    d.r = Clamp01(d.r + c.r * amount);
    d.g = Clamp01(d.g + c.g * amount);
    d.b = Clamp01(d.b + c.b * amount);
    d.a = Clamp01(d.a + c.a * amount);
}

void DrawGlossyBlock(Canvas& c, float cx, float cy, float half, const Color& base, float opacity) {
    int x0 = std::max(0, int(cx - half - 2)), x1 = std::min(c.width(), int(cx + half + 3));
    int y0 = std::max(0, int(cy - half - 2)), y1 = std::min(c.height(), int(cy + half + 3));
    float radius = half * 0.28f, bevel = std::max(1.5f, half * 0.24f);
    c.ForEach(
        [&](int x, int y, float fx, float fy) {
            float d = SdRoundBox(fx, fy, cx, cy, half, half, radius);
            float cov = Coverage(d);
            if (cov <= 0) return;
            float u = (fx - cx) / half, v = (fy - cy) / half;
            float rim = Smoothstep(-bevel, 0.0f, d);
            float light = 1.0f + rim * (-u - v) * 0.45f;
            float grad = 1.12f - 0.28f * (v + 1.0f) * 0.5f;
            Color col = Scale(base, light * grad);
            float spec = std::exp(-((u + 0.3f) * (u + 0.3f) * 3.0f + (v + 0.5f) * (v + 0.5f) * 9.0f)) * 0.45f;
            col.r = Clamp01(col.r + spec);
            col.g = Clamp01(col.g + spec);
            col.b = Clamp01(col.b + spec);
            float edge = Smoothstep(-1.6f, 0.0f, d);
            col = Mix(col, Scale(base, 0.35f), edge * 0.8f);
            col.a = opacity;
            c.Over(x, y, col, cov);
        },
        x0, y0, x1, y1);
}

void AddGlow(Canvas& c, float cx, float cy, float radius, const Color& color, float strength) {
    float reach = radius * 3.0f;
    int x0 = std::max(0, int(cx - reach)), x1 = std::min(c.width(), int(cx + reach + 1));
    int y0 = std::max(0, int(cy - reach)), y1 = std::min(c.height(), int(cy + reach + 1));
    c.ForEach(
        [&](int x, int y, float fx, float fy) {
            float r2 = ((fx - cx) * (fx - cx) + (fy - cy) * (fy - cy)) / (radius * radius);
            c.Add(x, y, color, strength * std::exp(-r2));
        },
        x0, y0, x1, y1);
}

namespace {

uint8_t Byte(float v) { return uint8_t(std::lround(Clamp01(v) * 255.0f)); }

bool Save(const std::string& path, const std::string& bytes) {
    return assetgen::WriteBytes(path, bytes.data(), bytes.size());
}

void PngWrite(png_structp png, png_bytep data, png_size_t size) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), size);
}
void PngFlush(png_structp) {}

void Put16(std::string& s, uint32_t v) {
    s.push_back(char(v & 0xff));
    s.push_back(char((v >> 8) & 0xff));
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xffff);
    Put16(s, v >> 16);
}

}  // namespace

std::vector<uint32_t> Canvas::Argb() const {
    std::vector<uint32_t> out(m_Pixels.size());
    for (size_t i = 0; i < out.size(); ++i) {
        const Color& c = m_Pixels[i];
        out[i] = (uint32_t(Byte(c.a)) << 24) | (uint32_t(Byte(c.r)) << 16) | (uint32_t(Byte(c.g)) << 8) | Byte(c.b);
    }
    return out;
}

bool WritePng(const std::string& path, const Canvas& c, bool alpha) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    std::string bytes;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    png_set_write_fn(png, &bytes, PngWrite, PngFlush);
    png_set_IHDR(png, info, c.width(), c.height(), 8, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    int comp = alpha ? 4 : 3;
    std::vector<uint8_t> row(size_t(c.width()) * comp);
    for (int y = 0; y < c.height(); ++y) {
        for (int x = 0; x < c.width(); ++x) {
            const Color& p = c.at(x, y);
            uint8_t* o = &row[size_t(x) * comp];
            o[0] = Byte(p.r);
            o[1] = Byte(p.g);
            o[2] = Byte(p.b);
            if (alpha) o[3] = Byte(p.a);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return Save(path, bytes);
}

bool WriteJpg(const std::string& path, const Canvas& c, int quality) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* mem = nullptr;
    unsigned long memSize = 0;
    jpeg_mem_dest(&cinfo, &mem, &memSize);
    cinfo.image_width = JDIMENSION(c.width());
    cinfo.image_height = JDIMENSION(c.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(size_t(c.width()) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        int y = int(cinfo.next_scanline);
        for (int x = 0; x < c.width(); ++x) {
            const Color& p = c.at(x, y);
            row[size_t(x) * 3] = Byte(p.r);
            row[size_t(x) * 3 + 1] = Byte(p.g);
            row[size_t(x) * 3 + 2] = Byte(p.b);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::string bytes(reinterpret_cast<const char*>(mem), memSize);
    jpeg_destroy_compress(&cinfo);
    free(mem);
    return Save(path, bytes);
}

bool WriteBmp(const std::string& path, const Canvas& c) {
    uint32_t rowBytes = (uint32_t(c.width()) * 3 + 3) & ~3u;
    uint32_t dataSize = rowBytes * uint32_t(c.height());
    std::string s = "BM";
    Put32(s, 54 + dataSize);
    Put32(s, 0);
    Put32(s, 54);
    Put32(s, 40);
    Put32(s, uint32_t(c.width()));
    Put32(s, uint32_t(c.height()));  // bottom-up rows
    Put16(s, 1);
    Put16(s, 24);
    Put32(s, 0);
    Put32(s, dataSize);
    Put32(s, 2835);
    Put32(s, 2835);
    Put32(s, 0);
    Put32(s, 0);
    for (int y = c.height() - 1; y >= 0; --y) {
        size_t start = s.size();
        for (int x = 0; x < c.width(); ++x) {
            const Color& p = c.at(x, y);
            s.push_back(char(Byte(p.b)));
            s.push_back(char(Byte(p.g)));
            s.push_back(char(Byte(p.r)));
        }
        while (s.size() - start < rowBytes) s.push_back(0);
    }
    return Save(path, s);
}

bool WriteTga(const std::string& path, const Canvas& c) {
    std::string s;
    s.push_back(0);  // no id
    s.push_back(0);  // no colour map
    s.push_back(2);  // uncompressed true colour
    for (int i = 0; i < 5; ++i) s.push_back(0);
    Put16(s, 0);
    Put16(s, 0);
    Put16(s, uint32_t(c.width()));
    Put16(s, uint32_t(c.height()));
    s.push_back(32);
    s.push_back(0x28);  // 8 alpha bits, rows from the top
    for (int y = 0; y < c.height(); ++y) {
        for (int x = 0; x < c.width(); ++x) {
            const Color& p = c.at(x, y);
            s.push_back(char(Byte(p.b)));
            s.push_back(char(Byte(p.g)));
            s.push_back(char(Byte(p.r)));
            s.push_back(char(Byte(p.a)));
        }
    }
    return Save(path, s);
}

bool WriteDds(const std::string& path, const std::vector<const Canvas*>& faces, bool alpha) {
    if (faces.empty()) return false;
    const Canvas& first = *faces[0];
    bool cube = faces.size() == 6;
    std::string s = "DDS ";
    Put32(s, 124);
    Put32(s, 0x1 | 0x2 | 0x4 | 0x8 | 0x1000);  // caps, height, width, pitch, pixel format
    Put32(s, uint32_t(first.height()));
    Put32(s, uint32_t(first.width()));
    Put32(s, uint32_t(first.width()) * 4);
    Put32(s, 0);
    Put32(s, 1);
    for (int i = 0; i < 11; ++i) Put32(s, 0);
    Put32(s, 32);
    Put32(s, alpha ? 0x41 : 0x40);  // RGB (+ alpha pixels)
    Put32(s, 0);
    Put32(s, 32);
    Put32(s, 0xff0000);
    Put32(s, 0xff00);
    Put32(s, 0xff);
    Put32(s, alpha ? 0xff000000u : 0);
    Put32(s, 0x1000 | (cube ? 0x8 : 0));
    Put32(s, cube ? 0xfe00 : 0);
    Put32(s, 0);
    Put32(s, 0);
    Put32(s, 0);
    for (const Canvas* face : faces) {
        std::vector<uint32_t> texels = face->Argb();
        for (uint32_t t : texels) Put32(s, alpha ? t : (t | 0xff000000u));
    }
    return Save(path, s);
}

}  // namespace texgen
