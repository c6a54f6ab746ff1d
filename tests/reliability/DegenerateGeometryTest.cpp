// Degenerate geometry: the build and every brush mode stay finite and inside the mesh on meshes
// that real files contain (zero-area faces, repeated corners, coincident or unused vertices,
// duplicate faces, non-manifold edges and vertices, mixed orientation, extreme coordinates), the
// stroke guard puts back an event that overflows, and undo gives back the mesh as built.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "ReliabilitySupport.h"
#include "brush/BrushMode.h"

namespace reliability {
namespace {

using velmora::fixtures::makeGrid;

void addFace(Mesh& m, int a, int b, int c) {
    Face f;
    f.setVerts(a, b, c);
    m.faces.push_back(f);
}

Point3 P(float x, float y, float z) { return Point3(x, y, z); }

// A 6 x 6 grid of unit quads, the base most cases change.
Mesh grid() { return makeGrid(6, 6, 1.0f); }

Mesh zeroAreaFaces() {
    Mesh m = grid();
    // Three collinear corners, and a face collapsed to one point.
    const int a = m.getNumVerts();
    m.verts.insert(m.verts.end(), {P(1, 1, 0.5f), P(2, 1, 0.5f), P(3, 1, 0.5f)});
    addFace(m, a, a + 1, a + 2);
    m.verts[9] = m.verts[8];
    m.verts[15] = m.verts[8];
    return m;
}

Mesh facesRepeatingAVertex() {
    Mesh m = grid();
    addFace(m, 8, 8, 9);
    addFace(m, 10, 11, 10);
    addFace(m, 16, 16, 16);
    return m;
}

Mesh coincidentVertices() {
    Mesh m = grid();
    // Each vertex of the middle row gets a twin at the same place, used by a face of its own.
    const int first = m.getNumVerts();
    for (int i = 0; i < 7; ++i) m.verts.push_back(m.verts[static_cast<size_t>(21 + i)]);
    for (int i = 0; i < 6; ++i) addFace(m, first + i, first + i + 1, 28 + i);
    return m;
}

Mesh verticesInNoFace() {
    Mesh m = grid();
    m.verts.insert(m.verts.end(), {P(3, 3, 0), P(-50, 7, 2), P(1e6f, 0, 0)});
    return m;
}

Mesh duplicateFaces() {
    Mesh m = grid();
    const size_t n = m.faces.size();
    for (size_t f = 0; f < n; f += 3) m.faces.push_back(m.faces[f]);
    const Face& g = m.faces[4];
    addFace(m, static_cast<int>(g.v[0]), static_cast<int>(g.v[2]), static_cast<int>(g.v[1]));  // reversed twin
    return m;
}

Mesh nonManifoldEdges() {
    Mesh m = grid();
    // Three fins on the edge 15-16 of the grid, and a fourth on 22-23.
    for (const float z : {1.0f, -1.0f, 0.7f}) {
        m.verts.emplace_back(1.5f, 2.5f, z);
        addFace(m, 15, 16, m.getNumVerts() - 1);
    }
    m.verts.emplace_back(2.5f, 3.5f, 1.0f);
    addFace(m, 23, 22, m.getNumVerts() - 1);
    return m;
}

Mesh nonManifoldVertices() {
    // Two fans that touch only at one vertex (a bow tie), and a third fan on it at right angles.
    Mesh m;
    m.verts = {P(0, 0, 0), P(1, 0, 0), P(1, 1, 0), P(0, 1, 0), P(-1, 0, 0),
               P(-1, -1, 0), P(0, -1, 0), P(0, 0.5f, 1), P(0, -0.5f, 1)};
    addFace(m, 0, 1, 2);
    addFace(m, 0, 2, 3);
    addFace(m, 0, 4, 5);
    addFace(m, 0, 5, 6);
    addFace(m, 0, 7, 8);
    return m;
}

Mesh inconsistentOrientation() {
    Mesh m = grid();
    for (size_t f = 0; f < m.faces.size(); f += 2) std::swap(m.faces[f].v[1], m.faces[f].v[2]);
    return m;
}

Mesh scaled(float spacing, float offset) {
    Mesh m = makeGrid(6, 6, spacing);
    for (Point3& p : m.verts) {
        p.x += offset;
        p.z = spacing * 0.3f * static_cast<float>((static_cast<int>(p.x / spacing) + static_cast<int>(p.y / spacing)) % 2);
    }
    return m;
}
Mesh hugeCoordinates() { return scaled(1e30f, 0.0f); }
Mesh hugeOffset() { return scaled(1e29f, 1e30f); }
Mesh tinyCoordinates() { return scaled(1e-30f, 0.0f); }

Mesh singleTriangle() {
    Mesh m;
    m.verts = {P(0, 0, 0), P(1, 0, 0), P(0, 1, 0)};
    addFace(m, 0, 1, 2);
    return m;
}

Mesh pointsOnly() { return velmora::fixtures::makePointsOnly(5); }
Mesh allInOne() {
    Mesh m = nonManifoldEdges();
    addFace(m, 8, 8, 9);
    m.faces.push_back(m.faces[3]);
    m.verts[30] = m.verts[29];
    std::swap(m.faces[7].v[1], m.faces[7].v[2]);
    m.verts.push_back(P(9, 9, 9));
    return m;
}

struct DegenerateCase {
    const char* name;
    Mesh (*make)();
    bool hasFaces;
};

// Test names in ctest carry the case name rather than the bytes of the case.
void PrintTo(const DegenerateCase& c, std::ostream* os) { *os << c.name; }

const DegenerateCase kCases[] = {
    {"ZeroAreaFaces", zeroAreaFaces, true},
    {"FacesRepeatingAVertex", facesRepeatingAVertex, true},
    {"CoincidentVertices", coincidentVertices, true},
    {"VerticesInNoFace", verticesInNoFace, true},
    {"DuplicateFaces", duplicateFaces, true},
    {"NonManifoldEdges", nonManifoldEdges, true},
    {"NonManifoldVertices", nonManifoldVertices, true},
    {"InconsistentOrientation", inconsistentOrientation, true},
    {"CoordinatesNear1e30", hugeCoordinates, true},
    {"OffsetNear1e30", hugeOffset, true},
    {"CoordinatesNear1e-30", tinyCoordinates, true},
    {"SingleTriangle", singleTriangle, true},
    {"PointsOnly", pointsOnly, false},
    {"AllInOne", allInOne, true},
};

class DegenerateGeometry : public brushtest::StrokeFixture, public ::testing::WithParamInterface<DegenerateCase> {
protected:
    ::testing::AssertionResult sound(const Counts& counts) {
        if (::testing::AssertionResult r = clothIsFinite(cloth); !r) return r;
        if (!(Counts::of(cloth) == counts)) return ::testing::AssertionFailure() << "an array changed size";
        return constraintsInRange(cloth);
    }
};

TEST_P(DegenerateGeometry, BuildAndEveryModeStayFiniteAndTheGuardActs) {
    const DegenerateCase& c = GetParam();
    buildOn(c.make());
    const Counts counts = Counts::of(cloth);
    ASSERT_TRUE(sound(counts)) << "after the build";
    for (const Point3& n : cloth.faceNormals) EXPECT_TRUE(finite(n)) << "face normal";
    for (const Point3& n : cloth.vertexNormals) EXPECT_TRUE(finite(n)) << "vertex normal";
    const Restorable built = Restorable::of(cloth);
    frameMesh(ip, *cloth.mesh, P(0.2f, -0.3f, 1.0f), false);

    // Every mode with every setting at its default, from the middle of the picture, then once more
    // with ground collision, gravity, pressure and directional expansion switched on.
    IPoint2 p{400, 300};
    press(p);
    for (const bool extras : {false, true}) {
        cloth.settings = BrushSettings{};
        cloth.settings.maskVal = 0.5f;
        cloth.settings.gravityEnabled = cloth.settings.pressureEnabled = extras;
        cloth.settings.groundCollision = cloth.settings.directionalExpand = extras;
        for (int flags = 0; flags < 8; ++flags) {
            for (int k = 0; k < 3; ++k) {
                SCOPED_TRACE(::testing::Message() << "mode flags " << flags << ", event " << k << ", extras " << extras);
                p = {p.x + (k == 1 ? -6 : 4), p.y + (k == 2 ? 5 : -3)};
                drag(p, flags);
                ASSERT_TRUE(sound(counts));
                EXPECT_FALSE(cloth.lastEventReverted) << "default settings made a value non-finite";
            }
        }
    }

    // An infinite move strength makes any moved vertex non-finite: the guard puts the event back.
    const Restorable beforeOverflow = Restorable::of(cloth);
    const std::vector<Point3> velocities = cloth.velocities;
    cloth.settings = BrushSettings{};
    cloth.settings.moveStrength = INFINITY;
    cloth.settings.useVCMask = false;
    drag({p.x + 9, p.y - 7}, kCtrlBit);
    if (c.hasFaces) {
        EXPECT_TRUE(cloth.lastEventReverted) << "the overflowing event was not put back";
    }
    ASSERT_TRUE(sound(counts));
    if (cloth.lastEventReverted) {
        EXPECT_TRUE(sameRestorable(beforeOverflow, Restorable::of(cloth)));
        EXPECT_TRUE(sameBits(velocities, cloth.velocities));
    }
    release(p);

    ASSERT_TRUE(theHold.Undo());
    EXPECT_TRUE(sameRestorable(built, Restorable::of(cloth))) << "undo did not give back the mesh as built";
    EXPECT_TRUE(brushtest::coloursShowMask(cloth));
}

INSTANTIATE_TEST_SUITE_P(Cases, DegenerateGeometry, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<DegenerateCase>& p) {
                             std::string n = p.param.name;
                             for (char& ch : n) {
                                 if (ch == '-') ch = 'm';
                             }
                             return n;
                         });

}  // namespace
}  // namespace reliability
