#include "game/GameField.h"

#include <gamefieldhooks.h>

#include "game/BlockPartManager.h"
#include "game/CellSeekerEffect.h"

#include <platform.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <vector>

#include "audio/SoundEngine.h"
#include "engine/GraphicsEngine.h"
#include "engine/Log.h"
#include "engine/MeshManager.h"
#include "engine/ShaderManager.h"
#include "engine/TextureManager.h"
#include "game/GameSettings.h"

namespace {

// The constructor's body runs once per process; a later field stays bare.
bool g_FieldBodyRan = false;

const float kPi = D3DX_PI;
const float kTiltRange = kPi / 70.0f;

D3DXQUATERNION Identity() { return D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f); }

// Truncates a script's number toward zero; out-of-range values count as "still running".
int ToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return 2147483647;
    if (value <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(value);
}

}  // namespace

namespace gamefieldhooks {
void RearmConstruction() { g_FieldBodyRan = false; }
}  // namespace gamefieldhooks

// ---- CFieldBlock ----

CFieldBlock::CFieldBlock()
    : m_value(-1),
      m_scale(0.1f, 0.1f, 0.1f),
      m_positionOffset(0.0f, 0.0f, 0.0f),
      m_rotation(0.0f, 0.0f, 0.0f),
      m_baseOrientation(Identity()),
      m_orientation(Identity()),
      m_motionCounter(0),
      m_fallOffset(0.0f),
      m_removalMark(false),
      m_waveOffset(0.0f, 0.0f, 0.0f) {
    D3DXMatrixIdentity(&m_clipMatrix);
    D3DXMatrixIdentity(&m_worldViewInvTranspose);
    D3DXMatrixIdentity(&m_worldViewTranspose);
    memset(&m_invWorld, 0, sizeof m_invWorld);
}

void CFieldBlock::Reset() {
    m_value = -1;
    m_motionCounter = 0;
    m_fallOffset = 0.0f;
    m_removalMark = false;
    m_rotation = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    m_baseOrientation = Identity();
    m_orientation = Identity();
}

// ---- CGameField ----

CGameField* CGameField::GetInstance() { return CSingleton<CGameField>::GetInstance(); }

CGameField::CGameField()
    : m_grid(boost::extents[0][0]),
      m_width(0),
      m_height(0),
      m_position(0.0f, 0.0f, 17.0f),
      m_rotation(0.0f, 0.0f, 0.0f),
      m_flipAngle(0.0f, 0.0f, 0.0f),
      m_sounds{0, 0, 0, 0},
      m_flipPending(false),
      m_flipRunning(false),
      m_flipStart(0.0f),
      m_fallSpeed(5.0f),
      m_alpha(0.5f), m_beta(0.0f), m_ax(0.0f), m_bx(0.0f), m_cx(0.0f), m_dx(0.0f),
      m_tiltBase(kPi),
      m_leanTarget(0.0f),
      m_blockSpacing(0.96f, 0.96f),
      m_blockOffset(0.0f, 0.0f),
      m_textures{nullptr, nullptr, nullptr},
      m_meshes{nullptr, nullptr, nullptr},
      m_cellSeekers{nullptr, nullptr},
      m_wobbleState(0),
      m_wobbleStart(0.0f),
      m_wobbleInterval(0.1f),
      m_wobbleDuration(0.3f),
      m_wobbleAxis(0),
      m_wobbleDirection(false),
      m_wobbleLine(0),
      m_pixelShader(nullptr),
      m_vertexShader(nullptr),
      m_vertexDeclaration(nullptr),
      m_luaField(nullptr),
      m_luaAnim(nullptr),
      m_flipProgress(0.0f),
      m_constructed(false),
      m_fieldUpdateFailed(false),
      m_appearUpdateFailed(false),
      m_disappearUpdateFailed(false) {
    D3DXMatrixIdentity(&m_fieldMatrix);
    SetDefaultMaterials();
    if (g_FieldBodyRan) {
        g_Log.PrintBold("red", "Game field built a second time: it stays empty");
        return;
    }
    g_FieldBodyRan = true;

    m_luaField = script::OpenState(script::Libraries::BaseMath, script::Budget::Field);
    m_fallSpeed = 5.0f;
    if (m_luaField) {
        script::RegisterD3DXVECTOR3(m_luaField);
        script::RegisterD3DXVECTOR4(m_luaField);
        RegisterFieldScriptFunctions(m_luaField);
        m_fieldScriptRan = script::RunFile(m_luaField, g_FieldScriptPath);
    }

    m_luaAnim = script::OpenState(script::Libraries::BaseMath, script::Budget::FieldAnimation);
    if (m_luaAnim) {
        script::RegisterD3DVECTOR(m_luaAnim);
        script::RegisterD3DXVECTOR3(m_luaAnim);
        script::RegisterD3DXVECTOR2(m_luaAnim);
        script::RegisterD3DXCOLOR(m_luaAnim);
        RegisterFieldAnimScriptFunctions(m_luaAnim);
        m_animScriptRan = script::RunFile(m_luaAnim, g_FieldAnimScriptPath);
        m_appearStartHook = script::GetGlobal(m_luaAnim, "game_AppearStart");
        m_appearUpdateHook = script::GetGlobal(m_luaAnim, "game_AppearUpdate");
        m_disappearStartHook = script::GetGlobal(m_luaAnim, "game_DisappearStart");
        m_disappearUpdateHook = script::GetGlobal(m_luaAnim, "game_DisappearUpdate");
    }

    m_wobbleState = 0;
    m_wobbleStart = EngineTime();
    m_wobbleDuration = 0.3f;
    m_wobbleInterval = 0.1f;
    m_wobbleLine = 0;

    LoadResources();

    if (m_luaField) m_fieldUpdateHook = script::GetGlobal(m_luaField, "game_FieldUpdate");
    // The two cell-seeker effects and the fragment manager join here.
    m_cellSeekers[0] = new CCellSeekerEffect(nullptr, 0.125f);
    m_cellSeekers[1] = new CCellSeekerEffect(nullptr, 0.625f);
    m_alpha = 0.5f;
    CBlockPartManager::GetInstance();
    m_constructed = true;
}

void CGameField::LoadResources() {
    CTextureManager* textures = CTextureManager::GetInstance();
    textures->GetTexture(&m_textures[0], "block_diffuse.jpg", false, false, 10.0f);
    textures->GetTexture(&m_textures[1], "block_bump.jpg", false, true, 3.0f);

    CSoundEngine* sounds = CSoundEngine::GetInstance();
    m_sounds[0] = sounds->LoadSound("animal_block_destroy.wav");
    m_sounds[1] = sounds->LoadSound("voice1.wav");
    m_sounds[2] = sounds->LoadSound("voice2.wav");
    m_sounds[3] = sounds->LoadSound("voice3.wav");

    CShaderManager* shaders = CShaderManager::GetInstance();
    const int vsMajor = shaders->GetVertexShaderMajor(), vsMinor = shaders->GetVertexShaderMinor();
    const int psMajor = shaders->GetPixelShaderMajor(), psMinor = shaders->GetPixelShaderMinor();
    int declaration = 0;
    if (vsMajor >= 2 && psMajor >= 2) {
        m_vertexShader = shaders->LoadVertexShader("pp_cube_map_high_vs.cg", "vs_2_0");
        m_pixelShader = shaders->LoadPixelShader("pp_cube_map_high_ps.cg", "ps_2_0");
        declaration = 1;
    } else if (vsMajor > 0 && vsMinor > 0 && psMajor > 0 && psMinor > 0) {
        m_vertexShader = shaders->LoadVertexShader("pp_cube_map_high_vs.cg", "vs_1_1");
        m_pixelShader = shaders->LoadPixelShader("pp_cube_map_high_ps.cg", "ps_1_1");
        declaration = 1;
    } else {
        m_vertexShader = shaders->LoadVertexShader("specular.cg", "vs_1_1");
    }
    // Half a pair draws nothing sensible: without both programs every block
    // takes the vertex-program path, and without that one the fixed pipeline.
    if (declaration == 1 && (!m_vertexShader || !m_pixelShader)) {
        g_Log.Print("darkgray", "Blocks are drawn with specular.cg only");
        m_pixelShader = nullptr;
        m_vertexShader = shaders->LoadVertexShader("specular.cg", "vs_1_1");
        declaration = 0;
    }
    m_vertexDeclaration = shaders->LoadVertexDeclaration(CMeshManager::GetDeclarationElements(declaration));

    CMeshManager* meshes = CMeshManager::GetInstance();
    meshes->LoadMesh(&m_meshes[0], "block_low.x", declaration);
    meshes->LoadMesh(&m_meshes[1], "block_medium.x", declaration);
    meshes->LoadMesh(&m_meshes[2], "block_high.x", declaration);

    textures->GetTexture(&m_textures[2], "cube.dds", true, false, 10.0f);
}

CGameField::~CGameField() {
    m_fieldUpdateHook = luabind::object();
    m_appearStartHook = luabind::object();
    m_disappearStartHook = luabind::object();
    m_appearUpdateHook = luabind::object();
    m_disappearUpdateHook = luabind::object();
    // The fragment manager is deleted here, before the states close.
    delete CBlockPartManager::GetInstancePtr();
    script::CloseState(m_luaField);
    script::CloseState(m_luaAnim);
    m_grid.resize(boost::extents[0][0]);
    m_width = m_height = 0;
}

void CGameField::SetDefaultMaterials() {
    static const float kDiffuse[kMaterials][3] = {{1, 0, 0}, {0, 1, 0}, {1, 1, 0},  {0, 0, 1},
                                                  {0, 1, 1}, {1, 0, 1}, {1, 1, 1}, {0.1f, 0.1f, 0.1f}};
    static const float kAmbient[kMaterials][3] = {{0.3f, 0, 0},    {0, 0.3f, 0},    {0.3f, 0.3f, 0},
                                                  {0, 0, 0.3f},    {0, 0.2f, 0.2f}, {0.2f, 0, 0.2f},
                                                  {0.3f, 0.3f, 0.3f}, {0, 0, 0}};
    for (int i = 0; i < kMaterials; ++i) {
        D3DMATERIAL9& m = m_materials[i];
        m = D3DMATERIAL9{};
        m.Diffuse = {kDiffuse[i][0], kDiffuse[i][1], kDiffuse[i][2], 1.0f};
        m.Ambient = {kAmbient[i][0], kAmbient[i][1], kAmbient[i][2], 1.0f};
        m.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
    }
}

// ---- shape file ----

bool CGameField::Create(const std::string& path) {
    // Read into a temporary first: a bad file must leave the field as it was.
    auto fail = [&](const char* reason) {
        g_Log.PrintBold("red", "Error, couldn't read field shape %s: %s", path.c_str(), reason);
        return false;
    };
    std::ifstream in(platform::HostPath(path.c_str()), std::ios::binary);
    if (!in.is_open()) return fail("the file cannot be opened");
    long long w = 0, h = 0;
    if (!(in >> w >> h)) return fail("it does not start with the width and the height");
    if (w < 1 || h < 1 || w > kMaxSize || h > kMaxSize) return fail("width and height must be 1 to 128");
    std::vector<int32_t> values(static_cast<size_t>(w * h));
    for (size_t i = 0; i < values.size(); ++i) {
        char c = 0;
        if (!(in >> c)) return fail("it ends before all its cells");
        int code = static_cast<signed char>(c);
        int value = code == '0' ? -1 : 47 - code;
        // Below '(' (or a byte of 128 and above) would be a colour beyond the material table.
        if (value >= kMaterials) return fail("a cell character is not valid");
        values[i] = value;
    }

    m_width = static_cast<int32_t>(w);
    m_height = static_cast<int32_t>(h);
    m_grid.resize(boost::extents[m_height][m_width]);
    for (int y = 0; y < m_height; ++y)
        for (int x = 0; x < m_width; ++x) {
            CFieldBlock& cell = m_grid[y][x];
            cell.Reset();
            cell.m_value = values[static_cast<size_t>(y) * m_width + x];
        }
    return true;
}

// ---- set-up ----

void CGameField::InitFromScript() {
    D3DXMatrixIdentity(&m_fieldMatrix);
    m_position = D3DXVECTOR3(0.0f, 0.0f, 17.0f);
    m_rotation = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    m_blockSpacing = D3DXVECTOR2(0.96f, 0.96f);
    m_blockOffset = D3DXVECTOR2(0.0f, 0.0f);
    SetDefaultMaterials();
    m_fieldUpdateFailed = m_appearUpdateFailed = m_disappearUpdateFailed = false;

    // A failing hook is logged; the field is still emptied and usable.
    if (m_luaField)
        script::CallVoid(m_luaField, script::GetGlobal(m_luaField, "game_FieldInit"), "game_FieldInit", nullptr);
    Clear();
    if (!m_luaField) return;
    float* coefficients[] = {&m_alpha, &m_beta, &m_ax, &m_bx, &m_cx, &m_dx};
    const char* names[] = {"alpha", "beta", "Ax", "Bx", "Cx", "Dx"};
    for (int i = 0; i < 6; ++i) script::ReadGlobalNumber(m_luaField, names[i], *coefficients[i]);
}

void CGameField::Clear() {
    for (int y = 0; y < m_height; ++y)
        for (int x = 0; x < m_width; ++x)
            if (!m_grid[y][x].IsWall()) m_grid[y][x].Reset();
    m_flipAngle = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    m_tiltBase = kPi;
    m_rotation.x = kPi;
}

bool CGameField::IsEmpty() const {
    for (int y = 0; y < m_height; ++y)
        for (int x = 0; x < m_width; ++x)
            if (m_grid[y][x].IsBlock()) return false;
    return true;
}

// ---- view turn and flip ----

void CGameField::SetRotation(float amount, bool down) {
    const float s = EngineStep();
    const float a = amount * kTiltRange;

    float t = m_rotation.x;
    if (down) {
        m_rotation.x -= 0.15f * s;
        t = std::max(m_rotation.x, m_tiltBase - kTiltRange);
    }
    m_rotation.x = std::min(t + 0.05f * s, m_tiltBase);

    if (std::fabs(a - m_leanTarget) >= 0.0001f) {
        m_leanTarget = a;
        float next = m_rotation.y + (a - m_rotation.y) / 10.0f;
        m_rotation.y = m_rotation.y <= a ? std::min(next, a) : std::max(next, a);
    } else {
        m_leanTarget = a;
        if (m_rotation.y > 0.0f)
            m_rotation.y = std::max(m_rotation.y - 0.05f * s, 0.0f);
        else if (m_rotation.y < 0.0f)
            m_rotation.y = std::min(m_rotation.y + 0.05f * s, 0.0f);
    }
    UpdateWorldMatrix();
}

void CGameField::StartFlip() {
    m_flipStart = EngineTime();
    m_flipRunning = true;
    m_flipPending = false;
    m_flipProgress = 0.0f;
}

void CGameField::UpdateFlip() {
    const float t = (EngineTime() - m_flipStart) / 2.0f;
    if (t >= 1.0f) {
        m_flipRunning = false;
        m_flipAngle.x = 0.0f;
        return;
    }
    if (t < 0.5f) {
        m_flipAngle.x = t * kPi;
    } else {
        m_flipAngle.x = (1.0f - t) * -kPi;
        if (m_flipProgress < 0.5f) {
            for (int y = 0; y < m_height / 2; ++y)
                for (int x = 0; x < m_width; ++x) std::swap(m_grid[y][x], m_grid[m_height - 1 - y][x]);
        }
        if (t >= 0.55f && m_flipProgress < 0.55f) CollapseColumns(15.0f);
    }
    m_flipProgress = t;
}

void CGameField::CollapseColumns(float speed) {
    for (int y = m_height - 1; y >= 1; --y)
        for (int x = 0; x < m_width; ++x) {
            if (!m_grid[y][x].IsEmpty()) continue;
            for (int r = y - 1; r >= 0; --r) {
                CFieldBlock& cell = m_grid[r][x];
                // A wall cell ends the column: nothing falls through it.
                if (cell.IsWall()) break;
                if (!cell.IsBlock()) continue;
                if (g_GameType == kLineGame)
                    ++cell.m_motionCounter;
                else if (g_GameType == kColorGame)
                    cell.m_motionCounter = 1;
            }
        }
    m_fallSpeed = speed;
}

void CGameField::GetBlockPositionCentered(int x, int y, D3DXVECTOR3* position, D3DXVECTOR2* size) {
    const float sx = m_blockSpacing.x + m_blockOffset.x;
    const float sy = m_blockSpacing.y + m_blockOffset.y;
    const D3DXVECTOR3& offset = m_grid[y][x].m_positionOffset;
    if (position)
        *position = D3DXVECTOR3(sx * x - sx * (m_width - 1) / 2.0f + offset.x,
                                sy * y - sy * (m_height - 1) / 2.0f + offset.y, offset.z);
    if (size) *size = D3DXVECTOR2(m_blockSpacing.x, m_blockSpacing.y);
}

void CGameField::GetBlockPosition(int x, int y, D3DXVECTOR3* position, D3DXVECTOR2* size) {
    D3DXVECTOR3 local;
    GetBlockPositionCentered(x, y, &local, size);
    D3DXVec3TransformCoord(position, &local, &m_fieldMatrix);
}

void CGameField::UpdateWorldMatrix() {
    D3DXMATRIX turn, flip, move;
    D3DXMatrixRotationYawPitchRoll(&turn, m_rotation.y, m_rotation.x, m_rotation.z);
    D3DXMatrixRotationYawPitchRoll(&flip, m_flipAngle.y, m_flipAngle.x, m_flipAngle.z);
    D3DXMatrixTranslation(&move, m_position.x, m_position.y, m_position.z);
    m_fieldMatrix = turn * flip * move;
}

// ---- hooks ----

D3DXVECTOR3 CGameField::FieldUpdate(float x, float y, float time) {
    return script::Call<D3DXVECTOR3>(m_luaField, m_fieldUpdateHook, "game_FieldUpdate", D3DXVECTOR3(0, 0, 0),
                                     &m_fieldUpdateFailed, x, y, time);
}

void CGameField::AppearStart() {
    script::CallVoid(m_luaAnim, m_appearStartHook, "game_AppearStart", nullptr);
}

int CGameField::AppearUpdate() {
    return ToInt(script::Call<double>(m_luaAnim, m_appearUpdateHook, "game_AppearUpdate", 0.0,
                                      &m_appearUpdateFailed));
}

void CGameField::DisappearStart() {
    script::CallVoid(m_luaAnim, m_disappearStartHook, "game_DisappearStart", nullptr);
}

int CGameField::DisappearUpdate() {
    return ToInt(script::Call<double>(m_luaAnim, m_disappearUpdateHook, "game_DisappearUpdate", 0.0,
                                      &m_disappearUpdateFailed));
}
