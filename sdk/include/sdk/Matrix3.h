#pragma once
// Host affine matrix: four rows of three floats (row 3 is the translation) and a flags word.
// Points are row vectors: p' = p * M.
#include "sdk/HostTypes.h"
#include "sdk/Point3.h"

// Flags word bits.
constexpr DWORD POS_IDENT = 1;
constexpr DWORD ROT_IDENT = 2;
constexpr DWORD SCL_IDENT = 4;
constexpr DWORD MAT_IDENT = POS_IDENT | ROT_IDENT | SCL_IDENT;

class Matrix3 {
public:
    Matrix3() { IdentityMatrix(); }
    explicit Matrix3(bool zero) { if (zero) Zero(); else IdentityMatrix(); }
    Matrix3(const Point3& r0, const Point3& r1, const Point3& r2, const Point3& r3) {
        m[0] = r0; m[1] = r1; m[2] = r2; m[3] = r3; flags = 0;
    }

    void IdentityMatrix();
    void Zero();
    Point3 GetRow(int i) const { return m[i]; }
    void SetRow(int i, const Point3& p) { m[i] = p; flags = 0; }
    Point3 GetTrans() const { return m[3]; }
    void SetTrans(const Point3& p) { m[3] = p; flags &= ~POS_IDENT; }
    DWORD GetIdentFlags() const { return flags; }
    void SetIdentFlags(DWORD f) { flags = f; }
    bool IsIdentity() const { return (flags & MAT_IDENT) == MAT_IDENT; }

    // Orthonormal frame at `from`: row 2 points along (to - from); row 0 = normalize(up x row2),
    // row 1 = row2 x row0; row 3 = from. When (to - from) is parallel to `up` (or `up` is zero),
    // the world axis least aligned with row 2 (x, then y, then z on ties) stands in for `up`.
    // "Parallel" means the sine of the angle is below 1e-6. A zero (to - from) gives row 2 = +z.
    void SetFromToUp(const Point3& from, const Point3& to, const Point3& up);

    Matrix3 operator*(const Matrix3& b) const;  // this first, then b
    bool operator==(const Matrix3& b) const;  // the twelve numbers; the flags are not compared

    Point3 m[4];
    DWORD flags = MAT_IDENT;
};

Point3 operator*(const Point3& p, const Matrix3& a);  // transform a point (with translation)
Point3 VectorTransform(const Matrix3& a, const Point3& v);  // rotate/scale only
// General affine inverse, keeping the flags. A singular 3x3 part (rows dependent to 1e-12
// relative to their lengths, or not finite, or an inverse that overflows) yields the identity
// (never NaN).
Matrix3 Inverse(const Matrix3& a);
