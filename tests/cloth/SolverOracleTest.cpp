// The parallel solver against the plain serial one, and against itself with other thread counts.
#include <cmath>
#include <memory>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "ClothTestUtil.h"
#include "fixtures/MeshBuilders.h"
#include "SerialOracle.h"
#include "sdk/Parallel.h"
#include "solver/Solver.h"

namespace {
using velmora::testing::BuiltCloth;
using velmora::testing::forEachBlockWidth;
using velmora::testing::sameBits;
namespace fx = velmora::fixtures;

// Random settings inside the range where the formulas are stable, and a random starting state
// (perturbed rest values, velocities, mask and brush weights), the same for every seed.
struct Scenario {
    BrushSettings settings;
    bool moveActive = false;
    Point3 moveVector;
    std::uint32_t stateSeed = 0;
};

Scenario randomScenario(std::uint32_t seed) {
    std::mt19937 rng(seed * 7919u + 17u);
    auto uniform = [&rng](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    auto coin = [&rng] { return std::uniform_int_distribution<int>(0, 1)(rng) == 1; };
    Scenario sc;
    BrushSettings& s = sc.settings;
    s.iterations = std::uniform_int_distribution<int>(2, 24)(rng);
    s.clothStrength = uniform(0.0f, 2.0f);
    s.damping = uniform(0.0f, 1.0f);
    s.plasticity = uniform(0.0f, 1.0f);
    s.bendiness = uniform(0.0f, 0.5f);
    s.useVCMask = coin();
    s.gravityEnabled = coin();
    s.pressureEnabled = coin();
    s.groundCollision = coin();
    s.pressure = uniform(-2.0f, 2.0f);
    s.gravity = uniform(-2.0f, 2.0f);
    sc.moveActive = coin();
    sc.moveVector = Point3(uniform(-0.2f, 0.2f), uniform(-0.2f, 0.2f), uniform(-0.2f, 0.2f));
    sc.stateSeed = static_cast<std::uint32_t>(rng());
    return sc;
}

void prepare(ClothMouseProc& state, const Scenario& sc) {
    state.settings = sc.settings;
    std::mt19937 rng(sc.stateSeed);
    auto uniform = [&rng](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    for (EdgeConstraint& r : state.constraints) {
        r.restLength *= uniform(0.8f, 1.2f);
        if (!r.openEdge) r.restAngle += uniform(-0.5f, 0.5f);
    }
    for (std::size_t v = 0; v < state.velocities.size(); ++v) {
        state.velocities[v] = Point3(uniform(-0.05f, 0.05f), uniform(-0.05f, 0.05f), uniform(-0.05f, 0.05f));
        state.mask[v] = uniform(0.0f, 1.0f) < 0.2f ? 0.0f : uniform(0.0f, 1.0f);
        state.brushWeights[v] = uniform(0.0f, 1.0f) < 0.5f ? 0.0f : uniform(0.0f, 1.0f);
    }
}

// Compares every value a solver call writes; reports the first difference of each kind.
::testing::AssertionResult sameState(const BuiltCloth& a, const BuiltCloth& b) {
    auto fail = [](const std::string& what, std::size_t i) {
        return ::testing::AssertionFailure() << what << " differs at " << i;
    };
    for (std::size_t v = 0; v < a.mesh.verts.size(); ++v) {
        if (!sameBits(a.mesh.verts[v], b.mesh.verts[v])) return fail("position", v);
        if (!sameBits(a.state.velocities[v], b.state.velocities[v])) return fail("velocity", v);
        if (!sameBits(a.state.deltas[v], b.state.deltas[v])) return fail("delta", v);
        if (!sameBits(a.state.vertexNormals[v], b.state.vertexNormals[v])) return fail("vertex normal", v);
    }
    for (std::size_t c = 0; c < a.state.constraints.size(); ++c) {
        if (!sameBits(a.state.constraints[c].restAngle, b.state.constraints[c].restAngle)) return fail("rest angle", c);
        if (!sameBits(a.state.constraints[c].restLength, b.state.constraints[c].restLength)) return fail("rest length", c);
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult allFinite(const BuiltCloth& a) {
    for (std::size_t v = 0; v < a.mesh.verts.size(); ++v) {
        const Point3 p = a.mesh.verts[v], u = a.state.velocities[v];
        if (!std::isfinite(p.x + p.y + p.z + u.x + u.y + u.z)) return ::testing::AssertionFailure() << "vertex " << v;
    }
    for (std::size_t c = 0; c < a.state.constraints.size(); ++c) {
        if (!std::isfinite(a.state.constraints[c].restAngle)) return ::testing::AssertionFailure() << "record " << c;
    }
    return ::testing::AssertionSuccess();
}

TEST(SolverOracle, ParallelSolverMatchesTheSerialOneBitForBit) {
    constexpr std::uint32_t kSeeds = 48;
    constexpr int kCalls = 3;
    forEachBlockWidth([&] {
    for (std::uint32_t seed = 0; seed < kSeeds; ++seed) {
        const fx::RandomMeshOptions options{(seed & 1u) != 0, (seed & 2u) != 0};
        const Scenario sc = randomScenario(seed);
        SCOPED_TRACE("seed " + std::to_string(seed) + (options.closed ? " closed" : " open") +
                     (options.degenerate ? " degenerate" : ""));
        const Mesh mesh = fx::makeRandomMesh(seed, options);
        // Records per chunk of the edge stage: automatic, every vertex shared, a mixture.
        const int chunk = (seed % 3 == 0) ? 0 : (seed % 3 == 1 ? 1 : 5);
        BuiltCloth solver(mesh, chunk);
        BuiltCloth oracle(mesh);
        prepare(solver.state, sc);
        prepare(oracle.state, sc);
        // The oracle is the plain formulas; the random meshes reach the stabilised bound.
        solver.state.exactSolver = true;
        ASSERT_TRUE(sameState(solver, oracle));
        for (int call = 0; call < kCalls; ++call) {
            runSolverIterations(solver.state, sc.moveActive, sc.moveVector);
            velmora::oracle::runSolverIterations(oracle.state, sc.moveActive, sc.moveVector);
            ASSERT_TRUE(sameState(solver, oracle)) << "call " << call;
        }
        EXPECT_TRUE(allFinite(solver));
    }
    });
}

// The edge stage and the face normals read each point and normal 16 bytes at a time, except those
// of the last vertex and the last face, which have nothing after them. Meshes where those are
// read first, in the middle, or last, in blocks long enough for the unchecked loads.
TEST(SolverOracle, RecordsReadingTheLastPointAnywhereMatchTheSerialSolver) {
    Mesh grid = fx::makeGrid(20, 18, 0.3f);
    std::mt19937 rng(9);
    for (Point3& p : grid.verts) p.z = std::uniform_real_distribution<float>(-0.1f, 0.1f)(rng);
    const int n = grid.getNumVerts();
    // Vertex numbers reversed: the last vertex belongs to the first faces and records.
    Mesh reversed = grid;
    for (int v = 0; v < n; ++v) {
        reversed.verts[static_cast<std::size_t>(v)] = grid.verts[static_cast<std::size_t>(n - 1 - v)];
    }
    for (Face& f : reversed.faces) {
        for (DWORD& c : f.v) c = static_cast<DWORD>(n - 1) - c;
        std::swap(f.v[1], f.v[2]);  // keep the winding
    }
    // The last vertex swapped with one in the middle of the grid.
    Mesh middle = grid;
    const DWORD mid = static_cast<DWORD>(n / 2 + 3);
    std::swap(middle.verts[mid], middle.verts[static_cast<std::size_t>(n - 1)]);
    for (Face& f : middle.faces) {
        for (DWORD& c : f.v) c = (c == mid) ? static_cast<DWORD>(n - 1) : (c == static_cast<DWORD>(n - 1) ? mid : c);
    }
    forEachBlockWidth([&] {
        for (const auto& [name, mesh] : {std::pair{"grid", &grid}, {"reversed", &reversed}, {"middle", &middle}}) {
            SCOPED_TRACE(name);
            const Scenario sc = randomScenario(13);
            BuiltCloth solver(*mesh);
            BuiltCloth oracle(*mesh);
            ASSERT_FALSE(solver.state.work.lastElementRecords.empty());
            ASSERT_LT(solver.state.work.lastElementRecords.size(), solver.state.constraints.size() / 20);
            prepare(solver.state, sc);
            prepare(oracle.state, sc);
            solver.state.exactSolver = true;
            for (int call = 0; call < 2; ++call) {
                runSolverIterations(solver.state, true, sc.moveVector);
                velmora::oracle::runSolverIterations(oracle.state, true, sc.moveVector);
                ASSERT_TRUE(sameState(solver, oracle)) << "call " << call;
            }
        }
    });
}

// Faces that name one vertex twice (as files contain them): their edges' far corner is one of
// the edge's own ends, which the edge stage must not take for the common case of four distinct
// vertices.
TEST(SolverOracle, FacesRepeatingACornerMatchTheSerialSolver) {
    Mesh mesh = fx::makeGrid(6, 5, 0.2f);
    std::mt19937 rng(3);
    for (Point3& p : mesh.verts) p.z = std::uniform_real_distribution<float>(-0.05f, 0.05f)(rng);
    for (int f : {3, 17, 30}) {
        Face& face = mesh.faces[static_cast<std::size_t>(f)];
        face.v[2] = face.v[0];
    }
    mesh.faces[40].v[1] = mesh.faces[40].v[0];
    mesh.faces[0].v[2] = mesh.faces[0].v[1];  // at vertex 0: the far corner the build takes for none
    forEachBlockWidth([&] {
    for (int chunk : {0, 1, 5}) {
        SCOPED_TRACE("chunk " + std::to_string(chunk));
        const Scenario sc = randomScenario(5);
        BuiltCloth solver(mesh, chunk);
        BuiltCloth oracle(mesh);
        prepare(solver.state, sc);
        prepare(oracle.state, sc);
        solver.state.exactSolver = true;
        int cornerOnEdge = 0;
        for (std::uint8_t roles : solver.state.work.constraintSharedRoles) {
            cornerOnEdge += (roles & ClothWorkspace::kCornerOnEdge) != 0 ? 1 : 0;
        }
        EXPECT_GT(cornerOnEdge, 0);
        for (int call = 0; call < 3; ++call) {
            runSolverIterations(solver.state, true, sc.moveVector);
            velmora::oracle::runSolverIterations(oracle.state, true, sc.moveVector);
            ASSERT_TRUE(sameState(solver, oracle)) << "call " << call;
        }
        EXPECT_TRUE(allFinite(solver));
    }
    });
}

TEST(SolverOracle, EdgeStageAloneGivesTheSameDeltasThroughSlotsOrDirectly) {
    for (std::uint32_t seed : {2u, 7u, 11u}) {
        SCOPED_TRACE(seed);
        const Mesh mesh = fx::makeRandomMesh(seed, {seed % 2 == 1, true});
        const Scenario sc = randomScenario(seed);
        BuiltCloth direct(mesh, 1 << 20);  // one chunk: every vertex owned
        BuiltCloth slotted(mesh, 1);       // one record per chunk: every touched vertex shared
        prepare(direct.state, sc);
        prepare(slotted.state, sc);
        for (BuiltCloth* c : {&direct, &slotted}) {
            computeFaceNormals(c->state);
            applyMoveFalloff(c->state, sc.moveVector);
            solveEdgeConstraints(c->state);
        }
        EXPECT_TRUE(sameState(direct, slotted));
        bool moved = false;
        for (const Point3& d : direct.state.deltas) moved |= d != Point3(0.0f, 0.0f, 0.0f);
        EXPECT_TRUE(moved);
    }
}

TEST(SolverOracle, SameBitsWithOneTwoAndEightThreads) {
    Mesh mesh = fx::makeRandomMesh(1234u, {false, true});
    Mesh big = fx::makeGrid(70, 60, 0.1f);
    std::mt19937 rng(5);
    for (Point3& p : big.verts) p.z = std::uniform_real_distribution<float>(-0.05f, 0.05f)(rng);
    for (const Mesh* m : {&mesh, &big}) {
        for (std::uint32_t seed : {3u, 8u, 21u}) {
            Scenario sc = randomScenario(seed);
            sc.settings.pressureEnabled = true;
            sc.moveActive = true;
            std::unique_ptr<BuiltCloth> reference;
            for (int threads : {1, 2, 8}) {
                SCOPED_TRACE("threads " + std::to_string(threads) + " seed " + std::to_string(seed));
                velmora::parallel::ThreadLimit limit(threads);
                auto cloth = std::make_unique<BuiltCloth>(*m, threads == 8 ? 3 : 0);
                prepare(cloth->state, sc);
                for (int call = 0; call < 3; ++call) runSolverIterations(cloth->state, true, sc.moveVector);
                if (!reference) {
                    reference = std::move(cloth);
                } else {
                    EXPECT_TRUE(sameState(*reference, *cloth));
                }
            }
        }
    }
}

}  // namespace
