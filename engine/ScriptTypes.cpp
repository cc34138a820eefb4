// Registrations of the script math types and the colour scheme. Kept in one
// translation unit: luabind's templates compile slowly.
#include <luabind/operator.hpp>

#include "engine/Script.h"
#include <luabind/detail/class_registry.hpp>

CColorScheme g_DefaultScheme{};
CColorScheme g_CurrentScheme{};

namespace script {

namespace {

using luabind::class_;
using luabind::constructor;
using luabind::other;
using luabind::self;

CColorScheme& GetDefaultScheme() { return g_DefaultScheme; }
CColorScheme& GetCurrentScheme() { return g_CurrentScheme; }

template <class T>
bool IsRegistered(lua_State* L) {
    auto* registry = luabind::detail::class_registry::get_registry(L);
    return registry && registry->find_class(typeid(T)) != nullptr;
}

// Vector types share their operators: + and - with their own kind, * and / by a number.
template <class V, class C>
C& VectorOperators(C& c) {
    c.def(self + other<const V&>()).def(self - other<const V&>()).def(self * float()).def(self / float());
    return c;
}

}  // namespace

void RegisterD3DVECTOR(lua_State* L) {
    luabind::module(L)[class_<D3DVECTOR>("D3DVECTOR")
                           .def_readwrite("x", &D3DVECTOR::x)
                           .def_readwrite("y", &D3DVECTOR::y)
                           .def_readwrite("z", &D3DVECTOR::z)];
}

void RegisterD3DXVECTOR2(lua_State* L) {
    class_<D3DXVECTOR2> c("D3DXVECTOR2");
    c.def(constructor<>())
        .def(constructor<float, float>())
        .def_readwrite("x", &D3DXVECTOR2::x)
        .def_readwrite("y", &D3DXVECTOR2::y);
    luabind::module(L)[VectorOperators<D3DXVECTOR2>(c)];
}

void RegisterD3DXVECTOR3(lua_State* L) {
    // A state without D3DVECTOR (the field script's) still gets x, y and z.
    if (IsRegistered<D3DVECTOR>(L)) {
        class_<D3DXVECTOR3, luabind::bases<D3DVECTOR>> c("D3DXVECTOR3");
        c.def(constructor<>()).def(constructor<float, float, float>());
        luabind::module(L)[VectorOperators<D3DXVECTOR3>(c)];
    } else {
        class_<D3DXVECTOR3> c("D3DXVECTOR3");
        c.def(constructor<>())
            .def(constructor<float, float, float>())
            .def_readwrite("x", &D3DXVECTOR3::x)
            .def_readwrite("y", &D3DXVECTOR3::y)
            .def_readwrite("z", &D3DXVECTOR3::z);
        luabind::module(L)[VectorOperators<D3DXVECTOR3>(c)];
    }
}

void RegisterD3DXVECTOR4(lua_State* L) {
    class_<D3DXVECTOR4> c("D3DXVECTOR4");
    c.def(constructor<>())
        .def(constructor<float, float, float, float>())
        .def_readwrite("x", &D3DXVECTOR4::x)
        .def_readwrite("y", &D3DXVECTOR4::y)
        .def_readwrite("z", &D3DXVECTOR4::z)
        .def_readwrite("w", &D3DXVECTOR4::w);
    luabind::module(L)[VectorOperators<D3DXVECTOR4>(c)];
}

void RegisterD3DXCOLOR(lua_State* L) {
    class_<D3DXCOLOR> c("D3DXCOLOR");
    c.def(constructor<>())
        .def(constructor<float, float, float, float>())
        .def_readwrite("r", &D3DXCOLOR::r)
        .def_readwrite("g", &D3DXCOLOR::g)
        .def_readwrite("b", &D3DXCOLOR::b)
        .def_readwrite("a", &D3DXCOLOR::a);
    luabind::module(L)[VectorOperators<D3DXCOLOR>(c)];
}

void RegisterCColorScheme(lua_State* L) {
    luabind::module(L)[class_<CColorScheme>("CColorScheme")
                           .def_readwrite("next_color", &CColorScheme::next_color)
                           .def_readwrite("score_color", &CColorScheme::score_color)
                           .def_readwrite("score_value_color", &CColorScheme::score_value_color)
                           .def_readwrite("lines_color", &CColorScheme::lines_color)
                           .def_readwrite("lines_value_color", &CColorScheme::lines_value_color)
                           .def_readwrite("level_color", &CColorScheme::level_color)
                           .def_readwrite("level_value_color", &CColorScheme::level_value_color)
                           .def_readwrite("game_type_color", &CColorScheme::game_type_color)
                           .def_readwrite("game_type_value_color", &CColorScheme::game_type_value_color)
                           .def_readwrite("difficulty_color", &CColorScheme::difficulty_color)
                           .def_readwrite("difficulty_value_color", &CColorScheme::difficulty_value_color)
                           .def_readwrite("time_color", &CColorScheme::time_color)
                           .def_readwrite("fps_color", &CColorScheme::fps_color)];
}

void RegisterGeneralInterface(lua_State* L) {
    RegisterD3DVECTOR(L);
    RegisterD3DXVECTOR3(L);
    RegisterD3DXCOLOR(L);
    RegisterCColorScheme(L);
    luabind::module(L)[luabind::def("ext_GetDefaultScheme", &GetDefaultScheme),
                       luabind::def("ext_GetCurrentScheme", &GetCurrentScheme)];
}

}  // namespace script
