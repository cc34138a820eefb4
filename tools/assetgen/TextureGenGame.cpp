// Textures of the playing field: block surface and bump, the reflection cube,
// the frame metal, particles and the spark frames.
#include <algorithm>
#include <cmath>
#include <string>

#include "Generators.h"
#include "TextureGen.h"

namespace texgen {
namespace {

constexpr float kPi = 3.14159265358979f;

// Height of the block face: a raised panel with a bevelled rim, an engraved
// groove inside it and a faint grain. 0 at the edges, about 1 on the panel.
float BlockHeight(float x, float y, int size) {
    float c = size * 0.5f;
    float d = SdRoundBox(x, y, c, c, c - 18.0f, c - 18.0f, 26.0f);
    float h = Smoothstep(16.0f, -10.0f, d);
    float groove = std::exp(-((d + 34.0f) / 2.6f) * ((d + 34.0f) / 2.6f));
    h -= 0.35f * groove;
    h += 0.06f * (Fbm(x / 16.0f, y / 16.0f, 7, 4, size / 16) - 0.5f);
    return Clamp01(h);
}

bool BlockDiffuse(const std::string& root) {
    const int n = 256;
    Canvas c(n, n);
    c.ForEach([&](int x, int y, float fx, float fy) {
        // Light from the top-left on the bevel, from the height's slope.
        float hx = BlockHeight(fx + 1, fy, n) - BlockHeight(fx - 1, fy, n);
        float hy = BlockHeight(fx, fy + 1, n) - BlockHeight(fx, fy - 1, n);
        float shade = 1.0f + (hx + hy) * 1.6f;
        float h = BlockHeight(fx, fy, n);
        float base = 0.78f + 0.17f * h;
        float grain = 0.04f * (Fbm(fx / 6.0f, fy / 6.0f, 19, 3, n / 6) - 0.5f);
        float v = Clamp01(base * shade + grain);
        c.at(x, y) = Rgba(v, v, std::min(1.0f, v * 1.02f));
    });
    return WriteJpg(root + "/textures/block_diffuse.jpg", c, 92);
}

bool BlockBump(const std::string& root) {
    const int n = 256;
    Canvas c(n, n);
    c.ForEach([&](int x, int y, float fx, float fy) {
        float h = 0.15f + 0.75f * BlockHeight(fx, fy, n);
        c.at(x, y) = Rgba(h, h, h);
    });
    return WriteJpg(root + "/textures/block_bump.jpg", c, 95);
}

// The studio the blocks reflect: a warm horizon, a blue sky, a dark floor and
// a few soft lights.
Color Environment(float x, float y, float z) {
    float len = std::sqrt(x * x + y * y + z * z);
    x /= len, y /= len, z /= len;
    Color col;
    if (y >= 0) {
        col = Mix(Rgba(0.95f, 0.86f, 0.76f), Rgba(0.16f, 0.30f, 0.60f), std::pow(y, 0.55f));
    } else {
        col = Mix(Rgba(0.42f, 0.40f, 0.44f), Rgba(0.06f, 0.06f, 0.08f), std::pow(-y, 0.45f));
    }
    float band = 0.35f * std::exp(-(y / 0.07f) * (y / 0.07f));
    col.r += band, col.g += band * 0.8f, col.b += band * 0.55f;
    struct Light {
        float x, y, z, power, sharp;
        Color tint;
    } lights[] = {
        {-0.5f, 0.7f, -0.5f, 1.6f, 90.0f, Rgba(1.0f, 0.98f, 0.94f)},
        {0.75f, 0.35f, 0.3f, 0.9f, 60.0f, Rgba(0.7f, 0.85f, 1.0f)},
        {0.1f, 0.85f, 0.7f, 0.6f, 40.0f, Rgba(1.0f, 0.9f, 0.8f)},
    };
    for (const Light& l : lights) {
        float ll = std::sqrt(l.x * l.x + l.y * l.y + l.z * l.z);
        float d = std::max(0.0f, (x * l.x + y * l.y + z * l.z) / ll);
        float s = l.power * std::pow(d, l.sharp);
        col.r += l.tint.r * s, col.g += l.tint.g * s, col.b += l.tint.b * s;
    }
    col.r = Clamp01(col.r), col.g = Clamp01(col.g), col.b = Clamp01(col.b);
    col.a = 1.0f;
    return col;
}

bool CubeMap(const std::string& root) {
    const int n = 128;
    std::vector<Canvas> faces(6, Canvas(n, n));
    for (int f = 0; f < 6; ++f) {
        faces[f].ForEach([&](int x, int y, float fx, float fy) {
            float s = 2.0f * fx / n - 1.0f, t = 2.0f * fy / n - 1.0f;
            float d[6][3] = {{1, -t, -s}, {-1, -t, s}, {s, 1, t}, {s, -1, -t}, {s, -t, 1}, {-s, -t, -1}};
            faces[f].at(x, y) = Environment(d[f][0], d[f][1], d[f][2]);
        });
    }
    std::vector<const Canvas*> ptrs;
    for (const Canvas& f : faces) ptrs.push_back(&f);
    return WriteDds(root + "/textures/cube.dds", ptrs, false);
}

bool Bomb(const std::string& root) {
    const int n = 64;
    Canvas c(n, n);
    c.ForEach([&](int x, int y, float fx, float fy) {
        float u = fx / n - 0.35f, v = fy / n - 0.3f;
        float lit = std::exp(-(u * u + v * v) * 9.0f);
        float g = 0.08f + 0.35f * lit + 0.05f * Fbm(fx / 5, fy / 5, 3, 3, n / 5);
        c.at(x, y) = Rgba(g * 0.9f, g * 0.9f, g);
    });
    return WriteJpg(root + "/textures/bomb.jpg", c, 90);
}

bool FrameMetal(const std::string& root) {
    const int n = 256;
    Canvas c(n, n);
    c.ForEach([&](int x, int y, float fx, float fy) {
        // Brushed along the rows: noise stretched far along x.
        float streak = Fbm(fx / 64.0f, fy / 1.5f, 41, 4, n / 64);
        float sheen = 0.18f * std::exp(-((fy - 80.0f) / 40.0f) * ((fy - 80.0f) / 40.0f));
        float v = 0.50f + 0.22f * (streak - 0.5f) + sheen;
        c.at(x, y) = Rgba(v * 0.94f, v * 0.97f, Clamp01(v * 1.06f));
    });
    return WriteJpg(root + "/textures/frame.jpg", c, 92);
}

bool Particle(const std::string& root) {
    const int n = 64;
    Canvas c(n, n);
    c.ForEach([&](int x, int y, float fx, float fy) {
        float r = std::hypot(fx - 32.0f, fy - 32.0f) / 31.0f;
        float a = std::exp(-r * r * 4.5f) * (1.0f - Smoothstep(0.8f, 1.0f, r));
        a = Clamp01(a + 0.5f * std::exp(-r * r * 40.0f));
        c.at(x, y) = Rgba(1.0f, 1.0f, 1.0f, a);
    });
    return WritePng(root + "/textures/particle.png", c, true);
}

bool Particle2(const std::string& root) {
    const int n = 64;
    Canvas c(n, n);
    c.ForEach([&](int x, int y, float fx, float fy) {
        float dx = fx - 32.0f, dy = fy - 32.0f;
        float r = std::hypot(dx, dy) / 31.0f, th = std::atan2(dy, dx);
        float glow = 0.9f * std::exp(-r * r * 7.0f);
        float rays = std::pow(std::fabs(std::cos(2.0f * th)), 40.0f) * std::pow(std::max(0.0f, 1.0f - r), 1.5f);
        float diag = 0.5f * std::pow(std::fabs(std::sin(2.0f * th)), 60.0f) * std::pow(std::max(0.0f, 1.0f - r), 2.0f);
        float ring = 0.35f * std::exp(-((r - 0.55f) / 0.06f) * ((r - 0.55f) / 0.06f));
        float a = Clamp01(std::max(glow, rays + diag) + ring) * (1.0f - Smoothstep(0.9f, 1.0f, r));
        c.at(x, y) = Rgba(1.0f, 0.97f, 0.92f, a);
    });
    return WritePng(root + "/textures/particle2.png", c, true);
}

// Ten frames of a spark flaring up and fading, on black for additive drawing.
bool Sparks(const std::string& root) {
    const int n = 64;
    for (int k = 0; k < 10; ++k) {
        float t = k / 9.0f, fade = 1.0f - 0.75f * t;
        Canvas c(n, n, Rgba(0, 0, 0, 1));
        AddGlow(c, 32, 32, 14.0f + 6.0f * t, Rgba(1.0f, 0.45f, 0.12f, 0), 0.45f * fade);
        AddGlow(c, 32, 32, 5.0f - 2.0f * t, Rgba(1.0f, 0.95f, 0.8f, 0), 1.2f * fade);
        float len = 10.0f + 18.0f * t, spin = k * 7.0f * kPi / 180.0f;
        c.ForEach([&](int x, int y, float fx, float fy) {
            float dx = fx - 32.0f, dy = fy - 32.0f;
            float r = std::hypot(dx, dy), th = std::atan2(dy, dx);
            for (int i = 0; i < 8; ++i) {
                float a = i * kPi / 4.0f + spin;
                float along = r * std::cos(th - a), perp = std::fabs(r * std::sin(th - a));
                float li = (i % 2) ? len * 0.6f : len;
                if (along <= 0 || along >= li) continue;
                float w = std::exp(-(perp / 1.1f) * (perp / 1.1f)) * std::pow(1.0f - along / li, 1.2f);
                c.Add(x, y, Rgba(1.0f, 0.78f, 0.38f, 0), w * fade);
            }
        });
        for (int i = 0; i < 6; ++i) {
            float a = Hash(i, 0, 77) * 2 * kPi, rr = 6.0f + 22.0f * t * (0.6f + 0.4f * Hash(i, 1, 77));
            AddGlow(c, 32 + rr * std::cos(a), 32 + rr * std::sin(a), 1.3f, Rgba(1.0f, 0.85f, 0.5f, 0), 0.9f * fade);
        }
        if (!WriteBmp(root + "/textures/spark/ff" + std::to_string(k) + ".bmp", c)) return false;
    }
    return true;
}

bool FieldTextures(const std::string& root) {
    return BlockDiffuse(root) && BlockBump(root) && CubeMap(root) && Bomb(root) && FrameMetal(root) &&
           Particle(root) && Particle2(root) && Sparks(root);
}

assetgen::Registrar g_FieldTextures("field textures", FieldTextures);

}  // namespace
}  // namespace texgen
