// Reader for text DirectX X files: the Mesh template with its normals,
// texture coordinates and material list, optionally inside Frames with
// transforms. Every mesh of the file is merged into one, as D3DX does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "win32.h"

namespace xfile {

struct Vertex {
    float pos[3];
    float normal[3];
    float uv[2];
};

struct Material {
    float diffuse[4] = {1, 1, 1, 1};
    float power = 0;
    float specular[3] = {0, 0, 0};
    float emissive[3] = {0, 0, 0};
    std::string texture;  // empty when the material names none
};

struct MeshData {
    std::vector<Vertex> vertices;       // one per distinct (position, normal) pair
    std::vector<uint32_t> indices;      // triangle list
    std::vector<uint32_t> attributes;   // material index per triangle
    std::vector<Material> materials;
    bool hasNormals = false;            // false: normals were computed from the faces
    bool hasTexCoords = false;          // false: texture coordinates are zero
};

// Limits that keep a hostile file from asking for absurd allocations.
constexpr uint32_t kMaxElements = 4u * 1024u * 1024u;

// Parses the text of an X file. On failure returns a negative HRESULT
// (D3DXERR_INVALIDDATA for malformed data, D3DXERR_LOADEDMESHHASNODATA for
// a file without a mesh or without materials) and a short reason.
HRESULT Parse(const std::string& text, MeshData& out, std::string* error = nullptr);

// Reads and parses a file given by a Windows or host path.
HRESULT ParseFile(const char* path, MeshData& out, std::string* error = nullptr);

}  // namespace xfile
