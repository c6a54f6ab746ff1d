#pragma once
// Working buffers of the solver and of the stroke guard. Sized once at the build so that no drag
// event allocates.
#include <cstdint>
#include <vector>

#include "sdk/Point3.h"

struct ClothWorkspace {
    // Filled by buildClothState; layout owned by the solver.
};

// Copies of everything a drag event may change, taken before the event so that an event that
// produces a non-finite value can be put back.
struct StrokeGuardBuffers {
    std::vector<Point3> positions;
    std::vector<Point3> velocities;
    std::vector<float> restLengths;
    std::vector<float> restAngles;
    std::vector<float> mask;
};
