// Construction of the cloth object and of the cloth state from a mesh.
#include <cmath>
#include <cstdint>
#include <numbers>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "ClothTestUtil.h"
#include "fixtures/MeshBuilders.h"
#include "sdk/HostRelease.h"

namespace {
using velmora::testing::BuiltCloth;
namespace fx = velmora::fixtures;
constexpr float kPi = std::numbers::pi_v<float>;

TEST(ClothMouseProc, ConstructionDefaultsAndCursorLifetime) {
    const int liveBefore = LiveCursorCount();
    {
        ClothMouseProc state;
        EXPECT_TRUE(state.brushWeights.empty() && state.deltas.empty() && state.constraints.empty() &&
                    state.velocities.empty() && state.faceNormals.empty() && state.vertexNormals.empty() &&
                    state.mask.empty());
        EXPECT_TRUE(state.brushFrame.IsIdentity());
        EXPECT_EQ(state.brushFrame.GetTrans(), Point3(0.0f, 0.0f, 0.0f));
        EXPECT_EQ(state.brushRadius, 10.0f);
        EXPECT_EQ(state.baseRadius, 0.0f);
        EXPECT_EQ(state.hostInterface, GetCOREInterface());
        EXPECT_EQ(state.mesh, nullptr);
        EXPECT_EQ(state.node, nullptr);
        EXPECT_EQ(state.lastMousePoint, IPoint2(0, 0));
        EXPECT_EQ(state.prevBrushPoint, Point3(0.0f, 0.0f, 0.0f));
#if MAX_RELEASE == 18000
        EXPECT_EQ(CursorNumber(state.pointCursor), 32649);
        EXPECT_EQ(CursorNumber(state.dragCursor), 32515);
#else
        EXPECT_EQ(CursorNumber(state.pointCursor), 155);
        EXPECT_EQ(CursorNumber(state.dragCursor), 153);
#endif
        EXPECT_EQ(LiveCursorCount(), liveBefore + 2);

        const BrushSettings& s = state.settings;
        EXPECT_EQ(s.iterations, 20);
        EXPECT_EQ(s.moveStrength, 1.0f);
        EXPECT_EQ(s.damping, 0.95f);
        EXPECT_EQ(s.plasticity, 0.1f);
        EXPECT_EQ(s.bendiness, 0.1f);
        EXPECT_TRUE(s.useVCMask);
        EXPECT_FALSE(s.gravityEnabled);
        EXPECT_FALSE(s.pressureEnabled);
        EXPECT_FALSE(s.groundCollision);
        EXPECT_EQ(s.pressure, 1.0f);
        EXPECT_EQ(s.gravity, 1.0f);
        EXPECT_EQ(s.maskVal, 1.0f);
        EXPECT_EQ(s.maskBlurStrength, 1.0f);
        EXPECT_EQ(s.clothStrength, 1.0f);
        EXPECT_FALSE(s.directionalExpand);
    }
    EXPECT_EQ(LiveCursorCount(), liveBefore);
}

TEST(BuildClothState, RadiusIsAFifthOfTheMeanExtent) {
    struct Case { const char* name; Point3 size; float expected; };
    const Case cases[] = {
        {"3 x 6 x 9 box", Point3(3.0f, 6.0f, 9.0f), 1.2f},
        {"unit cube", Point3(1.0f, 1.0f, 1.0f), 0.2f},
        {"flat 10 x 5", Point3(10.0f, 5.0f, 0.0f), 1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BrushDisplayValues display;
        Mesh mesh = fx::makeBox(Point3(-7.0f, 2.0f, 1.0f), c.size);
        ClothMouseProc state;
        state.display = &display;
        state.mesh = &mesh;
        state.buildClothState();
        EXPECT_FLOAT_EQ(state.brushRadius, c.expected);
        EXPECT_EQ(state.baseRadius, state.brushRadius);
        EXPECT_EQ(display.displayRadius, state.brushRadius);
    }
}

TEST(BuildClothState, RestAngleOfAFold) {
    struct Case { const char* name; float fold; float expected; };
    const Case cases[] = {
        {"flat", 0.0f, 0.0f},
        {"right angle toward face 0's normal", kPi / 2.0f, kPi / 2.0f},
        {"right angle away from it", -kPi / 2.0f, -kPi / 2.0f},
        {"sharp fold, beyond the solver's limit", 3.0f, 3.0f},
        {"slight fold down", -0.3f, -0.3f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BuiltCloth cloth(fx::makeFoldedPair(c.fold));
        ASSERT_EQ(cloth.state.constraints.size(), 5u);
        int closed = 0;
        for (const EdgeConstraint& r : cloth.state.constraints) {
            if (r.openEdge) {
                EXPECT_EQ(r.face0, 0);
                EXPECT_EQ(r.opposite1, 0);
                EXPECT_EQ(r.restAngle, 0.0f);
                continue;
            }
            ++closed;
            EXPECT_EQ(r.vert0, 0);
            EXPECT_EQ(r.vert1, 1);
            EXPECT_EQ(r.face0, 0);
            EXPECT_EQ(r.face1, 1);
            EXPECT_EQ(r.opposite0, 2);
            EXPECT_EQ(r.opposite1, 3);
            EXPECT_FLOAT_EQ(r.restLength, 1.0f);
            EXPECT_NEAR(r.restAngle, c.expected, 1e-5f);
        }
        EXPECT_EQ(closed, 1);
    }
}

TEST(BuildClothState, EdgeRecordsOfOpenClosedAndFacelessMeshes) {
    struct Case { const char* name; Mesh mesh; int edges; int open; };
    const Case cases[] = {
        {"grid 3 x 2", fx::makeGrid(3, 2, 1.0f), 3 * 3 + 4 * 2 + 3 * 2, 2 * (3 + 2)},
        {"closed box", fx::makeBox(Point3(), Point3(1.0f, 2.0f, 3.0f)), 18, 0},
        {"closed sphere", fx::makeUvSphere(1.0f, 5, 7), 7 + 7 * 4 + 7 * 3 * 2 + 7, 0},
        {"separate triangles", fx::makeSeparateTriangles(4), 12, 12},
        {"vertices only", fx::makePointsOnly(5), 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BuiltCloth cloth(c.mesh);
        const ClothMouseProc& s = cloth.state;
        const std::size_t v = static_cast<std::size_t>(cloth.mesh.getNumVerts());
        ASSERT_EQ(s.constraints.size(), static_cast<std::size_t>(c.edges));
        int open = 0;
        for (const EdgeConstraint& r : s.constraints) {
            open += r.openEdge ? 1 : 0;
            const Point3 d = cloth.mesh.verts[r.vert0] - cloth.mesh.verts[r.vert1];
            EXPECT_EQ(r.restLength, Length(d));
            if (!r.openEdge) {
                EXPECT_NE(r.face0, r.face1);
                for (int k = 0; k < 3; ++k) {
                    EXPECT_TRUE(cloth.mesh.faces[r.face0].v[k] == static_cast<DWORD>(r.opposite0) ||
                                cloth.mesh.faces[r.face0].v[k] == static_cast<DWORD>(r.vert0) ||
                                cloth.mesh.faces[r.face0].v[k] == static_cast<DWORD>(r.vert1));
                }
                EXPECT_TRUE(std::isfinite(r.restAngle));
            }
        }
        EXPECT_EQ(open, c.open);
        EXPECT_EQ(s.faceNormals.size(), static_cast<std::size_t>(cloth.mesh.getNumFaces()));
        for (const auto* size : {&s.brushWeights, &s.mask}) EXPECT_EQ(size->size(), v);
        for (const auto* vec : {&s.deltas, &s.velocities, &s.vertexNormals}) {
            ASSERT_EQ(vec->size(), v);
            for (const Point3& p : *vec) EXPECT_EQ(p, Point3(0.0f, 0.0f, 0.0f));
        }
        EXPECT_EQ(s.work.vertexShared.size(), v);
        EXPECT_EQ(s.work.constraintSlotBase.size(), s.constraints.size());
        EXPECT_EQ(s.guard.positions.size(), v);
        EXPECT_EQ(s.guard.restAngles.size(), s.constraints.size());
    }
}

TEST(BuildClothState, EdgeStageLayoutGivesLaterChunksSlotsInRecordOrder) {
    struct Case { const char* name; int chunk; bool allShared; bool noneShared; };
    const Case cases[] = {{"one record per chunk", 1, true, false},
                          {"seven records per chunk", 7, false, false},
                          {"one chunk", 100000, false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BuiltCloth cloth(fx::makeGrid(5, 4, 1.0f), c.chunk);
        const ClothWorkspace& w = cloth.state.work;
        const std::vector<EdgeConstraint>& records = cloth.state.constraints;
        EXPECT_EQ(w.constraintChunk, c.chunk);
        std::size_t shared = 0;
        for (std::uint8_t s : w.vertexShared) shared += s;
        EXPECT_EQ(shared, w.sharedVertices.size());
        if (c.allShared) {
            EXPECT_EQ(shared, w.vertexShared.size());
        }
        if (c.noneShared) {
            EXPECT_EQ(shared, 0u);
        }
        if (!c.allShared && !c.noneShared) {
            EXPECT_GT(shared, 0u);
            EXPECT_LT(shared, w.vertexShared.size());
        }
        ASSERT_EQ(w.vertexSlotOffsets.size(), w.vertexShared.size() + 1);
        EXPECT_EQ(static_cast<std::size_t>(w.vertexSlotOffsets.back()), w.edgeSlots.size());
        ASSERT_EQ(w.slotPositions.size(), w.edgeSlots.size());

        // Walk the contributions in serial order. The first chunk that touches a vertex adds
        // straight; every contribution of a later chunk takes the vertex's next slot.
        std::vector<int> firstChunk(w.vertexShared.size(), -1);
        std::vector<int> nextSlot(w.vertexSlotOffsets.begin(), w.vertexSlotOffsets.end() - 1);
        for (std::size_t r = 0; r < records.size(); ++r) {
            const EdgeConstraint& e = records[r];
            const int chunkIndex = static_cast<int>(r) / c.chunk;
            std::vector<int> order = {e.vert0, e.vert1};
            if (!e.openEdge) order.insert(order.end(), {e.opposite0, e.opposite1, e.vert0, e.vert1});
            const unsigned roles = w.constraintSharedRoles[r] & ClothWorkspace::kSlotRoles;
            int position = w.constraintSlotBase[r];
            for (std::size_t k = 0; k < order.size(); ++k) {
                const std::size_t v = static_cast<std::size_t>(order[k]);
                if (firstChunk[v] < 0) firstChunk[v] = chunkIndex;
                const bool slotted = firstChunk[v] != chunkIndex;
                EXPECT_EQ(slotted, (roles >> k & 1u) != 0) << "record " << r << " role " << k;
                if (!slotted) continue;
                EXPECT_EQ(w.slotPositions[static_cast<std::size_t>(position++)], nextSlot[v]++);
            }
        }
        for (std::size_t v = 0; v < w.vertexShared.size(); ++v) {
            EXPECT_EQ(nextSlot[v], w.vertexSlotOffsets[v + 1]) << v;
            EXPECT_EQ(w.vertexSlotOffsets[v] != w.vertexSlotOffsets[v + 1], w.vertexShared[v] != 0) << v;
        }
    }
}

TEST(BuildClothState, RebuildTakesTheCurrentShapeAndMovesNoVertex) {
    BuiltCloth cloth(fx::makeGrid(4, 4, 0.5f));
    const std::vector<Point3> before = cloth.mesh.verts;
    const std::vector<EdgeConstraint> first = cloth.state.constraints;
    cloth.state.buildClothState();
    EXPECT_EQ(cloth.mesh.verts, before);
    ASSERT_EQ(cloth.state.constraints.size(), first.size());
    for (std::size_t c = 0; c < first.size(); ++c) {
        EXPECT_EQ(cloth.state.constraints[c].restLength, first[c].restLength);
        EXPECT_EQ(cloth.state.constraints[c].restAngle, first[c].restAngle);
    }
    // Deform, leave velocities behind, and rebuild on a mesh with a different vertex count.
    cloth.mesh.verts[12].z = 1.0f;
    cloth.state.velocities[3] = Point3(1.0f, 0.0f, 0.0f);
    cloth.state.buildClothState();
    EXPECT_EQ(cloth.state.velocities[3], Point3(0.0f, 0.0f, 0.0f));
    bool bent = false;
    for (const EdgeConstraint& r : cloth.state.constraints) bent |= !r.openEdge && r.restAngle != 0.0f;
    EXPECT_TRUE(bent);

    cloth.mesh = fx::makeGrid(2, 1, 1.0f);
    cloth.state.buildClothState();
    EXPECT_EQ(cloth.state.deltas.size(), 6u);
    EXPECT_EQ(cloth.state.mask.size(), 6u);
}

TEST(BuildClothState, FaceCornerOutsideTheVerticesIsRejectedAndChangesNothing) {
    BuiltCloth cloth(fx::makeGrid(2, 2, 1.0f));
    const std::size_t constraints = cloth.state.constraints.size();
    const float radius = cloth.state.brushRadius;
    cloth.mesh.faces[3].v[1] = 99;
    try {
        cloth.state.buildClothState();
        FAIL() << "expected an error";
    } catch (const std::out_of_range& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find("buildClothState"), std::string::npos) << what;
        EXPECT_NE(what.find("face 3 corner 1"), std::string::npos) << what;
        EXPECT_NE(what.find("vertex 99"), std::string::npos) << what;
    }
    EXPECT_EQ(cloth.state.constraints.size(), constraints);
    EXPECT_EQ(cloth.state.brushRadius, radius);
    EXPECT_EQ(cloth.mesh.vertCol.size(), 9u);
}

}  // namespace
