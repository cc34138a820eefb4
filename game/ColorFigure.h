#pragma once

#include <memory>

#include "game/BaseFigure.h"
#include "game/FigureTrail.h"
#include "game/GameField.h"

// The figure of the colour game: a stick of three coloured blocks, or for a
// bonus period two columns of six. Rotate cycles the colours instead of turning.
class CColorFigure : public CBaseFigure {
public:
    enum { kRows = 6, kColumns = 4 };
    static const int32_t kNormalPattern[kRows][kColumns];
    static const int32_t kSpecialPattern[kRows][kColumns];

    explicit CColorFigure(bool special);
    ~CColorFigure() override;

    void Init() override;
    bool Start() override;
    void Render() override;
    void Update() override;
    void Build() override;
    bool CanBe(int x, int y, int type, int phase) override;
    int GetNextPhase() override { return 0; }
    int GetCurrentPhase() override { return 0; }
    int GetCurrentType() override { return 0; }
    void SetNextPhase() override {}

    // The colour cycle, once per figure step with that step's rotate pulse.
    void Animate(bool rotatePulse, bool unused = false);

    void CreateTrailEmitters();
    void ReleaseTrailEmitters();
    void PlaceTrailEmitters();

    CFieldBlock& Cell(int row, int column) { return cells[row * kColumns + column]; }
    const int32_t (&Pattern() const)[kRows][kColumns] { return special ? kSpecialPattern : kNormalPattern; }

    std::unique_ptr<CFigureTrail> trail;
    float cyclingAngle = 0.0f;
    bool cycling = false;
    bool special;
    CFieldBlock cells[kRows * kColumns];  // [row * 4 + column]
};

// ext_ColorsNum as the colour draw may use it: 1 to 8.
int UsableColorsNum(int colorsNum);
