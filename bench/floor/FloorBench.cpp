// bench_floor --scene FILE [--frames N] [--shot FILE.png] [--skip LETTERS]
// The cheapest drawing GL allows of a frame the game drew: a plain SDL2 + GL
// 3.3 program, no game code. FILE is the call log of one game frame
// (bench_game writes it, run from the game folder): the block and frame-
// segment draws become one instanced draw each with the same shading (the
// registers each draw set become instanced attributes), the
// background one opaque quad, the particles one point-sprite draw (each at
// its place and size where the scene lists them, "point x y z size argb"),
// every other sprite (text, stars, moon) one quad batch. Prints the mean time of a
// frame from its first call to the end of the swap. --skip leaves parts out
// to see what each costs: b blocks, s frame segments, p particles, q quads,
// f blocks with their texture only instead of their lighting.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>
#include <SDL.h>
#include <malloc.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#include <stb/stb_image.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The game's back buffer, as the scene gives it.
int g_width = 1024, g_height = 768;

struct Vec3 {
    float x, y, z;
};
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator*(Vec3 a, float k) { return {a.x * k, a.y * k, a.z * k}; }
Vec3 Normalised(Vec3 a) {
    const float l = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
    return l > 0 ? a * (1.0f / l) : Vec3{1, 0, 0};
}

// A text .x mesh: positions, normals and uvs share one index, as the game's do.
struct Mesh {
    std::vector<float> vertices;  // position, normal, uv, tangent, binormal: 14 floats
    std::vector<unsigned> indices;
    size_t Triangles() const { return indices.size() / 3; }
};

std::vector<float> Numbers(const std::string& text, size_t from, size_t count, size_t* end) {
    std::vector<float> out;
    const char* p = text.c_str() + from;
    while (out.size() < count && *p) {
        char* next = nullptr;
        const float v = strtof(p, &next);
        if (next == p) {
            ++p;
            continue;
        }
        out.push_back(v);
        p = next;
    }
    *end = static_cast<size_t>(p - text.c_str());
    return out;
}

bool LoadMesh(const std::string& path, Mesh* mesh) {
    std::ifstream in(path);
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();
    size_t at = text.find("Mesh ");
    if (at == std::string::npos) return false;
    at = text.find('{', at) + 1;
    size_t end = 0;
    const size_t n = static_cast<size_t>(Numbers(text, at, 1, &end)[0]);
    const std::vector<float> positions = Numbers(text, end, n * 3, &end);
    const size_t faces = static_cast<size_t>(Numbers(text, end, 1, &end)[0]);
    const std::vector<float> faceList = Numbers(text, end, faces * 4, &end);
    at = text.find("MeshNormals", end);
    if (at == std::string::npos) return false;
    const size_t nn = static_cast<size_t>(Numbers(text, text.find('{', at) + 1, 1, &end)[0]);
    const std::vector<float> normals = Numbers(text, end, nn * 3, &end);
    at = text.find("MeshTextureCoords", end);
    if (at == std::string::npos || nn != n) return false;
    const size_t nt = static_cast<size_t>(Numbers(text, text.find('{', at) + 1, 1, &end)[0]);
    const std::vector<float> uvs = Numbers(text, end, nt * 2, &end);
    if (nt != n || positions.size() != n * 3 || faceList.size() != faces * 4) return false;
    std::vector<Vec3> tangent(n, Vec3{0, 0, 0}), binormal(n, Vec3{0, 0, 0});
    auto pos = [&](size_t i) { return Vec3{positions[i * 3], positions[i * 3 + 1], positions[i * 3 + 2]}; };
    for (size_t f = 0; f < faces; ++f) {
        const unsigned i[3] = {unsigned(faceList[f * 4 + 1]), unsigned(faceList[f * 4 + 2]),
                               unsigned(faceList[f * 4 + 3])};
        for (unsigned k : i)
            if (k >= n) return false;
        mesh->indices.insert(mesh->indices.end(), i, i + 3);
        // Tangent and binormal: where u and v grow across the triangle.
        const Vec3 e1 = pos(i[1]) - pos(i[0]), e2 = pos(i[2]) - pos(i[0]);
        const float du1 = uvs[i[1] * 2] - uvs[i[0] * 2], dv1 = uvs[i[1] * 2 + 1] - uvs[i[0] * 2 + 1];
        const float du2 = uvs[i[2] * 2] - uvs[i[0] * 2], dv2 = uvs[i[2] * 2 + 1] - uvs[i[0] * 2 + 1];
        const float det = du1 * dv2 - du2 * dv1;
        const float r = std::fabs(det) > 1e-12f ? 1.0f / det : 0.0f;
        const Vec3 t = (e1 * dv2 - e2 * dv1) * r, b = (e2 * du1 - e1 * du2) * r;
        for (unsigned k : i) tangent[k] = tangent[k] + t, binormal[k] = binormal[k] + b;
    }
    for (size_t v = 0; v < n; ++v) {
        const Vec3 t = Normalised(tangent[v]), b = Normalised(binormal[v]);
        const float row[14] = {positions[v * 3], positions[v * 3 + 1], positions[v * 3 + 2], normals[v * 3],
                               normals[v * 3 + 1],  normals[v * 3 + 2],  uvs[v * 2],         uvs[v * 2 + 1],
                               t.x,                 t.y,                 t.z,                b.x,
                               b.y,                 b.z};
        mesh->vertices.insert(mesh->vertices.end(), row, row + 14);
    }
    return true;
}

// One draw of the scene, from the call log.
struct Scene {
    std::string blockMesh, frameMesh;
    std::vector<float> blocks;    // per block: vertex registers c0..c13, pixel c0..c1 (16 vec4)
    std::vector<float> segments;  // per segment: vertex registers c0..c18 (19 vec4)
    std::vector<float> quads;     // per quad: x0, y0, x1, y1 in pixels, colour as four floats
    int particles = 0;
    // The particles as the game's vertices held them, when the scene lists
    // them: x, y, z, size, then the colour as four floats; and the point
    // shader's registers c0..c4 (the clip matrix's columns, the eye with the
    // viewport height).
    std::vector<float> points;
    float pointRegisters[5][4] = {};
    bool background = false;
    bool segmentsBlend = false;
};
constexpr int kBlockRegisters = 16, kSegmentRegisters = 19;

std::vector<float> Floats(const std::string& braced) {
    std::vector<float> out;
    if (braced.size() < 2 || braced.front() != '{') return out;
    std::stringstream s(braced.substr(1, braced.size() - 2));
    std::string item;
    while (std::getline(s, item, ',')) out.push_back(strtof(item.c_str(), nullptr));
    return out;
}

// The arguments of a logged call, split at the commas outside braces.
std::vector<std::string> Arguments(const std::string& line) {
    std::vector<std::string> out;
    const size_t open = line.find('('), close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos) return out;
    std::string item;
    int depth = 0;
    for (size_t i = open + 1; i < close; ++i) {
        const char c = line[i];
        depth += c == '{' ? 1 : c == '}' ? -1 : 0;
        if (c == ',' && depth == 0) {
            out.push_back(item);
            item.clear();
        } else if (c != ' ' || depth > 0) {
            item += c;
        }
    }
    out.push_back(item);
    return out;
}

bool ReadScene(const std::string& path, Scene* scene, const Mesh& block, const Mesh& frame) {
    std::ifstream in(path);
    std::string line;
    float vc[32][4] = {}, pc[2][4] = {};
    bool pixelShader = false;
    while (std::getline(in, line)) {
        if (line.rfind("blocks_mesh ", 0) == 0) scene->blockMesh = line.substr(12);
        if (line.rfind("frame_mesh ", 0) == 0) scene->frameMesh = line.substr(11);
        if (line.rfind("size ", 0) == 0) sscanf(line.c_str(), "size %d %d", &g_width, &g_height);
        if (line.rfind("SetPixelShader(", 0) == 0) pixelShader = line.find("NULL") == std::string::npos;
        const bool vertex = line.rfind("SetVertexShaderConstantF(", 0) == 0;
        if (vertex || line.rfind("SetPixelShaderConstantF(", 0) == 0) {
            const std::vector<std::string> args = Arguments(line);
            if (args.size() < 2) continue;
            const int start = atoi(args[0].c_str());
            const std::vector<float> v = Floats(args[1]);
            for (size_t i = 0; i < v.size(); ++i) {
                const size_t r = static_cast<size_t>(start) + i / 4;
                if (vertex && r < 32) vc[r][i % 4] = v[i];
                if (!vertex && r < 2) pc[r][i % 4] = v[i];
            }
        }
        if (line.rfind("DrawIndexedPrimitive(D3DPT_TRIANGLELIST", 0) == 0) {
            const size_t triangles = strtoul(line.c_str() + line.rfind(',') + 1, nullptr, 10);
            if (pixelShader && triangles == block.Triangles()) {
                scene->blocks.insert(scene->blocks.end(), &vc[0][0], &vc[0][0] + 14 * 4);
                scene->blocks.insert(scene->blocks.end(), &pc[0][0], &pc[0][0] + 2 * 4);
            } else if (!pixelShader && triangles == frame.Triangles()) {
                scene->segments.insert(scene->segments.end(), &vc[0][0], &vc[0][0] + kSegmentRegisters * 4);
                scene->segmentsBlend = scene->segmentsBlend || vc[13][3] * vc[12][3] < 1.0f;
            }
        }
        if (line.rfind("DrawPrimitive(D3DPT_POINTLIST", 0) == 0 || line.rfind("DrawPrimitiveUP(D3DPT_POINTLIST", 0) == 0) {
            scene->particles += atoi(line.c_str() + line.find(',', line.find(',') + 1) + 1);
            memcpy(scene->pointRegisters, vc, sizeof scene->pointRegisters);
        }
        float x, y, z, size;
        unsigned argb;
        if (sscanf(line.c_str(), "point %f %f %f %f %x", &x, &y, &z, &size, &argb) == 5) {
            const float v[8] = {x, y, z, size, ((argb >> 16) & 255) / 255.0f, ((argb >> 8) & 255) / 255.0f,
                                (argb & 255) / 255.0f, (argb >> 24) / 255.0f};
            scene->points.insert(scene->points.end(), v, v + 8);
        }
        if (line.rfind("ID3DXSprite.Draw(", 0) == 0) {
            // Draw(tex, {l,t,r,b}|NULL, {sx,sy}|NULL, {cx,cy}|NULL, rotation, {tx,ty}|NULL, 0xAARRGGBB)
            const std::vector<std::string> args = Arguments(line);
            if (args.size() != 7) continue;
            std::vector<float> rect = Floats(args[1]), scale = Floats(args[2]), move = Floats(args[5]);
            // The log names no texture size: a whole texture is taken as the
            // background's 1024 x 1024 when drawn at the origin, else 128 x 128.
            const bool whole = rect.size() != 4;
            if (whole) rect = {0, 0, move.size() == 2 && move[0] == 0 && move[1] == 0 ? 1024.0f : 128.0f, 0};
            if (whole) rect[3] = rect[2];
            if (scale.size() != 2) scale = {1, 1};
            if (move.size() != 2) move = {0, 0};
            const float x0 = move[0], y0 = move[1];
            const float x1 = x0 + (rect[2] - rect[0]) * scale[0], y1 = y0 + (rect[3] - rect[1]) * scale[1];
            if (x0 <= 1 && y0 <= 1 && x1 >= g_width - 1 && y1 >= g_height - 1) {
                scene->background = true;
                continue;
            }
            const unsigned argb = static_cast<unsigned>(strtoul(args[6].c_str(), nullptr, 16));
            const float q[8] = {x0, y0, x1, y1, ((argb >> 16) & 255) / 255.0f, ((argb >> 8) & 255) / 255.0f,
                                (argb & 255) / 255.0f, (argb >> 24) / 255.0f};
            scene->quads.insert(scene->quads.end(), q, q + 8);
        }
    }
    return !scene->blocks.empty();
}

GLuint Compile(const char* vs, const char* fs) {
    auto stage = [](GLenum kind, const char* text) {
        const GLuint s = glCreateShader(kind);
        glShaderSource(s, 1, &text, nullptr);
        glCompileShader(s);
        GLint ok = 0;
        glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
        if (!ok) {
            char log[2048] = {};
            glGetShaderInfoLog(s, sizeof log, nullptr, log);
            fprintf(stderr, "bench_floor: shader: %s\n", log);
        }
        return s;
    };
    const GLuint p = glCreateProgram();
    glAttachShader(p, stage(GL_VERTEX_SHADER, vs));
    glAttachShader(p, stage(GL_FRAGMENT_SHADER, fs));
    glLinkProgram(p);
    return p;
}

// D3D's clip space to GL's: depth 0..w becomes -w..w.
#define TO_GL "vec4 ToGl(vec4 p) { return vec4(p.x, p.y, 2.0 * p.z - p.w, p.w); }\n"

// Per-instance registers come in as instanced attributes (locations 5 up).
const char* kBlockVs = "#version 330 core\n"
    "layout(location = 0) in vec3 a_position; layout(location = 1) in vec3 a_normal;\n"
    "layout(location = 2) in vec2 a_uv; layout(location = 3) in vec3 a_tangent; layout(location = 4) in vec3 a_binormal;\n"
    "layout(location = 5) in vec4 c0; layout(location = 6) in vec4 c1; layout(location = 7) in vec4 c2;\n"
    "layout(location = 8) in vec4 c3; layout(location = 9) in vec4 c4; layout(location = 10) in vec4 c5;\n"
    "layout(location = 11) in vec4 c6; layout(location = 12) in vec4 c12; layout(location = 13) in vec4 c13;\n"
    "layout(location = 14) in vec4 p0; layout(location = 15) in vec4 p1;\n"
    "out vec2 v_uv; out vec3 v_light, v_eye, v_reflect; flat out vec4 v_diffuse, v_ambient;\n" TO_GL
    "void main() {\n"
    "  vec4 pos = vec4(a_position, 1.0);\n"
    "  gl_Position = ToGl(vec4(dot(pos, c0), dot(pos, c1), dot(pos, c2), dot(pos, c3)));\n"
    "  vec3 n = normalize(a_normal);\n"
    "  vec3 l = c13.xyz - pos.xyz, e = c12.xyz - pos.xyz, r = reflect(-e, n);\n"
    "  l = normalize(l); e = normalize(e);\n"
    "  v_uv = a_uv;\n"
    "  v_light = vec3(dot(l, a_tangent), dot(l, a_binormal), dot(l, n));\n"
    "  v_eye = vec3(dot(e, a_tangent), dot(e, a_binormal), dot(e, n));\n"
    "  vec4 rv = vec4(r, 0.0);\n"
    "  v_reflect = vec3(dot(rv, c4), dot(rv, c5), dot(rv, c6));\n"
    "  v_diffuse = p0; v_ambient = p1;\n"
    "}\n";
const char* kBlockFs = "#version 330 core\n"
    "uniform sampler2D u_diffuse, u_normal; uniform samplerCube u_cube;\n"
    "in vec2 v_uv; in vec3 v_light, v_eye, v_reflect; flat in vec4 v_diffuse, v_ambient; out vec4 o;\n"
    "void main() {\n"
    "  vec4 base = texture(u_diffuse, v_uv);\n"
    "  vec3 n = normalize(texture(u_normal, v_uv).rgb * 2.0 - 1.0);\n"
    "  vec3 env = texture(u_cube, v_reflect).rgb;\n"
    "  vec3 l = normalize(v_light), e = normalize(v_eye);\n"
    "  float ndl = max(dot(n, l), 0.0);\n"
    "  float spec = pow(max(dot(n, normalize(l + e)), 0.0), 24.0);\n"
    "  float fresnel = 0.25 + 0.5 * pow(1.0 - max(dot(n, e), 0.0), 3.0);\n"
    "  vec3 lit = base.rgb * (v_ambient.rgb + v_diffuse.rgb * ndl) + vec3(spec * 0.6);\n"
    "  o = vec4(mix(lit, env * v_diffuse.rgb, fresnel * 0.5), base.a * v_diffuse.a * v_ambient.a);\n"
    "}\n";
const char* kSegmentVs = "#version 330 core\n"
    "layout(location = 0) in vec3 a_position; layout(location = 1) in vec3 a_normal; layout(location = 2) in vec2 a_uv;\n"
    "layout(location = 5) in vec4 c0; layout(location = 6) in vec4 c1; layout(location = 7) in vec4 c2;\n"
    "layout(location = 8) in vec4 c3; layout(location = 9) in vec4 c12; layout(location = 10) in vec4 c13;\n"
    "layout(location = 11) in vec4 c14; layout(location = 12) in vec4 c15; layout(location = 13) in vec4 c16;\n"
    "layout(location = 14) in vec4 c17; layout(location = 15) in vec4 c18;\n"
    "out vec2 v_uv; out vec4 v_color;\n" TO_GL
    "void main() {\n"
    "  vec4 pos = vec4(a_position, 1.0);\n"
    "  gl_Position = ToGl(vec4(dot(pos, c0), dot(pos, c1), dot(pos, c2), dot(pos, c3)));\n"
    "  vec3 n = normalize(a_normal);\n"
    "  vec3 l = c15.xyz - pos.xyz; float d = length(l); l = l / max(d, 0.0001);\n"
    "  vec3 e = normalize(c18.xyz - pos.xyz);\n"
    "  float att = c17.x + c17.y * clamp(c16.x / max(d, 0.0001), 0.0, 1.0);\n"
    "  float ndl = max(dot(n, l), 0.0);\n"
    "  float spec = ndl > 0.0 ? pow(max(dot(n, normalize(l + e)), 0.0), 16.0) : 0.0;\n"
    "  vec3 rgb = c13.rgb + c12.rgb * ndl * att + c14.rgb * spec * att * 0.5;\n"
    "  v_color = vec4(clamp(rgb, 0.0, 1.0), c13.a * c12.a);\n"
    "  v_uv = a_uv;\n"
    "}\n";
const char* kTexturedFs = "#version 330 core\n"
    "uniform sampler2D u_texture; in vec2 v_uv; in vec4 v_color; out vec4 o;\n"
    "void main() { o = texture(u_texture, v_uv) * v_color; }\n";
const char* kQuadVs = "#version 330 core\n"
    "layout(location = 0) in vec2 a_position; layout(location = 1) in vec2 a_uv; layout(location = 2) in vec4 a_color;\n"
    "out vec2 v_uv; out vec4 v_color;\n"
    "void main() { gl_Position = vec4(a_position, 0.0, 1.0); v_uv = a_uv; v_color = a_color; }\n";
const char* kPointVs = "#version 330 core\n"
    "layout(location = 0) in vec2 a_position; out vec2 v_uv; out vec4 v_color;\n"
    "void main() { gl_Position = vec4(a_position, 0.0, 1.0); gl_PointSize = 16.0; v_uv = vec2(0.0);"
    " v_color = vec4(1.0, 0.8, 0.5, 0.6); }\n";
// The game's particles: sized by distance as its point-sprite program sizes them.
const char* kScenePointVs = "#version 330 core\n"
    "layout(location = 0) in vec4 a_point; layout(location = 1) in vec4 a_color;\n"
    "uniform vec4 c[5]; out vec4 v_color;\n" TO_GL
    "void main() {\n"
    "  vec4 pos = vec4(a_point.xyz, 1.0);\n"
    "  gl_Position = ToGl(vec4(dot(pos, c[0]), dot(pos, c[1]), dot(pos, c[2]), dot(pos, c[3])));\n"
    "  float d = max(distance(pos.xyz, c[4].xyz), 0.001);\n"
    "  gl_PointSize = clamp(a_point.w * c[4].w / d, 1.0, 256.0);\n"
    "  v_color = a_color;\n"
    "}\n";
const char* kPointFs = "#version 330 core\n"
    "uniform sampler2D u_texture; in vec4 v_color; out vec4 o;\n"
    "void main() { o = texture(u_texture, gl_PointCoord) * v_color; }\n";

// Mipmapped for the 3D scene; the 2D layers sample level 0 only, as sprites do.
GLuint LoadTexture(const std::string& path, bool mipmaps = true) {
    int w = 0, h = 0, n = 0;
    unsigned char* pixels = stbi_load(path.c_str(), &w, &h, &n, 4);
    const unsigned char white[4] = {255, 255, 255, 255};
    GLuint t = 0;
    glGenTextures(1, &t);
    glBindTexture(GL_TEXTURE_2D, t);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, pixels ? w : 1, pixels ? h : 1, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 pixels ? pixels : white);
    if (mipmaps) glGenerateMipmap(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, mipmaps ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    if (!pixels) fprintf(stderr, "bench_floor: no %s, drawn white\n", path.c_str());
    stbi_image_free(pixels);
    return t;
}

// A normal map from the red channel as height, as the game makes its own.
GLuint LoadNormalMap(const std::string& path, float amplitude) {
    int w = 0, h = 0, n = 0;
    unsigned char* pixels = stbi_load(path.c_str(), &w, &h, &n, 4);
    if (!pixels) return LoadTexture(path);
    std::vector<unsigned char> out(static_cast<size_t>(w) * h * 4);
    auto height = [&](int x, int y) { return pixels[(((y + h) % h) * w + (x + w) % w) * 4] / 255.0f; };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Vec3 v = Normalised({(height(x - 1, y) - height(x + 1, y)) * amplitude,
                                       (height(x, y - 1) - height(x, y + 1)) * amplitude, 1.0f});
            unsigned char* o = &out[(static_cast<size_t>(y) * w + x) * 4];
            o[0] = static_cast<unsigned char>((v.x * 0.5f + 0.5f) * 255), o[1] = static_cast<unsigned char>((v.y * 0.5f + 0.5f) * 255);
            o[2] = static_cast<unsigned char>((v.z * 0.5f + 0.5f) * 255), o[3] = 255;
        }
    stbi_image_free(pixels);
    GLuint t = 0;
    glGenTextures(1, &t);
    glBindTexture(GL_TEXTURE_2D, t);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
    glGenerateMipmap(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    return t;
}

// A sky-to-ground gradient cube of the game's cube map size.
GLuint MakeCube() {
    const int edge = 256;
    std::vector<unsigned char> face(static_cast<size_t>(edge) * edge * 4);
    GLuint t = 0;
    glGenTextures(1, &t);
    glBindTexture(GL_TEXTURE_CUBE_MAP, t);
    for (int f = 0; f < 6; ++f) {
        for (int y = 0; y < edge; ++y)
            for (int x = 0; x < edge; ++x) {
                unsigned char* p = &face[(static_cast<size_t>(y) * edge + x) * 4];
                p[0] = static_cast<unsigned char>(40 + f * 30), p[1] = static_cast<unsigned char>(y), p[2] = static_cast<unsigned char>(x), p[3] = 255;
            }
        glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + f, 0, GL_RGBA8, edge, edge, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     face.data());
    }
    // The game leaves the cube's sampler at its defaults: point, no mip levels.
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return t;
}

struct MeshBuffers {
    GLuint vao = 0, instances = 0;
    GLsizei count = 0;
};

// The mesh, and the registers of its instances: `registers` vec4 per
// instance, of which the attributes from location 5 up read the listed ones.
MeshBuffers Upload(const Mesh& m, int attributes, int registers, const std::vector<int>& read) {
    MeshBuffers b;
    GLuint vbo = 0, ibo = 0;
    glGenVertexArrays(1, &b.vao);
    glBindVertexArray(b.vao);
    glGenBuffers(1, &vbo);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(m.vertices.size() * 4), m.vertices.data(), GL_STATIC_DRAW);
    glGenBuffers(1, &ibo);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ibo);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(m.indices.size() * 4), m.indices.data(),
                 GL_STATIC_DRAW);
    const int sizes[5] = {3, 3, 2, 3, 3}, offsets[5] = {0, 3, 6, 8, 11};
    for (int a = 0; a < attributes; ++a) {
        glEnableVertexAttribArray(static_cast<GLuint>(a));
        glVertexAttribPointer(static_cast<GLuint>(a), sizes[a], GL_FLOAT, GL_FALSE, 14 * 4,
                              reinterpret_cast<const void*>(static_cast<size_t>(offsets[a]) * 4));
    }
    glGenBuffers(1, &b.instances);
    glBindBuffer(GL_ARRAY_BUFFER, b.instances);
    for (size_t i = 0; i < read.size(); ++i) {
        const GLuint location = static_cast<GLuint>(5 + i);
        glEnableVertexAttribArray(location);
        glVertexAttribPointer(location, 4, GL_FLOAT, GL_FALSE, registers * 16,
                              reinterpret_cast<const void*>(static_cast<size_t>(read[i]) * 16));
        glVertexAttribDivisor(location, 1);
    }
    b.count = static_cast<GLsizei>(m.indices.size());
    return b;
}

// This frame's registers of every instance.
void WriteInstances(const MeshBuffers& b, const std::vector<float>& data) {
    glBindBuffer(GL_ARRAY_BUFFER, b.instances);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data.size() * 4), data.data(), GL_STREAM_DRAW);
}

}  // namespace

int main(int argc, char** argv) {
    std::string scenePath, shot, skip;
    long frames = 300;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--frames")) frames = std::max(1L, atol(argv[i + 1]));
        if (!strcmp(argv[i], "--scene")) scenePath = argv[i + 1];
        if (!strcmp(argv[i], "--shot")) shot = argv[i + 1];
        if (!strcmp(argv[i], "--skip")) skip = argv[i + 1];
    }
    if (scenePath.empty()) {
        fprintf(stderr, "usage: bench_floor --scene FILE [--frames N] (from the game folder)\n");
        return 2;
    }
    Scene probe;
    {
        std::ifstream in(scenePath);
        std::string line;
        while (std::getline(in, line) && (probe.blockMesh.empty() || probe.frameMesh.empty())) {
            if (line.rfind("blocks_mesh ", 0) == 0) probe.blockMesh = line.substr(12);
            if (line.rfind("frame_mesh ", 0) == 0) probe.frameMesh = line.substr(11);
        }
    }
    Mesh blockMesh, frameMesh;
    if (!LoadMesh("data/meshes/" + probe.blockMesh, &blockMesh) || !LoadMesh("data/meshes/" + probe.frameMesh, &frameMesh)) {
        fprintf(stderr, "bench_floor: cannot read the meshes named in %s\n", scenePath.c_str());
        return 1;
    }
    Scene scene;
    if (!ReadScene(scenePath, &scene, blockMesh, frameMesh)) {
        fprintf(stderr, "bench_floor: no draws of %s (%zu triangles) in %s\n", probe.blockMesh.c_str(),
                blockMesh.Triangles(), scenePath.c_str());
        std::ifstream in(scenePath);
        std::string line;
        for (int shown = 0; std::getline(in, line) && shown < 5;)
            if (line.rfind("DrawIndexedPrimitive(", 0) == 0) fprintf(stderr, "  %s\n", line.c_str()), ++shown;
        return 1;
    }

    // The software renderer's per-draw stores stay with the process instead of
    // going back to the kernel and faulting in again every frame.
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        fprintf(stderr, "no display: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_Window* window = SDL_CreateWindow("bench_floor", 0, 0, g_width, g_height, SDL_WINDOW_OPENGL);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (!context) {
        fprintf(stderr, "no GL context: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetSwapInterval(0);

    auto off = [&](char c) { return skip.find(c) != std::string::npos; };
    const bool flatBlocks = off('f');
    const char* kFlatFs = "#version 330 core\nuniform sampler2D u_diffuse; in vec2 v_uv; flat in vec4 v_diffuse; out vec4 o;\n"
        "void main() { o = texture(u_diffuse, v_uv) * v_diffuse; }\n";
    const GLuint blockProgram = Compile(kBlockVs, flatBlocks ? kFlatFs : kBlockFs), segmentProgram = Compile(kSegmentVs, kTexturedFs);
    const GLuint quadProgram = Compile(kQuadVs, kTexturedFs);
    const bool scenePoints = !scene.points.empty();
    const GLuint pointProgram = Compile(scenePoints ? kScenePointVs : kPointVs, kPointFs);
    const MeshBuffers blocks = Upload(blockMesh, 5, kBlockRegisters, {0, 1, 2, 3, 4, 5, 6, 12, 13, 14, 15});
    const MeshBuffers segments = Upload(frameMesh, 3, kSegmentRegisters, {0, 1, 2, 3, 12, 13, 14, 15, 16, 17, 18});
    const GLuint diffuse = LoadTexture("data/textures/block_diffuse.jpg");
    const GLuint normal = LoadNormalMap("data/textures/block_bump.jpg", 3.0f), cube = MakeCube();
    const GLuint frameTexture = LoadTexture("data/textures/frame.jpg");
    const GLuint sky = LoadTexture("themes/nightsky/background.jpg", false);
    const GLuint font = LoadTexture("data/textures/font.png", false);
    const GLuint spark = LoadTexture("data/textures/particle.png");

    // The 2D layers' vertices: the background first, then the quads; x, y, u, v, r, g, b, a.
    std::vector<float> flat;
    auto quad = [&](float x0, float y0, float x1, float y1, const float* rgba) {
        const float nx0 = x0 / g_width * 2 - 1, nx1 = x1 / g_width * 2 - 1;
        const float ny0 = 1 - y0 / g_height * 2, ny1 = 1 - y1 / g_height * 2;
        const float corners[6][4] = {{nx0, ny0, 0, 0}, {nx1, ny0, 1, 0}, {nx0, ny1, 0, 1},
                                     {nx0, ny1, 0, 1}, {nx1, ny0, 1, 0}, {nx1, ny1, 1, 1}};
        for (const auto& c : corners) {
            flat.insert(flat.end(), c, c + 4);
            flat.insert(flat.end(), rgba, rgba + 4);
        }
    };
    const float white[4] = {1, 1, 1, 1};
    quad(0, 0, g_width, g_height, white);
    for (size_t q = 0; q + 8 <= scene.quads.size(); q += 8)
        quad(scene.quads[q], scene.quads[q + 1], scene.quads[q + 2], scene.quads[q + 3], &scene.quads[q + 4]);
    GLuint flatVao = 0, flatVbo = 0;
    glGenVertexArrays(1, &flatVao);
    glBindVertexArray(flatVao);
    glGenBuffers(1, &flatVbo);
    glBindBuffer(GL_ARRAY_BUFFER, flatVbo);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(flat.size() * 4), flat.data(), GL_STATIC_DRAW);
    const int flatSizes[3] = {2, 2, 4}, flatOffsets[3] = {0, 2, 4};
    for (int a = 0; a < 3; ++a) {
        glEnableVertexAttribArray(static_cast<GLuint>(a));
        glVertexAttribPointer(static_cast<GLuint>(a), flatSizes[a], GL_FLOAT, GL_FALSE, 8 * 4,
                              reinterpret_cast<const void*>(static_cast<size_t>(flatOffsets[a]) * 4));
    }
    // The scene's particles; a scene that does not list them gets as many
    // over the middle of the field.
    std::vector<float> points = scene.points;
    if (!scenePoints)
        for (int i = 0; i < scene.particles; ++i)
            points.push_back(-0.3f + 0.6f * float(i % 37) / 37), points.push_back(-0.8f + 1.6f * float(i % 53) / 53);
    const GLsizei pointCount = scenePoints ? static_cast<GLsizei>(points.size() / 8) : scene.particles;
    GLuint pointVao = 0, pointVbo = 0;
    glGenVertexArrays(1, &pointVao);
    glBindVertexArray(pointVao);
    glGenBuffers(1, &pointVbo);
    glBindBuffer(GL_ARRAY_BUFFER, pointVbo);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(points.size() * 4 + 4), points.data(), GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    if (scenePoints) {
        glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 32, nullptr);
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, 4, GL_FLOAT, GL_FALSE, 32, reinterpret_cast<const void*>(16));
        glUseProgram(pointProgram);
        glUniform4fv(glGetUniformLocation(pointProgram, "c"), 5, &scene.pointRegisters[0][0]);
    } else {
        glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 8, nullptr);
    }
    glEnable(GL_PROGRAM_POINT_SIZE);

    auto bind2D = [](GLuint program, const char* name, int unit, GLenum target, GLuint texture) {
        glUseProgram(program);
        glUniform1i(glGetUniformLocation(program, name), unit);
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
        glBindTexture(target, texture);
    };
    const GLsizei blockCount = static_cast<GLsizei>(scene.blocks.size() / (kBlockRegisters * 4));
    const GLsizei segmentCount = static_cast<GLsizei>(scene.segments.size() / (kSegmentRegisters * 4));
    const GLsizei quadVertices = static_cast<GLsizei>(scene.quads.size() / 8 * 6);

    // The software renderer starts rasterising at a flush. The game's layer
    // hands it the frame in parts, so its threads fill while the rest is set
    // up; the floor does the same at its natural breaks, the blocks in two.
    GLint major = 0, minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    const bool baseInstance = major > 4 || (major == 4 && minor >= 2);
    auto frame = [&]() {
        glDepthMask(GL_TRUE);
        // Depth and stencil together: the software renderer clears the pair far faster.
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        // The background: opaque, no depth.
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        glBindVertexArray(flatVao);
        bind2D(quadProgram, "u_texture", 0, GL_TEXTURE_2D, sky);
        glDrawArrays(GL_TRIANGLES, 0, 6);
        glFlush();
        // The 3D scene, back faces culled as the game culls them.
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glFrontFace(GL_CW);
        if (segmentCount && !off('s')) {
            WriteInstances(segments, scene.segments);
            if (scene.segmentsBlend) {
                glEnable(GL_BLEND);
                glBlendFunc(GL_SRC_ALPHA, GL_ONE);
            }
            bind2D(segmentProgram, "u_texture", 0, GL_TEXTURE_2D, frameTexture);
            glBindVertexArray(segments.vao);
            glDrawElementsInstanced(GL_TRIANGLES, segments.count, GL_UNSIGNED_INT, nullptr, segmentCount);
            glDisable(GL_BLEND);
            glFlush();
        }
        if (!off('b')) {
        WriteInstances(blocks, scene.blocks);
        bind2D(blockProgram, "u_diffuse", 0, GL_TEXTURE_2D, diffuse);
        bind2D(blockProgram, "u_normal", 1, GL_TEXTURE_2D, normal);
        bind2D(blockProgram, "u_cube", 2, GL_TEXTURE_CUBE_MAP, cube);
        glBindVertexArray(blocks.vao);
        if (baseInstance) {
            const GLsizei half = blockCount / 2;
            glDrawElementsInstancedBaseInstance(GL_TRIANGLES, blocks.count, GL_UNSIGNED_INT, nullptr, half, 0);
            glFlush();
            glDrawElementsInstancedBaseInstance(GL_TRIANGLES, blocks.count, GL_UNSIGNED_INT, nullptr,
                                                blockCount - half, static_cast<GLuint>(half));
        } else {
            glDrawElementsInstanced(GL_TRIANGLES, blocks.count, GL_UNSIGNED_INT, nullptr, blockCount);
        }
        glFlush();
        }
        glDisable(GL_CULL_FACE);
        // The game's particles are hidden behind blocks; a count alone is drawn over everything.
        if (!scenePoints) glDisable(GL_DEPTH_TEST);
        glDepthMask(GL_FALSE);
        glEnable(GL_BLEND);
        if (pointCount && !off('p')) {
            glBlendFunc(GL_SRC_ALPHA, GL_ONE);
            glBindVertexArray(pointVao);
            bind2D(pointProgram, "u_texture", 0, GL_TEXTURE_2D, spark);
            glDrawArrays(GL_POINTS, 0, pointCount);
        }
        glDisable(GL_DEPTH_TEST);
        if (quadVertices && !off('q')) {
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            glBindVertexArray(flatVao);
            bind2D(quadProgram, "u_texture", 0, GL_TEXTURE_2D, font);
            glDrawArrays(GL_TRIANGLES, 6, quadVertices);
        }
        glDisable(GL_BLEND);
    };
    auto present = [&]() {
        frame();
        SDL_GL_SwapWindow(window);
    };
    if (!shot.empty()) {
        // The picture the floor draws, bottom row first in GL.
        frame();
        std::vector<unsigned char> pixels(static_cast<size_t>(g_width) * g_height * 4);
        glReadPixels(0, 0, g_width, g_height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        stbi_flip_vertically_on_write(1);
        stbi_write_png(shot.c_str(), g_width, g_height, 4, pixels.data(), g_width * 4);
    }
    for (int i = 0; i < 10; ++i) present();  // warm-up: shader variants and first uploads
    // Wall clock, and the CPU of every thread (the driver's rasteriser threads
    // too), which a busy machine disturbs less.
    auto cpuMs = [] {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
    };
    std::vector<double> wall, cpu;
    for (long f = 0; f < frames; ++f) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = cpuMs();
        present();
        wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        cpu.push_back(cpuMs() - cpuStart);
    }
    // Medians: a frame that waited for a core on a shared machine moves them least.
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    printf("bench_floor: %.3f ms per frame, %.3f ms CPU (medians) over %ld frames (%d blocks of %zu triangles, %d segments of %zu, "
           "%d particles, %zu quads, background %s)\n",
           wall[wall.size() / 2], cpu[cpu.size() / 2], frames, blockCount, blockMesh.Triangles(), segmentCount, frameMesh.Triangles(),
           scene.particles, scene.quads.size() / 8, scene.background ? "drawn" : "none in the scene");
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
