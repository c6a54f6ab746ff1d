// Per-element maths of the solver stages and brush kernels, case by case.
#include <cmath>
#include <limits>
#include <numbers>
#include <string>

#include <gtest/gtest.h>

#include "solver/ElementMath.h"
#include "solver/Solver.h"

namespace {
using namespace velmora::solver;
constexpr float kPi = std::numbers::pi_v<float>;

TEST(ConstraintStiffness, TableOfIterationsAndClothStrengths) {
    struct Case { int iterations; float clothStrength; float expected; };
    const Case cases[] = {
        {20, 1.0f, 5.0f},   {20, 0.1f, 1.0f},  {20, 0.0f, 1.0f},  {20, 2.0f, 10.0f},
        {3, 1.0f, 1.0f},    {3, 2.0f, 1.0f},   {3, 0.0f, 1.0f},   {3, 0.1f, 1.0f},
        {7, 1.0f, 1.0f},    {7, 2.0f, 2.0f},   {7, 0.5f, 1.0f},   {7, 0.1f, 1.0f},
        {40, 2.0f, 20.0f},  {40, 1.0f, 10.0f}, {40, 0.1f, 1.0f},  {40, 0.0f, 1.0f},
        {-8, 1.0f, 1.0f},   {20, std::numeric_limits<float>::quiet_NaN(), 1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("iterations " + std::to_string(c.iterations) + " clothStrength " + std::to_string(c.clothStrength));
        EXPECT_EQ(constraintStiffness(c.iterations, c.clothStrength), c.expected);
    }
}

TEST(MoveEase, ValuesAlongTheCurve) {
    struct Case { float x; float expected; };
    const Case cases[] = {{0.0f, 0.0f}, {0.25f, 0.125f}, {0.5f, 0.5f}, {0.75f, 0.875f}, {1.0f, 1.0f}, {0.1f, 0.02f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        EXPECT_FLOAT_EQ(moveEase(c.x), c.expected);
    }
}

TEST(GravityVector, OnlyWhenEnabled) {
    EXPECT_EQ(gravityVectorFor(true, 1.0f), Point3(0.0f, 0.0f, -0.01f));
    EXPECT_EQ(gravityVectorFor(true, 3.0f), Point3(0.0f, 0.0f, -0.01f * 3.0f));
    EXPECT_EQ(gravityVectorFor(false, 5.0f), Point3(0.0f, 0.0f, 0.0f));
}

TEST(Integration, GroundRuleDampingAndMask) {
    const Point3 zero(0.0f, 0.0f, 0.0f);
    // Ground: -1 -> -0.8 -> -0.64 at rest; height 0 untouched; mask 0 still rises.
    VertexMotion r = integrateMasked(Point3(0.0f, 0.0f, -1.0f), zero, zero, 1.0f, zero, 0.05f, 0.95f, true);
    EXPECT_FLOAT_EQ(r.position.z, -0.8f);
    r = integrateMasked(r.position, r.velocity, zero, 1.0f, zero, 0.05f, 0.95f, true);
    EXPECT_FLOAT_EQ(r.position.z, -0.64f);
    r = integrateMasked(Point3(1.0f, 2.0f, 0.0f), zero, zero, 1.0f, zero, 0.05f, 0.95f, true);
    EXPECT_EQ(r.position, Point3(1.0f, 2.0f, 0.0f));
    r = integrateMasked(Point3(0.0f, 0.0f, -1.0f), zero, zero, 0.0f, zero, 0.05f, 0.95f, true);
    EXPECT_FLOAT_EQ(r.position.z, -0.8f);
    r = integrateUnmasked(Point3(0.0f, 0.0f, -1.0f), zero, zero, zero, 0.05f, 0.95f, false);
    EXPECT_FLOAT_EQ(r.position.z, -1.0f);

    // Damping 1 keeps the velocity, damping 0 drops it after one move.
    const Point3 delta(2.0f, 0.0f, 0.0f);
    r = integrateUnmasked(zero, zero, delta, zero, 0.5f, 1.0f, false);
    EXPECT_EQ(r.velocity, delta);
    EXPECT_EQ(r.position, Point3(1.0f, 0.0f, 0.0f));
    r = integrateUnmasked(zero, zero, delta, zero, 0.5f, 0.0f, false);
    EXPECT_EQ(r.velocity, zero);
    EXPECT_EQ(r.position, Point3(1.0f, 0.0f, 0.0f));

    // Mask 0 holds still and gains nothing, but the old velocity still decays.
    r = integrateMasked(Point3(1.0f, 1.0f, 1.0f), Point3(4.0f, 0.0f, 0.0f), delta, 0.0f, Point3(0.0f, 0.0f, -0.01f),
                        0.5f, 0.5f, false);
    EXPECT_EQ(r.position, Point3(1.0f + 4.0f * 0.5f * 0.0f, 1.0f, 1.0f));
    EXPECT_EQ(r.velocity, Point3(2.0f, 0.0f, 0.0f));
    // Mask m moves m^2 as far from rest.
    r = integrateMasked(zero, zero, delta, 0.5f, zero, 1.0f, 1.0f, false);
    EXPECT_FLOAT_EQ(r.position.x, 0.5f);
}

TEST(Kernels, RestLengthAngleAndMaskValues) {
    EXPECT_FLOAT_EQ(expandedRestLength(10.0f, 1.0f), 10.1f);
    EXPECT_EQ(expandedRestLength(10.0f, 0.0f), 10.0f);
    EXPECT_FLOAT_EQ(shrunkRestLength(10.0f, 1.0f), 9.8f);
    EXPECT_EQ(shrunkRestLength(10.0f, 0.0f), 10.0f);
    EXPECT_FLOAT_EQ(flattenedRestAngle(1.2f, 0.5f), 0.6f);
    EXPECT_EQ(flattenedRestAngle(1.2f, 1.0f), 0.0f);
    EXPECT_EQ(flattenedRestAngle(1.2f, 0.0f), 1.2f);

    EXPECT_EQ(edgeWeight(1.0f, 0.5f), 0.75f);
    EXPECT_EQ(edgeWeightMasked(1.0f, 0.0f, 1.0f, 0.0f), 0.0f);
    EXPECT_EQ(edgeWeightMasked(1.0f, 0.5f, 0.5f, 1.0f), 0.5f);

    EXPECT_EQ(paintedMask(0.2f, 1.0f, 0.7f), 0.7f);
    EXPECT_EQ(paintedMask(0.2f, 0.0f, 0.7f), 0.2f);
    EXPECT_FLOAT_EQ(paintedMask(1.0f, 0.5f, 0.0f), 0.75f);
    EXPECT_FLOAT_EQ(paintedMask(0.0f, 0.5f, 2.0f), 0.5f);  // no clamping

    EXPECT_FLOAT_EQ(blurFraction(1.0f, 1.0f, 1.0f, 1.0f), 1.0f);
    EXPECT_FLOAT_EQ(blurFraction(1.0f, 0.5f, 0.0f, 1.0f), 0.5f);
    EXPECT_EQ(blurFraction(1.0f, 1.0f, 1.0f, 0.0f), 0.0f);
    EXPECT_EQ(blurFraction(0.0f, 0.0f, 0.0f, 1.0f), 0.0f);
}

TEST(Kernels, DirectionalFactor) {
    const Point3 alongX(1.0f, 0.0f, 0.0f);
    EXPECT_FLOAT_EQ(directionalFactor(Point3(2.0f, 0.0f, 0.0f), Point3(0.0f, 0.0f, 0.0f), alongX), 1.0f);
    EXPECT_FLOAT_EQ(directionalFactor(Point3(0.0f, 0.0f, 0.0f), Point3(2.0f, 0.0f, 0.0f), alongX), 1.0f);
    EXPECT_EQ(directionalFactor(Point3(0.0f, 3.0f, 0.0f), Point3(0.0f, 0.0f, 0.0f), alongX), 0.0f);
    EXPECT_EQ(directionalFactor(Point3(1.0f, 1.0f, 1.0f), Point3(1.0f, 1.0f, 1.0f), alongX), 0.0f);  // coincident
    EXPECT_EQ(directionalFactor(Point3(2.0f, 0.0f, 0.0f), Point3(0.0f, 0.0f, 0.0f), Point3()), 0.0f);
}

TEST(BrushWeight, LinearFalloffAndDegenerateRadius) {
    const float r = 2.0f;
    EXPECT_EQ(brushWeight(0.0f, r * r, 1.0f / r), 1.0f);
    EXPECT_EQ(brushWeight(1.0f, r * r, 1.0f / r), 0.5f);
    EXPECT_EQ(brushWeight(4.0f, r * r, 1.0f / r), 0.0f);
    EXPECT_EQ(brushWeight(4.5f, r * r, 1.0f / r), 0.0f);
    // A zero radius: the brush point itself counts fully, nothing else, never NaN.
    EXPECT_EQ(brushWeight(0.0f, 0.0f, 1.0f / 0.0f), 1.0f);
    EXPECT_EQ(brushWeight(1.0f, 0.0f, 1.0f / 0.0f), 0.0f);
}

TEST(SignedDihedralAngle, FlatFoldedAndSides) {
    struct Case { const char* name; Point3 n1; Point3 q; float expected; };
    const Point3 n0(0.0f, 0.0f, 1.0f);
    const Point3 e(1.0f, 0.0f, 0.0f);
    const Case cases[] = {
        {"flat", Point3(0.0f, 0.0f, 1.0f), Point3(0.5f, -1.0f, 0.0f), 0.0f},
        {"right angle up", Point3(0.0f, 1.0f, 0.0f), Point3(0.5f, 0.0f, 1.0f), kPi / 2.0f},
        {"right angle down", Point3(0.0f, -1.0f, 0.0f), Point3(0.5f, 0.0f, -1.0f), -kPi / 2.0f},
        {"in the plane counts positive", Point3(0.0f, 1.0f, 0.0f), Point3(0.5f, -1.0f, 0.0f), kPi / 2.0f},
        {"zero normal", Point3(0.0f, 0.0f, 0.0f), Point3(0.5f, 0.0f, 1.0f), 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FLOAT_EQ(signedDihedralAngle(n0, c.n1, c.q, e), c.expected);
    }
}

TEST(EdgeFrame, DegenerateEdgesHaveNoDirection) {
    const Point3 o(1.0f, 2.0f, 3.0f);
    EXPECT_TRUE(edgeFrame(o, o + Point3(3.0f, 4.0f, 0.0f)).valid);
    EXPECT_FALSE(edgeFrame(o, o).valid);
    const float tiny = std::numeric_limits<float>::denorm_min();
    EXPECT_FALSE(edgeFrame(Point3(), Point3(tiny, 0.0f, 0.0f)).valid);
    EXPECT_FALSE(edgeFrame(Point3(-3e38f, 0.0f, 0.0f), Point3(3e38f, 0.0f, 0.0f)).valid);
    const EdgeFrame f = edgeFrame(Point3(), Point3(0.0f, 2.0f, 0.0f));
    EXPECT_EQ(f.length, 2.0f);
    EXPECT_EQ(f.e, Point3(0.0f, 1.0f, 0.0f));
    EXPECT_EQ(stretchCorrection(f, 2.0f, 5.0f), Point3(0.0f, 0.0f, 0.0f));
    EXPECT_EQ(stretchCorrection(f, 1.0f, 5.0f), Point3(0.0f, 5.0f, 0.0f));
}

TEST(BendTerms, PushSumsToZeroAndPlasticityClamps) {
    const EdgeFrame f = edgeFrame(Point3(), Point3(1.0f, 0.0f, 0.0f));
    const Point3 n0(0.0f, 0.0f, 1.0f), n1(0.0f, 1.0f, 0.0f);
    const Point3 opp1(0.5f, 0.0f, 1.0f);
    // Rest angle equal to the current angle: no push, rest angle kept.
    BendTerms t = bendTerms(f, kPi / 2.0f, Point3(), opp1, n0, n1, 0.1f, 0.1f);
    EXPECT_EQ(t.pushOpposite0, Point3(0.0f, 0.0f, 0.0f));
    EXPECT_EQ(t.restAngle, kPi / 2.0f);
    // Rest angle 0: pushes cancel, plasticity moves the rest angle by 0.1 of the gap.
    t = bendTerms(f, 0.0f, Point3(), opp1, n0, n1, 0.1f, 0.1f);
    const Point3 sum = t.pushEdge + t.pushEdge - t.pushOpposite0 - t.pushOpposite1;
    EXPECT_NEAR(sum.Length(), 0.0f, 1e-7f);
    EXPECT_FLOAT_EQ(t.restAngle, 0.1f * (kPi / 2.0f));
    EXPECT_FLOAT_EQ(t.pushOpposite0.z, 0.1f * (kPi / 2.0f));
    // A rest angle past the limit is brought back to it, whatever plasticity says.
    t = bendTerms(f, 3.1f, Point3(), opp1, n0, n1, 0.1f, 0.0f);
    EXPECT_EQ(t.restAngle, 2.8f);
    t = bendTerms(f, -3.1f, Point3(), opp1, n0, n1, 0.1f, 0.0f);
    EXPECT_EQ(t.restAngle, -2.8f);
    // A zero face normal: no push, no plasticity.
    t = bendTerms(f, 1.0f, Point3(), opp1, n0, Point3(), 0.1f, 0.5f);
    EXPECT_EQ(t.pushEdge, Point3(0.0f, 0.0f, 0.0f));
    EXPECT_EQ(t.restAngle, 1.0f);
}

TEST(PressurePush, UnitDirectionTimesPressure) {
    EXPECT_FLOAT_EQ(pressurePush(Point3(0.0f, 0.0f, 6.0f), 1.0f).z, 0.01f);
    EXPECT_FLOAT_EQ(pressurePush(Point3(0.0f, 0.0f, 1.0f), 1.0f).z, 0.01f);
    EXPECT_FLOAT_EQ(pressurePush(Point3(0.0f, 0.0f, 1.0f), -2.0f).z, -0.02f);
    EXPECT_EQ(pressurePush(Point3(0.0f, 0.0f, 0.0f), 1.0f), Point3(0.0f, 0.0f, 0.0f));
}

}  // namespace
