#include "sdk/HostHeap.h"

#include <atomic>
#include <cstdlib>

namespace {
std::atomic<std::int64_t> gLiveBlocks{0};

void* allocate(std::size_t size) noexcept {
    // malloc(0) may return null; every allocation gets its own block.
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p != nullptr) gLiveBlocks.fetch_add(1, std::memory_order_relaxed);
    return p;
}

void release(void* p) noexcept {
    if (p == nullptr) return;
    gLiveBlocks.fetch_sub(1, std::memory_order_relaxed);
    std::free(p);
}
}  // namespace

void* MaxHeapOperators::operator new(std::size_t size) {
    void* p = allocate(size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

void* MaxHeapOperators::operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}

void MaxHeapOperators::operator delete(void* p) noexcept { release(p); }
void MaxHeapOperators::operator delete(void* p, std::size_t) noexcept { release(p); }

void* MaxHeapOperators::operator new[](std::size_t size) {
    void* p = allocate(size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

void MaxHeapOperators::operator delete[](void* p) noexcept { release(p); }

std::int64_t HostHeapLiveBlocks() { return gLiveBlocks.load(std::memory_order_relaxed); }
