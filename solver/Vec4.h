#pragma once
// Four-lane arithmetic on Float4 for the accumulation of contributions: one vector instruction per
// load, addition or store instead of three. Each lane is added exactly as a scalar float would be,
// so a sum taken in Vec4 has the bits of the same sum taken in Point3.
#include <cstddef>
#include <cstdint>

#include "cloth/ClothWorkspace.h"
#include "sdk/Point3.h"

#if defined(__SSE2__)
#include <xmmintrin.h>
#include <emmintrin.h>
#endif

namespace velmora::solver {

// An element index as an array offset. Indices are never negative, and a 32-bit unsigned value
// widens for free, where a signed one costs an instruction per access in the hot loops.
inline std::size_t at(int i) { return static_cast<std::uint32_t>(i); }

#if defined(__SSE2__)
struct Vec4 {
    __m128 v;

    static Vec4 zero() { return {_mm_setzero_ps()}; }
    static Vec4 load(const Float4& a) { return {_mm_load_ps(&a.x)}; }
    static Vec4 of(float x, float y, float z) { return {_mm_set_ps(0.0f, z, y, x)}; }
    static Vec4 of(const Point3& p) { return of(p.x, p.y, p.z); }
    void store(Float4& a) const { _mm_store_ps(&a.x, v); }
    Point3 point() const {
        alignas(16) float f[4];
        _mm_store_ps(f, v);
        return Point3(f[0], f[1], f[2]);
    }
    friend Vec4 operator+(Vec4 a, Vec4 b) { return {_mm_add_ps(a.v, b.v)}; }
    friend Vec4 operator-(Vec4 a, Vec4 b) { return {_mm_sub_ps(a.v, b.v)}; }
    friend Vec4 operator*(Vec4 a, float s) { return {_mm_mul_ps(a.v, _mm_set1_ps(s))}; }
    // Sign flipped in every lane, as unary minus on a float: exact.
    friend Vec4 operator-(Vec4 a) { return {_mm_xor_ps(a.v, _mm_set1_ps(-0.0f))}; }
};
#else
struct Vec4 {
    float x, y, z, w;

    static Vec4 zero() { return {0.0f, 0.0f, 0.0f, 0.0f}; }
    static Vec4 load(const Float4& a) { return {a.x, a.y, a.z, a.w}; }
    static Vec4 of(float x, float y, float z) { return {x, y, z, 0.0f}; }
    static Vec4 of(const Point3& p) { return of(p.x, p.y, p.z); }
    void store(Float4& a) const { a.x = x, a.y = y, a.z = z, a.w = w; }
    Point3 point() const { return Point3(x, y, z); }
    friend Vec4 operator+(Vec4 a, Vec4 b) { return {a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w}; }
    friend Vec4 operator-(Vec4 a, Vec4 b) { return {a.x - b.x, a.y - b.y, a.z - b.z, a.w - b.w}; }
    friend Vec4 operator*(Vec4 a, float s) { return {a.x * s, a.y * s, a.z * s, a.w * s}; }
    friend Vec4 operator-(Vec4 a) { return {-a.x, -a.y, -a.z, -a.w}; }
};
#endif

// The same into registers: out[i] = (x[i], y[i], z[i], 0) for i in [0, 4).
inline void interleave4(const float* x, const float* y, const float* z, Vec4 out[4]) {
#if defined(__SSE2__)
    __m128 a = _mm_loadu_ps(x), b = _mm_loadu_ps(y), c = _mm_loadu_ps(z), d = _mm_setzero_ps();
    _MM_TRANSPOSE4_PS(a, b, c, d);
    out[0].v = a, out[1].v = b, out[2].v = c, out[3].v = d;
#else
    for (int i = 0; i < 4; ++i) out[i] = Vec4::of(x[i], y[i], z[i]);
#endif
}

// The inverse: x[i], y[i], z[i] = in[i].x, .y, .z for i in [0, 4).
inline void deinterleave4(const Float4* in, float* x, float* y, float* z) {
#if defined(__SSE2__)
    __m128 a = _mm_load_ps(&in[0].x), b = _mm_load_ps(&in[1].x), c = _mm_load_ps(&in[2].x),
           d = _mm_load_ps(&in[3].x);
    _MM_TRANSPOSE4_PS(a, b, c, d);
    _mm_storeu_ps(x, a);
    _mm_storeu_ps(y, b);
    _mm_storeu_ps(z, c);
#else
    for (int i = 0; i < 4; ++i) x[i] = in[i].x, y[i] = in[i].y, z[i] = in[i].z;
#endif
}

// points[i] as (x, y, z, anything): one 16-byte load, which reads the first float of the next
// point, except for the last point of the array (index `last`), which has none after it.
inline Vec4 loadPoint(const Point3* points, int i, int last) {
#if defined(__SSE2__)
    if (i < last) return {_mm_loadu_ps(&points[at(i)].x)};
#endif
    return Vec4::of(points[at(i)]);
}

// The same for a point known not to be the last of its array: no check.
inline Vec4 loadPointFollowed(const Point3* points, int i) {
#if defined(__SSE2__)
    return {_mm_loadu_ps(&points[at(i)].x)};
#else
    return Vec4::of(points[at(i)]);
#endif
}

// loadPoint, or loadPointFollowed when the caller knows i is below `last`.
template <bool kChecked>
inline Vec4 loadPointIf(const Point3* points, int i, int last) {
    if constexpr (kChecked) {
        return loadPoint(points, i, last);
    } else {
        return loadPointFollowed(points, i);
    }
}

// The first three lanes into a Point3 (twelve bytes: the point after it is not touched).
inline void storePoint(Point3& p, Vec4 value) {
#if defined(__SSE2__)
    _mm_storel_pi(reinterpret_cast<__m64*>(&p.x), value.v);
    _mm_store_ss(&p.z, _mm_movehl_ps(value.v, value.v));
#else
    p = value.point();
#endif
}

inline void addInto(Float4& a, Vec4 value) { (Vec4::load(a) + value).store(a); }

// out[i] = (x[i], y[i], z[i], 0) for i in [0, 4): four records' vectors from per-quantity arrays.
inline void interleave4(const float* x, const float* y, const float* z, Float4* out) {
#if defined(__SSE2__)
    __m128 a = _mm_loadu_ps(x), b = _mm_loadu_ps(y), c = _mm_loadu_ps(z), d = _mm_setzero_ps();
    _MM_TRANSPOSE4_PS(a, b, c, d);
    _mm_store_ps(&out[0].x, a);
    _mm_store_ps(&out[1].x, b);
    _mm_store_ps(&out[2].x, c);
    _mm_store_ps(&out[3].x, d);
#else
    for (int i = 0; i < 4; ++i) out[i] = Float4{x[i], y[i], z[i], 0.0f};
#endif
}

}  // namespace velmora::solver
