#pragma once

#include <d3d9types.h>

// Symbol name of a surface format ("D3DFMT_X8R8G8B8", or "X8R8G8B8" without the prefix).
const char* FormatToString(D3DFORMAT format, bool withPrefix);

// The SDK media folder from the registry, with "\Media\" appended.
HRESULT GetMediaPath(char* out, int size);
// Finds a data file: its full path, the bare name in the current directory, the media folder.
HRESULT FindMediaFile(char* out, int size, const char* name);
// Copies at most size - 1 characters and always terminates.
HRESULT CopyNarrowString(char* out, const char* in, int size);
