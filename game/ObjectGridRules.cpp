#include "game/ObjectGridRules.h"

#include <cmath>

#include "engine/Camera.h"
#include "engine/GraphicsEngine.h"
#include "engine/ShaderManager.h"
#include "game/GameField.h"

int ScriptToInt(float value) {
    if (value < 0.0f) value -= 1.0f;
    return static_cast<int>(value);
}

bool FootprintFree(int x, int y, int width, int height, const CellValueFn& value) {
    if (x < 0 || y < 0 || x + 1 >= width || y + 1 >= height) return false;
    return CFieldBlock::IsEmpty(value(x, y)) && CFieldBlock::IsEmpty(value(x + 1, y)) &&
           CFieldBlock::IsEmpty(value(x, y + 1)) && CFieldBlock::IsEmpty(value(x + 1, y + 1));
}

bool SawFootprintFree(int x, int y, int width, int height, const CellValueFn& value) {
    if (x < 0 || y < 0 || x + 1 >= width || y + 1 >= height) return false;
    return !CFieldBlock::IsWall(value(x, y)) && !CFieldBlock::IsWall(value(x + 1, y)) &&
           !CFieldBlock::IsWall(value(x, y + 1)) && !CFieldBlock::IsWall(value(x + 1, y + 1));
}

std::vector<std::pair<int, int>> BlastCells(float x, float y, int radius, int width, int height) {
    std::vector<std::pair<int, int>> cells;
    if (width <= 0 || height <= 0) return cells;
    std::vector<char> seen(static_cast<size_t>(width) * height, 0);
    // Float throughout: in double the sample at angle 0 reaches one column too far.
    const float limit = static_cast<float>(radius);
    for (float r = 0.0f; r < limit; r += 0.1f)
        for (int a = 0; a < 360; ++a) {
            float angle = static_cast<float>(a);
            float cx = x + r * std::cos(angle);
            float cy = y + r * std::sin(angle);
            int column = static_cast<int>(cx);
            int row = static_cast<int>(cy);
            if (column < 0 || column >= width || row < 0 || row >= height) continue;
            char& mark = seen[static_cast<size_t>(row) * width + column];
            if (mark) continue;
            mark = 1;
            cells.emplace_back(column, row);
        }
    return cells;
}

std::vector<std::pair<int, int>> SawCutCells(float x, float y, int size, int width, int height) {
    std::vector<std::pair<int, int>> cells;
    int tx = static_cast<int>(x), ty = static_cast<int>(y);
    for (int r = ty - 1; r <= ty + size - 2; ++r)
        for (int c = tx - 1; c <= tx + size - 2; ++c)
            if (c >= 0 && c < width && r >= 0 && r < height) cells.emplace_back(c, r);
    return cells;
}

void CSideMove::Advance(float& x, float dt) {
    if (left) {
        x -= 20.0f * dt;
        int k = ScriptToInt(x) + 1;
        if (static_cast<float>(k) < origin) {
            x = static_cast<float>(k);
            left = false;
        }
    } else if (right) {
        x += 20.0f * dt;
        int k = ScriptToInt(x);
        if (static_cast<float>(k) > origin) {
            x = static_cast<float>(k);
            right = false;
        }
    }
}

void CSideMove::Steer(bool wantLeft, bool wantRight, float x, const std::function<bool(int)>& fits) {
    if (Active()) return;
    if (wantLeft && fits(static_cast<int>(x - 1.0f))) {
        left = true;
        origin = x;
    } else if (wantRight && fits(static_cast<int>(x + 1.0f))) {
        right = true;
        origin = x;
    }
}

int ProbeSide(float angle) {
    // The bounds as floats: the seventh probe lands just below 7 pi / 4.
    const float quarter = static_cast<float>(D3DX_PI / 4.0);
    if (angle < quarter) return kSideRight;
    if (angle < static_cast<float>(3.0 * D3DX_PI / 4.0)) return kSideBelow;
    if (angle < static_cast<float>(5.0 * D3DX_PI / 4.0)) return kSideLeft;
    if (angle < static_cast<float>(7.0 * D3DX_PI / 4.0)) return kSideAbove;
    return kSideRight;
}

int ProbeCollision(float x, float y, int width, int height, const CellValueFn& value,
                   const std::function<void(int, int)>& knock) {
    int result = kSideNone;
    const float step = static_cast<float>(D3DX_PI / 4.0);
    const float full = static_cast<float>(2.0 * D3DX_PI);
    for (float a = 0.0f; a < full; a += step) {
        float px = x + 0.7f * std::cos(a);
        float py = y + 0.7f * std::sin(a);
        // Outside the grid is a wall, judged before truncation pulls -0.2 onto row 0.
        bool inside = px >= 0.0f && px < static_cast<float>(width) && py >= 0.0f && py < static_cast<float>(height);
        int v = inside ? value(static_cast<int>(px), static_cast<int>(py)) : -2;
        if (CFieldBlock::IsEmpty(v)) continue;
        result = ProbeSide(a);
        if (CFieldBlock::IsBlock(v)) knock(static_cast<int>(px), static_cast<int>(py));
    }
    return result;
}

D3DXVECTOR2 Reflect(const D3DXVECTOR2& d, int side) {
    D3DXVECTOR2 n(0.0f, 0.0f);
    switch (side) {
        case kSideBelow: n = D3DXVECTOR2(0.0f, -1.0f); break;
        case kSideLeft: n = D3DXVECTOR2(1.0f, 0.0f); break;
        case kSideAbove: n = D3DXVECTOR2(0.0f, 1.0f); break;
        case kSideRight: n = D3DXVECTOR2(-1.0f, 0.0f); break;
        default: return d;
    }
    float dot = n.x * d.x + n.y * d.y;
    return D3DXVECTOR2(d.x - 2.0f * dot * n.x, d.y - 2.0f * dot * n.y);
}

int TopBlockRow(int width, int height, const CellValueFn& value) {
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column)
            if (CFieldBlock::IsBlock(value(column, row))) return row;
    return height - 1;
}

float DepthWeight(int topRow, float y, float alpha, float beta) {
    int t = topRow - 2 > 0 ? topRow - 2 : 0;
    if (t == 0 || y >= static_cast<float>(t)) return alpha;
    return beta + (alpha - beta) * y / static_cast<float>(t);
}

void BounceFlight(float& x, float& y, D3DXVECTOR2& direction, float speed, float dt,
                  const std::function<int(float, float)>& collide, const std::function<void()>& bounced) {
    for (int i = 0; i < 5; ++i) {
        float cx = x + direction.x * speed * dt * 0.2f;
        float cy = y + direction.y * speed * dt * 0.2f;
        int side = collide(cx, cy);
        if (side == kSideNone) {
            x = cx;
            y = cy;
            continue;
        }
        bounced();
        direction = Reflect(direction, side);
    }
}

CellValueFn FieldCellValues() {
    CGameField* field = CGameField::GetInstance();
    return [field](int x, int y) { return field->Cell(x, y).m_value; };
}

bool HighShaderPath() {
    CShaderManager* s = CShaderManager::GetInstance();
    return (s->GetVertexShaderMajor() > 0 && s->GetVertexShaderMinor() > 0 && s->GetPixelShaderMajor() > 0 &&
            s->GetPixelShaderMinor() > 0) ||
           (s->GetVertexShaderMajor() >= 2 && s->GetPixelShaderMajor() >= 2);
}

void ObjectMatrices(const D3DXMATRIX& world, D3DXMATRIX* clip, D3DXMATRIX* worldViewInvTranspose,
                    D3DXMATRIX* worldViewTranspose, D3DXMATRIX* invWorld) {
    D3DXMATRIX view, proj;
    D3DXMatrixIdentity(&view);
    D3DXMatrixIdentity(&proj);
    if (CCamera* camera = CGraphicsEngine::GetInstance()->GetCamera()) {
        view = camera->GetViewMatrix();
        proj = camera->GetProjMatrix();
    }
    D3DXMATRIX worldView = world * view;
    D3DXMATRIX worldViewProj = worldView * proj;
    D3DXMatrixTranspose(clip, &worldViewProj);
    D3DXMATRIX inverse;
    // A degenerate scale must not leave garbage in the constants.
    if (!D3DXMatrixInverse(&inverse, nullptr, &worldView)) D3DXMatrixIdentity(&inverse);
    D3DXMatrixTranspose(worldViewInvTranspose, &inverse);
    D3DXMatrixTranspose(worldViewTranspose, &worldView);
    if (!D3DXMatrixInverse(invWorld, nullptr, &world)) D3DXMatrixIdentity(invWorld);
}

D3DXVECTOR3 CameraPosition() {
    CCamera* camera = CGraphicsEngine::GetInstance()->GetCamera();
    if (!camera) return D3DXVECTOR3(0.0f, 0.0f, -7.0f);
    D3DXMATRIX inverse;
    if (!D3DXMatrixInverse(&inverse, nullptr, &camera->GetViewMatrix())) return camera->GetEyePt();
    return D3DXVECTOR3(inverse._41, inverse._42, inverse._43);
}
