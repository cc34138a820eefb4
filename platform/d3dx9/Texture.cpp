// D3DX texture creation and loading over the device interface: the image is
// decoded and sized here, then written level by level through LockRect.
#include "d3dx9tex.h"

#include <algorithm>
#include <cmath>

#include "platform/d3dx9/Image.h"

using d3dximage::Image;

namespace {

// The requested side, resolved the way D3DX does.
UINT ResolveSide(UINT requested, UINT fileSide) {
    if (requested == 0 || requested == D3DX_DEFAULT) return d3dximage::RoundUpPow2(fileSide);
    if (requested == D3DX_DEFAULT_NONPOW2 || requested == D3DX_FROM_FILE) return fileSide;
    return requested;
}

UINT ResolveLevels(UINT requested, UINT fileLevels, UINT width, UINT height) {
    UINT full = d3dximage::FullMipCount(width, height);
    if (requested == 0 || requested == D3DX_DEFAULT) return full;
    if (requested == D3DX_FROM_FILE) return std::min(std::max(fileLevels, 1u), full);
    return std::min(requested, full);
}

// A format we can fill: the requested one, else 32-bit with or without alpha.
D3DFORMAT ResolveFormat(D3DFORMAT requested, bool alpha) {
    if (requested != D3DFMT_UNKNOWN && requested != D3DFORMAT(D3DX_FROM_FILE) && d3dximage::BytesPerTexel(requested))
        return requested;
    if (requested == D3DFMT_R8G8B8 || requested == D3DFMT_X8B8G8R8) return D3DFMT_X8R8G8B8;
    return alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
}

// The device's largest texture side, when it says.
void ClampToDevice(IDirect3DDevice9* device, UINT& width, UINT& height) {
    D3DCAPS9 caps = {};
    if (FAILED(device->GetDeviceCaps(&caps))) return;
    while (caps.MaxTextureWidth && width > caps.MaxTextureWidth && width > 1) width /= 2;
    while (caps.MaxTextureHeight && height > caps.MaxTextureHeight && height > 1) height /= 2;
}

void ApplyColorKey(Image& img, D3DCOLOR key) {
    if (!key) return;
    for (uint32_t& t : img.texels)
        if (t == key) t = 0;
}

DWORD FilterOrDefault(DWORD filter, DWORD fallback) { return filter == D3DX_DEFAULT ? fallback : filter; }

bool ReadAndDecode(const char* file, d3dximage::DecodedFile& decoded) {
    std::string bytes;
    if (!d3dximage::ReadImageFile(file, bytes)) return false;
    return d3dximage::Decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), decoded, nullptr);
}

void FillInfo(const d3dximage::FileInfo& file, D3DXIMAGE_INFO* info) {
    if (!info) return;
    info->Width = file.width;
    info->Height = file.height;
    info->Depth = 1;
    info->MipLevels = file.mipLevels;
    info->Format = D3DFORMAT(file.format);
    info->ResourceType = file.cube ? D3DRTYPE_CUBETEXTURE : D3DRTYPE_TEXTURE;
    info->ImageFileFormat = D3DXIMAGE_FILEFORMAT(file.kind);
}

// Writes one level of a 2D texture or cube face; the image is brought to the
// level's real size first.
template <class Lock, class Unlock>
HRESULT WriteLevel(const Image& img, const D3DSURFACE_DESC& desc, DWORD filter, Lock lock, Unlock unlock) {
    D3DLOCKED_RECT locked = {};
    HRESULT hr = lock(&locked);
    if (FAILED(hr)) return hr;
    bool ok;
    if (img.width == desc.Width && img.height == desc.Height) {
        ok = d3dximage::StoreTexels(img, desc.Format, locked.pBits, locked.Pitch);
    } else {
        ok = d3dximage::StoreTexels(d3dximage::Resample(img, desc.Width, desc.Height, filter), desc.Format,
                                    locked.pBits, locked.Pitch);
    }
    unlock();
    return ok ? D3D_OK : D3DERR_INVALIDCALL;
}

// Level 0 from the file's image, every further level from the one above.
HRESULT FillTexture(IDirect3DTexture9* tex, const Image& source, DWORD filter, DWORD mipFilter) {
    Image level;
    // A file of the texture's size is written as it is, not copied first.
    const Image* above = &source;
    for (UINT i = 0; i < tex->GetLevelCount(); ++i) {
        D3DSURFACE_DESC desc = {};
        HRESULT hr = tex->GetLevelDesc(i, &desc);
        if (FAILED(hr)) return hr;
        if (i > 0)
            level = d3dximage::NextMipLevel(*above, mipFilter);
        else if (source.width != desc.Width || source.height != desc.Height)
            level = d3dximage::Resample(source, desc.Width, desc.Height, filter);
        const Image& written = i == 0 && level.texels.empty() ? source : level;
        hr = WriteLevel(
            written, desc, mipFilter, [&](D3DLOCKED_RECT* r) { return tex->LockRect(i, r, nullptr, 0); },
            [&] { tex->UnlockRect(i); });
        if (FAILED(hr)) return hr;
        above = &written;
    }
    return D3D_OK;
}

HRESULT FillCubeTexture(IDirect3DCubeTexture9* tex, const std::vector<Image>& faces, DWORD filter, DWORD mipFilter) {
    for (UINT f = 0; f < 6; ++f) {
        D3DCUBEMAP_FACES face = D3DCUBEMAP_FACES(f);
        Image level;
        for (UINT i = 0; i < tex->GetLevelCount(); ++i) {
            D3DSURFACE_DESC desc = {};
            HRESULT hr = tex->GetLevelDesc(i, &desc);
            if (FAILED(hr)) return hr;
            level = i == 0 ? d3dximage::Resample(faces[f], desc.Width, desc.Height, filter)
                           : d3dximage::NextMipLevel(level, mipFilter);
            hr = WriteLevel(
                level, desc, mipFilter, [&](D3DLOCKED_RECT* r) { return tex->LockRect(face, i, r, nullptr, 0); },
                [&] { tex->UnlockRect(face, i); });
            if (FAILED(hr)) return hr;
        }
    }
    return D3D_OK;
}

}  // namespace

HRESULT D3DXGetImageInfoFromFileA(const char* srcFile, D3DXIMAGE_INFO* srcInfo) {
    if (!srcFile || !srcInfo) return D3DERR_INVALIDCALL;
    std::string bytes;
    if (!d3dximage::ReadImageFile(srcFile, bytes)) return D3DXERR_INVALIDDATA;
    d3dximage::FileInfo info;
    if (!d3dximage::ReadInfo(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), info, nullptr))
        return D3DXERR_INVALIDDATA;
    FillInfo(info, srcInfo);
    return D3D_OK;
}

HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, const char* srcFile, UINT width, UINT height,
                                     UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                     DWORD mipFilter, D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo,
                                     PALETTEENTRY* /*palette*/, IDirect3DTexture9** texture) {
    if (!device || !srcFile || !texture) return D3DERR_INVALIDCALL;
    d3dximage::DecodedFile decoded;
    if (!ReadAndDecode(srcFile, decoded)) return D3DXERR_INVALIDDATA;
    const d3dximage::FileInfo& info = decoded.info;
    // A cube map file gives its first face.
    Image& source = decoded.faces[0];
    ApplyColorKey(source, colorKey);

    UINT w = ResolveSide(width, info.width), h = ResolveSide(height, info.height);
    ClampToDevice(device, w, h);
    UINT levels = ResolveLevels(mipLevels, info.mipLevels, w, h);
    D3DFORMAT fmt = ResolveFormat(format, info.alpha || colorKey);
    filter = FilterOrDefault(filter, D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER);
    mipFilter = FilterOrDefault(mipFilter, D3DX_FILTER_BOX);

    IDirect3DTexture9* tex = nullptr;
    HRESULT hr = device->CreateTexture(w, h, levels, usage, fmt, pool, &tex, nullptr);
    if (FAILED(hr)) return hr;
    if (!tex) return D3DERR_INVALIDCALL;
    hr = FillTexture(tex, source, filter, mipFilter);
    if (FAILED(hr)) {
        tex->Release();
        return hr;
    }
    FillInfo(info, srcInfo);
    *texture = tex;
    return D3D_OK;
}

HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* device, const char* srcFile, IDirect3DTexture9** texture) {
    return D3DXCreateTextureFromFileExA(device, srcFile, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
                                        D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, texture);
}

HRESULT D3DXCreateCubeTextureFromFileExA(IDirect3DDevice9* device, const char* srcFile, UINT size, UINT mipLevels,
                                         DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                         D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* /*palette*/,
                                         IDirect3DCubeTexture9** cubeTexture) {
    if (!device || !srcFile || !cubeTexture) return D3DERR_INVALIDCALL;
    d3dximage::DecodedFile decoded;
    if (!ReadAndDecode(srcFile, decoded)) return D3DXERR_INVALIDDATA;
    const d3dximage::FileInfo& info = decoded.info;
    if (!info.cube || decoded.faces.size() != 6) return D3DXERR_INVALIDDATA;
    for (Image& face : decoded.faces) ApplyColorKey(face, colorKey);

    UINT edge = ResolveSide(size, info.width), unused = edge;
    ClampToDevice(device, edge, unused);
    UINT levels = ResolveLevels(mipLevels, info.mipLevels, edge, edge);
    D3DFORMAT fmt = ResolveFormat(format, info.alpha || colorKey);
    filter = FilterOrDefault(filter, D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER);
    mipFilter = FilterOrDefault(mipFilter, D3DX_FILTER_BOX);

    IDirect3DCubeTexture9* tex = nullptr;
    HRESULT hr = device->CreateCubeTexture(edge, levels, usage, fmt, pool, &tex, nullptr);
    if (FAILED(hr)) return hr;
    if (!tex) return D3DERR_INVALIDCALL;
    hr = FillCubeTexture(tex, decoded.faces, filter, mipFilter);
    if (FAILED(hr)) {
        tex->Release();
        return hr;
    }
    FillInfo(info, srcInfo);
    *cubeTexture = tex;
    return D3D_OK;
}

HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT mipLevels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture) {
    if (!device || !texture) return D3DERR_INVALIDCALL;
    UINT w = (width == 0 || width == D3DX_DEFAULT) ? 256 : width;
    UINT h = (height == 0 || height == D3DX_DEFAULT) ? 256 : height;
    ClampToDevice(device, w, h);
    UINT levels = ResolveLevels(mipLevels, 1, w, h);
    return device->CreateTexture(w, h, levels, usage, format == D3DFMT_UNKNOWN ? D3DFMT_A8R8G8B8 : format, pool,
                                 texture, nullptr);
}

HRESULT D3DXCreateCubeTexture(IDirect3DDevice9* device, UINT size, UINT mipLevels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, IDirect3DCubeTexture9** cubeTexture) {
    if (!device || !cubeTexture) return D3DERR_INVALIDCALL;
    UINT edge = (size == 0 || size == D3DX_DEFAULT) ? 256 : size, unused = edge;
    ClampToDevice(device, edge, unused);
    UINT levels = ResolveLevels(mipLevels, 1, edge, edge);
    return device->CreateCubeTexture(edge, levels, usage, format == D3DFMT_UNKNOWN ? D3DFMT_A8R8G8B8 : format, pool,
                                     cubeTexture, nullptr);
}

HRESULT D3DXComputeNormalMap(IDirect3DTexture9* texture, IDirect3DTexture9* srcTexture,
                             const PALETTEENTRY* /*srcPalette*/, DWORD flags, DWORD channel, float amplitude) {
    if (!texture || !srcTexture) return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC srcDesc = {};
    HRESULT hr = srcTexture->GetLevelDesc(0, &srcDesc);
    if (FAILED(hr)) return hr;
    D3DLOCKED_RECT locked = {};
    hr = srcTexture->LockRect(0, &locked, nullptr, 0);
    if (FAILED(hr)) return hr;
    Image heights;
    bool ok = d3dximage::LoadTexels(heights, srcDesc.Width, srcDesc.Height, srcDesc.Format, locked.pBits, locked.Pitch);
    srcTexture->UnlockRect(0);
    if (!ok) return D3DERR_INVALIDCALL;

    D3DSURFACE_DESC desc = {};
    hr = texture->GetLevelDesc(0, &desc);
    if (FAILED(hr)) return hr;
    if (desc.Width != heights.width || desc.Height != heights.height)
        heights = d3dximage::Resample(heights, desc.Width, desc.Height, D3DX_FILTER_TRIANGLE);
    Image level = d3dximage::ComputeNormalMap(heights, channel, flags, amplitude);
    for (UINT i = 0; i < texture->GetLevelCount(); ++i) {
        if (i > 0) {
            // Smaller levels average the normals below and make them unit length again.
            level = d3dximage::NextMipLevel(level, D3DX_FILTER_BOX);
            for (uint32_t& t : level.texels) {
                float n[3];
                for (int k = 0; k < 3; ++k) n[k] = ((t >> (16 - 8 * k)) & 0xff) / 127.5f - 1.0f;
                float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
                if (len < 1e-6f) continue;
                uint32_t out = 0xff000000u;
                for (int k = 0; k < 3; ++k) {
                    float v = (n[k] / len + 1.0f) * 127.5f + 0.5f;
                    out |= uint32_t(std::min(255.0f, std::max(0.0f, v))) << (16 - 8 * k);
                }
                t = out;
            }
        }
        D3DSURFACE_DESC ld = {};
        hr = texture->GetLevelDesc(i, &ld);
        if (FAILED(hr)) return hr;
        hr = WriteLevel(
            level, ld, D3DX_FILTER_BOX, [&](D3DLOCKED_RECT* r) { return texture->LockRect(i, r, nullptr, 0); },
            [&] { texture->UnlockRect(i); });
        if (FAILED(hr)) return hr;
    }
    return D3D_OK;
}
