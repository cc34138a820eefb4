#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "d3dx9mesh.h"
#include "platform/d3dx9/XFile.h"
#include "support/TestUtil.h"

namespace {

const char* kQuad = R"(xof 0303txt 0032
template Mesh { <3D82AB44-62DA-11cf-AB39-0020AF71E433> DWORD nVertices; array Vector vertices[nVertices]; [...] }
// a square at z = 0 facing -z, split as a polygon
Mesh quad {
 4;
 0.0;0.0;0.0;, 1.0;0.0;0.0;, 1.0;-1.0;0.0;, 0.0;-1.0;0.0;;
 1;
 4;0,1,2,3;;
 MeshNormals { 1; 0.0;0.0;-1.0;; 1; 4;0,0,0,0;; }
 MeshTextureCoords { 4; 0;0;, 1;0;, 1;1;, 0;1;; }
 MeshMaterialList { 1; 1; 0;;
  Material { 1.0;0.5;0.25;1.0;; 12.0; 0.1;0.2;0.3;; 0.0;0.0;0.0;; TextureFilename { "wood.png"; } }
 }
}
)";

std::string WithBody(const std::string& body) { return std::string("xof 0303txt 0032\n") + body; }

TEST(XFileTest, ReadsPolygonNormalsUvAndMaterial) {
    xfile::MeshData m;
    ASSERT_EQ(xfile::Parse(kQuad, m), S_OK);
    ASSERT_EQ(m.vertices.size(), 4u);
    ASSERT_EQ(m.indices.size(), 6u);  // the quad becomes a fan of two triangles
    EXPECT_EQ(m.indices[0], 0u);
    EXPECT_EQ(m.indices[4], 2u);
    EXPECT_EQ(m.attributes.size(), 2u);
    EXPECT_TRUE(m.hasNormals);
    EXPECT_TRUE(m.hasTexCoords);
    EXPECT_FLOAT_EQ(m.vertices[2].uv[0], 1.f);
    EXPECT_FLOAT_EQ(m.vertices[3].normal[2], -1.f);
    ASSERT_EQ(m.materials.size(), 1u);
    EXPECT_FLOAT_EQ(m.materials[0].diffuse[2], 0.25f);
    EXPECT_FLOAT_EQ(m.materials[0].power, 12.f);
    EXPECT_FLOAT_EQ(m.materials[0].specular[2], 0.3f);
    EXPECT_EQ(m.materials[0].texture, "wood.png");
}

TEST(XFileTest, HardEdgesSplitVerticesAndFramesTransform) {
    // One position used with two normals, a shared named material, a frame
    // that scales by 2 and moves by (10, 0, 0).
    std::string text = WithBody(R"(
Material Red { 1;0;0;1;; 5; 0;0;0;; 0;0;0;; }
Frame root {
 FrameTransformMatrix { 2,0,0,0, 0,2,0,0, 0,0,2,0, 10,0,0,1;; }
 Mesh {
  4; 0;0;0;, 1;0;0;, 0;1;0;, 0;0;1;;
  2; 3;0,1,2;, 3;0,2,3;;
  MeshNormals { 2; 0;0;-1;, -1;0;0;; 2; 3;0,0,0;, 3;1,1,1;; }
  MeshTextureCoords { 4; 0;0;, 1;0;, 0;1;, 1;1;; }
  MeshMaterialList { 2; 2; 0, 1;; { Red } Material { 0;1;0;1;; 5; 0;0;0;; 0;0;0;; } }
 }
})");
    xfile::MeshData m;
    std::string why;
    ASSERT_EQ(xfile::Parse(text, m, &why), S_OK) << why;
    EXPECT_EQ(m.vertices.size(), 6u);  // positions 0 and 2 appear with both normals
    EXPECT_FLOAT_EQ(m.vertices[1].pos[0], 12.f);
    EXPECT_FLOAT_EQ(m.vertices[2].pos[1], 2.f);
    EXPECT_NEAR(m.vertices[0].normal[2], -1.f, 1e-6);  // normals stay unit length
    ASSERT_EQ(m.materials.size(), 2u);
    EXPECT_FLOAT_EQ(m.materials[0].diffuse[0], 1.f);
    EXPECT_EQ(m.attributes[1], 1u);
}

TEST(XFileTest, MissingNormalsAndUvsAreFilledIn) {
    std::string text = WithBody(R"(Mesh {
 3; 0;0;0;, 1;0;0;, 0;-1;0;;
 1; 3;0,1,2;;
 MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 1; 0;0;0;; 0;0;0;; } }
})");
    xfile::MeshData m;
    ASSERT_EQ(xfile::Parse(text, m), S_OK);
    EXPECT_FALSE(m.hasNormals);
    EXPECT_FALSE(m.hasTexCoords);
    // cross((1,0,0), (0,-1,0)) = (0,0,-1): the face's own outward normal.
    EXPECT_FLOAT_EQ(m.vertices[0].normal[2], -1.f);
    EXPECT_FLOAT_EQ(m.vertices[1].uv[0], 0.f);
}

TEST(XFileTest, BadFilesFailCleanly) {
    const std::string goodTail = R"(
 MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 1; 0;0;0;; 0;0;0;; } }
})";
    struct Case {
        const char* what;
        std::string text;
        HRESULT expected;
    } cases[] = {
        {"empty", "", D3DXERR_INVALIDDATA},
        {"garbage", "\x01\x02garbage that is no x file at all", D3DXERR_INVALIDDATA},
        {"binary", "xof 0303bin 0032\x01\x02\x03", D3DXERR_INVALIDDATA},
        {"no mesh", WithBody("Frame f { }"), D3DXERR_LOADEDMESHHASNODATA},
        {"no materials", WithBody("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }"), D3DXERR_LOADEDMESHHASNODATA},
        {"too few vertices", WithBody("Mesh { 5; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;" + goodTail),
         D3DXERR_INVALIDDATA},
        {"index out of range", WithBody("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,3;;" + goodTail),
         D3DXERR_INVALIDDATA},
        {"two-corner face", WithBody("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 2;0,1;;" + goodTail),
         D3DXERR_INVALIDDATA},
        {"uv count", WithBody("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshTextureCoords { 2; 0;0;, 1;1;; }" +
                              goodTail),
         D3DXERR_INVALIDDATA},
        {"normal faces", WithBody("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshNormals { 1; 0;0;1;; 0; }" +
                                  goodTail),
         D3DXERR_INVALIDDATA},
        {"material index", WithBody(R"(Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;
             MeshMaterialList { 1; 1; 4;; Material { 1;1;1;1;; 1; 0;0;0;; 0;0;0;; } } })"),
         D3DXERR_INVALIDDATA},
        {"material count", WithBody(R"(Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;
             MeshMaterialList { 2; 1; 0;; Material { 1;1;1;1;; 1; 0;0;0;; 0;0;0;; } } })"),
         D3DXERR_INVALIDDATA},
        {"unknown reference", WithBody(R"(Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;
             MeshMaterialList { 1; 1; 0;; { Nowhere } } })"),
         D3DXERR_INVALIDDATA},
        {"huge count", WithBody("Mesh { 4000000000; 0;0;0;" + goodTail), D3DXERR_INVALIDDATA},
        {"negative count", WithBody("Mesh { -3; 0;0;0;" + goodTail), D3DXERR_INVALIDDATA},
        {"bad number", WithBody("Mesh { 3; 0;0;0;, 1;x;0;, 0;1;0;; 1; 3;0,1,2;;" + goodTail), D3DXERR_INVALIDDATA},
        {"truncated", WithBody("Mesh { 3; 0;0;0;, 1;0;0;"), D3DXERR_INVALIDDATA},
        {"unbalanced", WithBody("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; Foo { { }" + goodTail),
         D3DXERR_INVALIDDATA},
        {"deep frames", WithBody([] {
             std::string t;
             for (int i = 0; i < 100000; ++i) t += "Frame {";
             return t;
         }()),
         D3DXERR_INVALIDDATA},
        {"open string", WithBody(R"(Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;
             MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 1; 0;0;0;; 0;0;0;; TextureFilename { "oops } } })"),
         D3DXERR_INVALIDDATA},
    };
    for (const Case& c : cases) {
        xfile::MeshData m;
        std::string why;
        EXPECT_EQ(xfile::Parse(c.text, m, &why), c.expected) << c.what;
        EXPECT_FALSE(why.empty()) << c.what;
        EXPECT_TRUE(m.vertices.empty() && m.materials.empty()) << c.what;
    }
}

TEST(XFileTest, MissingFileFails) {
    xfile::MeshData m;
    EXPECT_TRUE(FAILED(xfile::ParseFile("no\\such\\mesh.x", m)));
    EXPECT_TRUE(FAILED(xfile::ParseFile(nullptr, m)));
}

// The generated game meshes: every file parses with normals, texture
// coordinates and a material, faces wind clockwise seen from outside
// (cross(v1 - v0, v2 - v0) along the normals), and sizes match their use.
struct Bounds {
    float lo[3] = {1e30f, 1e30f, 1e30f};
    float hi[3] = {-1e30f, -1e30f, -1e30f};
    float radius = 0;  // largest distance from the origin
};

Bounds LoadGenerated(const char* name, xfile::MeshData& m) {
    const std::string path = testutil::GameData(std::string("meshes/") + name);
    std::string why;
    EXPECT_EQ(xfile::ParseFile(path.c_str(), m, &why), S_OK) << name << ": " << why;
    Bounds b;
    for (const xfile::Vertex& v : m.vertices) {
        for (int i = 0; i < 3; ++i) {
            b.lo[i] = std::fmin(b.lo[i], v.pos[i]);
            b.hi[i] = std::fmax(b.hi[i], v.pos[i]);
        }
        b.radius = std::fmax(b.radius, std::sqrt(v.pos[0] * v.pos[0] + v.pos[1] * v.pos[1] + v.pos[2] * v.pos[2]));
    }
    return b;
}

TEST(XFileTest, GeneratedMeshesAreWellFormed) {
    const char* names[] = {"block_low.x",      "block_medium.x",  "block_high.x",   "block_part.x",
                           "frame.x",          "frame_seg_low.x", "frame_seg_medium.x", "frame_seg_high.x",
                           "bomb.x",           "fitil.x",         "sphere.x",       "saw.x",
                           "saw_part_1.x",     "saw_part_2.x",    "saw_part_3.x",   "res_p1.x",
                           "res_p2.x"};
    for (const char* name : names) {
        xfile::MeshData m;
        LoadGenerated(name, m);
        ASSERT_FALSE(m.indices.empty()) << name;
        EXPECT_TRUE(m.hasNormals) << name;
        EXPECT_TRUE(m.hasTexCoords) << name;
        EXPECT_GE(m.materials.size(), 1u) << name;
        EXPECT_LT(m.vertices.size(), 65536u) << name;  // 16-bit indices suffice
        int inward = 0;
        for (size_t t = 0; t < m.indices.size(); t += 3) {
            const float* p0 = m.vertices[m.indices[t]].pos;
            const float* p1 = m.vertices[m.indices[t + 1]].pos;
            const float* p2 = m.vertices[m.indices[t + 2]].pos;
            float e1[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
            float e2[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
            float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
            const float* vn = m.vertices[m.indices[t]].normal;
            if (n[0] * vn[0] + n[1] * vn[1] + n[2] * vn[2] <= 0) ++inward;
        }
        EXPECT_EQ(inward, 0) << name;
        // Subsets are the materials: every material is used.
        std::vector<int> used(m.materials.size());
        for (uint32_t a : m.attributes) used.at(a)++;
        for (size_t i = 0; i < used.size(); ++i) EXPECT_GT(used[i], 0) << name << " material " << i;
    }
}

TEST(XFileTest, GeneratedMeshSizesFitTheirScales) {
    xfile::MeshData m;
    for (const char* name : {"block_low.x", "block_medium.x", "block_high.x"}) {
        Bounds b = LoadGenerated(name, m);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(b.hi[i], 4.5f, 1e-4) << name;  // a 9-unit cube: 0.9 of a 9.6-unit cell
            EXPECT_NEAR(b.lo[i], -4.5f, 1e-4) << name;
        }
    }
    EXPECT_LT(LoadGenerated("block_low.x", m).radius, LoadGenerated("block_medium.x", m).radius + 1e-3f);
    Bounds seg = LoadGenerated("frame_seg_medium.x", m);
    EXPECT_NEAR(seg.hi[0] - seg.lo[0], 1.f, 1e-4);
    // Solid frame in field units: walls on the outer columns of the default
    // 12 x 21 shape and a bar one cell beyond its first and last rows.
    Bounds frame = LoadGenerated("frame.x", m);
    const float columns = 12, rows = 21;
    EXPECT_NEAR(frame.hi[0] * 0.052f, columns / 2 * 0.96f, 1e-3);
    EXPECT_NEAR(frame.lo[0] * 0.052f, -columns / 2 * 0.96f, 1e-3);
    EXPECT_NEAR(frame.hi[1] * 0.056f, (rows / 2 + 1) * 0.96f, 1e-3);
    EXPECT_NEAR(frame.lo[1] * 0.056f, -(rows / 2 + 1) * 0.96f, 1e-3);
    // Bomb: radius 75 (0.9 at scale 0.012) with the neck on +z.
    Bounds bomb = LoadGenerated("bomb.x", m);
    EXPECT_NEAR(bomb.hi[0], 75.f, 0.5f);
    EXPECT_GT(bomb.hi[2], 76.f);
    EXPECT_NEAR(bomb.lo[2], -75.f, 0.5f);
    Bounds fuse = LoadGenerated("fitil.x", m);
    EXPECT_NEAR(fuse.lo[1], -60.f, 1e-3);
    EXPECT_NEAR(fuse.hi[1], 100.f, 1e-3);
    // Saw: a flat disc of radius 60 in the XZ plane.
    Bounds saw = LoadGenerated("saw.x", m);
    EXPECT_NEAR(saw.hi[0], 60.f, 0.5f);
    EXPECT_LT(saw.hi[1] - saw.lo[1], 12.f);
    for (const char* name : {"saw_part_1.x", "saw_part_2.x", "saw_part_3.x"})
        EXPECT_NEAR(LoadGenerated(name, m).radius, 48.f, 2.6f) << name;
    EXPECT_NEAR(LoadGenerated("res_p1.x", m).radius, 45.f, 0.1f);
    EXPECT_NEAR(LoadGenerated("res_p2.x", m).radius, 60.f, 0.1f);
}

}  // namespace
