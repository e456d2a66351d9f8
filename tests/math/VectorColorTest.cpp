// CZanVector and CZanColor: the results other subsystems rely on to the bit.
#include "Zan/ZanMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
const float kPi = 3.14159265358979f;

TEST(Vector, DivisionMultipliesByTheReciprocal)
{
    // Find a value whose true quotient differs from the product with the reciprocal, so the
    // check below can tell the two apart.
    const float s = 3.0f, k = 1.0f / s;
    float x = 1.0f;
    while (x / s == x * k)
        x = std::nextafter(x, 100.0f);
    ASSERT_LT(x, 100.0f);

    EXPECT_EQ(CZanVector(x, x) / s, CZanVector(x * k, x * k));
    CZanVector v(x, -x);
    v /= s;
    EXPECT_EQ(v, CZanVector(x * k, -x * k));
}

TEST(Vector, LengthAndDirections)
{
    EXPECT_EQ(CZanVector(3, 4).Length(), 5.0f);
    EXPECT_FLOAT_EQ(CZanVector(3, 4).Hat().x, 0.6f);
    EXPECT_FLOAT_EQ(CZanVector(3, 4).Hat().y, 0.8f);
    CZanVector n(0, -7);
    EXPECT_EQ(n.Normalize(), &n);
    EXPECT_EQ(n, CZanVector(0, -1));
    EXPECT_EQ(CZanVector(1, 0).Perp(), CZanVector(0, 1));
    EXPECT_EQ(CZanVector(1, 2).Flip(), CZanVector(2, 1));
}

TEST(Vector, TheTwoRotationsTurnOppositeWays)
{
    const CZanVector r = CZanVector(1, 0).Rotate(kPi / 2);
    EXPECT_NEAR(r.x, 0.0f, 1e-6f);
    EXPECT_NEAR(r.y, 1.0f, 1e-6f);
    EXPECT_EQ(CZanVector(1, 0).Rotate(CZanVector(0, 1)), CZanVector(0, -1));

    // Expressing a vector in a rotated frame undoes the same rotation.
    const float a = 0.7f;
    const CZanVector v(3, -2);
    const CZanVector back = v.Rotate(a).Rotate(CZanVector(std::cos(a), std::sin(a)));
    EXPECT_NEAR(back.x, v.x, 1e-5f);
    EXPECT_NEAR(back.y, v.y, 1e-5f);
}

TEST(Vector, Angles)
{
    EXPECT_FLOAT_EQ(CZanVector(0, 1).Angle(nullptr), kPi / 2);
    EXPECT_FLOAT_EQ(CZanVector(-1, -0.0f).Angle(nullptr), -kPi);
    const CZanVector up(0, 5);
    EXPECT_FLOAT_EQ(CZanVector(1, 0).Angle(&up), kPi / 2);
    EXPECT_FLOAT_EQ(CZanVector(1, 0) ^ CZanVector(-2, 0), kPi);
    // Parallel vectors whose rounded cosine exceeds 1 still give an angle, not NaN.
    CZanVector p(1, 0.001f);
    while (p.Hat() % (p * 3.0f).Hat() <= 1.0f && p.y < 10.0f)
        p.y += 0.001f;
    ASSERT_LT(p.y, 10.0f);
    EXPECT_EQ(p ^ (p * 3.0f), 0.0f);

    // A zero vector has no direction: infinities or NaN, not an error.
    EXPECT_FALSE(std::isfinite(CZanVector().Hat().x));
    EXPECT_TRUE(std::isnan(CZanVector() ^ CZanVector(1, 0)));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(CZanVector(nan, 0) == CZanVector(nan, 0));
    EXPECT_TRUE(CZanVector(nan, 0) != CZanVector(nan, 0));
}

TEST(Color, PacksByTruncationCarryingAcrossFields)
{
    EXPECT_EQ(CZanColor(1, 1, 0.5f, 0).GetHWColor(), 0x00FFFF7Ful);
    EXPECT_EQ(CZanColor(1, 0.5f, 0, 1).GetHWColor(), 0xFFFF7F00ul);
    EXPECT_EQ(CZanColor(0.999f, 0.0039f, 0.0040f, 0.9999f).GetHWColor(), 0xFEFE0001ul);
    EXPECT_EQ(CZanColor(1.5f, 0, 0, 1.0f).GetHWColor(), 0x007E0000ul);
    EXPECT_EQ(CZanColor(-0.5f, 0, 0, 1.0f).GetHWColor(), 0xFE810000ul);
    EXPECT_EQ(CZanColor(0, 0, 2.0f, 0).GetHWColor(), 510ul);
    // Magnitudes far beyond any integer type and non-numbers are defined, not undefined.
    EXPECT_EQ(CZanColor(0, 0, 1e30f, 0).GetHWColor(), 0ul);
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(CZanColor(nan, -inf, inf, 1.0f).GetHWColor(), 0xFF000000ul);
    // Past the 32-bit signed range, where a plain int conversion would be undefined.
    EXPECT_EQ(CZanColor(0, 0, 16777216.0f, 0).GetHWColor(), uint32_t(16777216u * 255u));
}

TEST(Color, EveryFieldValueSurvivesTheRoundTrip)
{
    for (unsigned v = 0; v < 256; ++v)
    {
        const unsigned long packed = (v << 24) | ((255 - v) << 16) | (v << 8) | (v ^ 0x5A);
        EXPECT_EQ(CZanColor(packed).GetHWColor(), packed) << v;
    }
    const CZanColor c(0xFF305080ul);
    EXPECT_EQ(c.alpha, 1.0f);
    const float k = 1.0f / 255.0f;
    EXPECT_EQ(c.red, 48 * k);
    EXPECT_EQ(c.green, 80 * k);
    EXPECT_EQ(c.blue, 128 * k);
    EXPECT_EQ(k, 0.003921568859f);
}

TEST(Color, ClampLeavesNaNAlone)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    CZanColor d(-0.1f, 1.1f, nan, 0.3f);
    d.Clamp();
    EXPECT_EQ(d.red, 0.0f);
    EXPECT_EQ(d.green, 1.0f);
    EXPECT_TRUE(std::isnan(d.blue));
    EXPECT_EQ(d.alpha, 0.3f);
    EXPECT_NE(d, d);
}
} // namespace
