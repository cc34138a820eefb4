// The GL backend: OpenGL 3.3 core through SDL2. The back buffer is an
// offscreen framebuffer of the present parameters' size (so full-screen sizes
// and read-back work whatever the window is); Present scales it into the window.
// Drawing is upside down in GL terms: row 0 of the framebuffer is the top row,
// as in D3D, which keeps D3D's rasterisation rules (see FixedFunction.cpp).
#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>
#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "IndexBuffer.h"
#include "VertexBuffer.h"
#include "Device.h"
#include "DxtDecoder.h"
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

struct Program {
    GLuint name = 0;
    GLint vsConst = -1, psConst = -1;
    GLint clip = -1, point = -1, alphaFunc = -1, alphaRef = -1;
    GLint world = -1, view = -1, proj = -1, viewport = -1, depthRange = -1;
    GLint matDiffuse = -1, matAmbient = -1, matEmissive = -1, ambient = -1, pointScale = -1;
    GLint tfactor = -1, stageConstant = -1;
    uint64_t vsVersion = 0, psVersion = 0;
    uint32_t vsSerial = 0, psSerial = 0;  // user shaders it was linked from (0: generated)
};

void ColorOf(DWORD argb, float out[4]) {
    out[0] = ((argb >> 16) & 0xFF) / 255.0f;
    out[1] = ((argb >> 8) & 0xFF) / 255.0f;
    out[2] = (argb & 0xFF) / 255.0f;
    out[3] = ((argb >> 24) & 0xFF) / 255.0f;
}

class CGlRenderer final : public CRenderer {
public:
    ~CGlRenderer() override { Close(); }

    HRESULT Open(HWND window, const D3DPRESENT_PARAMETERS& pp, UINT* width, UINT* height) override;
    HRESULT Resize(HWND window, const D3DPRESENT_PARAMETERS& pp, UINT* width, UINT* height) override;
    void Clear(CDevice& device, DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
               DWORD stencil) override;
    void Draw(CDevice& device, const DrawCall& call) override;
    void Present() override;
    bool CompileShader(CShader& shader, std::string* log) override;
    void Forget(CDeviceObject& object) override;
    std::vector<DWORD> ReadBack(UINT* width, UINT* height) override;
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
    void BackBufferSize(const D3DPRESENT_PARAMETERS& pp, UINT* width, UINT* height);
    GLuint CompileStage(GLenum stage, const std::string& text, std::string* log);
    Program* ProgramFor(CDevice& device, const DeviceState& s, const uint8_t textureTypes[kStages]);
    void ApplyStates(CDevice& device, const DeviceState& s);
    void BindTextures(const DeviceState& s, uint8_t textureTypes[kStages]);
    void UploadTexture(CTextureBase& tex);
    void UploadBuffer(CBufferBase& buffer, GLenum target);
    void SetUniforms(CDevice& device, const DeviceState& s, Program& p);

    SDL_Window* m_window = nullptr;
    SDL_Window* m_ownWindow = nullptr;  // hidden stand-in when no window was given
    Uint32 m_windowId = 0;              // tells whether m_window still exists
    SDL_GLContext m_context = nullptr;
    GLuint m_fbo = 0, m_color = 0, m_depth = 0;
    UINT m_width = 0, m_height = 0;
    GLuint m_vao = 0, m_streamVbo = 0, m_streamIbo = 0;
    GLuint m_samplers[kSamplers] = {};
    DWORD m_samplerCache[kSamplers][D3D9_SAMP_COUNT];
    bool m_samplerValid[kSamplers] = {};
    bool m_s3tc = false;

    std::map<std::string, GLuint> m_ffVertex, m_ffPixel;  // generated shaders by key bytes
    std::map<std::pair<uint64_t, uint64_t>, Program> m_programs;
    std::string m_lastLinkError;
    std::vector<DWORD> m_presented;
    UINT m_presentedWidth = 0, m_presentedHeight = 0;
};

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
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return D3DERR_NOTAVAILABLE;
    m_window = static_cast<SDL_Window*>(ResolveSdlWindow(window));
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    if (!m_window) {
        m_ownWindow = SDL_CreateWindow("d3d9", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 64, 64,
                                       SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        m_window = m_ownWindow;
        if (!m_window) return D3DERR_NOTAVAILABLE;
    }
    m_windowId = SDL_GetWindowID(m_window);
    m_context = SDL_GL_CreateContext(m_window);
    if (!m_context) {
        Close();
        return D3DERR_NOTAVAILABLE;
    }
    SDL_GL_MakeCurrent(m_window, m_context);
    SDL_GL_SetSwapInterval(pp.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);
    if (const char* r = reinterpret_cast<const char*>(glGetString(GL_RENDERER))) g_glRendererName = r;
    GLint extensions = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &extensions);
    for (GLint i = 0; i < extensions; ++i) {
        const char* e = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
        if (e && strcmp(e, "GL_EXT_texture_compression_s3tc") == 0) m_s3tc = true;
    }
    // Lets a test run the software decoder on a driver that has S3TC.
    if (const char* off = getenv("KOLVAR_GL_NO_S3TC")) m_s3tc = m_s3tc && strcmp(off, "1") != 0;
    glGenVertexArrays(1, &m_vao);
    glBindVertexArray(m_vao);
    glGenBuffers(1, &m_streamVbo);
    glGenBuffers(1, &m_streamIbo);
    glGenSamplers(kSamplers, m_samplers);
    for (int i = 0; i < kSamplers; ++i) glBindSampler(static_cast<GLuint>(i), m_samplers[i]);
    glEnable(GL_PROGRAM_POINT_SIZE);
    // Upside down, GL's lower left is D3D's top left: where a sprite's u, v start.
    glPointParameteri(GL_POINT_SPRITE_COORD_ORIGIN, GL_LOWER_LEFT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    BackBufferSize(pp, width, height);
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
    return CreateBackBuffer(*width, *height, pp.BackBufferFormat) ? D3D_OK : D3DERR_OUTOFVIDEOMEMORY;
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
    m_width = width;
    m_height = height;
    glViewport(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    return true;
}

void CGlRenderer::Close() {
    if (m_context) {
        MakeCurrent();
        for (auto& p : m_programs) glDeleteProgram(p.second.name);
        for (auto& s : m_ffVertex) glDeleteShader(s.second);
        for (auto& s : m_ffPixel) glDeleteShader(s.second);
        m_programs.clear();
        m_ffVertex.clear();
        m_ffPixel.clear();
        glDeleteSamplers(kSamplers, m_samplers);
        glDeleteBuffers(1, &m_streamVbo);
        glDeleteBuffers(1, &m_streamIbo);
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
    m_window = nullptr;
    m_fbo = 0;
}

void CGlRenderer::Clear(CDevice& device, DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                        DWORD stencil) {
    if (!MakeCurrent()) return;
    glBindFramebuffer(GL_FRAMEBUFFER, m_fbo);
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
    }
    if (flags & D3DCLEAR_STENCIL) {
        glClearStencil(static_cast<GLint>(stencil));
        glStencilMask(0xFFFFFFFF);
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    // Clears cover the viewport (and the rectangles within it), top-down.
    glEnable(GL_SCISSOR_TEST);
    auto clearRect = [&](LONG x1, LONG y1, LONG x2, LONG y2) {
        x1 = std::max<LONG>(x1, static_cast<LONG>(vp.X));
        y1 = std::max<LONG>(y1, static_cast<LONG>(vp.Y));
        x2 = std::min<LONG>(x2, static_cast<LONG>(vp.X + vp.Width));
        y2 = std::min<LONG>(y2, static_cast<LONG>(vp.Y + vp.Height));
        if (x2 <= x1 || y2 <= y1) return;
        glScissor(x1, y1, x2 - x1, y2 - y1);
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
    if (w > 0 && h > 0) {
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
    glBindFramebuffer(GL_FRAMEBUFFER, m_fbo);
}

std::vector<DWORD> CGlRenderer::ReadBack(UINT* width, UINT* height) {
    *width = *height = 0;
    if (!MakeCurrent()) return {};
    std::vector<DWORD> out(static_cast<size_t>(m_width) * m_height);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_fbo);
    glReadPixels(0, 0, static_cast<GLsizei>(m_width), static_cast<GLsizei>(m_height), GL_BGRA, GL_UNSIGNED_BYTE,
                 out.data());  // row 0 is the top row already
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
    shader.m_glName = CompileStage(vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER, text, log);
    return shader.m_glName != 0;
}

void CGlRenderer::Forget(CDeviceObject& object) {
    if (!MakeCurrent()) return;
    if (auto* t = dynamic_cast<CTextureBase*>(&object)) {
        if (t->m_glName) glDeleteTextures(1, &t->m_glName);
        t->m_glName = 0;
    } else if (auto* b = dynamic_cast<CBufferBase*>(&object)) {
        if (b->m_glName) glDeleteBuffers(1, &b->m_glName);
        b->m_glName = 0;
    } else if (auto* s = dynamic_cast<CShader*>(&object)) {
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

Program* CGlRenderer::ProgramFor(CDevice& device, const DeviceState& s, const uint8_t textureTypes[kStages]) {
    uint64_t vsId, psId;
    GLuint vsName, psName;
    uint32_t vsSerial = 0, psSerial = 0;
    if (s.vertexShader) {
        vsSerial = s.vertexShader->m_serial;
        vsId = vsSerial;
        vsName = s.vertexShader->m_glName;
    } else {
        const FFVertexKey key = MakeVertexKey(s, *device.CurrentDeclaration());
        std::string bytes(reinterpret_cast<const char*>(&key), sizeof key);
        auto it = m_ffVertex.find(bytes);
        if (it == m_ffVertex.end()) {
            std::string log;
            GLuint name = CompileStage(GL_VERTEX_SHADER, VertexShaderText(key), &log);
            if (!name) {
                m_lastLinkError = log;
                return nullptr;
            }
            it = m_ffVertex.emplace(bytes, name).first;
        }
        vsName = it->second;
        vsId = (1ull << 63) | it->second;
    }
    if (s.pixelShader) {
        psSerial = s.pixelShader->m_serial;
        psId = psSerial;
        psName = s.pixelShader->m_glName;
    } else {
        const FFPixelKey key = MakePixelKey(s, textureTypes);
        std::string bytes(reinterpret_cast<const char*>(&key), sizeof key);
        auto it = m_ffPixel.find(bytes);
        if (it == m_ffPixel.end()) {
            std::string log;
            GLuint name = CompileStage(GL_FRAGMENT_SHADER, PixelShaderText(key), &log);
            if (!name) {
                m_lastLinkError = log;
                return nullptr;
            }
            it = m_ffPixel.emplace(bytes, name).first;
        }
        psName = it->second;
        psId = (1ull << 63) | it->second;
    }
    auto key = std::make_pair(vsId, psId);
    auto found = m_programs.find(key);
    if (found != m_programs.end()) return found->second.name ? &found->second : nullptr;

    Program p;
    p.vsSerial = vsSerial;
    p.psSerial = psSerial;
    p.name = glCreateProgram();
    glAttachShader(p.name, vsName);
    glAttachShader(p.name, psName);
    glLinkProgram(p.name);
    GLint ok = 0;
    glGetProgramiv(p.name, GL_LINK_STATUS, &ok);
    if (!ok) {
        char info[2048] = {};
        glGetProgramInfoLog(p.name, sizeof info, nullptr, info);
        m_lastLinkError = info;
        glDeleteProgram(p.name);
        p.name = 0;
        m_programs[key] = p;  // do not retry every draw
        return nullptr;
    }
    glUseProgram(p.name);
    auto loc = [&](const char* n) { return glGetUniformLocation(p.name, n); };
    p.vsConst = loc("vs_c");
    p.psConst = loc("ps_c");
    p.clip = loc("u_d3d_clip");
    p.point = loc("u_d3d_point");
    p.alphaFunc = loc("u_d3d_alphaFunc");
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
    // Samplers are named after their stage.
    for (int i = 0; i < kStages; ++i) {
        const std::string n = "s" + std::to_string(i);
        GLint l = loc(n.c_str());
        if (l >= 0) glUniform1i(l, i);
    }
    return &(m_programs[key] = p);
}

void CGlRenderer::UploadTexture(CTextureBase& tex) {
    if (!tex.m_anyDirty && tex.m_glName) return;
    GlFormat f;
    if (!FormatFor(tex.Format(), &f)) return;
    const bool decode = f.compressed && !m_s3tc;  // no S3TC: decode the blocks here
    if (decode) FormatFor(D3DFMT_A8R8G8B8, &f);
    const GLenum target = tex.TextureType() == D3DRTYPE_CUBETEXTURE ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D;
    const bool fresh = tex.m_glName == 0;
    if (fresh) glGenTextures(1, &tex.m_glName);
    glBindTexture(target, tex.m_glName);
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
            const GLint l = static_cast<GLint>(level);
            std::vector<uint32_t> decoded;
            const void* data = lv.bits.data();
            if (decode) {
                decoded = DecodeDxt(tex.Format(), lv.bits.data(), lv.width, lv.height);
                data = decoded.data();
            }
            if (f.compressed) {
                glCompressedTexImage2D(faceTarget, l, f.internal, static_cast<GLsizei>(lv.width),
                                       static_cast<GLsizei>(lv.height), 0, static_cast<GLsizei>(lv.bits.size()),
                                       lv.bits.data());
            } else if (fresh) {
                glTexImage2D(faceTarget, l, static_cast<GLint>(f.internal), static_cast<GLsizei>(lv.width),
                             static_cast<GLsizei>(lv.height), 0, f.format, f.type, data);
            } else {
                glTexSubImage2D(faceTarget, l, 0, 0, static_cast<GLsizei>(lv.width), static_cast<GLsizei>(lv.height),
                                f.format, f.type, data);
            }
            tex.m_dirty[index] = false;
        }
    }
    if (tex.Usage() & D3DUSAGE_AUTOGENMIPMAP) {
        glTexParameteri(target, GL_TEXTURE_MAX_LEVEL, 1000);
        glGenerateMipmap(target);
    }
    tex.m_anyDirty = false;
}

void CGlRenderer::UploadBuffer(CBufferBase& b, GLenum target) {
    const bool fresh = b.m_glName == 0;
    if (fresh) glGenBuffers(1, &b.m_glName);
    glBindBuffer(target, b.m_glName);
    if (fresh || b.m_discarded) {
        // A discard lets the driver hand us fresh storage instead of waiting.
        glBufferData(target, b.Length(), b.Data(),
                     (b.Usage() & D3DUSAGE_DYNAMIC) ? GL_STREAM_DRAW : GL_STATIC_DRAW);
    } else if (b.m_dirtyEnd > b.m_dirtyBegin) {
        glBufferSubData(target, b.m_dirtyBegin, b.m_dirtyEnd - b.m_dirtyBegin, b.Data() + b.m_dirtyBegin);
    }
    b.m_discarded = false;
    b.m_dirtyBegin = b.m_dirtyEnd = 0;
}

void CGlRenderer::BindTextures(const DeviceState& s, uint8_t types[kStages]) {
    for (int i = 0; i < kStages; ++i) {
        CTextureBase* t = s.textures[i];
        types[i] = 0;
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(i));
        GlFormat f;
        if (t && FormatFor(t->Format(), &f)) {
            UploadTexture(*t);
            const bool cube = t->TextureType() == D3DRTYPE_CUBETEXTURE;
            types[i] = cube ? 2 : 1;
            glBindTexture(cube ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D, t->m_glName);
            glBindTexture(cube ? GL_TEXTURE_2D : GL_TEXTURE_CUBE_MAP, 0);
        } else {
            glBindTexture(GL_TEXTURE_2D, 0);
            glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
        }
        if (i < kSamplers &&
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

void CGlRenderer::ApplyStates(CDevice& device, const DeviceState& s) {
    const DWORD* rs = s.renderStates;
    const D3DVIEWPORT9& vp = s.viewport;
    glViewport(static_cast<GLint>(vp.X), static_cast<GLint>(vp.Y), static_cast<GLsizei>(vp.Width),
               static_cast<GLsizei>(vp.Height));
    glDepthRange(vp.MinZ, vp.MaxZ);

    const bool depth = device.HasDepthBuffer() && rs[D3DRS_ZENABLE] != D3DZB_FALSE;
    if (depth) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(CompareFunc(rs[D3DRS_ZFUNC]));
    } else {
        glDisable(GL_DEPTH_TEST);
    }
    glDepthMask(depth && rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);

    // CULLMODE names the faces dropped: CCW keeps clockwise ones. Drawing
    // upside down turns screen clockwise into GL counter-clockwise.
    if (rs[D3DRS_CULLMODE] == D3DCULL_NONE) {
        glDisable(GL_CULL_FACE);
    } else {
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glFrontFace(rs[D3DRS_CULLMODE] == D3DCULL_CCW ? GL_CCW : GL_CW);
    }
    glPolygonMode(GL_FRONT_AND_BACK, rs[D3DRS_FILLMODE] == D3DFILL_WIREFRAME ? GL_LINE
                                     : rs[D3DRS_FILLMODE] == D3DFILL_POINT   ? GL_POINT
                                                                             : GL_FILL);

    if (rs[D3DRS_ALPHABLENDENABLE]) {
        glEnable(GL_BLEND);
        GLenum src, dst, srcA, dstA;
        BlendPair(rs[D3DRS_SRCBLEND], rs[D3DRS_DESTBLEND], &src, &dst);
        if (rs[D3DRS_SEPARATEALPHABLENDENABLE]) {
            BlendPair(rs[D3DRS_SRCBLENDALPHA], rs[D3DRS_DESTBLENDALPHA], &srcA, &dstA);
            glBlendEquationSeparate(BlendOp(rs[D3DRS_BLENDOP]), BlendOp(rs[D3DRS_BLENDOPALPHA]));
        } else {
            srcA = src;
            dstA = dst;
            glBlendEquation(BlendOp(rs[D3DRS_BLENDOP]));
        }
        glBlendFuncSeparate(src, dst, srcA, dstA);
        float factor[4];
        ColorOf(rs[D3DRS_BLENDFACTOR], factor);
        glBlendColor(factor[0], factor[1], factor[2], factor[3]);
    } else {
        glDisable(GL_BLEND);
    }
    const DWORD cw = rs[D3DRS_COLORWRITEENABLE];
    glColorMask(cw & 1 ? GL_TRUE : GL_FALSE, cw & 2 ? GL_TRUE : GL_FALSE, cw & 4 ? GL_TRUE : GL_FALSE,
                cw & 8 ? GL_TRUE : GL_FALSE);

    if (rs[D3DRS_STENCILENABLE] && device.HasDepthBuffer()) {
        glEnable(GL_STENCIL_TEST);
        glStencilFunc(CompareFunc(rs[D3DRS_STENCILFUNC]), static_cast<GLint>(rs[D3DRS_STENCILREF]),
                      rs[D3DRS_STENCILMASK]);
        glStencilOp(StencilOp(rs[D3DRS_STENCILFAIL]), StencilOp(rs[D3DRS_STENCILZFAIL]),
                    StencilOp(rs[D3DRS_STENCILPASS]));
        glStencilMask(rs[D3DRS_STENCILWRITEMASK]);
    } else {
        glDisable(GL_STENCIL_TEST);
    }
}

void CGlRenderer::SetUniforms(CDevice& device, const DeviceState& s, Program& p) {
    const DWORD* rs = s.renderStates;
    const D3DVIEWPORT9& vp = s.viewport;
    // Registers never written are zero in GL as on the device: stop at the last written.
    if (p.vsConst >= 0 && p.vsVersion != device.VertexConstantsVersion()) {
        if (device.VertexConstantsUsed() > 0)
            glUniform4fv(p.vsConst, static_cast<GLsizei>(device.VertexConstantsUsed()), &s.vertexConstants[0][0]);
        p.vsVersion = device.VertexConstantsVersion();
    }
    if (p.psConst >= 0 && p.psVersion != device.PixelConstantsVersion()) {
        if (device.PixelConstantsUsed() > 0)
            glUniform4fv(p.psConst, static_cast<GLsizei>(device.PixelConstantsUsed()), &s.pixelConstants[0][0]);
        p.psVersion = device.PixelConstantsVersion();
    }
    // D3D9 puts pixel centres where GL puts pixel corners: shift by half a pixel.
    if (p.clip >= 0) glUniform4f(p.clip, 1.0f / vp.Width, 1.0f / vp.Height, 0.0f, 0.0f);
    if (p.point >= 0)
        glUniform3f(p.point, BitsFloat(rs[D3DRS_POINTSIZE]), BitsFloat(rs[D3DRS_POINTSIZE_MIN]),
                    std::min(BitsFloat(rs[D3DRS_POINTSIZE_MAX]), 256.0f));
    if (p.alphaFunc >= 0)
        glUniform1i(p.alphaFunc, rs[D3DRS_ALPHATESTENABLE] ? static_cast<GLint>(rs[D3DRS_ALPHAFUNC]) : static_cast<GLint>(D3DCMP_ALWAYS));
    if (p.alphaRef >= 0) glUniform1f(p.alphaRef, static_cast<float>(rs[D3DRS_ALPHAREF] & 0xFF));
    if (p.world >= 0) glUniformMatrix4fv(p.world, 1, GL_FALSE, &s.transforms[0]._11);
    if (p.view >= 0) glUniformMatrix4fv(p.view, 1, GL_FALSE, &s.transforms[1]._11);
    if (p.proj >= 0) glUniformMatrix4fv(p.proj, 1, GL_FALSE, &s.transforms[2]._11);
    if (p.viewport >= 0)
        glUniform4f(p.viewport, static_cast<float>(vp.X), static_cast<float>(vp.Y), static_cast<float>(vp.Width),
                    static_cast<float>(vp.Height));
    if (p.depthRange >= 0) glUniform2f(p.depthRange, vp.MinZ, vp.MaxZ);
    if (p.matDiffuse >= 0) glUniform4fv(p.matDiffuse, 1, &s.material.Diffuse.r);
    if (p.matAmbient >= 0) glUniform4fv(p.matAmbient, 1, &s.material.Ambient.r);
    if (p.matEmissive >= 0) glUniform4fv(p.matEmissive, 1, &s.material.Emissive.r);
    float c[4];
    if (p.ambient >= 0) {
        ColorOf(rs[D3DRS_AMBIENT], c);
        glUniform4fv(p.ambient, 1, c);
    }
    if (p.pointScale >= 0)
        glUniform3f(p.pointScale, BitsFloat(rs[D3DRS_POINTSCALE_A]), BitsFloat(rs[D3DRS_POINTSCALE_B]),
                    BitsFloat(rs[D3DRS_POINTSCALE_C]));
    if (p.tfactor >= 0) {
        ColorOf(rs[D3DRS_TEXTUREFACTOR], c);
        glUniform4fv(p.tfactor, 1, c);
    }
    if (p.stageConstant >= 0) {
        float k[kStages][4];
        for (int i = 0; i < kStages; ++i) ColorOf(s.stageStates[i][D3DTSS_CONSTANT], k[i]);
        glUniform4fv(p.stageConstant, kStages, &k[0][0]);
    }
}

void CGlRenderer::Draw(CDevice& device, const DrawCall& call) {
    if (!MakeCurrent()) return;
    const DeviceState& s = device.State();
    CVertexDeclaration* decl = device.CurrentDeclaration();
    if (!decl) return;
    glBindFramebuffer(GL_FRAMEBUFFER, m_fbo);
    glBindVertexArray(m_vao);

    uint8_t textureTypes[kStages];
    BindTextures(s, textureTypes);
    if ((s.vertexShader && !s.vertexShader->m_glName) || (s.pixelShader && !s.pixelShader->m_glName)) return;
    Program* program = ProgramFor(device, s, textureTypes);
    if (!program) return;
    glUseProgram(program->name);
    SetUniforms(device, s, *program);
    ApplyStates(device, s);

    // Vertex arrays from the declaration; missing inputs read constants.
    bool used[16] = {};
    for (const D3DVERTEXELEMENT9& e : decl->Elements()) {
        if (e.Stream == 0xFF) break;
        const int loc = AttributeLocation(e.Usage, e.UsageIndex);
        AttribFormat f;
        if (loc < 0 || used[loc] || !AttributeFormat(e.Type, &f)) continue;
        size_t base;
        GLsizei stride;
        if (call.userVertices) {
            base = 0;
            stride = static_cast<GLsizei>(call.userStride);
        } else {
            const StreamBinding& b = s.streams[e.Stream];
            if (!b.buffer) continue;
            UploadBuffer(*b.buffer, GL_ARRAY_BUFFER);
            base = b.offset;
            stride = static_cast<GLsizei>(b.stride);
        }
        if (call.userVertices) glBindBuffer(GL_ARRAY_BUFFER, m_streamVbo);
        glEnableVertexAttribArray(static_cast<GLuint>(loc));
        glVertexAttribPointer(static_cast<GLuint>(loc), f.size, f.type, f.normalized, stride,
                              reinterpret_cast<const void*>(base + e.Offset));
        used[loc] = true;
    }
    for (int i = 0; i < 16; ++i) {
        if (used[i]) continue;
        glDisableVertexAttribArray(static_cast<GLuint>(i));
        if (i == 2)
            glVertexAttrib4f(2, 1.0f, 1.0f, 1.0f, 1.0f);  // no diffuse colour reads as white
        else
            glVertexAttrib4f(static_cast<GLuint>(i), 0.0f, 0.0f, 0.0f, 1.0f);
    }
    if (call.userVertices) {
        // Stream the user's vertices (set up before the pointers were taken above).
        glBindBuffer(GL_ARRAY_BUFFER, m_streamVbo);
        glBufferData(GL_ARRAY_BUFFER, call.userVertexBytes, call.userVertices, GL_STREAM_DRAW);
    }

    const GLenum mode = PrimitiveMode(call.type);
    const GLsizei count = static_cast<GLsizei>(call.vertexCount);
    if (!call.indexed) {
        glDrawArrays(mode, static_cast<GLint>(call.startVertex), count);
    } else if (call.userIndices) {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_streamIbo);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(call.vertexCount) * call.userIndexSize,
                     call.userIndices, GL_STREAM_DRAW);
        glDrawElements(mode, count, call.userIndexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT, nullptr);
    } else {
        CIndexBuffer* ib = s.indices;
        UploadBuffer(*ib, GL_ELEMENT_ARRAY_BUFFER);
        const size_t offset = static_cast<size_t>(call.startIndex) * ib->IndexSize();
        glDrawElementsBaseVertex(mode, count, ib->IndexSize() == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                                 reinterpret_cast<const void*>(offset), call.baseVertex);
    }
}

}  // namespace

CRenderer* CreateGlRenderer() { return new CGlRenderer; }

}  // namespace d3d9
