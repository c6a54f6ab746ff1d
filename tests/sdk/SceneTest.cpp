#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "SdkTestMeshes.h"
#include "sdk/AdjEdgeList.h"
#include "sdk/Scene.h"

namespace {

using sdktest::edgesOf;

std::unique_ptr<TriObject> toTri(Object& obj) {
    Object* r = obj.ConvertToType(0, triObjectClassID);
    EXPECT_NE(r, nullptr);
    EXPECT_NE(r, &obj);
    return std::unique_ptr<TriObject>(static_cast<TriObject*>(r));
}

bool allFinite(const Mesh& m) {
    for (const Point3& p : m.verts) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return false;
    }
    return true;
}

// Closed and consistently oriented: every edge has two faces that run along it in opposite
// directions, and no face is degenerate.
void expectClosedAndOriented(Mesh& m, const std::string& name) {
    const std::vector<MEdge> edges = edgesOf(m);
    ASSERT_FALSE(edges.empty()) << name;
    for (const MEdge& e : edges) {
        ASSERT_NE(e.f[1], UNDEFINED) << name << ": open edge " << e.v[0] << "-" << e.v[1];
        // The second face must meet the edge as (v1, v0).
        const Face& g = m.faces[e.f[1]];
        bool reversed = false;
        for (int k = 0; k < 3; ++k) reversed |= g.v[k] == e.v[1] && g.v[(k + 1) % 3] == e.v[0];
        EXPECT_TRUE(reversed) << name << ": faces " << e.f[0] << " and " << e.f[1] << " disagree";
    }
    EXPECT_EQ(2 * static_cast<int>(edges.size()), 3 * m.getNumFaces()) << name << ": non-manifold edge";
    for (int f = 0; f < m.getNumFaces(); ++f) {
        EXPECT_GT(Length(m.FaceNormal(f, false)), 0.0f) << name << " face " << f;
    }
}

TEST(SceneTest, PlaneIsAGridFacingUp) {
    PlaneObject plane(4.0f, 2.0f, 2);
    auto tri = toTri(plane);
    Mesh& m = tri->mesh;
    ASSERT_EQ(m.getNumVerts(), 9);
    ASSERT_EQ(m.getNumFaces(), 8);
    EXPECT_EQ(m.getVert(0), Point3(-2.0f, -1.0f, 0.0f));
    EXPECT_EQ(m.getVert(8), Point3(2.0f, 1.0f, 0.0f));
    EXPECT_EQ(m.getVert(1), Point3(0.0f, -1.0f, 0.0f));
    // Quad (0, 0) split along the diagonal from vertex 0 to vertex 4.
    EXPECT_EQ(m.faces[0].v[0], 0u);
    EXPECT_EQ(m.faces[0].v[1], 1u);
    EXPECT_EQ(m.faces[0].v[2], 4u);
    EXPECT_EQ(m.faces[1].v[0], 0u);
    EXPECT_EQ(m.faces[1].v[1], 4u);
    EXPECT_EQ(m.faces[1].v[2], 3u);
    for (int f = 0; f < m.getNumFaces(); ++f) EXPECT_EQ(m.FaceNormal(f, true), Point3(0.0f, 0.0f, 1.0f)) << f;
}

TEST(SceneTest, BoxIsClosedWithOutwardFaces) {
    for (int segs : {1, 2, 5}) {
        BoxObject box(2.0f, 3.0f, 4.0f, segs);
        auto tri = toTri(box);
        Mesh& m = tri->mesh;
        const std::string name = "box segs " + std::to_string(segs);
        EXPECT_EQ(m.getNumVerts(), 6 * segs * segs + 2) << name;
        EXPECT_EQ(m.getNumFaces(), 12 * segs * segs) << name;
        expectClosedAndOriented(m, name);
        EXPECT_NEAR(sdktest::signedVolume(m), 24.0, 1e-4) << name;
        m.buildBoundingBox();
        EXPECT_EQ(m.getBoundingBox().Min(), Point3(-1.0f, -1.5f, 0.0f)) << name;
        EXPECT_EQ(m.getBoundingBox().Max(), Point3(1.0f, 1.5f, 4.0f)) << name;
        const Point3 centre(0.0f, 0.0f, 2.0f);
        for (int f = 0; f < m.getNumFaces(); ++f) {
            const Face& face = m.faces[static_cast<size_t>(f)];
            const Point3 c = (m.verts[face.v[0]] + m.verts[face.v[1]] + m.verts[face.v[2]]) / 3.0f;
            EXPECT_GT(DotProd(m.FaceNormal(f, true), c - centre), 0.0f) << name << " face " << f;
        }
    }
}

TEST(SceneTest, SphereHasSingleVertexPolesWithAFanToEverySegment) {
    for (int segs : {3, 4, 7, 16, 33}) {
        SphereObject sphere(2.0f, segs);
        auto tri = toTri(sphere);
        Mesh& m = tri->mesh;
        const std::string name = "sphere segs " + std::to_string(segs);
        const int rings = segs / 2 < 2 ? 2 : segs / 2;
        EXPECT_EQ(m.getNumVerts(), 2 + segs * (rings - 1)) << name;
        EXPECT_EQ(m.getNumFaces(), 2 * segs * (rings - 1)) << name;
        expectClosedAndOriented(m, name);
        const std::vector<MEdge> edges = edgesOf(m);
        // Euler characteristic of a sphere.
        EXPECT_EQ(m.getNumVerts() - static_cast<int>(edges.size()) + m.getNumFaces(), 2) << name;
        EXPECT_GT(sdktest::signedVolume(m), 0.0) << name;
        EXPECT_EQ(m.getVert(0), Point3(0.0f, 0.0f, 2.0f)) << name;
        EXPECT_EQ(m.getVert(m.getNumVerts() - 1), Point3(0.0f, 0.0f, -2.0f)) << name;
        for (const DWORD pole : {0u, static_cast<DWORD>(m.getNumVerts() - 1)}) {
            int count = 0;
            for (const MEdge& e : edges) count += (e.v[0] == pole || e.v[1] == pole) ? 1 : 0;
            EXPECT_EQ(count, segs) << name << " pole " << pole;
        }
        for (const Point3& p : m.verts) EXPECT_NEAR(Length(p), 2.0f, 1e-5f) << name;
        for (int f = 0; f < m.getNumFaces(); ++f) {
            const Face& face = m.faces[static_cast<size_t>(f)];
            const Point3 c = m.verts[face.v[0]] + m.verts[face.v[1]] + m.verts[face.v[2]];
            EXPECT_GT(DotProd(m.FaceNormal(f, true), c), 0.0f) << name << " face " << f;
        }
    }
}

TEST(SceneTest, SegmentsAreClampedAndSizesSanitised) {
    struct Case {
        const char* name;
        std::unique_ptr<Object> obj;
        int verts, faces;
    };
    Case cases[] = {
        {"plane 0 segments", std::make_unique<PlaneObject>(1.0f, 1.0f, 0), 4, 2},
        {"plane -5 segments", std::make_unique<PlaneObject>(1.0f, 1.0f, -5), 4, 2},
        {"plane too many", std::make_unique<PlaneObject>(1.0f, 1.0f, 100000), 1025 * 1025, 2 * 1024 * 1024},
        {"box 0 segments", std::make_unique<BoxObject>(1.0f, 1.0f, 1.0f, 0), 8, 12},
        {"sphere 1 segment", std::make_unique<SphereObject>(1.0f, 1), 5, 6},
        {"plane NaN size", std::make_unique<PlaneObject>(NAN, INFINITY, 2), 9, 8},
        {"sphere negative radius", std::make_unique<SphereObject>(-1.0f, 4), 6, 8},
    };
    for (Case& k : cases) {
        auto tri = toTri(*k.obj);
        EXPECT_EQ(tri->mesh.getNumVerts(), k.verts) << k.name;
        EXPECT_EQ(tri->mesh.getNumFaces(), k.faces) << k.name;
        EXPECT_TRUE(allFinite(tri->mesh)) << k.name;
    }
    SphereObject negative(-1.0f, 8);
    auto tri = toTri(negative);
    EXPECT_GT(sdktest::signedVolume(tri->mesh), 0.0) << "a negative radius still faces outward";
}

TEST(SceneTest, ConvertToType) {
    TriObject* tri = CreateNewTriObject();
    EXPECT_EQ(tri->ConvertToType(0, triObjectClassID), tri);
    EXPECT_TRUE(tri->CanConvertToType(triObjectClassID));
    EXPECT_EQ(tri->CollapseObject(), tri);
    tri->DeleteMe();

    HelperObject helper;
    EXPECT_FALSE(helper.CanConvertToType(triObjectClassID));
    EXPECT_EQ(helper.ConvertToType(0, triObjectClassID), nullptr);

    BoxObject box(1.0f, 1.0f, 1.0f, 1);
    EXPECT_TRUE(box.CanConvertToType(triObjectClassID));
    EXPECT_EQ(box.ConvertToType(0, boxObjectClassID), &box);
    EXPECT_EQ(box.ConvertToType(0, sphereObjectClassID), nullptr);
}

class CountedObject : public Object {
public:
    explicit CountedObject(int* deleted) : deleted_(deleted) {}
    ~CountedObject() override { ++*deleted_; }
    Class_ID ClassID() const override { return Class_ID(0x77, 0x77); }
private:
    int* deleted_;
};

TEST(SceneTest, NodeOwnsItsObjectAndCountsNotifications) {
    int deleted = 0;
    auto* first = new CountedObject(&deleted);
    {
        INode node(L"Box001", first, 7);
        EXPECT_EQ(std::wstring(node.GetName()), L"Box001");
        EXPECT_EQ(node.GetHandle(), 7u);
        EXPECT_EQ(node.GetObjectRef(), first);
        node.SetObjectRef(first);
        EXPECT_EQ(deleted, 0) << "setting the same object keeps it";
        auto* second = new CountedObject(&deleted);
        node.SetObjectRef(second);
        EXPECT_EQ(deleted, 1) << "the previous object is deleted";
        EXPECT_EQ(node.GetObjectRef(), second);

        EXPECT_EQ(node.notifyCount, 0);
        node.NotifyDependents(FOREVER, PART_GEOM, REFMSG_CHANGE);
        node.NotifyDependents(Interval(0, 10), PART_GEOM, REFMSG_CHANGE, NOTIFY_ALL, false);
        EXPECT_EQ(node.notifyCount, 2);
        EXPECT_EQ(node.lastNotification.interval, Interval(0, 10));
        EXPECT_EQ(node.lastNotification.partID, PART_GEOM);
        EXPECT_EQ(node.lastNotification.message, REFMSG_CHANGE);
        EXPECT_EQ(node.lastNotification.sclass, NOTIFY_ALL);
        EXPECT_FALSE(node.lastNotification.propagate);
    }
    EXPECT_EQ(deleted, 2) << "the node deletes its object";
}

}  // namespace
