#include "FixedFunction.h"

#include <cstring>

#include "VertexDeclaration.h"

namespace d3d9 {
namespace {

bool UsesArg0(DWORD op) { return op == D3DTOP_MULTIPLYADD || op == D3DTOP_LERP; }
bool UsesArg1(DWORD op) { return op != D3DTOP_SELECTARG2 && op != D3DTOP_DISABLE; }
bool UsesArg2(DWORD op) { return op != D3DTOP_SELECTARG1 && op != D3DTOP_DISABLE; }
bool NeedsTexture(DWORD op) {
    return op == D3DTOP_BLENDTEXTUREALPHA || op == D3DTOP_BLENDTEXTUREALPHAPM;
}
bool ArgIsTexture(DWORD arg) { return (arg & D3DTA_SELECTMASK) == D3DTA_TEXTURE; }

uint8_t Arg(DWORD a) { return static_cast<uint8_t>(a & (D3DTA_SELECTMASK | D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE)); }

}  // namespace

FFPixelKey MakePixelKey(const DeviceState& s, const uint8_t textureTypes[kStages]) {
    FFPixelKey key;
    memset(&key, 0, sizeof key);  // padding too: the key is compared as bytes
    int n = 0;
    for (; n < kStages; ++n) {
        const DWORD* t = s.stageStates[n];
        const DWORD cop = t[D3DTSS_COLOROP];
        if (cop == D3DTOP_DISABLE || cop == 0 || cop > D3DTOP_LERP) break;
        FFStageKey& k = key.stages[n];
        k.colorOp = static_cast<uint8_t>(cop);
        if (UsesArg0(cop)) k.colorArg0 = Arg(t[D3DTSS_COLORARG0]);
        if (UsesArg1(cop)) k.colorArg1 = Arg(t[D3DTSS_COLORARG1]);
        if (UsesArg2(cop)) k.colorArg2 = Arg(t[D3DTSS_COLORARG2]);
        DWORD aop = t[D3DTSS_ALPHAOP];
        if (aop == D3DTOP_DISABLE || aop == 0 || aop > D3DTOP_LERP) {
            // Alpha cannot be off while colour is on: keep the alpha so far.
            k.alphaOp = D3DTOP_SELECTARG1;
            k.alphaArg1 = D3DTA_CURRENT;
        } else {
            k.alphaOp = static_cast<uint8_t>(aop);
            if (UsesArg0(aop)) k.alphaArg0 = Arg(t[D3DTSS_ALPHAARG0]);
            if (UsesArg1(aop)) k.alphaArg1 = Arg(t[D3DTSS_ALPHAARG1]);
            if (UsesArg2(aop)) k.alphaArg2 = Arg(t[D3DTSS_ALPHAARG2]);
        }
        const bool tex = NeedsTexture(cop) || NeedsTexture(k.alphaOp) || ArgIsTexture(k.colorArg0) ||
                         ArgIsTexture(k.colorArg1) || ArgIsTexture(k.colorArg2) || ArgIsTexture(k.alphaArg0) ||
                         ArgIsTexture(k.alphaArg1) || ArgIsTexture(k.alphaArg2);
        if (tex) {
            k.texType = textureTypes[n];
            k.texCoord = static_cast<uint8_t>(t[D3DTSS_TEXCOORDINDEX] & 7);
        }
        k.toTemp = (t[D3DTSS_RESULTARG] & D3DTA_SELECTMASK) == D3DTA_TEMP;
    }
    key.stageCount = static_cast<uint8_t>(n);
    key.specular = s.renderStates[D3DRS_SPECULARENABLE] ? 1 : 0;
    key.pointSprite = s.renderStates[D3DRS_POINTSPRITEENABLE] ? 1 : 0;
    key.alphaFunc = AlphaFuncOf(s);
    return key;
}

FFVertexKey MakeVertexKey(const DeviceState& s, const CVertexDeclaration& decl) {
    FFVertexKey key;
    memset(&key, 0, sizeof key);
    key.transformed = decl.HasUsage(D3DDECLUSAGE_POSITIONT);
    key.hasColor0 = decl.HasUsage(D3DDECLUSAGE_COLOR, 0);
    key.hasColor1 = decl.HasUsage(D3DDECLUSAGE_COLOR, 1);
    key.hasPsize = decl.HasUsage(D3DDECLUSAGE_PSIZE);
    if (key.transformed) return key;  // screen positions: nothing else applies
    key.hasNormal = decl.HasUsage(D3DDECLUSAGE_NORMAL);
    key.lighting = s.renderStates[D3DRS_LIGHTING] ? 1 : 0;
    if (key.lighting) {
        auto source = [&](DWORD state) -> uint8_t {
            if (!s.renderStates[D3DRS_COLORVERTEX]) return 0;
            const DWORD v = s.renderStates[state];
            if (v == D3DMCS_COLOR1 && key.hasColor0) return 1;
            if (v == D3DMCS_COLOR2 && key.hasColor1) return 2;
            return 0;
        };
        key.diffuseSource = source(D3DRS_DIFFUSEMATERIALSOURCE);
        key.ambientSource = source(D3DRS_AMBIENTMATERIALSOURCE);
        key.emissiveSource = source(D3DRS_EMISSIVEMATERIALSOURCE);
    }
    key.pointScale = s.renderStates[D3DRS_POINTSCALEENABLE] ? 1 : 0;
    return key;
}

namespace {

const char* kAttributes =
    "layout(location = 0) in vec4 a_position;\n"
    "layout(location = 1) in vec3 a_normal;\n"
    "layout(location = 2) in vec4 a_color0;\n"
    "layout(location = 3) in vec4 a_color1;\n"
    "layout(location = 4) in float a_psize;\n"
    "layout(location = 5) in vec3 a_tangent;\n"
    "layout(location = 6) in vec3 a_binormal;\n"
    "layout(location = 7) in vec4 a_blendweight;\n"
    "layout(location = 8) in vec4 a_texcoord0;\n"
    "layout(location = 9) in vec4 a_texcoord1;\n"
    "layout(location = 10) in vec4 a_texcoord2;\n"
    "layout(location = 11) in vec4 a_texcoord3;\n"
    "layout(location = 12) in vec4 a_texcoord4;\n"
    "layout(location = 13) in vec4 a_texcoord5;\n"
    "layout(location = 14) in vec4 a_texcoord6;\n"
    "layout(location = 15) in vec4 a_texcoord7;\n";

const char* kVaryingsOut =
    "out vec4 v_color0;\nout vec4 v_color1;\n"
    "out vec4 v_texcoord0;\nout vec4 v_texcoord1;\nout vec4 v_texcoord2;\nout vec4 v_texcoord3;\n"
    "out vec4 v_texcoord4;\nout vec4 v_texcoord5;\nout vec4 v_texcoord6;\nout vec4 v_texcoord7;\n"
    "out float v_psize;\n";

const char* kVaryingsIn =
    "in vec4 v_color0;\nin vec4 v_color1;\n"
    "in vec4 v_texcoord0;\nin vec4 v_texcoord1;\nin vec4 v_texcoord2;\nin vec4 v_texcoord3;\n"
    "in vec4 v_texcoord4;\nin vec4 v_texcoord5;\nin vec4 v_texcoord6;\nin vec4 v_texcoord7;\n";

// Shared by both kinds of vertex program: the defaults before the program,
// and the conversion of D3D clip space to GL after it, and the point size.
// GL draws upside down into the back buffer, so that row 0 is the top row as
// in D3D and an edge through pixel centres falls to the same side (D3D's
// top-left rule); D3D9 pixel centres sit on integers, GL's on halves, hence
// the half-pixel shift; depth 0..w becomes -w..w.
//
// A pixel program's first eight constants reach it as flat varyings from the
// vertex stage, the rest as uniforms. The software renderer keeps a copy of
// its whole draw state (some 30 KB) for each draw whose pixel-stage constants
// differ from the draw before, and every block sets its own colours; vertex
// constants cost nothing of the kind. The values arrive unchanged.
const char* kVertexCommon =
    "uniform vec4 ps_c[32];\n"
    "flat out vec4 v_ps_c0, v_ps_c1, v_ps_c2, v_ps_c3, v_ps_c4, v_ps_c5, v_ps_c6, v_ps_c7;\n"
    "uniform vec4 u_d3d_clip;\n"   // x, y: half-pixel offset in clip units per w
    "uniform vec3 u_d3d_point;\n"  // size, min, max
    "void d3d_defaults() {\n"
    "  v_color0 = vec4(1.0); v_color1 = vec4(0.0);\n"
    "  v_texcoord0 = vec4(0.0, 0.0, 0.0, 1.0); v_texcoord1 = v_texcoord0; v_texcoord2 = v_texcoord0;\n"
    "  v_texcoord3 = v_texcoord0; v_texcoord4 = v_texcoord0; v_texcoord5 = v_texcoord0;\n"
    "  v_texcoord6 = v_texcoord0; v_texcoord7 = v_texcoord0;\n"
    "  v_psize = u_d3d_point.x;\n"
    "}\n"
    "void d3d_finish(bool clipSpace) {\n"
    "  if (clipSpace) {\n"
    "    gl_Position.y = -gl_Position.y;\n"
    "    gl_Position.xy += u_d3d_clip.xy * gl_Position.w;\n"
    "    gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;\n"
    "  }\n"
    "  gl_PointSize = clamp(v_psize, u_d3d_point.y, u_d3d_point.z);\n"
    "  v_ps_c0 = ps_c[0]; v_ps_c1 = ps_c[1]; v_ps_c2 = ps_c[2]; v_ps_c3 = ps_c[3];\n"
    "  v_ps_c4 = ps_c[4]; v_ps_c5 = ps_c[5]; v_ps_c6 = ps_c[6]; v_ps_c7 = ps_c[7];\n"
    "}\n";

const char* kPixelCommon =
    "out vec4 oC0;\n"
    "uniform float u_d3d_alphaRef;\n";

std::string ArgText(uint8_t arg, int stage, bool alpha) {
    std::string base;
    switch (arg & D3DTA_SELECTMASK) {
        case D3DTA_DIFFUSE: base = "diffuse"; break;
        case D3DTA_CURRENT: base = "current"; break;
        case D3DTA_TEXTURE: base = "t" + std::to_string(stage); break;
        case D3DTA_TFACTOR: base = "u_tfactor"; break;
        case D3DTA_SPECULAR: base = "specular"; break;
        case D3DTA_TEMP: base = "temp"; break;
        case D3DTA_CONSTANT: base = "u_stageConstant[" + std::to_string(stage) + "]"; break;
        default: base = "vec4(1.0)"; break;
    }
    if (arg & D3DTA_ALPHAREPLICATE) base = "vec4(" + base + ".a)";
    if (arg & D3DTA_COMPLEMENT) base = "(vec4(1.0) - " + base + ")";
    (void)alpha;
    return base;
}

std::string OpText(uint8_t op, int stage) {
    const std::string t = "t" + std::to_string(stage);
    switch (op) {
        case D3DTOP_SELECTARG1: return "a1";
        case D3DTOP_SELECTARG2: return "a2";
        case D3DTOP_MODULATE: return "a1 * a2";
        case D3DTOP_MODULATE2X: return "a1 * a2 * 2.0";
        case D3DTOP_MODULATE4X: return "a1 * a2 * 4.0";
        case D3DTOP_ADD: return "a1 + a2";
        case D3DTOP_ADDSIGNED: return "a1 + a2 - 0.5";
        case D3DTOP_ADDSIGNED2X: return "(a1 + a2 - 0.5) * 2.0";
        case D3DTOP_SUBTRACT: return "a1 - a2";
        case D3DTOP_ADDSMOOTH: return "a1 + a2 - a1 * a2";
        case D3DTOP_BLENDDIFFUSEALPHA: return "mix(a2, a1, diffuse.a)";
        case D3DTOP_BLENDTEXTUREALPHA: return "mix(a2, a1, " + t + ".a)";
        case D3DTOP_BLENDFACTORALPHA: return "mix(a2, a1, u_tfactor.a)";
        case D3DTOP_BLENDTEXTUREALPHAPM: return "a1 + a2 * (1.0 - " + t + ".a)";
        case D3DTOP_BLENDCURRENTALPHA: return "mix(a2, a1, current.a)";
        case D3DTOP_PREMODULATE: return "a1";
        case D3DTOP_MODULATEALPHA_ADDCOLOR: return "a1 + a1.a * a2";
        case D3DTOP_MODULATECOLOR_ADDALPHA: return "a1 * a2 + a1.a";
        case D3DTOP_MODULATEINVALPHA_ADDCOLOR: return "(1.0 - a1.a) * a2 + a1";
        case D3DTOP_MODULATEINVCOLOR_ADDALPHA: return "(vec4(1.0) - a1) * a2 + a1.a";
        case D3DTOP_DOTPRODUCT3: return "vec4(dot((a1.rgb - 0.5) * 2.0, (a2.rgb - 0.5) * 2.0))";
        case D3DTOP_MULTIPLYADD: return "a0 + a1 * a2";
        case D3DTOP_LERP: return "mix(a2, a1, a0)";
        default: return "current";  // bump mapping is not emulated
    }
}

}  // namespace

std::string PixelShaderText(const FFPixelKey& key) {
    std::string s = std::string("#version 330 core\n") + kVaryingsIn + kPixelCommon;
    s += "uniform vec4 u_tfactor;\nuniform vec4 u_stageConstant[8];\n";
    for (int i = 0; i < key.stageCount; ++i) {
        const FFStageKey& k = key.stages[i];
        if (k.texType == 1) s += "uniform sampler2D s" + std::to_string(i) + ";\n";
        if (k.texType == 2) s += "uniform samplerCube s" + std::to_string(i) + ";\n";
    }
    s += "void main() {\n";
    s += "  vec4 diffuse = clamp(v_color0, 0.0, 1.0);\n";
    s += "  vec4 specular = clamp(v_color1, 0.0, 1.0);\n";
    s += "  vec4 current = diffuse;\n  vec4 temp = vec4(0.0);\n";
    static const char* kCoords[8] = {"v_texcoord0", "v_texcoord1", "v_texcoord2", "v_texcoord3",
                                     "v_texcoord4", "v_texcoord5", "v_texcoord6", "v_texcoord7"};
    for (int i = 0; i < key.stageCount; ++i) {
        const FFStageKey& k = key.stages[i];
        const std::string n = std::to_string(i);
        const std::string coord = key.pointSprite ? "vec4(gl_PointCoord, 0.0, 1.0)" : kCoords[k.texCoord];
        if (k.texType == 1)
            s += "  vec4 t" + n + " = texture(s" + n + ", " + coord + ".xy);\n";
        else if (k.texType == 2)
            s += "  vec4 t" + n + " = texture(s" + n + ", " + coord + ".xyz);\n";
        else
            s += "  vec4 t" + n + " = vec4(1.0);\n";  // no texture reads as white
        s += "  {\n";
        s += "    vec4 a0 = " + ArgText(k.colorArg0, i, false) + ";\n";
        s += "    vec4 a1 = " + ArgText(k.colorArg1, i, false) + ";\n";
        s += "    vec4 a2 = " + ArgText(k.colorArg2, i, false) + ";\n";
        s += "    vec4 rc = clamp(" + OpText(k.colorOp, i) + ", 0.0, 1.0);\n";
        s += "    a0 = " + ArgText(k.alphaArg0, i, true) + ";\n";
        s += "    a1 = " + ArgText(k.alphaArg1, i, true) + ";\n";
        s += "    a2 = " + ArgText(k.alphaArg2, i, true) + ";\n";
        if (k.colorOp == D3DTOP_DOTPRODUCT3)
            s += "    float ra = rc.a;\n";  // the dot product goes to alpha as well
        else
            s += "    float ra = clamp((" + OpText(k.alphaOp, i) + ").a, 0.0, 1.0);\n";
        s += std::string("    ") + (k.toTemp ? "temp" : "current") + " = vec4(rc.rgb, ra);\n";
        s += "  }\n";
    }
    if (key.specular) s += "  current.rgb = clamp(current.rgb + specular.rgb, 0.0, 1.0);\n";
    s += "  oC0 = current;\n" + AlphaTestText(key.alphaFunc, "oC0.a") + "}\n";
    return s;
}

std::string VertexShaderText(const FFVertexKey& key) {
    std::string s = "#version 330 core\n";
    s += kAttributes;
    s += kVaryingsOut;
    s += kVertexCommon;
    s += "uniform mat4 u_world;\nuniform mat4 u_view;\nuniform mat4 u_proj;\n";
    s += "uniform vec4 u_viewport;\n";  // x, y, width, height in pixels
    s += "uniform vec2 u_depthRange;\n";
    s += "uniform vec4 u_matDiffuse, u_matAmbient, u_matEmissive, u_ambient;\n";
    s += "uniform vec3 u_pointScale;\n";
    s += "void main() {\n  d3d_defaults();\n";
    if (key.transformed) {
        // Screen positions: D3D9 pixel centres sit on integers, GL's on halves.
        s += "  float w = a_position.w == 0.0 ? 1.0 : 1.0 / a_position.w;\n";
        s += "  float nx = (a_position.x + 0.5 - u_viewport.x) * 2.0 / u_viewport.z - 1.0;\n";
        s += "  float ny = (a_position.y + 0.5 - u_viewport.y) * 2.0 / u_viewport.w - 1.0;\n";
        s += "  float span = u_depthRange.y - u_depthRange.x;\n";
        s += "  float nz = span > 0.0 ? 2.0 * (a_position.z - u_depthRange.x) / span - 1.0 : 2.0 * a_position.z - 1.0;\n";
        s += "  gl_Position = vec4(nx * w, ny * w, nz * w, w);\n";
        s += key.hasColor0 ? "  v_color0 = a_color0;\n" : "";
        s += key.hasColor1 ? "  v_color1 = a_color1;\n" : "";
    } else {
        s += "  vec4 viewPos = u_view * (u_world * vec4(a_position.xyz, 1.0));\n";
        s += "  gl_Position = u_proj * viewPos;\n";
        if (key.lighting) {
            auto src = [](uint8_t source, const char* material) -> std::string {
                return source == 1 ? "a_color0" : source == 2 ? "a_color1" : material;
            };
            // No lights are ever set: emissive plus the ambient term.
            s += "  vec4 md = " + src(key.diffuseSource, "u_matDiffuse") + ";\n";
            s += "  vec4 ma = " + src(key.ambientSource, "u_matAmbient") + ";\n";
            s += "  vec4 me = " + src(key.emissiveSource, "u_matEmissive") + ";\n";
            s += "  v_color0 = vec4(clamp(me.rgb + u_ambient.rgb * ma.rgb, 0.0, 1.0), md.a);\n";
            s += "  v_color1 = vec4(0.0);\n";
        } else {
            s += key.hasColor0 ? "  v_color0 = a_color0;\n" : "";
            s += key.hasColor1 ? "  v_color1 = a_color1;\n" : "";
        }
    }
    s += "  v_texcoord0 = a_texcoord0; v_texcoord1 = a_texcoord1; v_texcoord2 = a_texcoord2;\n";
    s += "  v_texcoord3 = a_texcoord3; v_texcoord4 = a_texcoord4; v_texcoord5 = a_texcoord5;\n";
    s += "  v_texcoord6 = a_texcoord6; v_texcoord7 = a_texcoord7;\n";
    if (key.hasPsize) s += "  v_psize = a_psize;\n";
    if (key.pointScale && !key.transformed)
        s += "  float de = length(viewPos.xyz);\n"
             "  v_psize = u_viewport.w * v_psize * sqrt(1.0 / max(u_pointScale.x + u_pointScale.y * de + "
             "u_pointScale.z * de * de, 1e-6));\n";
    s += key.transformed ? "  d3d_finish(false);\n}\n" : "  d3d_finish(true);\n}\n";
    return s;
}

namespace {
// The backend writes the version line itself; one in the game's text is dropped.
std::string WithoutVersion(const std::string& text) {
    const size_t at = text.find("#version");
    if (at == std::string::npos) return text;
    std::string out = text;
    out.replace(at, 8, "//ersion");
    return out;
}
}  // namespace

std::string WrapVertexShader(const std::string& userText) {
    std::string s = "#version 330 core\nuniform vec4 vs_c[256];\n";
    s += kAttributes;
    s += kVaryingsOut;
    s += kVertexCommon;
    s += "#define c vs_c\n#define main d3d_user_main\n#line 1\n";
    s += WithoutVersion(userText);
    s += "\n#undef main\nvoid main() {\n  d3d_defaults();\n  d3d_user_main();\n  d3d_finish(true);\n}\n";
    return s;
}

// The pixel constants as kVertexCommon hands them over: c[i] picks a flat
// varying or a uniform, and the compiler keeps only the ones read.
std::string WrapPixelShader(const std::string& userText) {
    std::string s =
        "#version 330 core\nuniform vec4 ps_c[32];\n"
        "flat in vec4 v_ps_c0, v_ps_c1, v_ps_c2, v_ps_c3, v_ps_c4, v_ps_c5, v_ps_c6, v_ps_c7;\n"
        "#define c vec4[32](v_ps_c0, v_ps_c1, v_ps_c2, v_ps_c3, v_ps_c4, v_ps_c5, v_ps_c6, v_ps_c7, "
        "  ps_c[8], ps_c[9], ps_c[10], ps_c[11], ps_c[12], ps_c[13], ps_c[14], ps_c[15], "
        "  ps_c[16], ps_c[17], ps_c[18], ps_c[19], ps_c[20], ps_c[21], ps_c[22], ps_c[23], "
        "  ps_c[24], ps_c[25], ps_c[26], ps_c[27], ps_c[28], ps_c[29], ps_c[30], ps_c[31])\n";
    s += kVaryingsIn;
    s += kPixelCommon;
    s += "#define main d3d_user_main\n#line 1\n";
    s += WithoutVersion(userText);
    s += "\n";
    return s;
}

std::string PixelMainText(uint8_t alphaFunc) {
    return std::string("#version 330 core\n") + kPixelCommon + "void d3d_user_main();\nvoid main() {\n" +
           "  oC0 = vec4(0.0);\n  d3d_user_main();\n" + AlphaTestText(alphaFunc, "oC0.a") + "}\n";
}

uint8_t AlphaFuncOf(const DeviceState& s) {
    if (!s.renderStates[D3DRS_ALPHATESTENABLE]) return 0;
    const DWORD f = s.renderStates[D3DRS_ALPHAFUNC];
    return f >= D3DCMP_NEVER && f < D3DCMP_ALWAYS ? static_cast<uint8_t>(f) : 0;
}

// D3D compares the final alpha in 0..255 steps.
std::string AlphaTestText(uint8_t alphaFunc, const char* alpha) {
    static const char* kOps[9] = {nullptr, nullptr, "<", "==", "<=", ">", "!=", ">=", nullptr};
    if (alphaFunc == D3DCMP_NEVER) return "  discard;\n";
    if (alphaFunc >= 9 || !kOps[alphaFunc]) return "";
    return std::string("  if (!(floor(clamp(") + alpha + ", 0.0, 1.0) * 255.0 + 0.5) " + kOps[alphaFunc] +
           " u_d3d_alphaRef)) discard;\n";
}

}  // namespace d3d9
