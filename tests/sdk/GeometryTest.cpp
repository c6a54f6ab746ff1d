#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "SdkTestMeshes.h"
#include "sdk/Matrix3.h"

namespace {

void expectNear(const Point3& a, const Point3& b, float tol, const std::string& what) {
    EXPECT_NEAR(a.x, b.x, tol) << what;
    EXPECT_NEAR(a.y, b.y, tol) << what;
    EXPECT_NEAR(a.z, b.z, tol) << what;
}

bool allFinite(const Matrix3& m) {
    for (const Point3& r : m.m) {
        if (!std::isfinite(r.x) || !std::isfinite(r.y) || !std::isfinite(r.z)) return false;
    }
    return true;
}

TEST(Point3Test, NormalizeZeroStaysZero) {
    EXPECT_EQ(Normalize(Point3(0.0f, 0.0f, 0.0f)), Point3(0.0f, 0.0f, 0.0f));
    EXPECT_EQ(FNormalize(Point3(0.0f, 0.0f, 0.0f)), Point3(0.0f, 0.0f, 0.0f));
    EXPECT_NEAR(Length(Normalize(Point3(3.0f, -4.0f, 12.0f))), 1.0f, 1e-6f);
    EXPECT_EQ(CrossProd(Point3(1.0f, 0.0f, 0.0f), Point3(0.0f, 1.0f, 0.0f)), Point3(0.0f, 0.0f, 1.0f));
}

TEST(Matrix3Test, PointAndVectorTransformUseRowVectors) {
    Matrix3 m(Point3(0.0f, 1.0f, 0.0f), Point3(-1.0f, 0.0f, 0.0f), Point3(0.0f, 0.0f, 2.0f),
              Point3(10.0f, 20.0f, 30.0f));
    // p * M = x * row0 + y * row1 + z * row2 + row3.
    EXPECT_EQ(Point3(1.0f, 2.0f, 3.0f) * m, Point3(8.0f, 21.0f, 36.0f));
    EXPECT_EQ(VectorTransform(m, Point3(1.0f, 2.0f, 3.0f)), Point3(-2.0f, 1.0f, 6.0f));
    // Composition applies the left factor first.
    Matrix3 t;
    t.SetTrans(Point3(1.0f, 0.0f, 0.0f));
    const Point3 p(0.5f, -2.0f, 4.0f);
    expectNear(p * (t * m), (p * t) * m, 1e-5f, "t then m");
    expectNear(p * (m * t), (p * m) * t, 1e-5f, "m then t");
}

TEST(Matrix3Test, IdentityAndZero) {
    Matrix3 m;
    EXPECT_TRUE(m.IsIdentity());
    m.Zero();
    EXPECT_FALSE(m.IsIdentity());
    EXPECT_EQ(m.GetRow(0), Point3(0.0f, 0.0f, 0.0f));
    EXPECT_EQ(m.GetTrans(), Point3(0.0f, 0.0f, 0.0f));
    m.IdentityMatrix();
    EXPECT_TRUE(m.IsIdentity());
    EXPECT_EQ(m, Matrix3(Point3(1.0f, 0.0f, 0.0f), Point3(0.0f, 1.0f, 0.0f), Point3(0.0f, 0.0f, 1.0f),
                         Point3(0.0f, 0.0f, 0.0f)));
}

struct InverseCase {
    const char* name;
    Matrix3 m;
};

TEST(Matrix3Test, InverseUndoesTheTransform) {
    const float c = std::cos(0.7f), s = std::sin(0.7f);
    const InverseCase cases[] = {
        {"identity", Matrix3()},
        {"translation", Matrix3(Point3(1.0f, 0.0f, 0.0f), Point3(0.0f, 1.0f, 0.0f), Point3(0.0f, 0.0f, 1.0f),
                                Point3(5.0f, -3.0f, 2.0f))},
        {"rotation and translation", Matrix3(Point3(c, s, 0.0f), Point3(-s, c, 0.0f), Point3(0.0f, 0.0f, 1.0f),
                                             Point3(-1.0f, 4.0f, 0.5f))},
        {"scale, shear, translation", Matrix3(Point3(2.0f, 0.5f, 0.0f), Point3(0.0f, 3.0f, 1.0f),
                                              Point3(0.25f, 0.0f, 0.5f), Point3(7.0f, 8.0f, 9.0f))},
        {"mirror", Matrix3(Point3(-1.0f, 0.0f, 0.0f), Point3(0.0f, 1.0f, 0.0f), Point3(0.0f, 0.0f, 1.0f),
                           Point3(0.0f, 0.0f, 3.0f))},
        {"tiny uniform scale", Matrix3(Point3(1e-4f, 0.0f, 0.0f), Point3(0.0f, 1e-4f, 0.0f),
                                       Point3(0.0f, 0.0f, 1e-4f), Point3(2e-4f, -1e-4f, 3e-4f))},
    };
    const Point3 probes[] = {{0.0f, 0.0f, 0.0f}, {1.0f, 2.0f, 3.0f}, {-4.0f, 0.5f, 9.0f}};
    for (const InverseCase& k : cases) {
        const Matrix3 inv = Inverse(k.m);
        ASSERT_TRUE(allFinite(inv)) << k.name;
        const Matrix3 both = k.m * inv;
        for (int r = 0; r < 4; ++r) {
            expectNear(both.GetRow(r), Matrix3().GetRow(r), 1e-4f, std::string(k.name) + " row " + std::to_string(r));
        }
        for (const Point3& p : probes) {
            const Point3 back = (p * k.m) * inv;
            const float tol = 1e-4f * (1.0f + Length(p));
            expectNear(back, p, tol, k.name);
        }
    }
}

TEST(Matrix3Test, SingularInverseIsIdentity) {
    Matrix3 zero(true);
    const InverseCase cases[] = {
        {"zero", zero},
        {"zero row", Matrix3(Point3(1.0f, 0.0f, 0.0f), Point3(0.0f, 0.0f, 0.0f), Point3(0.0f, 0.0f, 1.0f),
                             Point3(1.0f, 2.0f, 3.0f))},
        {"dependent rows", Matrix3(Point3(1.0f, 2.0f, 3.0f), Point3(2.0f, 4.0f, 6.0f), Point3(0.0f, 1.0f, 0.0f),
                                   Point3(0.0f, 0.0f, 0.0f))},
        {"plane projection", Matrix3(Point3(1.0f, 0.0f, 0.0f), Point3(0.0f, 1.0f, 0.0f), Point3(1.0f, 1.0f, 0.0f),
                                     Point3(0.0f, 0.0f, 5.0f))},
        {"not finite", Matrix3(Point3(NAN, 0.0f, 0.0f), Point3(0.0f, 1.0f, 0.0f), Point3(0.0f, 0.0f, 1.0f),
                               Point3(0.0f, 0.0f, 0.0f))},
    };
    for (const InverseCase& k : cases) {
        const Matrix3 inv = Inverse(k.m);
        EXPECT_EQ(inv, Matrix3()) << k.name;
        EXPECT_TRUE(inv.IsIdentity()) << k.name;
    }
}

struct FrameCase {
    const char* name;
    sdktest::V3 from, to, up;
    // Expected rows when the case is exact; ignored when checkRows is false.
    bool checkRows;
    sdktest::V3 r0, r1, r2;
};

TEST(Matrix3Test, SetFromToUpGivesAnOrthonormalRightHandedFrame) {
    const FrameCase cases[] = {
        {"look along +y, up +z", {0, 0, 0}, {0, 5, 0}, {0, 0, 1}, true, {-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
        {"normal +z, up +y", {1, 2, 3}, {1, 2, 4}, {0, 1, 0}, true, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        {"slanted up", {0, 0, 0}, {1, 1, 1}, {0.3f, 0.2f, 1.0f}, false, {}, {}, {}},
        {"far away", {1000, -2000, 500}, {1000.5f, -1999.0f, 501.0f}, {0, 0, 1}, false, {}, {}, {}},
        {"nearly parallel up", {0, 0, 0}, {0, 0, 1}, {1e-3f, 0, 1}, false, {}, {}, {}},
        // Fallback: up along the direction, the least aligned world axis (+x) stands in.
        {"up parallel", {0, 0, 0}, {0, 0, 2}, {0, 0, 1}, true, {0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
        {"up antiparallel", {0, 0, 0}, {0, 0, 2}, {0, 0, -3}, true, {0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
        {"up zero", {0, 0, 0}, {0, 3, 0}, {0, 0, 0}, true, {0, 0, 1}, {1, 0, 0}, {0, 1, 0}},
        // No direction at all: row 2 is +z.
        {"from equals to", {4, 4, 4}, {4, 4, 4}, {0, 1, 0}, true, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
    };
    for (const FrameCase& k : cases) {
        const Point3 from = k.from, to = k.to, up = k.up;
        Matrix3 m;
        m.SetFromToUp(from, to, up);
        const Point3 r0 = m.GetRow(0), r1 = m.GetRow(1), r2 = m.GetRow(2);
        EXPECT_EQ(m.GetTrans(), from) << k.name;
        EXPECT_NEAR(Length(r0), 1.0f, 1e-6f) << k.name;
        EXPECT_NEAR(Length(r1), 1.0f, 1e-6f) << k.name;
        EXPECT_NEAR(Length(r2), 1.0f, 1e-6f) << k.name;
        EXPECT_NEAR(DotProd(r0, r1), 0.0f, 1e-6f) << k.name;
        EXPECT_NEAR(DotProd(r1, r2), 0.0f, 1e-6f) << k.name;
        EXPECT_NEAR(DotProd(r0, r2), 0.0f, 1e-6f) << k.name;
        expectNear(CrossProd(r0, r1), r2, 1e-6f, std::string(k.name) + " right-handed");
        const Point3 dir = to - from;
        if (dir.LengthSquared() > 0.0f) {
            EXPECT_NEAR(DotProd(r2, Normalize(dir)), 1.0f, 1e-6f) << k.name << ": row 2 along to - from";
        }
        if (LengthSquared(CrossProd(up, dir)) > 1e-12f * up.LengthSquared() * dir.LengthSquared()) {
            // Row 1 lies in the plane of up and the direction, on up's side.
            EXPECT_NEAR(DotProd(r0, up), 0.0f, 1e-5f * Length(up)) << k.name;
            EXPECT_GT(DotProd(r1, up), 0.0f) << k.name;
        }
        if (k.checkRows) {
            expectNear(r0, k.r0, 1e-6f, std::string(k.name) + " row 0");
            expectNear(r1, k.r1, 1e-6f, std::string(k.name) + " row 1");
            expectNear(r2, k.r2, 1e-6f, std::string(k.name) + " row 2");
        }
        EXPECT_FALSE(m.IsIdentity()) << k.name;
    }
}

}  // namespace

