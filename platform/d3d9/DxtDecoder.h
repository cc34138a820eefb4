// DXT1/3/5 blocks to A8R8G8B8 texels, for GL drivers without S3TC.
#pragma once

#include <cstdint>
#include <vector>

#include "d3d9.h"

namespace d3d9 {

// Decodes a width x height level stored as 4x4 blocks (rows of blocks, as
// LockRect lays them out) into tightly packed A8R8G8B8 texels.
std::vector<uint32_t> DecodeDxt(D3DFORMAT format, const uint8_t* blocks, UINT width, UINT height);

}  // namespace d3d9
