#pragma once
// The cloth state: the brush's mouse callback that owns every array of the simulation, the brush
// state and the fifteen settings. Positions are the working mesh's own vertex array.
#include <cstdint>
#include <vector>

#include "cloth/BrushDisplayValues.h"
#include "cloth/ClothWorkspace.h"
#include "sdk/Cursors.h"
#include "sdk/Interface.h"
#include "sdk/Matrix3.h"
#include "sdk/Mesh.h"
#include "sdk/PluginFrame.h"
#include "sdk/Point3.h"
#include "sdk/Scene.h"

// One record per mesh edge, in the order of the host's edge list. For an open edge only
// openEdge, restLength, vert0 and vert1 carry meaning (the rest are zero).
struct EdgeConstraint {
    bool openEdge = false;
    float restLength = 0.0f;
    int vert0 = 0;
    int vert1 = 0;
    int face0 = 0;
    int face1 = 0;
    int opposite0 = 0;
    int opposite1 = 0;
    float restAngle = 0.0f;  // signed dihedral angle (radians) that bending pulls toward
};

// The fifteen brush and simulation settings under their scripting names, with their defaults.
struct BrushSettings {
    int iterations = 20;
    float moveStrength = 1.0f;
    float damping = 0.95f;
    float plasticity = 0.1f;
    float bendiness = 0.1f;
    bool useVCMask = true;
    bool gravityEnabled = false;
    bool pressureEnabled = false;
    bool groundCollision = false;
    float pressure = 1.0f;
    float gravity = 1.0f;
    float maskVal = 1.0f;
    float maskBlurStrength = 1.0f;
    float clothStrength = 1.0f;
    bool directionalExpand = false;
};

class ClothMouseProc : public MouseCallBack {
public:
    ClothMouseProc();
    ~ClothMouseProc() override;
    ClothMouseProc(const ClothMouseProc&) = delete;
    ClothMouseProc& operator=(const ClothMouseProc&) = delete;

    // Mouse procedure of the brush command mode: press and release (1), drag (2), free move (6).
    // Returns 1 for every message.
    int proc(HWND hwnd, int msg, int point, int flags, IPoint2 m) override;

    // Rebuilds every array from `mesh` (which must be set): radius, normals, weights, velocities,
    // edge constraints, deltas, working buffers, then the mask. Moves no vertex.
    void buildClothState();
    // Sizes `mask` and fills it from the red of map channel 0, creating a white channel when absent.
    void initMask();
    // Copies `mask` into the colour vertices as grey (m, m, m). Tells nobody.
    void writeMaskColors();

    // Casts the ray under the mouse into the mesh; on a hit sets brushFrame and the display values.
    void pickBrush(ViewExp& vpt, IPoint2 m);
    // One drag event: chooses the brush mode from the modifier bits and carries it out.
    void strokeStep(ViewExp& vpt, int flags, IPoint2 m);
    // Mesh caches invalidated, dependents of `node` told, viewports redrawn.
    void notifyMeshChanged();

    // --- fields, in declaration order ---
    std::vector<float> brushWeights;
    std::vector<Point3> deltas;
    std::vector<EdgeConstraint> constraints;
    std::vector<Point3> velocities;
    std::vector<Point3> faceNormals;
    std::vector<Point3> vertexNormals;
    std::vector<float> mask;
    Matrix3 brushFrame;
    float brushRadius = 10.0f;
    float baseRadius = 0.0f;
    Interface* hostInterface = nullptr;
    HCURSOR pointCursor = nullptr;
    HCURSOR dragCursor = nullptr;
    Mesh* mesh = nullptr;
    INode* node = nullptr;
    IPoint2 lastMousePoint{0, 0};
    Point3 prevBrushPoint{0.0f, 0.0f, 0.0f};
    BrushSettings settings;

    // --- beyond the record above ---
    // The brush display's copy of the brush (frame and radius); null when nothing displays it.
    BrushDisplayValues* display = nullptr;
    // Handle of `node` when the state was built: tells whether the node still exists.
    ULONG nodeHandle = 0;
    // Solver working buffers and the stroke guard's copies, sized at the build.
    ClothWorkspace work;
    StrokeGuardBuffers guard;
    // True between the press and the release of a stroke (an undo hold is open for it).
    bool strokeOpen = false;
    // True when the last drag event was put back because it produced a non-finite value.
    bool lastEventReverted = false;
    // True to run the plain formulas without the stabilisation of busy vertices (set through
    // the "VelmoraOptions" scripting interface); the results are then those of the plain solver.
    bool exactSolver = false;
};
