#include "brush/StrokeLifecycle.h"

#include "sdk/Hold.h"

bool clothStateUsable(const ClothMouseProc& state) {
    if (state.mesh == nullptr || state.node == nullptr || state.hostInterface == nullptr) return false;
    // The handle lookup comes first: a deleted node must not be dereferenced, and handles are
    // never reused, so a match proves `node` is still alive.
    if (state.hostInterface->GetINodeByHandle(state.nodeHandle) != state.node) return false;
    const auto* tri = dynamic_cast<const TriObject*>(state.node->GetObjectRef());
    if (tri == nullptr || &tri->mesh != state.mesh) return false;
    // Anything that changed the mesh's topology since the build would send every per-vertex loop
    // out of bounds.
    const auto v = static_cast<std::size_t>(state.mesh->getNumVerts());
    const auto f = static_cast<std::size_t>(state.mesh->getNumFaces());
    return state.brushWeights.size() == v && state.deltas.size() == v && state.velocities.size() == v &&
           state.vertexNormals.size() == v && state.mask.size() == v && state.faceNormals.size() == f;
}

void closeOpenStroke(ClothMouseProc& state) {
    if (!state.strokeOpen) return;
    theHold.Accept(_M("ClothStroke"));
    state.strokeOpen = false;
}
