#pragma once
// Host value types: Point3, IPoint2, Ray, Box3. Single-precision, component-wise arithmetic.
#include <cmath>

class Point3 {
public:
    float x = 0.0f, y = 0.0f, z = 0.0f;
    constexpr Point3() = default;
    constexpr Point3(float X, float Y, float Z) : x(X), y(Y), z(Z) {}
    constexpr Point3(double X, double Y, double Z)
        : x(static_cast<float>(X)), y(static_cast<float>(Y)), z(static_cast<float>(Z)) {}

    static constexpr Point3 Origin() { return {0.0f, 0.0f, 0.0f}; }

    constexpr float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    constexpr float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }

    constexpr Point3 operator-() const { return {-x, -y, -z}; }
    constexpr Point3 operator+(const Point3& b) const { return {x + b.x, y + b.y, z + b.z}; }
    constexpr Point3 operator-(const Point3& b) const { return {x - b.x, y - b.y, z - b.z}; }
    constexpr Point3 operator*(float f) const { return {x * f, y * f, z * f}; }
    constexpr Point3 operator/(float f) const { return {x / f, y / f, z / f}; }
    // Component-wise product.
    constexpr Point3 operator*(const Point3& b) const { return {x * b.x, y * b.y, z * b.z}; }
    constexpr Point3& operator+=(const Point3& b) { x += b.x; y += b.y; z += b.z; return *this; }
    constexpr Point3& operator-=(const Point3& b) { x -= b.x; y -= b.y; z -= b.z; return *this; }
    constexpr Point3& operator*=(float f) { x *= f; y *= f; z *= f; return *this; }
    constexpr bool operator==(const Point3&) const = default;

    // Cross product (the host's ^) and dot product (the host's %).
    constexpr Point3 operator^(const Point3& b) const {
        return {y * b.z - z * b.y, z * b.x - x * b.z, x * b.y - y * b.x};
    }
    constexpr float operator%(const Point3& b) const { return x * b.x + y * b.y + z * b.z; }

    float Length() const { return std::sqrt(x * x + y * y + z * z); }
    constexpr float LengthSquared() const { return x * x + y * y + z * z; }
    // Unit vector in this direction; the zero vector stays zero (never NaN).
    Point3 Normalize() const {
        const float l = Length();
        if (!(l > 0.0f)) return {0.0f, 0.0f, 0.0f};
        return *this / l;
    }
    Point3 FNormalize() const { return Normalize(); }
};

inline constexpr Point3 operator*(float f, const Point3& p) { return p * f; }
inline float Length(const Point3& p) { return p.Length(); }
inline constexpr float LengthSquared(const Point3& p) { return p.LengthSquared(); }
inline Point3 Normalize(const Point3& p) { return p.Normalize(); }
inline Point3 FNormalize(const Point3& p) { return p.Normalize(); }
inline constexpr Point3 CrossProd(const Point3& a, const Point3& b) { return a ^ b; }
inline constexpr float DotProd(const Point3& a, const Point3& b) { return a % b; }

class IPoint2 {
public:
    int x = 0, y = 0;
    constexpr IPoint2() = default;
    constexpr IPoint2(int X, int Y) : x(X), y(Y) {}
    constexpr bool operator==(const IPoint2&) const = default;
};

class Ray {
public:
    Point3 p;    // origin
    Point3 dir;  // direction (unit length when it comes from a viewport)
};

class Box3 {
public:
    Point3 pmin{1e30f, 1e30f, 1e30f};
    Point3 pmax{-1e30f, -1e30f, -1e30f};
    void Init() { *this = Box3(); }
    bool IsEmpty() const { return pmin.x > pmax.x || pmin.y > pmax.y || pmin.z > pmax.z; }
    Box3& operator+=(const Point3& p) {
        pmin = {std::fmin(pmin.x, p.x), std::fmin(pmin.y, p.y), std::fmin(pmin.z, p.z)};
        pmax = {std::fmax(pmax.x, p.x), std::fmax(pmax.y, p.y), std::fmax(pmax.z, p.z)};
        return *this;
    }
    Point3 Min() const { return pmin; }
    Point3 Max() const { return pmax; }
    Point3 Center() const { return (pmin + pmax) * 0.5f; }
    Point3 Width() const { return pmax - pmin; }
};
