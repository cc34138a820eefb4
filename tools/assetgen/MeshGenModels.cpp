// The game's meshes. Sizes follow the scales the game draws them with:
// blocks at 0.1 per unit in cells of 0.96, the frame at (0.052, 0.056, 0.06),
// the bomb at 0.012, the fuse at 0.005, the saw at 0.016 and its parts at 0.02,
// the bounce bomb at 0.0115.
#include <cmath>

#include "Generators.h"
#include "MeshGen.h"

namespace assetgen {
namespace {

constexpr float kPi = 3.14159265358979f;

bool Write(const std::string& root, const char* file, const MeshBuilder& mesh) {
    std::string name = file;
    std::string text = mesh.ToXFile(name.substr(0, name.find('.')).c_str());
    return WriteBytes(root + "/meshes/" + file, text.data(), text.size());
}

MeshMaterial Material(float r, float g, float b, float power = 20.f) {
    MeshMaterial m{{r, g, b, 1}, power, {1, 1, 1}, {0, 0, 0}};
    return m;
}

// Sphere around `centre`; `zUp` puts the poles on the z axis, otherwise on y.
void AddSphere(MeshBuilder& m, float cx, float cy, float cz, float r, int slices, int stacks, bool zUp) {
    m.AddSurface(slices, stacks, [=](float s, float t) {
        float theta = s * 2 * kPi, phi = t * kPi;
        float a = std::sin(phi) * std::cos(theta), b = std::sin(phi) * std::sin(theta), c = std::cos(phi);
        float n[3] = {a, zUp ? b : c, zUp ? c : b};
        MeshVertex v{{cx + r * n[0], cy + r * n[1], cz + r * n[2]}, {n[0], n[1], n[2]}, {s, t}};
        return v;
    });
}

// Ring in the plane spanned by axes u and v (0 x, 1 y, 2 z).
void AddTorus(MeshBuilder& m, float major, float minor, int u, int v, int slices, int sides) {
    int w = 3 - u - v;
    m.AddSurface(slices, sides, [=](float s, float t) {
        float a = s * 2 * kPi, b = t * 2 * kPi;
        float dir[3] = {0, 0, 0}, n[3] = {0, 0, 0};
        dir[u] = std::cos(a);
        dir[v] = std::sin(a);
        for (int i = 0; i < 3; ++i) n[i] = dir[i] * std::cos(b);
        n[w] = std::sin(b);
        MeshVertex vx{};
        for (int i = 0; i < 3; ++i) {
            vx.p[i] = dir[i] * major + n[i] * minor;
            vx.n[i] = n[i];
        }
        vx.uv[0] = s * 4;
        vx.uv[1] = t;
        return vx;
    });
}

// Open tube along y from y0 to y1 bending towards +x, with flat caps.
void AddFuse(MeshBuilder& m, float y0, float y1, float radius, float bend) {
    auto centreX = [=](float t) { return bend * t * t; };
    m.AddSurface(12, 16, [=](float s, float t) {
        float a = s * 2 * kPi;
        float y = y0 + (y1 - y0) * t;
        MeshVertex v{{centreX(t) + radius * std::cos(a), y, radius * std::sin(a)},
                     {std::cos(a), 0, std::sin(a)},
                     {s, t * 4}};
        return v;
    });
    for (int end = 0; end < 2; ++end) {
        float y = end ? y1 : y0, ny = end ? 1.f : -1.f, cx = centreX(end ? 1.f : 0.f);
        uint32_t c = m.AddVertex({{cx, y, 0}, {0, ny, 0}, {0.5f, 0.5f}});
        uint32_t first = c + 1;
        for (int i = 0; i < 12; ++i) {
            float a = i * 2 * kPi / 12;
            m.AddVertex({{cx + radius * std::cos(a), y, radius * std::sin(a)},
                         {0, ny, 0},
                         {0.5f + 0.5f * std::cos(a), 0.5f + 0.5f * std::sin(a)}});
        }
        for (int i = 0; i < 12; ++i) m.AddTriangle(c, first + i, first + (i + 1) % 12);
    }
}

// Counter-clockwise (seen from +y) outline of a saw blade in the XZ plane.
std::vector<float> SawOutline(float radius, int teeth) {
    std::vector<float> xz;
    for (int i = 0; i < teeth; ++i) {
        float a0 = i * 2 * kPi / teeth, a1 = (i + 0.75f) * 2 * kPi / teeth;
        // Each tooth rises slowly and drops sharply.
        xz.push_back(radius * 0.86f * std::cos(a0));
        xz.push_back(-radius * 0.86f * std::sin(a0));
        xz.push_back(radius * std::cos(a1));
        xz.push_back(-radius * std::sin(a1));
    }
    return xz;
}

// A 120-degree sector of a disc, counter-clockwise seen from +y, with a
// jagged broken edge along its two radii.
std::vector<float> SawSector(float radius, int index) {
    std::vector<float> xz;
    float start = index * 2 * kPi / 3, span = 2 * kPi / 3;
    xz.push_back(0);
    xz.push_back(0);
    const int arc = 16;
    for (int i = 0; i <= arc; ++i) {
        float a = start + span * i / arc;
        float r = radius * (i % 2 ? 1.f : 0.9f);
        xz.push_back(r * std::cos(a));
        xz.push_back(-r * std::sin(a));
    }
    return xz;
}

bool GenerateMeshes(const std::string& root) {
    bool ok = true;
    // Blocks: a 9-unit cube centred at the origin, rounder with each level.
    const char* blockFiles[3] = {"block_low.x", "block_medium.x", "block_high.x"};
    // Bevel steps per level: 44, 156 and 236 triangles (a block covers about
    // 29 pixels at 1024 x 768, so finer detail would not show).
    const int blockSegments[3] = {1, 3, 4};
    for (int level = 0; level < 3; ++level) {
        MeshBuilder m;
        m.BeginSubset(WhiteMaterial());
        m.AddBevelledBox(4.5f, 4.5f, 4.5f, 0.9f, blockSegments[level]);
        ok &= Write(root, blockFiles[level], m);
    }
    {
        MeshBuilder m;  // a shard of a broken block
        m.BeginSubset(WhiteMaterial());
        m.AddRoundedBox(1.2f, 0.8f, 0.5f, 0.f, 0);
        ok &= Write(root, "block_part.x", m);
    }
    {
        // Solid frame: a closed rectangle around the default 12 x 21 shape:
        // walls on columns 0 and 11 over every row, a bar one cell beyond row 0
        // and one beyond row 20 reaching over the walls' columns. Symmetric top
        // to bottom, so a flipped field shows the same frame. Field units
        // divided by the draw scale.
        const float sx = 0.052f, sy = 0.056f, sz = 0.06f, cell = 0.96f;
        const float wallX = 5.5f * cell, wallHalfY = 10.5f * cell;
        const float barY = 11.f * cell, barHalfX = 6.f * cell;
        MeshBuilder m;
        m.BeginSubset(WhiteMaterial(30.f));
        for (float side : {-1.f, 1.f}) {
            size_t first = m.VertexCount();
            m.AddRoundedBox(cell / 2 / sx, wallHalfY / sy, cell / 2 / sz, 0.15f / sy, 2);
            m.Translate(first, side * wallX / sx, 0, 0);
            first = m.VertexCount();
            m.AddRoundedBox(barHalfX / sx, cell / 2 / sy, cell / 2 / sz, 0.15f / sy, 2);
            m.Translate(first, 0, side * barY / sy, 0);
        }
        ok &= Write(root, "frame.x", m);
    }
    // Frame segments: unit cubes, scaled by the segment size when drawn.
    const char* segmentFiles[3] = {"frame_seg_low.x", "frame_seg_medium.x", "frame_seg_high.x"};
    for (int level = 0; level < 3; ++level) {
        MeshBuilder m;
        m.BeginSubset(WhiteMaterial(30.f));
        m.AddBevelledBox(0.5f, 0.5f, 0.5f, 0.12f, blockSegments[level]);
        ok &= Write(root, segmentFiles[level], m);
    }
    {
        MeshBuilder m;  // bomb: body of radius 75 with its neck towards +z
        m.BeginSubset(Material(0.25f, 0.25f, 0.3f, 40.f));
        AddSphere(m, 0, 0, 0, 75.f, 32, 16, true);
        m.BeginSubset(Material(0.6f, 0.55f, 0.4f, 40.f));
        size_t first = m.VertexCount();
        m.AddSurface(16, 1, [](float s, float t) {
            float a = s * 2 * kPi;
            MeshVertex v{{16.f * std::cos(a), 16.f * std::sin(a), 68.f + 14.f * t}, {std::cos(a), std::sin(a), 0}, {s, t}};
            return v;
        });
        uint32_t c = m.AddVertex({{0, 0, 82.f}, {0, 0, 1}, {0.5f, 0.5f}});
        uint32_t ring = static_cast<uint32_t>(m.VertexCount());
        for (int i = 0; i < 16; ++i) {
            float a = i * 2 * kPi / 16;
            m.AddVertex({{16.f * std::cos(a), 16.f * std::sin(a), 82.f}, {0, 0, 1}, {0.5f, 0.5f}});
        }
        for (int i = 0; i < 16; ++i) m.AddTriangle(c, ring + i, ring + (i + 1) % 16);
        (void)first;
        ok &= Write(root, "bomb.x", m);
    }
    {
        MeshBuilder m;  // fuse: from y -60 (inside the neck) to +100
        m.BeginSubset(Material(0.8f, 0.7f, 0.5f, 10.f));
        AddFuse(m, -60.f, 100.f, 5.f, 12.f);
        ok &= Write(root, "fitil.x", m);
    }
    {
        MeshBuilder m;
        m.BeginSubset(WhiteMaterial());
        AddSphere(m, 0, 0, 0, 50.f, 24, 12, false);
        ok &= Write(root, "sphere.x", m);
    }
    {
        MeshBuilder m;  // saw: a toothed disc of radius 60 in the XZ plane, with a hub
        m.BeginSubset(Material(0.85f, 0.85f, 0.9f, 60.f));
        m.AddPrism(SawOutline(60.f, 24), -2.f, 2.f, 60.f);
        m.BeginSubset(Material(0.4f, 0.4f, 0.45f, 30.f));
        std::vector<float> hub;
        for (int i = 0; i < 16; ++i) {
            float a = i * 2 * kPi / 16;
            hub.push_back(12.f * std::cos(a));
            hub.push_back(-12.f * std::sin(a));
        }
        m.AddPrism(hub, -5.f, 5.f, 12.f);
        ok &= Write(root, "saw.x", m);
    }
    const char* partFiles[3] = {"saw_part_1.x", "saw_part_2.x", "saw_part_3.x"};
    for (int i = 0; i < 3; ++i) {
        MeshBuilder m;
        m.BeginSubset(Material(0.85f, 0.85f, 0.9f, 60.f));
        m.AddPrism(SawSector(48.f, i), -2.f, 2.f, 48.f);
        ok &= Write(root, partFiles[i], m);
    }
    {
        MeshBuilder m;  // bounce bomb core
        m.BeginSubset(Material(0.1f, 0.1f, 0.1f, 20.f));
        AddSphere(m, 0, 0, 0, 45.f, 24, 12, false);
        ok &= Write(root, "res_p1.x", m);
    }
    {
        MeshBuilder m;  // bounce bomb glow: three rings around the core
        m.BeginSubset(WhiteMaterial(10.f));
        AddTorus(m, 57.f, 3.f, 0, 1, 48, 8);
        AddTorus(m, 57.f, 3.f, 1, 2, 48, 8);
        AddTorus(m, 57.f, 3.f, 2, 0, 48, 8);
        ok &= Write(root, "res_p2.x", m);
    }
    return ok;
}

Registrar g_MeshRegistrar("meshes", GenerateMeshes);

}  // namespace
}  // namespace assetgen
