#include "brush/ClothRestore.h"

#include <cstddef>

#include "brush/StrokeLifecycle.h"

namespace {

template <class T>
void releaseStorage(std::vector<T>& v) {
    std::vector<T>().swap(v);
}

void zeroDeltas(ClothMouseProc& state) {
    for (Point3& d : state.deltas) d = Point3(0.0f, 0.0f, 0.0f);
}

}  // namespace

ClothRestore::ClothRestore(ClothMouseProc* ownerProc) : owner(ownerProc) {
    if (owner == nullptr || owner->mesh == nullptr) return;
    snapshotMesh = owner->mesh;
    snapshotNode = owner->node;
    snapshotNodeHandle = owner->nodeHandle;

    const Mesh& mesh = *owner->mesh;
    const std::size_t v = static_cast<std::size_t>(mesh.getNumVerts());
    undoPositions.reserve(v);
    undoMask.reserve(v);
    for (std::size_t i = 0; i < v; ++i) {
        undoPositions.push_back(mesh.verts[i]);
        // A mask shorter than the mesh (state not rebuilt after a topology change) makes the
        // snapshot unusable; matchesOwner then refuses it rather than read past the end.
        undoMask.push_back(i < owner->mask.size() ? owner->mask[i] : 0.0f);
    }

    const std::size_t c = owner->constraints.size();
    undoRestLengths.reserve(c);
    undoRestAngles.reserve(c);
    for (const EdgeConstraint& e : owner->constraints) {
        undoRestLengths.push_back(e.restLength);
        undoRestAngles.push_back(e.restAngle);
    }
}

ClothRestore::~ClothRestore() {
    releaseStorage(redoMask);
    releaseStorage(undoMask);
    releaseStorage(redoRestAngles);
    releaseStorage(undoRestAngles);
    releaseStorage(redoRestLengths);
    releaseStorage(undoRestLengths);
    releaseStorage(redoPositions);
    releaseStorage(undoPositions);
}

bool ClothRestore::matchesOwner() const {
    if (owner == nullptr || snapshotMesh == nullptr) return false;
    // The owner may since have been rebuilt on another object, or the object may be gone; only
    // the very cloth the snapshot came from, with unchanged counts, can take it back.
    if (owner->mesh != snapshotMesh || owner->node != snapshotNode || owner->nodeHandle != snapshotNodeHandle) {
        return false;
    }
    if (!clothStateUsable(*owner)) return false;
    return static_cast<std::size_t>(owner->mesh->getNumVerts()) == undoPositions.size() &&
           owner->constraints.size() == undoRestLengths.size();
}

void ClothRestore::Restore(int /*isUndo*/) {
    if (owner == nullptr || undoPositions.empty()) return;
    if (!matchesOwner()) return;
    ClothMouseProc& state = *owner;
    Mesh& mesh = *state.mesh;

    const std::size_t v = undoPositions.size();
    redoPositions.resize(v);
    redoMask.resize(v);
    for (std::size_t i = 0; i < v; ++i) {
        redoPositions[i] = mesh.verts[i];
        mesh.verts[i] = undoPositions[i];
        state.velocities[i] = Point3(0.0f, 0.0f, 0.0f);
        redoMask[i] = state.mask[i];
        state.mask[i] = undoMask[i];
    }

    const std::size_t c = undoRestLengths.size();
    redoRestLengths.resize(c);
    redoRestAngles.resize(c);
    for (std::size_t k = 0; k < c; ++k) {
        EdgeConstraint& e = state.constraints[k];
        redoRestLengths[k] = e.restLength;
        redoRestAngles[k] = e.restAngle;
        e.restLength = undoRestLengths[k];
        e.restAngle = undoRestAngles[k];
    }

    state.writeMaskColors();
    zeroDeltas(state);
    state.notifyMeshChanged();
}

void ClothRestore::Redo() {
    if (owner == nullptr || redoPositions.empty()) return;
    if (!matchesOwner()) return;
    ClothMouseProc& state = *owner;
    Mesh& mesh = *state.mesh;

    // The redo arrays were sized by the undo that filled them, to the counts matchesOwner checked.
    const std::size_t v = redoPositions.size();
    for (std::size_t i = 0; i < v; ++i) {
        mesh.verts[i] = redoPositions[i];
        state.velocities[i] = Point3(0.0f, 0.0f, 0.0f);
        state.mask[i] = redoMask[i];
    }
    const std::size_t c = redoRestLengths.size();
    for (std::size_t k = 0; k < c; ++k) {
        state.constraints[k].restLength = redoRestLengths[k];
        state.constraints[k].restAngle = redoRestAngles[k];
    }

    state.writeMaskColors();
    zeroDeltas(state);
    state.notifyMeshChanged();
}

MSTR ClothRestore::Description() { return _M(" Cloth State"); }
