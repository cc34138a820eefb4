#include "MeshGen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace assetgen {
namespace {

void Cross(const float* a, const float* b, float* out) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

void Append(std::string& s, const char* fmt, double a) {
    char buf[64];
    snprintf(buf, sizeof buf, fmt, a);
    s += buf;
}

// Fixed notation with trailing zeros trimmed keeps files small and stable.
std::string Num(float v) {
    char buf[64];
    if (std::fabs(v) < 5e-7f) v = 0.f;
    snprintf(buf, sizeof buf, "%.6f", v);
    std::string s = buf;
    while (s.size() > 1 && s.back() == '0') s.pop_back();
    if (s.back() == '.') s += '0';
    return s;
}

}  // namespace

MeshMaterial WhiteMaterial(float power) {
    MeshMaterial m{{1, 1, 1, 1}, power, {1, 1, 1}, {0, 0, 0}};
    return m;
}

void MeshBuilder::BeginSubset(const MeshMaterial& material) { m_materials.push_back(material); }

uint32_t MeshBuilder::AddVertex(const MeshVertex& v) {
    m_vertices.push_back(v);
    return static_cast<uint32_t>(m_vertices.size() - 1);
}

void MeshBuilder::AddTriangle(uint32_t a, uint32_t b, uint32_t c) {
    const float* p0 = m_vertices[a].p;
    const float* p1 = m_vertices[b].p;
    const float* p2 = m_vertices[c].p;
    float e1[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
    float e2[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
    float fn[3];
    Cross(e1, e2, fn);
    float area2 = std::sqrt(fn[0] * fn[0] + fn[1] * fn[1] + fn[2] * fn[2]);
    float scale = std::sqrt(e1[0] * e1[0] + e1[1] * e1[1] + e1[2] * e1[2]) *
                  std::sqrt(e2[0] * e2[0] + e2[1] * e2[1] + e2[2] * e2[2]);
    if (area2 <= 1e-6f * scale || area2 < 1e-12f) return;
    float dot = 0;
    for (int i = 0; i < 3; ++i) dot += fn[i] * (m_vertices[a].n[i] + m_vertices[b].n[i] + m_vertices[c].n[i]);
    if (dot < 0) std::swap(b, c);
    m_indices.push_back(a);
    m_indices.push_back(b);
    m_indices.push_back(c);
    m_attributes.push_back(static_cast<uint32_t>(m_materials.empty() ? 0 : m_materials.size() - 1));
}

void MeshBuilder::AddSurface(int cols, int rows, const std::function<MeshVertex(float, float)>& surface) {
    uint32_t base = static_cast<uint32_t>(m_vertices.size());
    for (int r = 0; r <= rows; ++r)
        for (int c = 0; c <= cols; ++c) AddVertex(surface(float(c) / cols, float(r) / rows));
    auto at = [&](int c, int r) { return base + static_cast<uint32_t>(r * (cols + 1) + c); };
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            AddTriangle(at(c, r), at(c + 1, r), at(c, r + 1));
            AddTriangle(at(c + 1, r), at(c + 1, r + 1), at(c, r + 1));
        }
}

void MeshBuilder::AddRoundedBox(float hx, float hy, float hz, float radius, int segments) {
    const float h[3] = {hx, hy, hz};
    if (segments < 1) radius = 0;
    const int k = radius > 0 ? segments : 0;
    float inner[3];
    for (int i = 0; i < 3; ++i) inner[i] = h[i] - radius;
    // Grid coordinates of one axis on the unrounded box; the bevel steps are
    // spaced so that they fall at equal angles on the rounded edge.
    auto coords = [&](int axis) {
        std::vector<float> t;
        for (int i = k; i >= 0; --i) t.push_back(-inner[axis] - (k ? radius * std::tan(0.78539816f * i / k) : 0.f));
        for (int i = 0; i <= k; ++i) t.push_back(inner[axis] + (k ? radius * std::tan(0.78539816f * i / k) : 0.f));
        return t;
    };
    for (int axis = 0; axis < 3; ++axis)
        for (int sign = -1; sign <= 1; sign += 2) {
            // Face axes with cross(U, V) = outward normal, so the texture is not mirrored.
            int ua = (axis + 1) % 3, va = (axis + 2) % 3;
            if (sign < 0) std::swap(ua, va);
            std::vector<float> tu = coords(ua), tv = coords(va);
            uint32_t base = static_cast<uint32_t>(m_vertices.size());
            for (size_t j = 0; j < tv.size(); ++j)
                for (size_t i = 0; i < tu.size(); ++i) {
                    float p[3];
                    p[axis] = sign * h[axis];
                    p[ua] = tu[i];
                    p[va] = tv[j];
                    float c[3], d[3];
                    for (int a = 0; a < 3; ++a) {
                        c[a] = std::fmin(std::fmax(p[a], -inner[a]), inner[a]);
                        d[a] = p[a] - c[a];
                    }
                    MeshVertex v{};
                    float len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
                    for (int a = 0; a < 3; ++a) {
                        v.n[a] = len > 0 ? d[a] / len : (a == axis ? float(sign) : 0.f);
                        v.p[a] = radius > 0 && len > 0 ? c[a] + radius * v.n[a] : p[a];
                    }
                    v.uv[0] = (tu[i] + h[ua]) / (2 * h[ua]);
                    v.uv[1] = (tv[j] + h[va]) / (2 * h[va]);
                    AddVertex(v);
                }
            size_t w = tu.size();
            for (size_t j = 0; j + 1 < tv.size(); ++j)
                for (size_t i = 0; i + 1 < w; ++i) {
                    uint32_t a = base + uint32_t(j * w + i), b = a + 1, c = a + uint32_t(w), d = c + 1;
                    AddTriangle(a, b, c);
                    AddTriangle(b, d, c);
                }
        }
}

void MeshBuilder::AddBevelledBox(float hx, float hy, float hz, float radius, int segments) {
    const float h[3] = {hx, hy, hz};
    const int s = std::max(1, segments);
    float inner[3];
    for (int i = 0; i < 3; ++i) inner[i] = h[i] - radius;
    // A surface point: the inner box's point c pushed out along the unit normal n.
    // The texture is projected from the face the normal leans towards most.
    auto vertex = [&](const float c[3], const float n[3]) {
        MeshVertex v{};
        int axis = 0;
        for (int a = 1; a < 3; ++a)
            if (std::fabs(n[a]) > std::fabs(n[axis]) + 1e-6f) axis = a;
        int ua = (axis + 1) % 3, va = (axis + 2) % 3;
        if (n[axis] < 0) std::swap(ua, va);
        for (int a = 0; a < 3; ++a) {
            v.n[a] = n[a];
            v.p[a] = c[a] + radius * n[a];
        }
        v.uv[0] = (v.p[ua] + h[ua]) / (2 * h[ua]);
        v.uv[1] = (v.p[va] + h[va]) / (2 * h[va]);
        return AddVertex(v);
    };
    const float kQuarter = 1.57079633f;
    for (int axis = 0; axis < 3; ++axis)
        for (int sign = -1; sign <= 1; sign += 2) {
            int ua = (axis + 1) % 3, va = (axis + 2) % 3;
            uint32_t q[4];
            for (int k = 0; k < 4; ++k) {
                float c[3], n[3] = {0, 0, 0};
                c[axis] = sign * inner[axis];
                c[ua] = (k & 1 ? 1 : -1) * inner[ua];
                c[va] = (k & 2 ? 1 : -1) * inner[va];
                n[axis] = float(sign);
                q[k] = vertex(c, n);
            }
            AddTriangle(q[0], q[1], q[2]);
            AddTriangle(q[1], q[3], q[2]);
        }
    for (int along = 0; along < 3; ++along) {
        int a = (along + 1) % 3, b = (along + 2) % 3;
        for (int sa = -1; sa <= 1; sa += 2)
            for (int sb = -1; sb <= 1; sb += 2) {
                uint32_t prev[2] = {0, 0};
                for (int i = 0; i <= s; ++i) {
                    float angle = kQuarter * i / s, n[3], c[3];
                    n[along] = 0;
                    n[a] = sa * std::cos(angle);
                    n[b] = sb * std::sin(angle);
                    c[a] = sa * inner[a];
                    c[b] = sb * inner[b];
                    uint32_t cur[2];
                    for (int e = 0; e < 2; ++e) {
                        c[along] = (e ? 1 : -1) * inner[along];
                        cur[e] = vertex(c, n);
                    }
                    if (i > 0) {
                        AddTriangle(prev[0], prev[1], cur[0]);
                        AddTriangle(prev[1], cur[1], cur[0]);
                    }
                    prev[0] = cur[0], prev[1] = cur[1];
                }
            }
    }
    // Corner patches: the edges of each patch take the strips' angles exactly,
    // so the surfaces meet without cracks.
    for (int corner = 0; corner < 8; ++corner) {
        const float sg[3] = {corner & 1 ? 1.f : -1.f, corner & 2 ? 1.f : -1.f, corner & 4 ? 1.f : -1.f};
        float c[3];
        for (int a = 0; a < 3; ++a) c[a] = sg[a] * inner[a];
        std::vector<std::vector<uint32_t>> rows(s + 1);
        for (int i = 0; i <= s; ++i)
            for (int j = 0; i + j <= s; ++j) {
                float w[3] = {std::sin(kQuarter * (s - i - j) / s), std::sin(kQuarter * i / s), std::sin(kQuarter * j / s)};
                float len = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
                float n[3];
                for (int a = 0; a < 3; ++a) n[a] = sg[a] * w[a] / len;
                rows[i].push_back(vertex(c, n));
            }
        for (int i = 0; i < s; ++i)
            for (int j = 0; i + j < s; ++j) {
                AddTriangle(rows[i][j], rows[i + 1][j], rows[i][j + 1]);
                if (i + j + 1 < s) AddTriangle(rows[i + 1][j], rows[i + 1][j + 1], rows[i][j + 1]);
            }
    }
}

void MeshBuilder::AddPrism(const std::vector<float>& xz, float y0, float y1, float uvRadius) {
    size_t n = xz.size() / 2;
    for (int side = 0; side < 2; ++side) {
        float y = side ? y1 : y0, ny = side ? 1.f : -1.f;
        MeshVertex centre{{0, y, 0}, {0, ny, 0}, {0.5f, 0.5f}};
        uint32_t c = AddVertex(centre);
        uint32_t first = static_cast<uint32_t>(m_vertices.size());
        for (size_t i = 0; i < n; ++i) {
            float x = xz[2 * i], z = xz[2 * i + 1];
            MeshVertex v{{x, y, z}, {0, ny, 0}, {0.5f + x / (2 * uvRadius), 0.5f - z / (2 * uvRadius)}};
            AddVertex(v);
        }
        for (size_t i = 0; i < n; ++i) AddTriangle(c, first + uint32_t(i), first + uint32_t((i + 1) % n));
    }
    // Flat sides: each edge gets its own four vertices.
    float perimeter = 0;
    for (size_t i = 0; i < n; ++i) {
        float x0 = xz[2 * i], z0 = xz[2 * i + 1];
        float x1 = xz[2 * ((i + 1) % n)], z1 = xz[2 * ((i + 1) % n) + 1];
        float dx = x1 - x0, dz = z1 - z0;
        float len = std::sqrt(dx * dx + dz * dz);
        if (len <= 0) continue;
        // Outward for a counter-clockwise outline seen from +y.
        float nrm[3] = {dz / len, 0, -dx / len};
        // The outline is star-shaped around the origin: outward points away from it.
        if (nrm[0] * (x0 + x1) + nrm[2] * (z0 + z1) < 0) {
            nrm[0] = -nrm[0];
            nrm[2] = -nrm[2];
        }
        float u0 = perimeter / (2 * uvRadius), u1 = (perimeter + len) / (2 * uvRadius);
        perimeter += len;
        MeshVertex a{{x0, y0, z0}, {nrm[0], nrm[1], nrm[2]}, {u0, 1}};
        MeshVertex b{{x1, y0, z1}, {nrm[0], nrm[1], nrm[2]}, {u1, 1}};
        MeshVertex c{{x0, y1, z0}, {nrm[0], nrm[1], nrm[2]}, {u0, 0}};
        MeshVertex d{{x1, y1, z1}, {nrm[0], nrm[1], nrm[2]}, {u1, 0}};
        uint32_t ia = AddVertex(a), ib = AddVertex(b), ic = AddVertex(c), id = AddVertex(d);
        AddTriangle(ia, ib, ic);
        AddTriangle(ib, id, ic);
    }
}

void MeshBuilder::Translate(size_t first, float x, float y, float z) {
    for (size_t i = first; i < m_vertices.size(); ++i) {
        m_vertices[i].p[0] += x;
        m_vertices[i].p[1] += y;
        m_vertices[i].p[2] += z;
    }
}

std::string MeshBuilder::ToXFile(const char* name) const {
    std::string s = "xof 0303txt 0032\n";
    s += "// Generated by assetgen.\n";
    s += std::string("Mesh ") + name + " {\n";
    auto vec3List = [&](bool normals) {
        s += " " + std::to_string(m_vertices.size()) + ";\n";
        for (size_t i = 0; i < m_vertices.size(); ++i) {
            const float* v = normals ? m_vertices[i].n : m_vertices[i].p;
            s += " " + Num(v[0]) + ";" + Num(v[1]) + ";" + Num(v[2]) + ";";
            s += i + 1 < m_vertices.size() ? ",\n" : ";\n";
        }
    };
    auto faceList = [&]() {
        size_t n = m_indices.size() / 3;
        s += " " + std::to_string(n) + ";\n";
        for (size_t f = 0; f < n; ++f) {
            s += " 3;" + std::to_string(m_indices[3 * f]) + "," + std::to_string(m_indices[3 * f + 1]) + "," +
                 std::to_string(m_indices[3 * f + 2]) + ";";
            s += f + 1 < n ? ",\n" : ";\n";
        }
    };
    vec3List(false);
    faceList();
    s += " MeshNormals {\n";
    vec3List(true);
    faceList();
    s += " }\n MeshTextureCoords {\n";
    s += " " + std::to_string(m_vertices.size()) + ";\n";
    for (size_t i = 0; i < m_vertices.size(); ++i) {
        s += " " + Num(m_vertices[i].uv[0]) + ";" + Num(m_vertices[i].uv[1]) + ";";
        s += i + 1 < m_vertices.size() ? ",\n" : ";\n";
    }
    s += " }\n MeshMaterialList {\n";
    s += " " + std::to_string(m_materials.size()) + ";\n";
    s += " " + std::to_string(m_attributes.size()) + ";\n";
    for (size_t f = 0; f < m_attributes.size(); ++f) {
        s += " " + std::to_string(m_attributes[f]);
        s += f + 1 < m_attributes.size() ? ",\n" : ";\n";
    }
    for (const MeshMaterial& m : m_materials) {
        s += "  Material {\n   ";
        for (int i = 0; i < 4; ++i) s += Num(m.diffuse[i]) + ";";
        s += ";\n   ";
        Append(s, "%.1f;\n   ", m.power);
        for (int i = 0; i < 3; ++i) s += Num(m.specular[i]) + ";";
        s += ";\n   ";
        for (int i = 0; i < 3; ++i) s += Num(m.emissive[i]) + ";";
        s += ";\n  }\n";
    }
    s += " }\n}\n";
    return s;
}

}  // namespace assetgen
