// The field's drawing lands with its own branch; until then the frame shows no
// field. Weak, so the real definition replaces it as soon as it links.
#include "game/GameField.h"

__attribute__((weak)) void CGameField::Render() {}
