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

// What the special objects draw and sound with; the generator loads it once.
struct FigureResources {
    CTextureEntry* bombTexture = nullptr;
    CTextureEntry* particleTexture = nullptr;  // the bursts of the bomb and the bounce bomb

    DWORD bounceSounds[3] = {};  // one picked at random for each bounce
    DWORD knockSound = 0;        // a block the bounce bomb knocks out
    DWORD bombExplodeSound = 0;
    DWORD bombWaitSound = 0;     // looped while the fuse burns
    DWORD emptySound = 0;        // Enter with no bounce bomb left

    CMesh* sawMesh = nullptr;
    CMesh* sawPartMeshes[3] = {};  // the pieces of a broken saw, each its own
    CMesh* bounceBombMesh = nullptr;
    CMesh* bounceBombGlowMesh = nullptr;
    CMesh* bombMesh = nullptr;
    CMesh* fuseMesh = nullptr;
    CMesh* sphereMesh = nullptr;

    // The bomb's programs follow the shader versions; the pixel program may be absent.
    CVertexShader* bombVertexShader = nullptr;
    CPixelShader* bombPixelShader = nullptr;
    CVertexDeclaration* bombDeclaration = nullptr;
    // One vertex-lit program and declaration each for the bounce bomb and the saw.
    CVertexShader* bounceBombShader = nullptr;
    CVertexDeclaration* bounceBombDeclaration = nullptr;
    CVertexShader* sawShader = nullptr;
    CVertexDeclaration* sawDeclaration = nullptr;
};

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

    FigureResources resources;

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
