// Hostile script material for tests: precompiled chunks and their string literals.
#pragma once

#include <gtest/gtest.h>

#include <lua.hpp>

#include <cstdio>
#include <string>

namespace testutil {

// A precompiled chunk of the given source, as luac would write it.
inline std::string BinaryChunk(const char* source) {
    lua_State* L = luaL_newstate();
    std::string out;
    EXPECT_EQ(luaL_loadstring(L, source), LUA_OK);
    lua_dump(L, [](lua_State*, const void* p, size_t n, void* ud) {
        static_cast<std::string*>(ud)->append(static_cast<const char*>(p), n);
        return 0;
    }, &out);
    lua_close(L);
    return out;
}

// The bytes as a Lua string literal of decimal escapes.
inline std::string LuaLiteral(const std::string& bytes) {
    std::string out = "\"";
    char escape[8];
    for (unsigned char c : bytes) {
        snprintf(escape, sizeof escape, "\\%03u", c);
        out += escape;
    }
    return out + "\"";
}

}  // namespace testutil
