// A Direct3D device set up the way the engine sets it up, quads to draw through it, and
// small image files for the loaders.
#pragma once

#include "ZanD3D9Record.h"
#include "ZanD3DX9.h"
#include "ZanHeadless.h"

#include <string>
#include <vector>

namespace d3dtest
{
HWND MakeWindow(int width, int height);

struct Rig
{
    HWND window = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    int width = 0, height = 0;
    std::vector<ZanD3DVertex> pending;

    ~Rig();
    // Creates the device on a new window with the engine's buffers and fixed states.
    bool Create(int w, int h);
    // The engine's blend-mode bits: 1 add colour, 2 alpha blend (else additive).
    void SetBlendMode(int mode);
    void Quad(float x, float y, float w, float h, D3DCOLOR color, float u0 = 0, float v0 = 0,
              float u1 = 1, float v1 = 1);
    HRESULT Flush();            // pending quads as one indexed triangle list
    HRESULT FlushOutlines();    // pending quads as a line list of their edges
    void Frame(D3DCOLOR clear); // Clear + BeginScene
    void Present();             // EndScene + Present
};

// Pixel of the last presented frame (0xAARRGGBB).
uint32_t Pixel(int x, int y);

// A texture filled from 0xAARRGGBB pixels, row 0 at the top.
IDirect3DTexture9* MakeTexture(IDirect3DDevice9* device, int w, int h,
                               const std::vector<uint32_t>& pixels);

// Image files from 0xAARRGGBB pixels.
std::string EncodePng(int w, int h, const std::vector<uint32_t>& pixels);
// A PNG of any bit depth and colour type from filtered scanlines (each row starts with its
// filter byte), with extra chunks (PngChunk: PLTE, tRNS, ...) before the image data.
std::string EncodePngRaw(int w, int h, int depth, int colorType, const std::string& rows,
                         const std::string& chunksBeforeData = "");
std::string PngChunk(const char* type, const std::string& data);
std::string EncodeBmp24(int w, int h, const std::vector<uint32_t>& pixels);
std::string EncodeTga32(int w, int h, const std::vector<uint32_t>& pixels);

// Channels differ by at most `tolerance`.
bool Near(uint32_t a, uint32_t b, int tolerance);
} // namespace d3dtest
