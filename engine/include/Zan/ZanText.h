/// \file
/// Fonts and one-line text strings. Text is GBK and may hold Chinese characters.
#pragma once

#include "Zan/ZanGraphics.h"
#include "Zan/ZanMath.h"

#include <string>

/// One font of the text library, made from a face name and a size. Shared through
/// CZanResPtr handles. A font that could not be created exists without a library object and
/// draws nothing.
class CZanFont : public IZanResource
{
public:
    /// `face` is a GBK face name such as "黑体"; width 0 lets the library choose; weight 400
    /// normal, 700 bold.
    CZanFont(const char* face, int height, int width, int weight, bool italic);
    ~CZanFont() override;
    const char* GetResourceType() const override { return "字体资源"; }

    /// The library font, or null when creation failed.
    ID3DXFont* GetFont() const { return m_pFont; }
    /// Character height in pixels, as given.
    int GetHeight() const { return m_nHeight; }
    /// Character width as given (0: the library's choice).
    int GetWidth() const { return m_nWidth; }
    /// Weight as given.
    int GetWeight() const { return m_nWeight; }
    /// Italic as given.
    bool GetItalic() const { return m_bItalic; }
    /// The face name as given (GBK).
    const std::string& GetFaceName() const { return m_strFaceName; }

private:
    CZanFont(const CZanFont&) = delete;
    CZanFont& operator=(const CZanFont&) = delete;

    ID3DXFont* m_pFont;
    int m_nHeight;
    int m_nWidth;
    int m_nWeight;
    bool m_bItalic;
    int m_nOutputPrecision;
    int m_nQuality;
    std::string m_strFaceName;
};

/// A registered drawable showing one line of text with a font at a position, in a colour.
/// Not copyable: each string owns its text buffer, font handle and render-list entry.
class CZanString : public IZanRender
{
public:
    /// The font comes from the resource manager (an unknown name gives its default font);
    /// `capacity` is the initial size of the text buffer in bytes (0: none yet).
    CZanString(const char* font, int renderLevel, int capacity);
    /// From a description (see CZanResourceMgr::CreateString); null gives the default font,
    /// level 0 and no buffer.
    explicit CZanString(const ZanString* record);
    ~CZanString() override;
    const char* GetResourceType() const override { return "字符串资源"; }
    /// Draws the text at once, after the quads queued before it.
    void Render() override;

    /// Takes the font, the level and a fresh buffer of `capacity` bytes, dropping the text.
    void CreateString(const char* font, int renderLevel, int capacity);
    /// Copies the text; the buffer grows when needed and never shrinks. Null is taken as "".
    void SetString(const char* text);
    /// The text; "" before any SetString. Valid until the next SetString.
    const char* GetString() const { return m_szText ? m_szText : ""; }
    /// Bytes of text, without the terminator.
    int GetLength() const { return m_nLength; }
    /// Size of the text buffer, bytes.
    int GetCapacity() const { return m_nCapacity; }
    /// The top-left corner of the text; drawn at the truncated integer position.
    void SetPosition(float x, float y);
    /// As SetPosition(float, float).
    void SetPosition(const CZanVector& position) { SetPosition(position.x, position.y); }
    /// The text colour; opaque white after creation.
    void SetColor(const CZanColor& color) { m_Color = color; }
    /// See SetColor.
    CZanColor GetColor() const { return m_Color; }
    /// Text-drawing flags (DT_*); DT_NOCLIP after creation.
    void SetFormat(unsigned long flags) { m_dwFormat = DWORD(flags); }
    /// See SetFormat.
    DWORD GetFormat() const { return m_dwFormat; }
    /// Reserved: nothing uses it; the string keeps its current font.
    void SetFont(int font);
    /// The font handle (owned by the string); never null after construction.
    CZanResPtr<CZanFont>* GetFontHandle() const { return m_pFont; }

private:
    CZanString(const CZanString&) = delete;
    CZanString& operator=(const CZanString&) = delete;

    char* m_szText;
    CZanResPtr<CZanFont>* m_pFont;
    float m_fX;
    float m_fY;
    CZanColor m_Color;
    DWORD m_dwFormat;
    int m_nLength;
    int m_nCapacity;
};
