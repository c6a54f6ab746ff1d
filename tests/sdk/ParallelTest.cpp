#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "sdk/Parallel.h"

namespace {

// Counts how often each index ran (atomics only so that a faulty loop is reported, not racy).
struct Coverage {
    explicit Coverage(int n) : hits(static_cast<size_t>(n > 0 ? n : 0)) {}
    std::vector<std::atomic<int>> hits;
    void expectEachOnce(const std::string& name) const {
        for (size_t i = 0; i < hits.size(); ++i) {
            ASSERT_EQ(hits[i].load(), 1) << name << ": index " << i;
        }
    }
};

TEST(ParallelTest, EveryIndexExactlyOnce) {
    for (const int threads : {0, 1, 2}) {
        std::unique_ptr<velmora::parallel::ThreadLimit> limit;
        if (threads > 0) limit = std::make_unique<velmora::parallel::ThreadLimit>(threads);
        for (const int n : {-3, 0, 1, 2, 3, 1000, 100003}) {
            const std::string name = "n " + std::to_string(n) + ", threads " + std::to_string(threads);
            Coverage c(n);
            concurrency::parallel_for(0, n, [&](int i) { c.hits[static_cast<size_t>(i)].fetch_add(1); });
            c.expectEachOnce(name + " parallel_for");

            Coverage r(n);
            concurrency::parallel_for_ranges(n, [&](int b, int e) {
                EXPECT_LT(b, e);
                for (int i = b; i < e; ++i) r.hits[static_cast<size_t>(i)].fetch_add(1);
            });
            r.expectEachOnce(name + " ranges");

            Coverage g(n);
            struct Ctx {
                Coverage* c;
                std::atomic<bool> smallRange{false};
                int n;
            } ctx{&g, {}, n};
            velmora::parallel::forRangesGrain(n, 64, [](void* p, int b, int e) {
                auto& cx = *static_cast<Ctx*>(p);
                // A range shorter than the grain only when the whole loop is.
                if (e - b < 64 && cx.n >= 64) cx.smallRange = true;
                for (int i = b; i < e; ++i) cx.c->hits[static_cast<size_t>(i)].fetch_add(1);
            }, &ctx);
            g.expectEachOnce(name + " grain");
            EXPECT_FALSE(ctx.smallRange.load()) << name << ": a range below the grain";
        }
    }
}

TEST(ParallelTest, OffsetRangeAndNestedLoops) {
    Coverage c(1000);
    concurrency::parallel_for(5, 1005, [&](int i) { c.hits[static_cast<size_t>(i - 5)].fetch_add(1); });
    c.expectEachOnce("offset");

    Coverage nested(64 * 64);
    concurrency::parallel_for(0, 64, [&](int i) {
        concurrency::parallel_for(0, 64, [&](int j) { nested.hits[static_cast<size_t>(i * 64 + j)].fetch_add(1); });
    });
    nested.expectEachOnce("nested");
}

TEST(ParallelTest, SingleIndexAndOneThreadRunOnTheCaller) {
    const std::thread::id caller = std::this_thread::get_id();
    std::thread::id seen;
    concurrency::parallel_for(0, 1, [&](int) { seen = std::this_thread::get_id(); });
    EXPECT_EQ(seen, caller);

    velmora::parallel::ThreadLimit one(1);
    EXPECT_EQ(velmora::parallel::maxThreads(), 1);
    std::mutex m;
    std::set<std::thread::id> ids;
    concurrency::parallel_for(0, 10000, [&](int) {
        std::lock_guard<std::mutex> lock(m);
        ids.insert(std::this_thread::get_id());
    });
    EXPECT_EQ(ids, std::set<std::thread::id>{caller});
}

TEST(ParallelTest, ThreadLimitIsRestored) {
    const int all = velmora::parallel::maxThreads();
    EXPECT_GE(all, 1);
    {
        velmora::parallel::ThreadLimit two(2);
        EXPECT_EQ(velmora::parallel::maxThreads(), all < 2 ? all : 2);
        {
            velmora::parallel::ThreadLimit one(1);
            EXPECT_EQ(velmora::parallel::maxThreads(), 1);
        }
        EXPECT_EQ(velmora::parallel::maxThreads(), all < 2 ? all : 2);
    }
    EXPECT_EQ(velmora::parallel::maxThreads(), all);
    {
        // The smallest living limit applies.
        velmora::parallel::ThreadLimit one(1);
        velmora::parallel::ThreadLimit two(2);
        EXPECT_EQ(velmora::parallel::maxThreads(), 1);
    }
    EXPECT_EQ(velmora::parallel::maxThreads(), all);
}

}  // namespace
