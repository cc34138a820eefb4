#pragma once

#include <d3d9.h>

// Test-only: the mesh and shader managers run on a device of the test's own
// instead of the engine's; null goes back to the engine's.
namespace managerhooks {
void SetTestDevice(IDirect3DDevice9* device);
}
