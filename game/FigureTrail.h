#pragma once

#include <d3dx9math.h>

#include <vector>

class CObjectEmitter;
class CFieldBlock;

// The streaks behind a falling figure: ten emitters per place of its block
// pattern (only four ever lit), made once and moved every step.
class CFigureTrail {
public:
    enum class ColorSource { Diffuse, Ambient };
    enum { kColumns = 4, kPerPlace = 10, kLit = 4 };

    CFigureTrail(int rows, ColorSource source);
    // Lets every emitter go; the particle manager deletes them once faded.
    ~CFigureTrail();
    CFigureTrail(const CFigureTrail&) = delete;
    CFigureTrail& operator=(const CFigureTrail&) = delete;

    // blocks: rows x 4 records row by row; x, y the frame in cells; the
    // figure turns by rotate about the pivot (cells within the frame).
    void Update(const CFieldBlock* blocks, float x, float y, float rotate, float pivotX, float pivotY);
    // Every emitter off (the figure in the preview lays nothing).
    void SwitchOff();

    int Rows() const { return m_rows; }
    CObjectEmitter* Emitter(int row, int column, int k) const {
        return m_emitters[(row * kColumns + column) * kPerPlace + k];
    }

private:
    int m_rows;
    ColorSource m_source;
    std::vector<CObjectEmitter*> m_emitters;
};

// The dim green streak behind a bounce bomb.
class CBounceBombTrail {
public:
    CBounceBombTrail();
    ~CBounceBombTrail();
    CBounceBombTrail(const CBounceBombTrail&) = delete;
    CBounceBombTrail& operator=(const CBounceBombTrail&) = delete;

    // world: the bomb's world matrix this step.
    void Update(const D3DXMATRIX& world);
    CObjectEmitter* Emitter() const { return m_emitter; }

private:
    CObjectEmitter* m_emitter;
};
