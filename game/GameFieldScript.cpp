// Script functions of the field's two states. The field's script files run
// inside its constructor, so these refuse to touch a field that is not yet
// (or never will be) the one in play, and never create one.
#include <cmath>

#include "engine/GraphicsEngine.h"
#include "engine/Log.h"
#include "game/GameField.h"

namespace {

CGameField* FieldInPlay(const char* function) {
    CGameField* field = CGameField::GetInstancePtr();
    if (!field || !field->IsConstructed()) {
        g_Log.Print("red", "%s ignored while the field is being built: call it from game_FieldInit", function);
        return nullptr;
    }
    return CGameField::GetInstance();
}

void ExtCreate(const std::string& path) {
    if (CGameField* field = FieldInPlay("ext_Create")) field->Create(path);
}

int ExtGetFieldBlock(double x, double y) {
    static bool s_reported = false;
    CGameField* field = FieldInPlay("ext_GetFieldBlock");
    if (!field) return 2;
    // Scripts pass numbers; a cell index is their integer part.
    if (!(x >= 0 && y >= 0 && x < field->m_width && y < field->m_height)) {
        if (!s_reported) g_Log.PrintBold("red", "ext_GetFieldBlock(%g, %g): no such cell, answering 2", x, y);
        s_reported = true;
        return 2;
    }
    return -field->Cell(static_cast<int>(x), static_cast<int>(y)).m_value;
}

void ExtSetCoefficients(const D3DXVECTOR4&, const D3DXVECTOR4&, const D3DXVECTOR4&, float alpha, float beta) {
    if (CGameField* field = FieldInPlay("ext_SetCoefficients")) {
        field->m_alpha = alpha;
        field->m_beta = beta;
    }
}

void ExtSetPosition(float x, float y, float z) {
    if (CGameField* field = FieldInPlay("ext_SetPosition")) field->m_position = D3DXVECTOR3(x, y, z);
}

void ExtSetRotation(float x, float y, float z) {
    if (CGameField* field = FieldInPlay("ext_SetRotation")) field->m_rotation = D3DXVECTOR3(x, y, z);
}

float ExtGetCurrentTime() { return EngineTime(); }

float ExtGetDeltaTime() { return EngineStep(); }

}  // namespace

void RegisterFieldScriptFunctions(lua_State* L) {
    luabind::module(L)[luabind::def("ext_Create", &ExtCreate), luabind::def("ext_GetFieldBlock", &ExtGetFieldBlock),
                       luabind::def("ext_SetCoefficients", &ExtSetCoefficients),
                       luabind::def("ext_SetPosition", &ExtSetPosition)];
}

void RegisterFieldAnimScriptFunctions(lua_State* L) {
    luabind::module(L)[luabind::def("ext_SetPosition", &ExtSetPosition),
                       luabind::def("ext_SetRotation", &ExtSetRotation),
                       luabind::def("ext_GetCurrentTime", &ExtGetCurrentTime),
                       luabind::def("ext_GetDeltaTime", &ExtGetDeltaTime)];
}
