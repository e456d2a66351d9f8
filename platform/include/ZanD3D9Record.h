// What the Direct3D 9 stand-in recorded: for tests that check the engine's call sequences and
// pixels. Every device records its calls, in both backends; the record of a frame runs from
// one Present to the next. Recording copies no vertices: a draw call refers to the buffer
// storage it used, which stays alive (and unchanged) while the record does.
//
// The rasterised picture of the last presented frame (ZanHeadlessFrame) is computed only when
// asked for, with the same rules as the OpenGL backend: D3D pixel centres, top-left fill rule,
// nearest-texel sampling, stage 0 colour/alpha operation, alpha test, blending. Lines
// may differ from OpenGL's by a pixel at their ends; points are not drawn by either.
#pragma once

#include "ZanD3D9.h"

#include <memory>
#include <vector>

// One vertex of format 0x142 (D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1).
struct ZanD3DVertex
{
    float x, y, z;
    D3DCOLOR color;
    float u, v;
};

enum class ZanD3DOp : uint8_t
{
    Clear, // a = flags, b = colour, c = rectangles taken in order from clearRects
    BeginScene,
    EndScene,
    Present,              // always the last call of a frame
    SetRenderState,       // a = state, b = value
    SetTextureStageState, // a = stage, b = type, c = value
    SetSamplerState,      // a = sampler, b = type, c = value
    SetTransform,         // a = state (the matrix is in the draws' state)
    SetTexture,           // a = stage, object = texture or null
    SetFVF,               // a = fvf
    SetStreamSource,      // a = stream, b = offset, c = stride, object = buffer or null
    SetIndices,           // object = buffer or null
    SetViewport,
    Draw, // a = index into ZanD3DFrameRecord::draws
    Text, // a = index into draws (text drawn by a D3DX font)
};

struct ZanD3DCall
{
    ZanD3DOp op;
    uint32_t a, b, c;
    const void* object; // identity only: never dereference, it may be released
};

// The fixed-function state a draw call used.
struct ZanD3DDrawState
{
    DWORD alphaBlendEnable, srcBlend, destBlend, blendOp;
    DWORD alphaTestEnable, alphaRef, alphaFunc;
    DWORD cullMode, zWriteEnable, lighting;
    DWORD colorOp, colorArg1, colorArg2, alphaOp, alphaArg1, alphaArg2;
    DWORD textureFactor;
    DWORD addressU, addressV;
    D3DMATRIX world, view, projection;
    D3DVIEWPORT9 viewport;
};

struct ZanD3DTexturePixels
{
    int width = 0, height = 0;
    bool opaque = false;          // X8R8G8B8: alpha reads as 0xFF
    std::vector<uint32_t> pixels; // 0xAARRGGBB, row 0 at the top
};

struct ZanD3DDraw
{
    D3DPRIMITIVETYPE type;
    UINT primitiveCount;
    bool indexed;
    bool text;           // drawn by a D3DX font rather than by the application
    const void* texture; // identity of the bound texture, or null
    std::shared_ptr<const ZanD3DTexturePixels> pixels; // its contents at the draw, or null
    ZanD3DDrawState state;
    // The vertices the draw reads: vertices[i] for i in 0..vertexCount-1; indexed draws
    // take vertices[baseVertex + indices[k]] for k in 0..indexCount-1.
    const ZanD3DVertex* vertices;
    UINT vertexCount;
    const uint16_t* indices; // null when not indexed
    UINT indexCount;
    INT baseVertex;
    uint16_t minIndex, maxIndex; // range of the indices used
};

struct ZanD3DFrameRecord
{
    int width = 0, height = 0; // back buffer
    std::vector<ZanD3DCall> calls;
    std::vector<ZanD3DDraw> draws;
    std::vector<D3DRECT> clearRects;               // cleared areas, already cut to the viewport
    std::vector<std::shared_ptr<const void>> keep; // storage the draws refer to
    unsigned drawCalls = 0;                        // application draws (not text)
};

// The record of the last presented frame, or null before the first Present.
const ZanD3DFrameRecord* ZanD3DLastFrame();
// The calls recorded since the last Present (the frame being built).
const ZanD3DFrameRecord* ZanD3DCurrentFrame();
// The picture after the last presented frame, 0xAARRGGBB, row 0 at the top (as
// ZanHeadlessFrame), rasterised on first request.
const unsigned* ZanD3DLastFramePixels(int* width, int* height);
// Rasterises a record onto a picture of its size, as the devices draw it.
void ZanD3DRasterise(const ZanD3DFrameRecord& frame, std::vector<uint32_t>& picture);

// What rasterising a frame takes: the fragments its draws cover on the picture (each one
// shaded), those of them that sample a texture (a software rasteriser's dearest step) and
// those blended with what lies beneath. A draw whose every fragment is opaque is written
// without blending, by both backends.
struct ZanD3DFrameCost
{
    uint64_t fragments = 0, blended = 0, textured = 0;
};
ZanD3DFrameCost ZanD3DMeasureFrame(const ZanD3DFrameRecord& frame);

// The OpenGL device's back buffer as it stands (after Present too), 0xAARRGGBB, row 0 at the
// top. False for a headless device.
bool ZanD3DReadBack(IDirect3DDevice9* device, std::vector<uint32_t>& picture);

// Makes every device report D3DERR_DEVICELOST from TestCooperativeLevel (and skip drawing)
// until called again with false. For testing the engine's recovery.
void ZanD3DSimulateDeviceLost(bool lost);
