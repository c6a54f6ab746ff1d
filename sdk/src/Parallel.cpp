#include "sdk/Parallel.h"

#if VELMORA_STD_THREAD_LOOP
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>
#else
#include <algorithm>
#include <tbb/blocked_range.h>
#include <tbb/global_control.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>
#endif

namespace velmora::parallel {

#if VELMORA_STD_THREAD_LOOP
// ThreadSanitizer builds: the same loop on a small pool of std::threads with static chunks, so
// the sanitizer sees only our own synchronisation.
namespace {
int hardwareThreads() {
    const unsigned h = std::thread::hardware_concurrency();
    return h == 0 ? 1 : static_cast<int>(std::min(h, 64u));
}

std::atomic<int> gLimit{0};  // 0: no limit
thread_local bool tInsideLoop = false;

class Pool {
public:
    explicit Pool(int workers) {
        for (int w = 0; w < workers; ++w) threads_.emplace_back([this, w] { work(w + 1); });
    }
    ~Pool() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : threads_) t.join();
    }
    int workers() const { return static_cast<int>(threads_.size()); }

    // Splits [0, n) into `chunks` equal static ranges; chunk 0 runs on the caller.
    void run(int n, int chunks, void (*body)(void*, int, int), void* ctx) {
        std::lock_guard<std::mutex> callLock(callMutex_);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            n_ = n;
            chunks_ = chunks;
            body_ = body;
            ctx_ = ctx;
            pending_ = chunks - 1;
            ++generation_;
        }
        wake_.notify_all();
        runChunk(0);
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [this] { return pending_ == 0; });
    }

private:
    void runChunk(int c) {
        const long long b = static_cast<long long>(n_) * c / chunks_;
        const long long e = static_cast<long long>(n_) * (c + 1) / chunks_;
        const bool outer = tInsideLoop;
        tInsideLoop = true;
        if (e > b) body_(ctx_, static_cast<int>(b), static_cast<int>(e));
        tInsideLoop = outer;
    }

    void work(int index) {
        unsigned long long seen = 0;
        for (;;) {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
            if (stop_) return;
            seen = generation_;
            if (index >= chunks_) continue;
            lock.unlock();
            runChunk(index);
            lock.lock();
            if (--pending_ == 0) done_.notify_one();
        }
    }

    std::mutex callMutex_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::vector<std::thread> threads_;
    bool stop_ = false;
    unsigned long long generation_ = 0;
    int n_ = 0, chunks_ = 1, pending_ = 0;
    void (*body_)(void*, int, int) = nullptr;
    void* ctx_ = nullptr;
};

Pool& pool() {
    static Pool p(hardwareThreads() - 1);
    return p;
}

void run(int n, int grain, void (*body)(void*, int, int), void* ctx) {
    if (n <= 0) return;
    if (n == 1 || tInsideLoop) {
        // Nested loops run on the thread that is already one of the loop's workers.
        body(ctx, 0, n);
        return;
    }
    // Equal static chunks, each of at least `grain` indices.
    const int threads = maxThreads();
    const int chunks = std::min(threads, n / grain);
    if (chunks <= 1) {
        body(ctx, 0, n);
        return;
    }
    pool().run(n, chunks, body, ctx);
}
}  // namespace

void forRanges(int n, void (*body)(void*, int, int), void* ctx) { run(n, 1, body, ctx); }

void forRangesGrain(int n, int grain, void (*body)(void*, int, int), void* ctx) {
    run(n, grain < 1 ? 1 : grain, body, ctx);
}

int maxThreads() {
    const int all = pool().workers() + 1;
    const int limit = gLimit.load();
    return limit > 0 ? std::min(limit, all) : all;
}

ThreadLimit::ThreadLimit(int threads) : impl_(nullptr) {
    // The previous limit is kept in impl_ (as an integer) and restored on destruction. As with
    // oneTBB's global control, the smallest living limit applies.
    const int wanted = threads < 1 ? 1 : threads;
    const int previous = gLimit.load();
    gLimit.store(previous > 0 && previous < wanted ? previous : wanted);
    impl_ = reinterpret_cast<void*>(static_cast<std::intptr_t>(previous));
}

ThreadLimit::~ThreadLimit() {
    gLimit.store(static_cast<int>(reinterpret_cast<std::intptr_t>(impl_)));
}

#else

void forRanges(int n, void (*body)(void*, int, int), void* ctx) {
    if (n <= 0) return;
    if (n == 1) {
        body(ctx, 0, 1);
        return;
    }
    tbb::parallel_for(tbb::blocked_range<int>(0, n),
                      [body, ctx](const tbb::blocked_range<int>& r) { body(ctx, r.begin(), r.end()); },
                      tbb::auto_partitioner());
}

void forRangesGrain(int n, int grain, void (*body)(void*, int, int), void* ctx) {
    if (n <= 0) return;
    const int g = grain < 1 ? 1 : grain;
    // Whole chunks of `g` indices (the last one takes the remainder), so that every range handed
    // to the body has at least g indices; blocked_range alone may split below its grain.
    const int chunks = n / g < 1 ? 1 : n / g;
    if (chunks == 1) {
        body(ctx, 0, n);
        return;
    }
    tbb::parallel_for(tbb::blocked_range<int>(0, chunks),
                      [body, ctx, n, g, chunks](const tbb::blocked_range<int>& r) {
                          const int b = r.begin() * g;
                          const int e = r.end() == chunks ? n : r.end() * g;
                          body(ctx, b, e);
                      },
                      tbb::auto_partitioner());
}

int maxThreads() {
    const int arena = tbb::this_task_arena::max_concurrency();
    const auto allowed = tbb::global_control::active_value(tbb::global_control::max_allowed_parallelism);
    return std::max(1, std::min(arena, static_cast<int>(allowed)));
}

ThreadLimit::ThreadLimit(int threads)
    : impl_(new tbb::global_control(tbb::global_control::max_allowed_parallelism,
                                    static_cast<std::size_t>(threads < 1 ? 1 : threads))) {}

ThreadLimit::~ThreadLimit() { delete static_cast<tbb::global_control*>(impl_); }

#endif

}  // namespace velmora::parallel
