// Raster helpers for the generated textures: a float RGBA canvas, signed
// distance shapes with anti-aliased edges, deterministic noise and writers
// for PNG, JPG, BMP, TGA and DDS.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace texgen {

struct Color {
    float r = 0, g = 0, b = 0, a = 0;
};

inline Color Rgba(float r, float g, float b, float a = 1.0f) { return Color{r, g, b, a}; }
inline Color Hex(uint32_t rgb, float a = 1.0f) {
    return Color{((rgb >> 16) & 0xff) / 255.0f, ((rgb >> 8) & 0xff) / 255.0f, (rgb & 0xff) / 255.0f, a};
}
Color Mix(const Color& a, const Color& b, float t);
Color Scale(const Color& c, float k);  // rgb only

float Clamp01(float v);
float Smoothstep(float e0, float e1, float v);
// 1 up to distance `from`, falling smoothly to 0 at `to`: a glow that ends
// inside its texture instead of at the texture's square edge.
inline float FadeOut(float distance, float from, float to) { return 1.0f - Smoothstep(from, to, distance); }
// Coverage of a shape edge from a signed distance in pixels (negative inside).
inline float Coverage(float d) { return Clamp01(0.5f - d); }

// Signed distances (negative inside).
float SdCircle(float x, float y, float cx, float cy, float r);
float SdRoundBox(float x, float y, float cx, float cy, float hw, float hh, float radius);
float SdSegment(float x, float y, float ax, float ay, float bx, float by);
float SdTriangle(float x, float y, float ax, float ay, float bx, float by, float cx, float cy);

// Value noise in 0..1, repeating every `period` cells, and its fractal sum.
float Noise(float x, float y, uint32_t seed, int period = 1 << 20);
float Fbm(float x, float y, uint32_t seed, int octaves, int period = 1 << 20);
// A hash of integers in 0..1.
float Hash(uint32_t a, uint32_t b, uint32_t seed);

class Canvas {
public:
    Canvas(int width, int height, Color fill = Color());
    int width() const { return m_Width; }
    int height() const { return m_Height; }
    Color& at(int x, int y) { return m_Pixels[size_t(y) * m_Width + x]; }
    const Color& at(int x, int y) const { return m_Pixels[size_t(y) * m_Width + x]; }

    // Source over destination, with the source's alpha times coverage.
    void Over(int x, int y, const Color& c, float coverage = 1.0f);
    // Adds light: rgb += c.rgb * amount, alpha += c.a * amount (both clamped).
    void Add(int x, int y, const Color& c, float amount);

    // Calls f(x + 0.5, y + 0.5) for every pixel centre of a region.
    template <class F>
    void ForEach(F f, int x0 = 0, int y0 = 0, int x1 = -1, int y1 = -1) {
        if (x1 < 0) x1 = m_Width;
        if (y1 < 0) y1 = m_Height;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) f(x, y, x + 0.5f, y + 0.5f);
    }

    // A8R8G8B8 texels, rows from the top.
    std::vector<uint32_t> Argb() const;

private:
    int m_Width, m_Height;
    std::vector<Color> m_Pixels;
};

// A glossy bevelled block (rounded square of half size `half`) lit from the top-left.
void DrawGlossyBlock(Canvas& c, float cx, float cy, float half, const Color& base, float opacity = 1.0f);
// Additive round glow: colour * strength * exp(-(r / radius)^2).
void AddGlow(Canvas& c, float cx, float cy, float radius, const Color& color, float strength);

// Writers; false when the file cannot be written. The paths are host paths.
bool WritePng(const std::string& path, const Canvas& c, bool alpha);
bool WriteJpg(const std::string& path, const Canvas& c, int quality);
bool WriteBmp(const std::string& path, const Canvas& c);  // 24-bit, no alpha
bool WriteTga(const std::string& path, const Canvas& c);  // 32-bit with alpha
// Uncompressed DDS, 32 bits per texel, level 0 only. Six canvases make a cube
// map (face order +X -X +Y -Y +Z -Z); alpha=false writes X8R8G8B8.
bool WriteDds(const std::string& path, const std::vector<const Canvas*>& faces, bool alpha);

}  // namespace texgen
