// D3DX matrix routines (row vectors: p' = p * M).
#include "D3DInternal.h"
#include "ZanD3DX9.h"

#include <cmath>
#include <cstring>

D3DXMATRIX::D3DXMATRIX(float m11, float m12, float m13, float m14, float m21, float m22, float m23,
                       float m24, float m31, float m32, float m33, float m34, float m41, float m42,
                       float m43, float m44)
{
    _11 = m11, _12 = m12, _13 = m13, _14 = m14;
    _21 = m21, _22 = m22, _23 = m23, _24 = m24;
    _31 = m31, _32 = m32, _33 = m33, _34 = m34;
    _41 = m41, _42 = m42, _43 = m43, _44 = m44;
}

D3DXMATRIX D3DXMATRIX::operator*(const D3DXMATRIX& rhs) const
{
    D3DXMATRIX out;
    D3DXMatrixMultiply(&out, this, &rhs);
    return out;
}

D3DXMATRIX& D3DXMATRIX::operator*=(const D3DXMATRIX& rhs)
{
    D3DXMatrixMultiply(this, this, &rhs);
    return *this;
}

bool D3DXMATRIX::operator==(const D3DXMATRIX& rhs) const
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (m[i][j] != rhs.m[i][j])
                return false;
    return true;
}

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out)
{
    if (!out)
        return nullptr;
    std::memset(out->m, 0, sizeof out->m);
    out->_11 = out->_22 = out->_33 = out->_44 = 1.0f;
    return out;
}

BOOL D3DXMatrixIsIdentity(const D3DXMATRIX* m)
{
    if (!m)
        return FALSE;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (m->m[i][j] != (i == j ? 1.0f : 0.0f))
                return FALSE;
    return TRUE;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b)
{
    if (!out || !a || !b)
        return out;
    *out = zan::d3d::MultiplyMatrices(*a, *b); // out may be a or b: the product is a copy
    return out;
}

D3DMATRIX zan::d3d::MultiplyMatrices(const D3DMATRIX& a, const D3DMATRIX& b)
{
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                        a.m[i][3] * b.m[3][j];
    return r;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, float sx, float sy, float sz)
{
    if (!D3DXMatrixIdentity(out))
        return nullptr;
    out->_11 = sx;
    out->_22 = sy;
    out->_33 = sz;
    return out;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z)
{
    if (!D3DXMatrixIdentity(out))
        return nullptr;
    out->_41 = x;
    out->_42 = y;
    out->_43 = z;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, float angle)
{
    if (!D3DXMatrixIdentity(out))
        return nullptr;
    const float c = std::cos(angle), s = std::sin(angle);
    out->_11 = c;
    out->_12 = s;
    out->_21 = -s;
    out->_22 = c;
    return out;
}

D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* out, const D3DXMATRIX* m)
{
    if (!out || !m)
        return out;
    D3DXMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = m->m[j][i];
    *out = r;
    return out;
}

D3DXMATRIX* D3DXMatrixOrthoLH(D3DXMATRIX* out, float w, float h, float zn, float zf)
{
    return D3DXMatrixOrthoOffCenterLH(out, -w / 2, w / 2, -h / 2, h / 2, zn, zf);
}

D3DXMATRIX* D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* out, float l, float r, float b, float t,
                                       float zn, float zf)
{
    if (!D3DXMatrixIdentity(out))
        return nullptr;
    out->_11 = 2.0f / (r - l);
    out->_22 = 2.0f / (t - b);
    out->_33 = 1.0f / (zf - zn);
    out->_41 = (l + r) / (l - r);
    out->_42 = (t + b) / (b - t);
    out->_43 = zn / (zn - zf);
    return out;
}

D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m)
{
    if (!out || !v || !m)
        return out;
    const float x = v->x * m->_11 + v->y * m->_21 + v->z * m->_31 + m->_41;
    const float y = v->x * m->_12 + v->y * m->_22 + v->z * m->_32 + m->_42;
    const float z = v->x * m->_13 + v->y * m->_23 + v->z * m->_33 + m->_43;
    const float w = v->x * m->_14 + v->y * m->_24 + v->z * m->_34 + m->_44;
    const float inv = w != 0.0f ? 1.0f / w : 0.0f;
    out->x = x * inv;
    out->y = y * inv;
    out->z = z * inv;
    return out;
}
