// Grid meshes: a texture window drawn cell by cell through movable nodes.
#include "Zan/ZanSprite.h"

#include <algorithm>
#include <new>

namespace
{
// Far beyond any real grid; keeps a hostile description from exhausting memory.
const long long kMaxNodes = 1 << 16;
} // namespace

CZanMesh::CZanMesh()
    : m_pNodes(nullptr), m_nRows(0), m_nColumns(0), m_fCellWidth(0.0f), m_fCellHeight(0.0f),
      m_fTexX(0.0f), m_fTexY(0.0f)
{
}

CZanMesh::CZanMesh(const char* texture, float texOffsetX, float texOffsetY, float width,
                   float height, int columns, int rows, int renderLevel)
    : CZanSprite(texture, texOffsetX, texOffsetY, width, height, renderLevel), m_pNodes(nullptr),
      m_nRows(0), m_nColumns(0), m_fCellWidth(0.0f), m_fCellHeight(0.0f), m_fTexX(0.0f),
      m_fTexY(0.0f)
{
    CreateMesh(columns, rows);
    SetTextureRect(texOffsetX, texOffsetY, width, height);
}

CZanMesh::CZanMesh(const ZanMesh* record)
    : CZanSprite(static_cast<const ZanSprite*>(record)), m_pNodes(nullptr), m_nRows(0),
      m_nColumns(0), m_fCellWidth(0.0f), m_fCellHeight(0.0f), m_fTexX(0.0f), m_fTexY(0.0f)
{
    if (record)
    {
        CreateMesh(record->nColumns, record->nRows);
        SetTextureRect(record->fTexOffsetX, record->fTexOffsetY, record->fWidth, record->fHeight);
    }
    else
        CreateMesh(2, 2);
}

CZanMesh::CZanMesh(const CZanMesh& other)
    : CZanSprite(other), m_pNodes(nullptr), m_nRows(0), m_nColumns(0),
      m_fCellWidth(other.m_fCellWidth), m_fCellHeight(other.m_fCellHeight), m_fTexX(other.m_fTexX),
      m_fTexY(other.m_fTexY)
{
    const size_t count = size_t(other.m_nRows) * size_t(other.m_nColumns);
    if (other.m_pNodes && count > 0)
    {
        m_pNodes = new (std::nothrow) ZanVertex[count];
        if (m_pNodes)
        {
            std::copy(other.m_pNodes, other.m_pNodes + count, m_pNodes);
            m_nRows = other.m_nRows;
            m_nColumns = other.m_nColumns;
        }
    }
}

CZanMesh& CZanMesh::operator=(const CZanMesh& other)
{
    if (this == &other)
        return *this;
    CZanSprite::operator=(other);
    const size_t count = size_t(other.m_nRows) * size_t(other.m_nColumns);
    ZanVertex* nodes = nullptr;
    if (other.m_pNodes && count > 0)
    {
        nodes = new (std::nothrow) ZanVertex[count];
        if (nodes)
            std::copy(other.m_pNodes, other.m_pNodes + count, nodes);
    }
    delete[] m_pNodes;
    m_pNodes = nodes;
    m_nRows = nodes ? other.m_nRows : 0;
    m_nColumns = nodes ? other.m_nColumns : 0;
    m_fCellWidth = other.m_fCellWidth;
    m_fCellHeight = other.m_fCellHeight;
    m_fTexX = other.m_fTexX;
    m_fTexY = other.m_fTexY;
    return *this;
}

CZanMesh::~CZanMesh()
{
    delete[] m_pNodes;
}

void CZanMesh::CreateMesh(int columns, int rows)
{
    delete[] m_pNodes;
    m_pNodes = nullptr;
    m_nRows = m_nColumns = 0;
    m_fCellWidth = m_fCellHeight = 0.0f;
    m_Quad.nBlend = ZAN_BLEND_DEFAULT;
    if (columns > 0 && rows > 0 && (long long)columns * rows <= kMaxNodes)
    {
        const size_t count = size_t(columns) * size_t(rows);
        m_pNodes = new (std::nothrow) ZanVertex[count];
        if (m_pNodes)
        {
            m_nColumns = columns;
            m_nRows = rows;
            for (size_t i = 0; i < count; ++i)
                m_pNodes[i] = ZanVertex{0.0f, 0.0f, 0.5f, 0xFFFFFFFFu, 0.0f, 0.0f};
        }
    }
    m_Quad.pTexture = m_pTexture;
    m_bVisible = true;
}

int CZanMesh::NodeIndex(int column, int row) const
{
    if (!m_pNodes || column < 0 || row < 0 || column >= m_nColumns || row >= m_nRows)
        return -1;
    return column + row * m_nColumns;
}

const ZanVertex* CZanMesh::GetNode(int column, int row) const
{
    const int i = NodeIndex(column, row);
    return i < 0 ? nullptr : m_pNodes + i;
}

void CZanMesh::SetTextureRect(float x, float y, float w, float h)
{
    m_fTexX = x;
    m_fTexY = y;
    m_fWidth = w;
    m_fHeight = h;
    const CZanTexture* texture = m_pTexture ? m_pTexture->Get() : nullptr;
    const float tw = texture ? texture->GetWidth() : w;
    const float th = texture ? texture->GetHeight() : h;
    // A grid of one node along a side has no cells along it.
    m_fCellWidth = m_nColumns > 1 ? w / float(m_nColumns - 1) : 0.0f;
    m_fCellHeight = m_nRows > 1 ? h / float(m_nRows - 1) : 0.0f;
    for (int r = 0; r < m_nRows; ++r)
    {
        for (int c = 0; c < m_nColumns; ++c)
        {
            ZanVertex& node = m_pNodes[c + r * m_nColumns];
            node.u = (x + float(c) * m_fCellWidth) / tw;
            node.v = (y + float(r) * m_fCellHeight) / th;
            node.x = float(c) * m_fCellWidth - w / 2.0f;
            node.y = float(r) * m_fCellHeight - h / 2.0f;
        }
    }
}

void CZanMesh::GetTextureRect(float* x, float* y, float* w, float* h) const
{
    if (x)
        *x = m_fTexX;
    if (y)
        *y = m_fTexY;
    if (w)
        *w = m_fWidth;
    if (h)
        *h = m_fHeight;
}

void CZanMesh::Clear(unsigned long color, float z)
{
    for (int r = 0; r < m_nRows; ++r)
    {
        for (int c = 0; c < m_nColumns; ++c)
        {
            ZanVertex& node = m_pNodes[c + r * m_nColumns];
            node.x = float(c) * m_fCellWidth - m_fWidth / 2.0f;
            node.y = float(r) * m_fCellHeight - m_fHeight / 2.0f;
            node.color = DWORD(color);
            node.z = z;
        }
    }
}

void CZanMesh::SetZ(int column, int row, float z)
{
    const int i = NodeIndex(column, row);
    if (i >= 0)
        m_pNodes[i].z = z;
}

float CZanMesh::GetZ(int column, int row) const
{
    const int i = NodeIndex(column, row);
    return i < 0 ? 0.0f : m_pNodes[i].z;
}

void CZanMesh::SetColor(int column, int row, unsigned long color)
{
    const int i = NodeIndex(column, row);
    if (i >= 0)
        m_pNodes[i].color = DWORD(color);
}

unsigned long CZanMesh::GetColor(int column, int row) const
{
    const int i = NodeIndex(column, row);
    return i < 0 ? 0ul : m_pNodes[i].color;
}

void CZanMesh::SetAlpha(float alpha)
{
    const size_t count = size_t(m_nRows) * size_t(m_nColumns);
    for (size_t i = 0; i < count; ++i)
    {
        CZanColor color(static_cast<unsigned long>(m_pNodes[i].color));
        color.alpha = alpha;
        m_pNodes[i].color = DWORD(color.GetHWColor());
    }
}

void CZanMesh::SetDisplacement(int column, int row, float dx, float dy, int reference)
{
    const int i = NodeIndex(column, row);
    if (i < 0)
        return;
    ZanVertex& node = m_pNodes[i];
    switch (reference)
    {
    case 0:
        node.x = dx + float(column) * m_fCellWidth;
        node.y = dy + float(row) * m_fCellHeight;
        break;
    case 2:
        node.x = dx + float(m_nColumns - 1) * m_fCellWidth * 0.5f;
        node.y = dy + float(m_nRows - 1) * m_fCellHeight * 0.5f;
        break;
    default:
        node.x = dx;
        node.y = dy;
        break;
    }
}

void CZanMesh::GetDisplacement(int column, int row, float* dx, float* dy, int reference) const
{
    const int i = NodeIndex(column, row);
    if (i < 0 || !dx || !dy)
        return;
    const ZanVertex& node = m_pNodes[i];
    switch (reference)
    {
    case 0:
        *dx = node.x - float(column) * m_fCellWidth;
        *dy = node.y - float(row) * m_fCellHeight;
        break;
    case 1:
        *dx = node.x;
        *dy = node.y;
        break;
    case 2:
        *dx = node.x - float(m_nColumns - 1) * m_fCellWidth * 0.5f;
        *dy = node.y - float(m_nRows - 1) * m_fCellHeight * 0.5f;
        break;
    default:
        break;
    }
}

void CZanMesh::Render()
{
    if (!g_pGraphics || !m_pNodes)
        return;
    for (int r = 0; r + 1 < m_nRows; ++r)
    {
        for (int c = 0; c + 1 < m_nColumns; ++c)
        {
            const ZanVertex* corner[4] = {
                m_pNodes + c + r * m_nColumns, m_pNodes + c + 1 + r * m_nColumns,
                m_pNodes + c + 1 + (r + 1) * m_nColumns, m_pNodes + c + (r + 1) * m_nColumns};
            float offsets[8];
            for (int k = 0; k < 4; ++k)
            {
                m_Quad.v[k] = *corner[k];
                offsets[2 * k] = corner[k]->x;
                offsets[2 * k + 1] = corner[k]->y;
            }
            PlaceCorners(offsets, m_Quad.v);
            g_pGraphics->RenderQuadSoild(&m_Quad);
        }
    }
}
