// Direct3D 9 subset. The interfaces are declared here; the GL and null
// backends under platform/d3d9 implement them.
#pragma once

#include "d3d9types.h"
