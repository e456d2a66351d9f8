/// \file
/// Drawables built on quads: plain quads, sprites, frame animations and grid meshes.
///
/// Each object registers itself in the render list of g_pGraphics when constructed and leaves
/// it when destroyed; copies are independent registered objects. A sprite shares its texture
/// through its own counted handle, so copies and assignments keep the texture alive. Games
/// usually get them from CZanResourceMgr (CreateSprite, CreateAnim, ...), which wraps each
/// new object in a handle that deletes it.
#pragma once

#include "Zan/ZanGraphics.h"
#include "Zan/ZanMath.h"

/// A rectangle of width x height placed by its centre, rotated, then scaled along the screen
/// axes, then moved to its position. Drawn by itself as an untextured outline.
class CZanQuadGraphics : public IZanRender
{
public:
    /// A white width x height outline at (0, 0), registered at the given level.
    CZanQuadGraphics(float width, float height, int renderLevel);
    /// From a description; a null record gives a 0 x 0 quad at level 0.
    explicit CZanQuadGraphics(const ZanQuadG* record);
    /// Copies every member; the copy registers itself.
    CZanQuadGraphics(const CZanQuadGraphics& other);
    /// Copies the geometry, colour, level and visibility; registration is unchanged.
    CZanQuadGraphics& operator=(const CZanQuadGraphics& other);
    ~CZanQuadGraphics() override;
    const char* GetResourceType() const override { return "矩形资源"; }
    void Render() override;

    /// Size, corner offsets, level; visible, unrotated, unscaled, white, at (0, 0).
    void CreateQuad(float width, float height, int renderLevel);
    /// Places the centre, in screen pixels.
    void SetPosition(float x, float y);
    /// As SetPosition(float, float).
    void SetPosition(const CZanVector& position) { SetPosition(position.x, position.y); }
    /// The centre.
    CZanVector GetPosition() const { return CZanVector(m_fX, m_fY); }
    /// Scale factors along the screen axes, applied after the rotation; (1, 1) at first.
    void SetScale(float sx, float sy);
    /// As SetScale(float, float).
    void SetScale(const CZanVector& scale) { SetScale(scale.x, scale.y); }
    /// See SetScale.
    CZanVector GetScale() const { return CZanVector(m_fScaleX, m_fScaleY); }
    /// Both scale factors (the width and height stay).
    void SetSize(float s) { SetScale(s, s); }
    /// Turns the quad about its centre; a positive angle turns clockwise on screen.
    void SetRot(float radians) { m_fRot = radians; }
    /// See SetRot.
    float GetRot() const { return m_fRot; }
    /// The unscaled width.
    float GetWidth() const { return m_fWidth; }
    /// The unscaled height.
    float GetHeight() const { return m_fHeight; }
    /// Replaces the alpha (0 transparent to 1 opaque) of all four vertices.
    void SetAlpha(float alpha);
    /// See SetAlpha.
    float GetAlpha() const { return m_Color.alpha; }
    /// The packed 0xAARRGGBB colour of all four vertices.
    void SetColor(unsigned long packed);
    /// Each channel times 255, truncated.
    void SetColor(const CZanColor& color);
    /// The colour of the vertices.
    CZanColor GetColor() const { return m_Color; }
    /// The quad as last built (vertices of the latest Render).
    const ZanQuad& GetQuad() const { return m_Quad; }

protected:
    /// Zeroed, unregistered; for derived classes that register themselves.
    CZanQuadGraphics();
    /// The four corners rotated, scaled and moved: what Render writes into the vertices.
    void PlaceCorners(const float* offsets, ZanVertex* out) const;
    /// Writes the colour, packed, into the four vertices.
    void WriteVertexColors();

    ZanQuad m_Quad;      ///< what Render hands to the batcher
    float m_fRot;        ///< radians
    float m_fHeight;     ///< unscaled
    float m_fWidth;      ///< unscaled
    float m_fX;          ///< centre
    float m_fY;          ///< centre
    float m_fScaleX;     ///< factor along the screen's x
    float m_fScaleY;     ///< factor along the screen's y
    float m_afCorner[8]; ///< (x, y) of the corners relative to the centre, vertex order
    CZanColor m_Color;   ///< colour of the four vertices
};

/// A quad showing the window of a texture at a pixel offset, of the quad's own size; drawn
/// filled. Texture "无" means none: an untextured filled quad in the vertex colours.
class CZanSprite : public CZanQuadGraphics
{
public:
    /// Shows the width x height window of the named texture whose top-left corner is at
    /// (texOffsetX, texOffsetY) pixels; registered at the given level, at (0, 0).
    CZanSprite(const char* texture, float texOffsetX, float texOffsetY, float width, float height,
               int renderLevel);
    /// From a description; null gives an untextured 0 x 0 sprite.
    explicit CZanSprite(const ZanSprite* record);
    /// A registered copy sharing the texture (the count rises).
    CZanSprite(const CZanSprite& other);
    /// Takes the other's state and a counted reference to its texture.
    CZanSprite& operator=(const CZanSprite& other);
    ~CZanSprite() override;
    const char* GetResourceType() const override { return "精灵资源"; }
    void Render() override;

    /// Takes the named texture from the resource manager (an unknown name gives its default
    /// texture) and sets the texture window at (x, y).
    void CreateSprite(const char* texture, float x, float y);
    /// The texture handle (owned by the sprite), or null without a texture.
    CZanResPtr<CZanTexture>* GetTextureHandle() const { return m_pTexture; }

protected:
    /// Zeroed, without texture, unregistered; for derived classes that register themselves.
    CZanSprite();
    /// Drops the texture handle (the texture lives on while other handles share it).
    void ReleaseTexture();
    /// Draws only the parts of the texture window that show; false to draw the whole quad.
    bool RenderShownParts();

    CZanResPtr<CZanTexture>* m_pTexture; ///< owned; null without a texture
};

/// A sprite stepping through equally sized frames laid out on its texture in rows. Call
/// Update once per game frame; at most one frame is stepped per call.
class CZanAnim : public CZanSprite
{
public:
    /// A sprite whose first frame is the window at (texOffsetX, texOffsetY); the next frames
    /// follow to its right, row by row, at `fps` frames per second. Stopped at frame 0.
    CZanAnim(const char* texture, int frames, float fps, float texOffsetX, float texOffsetY,
             float width, float height, int renderLevel);
    /// From a description; null gives one empty frame.
    explicit CZanAnim(const ZanAnim* record);
    /// A registered copy sharing the texture, with its own frame table.
    CZanAnim(const CZanAnim& other);
    /// Takes the other's state and frame table (copied) and shares its texture.
    CZanAnim& operator=(const CZanAnim& other);
    ~CZanAnim() override;
    const char* GetResourceType() const override { return "动画资源"; }

    /// Lays out the frame rectangles and shows frame 0.
    void CreateAnim(int frames, float fps);
    /// Starts from the current frame; `loops` 0 plays until stopped. Ignored while playing.
    void Play(int loops);
    /// Holds the current frame.
    void Stop() { m_bPlaying = false; }
    /// Plays on from the current frame, keeping the loop count of the last Play.
    void Resume() { m_bPlaying = true; }
    /// False after Stop and once the last loop has ended.
    bool IsPlaying() const { return m_bPlaying; }
    /// Steps one frame when more than a frame's time has passed on the engine's clock; the
    /// argument is not used.
    void Update(float unused = 0.0f);
    /// A frame outside 0 .. frames-1 is reported and frame 0 is shown.
    void SetFrame(int frame);
    /// The frame on show, from 0.
    int GetFrame() const { return m_nCurFrame; }
    /// The count Update and SetFrame use; frames past the laid-out ones show frame 0.
    void SetFrames(int frames) { m_nFrames = frames; }
    /// See SetFrames.
    int GetFrames() const { return m_nFrames; }
    /// false plays the frames backwards, from frame 0 to the last.
    void SetForward(bool forward) { m_bForward = forward; }
    /// 1 forwards, 0 backwards.
    int GetForward() const { return m_bForward ? 1 : 0; }
    /// Frames per second.
    void SetSpeed(float fps) { m_fSecondsPerFrame = 1.0f / fps; }
    /// Frames per second.
    float GetSpeed() const { return 1.0f / m_fSecondsPerFrame; }
    /// Corner (0..3) of a frame rectangle as (u, v); (0, 0) outside the laid-out frames.
    CZanVector GetFrameCorner(int frame, int corner) const;

private:
    void ApplyFrame(int frame);

    bool m_bPlaying;
    bool m_bForward;
    float m_fSecondsPerFrame;
    int m_nLoops;
    int m_nAdvanced;
    bool m_bCreated;
    int m_nFrames;
    int m_nCurFrame;
    CZanVector* m_pRect; ///< m_nRectCount x 4 texture coordinates
    double m_dLastStep;
    int m_nRectCount; ///< frames laid out by CreateAnim
};

/// A texture window drawn through a grid of columns x rows nodes, each with its own position,
/// depth, colour and texture coordinate. Needs at least 2 x 2 nodes to draw.
class CZanMesh : public CZanSprite
{
public:
    /// A grid of columns x rows nodes spanning width x height, centred at (0, 0), showing the
    /// texture window at (texOffsetX, texOffsetY).
    CZanMesh(const char* texture, float texOffsetX, float texOffsetY, float width, float height,
             int columns, int rows, int renderLevel);
    /// From a description; null gives an untextured 2 x 2 grid of size 0.
    explicit CZanMesh(const ZanMesh* record);
    /// A registered copy sharing the texture, with its own nodes.
    CZanMesh(const CZanMesh& other);
    /// Copies the nodes (never shares them).
    CZanMesh& operator=(const CZanMesh& other);
    ~CZanMesh() override;
    const char* GetResourceType() const override { return "网格资源"; }
    void Render() override;

    /// New nodes, all white at depth 0.5 and at (0, 0); call SetTextureRect next. A count
    /// below 1, or more than 65536 nodes, gives an empty grid that draws nothing.
    void CreateMesh(int columns, int rows);
    /// Lays the nodes out centred on the position, spanning w x h, showing the texture window
    /// (x, y, w, h).
    void SetTextureRect(float x, float y, float w, float h);
    /// The window last set; null pointers are skipped.
    void GetTextureRect(float* x, float* y, float* w, float* h) const;
    /// Every node back to its rest place, with the colour and depth given.
    void Clear(unsigned long color, float z);
    /// Node setters ignore nodes outside the grid; getters return 0 for them.
    void SetZ(int column, int row, float z);
    /// A node's depth.
    float GetZ(int column, int row) const;
    using CZanQuadGraphics::SetColor;
    /// A node's packed 0xAARRGGBB colour.
    void SetColor(int column, int row, unsigned long color);
    /// A node's packed colour.
    unsigned long GetColor(int column, int row) const;
    /// The alpha of every node.
    void SetAlpha(float alpha);
    /// Reference 0: offset from the node's grid place; 2: from the grid centre; other: from
    /// the top-left node, which sits at the mesh position.
    void SetDisplacement(int column, int row, float dx, float dy, int reference);
    /// The inverse of SetDisplacement (reference 1: the plain node position). Nothing is
    /// written for nodes outside the grid, an unknown reference or a null pointer.
    void GetDisplacement(int column, int row, float* dx, float* dy, int reference) const;
    /// ZAN_BLEND_* bits for every cell.
    void SetBlendMode(int mode) { m_Quad.nBlend = mode; }
    /// See SetBlendMode.
    int GetBlendMode() const { return m_Quad.nBlend; }
    /// Nodes down the grid.
    int GetRows() const { return m_nRows; }
    /// Nodes across the grid.
    int GetColumns() const { return m_nColumns; }
    /// Node (column, row), or null outside the grid.
    const ZanVertex* GetNode(int column, int row) const;

private:
    CZanMesh();
    int NodeIndex(int column, int row) const;

    ZanVertex* m_pNodes;
    int m_nRows;
    int m_nColumns;
    float m_fCellWidth;
    float m_fCellHeight;
    float m_fTexX;
    float m_fTexY;
};
