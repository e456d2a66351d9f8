// A headless engine with a graphics device and a resource manager, frames driven by hand.
#pragma once

#include "D3DTestUtil.h"

#include "TestSupport.h"
#include "ZanD3D9Record.h"
#include "ZanEngine.h"
#include "ZanHeadless.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class GraphicsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ZanHeadlessEnable();
        engine = KovCreate(9);
        resources = KovResourceCreate();
        game = new IdleGame;
        game->m_bWindowed = true;
        ASSERT_TRUE(engine->LoadGame(game));
        ASSERT_TRUE(engine->SystemInitiate());
    }
    void TearDown() override
    {
        delete game;
        resources->Release();
        engine->Release();
    }

    // One frame as the engine loop draws it; returns its record.
    const ZanD3DFrameRecord& Frame(const std::function<void()>& draw)
    {
        g_pGraphics->ClearRender(0);
        g_pGraphics->BeginRender();
        draw();
        g_pGraphics->EndRender();
        return *ZanD3DLastFrame();
    }
    const ZanD3DFrameRecord& RenderListFrame()
    {
        return Frame([] { g_pGraphics->RenderGraphics(); });
    }

    zantest::ScopedWorkDir dir;
    CZanEngine* engine = nullptr;
    CZanResourceMgr* resources = nullptr;
    IdleGame* game = nullptr;
};

// The application's draw calls of a frame (text excluded).
inline std::vector<const ZanD3DDraw*> QuadDraws(const ZanD3DFrameRecord& frame)
{
    std::vector<const ZanD3DDraw*> out;
    for (const ZanD3DDraw& d : frame.draws)
        if (!d.text)
            out.push_back(&d);
    return out;
}

// Vertex k of a draw as the device reads it (indexed draws through their indices).
inline ZanD3DVertex DrawVertex(const ZanD3DDraw& d, unsigned k)
{
    if (d.indexed)
        return d.vertices[d.baseVertex + d.indices[k]];
    return d.vertices[k];
}

// Writes a 24-bit BMP of w x h whose pixel (x, y) is pixel(x, y) (0xRRGGBB). GBK name.
inline void WriteBmp(const char* gbkName, int w, int h,
                     const std::function<uint32_t(int, int)>& pixel)
{
    std::vector<uint32_t> pixels(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixels[size_t(y) * size_t(w) + size_t(x)] = pixel(x, y);
    zantest::WriteFile(ZanNativePath(gbkName), d3dtest::EncodeBmp24(w, h, pixels));
}

// A resource file (UTF-8 text given as a u8 literal) written under a GBK name.
inline void WriteResourceFile(const char* gbkName, const std::string& utf8)
{
    zantest::WriteFile(ZanNativePath(gbkName), utf8);
}
