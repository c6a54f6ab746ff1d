#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "SdkTestMeshes.h"
#include "sdk/Mesh.h"
#include "sdk/Parallel.h"
#include "sdk/Scene.h"

namespace {

using sdktest::makeCube;
using sdktest::makeMesh;

TEST(MeshTest, FaceNormalFollowsTheRightHandRule) {
    const Mesh cube = makeCube();
    const Point3 outward[6] = {{0.0f, 0.0f, -1.0f}, {0.0f, 0.0f, 1.0f}, {0.0f, -1.0f, 0.0f},
                               {0.0f, 1.0f, 0.0f},  {-1.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}};
    for (int f = 0; f < cube.getNumFaces(); ++f) {
        EXPECT_EQ(cube.FaceNormal(f, true), outward[f / 2]) << "face " << f;
        // Unnormalised: twice the area (each face is half of a 2 x 2 square).
        EXPECT_EQ(cube.FaceNormal(f, false), outward[f / 2] * 4.0f) << "face " << f;
    }
    Mesh flipped = cube;
    flipped.faces[0].setVerts(0, 1, 2);
    EXPECT_EQ(flipped.FaceNormal(0, true), Point3(0.0f, 0.0f, 1.0f));
}

TEST(MeshTest, FaceNormalOfDegenerateOrInvalidFaceIsZero) {
    Mesh m = makeMesh({{0.0f, 0.0f, 0.0f}, {1.0f, 1.0f, 1.0f}, {2.0f, 2.0f, 2.0f}, {NAN, 0.0f, 0.0f}},
                      {{0, 1, 2}, {0, 0, 1}, {1, 1, 1}, {0, 1, 7}, {0, 1, 3}});
    const Point3 zero(0.0f, 0.0f, 0.0f);
    const char* names[] = {"collinear", "repeated corner", "single point", "vertex index out of range",
                           "NaN vertex"};
    for (int f = 0; f < m.getNumFaces(); ++f) {
        EXPECT_EQ(m.FaceNormal(f, true), zero) << names[f];
    }
    EXPECT_EQ(m.FaceNormal(-1, true), zero);
    EXPECT_EQ(m.FaceNormal(m.getNumFaces(), false), zero);
}

struct RayCase {
    const char* name;
    Point3 origin, dir;
    bool hit;
    float at;
    Point3 normal;
};

TEST(MeshTest, IntersectRayOnACube) {
    const Mesh cube = makeCube();
    const RayCase cases[] = {
        {"from above", {0.3f, 0.2f, 5.0f}, {0.0f, 0.0f, -1.0f}, true, 4.0f, {0.0f, 0.0f, 1.0f}},
        {"from below", {-0.3f, 0.4f, -3.0f}, {0.0f, 0.0f, 1.0f}, true, 2.0f, {0.0f, 0.0f, -1.0f}},
        {"from -x", {-5.0f, 0.1f, 0.2f}, {1.0f, 0.0f, 0.0f}, true, 4.0f, {-1.0f, 0.0f, 0.0f}},
        {"from +y", {0.5f, 4.0f, -0.5f}, {0.0f, -1.0f, 0.0f}, true, 3.0f, {0.0f, 1.0f, 0.0f}},
        // Distance in units of the direction's length.
        {"long direction", {0.3f, 0.2f, 5.0f}, {0.0f, 0.0f, -2.0f}, true, 2.0f, {0.0f, 0.0f, 1.0f}},
        // From inside the cube the back of the top face is hit; its own normal is reported.
        {"from inside", {0.1f, 0.2f, 0.3f}, {0.0f, 0.0f, 1.0f}, true, 0.7f, {0.0f, 0.0f, 1.0f}},
        {"origin on the surface", {0.2f, 0.2f, 1.0f}, {0.0f, 0.0f, -1.0f}, true, 0.0f, {0.0f, 0.0f, 1.0f}},
        {"beside", {3.0f, 3.0f, 5.0f}, {0.0f, 0.0f, -1.0f}, false, 0.0f, {}},
        {"pointing away", {0.0f, 0.0f, 5.0f}, {0.0f, 0.0f, 1.0f}, false, 0.0f, {}},
        {"zero direction", {0.0f, 0.0f, 5.0f}, {0.0f, 0.0f, 0.0f}, false, 0.0f, {}},
    };
    for (const RayCase& k : cases) {
        Ray ray;
        ray.p = k.origin;
        ray.dir = k.dir;
        float at = -7.0f;
        Point3 n(9.0f, 9.0f, 9.0f);
        const int hit = cube.IntersectRay(ray, at, n);
        EXPECT_EQ(hit != 0, k.hit) << k.name;
        if (k.hit && hit) {
            EXPECT_NEAR(at, k.at, 1e-6f) << k.name;
            EXPECT_EQ(n, k.normal) << k.name;
        }
        if (!k.hit) {
            EXPECT_EQ(at, -7.0f) << k.name << ": outputs untouched on a miss";
            EXPECT_EQ(n, Point3(9.0f, 9.0f, 9.0f)) << k.name;
        }
    }
}

TEST(MeshTest, IntersectRayTakesTheNearestOfStackedFaces) {
    // Three horizontal triangles at z = 0, 1, 2, listed far to near.
    const Mesh m = makeMesh({{-1.0f, -1.0f, 0.0f}, {2.0f, -1.0f, 0.0f}, {-1.0f, 2.0f, 0.0f},
                             {-1.0f, -1.0f, 1.0f}, {2.0f, -1.0f, 1.0f}, {-1.0f, 2.0f, 1.0f},
                             {-1.0f, -1.0f, 2.0f}, {-1.0f, 2.0f, 2.0f}, {2.0f, -1.0f, 2.0f}},
                            {{0, 1, 2}, {3, 4, 5}, {6, 7, 8}});
    Ray down;
    down.p = {0.0f, 0.0f, 10.0f};
    down.dir = {0.0f, 0.0f, -1.0f};
    float at = 0.0f;
    Point3 n;
    ASSERT_TRUE(m.IntersectRay(down, at, n));
    EXPECT_FLOAT_EQ(at, 8.0f);
    EXPECT_EQ(n, Point3(0.0f, 0.0f, -1.0f));  // the top face is wound clockwise from above
    Ray up;
    up.p = {0.0f, 0.0f, 0.5f};
    up.dir = {0.0f, 0.0f, 1.0f};
    ASSERT_TRUE(m.IntersectRay(up, at, n));
    EXPECT_FLOAT_EQ(at, 0.5f);
    EXPECT_EQ(n, Point3(0.0f, 0.0f, 1.0f));
}

// Two coincident faces with opposite windings: the normal tells which face was reported.
// `filler` faces far off the ray come before, between or after them, so that with enough filler
// the two candidates land in different parallel chunks.
Mesh coincidentPair(int filler, int firstAt, int secondAt, bool firstUp) {
    Mesh m;
    m.setNumVerts(3 + 3);
    m.setVert(0, {-1.0f, -1.0f, 0.0f});
    m.setVert(1, {1.0f, -1.0f, 0.0f});
    m.setVert(2, {0.0f, 1.0f, 0.0f});
    m.setVert(3, {100.0f, 100.0f, 0.0f});
    m.setVert(4, {101.0f, 100.0f, 0.0f});
    m.setVert(5, {100.0f, 101.0f, 0.0f});
    m.setNumFaces(filler + 2);
    for (int f = 0; f < m.getNumFaces(); ++f) m.faces[static_cast<size_t>(f)].setVerts(3, 4, 5);
    m.faces[static_cast<size_t>(firstAt)].setVerts(0, firstUp ? 1 : 2, firstUp ? 2 : 1);
    m.faces[static_cast<size_t>(secondAt)].setVerts(0, firstUp ? 2 : 1, firstUp ? 1 : 2);
    return m;
}

TEST(MeshTest, IntersectRayBreaksTiesByLowestFaceIndex) {
    struct TieCase {
        const char* name;
        int filler, firstAt, secondAt;
        bool firstUp;
    };
    const TieCase cases[] = {
        {"adjacent, up first", 0, 0, 1, true},
        {"adjacent, down first", 0, 0, 1, false},
        {"far apart, up first", 300000, 5, 300001, true},
        {"far apart, down first", 300000, 5, 300001, false},
        {"both late", 300000, 299990, 300000, true},
    };
    for (const TieCase& k : cases) {
        const Mesh m = coincidentPair(k.filler, k.firstAt, k.secondAt, k.firstUp);
        Ray ray;
        ray.p = {0.0f, 0.0f, 3.0f};
        ray.dir = {0.0f, 0.0f, -1.0f};
        for (const int threads : {1, 2, 0}) {
            std::optional<velmora::parallel::ThreadLimit> limit;
            if (threads > 0) limit.emplace(threads);
            float at = 0.0f;
            Point3 n;
            ASSERT_TRUE(m.IntersectRay(ray, at, n)) << k.name;
            EXPECT_FLOAT_EQ(at, 3.0f) << k.name;
            EXPECT_EQ(n, Point3(0.0f, 0.0f, k.firstUp ? 1.0f : -1.0f)) << k.name << ", threads " << threads;
        }
    }
}

TEST(MeshTest, IntersectRayIsTheSameWithAnyThreadCount) {
    // About half a million faces, so the search runs in many chunks.
    SphereObject sphere(3.0f, 720);
    TriObject* tri = static_cast<TriObject*>(sphere.ConvertToType(0, triObjectClassID));
    ASSERT_NE(tri, nullptr);
    const Mesh& m = tri->mesh;
    ASSERT_GT(m.getNumFaces(), 400000);
    for (int r = 0; r < 16; ++r) {
        Ray ray;
        const float a = 0.37f * static_cast<float>(r);
        ray.p = {10.0f * std::cos(a), 10.0f * std::sin(a), 0.9f * static_cast<float>(r % 7) - 2.7f};
        ray.dir = Normalize(Point3(0.01f * static_cast<float>(r), 0.0f, 0.3f) - ray.p);
        float at1 = 0.0f, atN = 0.0f;
        Point3 n1, nN;
        int hit1 = 0;
        {
            velmora::parallel::ThreadLimit one(1);
            hit1 = m.IntersectRay(ray, at1, n1);
        }
        const int hitN = m.IntersectRay(ray, atN, nN);
        ASSERT_EQ(hit1, hitN) << "ray " << r;
        ASSERT_TRUE(hitN) << "ray " << r;
        EXPECT_EQ(at1, atN) << "ray " << r;
        EXPECT_EQ(n1, nN) << "ray " << r;
        // The hit lies on the sphere and its face faces the outside.
        const Point3 p = ray.p + ray.dir * atN;
        EXPECT_NEAR(Length(p), 3.0f, 0.01f) << "ray " << r;
        EXPECT_GT(DotProd(nN, p), 0.0f) << "ray " << r;
        EXPECT_NEAR(Length(nN), 1.0f, 1e-5f) << "ray " << r;
    }
    delete tri;
}

TEST(MeshTest, IntersectRaySkipsFacesWithMissingVertices) {
    // Face 0 names vertex 99, which does not exist; face 1 is the one under the ray.
    const Mesh m = makeMesh({{-1.0f, -1.0f, 0.0f}, {1.0f, -1.0f, 0.0f}, {0.0f, 1.0f, 0.0f}},
                            {{0, 1, 99}, {0, 1, 2}});
    Ray ray;
    ray.p = {0.0f, 0.0f, 2.0f};
    ray.dir = {0.0f, 0.0f, -1.0f};
    float at = 0.0f;
    Point3 n;
    ASSERT_TRUE(m.IntersectRay(ray, at, n));
    EXPECT_FLOAT_EQ(at, 2.0f);
    EXPECT_EQ(n, Point3(0.0f, 0.0f, 1.0f));
}

TEST(MeshTest, BoundingBox) {
    Mesh empty;
    empty.buildBoundingBox();
    EXPECT_TRUE(empty.getBoundingBox().IsEmpty());
    Matrix3 shift;
    shift.SetTrans({1.0f, 2.0f, 3.0f});
    EXPECT_TRUE(empty.getBoundingBox(&shift).IsEmpty());

    Mesh cube = makeCube();
    cube.buildBoundingBox();
    EXPECT_EQ(cube.getBoundingBox().Min(), Point3(-1.0f, -1.0f, -1.0f));
    EXPECT_EQ(cube.getBoundingBox().Max(), Point3(1.0f, 1.0f, 1.0f));
    const Matrix3 scaleShift(Point3(2.0f, 0.0f, 0.0f), Point3(0.0f, 1.0f, 0.0f), Point3(0.0f, 0.0f, 0.5f),
                             Point3(1.0f, 2.0f, 3.0f));
    const Box3 b = cube.getBoundingBox(&scaleShift);
    EXPECT_EQ(b.Min(), Point3(-1.0f, 1.0f, 2.5f));
    EXPECT_EQ(b.Max(), Point3(3.0f, 3.0f, 3.5f));
    // The box is the one of the last build: moving a vertex needs a new build.
    cube.setVert(0, {-5.0f, -1.0f, -1.0f});
    EXPECT_EQ(cube.getBoundingBox().Min().x, -1.0f);
    cube.buildBoundingBox();
    EXPECT_EQ(cube.getBoundingBox().Min().x, -5.0f);
}

TEST(MeshTest, ColourChannelZero) {
    Mesh m = makeCube();
    EXPECT_FALSE(m.mapSupport(0));
    m.setMapSupport(0, true);
    EXPECT_TRUE(m.mapSupport(0));
    EXPECT_FALSE(m.mapSupport(1));
    m.setMapSupport(1, true);
    EXPECT_FALSE(m.mapSupport(1));
    // A new channel: white colours, one per vertex, colour faces equal to the faces.
    ASSERT_EQ(m.numCVerts(), m.getNumVerts());
    ASSERT_EQ(m.getNumVCFaces(), m.getNumFaces());
    for (const VertColor& c : m.vertCol) EXPECT_EQ(c, VertColor(1.0f, 1.0f, 1.0f));
    for (int f = 0; f < m.getNumFaces(); ++f) {
        for (int k = 0; k < 3; ++k) EXPECT_EQ(m.vcFace[static_cast<size_t>(f)].t[k], m.faces[static_cast<size_t>(f)].v[k]);
    }
    m.vertCol[2] = {0.5f, 0.5f, 0.5f};
    m.setMapSupport(0, true);  // already on: kept as it is
    EXPECT_EQ(m.vertCol[2], VertColor(0.5f, 0.5f, 0.5f));

    EXPECT_TRUE(m.setNumVertCol(20));
    EXPECT_EQ(m.getNumVertCol(), 20);
    EXPECT_EQ(m.vertCol[19], VertColor(0.0f, 0.0f, 0.0f));
    EXPECT_TRUE(m.setNumVCFaces(3, false, 0));
    EXPECT_EQ(m.getNumVCFaces(), 3);
    // Face count changes carry the colour faces along while the channel is on.
    m.setNumFaces(14);
    EXPECT_EQ(m.getNumVCFaces(), 14);
    EXPECT_FALSE(m.setNumVertCol(-1));
    EXPECT_EQ(m.getNumVertCol(), 20);

    m.setMapSupport(0, false);
    EXPECT_FALSE(m.mapSupport(0));
    EXPECT_EQ(m.numCVerts(), 0);
    EXPECT_EQ(m.getNumVCFaces(), 0);
}

TEST(MeshTest, ResizingKeepsContentsAndRefusesNegativeCounts) {
    Mesh m = makeCube();
    EXPECT_TRUE(m.setNumVerts(10));
    EXPECT_EQ(m.getVert(6), Point3(1.0f, 1.0f, 1.0f));
    EXPECT_EQ(m.getVert(9), Point3(0.0f, 0.0f, 0.0f));
    EXPECT_FALSE(m.setNumVerts(-3));
    EXPECT_EQ(m.getNumVerts(), 10);
    EXPECT_FALSE(m.setNumFaces(-1));
    EXPECT_EQ(m.getNumFaces(), 12);
    m.InvalidateGeomCache();
    m.InvalidateTopologyCache();
    m.hasSpecifiedNormals = true;
    m.ClearSpecifiedNormals();
    EXPECT_EQ(m.geomCacheInvalidations, 1);
    EXPECT_EQ(m.topologyCacheInvalidations, 1);
    EXPECT_FALSE(m.hasSpecifiedNormals);
}

}  // namespace
