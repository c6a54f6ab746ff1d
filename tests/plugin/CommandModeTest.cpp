// The brush command mode as the host drives it: its answers, what entry makes of the selected
// node's object, what exit leaves behind, and entries that find nothing to work on.
#include <cmath>

#include "PluginTestSupport.h"
#include "sdk/HostHeap.h"

namespace plugintest {
namespace {

// An object with a modifier stack: collapsing it gives a new plane of its own.
class StackedObject : public Object {
public:
    Class_ID ClassID() const override { return Class_ID(0x77, 0x77); }
    Object* CollapseObject() override { return new PlaneObject(10.0f, 10.0f, 2); }
};

float edgeLength(const Mesh& mesh, const EdgeConstraint& e) {
    return (mesh.verts[static_cast<size_t>(e.vert1)] - mesh.verts[static_cast<size_t>(e.vert0)]).Length();
}

class CommandModeTest : public PluginTest {
protected:
    HWND window() const { return ip->ActiveViewportWindow(); }
    // A press at `from`, drags toward `to`, and (unless told otherwise) the release.
    void stroke(MouseCallBack* cb, const Point3& from, const Point3& to, bool release = true) {
        cb->proc(window(), MOUSE_POINT, 0, 0, screenOf(from));
        for (float t : {0.25f, 0.5f, 0.75f, 1.0f}) cb->proc(window(), MOUSE_MOVE, 0, 0, screenOf(from + (to - from) * t));
        if (release) cb->proc(window(), MOUSE_POINT, 1, 0, screenOf(to));
    }
    static std::vector<Point3> positions(INode* node) {
        return static_cast<TriObject*>(node->GetObjectRef())->mesh.verts;
    }
};

TEST_F(CommandModeTest, ModeAnswers) {
    ClothMouseProc* mp = enterOn(addPlane());
    ASSERT_NE(mp, nullptr);
    CommandMode* mode = activeMode();
    EXPECT_EQ(mode->Class(), 1);
    EXPECT_EQ(mode->SuperClass(), 0);
    EXPECT_EQ(mode->ID(), 202);
    for (int call = 0; call < 3; ++call) {
        int points = -7;
        EXPECT_EQ(mode->MouseProc(&points), mp);
        EXPECT_EQ(points, 2);
    }
    EXPECT_EQ(mode->ChangeFGProc(), nullptr);
    EXPECT_EQ(mode->ChangeFG(nullptr), 0);
    EXPECT_EQ(mode->ChangeFG(mode), 0);
    // The mouse procedure shows the brush through the display object the mode registered.
    ASSERT_EQ(ip->RedrawViewsCallbacks().size(), 1u);
    EXPECT_NE(mp->display, nullptr);
}

// The mouse procedure's two cursors come with the command mode and go with the module: the
// system's hand and cross for host release 18000, the host's library cursors 155 and 153 after.
TEST_F(CommandModeTest, CursorsOfThisHostRelease) {
    ASSERT_EQ(call(2, paramsOfCount(5)), FPS_OK);
    EXPECT_EQ(LiveCursorCount(), cursorsBefore + 2);
    ClothMouseProc* mp = enterOn(addPlane());
    ASSERT_NE(mp, nullptr);
    const bool system = MAX_RELEASE == 18000;
    EXPECT_EQ(CursorNumber(mp->pointCursor), system ? IDC_HAND_ID : 155);
    EXPECT_EQ(CursorNumber(mp->dragCursor), system ? IDC_CROSS_ID : 153);
    EXPECT_EQ(CursorIsSystem(mp->pointCursor), system);
    EXPECT_EQ(CursorIsSystem(mp->dragCursor), system);
}

// Whatever the selected object is, after entry the node holds a triangle-mesh object whose mesh
// the brush works on, and keeps it after the mode is left.
TEST_F(CommandModeTest, EntryMakesTheObjectATriangleMesh) {
    struct Case {
        const char* name;
        Object* (*make)();
        int verts;
    };
    const Case table[] = {
        {"plane", [] { return static_cast<Object*>(new PlaneObject(20.0f, 20.0f, 4)); }, 25},
        {"sphere", [] { return static_cast<Object*>(new SphereObject(5.0f, 8)); }, 2 + 3 * 8},
        {"box", [] { return static_cast<Object*>(new BoxObject(4.0f, 4.0f, 4.0f, 1)); }, 8},
        {"modifier stack", [] { return static_cast<Object*>(new StackedObject); }, 9},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.name);
        ip->Reset();
        INode* node = addNode(c.make(), L"object");
        const std::int64_t blocks = HostHeapLiveBlocks();
        ClothMouseProc* mp = enterOn(node);
        ASSERT_NE(mp, nullptr);
        // One object replaced by another: no intermediate object left behind.
        EXPECT_EQ(HostHeapLiveBlocks(), blocks);
        Object* obj = node->GetObjectRef();
        ASSERT_EQ(obj->ClassID(), triObjectClassID);
        Mesh& mesh = static_cast<TriObject*>(obj)->mesh;
        EXPECT_EQ(mesh.getNumVerts(), c.verts);
        EXPECT_EQ(mp->node, node);
        EXPECT_EQ(mp->mesh, &mesh);
        EXPECT_EQ(mp->nodeHandle, node->GetHandle());
        EXPECT_EQ(mesh.specifiedNormalsCleared, 1);
        EXPECT_EQ(mp->velocities.size(), static_cast<size_t>(c.verts));
        EXPECT_EQ(mp->mask.size(), static_cast<size_t>(c.verts));
        EXPECT_EQ(ip->Prompts(), std::vector<std::wstring>{kPrompt});
        EXPECT_TRUE(displayRegistered());

        ip->PopCommandMode();
        EXPECT_EQ(node->GetObjectRef(), obj);
        EXPECT_TRUE(ip->Prompts().empty());
        EXPECT_FALSE(displayRegistered());
    }
}

TEST_F(CommandModeTest, ATriangleMeshObjectIsKeptAndItsSpecifiedNormalsCleared) {
    Object* tri = PlaneObject(10.0f, 10.0f, 3).ConvertToType(0, triObjectClassID);
    ASSERT_NE(tri, nullptr);
    static_cast<TriObject*>(tri)->mesh.hasSpecifiedNormals = true;
    INode* node = addNode(tri, L"mesh");
    ClothMouseProc* mp = enterOn(node);
    ASSERT_NE(mp, nullptr);
    EXPECT_EQ(node->GetObjectRef(), tri);
    EXPECT_EQ(mp->mesh, &static_cast<TriObject*>(tri)->mesh);
    EXPECT_FALSE(mp->mesh->hasSpecifiedNormals);
}

TEST_F(CommandModeTest, OnlyTheFirstSelectedNodeIsWorkedOn) {
    INode* first = addPlane(L"first");
    INode* second = addNode(new SphereObject(5.0f, 8), L"second");
    Object* secondObject = second->GetObjectRef();
    ip->SelectNode(first);
    ip->SelectNode(second, 0);
    ASSERT_EQ(ip->GetSelNodeCount(), 2);
    ASSERT_EQ(doOperation(), FPS_OK);
    ClothMouseProc* mp = activeMouseProc();
    ASSERT_NE(mp, nullptr);
    EXPECT_EQ(mp->node, first);
    EXPECT_EQ(first->GetObjectRef()->ClassID(), triObjectClassID);
    EXPECT_EQ(second->GetObjectRef(), secondObject);
    EXPECT_EQ(second->GetObjectRef()->ClassID(), sphereObjectClassID);
}

// Leaving and entering again rebuilds the state from the shape of that moment.
TEST_F(CommandModeTest, ReentryRebuildsTheStateFromTheCurrentShape) {
    lookDown();
    INode* node = addPlane(L"plane", 6);
    ClothMouseProc* mp = enterOn(node);
    ASSERT_NE(mp, nullptr);
    int points = 0;
    MouseCallBack* cb = activeMode()->MouseProc(&points);
    const std::vector<Point3> flat = positions(node);
    stroke(cb, Point3(0.0f, 0.0f, 0.0f), Point3(3.0f, 2.0f, 0.0f));
    ASSERT_NE(positions(node), flat) << "the stroke moved nothing";
    ip->PopCommandMode();

    // Stretch the shape further while the mode is off.
    Mesh& mesh = static_cast<TriObject*>(node->GetObjectRef())->mesh;
    for (Point3& p : mesh.verts) p = Point3(p.x * 2.0f, p.y, p.z + 0.5f * p.x);
    bool restDiffers = false;
    for (const EdgeConstraint& e : mp->constraints) {
        if (std::fabs(e.restLength - edgeLength(mesh, e)) > 1e-3f) restDiffers = true;
    }
    ASSERT_TRUE(restDiffers);
    for (Point3& v : mp->velocities) v = Point3(1.0f, 1.0f, 1.0f);

    ip->SelectNode(node);
    ASSERT_EQ(doOperation(), FPS_OK);
    ASSERT_EQ(activeMouseProc(), mp);
    EXPECT_EQ(mp->mesh, &mesh);
    ASSERT_FALSE(mp->constraints.empty());
    for (const EdgeConstraint& e : mp->constraints) {
        EXPECT_NEAR(e.restLength, edgeLength(mesh, e), 1e-5f * (1.0f + edgeLength(mesh, e)));
    }
    for (const Point3& v : mp->velocities) EXPECT_EQ(v, Point3(0.0f, 0.0f, 0.0f));
}

// Leaving the mode between press and release keeps the stroke as one closed undo entry.
TEST_F(CommandModeTest, LeavingMidStrokeClosesTheStroke) {
    lookDown();
    INode* node = addPlane(L"plane", 6);
    ClothMouseProc* mp = enterOn(node);
    ASSERT_NE(mp, nullptr);
    int points = 0;
    MouseCallBack* cb = activeMode()->MouseProc(&points);
    const std::vector<Point3> before = positions(node);
    stroke(cb, Point3(0.0f, 0.0f, 0.0f), Point3(3.0f, 0.0f, 0.0f), false);
    ASSERT_TRUE(theHold.Holding());
    const std::vector<Point3> moved = positions(node);
    ASSERT_NE(moved, before);

    ip->PopCommandMode();
    EXPECT_FALSE(theHold.Holding());
    EXPECT_FALSE(mp->strokeOpen);
    EXPECT_EQ(theHold.UndoLabels(), std::vector<std::wstring>{L"ClothStroke"});
    EXPECT_TRUE(ip->Prompts().empty());
    EXPECT_FALSE(displayRegistered());
    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ(positions(node), before);
    ASSERT_TRUE(theHold.Redo());
    EXPECT_EQ(positions(node), moved);
}

// An object that cannot become a triangle mesh: the node keeps it, the arrays of the last build
// stay, and the brush does nothing while the mode is active.
TEST_F(CommandModeTest, AnUnconvertibleObjectLeavesTheModeInert) {
    lookDown();
    INode* plane = addPlane(L"plane", 4);
    ClothMouseProc* mp = enterOn(plane);
    ASSERT_NE(mp, nullptr);
    ip->PopCommandMode();
    const size_t builtVerts = mp->velocities.size();
    const size_t builtEdges = mp->constraints.size();

    INode* helper = addNode(new HelperObject, L"helper");
    Object* helperObject = helper->GetObjectRef();
    const std::vector<Point3> planeBefore = positions(plane);
    const std::int64_t blocks = HostHeapLiveBlocks();
    ip->SelectNode(helper);
    ASSERT_EQ(doOperation(), FPS_OK);
    ASSERT_EQ(activeMouseProc(), mp);
    EXPECT_EQ(HostHeapLiveBlocks(), blocks);
    EXPECT_EQ(helper->GetObjectRef(), helperObject);
    EXPECT_EQ(mp->mesh, nullptr);
    EXPECT_EQ(mp->node, nullptr);
    EXPECT_EQ(mp->velocities.size(), builtVerts);
    EXPECT_EQ(mp->constraints.size(), builtEdges);
    EXPECT_EQ(ip->Prompts(), std::vector<std::wstring>{kPrompt});
    EXPECT_FALSE(displayRegistered());

    int points = 0;
    MouseCallBack* cb = activeMode()->MouseProc(&points);
    stroke(cb, Point3(0.0f, 0.0f, 0.0f), Point3(3.0f, 0.0f, 0.0f));
    cb->proc(window(), MOUSE_FREEMOVE, 0, 0, screenOf(Point3(1.0f, 1.0f, 0.0f)));
    EXPECT_EQ(theHold.UndoCount(), 0);
    EXPECT_FALSE(theHold.Holding());
    EXPECT_EQ(positions(plane), planeBefore);

    ip->PopCommandMode();
    EXPECT_TRUE(ip->Prompts().empty());
}

// An entry that finds nothing selected (the host re-enters the active mode) pushes the prompt,
// builds nothing, registers nothing, and the brush does not touch the node of the earlier entry.
TEST_F(CommandModeTest, EntryWithoutSelectionIsInertAndPaired) {
    lookDown();
    INode* plane = addPlane(L"plane", 4);
    ClothMouseProc* mp = enterOn(plane);
    ASSERT_NE(mp, nullptr);
    CommandMode* mode = activeMode();
    const size_t builtVerts = mp->velocities.size();

    ip->ClearNodeSelection();
    ip->PushCommandMode(mode);  // the active mode again: exit, then entry
    EXPECT_EQ(activeMode(), mode);
    EXPECT_EQ(ip->Prompts(), std::vector<std::wstring>{kPrompt});
    EXPECT_FALSE(displayRegistered());
    EXPECT_EQ(mp->mesh, nullptr);
    EXPECT_EQ(mp->velocities.size(), builtVerts);

    const std::vector<Point3> before = positions(plane);
    int points = 0;
    stroke(mode->MouseProc(&points), Point3(0.0f, 0.0f, 0.0f), Point3(3.0f, 0.0f, 0.0f));
    EXPECT_EQ(positions(plane), before);
    EXPECT_EQ(theHold.UndoCount(), 0);

    ip->PopCommandMode();
    EXPECT_TRUE(ip->Prompts().empty());
    EXPECT_FALSE(displayRegistered());
}

}  // namespace
}  // namespace plugintest
