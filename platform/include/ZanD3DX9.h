// The D3DX 9 subset the engine calls: matrix routines, textures from image files or empty,
// and fonts drawn with DrawTextA.
//
// Image files: PNG, BMP, JPEG and TGA, recognised by their contents (other files fail with
// D3DXERR_INVALIDDATA). A texture keeps the image's own width and height when D3DX_DEFAULT
// (or 0, D3DX_DEFAULT_NONPOW2, D3DX_FROM_FILE) is asked for: no padding to powers of two.
//
// Fonts: the face name (GBK) resolves through fontconfig with a Chinese language hint, so
// "黑体", "宋体" or "系统" find a CJK face. Text is GBK, converted to Unicode for drawing.
#pragma once

#include "ZanD3D9.h"

#define D3DX_DEFAULT ((UINT)-1)
#define D3DX_DEFAULT_NONPOW2 ((UINT)-2)
#define D3DX_FROM_FILE ((UINT)-3)
#define D3DFMT_FROM_FILE ((D3DFORMAT)-3)

#define D3DX_FILTER_NONE 0x00000001u
#define D3DX_FILTER_POINT 0x00000002u
#define D3DX_FILTER_LINEAR 0x00000003u
#define D3DX_FILTER_TRIANGLE 0x00000004u
#define D3DX_FILTER_BOX 0x00000005u

#define D3DXERR_INVALIDDATA ((HRESULT)0x88760B59u)

// ---- matrices ----
struct D3DXVECTOR2
{
    float x, y;
    D3DXVECTOR2() = default;
    D3DXVECTOR2(float x_, float y_) : x(x_), y(y_) {}
};

struct D3DXVECTOR3 : D3DVECTOR
{
    D3DXVECTOR3() = default;
    D3DXVECTOR3(float x_, float y_, float z_) : D3DVECTOR{x_, y_, z_} {}
};

struct D3DXMATRIX : D3DMATRIX
{
    D3DXMATRIX() = default;
    D3DXMATRIX(const D3DMATRIX& other) : D3DMATRIX(other) {}
    D3DXMATRIX(float m11, float m12, float m13, float m14, float m21, float m22, float m23,
               float m24, float m31, float m32, float m33, float m34, float m41, float m42,
               float m43, float m44);
    float& operator()(UINT row, UINT col) { return m[row][col]; }
    float operator()(UINT row, UINT col) const { return m[row][col]; }
    D3DXMATRIX operator*(const D3DXMATRIX& rhs) const;
    D3DXMATRIX& operator*=(const D3DXMATRIX& rhs);
    bool operator==(const D3DXMATRIX& rhs) const;
    bool operator!=(const D3DXMATRIX& rhs) const { return !(*this == rhs); }
};

// Each routine writes to out and returns out. Multiply allows out to alias an operand.
D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out);
BOOL D3DXMatrixIsIdentity(const D3DXMATRIX* m);
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b);
D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, float sx, float sy, float sz);
D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z);
D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, float angle);
D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* out, const D3DXMATRIX* m);
// Left-handed orthographic projections mapping x l..r and y b..t to -1..1, z zn..zf to 0..1.
D3DXMATRIX* D3DXMatrixOrthoLH(D3DXMATRIX* out, float w, float h, float zn, float zf);
D3DXMATRIX* D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* out, float l, float r, float b, float t,
                                       float zn, float zf);
// Transforms (x, y, z, 1) and divides by w.
D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m);

// ---- textures ----
enum D3DXIMAGE_FILEFORMAT
{
    D3DXIFF_BMP = 0,
    D3DXIFF_JPG = 1,
    D3DXIFF_TGA = 2,
    D3DXIFF_PNG = 3,
    D3DXIFF_DDS = 4,
    D3DXIFF_PPM = 5,
    D3DXIFF_DIB = 6,
    D3DXIFF_HDR = 7,
    D3DXIFF_PFM = 8
};

struct D3DXIMAGE_INFO
{
    UINT Width;
    UINT Height;
    UINT Depth;
    UINT MipLevels;
    D3DFORMAT Format;
    D3DRESOURCETYPE ResourceType;
    D3DXIMAGE_FILEFORMAT ImageFileFormat;
};

struct PALETTEENTRY
{
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};

// Reads the image header only.
HRESULT D3DXGetImageInfoFromFileA(LPCSTR file, D3DXIMAGE_INFO* info);
HRESULT D3DXGetImageInfoFromFileInMemory(const void* data, UINT size, D3DXIMAGE_INFO* info);

// Loads an image into a new texture of format A8R8G8B8 (or the format asked for, when it is
// X8R8G8B8). width/height other than the defaults give a texture of that size: with
// D3DX_FILTER_NONE the image sits at its top-left corner (the rest transparent black), with
// any other filter it is scaled to fit (nearest texel). A non-zero colour key turns every
// pixel equal to it (compared as 0xAARRGGBB) into transparent black. info, when given,
// receives the file's own size and format. Palettes are not supported (ignored).
HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, LPCSTR file, UINT width, UINT height,
                                     UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                     DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                     D3DXIMAGE_INFO* info, PALETTEENTRY* palette,
                                     IDirect3DTexture9** texture);
HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* data, UINT size,
                                            UINT width, UINT height, UINT mipLevels, DWORD usage,
                                            D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                            DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* info, PALETTEENTRY* palette,
                                            IDirect3DTexture9** texture);
HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* device, LPCSTR file,
                                   IDirect3DTexture9** texture);
// An empty (transparent black) texture; D3DX_DEFAULT sizes give 256.
HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT mipLevels,
                          DWORD usage, D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture);

// ---- fonts ----
#ifndef DT_TOP
#define DT_TOP 0x00000000u
#define DT_LEFT 0x00000000u
#define DT_CENTER 0x00000001u
#define DT_RIGHT 0x00000002u
#define DT_VCENTER 0x00000004u
#define DT_BOTTOM 0x00000008u
#define DT_WORDBREAK 0x00000010u
#define DT_SINGLELINE 0x00000020u
#define DT_EXPANDTABS 0x00000040u
#define DT_NOCLIP 0x00000100u
#define DT_CALCRECT 0x00000400u
#define DT_NOPREFIX 0x00000800u
#endif

#ifndef FW_NORMAL
#define FW_DONTCARE 0
#define FW_NORMAL 400
#define FW_BOLD 700
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define GB2312_CHARSET 134
#define OUT_DEFAULT_PRECIS 0
#define OUT_TT_PRECIS 4
#define CLIP_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define ANTIALIASED_QUALITY 4
#define CLEARTYPE_QUALITY 5
#define DEFAULT_PITCH 0
#define FF_DONTCARE 0
#endif

struct ID3DXSprite; // text is always drawn by the font itself: pass null

struct D3DXFONT_DESCA
{
    INT Height;
    UINT Width;
    UINT Weight;
    UINT MipLevels;
    BOOL Italic;
    BYTE CharSet;
    BYTE OutputPrecision;
    BYTE Quality;
    BYTE PitchAndFamily;
    char FaceName[32];
};

struct ID3DXFont : IUnknown
{
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    virtual HRESULT GetDescA(D3DXFONT_DESCA* desc) = 0;
    // Draws GBK text (count -1: up to the terminating zero) in the rectangle with the DT_*
    // format and colour (alpha included), alpha-blended, without changing any device state.
    // Lines break at '\n' unless DT_SINGLELINE; DT_WORDBREAK does not wrap, a tab is one space.
    // Without DT_NOCLIP glyphs are clipped to the rectangle. DT_CALCRECT only measures: the
    // rectangle's right and bottom are set to fit the text. Returns the height of the text in
    // pixels (with DT_VCENTER or DT_BOTTOM: from the rectangle's top to the text's bottom), 0
    // on failure or empty text.
    virtual INT DrawTextA(ID3DXSprite* sprite, LPCSTR text, INT count, RECT* rect, DWORD format,
                          D3DCOLOR color) = 0;
    virtual HRESULT OnLostDevice() = 0;
    virtual HRESULT OnResetDevice() = 0;
};

typedef ID3DXFont* LPD3DXFONT;
typedef ID3DXSprite* LPD3DXSPRITE;

// height > 0: cell height in pixels (one line; in a face with ideographs they fill the cell,
// one em, as in the Chinese faces the game names); height < 0: character (em) height;
// 0: 16. width is not used (glyphs keep their proportions). weight >= 600 gives bold, italic slants
// the glyphs. Fails with D3DERR_NOTAVAILABLE when no font file matches the face at all.
HRESULT D3DXCreateFontA(IDirect3DDevice9* device, INT height, UINT width, UINT weight,
                        UINT mipLevels, BOOL italic, DWORD charSet, DWORD outputPrecision,
                        DWORD quality, DWORD pitchAndFamily, LPCSTR faceName, ID3DXFont** font);
