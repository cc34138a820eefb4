// The shader compiler stand-in. A .cg file is GLSL written for the layer's
// shader contract (registers c[], attributes a_*, varyings v_*, pixel output
// oC0), with an entry point main. Each named constant is declared on a
// comment line of its own:
//
//   // @register clip_matrix c0 4
//   // @register eye_position c4
//
// (name, first register, register count; the count defaults to 1). The
// compiled text defines the profile as PROFILE_VS_2_0, PROFILE_PS_1_1, ...
// so one file can hold variants, and defines every declared constant by name:
// a 4-register constant as mat4(c[r], c[r+1], c[r+2], c[r+3]) (rows of the
// Direct3D matrix, so the shader writes `v * clip_matrix`), a 1-register one
// as c[r], and each as NAME_REG = r.
//
// Compilation checks what can be checked without a GL context: the entry
// point, balanced brackets and conditionals, and the register declarations
// against the profile's register count. The GL backend compiles the text
// when the shader is created.
#include "cg.h"

#include <cctype>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform.h"

struct _CGparameter {
    std::string name;
    unsigned long index = 0;
    unsigned long count = 1;
};

struct _CGprogram {
    CGcontext context = nullptr;
    CGprofile profile = CG_PROFILE_UNKNOWN;
    std::string source;
    std::string compiled;
    std::string entry;
    std::vector<std::unique_ptr<_CGparameter>> parameters;
};

struct _CGcontext {
    std::vector<std::unique_ptr<_CGprogram>> programs;
    std::string listing;
};

namespace {

struct ProfileInfo {
    CGprofile profile;
    const char* name;
    bool vertex;
    unsigned registers;  // constant registers of the profile
};

const ProfileInfo kProfiles[] = {
    {CG_PROFILE_VS_1_1, "vs_1_1", true, 96},  {CG_PROFILE_VS_2_0, "vs_2_0", true, 256},
    {CG_PROFILE_VS_2_X, "vs_2_x", true, 256}, {CG_PROFILE_PS_1_1, "ps_1_1", false, 8},
    {CG_PROFILE_PS_1_2, "ps_1_2", false, 8},  {CG_PROFILE_PS_1_3, "ps_1_3", false, 8},
    {CG_PROFILE_PS_2_0, "ps_2_0", false, 32}, {CG_PROFILE_PS_2_X, "ps_2_x", false, 32},
};

const ProfileInfo* Info(CGprofile profile) {
    for (const ProfileInfo& p : kProfiles)
        if (p.profile == profile) return &p;
    return nullptr;
}

IDirect3DDevice9* g_Device = nullptr;
CGerror g_Error = CG_NO_ERROR;
// Message of the last compile failure, shown with its error string.
std::string g_CompileMessage;
CGerror g_TakenError = CG_NO_ERROR;
std::string g_ErrorText;

void Raise(CGerror error) { g_Error = error; }

bool ReadFile(const char* file, std::string& text) {
    return file && platform::ReadWholeFile(platform::HostPath(file), text);
}

// Source with comments blanked (line structure kept), for the checks.
std::string WithoutComments(const std::string& s) {
    std::string out = s;
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] == '/' && i + 1 < out.size() && out[i + 1] == '/') {
            while (i < out.size() && out[i] != '\n') out[i++] = ' ';
        } else if (out[i] == '/' && i + 1 < out.size() && out[i + 1] == '*') {
            size_t end = out.find("*/", i + 2);
            size_t stop = end == std::string::npos ? out.size() : end + 2;
            for (; i < stop; ++i)
                if (out[i] != '\n') out[i] = ' ';
            --i;
        }
    }
    return out;
}

bool IsIdentifierChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

bool IsIdentifier(const std::string& s) {
    if (s.empty() || std::isdigit(static_cast<unsigned char>(s[0]))) return false;
    for (char c : s)
        if (!IsIdentifierChar(c)) return false;
    return true;
}

// "void <entry> ( [void] )" somewhere in the code (comments already blanked).
bool DeclaresEntry(const std::string& code, const std::string& entry) {
    auto skipSpace = [&](size_t i) {
        while (i < code.size() && std::isspace(static_cast<unsigned char>(code[i]))) ++i;
        return i;
    };
    for (size_t at = code.find(entry); at != std::string::npos; at = code.find(entry, at + 1)) {
        if (at > 0 && IsIdentifierChar(code[at - 1])) continue;
        size_t i = at + entry.size();
        if (i < code.size() && IsIdentifierChar(code[i])) continue;
        // The word before must be "void".
        size_t end = at;
        while (end > 0 && std::isspace(static_cast<unsigned char>(code[end - 1]))) --end;
        if (end == at || end < 4 || code.compare(end - 4, 4, "void") != 0) continue;
        if (end > 4 && IsIdentifierChar(code[end - 5])) continue;
        i = skipSpace(i);
        if (i >= code.size() || code[i] != '(') continue;
        i = skipSpace(i + 1);
        if (code.compare(i, 4, "void") == 0 && (i + 4 >= code.size() || !IsIdentifierChar(code[i + 4])))
            i = skipSpace(i + 4);
        if (i < code.size() && code[i] == ')') return true;
    }
    return false;
}

bool CheckSource(const std::string& source, const std::string& entry, std::string& message) {
    if (source.size() + 4096 > D3D9_GLSL_MAX_TEXT) {
        message = "source too long";
        return false;
    }
    std::string code = WithoutComments(source);
    if (source.find("/*") != std::string::npos && source.find("*/", source.find("/*")) == std::string::npos) {
        message = "unterminated comment";
        return false;
    }
    std::vector<std::pair<char, int>> stack;
    int line = 1;
    int conditionals = 0;
    bool lineStart = true;
    for (size_t i = 0; i < code.size(); ++i) {
        char c = code[i];
        if (c == '\n') {
            ++line;
            lineStart = true;
            continue;
        }
        if (lineStart && c == '#') {
            size_t end = code.find('\n', i);
            std::string directive = code.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
            size_t p = directive.find_first_not_of(" \t");
            directive = p == std::string::npos ? "" : directive.substr(p);
            if (directive.compare(0, 2, "if") == 0) ++conditionals;
            if (directive.compare(0, 5, "endif") == 0 && --conditionals < 0) {
                message = "line " + std::to_string(line) + ": #endif without #if";
                return false;
            }
            if (directive.compare(0, 7, "version") == 0) {
                message = "line " + std::to_string(line) + ": the layer supplies #version";
                return false;
            }
            i = end == std::string::npos ? code.size() - 1 : end - 1;
            continue;
        }
        if (!std::isspace(static_cast<unsigned char>(c))) lineStart = false;
        if (c == '(' || c == '{' || c == '[') stack.push_back({c, line});
        if (c == ')' || c == '}' || c == ']') {
            char open = c == ')' ? '(' : c == '}' ? '{' : '[';
            if (stack.empty() || stack.back().first != open) {
                message = "line " + std::to_string(line) + ": unbalanced '" + std::string(1, c) + "'";
                return false;
            }
            stack.pop_back();
        }
    }
    if (!stack.empty()) {
        message = "line " + std::to_string(stack.back().second) + ": '" + std::string(1, stack.back().first) +
                  "' is never closed";
        return false;
    }
    if (conditionals != 0) {
        message = "#if without #endif";
        return false;
    }
    if (!DeclaresEntry(code, entry)) {
        message = "entry point '" + entry + "' not found";
        return false;
    }
    return true;
}

bool ParseRegisters(const std::string& source, const ProfileInfo& profile, _CGprogram& program,
                    std::string& message) {
    std::istringstream in(source);
    std::string lineText;
    int line = 0;
    std::vector<bool> used(profile.registers, false);
    while (std::getline(in, lineText)) {
        ++line;
        size_t at = lineText.find("@register");
        if (at == std::string::npos) continue;
        size_t slashes = lineText.find("//");
        if (slashes == std::string::npos || slashes > at) continue;  // only in // comments
        std::istringstream fields(lineText.substr(at + 9));
        std::string name, reg, extra;
        long count = 1;
        fields >> name >> reg;
        if (fields >> count) fields >> extra;
        std::string where = "line " + std::to_string(line) + ": ";
        if (!IsIdentifier(name) || reg.size() < 2 || reg[0] != 'c' || !extra.empty() || count < 1) {
            message = where + "malformed register declaration";
            return false;
        }
        char* end = nullptr;
        long index = strtol(reg.c_str() + 1, &end, 10);
        if (*end != '\0' || index < 0 || index > long(profile.registers) || count > long(profile.registers) ||
            index + count > long(profile.registers)) {
            message = where + "register " + reg + " out of range for " + profile.name;
            return false;
        }
        for (const auto& p : program.parameters)
            if (p->name == name) {
                message = where + "constant '" + name + "' declared twice";
                return false;
            }
        for (long r = index; r < index + count; ++r) {
            if (used[r]) {
                message = where + "register c" + std::to_string(r) + " used twice";
                return false;
            }
            used[r] = true;
        }
        auto param = std::make_unique<_CGparameter>();
        param->name = name;
        param->index = static_cast<unsigned long>(index);
        param->count = static_cast<unsigned long>(count);
        program.parameters.push_back(std::move(param));
    }
    return true;
}

std::string Compile(const _CGprogram& program, const ProfileInfo& profile, const char** args) {
    std::string upper = profile.name;
    for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    std::string out = std::string("// ") + profile.name + "\n";
    out += "#define PROFILE_" + upper + " 1\n";
    for (const char** a = args; a && *a; ++a) {
        std::string arg = *a;
        if (arg.compare(0, 2, "-D") != 0 || arg.size() < 3) continue;
        std::string def = arg.substr(2);
        size_t eq = def.find('=');
        out += "#define " + (eq == std::string::npos ? def + " 1" : def.substr(0, eq) + " " + def.substr(eq + 1)) + "\n";
    }
    for (const auto& p : program.parameters) {
        unsigned long r = p->index;
        out += "#define " + p->name + "_REG " + std::to_string(r) + "\n";
        if (p->count == 1) {
            out += "#define " + p->name + " c[" + std::to_string(r) + "]\n";
        } else if (p->count == 4) {
            out += "#define " + p->name + " mat4(c[" + std::to_string(r) + "], c[" + std::to_string(r + 1) + "], c[" +
                   std::to_string(r + 2) + "], c[" + std::to_string(r + 3) + "])\n";
        }
    }
    out += "#line 1\n";
    out += program.source;
    if (out.back() != '\n') out += '\n';
    return out;
}

}  // namespace

CGcontext cgCreateContext() { return new _CGcontext(); }

void cgDestroyContext(CGcontext context) {
    if (!context) {
        Raise(CG_INVALID_CONTEXT_HANDLE_ERROR);
        return;
    }
    delete context;
}

HRESULT cgD3D9SetDevice(IDirect3DDevice9* device) {
    if (device) device->AddRef();
    if (g_Device) g_Device->Release();
    g_Device = device;
    return D3D_OK;
}

IDirect3DDevice9* cgD3D9GetDevice() { return g_Device; }

namespace {
bool Caps(D3DCAPS9& caps) {
    memset(&caps, 0, sizeof caps);
    return g_Device && SUCCEEDED(g_Device->GetDeviceCaps(&caps));
}
}  // namespace

CGprofile cgD3D9GetLatestVertexProfile() {
    D3DCAPS9 caps;
    if (!Caps(caps)) return CG_PROFILE_UNKNOWN;
    DWORD major = D3DSHADER_VERSION_MAJOR(caps.VertexShaderVersion);
    DWORD minor = D3DSHADER_VERSION_MINOR(caps.VertexShaderVersion);
    if (major >= 2) return CG_PROFILE_VS_2_0;
    if (major == 1 && minor >= 1) return CG_PROFILE_VS_1_1;
    return CG_PROFILE_UNKNOWN;
}

CGprofile cgD3D9GetLatestPixelProfile() {
    D3DCAPS9 caps;
    if (!Caps(caps)) return CG_PROFILE_UNKNOWN;
    DWORD major = D3DSHADER_VERSION_MAJOR(caps.PixelShaderVersion);
    DWORD minor = D3DSHADER_VERSION_MINOR(caps.PixelShaderVersion);
    if (major >= 2) return CG_PROFILE_PS_2_0;
    if (major == 1 && minor >= 3) return CG_PROFILE_PS_1_3;
    if (major == 1 && minor == 2) return CG_PROFILE_PS_1_2;
    if (major == 1 && minor == 1) return CG_PROFILE_PS_1_1;
    return CG_PROFILE_UNKNOWN;
}

// Nothing to tune: the GL driver optimises. An empty option is ignored.
const char* cgD3D9GetOptimalOptions(CGprofile) { return ""; }

CGprofile cgGetProfile(const char* name) {
    if (!name) return CG_PROFILE_UNKNOWN;
    for (const ProfileInfo& p : kProfiles)
        if (strcmp(p.name, name) == 0) return p.profile;
    return CG_PROFILE_UNKNOWN;
}

const char* cgGetProfileString(CGprofile profile) {
    const ProfileInfo* p = Info(profile);
    return p ? p->name : "";
}

CGprogram cgCreateProgramFromFile(CGcontext context, CGenum programType, const char* file, CGprofile profile,
                                  const char* entry, const char** args) {
    if (!context) {
        Raise(CG_INVALID_CONTEXT_HANDLE_ERROR);
        return nullptr;
    }
    context->listing.clear();
    if (programType != CG_SOURCE) {
        Raise(CG_INVALID_ENUMERANT_ERROR);
        return nullptr;
    }
    const ProfileInfo* info = Info(profile);
    if (!info) {
        Raise(CG_INVALID_PROFILE_ERROR);
        return nullptr;
    }
    auto program = std::make_unique<_CGprogram>();
    program->context = context;
    program->profile = profile;
    program->entry = entry ? entry : "main";
    if (!ReadFile(file, program->source)) {
        context->listing = std::string("cannot read ") + (file ? file : "(null)");
        g_CompileMessage = context->listing;
        Raise(CG_FILE_READ_ERROR);
        return nullptr;
    }
    std::string message;
    if (!IsIdentifier(program->entry)) {
        message = "bad entry point name";
    } else if (program->entry != "main") {
        // GLSL programs start at main; another entry cannot be honoured.
        message = "entry point must be main";
    } else if (CheckSource(program->source, program->entry, message)) {
        ParseRegisters(program->source, *info, *program, message);
    }
    if (!message.empty()) {
        context->listing = std::string(file) + "(" + info->name + "): " + message;
        g_CompileMessage = context->listing;
        Raise(CG_COMPILER_ERROR);
        return nullptr;
    }
    program->compiled = Compile(*program, *info, args);
    context->programs.push_back(std::move(program));
    return context->programs.back().get();
}

void cgDestroyProgram(CGprogram program) {
    if (!program) {
        Raise(CG_INVALID_PROGRAM_HANDLE_ERROR);
        return;
    }
    auto& list = program->context->programs;
    for (auto it = list.begin(); it != list.end(); ++it)
        if (it->get() == program) {
            list.erase(it);
            return;
        }
}

const char* cgGetProgramString(CGprogram program, CGenum which) {
    if (!program) {
        Raise(CG_INVALID_PROGRAM_HANDLE_ERROR);
        return nullptr;
    }
    switch (which) {
        case CG_COMPILED_PROGRAM: return program->compiled.c_str();
        case CG_PROGRAM_SOURCE: return program->source.c_str();
        case CG_PROGRAM_ENTRY: return program->entry.c_str();
        case CG_PROGRAM_PROFILE: return cgGetProfileString(program->profile);
        default: Raise(CG_INVALID_ENUMERANT_ERROR); return nullptr;
    }
}

CGprofile cgGetProgramProfile(CGprogram program) {
    if (!program) {
        Raise(CG_INVALID_PROGRAM_HANDLE_ERROR);
        return CG_PROFILE_UNKNOWN;
    }
    return program->profile;
}

CGparameter cgGetNamedParameter(CGprogram program, const char* name) {
    if (!program) {
        Raise(CG_INVALID_PROGRAM_HANDLE_ERROR);
        return nullptr;
    }
    if (!name) return nullptr;
    for (const auto& p : program->parameters)
        if (p->name == name) return p.get();
    return nullptr;
}

unsigned long cgGetParameterResourceIndex(CGparameter parameter) {
    if (!parameter) {
        Raise(CG_INVALID_PARAM_HANDLE_ERROR);
        return 0;
    }
    return parameter->index;
}

const char* cgGetParameterName(CGparameter parameter) {
    if (!parameter) {
        Raise(CG_INVALID_PARAM_HANDLE_ERROR);
        return nullptr;
    }
    return parameter->name.c_str();
}

CGerror cgGetError() {
    CGerror e = g_Error;
    g_Error = CG_NO_ERROR;
    g_TakenError = e;
    return e;
}

const char* cgGetErrorString(CGerror error) {
    const char* text = "unknown error.";
    switch (error) {
        case CG_NO_ERROR: text = "No error has occurred."; break;
        case CG_COMPILER_ERROR: text = "The compile returned an error."; break;
        case CG_INVALID_PARAMETER_ERROR: text = "The parameter used is invalid."; break;
        case CG_INVALID_PROFILE_ERROR: text = "The profile is not supported."; break;
        case CG_PROGRAM_LOAD_ERROR: text = "The program could not load."; break;
        case CG_FILE_READ_ERROR: text = "The file could not be read."; break;
        case CG_INVALID_ENUMERANT_ERROR: text = "Invalid enumerant parameter."; break;
        case CG_INVALID_CONTEXT_HANDLE_ERROR: text = "Invalid context handle."; break;
        case CG_INVALID_PROGRAM_HANDLE_ERROR: text = "Invalid program handle."; break;
        case CG_INVALID_PARAM_HANDLE_ERROR: text = "Invalid parameter handle."; break;
    }
    g_ErrorText = text;
    if ((error == CG_COMPILER_ERROR || error == CG_FILE_READ_ERROR) && error == g_TakenError &&
        !g_CompileMessage.empty())
        g_ErrorText += std::string(": ") + g_CompileMessage;
    return g_ErrorText.c_str();
}

const char* cgGetLastListing(CGcontext context) {
    if (!context) {
        Raise(CG_INVALID_CONTEXT_HANDLE_ERROR);
        return nullptr;
    }
    return context->listing.empty() ? nullptr : context->listing.c_str();
}
