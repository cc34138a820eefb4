// Mesh building for the generated .x files. Geometry follows Direct3D
// conventions: left-handed, clockwise front faces (cross(v1 - v0, v2 - v0)
// points out of the surface), one material per subset.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace assetgen {

struct MeshVertex {
    float p[3];
    float n[3];
    float uv[2];
};

struct MeshMaterial {
    float diffuse[4];
    float power;
    float specular[3];
    float emissive[3];
};

class MeshBuilder {
public:
    // Starts a new subset with its own material; later triangles belong to it.
    void BeginSubset(const MeshMaterial& material);

    uint32_t AddVertex(const MeshVertex& v);
    // Adds a triangle, turning it so its face normal agrees with the vertex
    // normals; triangles without area are dropped.
    void AddTriangle(uint32_t a, uint32_t b, uint32_t c);

    // A grid of (cols + 1) x (rows + 1) vertices from a surface function
    // taking (s, t) in [0, 1]; fills position, normal and uv.
    void AddSurface(int cols, int rows, const std::function<MeshVertex(float s, float t)>& surface);

    // Box with rounded edges: half extents, radius, bevel segments per 45
    // degrees (0: sharp edges).
    void AddRoundedBox(float hx, float hy, float hz, float radius, int segments);
    // The same rounded box built lean: one quad per flat face, 12 edge strips of
    // `segments` quads and 8 corner patches of segments^2 triangles, so
    // 12 + 24 s + 8 s^2 triangles. For meshes drawn small and often.
    void AddBevelledBox(float hx, float hy, float hz, float radius, int segments);

    // Polygon in the XZ plane (star-shaped around the origin, counter-clockwise
    // seen from +y) extruded from y0 to y1, with flat sides.
    void AddPrism(const std::vector<float>& xz, float y0, float y1, float uvRadius);

    // Moves the vertices added since `first`.
    void Translate(size_t first, float x, float y, float z);
    size_t VertexCount() const { return m_vertices.size(); }

    // Text X file with normals, texture coordinates and the material list.
    std::string ToXFile(const char* name) const;

private:
    std::vector<MeshVertex> m_vertices;
    std::vector<uint32_t> m_indices;
    std::vector<uint32_t> m_attributes;
    std::vector<MeshMaterial> m_materials;
};

MeshMaterial WhiteMaterial(float power = 20.f);

}  // namespace assetgen
