// The frame script's state: its types, the functions it calls and the hooks
// the program calls in it.
#include <lua.hpp>
#include <luabind/luabind.hpp>

#include <cmath>

#include "engine/Log.h"
#include "engine/Script.h"
#include "game/GameField.h"
#include "game/GameSettings.h"
#include "game/VarFrame.h"

namespace {

// True while the constructor runs the script file: its top-level calls must
// not reach the frame in play.
bool g_OpeningScript = false;

CVarFrame* Frame() {
    if (g_OpeningScript) return nullptr;
    return CVarFrame::GetInstance();
}

int GetFieldMatrixW() {
    CGameField* field = CGameField::GetInstance();
    return field ? field->m_width : 0;
}
int GetFieldMatrixH() {
    CGameField* field = CGameField::GetInstance();
    return field ? field->m_height : 0;
}

int GetFieldMatrixElement(int x, int y) {
    CGameField* field = CGameField::GetInstance();
    if (!field) return 0;
    if (x < 0 || y < 0 || x >= field->m_width || y >= field->m_height) {
        g_Log.PrintBold("red", "Error: ext_GetFieldMatrixElement(%d, %d) is outside the %d x %d field", x, y,
                        field->m_width, field->m_height);
        return 0;
    }
    return field->m_grid[y][x].m_value == -2 ? 1 : 0;
}

float Vec3Length(const D3DXVECTOR3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

void Create(const std::string& mesh0, const std::string& mesh1, const std::string& mesh2,
            const std::string& texture) {
    if (CVarFrame* frame = Frame()) frame->LoadMesh(mesh0, mesh1, mesh2, texture);
}

void SetSegmentSize(float x, float y, float z) {
    if (CVarFrame* frame = Frame()) frame->segmentSize = D3DXVECTOR3(x, y, z);
}
void SetSegmentRotate(float x, float y, float z) {
    if (CVarFrame* frame = Frame()) frame->segmentRotation = D3DXVECTOR3(x, y, z);
}

template <D3DXCOLOR CVarFrame::*Member>
void SetColor(const D3DXCOLOR& color) {
    if (CVarFrame* frame = Frame()) frame->*Member = color;
}

varframe::SegmentPtr CreateSegment() {
    CVarFrame* frame = Frame();
    // A segment made before the frame is in play belongs to nobody but the script.
    return frame ? frame->CreateSegment() : varframe::SegmentPtr(new varframe::CSegment());
}

void Register(lua_State* L) {
    using namespace luabind;
    script::RegisterD3DVECTOR(L);
    script::RegisterD3DXVECTOR3(L);
    script::RegisterD3DXCOLOR(L);
    module(L)[class_<varframe::CSegment, varframe::SegmentPtr>("CSegment")
                  .def(constructor<>())
                  .def_readwrite("scale", &varframe::CSegment::scale)
                  .def_readwrite("ambient_color", &varframe::CSegment::ambientColor)
                  .def_readwrite("diffuse_color", &varframe::CSegment::diffuseColor)
                  .def_readwrite("specular_color", &varframe::CSegment::specularColor)
                  .def_readwrite("position", &varframe::CSegment::position)
                  .def_readwrite("position_offset", &varframe::CSegment::positionOffset)
                  .def_readwrite("rotate", &varframe::CSegment::rotate)
                  .def_readwrite("rotate_offset", &varframe::CSegment::rotateOffset)
                  .def("StartTransform", &varframe::CSegment::StartTransform)
                  .def("ScaleBy", &varframe::CSegment::ScaleBy)
                  .def("MoveBy", &varframe::CSegment::MoveBy)
                  .def("RotateByX", &varframe::CSegment::RotateByX)
                  .def("RotateByY", &varframe::CSegment::RotateByY)
                  .def("RotateByZ", &varframe::CSegment::RotateByZ)
                  .def("EndTransform", &varframe::CSegment::EndTransform),
              def("ext_GetFieldMatrixW", &GetFieldMatrixW),
              def("ext_GetFieldMatrixH", &GetFieldMatrixH),
              def("ext_GetFieldMatrixElement", &GetFieldMatrixElement),
              def("D3DXVec3Length", &Vec3Length),
              def("ext_Create", &Create),
              def("ext_SetSegmentSize", &SetSegmentSize),
              def("ext_SetSegmentRotate", &SetSegmentRotate),
              def("ext_SetSolidAmbientColor", &SetColor<&CVarFrame::solidAmbient>),
              def("ext_SetSolidDiffuseColor", &SetColor<&CVarFrame::solidDiffuse>),
              def("ext_SetSolidSpecularColor", &SetColor<&CVarFrame::solidSpecular>),
              def("ext_SetSegmentedAmbientColor", &SetColor<&CVarFrame::segmentedAmbient>),
              def("ext_SetSegmentedDiffuseColor", &SetColor<&CVarFrame::segmentedDiffuse>),
              def("ext_SetSegmentedSpecularColor", &SetColor<&CVarFrame::segmentedSpecular>),
              def("ext_CreateSegment", &CreateSegment)];
}

}  // namespace

bool CVarFrame::OpenScript() {
    luaState = script::OpenState(script::Libraries::BaseMath, script::Budget::Frame);
    if (!luaState) return false;
    Register(luaState);
    g_OpeningScript = true;
    m_scriptRan = script::RunFile(luaState, g_FrameScriptPath);
    g_OpeningScript = false;
    return m_scriptRan;
}

void CVarFrame::CallHook(const char* name) {
    if (!luaState || !m_scriptRan) return;
    // Looked up at each call, so a script may define its hooks late.
    luabind::object hook = script::GetGlobal(luaState, name);
    script::CallVoid(luaState, hook, name, nullptr);
}

void CVarFrame::CallFrameInit() { CallHook("game_FrameInit"); }

CVarFrame::~CVarFrame() {
    segments.clear();
    script::CloseState(luaState);
}
