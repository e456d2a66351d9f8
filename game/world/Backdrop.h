// The map's tinted sky pictures (sky, far islands, islands) composed once into one picture of
// the window, drawn as a single opaque quad instead of one layer over another each frame.
#pragma once

#include "ZanEngine.h"

#include <vector>

/// Composes the map's tinted sky pictures into one window-sized texture and, each frame, draws
/// it in their common colour in place of them. Tinting is a product, so the picture composed
/// untinted and then tinted is the layers tinted and then composed: the hour's colour never
/// asks for composing again. Frames where that would not hold (a picture between two of them
/// overlaps a higher one, the layers moved, changed opacity or colour apart) show the layers
/// themselves. Where the picture is smooth (most of the sky) it is drawn in vertex colours,
/// which a software rasteriser fills for about half the cost of texturing. Holds map objects by
/// id only, so the map may be cleared before Release.
class CBackdrop : public IZanRender
{
public:
    CBackdrop();
    ~CBackdrop() override;
    const char* GetResourceType() const override { return "背景"; }

    /// Composes the current map's tinted sky pictures for a window of width x height and
    /// registers to draw. Nothing is composed (and the layers draw as before) when they are not
    /// all unrotated, pixel-aligned and unscaled but for mirroring, or leave part of the window
    /// uncovered.
    void Build(int width, int height);
    /// Once per frame, after the map's objects updated: shows the composed picture or the layers.
    void Update();
    /// Draws the composed picture when it is shown.
    void Render() override;
    /// Shows the layers again and unregisters; the composed picture is dropped.
    void Release();

    /// Whether this frame draws the composed picture instead of the layers.
    bool IsShown() const { return m_bShown; }
    /// Off forces the layers (for comparing pictures); on by default.
    void SetEnabled(bool enabled) { m_bEnabled = enabled; }

private:
    CBackdrop(const CBackdrop&) = delete;
    CBackdrop& operator=(const CBackdrop&) = delete;

    struct Layer
    {
        unsigned long id;
        CZanVector position, scale;
        float alpha;
    };
    // A square of the picture that its four corner colours shade as the renderer would,
    // within a level or two, drawn without the texture; the rest is drawn from the texture.
    struct Cell
    {
        float left, top, right, bottom;
        uint32_t corner[4]; ///< untinted, clockwise from the top left
    };
    bool Compose(const std::vector<CZanSprite*>& sprites);
    void Divide(const std::vector<uint32_t>& canvas);
    bool CanShow() const;
    void ShowLayers(bool visible);

    std::vector<Layer> m_vecLayers;
    CZanResPtr<CZanTexture> m_Texture;
    std::vector<Cell> m_vecShaded;
    std::vector<ZanQuad> m_vecTextured; ///< rows of cells drawn from the texture
    int m_nWidth, m_nHeight;
    int m_nTopLevel; ///< highest render level among the layers
    bool m_bRegistered, m_bShown, m_bEnabled;
};
