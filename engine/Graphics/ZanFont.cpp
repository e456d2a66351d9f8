// Fonts of the text library and text strings drawn with them.
#include "Zan/ZanText.h"
#include "ZanGraphicsLog.h"

#include <cstring>
#include <new>

namespace
{
const char* const kSource = "Graphics\\ZanFont";

// Truncated toward zero; positions far off screen (or not numbers) are pinned.
LONG ToPixel(float value)
{
    if (!(value > -1.0e6f))
        return -1000000;
    if (value > 1.0e6f)
        return 1000000;
    return LONG(value);
}
} // namespace

// ---- CZanFont ----

CZanFont::CZanFont(const char* face, int height, int width, int weight, bool italic)
    : m_pFont(nullptr), m_nHeight(height), m_nWidth(width), m_nWeight(weight), m_bItalic(italic),
      m_nOutputPrecision(OUT_DEFAULT_PRECIS), m_nQuality(DEFAULT_QUALITY),
      m_strFaceName(face ? face : "")
{
    IDirect3DDevice9* device = g_pGraphics ? g_pGraphics->GetDevice() : nullptr;
    if (!device || !face ||
        FAILED(D3DXCreateFontA(device, height, UINT(width), UINT(weight), 1, italic ? TRUE : FALSE,
                               DEFAULT_CHARSET, DWORD(m_nOutputPrecision), DWORD(m_nQuality), 0,
                               face, &m_pFont)) ||
        !m_pFont)
    {
        m_pFont = nullptr;
        ZanLogError("字体创建失败", kSource, __LINE__);
    }
}

CZanFont::~CZanFont()
{
    if (m_pFont)
    {
        m_pFont->Release();
        m_pFont = nullptr;
    }
}

// ---- CZanString ----

CZanString::CZanString(const char* font, int renderLevel, int capacity)
    : m_szText(nullptr), m_pFont(nullptr), m_fX(0.0f), m_fY(0.0f), m_Color(0.0f, 0.0f, 0.0f, 0.0f),
      m_dwFormat(DT_NOCLIP), m_nLength(0), m_nCapacity(0)
{
    CreateString(font, renderLevel, capacity);
    if (g_pGraphics)
        g_pGraphics->AddRender(this);
}

CZanString::CZanString(const ZanString* record)
    : m_szText(nullptr), m_pFont(nullptr), m_fX(0.0f), m_fY(0.0f), m_Color(0.0f, 0.0f, 0.0f, 0.0f),
      m_dwFormat(DT_NOCLIP), m_nLength(0), m_nCapacity(0)
{
    if (record)
        CreateString(record->strFont.c_str(), record->nRenderLevel, record->nSize);
    else
        CreateString("无", 0, 0);
    if (g_pGraphics)
        g_pGraphics->AddRender(this);
}

CZanString::~CZanString()
{
    delete[] m_szText;
    delete m_pFont;
    if (g_pGraphics)
        g_pGraphics->DelRender(this);
}

void CZanString::CreateString(const char* font, int renderLevel, int capacity)
{
    delete m_pFont;
    CZanResourceMgr* manager = CZanResourceMgr::Instance();
    m_pFont = manager ? manager->GetFont(font) : new CZanResPtr<CZanFont>();

    delete[] m_szText;
    m_szText = nullptr;
    m_nCapacity = 0;
    if (capacity > 0)
    {
        m_szText = new (std::nothrow) char[size_t(capacity)];
        if (m_szText)
        {
            std::memset(m_szText, 0, size_t(capacity));
            m_nCapacity = capacity;
        }
    }
    m_nRenderLevel = renderLevel;
    m_dwFormat = DT_NOCLIP;
    m_nLength = 0;
    m_Color.SetHWColor(0xFFFFFFFFul);
    m_bVisible = true;
}

void CZanString::SetString(const char* text)
{
    if (!text)
        text = "";
    const size_t length = std::strlen(text);
    if (length >= 0x7FFFFFFF)
        return;
    if (m_nCapacity - 1 < int(length))
    {
        char* buffer = new (std::nothrow) char[length + 1];
        if (!buffer)
            return; // keep the old text
        delete[] m_szText;
        m_szText = buffer;
        m_nCapacity = int(length) + 1;
    }
    std::memset(m_szText, 0, size_t(m_nCapacity));
    std::memcpy(m_szText, text, length + 1);
    m_nLength = int(length);
}

void CZanString::SetPosition(float x, float y)
{
    m_fX = x;
    m_fY = y;
}

void CZanString::SetFont(int) {}

void CZanString::Render()
{
    if (m_nLength == 0 || !m_szText)
        return;
    ID3DXFont* font = m_pFont && m_pFont->Get() ? m_pFont->Get()->GetFont() : nullptr;
    if (!font)
        return;
    // Quads queued before the text must reach the screen first, so that levels order it.
    if (g_pGraphics)
        g_pGraphics->BatchRender();
    RECT rect = {ToPixel(m_fX), ToPixel(m_fY), 0, 0};
    font->DrawTextA(nullptr, m_szText, -1, &rect, m_dwFormat, D3DCOLOR(m_Color.GetHWColor()));
}
