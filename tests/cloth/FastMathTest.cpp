// The solver's own versions of library and host functions against the originals, to the bit:
// the branch-free arc tangent against the C library's atan2f, the inlined face normal against
// the host mesh's; and what that buys: an unmoved mesh has no bending error.
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ClothTestUtil.h"
#include "fixtures/MeshBuilders.h"
#include "sdk/Mesh.h"
#include "solver/ElementMath.h"
#include "solver/Solver.h"

namespace {
using velmora::solver::atan2Exact;

bool sameResult(float a, float b) {
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b) || (std::isnan(a) && std::isnan(b));
}

// Counts the arguments whose result differs from atan2f and reports the first few.
struct Atan2Check {
    long mismatches = 0;
    long checked = 0;
    void operator()(float y, float x) {
        ++checked;
        const float want = std::atan2(y, x);
        const float got = atan2Exact(y, x);
        if (sameResult(want, got)) return;
        if (++mismatches <= 5) {
            ADD_FAILURE() << std::hexfloat << "atan2(" << y << ", " << x << "): library " << want << ", ours " << got;
        }
    }
};

// A sweep of the whole float domain in both arguments: every 16411th bit pattern of y (all signs,
// exponents, denormals, infinities and NaN) against x values that walk every exponent, and the
// same with the roles swapped; then random bit patterns; then the solver's own range (y >= 0 the
// length of a cross product of unit normals, x their dot product), densely.
TEST(FastMath, Atan2MatchesTheLibraryToTheBitOverTheWholeDomain) {
    Atan2Check check;
    const float xs[] = {1.0f, -1.0f, 0.0f, -0.0f, 0.5f, -0.75f, 2.0f, -3.0f, 1e-20f, -1e-38f, 1e-45f, 1e20f,
                        -3.4e38f, std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                        std::numeric_limits<float>::quiet_NaN()};
    for (std::uint64_t bits = 0; bits < (1ull << 32); bits += 16411) {
        const float v = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
        for (float x : xs) {
            check(v, x);
            check(x, v);
        }
    }
    std::mt19937_64 rng(20261211);
    for (int i = 0; i < 2000000; ++i) {
        const std::uint64_t r = rng();
        check(std::bit_cast<float>(static_cast<std::uint32_t>(r)), std::bit_cast<float>(static_cast<std::uint32_t>(r >> 32)));
    }
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (int i = 0; i < 2000000; ++i) {
        const float y = std::fabs(unit(rng)) * (i % 3 == 0 ? 1e-4f : 1.0f);
        check(y, unit(rng));
    }
    EXPECT_EQ(check.mismatches, 0) << "of " << check.checked;
}

TEST(FastMath, UnmovedClothGetsExactlyNoPushFromTheEdgeStage) {
    // The build and the solver measure angles with the same function, so on a mesh that has not
    // moved since the build every edge is at its rest length and rest angle: not a single bit
    // of push, and plasticity leaves every rest angle as it was.
    Mesh mesh = velmora::fixtures::makeGrid(30, 20, 0.5f);
    for (Point3& p : mesh.verts) p.z = 0.7f * std::sin(1.3f * p.x) * std::cos(0.9f * p.y);
    velmora::testing::BuiltCloth cloth(std::move(mesh));
    cloth.state.settings.bendiness = 0.5f;
    cloth.state.settings.plasticity = 1.0f;
    std::vector<float> restAngles;
    for (const EdgeConstraint& r : cloth.state.constraints) restAngles.push_back(r.restAngle);
    computeFaceNormals(cloth.state);
    solveEdgeConstraints(cloth.state);
    for (std::size_t v = 0; v < cloth.state.deltas.size(); ++v) {
        const Point3 d = cloth.state.deltas[v];
        ASSERT_TRUE(d.x == 0.0f && d.y == 0.0f && d.z == 0.0f) << "vertex " << v;
    }
    for (std::size_t c = 0; c < restAngles.size(); ++c) {
        ASSERT_TRUE(sameResult(cloth.state.constraints[c].restAngle, restAngles[c])) << "record " << c;
    }
}

TEST(FastMath, InlinedFaceNormalIsTheHostsToTheBit) {
    Mesh mesh;
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> coord(-10.0f, 10.0f);
    constexpr int kFaces = 20000;
    mesh.setNumVerts(3 * kFaces);
    mesh.setNumFaces(kFaces);
    for (int f = 0; f < kFaces; ++f) {
        for (int k = 0; k < 3; ++k) {
            Point3 p(coord(rng), coord(rng), coord(rng));
            // Some degenerate faces: repeated corners, collinear corners, huge and tiny ones.
            if (f % 11 == 0 && k == 2) p = mesh.verts[static_cast<std::size_t>(3 * f)];
            if (f % 13 == 0 && k == 2) p = mesh.verts[static_cast<std::size_t>(3 * f + 1)] * 2.0f;
            if (f % 17 == 0) p = p * 1e18f;
            if (f % 19 == 0) p = p * 1e-22f;
            mesh.verts[static_cast<std::size_t>(3 * f + k)] = p;
        }
        mesh.faces[static_cast<std::size_t>(f)].setVerts(3 * f, 3 * f + 1, 3 * f + 2);
    }
    for (int f = 0; f < kFaces; ++f) {
        const Face& face = mesh.faces[static_cast<std::size_t>(f)];
        const Point3 want = mesh.FaceNormal(f, true);
        const Point3 got = velmora::solver::faceUnitNormal(mesh.verts[face.v[0]], mesh.verts[face.v[1]], mesh.verts[face.v[2]]);
        ASSERT_TRUE(sameResult(want.x, got.x) && sameResult(want.y, got.y) && sameResult(want.z, got.z)) << "face " << f;
    }
}

}  // namespace
