// Text X file reader. Separators (',' and ';') carry no information once the
// counts are known, so the tokenizer drops them and the reader goes by counts;
// every count and index is checked before it is used.
#include "platform/d3dx9/XFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <new>
#include <utility>

#include "d3dx9mesh.h"
#include "platform.h"

namespace xfile {
namespace {

enum class Tok { End, Open, Close, Word, String };

struct Token {
    Tok kind = Tok::End;
    std::string text;
};

class Lexer {
public:
    explicit Lexer(const std::string& text, size_t start) : m_text(text), m_pos(start) {}

    Token Next() {
        SkipSpace();
        Token t;
        if (m_pos >= m_text.size()) return t;
        char c = m_text[m_pos];
        if (c == '{') {
            ++m_pos;
            t.kind = Tok::Open;
        } else if (c == '}') {
            ++m_pos;
            t.kind = Tok::Close;
        } else if (c == '"') {
            size_t end = m_text.find('"', m_pos + 1);
            if (end == std::string::npos) {
                m_pos = m_text.size();
                t.kind = Tok::End;
                m_broken = true;
                return t;
            }
            t.kind = Tok::String;
            t.text = m_text.substr(m_pos + 1, end - m_pos - 1);
            m_pos = end + 1;
        } else if (c == '<') {
            size_t end = m_text.find('>', m_pos + 1);
            size_t stop = end == std::string::npos ? m_text.size() : end + 1;
            t.kind = Tok::Word;
            t.text = m_text.substr(m_pos, stop - m_pos);
            m_pos = stop;
        } else {
            size_t start = m_pos;
            while (m_pos < m_text.size() && !IsDelimiter(m_text[m_pos])) ++m_pos;
            t.kind = Tok::Word;
            t.text = m_text.substr(start, m_pos - start);
        }
        return t;
    }

    bool Broken() const { return m_broken; }

private:
    static bool IsDelimiter(char c) {
        return c == '{' || c == '}' || c == '"' || c == ',' || c == ';' || c == ' ' || c == '\t' ||
               c == '\r' || c == '\n' || c == '<';
    }

    void SkipSpace() {
        while (m_pos < m_text.size()) {
            char c = m_text[m_pos];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == ';') {
                ++m_pos;
            } else if (c == '#' || (c == '/' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '/')) {
                while (m_pos < m_text.size() && m_text[m_pos] != '\n') ++m_pos;
            } else {
                break;
            }
        }
    }

    const std::string& m_text;
    size_t m_pos;
    bool m_broken = false;
};

struct Polygon {
    std::vector<uint32_t> idx;
};

// One Mesh object as read, before it joins the merged result.
struct RawMesh {
    std::vector<float> pos;  // 3 per vertex
    std::vector<Polygon> faces;
    bool hasNormals = false;
    std::vector<float> normals;  // 3 per normal
    std::vector<Polygon> normalFaces;
    bool hasUV = false;
    std::vector<float> uv;  // 2 per vertex
    bool hasMaterials = false;
    std::vector<uint32_t> faceMaterial;
    std::vector<Material> materials;
};

class Reader {
public:
    Reader(const std::string& text, size_t start, MeshData& out) : m_lex(text, start), m_out(out) {}

    bool Run() {
        for (;;) {
            Token t = m_lex.Next();
            if (t.kind == Tok::End) break;
            if (t.kind != Tok::Word) return Fail("unexpected symbol at top level");
            if (!Object(t.text, true)) return false;
        }
        if (m_lex.Broken()) return Fail("unterminated string");
        if (m_meshCount == 0) {
            m_result = D3DXERR_LOADEDMESHHASNODATA;
            return Fail("no mesh in the file");
        }
        if (m_out.materials.empty()) {
            m_result = D3DXERR_LOADEDMESHHASNODATA;
            return Fail("mesh without materials");
        }
        return true;
    }

    HRESULT Result() const { return m_result; }
    const std::string& Error() const { return m_error; }

private:
    bool Fail(const std::string& why) {
        if (m_error.empty()) m_error = why;
        return false;
    }

    // type [name] { ... }; template declarations and unknown objects are skipped.
    bool Object(const std::string& type, bool topLevel) {
        // Frames nest; a hostile file must not exhaust the stack.
        if (m_depth >= kMaxDepth) return Fail("objects nested too deeply");
        ++m_depth;
        bool ok = ObjectBody(type, topLevel);
        --m_depth;
        return ok;
    }

    bool ObjectBody(const std::string& type, bool topLevel) {
        std::string name;
        Token t = m_lex.Next();
        if (t.kind == Tok::Word) {
            name = t.text;
            t = m_lex.Next();
        }
        if (t.kind != Tok::Open) return Fail("'{' expected after " + type);
        if (type == "Mesh") return MeshObject();
        if (type == "Frame") return FrameObject();
        if (type == "Material" && topLevel) {
            Material m;
            if (!MaterialBody(m)) return false;
            m_namedMaterials[name] = m;
            return true;
        }
        return SkipBody();
    }

    bool SkipBody() {
        int depth = 1;
        while (depth > 0) {
            Token t = m_lex.Next();
            if (t.kind == Tok::End) return Fail("unexpected end of file");
            if (t.kind == Tok::Open) ++depth;
            if (t.kind == Tok::Close) --depth;
        }
        return true;
    }

    bool Float(float& v) {
        Token t = m_lex.Next();
        if (t.kind != Tok::Word) return Fail("number expected");
        const char* b = t.text.data();
        const char* e = b + t.text.size();
        double d = 0;
        auto r = std::from_chars(b, e, d);
        if (r.ec != std::errc() || r.ptr != e || !std::isfinite(d) || std::fabs(d) > 3.0e38)
            return Fail("bad number '" + t.text + "'");
        v = static_cast<float>(d);
        return true;
    }

    bool Count(uint32_t& v, uint32_t limit = kMaxElements) {
        Token t = m_lex.Next();
        if (t.kind != Tok::Word) return Fail("count expected");
        const char* b = t.text.data();
        const char* e = b + t.text.size();
        unsigned long long n = 0;
        auto r = std::from_chars(b, e, n);
        if (r.ec != std::errc() || r.ptr != e) return Fail("bad count '" + t.text + "'");
        if (n > limit) return Fail("count out of range");
        v = static_cast<uint32_t>(n);
        return true;
    }

    // Lists grow as their items are read, so a count the file does not back
    // with data costs nothing.
    bool Floats(std::vector<float>& out, uint32_t n) {
        out.clear();
        out.reserve(std::min<uint32_t>(n, 65536));
        for (uint32_t i = 0; i < n; ++i) {
            float v;
            if (!Float(v)) return false;
            out.push_back(v);
        }
        return true;
    }

    bool Faces(std::vector<Polygon>& faces, uint32_t vertexCount) {
        uint32_t n;
        if (!Count(n)) return false;
        faces.clear();
        faces.reserve(std::min<uint32_t>(n, 65536));
        for (uint32_t f = 0; f < n; ++f) {
            uint32_t k;
            if (!Count(k, 64)) return false;
            if (k < 3) return Fail("face with fewer than three corners");
            Polygon p;
            p.idx.resize(k);
            for (uint32_t i = 0; i < k; ++i) {
                if (!Count(p.idx[i])) return false;
                if (p.idx[i] >= vertexCount) return Fail("face index out of range");
            }
            faces.push_back(std::move(p));
        }
        return true;
    }

    bool Close() {
        if (m_lex.Next().kind != Tok::Close) return Fail("'}' expected");
        return true;
    }

    bool MaterialBody(Material& m) {
        for (float& f : m.diffuse)
            if (!Float(f)) return false;
        if (!Float(m.power)) return false;
        for (float& f : m.specular)
            if (!Float(f)) return false;
        for (float& f : m.emissive)
            if (!Float(f)) return false;
        for (;;) {
            Token t = m_lex.Next();
            if (t.kind == Tok::Close) return true;
            if (t.kind != Tok::Word) return Fail("unexpected symbol in Material");
            if (t.text == "TextureFilename" || t.text == "TextureFileName") {
                Token o = m_lex.Next();
                if (o.kind == Tok::Word) o = m_lex.Next();
                if (o.kind != Tok::Open) return Fail("'{' expected after TextureFilename");
                Token s = m_lex.Next();
                if (s.kind != Tok::String) return Fail("texture file name expected");
                m.texture = s.text;
                if (!Close()) return false;
            } else if (!Object(t.text, false)) {
                return false;
            }
        }
    }

    bool MaterialList(RawMesh& mesh) {
        uint32_t nMaterials, nIndexes;
        if (!Count(nMaterials, 65536) || !Count(nIndexes)) return false;
        if (nMaterials == 0) return Fail("material list without materials");
        if (nIndexes > mesh.faces.size()) return Fail("more material indexes than faces");
        if (nIndexes == 0 && !mesh.faces.empty()) return Fail("material list without face indexes");
        mesh.faceMaterial.resize(mesh.faces.size());
        for (uint32_t i = 0; i < nIndexes; ++i) {
            if (!Count(mesh.faceMaterial[i])) return false;
            if (mesh.faceMaterial[i] >= nMaterials) return Fail("material index out of range");
        }
        // Faces beyond the list take the last index, as the format allows.
        for (size_t i = nIndexes; i < mesh.faces.size(); ++i) mesh.faceMaterial[i] = mesh.faceMaterial[nIndexes - 1];
        for (;;) {
            Token t = m_lex.Next();
            if (t.kind == Tok::Close) break;
            if (t.kind == Tok::Open) {
                // A reference to a material declared at the top level.
                Token ref = m_lex.Next();
                if (ref.kind != Tok::Word) return Fail("material reference expected");
                auto it = m_namedMaterials.find(ref.text);
                if (it == m_namedMaterials.end()) return Fail("unknown material " + ref.text);
                mesh.materials.push_back(it->second);
                if (!Close()) return false;
                continue;
            }
            if (t.kind != Tok::Word) return Fail("unexpected symbol in MeshMaterialList");
            if (t.text == "Material") {
                Token o = m_lex.Next();
                if (o.kind == Tok::Word) o = m_lex.Next();
                if (o.kind != Tok::Open) return Fail("'{' expected after Material");
                Material m;
                if (!MaterialBody(m)) return false;
                mesh.materials.push_back(m);
            } else if (!Object(t.text, false)) {
                return false;
            }
        }
        if (mesh.materials.size() != nMaterials) return Fail("material count does not match");
        mesh.hasMaterials = true;
        return true;
    }

    bool MeshObject() {
        RawMesh mesh;
        uint32_t nVerts;
        if (!Count(nVerts)) return false;
        if (!Floats(mesh.pos, nVerts * 3)) return false;
        if (!Faces(mesh.faces, nVerts)) return false;
        for (;;) {
            Token t = m_lex.Next();
            if (t.kind == Tok::Close) break;
            if (t.kind != Tok::Word) return Fail("unexpected symbol in Mesh");
            const std::string type = t.text;
            if (type == "MeshNormals" || type == "MeshTextureCoords" || type == "MeshMaterialList") {
                Token o = m_lex.Next();
                if (o.kind == Tok::Word) o = m_lex.Next();
                if (o.kind != Tok::Open) return Fail("'{' expected after " + type);
                if (type == "MeshNormals") {
                    uint32_t n;
                    if (!Count(n) || !Floats(mesh.normals, n * 3)) return false;
                    if (!Faces(mesh.normalFaces, n)) return false;
                    if (mesh.normalFaces.size() != mesh.faces.size()) return Fail("normal face count does not match");
                    for (size_t f = 0; f < mesh.faces.size(); ++f)
                        if (mesh.normalFaces[f].idx.size() != mesh.faces[f].idx.size())
                            return Fail("normal face size does not match");
                    mesh.hasNormals = true;
                    if (!Close()) return false;
                } else if (type == "MeshTextureCoords") {
                    uint32_t n;
                    if (!Count(n)) return false;
                    if (n != nVerts) return Fail("texture coordinate count does not match");
                    if (!Floats(mesh.uv, n * 2)) return false;
                    mesh.hasUV = true;
                    if (!Close()) return false;
                } else {
                    if (!MaterialList(mesh)) return false;
                }
            } else if (!Object(type, false)) {
                return false;
            }
        }
        ++m_meshCount;
        return Append(mesh);
    }

    bool FrameObject() {
        size_t firstVertex = m_out.vertices.size();
        float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        bool hasMatrix = false;
        for (;;) {
            Token t = m_lex.Next();
            if (t.kind == Tok::Close) break;
            if (t.kind != Tok::Word) return Fail("unexpected symbol in Frame");
            if (t.text == "FrameTransformMatrix") {
                Token o = m_lex.Next();
                if (o.kind == Tok::Word) o = m_lex.Next();
                if (o.kind != Tok::Open) return Fail("'{' expected after FrameTransformMatrix");
                for (float& f : m)
                    if (!Float(f)) return false;
                if (!Close()) return false;
                hasMatrix = true;
            } else if (!Object(t.text, false)) {
                return false;
            }
        }
        if (hasMatrix) Transform(firstVertex, m);
        return true;
    }

    // Row vectors: p' = p * M; normals by the inverse transpose of the 3x3 part.
    void Transform(size_t first, const float* m) {
        float a = m[0], b = m[1], c = m[2], d = m[4], e = m[5], f = m[6], g = m[8], h = m[9], i = m[10];
        float det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
        float inv[9] = {e * i - f * h, c * h - b * i, b * f - c * e, f * g - d * i, a * i - c * g,
                        c * d - a * f, d * h - e * g, b * g - a * h, a * e - b * d};
        bool invertible = std::fabs(det) > 1e-20f;
        for (size_t k = first; k < m_out.vertices.size(); ++k) {
            Vertex& v = m_out.vertices[k];
            float x = v.pos[0], y = v.pos[1], z = v.pos[2];
            for (int j = 0; j < 3; ++j) v.pos[j] = x * m[j] + y * m[4 + j] + z * m[8 + j] + m[12 + j];
            if (!invertible) continue;
            // n' = n * (M^-1)^T, with inv holding the adjugate (M^-1 up to 1/det).
            float nx = v.normal[0], ny = v.normal[1], nz = v.normal[2];
            float r[3];
            for (int j = 0; j < 3; ++j) r[j] = nx * inv[j * 3 + 0] + ny * inv[j * 3 + 1] + nz * inv[j * 3 + 2];
            float len = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
            float s = (det < 0 ? -1.f : 1.f) / (len > 0 ? len : 1.f);
            for (int j = 0; j < 3; ++j) v.normal[j] = r[j] * s;
        }
    }

    bool Append(const RawMesh& mesh) {
        if (!mesh.hasMaterials) {
            m_result = D3DXERR_LOADEDMESHHASNODATA;
            return Fail("mesh without a material list");
        }
        const uint32_t materialBase = static_cast<uint32_t>(m_out.materials.size());
        m_out.materials.insert(m_out.materials.end(), mesh.materials.begin(), mesh.materials.end());
        const size_t vertexBase = m_out.vertices.size();
        m_out.hasNormals = (m_meshCount == 1 ? true : m_out.hasNormals) && mesh.hasNormals;
        m_out.hasTexCoords = (m_meshCount == 1 ? true : m_out.hasTexCoords) && mesh.hasUV;

        // Hard edges give one position several normals: one vertex per pair.
        std::map<std::pair<uint32_t, uint32_t>, uint32_t> made;
        auto vertexFor = [&](uint32_t p, uint32_t n) -> uint32_t {
            auto key = std::make_pair(p, mesh.hasNormals ? n : 0u);
            auto it = made.find(key);
            if (it != made.end()) return it->second;
            Vertex v{};
            for (int j = 0; j < 3; ++j) v.pos[j] = mesh.pos[p * 3 + j];
            if (mesh.hasNormals)
                for (int j = 0; j < 3; ++j) v.normal[j] = mesh.normals[n * 3 + j];
            if (mesh.hasUV)
                for (int j = 0; j < 2; ++j) v.uv[j] = mesh.uv[p * 2 + j];
            uint32_t index = static_cast<uint32_t>(m_out.vertices.size());
            m_out.vertices.push_back(v);
            made.emplace(key, index);
            return index;
        };
        for (size_t f = 0; f < mesh.faces.size(); ++f) {
            const std::vector<uint32_t>& idx = mesh.faces[f].idx;
            uint32_t corner[64];
            for (size_t k = 0; k < idx.size(); ++k)
                corner[k] = vertexFor(idx[k], mesh.hasNormals ? mesh.normalFaces[f].idx[k] : 0);
            // Polygons become fans, keeping their winding.
            for (size_t k = 1; k + 1 < idx.size(); ++k) {
                m_out.indices.push_back(corner[0]);
                m_out.indices.push_back(corner[k]);
                m_out.indices.push_back(corner[k + 1]);
                m_out.attributes.push_back(materialBase + mesh.faceMaterial[f]);
            }
        }
        if (m_out.vertices.size() > kMaxElements) return Fail("too many vertices");
        if (!mesh.hasNormals) SmoothNormals(vertexBase);
        return true;
    }

    // Normals for a mesh that has none: area-weighted face normals summed per
    // vertex (clockwise faces: cross(v1 - v0, v2 - v0) points outwards).
    void SmoothNormals(size_t first) {
        for (size_t t = 0; t + 2 < m_out.indices.size(); t += 3) {
            uint32_t i0 = m_out.indices[t], i1 = m_out.indices[t + 1], i2 = m_out.indices[t + 2];
            if (i0 < first) continue;
            const float* p0 = m_out.vertices[i0].pos;
            const float* p1 = m_out.vertices[i1].pos;
            const float* p2 = m_out.vertices[i2].pos;
            float e1[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
            float e2[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
            float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
            for (uint32_t i : {i0, i1, i2})
                for (int j = 0; j < 3; ++j) m_out.vertices[i].normal[j] += n[j];
        }
        for (size_t k = first; k < m_out.vertices.size(); ++k) {
            float* n = m_out.vertices[k].normal;
            float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            if (len > 0)
                for (int j = 0; j < 3; ++j) n[j] /= len;
        }
    }

    static const int kMaxDepth = 64;
    int m_depth = 0;
    Lexer m_lex;
    MeshData& m_out;
    std::map<std::string, Material> m_namedMaterials;
    int m_meshCount = 0;
    HRESULT m_result = D3DXERR_INVALIDDATA;
    std::string m_error;
};

}  // namespace

HRESULT Parse(const std::string& text, MeshData& out, std::string* error) {
    out = MeshData();
    // Header: "xof " version(4) format(4) float size(4).
    if (text.size() < 16 || text.compare(0, 4, "xof ") != 0) {
        if (error) *error = "not an X file";
        return D3DXERR_INVALIDDATA;
    }
    if (text.compare(8, 4, "txt ") != 0) {
        if (error) *error = "only text X files are supported";
        return D3DXERR_INVALIDDATA;
    }
    Reader reader(text, 16, out);
    try {
        if (!reader.Run()) {
            if (error) *error = reader.Error();
            HRESULT hr = reader.Result();
            out = MeshData();
            return hr;
        }
    } catch (const std::bad_alloc&) {
        if (error) *error = "out of memory";
        out = MeshData();
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT ParseFile(const char* path, MeshData& out, std::string* error) {
    out = MeshData();
    std::string text;
    if (!path || !platform::ReadWholeFile(platform::HostPath(path), text)) {
        if (error) *error = "cannot read the file";
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    return Parse(text, out, error);
}

}  // namespace xfile
