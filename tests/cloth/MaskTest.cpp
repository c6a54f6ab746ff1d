// The mask and its vertex-colour channel: read, create, write back.
#include <gtest/gtest.h>

#include "ClothTestUtil.h"
#include "fixtures/MeshBuilders.h"

namespace {
using velmora::testing::BuiltCloth;
namespace fx = velmora::fixtures;

// A grid whose colour channel has one colour vertex per face corner (no sharing), all `colour`.
Mesh gridWithCornerColours(const Point3& colour) {
    Mesh mesh = fx::makeGrid(2, 1, 1.0f);
    mesh.setMapSupport(0, true);
    mesh.setNumVertCol(3 * mesh.getNumFaces());
    mesh.setNumVCFaces(mesh.getNumFaces());
    for (int f = 0; f < mesh.getNumFaces(); ++f) {
        mesh.vcFace[f].setTVerts(3 * f, 3 * f + 1, 3 * f + 2);
        for (int k = 0; k < 3; ++k) mesh.vertCol[3 * f + k] = colour;
    }
    return mesh;
}

TEST(InitMask, CreatesAWhiteChannelWhenThereIsNone) {
    BuiltCloth cloth(fx::makeGrid(3, 2, 1.0f));
    const Mesh& mesh = cloth.mesh;
    EXPECT_TRUE(mesh.mapSupport(0));
    ASSERT_EQ(mesh.getNumVertCol(), mesh.getNumVerts());
    ASSERT_EQ(mesh.getNumVCFaces(), mesh.getNumFaces());
    for (const Point3& c : mesh.vertCol) EXPECT_EQ(c, Point3(1.0f, 1.0f, 1.0f));
    for (int f = 0; f < mesh.getNumFaces(); ++f) {
        for (int k = 0; k < 3; ++k) EXPECT_EQ(mesh.vcFace[f].t[k], mesh.faces[f].v[k]);
    }
    for (float m : cloth.state.mask) EXPECT_EQ(m, 1.0f);
}

TEST(InitMask, ReadsTheRedComponentUnchanged) {
    struct Case { const char* name; Point3 colour; float expected; };
    const Case cases[] = {
        {"red", Point3(1.0f, 0.0f, 0.0f), 1.0f},   {"green", Point3(0.0f, 1.0f, 0.0f), 0.0f},
        {"blue", Point3(0.0f, 0.0f, 1.0f), 0.0f},  {"grey", Point3(0.3f, 0.3f, 0.3f), 0.3f},
        {"above one", Point3(2.5f, 0.0f, 0.0f), 2.5f}, {"below zero", Point3(-0.5f, 1.0f, 1.0f), -0.5f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BuiltCloth cloth(gridWithCornerColours(c.colour));
        for (float m : cloth.state.mask) EXPECT_EQ(m, c.expected);
    }
}

TEST(InitMask, HighestFaceWinsAndUnusedVerticesDependOnTheChannel) {
    Mesh mesh = gridWithCornerColours(Point3(0.2f, 0.0f, 0.0f));
    mesh.verts.emplace_back(9.0f, 9.0f, 9.0f);  // used by no face
    // Vertex 0 is corner 0 of faces 0 and 1: the later face decides.
    mesh.vertCol[3 * 1 + 0] = Point3(0.9f, 0.0f, 0.0f);
    BuiltCloth cloth(mesh);
    EXPECT_EQ(cloth.state.mask[0], 0.9f);
    EXPECT_EQ(cloth.state.mask.back(), 0.0f);
    // After writing back, every corner of vertex 0 shows the same grey.
    cloth.state.writeMaskColors();
    EXPECT_EQ(cloth.mesh.vertCol[0], Point3(0.9f, 0.9f, 0.9f));
    EXPECT_EQ(cloth.mesh.vertCol[3], Point3(0.9f, 0.9f, 0.9f));

    BuiltCloth created(fx::makePointsOnly(3));
    for (float m : created.state.mask) EXPECT_EQ(m, 1.0f);

    Mesh faceless = fx::makePointsOnly(3);
    faceless.setMapSupport(0, true);
    BuiltCloth existing(faceless);
    for (float m : existing.state.mask) EXPECT_EQ(m, 0.0f);
}

TEST(MaskChannel, WriteThenReadRoundTripsExactly) {
    BuiltCloth cloth(fx::makeGrid(3, 3, 1.0f));
    for (std::size_t v = 0; v < cloth.state.mask.size(); ++v) {
        cloth.state.mask[v] = static_cast<float>(v) * 0.37f - 1.1f;
    }
    const std::vector<float> written = cloth.state.mask;
    cloth.state.writeMaskColors();
    for (std::size_t v = 0; v < written.size(); ++v) {
        EXPECT_EQ(cloth.mesh.vertCol[v], Point3(written[v], written[v], written[v]));
    }
    cloth.state.initMask();
    EXPECT_EQ(cloth.state.mask, written);
    cloth.state.buildClothState();
    EXPECT_EQ(cloth.state.mask, written);
}

TEST(MaskChannel, MismatchedColourFacesAreSkippedNotOverrun) {
    struct Case { const char* name; int colourFaces; int colourVerts; DWORD badIndex; };
    const Case cases[] = {
        {"fewer colour faces", 2, 9, 0},
        {"colour index past the colour vertices", 8, 9, 500},
        {"fewer colour vertices", 8, 4, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Mesh mesh = fx::makeGrid(2, 2, 1.0f);  // 9 vertices, 8 faces
        mesh.setMapSupport(0, true);
        mesh.setNumVertCol(c.colourVerts);
        mesh.setNumVCFaces(c.colourFaces);
        for (int i = 0; i < c.colourVerts; ++i) mesh.vertCol[i] = Point3(0.5f, 0.5f, 0.5f);
        for (int f = 0; f < c.colourFaces; ++f) {
            mesh.vcFace[f].setTVerts(static_cast<int>(mesh.faces[f].v[0]), static_cast<int>(mesh.faces[f].v[1]),
                                     static_cast<int>(mesh.faces[f].v[2]));
        }
        if (c.badIndex) mesh.vcFace[5].t[2] = c.badIndex;
        BuiltCloth cloth(mesh);
        ASSERT_EQ(cloth.state.mask.size(), 9u);
        for (float m : cloth.state.mask) EXPECT_TRUE(m == 0.0f || m == 0.5f);
        for (float& m : cloth.state.mask) m = 0.25f;
        cloth.state.writeMaskColors();
        EXPECT_EQ(cloth.mesh.getNumVertCol(), c.colourVerts);
        for (const Point3& col : cloth.mesh.vertCol) EXPECT_TRUE(col.x == 0.25f || col.x == 0.5f);
    }
}

}  // namespace
