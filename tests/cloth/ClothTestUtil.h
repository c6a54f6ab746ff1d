#pragma once
// A mesh and the cloth state built on it, for tests.
#include <bit>
#include <cstdint>
#include <utility>

#include "cloth/ClothMouseProc.h"
#include "sdk/Mesh.h"

namespace velmora::testing {

struct BuiltCloth {
    Mesh mesh;
    ClothMouseProc state;

    explicit BuiltCloth(Mesh m, const BrushSettings& settings = BrushSettings{}) : mesh(std::move(m)) {
        state.settings = settings;
        state.mesh = &mesh;
        state.buildClothState();
    }
};

inline bool sameBits(float a, float b) { return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b); }
inline bool sameBits(const Point3& a, const Point3& b) {
    return sameBits(a.x, b.x) && sameBits(a.y, b.y) && sameBits(a.z, b.z);
}

}  // namespace velmora::testing
