// D3DX textures: from image files (PNG, JPEG, BMP, TGA) and empty ones.
#include "D3DInternal.h"
#include "Image.h"
#include "ZanD3DX9.h"

#include <cstdio>
#include <cstring>

namespace
{
bool ReadFile(LPCSTR path, std::vector<uint8_t>& bytes)
{
    std::string text;
    if (!path || !ZanFileReadAll(path, kZanImageMaxFileBytes, text) || text.empty())
        return false;
    bytes.assign(text.begin(), text.end());
    return true;
}

D3DXIMAGE_FILEFORMAT FileFormat(ZanImageKind kind)
{
    switch (kind)
    {
    case ZanImageKind::Jpeg:
        return D3DXIFF_JPG;
    case ZanImageKind::Bmp:
        return D3DXIFF_BMP;
    case ZanImageKind::Tga:
        return D3DXIFF_TGA;
    default:
        return D3DXIFF_PNG;
    }
}

void Describe(const ZanImageHeader& header, D3DXIMAGE_INFO* info)
{
    if (!info)
        return;
    const int comp = header.components;
    info->Width = UINT(header.width);
    info->Height = UINT(header.height);
    info->Depth = 1;
    info->MipLevels = 1;
    info->Format = comp == 4 || comp == 2 ? D3DFMT_A8R8G8B8
                   : comp == 3            ? D3DFMT_R8G8B8
                                          : D3DFMT_X8R8G8B8;
    info->ResourceType = D3DRTYPE_TEXTURE;
    info->ImageFileFormat = FileFormat(header.kind);
}

bool IsDefault(UINT size)
{
    return size == 0 || size == D3DX_DEFAULT || size == D3DX_DEFAULT_NONPOW2 ||
           size == D3DX_FROM_FILE;
}
} // namespace

HRESULT D3DXGetImageInfoFromFileInMemory(const void* data, UINT size, D3DXIMAGE_INFO* info)
{
    ZanImageHeader header;
    if (!ZanImageReadHeader(static_cast<const uint8_t*>(data), size, header))
        return D3DXERR_INVALIDDATA;
    Describe(header, info);
    return D3D_OK;
}

HRESULT D3DXGetImageInfoFromFileA(LPCSTR file, D3DXIMAGE_INFO* info)
{
    std::vector<uint8_t> bytes;
    if (!ReadFile(file, bytes))
        return D3DERR_NOTAVAILABLE;
    return D3DXGetImageInfoFromFileInMemory(bytes.data(), UINT(bytes.size()), info);
}

HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* data, UINT size,
                                            UINT width, UINT height, UINT, DWORD usage,
                                            D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD,
                                            D3DCOLOR colorKey, D3DXIMAGE_INFO* info, PALETTEENTRY*,
                                            IDirect3DTexture9** texture)
{
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (!device || !data)
        return D3DERR_INVALIDCALL;
    ZanImageHeader header;
    std::vector<uint8_t> rgba;
    if (!ZanImageDecode(static_cast<const uint8_t*>(data), size, header, rgba))
        return D3DXERR_INVALIDDATA;
    const int w = header.width, h = header.height;
    const UINT texW = IsDefault(width) ? UINT(w) : width;
    const UINT texH = IsDefault(height) ? UINT(h) : height;
    const D3DFORMAT texFormat = format == D3DFMT_X8R8G8B8 ? D3DFMT_X8R8G8B8 : D3DFMT_A8R8G8B8;
    IDirect3DTexture9* made = nullptr;
    const HRESULT hr = device->CreateTexture(texW, texH, 1, usage, texFormat, pool, &made, nullptr);
    if (FAILED(hr))
        return hr;
    D3DLOCKED_RECT locked;
    if (FAILED(made->LockRect(0, &locked, nullptr, 0)))
    {
        made->Release();
        return E_FAIL;
    }
    // Without filtering the image sits at the top-left, the rest transparent black; with any
    // filter it is stretched to the texture (nearest pixel).
    const bool stretch =
        (filter & 0xFF) != D3DX_FILTER_NONE && (texW != UINT(w) || texH != UINT(h));
    for (UINT y = 0; y < texH; ++y)
    {
        uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) +
                                                    size_t(y) * size_t(locked.Pitch));
        for (UINT x = 0; x < texW; ++x)
        {
            UINT sx = x, sy = y;
            if (stretch)
            {
                sx = UINT(uint64_t(x) * UINT(w) / texW);
                sy = UINT(uint64_t(y) * UINT(h) / texH);
            }
            uint32_t pixel = 0;
            if (sx < UINT(w) && sy < UINT(h))
            {
                const uint8_t* p = rgba.data() + (size_t(sy) * size_t(w) + sx) * 4;
                pixel = (uint32_t(p[3]) << 24) | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) |
                        uint32_t(p[2]);
                if (colorKey != 0 && pixel == colorKey)
                    pixel = 0;
            }
            row[x] = pixel;
        }
    }
    made->UnlockRect(0);
    Describe(header, info);
    *texture = made;
    return D3D_OK;
}

HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, LPCSTR file, UINT width, UINT height,
                                     UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                     DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                     D3DXIMAGE_INFO* info, PALETTEENTRY* palette,
                                     IDirect3DTexture9** texture)
{
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (!device || !file)
        return D3DERR_INVALIDCALL;
    std::vector<uint8_t> bytes;
    if (!ReadFile(file, bytes))
        return D3DERR_NOTAVAILABLE;
    return D3DXCreateTextureFromFileInMemoryEx(device, bytes.data(), UINT(bytes.size()), width,
                                               height, mipLevels, usage, format, pool, filter,
                                               mipFilter, colorKey, info, palette, texture);
}

HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* device, LPCSTR file,
                                   IDirect3DTexture9** texture)
{
    return D3DXCreateTextureFromFileExA(device, file, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                        D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT,
                                        0, nullptr, nullptr, texture);
}

HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture)
{
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (!device)
        return D3DERR_INVALIDCALL;
    if (IsDefault(width))
        width = 256;
    if (IsDefault(height))
        height = 256;
    if (format == D3DFMT_UNKNOWN)
        format = D3DFMT_A8R8G8B8;
    return device->CreateTexture(width, height, 1, usage, format, pool, texture, nullptr);
}
