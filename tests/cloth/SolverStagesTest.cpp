// Behaviour of the solver stages and brush kernels on small meshes.
#include <cmath>
#include <numbers>
#include <string>

#include <gtest/gtest.h>

#include "ClothTestUtil.h"
#include "fixtures/MeshBuilders.h"
#include "solver/Solver.h"

namespace {
using velmora::testing::BuiltCloth;
namespace fx = velmora::fixtures;
constexpr float kPi = std::numbers::pi_v<float>;
const Point3 kZero(0.0f, 0.0f, 0.0f);

Mesh loweredGrid(float z) {
    Mesh mesh = fx::makeGrid(2, 2, 1.0f);
    for (Point3& p : mesh.verts) p.z = z;
    return mesh;
}

TEST(RunSolverIterations, NoIterationsChangeNothing) {
    for (int iterations : {0, -3}) {
        SCOPED_TRACE(iterations);
        BuiltCloth cloth(fx::makeFoldedPair(1.0f));
        cloth.state.settings.iterations = iterations;
        cloth.state.settings.gravityEnabled = true;
        cloth.state.velocities[2] = Point3(1.0f, 2.0f, 3.0f);
        cloth.state.constraints[0].restAngle = 0.3f;
        std::fill(cloth.state.brushWeights.begin(), cloth.state.brushWeights.end(), 1.0f);
        const std::vector<Point3> positions = cloth.mesh.verts;
        const std::vector<EdgeConstraint> records = cloth.state.constraints;
        runSolverIterations(cloth.state, true, Point3(1.0f, 0.0f, 0.0f));
        EXPECT_EQ(cloth.mesh.verts, positions);
        EXPECT_EQ(cloth.state.velocities[2], Point3(1.0f, 2.0f, 3.0f));
        for (std::size_t c = 0; c < records.size(); ++c) EXPECT_EQ(cloth.state.constraints[c].restAngle, records[c].restAngle);
    }
}

TEST(RunSolverIterations, GroundRuleRaisesByAFifthPerIteration) {
    struct Case { const char* name; float mask; bool useMask; };
    const Case cases[] = {{"unmasked", 1.0f, false}, {"mask 1", 1.0f, true}, {"mask 0 still rises", 0.0f, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BuiltCloth cloth(loweredGrid(-1.0f));
        cloth.state.settings.groundCollision = true;
        cloth.state.settings.useVCMask = c.useMask;
        cloth.state.settings.iterations = 1;
        std::fill(cloth.state.mask.begin(), cloth.state.mask.end(), c.mask);
        runSolverIterations(cloth.state, false, kZero);
        for (const Point3& p : cloth.mesh.verts) EXPECT_FLOAT_EQ(p.z, -0.8f);
        runSolverIterations(cloth.state, false, kZero);
        for (const Point3& p : cloth.mesh.verts) EXPECT_FLOAT_EQ(p.z, -0.64f);
    }
    BuiltCloth onGround(loweredGrid(0.0f));
    onGround.state.settings.groundCollision = true;
    runSolverIterations(onGround.state, false, kZero);
    for (const Point3& p : onGround.mesh.verts) EXPECT_EQ(p.z, 0.0f);
}

TEST(RunSolverIterations, GravityAndDamping) {
    struct Case { const char* name; float damping; float gravity; Point3 velocity; float z; };
    // One vertex, one iteration per call, two calls.
    const Case cases[] = {
        {"damping 1 keeps the velocity", 1.0f, 1.0f, Point3(0.0f, 0.0f, -0.02f), -0.03f},
        {"damping 0 drops it", 0.0f, 1.0f, kZero, -0.02f},
        {"gravity 2", 1.0f, 2.0f, Point3(0.0f, 0.0f, -0.04f), -0.06f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BuiltCloth cloth(fx::makePointsOnly(1));
        cloth.state.settings.iterations = 1;
        cloth.state.settings.gravityEnabled = true;
        cloth.state.settings.gravity = c.gravity;
        cloth.state.settings.damping = c.damping;
        runSolverIterations(cloth.state, false, kZero);
        runSolverIterations(cloth.state, false, kZero);
        EXPECT_FLOAT_EQ(cloth.state.velocities[0].z, c.velocity.z);
        EXPECT_FLOAT_EQ(cloth.mesh.verts[0].z, c.z);
        EXPECT_EQ(cloth.state.deltas[0], kZero);
    }
    BuiltCloth off(fx::makePointsOnly(1));
    off.state.settings.gravity = 5.0f;
    runSolverIterations(off.state, false, kZero);
    EXPECT_EQ(off.mesh.verts[0], Point3(0.0f, 0.0f, 0.0f));
}

TEST(RunSolverIterations, MaskZeroHoldsAVertexStill) {
    BuiltCloth cloth(fx::makeGrid(4, 4, 1.0f));
    ClothMouseProc& s = cloth.state;
    s.settings.gravityEnabled = true;
    s.settings.pressureEnabled = true;
    std::fill(s.brushWeights.begin(), s.brushWeights.end(), 1.0f);
    for (int v : {0, 7, 12}) s.mask[v] = 0.0f;
    const std::vector<Point3> before = cloth.mesh.verts;
    runSolverIterations(s, true, Point3(0.1f, 0.0f, 0.2f));
    for (std::size_t v = 0; v < before.size(); ++v) {
        if (s.mask[v] == 0.0f) {
            EXPECT_EQ(cloth.mesh.verts[v], before[v]) << v;
            EXPECT_EQ(s.velocities[v], kZero) << v;
        } else {
            EXPECT_NE(cloth.mesh.verts[v], before[v]) << v;
        }
    }
    // With the mask switched off every vertex moves.
    s.settings.useVCMask = false;
    runSolverIterations(s, true, Point3(0.1f, 0.0f, 0.2f));
    for (int v : {0, 7, 12}) EXPECT_NE(cloth.mesh.verts[v], before[v]);
}

TEST(Pressure, EveryVertexOfAFlatGridGetsTheSamePush) {
    BuiltCloth cloth(fx::makeGrid(3, 3, 1.0f));
    ClothMouseProc& s = cloth.state;
    s.settings.pressure = 2.0f;
    computeFaceNormals(s);
    accumulateVertexNormals(s);
    // Vertex 3 (corner (3, 0)) lies in one face, vertex 5 (interior) in six.
    EXPECT_EQ(s.vertexNormals[3], Point3(0.0f, 0.0f, 1.0f));
    EXPECT_EQ(s.vertexNormals[5], Point3(0.0f, 0.0f, 6.0f));
    applyPressure(s);
    for (std::size_t v = 0; v < s.deltas.size(); ++v) {
        EXPECT_FLOAT_EQ(s.deltas[v].z, 0.02f) << v;
        EXPECT_EQ(s.deltas[v].x, 0.0f);
        EXPECT_EQ(s.vertexNormals[v], kZero);
    }
    // A vertex in no face gets no push and no NaN.
    BuiltCloth lonely(fx::makePointsOnly(2));
    applyPressure(lonely.state);
    EXPECT_EQ(lonely.state.deltas[0], kZero);
}

float enclosedVolume(const Mesh& mesh) {
    float volume = 0.0f;
    for (const Face& f : mesh.faces) {
        volume += DotProd(mesh.verts[f.v[0]], CrossProd(mesh.verts[f.v[1]], mesh.verts[f.v[2]])) / 6.0f;
    }
    return volume;
}

TEST(Pressure, PositiveInflatesAClosedMeshNegativeDeflatesIt) {
    struct Case { const char* name; Mesh mesh; };
    const Case cases[] = {{"box", fx::makeBox(Point3(-1.0f, -1.0f, -1.0f), Point3(2.0f, 2.0f, 2.0f))},
                          {"sphere", fx::makeUvSphere(1.0f, 6, 8)}};
    for (const Case& c : cases) {
        for (float pressure : {5.0f, -5.0f}) {
            SCOPED_TRACE(std::string(c.name) + " pressure " + std::to_string(pressure));
            BuiltCloth cloth(c.mesh);
            const float before = enclosedVolume(cloth.mesh);
            cloth.state.settings.pressureEnabled = true;
            cloth.state.settings.pressure = pressure;
            runSolverIterations(cloth.state, false, kZero);
            const float after = enclosedVolume(cloth.mesh);
            if (pressure > 0.0f) {
                EXPECT_GT(after, before);
            } else {
                EXPECT_LT(after, before);
            }
            for (const Point3& n : cloth.state.vertexNormals) EXPECT_EQ(n, kZero);
        }
    }
}

TEST(MoveFalloff, EasedWeightTimesTheMoveVector) {
    BuiltCloth cloth(fx::makePointsOnly(4));
    ClothMouseProc& s = cloth.state;
    s.brushWeights = {0.0f, 0.25f, 0.75f, 1.0f};
    const Point3 move(2.0f, -4.0f, 8.0f);
    applyMoveFalloff(s, move);
    EXPECT_EQ(s.deltas[0], kZero);
    EXPECT_EQ(s.deltas[1], move * 0.125f);
    EXPECT_EQ(s.deltas[2], move * 0.875f);
    EXPECT_EQ(s.deltas[3], move);
}

TEST(EdgeStage, StretchPullsAnEdgeBackWithTheStiffness) {
    BuiltCloth cloth(fx::makeSeparateTriangles(1));  // open edges (0,1), (1,2), (2,0)
    ClothMouseProc& s = cloth.state;
    ASSERT_EQ(s.constraints.size(), 3u);
    EdgeConstraint& edge = s.constraints[0];
    ASSERT_EQ(edge.vert0, 0);
    ASSERT_EQ(edge.vert1, 1);
    edge.restLength = 0.5f;  // the edge is 1 long: stretched by 0.5
    solveEdgeConstraints(s);
    // k = 5 with the defaults: vertex 0 is pulled toward vertex 1 by 0.5 x 5.
    EXPECT_EQ(s.deltas[0], Point3(2.5f, 0.0f, 0.0f));
    EXPECT_EQ(s.deltas[1], Point3(-2.5f, 0.0f, 0.0f));
    EXPECT_EQ(s.deltas[2], kZero);
}

TEST(EdgeStage, BendingPushesTowardTheRestAngleAndPlasticityFollows) {
    BuiltCloth cloth(fx::makeFoldedPair(kPi / 2.0f));
    ClothMouseProc& s = cloth.state;
    EdgeConstraint* shared = nullptr;
    for (EdgeConstraint& r : s.constraints) {
        if (!r.openEdge) shared = &r;
    }
    ASSERT_NE(shared, nullptr);
    shared->restAngle = 0.0f;
    computeFaceNormals(s);
    solveEdgeConstraints(s);
    EXPECT_FLOAT_EQ(shared->restAngle, 0.1f * kPi / 2.0f);
    // The fold is pushed open: the far corner of face 1 moves against its normal (0, 1, 0)...
    const float b = 1.0f * 0.1f * (kPi / 2.0f);
    EXPECT_NEAR(s.deltas[3].y, -b, 1e-6f);
    EXPECT_NEAR(s.deltas[2].z, -b, 1e-6f);
    // ...and the four pushes cancel.
    Point3 sum;
    for (const Point3& d : s.deltas) sum += d;
    EXPECT_NEAR(sum.Length(), 0.0f, 1e-6f);

    // A rest angle equal to the current one adds nothing.
    BuiltCloth rest(fx::makeFoldedPair(kPi / 2.0f));
    computeFaceNormals(rest.state);
    solveEdgeConstraints(rest.state);
    for (const Point3& d : rest.state.deltas) EXPECT_NEAR(d.Length(), 0.0f, 1e-6f);
}

TEST(EdgeStage, CoincidentVerticesAndZeroAreaFacesBringNoNaN) {
    Mesh mesh = fx::makeGrid(2, 2, 1.0f);
    mesh.verts[4] = mesh.verts[0];  // collapses faces 0 and 1 around the diagonal (0, 4)
    BuiltCloth cloth(mesh);
    ClothMouseProc& s = cloth.state;
    s.settings.pressureEnabled = true;
    s.settings.gravityEnabled = true;
    for (int call = 0; call < 5; ++call) runSolverIterations(s, false, kZero);
    for (const Point3& p : cloth.mesh.verts) EXPECT_TRUE(std::isfinite(p.x + p.y + p.z));
    for (const Point3& v : s.velocities) EXPECT_TRUE(std::isfinite(v.x + v.y + v.z));
    for (const EdgeConstraint& r : s.constraints) EXPECT_TRUE(std::isfinite(r.restAngle));
}

TEST(Kernels, RestLengthsUnderTheBrush) {
    struct Case { const char* name; bool shrink; bool useMask; float mask; float expected; };
    const Case cases[] = {
        {"expand 10 -> 10.1", false, false, 1.0f, 10.1f},
        {"shrink 10 -> 9.8", true, false, 1.0f, 9.8f},
        {"masked expand, mask 1", false, true, 1.0f, 10.1f},
        {"masked shrink, mask 0", true, true, 0.0f, 10.0f},
        {"masked expand, mask 0", false, true, 0.0f, 10.0f},
        {"unmasked shrink ignores mask 0", true, false, 0.0f, 9.8f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BuiltCloth cloth(fx::makeGrid(1, 1, 10.0f));
        ClothMouseProc& s = cloth.state;
        s.settings.useVCMask = c.useMask;
        std::fill(s.brushWeights.begin(), s.brushWeights.end(), 1.0f);
        std::fill(s.mask.begin(), s.mask.end(), c.mask);
        if (c.shrink) shrinkRestLengths(s); else expandRestLengths(s, kZero);
        for (const EdgeConstraint& r : s.constraints) {
            if (r.restLength > 11.0f) continue;  // the diagonal
            EXPECT_FLOAT_EQ(r.restLength, c.expected);
        }
    }
    // Outside the brush nothing changes.
    BuiltCloth outside(fx::makeGrid(1, 1, 10.0f));
    expandRestLengths(outside.state, kZero);
    shrinkRestLengths(outside.state);
    for (const EdgeConstraint& r : outside.state.constraints) EXPECT_TRUE(r.restLength == 10.0f || r.restLength > 11.0f);
}

TEST(Kernels, DirectionalExpandFollowsTheStroke) {
    BuiltCloth cloth(fx::makeGrid(1, 1, 10.0f));
    ClothMouseProc& s = cloth.state;
    s.settings.directionalExpand = true;
    std::fill(s.brushWeights.begin(), s.brushWeights.end(), 1.0f);
    expandRestLengths(s, Point3(1.0f, 0.0f, 0.0f));
    for (const EdgeConstraint& r : s.constraints) {
        const Point3 d = cloth.mesh.verts[r.vert1] - cloth.mesh.verts[r.vert0];
        if (d.y == 0.0f) {
            EXPECT_FLOAT_EQ(r.restLength, 10.1f);  // along the stroke
        } else if (d.x == 0.0f) {
            EXPECT_EQ(r.restLength, 10.0f);  // across it
        }
    }
    const std::vector<EdgeConstraint> before = s.constraints;
    expandRestLengths(s, kZero);
    for (std::size_t c = 0; c < before.size(); ++c) EXPECT_EQ(s.constraints[c].restLength, before[c].restLength);
}

TEST(Kernels, FlattenHalvesOrClearsTheRestAngle) {
    struct Case { float weight; float expected; };
    for (const Case& c : {Case{0.5f, kPi / 4.0f}, Case{1.0f, 0.0f}, Case{0.0f, kPi / 2.0f}}) {
        SCOPED_TRACE(c.weight);
        BuiltCloth cloth(fx::makeFoldedPair(kPi / 2.0f));
        std::fill(cloth.state.brushWeights.begin(), cloth.state.brushWeights.end(), c.weight);
        flattenRestAngles(cloth.state);
        for (const EdgeConstraint& r : cloth.state.constraints) {
            if (!r.openEdge) {
                EXPECT_NEAR(r.restAngle, c.expected, 1e-6f);
            }
        }
    }
}

TEST(Kernels, PaintAndBlurValues) {
    BuiltCloth cloth(fx::makePointsOnly(3));
    ClothMouseProc& s = cloth.state;
    s.settings.maskVal = 0.2f;
    s.brushWeights = {1.0f, 0.0f, 0.5f};
    s.mask = {1.0f, 1.0f, 1.0f};
    paintMask(s);
    EXPECT_EQ(s.mask[0], 0.2f);
    EXPECT_EQ(s.mask[1], 1.0f);
    EXPECT_FLOAT_EQ(s.mask[2], 0.25f * 0.2f + 0.75f);

    struct BlurCase { const char* name; float weight; float strength; float expected[3]; };
    const BlurCase cases[] = {
        {"full blur sets the mean", 1.0f, 1.0f, {0.5f, 0.5f, 0.5f}},
        {"strength 0 changes nothing", 1.0f, 0.0f, {0.0f, 0.5f, 1.0f}},
        {"weights 0 change nothing", 0.0f, 1.0f, {0.0f, 0.5f, 1.0f}},
        {"half way", 0.5f, 1.0f, {0.25f, 0.5f, 0.75f}},
    };
    for (const BlurCase& c : cases) {
        SCOPED_TRACE(c.name);
        BuiltCloth tri(fx::makeSeparateTriangles(1));
        tri.state.settings.maskBlurStrength = c.strength;
        tri.state.brushWeights = {c.weight, c.weight, c.weight};
        tri.state.mask = {0.0f, 0.5f, 1.0f};
        blurMask(tri.state);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(tri.state.mask[k], c.expected[k], 1e-6f);
    }
}

TEST(Kernels, BlurRunsFacesInOrderSoSharedVerticesBlurTwice) {
    BuiltCloth cloth(fx::makeGrid(1, 1, 1.0f));  // faces (0, 1, 3) and (0, 3, 2)
    ClothMouseProc& s = cloth.state;
    s.brushWeights = {1.0f, 1.0f, 1.0f, 1.0f};
    s.mask = {0.0f, 0.3f, 0.9f, 0.6f};
    blurMask(s);
    const float first = (0.0f + 0.3f + 0.6f) / 3.0f;
    EXPECT_NEAR(s.mask[1], first, 1e-6f);
    const float second = (first + first + 0.9f) / 3.0f;
    EXPECT_NEAR(s.mask[0], second, 1e-6f);
    EXPECT_NEAR(s.mask[2], second, 1e-6f);
}

TEST(BrushWeights, LinearInTheDistanceToTheBrushPoint) {
    Mesh mesh = fx::makePointsOnly(5);  // x = 0..4
    BuiltCloth cloth(mesh);
    ClothMouseProc& s = cloth.state;
    s.brushFrame.SetTrans(Point3(1.0f, 0.0f, 0.0f));
    s.brushRadius = 2.0f;
    computeBrushWeights(s);
    EXPECT_EQ(s.brushWeights, (std::vector<float>{0.5f, 1.0f, 0.5f, 0.0f, 0.0f}));
    s.brushRadius = 0.0f;
    computeBrushWeights(s);
    EXPECT_EQ(s.brushWeights, (std::vector<float>{0.0f, 1.0f, 0.0f, 0.0f, 0.0f}));
}

TEST(Stages, AStateThatDoesNotMatchItsMeshIsLeftAlone) {
    ClothMouseProc never;
    runSolverIterations(never, true, Point3(1.0f, 0.0f, 0.0f));
    computeBrushWeights(never);
    blurMask(never);

    BuiltCloth cloth(fx::makeGrid(2, 2, 1.0f));
    cloth.mesh.verts.pop_back();
    cloth.state.settings.gravityEnabled = true;
    const std::vector<Point3> before = cloth.mesh.verts;
    runSolverIterations(cloth.state, false, kZero);
    EXPECT_EQ(cloth.mesh.verts, before);
}

}  // namespace
