// The level chooser on the wait screens' signboard.
#pragma once

#include "ZanEngine.h"

/// The chosen level's title badge and preview on the signboard, its best score above the
/// badge, and the two small arrows beside the badge that step through the open levels. The
/// arrows sit on the board's left half, clear of its middle, where the two-player screen's
/// left click starts the match.
class CLevelBoard
{
public:
    /// Where the arrows are: centres and the size of their hit rectangles.
    static constexpr float ARROW_Y = 280.0f, LEFT_ARROW_X = 136.0f, RIGHT_ARROW_X = 384.0f;
    static constexpr float ARROW_W = 28.0f, ARROW_H = 44.0f;

    explicit CLevelBoard(bool twoPlayers) : m_bTwoPlayers(twoPlayers), m_nLevel(0) {}

    /// Shows the level chosen for this mode.
    void Show();
    /// Steps the choice by delta and shows the new level; true when it changed.
    bool Step(int delta);
    int GetLevel() const { return m_nLevel; }
    /// The best score the board shows.
    const char* GetBestText() const { return m_Best.IsValid() ? m_Best->GetString() : ""; }
    void Release();

private:
    bool m_bTwoPlayers;
    int m_nLevel;
    CZanResPtr<CZanSprite> m_Title;
    CZanResPtr<CZanSprite> m_Preview;
    CZanResPtr<CZanString> m_Best;
};
