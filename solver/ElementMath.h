#pragma once
// The maths of one element of every solver stage and brush kernel, as plain functions of plain
// values. The stages are thin loops around these; the cloth build shares the dihedral angle.
// Every expression keeps the evaluation order of the formulas it implements, so that a plain
// serial loop written from the same formulas gives the same bits.
#include <bit>
#include <cmath>
#include <cstdint>

#include "sdk/HostRelease.h"
#include "sdk/Point3.h"

namespace velmora::solver {

// Pressure push scale per unit of `pressure`.
inline constexpr float kPressureScale = 0.01f;
// Gravity per unit of `gravity`, along -z of the mesh.
inline constexpr float kGravityScale = 0.01f;
// Fraction of the depth below the ground plane that is kept per iteration.
inline constexpr float kGroundKeep = 0.8f;
// Limit of a rest angle, either way (radians).
inline constexpr float kBendAngleLimit = 2.8f;
// One third as the rounded single-precision reciprocal the older host builds use.
inline constexpr float kOneThird = 0.33333334f;

// Value of 1/3 x sum the way this host release computes it: a product with the rounded
// reciprocal before 24000, a true division from 24000 on.
inline float thirdOf(float sum) {
#if MAX_RELEASE >= 24000
    return sum / 3.0f;
#else
    return sum * kOneThird;
#endif
}

// Stretch stiffness: trunc(iterations x 0.25) x clothStrength, raised to 1 when below 1 or NaN.
inline float stiffnessFor(int iterations, float clothStrength) {
    const float q = static_cast<float>(iterations) * 0.25f;
    const float t = static_cast<float>(static_cast<int>(q));
    const float k = t * clothStrength;
    return (k >= 1.0f) ? k : 1.0f;
}

// Gravity vector of one iteration.
inline Point3 gravityVectorFor(bool gravityEnabled, float gravity) {
    return gravityEnabled ? Point3(0.0f, 0.0f, -kGravityScale * gravity) : Point3(0.0f, 0.0f, 0.0f);
}

// Smooth ease of a brush weight: 2x^2 below 0.5, 1 - (2 - 2x)^2 / 2 from 0.5 on.
inline float moveEase(float x) {
    if (x < 0.5f) return 2.0f * x * x;
    const float r = 2.0f - 2.0f * x;
    return 1.0f - r * r * 0.5f;
}

// The C library's single-precision atan2f (this platform's: argument reduction of |y/x| into
// one of five ranges, an odd polynomial of degree 23 split into two halves, the quadrant fixed up
// with a split pi), written with selects instead of branches so that a loop over arrays of it
// vectorises. It performs the same float operations in the same order, so every result is the
// library's to the bit: its error is the library's (under 1 ulp of the exact angle over the
// whole domain) and NaN, infinities, zeros of either sign and denormals give what the library
// gives. A test checks it against atan2f over a sweep of the whole domain. Rest angles at the
// build and current angles in the solver both come from here, so an edge that has not moved
// measures exactly its rest angle.
namespace detail {
// c ? a : b through an all-ones or all-zero mask: plain integer arithmetic, which the compiler
// keeps branch-free (a chain of float selects it may turn back into jumps).
[[gnu::always_inline]] inline float select(bool c, float a, float b) {
    const std::uint32_t m = 0u - static_cast<std::uint32_t>(c);
    return std::bit_cast<float>((std::bit_cast<std::uint32_t>(a) & m) | (std::bit_cast<std::uint32_t>(b) & ~m));
}
}  // namespace detail

[[gnu::always_inline]] inline float atan2Exact(float y, float x) {
    using detail::select;
    constexpr float kPiO4 = 7.8539818525e-01f;
    constexpr float kPiO2 = 1.5707963705e+00f;
    constexpr float kPi = 3.1415927410e+00f;
    constexpr float kPiLo = -8.7422776573e-08f;
    constexpr float kTiny = 1.0e-30f;
    const std::uint32_t hx = std::bit_cast<std::uint32_t>(x);
    const std::uint32_t hy = std::bit_cast<std::uint32_t>(y);
    const std::uint32_t ix = hx & 0x7fffffffu;
    const std::uint32_t iy = hy & 0x7fffffffu;
    const bool xNegative = (hx >> 31) != 0;
    const bool yNegative = (hy >> 31) != 0;

    // atan of t = |y / x| >= 0. Ranges: below 7/16 no reduction; then atan(0.5), atan(1),
    // atan(1.5) and atan(inf) as a split hi + lo around a reduced argument (p t - q) / (r + s t),
    // whose operations are exactly those of each range's own formula (1 t = t, 0 t = 0 for a
    // finite t).
    const float t = std::bit_cast<float>(iy) / std::bit_cast<float>(ix);
    const std::uint32_t it = std::bit_cast<std::uint32_t>(t);
    const bool r0 = it < 0x3ee00000u, r1 = it < 0x3f300000u, r2 = it < 0x3f980000u, r3 = it < 0x401c0000u;
    const auto pick = [&](float c0, float c1, float c2, float c3, float c4) {
        return select(r0, c0, select(r1, c1, select(r2, c2, select(r3, c3, c4))));
    };
    const float p = pick(1.0f, 2.0f, 1.0f, 1.0f, 0.0f);
    const float q = pick(0.0f, 1.0f, 1.0f, 1.5f, 1.0f);
    const float r = pick(1.0f, 2.0f, 1.0f, 1.0f, 0.0f);
    const float s = pick(0.0f, 1.0f, 1.0f, 1.5f, 1.0f);
    const float hi = pick(0.0f, 4.6364760399e-01f, 7.8539812565e-01f, 9.8279368877e-01f, 1.5707962513e+00f);
    const float lo = pick(0.0f, 5.0121582440e-09f, 3.7748947079e-08f, 3.4473217170e-08f, 7.5497894159e-08f);
    const float u = (p * t - q) / (r + s * t);
    const float z2 = u * u;
    const float w = z2 * z2;
    const float s1 = z2 * (3.3333334327e-01f +
                           w * (1.4285714924e-01f +
                                w * (9.0908870101e-02f +
                                     w * (6.6610731184e-02f + w * (4.9768779427e-02f + w * 1.6285819933e-02f)))));
    const float s2 = w * (-2.0000000298e-01f +
                          w * (-1.1111110449e-01f +
                               w * (-7.6918758452e-02f + w * (-5.8335702866e-02f + w * -3.6531571299e-02f))));
    // Below 7/16 the library returns u - u (s1 + s2); 0 - ((a - 0) - u) is that to the bit.
    const float atanT = hi - ((u * (s1 + s2) - lo) - u);

    // |y / x| beyond 2^60 or below 2^-60 with x < 0: the library takes a limit; from 2^25 on
    // its atan is the rounded pi / 2.
    const std::int32_t k = (static_cast<std::int32_t>(iy) - static_cast<std::int32_t>(ix)) >> 23;
    float zA = select(it >= 0x4c000000u, 1.5707962513e+00f + 7.5497894159e-08f, atanT);
    zA = select(xNegative && k < -60, 0.0f, zA);
    zA = select(k > 60, kPiO2 + 0.5f * kPiLo, zA);
    const float zLo = zA - kPiLo;
    float result = select(xNegative, select(yNegative, zLo - kPi, kPi - zLo), select(yNegative, -zA, zA));

    // Special operands, the highest priority last.
    const float halfPi = select(yNegative, -kPiO2 - kTiny, kPiO2 + kTiny);
    const float bothInf = select(xNegative, 3.0f * kPiO4 + kTiny, kPiO4 + kTiny);
    const float xInfAbs = select(iy == 0x7f800000u, bothInf, select(xNegative, kPi + kTiny, 0.0f));
    const float xInf = select(yNegative, -xInfAbs, xInfAbs);
    const float yZero = select(xNegative, select(yNegative, -kPi - kTiny, kPi + kTiny), y);
    result = select(iy == 0x7f800000u, halfPi, result);
    result = select(ix == 0x7f800000u, xInf, result);
    result = select(ix == 0, halfPi, result);
    result = select(iy == 0, yZero, result);
    result = select(ix > 0x7f800000u || iy > 0x7f800000u, x + y, result);
    return result;
}

// Signed dihedral angle of an edge: the angle between the face normals n0 and n1 (0 to pi),
// negative when q (the far corner of face1, relative to the edge's first vertex) lies behind
// the plane of face0, as seen along n0. `e` is the unit edge direction (zero is allowed: then
// the whole of q counts as perpendicular). Finite for finite inputs, including zero normals.
inline float signedDihedralAngle(const Point3& n0, const Point3& n1, const Point3& q, const Point3& e) {
    const float s = Length(CrossProd(n0, n1));
    const float c = DotProd(n0, n1);
    const float theta = atan2Exact(s, c);
    const Point3 h = q - e * DotProd(q, e);
    return (DotProd(h, n0) < 0.0f) ? -theta : theta;
}

// Unit normal of the triangle a, b, c by the right-hand rule, computed exactly as the host mesh's
// face normal with normalisation: (b - a) x (c - a) divided by its length; a zero or non-finite
// length gives (0, 0, 0). Inline so that the per-face stage needs no call per face.
inline Point3 faceUnitNormal(const Point3& a, const Point3& b, const Point3& c) {
    const Point3 n = (b - a) ^ (c - a);
    const float l = n.Length();
    if (!(l > 0.0f) || !std::isfinite(l)) return Point3(0.0f, 0.0f, 0.0f);
    return n / l;
}

// Edge length, unit direction and reciprocal length; `valid` is false when the edge has no
// usable direction (coincident or nearly coincident vertices, or an overflowing length).
struct EdgeFrame {
    Point3 e;
    float length;
    float invLength;
    bool valid;
};

inline EdgeFrame edgeFrame(const Point3& p0, const Point3& p1) {
    const Point3 d = p1 - p0;
    const float length = d.Length();
    const float invLength = 1.0f / length;
    EdgeFrame f{d * invLength, length, invLength, false};
    // A zero or denormal length gives an infinite reciprocal and an overflowing one a zero
    // reciprocal; either would turn the direction into infinities or NaN.
    f.valid = length > 0.0f && std::isfinite(invLength) && std::isfinite(length);
    return f;
}

// Stretch correction of an edge: s = e (L - restLength) k.
inline Point3 stretchCorrection(const EdgeFrame& f, float restLength, float stiffness) {
    return f.e * (f.length - restLength) * stiffness;
}

// Rest angle after plasticity moves it toward the current angle by the fraction `plasticity` of
// `diff`, kept within the bend limit.
inline float plasticRestAngle(float restAngle, float diff, float plasticity) {
    float r = restAngle + plasticity * diff;
    if (r > kBendAngleLimit) r = kBendAngleLimit;
    if (r < -kBendAngleLimit) r = -kBendAngleLimit;
    return r;
}

inline bool isZero(const Point3& p) { return p.x == 0.0f && p.y == 0.0f && p.z == 0.0f; }

// Result of the bending term of one two-face record.
struct BendTerms {
    Point3 pushOpposite0;  // subtracted from opposite0
    Point3 pushOpposite1;  // subtracted from opposite1
    Point3 pushEdge;       // added to vert0 and to vert1
    float restAngle;       // the record's new rest angle
};

// Bending of one two-face record with frame f: p0 is vert0, pOpposite1 the far corner of face1,
// n0, n1 the face normals. A face of zero area (zero normal) has no angle: then neither push nor
// plasticity, and the rest angle is returned unchanged.
inline BendTerms bendTerms(const EdgeFrame& f, float restAngle, const Point3& p0, const Point3& pOpposite1,
                           const Point3& n0, const Point3& n1, float bendiness, float plasticity) {
    const Point3 zero(0.0f, 0.0f, 0.0f);
    if (isZero(n0) || isZero(n1)) return {zero, zero, zero, restAngle};
    const float phi = signedDihedralAngle(n0, n1, pOpposite1 - p0, f.e);
    const float diff = phi - restAngle;
    // The push uses the rest angle from before the plasticity update.
    const float b = f.length * bendiness * diff;
    return {n0 * b, n1 * b, (n0 + n1) * (0.5f * b), plasticRestAngle(restAngle, diff, plasticity)};
}

// Position and velocity of one vertex after the integration.
struct VertexMotion {
    Point3 position;
    Point3 velocity;
};

// Masked integration: velocity gain and position change scaled by the mask m.
inline VertexMotion integrateMasked(Point3 p, Point3 v, const Point3& delta, float m, const Point3& gravity,
                                    float stepFactor, float damping, bool groundCollision) {
    v = v + (gravity + delta) * m;
    p = p + v * stepFactor * m;
    v = v * damping;
    if (groundCollision && !(p.z >= 0.0f)) p.z = p.z * kGroundKeep;
    return {p, v};
}

// Unmasked integration (its own order of additions: velocity + delta + gravity).
inline VertexMotion integrateUnmasked(Point3 p, Point3 v, const Point3& delta, const Point3& gravity,
                                      float stepFactor, float damping, bool groundCollision) {
    v = v + delta + gravity;
    p = p + v * stepFactor;
    v = v * damping;
    if (groundCollision && !(p.z >= 0.0f)) p.z = p.z * kGroundKeep;
    return {p, v};
}

// Pressure push of a vertex from its summed face normals (zero sum: no push).
inline Point3 pressurePush(const Point3& normalSum, float pressure) {
    return Normalize(normalSum) * kPressureScale * pressure;
}

// Mean brush weight of an edge, with or without the mask.
inline float edgeWeight(float w0, float w1) { return 0.5f * (w0 + w1); }
inline float edgeWeightMasked(float w0, float m0, float w1, float m1) { return 0.5f * (w0 * m0 + w1 * m1); }

// Expand of one rest length by the edge weight a (already scaled by the stroke direction):
// growth by the factor 1 + 0.1 a.
inline float expandedRestLength(float restLength, float a) {
    a = a * 0.1f;
    return restLength * 1.1f * a + (1.0f - a) * restLength;
}

// |u . strokeDirection| for the edge from p1 to p0; a zero edge gives 0.
inline float directionalFactor(const Point3& p0, const Point3& p1, const Point3& strokeDirection) {
    return std::fabs(DotProd(Normalize(p0 - p1), strokeDirection));
}

// Shrink of one rest length: by the factor 1 - 0.1 t, t = 0.2 x edge weight.
inline float shrunkRestLength(float restLength, float weight) {
    const float t = weight * 0.2f;
    return restLength * 0.9f * t + (1.0f - t) * restLength;
}

inline float flattenedRestAngle(float restAngle, float weight) { return (1.0f - weight) * restAngle; }

// Mask paint: toward maskVal by the squared weight.
inline float paintedMask(float mask, float weight, float maskVal) {
    const float s = weight * weight;
    return s * maskVal + (1.0f - s) * mask;
}

// Blur fraction of a face from its three weights.
inline float blurFraction(float wa, float wb, float wc, float strength) {
    return thirdOf(wa + wb + wc) * strength;
}

// Brush weight of a point at squared distance d2 from the brush point: 1 at the point, linear to
// 0 at the radius, 0 beyond. A radius too small for its reciprocal counts every point inside it
// as at the brush point.
inline float brushWeight(float d2, float r2, float invRadius) {
    if (d2 > r2) return 0.0f;
    if (!std::isfinite(invRadius)) return 1.0f;
    // Squares that overflow (coordinates beyond about 1e19) give no usable distance: no weight
    // rather than an infinite one.
    const float w = 1.0f - std::sqrt(d2) * invRadius;
    return std::isfinite(w) ? w : 0.0f;
}

}  // namespace velmora::solver
