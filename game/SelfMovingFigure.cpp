#include "game/SelfMovingFigure.h"

#include "game/GameField.h"
#include "game/ObjectGridRules.h"

bool CSelfMovingFigure::CanBe(int cx, int cy, int, int) {
    CGameField* field = CGameField::GetInstance();
    return FootprintFree(cx, cy, field->m_width, field->m_height, FieldCellValues());
}
