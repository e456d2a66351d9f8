// Rectangles and oriented quads.
#include "Zan/ZanPhysics.h"

#include <cmath>

CZanRect::CZanRect(CZanVector& center, float width, float height)
    : m_fWidth(width), m_fHeight(height), m_vCenter(center),
      m_vMin(center.x - width * 0.5f, center.y - height * 0.5f),
      m_vMax(center.x + width * 0.5f, center.y + height * 0.5f)
{
}

CZanRect::CZanRect(CZanVector& corner1, CZanVector& corner2)
    : m_fWidth(corner2.x - corner1.x), m_fHeight(corner2.y - corner1.y),
      m_vCenter(corner1.x + (corner2.x - corner1.x) * 0.5f,
                corner1.y + (corner2.y - corner1.y) * 0.5f),
      m_vMin(corner1), m_vMax(corner2)
{
}

bool CZanRect::TestPoint(CZanVector& p) const
{
    return m_vMin.x <= p.x && p.x < m_vMax.x && m_vMin.y <= p.y && p.y < m_vMax.y;
}

bool CZanRect::Intersect(const CZanRect& r) const
{
    return m_vMin.x < r.m_vMax.x && r.m_vMin.x < m_vMax.x && m_vMin.y < r.m_vMax.y &&
           r.m_vMin.y < m_vMax.y;
}

CZanQuad::CZanQuad(float width, float height)
{
    m_afExtent[0] = width * 0.5f;
    m_afExtent[1] = height * 0.5f;
    m_vAxis = CZanVector(1.0f, 0.0f);
    m_vCenter = CZanVector(0.0f, 0.0f);
}

CZanQuad::CZanQuad(const CZanQuad& q) : CZanGeometry(q)
{
    for (int i = 0; i < 4; ++i)
        m_avCorners[i] = q.m_avCorners[i];
}

CZanQuad& CZanQuad::operator=(const CZanQuad& q)
{
    m_afExtent[0] = q.m_afExtent[0];
    m_afExtent[1] = q.m_afExtent[1];
    m_vAxis = q.m_vAxis;
    m_vCenter = q.m_vCenter;
    for (int i = 0; i < 4; ++i)
        m_avCorners[i] = q.m_avCorners[i];
    return *this;
}

CZanVector CZanQuad::EAxis(int index) const
{
    if (index == 0)
        return m_vAxis * m_afExtent[0];
    return CZanVector(-m_vAxis.y, m_vAxis.x) * m_afExtent[1];
}

bool CZanQuad::Contains(const CZanVector& p) const
{
    const CZanVector d = p - m_vCenter;
    return std::fabs(d.x * m_vAxis.x + d.y * m_vAxis.y) < m_afExtent[0] &&
           std::fabs(d.y * m_vAxis.x - d.x * m_vAxis.y) < m_afExtent[1];
}
