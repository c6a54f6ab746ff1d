#pragma once
// The undo record of one brush stroke: the cloth state before the press, and the state an undo
// replaced so that redo can put it back.
#include <vector>

#include "cloth/ClothMouseProc.h"
#include "sdk/Hold.h"

class ClothRestore : public RestoreObj {
public:
    // Snapshot of the owner's vertex positions, mask, and every constraint's restLength and
    // restAngle. The redo arrays stay empty. A null owner, or one without a mesh, gives an empty
    // snapshot that undo ignores. Throws std::bad_alloc when the copies do not fit in memory.
    explicit ClothRestore(ClothMouseProc* owner);
    ~ClothRestore() override;
    ClothRestore(const ClothRestore&) = delete;
    ClothRestore& operator=(const ClothRestore&) = delete;

    // Undo: saves the current state into the redo arrays, puts the snapshot back, zeroes
    // velocities and deltas, rewrites the mask colours and notifies the host. Does nothing when
    // the snapshot is empty or no longer matches the owner's cloth (see matchesOwner).
    void Restore(int isUndo) override;
    // Redo: puts back the state the last undo replaced, zeroes velocities and deltas, rewrites the
    // mask colours and notifies the host. Does nothing before the first undo or on a mismatch.
    void Redo() override;
    // " Cloth State".
    MSTR Description() override;

    // True when the owner still works on the node and mesh of the snapshot, the node is still in
    // the scene, and the vertex and constraint counts equal the snapshot's.
    bool matchesOwner() const;

    std::vector<Point3> undoPositions;
    std::vector<Point3> redoPositions;
    std::vector<float> undoRestLengths;
    std::vector<float> redoRestLengths;
    std::vector<float> undoRestAngles;
    std::vector<float> redoRestAngles;
    std::vector<float> undoMask;
    std::vector<float> redoMask;
    ClothMouseProc* owner = nullptr;

    // What the snapshot was taken from; used only to tell whether it still fits.
    Mesh* snapshotMesh = nullptr;
    INode* snapshotNode = nullptr;
    ULONG snapshotNodeHandle = 0;
};
