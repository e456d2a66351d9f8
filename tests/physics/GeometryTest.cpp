#include "ZanEngine.h"

#include <gtest/gtest.h>

TEST(Rect, PointTestIsClosedAtMinimumAndOpenAtMaximum)
{
    CZanVector c(10.0f, 10.0f);
    const CZanRect r(c, 4.0f, 2.0f);
    EXPECT_EQ(r.m_vMin, CZanVector(8.0f, 9.0f));
    EXPECT_EQ(r.m_vMax, CZanVector(12.0f, 11.0f));
    CZanVector in(8.0f, 9.0f), right(12.0f, 9.0f), below(8.0f, 11.0f), left(7.99f, 9.0f);
    EXPECT_TRUE(r.TestPoint(in));
    EXPECT_FALSE(r.TestPoint(right));
    EXPECT_FALSE(r.TestPoint(below));
    EXPECT_FALSE(r.TestPoint(left));
}

TEST(Rect, IntersectIsStrictAndNeedsBothAxes)
{
    CZanVector a0(0, 0), a1(10, 10), b0(10, 0), b1(20, 10), c0(9, 9), c1(20, 20), d0(5, 11),
        d1(20, 20);
    const CZanRect a(a0, a1), touching(b0, b1), overlapping(c0, c1), below(d0, d1);
    EXPECT_FALSE(a.Intersect(touching));
    EXPECT_FALSE(touching.Intersect(a));
    EXPECT_TRUE(a.Intersect(overlapping));
    // The x ranges overlap, the y ranges do not.
    EXPECT_FALSE(a.Intersect(below));
    EXPECT_FALSE(below.Intersect(a));
    EXPECT_EQ(overlapping.m_vCenter, CZanVector(14.5f, 14.5f));

    // Corners in the wrong order give a rectangle that holds nothing.
    const CZanRect reversed(a1, a0);
    CZanVector mid(5, 5);
    EXPECT_LT(reversed.m_fWidth, 0.0f);
    EXPECT_FALSE(reversed.TestPoint(mid));
}

TEST(Quad, ConstructionAxesAndContainment)
{
    CZanQuad q(4.0f, 2.0f);
    EXPECT_EQ(q.GetShape(), ZAN_SHAPE_QUAD);
    EXPECT_EQ(q.Extent(0), 2.0f);
    EXPECT_EQ(q.Extent(1), 1.0f);
    EXPECT_EQ(q.m_vAxis, CZanVector(1.0f, 0.0f));
    EXPECT_EQ(q.EAxis(0), CZanVector(2.0f, 0.0f));
    const CZanVector e1 = q.EAxis(1);
    EXPECT_EQ(e1.x, 0.0f); // negative zero allowed
    EXPECT_EQ(e1.y, 1.0f);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(q.GetCorners()[i], CZanVector());

    // Turned a quarter: the long side runs along y.
    q.SetAxis(CZanVector(0.0f, 1.0f));
    EXPECT_TRUE(q.Contains(CZanVector(0.0f, 1.5f)));
    EXPECT_FALSE(q.Contains(CZanVector(1.5f, 0.0f)));
    // The outline is outside.
    EXPECT_FALSE(q.Contains(CZanVector(0.0f, 2.0f)));
    q.SetCenter(CZanVector(10.0f, 0.0f));
    EXPECT_TRUE(q.Contains(CZanVector(10.5f, 1.5f)));

    q.m_avCorners[2] = CZanVector(3, 4);
    CZanQuad copy(q);
    EXPECT_EQ(copy.m_vCenter, CZanVector(10.0f, 0.0f));
    EXPECT_EQ(copy.GetCorners()[2], CZanVector(3, 4));
    CZanQuad other(1, 1);
    other = q;
    EXPECT_EQ(other.Extent(0), 2.0f);
    EXPECT_EQ(other.m_vAxis, CZanVector(0.0f, 1.0f));
}
