// D3DX matrix routines, and the engine's pixel projection built from them.
#include "ZanD3DX9.h"

#include <cmath>
#include <gtest/gtest.h>

namespace
{
D3DXVECTOR3 Apply(const D3DXMATRIX& m, float x, float y, float z)
{
    D3DXVECTOR3 in(x, y, z), out;
    D3DXVec3TransformCoord(&out, &in, &m);
    return out;
}
} // namespace

TEST(D3DXMatrix, OrthoOffCenterMapsTheBoxOntoClipSpace)
{
    D3DXMATRIX m;
    D3DXMatrixOrthoOffCenterLH(&m, 10, 50, -20, 20, 1, 5);
    D3DXVECTOR3 lo = Apply(m, 10, -20, 1), hi = Apply(m, 50, 20, 5), mid = Apply(m, 30, 0, 3);
    EXPECT_FLOAT_EQ(-1, lo.x);
    EXPECT_FLOAT_EQ(-1, lo.y);
    EXPECT_FLOAT_EQ(0, lo.z);
    EXPECT_FLOAT_EQ(1, hi.x);
    EXPECT_FLOAT_EQ(1, hi.y);
    EXPECT_FLOAT_EQ(1, hi.z);
    EXPECT_NEAR(0, mid.x, 1e-6);
    EXPECT_FLOAT_EQ(0.5f, mid.z);
    D3DXMATRIX centred;
    D3DXMatrixOrthoLH(&centred, 40, 40, 1, 5);
    EXPECT_FLOAT_EQ(1, Apply(centred, 20, 20, 5).x);
}

TEST(D3DXMatrix, ProductAppliesTheLeftOperandFirst)
{
    D3DXMATRIX s, t, st, ts;
    D3DXMatrixScaling(&s, 2, 3, 1);
    D3DXMatrixTranslation(&t, 10, 20, 0);
    D3DXMatrixMultiply(&st, &s, &t);
    D3DXMatrixMultiply(&ts, &t, &s);
    D3DXVECTOR3 a = Apply(st, 1, 1, 0), b = Apply(ts, 1, 1, 0);
    EXPECT_FLOAT_EQ(12, a.x);
    EXPECT_FLOAT_EQ(23, a.y);
    EXPECT_FLOAT_EQ(22, b.x);
    EXPECT_FLOAT_EQ(63, b.y);
    // The output may be one of the operands.
    D3DXMatrixMultiply(&s, &s, &t);
    EXPECT_TRUE(s == st);
    EXPECT_TRUE(st * D3DXMATRIX(*D3DXMatrixIdentity(&t)) == st);
    D3DXMATRIX r;
    D3DXMatrixRotationZ(&r, float(M_PI / 2));
    D3DXVECTOR3 turned = Apply(r, 1, 0, 0);
    EXPECT_NEAR(0, turned.x, 1e-6);
    EXPECT_NEAR(1, turned.y, 1e-6);
    D3DXMatrixIdentity(&r);
    EXPECT_TRUE(D3DXMatrixIsIdentity(&r));
    r._43 = 1;
    EXPECT_FALSE(D3DXMatrixIsIdentity(&r));
}

TEST(D3DXMatrix, PixelProjectionPutsPixelCentresOnTexelCentres)
{
    // scaling (1, -1, 1), translation (-0.5, h + 0.5, 0), ortho 0..w, 0..h.
    const float w = 800, h = 600;
    D3DXMATRIX p, step;
    D3DXMatrixScaling(&p, 1, -1, 1);
    D3DXMatrixMultiply(&p, &p, D3DXMatrixTranslation(&step, -0.5f, h + 0.5f, 0));
    D3DXMatrixMultiply(&p, &p, D3DXMatrixOrthoOffCenterLH(&step, 0, w, 0, h, 0, 1));
    auto window = [&](float x, float y)
    {
        D3DXVECTOR3 c = Apply(p, x, y, 0);
        return std::make_pair((c.x + 1) / 2 * w, (1 - c.y) / 2 * h);
    };
    auto origin = window(0, 0);
    EXPECT_NEAR(-0.5f, origin.first, 1e-3);
    EXPECT_NEAR(-0.5f, origin.second, 1e-3);
    auto corner = window(800, 600);
    EXPECT_NEAR(799.5f, corner.first, 1e-3);
    EXPECT_NEAR(599.5f, corner.second, 1e-3);
    EXPECT_FLOAT_EQ(0.25f, Apply(p, 3, 4, 0.25f).z);
}
