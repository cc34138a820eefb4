// D3DX utility library subset.
#pragma once

#include "d3dx9math.h"
#include "d3dx9core.h"
#include "d3dx9tex.h"
#include "d3dx9mesh.h"
#include "d3dx9shader.h"
