#include "game/FigureGenerator.h"

CFigureGenerator* CFigureGenerator::GetInstance() { return CSingleton<CFigureGenerator>::GetInstance(); }

CFigureGenerator::CFigureGenerator() = default;
CFigureGenerator::~CFigureGenerator() = default;
