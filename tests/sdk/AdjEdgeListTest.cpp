#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "SdkTestMeshes.h"
#include "sdk/AdjEdgeList.h"
#include "sdk/Scene.h"

namespace {

using sdktest::edgesOf;

using sdktest::makeCube;
using sdktest::makeMesh;

// The documented rule, applied literally (quadratic): the reference the fast build must match.
std::vector<MEdge> referenceEdges(const Mesh& m) {
    std::vector<MEdge> out;
    const DWORD nv = static_cast<DWORD>(m.getNumVerts());
    for (int f = 0; f < m.getNumFaces(); ++f) {
        for (int k = 0; k < 3; ++k) {
            const DWORD a = m.faces[static_cast<size_t>(f)].v[k];
            const DWORD b = m.faces[static_cast<size_t>(f)].v[(k + 1) % 3];
            if (a == b || a >= nv || b >= nv) continue;
            bool filled = false;
            for (MEdge& e : out) {
                const bool same = (e.v[0] == a && e.v[1] == b) || (e.v[0] == b && e.v[1] == a);
                if (same && e.f[1] == UNDEFINED) {
                    e.f[1] = static_cast<DWORD>(f);
                    filled = true;
                    break;
                }
            }
            if (!filled) {
                MEdge e;
                e.v[0] = a;
                e.v[1] = b;
                e.f[0] = static_cast<DWORD>(f);
                out.push_back(e);
            }
        }
    }
    return out;
}

void expectSameEdges(const std::vector<MEdge>& got, const std::vector<MEdge>& want, const std::string& name) {
    ASSERT_EQ(got.size(), want.size()) << name;
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].v[0], want[i].v[0]) << name << " edge " << i;
        EXPECT_EQ(got[i].v[1], want[i].v[1]) << name << " edge " << i;
        EXPECT_EQ(got[i].f[0], want[i].f[0]) << name << " edge " << i;
        EXPECT_EQ(got[i].f[1], want[i].f[1]) << name << " edge " << i;
    }
}

Mesh fromObject(Object&& obj) {
    std::unique_ptr<Object> tri(obj.ConvertToType(0, triObjectClassID));
    return static_cast<TriObject*>(tri.get())->mesh;
}

TEST(AdjEdgeListTest, TwoTrianglesInFirstAppearanceOrder) {
    Mesh m = makeMesh({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 2, 3}});
    const std::vector<MEdge> e = edgesOf(m);
    // v0, v1, f0, f1 of each record.
    const DWORD want[5][4] = {{0, 1, 0, UNDEFINED}, {1, 2, 0, UNDEFINED}, {2, 0, 0, 1},
                              {2, 3, 1, UNDEFINED}, {3, 0, 1, UNDEFINED}};
    ASSERT_EQ(e.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(e[i].v[0], want[i][0]) << i;
        EXPECT_EQ(e[i].v[1], want[i][1]) << i;
        EXPECT_EQ(e[i].f[0], want[i][2]) << i;
        EXPECT_EQ(e[i].f[1], want[i][3]) << i;
    }
}

TEST(AdjEdgeListTest, NonManifoldEdgePairsFacesInOrder) {
    // Five faces on the edge (0, 1): records for faces 0 and 1, 2 and 3, and 4 alone.
    Mesh m = makeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}, {0, 1, 1}},
                      {{0, 1, 2}, {1, 0, 3}, {0, 1, 4}, {0, 1, 5}, {1, 0, 6}});
    const std::vector<MEdge> e = edgesOf(m);
    std::vector<MEdge> shared;
    for (const MEdge& x : e) {
        if ((x.v[0] == 0 && x.v[1] == 1) || (x.v[0] == 1 && x.v[1] == 0)) shared.push_back(x);
    }
    ASSERT_EQ(shared.size(), 3u);
    EXPECT_EQ(shared[0].f[0], 0u);
    EXPECT_EQ(shared[0].f[1], 1u);
    EXPECT_EQ(shared[1].f[0], 2u);
    EXPECT_EQ(shared[1].f[1], 3u);
    EXPECT_EQ(shared[2].f[0], 4u);
    EXPECT_EQ(shared[2].f[1], UNDEFINED);
    // Vertices as first met: face 2 meets (0, 1), face 4 meets (1, 0).
    EXPECT_EQ(shared[1].v[0], 0u);
    EXPECT_EQ(shared[2].v[0], 1u);
    expectSameEdges(e, referenceEdges(m), "fan");
}

TEST(AdjEdgeListTest, DegenerateAndInvalidSidesMakeNoRecord) {
    // Face 0 has the side (0, 0); face 1 names vertex 9, which does not exist.
    Mesh m = makeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 0, 1}, {1, 2, 9}});
    const std::vector<MEdge> e = edgesOf(m);
    ASSERT_EQ(e.size(), 2u);
    // (0, 1) and (1, 0) of face 0 pair up in one record; face 1 keeps its only valid side (1, 2).
    EXPECT_EQ(e[0].v[0], 0u);
    EXPECT_EQ(e[0].v[1], 1u);
    EXPECT_EQ(e[0].f[0], 0u);
    EXPECT_EQ(e[0].f[1], 0u);
    EXPECT_EQ(e[1].v[0], 1u);
    EXPECT_EQ(e[1].v[1], 2u);
    EXPECT_EQ(e[1].f[1], UNDEFINED);
    expectSameEdges(e, referenceEdges(m), "degenerate");

    Mesh empty;
    EXPECT_TRUE(edgesOf(empty).empty());
}

TEST(AdjEdgeListTest, MatchesTheRuleOnMeshesOfEveryKind) {
    struct Case {
        const char* name;
        Mesh mesh;
        int oneFaceEdges;  // edges that border one face
    };
    Mesh separate = makeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {2, 0, 0}, {3, 0, 0}, {2, 1, 0},
                              {4, 0, 0}, {5, 0, 0}, {4, 1, 0}},
                             {{0, 1, 2}, {3, 4, 5}, {6, 7, 8}});
    Case cases[] = {
        {"open grid 3 x 3", fromObject(PlaneObject(3.0f, 3.0f, 3)), 12},
        {"cube", makeCube(), 0},
        {"segmented box", fromObject(BoxObject(1.0f, 2.0f, 3.0f, 3)), 0},
        {"sphere", fromObject(SphereObject(1.0f, 12)), 0},
        {"separate triangles", separate, 9},
    };
    for (Case& k : cases) {
        const std::vector<MEdge> e = edgesOf(k.mesh);
        expectSameEdges(e, referenceEdges(k.mesh), k.name);
        int open = 0;
        for (const MEdge& x : e) {
            if (x.f[1] == UNDEFINED) ++open;
            // Both faces really have this edge.
            for (int s = 0; s < 2; ++s) {
                if (x.f[s] == UNDEFINED) continue;
                const Face& f = k.mesh.faces[x.f[s]];
                int found = 0;
                for (int c = 0; c < 3; ++c) found += (f.v[c] == x.v[0] || f.v[c] == x.v[1]) ? 1 : 0;
                EXPECT_EQ(found, 2) << k.name;
            }
        }
        EXPECT_EQ(open, k.oneFaceEdges) << k.name;
        // Every side of every face is in exactly one record: 2 E - open = 3 F.
        EXPECT_EQ(2 * static_cast<int>(e.size()) - open, 3 * k.mesh.getNumFaces()) << k.name;
    }
}

}  // namespace
