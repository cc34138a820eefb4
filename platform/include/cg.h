// Shader compiler stand-in with the Cg runtime's names. Our .cg files hold
// GLSL (see platform/cg/Cg.cpp for the file conventions): "compiling" selects
// the profile's variant with a #define, checks the source and the register
// declarations, and yields text for D3DXAssembleShader.
#pragma once

#include "d3d9.h"

typedef struct _CGcontext* CGcontext;
typedef struct _CGprogram* CGprogram;
typedef struct _CGparameter* CGparameter;
typedef int CGbool;

enum CGprofile {
    CG_PROFILE_UNKNOWN = 6145,
    CG_PROFILE_VS_1_1 = 6112,
    CG_PROFILE_VS_2_0 = 6113,
    CG_PROFILE_VS_2_X = 6114,
    CG_PROFILE_PS_1_1 = 6159,
    CG_PROFILE_PS_1_2 = 6160,
    CG_PROFILE_PS_1_3 = 6161,
    CG_PROFILE_PS_2_0 = 6162,
    CG_PROFILE_PS_2_X = 6163
};

enum CGenum {
    CG_UNKNOWN = 4096,
    CG_SOURCE = 4112,
    CG_OBJECT = 4113,
    CG_COMPILED_PROGRAM = 4106,
    CG_PROGRAM_SOURCE = 4107,
    CG_PROGRAM_ENTRY = 4108,
    CG_PROGRAM_PROFILE = 4109
};

enum CGerror {
    CG_NO_ERROR = 0,
    CG_COMPILER_ERROR = 1,
    CG_INVALID_PARAMETER_ERROR = 2,
    CG_INVALID_PROFILE_ERROR = 3,
    CG_PROGRAM_LOAD_ERROR = 4,
    CG_FILE_READ_ERROR = 5,
    CG_INVALID_CONTEXT_HANDLE_ERROR = 16,
    CG_INVALID_PROGRAM_HANDLE_ERROR = 17,
    CG_INVALID_PARAM_HANDLE_ERROR = 18,
    CG_INVALID_ENUMERANT_ERROR = 10
};

CGcontext cgCreateContext();
void cgDestroyContext(CGcontext context);

// The device whose capabilities decide the latest profiles.
HRESULT cgD3D9SetDevice(IDirect3DDevice9* device);
IDirect3DDevice9* cgD3D9GetDevice();
CGprofile cgD3D9GetLatestVertexProfile();  // CG_PROFILE_UNKNOWN without vertex shaders
CGprofile cgD3D9GetLatestPixelProfile();   // CG_PROFILE_UNKNOWN without pixel shaders
const char* cgD3D9GetOptimalOptions(CGprofile profile);

CGprofile cgGetProfile(const char* name);  // "vs_1_1", "vs_2_0", "ps_1_1", "ps_2_0", ...
const char* cgGetProfileString(CGprofile profile);

// Null on failure; cgGetError tells why and cgGetLastListing gives details.
// args: null-terminated list; "-DNAME" or "-DNAME=VALUE" become #defines,
// empty strings are ignored.
CGprogram cgCreateProgramFromFile(CGcontext context, CGenum programType, const char* file, CGprofile profile,
                                  const char* entry, const char** args);
void cgDestroyProgram(CGprogram program);
const char* cgGetProgramString(CGprogram program, CGenum which);
CGprofile cgGetProgramProfile(CGprogram program);

// Null (without raising an error) when the program has no such parameter.
CGparameter cgGetNamedParameter(CGprogram program, const char* name);
// The first constant register of the parameter; 0 with
// CG_INVALID_PARAM_HANDLE_ERROR for a null parameter.
unsigned long cgGetParameterResourceIndex(CGparameter parameter);
const char* cgGetParameterName(CGparameter parameter);

// Returns the last error and clears it.
CGerror cgGetError();
// The error's text; for the error just taken from cgGetError that came from a
// compile, the compiler's message follows after ": ".
const char* cgGetErrorString(CGerror error);
const char* cgGetLastListing(CGcontext context);
