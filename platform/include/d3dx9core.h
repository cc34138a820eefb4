// D3DX core: the 2D sprite and the memory buffer.
#pragma once

#include "d3d9.h"
#include "d3dx9math.h"

#define _FACDD 0x876
#define MAKE_DDHRESULT(code) MAKE_HRESULT(1, _FACDD, code)
#define D3DXERR_CANNOTMODIFYINDEXBUFFER MAKE_DDHRESULT(2900)
#define D3DXERR_INVALIDMESH MAKE_DDHRESULT(2901)
#define D3DXERR_CANNOTATTRSORT MAKE_DDHRESULT(2902)
#define D3DXERR_SKINNINGNOTSUPPORTED MAKE_DDHRESULT(2903)
#define D3DXERR_TOOMANYINFLUENCES MAKE_DDHRESULT(2904)
#define D3DXERR_INVALIDDATA MAKE_DDHRESULT(2905)
#define D3DXERR_LOADEDMESHASNODATA MAKE_DDHRESULT(2906)
#define D3DXERR_DUPLICATENAMEDFRAGMENT MAKE_DDHRESULT(2907)

#ifndef D3DX_DEFAULT
#define D3DX_DEFAULT ((UINT)-1)
#endif

// A block of memory handed out by D3DX (materials, adjacency, compiled shaders).
struct ID3DXBuffer : public IUnknown {
    virtual void* GetBufferPointer() = 0;
    virtual DWORD GetBufferSize() = 0;
};
typedef ID3DXBuffer* LPD3DXBUFFER;

// Zero-filled buffer of numBytes.
HRESULT D3DXCreateBuffer(DWORD numBytes, ID3DXBuffer** buffer);

// The 2D sprite of the SDK 9.0b era (seven-argument Draw).
struct ID3DXSprite : public IUnknown {
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    // Saves the device states the sprite changes and sets its own: alpha
    // blending SRCALPHA/INVSRCALPHA, alpha test off, no depth, no culling,
    // stage 0 MODULATE of texture and diffuse, linear clamped sampling.
    virtual HRESULT Begin() = 0;
    // Draws srcRect (NULL: the whole texture) of the texture: scaled, turned by
    // `rotation` radians about rotationCenter (in scaled pixels, NULL: the
    // top-left corner), then moved by translation (pixels); colour modulates.
    virtual HRESULT Draw(IDirect3DTexture9* srcTexture, const RECT* srcRect, const D3DXVECTOR2* scaling,
                         const D3DXVECTOR2* rotationCenter, float rotation, const D3DXVECTOR2* translation,
                         D3DCOLOR color) = 0;
    // Draws with a full transform (pixels), the newer entry point.
    virtual HRESULT DrawTransform(IDirect3DTexture9* srcTexture, const RECT* srcRect, const D3DXMATRIX* transform,
                                  D3DCOLOR color) = 0;
    // Restores the device states saved by Begin.
    virtual HRESULT End() = 0;
    virtual HRESULT OnLostDevice() = 0;
    virtual HRESULT OnResetDevice() = 0;
};
typedef ID3DXSprite* LPD3DXSPRITE;

HRESULT D3DXCreateSprite(IDirect3DDevice9* device, ID3DXSprite** sprite);
