#include "plugin/ClothCommandMode.h"

#include <exception>

#include "brush/StrokeLifecycle.h"
#include "plugin/VisualBrushDrawingCallback.h"
#include "sdk/Interface.h"
#include "sdk/ModuleLoader.h"
#include "sdk/Scene.h"

namespace {
constexpr const MCHAR* kPrompt = L"[Quorvel] Tessane Mode Activated.";

// Deletes an intermediate object of the conversion unless the node owns it or it is kept.
void discard(Object* obj, const Object* owned, const Object* kept) {
    if (obj != nullptr && obj != owned && obj != kept) obj->DeleteMe();
}

// The node's object as a triangle-mesh object, converted at time t; the node keeps its object
// and nothing is left allocated when that is impossible (null).
TriObject* convertToTriangleMesh(INode* node, TimeValue t) {
    Object* original = node->GetObjectRef();
    if (original == nullptr) return nullptr;
    Object* collapsed = original->CollapseObject();
    if (collapsed == nullptr) return nullptr;
    Object* converted = collapsed->ConvertToType(t, triObjectClassID);
    if (converted == nullptr) {
        discard(collapsed, original, nullptr);
        return nullptr;
    }
    Object* result = converted->CollapseObject();
    if (result != converted) converted->DeleteMe();
    if (result == nullptr || result->ClassID() != triObjectClassID) {
        discard(result, original, nullptr);
        discard(collapsed, original, nullptr);
        return nullptr;
    }
    discard(collapsed, original, result);
    node->SetObjectRef(result);
    return static_cast<TriObject*>(result);
}
}  // namespace

ClothCommandMode::ClothCommandMode() {
    mouseProc.display = &brushDisplay;
    NoteModuleObjectEvent("construct ClothCommandMode");
}

ClothCommandMode::~ClothCommandMode() { NoteModuleObjectEvent("destroy ClothCommandMode"); }

int ClothCommandMode::Class() { return VIEWPORT_COMMAND; }

int ClothCommandMode::ID() { return kClothCommandModeId; }

MouseCallBack* ClothCommandMode::MouseProc(int* numPoints) {
    if (numPoints != nullptr) *numPoints = 2;
    return &mouseProc;
}

ChangeForegroundCallback* ClothCommandMode::ChangeFGProc() { return nullptr; }

BOOL ClothCommandMode::ChangeFG(CommandMode* /*oldMode*/) { return FALSE; }

void ClothCommandMode::EnterMode() {
    Interface* ip = GetCOREInterface();
    ip->PushPrompt(kPrompt);

    // Until a mesh is prepared on this entry the brush has nothing to work on: the node of an
    // earlier entry may have been deleted or changed since.
    mouseProc.mesh = nullptr;
    mouseProc.node = nullptr;
    mouseProc.nodeHandle = 0;
    if (ip->GetSelNodeCount() == 0) return;

    INode* node = ip->GetSelNode(0);
    if (node == nullptr) return;
    TriObject* tri = convertToTriangleMesh(node, ip->GetTime());
    if (tri == nullptr) return;

    mouseProc.node = node;
    mouseProc.mesh = &tri->GetMesh();
    mouseProc.nodeHandle = node->GetHandle();
    mouseProc.mesh->ClearSpecifiedNormals();
    try {
        mouseProc.buildClothState();
    } catch (const std::exception&) {
        // A mesh the cloth cannot be built from (a face naming a missing vertex, too many edges,
        // no memory) leaves the mode inert rather than half-built: the brush then does nothing.
        mouseProc.mesh = nullptr;
        mouseProc.node = nullptr;
        mouseProc.nodeHandle = 0;
        return;
    }
    ip->RegisterRedrawViewsCallback(&brushDisplay);
}

void ClothCommandMode::ExitMode() {
    Interface* ip = GetCOREInterface();
    ip->PopPrompt();
    ip->UnRegisterRedrawViewsCallback(&brushDisplay);
    // A press whose release never comes would leave the undo hold open and its entry lost.
    closeOpenStroke(mouseProc);
}

ClothCommandMode& getClothCommandMode() {
    static ClothCommandMode mode;
    return mode;
}
