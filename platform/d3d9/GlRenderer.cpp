// The GL backend: OpenGL 3.3 core through SDL2. Drawing is upside down in GL
// terms: row 0 is the top row, as in D3D, which keeps D3D's rasterisation
// rules (see FixedFunction.cpp). When the window's drawable has the back
// buffer's size and formats and the driver has clip control, drawing goes
// straight into it with an upper-left clip origin (the rasteriser then sees
// the same picture as offscreen); otherwise the back buffer is an offscreen
// framebuffer of the present parameters' size that Present scales into the
// window.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>
#include <SDL.h>
#include <platform.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>
#include <unordered_map>
#include <string>
#include <vector>

#include "IndexBuffer.h"
#include "VertexBuffer.h"
#include "Device.h"
#include "DxtDecoder.h"
#include "GlCount.h"
#include "FixedFunction.h"
#include "HookState.h"
#include "Renderer.h"
#include "Shader.h"
#include "TextureBase.h"
#include "VertexDeclaration.h"

#ifndef GL_COMPRESSED_RGBA_S3TC_DXT1_EXT
#define GL_COMPRESSED_RGBA_S3TC_DXT1_EXT 0x83F1
#define GL_COMPRESSED_RGBA_S3TC_DXT3_EXT 0x83F2
#define GL_COMPRESSED_RGBA_S3TC_DXT5_EXT 0x83F3
#endif
#ifndef GL_MIRROR_CLAMP_TO_EDGE
#define GL_MIRROR_CLAMP_TO_EDGE 0x8743
#endif

namespace d3d9 {

extern std::string g_glRendererName;
uint64_t g_glCalls = 0;

namespace {

struct GlFormat {
    GLenum internal, format, type;
    GLint swizzle[4];
    bool compressed;
};

bool FormatFor(D3DFORMAT f, GlFormat* out) {
    const GLint rgba[4] = {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
    const GLint rgb1[4] = {GL_RED, GL_GREEN, GL_BLUE, GL_ONE};
    auto set = [&](GLenum i, GLenum fmt, GLenum type, const GLint* sw, bool compressed = false) {
        out->internal = i;
        out->format = fmt;
        out->type = type;
        memcpy(out->swizzle, sw, sizeof out->swizzle);
        out->compressed = compressed;
        return true;
    };
    static const GLint kAlpha[4] = {GL_ZERO, GL_ZERO, GL_ZERO, GL_RED};
    static const GLint kLum[4] = {GL_RED, GL_RED, GL_RED, GL_ONE};
    static const GLint kLumAlpha[4] = {GL_RED, GL_RED, GL_RED, GL_GREEN};
    switch (f) {
        // D3D's ARGB words are BGRA bytes in memory.
        case D3DFMT_A8R8G8B8: return set(GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, rgba);
        case D3DFMT_X8R8G8B8: return set(GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, rgb1);
        case D3DFMT_A8B8G8R8: return set(GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        case D3DFMT_X8B8G8R8: return set(GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, rgb1);
        case D3DFMT_A4R4G4B4: return set(GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, rgba);
        case D3DFMT_X4R4G4B4: return set(GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, rgb1);
        case D3DFMT_A1R5G5B5: return set(GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, rgba);
        case D3DFMT_X1R5G5B5: return set(GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, rgb1);
        case D3DFMT_R5G6B5: return set(GL_RGB8, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, rgb1);
        case D3DFMT_A8: return set(GL_R8, GL_RED, GL_UNSIGNED_BYTE, kAlpha);
        case D3DFMT_L8: return set(GL_R8, GL_RED, GL_UNSIGNED_BYTE, kLum);
        case D3DFMT_A8L8: return set(GL_RG8, GL_RG, GL_UNSIGNED_BYTE, kLumAlpha);
        case D3DFMT_DXT1: return set(GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 0, 0, rgba, true);
        case D3DFMT_DXT3: return set(GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0, rgba, true);
        case D3DFMT_DXT5: return set(GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0, rgba, true);
        default: return false;
    }
}

GLenum BlendFactor(DWORD b) {
    switch (b) {
        case D3DBLEND_ZERO: return GL_ZERO;
        case D3DBLEND_ONE: return GL_ONE;
        case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
        case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
        case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
        case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
        case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
        case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
        case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
        case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
        case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
        case D3DBLEND_BLENDFACTOR: return GL_CONSTANT_COLOR;
        case D3DBLEND_INVBLENDFACTOR: return GL_ONE_MINUS_CONSTANT_COLOR;
        default: return GL_ONE;
    }
}

void BlendPair(DWORD src, DWORD dst, GLenum* s, GLenum* d) {
    // The "both" factors set source and destination at once.
    if (src == D3DBLEND_BOTHSRCALPHA) {
        *s = GL_SRC_ALPHA;
        *d = GL_ONE_MINUS_SRC_ALPHA;
    } else if (src == D3DBLEND_BOTHINVSRCALPHA) {
        *s = GL_ONE_MINUS_SRC_ALPHA;
        *d = GL_SRC_ALPHA;
    } else {
        *s = BlendFactor(src);
        *d = BlendFactor(dst);
    }
}

GLenum BlendOp(DWORD op) {
    switch (op) {
        case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
        case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
        case D3DBLENDOP_MIN: return GL_MIN;
        case D3DBLENDOP_MAX: return GL_MAX;
        default: return GL_FUNC_ADD;
    }
}

GLenum CompareFunc(DWORD f) {
    switch (f) {
        case D3DCMP_NEVER: return GL_NEVER;
        case D3DCMP_LESS: return GL_LESS;
        case D3DCMP_EQUAL: return GL_EQUAL;
        case D3DCMP_LESSEQUAL: return GL_LEQUAL;
        case D3DCMP_GREATER: return GL_GREATER;
        case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
        case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
        default: return GL_ALWAYS;
    }
}

GLenum StencilOp(DWORD op) {
    switch (op) {
        case D3DSTENCILOP_ZERO: return GL_ZERO;
        case D3DSTENCILOP_REPLACE: return GL_REPLACE;
        case D3DSTENCILOP_INCRSAT: return GL_INCR;
        case D3DSTENCILOP_DECRSAT: return GL_DECR;
        case D3DSTENCILOP_INVERT: return GL_INVERT;
        case D3DSTENCILOP_INCR: return GL_INCR_WRAP;
        case D3DSTENCILOP_DECR: return GL_DECR_WRAP;
        default: return GL_KEEP;
    }
}

GLenum AddressMode(DWORD a) {
    switch (a) {
        case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
        case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
        case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
        case D3DTADDRESS_MIRRORONCE: return GL_MIRROR_CLAMP_TO_EDGE;
        default: return GL_REPEAT;
    }
}

GLenum PrimitiveMode(D3DPRIMITIVETYPE t) {
    switch (t) {
        case D3DPT_POINTLIST: return GL_POINTS;
        case D3DPT_LINELIST: return GL_LINES;
        case D3DPT_LINESTRIP: return GL_LINE_STRIP;
        case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
        case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
        default: return GL_TRIANGLES;
    }
}

// Attribute location of a declaration element (see the shader contract).
int AttributeLocation(BYTE usage, BYTE index) {
    switch (usage) {
        case D3DDECLUSAGE_POSITION:
        case D3DDECLUSAGE_POSITIONT: return index == 0 ? 0 : -1;
        case D3DDECLUSAGE_NORMAL: return index == 0 ? 1 : -1;
        case D3DDECLUSAGE_COLOR: return index < 2 ? 2 + index : -1;
        case D3DDECLUSAGE_PSIZE: return index == 0 ? 4 : -1;
        case D3DDECLUSAGE_TANGENT: return index == 0 ? 5 : -1;
        case D3DDECLUSAGE_BINORMAL: return index == 0 ? 6 : -1;
        case D3DDECLUSAGE_BLENDWEIGHT: return index == 0 ? 7 : -1;
        case D3DDECLUSAGE_TEXCOORD: return index < 8 ? 8 + index : -1;
        default: return -1;
    }
}

struct AttribFormat {
    GLint size;
    GLenum type;
    GLboolean normalized;
};

bool AttributeFormat(BYTE type, AttribFormat* f) {
    switch (type) {
        case D3DDECLTYPE_FLOAT1: *f = {1, GL_FLOAT, GL_FALSE}; return true;
        case D3DDECLTYPE_FLOAT2: *f = {2, GL_FLOAT, GL_FALSE}; return true;
        case D3DDECLTYPE_FLOAT3: *f = {3, GL_FLOAT, GL_FALSE}; return true;
        case D3DDECLTYPE_FLOAT4: *f = {4, GL_FLOAT, GL_FALSE}; return true;
        case D3DDECLTYPE_D3DCOLOR: *f = {GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE}; return true;  // BGRA bytes
        case D3DDECLTYPE_UBYTE4: *f = {4, GL_UNSIGNED_BYTE, GL_FALSE}; return true;
        case D3DDECLTYPE_UBYTE4N: *f = {4, GL_UNSIGNED_BYTE, GL_TRUE}; return true;
        case D3DDECLTYPE_SHORT2: *f = {2, GL_SHORT, GL_FALSE}; return true;
        case D3DDECLTYPE_SHORT4: *f = {4, GL_SHORT, GL_FALSE}; return true;
        case D3DDECLTYPE_SHORT2N: *f = {2, GL_SHORT, GL_TRUE}; return true;
        case D3DDECLTYPE_SHORT4N: *f = {4, GL_SHORT, GL_TRUE}; return true;
        case D3DDECLTYPE_USHORT2N: *f = {2, GL_UNSIGNED_SHORT, GL_TRUE}; return true;
        case D3DDECLTYPE_USHORT4N: *f = {4, GL_UNSIGNED_SHORT, GL_TRUE}; return true;
        case D3DDECLTYPE_FLOAT16_2: *f = {2, GL_HALF_FLOAT, GL_FALSE}; return true;
        case D3DDECLTYPE_FLOAT16_4: *f = {4, GL_HALF_FLOAT, GL_FALSE}; return true;
        default: return false;
    }
}

// Every texel of a level has full alpha (formats without alpha have it by nature).
bool LevelOpaque(D3DFORMAT format, const TextureLevel& lv) {
    const bool zero = lv.store == LevelStore::Zero;  // alpha 0 where there is alpha
    auto every = [&](UINT texelBytes, auto full) {
        for (UINT y = 0; y < lv.height; ++y) {
            const uint8_t* row = lv.bits.data() + static_cast<size_t>(y) * lv.pitch;
            if (static_cast<size_t>(y) * lv.pitch + lv.width * texelBytes > lv.bits.size()) return false;
            for (UINT x = 0; x < lv.width; ++x)
                if (!full(row + x * texelBytes)) return false;
        }
        return true;
    };
    auto word = [](const uint8_t* p) { return static_cast<unsigned>(p[0] | p[1] << 8); };
    switch (format) {
        case D3DFMT_X8R8G8B8:
        case D3DFMT_X8B8G8R8:
        case D3DFMT_X4R4G4B4:
        case D3DFMT_X1R5G5B5:
        case D3DFMT_R5G6B5:
        case D3DFMT_L8: return true;
        case D3DFMT_A8R8G8B8:
        case D3DFMT_A8B8G8R8: return !zero && every(4, [](const uint8_t* p) { return p[3] == 0xFF; });
        case D3DFMT_A4R4G4B4: return !zero && every(2, [&](const uint8_t* p) { return (word(p) >> 12) == 0xF; });
        case D3DFMT_A1R5G5B5: return !zero && every(2, [&](const uint8_t* p) { return (word(p) & 0x8000) != 0; });
        case D3DFMT_A8L8: return !zero && every(2, [](const uint8_t* p) { return p[1] == 0xFF; });
        default: return false;
    }
}

// With source alpha 1, blending only copies the source.
bool BlendCopiesOpaque(const DWORD* rs) {
    if (rs[D3DRS_BLENDOP] != D3DBLENDOP_ADD || rs[D3DRS_SEPARATEALPHABLENDENABLE]) return false;
    const DWORD src = rs[D3DRS_SRCBLEND], dst = rs[D3DRS_DESTBLEND];
    return (src == D3DBLEND_SRCALPHA && dst == D3DBLEND_INVSRCALPHA) || src == D3DBLEND_BOTHSRCALPHA ||
           (src == D3DBLEND_ONE && dst == D3DBLEND_ZERO);
}

// The alpha test keeps every fragment whose alpha is full.
bool AlphaTestPassesOpaque(const DWORD* rs) {
    const DWORD ref = rs[D3DRS_ALPHAREF] & 0xFF;
    switch (rs[D3DRS_ALPHAFUNC]) {
        case D3DCMP_GREATER: return ref < 0xFF;
        case D3DCMP_NOTEQUAL: return ref != 0xFF;
        case D3DCMP_EQUAL:
        case D3DCMP_LESSEQUAL: return ref == 0xFF;
        case D3DCMP_GREATEREQUAL:
        case D3DCMP_ALWAYS: return true;
        default: return false;
    }
}

// The alpha test drops only fragments of alpha 0, which an additive blend by
// source alpha adds nothing for, and they would write nothing else: without
// the test every pixel comes out the same (particles). A dropped fragment has
// alpha under half of 1/255, so it adds under half a step to any colour of the
// target formats here, none of them float.
bool AlphaTestDropsOnlyWhatAddsNothing(const DWORD* rs) {
    const DWORD func = rs[D3DRS_ALPHAFUNC];
    return (rs[D3DRS_ALPHAREF] & 0xFF) == 0 && (func == D3DCMP_GREATER || func == D3DCMP_NOTEQUAL) &&
           rs[D3DRS_ALPHABLENDENABLE] && rs[D3DRS_BLENDOP] == D3DBLENDOP_ADD &&
           !rs[D3DRS_SEPARATEALPHABLENDENABLE] && rs[D3DRS_SRCBLEND] == D3DBLEND_SRCALPHA &&
           rs[D3DRS_DESTBLEND] == D3DBLEND_ONE && !(rs[D3DRS_ZENABLE] && rs[D3DRS_ZWRITEENABLE]) &&
           !rs[D3DRS_STENCILENABLE];
}

// Uniform values a program last received: uploads happen only on a change.
struct UniformCache {
    float world[16], view[16], proj[16];
    float clip[2], point[3], alphaRef, viewport[4], depthRange[2];
    float matDiffuse[4], matAmbient[4], matEmissive[4], ambient[4], pointScale[3], tfactor[4];
    float stageConstant[kStages][4];
};

struct Program {
    GLuint name = 0;
    GLint vsConst = -1, psConst = -1;
    GLint clip = -1, point = -1, alphaRef = -1;
    GLint world = -1, view = -1, proj = -1, viewport = -1, depthRange = -1;
    GLint matDiffuse = -1, matAmbient = -1, matEmissive = -1, ambient = -1, pointScale = -1;
    GLint tfactor = -1, stageConstant = -1;
    GLint vsCount = 0, psCount = 0;  // active sizes of the register arrays
    uint64_t vsUploaded = 0, psUploaded = 0;  // constant serial at the last upload
    uint32_t vsSerial = 0, psSerial = 0;  // user shaders it was linked from (0: generated)
    UniformCache cache;
};

void ColorOf(DWORD argb, float out[4]) {
    out[0] = ((argb >> 16) & 0xFF) / 255.0f;
    out[1] = ((argb >> 8) & 0xFF) / 255.0f;
    out[2] = (argb & 0xFF) / 255.0f;
    out[3] = ((argb >> 24) & 0xFF) / 255.0f;
}

// Keys are zeroed PODs: hashed and compared as bytes.
template <class K>
struct KeyHash {
    size_t operator()(const K& k) const {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(&k);
        uint64_t h = 1469598103934665603ull;
        for (size_t i = 0; i < sizeof k; ++i) h = (h ^ p[i]) * 1099511628211ull;
        return static_cast<size_t>(h);
    }
};
template <class K>
struct KeyEqual {
    bool operator()(const K& a, const K& b) const { return memcmp(&a, &b, sizeof a) == 0; }
};
struct PairHash {
    size_t operator()(const std::pair<uint64_t, uint64_t>& p) const {
        return static_cast<size_t>(p.first * 0x9E3779B97F4A7C15ull ^ (p.second + 0x632BE59BD9B4E019ull));
    }
};

// Every GL state the draw path sets, as it was last set.
struct RasterState {
    GLint viewport[4];
    float depthRange[2];
    GLboolean depthTest, depthMask;
    GLenum depthFunc;
    GLboolean cull;
    GLenum frontFace, polygonMode;
    GLboolean blend;
    GLenum src, dst, srcA, dstA, eq, eqA;
    DWORD blendColor;
    DWORD colorMask;
    GLboolean stencil;
    GLenum stencilFunc, stencilFail, stencilZFail, stencilPass;
    GLint stencilRef;
    GLuint stencilMask, stencilWriteMask;
};

// The streams a draw reads, as the vertex attributes were last pointed at them.
struct AttribSetup {
    const CVertexDeclaration* decl;
    GLuint buffer[kStreams];
    UINT offset[kStreams];
    UINT stride[kStreams];
};

constexpr GLuint kUnknown = 0xFFFFFFFFu;

bool HasStencil(D3DFORMAT format) {
    return format == D3DFMT_D24S8 || format == D3DFMT_D24X4S4 || format == D3DFMT_D15S1 || format == D3DFMT_D24FS8;
}
// Streamed vertices go round a few rings: a full one is fenced and left to
// the draws that read it, and is written again only once its fence has
// passed, so no store is ever re-allocated (the software renderer zeroes
// and faults in a fresh one) and a hardware driver never stalls on one.
constexpr GLsizeiptr kRingBytes = 1 << 20;
constexpr int kRings = 3;
// The software renderer starts rasterising only at a flush. Handing the frame
// over in parts lets its threads fill what is set up (the background, the
// first blocks) while the rest is still being transformed and binned: at the
// turn from screen-space drawing to the 3D scene, and every so many vertices.
constexpr GLsizei kFlushVertices = 30000;
// Left alone, binning runs up to a whole frame ahead of the fill, and the
// renderer holds the set-up data of every part in between (near 20 MB). A
// flush waits for the part handed over two flushes before: one part is filled
// while the next waits, so the raster threads never run dry.
constexpr int kPartsAhead = 2;
constexpr GLuint64 kSyncWaitNs = 1000000000ull;
uint32_t g_ringStores = 0;  // process-wide, so no renderer mistakes another's store for its own

bool Dynamic(const CBufferBase& b) { return (b.Usage() & D3DUSAGE_DYNAMIC) != 0; }

void DeleteFence(GLsync& fence) {
    if (fence) glDeleteSync(fence);
    fence = nullptr;
}

void WaitAndDelete(GLsync& fence) {
    if (fence) glClientWaitSync(fence, GL_SYNC_FLUSH_COMMANDS_BIT, kSyncWaitNs);
    DeleteFence(fence);
}

class CGlRenderer final : public CRenderer {
public:
    ~CGlRenderer() override { Close(); }

    HRESULT Open(HWND window, const D3DPRESENT_PARAMETERS& pp, UINT* width, UINT* height) override;
    HRESULT Resize(HWND window, const D3DPRESENT_PARAMETERS& pp, UINT* width, UINT* height) override;
    void Clear(CDevice& device, DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
               DWORD stencil) override;
    HRESULT Draw(CDevice& device, const DrawCall& call) override;
    void Present() override;
    bool CompileShader(CShader& shader, std::string* log) override;
    void Forget(CDeviceObject& object) override;
    std::vector<DWORD> ReadBack(UINT* width, UINT* height) override;
    bool ReadTextureLevel(CTextureBase& tex, UINT face, UINT level) override;
    void TextureUnlocked(CTextureBase& tex) override;
    std::vector<DWORD> LastPresented(UINT* width, UINT* height) override {
        *width = m_presentedWidth;
        *height = m_presentedHeight;
        return m_presented;
    }
    void Close() override;
    bool IsNull() const override { return false; }

private:
    bool MakeCurrent();
    bool CreateBackBuffer(UINT width, UINT height, D3DFORMAT format);
    bool WindowCanHold(UINT width, UINT height, D3DFORMAT format);
    void FinishBackBuffer(UINT width, UINT height);
    void BackBufferSize(const D3DPRESENT_PARAMETERS& pp, UINT* width, UINT* height);
    GLuint CompileStage(GLenum stage, const std::string& text, std::string* log);
    Program* ProgramFor(CDevice& device, const DeviceState& s, const uint8_t textureTypes[kStages], bool noAlphaTest);
    Program* Link(uint64_t vsId, uint64_t psId, GLuint vs, GLuint ps, GLuint psMain, uint32_t vsSerial,
                  uint32_t psSerial);
    void ApplyStates(CDevice& device, const DeviceState& s, bool noBlend);
    bool AlphaIsOne(const DeviceState& s, const CVertexDeclaration& decl, const DrawCall& call) const;
    void BindTextures(const DeviceState& s, uint8_t textureTypes[kStages]);
    void UploadTexture(CTextureBase& tex, GLenum target);
    void UploadBuffer(CBufferBase& buffer, GLenum target);
    void Flush();
    void ForgetHandedParts();
    void SetUniforms(CDevice& device, const DeviceState& s, Program& p);
    bool SetAttributes(const DeviceState& s, const CVertexDeclaration& decl, const DrawCall& call);
    GLintptr RingWrite(const void* data, size_t bytes, size_t align);
    GLintptr RingAlloc(size_t bytes, size_t align);
    bool RingCopy(GLintptr at, const void* data, size_t bytes);
    void RingNext(size_t atLeast);
    bool NeedsPlace(const CBufferBase& b) const;
    bool PlaceDynamic(CBufferBase& b);
    bool StreamDynamic(const DeviceState& s, const CVertexDeclaration& decl, const DrawCall& call);
    HRESULT Refuse(const std::string& why);
    void ForgetShadow();
    void BindFramebuffer(GLuint fbo);
    void BindArrayBuffer(GLuint name);
    void BindElementBuffer(GLuint name);
    void ActiveUnit(int unit);
    void UseProgram(GLuint name);

    SDL_Window* m_window = nullptr;
    SDL_Window* m_ownWindow = nullptr;  // hidden stand-in when no window was given
    Uint32 m_windowId = 0;              // tells whether m_window still exists
    SDL_GLContext m_context = nullptr;
    GLuint m_fbo = 0, m_color = 0, m_depth = 0;
    // The device's depth format has no stencil: stencil is cleared with depth,
    // which the software renderer does far faster than depth alone.
    bool m_stencilUnused = false;
    GLuint m_target = 0;    // what draws go into: m_fbo, or 0 for the window
    bool m_direct = false;  // drawing into the window (GL's row 0 at the bottom)
    PFNGLCLIPCONTROLPROC m_clipControl = nullptr;
    UINT m_width = 0, m_height = 0;
    GLuint m_vao = 0, m_ring = 0;  // m_ring: the ring written now
    GLuint m_rings[kRings] = {};
    GLsizeiptr m_ringSizes[kRings] = {};  // 0 until first written
    GLsync m_ringFences[kRings] = {};
    int m_ringIndex = 0;
    GLsizeiptr m_ringSize = kRingBytes, m_ringHead = 0;
    uint32_t m_ringStore = 0;  // changes whenever the ring gets a new store
    GLuint m_samplers[kSamplers] = {};
    DWORD m_samplerCache[kSamplers][D3D9_SAMP_COUNT];
    bool m_samplerValid[kSamplers] = {};
    bool m_s3tc = false;
    GLsizei m_unflushedVertices = 0;         // drawn since the last flush or present
    GLsync m_handedParts[kPartsAhead] = {};  // fences of the last parts flushed
    int m_handedIndex = 0;                   // the oldest of them
    bool m_screenSpaceLast = false;          // the last draw had screen positions
    bool m_checkErrors = false;  // KOLVAR_GL_DEBUG without debug output: glGetError after each draw

    // What GL holds now, so unchanged state is not sent again.
    GLuint m_boundFbo = kUnknown, m_boundProgram = kUnknown, m_arrayBuffer = kUnknown, m_elementBuffer = kUnknown;
    int m_activeUnit = -1;
    GLuint m_bound2D[kStages], m_boundCube[kStages];
    RasterState m_raster;
    bool m_rasterValid = false;
    AttribSetup m_attribs;
    bool m_attribsValid = false;
    uint32_t m_enabledAttribs = 0;

    // The generated shaders in force, rebuilt only when their states change.
    uint64_t m_ffSerial = 0;
    const CVertexDeclaration* m_ffDecl = nullptr;
    uint8_t m_ffTextureTypes[kStages] = {};
    bool m_ffNoAlphaTest = false;
    GLuint m_ffVertexName = 0, m_ffPixelName = 0;
    Program* m_lastProgram = nullptr;
    std::pair<uint64_t, uint64_t> m_lastProgramKey{0, 0};

    std::unordered_map<FFVertexKey, GLuint, KeyHash<FFVertexKey>, KeyEqual<FFVertexKey>> m_ffVertex;
    std::unordered_map<FFPixelKey, GLuint, KeyHash<FFPixelKey>, KeyEqual<FFPixelKey>> m_ffPixel;
    GLuint m_pixelMains[8] = {};  // per alpha function, for the game's pixel shaders
    std::unordered_map<std::pair<uint64_t, uint64_t>, Program, PairHash> m_programs;
    std::set<std::string> m_reported;
    std::vector<DWORD> m_presented;
    UINT m_presentedWidth = 0, m_presentedHeight = 0;
};

void APIENTRY DebugOutput(GLenum, GLenum type, GLuint, GLenum severity, GLsizei, const GLchar* message,
                            const void*) {
    // Notifications are the driver chatting; errors and warnings are ours to see.
    if (severity == GL_DEBUG_SEVERITY_NOTIFICATION) return;
    fprintf(stderr, "d3d9: GL %s: %s\n", type == GL_DEBUG_TYPE_ERROR ? "error" : "message", message);
}

void Toggle(GLenum cap, bool on) {
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}

bool DebugRequested() {
    const char* v = getenv("KOLVAR_GL_DEBUG");
    return v && strcmp(v, "1") == 0;
}

HRESULT CGlRenderer::Refuse(const std::string& why) {
    if (m_reported.insert(why).second) fprintf(stderr, "d3d9: draw not issued: %s\n", why.c_str());
    return D3DERR_INVALIDCALL;
}

void CGlRenderer::ForgetShadow() {
    m_boundFbo = m_boundProgram = m_arrayBuffer = m_elementBuffer = kUnknown;
    m_activeUnit = -1;
    for (int i = 0; i < kStages; ++i) m_bound2D[i] = m_boundCube[i] = kUnknown;
    m_rasterValid = false;
    m_attribsValid = false;
    m_enabledAttribs = 0xFFFFFFFFu;
    m_lastProgram = nullptr;
    m_ffDecl = nullptr;
    m_ffSerial = 0;
    for (bool& v : m_samplerValid) v = false;
}

void CGlRenderer::BindFramebuffer(GLuint fbo) {
    if (m_boundFbo == fbo) return;
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    m_boundFbo = fbo;
}

void CGlRenderer::BindArrayBuffer(GLuint name) {
    if (m_arrayBuffer == name) return;
    glBindBuffer(GL_ARRAY_BUFFER, name);
    m_arrayBuffer = name;
}

void CGlRenderer::BindElementBuffer(GLuint name) {
    if (m_elementBuffer == name) return;
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, name);
    m_elementBuffer = name;
}

void CGlRenderer::ActiveUnit(int unit) {
    if (m_activeUnit == unit) return;
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    m_activeUnit = unit;
}

void CGlRenderer::UseProgram(GLuint name) {
    if (m_boundProgram == name) return;
    glUseProgram(name);
    m_boundProgram = name;
}

bool CGlRenderer::MakeCurrent() {
    if (!m_context) return false;
    if (m_window != m_ownWindow && SDL_GetWindowFromID(m_windowId) != m_window) {
        // The game's window went first (exit order): finish on a hidden one.
        if (!m_ownWindow)
            m_ownWindow = SDL_CreateWindow("d3d9", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 64, 64,
                                           SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        m_window = m_ownWindow;
        m_windowId = m_window ? SDL_GetWindowID(m_window) : 0;
        if (!m_window) return false;
        return SDL_GL_MakeCurrent(m_window, m_context) == 0;
    }
    if (SDL_GL_GetCurrentContext() != m_context) return SDL_GL_MakeCurrent(m_window, m_context) == 0;
    return true;
}

void CGlRenderer::BackBufferSize(const D3DPRESENT_PARAMETERS& pp, UINT* width, UINT* height) {
    *width = pp.BackBufferWidth;
    *height = pp.BackBufferHeight;
    int w = 0, h = 0;
    if (m_window && m_window != m_ownWindow) SDL_GL_GetDrawableSize(m_window, &w, &h);
    if (w <= 0 || h <= 0) {
        w = 1024;
        h = 768;
    }
    if (!*width) *width = static_cast<UINT>(w);
    if (!*height) *height = static_cast<UINT>(h);
}

HRESULT CGlRenderer::Open(HWND window, const D3DPRESENT_PARAMETERS& pp, UINT* width, UINT* height) {
#ifdef __GLIBC__
    // The software renderer frees and re-allocates its draw-time stores at the
    // top of the heap; glibc's default trim gives them back to the kernel each
    // time and the next draw faults them in again (measured 3x slower frames
    // of 200 blocks). A pad keeps them.
    static const bool padded = mallopt(M_TOP_PAD, 16 << 20) && mallopt(M_MMAP_THRESHOLD, 4 << 20);
    (void)padded;
#endif
    platform::NoteWindowFailure(std::string());
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        platform::NoteWindowFailure(SDL_GetError());
        return D3DERR_NOTAVAILABLE;
    }
    m_window = static_cast<SDL_Window*>(ResolveSdlWindow(window));
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // Lets the window's own buffers stand in for the back buffer.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, pp.BackBufferFormat == D3DFMT_A8R8G8B8 ? 8 : 0);
    const bool debug = DebugRequested();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, debug ? SDL_GL_CONTEXT_DEBUG_FLAG : 0);
    if (!m_window) {
        // The back buffer's size, so drawing can go straight into it.
        const int w = pp.BackBufferWidth ? static_cast<int>(std::min<UINT>(pp.BackBufferWidth, 8192)) : 1024;
        const int h = pp.BackBufferHeight ? static_cast<int>(std::min<UINT>(pp.BackBufferHeight, 8192)) : 768;
        m_ownWindow = SDL_CreateWindow("d3d9", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, w, h,
                                       SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        m_window = m_ownWindow;
        if (!m_window) {
            platform::NoteWindowFailure(SDL_GetError());
            return D3DERR_NOTAVAILABLE;
        }
    }
    m_windowId = SDL_GetWindowID(m_window);
    m_context = SDL_GL_CreateContext(m_window);
    if (!m_context) {
        platform::NoteWindowFailure(SDL_GetError());
        Close();
        return D3DERR_NOTAVAILABLE;
    }
    SDL_GL_MakeCurrent(m_window, m_context);
    SDL_GL_SetSwapInterval(pp.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);
    if (const char* r = reinterpret_cast<const char*>(glGetString(GL_RENDERER))) g_glRendererName = r;
    GLint extensions = 0;
    bool khrDebug = false;
    glGetIntegerv(GL_NUM_EXTENSIONS, &extensions);
    for (GLint i = 0; i < extensions; ++i) {
        const char* e = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
        if (e && strcmp(e, "GL_EXT_texture_compression_s3tc") == 0) m_s3tc = true;
        if (e && strcmp(e, "GL_KHR_debug") == 0) khrDebug = true;
        if (e && strcmp(e, "GL_ARB_clip_control") == 0)
            m_clipControl = reinterpret_cast<PFNGLCLIPCONTROLPROC>(SDL_GL_GetProcAddress("glClipControl"));
    }
    // GL failures go to standard error: the driver's own words where it has
    // debug output, else a glGetError after every draw when asked for.
    if (khrDebug) {
        auto callback = reinterpret_cast<PFNGLDEBUGMESSAGECALLBACKPROC>(SDL_GL_GetProcAddress("glDebugMessageCallback"));
        if (callback) {
            glEnable(GL_DEBUG_OUTPUT);
            if (debug) glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
            callback(DebugOutput, nullptr);
        }
    }
    m_checkErrors = debug && !khrDebug;
    // Lets a test run the software decoder on a driver that has S3TC.
    if (const char* off = getenv("KOLVAR_GL_NO_S3TC")) m_s3tc = m_s3tc && strcmp(off, "1") != 0;
    glGenVertexArrays(1, &m_vao);
    glBindVertexArray(m_vao);
    glGenBuffers(kRings, m_rings);
    m_ringSize = kRingBytes;
    m_ringIndex = kRings - 1;
    m_ringStore = 0;
    RingNext(0);
    glGenSamplers(kSamplers, m_samplers);
    for (int i = 0; i < kSamplers; ++i) glBindSampler(static_cast<GLuint>(i), m_samplers[i]);
    glEnable(GL_PROGRAM_POINT_SIZE);
    // Upside down, GL's lower left is D3D's top left: where a sprite's u, v start.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    BackBufferSize(pp, width, height);
    ForgetShadow();
    m_stencilUnused = !HasStencil(pp.AutoDepthStencilFormat);
    if (!CreateBackBuffer(*width, *height, pp.BackBufferFormat)) {
        Close();
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    return D3D_OK;
}

HRESULT CGlRenderer::Resize(HWND window, const D3DPRESENT_PARAMETERS& pp, UINT* width, UINT* height) {
    if (!MakeCurrent()) return D3DERR_DRIVERINTERNALERROR;
    if (void* w = ResolveSdlWindow(window)) {
        // The context follows the window it is asked to draw into.
        if (w != m_window && SDL_GL_MakeCurrent(static_cast<SDL_Window*>(w), m_context) == 0) {
            m_window = static_cast<SDL_Window*>(w);
            m_windowId = SDL_GetWindowID(m_window);
        }
    }
    SDL_GL_SetSwapInterval(pp.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);
    BackBufferSize(pp, width, height);
    m_stencilUnused = !HasStencil(pp.AutoDepthStencilFormat);
    return CreateBackBuffer(*width, *height, pp.BackBufferFormat) ? D3D_OK : D3DERR_OUTOFVIDEOMEMORY;
}

bool CGlRenderer::WindowCanHold(UINT width, UINT height, D3DFORMAT format) {
    const char* off = getenv("KOLVAR_GL_OFFSCREEN");
    if (!m_clipControl || (off && strcmp(off, "1") == 0)) return false;
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(m_window, &w, &h);
    if (static_cast<UINT>(w) != width || static_cast<UINT>(h) != height) return false;
    GLint alpha = 0, depth = 0, stencil = 0;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_BACK_LEFT, GL_FRAMEBUFFER_ATTACHMENT_ALPHA_SIZE, &alpha);
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE, &depth);
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_STENCIL, GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE,
                                          &stencil);
    // An X8 back buffer reads destination alpha as 1: the window must have none.
    const bool alphaFits = format == D3DFMT_A8R8G8B8 ? alpha >= 8 : alpha == 0;
    return alphaFits && depth >= 24 && stencil >= 8;
}

bool CGlRenderer::CreateBackBuffer(UINT width, UINT height, D3DFORMAT format) {
    if (m_fbo) {
        glDeleteFramebuffers(1, &m_fbo);
        glDeleteRenderbuffers(1, &m_color);
        glDeleteRenderbuffers(1, &m_depth);
        m_fbo = m_color = m_depth = 0;
    }
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
    if (width == 0 || height == 0 || static_cast<GLint>(width) > maxSize || static_cast<GLint>(height) > maxSize)
        return false;
    m_direct = WindowCanHold(width, height, format);
    // Clip y -1 lands on the window's top row, so the window holds the
    // picture the right way up while it is drawn as offscreen.
    if (m_clipControl) m_clipControl(m_direct ? GL_UPPER_LEFT : GL_LOWER_LEFT, GL_NEGATIVE_ONE_TO_ONE);
    // D3D's top left is where a sprite's u, v start: GL's lower left offscreen.
    glPointParameteri(GL_POINT_SPRITE_COORD_ORIGIN, m_direct ? GL_UPPER_LEFT : GL_LOWER_LEFT);
    if (m_direct) {
        m_target = 0;
        glDrawBuffer(GL_BACK);
        glReadBuffer(GL_BACK);
        FinishBackBuffer(width, height);
        return true;
    }
    glGenFramebuffers(1, &m_fbo);
    glGenRenderbuffers(1, &m_color);
    glGenRenderbuffers(1, &m_depth);
    // An X8 back buffer has no alpha to blend against: destination alpha reads 1.
    glBindRenderbuffer(GL_RENDERBUFFER, m_color);
    glRenderbufferStorage(GL_RENDERBUFFER, format == D3DFMT_A8R8G8B8 ? GL_RGBA8 : GL_RGB8, static_cast<GLsizei>(width),
                          static_cast<GLsizei>(height));
    glBindRenderbuffer(GL_RENDERBUFFER, m_depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, static_cast<GLsizei>(width),
                          static_cast<GLsizei>(height));
    glBindFramebuffer(GL_FRAMEBUFFER, m_fbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_color);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, m_depth);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return false;
    m_target = m_fbo;
    FinishBackBuffer(width, height);
    return true;
}

void CGlRenderer::FinishBackBuffer(UINT width, UINT height) {
    m_width = width;
    m_height = height;
    glViewport(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    ForgetShadow();
}

void CGlRenderer::Close() {
    if (m_context) {
        MakeCurrent();
        for (auto& p : m_programs) glDeleteProgram(p.second.name);
        for (auto& s : m_ffVertex) glDeleteShader(s.second);
        for (auto& s : m_ffPixel) glDeleteShader(s.second);
        for (GLuint& m : m_pixelMains) {
            if (m) glDeleteShader(m);
            m = 0;
        }
        m_programs.clear();
        m_ffVertex.clear();
        m_ffPixel.clear();
        glDeleteSamplers(kSamplers, m_samplers);
        ForgetHandedParts();
        for (int i = 0; i < kRings; ++i) {
            DeleteFence(m_ringFences[i]);
            m_ringSizes[i] = 0;
        }
        glDeleteBuffers(kRings, m_rings);
        memset(m_rings, 0, sizeof m_rings);
        m_ring = 0;
        glDeleteVertexArrays(1, &m_vao);
        if (m_fbo) {
            glDeleteFramebuffers(1, &m_fbo);
            glDeleteRenderbuffers(1, &m_color);
            glDeleteRenderbuffers(1, &m_depth);
        }
        SDL_GL_MakeCurrent(m_window, nullptr);
        SDL_GL_DeleteContext(m_context);  // MakeCurrent above left m_window alive
        m_context = nullptr;
    }
    if (m_ownWindow) SDL_DestroyWindow(m_ownWindow);
    m_ownWindow = nullptr;
    m_clipControl = nullptr;
    m_window = nullptr;
    m_fbo = m_target = 0;
    m_direct = false;
}

void CGlRenderer::Clear(CDevice& device, DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                        DWORD stencil) {
    if (!MakeCurrent()) return;
    BindFramebuffer(m_target);
    m_rasterValid = false;  // masks and clear values change below
    const D3DVIEWPORT9& vp = device.State().viewport;
    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET) {
        float c[4];
        ColorOf(color, c);
        glClearColor(c[0], c[1], c[2], c[3]);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & D3DCLEAR_ZBUFFER) {
        glClearDepth(z);
        glDepthMask(GL_TRUE);
        mask |= GL_DEPTH_BUFFER_BIT;
        if (m_stencilUnused && !(flags & D3DCLEAR_STENCIL)) {
            glClearStencil(0);
            glStencilMask(0xFFFFFFFF);
            mask |= GL_STENCIL_BUFFER_BIT;
        }
    }
    if (flags & D3DCLEAR_STENCIL) {
        glClearStencil(static_cast<GLint>(stencil));
        glStencilMask(0xFFFFFFFF);
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    // Clears cover the viewport (and the rectangles within it), top-down;
    // one covering the whole buffer needs no scissor.
    const bool whole = count == 0 && vp.X == 0 && vp.Y == 0 && vp.Width == m_width && vp.Height == m_height;
    if (whole)
        glDisable(GL_SCISSOR_TEST);
    else
        glEnable(GL_SCISSOR_TEST);
    auto clearRect = [&](LONG x1, LONG y1, LONG x2, LONG y2) {
        x1 = std::max<LONG>(x1, static_cast<LONG>(vp.X));
        y1 = std::max<LONG>(y1, static_cast<LONG>(vp.Y));
        x2 = std::min<LONG>(x2, static_cast<LONG>(vp.X + vp.Width));
        y2 = std::min<LONG>(y2, static_cast<LONG>(vp.Y + vp.Height));
        if (x2 <= x1 || y2 <= y1) return;
        glScissor(x1, m_direct ? static_cast<LONG>(m_height) - y2 : y1, x2 - x1, y2 - y1);
        glClear(mask);
    };
    if (count == 0)
        clearRect(static_cast<LONG>(vp.X), static_cast<LONG>(vp.Y), static_cast<LONG>(vp.X + vp.Width),
                  static_cast<LONG>(vp.Y + vp.Height));
    for (DWORD i = 0; i < count; ++i) clearRect(rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2);
    glDisable(GL_SCISSOR_TEST);
}

void CGlRenderer::Present() {
    if (!MakeCurrent()) return;
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(m_window, &w, &h);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_fbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glDisable(GL_SCISSOR_TEST);
    if (!m_direct && w > 0 && h > 0) {
        const bool same = static_cast<UINT>(w) == m_width && static_cast<UINT>(h) == m_height;
        glBlitFramebuffer(0, 0, static_cast<GLint>(m_width), static_cast<GLint>(m_height), 0, h, w, 0,
                          GL_COLOR_BUFFER_BIT, same ? GL_NEAREST : GL_LINEAR);
    }
    if (PresentCaptureRequested() && w > 0 && h > 0) {
        // The default framebuffer is bottom-up: turn it into top-down rows.
        std::vector<DWORD> bottomUp(static_cast<size_t>(w) * h);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_BYTE, bottomUp.data());
        m_presented.resize(bottomUp.size());
        for (int y = 0; y < h; ++y)
            memcpy(&m_presented[static_cast<size_t>(y) * w], &bottomUp[static_cast<size_t>(h - 1 - y) * w],
                   static_cast<size_t>(w) * 4);
        m_presentedWidth = static_cast<UINT>(w);
        m_presentedHeight = static_cast<UINT>(h);
    }
    SDL_GL_SwapWindow(m_window);
    ForgetHandedParts();  // the swap has waited for all of them
    m_unflushedVertices = 0;
    m_screenSpaceLast = false;
    glBindFramebuffer(GL_FRAMEBUFFER, m_target);
    m_boundFbo = m_target;
}

std::vector<DWORD> CGlRenderer::ReadBack(UINT* width, UINT* height) {
    *width = *height = 0;
    if (!MakeCurrent()) return {};
    std::vector<DWORD> out(static_cast<size_t>(m_width) * m_height);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_target);
    m_boundFbo = kUnknown;
    glReadPixels(0, 0, static_cast<GLsizei>(m_width), static_cast<GLsizei>(m_height), GL_BGRA, GL_UNSIGNED_BYTE,
                 out.data());  // offscreen, row 0 is the top row already
    if (m_direct) {
        const size_t row = m_width;
        for (size_t top = 0, bottom = m_height - 1; top < bottom; ++top, --bottom)
            std::swap_ranges(out.begin() + static_cast<std::ptrdiff_t>(top * row),
                             out.begin() + static_cast<std::ptrdiff_t>((top + 1) * row),
                             out.begin() + static_cast<std::ptrdiff_t>(bottom * row));
    }
    *width = m_width;
    *height = m_height;
    return out;
}

GLuint CGlRenderer::CompileStage(GLenum stage, const std::string& text, std::string* log) {
    GLuint s = glCreateShader(stage);
    const char* src = text.c_str();
    glShaderSource(s, 1, &src, nullptr);
    glCompileShader(s);
    GLint ok = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        GLint length = 0;
        glGetShaderiv(s, GL_INFO_LOG_LENGTH, &length);
        std::string info(static_cast<size_t>(std::max(length, 1)), '\0');
        glGetShaderInfoLog(s, length, nullptr, &info[0]);
        info.resize(strlen(info.c_str()));
        if (log) *log = info;
        glDeleteShader(s);
        return 0;
    }
    return s;
}

bool CGlRenderer::CompileShader(CShader& shader, std::string* log) {
    if (!MakeCurrent()) {
        if (log) *log = "no GL context";
        return false;
    }
    const bool vertex = shader.Kind() == D3D9_GLSL_VERTEX;
    const std::string text = vertex ? WrapVertexShader(shader.Text()) : WrapPixelShader(shader.Text());
    std::string info;
    shader.m_glName = CompileStage(vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER, text, &info);
    if (!shader.m_glName) fprintf(stderr, "d3d9: %s shader failed to compile: %s\n", vertex ? "vertex" : "pixel", info.c_str());
    if (log) *log = info;
    return shader.m_glName != 0;
}

void CGlRenderer::Forget(CDeviceObject& object) {
    if (!MakeCurrent()) return;
    // GL unbinds what it deletes, and may hand the name out again.
    if (auto* t = dynamic_cast<CTextureBase*>(&object)) {
        if (t->m_glName) glDeleteTextures(1, &t->m_glName);
        for (int i = 0; i < kStages; ++i) {
            if (m_bound2D[i] == t->m_glName) m_bound2D[i] = kUnknown;
            if (m_boundCube[i] == t->m_glName) m_boundCube[i] = kUnknown;
        }
        t->m_glName = 0;
    } else if (auto* b = dynamic_cast<CBufferBase*>(&object)) {
        if (b->m_glName) glDeleteBuffers(1, &b->m_glName);
        if (m_arrayBuffer == b->m_glName) m_arrayBuffer = kUnknown;
        if (m_elementBuffer == b->m_glName) m_elementBuffer = kUnknown;
        m_attribsValid = false;
        b->m_glName = 0;
    } else if (auto* s = dynamic_cast<CShader*>(&object)) {
        m_lastProgram = nullptr;
        m_boundProgram = kUnknown;
        for (auto it = m_programs.begin(); it != m_programs.end();) {
            if (it->second.vsSerial == s->m_serial || it->second.psSerial == s->m_serial) {
                glDeleteProgram(it->second.name);
                it = m_programs.erase(it);
            } else {
                ++it;
            }
        }
        if (s->m_glName) glDeleteShader(s->m_glName);
        s->m_glName = 0;
    }
}

Program* CGlRenderer::Link(uint64_t vsId, uint64_t psId, GLuint vsName, GLuint psName, GLuint psMain,
                           uint32_t vsSerial, uint32_t psSerial) {
    const auto key = std::make_pair(vsId, psId);
    Program p;
    p.vsSerial = vsSerial;
    p.psSerial = psSerial;
    p.name = glCreateProgram();
    glAttachShader(p.name, vsName);
    glAttachShader(p.name, psName);
    if (psMain) glAttachShader(p.name, psMain);
    glLinkProgram(p.name);
    GLint ok = 0;
    glGetProgramiv(p.name, GL_LINK_STATUS, &ok);
    if (!ok) {
        char info[2048] = {};
        glGetProgramInfoLog(p.name, sizeof info, nullptr, info);
        fprintf(stderr, "d3d9: shader program failed to link: %s\n", info);
        glDeleteProgram(p.name);
        p.name = 0;
        m_programs[key] = p;  // do not retry (or report again) every draw
        return nullptr;
    }
    UseProgram(p.name);
    auto loc = [&](const char* n) { return glGetUniformLocation(p.name, n); };
    p.vsConst = loc("vs_c");
    p.psConst = loc("ps_c");
    p.clip = loc("u_d3d_clip");
    p.point = loc("u_d3d_point");
    p.alphaRef = loc("u_d3d_alphaRef");
    p.world = loc("u_world");
    p.view = loc("u_view");
    p.proj = loc("u_proj");
    p.viewport = loc("u_viewport");
    p.depthRange = loc("u_depthRange");
    p.matDiffuse = loc("u_matDiffuse");
    p.matAmbient = loc("u_matAmbient");
    p.matEmissive = loc("u_matEmissive");
    p.ambient = loc("u_ambient");
    p.pointScale = loc("u_pointScale");
    p.tfactor = loc("u_tfactor");
    p.stageConstant = loc("u_stageConstant");
    // Registers past the highest one the program reads need no upload.
    GLint uniforms = 0;
    glGetProgramiv(p.name, GL_ACTIVE_UNIFORMS, &uniforms);
    for (GLint i = 0; i < uniforms; ++i) {
        char name[64];
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(p.name, static_cast<GLuint>(i), sizeof name, nullptr, &size, &type, name);
        if (!strncmp(name, "vs_c", 4)) p.vsCount = size;
        if (!strncmp(name, "ps_c", 4)) p.psCount = size;
    }
    memset(&p.cache, 0xFF, sizeof p.cache);  // NaNs: the first draw sets everything
    for (int i = 0; i < kStages; ++i) {
        const std::string n = "s" + std::to_string(i);
        GLint l = loc(n.c_str());
        if (l >= 0) glUniform1i(l, i);
    }
    return &(m_programs[key] = p);
}

Program* CGlRenderer::ProgramFor(CDevice& device, const DeviceState& s, const uint8_t textureTypes[kStages],
                                 bool noAlphaTest) {
    const bool ffVertex = !s.vertexShader, ffPixel = !s.pixelShader;
    if ((ffVertex || ffPixel) &&
        (device.FixedFunctionSerial() != m_ffSerial || m_ffDecl != device.CurrentDeclaration() ||
         memcmp(m_ffTextureTypes, textureTypes, kStages) != 0 || m_ffNoAlphaTest != noAlphaTest)) {
        // A state the generated shaders depend on changed: find them again.
        m_ffSerial = device.FixedFunctionSerial();
        m_ffDecl = device.CurrentDeclaration();
        memcpy(m_ffTextureTypes, textureTypes, kStages);
        m_ffNoAlphaTest = noAlphaTest;
        m_ffVertexName = m_ffPixelName = 0;
        const FFVertexKey vkey = MakeVertexKey(s, *device.CurrentDeclaration());
        auto v = m_ffVertex.find(vkey);
        if (v == m_ffVertex.end()) {
            std::string log;
            GLuint name = CompileStage(GL_VERTEX_SHADER, VertexShaderText(vkey), &log);
            if (name == 0) fprintf(stderr, "d3d9: generated vertex shader failed to compile: %s\n", log.c_str());
            v = m_ffVertex.emplace(vkey, name).first;  // a failure is remembered, not retried
        }
        FFPixelKey pkey = MakePixelKey(s, textureTypes);
        if (noAlphaTest) pkey.alphaFunc = 0;
        auto p = m_ffPixel.find(pkey);
        if (p == m_ffPixel.end()) {
            std::string log;
            GLuint name = CompileStage(GL_FRAGMENT_SHADER, PixelShaderText(pkey), &log);
            if (name == 0) fprintf(stderr, "d3d9: generated pixel shader failed to compile: %s\n", log.c_str());
            p = m_ffPixel.emplace(pkey, name).first;
        }
        m_ffVertexName = v->second;
        m_ffPixelName = p->second;
    }
    uint64_t vsId, psId;
    GLuint vsName, psName, psMain = 0;
    if (!ffVertex) {
        vsId = s.vertexShader->m_serial;
        vsName = s.vertexShader->m_glName;
    } else {
        vsName = m_ffVertexName;
        vsId = (1ull << 63) | vsName;
    }
    if (!ffPixel) {
        const uint8_t alphaFunc = AlphaFuncOf(s);
        psId = s.pixelShader->m_serial | (static_cast<uint64_t>(alphaFunc) << 32);
        psName = s.pixelShader->m_glName;
        if (!m_pixelMains[alphaFunc]) {
            std::string log;
            m_pixelMains[alphaFunc] = CompileStage(GL_FRAGMENT_SHADER, PixelMainText(alphaFunc), &log);
            if (!m_pixelMains[alphaFunc]) fprintf(stderr, "d3d9: pixel shader main failed to compile: %s\n", log.c_str());
        }
        psMain = m_pixelMains[alphaFunc];
        if (!psMain) return nullptr;
    } else {
        psName = m_ffPixelName;
        psId = (1ull << 63) | psName;
    }
    if (!vsName || !psName) return nullptr;
    const auto key = std::make_pair(vsId, psId);
    if (m_lastProgram && key == m_lastProgramKey) return m_lastProgram;
    auto found = m_programs.find(key);
    Program* p = nullptr;
    if (found != m_programs.end())
        p = found->second.name ? &found->second : nullptr;
    else
        p = Link(vsId, psId, vsName, psName, psMain, ffVertex ? 0 : s.vertexShader->m_serial,
                 ffPixel ? 0 : s.pixelShader->m_serial);
    if (p) {
        m_lastProgram = p;
        m_lastProgramKey = key;
    }
    return p;
}

void CGlRenderer::UploadTexture(CTextureBase& tex, GLenum target) {
    GlFormat f;
    if (!FormatFor(tex.Format(), &f)) return;
    const bool decode = f.compressed && !m_s3tc;  // no S3TC: decode the blocks here
    if (decode) FormatFor(D3DFMT_A8R8G8B8, &f);
    const bool fresh = tex.m_glName == 0;
    if (fresh) glGenTextures(1, &tex.m_glName);
    tex.m_transparent.resize(static_cast<size_t>(tex.Faces()) * tex.Levels(), true);
    glBindTexture(target, tex.m_glName);
    (target == GL_TEXTURE_2D ? m_bound2D : m_boundCube)[m_activeUnit] = tex.m_glName;
    if (fresh) {
        glTexParameteri(target, GL_TEXTURE_BASE_LEVEL, 0);
        glTexParameteri(target, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(tex.Levels()) - 1);
        glTexParameteriv(target, GL_TEXTURE_SWIZZLE_RGBA, f.swizzle);
    }
    for (UINT face = 0; face < tex.Faces(); ++face) {
        const GLenum faceTarget = target == GL_TEXTURE_2D ? GL_TEXTURE_2D : GL_TEXTURE_CUBE_MAP_POSITIVE_X + face;
        for (UINT level = 0; level < tex.Levels(); ++level) {
            const size_t index = face * tex.Levels() + level;
            if (!fresh && !tex.m_dirty[index]) continue;
            TextureLevel& lv = tex.Level(face, level);
            if (lv.store == LevelStore::Backend) {
                tex.m_dirty[index] = false;  // GL holds it already
                continue;
            }
            const GLint l = static_cast<GLint>(level);
            std::vector<uint8_t> zeros;
            if (lv.store == LevelStore::Zero) zeros.assign(lv.Bytes(), 0);
            const uint8_t* bits = lv.store == LevelStore::Zero ? zeros.data() : lv.bits.data();
            std::vector<uint32_t> decoded;
            const void* data = bits;
            if (decode) {
                decoded = DecodeDxt(tex.Format(), bits, lv.width, lv.height);
                data = decoded.data();
            }
            if (f.compressed) {
                glCompressedTexImage2D(faceTarget, l, f.internal, static_cast<GLsizei>(lv.width),
                                       static_cast<GLsizei>(lv.height), 0, static_cast<GLsizei>(lv.Bytes()), bits);
            } else if (fresh) {
                glTexImage2D(faceTarget, l, static_cast<GLint>(f.internal), static_cast<GLsizei>(lv.width),
                             static_cast<GLsizei>(lv.height), 0, f.format, f.type, data);
            } else {
                glTexSubImage2D(faceTarget, l, 0, 0, static_cast<GLsizei>(lv.width), static_cast<GLsizei>(lv.height),
                                f.format, f.type, data);
            }
            tex.m_dirty[index] = lv.locked;  // still being written: again when unlocked
            tex.m_transparent[index] = !LevelOpaque(tex.Format(), lv);
        }
    }
    // A managed texture's copy in memory only doubles the driver's: a later
    // lock reads it back. Decoded blocks could not be read back as such.
    if (tex.Pool() == D3DPOOL_MANAGED && !decode) {
        for (UINT face = 0; face < tex.Faces(); ++face)
            for (UINT level = 0; level < tex.Levels(); ++level) {
                TextureLevel& lv = tex.Level(face, level);
                if (lv.store != LevelStore::Memory || lv.locked || tex.m_dirty[face * tex.Levels() + level]) continue;
                std::vector<uint8_t>().swap(lv.bits);
                lv.store = LevelStore::Backend;
            }
    }
    tex.m_opaque = std::none_of(tex.m_transparent.begin(), tex.m_transparent.end(), [](bool t) { return t; });
    if (tex.Usage() & D3DUSAGE_AUTOGENMIPMAP) {
        glTexParameteri(target, GL_TEXTURE_MAX_LEVEL, 1000);
        glGenerateMipmap(target);
    }
    tex.m_anyDirty = std::any_of(tex.m_dirty.begin(), tex.m_dirty.end(), [](bool d) { return d; });
}

// Loading a texture writes its levels one lock at a time: each goes to GL at
// its unlock, so the copies in memory never pile up while a theme loads.
void CGlRenderer::TextureUnlocked(CTextureBase& tex) {
    GlFormat f;
    if (!MakeCurrent() || !FormatFor(tex.Format(), &f)) return;
    ActiveUnit(m_activeUnit < 0 ? 0 : m_activeUnit);
    UploadTexture(tex, tex.TextureType() == D3DRTYPE_CUBETEXTURE ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D);
}

bool CGlRenderer::ReadTextureLevel(CTextureBase& tex, UINT face, UINT level) {
    GlFormat f;
    if (!tex.m_glName || !MakeCurrent() || !FormatFor(tex.Format(), &f) || (f.compressed && !m_s3tc)) return false;
    const bool cube = tex.TextureType() == D3DRTYPE_CUBETEXTURE;
    const GLenum target = cube ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D;
    ActiveUnit(m_activeUnit < 0 ? 0 : m_activeUnit);
    glBindTexture(target, tex.m_glName);
    (cube ? m_boundCube : m_bound2D)[m_activeUnit] = tex.m_glName;
    const GLenum faceTarget = cube ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + face : GL_TEXTURE_2D;
    TextureLevel& lv = tex.Level(face, level);
    if (f.compressed)
        glGetCompressedTexImage(faceTarget, static_cast<GLint>(level), lv.bits.data());
    else
        glGetTexImage(faceTarget, static_cast<GLint>(level), f.format, f.type, lv.bits.data());
    return glGetError() == GL_NO_ERROR;
}

void CGlRenderer::UploadBuffer(CBufferBase& b, GLenum target) {
    const bool fresh = b.m_glName == 0;
    if (!fresh && !b.m_discarded && b.m_dirtyEnd <= b.m_dirtyBegin) return;  // GL has it all
    if (fresh) glGenBuffers(1, &b.m_glName);
    if (target == GL_ARRAY_BUFFER)
        BindArrayBuffer(b.m_glName);
    else
        BindElementBuffer(b.m_glName);
    if (fresh || b.m_discarded) {
        // A discard lets the driver hand us fresh storage instead of waiting.
        glBufferData(target, b.Length(), b.Data(), GL_STATIC_DRAW);
    } else {
        glBufferSubData(target, b.m_dirtyBegin, b.m_dirtyEnd - b.m_dirtyBegin, b.Data() + b.m_dirtyBegin);
    }
    b.m_discarded = false;
    b.m_dirtyBegin = b.m_dirtyEnd = 0;
}

void CGlRenderer::BindTextures(const DeviceState& s, uint8_t types[kStages]) {
    for (int i = 0; i < kStages; ++i) {
        CTextureBase* t = s.textures[i];
        types[i] = 0;
        GLuint want2D = 0, wantCube = 0;
        GlFormat f;
        if (t && FormatFor(t->Format(), &f)) {
            const bool cube = t->TextureType() == D3DRTYPE_CUBETEXTURE;
            types[i] = cube ? 2 : 1;
            if (t->m_anyDirty || !t->m_glName) {
                ActiveUnit(i);
                UploadTexture(*t, cube ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D);
            }
            (cube ? wantCube : want2D) = t->m_glName;
        }
        // One unit must not hold both kinds while a sampler reads it.
        if (m_bound2D[i] != want2D) {
            ActiveUnit(i);
            glBindTexture(GL_TEXTURE_2D, want2D);
            m_bound2D[i] = want2D;
        }
        if (m_boundCube[i] != wantCube) {
            ActiveUnit(i);
            glBindTexture(GL_TEXTURE_CUBE_MAP, wantCube);
            m_boundCube[i] = wantCube;
        }
        if (i < kSamplers && t &&
            (!m_samplerValid[i] || memcmp(m_samplerCache[i], s.samplerStates[i], sizeof m_samplerCache[i]) != 0)) {
            const DWORD* p = s.samplerStates[i];
            const GLuint sm = m_samplers[i];
            glSamplerParameteri(sm, GL_TEXTURE_WRAP_S, static_cast<GLint>(AddressMode(p[D3DSAMP_ADDRESSU])));
            glSamplerParameteri(sm, GL_TEXTURE_WRAP_T, static_cast<GLint>(AddressMode(p[D3DSAMP_ADDRESSV])));
            glSamplerParameteri(sm, GL_TEXTURE_WRAP_R, static_cast<GLint>(AddressMode(p[D3DSAMP_ADDRESSW])));
            float border[4];
            ColorOf(p[D3DSAMP_BORDERCOLOR], border);
            glSamplerParameterfv(sm, GL_TEXTURE_BORDER_COLOR, border);
            const bool magLinear = p[D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR;
            const bool minLinear = p[D3DSAMP_MINFILTER] >= D3DTEXF_LINEAR;
            GLenum minFilter;
            switch (p[D3DSAMP_MIPFILTER]) {
                case D3DTEXF_POINT: minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST; break;
                case D3DTEXF_NONE: minFilter = minLinear ? GL_LINEAR : GL_NEAREST; break;
                default: minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR; break;
            }
            glSamplerParameteri(sm, GL_TEXTURE_MAG_FILTER, magLinear ? GL_LINEAR : GL_NEAREST);
            glSamplerParameteri(sm, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(minFilter));
            glSamplerParameterf(sm, GL_TEXTURE_LOD_BIAS, BitsFloat(p[D3DSAMP_MIPMAPLODBIAS]));
            glSamplerParameterf(sm, GL_TEXTURE_MIN_LOD, static_cast<float>(p[D3DSAMP_MAXMIPLEVEL]));
            memcpy(m_samplerCache[i], p, sizeof m_samplerCache[i]);
            m_samplerValid[i] = true;
        }
    }
}

void CGlRenderer::ApplyStates(CDevice& device, const DeviceState& s, bool noBlend) {
    const DWORD* rs = s.renderStates;
    const D3DVIEWPORT9& vp = s.viewport;
    RasterState r;
    memset(&r, 0, sizeof r);
    r.viewport[0] = static_cast<GLint>(vp.X);
    r.viewport[1] = m_direct ? static_cast<GLint>(m_height) - static_cast<GLint>(vp.Y + vp.Height)
                             : static_cast<GLint>(vp.Y);
    r.viewport[2] = static_cast<GLint>(vp.Width);
    r.viewport[3] = static_cast<GLint>(vp.Height);
    r.depthRange[0] = vp.MinZ;
    r.depthRange[1] = vp.MaxZ;
    const bool depth = device.HasDepthBuffer() && rs[D3DRS_ZENABLE] != D3DZB_FALSE;
    r.depthTest = depth;
    r.depthFunc = depth ? CompareFunc(rs[D3DRS_ZFUNC]) : 0;
    r.depthMask = depth && rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE;
    // CULLMODE names the faces dropped: CCW keeps clockwise ones. Drawing
    // upside down turns screen clockwise into GL counter-clockwise.
    r.cull = rs[D3DRS_CULLMODE] != D3DCULL_NONE;
    r.frontFace = !r.cull ? 0 : rs[D3DRS_CULLMODE] == D3DCULL_CCW ? GL_CCW : GL_CW;
    r.polygonMode = rs[D3DRS_FILLMODE] == D3DFILL_WIREFRAME ? GL_LINE
                    : rs[D3DRS_FILLMODE] == D3DFILL_POINT   ? GL_POINT
                                                            : GL_FILL;
    r.blend = rs[D3DRS_ALPHABLENDENABLE] != 0 && !noBlend;
    if (r.blend) {
        BlendPair(rs[D3DRS_SRCBLEND], rs[D3DRS_DESTBLEND], &r.src, &r.dst);
        r.eq = BlendOp(rs[D3DRS_BLENDOP]);
        if (rs[D3DRS_SEPARATEALPHABLENDENABLE]) {
            BlendPair(rs[D3DRS_SRCBLENDALPHA], rs[D3DRS_DESTBLENDALPHA], &r.srcA, &r.dstA);
            r.eqA = BlendOp(rs[D3DRS_BLENDOPALPHA]);
        } else {
            r.srcA = r.src;
            r.dstA = r.dst;
            r.eqA = r.eq;
        }
        r.blendColor = rs[D3DRS_BLENDFACTOR];
    }
    r.colorMask = rs[D3DRS_COLORWRITEENABLE] & 0xF;
    r.stencil = rs[D3DRS_STENCILENABLE] && device.HasDepthBuffer();
    if (r.stencil) {
        r.stencilFunc = CompareFunc(rs[D3DRS_STENCILFUNC]);
        r.stencilRef = static_cast<GLint>(rs[D3DRS_STENCILREF]);
        r.stencilMask = rs[D3DRS_STENCILMASK];
        r.stencilFail = StencilOp(rs[D3DRS_STENCILFAIL]);
        r.stencilZFail = StencilOp(rs[D3DRS_STENCILZFAIL]);
        r.stencilPass = StencilOp(rs[D3DRS_STENCILPASS]);
        r.stencilWriteMask = rs[D3DRS_STENCILWRITEMASK];
    }
    const bool all = !m_rasterValid;
    RasterState& o = m_raster;
    if (!all && memcmp(&r, &o, sizeof r) == 0) return;
#define H1_CHANGED(field) (all || memcmp(&r.field, &o.field, sizeof r.field) != 0)
    if (H1_CHANGED(viewport)) glViewport(r.viewport[0], r.viewport[1], r.viewport[2], r.viewport[3]);
    if (H1_CHANGED(depthRange)) glDepthRange(r.depthRange[0], r.depthRange[1]);
    if (H1_CHANGED(depthTest)) Toggle(GL_DEPTH_TEST, r.depthTest);
    if (r.depthTest && H1_CHANGED(depthFunc)) glDepthFunc(r.depthFunc);
    if (H1_CHANGED(depthMask)) glDepthMask(r.depthMask);
    if (H1_CHANGED(cull)) Toggle(GL_CULL_FACE, r.cull);
    if (r.cull && H1_CHANGED(frontFace)) {
        if (all) glCullFace(GL_BACK);
        glFrontFace(r.frontFace);
    }
    if (H1_CHANGED(polygonMode)) glPolygonMode(GL_FRONT_AND_BACK, r.polygonMode);
    if (H1_CHANGED(blend)) Toggle(GL_BLEND, r.blend);
    if (r.blend) {
        if (H1_CHANGED(eq) || H1_CHANGED(eqA)) glBlendEquationSeparate(r.eq, r.eqA);
        if (H1_CHANGED(src) || H1_CHANGED(dst) || H1_CHANGED(srcA) || H1_CHANGED(dstA))
            glBlendFuncSeparate(r.src, r.dst, r.srcA, r.dstA);
        if (H1_CHANGED(blendColor)) {
            float factor[4];
            ColorOf(r.blendColor, factor);
            glBlendColor(factor[0], factor[1], factor[2], factor[3]);
        }
    }
    if (H1_CHANGED(colorMask))
        glColorMask(r.colorMask & 1 ? GL_TRUE : GL_FALSE, r.colorMask & 2 ? GL_TRUE : GL_FALSE,
                    r.colorMask & 4 ? GL_TRUE : GL_FALSE, r.colorMask & 8 ? GL_TRUE : GL_FALSE);
    if (H1_CHANGED(stencil)) Toggle(GL_STENCIL_TEST, r.stencil);
    if (r.stencil) {
        if (H1_CHANGED(stencilFunc) || H1_CHANGED(stencilRef) || H1_CHANGED(stencilMask))
            glStencilFunc(r.stencilFunc, r.stencilRef, r.stencilMask);
        if (H1_CHANGED(stencilFail) || H1_CHANGED(stencilZFail) || H1_CHANGED(stencilPass))
            glStencilOp(r.stencilFail, r.stencilZFail, r.stencilPass);
        if (H1_CHANGED(stencilWriteMask)) glStencilMask(r.stencilWriteMask);
    }
#undef H1_CHANGED
    // Fields of a group that is off were not sent: keep GL's values for them.
    if (!r.depthTest) r.depthFunc = all ? 0 : o.depthFunc;
    if (!r.cull) r.frontFace = all ? 0 : o.frontFace;
    if (!r.blend) {
        RasterState keep = o;
        if (all) memset(&keep, 0, sizeof keep);
        r.src = keep.src, r.dst = keep.dst, r.srcA = keep.srcA, r.dstA = keep.dstA;
        r.eq = keep.eq, r.eqA = keep.eqA, r.blendColor = keep.blendColor;
    }
    if (!r.stencil) {
        RasterState keep = o;
        if (all) memset(&keep, 0, sizeof keep);
        r.stencilFunc = keep.stencilFunc, r.stencilRef = keep.stencilRef, r.stencilMask = keep.stencilMask;
        r.stencilFail = keep.stencilFail, r.stencilZFail = keep.stencilZFail, r.stencilPass = keep.stencilPass;
        r.stencilWriteMask = keep.stencilWriteMask;
    }
    m_raster = r;
    m_rasterValid = true;
}

namespace {
template <size_t N>
bool Differs(float (&cache)[N], const float* value) {
    if (memcmp(cache, value, sizeof cache) == 0) return false;
    memcpy(cache, value, sizeof cache);
    return true;
}

// The first and last register written after `since`, within `count`.
bool DirtyRange(const uint64_t* serials, GLint count, uint64_t since, GLint* first, GLint* last) {
    *first = -1;
    for (GLint i = 0; i < count; ++i)
        if (serials[i] > since) {
            if (*first < 0) *first = i;
            *last = i;
        }
    return *first >= 0;
}
}  // namespace

void CGlRenderer::SetUniforms(CDevice& device, const DeviceState& s, Program& p) {
    const DWORD* rs = s.renderStates;
    const D3DVIEWPORT9& vp = s.viewport;
    UniformCache& c = p.cache;
    // Only the registers written since this program last drew; they persist
    // across program switches, so each program catches up on its own.
    GLint first, last;
    if (p.vsConst >= 0 && p.vsUploaded != device.ConstantSerial()) {
        const GLint count = std::min<GLint>(p.vsCount, static_cast<GLint>(device.VertexConstantsUsed()));
        if (DirtyRange(device.VertexRegisterSerials(), count, p.vsUploaded, &first, &last))
            glUniform4fv(p.vsConst + first, last - first + 1, &s.vertexConstants[first][0]);
        p.vsUploaded = device.ConstantSerial();
    }
    if (p.psConst >= 0 && p.psUploaded != device.ConstantSerial()) {
        const GLint count = std::min<GLint>(p.psCount, static_cast<GLint>(device.PixelConstantsUsed()));
        if (DirtyRange(device.PixelRegisterSerials(), count, p.psUploaded, &first, &last))
            glUniform4fv(p.psConst + first, last - first + 1, &s.pixelConstants[first][0]);
        p.psUploaded = device.ConstantSerial();
    }
    // D3D9 puts pixel centres where GL puts pixel corners: shift by half a pixel.
    if (p.clip >= 0) {
        const float v[2] = {1.0f / vp.Width, 1.0f / vp.Height};
        if (Differs(c.clip, v)) glUniform4f(p.clip, v[0], v[1], 0.0f, 0.0f);
    }
    if (p.point >= 0) {
        const float v[3] = {BitsFloat(rs[D3DRS_POINTSIZE]), BitsFloat(rs[D3DRS_POINTSIZE_MIN]),
                            std::min(BitsFloat(rs[D3DRS_POINTSIZE_MAX]), 256.0f)};
        if (Differs(c.point, v)) glUniform3fv(p.point, 1, v);
    }
    if (p.alphaRef >= 0) {
        const float v = static_cast<float>(rs[D3DRS_ALPHAREF] & 0xFF);
        if (memcmp(&c.alphaRef, &v, 4) != 0) {
            c.alphaRef = v;
            glUniform1f(p.alphaRef, v);
        }
    }
    if (p.world >= 0 && Differs(c.world, &s.transforms[0]._11)) glUniformMatrix4fv(p.world, 1, GL_FALSE, c.world);
    if (p.view >= 0 && Differs(c.view, &s.transforms[1]._11)) glUniformMatrix4fv(p.view, 1, GL_FALSE, c.view);
    if (p.proj >= 0 && Differs(c.proj, &s.transforms[2]._11)) glUniformMatrix4fv(p.proj, 1, GL_FALSE, c.proj);
    if (p.viewport >= 0) {
        const float v[4] = {static_cast<float>(vp.X), static_cast<float>(vp.Y), static_cast<float>(vp.Width),
                            static_cast<float>(vp.Height)};
        if (Differs(c.viewport, v)) glUniform4fv(p.viewport, 1, v);
    }
    if (p.depthRange >= 0) {
        const float v[2] = {vp.MinZ, vp.MaxZ};
        if (Differs(c.depthRange, v)) glUniform2fv(p.depthRange, 1, v);
    }
    if (p.matDiffuse >= 0 && Differs(c.matDiffuse, &s.material.Diffuse.r)) glUniform4fv(p.matDiffuse, 1, c.matDiffuse);
    if (p.matAmbient >= 0 && Differs(c.matAmbient, &s.material.Ambient.r)) glUniform4fv(p.matAmbient, 1, c.matAmbient);
    if (p.matEmissive >= 0 && Differs(c.matEmissive, &s.material.Emissive.r))
        glUniform4fv(p.matEmissive, 1, c.matEmissive);
    float v[4];
    if (p.ambient >= 0) {
        ColorOf(rs[D3DRS_AMBIENT], v);
        if (Differs(c.ambient, v)) glUniform4fv(p.ambient, 1, v);
    }
    if (p.pointScale >= 0) {
        const float k[3] = {BitsFloat(rs[D3DRS_POINTSCALE_A]), BitsFloat(rs[D3DRS_POINTSCALE_B]),
                            BitsFloat(rs[D3DRS_POINTSCALE_C])};
        if (Differs(c.pointScale, k)) glUniform3fv(p.pointScale, 1, k);
    }
    if (p.tfactor >= 0) {
        ColorOf(rs[D3DRS_TEXTUREFACTOR], v);
        if (Differs(c.tfactor, v)) glUniform4fv(p.tfactor, 1, v);
    }
    if (p.stageConstant >= 0) {
        float k[kStages][4];
        for (int i = 0; i < kStages; ++i) ColorOf(s.stageStates[i][D3DTSS_CONSTANT], k[i]);
        if (memcmp(c.stageConstant, k, sizeof k) != 0) {
            memcpy(c.stageConstant, k, sizeof k);
            glUniform4fv(p.stageConstant, kStages, &k[0][0]);
        }
    }
}

// Appends to the stream ring, `align`-aligned; moves on to the next ring
// when this one is full, so draws in flight keep reading what they were given.
GLintptr CGlRenderer::RingWrite(const void* data, size_t bytes, size_t align) {
    const GLintptr at = RingAlloc(bytes, align);
    return RingCopy(at, data, bytes) ? at : -1;
}

void CGlRenderer::Flush() {
    GLsync part = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    glFlush();
    GLsync& oldest = m_handedParts[m_handedIndex];
    WaitAndDelete(oldest);
    oldest = part;
    m_handedIndex = (m_handedIndex + 1) % kPartsAhead;
    m_unflushedVertices = 0;
}

void CGlRenderer::ForgetHandedParts() {
    for (GLsync& part : m_handedParts) DeleteFence(part);
    m_handedIndex = 0;
}

void CGlRenderer::RingNext(size_t atLeast) {
    while (static_cast<GLsizeiptr>(atLeast) > m_ringSize) m_ringSize *= 2;
    if (m_ring) m_ringFences[m_ringIndex] = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    m_ringIndex = (m_ringIndex + 1) % kRings;
    // Three rings back: long done, unless the driver runs frames behind.
    WaitAndDelete(m_ringFences[m_ringIndex]);
    m_ring = m_rings[m_ringIndex];
    BindArrayBuffer(m_ring);
    if (m_ringSizes[m_ringIndex] < m_ringSize) {
        // Storage is made once per ring, and again only to grow.
        glBufferData(GL_ARRAY_BUFFER, m_ringSize, nullptr, GL_STREAM_DRAW);
        m_ringSizes[m_ringIndex] = m_ringSize;
    }
    m_ringHead = 0;
    m_ringStore = ++g_ringStores;
}

// Room for `bytes` at an `align` multiple, past everything written since the
// ring was last taken up.
GLintptr CGlRenderer::RingAlloc(size_t bytes, size_t align) {
    GLsizeiptr at = (m_ringHead + static_cast<GLsizeiptr>(align) - 1) / static_cast<GLsizeiptr>(align) *
                    static_cast<GLsizeiptr>(align);
    if (at + static_cast<GLsizeiptr>(bytes) > m_ringSizes[m_ringIndex]) {
        RingNext(bytes);
        at = 0;
    }
    m_ringHead = at + static_cast<GLsizeiptr>(bytes);
    return at;
}

// Unsynchronised: nothing drawn so far reads these bytes of this store.
bool CGlRenderer::RingCopy(GLintptr at, const void* data, size_t bytes) {
    if (bytes == 0) return true;
    BindArrayBuffer(m_ring);
    void* p = glMapBufferRange(GL_ARRAY_BUFFER, at, static_cast<GLsizeiptr>(bytes),
                               GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT | GL_MAP_INVALIDATE_RANGE_BIT);
    if (!p) return false;
    memcpy(p, data, bytes);
    glUnmapBuffer(GL_ARRAY_BUFFER);
    return true;
}

// A dynamic buffer keeps its place in the ring while every lock since it
// was written there promised not to overwrite what draws read (the new bytes
// go in place); a discard or a plain lock, or a new store, moves it.
bool CGlRenderer::NeedsPlace(const CBufferBase& b) const {
    const bool dirty = b.m_dirtyEnd > b.m_dirtyBegin;
    return b.m_ringStore != m_ringStore || b.m_discarded || (dirty && !b.m_appendOnly);
}

bool CGlRenderer::PlaceDynamic(CBufferBase& b) {
    const bool dirty = b.m_dirtyEnd > b.m_dirtyBegin;
    if (!NeedsPlace(b)) {
        if (dirty && !RingCopy(static_cast<GLintptr>(b.m_ringBase) + b.m_dirtyBegin, b.Data() + b.m_dirtyBegin,
                               b.m_dirtyEnd - b.m_dirtyBegin))
            return false;
    } else {
        // The whole length is reserved, so later appends fit; after a discard
        // only the locked range holds data worth copying.
        const GLintptr at = RingAlloc(b.Length(), 16);
        const UINT from = b.m_discarded && dirty ? b.m_dirtyBegin : 0;
        const UINT to = b.m_discarded && dirty ? b.m_dirtyEnd : b.Length();
        if (!RingCopy(at + from, b.Data() + from, to - from)) return false;
        b.m_ringBase = at;
        b.m_ringStore = m_ringStore;
    }
    b.m_discarded = false;
    b.m_appendOnly = true;
    b.m_dirtyBegin = b.m_dirtyEnd = 0;
    return true;
}

// Writes the draw's dynamic buffers into the ring, all into one store: room
// for those that move is made first, so the next does not push one out.
bool CGlRenderer::StreamDynamic(const DeviceState& s, const CVertexDeclaration& decl, const DrawCall& call) {
    CBufferBase* list[kStreams + 1];
    int n = 0;
    auto add = [&](CBufferBase* b) {
        if (!b || !Dynamic(*b) || std::find(list, list + n, b) != list + n) return;
        list[n++] = b;
    };
    for (const D3DVERTEXELEMENT9& e : decl.Elements()) {
        if (e.Stream == 0xFF) break;
        if (e.Stream < kStreams) add(s.streams[e.Stream].buffer);
    }
    if (call.indexed) add(s.indices);
    if (n == 0) return true;
    size_t moving = 0, all = 0;
    for (int i = 0; i < n; ++i) {
        all += list[i]->Length() + 16;
        if (NeedsPlace(*list[i])) moving += list[i]->Length() + 16;
    }
    // A new store moves every one of them, and grows if they do not fit.
    if (m_ringHead + static_cast<GLsizeiptr>(moving) > m_ringSizes[m_ringIndex]) RingNext(all);
    for (int i = 0; i < n; ++i)
        if (!PlaceDynamic(*list[i])) return false;
    return true;
}

// Points the vertex attributes at the streams; nothing when they already are.
bool CGlRenderer::SetAttributes(const DeviceState& s, const CVertexDeclaration& decl, const DrawCall& call) {
    AttribSetup want;
    memset(&want, 0, sizeof want);
    want.decl = &decl;
    if (call.userVertices) {
        want.buffer[0] = m_ring;
        want.stride[0] = call.userStride;
    } else {
        for (int i = 0; i < kStreams; ++i) {
            const StreamBinding& b = s.streams[i];
            if (!b.buffer) continue;
            want.offset[i] = b.offset;
            want.stride[i] = b.stride;
        }
        for (const D3DVERTEXELEMENT9& e : decl.Elements()) {
            if (e.Stream == 0xFF) break;
            CVertexBuffer* b = s.streams[e.Stream].buffer;
            if (!b) continue;
            if (Dynamic(*b)) {
                want.buffer[e.Stream] = m_ring;
                want.offset[e.Stream] = s.streams[e.Stream].offset + static_cast<UINT>(b->m_ringBase);
                continue;
            }
            UploadBuffer(*b, GL_ARRAY_BUFFER);
            want.buffer[e.Stream] = b->m_glName;
        }
    }
    if (m_attribsValid && memcmp(&want, &m_attribs, sizeof want) == 0) return true;
    uint32_t used = 0;
    if (!m_attribsValid) m_enabledAttribs = 0xFFFFFFFFu;  // unknown: disable what is unused
    const uint32_t wasEnabled = m_attribsValid ? m_enabledAttribs : 0;
    for (const D3DVERTEXELEMENT9& e : decl.Elements()) {
        if (e.Stream == 0xFF) break;
        const int loc = AttributeLocation(e.Usage, e.UsageIndex);
        AttribFormat f;
        if (loc < 0 || (used & (1u << loc)) || !AttributeFormat(e.Type, &f) || !want.buffer[e.Stream]) continue;
        BindArrayBuffer(want.buffer[e.Stream]);
        if (!(wasEnabled & (1u << loc))) glEnableVertexAttribArray(static_cast<GLuint>(loc));
        glVertexAttribPointer(static_cast<GLuint>(loc), f.size, f.type, f.normalized,
                              static_cast<GLsizei>(want.stride[e.Stream]),
                              reinterpret_cast<const void*>(static_cast<size_t>(want.offset[e.Stream]) + e.Offset));
        used |= 1u << loc;
    }
    // Missing inputs read constants.
    for (int i = 0; i < 16; ++i) {
        if (used & (1u << i)) continue;
        if (m_enabledAttribs & (1u << i)) glDisableVertexAttribArray(static_cast<GLuint>(i));
        if (!m_attribsValid || (m_enabledAttribs & (1u << i))) {
            if (i == 2)
                glVertexAttrib4f(2, 1.0f, 1.0f, 1.0f, 1.0f);  // no diffuse colour reads as white
            else
                glVertexAttrib4f(static_cast<GLuint>(i), 0.0f, 0.0f, 0.0f, 1.0f);
        }
    }
    m_enabledAttribs = used;
    m_attribs = want;
    m_attribsValid = true;
    return true;
}

// Pre-transformed user vertices whose colours all have full alpha, through a
// first stage whose alpha comes from them, a texture without transparency or
// the texture factor: every fragment leaves the stages with alpha 1.
bool CGlRenderer::AlphaIsOne(const DeviceState& s, const CVertexDeclaration& decl, const DrawCall& call) const {
    if (s.pixelShader || !call.userVertices || !call.userStride || !decl.HasUsage(D3DDECLUSAGE_POSITIONT))
        return false;
    const DWORD* t0 = s.stageStates[0];
    if (t0[D3DTSS_COLOROP] == D3DTOP_DISABLE || s.stageStates[1][D3DTSS_COLOROP] != D3DTOP_DISABLE ||
        (t0[D3DTSS_RESULTARG] & D3DTA_SELECTMASK) == D3DTA_TEMP)
        return false;
    auto textureOpaque = [&] {
        const CTextureBase* t = s.textures[0];
        const DWORD* sampler = s.samplerStates[0];
        const bool border = sampler[D3DSAMP_ADDRESSU] == D3DTADDRESS_BORDER ||
                            sampler[D3DSAMP_ADDRESSV] == D3DTADDRESS_BORDER;
        return t && t->TextureType() == D3DRTYPE_TEXTURE && t->m_opaque && !t->m_anyDirty &&
               (!border || (sampler[D3DSAMP_BORDERCOLOR] >> 24) == 0xFF);
    };
    auto diffuseOpaque = [&] {
        const D3DVERTEXELEMENT9* color = nullptr;
        for (const D3DVERTEXELEMENT9& e : decl.Elements()) {
            if (e.Stream == 0xFF) break;
            if (e.Usage == D3DDECLUSAGE_COLOR && e.UsageIndex == 0) color = &e;
        }
        if (!color) return true;  // no colour reads as white
        if (color->Stream != 0 || color->Type != D3DDECLTYPE_D3DCOLOR) return false;
        const uint8_t* v = static_cast<const uint8_t*>(call.userVertices);
        for (size_t at = color->Offset; at + 4 <= call.userVertexBytes; at += call.userStride)
            if (v[at + 3] != 0xFF) return false;  // D3DCOLOR: alpha is the high byte
        return true;
    };
    auto argOpaque = [&](DWORD arg) {
        if (arg & (D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE)) return false;
        switch (arg & D3DTA_SELECTMASK) {
            case D3DTA_DIFFUSE:
            case D3DTA_CURRENT: return diffuseOpaque();
            case D3DTA_TEXTURE: return textureOpaque();
            case D3DTA_TFACTOR: return (s.renderStates[D3DRS_TEXTUREFACTOR] >> 24) == 0xFF;
            default: return false;
        }
    };
    switch (t0[D3DTSS_ALPHAOP]) {
        case D3DTOP_SELECTARG1: return argOpaque(t0[D3DTSS_ALPHAARG1]);
        case D3DTOP_SELECTARG2: return argOpaque(t0[D3DTSS_ALPHAARG2]);
        case D3DTOP_MODULATE: return argOpaque(t0[D3DTSS_ALPHAARG1]) && argOpaque(t0[D3DTSS_ALPHAARG2]);
        default: return false;
    }
}

HRESULT CGlRenderer::Draw(CDevice& device, const DrawCall& call) {
    if (!MakeCurrent()) return Refuse("no GL context");
    const DeviceState& s = device.State();
    CVertexDeclaration* decl = device.CurrentDeclaration();
    if (!decl) return Refuse("no vertex declaration");
    if ((s.vertexShader && !s.vertexShader->m_glName) || (s.pixelShader && !s.pixelShader->m_glName))
        return Refuse("the shader set did not compile");
    BindFramebuffer(m_target);
    const bool screenSpace = decl->HasUsage(D3DDECLUSAGE_POSITIONT);
    if (m_screenSpaceLast && !screenSpace) Flush();
    m_screenSpaceLast = screenSpace;

    uint8_t textureTypes[kStages];
    BindTextures(s, textureTypes);
    // Fragments of alpha 1 need neither blending nor an alpha test that full
    // alpha passes: the same picture for less fill (opaque sprites, a background).
    const DWORD* rs = s.renderStates;
    const bool blends = rs[D3DRS_ALPHABLENDENABLE] && BlendCopiesOpaque(rs);
    const bool testing = AlphaFuncOf(s) != 0;
    const bool tests = testing && AlphaTestPassesOpaque(rs);
    const bool alphaOne = (blends || tests) && AlphaIsOne(s, *decl, call);
    const bool testIdle = (alphaOne && tests) || (testing && AlphaTestDropsOnlyWhatAddsNothing(rs));
    Program* program = ProgramFor(device, s, textureTypes, testIdle);
    if (!program) return Refuse("no shader program (see the compile or link error above)");
    UseProgram(program->name);
    SetUniforms(device, s, *program);
    ApplyStates(device, s, alphaOne && blends);

    // User data goes into the ring at a multiple of its stride, so the
    // attributes stay put and only the first vertex moves.
    GLint firstVertex = static_cast<GLint>(call.startVertex);
    GLint baseVertex = call.baseVertex;
    GLintptr indexOffset = 0;
    if (call.userVertices) {
        const GLintptr at = RingWrite(call.userVertices, call.userVertexBytes, call.userStride);
        if (at < 0) return Refuse("could not map the stream buffer");
        firstVertex = baseVertex = static_cast<GLint>(at / static_cast<GLintptr>(call.userStride));
        if (call.userIndices) {
            indexOffset = RingWrite(call.userIndices, static_cast<size_t>(call.vertexCount) * call.userIndexSize,
                                    call.userIndexSize);
            if (indexOffset < 0) return Refuse("could not map the stream buffer");
        }
    }
    if (!call.userVertices && !StreamDynamic(s, *decl, call)) return Refuse("could not map the stream buffer");
    SetAttributes(s, *decl, call);

    const GLenum mode = PrimitiveMode(call.type);
    const GLsizei count = static_cast<GLsizei>(call.vertexCount);
    if (!call.indexed) {
        glDrawArrays(mode, firstVertex, count);
    } else if (call.userIndices) {
        BindElementBuffer(m_ring);
        glDrawElementsBaseVertex(mode, count, call.userIndexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                                 reinterpret_cast<const void*>(indexOffset), baseVertex);
    } else {
        CIndexBuffer* ib = s.indices;
        size_t offset = static_cast<size_t>(call.startIndex) * ib->IndexSize();
        if (Dynamic(*ib)) {
            BindElementBuffer(m_ring);
            offset += static_cast<size_t>(ib->m_ringBase);
        } else {
            UploadBuffer(*ib, GL_ELEMENT_ARRAY_BUFFER);
            BindElementBuffer(ib->m_glName);
        }
        glDrawElementsBaseVertex(mode, count, ib->IndexSize() == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                                 reinterpret_cast<const void*>(offset), baseVertex);
    }
    if (m_checkErrors) {
        for (GLenum e = glGetError(); e != GL_NO_ERROR; e = glGetError())
            fprintf(stderr, "d3d9: GL error 0x%04x after a draw\n", e);
    }
    m_unflushedVertices += count;
    if (m_unflushedVertices >= kFlushVertices) Flush();
    return D3D_OK;
}

}  // namespace

CRenderer* CreateGlRenderer() { return new CGlRenderer; }

}  // namespace d3d9
