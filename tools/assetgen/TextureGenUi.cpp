// Screen art: the loading picture and gauge, the HUD bar and bonus icons,
// the menu panel, glow, slider, pointer and theme arrows.
#include <algorithm>
#include <cmath>
#include <string>

#include "Generators.h"
#include "TextureGen.h"

namespace texgen {
namespace {

constexpr float kPi = 3.14159265358979f;

// ---- loading picture ----

// 5 x 7 block letters of the title.
const char* const kTitle[6][7] = {
    {"X...X", "X..X.", "X.X..", "XX...", "X.X..", "X..X.", "X...X"},
    {".XXX.", "X...X", "X...X", "X...X", "X...X", "X...X", ".XXX."},
    {"X....", "X....", "X....", "X....", "X....", "X....", "XXXXX"},
    {"X...X", "X...X", "X...X", "X...X", "X...X", ".X.X.", "..X.."},
    {".XXX.", "X...X", "X...X", "XXXXX", "X...X", "X...X", "X...X"},
    {"XXXX.", "X...X", "X...X", "XXXX.", "X.X..", "X..X.", "X...X"},
};

bool Intro(const std::string& root) {
    // Drawn into a square texture that the game stretches to a 4:3 screen, so
    // everything is laid out in screen units (4 x 3) and squeezed on the way.
    const int n = 1024;
    const float sx = n / 4.0f, sy = n / 3.0f;
    Canvas c(n, n);
    const float horizon = 2.05f;
    c.ForEach([&](int x, int y, float fx, float fy) {
        float u = fx / sx, v = fy / sy;
        Color top = Rgba(0.02f, 0.03f, 0.10f), mid = Rgba(0.20f, 0.07f, 0.28f), low = Rgba(0.02f, 0.12f, 0.16f);
        Color col = v < horizon ? Mix(top, mid, std::pow(v / horizon, 1.6f)) : Mix(mid, low, (v - horizon) / 0.95f);
        // Stars above the horizon.
        if (v < horizon - 0.1f) {
            int gx = int(fx / 6), gy = int(fy / 6);
            float h = Hash(gx, gy, 5);
            if (h > 0.985f) {
                float px = (gx + 0.5f) * 6, py = (gy + 0.5f) * 6;
                float s = std::exp(-((fx - px) * (fx - px) + (fy - py) * (fy - py)) / 2.0f) * (h - 0.985f) / 0.015f;
                col.r += s, col.g += s, col.b += s * 1.1f;
            }
        }
        // A glowing grid floor running to the horizon.
        if (v > horizon) {
            float depth = 0.35f / (v - horizon);
            float gz = depth * 2.0f, gxv = (u - 2.0f) * depth * 2.2f;
            float lz = std::fabs(gz - std::round(gz)) / (depth * 2.0f / sy * 1.2f + 1e-4f);
            float lx = std::fabs(gxv - std::round(gxv)) / (depth * 2.2f / sx * 1.2f + 1e-4f);
            float line = std::max(std::exp(-lz * lz * 0.5f), std::exp(-lx * lx * 0.5f));
            float fog = std::exp(-depth * 0.35f);
            col.r += line * 0.15f * fog, col.g += line * 0.75f * fog, col.b += line * 0.85f * fog;
        }
        float glow = std::exp(-((u - 2.0f) * (u - 2.0f) / 2.2f + (v - 1.15f) * (v - 1.15f) / 0.25f));
        col.r += glow * 0.35f, col.g += glow * 0.18f, col.b += glow * 0.45f;
        float hz = std::exp(-((v - horizon) / 0.02f) * ((v - horizon) / 0.02f));
        col.r += hz * 0.5f, col.g += hz * 0.3f, col.b += hz * 0.6f;
        col.a = 1;
        c.at(x, y) = col;
    });

    // Falling pieces in the background, with light trails.
    for (int i = 0; i < 14; ++i) {
        float u = 0.2f + 3.6f * Hash(i, 1, 9), v = 0.15f + 1.6f * Hash(i, 2, 9);
        if (std::fabs(v - 1.15f) < 0.45f && std::fabs(u - 2.0f) < 1.8f) v += 0.9f;
        float cell = 0.05f + 0.03f * Hash(i, 3, 9);
        Color tint = Mix(Hex(0x4060ff), Hex(0xff50c0), Hash(i, 4, 9));
        static const int kShapes[4][4][2] = {{{0, 0}, {1, 0}, {2, 0}, {1, 1}},
                                             {{0, 0}, {0, 1}, {0, 2}, {1, 2}},
                                             {{0, 0}, {1, 0}, {0, 1}, {1, 1}},
                                             {{0, 0}, {1, 0}, {1, 1}, {2, 1}}};
        const int(*shape)[2] = kShapes[i % 4];
        for (int b = 0; b < 4; ++b) {
            float bx = (u + shape[b][0] * cell) * sx, by = (v + shape[b][1] * cell) * sy;
            float trail = 0.35f * sy;
            c.ForEach(
                [&](int x, int y, float fx, float fy) {
                    float k = (by - fy) / trail;
                    if (k < 0 || k > 1) return;
                    float w = (1 - k) * std::exp(-((fx - bx) / (cell * sx * 0.4f)) * ((fx - bx) / (cell * sx * 0.4f)));
                    c.Add(x, y, tint, 0.12f * w);
                },
                std::max(0, int(bx - cell * sx)), std::max(0, int(by - trail)), std::min(n, int(bx + cell * sx)),
                std::min(n, int(by)));
            // Squeezed vertically so the block looks square on the 4:3 screen.
            Canvas block(int(cell * sx * 1.2f) + 4, int(cell * sx * 1.2f) + 4);
            DrawGlossyBlock(block, block.width() / 2.0f, block.height() / 2.0f, cell * sx * 0.45f, tint, 0.55f);
            float scaleY = sy / sx;
            for (int y = 0; y < int(block.height() * scaleY); ++y)
                for (int x = 0; x < block.width(); ++x) {
                    const Color& p = block.at(x, std::min(block.height() - 1, int(y / scaleY)));
                    c.Over(int(bx) + x - block.width() / 2, int(by) + y - int(block.height() * scaleY / 2), p);
                }
        }
    }

    // The title in glossy blocks, with a glow behind it.
    static const uint32_t kColours[6] = {0xff4040, 0xff9a30, 0xffe040, 0x50e060, 0x40c8ff, 0xb070ff};
    const float cell = 3.2f / 35.0f, left = 2.0f - 3.2f / 2.0f, topV = 1.15f - cell * 3.5f;
    for (int pass = 0; pass < 2; ++pass) {
        for (int l = 0; l < 6; ++l) {
            for (int row = 0; row < 7; ++row) {
                for (int col = 0; col < 5; ++col) {
                    if (kTitle[l][row][col] != 'X') continue;
                    float cu = left + (l * 6 + col + 0.5f) * cell, cv = topV + (row + 0.5f) * cell;
                    if (pass == 0) {
                        AddGlow(c, cu * sx, cv * sy, cell * sx * 0.9f, Hex(kColours[l], 0), 0.25f);
                        continue;
                    }
                    int size = int(cell * sx) + 4;
                    Canvas block(size, size);
                    DrawGlossyBlock(block, size / 2.0f, size / 2.0f, cell * sx * 0.46f, Hex(kColours[l]));
                    float scaleY = sy / sx;
                    int hgt = int(size * scaleY);
                    for (int y = 0; y < hgt; ++y)
                        for (int x = 0; x < size; ++x)
                            c.Over(int(cu * sx) + x - size / 2, int(cv * sy) + y - hgt / 2,
                                   block.at(x, std::min(size - 1, int(y / scaleY))));
                    // A faint reflection on the floor.
                    float mirrorV = 2.0f * horizon - cv + 0.12f;
                    for (int y = 0; y < hgt; ++y)
                        for (int x = 0; x < size; ++x) {
                            Color p = block.at(x, std::min(size - 1, size - 1 - int(y / scaleY)));
                            p.a *= 0.18f;
                            c.Over(int(cu * sx) + x - size / 2, int(mirrorV * sy) + y - hgt / 2, p);
                        }
                }
            }
        }
    }
    return WriteJpg(root + "/textures/intro.jpg", c, 90);
}

// ---- loading and time gauge: 71 frames of 50 x 50 in 10 columns ----

bool TimeRule(const std::string& root) {
    Canvas c(512, 512);
    for (int f = 0; f <= 70; ++f) {
        float p = f / 70.0f;
        float ox = (f % 10) * 50.0f, oy = (f / 10) * 50.0f;
        float cx = ox + 25.0f, cy = oy + 25.0f;
        c.ForEach(
            [&](int x, int y, float fx, float fy) {
                float dx = fx - cx, dy = fy - cy, r = std::hypot(dx, dy);
                // Angle clockwise from the top, 0..1.
                float a = std::atan2(dx, -dy) / (2 * kPi);
                if (a < 0) a += 1;
                float ringD = std::fabs(r - 17.5f) - 4.0f;
                float ring = Coverage(ringD);
                // Track, then the filled arc, then a halo around the arc.
                Color track = Rgba(0.10f, 0.13f, 0.18f, 0.65f);
                float filled = p >= 1.0f ? 1.0f : Clamp01((p - a) * 2 * kPi * r + 0.5f);
                Color hue = Mix(Hex(0x30d0ff), Hex(0x60ff70), Clamp01(a * 1.6f));
                hue = Mix(hue, Hex(0xffd040), Clamp01(a * 1.6f - 0.6f));
                float shine = 1.0f + 0.35f * Clamp01(1.0f - std::fabs(r - 19.0f) / 2.0f);
                Color arc = Scale(hue, shine);
                arc.a = 1.0f;
                Color px = Mix(track, arc, filled);
                px.a = (track.a + (1.0f - track.a) * filled) * ring;
                float halo = a <= p ? std::exp(-(ringD > 0 ? ringD : 0) / 2.0f) * (1.0f - ring) * 0.45f : 0.0f;
                if (halo > 0 && f > 0) {
                    Color h = hue;
                    h.a = halo;
                    c.Over(x, y, h);
                }
                c.Over(x, y, px);
                // Inner disc that fills up with the progress.
                float disc = Coverage(r - 11.0f);
                if (disc > 0) c.Over(x, y, Rgba(hue.r, hue.g, hue.b, 0.12f + 0.25f * p), disc);
            },
            int(ox), int(oy), int(ox) + 50, int(oy) + 50);
    }
    return WriteDds(root + "/textures/time_rule.dds", {&c}, true);
}

// ---- HUD ----

bool ScoreLine(const std::string& root) {
    const int w = 512, h = 64;
    const float cx = 256, cy = 32, hw = 250, hh = 22;
    Canvas frame(w, h), fill(w, h);
    frame.ForEach([&](int x, int y, float fx, float fy) {
        float d = SdRoundBox(fx, fy, cx, cy, hw, hh, hh);
        float outer = Coverage(d), inner = Coverage(d + 4.0f);
        float v = (fy - (cy - hh)) / (2 * hh);
        if (outer <= 0) return;
        Color rim = Mix(Rgba(0.85f, 0.92f, 1.0f), Rgba(0.30f, 0.38f, 0.50f), v);
        Color glass = Rgba(0.05f, 0.08f, 0.14f, 0.45f);
        glass = Mix(glass, Rgba(0.4f, 0.5f, 0.7f, 0.5f), Clamp01(0.35f - v) * 0.8f);
        Color px = Mix(rim, glass, inner);
        px.a = (1.0f - inner) * 1.0f + inner * glass.a;
        frame.Over(x, y, px, outer);
    });
    fill.ForEach([&](int x, int y, float fx, float fy) {
        float d = SdRoundBox(fx, fy, cx, cy, hw - 5, hh - 5, hh - 5);
        float cov = Coverage(d);
        if (cov <= 0) return;
        float u = (fx - (cx - hw)) / (2 * hw), v = (fy - (cy - hh + 5)) / (2 * (hh - 5));
        Color col = Mix(Hex(0x20b0ff), Hex(0x50ff90), u);
        col = Mix(col, Hex(0xfff060), Clamp01(u * 2.0f - 1.2f));
        float gloss = 1.0f + 0.55f * std::exp(-((v - 0.28f) / 0.16f) * ((v - 0.28f) / 0.16f));
        col = Scale(col, gloss * (1.05f - 0.35f * v));
        col.r = Clamp01(col.r), col.g = Clamp01(col.g), col.b = Clamp01(col.b);
        col.a = 1;
        fill.Over(x, y, col, cov);
    });
    return WritePng(root + "/textures/score_line.png", frame, true) &&
           WritePng(root + "/textures/score_line_full.png", fill, true);
}

// The round badge every bonus icon sits on.
void Badge(Canvas& c, const Color& ring, bool on) {
    c.ForEach([&](int x, int y, float fx, float fy) {
        float d = SdCircle(fx, fy, 64, 64, 58);
        float cov = Coverage(d);
        if (cov <= 0) return;
        float v = fy / 128.0f;
        Color inside = Mix(Rgba(0.16f, 0.18f, 0.26f, 0.75f), Rgba(0.04f, 0.05f, 0.08f, 0.85f), v);
        float rim = Smoothstep(-5.0f, -1.0f, d);
        Color px = Mix(inside, Rgba(ring.r, ring.g, ring.b, 1.0f), rim);
        c.Over(x, y, px, cov);
    });
    if (on) {
        c.ForEach([&](int x, int y, float fx, float fy) {
            float d = SdCircle(fx, fy, 64, 64, 58);
            if (d > 0) c.Add(x, y, Rgba(ring.r, ring.g, ring.b, 1.0f), 0.5f * std::exp(-d / 2.5f));
        });
    }
}

void Dim(Canvas& c) {
    c.ForEach([&](int x, int y, float, float) {
        Color& p = c.at(x, y);
        float g = (p.r * 0.3f + p.g * 0.55f + p.b * 0.15f) * 0.6f;
        p = Rgba(g, g, g * 1.05f, p.a * 0.6f);
    });
}

// Half the size by averaging 2 x 2 texels, weighted by alpha so that
// transparent texels do not darken the edges.
Canvas Halve(const Canvas& c) {
    Canvas out(c.width() / 2, c.height() / 2);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            Color sum;
            for (int k = 0; k < 4; ++k) {
                const Color& p = c.at(2 * x + (k & 1), 2 * y + (k >> 1));
                sum.r += p.r * p.a, sum.g += p.g * p.a, sum.b += p.b * p.a, sum.a += p.a;
            }
            out.at(x, y) = sum.a > 0 ? Rgba(sum.r / sum.a, sum.g / sum.a, sum.b / sum.a, sum.a / 4) : Color();
        }
    return out;
}

// Drawn at 128 x 128 and stored at 64 x 64: at the HUD's scale they then sit
// above the score bar and inside the screen.
bool Icons(const std::string& root) {
    for (int on = 0; on < 2; ++on) {
        // Figure: four blocks in a T.
        Canvas fig(128, 128);
        Badge(fig, Hex(0xffa030), on);
        static const int kT[4][2] = {{0, 0}, {1, 0}, {2, 0}, {1, 1}};
        for (const auto& b : kT) DrawGlossyBlock(fig, 36 + b[0] * 28.0f, 52 + b[1] * 28.0f, 12.5f, Hex(0xffa030));
        if (!on) Dim(fig);
        // Bomb: a dark sphere, a fuse and its spark.
        Canvas bomb(128, 128);
        Badge(bomb, Hex(0xff4030), on);
        bomb.ForEach([&](int x, int y, float fx, float fy) {
            float d = SdCircle(fx, fy, 58, 72, 30);
            float cov = Coverage(d);
            if (cov <= 0) return;
            float u = (fx - 46) / 30, v = (fy - 60) / 30;
            float lit = std::exp(-(u * u + v * v) * 2.5f);
            Color col = Rgba(0.10f + 0.5f * lit, 0.11f + 0.5f * lit, 0.14f + 0.55f * lit);
            bomb.Over(x, y, col, cov);
        });
        bomb.ForEach([&](int x, int y, float fx, float fy) {
            float d = SdRoundBox(fx, fy, 78, 44, 7, 6, 2);
            bomb.Over(x, y, Rgba(0.35f, 0.36f, 0.4f), Coverage(d));
            float t = Clamp01((fx - 80) / 20);
            float curve = 40 - 14 * std::sin(t * kPi * 0.8f);
            float fuse = std::fabs(fy - curve) - 2.0f;
            if (fx > 80 && fx < 100) bomb.Over(x, y, Rgba(0.75f, 0.62f, 0.4f), Coverage(fuse));
        });
        if (on) {
            AddGlow(bomb, 101, 30, 9, Rgba(1.0f, 0.6f, 0.2f, 1.0f), 0.8f);
            AddGlow(bomb, 101, 30, 3, Rgba(1.0f, 1.0f, 0.8f, 1.0f), 1.0f);
        }
        if (!on) Dim(bomb);
        // Saw: a toothed steel disc with a hub.
        Canvas saw(128, 128);
        Badge(saw, Hex(0x40c0ff), on);
        saw.ForEach([&](int x, int y, float fx, float fy) {
            float dx = fx - 64, dy = fy - 64, r = std::hypot(dx, dy), th = std::atan2(dy, dx);
            float tooth = std::fmod(th / (2 * kPi) * 16 + 16, 1.0f);
            float edge = 38 + 8 * tooth;
            float d = r - edge;
            float cov = Coverage(d);
            if (cov <= 0) return;
            float metal = 0.55f + 0.3f * std::cos(th * 2 - 0.8f) + 0.08f * std::cos(r * 0.9f);
            Color col = Rgba(metal * 0.85f, metal * 0.9f, Clamp01(metal * 1.05f));
            float hub = Coverage(r - 12), hole = Coverage(r - 5);
            col = Mix(col, Rgba(0.3f, 0.32f, 0.38f), hub);
            saw.Over(x, y, col, cov * (1 - hole));
        });
        if (!on) Dim(saw);
        std::string suffix = on ? "_on.png" : "_off.png";
        if (!WritePng(root + "/textures/figure" + suffix, Halve(fig), true) ||
            !WritePng(root + "/textures/bomb" + suffix, Halve(bomb), true) ||
            !WritePng(root + "/textures/saw" + suffix, Halve(saw), true))
            return false;
    }
    return true;
}

// ---- menus ----

// Laid over a selected button, stretched to about three times its text's width
// from a little before the text's start: an even, warm light that marks the row
// at a glance and, at no more than 0.6 alpha, leaves the letters under it readable.
bool Light(const std::string& root) {
    Canvas c(256, 128);
    c.ForEach([&](int x, int y, float fx, float fy) {
        float u = std::fabs(fx - 128) / 128, v = std::fabs(fy - 64) / 64;
        // A rounded box rather than an ellipse: the light fills most of its quad.
        float r = std::cbrt(u * u * u + v * v * v);
        float heart = std::exp(-(u * u + v * v) * 2.5f);
        Color col = Mix(Rgba(1.0f, 0.5f, 0.08f), Rgba(1.0f, 0.84f, 0.45f), heart);
        col.a = 0.6f * FadeOut(r, 0.5f, 0.97f);
        c.at(x, y) = col;
    });
    return WritePng(root + "/textures/light.png", c, true);
}

bool Slider(const std::string& root) {
    Canvas track(512, 64);
    track.ForEach([&](int x, int y, float fx, float fy) {
        float d = SdRoundBox(fx, fy, 256, 32, 236, 7, 7);
        float cov = Coverage(d);
        if (cov <= 0) {
            float halo = std::exp(-d / 3.0f) * 0.25f;
            track.Over(x, y, Rgba(0.5f, 0.8f, 1.0f, halo));
            return;
        }
        float v = (fy - 25) / 14;
        // A groove: dark at the top, lit at the bottom edge.
        Color col = Mix(Rgba(0.02f, 0.04f, 0.08f, 0.85f), Rgba(0.25f, 0.45f, 0.65f, 0.9f), Clamp01(v * v));
        float rim = Smoothstep(-2.0f, 0.0f, d);
        col = Mix(col, Rgba(0.7f, 0.85f, 1.0f, 1.0f), rim * 0.8f);
        track.Over(x, y, col, cov);
    });
    Canvas knob(64, 64);
    AddGlow(knob, 32, 32, 14, Rgba(0.4f, 0.8f, 1.0f, 1.0f), 0.55f);
    knob.ForEach([&](int x, int y, float fx, float fy) {
        float d = SdCircle(fx, fy, 32, 32, 22);
        float cov = Coverage(d);
        if (cov <= 0) return;
        float u = (fx - 24) / 22, v = (fy - 22) / 22;
        float lit = std::exp(-(u * u + v * v) * 1.8f);
        Color col = Mix(Rgba(0.15f, 0.35f, 0.6f), Rgba(0.95f, 0.98f, 1.0f), lit);
        col = Mix(col, Rgba(0.05f, 0.1f, 0.2f), Smoothstep(-2.0f, 0.0f, d) * 0.7f);
        knob.Over(x, y, col, cov);
    });
    return WritePng(root + "/textures/scroll.png", track, true) && WritePng(root + "/textures/scroller.png", knob, true);
}

bool MenuPanel(const std::string& root) {
    const int n = 512;
    Canvas panel(n, n), line(n, n);
    panel.ForEach([&](int x, int y, float fx, float fy) {
        float d = SdRoundBox(fx, fy, 256, 256, 248, 248, 28);
        float cov = Coverage(d);
        if (cov <= 0) return;
        float v = fy / n;
        float a = 0.80f - 0.16f * v;
        a += 0.04f * std::sin((fx + fy) * 0.12f);                  // fine diagonal lines
        a += 0.05f * (Fbm(fx / 32, fy / 32, 13, 3, n / 32) - 0.5f);  // cloudy
        float border = std::exp(-((d + 5.0f) / 2.0f) * ((d + 5.0f) / 2.0f));
        a = Clamp01(a + border * 0.25f);
        panel.Over(x, y, Rgba(0.96f, 1.0f, 0.96f, a), cov);
    });
    // The line stands right of the text column: the panel texture spans 0.34 to
    // 1.04 of the screen's width, so texel 380 falls at 0.86, clear of the items,
    // option values and sliders (which end before 0.76).
    line.ForEach([&](int x, int y, float fx, float fy) {
        float dx = fx - 380.0f;
        float a = std::exp(-(dx / 3.0f) * (dx / 3.0f)) + 0.35f * std::exp(-(dx / 14.0f) * (dx / 14.0f));
        a *= Smoothstep(0.0f, 70.0f, fy) * Smoothstep(float(n), n - 70.0f, fy);
        line.at(x, y) = Rgba(1, 1, 1, Clamp01(a));
    });
    return WritePng(root + "/textures/menu.png", panel, true) && WritePng(root + "/textures/menu_line.png", line, true);
}

bool Cursor(const std::string& root) {
    Canvas c(64, 64);
    // The tip sits on the top-left texel: that texel is the hot spot.
    const float pts[7][2] = {{0.6f, 0.6f}, {0.6f, 38}, {9.5f, 29.5f}, {16, 44}, {22.5f, 41}, {16, 27}, {28, 27}};
    auto shape = [&](float fx, float fy) {
        float d = std::min(SdTriangle(fx, fy, pts[0][0], pts[0][1], pts[1][0], pts[1][1], pts[6][0], pts[6][1]),
                           SdTriangle(fx, fy, pts[2][0], pts[2][1], pts[3][0], pts[3][1], pts[5][0], pts[5][1]));
        return std::min(d, SdTriangle(fx, fy, pts[3][0], pts[3][1], pts[4][0], pts[4][1], pts[5][0], pts[5][1]));
    };
    c.ForEach([&](int x, int y, float fx, float fy) {
        float shadow = shape(fx - 3, fy - 3);
        c.Over(x, y, Rgba(0, 0, 0, 0.35f * Clamp01(1.0f - shadow / 3.0f)));
    });
    c.ForEach([&](int x, int y, float fx, float fy) {
        float d = shape(fx, fy);
        float outline = Coverage(d - 1.2f);
        if (outline <= 0) return;
        c.Over(x, y, Rgba(0.03f, 0.06f, 0.12f), outline);
        float inner = Coverage(d + 0.6f);
        Color fill = Mix(Rgba(1, 1, 1), Rgba(0.55f, 0.85f, 1.0f), Clamp01((fx + fy) / 60.0f));
        c.Over(x, y, fill, inner);
    });
    c.at(0, 0) = Rgba(0.03f, 0.06f, 0.12f, 1.0f);
    return WriteDds(root + "/textures/cursor.dds", {&c}, true);
}

bool Arrows(const std::string& root) {
    for (int down = 0; down < 2; ++down) {
        Canvas c(64, 64);
        float tipY = down ? 54 : 10, baseY = down ? 14 : 50;
        AddGlow(c, 32, 32, 16, Rgba(0.4f, 0.75f, 1.0f, 1.0f), 0.35f);
        c.ForEach([&](int x, int y, float fx, float fy) {
            float d = SdTriangle(fx, fy, 32, tipY, 56, baseY, 8, baseY) - 2.0f;
            float cov = Coverage(d);
            if (cov <= 0) return;
            float v = fy / 64.0f;
            Color col = Mix(Rgba(0.85f, 0.95f, 1.0f), Rgba(0.15f, 0.45f, 0.9f), v);
            col = Mix(col, Rgba(0.05f, 0.15f, 0.35f), Smoothstep(-2.0f, 0.0f, d) * 0.8f);
            c.Over(x, y, col, cov);
        });
        if (!WriteTga(root + (down ? "/textures/next_theme.tga" : "/textures/prev_theme.tga"), c)) return false;
    }
    return true;
}

bool ScreenTextures(const std::string& root) {
    return Intro(root) && TimeRule(root) && ScoreLine(root) && Icons(root) && Light(root) && Slider(root) &&
           MenuPanel(root) && Cursor(root) && Arrows(root);
}

assetgen::Registrar g_ScreenTextures("screen textures", ScreenTextures);

}  // namespace
}  // namespace texgen
