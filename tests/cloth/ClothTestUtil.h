#pragma once
// A mesh and the cloth state built on it, for tests.
#include <bit>
#include <cstdint>
#include <utility>

#include <gtest/gtest.h>

#include "cloth/ClothMouseProc.h"
#include "sdk/Mesh.h"
#include "solver/WideBlocks.h"

namespace velmora::testing {

struct BuiltCloth {
    Mesh mesh;
    ClothMouseProc state;

    // `requestedChunk` sets the edge stage's records per chunk (0: automatic); small values send
    // most contributions through the slots and the gather.
    explicit BuiltCloth(Mesh m, int requestedChunk = 0) : mesh(std::move(m)) {
        state.work.requestedChunk = requestedChunk;
        state.mesh = &mesh;
        state.buildClothState();
    }
};

inline bool sameBits(float a, float b) { return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b); }
inline bool sameBits(const Point3& a, const Point3& b) {
    return sameBits(a.x, b.x) && sameBits(a.y, b.y) && sameBits(a.z, b.z);
}

// Runs `body` with the solver's 16-lane block paths (where the processor has them) and with its
// 4-lane ones; both must give the same bits.
template <class Body>
void forEachBlockWidth(Body body) {
    for (bool wide : {true, false}) {
        SCOPED_TRACE(wide ? "16-lane blocks" : "4-lane blocks");
        velmora::solver::allowWideBlocks(wide);
        body();
    }
    velmora::solver::allowWideBlocks(true);
}

}  // namespace velmora::testing
