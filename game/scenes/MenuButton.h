// CMenuButton and CFadeImage: the pieces the splash, menu and wait screens are built from.
#pragma once

#include "ZanEngine.h"

/// A button drawn by a three-frame animation (normal, hovered, pressed) with a hit rectangle.
class CMenuButton
{
public:
    CMenuButton();
    ~CMenuButton();

    /// Takes the named animation from the resource manager.
    void Create(const char* name);
    /// Centres the picture and the hit rectangle (w x h) on (x, y).
    void Place(float x, float y, float w, float h);
    bool Contains(float x, float y) const;
    /// Neither hovered nor pressed: frame 0.
    void Reset();
    /// Frame 1, unless already hovered or pressed.
    void SetHover();
    /// Frame 2, unless already pressed.
    void SetPressed();

    bool IsHovered() const { return m_bHovered; }
    bool IsPressed() const { return m_bPressed; }
    CZanAnim* GetAnim() const { return m_Anim.Get(); }

private:
    CMenuButton(const CMenuButton&) = delete;
    CMenuButton& operator=(const CMenuButton&) = delete;

    void ShowFrame(int frame);

    CZanResPtr<CZanAnim> m_Anim;
    CZanRect* m_pRect;
    bool m_bPressed;
    bool m_bHovered;
};

/// A full-screen picture centred at (400, 300) that fades in, out, or in and out again.
class CFadeImage
{
public:
    enum EMode
    {
        FADE_IN = 0,
        FADE_OUT = 1,
        FADE_IN_OUT = 2 ///< in over 40 % of the time, held for 20 %, out over the rest
    };

    CFadeImage();
    /// Hides the picture and lets it go.
    ~CFadeImage();

    void Show(const char* sprite, float seconds, int mode);
    /// Sets the opacity for the time since Show; after the duration it no longer changes.
    void Update();

    CZanSprite* GetSprite() const { return m_Sprite.Get(); }

private:
    CFadeImage(const CFadeImage&) = delete;
    CFadeImage& operator=(const CFadeImage&) = delete;

    CZanResPtr<CZanSprite> m_Sprite;
    int m_nMode;
    unsigned m_uStart;
    float m_fDuration;
};
