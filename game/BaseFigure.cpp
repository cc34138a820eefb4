#include "game/BaseFigure.h"

bool CBaseFigure::ProcessKeys(bool, bool, bool, bool, bool) { return true; }
