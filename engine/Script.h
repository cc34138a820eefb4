#pragma once

// The Lua binding layer shared by every script state of the game.
//
// A state is opened bare (only the binding library) or with the base and math
// libraries; nothing else (no string, table, io, os, package). In every state
// that has math, math.random and math.randomseed draw from the one process-wide
// 15-bit generator shared with RandomInt and RandomFloat, and dofile/loadfile
// take Windows paths as the game writes them.
//
// Scripts come from players' downloads, so every state is fenced: chunks are
// text only (load, loadstring, loadfile and dofile refuse precompiled ones),
// dofile and loadfile stay inside the state's root folder, each call from the
// game may run a bounded number of instructions, and the state's memory is
// capped. Running past either ends the call with a script error. Scripts get no
// finalizers and no binding classes (Lua runs finalizers where no budget
// reaches), xpcall's handler runs after the error has unwound, and the garbage
// collector runs only inside calls. A memory error is raised only in script
// code, never across the binding's C++ frames.
//
// Every call into a script goes through Protect (or the Call helpers built on
// it): a script error, a result of the wrong type or a C++ exception is logged
// as one bold red line naming the hook or file, the Lua stack is restored, and
// the caller gets its fallback.

#include <lua.hpp>
#include <luabind/luabind.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "engine/ColorScheme.h"

namespace script {

enum class Libraries { Bare, BaseMath };

// Whose scripts a state runs; each has its own instruction budget per call.
enum class Budget { General, Figure, Field, FieldAnimation, Frame, Theme };

// Memory one state may hold while its scripts run.
constexpr size_t kMemoryCap = size_t(64) << 20;

// Instructions one call from the game may run in a state of that kind.
int64_t InstructionBudget(Budget budget);

// Opens a state with the given libraries and the binding library; null on failure
// (logged). dofile and loadfile are confined to the folder root, or to the
// current folder when root is empty.
lua_State* OpenState(Libraries libraries, Budget budget, const std::string& root = std::string());
// Closes the state and nulls the handle. Destroy kept luabind::objects first.
// Finalizers run within one call's budget.
void CloseState(lua_State*& state);

// Marks a call from the game into the state: the outermost one starts a fresh
// instruction count and lets the collector run. Protect, RunFile and the Call
// helpers open one; code that runs a script by lua_pcall itself opens its own.
class CallScope {
public:
    explicit CallScope(lua_State* state);
    ~CallScope();
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

private:
    lua_State* m_state;
};

// Instructions the state has run in its current (or last) call from the game.
int64_t InstructionsSpent(lua_State* state);

// What a host call that reaches the disk costs the script, in instructions. A
// loop of missing-file loads then ends with the budget in a fraction of a
// second instead of holding the game for minutes, and one call may still try
// every frame an animated sprite can hold.
constexpr int64_t kDiskCallCost = 2000;
// Spends a host call's cost from the running call's budget. False once the
// budget is gone: the host call then does nothing, and the script stops with
// the budget error at its next instruction.
bool SpendOnHostCall(lua_State* state, int64_t instructions = kDiskCallCost);

// Bytes the state holds now.
size_t MemoryUsed(lua_State* state);

// Runs a script file named by a Windows path. False when it cannot be loaded
// or fails while running; the reason is logged with the file name.
bool RunFile(lua_State* state, const std::string& windowsPath);

// Reads a number global. False, with a logged line naming it, when it is
// missing or not a number; out is then left alone.
bool ReadGlobalNumber(lua_State* state, const char* name, float& out);

// True for a reference that holds a function.
bool IsFunction(const luabind::object& object);
// The global of that name (nil when absent), read raw: no metamethod runs.
luabind::object GetGlobal(lua_State* state, const char* name);

namespace detail {
// Logs the failure unless *once is already set (then sets it), and restores
// the stack to top. message may be null when Lua left none.
void ReportFailure(lua_State* state, int top, const char* what, const char* message, bool* once);
std::string LuaMessage(lua_State* state, int top);
std::string TypeName(const std::string& mangled);
[[noreturn]] void ThrowMissing();
}  // namespace detail

// Runs body; returns false after logging when it throws. once: when given, only
// the first failure is logged until the caller clears the flag.
template <class Body>
bool Protect(lua_State* state, const char* what, Body&& body, bool* once = nullptr) {
    const int top = state ? lua_gettop(state) : 0;
    CallScope scope(state);
    try {
        body();
        return true;
    } catch (const luabind::cast_failed& e) {
        detail::ReportFailure(state, top, what,
                              ("result is not a " + detail::TypeName(e.info().name())).c_str(), once);
    } catch (const luabind::error& e) {
        detail::ReportFailure(state, top, what, detail::LuaMessage(state, top).c_str(), once);
    } catch (const std::exception& e) {
        detail::ReportFailure(state, top, what, e.what(), once);
    }
    return false;
}

// Calls a kept function reference with no result.
template <class... Args>
bool CallVoid(lua_State* state, const luabind::object& fn, const char* name, bool* once, Args&&... args) {
    return Protect(state, name, [&] {
        if (!IsFunction(fn)) detail::ThrowMissing();
        luabind::call_function<void>(fn, std::forward<Args>(args)...);
    }, once);
}

// Calls a kept function reference for one result of type R; fallback on any failure.
template <class R, class... Args>
R Call(lua_State* state, const luabind::object& fn, const char* name, R fallback, bool* once,
       Args&&... args) {
    R result = fallback;
    Protect(state, name, [&] {
        if (!IsFunction(fn)) detail::ThrowMissing();
        result = luabind::call_function<R>(fn, std::forward<Args>(args)...);
    }, once);
    return result;
}

// Script types, one registration each, so that every state registers exactly
// its own list in its own order.
void RegisterD3DVECTOR(lua_State* state);    // x, y, z; no constructor
void RegisterD3DXVECTOR2(lua_State* state);
void RegisterD3DXVECTOR3(lua_State* state);  // derived from D3DVECTOR where that is registered
void RegisterD3DXVECTOR4(lua_State* state);
void RegisterD3DXCOLOR(lua_State* state);
void RegisterCColorScheme(lua_State* state); // 13 colours by reference; no constructor
// The general state's interface: D3DVECTOR, D3DXVECTOR3, D3DXCOLOR, CColorScheme,
// ext_GetDefaultScheme, ext_GetCurrentScheme.
void RegisterGeneralInterface(lua_State* state);

}  // namespace script
