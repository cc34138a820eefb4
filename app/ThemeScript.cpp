// Script functions of the theme state. Indexes come from scripts, so every use
// checks them: a bad index is ignored and the size functions answer 0.
#include "app/ThemeScript.h"

#include <lua.hpp>
#include <luabind/luabind.hpp>

#include <algorithm>
#include <cmath>
#include <string>

#include "audio/SoundEngine.h"
#include "engine/AnimatedSprite.h"
#include "engine/ColorScheme.h"
#include "engine/GraphicsEngine.h"
#include "engine/Log.h"
#include "engine/Script.h"
#include "engine/Sprite.h"
#include "engine/TextureManager.h"

std::vector<DWORD> g_ThemeSounds;
std::vector<DWORD> g_ThemeStreams;

namespace {

template <class T>
const T* At(const std::vector<T>& table, int index) {
    if (index < 0 || static_cast<size_t>(index) >= table.size()) return nullptr;
    return &table[static_cast<size_t>(index)];
}

DWORD Handle(const std::vector<DWORD>& table, int index) {
    const DWORD* h = At(table, index);
    return h ? *h : 0;
}

// Whether a refused load has been logged, per table. A new theme starts with
// its tables empty, and so with these cleared by its first load.
bool g_toldTextures = false, g_toldSounds = false, g_toldStreams = false;

// A script's load: paid from its budget, then given the table's next slot, a
// failed load too (its index keeps the order). -1 when the budget is gone or
// the table full; the full table is logged once, so a script that keeps
// loading does not fill the log.
template <class T, class Load>
int LoadInto(lua_State* L, std::vector<T>& table, size_t cap, const char* what, bool& told, const std::string& name,
             Load load) {
    if (!script::SpendOnHostCall(L)) return -1;
    if (table.size() >= cap) {
        if (!told)
            g_Log.PrintBold("red",
                            "Error, theme script: no more than %zu %s are held; (%s) and later loads are refused", cap,
                            what, name.c_str());
        told = true;
        return -1;
    }
    told = false;
    table.push_back(load());
    return static_cast<int>(table.size()) - 1;
}

CColorScheme& ExtGetDefaultScheme() { return g_DefaultScheme; }
CColorScheme& ExtGetCurrentScheme() { return g_CurrentScheme; }

int ExtLoadTexture(lua_State* L, const std::string& name) {
    return LoadInto(L, g_ThemeTextures, kMaxThemeTextures, "textures", g_toldTextures, name, [&] {
        CTextureEntry* entry = nullptr;
        CTextureManager::GetInstance()->LoadTexture(&entry, false, name.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0,
                                                    D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_LINEAR,
                                                    D3DX_FILTER_LINEAR, 0, nullptr, nullptr, false, 0.0f);
        return entry;
    });
}

// Textures stay until the theme is unloaded.
void ExtUnLoadTexture(int) {}

int ExtLoadSound(lua_State* L, const std::string& name) {
    return LoadInto(L, g_ThemeSounds, kMaxThemeSounds, "sounds", g_toldSounds, name,
                    [&] { return CSoundEngine::GetInstance()->LoadSound(name.c_str()); });
}

void ExtPlaySound(int index, int loop) {
    DWORD sample = Handle(g_ThemeSounds, index);
    if (!sample) return;
    if (loop)
        CSoundEngine::GetInstance()->PlaySoundLooped(sample, kBackgroundSound);
    else
        CSoundEngine::GetInstance()->PlaySound(sample, kBackgroundSound);
}

void ExtStopSound(int index) {
    if (DWORD sample = Handle(g_ThemeSounds, index)) CSoundEngine::GetInstance()->StopSample(sample);
}

int ExtLoadStream(lua_State* L, const std::string& name) {
    return LoadInto(L, g_ThemeStreams, kMaxThemeStreams, "streams", g_toldStreams, name,
                    [&] { return CSoundEngine::GetInstance()->LoadStream(name); });
}

void ExtPlayStream(int index, int loop) {
    if (DWORD stream = Handle(g_ThemeStreams, index)) CSoundEngine::GetInstance()->PlayStream(stream, kBackgroundSound, loop != 0);
}

void ExtStopStream(int index) {
    if (DWORD stream = Handle(g_ThemeStreams, index)) CSoundEngine::GetInstance()->StopChannel(stream);
}

void ExtSetStreamVolume(int index, float volume) {
    DWORD stream = Handle(g_ThemeStreams, index);
    if (!stream) return;
    CSoundEngine* engine = CSoundEngine::GetInstance();
    engine->SetChannelVolume(stream, volume * engine->m_volumes[kBackgroundSound]);
}

float ExtGetCurrentTime() { return EngineTime(); }
float ExtGetDeltaTime() { return CGraphicsEngine::GetInstance()->GetCurrentStep(); }
float ExtGetScreenWidth() { return static_cast<float>(CGraphicsEngine::GetInstance()->GetScreenWidth()); }
float ExtGetScreenHeight() { return static_cast<float>(CGraphicsEngine::GetInstance()->GetScreenHeight()); }

const CTextureEntry* TextureAt(int index) {
    CTextureEntry* const* entry = At(g_ThemeTextures, index);
    return entry && *entry && (*entry)->m_pTexture ? *entry : nullptr;
}

float ExtGetTextureWidth(int index) {
    const CTextureEntry* entry = TextureAt(index);
    return entry ? entry->m_Width : 0.0f;
}

float ExtGetTextureHeight(int index) {
    const CTextureEntry* entry = TextureAt(index);
    return entry ? entry->m_Height : 0.0f;
}

float ExtSin(float angle) { return std::sin(angle); }
float ExtCos(float angle) { return std::cos(angle); }

// The engine's sprite keeps its textures until told to let them go; a theme's
// sprite lives in the theme's state, so it gives them back when the script
// drops it, at the latest when the theme is unloaded and its state closes.
class CThemeAnimatedSprite : public CAnimatedSprite {
public:
    CThemeAnimatedSprite() = default;
    CThemeAnimatedSprite(const CThemeAnimatedSprite&) = delete;
    CThemeAnimatedSprite& operator=(const CThemeAnimatedSprite&) = delete;
    ~CThemeAnimatedSprite() {
        Release();
        DropSheet();
    }
    void DropSheet() {
        // Without a manager the sheet went with it already.
        if (CTextureManager* textures = CTextureManager::GetInstancePtr())
            if (m_sheet) textures->RemoveTexture(m_sheet);
        m_sheet = nullptr;
    }
    CTextureEntry* m_sheet = nullptr;  // the sheet the sprite holds a use of
};

// Both loaders answer true as the scripts expect, unless a sheet's layout was refused.
bool LoadFrames(lua_State* L, CThemeAnimatedSprite& sprite, const std::string& prefix, const std::string& extension,
                int digits, int first, int last, int step) {
    // Each frame is a file.
    const int64_t names = std::max<int64_t>(CAnimatedSprite::NamesTried(first, last, step), 1);
    if (!script::SpendOnHostCall(L, names * script::kDiskCallCost)) return true;
    sprite.Load(prefix.c_str(), extension.c_str(), digits, first, last, step);
    return true;
}

bool LoadSheet(lua_State* L, CThemeAnimatedSprite& sprite, const std::string& file, int columns, int count,
               int width, int height) {
    if (!script::SpendOnHostCall(L)) return true;
    // One load a call: the budget pays for one, and a missing sheet is tried and logged once.
    CTextureEntry* taken = nullptr;
    if (!sprite.LoadSheet(file.c_str(), columns, count, width, height, &taken)) return false;
    // A failed load leaves the old sheet held.
    if (taken) {
        sprite.DropSheet();  // the use of the sheet it replaced
        sprite.m_sheet = taken;
    }
    return true;
}

}  // namespace

void RegisterThemeScriptInterface(lua_State* L) {
    using luabind::class_;
    using luabind::def;
    script::RegisterD3DVECTOR(L);
    script::RegisterD3DXVECTOR3(L);
    script::RegisterD3DXVECTOR2(L);
    script::RegisterD3DXCOLOR(L);
    luabind::module(L)[class_<CSprite>("ext_newSprite")
                           .def(luabind::constructor<>())
                           .def_readwrite("texture", &CSprite::texture)
                           .def_readwrite("x", &CSprite::x)
                           .def_readwrite("y", &CSprite::y)
                           .def_readwrite("scale_x", &CSprite::scale_x)
                           .def_readwrite("scale_y", &CSprite::scale_y)
                           .def_readwrite("center_x", &CSprite::center_x)
                           .def_readwrite("center_y", &CSprite::center_y)
                           .def_readwrite("rotate", &CSprite::rotate)
                           .def_readwrite("color_red", &CSprite::color_red)
                           .def_readwrite("color_green", &CSprite::color_green)
                           .def_readwrite("color_blue", &CSprite::color_blue)
                           .def_readwrite("color_alpha", &CSprite::color_alpha)
                           .def_readwrite("fit_to_screen", &CSprite::fit_to_screen)
                           .def("Draw", &CSprite::Draw)];
    luabind::module(L)[class_<CThemeAnimatedSprite>("ext_newAnimatedSprite")
                           .def(luabind::constructor<>())
                           .def("Draw", &CAnimatedSprite::Draw)
                           .def("Load", &LoadFrames)
                           .def("LoadSheet", &LoadSheet)
                           .def("Update", &CAnimatedSprite::Update)
                           .def("SetAnimation", &CAnimatedSprite::SetAnimation)
                           .def("SetPosition", &CAnimatedSprite::SetPosition)
                           .def("SetScale", &CAnimatedSprite::SetScale)
                           .def("SetScaleXY", &CAnimatedSprite::SetScaleXY)
                           .def("SetFirst", &CAnimatedSprite::SetFirst)
                           .def("SetLast", &CAnimatedSprite::SetLast)
                           .def("SetNext", &CAnimatedSprite::SetNext)
                           .def("SetPrev", &CAnimatedSprite::SetPrev)
                           .def("SetSize", &CAnimatedSprite::SetSize)
                           .def("SetCurrent", &CAnimatedSprite::SetCurrent)
                           .def("SetCentered", &CAnimatedSprite::SetCentered)
                           .def("GetCurrent", &CAnimatedSprite::GetCurrent)
                           .def("GetNum", &CAnimatedSprite::GetNum)
                           .def("SetRotate", &CAnimatedSprite::SetRotate)
                           .def("SetAnimationCount", &CAnimatedSprite::SetAnimationCount)
                           .def("SetDualDirection", &CAnimatedSprite::SetDualDirection)
                           .def("SetAlpha", &CAnimatedSprite::SetAlpha)
                           .def("SetColor", &CAnimatedSprite::SetColor)];
    script::RegisterCColorScheme(L);
    luabind::module(L)[def("ext_GetDefaultScheme", &ExtGetDefaultScheme),
                       def("ext_GetCurrentScheme", &ExtGetCurrentScheme),
                       def("ext_LoadTexture", &ExtLoadTexture),
                       def("ext_UnLoadTexture", &ExtUnLoadTexture),
                       def("ext_LoadSound", &ExtLoadSound),
                       def("ext_PlaySound", &ExtPlaySound),
                       def("ext_StopSound", &ExtStopSound),
                       def("ext_LoadStream", &ExtLoadStream),
                       def("ext_PlayStream", &ExtPlayStream),
                       def("ext_StopStream", &ExtStopStream),
                       def("ext_SetStreamVolume", &ExtSetStreamVolume),
                       def("ext_GetCurrentTime", &ExtGetCurrentTime),
                       def("ext_GetDeltaTime", &ExtGetDeltaTime),
                       def("ext_GetScreenWidth", &ExtGetScreenWidth),
                       def("ext_GetScreenHeight", &ExtGetScreenHeight),
                       def("ext_GetTextureWidth", &ExtGetTextureWidth),
                       def("ext_GetTextureHeight", &ExtGetTextureHeight),
                       def("ext_sin", &ExtSin),
                       def("ext_cos", &ExtCos)];
}
