// D3DX utility library subset.
#pragma once

#include "d3dx9math.h"
