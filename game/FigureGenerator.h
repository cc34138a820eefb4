#pragma once

#include <win32.h>

#include <luabind/object.hpp>

#include "engine/AnimatedSprite.h"
#include "engine/Singleton.h"

struct lua_State;
class CBaseFigure;
class CTextureEntry;
class CMesh;
class CVertexShader;
class CPixelShader;
class CVertexDeclaration;

// Makes the falling objects and runs the figure step under the figure script.
// Holds at most two objects: the next one (the preview) and the current one.
class CFigureGenerator : public CSingleton<CFigureGenerator> {
public:
    static CFigureGenerator* GetInstance();
    CFigureGenerator();
    ~CFigureGenerator() override;

    // One figure step; runs only in a running game with the menu closed.
    void Process();
    // Deletes both objects and the requests, then one step (a new game).
    void ClearFigures();
    void Render();
    // The landing-drop guard.
    void UpdateKeyRepeat();

    // Requests for the next object, raised by the HUD (bonus periods) and Enter.
    bool specialFigureFlag = false;
    bool bombFlag = false;
    bool sawFlag = false;
    bool bounceBombFlag = false;
    // Colour-clearing passes since the current object came in.
    int chainCount = 0;
    // Colour cycle speed of the colour figure, radians per second.
    float colorAnimSpeed = 0.0f;

    CBaseFigure* next = nullptr;
    CBaseFigure* current = nullptr;
    lua_State* state = nullptr;
    // False when the figure script could not be run: no game can start.
    bool scriptRan = false;
    CAnimatedSprite spark;
    DWORD landingSound = 0;

    // Key state of the landing-drop guard.
    float suppressStart = 0.0f;
    bool dropSuppressed = false;
    bool suppressTimerStarted = false;
    bool dropHeld = false;

    // Resources the special objects draw with.
    CTextureEntry* bombTexture = nullptr;
    CTextureEntry* particleTexture = nullptr;
    DWORD sounds[7] = {};  // bounce1..4, bomb explode, bomb wait, empty
    CMesh* meshes[6] = {};  // saw, saw parts 1..3, res_p1, res_p2
    CMesh* bombMeshes[3] = {};  // bomb, fuse, sphere
    CVertexShader* bombVertexShader = nullptr;
    CPixelShader* bombPixelShader = nullptr;
    CVertexDeclaration* bombDeclaration = nullptr;
    CVertexShader* specularShaders[2] = {};
    CVertexDeclaration* specularDeclarations[2] = {};

    luabind::object figureActionHook;
    luabind::object setupValuesHook;
    luabind::object figureInitHook;

private:
    void Upkeep();
    CBaseFigure* CreateObject();
    // Lands, reads back or ends the game; false when the game ended.
    bool StepFigure();
    void Promote();
    void EndGame();
    void DeleteObjects();
    void SetGlobal(const char* name, double value);
};

// The integer part of a script number, toward minus one below zero.
double FigureScriptToInt(double v);
