#include "sdk/Matrix3.h"

#include <cmath>

namespace {
struct D3 {
    double x, y, z;
};
D3 toD(const Point3& p) { return {p.x, p.y, p.z}; }
Point3 toF(const D3& p) { return Point3(p.x, p.y, p.z); }
D3 sub(const D3& a, const D3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
D3 cross(const D3& a, const D3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double dot(const D3& a, const D3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double len(const D3& a) { return std::sqrt(dot(a, a)); }
D3 scale(const D3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }

// Below this sine of the angle between `up` and the viewing direction the cross product carries
// no usable direction, so a world axis stands in for `up`.
constexpr double kParallelSine = 1e-6;
// Hadamard ratio |det| / (|r0| |r1| |r2|) below which the rows are treated as dependent.
constexpr double kSingularRatio = 1e-12;
}  // namespace

void Matrix3::IdentityMatrix() {
    m[0] = {1.0f, 0.0f, 0.0f};
    m[1] = {0.0f, 1.0f, 0.0f};
    m[2] = {0.0f, 0.0f, 1.0f};
    m[3] = {0.0f, 0.0f, 0.0f};
    flags = MAT_IDENT;
}

void Matrix3::Zero() {
    for (Point3& r : m) r = {0.0f, 0.0f, 0.0f};
    flags = 0;
}

void Matrix3::SetFromToUp(const Point3& from, const Point3& to, const Point3& up) {
    // Double precision keeps the frame orthonormal to float accuracy even when `up` is nearly
    // parallel to the viewing direction.
    D3 z = sub(toD(to), toD(from));
    const double zl = len(z);
    z = (zl > 0.0 && std::isfinite(zl)) ? scale(z, 1.0 / zl) : D3{0.0, 0.0, 1.0};

    D3 u = toD(up);
    D3 x = cross(u, z);
    const double ul = len(u);
    double xl = len(x);
    if (!(ul > 0.0) || !std::isfinite(ul) || !(xl > kParallelSine * ul)) {
        // The world axis least aligned with z (lowest index on ties) is never parallel to it.
        const double ax = std::fabs(z.x), ay = std::fabs(z.y), az = std::fabs(z.z);
        if (ax <= ay && ax <= az) u = {1.0, 0.0, 0.0};
        else if (ay <= az) u = {0.0, 1.0, 0.0};
        else u = {0.0, 0.0, 1.0};
        x = cross(u, z);
        xl = len(x);
    }
    x = scale(x, 1.0 / xl);
    const D3 y = cross(z, x);
    m[0] = toF(x);
    m[1] = toF(y);
    m[2] = toF(z);
    m[3] = from;
    flags = 0;
}

Matrix3 Matrix3::operator*(const Matrix3& b) const {
    Matrix3 r(true);
    for (int i = 0; i < 4; ++i) {
        const Point3& a = m[i];
        r.m[i] = b.m[0] * a.x + b.m[1] * a.y + b.m[2] * a.z;
    }
    r.m[3] += b.m[3];
    // A part that is the identity in both factors is the identity in the product.
    r.flags = flags & b.flags;
    return r;
}

bool Matrix3::operator==(const Matrix3& b) const {
    return m[0] == b.m[0] && m[1] == b.m[1] && m[2] == b.m[2] && m[3] == b.m[3];
}

Point3 operator*(const Point3& p, const Matrix3& a) {
    return a.m[0] * p.x + a.m[1] * p.y + a.m[2] * p.z + a.m[3];
}

Point3 VectorTransform(const Matrix3& a, const Point3& v) {
    return a.m[0] * v.x + a.m[1] * v.y + a.m[2] * v.z;
}

Matrix3 Inverse(const Matrix3& a) {
    const D3 r0 = toD(a.m[0]), r1 = toD(a.m[1]), r2 = toD(a.m[2]), t = toD(a.m[3]);
    // Rows of the adjugate's transpose: the inverse's columns are r1 x r2, r2 x r0, r0 x r1.
    const D3 c0 = cross(r1, r2), c1 = cross(r2, r0), c2 = cross(r0, r1);
    const double det = dot(r0, c0);
    const double bound = len(r0) * len(r1) * len(r2);
    Matrix3 identity;
    if (!std::isfinite(det) || !std::isfinite(bound) || !(std::fabs(det) > kSingularRatio * bound)) {
        return identity;
    }
    const double inv = 1.0 / det;
    // For row vectors p' = p R + t, the inverse is p = (p' - t) R^-1, with
    // R^-1 = [c0 c1 c2] / det (the cross products as columns).
    const D3 i0{c0.x * inv, c1.x * inv, c2.x * inv};
    const D3 i1{c0.y * inv, c1.y * inv, c2.y * inv};
    const D3 i2{c0.z * inv, c1.z * inv, c2.z * inv};
    const D3 it{-(t.x * i0.x + t.y * i1.x + t.z * i2.x), -(t.x * i0.y + t.y * i1.y + t.z * i2.y),
                -(t.x * i0.z + t.y * i1.z + t.z * i2.z)};
    Matrix3 r(toF(i0), toF(i1), toF(i2), toF(it));
    for (const Point3& row : r.m) {
        if (!std::isfinite(row.x) || !std::isfinite(row.y) || !std::isfinite(row.z)) return identity;
    }
    r.flags = a.flags;
    return r;
}
