// D3DX textures: from image files (PNG, BMP, JPEG, TGA through stb_image) and empty ones.
#include "D3DInternal.h"
#include "ZanD3DX9.h"

#include <cstdio>
#include <cstring>
#include <stb_image.h>

namespace
{
constexpr size_t kMaxFileBytes = 64u << 20;
constexpr int kMaxSide = 16384;
constexpr int64_t kMaxPixels = int64_t(1) << 24; // 4096 x 4096

// The decoder is only trusted with the formats we ship, recognised by their first bytes.
bool Recognise(const uint8_t* d, size_t n, D3DXIMAGE_FILEFORMAT* format)
{
    static const uint8_t png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (n >= 8 && std::memcmp(d, png, 8) == 0)
        return *format = D3DXIFF_PNG, true;
    if (n >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF)
        return *format = D3DXIFF_JPG, true;
    if (n >= 26 && d[0] == 'B' && d[1] == 'M')
        return *format = D3DXIFF_BMP, true;
    // TGA has no signature: check its header for a plausible image.
    if (n >= 18)
    {
        const int colorMapType = d[1], imageType = d[2];
        const int width = d[12] | (d[13] << 8), height = d[14] | (d[15] << 8), bits = d[16];
        const bool typeOk = imageType == 1 || imageType == 2 || imageType == 3 || imageType == 9 ||
                            imageType == 10 || imageType == 11;
        const bool bitsOk = bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
        const bool mapOk =
            colorMapType == 0 || (colorMapType == 1 && (imageType == 1 || imageType == 9));
        if (mapOk && typeOk && bitsOk && width > 0 && height > 0)
            return *format = D3DXIFF_TGA, true;
    }
    return false;
}

bool ReadFile(LPCSTR path, std::vector<uint8_t>& bytes)
{
    if (!path)
        return false;
    FILE* f = ZanFileOpen(path, "rb");
    if (!f)
        return false;
    uint8_t chunk[65536];
    size_t got;
    bool ok = true;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0)
    {
        if (bytes.size() + got > kMaxFileBytes)
        {
            ok = false;
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    std::fclose(f);
    return ok && !bytes.empty();
}

HRESULT Info(const uint8_t* data, size_t size, D3DXIMAGE_INFO* info, int* components)
{
    D3DXIMAGE_FILEFORMAT format;
    if (!data || size == 0 || size > kMaxFileBytes || !Recognise(data, size, &format))
        return D3DXERR_INVALIDDATA;
    int w = 0, h = 0, comp = 0;
    if (!stbi_info_from_memory(data, int(size), &w, &h, &comp) || w <= 0 || h <= 0 ||
        w > kMaxSide || h > kMaxSide || int64_t(w) * h > kMaxPixels)
        return D3DXERR_INVALIDDATA;
    if (info)
    {
        info->Width = UINT(w);
        info->Height = UINT(h);
        info->Depth = 1;
        info->MipLevels = 1;
        info->Format = comp == 4 || comp == 2 ? D3DFMT_A8R8G8B8
                       : comp == 3            ? D3DFMT_R8G8B8
                                              : D3DFMT_X8R8G8B8;
        info->ResourceType = D3DRTYPE_TEXTURE;
        info->ImageFileFormat = format;
    }
    if (components)
        *components = comp;
    return D3D_OK;
}

bool IsDefault(UINT size)
{
    return size == 0 || size == D3DX_DEFAULT || size == D3DX_DEFAULT_NONPOW2 ||
           size == D3DX_FROM_FILE;
}
} // namespace

HRESULT D3DXGetImageInfoFromFileInMemory(const void* data, UINT size, D3DXIMAGE_INFO* info)
{
    return Info(static_cast<const uint8_t*>(data), size, info, nullptr);
}

HRESULT D3DXGetImageInfoFromFileA(LPCSTR file, D3DXIMAGE_INFO* info)
{
    std::vector<uint8_t> bytes;
    if (!ReadFile(file, bytes))
        return D3DERR_NOTAVAILABLE;
    return Info(bytes.data(), bytes.size(), info, nullptr);
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
    D3DXIMAGE_INFO header;
    HRESULT hr = Info(static_cast<const uint8_t*>(data), size, &header, nullptr);
    if (FAILED(hr))
        return hr;
    int w = 0, h = 0, comp = 0;
    stbi_uc* rgba =
        stbi_load_from_memory(static_cast<const stbi_uc*>(data), int(size), &w, &h, &comp, 4);
    if (!rgba)
        return D3DXERR_INVALIDDATA;
    if (w != int(header.Width) || h != int(header.Height))
    {
        stbi_image_free(rgba);
        return D3DXERR_INVALIDDATA;
    }
    const UINT texW = IsDefault(width) ? UINT(w) : width;
    const UINT texH = IsDefault(height) ? UINT(h) : height;
    const D3DFORMAT texFormat = format == D3DFMT_X8R8G8B8 ? D3DFMT_X8R8G8B8 : D3DFMT_A8R8G8B8;
    IDirect3DTexture9* made = nullptr;
    hr = device->CreateTexture(texW, texH, 1, usage, texFormat, pool, &made, nullptr);
    if (FAILED(hr))
    {
        stbi_image_free(rgba);
        return hr;
    }
    D3DLOCKED_RECT locked;
    if (FAILED(made->LockRect(0, &locked, nullptr, 0)))
    {
        stbi_image_free(rgba);
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
                const stbi_uc* p = rgba + (size_t(sy) * size_t(w) + sx) * 4;
                pixel = (uint32_t(p[3]) << 24) | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) |
                        uint32_t(p[2]);
                if (colorKey != 0 && pixel == colorKey)
                    pixel = 0;
            }
            row[x] = pixel;
        }
    }
    made->UnlockRect(0);
    stbi_image_free(rgba);
    if (info)
        *info = header;
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
