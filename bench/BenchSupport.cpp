#include "BenchSupport.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>

#include "fixtures/MeshBuilders.h"

namespace {
std::atomic<std::uint64_t> gAllocations{0};

void* countedAllocate(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

void* countedAllocateAligned(std::size_t size, std::align_val_t alignment) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    const std::size_t a = static_cast<std::size_t>(alignment);
    // aligned_alloc wants a size that is a multiple of the alignment.
    const std::size_t rounded = (size == 0 ? a : (size + a - 1) / a * a);
    if (void* p = std::aligned_alloc(a, rounded)) return p;
    throw std::bad_alloc();
}
}  // namespace

// Counting replacements of the global allocation functions (this executable only).
void* operator new(std::size_t size) { return countedAllocate(size); }
void* operator new[](std::size_t size) { return countedAllocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return countedAllocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return countedAllocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new(std::size_t size, std::align_val_t a) { return countedAllocateAligned(size, a); }
void* operator new[](std::size_t size, std::align_val_t a) { return countedAllocateAligned(size, a); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

namespace velmora::bench {

std::uint64_t allocationCount() { return gAllocations.load(std::memory_order_relaxed); }

Mesh bumpyGrid(int quads) {
    Mesh m = fixtures::makeGrid(quads, quads, 1.0f);
    const float half = 0.5f * static_cast<float>(quads);
    for (Point3& p : m.verts) {
        p.x -= half;
        p.y -= half;
        p.z = 0.4f * std::sin(0.9f * p.x) * std::cos(0.7f * p.y);
    }
    return m;
}

namespace {
template <class T>
std::size_t bytesOf(const std::vector<T>& v) {
    return v.capacity() * sizeof(T);
}
}  // namespace

std::size_t clothStateBytes(const ClothMouseProc& s) {
    const ClothWorkspace& w = s.work;
    const StrokeGuardBuffers& g = s.guard;
    return bytesOf(s.brushWeights) + bytesOf(s.deltas) + bytesOf(s.constraints) + bytesOf(s.velocities) +
           bytesOf(s.faceNormals) + bytesOf(s.vertexNormals) + bytesOf(s.mask) + bytesOf(w.vertexShared) +
           bytesOf(w.constraintSharedRoles) + bytesOf(w.constraintSlotBase) + bytesOf(w.edgeSlots) +
           bytesOf(w.vertexSlotOffsets) + bytesOf(w.slotPositions) + bytesOf(w.sharedVertices) +
           bytesOf(w.lastElementRecords) + bytesOf(w.edgeRecordCount) + bytesOf(w.edgeScale) +
           bytesOf(w.scaledVertices) + bytesOf(w.heldDeltas) +
           bytesOf(g.positions) + bytesOf(g.velocities) + bytesOf(g.restLengths) + bytesOf(g.restAngles) +
           bytesOf(g.mask);
}

std::map<std::string, std::map<int, double>>& dragTimes() {
    static std::map<std::string, std::map<int, double>> times;
    return times;
}

void recordDragTime(const std::string& runner, int vertices, double seconds) {
    double& kept = dragTimes()[runner][vertices];
    kept = (kept == 0.0) ? seconds : std::min(kept, seconds);
}

std::string sharedMeshDir() { return VELMORA_SHARED_MESH_DIR; }

}  // namespace velmora::bench
