#include "engine/Script.h"

#include <crt.h>
#include <cxxabi.h>
#include <platform.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "engine/Log.h"

namespace script {

namespace {

// Lua 5.0's math.random over the shared generator: one draw per call, whatever the arguments.
int Random(lua_State* L) {
    lua_Number r = static_cast<lua_Number>(crt_rand() % CRT_RAND_MAX) / static_cast<lua_Number>(CRT_RAND_MAX);
    switch (lua_gettop(L)) {
        case 0:
            lua_pushnumber(L, r);
            break;
        case 1: {
            lua_Number u = luaL_checknumber(L, 1);
            luaL_argcheck(L, 1 <= u, 1, "interval is empty");
            lua_pushnumber(L, std::floor(r * u) + 1);
            break;
        }
        case 2: {
            lua_Number l = luaL_checknumber(L, 1);
            lua_Number u = luaL_checknumber(L, 2);
            luaL_argcheck(L, l <= u, 2, "interval is empty");
            lua_pushnumber(L, std::floor(r * (u - l + 1)) + l);
            break;
        }
        default:
            return luaL_error(L, "wrong number of arguments");
    }
    return 1;
}

// Seeds the shared generator and, unlike Lua 5.2's own, discards no draw.
int RandomSeed(lua_State* L) {
    crt_srand(static_cast<unsigned int>(static_cast<long long>(luaL_checknumber(L, 1))));
    return 0;
}

std::string HostPathArg(lua_State* L, int index) {
    const char* name = luaL_checkstring(L, index);
    return platform::HostPath(name);
}

int DoFile(lua_State* L) {
    std::string path = HostPathArg(L, 1);
    lua_settop(L, 1);
    if (luaL_loadfile(L, path.c_str()) != LUA_OK) return lua_error(L);
    lua_call(L, 0, LUA_MULTRET);
    return lua_gettop(L) - 1;
}

// Hands the translated path to the library's own loadfile (kept as upvalue 1),
// so mode and environment arguments keep their meaning.
int LoadFile(lua_State* L) {
    std::string path = HostPathArg(L, 1);
    lua_pushstring(L, path.c_str());
    lua_replace(L, 1);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
    return lua_gettop(L);
}

void InstallBaseAndMath(lua_State* L) {
    luaL_requiref(L, "_G", luaopen_base, 1);
    lua_pop(L, 1);
    luaL_requiref(L, "math", luaopen_math, 1);
    lua_pop(L, 1);

    lua_getglobal(L, "math");
    lua_pushcfunction(L, Random);
    lua_setfield(L, -2, "random");
    lua_pushcfunction(L, RandomSeed);
    lua_setfield(L, -2, "randomseed");
    lua_pop(L, 1);

    lua_pushcfunction(L, DoFile);
    lua_setglobal(L, "dofile");
    lua_getglobal(L, "loadfile");
    lua_pushcclosure(L, LoadFile, 1);
    lua_setglobal(L, "loadfile");
}

}  // namespace

lua_State* OpenState(Libraries libraries) {
    lua_State* L = luaL_newstate();
    if (!L) {
        g_Log.PrintBold("red", "Error, couldn't open a Lua state");
        return nullptr;
    }
    if (libraries == Libraries::BaseMath) InstallBaseAndMath(L);
    lua_settop(L, 0);
    luabind::open(L);
    return L;
}

void CloseState(lua_State*& state) {
    if (state) lua_close(state);
    state = nullptr;
}

bool RunFile(lua_State* L, const std::string& windowsPath) {
    if (!L) return false;
    const int top = lua_gettop(L);
    std::string path = platform::HostPath(windowsPath.c_str());
    int rc = luaL_loadfile(L, path.c_str());
    if (rc == LUA_OK) rc = lua_pcall(L, 0, 0, 0);
    if (rc == LUA_OK) return true;
    detail::ReportFailure(L, top, windowsPath.c_str(), detail::LuaMessage(L, top).c_str(), nullptr);
    return false;
}

bool ReadGlobalNumber(lua_State* L, const char* name, float& out) {
    if (!L) return false;
    lua_getglobal(L, name);
    bool ok = lua_type(L, -1) == LUA_TNUMBER;
    if (ok)
        out = static_cast<float>(lua_tonumber(L, -1));
    else
        g_Log.PrintBold("red", "Script error: global %s is %s, not a number", name, luaL_typename(L, -1));
    lua_pop(L, 1);
    return ok;
}

bool IsFunction(const luabind::object& object) {
    return object.is_valid() && luabind::type(object) == LUA_TFUNCTION;
}

luabind::object GetGlobal(lua_State* L, const char* name) {
    return luabind::globals(L)[name];
}

namespace detail {

void ReportFailure(lua_State* L, int top, const char* what, const char* message, bool* once) {
    if (L && lua_gettop(L) > top) lua_settop(L, top);
    if (once) {
        if (*once) return;
        *once = true;
    }
    g_Log.PrintBold("red", "Script error in %s: %s", what, message && *message ? message : "unknown error");
}

std::string LuaMessage(lua_State* L, int top) {
    if (!L || lua_gettop(L) <= top) return std::string();
    const char* text = lua_tostring(L, -1);
    return text ? std::string(text) : std::string("(error object is not a string)");
}

std::string TypeName(const std::string& mangled) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(mangled.c_str(), nullptr, nullptr, &status),
                                               std::free);
    return status == 0 && name ? std::string(name.get()) : mangled;
}

void ThrowMissing() { throw std::runtime_error("function not defined"); }

}  // namespace detail

}  // namespace script
