#pragma once

#include <d3dx9math.h>

#include <functional>
#include <utility>
#include <vector>

// Grid rules of the bomb, the saw and the bounce bomb, kept apart from their
// drawing so they can be checked on plain grids.

// The figure script's conversion: truncation, one lower for negative values.
int ScriptToInt(float value);

// A cell value of the grid (column, row); called only inside the grid.
typedef std::function<int(int, int)> CellValueFn;

// The bomb and the bounce bomb fit where their 2 x 2 square is inside the
// grid and all empty.
bool FootprintFree(int x, int y, int width, int height, const CellValueFn& value);
// The saw passes blocks; only cells outside the grid or the play area stop it.
bool SawFootprintFree(int x, int y, int width, int height, const CellValueFn& value);

// The cells inside the grid that the blast of radius `radius` around the
// top-left cell (x, y) reaches, each once, in the order the samples hit them.
std::vector<std::pair<int, int>> BlastCells(float x, float y, int radius, int width, int height);

// The cells the saw cuts at (x, y): rows trunc(y) - 1 .. + size - 2, columns
// likewise, inside the grid, rows outer.
std::vector<std::pair<int, int>> SawCutCells(float x, float y, int size, int width, int height);

// A sideways move of the bomb or the saw: one column at 20 columns a second,
// snapping onto the next column.
struct CSideMove {
    bool left = false;
    bool right = false;
    float origin = 0.0f;

    bool Active() const { return left || right; }
    void Advance(float& x, float dt);
    // Left wins when it fits; otherwise right is tried. fits(column) tests the
    // square one column aside and one row down.
    void Steer(bool wantLeft, bool wantRight, float x, const std::function<bool(int)>& fits);
};

// Side codes of the bounce bomb's collision test.
enum { kSideNone = 0, kSideBelow = 1, kSideLeft = 2, kSideAbove = 3, kSideRight = 4 };

// The side code of a probe angle accumulated in float.
int ProbeSide(float angle);
// The bounce bomb's probes at radius 0.7 around (x, y). A probe outside the
// grid is a wall; knock(column, row) is called for every block touched and
// must empty its cell. Returns the last touching probe's side code.
int ProbeCollision(float x, float y, int width, int height, const CellValueFn& value,
                   const std::function<void(int, int)>& knock);
// The direction mirrored off the side of the code; 0 leaves it.
D3DXVECTOR2 Reflect(const D3DXVECTOR2& direction, int side);

// The first row from the top holding a block, H - 1 with none.
int TopBlockRow(int width, int height, const CellValueFn& value);
// How much of the field script's displacement the object takes at row y:
// beta at the top, alpha from two rows above the stack down.
float DepthWeight(int topRow, float y, float alpha, float beta);

// The bounce bomb's flight in one step: five sub-steps of speed * dt / 5
// along the direction; a sub-step whose candidate collides (collide gives its
// side code) stays put, calls bounced and mirrors the direction.
void BounceFlight(float& x, float& y, D3DXVECTOR2& direction, float speed, float dt,
                  const std::function<int(float, float)>& collide, const std::function<void()>& bounced);

// The values of the current field's cells (the field must exist).
CellValueFn FieldCellValues();

// The pixel-program drawing path: all four shader version numbers above 0,
// or both majors at least 2.
bool HighShaderPath();

// The four matrices the object programs take, from a world matrix and the
// engine's camera: clip, world-view inverse transpose, world-view transpose,
// inverse world.
void ObjectMatrices(const D3DXMATRIX& world, D3DXMATRIX* clip, D3DXMATRIX* worldViewInvTranspose,
                    D3DXMATRIX* worldViewTranspose, D3DXMATRIX* invWorld);
// The camera's position (the translation of the inverse view).
D3DXVECTOR3 CameraPosition();
