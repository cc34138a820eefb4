#pragma once

#include <d3d9.h>
#include <d3dx9math.h>

#include <boost/multi_array.hpp>

#include <cstdint>
#include <string>

#include "engine/Script.h"
#include "engine/Singleton.h"

class CTextureEntry;
class CMesh;
class CVertexShader;
class CPixelShader;
class CVertexDeclaration;
class CCellSeekerEffect;

// One cell of the field. value: -1 empty playable cell, -2 and below outside
// the playing area, 0..7 a block of that colour.
class CFieldBlock {
public:
    CFieldBlock();
    // Empties the cell; matrices, scale, position offset and wave offset stay.
    void Reset();

    bool IsBlock() const { return IsBlock(m_value); }
    bool IsEmpty() const { return IsEmpty(m_value); }
    bool IsWall() const { return IsWall(m_value); }
    // The same for a bare value, for rules that work on plain grids.
    static bool IsBlock(int32_t value) { return value >= 0; }
    static bool IsEmpty(int32_t value) { return value == -1; }
    static bool IsWall(int32_t value) { return value <= -2; }
    // No turn and no tilt: the block only moves and scales.
    bool IsUnturned() const {
        return m_rotation == D3DXVECTOR3(0.0f, 0.0f, 0.0f) && m_orientation.x == 0.0f && m_orientation.y == 0.0f &&
               m_orientation.z == 0.0f && m_orientation.w == 1.0f;
    }

    int32_t m_value;
    D3DXMATRIX m_clipMatrix;
    D3DXMATRIX m_worldViewInvTranspose;
    D3DXMATRIX m_worldViewTranspose;
    D3DXMATRIX m_invWorld;
    D3DXVECTOR3 m_scale;
    D3DXVECTOR3 m_positionOffset;
    D3DXVECTOR3 m_rotation;
    D3DXQUATERNION m_baseOrientation;
    D3DXQUATERNION m_orientation;  // displayed; moves towards a wobble's target
    int32_t m_motionCounter;       // rows still to fall (colour game: 1 while falling)
    float m_fallOffset;
    bool m_removalMark;
    D3DXVECTOR3 m_waveOffset;
};

// The playing area: a grid shaped by the field script, its blocks, the view's
// turn and the two script states (state 1 the field script, state 2 the
// field animation script).
class CGameField : public CSingleton<CGameField> {
public:
    enum { kMaxSize = 128, kMaterials = 8 };

    static CGameField* GetInstance();
    CGameField();
    ~CGameField() override;

    // Reads a shape file (Windows path). A bad file is logged and leaves
    // W, H and the grid as they were.
    bool Create(const std::string& path);

    // Set-up for a game: view defaults, game_FieldInit, Clear, wave coefficients.
    void InitFromScript();
    void Clear();
    void SetRotation(float amount, bool down);
    void StartFlip();
    void UpdateFlip();
    void GetBlockPosition(int x, int y, D3DXVECTOR3* position, D3DXVECTOR2* size);
    void GetBlockPositionCentered(int x, int y, D3DXVECTOR3* position, D3DXVECTOR2* size);
    bool IsEmpty() const;
    void CollapseColumns(float speed);
    void UpdateWorldMatrix();

    // Hook calls for the shell and the falling objects. A failing hook is
    // logged and gives the fallback: (0, 0, 0), and 0 for the updates so a
    // broken animation ends instead of hanging the game.
    D3DXVECTOR3 FieldUpdate(float x, float y, float time);
    void AppearStart();
    int AppearUpdate();
    void DisappearStart();
    int DisappearUpdate();

    // Defined with the field step and clearing.
    void Update();
    bool CheckClears();
    bool HasMarkedBlocks() const;
    bool IsSettled() const;
    void DestroyBlock(int x, int y, bool raise);
    bool ClearLines();
    bool ClearColorRuns();
    void AnimateFalling();
    // Defined with the field drawing.
    void UpdateBlockMatrices();
    void Render();

    // How blocks are drawn, by the programs that loaded: the pixel-program
    // path, the vertex-program path, or neither program.
    enum ShaderPath { kHighPath, kLowPath, kFixedFunction };
    ShaderPath GetShaderPath() const;
    // The fixed-function draw: the diffuse texture tinted by the material.
    void BeginFixedFunctionBlocks(IDirect3DDevice9* device) const;
    void DrawFixedFunctionBlock(IDirect3DDevice9* device, CMesh* mesh, const D3DXMATRIX& inverseWorld,
                                const D3DCOLORVALUE& diffuse) const;
    void EndFixedFunctionBlocks(IDirect3DDevice9* device) const;

    // True once the constructor has returned; script calls that touch the
    // field are refused before that.
    bool IsConstructed() const { return m_constructed; }
    // False when the field or the field-animation script could not be run: no game can start.
    bool FieldScriptRan() const { return m_fieldScriptRan; }
    bool AnimScriptRan() const { return m_animScriptRan; }
    lua_State* GetFieldState() const { return m_luaField; }
    lua_State* GetAnimState() const { return m_luaAnim; }
    CFieldBlock& Cell(int x, int y) { return m_grid[y][x]; }

    // ---- data model, in this order ----
    D3DXMATRIX m_fieldMatrix;
    boost::multi_array<CFieldBlock, 2> m_grid;  // [row][column]
    int32_t m_width;
    int32_t m_height;
    D3DMATERIAL9 m_materials[kMaterials];
    D3DXVECTOR3 m_position;
    D3DXVECTOR3 m_rotation;
    D3DXVECTOR3 m_flipAngle;
    DWORD m_sounds[4];  // block destroyed, voice1..3
    bool m_flipPending;
    bool m_flipRunning;
    float m_flipStart;
    float m_fallSpeed;
    float m_alpha, m_beta, m_ax, m_bx, m_cx, m_dx;
    float m_tiltBase;
    float m_leanTarget;
    D3DXVECTOR2 m_blockSpacing;
    D3DXVECTOR2 m_blockOffset;
    CTextureEntry* m_textures[3];  // diffuse, bump, cube
    CMesh* m_meshes[3];            // low, medium, high
    luabind::object m_fieldUpdateHook;
    CCellSeekerEffect* m_cellSeekers[2];
    int32_t m_wobbleState;
    float m_wobbleStart;
    float m_wobbleInterval;
    float m_wobbleDuration;
    int32_t m_wobbleAxis;
    bool m_wobbleDirection;
    int32_t m_wobbleLine;
    CPixelShader* m_pixelShader;
    CVertexShader* m_vertexShader;
    CVertexDeclaration* m_vertexDeclaration;
    lua_State* m_luaField;
    lua_State* m_luaAnim;
    luabind::object m_appearStartHook;
    luabind::object m_disappearStartHook;
    luabind::object m_appearUpdateHook;
    luabind::object m_disappearUpdateHook;

    // ---- bookkeeping beyond the model ----
    float m_flipProgress;  // the flip's progress at its previous step
    bool m_constructed;
    bool m_fieldScriptRan = false;
    bool m_animScriptRan = false;
    // Per-step hooks log their first failure only, until the next set-up.
    bool m_fieldUpdateFailed;
    bool m_appearUpdateFailed;
    bool m_disappearUpdateFailed;

private:
    void SetDefaultMaterials();
    void LoadResources();
};

// Script functions of the field's two states.
void RegisterFieldScriptFunctions(lua_State* state);
void RegisterFieldAnimScriptFunctions(lua_State* state);

// The floating praise of a clear of three lines or more ("outstanding !",
// "impressive!" or "excellent !" for praise 0, 1 or 2) and the line of its
// bonus under it.
void AddPraiseMessages(int praise, int bonus);
