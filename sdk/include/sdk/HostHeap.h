#pragma once
// The host heap: objects that the host deletes or keeps are allocated through these operators.
#include <cstddef>
#include <cstdint>
#include <new>

class MaxHeapOperators {
public:
    static void* operator new(std::size_t size);
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
    static void* operator new(std::size_t, void* where) noexcept { return where; }
    static void operator delete(void* p) noexcept;
    static void operator delete(void* p, std::size_t) noexcept;
    static void* operator new[](std::size_t size);
    static void operator delete[](void* p) noexcept;
};

// Live allocations from the host heap (for leak checks in tests).
std::int64_t HostHeapLiveBlocks();
