#include "brush/StrokeGuard.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "sdk/Parallel.h"

namespace {

// Exponent all ones: infinity or NaN. Integer test, so the loop needs no FP compares.
inline std::uint32_t nonFiniteBit(float x) {
    return (std::bit_cast<std::uint32_t>(x) & 0x7f800000u) == 0x7f800000u ? 1u : 0u;
}

inline std::uint32_t nonFiniteBit(const Point3& p) { return nonFiniteBit(p.x) | nonFiniteBit(p.y) | nonFiniteBit(p.z); }

// Enough chunks to spread over the cores, few enough that tiny meshes are not all overhead.
constexpr int kMaxChunks = 64;
constexpr std::size_t kElementsPerChunk = 4096;

template <class T>
void sizeLike(std::vector<T>& buffer, std::size_t n) {
    if (buffer.size() != n) buffer.resize(n);
}

}  // namespace

void saveStrokeGuard(ClothMouseProc& state) {
    StrokeGuardBuffers& g = state.guard;
    const std::vector<Point3>& positions = state.mesh->verts;
    const std::size_t c = state.constraints.size();
    sizeLike(g.positions, positions.size());
    sizeLike(g.velocities, state.velocities.size());
    sizeLike(g.mask, state.mask.size());
    sizeLike(g.restLengths, c);
    sizeLike(g.restAngles, c);

    std::copy(positions.begin(), positions.end(), g.positions.begin());
    std::copy(state.velocities.begin(), state.velocities.end(), g.velocities.begin());
    std::copy(state.mask.begin(), state.mask.end(), g.mask.begin());
    for (std::size_t k = 0; k < c; ++k) {
        g.restLengths[k] = state.constraints[k].restLength;
        g.restAngles[k] = state.constraints[k].restAngle;
    }
}

bool clothStateFinite(const ClothMouseProc& state) {
    const std::size_t v = state.mesh->verts.size();
    const std::size_t c = state.constraints.size();
    const std::size_t total = v + c;
    const int chunks = static_cast<int>(std::clamp<std::size_t>(total / kElementsPerChunk, 1, kMaxChunks));

    // One slot per chunk, then an OR over the slots in chunk order: no shared writes, and the
    // result is the same whichever thread ran which chunk.
    std::array<std::uint32_t, kMaxChunks> bad{};
    const Point3* positions = state.mesh->verts.data();
    const Point3* velocities = state.velocities.data();
    const float* mask = state.mask.data();
    const EdgeConstraint* records = state.constraints.data();
    const auto chunkCount = static_cast<std::size_t>(chunks);
    concurrency::parallel_for(0, chunks, [&](int chunk) {
        const auto i = static_cast<std::size_t>(chunk);
        const std::size_t v0 = v * i / chunkCount, v1 = v * (i + 1) / chunkCount;
        const std::size_t c0 = c * i / chunkCount, c1 = c * (i + 1) / chunkCount;
        std::uint32_t acc = 0;
        for (std::size_t j = v0; j < v1; ++j) {
            acc |= nonFiniteBit(positions[j]) | nonFiniteBit(velocities[j]) | nonFiniteBit(mask[j]);
        }
        for (std::size_t k = c0; k < c1; ++k) {
            acc |= nonFiniteBit(records[k].restLength) | nonFiniteBit(records[k].restAngle);
        }
        bad[i] = acc;
    });
    std::uint32_t any = 0;
    for (int i = 0; i < chunks; ++i) any |= bad[static_cast<std::size_t>(i)];
    return any == 0;
}

void restoreStrokeGuard(ClothMouseProc& state) {
    const StrokeGuardBuffers& g = state.guard;
    std::copy(g.positions.begin(), g.positions.end(), state.mesh->verts.begin());
    std::copy(g.velocities.begin(), g.velocities.end(), state.velocities.begin());
    std::copy(g.mask.begin(), g.mask.end(), state.mask.begin());
    const std::size_t c = state.constraints.size();
    for (std::size_t k = 0; k < c; ++k) {
        state.constraints[k].restLength = g.restLengths[k];
        state.constraints[k].restAngle = g.restAngles[k];
    }
    for (Point3& d : state.deltas) d = Point3(0.0f, 0.0f, 0.0f);
    state.writeMaskColors();
}
