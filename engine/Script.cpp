#include "engine/Script.h"

#include <crt.h>
#include <cxxabi.h>
#include <platform.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>

#include <unistd.h>

#include <luabind/detail/class_rep.hpp>
#include <luabind/detail/object_rep.hpp>

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

// Between calls from the game the collector stands still and the memory cap is
// lifted, so the game's own use of a state can neither fail nor run a finalizer.
struct Limits {
    lua_State* state = nullptr;  // set once the state is open
    size_t used = 0;
    int64_t budget = 0;
    int64_t spent = 0;
    int depth = 0;
    std::string root;  // resolved; dofile and loadfile stay inside
};

// Script code may grow the state only to the cap less this reserve. C code
// (the binding's C++ frames above all, and the game's own pushes) may use the
// reserve, so a memory error never longjmps across C++ destructors; once such
// code leaves the state past the line, the next script instruction fails.
constexpr size_t kHostReserve = size_t(1) << 20;
constexpr size_t kScriptLine = kMemoryCap - kHostReserve;

// Instructions between two looks at the budget.
constexpr int kHookStride = 1000;

Limits* LimitsOf(lua_State* L) {
    void* ud = nullptr;
    lua_getallocf(L, &ud);
    return static_cast<Limits*>(ud);
}

// Whether script code is running: the innermost call is a Lua function, not
// a C function or the host outside any call. Reads the call record only ("S"
// needs no instruction position, which is not yet set on a function's entry).
bool InScriptCode(lua_State* L) {
    lua_Debug ar;
    if (!L || !lua_getstack(L, 0, &ar)) return false;
    lua_getinfo(L, "S", &ar);
    return ar.what[0] != 'C';
}

void CountHook(lua_State* L, lua_Debug*);

void* Allocate(void* ud, void* block, size_t oldSize, size_t newSize) {
    Limits* limits = static_cast<Limits*>(ud);
    // Without a block, oldSize names the kind of object, not a size.
    const size_t held = block ? oldSize : 0;
    if (newSize == 0) {
        std::free(block);
        limits->used -= held;
        return nullptr;
    }
    const bool grows = newSize > held;
    if (grows && limits->depth > 0) {
        const size_t line = InScriptCode(limits->state) ? kScriptLine : kMemoryCap;
        if (newSize - held > line || limits->used + (newSize - held) > line)
            return nullptr;  // Lua raises its memory error in the running call
    }
    void* grown = std::realloc(block, newSize);
    if (!grown) return nullptr;
    limits->used = limits->used - held + newSize;
    // C code went past the script's line: fail at the next script instruction.
    if (grows && limits->depth > 0 && limits->used > kScriptLine && limits->state)
        lua_sethook(limits->state, CountHook, LUA_MASKCOUNT, 1);
    return grown;
}

void CountHook(lua_State* L, lua_Debug*) {
    Limits* limits = LimitsOf(L);
    limits->spent += lua_gethookcount(L);
    if (limits->used > kScriptLine && limits->depth > 0) {
        lua_gc(L, LUA_GCCOLLECT, 0);  // as Lua collects before a refused allocation fails
        if (limits->used > kScriptLine) {
            // Interned when the state opened, so raising it allocates nothing.
            lua_pushliteral(L, "not enough memory");
            lua_error(L);
        }
    }
    if (limits->spent <= limits->budget) {
        if (lua_gethookcount(L) != kHookStride) lua_sethook(L, CountHook, LUA_MASKCOUNT, kHookStride);
        return;
    }
    // From now on every instruction fails, so a script's own pcall cannot keep it going.
    if (lua_gethookcount(L) != 1) lua_sethook(L, CountHook, LUA_MASKCOUNT, 1);
    char text[96];
    snprintf(text, sizeof text, "ran past its budget of %lld instructions", static_cast<long long>(limits->budget));
    luaL_error(L, "%s", text);
}

int Panic(lua_State* L) {
    const char* message = lua_tostring(L, -1);
    fprintf(stderr, "PANIC: unprotected error in call to Lua API (%s)\n", message ? message : "?");
    return 0;
}

std::string Resolved(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

// Pushes the host path of the script file named by argument 1 when it lies
// inside the root after links are followed, else the reason it cannot be opened.
bool PushConfinedPath(lua_State* L) {
    const char* name = luaL_checkstring(L, 1);
    if (!SpendOnHostCall(L)) {
        lua_pushfstring(L, "cannot open %s: the script ran past its budget", name);
        return false;
    }
    std::string pushed;
    bool inside = false;
    {
        const std::string path = platform::HostPath(name);
        const std::string resolved = Resolved(path);
        const std::string& root = LimitsOf(L)->root;
        if (resolved.empty()) {
            pushed = std::string("cannot open ") + name + ": " + strerror(errno);
        } else if (root.empty() || (resolved != root && resolved.compare(0, root.size() + 1, root + "/") != 0 &&
                                    root != "/")) {
            pushed = std::string("cannot open ") + name + ": outside the game folder";
        } else {
            pushed = path;
            inside = true;
        }
    }
    lua_pushstring(L, pushed.c_str());
    return inside;
}

int DoFile(lua_State* L) {
    if (!PushConfinedPath(L)) return lua_error(L);
    const char* path = lua_tostring(L, -1);
    lua_settop(L, 1);
    lua_pushstring(L, path);  // still referenced by the stack slot being replaced
    lua_replace(L, 1);
    if (luaL_loadfilex(L, lua_tostring(L, 1), "t") != LUA_OK) return lua_error(L);
    lua_call(L, 0, LUA_MULTRET);
    return lua_gettop(L) - 1;
}

// Calls the library function in upvalue 1 with the arguments given, the one
// at modeArg (the chunk mode) replaced by "t".
int CallInTextMode(lua_State* L, int modeArg) {
    if (lua_gettop(L) < modeArg) lua_settop(L, modeArg);
    lua_pushliteral(L, "t");
    lua_replace(L, modeArg);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
    return lua_gettop(L);
}

// Hands the confined path to the library's own loadfile (upvalue 1) in text
// mode; the environment argument keeps its meaning.
int LoadFile(lua_State* L) {
    if (lua_gettop(L) < 1) lua_settop(L, 1);
    if (!PushConfinedPath(L)) {
        lua_pushnil(L);
        lua_insert(L, -2);
        return 2;
    }
    lua_replace(L, 1);
    return CallInTextMode(L, 2);
}

// The library's load (upvalue 1) with its mode argument forced to text.
int LoadText(lua_State* L) { return CallInTextMode(L, 3); }

// Lua runs finalizers with hooks off, so no budget could end one: a script's
// metatable takes effect without its __gc, which stays readable in the table.
int SetMetatable(lua_State* L) {
    lua_settop(L, 2);
    if (lua_type(L, 2) != LUA_TTABLE) {
        lua_pushvalue(L, lua_upvalueindex(1));
        lua_insert(L, 1);
        lua_call(L, 2, 1);
        return 1;
    }
    lua_pushliteral(L, "__gc");
    lua_rawget(L, 2);  // 3: the finalizer held aside
    lua_pushliteral(L, "__gc");
    lua_pushnil(L);
    lua_rawset(L, 2);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_pushvalue(L, 1);
    lua_pushvalue(L, 2);
    const int status = lua_pcall(L, 2, 1, 0);  // 4: the table or the error
    lua_pushliteral(L, "__gc");
    lua_pushvalue(L, 3);
    lua_rawset(L, 2);
    lua_pushvalue(L, 4);
    return status == LUA_OK ? 1 : lua_error(L);
}

// The binding's objects keep their metatables (and finalizers) to themselves.
int GetMetatable(lua_State* L) {
    if (lua_type(L, 1) == LUA_TUSERDATA) {
        lua_pushnil(L);
        return 1;
    }
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, 1);
    return 1;
}

// Lua runs xpcall's handler inside the error, so for the budget's error it
// runs with hooks off, where nothing could end a loop in it. The handler runs
// here once the protected call has unwound, counted like any other code. Its
// own failure is the result instead of being handled again; a memory error
// skips it, as Lua's xpcall does.
int XPCall(lua_State* L) {
    const int args = lua_gettop(L);
    luaL_checkany(L, 2);
    lua_pushvalue(L, 1);
    for (int i = 3; i <= args; ++i) lua_pushvalue(L, i);
    const int status = lua_pcall(L, args > 2 ? args - 2 : 0, LUA_MULTRET, 0);
    if (status == LUA_OK) {
        lua_pushboolean(L, 1);
        lua_insert(L, args + 1);
        return lua_gettop(L) - args;
    }
    if (status != LUA_ERRMEM) {
        lua_pushvalue(L, 2);
        lua_insert(L, -2);
        lua_pcall(L, 1, 1, 0);
    }
    lua_pushboolean(L, 0);
    lua_insert(L, -2);
    return 2;
}

// The binding tags the metatable its objects share: slot 1 holds the same C
// function as __index. Its operator dispatch asserts that the first operand
// is one of its objects, so `1 + v` or `'a' .. sprite` would abort the game.
// Every bound operator takes the object first (v + w, v * 2), so the other
// order is an error, the one a missing operator gets.
lua_CFunction BindingTag(lua_State* L, int table) {
    table = lua_absindex(L, table);
    lua_rawgeti(L, table, 1);
    const lua_CFunction tag = lua_tocfunction(L, -1);
    lua_pushliteral(L, "__index");
    lua_rawget(L, table);
    const bool tagged = tag && lua_tocfunction(L, -1) == tag;
    lua_pop(L, 2);
    return tagged ? tag : nullptr;
}

int GuardedOperator(lua_State* L) {
    bool bound = false;
    if (lua_type(L, 1) == LUA_TUSERDATA && lua_getmetatable(L, 1)) {
        bound = BindingTag(L, -1) == lua_tocfunction(L, lua_upvalueindex(2));
        lua_pop(L, 1);
    }
    if (!bound) return luaL_error(L, "No such operator defined");
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
    return lua_gettop(L);
}

// A class's __init builds the object in its first argument, which only the
// class's call makes; a script can reach __init through the class and hand it
// a number or a built object, which crashes the binding. The object lies in
// a Lua userdata, aligned to 8 where the binding's type asks 16: x86-64 reads
// it as is, so the sanitizer's alignment check is off here, as it is for the
// binding's own code.
__attribute__((no_sanitize("alignment"))) int GuardedConstructor(lua_State* L) {
    luabind::detail::object_rep* object = luabind::detail::get_instance(L, 1);
    const luabind::detail::class_rep* cls = object ? object->crep() : nullptr;
    if (!cls || object->get_instance(cls->classes().get(cls->type())).first)
        return luaL_error(L, "__init builds a new object only when its class is called");
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
    return lua_gettop(L);
}

// Wraps the C function at key `name` of the table on top in the guard, once.
void Guard(lua_State* L, const char* name, lua_CFunction guard, lua_CFunction tag) {
    lua_pushstring(L, name);
    lua_rawget(L, -2);
    const lua_CFunction f = lua_tocfunction(L, -1);
    if (!f || f == guard) {
        lua_pop(L, 1);
        return;
    }
    lua_pushstring(L, name);
    lua_insert(L, -2);
    if (tag) lua_pushcfunction(L, tag);
    lua_pushcclosure(L, guard, tag ? 2 : 1);
    lua_rawset(L, -3);
}

// The binding's tables sit in the registry: the objects' shared metatable,
// whose operators go through their guard, and each class's table with its
// __init. Idempotent.
void GuardBinding(lua_State* L) {
    static const char* const kOperators[] = {"__add", "__sub", "__mul", "__div", "__mod", "__pow", "__unm",
                                             "__lt",  "__le",  "__eq",  "__call", "__len", "__concat",
                                             "__tostring"};
    lua_pushnil(L);
    while (lua_next(L, LUA_REGISTRYINDEX)) {
        const bool scripts = lua_type(L, -2) == LUA_TNUMBER && lua_tointeger(L, -2) == LUA_RIDX_GLOBALS;
        if (lua_istable(L, -1) && !scripts) {
            if (const lua_CFunction tag = BindingTag(L, -1))
                for (const char* name : kOperators) Guard(L, name, GuardedOperator, tag);
            Guard(L, "__init", GuardedConstructor, nullptr);
        }
        lua_pop(L, 1);
    }
}

void WrapGlobal(lua_State* L, const char* name, lua_CFunction wrapper) {
    lua_getglobal(L, name);
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        return;
    }
    lua_pushcclosure(L, wrapper, 1);
    lua_setglobal(L, name);
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
    WrapGlobal(L, "loadfile", LoadFile);
    WrapGlobal(L, "load", LoadText);
    WrapGlobal(L, "loadstring", LoadText);
    WrapGlobal(L, "setmetatable", SetMetatable);
    WrapGlobal(L, "getmetatable", GetMetatable);
    lua_pushcfunction(L, XPCall);
    lua_setglobal(L, "xpcall");
}

// The most one call of the shipped scripts ran, measured over whole games of
// both kinds and both themes: general 109, figure 206, field 22, field
// animation 50, frame 1280, theme 1396 (its load). Each budget leaves a margin
// of several hundred times or more; a theme's is wider still, since
// downloaded themes may do more than ours, and ten million instructions still
// end a runaway call within a fraction of a second.
int64_t BudgetOf(Budget budget) {
    switch (budget) {
        case Budget::General:
        case Budget::Figure:
        case Budget::Field:
        case Budget::FieldAnimation:
        case Budget::Frame:
            return 1000000;
        case Budget::Theme:
            return 10000000;
    }
    return 1000000;
}
}  // namespace

int64_t InstructionBudget(Budget budget) { return BudgetOf(budget); }

lua_State* OpenState(Libraries libraries, Budget budget, const std::string& root) {
    auto limits = std::make_unique<Limits>();
    limits->budget = BudgetOf(budget);
    if (root.empty()) {
        char here[PATH_MAX];
        if (getcwd(here, sizeof here)) limits->root = Resolved(here);
    } else {
        limits->root = Resolved(platform::HostPath(root.c_str()));
    }
    lua_State* L = lua_newstate(Allocate, limits.get());
    if (!L) {
        g_Log.PrintBold("red", "Error, couldn't open a Lua state");
        return nullptr;
    }
    limits.release();
    LimitsOf(L)->state = L;
    lua_atpanic(L, Panic);
    lua_sethook(L, CountHook, LUA_MASKCOUNT, kHookStride);
    if (libraries == Libraries::BaseMath) InstallBaseAndMath(L);
    lua_settop(L, 0);
    luabind::open(L);
    // The binding's script classes call a __finalize method from the collector,
    // with hooks off; the game's scripts define no classes, so none can.
    lua_pushnil(L);
    lua_setglobal(L, "class");
    lua_gc(L, LUA_GCSTOP, 0);
    return L;
}

void CloseState(lua_State*& state) {
    if (!state) return;
    // Finalizers are script code too: they run as one call, fenced like any other.
    Limits* limits = LimitsOf(state);
    limits->depth = 1;
    limits->spent = 0;
    limits->state = nullptr;  // closing: no script runs, only the cap holds
    lua_sethook(state, CountHook, LUA_MASKCOUNT, kHookStride);
    lua_close(state);
    delete limits;
    state = nullptr;
}

CallScope::CallScope(lua_State* L) : m_state(L) {
    if (!L) return;
    Limits* limits = LimitsOf(L);
    if (limits->depth++ > 0) return;
    limits->spent = 0;
    // A state left past the script's line fails at its first instruction.
    lua_sethook(L, CountHook, LUA_MASKCOUNT, limits->used > kScriptLine ? 1 : kHookStride);
    lua_gc(L, LUA_GCRESTART, 0);
}

CallScope::~CallScope() {
    if (!m_state) return;
    Limits* limits = LimitsOf(m_state);
    if (limits->depth <= 0 || --limits->depth > 0) return;
    lua_gc(m_state, LUA_GCSTOP, 0);
}

int64_t InstructionsSpent(lua_State* L) { return L ? LimitsOf(L)->spent : 0; }

bool SpendOnHostCall(lua_State* L, int64_t instructions) {
    if (!L) return true;
    Limits* limits = LimitsOf(L);
    if (limits->spent + instructions <= limits->budget) {
        limits->spent += instructions;
        return true;
    }
    // Not done, so not spent: the count ends just past the budget, and the hook
    // raises the error at the next instruction, in the script rather than across
    // the host's C++ frames.
    limits->spent = std::max(limits->spent, limits->budget);
    lua_sethook(L, CountHook, LUA_MASKCOUNT, 1);
    return false;
}

size_t MemoryUsed(lua_State* L) { return L ? LimitsOf(L)->used : 0; }

bool RunFile(lua_State* L, const std::string& windowsPath) {
    if (!L) return false;
    const int top = lua_gettop(L);
    GuardBinding(L);  // the interface is registered by now
    CallScope scope(L);
    std::string path = platform::HostPath(windowsPath.c_str());
    int rc = luaL_loadfilex(L, path.c_str(), "t");
    if (rc == LUA_OK) rc = lua_pcall(L, 0, 0, 0);
    if (rc == LUA_OK) return true;
    detail::ReportFailure(L, top, windowsPath.c_str(), detail::LuaMessage(L, top).c_str(), nullptr);
    return false;
}

bool ReadGlobalNumber(lua_State* L, const char* name, float& out) {
    if (!L) return false;
    lua_rawgeti(L, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
    lua_pushstring(L, name);
    lua_rawget(L, -2);
    lua_remove(L, -2);
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
    return luabind::rawget(luabind::globals(L), name);
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
