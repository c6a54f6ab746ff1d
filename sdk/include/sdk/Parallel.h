#pragma once
// The parallel loop over an integer index range with automatic division among worker threads.
#include <cstddef>

namespace velmora::parallel {
// Runs body(ctx, begin, end) over disjoint sub-ranges covering [0, n), on the worker threads and
// the calling thread; returns when all are done. n <= 0 does nothing; n == 1 runs on the caller.
void forRanges(int n, void (*body)(void* ctx, int begin, int end), void* ctx);
// Same, with ranges of at least `grain` indices (one range [0, n) when n < 2 grain).
void forRangesGrain(int n, int grain, void (*body)(void* ctx, int begin, int end), void* ctx);
int maxThreads();

// Limits the number of threads of every parallel loop while it lives (for tests and benchmarks).
// Limits nest; the smallest living one applies. A limit of 1 runs every loop on the caller.
// Built for ThreadSanitizer (VELMORA_STD_THREAD_LOOP), the loop runs on a small std::thread pool
// in static chunks, and a loop started inside a loop body runs on that body's thread.
class ThreadLimit {
public:
    explicit ThreadLimit(int threads);
    ~ThreadLimit();
    ThreadLimit(const ThreadLimit&) = delete;
    ThreadLimit& operator=(const ThreadLimit&) = delete;
private:
    void* impl_;
};
}  // namespace velmora::parallel

namespace concurrency {
// body(i) once for every i in [first, last), in no defined order.
template <class Index, class Body>
void parallel_for(Index first, Index last, const Body& body) {
    const long long n = static_cast<long long>(last) - static_cast<long long>(first);
    if (n <= 0) return;
    if (n == 1) { body(first); return; }
    struct Ctx { const Body* body; Index first; } ctx{&body, first};
    velmora::parallel::forRanges(static_cast<int>(n), [](void* c, int b, int e) {
        const Ctx& cx = *static_cast<const Ctx*>(c);
        for (int i = b; i < e; ++i) (*cx.body)(static_cast<Index>(cx.first + i));
    }, &ctx);
}

// body(begin, end) over disjoint sub-ranges of [0, n): for stage bodies that vectorise a range.
template <class Body>
void parallel_for_ranges(int n, const Body& body) {
    if (n <= 0) return;
    if (n == 1) { body(0, 1); return; }
    velmora::parallel::forRanges(n, [](void* c, int b, int e) {
        (*static_cast<const Body*>(c))(b, e);
    }, const_cast<void*>(static_cast<const void*>(&body)));
}
}  // namespace concurrency
namespace Concurrency = concurrency;
