// Readers of the picture formats behind the D3DX texture loaders. With out
// null only the header is read. False with a reason for anything we cannot load.
#pragma once

#include "platform/d3dx9/Image.h"

namespace d3dximage {

struct RawInfo {
    uint32_t width = 0;
    uint32_t height = 0;
    int comp = 0;  // 1 grey, 2 grey + alpha, 3 colour, 4 colour + alpha
};

bool ReadPng(const uint8_t* data, size_t size, RawInfo& info, Image* out, std::string* error);
bool ReadJpeg(const uint8_t* data, size_t size, RawInfo& info, Image* out, std::string* error);
bool ReadBmp(const uint8_t* data, size_t size, RawInfo& info, Image* out, std::string* error);
bool ReadTga(const uint8_t* data, size_t size, RawInfo& info, Image* out, std::string* error);

}  // namespace d3dximage
