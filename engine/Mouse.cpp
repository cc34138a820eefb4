#include "engine/Mouse.h"

CMouse::CMouse() {}
CMouse::~CMouse() {}
