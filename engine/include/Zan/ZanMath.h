/// \file
/// CZanVector and CZanColor: the value types every subsystem uses. Plain values with public
/// members, freely copied; all arithmetic in 32-bit floats.
#pragma once

#include <cmath>
#include <cstdint>

/// A 2-D vector of floats: positions, velocities, axes and directions in pixels, y downwards.
class CZanVector
{
public:
    float x; ///< to the right
    float y; ///< downwards on screen

    /// (0, 0).
    CZanVector() : x(0.0f), y(0.0f) {}
    /// (fx, fy).
    CZanVector(float fx, float fy) : x(fx), y(fy) {}

    /// Sets both components.
    void Set(float fx, float fy)
    {
        x = fx;
        y = fy;
    }

    /// Component-wise sum.
    CZanVector operator+(const CZanVector& v) const { return CZanVector(x + v.x, y + v.y); }
    /// Component-wise difference.
    CZanVector operator-(const CZanVector& v) const { return CZanVector(x - v.x, y - v.y); }
    /// The opposite vector.
    CZanVector operator-() const { return CZanVector(-x, -y); }
    /// Scaled by s.
    CZanVector operator*(float s) const { return CZanVector(x * s, y * s); }
    /// Division multiplies by the reciprocal.
    CZanVector operator/(float s) const
    {
        const float k = 1.0f / s;
        return CZanVector(x * k, y * k);
    }
    /// Adds v.
    CZanVector& operator+=(const CZanVector& v)
    {
        x += v.x;
        y += v.y;
        return *this;
    }
    /// Subtracts v.
    CZanVector& operator-=(const CZanVector& v)
    {
        x -= v.x;
        y -= v.y;
        return *this;
    }
    /// Scales by s.
    CZanVector& operator*=(float s)
    {
        x *= s;
        y *= s;
        return *this;
    }
    /// Divides by s (multiplies by its reciprocal).
    CZanVector& operator/=(float s)
    {
        const float k = 1.0f / s;
        x *= k;
        y *= k;
        return *this;
    }
    /// Exact comparison; a NaN component makes the vectors unequal.
    bool operator==(const CZanVector& v) const { return x == v.x && y == v.y; }
    /// Not operator==.
    bool operator!=(const CZanVector& v) const { return !(*this == v); }

    /// Dot product with *v (v must not be null).
    float Dot(const CZanVector* v) const { return x * v->x + y * v->y; }
    /// Dot product.
    float operator%(const CZanVector& v) const { return x * v.x + y * v.y; }
    /// Euclidean length.
    float Length() const { return std::sqrt(x * x + y * y); }
    /// Unit vector; a zero vector gives infinities or NaN, not an error.
    CZanVector Hat() const
    {
        const float k = 1.0f / Length();
        return CZanVector(x * k, y * k);
    }
    /// Makes this a unit vector (zero: infinities or NaN) and returns it.
    CZanVector* Normalize()
    {
        const float k = 1.0f / Length();
        x *= k;
        y *= k;
        return this;
    }
    /// Turned a quarter turn: (-y, x).
    CZanVector Perp() const { return CZanVector(-y, x); }
    /// The components exchanged.
    CZanVector Flip() const { return CZanVector(y, x); }
    /// Rotation by `a` radians.
    CZanVector Rotate(float a) const
    {
        const float c = std::cos(a), s = std::sin(a);
        return CZanVector(x * c - y * s, x * s + y * c);
    }
    /// The vector expressed in the frame whose x axis is `r`: for r = (cos a, sin a) this
    /// rotates by -a, the opposite sense of Rotate(float).
    CZanVector Rotate(CZanVector r) const
    {
        return CZanVector(x * r.x + y * r.y, y * r.x - x * r.y);
    }
    /// With null: the direction atan2(y, x). Otherwise the unsigned angle to `v` (0 to pi).
    float Angle(const CZanVector* v) const
    {
        if (!v)
            return std::atan2(y, x);
        float d = Hat() % v->Hat();
        // Rounding may push the cosine of nearly parallel vectors just past 1.
        if (d > 1.0f)
            d = 1.0f;
        else if (d < -1.0f)
            d = -1.0f;
        return std::acos(d);
    }
    /// The unsigned angle to v, as Angle(&v).
    float operator^(const CZanVector& v) const { return Angle(&v); }
};

/// A colour of four float components (0 to 1 is the meaningful range) and its packed
/// 0xAARRGGBB hardware form.
class CZanColor
{
public:
    float red;   ///< 0 to 1
    float green; ///< 0 to 1
    float blue;  ///< 0 to 1
    float alpha; ///< 0 transparent to 1 opaque

    /// Transparent black (0, 0, 0, 0).
    CZanColor() : red(0.0f), green(0.0f), blue(0.0f), alpha(0.0f) {}
    /// From four components.
    CZanColor(float r, float g, float b, float a) : red(r), green(g), blue(b), alpha(a) {}
    /// From a packed 0xAARRGGBB value, as SetHWColor.
    CZanColor(unsigned long packed) { SetHWColor(packed); }
    /// Copies the four components.
    CZanColor(const CZanColor&) = default;

    /// Copies the four components; returns a copy, not a reference.
    CZanColor operator=(const CZanColor& c)
    {
        red = c.red;
        green = c.green;
        blue = c.blue;
        alpha = c.alpha;
        return *this;
    }
    /// Component-wise sum, unclamped.
    CZanColor operator+(const CZanColor& c) const
    {
        return CZanColor(red + c.red, green + c.green, blue + c.blue, alpha + c.alpha);
    }
    /// Component-wise difference, unclamped.
    CZanColor operator-(const CZanColor& c) const
    {
        return CZanColor(red - c.red, green - c.green, blue - c.blue, alpha - c.alpha);
    }
    /// Every component scaled by s, unclamped.
    CZanColor operator*(float s) const
    {
        return CZanColor(red * s, green * s, blue * s, alpha * s);
    }
    /// Adds c, unclamped.
    CZanColor& operator+=(const CZanColor& c)
    {
        red += c.red;
        green += c.green;
        blue += c.blue;
        alpha += c.alpha;
        return *this;
    }
    /// Subtracts c, unclamped.
    CZanColor& operator-=(const CZanColor& c)
    {
        red -= c.red;
        green -= c.green;
        blue -= c.blue;
        alpha -= c.alpha;
        return *this;
    }
    /// Scales every component by s, unclamped.
    CZanColor& operator*=(float s)
    {
        red *= s;
        green *= s;
        blue *= s;
        alpha *= s;
        return *this;
    }
    /// Exact comparison of the four components.
    bool operator==(const CZanColor& c) const
    {
        return red == c.red && green == c.green && blue == c.blue && alpha == c.alpha;
    }
    /// Not operator==.
    bool operator!=(const CZanColor& c) const { return !(*this == c); }

    /// Below 0 becomes 0, above 1 becomes 1; anything else (NaN included) is unchanged.
    static void ColorClamp(float& value)
    {
        if (value < 0.0f)
            value = 0.0f;
        else if (value > 1.0f)
            value = 1.0f;
    }
    /// ColorClamp on every component.
    void Clamp()
    {
        ColorClamp(red);
        ColorClamp(green);
        ColorClamp(blue);
        ColorClamp(alpha);
    }

    /// Each 8-bit field times the float nearest to 1/255; every field value survives a
    /// round trip through GetHWColor exactly.
    void SetHWColor(unsigned long packed)
    {
        const float k = 1.0f / 255.0f;
        alpha = float((packed >> 24) & 0xFF) * k;
        red = float((packed >> 16) & 0xFF) * k;
        green = float((packed >> 8) & 0xFF) * k;
        blue = float(packed & 0xFF) * k;
    }
    /// Each component times 255 truncated toward zero, with no clamping: values outside 0..1
    /// carry into or borrow from the neighbouring field. Call Clamp first when in doubt.
    /// A NaN or infinite component counts as 0.
    unsigned long GetHWColor() const
    {
        const uint32_t a = HWField(alpha), r = HWField(red), g = HWField(green), b = HWField(blue);
        return (a * 0x1000000u + r * 0x10000u + g * 0x100u + b) & 0xFFFFFFFFu;
    }

private:
    /// trunc(value * 255) modulo 2^32, defined for every float: a float of magnitude 2^63 or
    /// more is a multiple of 2^32, so it contributes nothing modulo 2^32.
    static uint32_t HWField(float value)
    {
        const float scaled = value * 255.0f;
        if (!(std::fabs(scaled) < 9.2233720368547758e18f))
            return 0;
        return uint32_t(uint64_t(int64_t(scaled)));
    }
};
