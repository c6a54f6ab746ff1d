// One drag event's solver call (Move: 20 iterations, default settings, the brush moving the
// middle of a bumpy grid) on grids of about 10k, 100k and 1M vertices: the parallel solver with
// one thread and with two, and the plain serial reference. The summary after them gives the
// ratios of the performance targets as counters.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "SerialOracle.h"
#include "cloth/ClothMouseProc.h"
#include "sdk/Parallel.h"
#include "solver/Solver.h"
#include "solver/WideBlocks.h"

namespace {
using velmora::bench::allocationCount;
using velmora::bench::dragTimes;

struct DragScene {
    Mesh mesh;
    ClothMouseProc state;

    explicit DragScene(int quads) : mesh(velmora::bench::bumpyGrid(quads)) {
        state.mesh = &mesh;
        state.buildClothState();
        // The brush at the middle with the radius the build chose (a fifth of the mean extent).
        state.brushFrame.SetTrans(Point3(0.0f, 0.0f, 0.0f));
        computeBrushWeights(state);
    }
};

// What the Move mode hands the solver for a small mouse motion.
const Point3 kMove(0.002f, -0.001f, 0.01f);

// TwoThreadsNarrow: two threads with the 4-lane block paths, as on a processor without AVX-512.
enum class Runner { Oracle, OneThread, TwoThreads, TwoThreadsNarrow };

const char* nameOf(Runner r) {
    switch (r) {
        case Runner::Oracle: return "oracle";
        case Runner::OneThread: return "ours_1t";
        case Runner::TwoThreads: return "ours_2t";
        case Runner::TwoThreadsNarrow: return "ours_2t_narrow";
    }
    return "";
}

// Turns the 16-lane block paths off for its lifetime when asked.
struct NarrowBlocks {
    explicit NarrowBlocks(bool narrow) { velmora::solver::allowWideBlocks(!narrow); }
    ~NarrowBlocks() { velmora::solver::allowWideBlocks(true); }
    NarrowBlocks(const NarrowBlocks&) = delete;
    NarrowBlocks& operator=(const NarrowBlocks&) = delete;
};

void runDrag(benchmark::State& bench, Runner runner) {
    const int quads = static_cast<int>(bench.range(0));
    auto scene = std::make_unique<DragScene>(quads);
    velmora::parallel::ThreadLimit limit(runner == Runner::OneThread ? 1 : 2);
    const NarrowBlocks narrow(runner == Runner::TwoThreadsNarrow);
    // One event before timing: the thread pool starts, caches warm.
    if (runner == Runner::Oracle) {
        velmora::oracle::runSolverIterations(scene->state, true, kMove);
    } else {
        runSolverIterations(scene->state, true, kMove);
    }
    std::uint64_t allocations = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : bench) {
        if (runner == Runner::Oracle) {
            velmora::oracle::runSolverIterations(scene->state, true, kMove);
        } else {
            const std::uint64_t before = allocationCount();
            runSolverIterations(scene->state, true, kMove);
            allocations += allocationCount() - before;
        }
        benchmark::DoNotOptimize(scene->mesh.verts.data());
        benchmark::ClobberMemory();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int numVerts = scene->mesh.getNumVerts();
    const double perEvent = seconds / static_cast<double>(bench.iterations());
    velmora::bench::recordDragTime(nameOf(runner), numVerts, perEvent);
    const double vertexIterations = static_cast<double>(numVerts) * scene->state.settings.iterations;
    bench.counters["vertices"] = numVerts;
    bench.counters["ns_per_vertex_iteration"] = perEvent * 1e9 / vertexIterations;
    if (runner != Runner::Oracle) {
        bench.counters["allocations_per_event"] =
            static_cast<double>(allocations) / static_cast<double>(bench.iterations());
    }
}

void BM_DragOracle(benchmark::State& s) { runDrag(s, Runner::Oracle); }
void BM_DragOneThread(benchmark::State& s) { runDrag(s, Runner::OneThread); }
void BM_DragTwoThreads(benchmark::State& s) { runDrag(s, Runner::TwoThreads); }
void BM_DragTwoThreadsNarrowBlocks(benchmark::State& s) { runDrag(s, Runner::TwoThreadsNarrow); }

// 100 x 100 quads: 10,201 vertices; 316 x 316: 100,489; 1000 x 1000: 1,002,001.
#define VELMORA_DRAG_SIZES ->Arg(100)->Arg(316)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime()
BENCHMARK(BM_DragOracle) VELMORA_DRAG_SIZES;
BENCHMARK(BM_DragOneThread) VELMORA_DRAG_SIZES;
BENCHMARK(BM_DragTwoThreads) VELMORA_DRAG_SIZES;
BENCHMARK(BM_DragTwoThreadsNarrowBlocks)->Arg(316)->Unit(benchmark::kMillisecond)->UseRealTime();

// What two threads give on this machine at this moment, whatever the solver does: a loop of pure
// arithmetic (no memory traffic) split over one and over two threads. When other work occupies
// the second core this ratio falls below 2, and the solver's 1t/2t figure with it.
void BM_MachineParallelism(benchmark::State& bench) {
    const int threads = static_cast<int>(bench.range(0));
    velmora::parallel::ThreadLimit limit(threads);
    constexpr int kChunks = 64;
    double sums[kChunks] = {};
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : bench) {
        concurrency::parallel_for(0, kChunks, [&sums](int c) {
            float a = 0.0f, x = 1.0f + static_cast<float>(c);
            for (int i = 0; i < 200000; ++i) {
                x = x * 1.0000001f + 1e-7f;
                a += x;
            }
            sums[c] = a;
        });
        benchmark::DoNotOptimize(sums);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    velmora::bench::recordDragTime(threads == 1 ? "machine_1t" : "machine_2t", 0,
                                   seconds / static_cast<double>(bench.iterations()));
}
BENCHMARK(BM_MachineParallelism)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// Where the time of one iteration goes, stage by stage, on the 100k grid with one thread:
// milliseconds per stage call as counters (the stages as runSolverIterations calls them). The
// argument is the width of the block paths: 16 (AVX-512, where the processor has it) or 4.
void BM_SolverStages100k(benchmark::State& bench) {
    velmora::parallel::ThreadLimit limit(1);
    const NarrowBlocks narrow(bench.range(0) == 4);
    DragScene scene(316);
    ClothMouseProc& state = scene.state;
    using Clock = std::chrono::steady_clock;
    double normals = 0.0, move = 0.0, edges = 0.0, integrate = 0.0;
    const auto seconds = [](Clock::time_point a, Clock::time_point b) {
        return std::chrono::duration<double>(b - a).count();
    };
    for (auto _ : bench) {
        const auto t0 = Clock::now();
        computeFaceNormals(state);
        const auto t1 = Clock::now();
        applyMoveFalloff(state, kMove);
        const auto t2 = Clock::now();
        solveEdgeConstraints(state);  // the edge chunks, then the gather of shared vertices
        const auto t3 = Clock::now();
        integrateVertices(state, Point3(0.0f, 0.0f, 0.0f), 0.05f);
        const auto t4 = Clock::now();
        normals += seconds(t0, t1);
        move += seconds(t1, t2);
        edges += seconds(t2, t3);
        integrate += seconds(t3, t4);
    }
    const double n = static_cast<double>(bench.iterations()) / 1e3;
    bench.counters["faceNormals_ms"] = normals / n;
    bench.counters["moveFalloff_ms"] = move / n;
    bench.counters["edges_ms"] = edges / n;
    bench.counters["integrate_ms"] = integrate / n;
}
BENCHMARK(BM_SolverStages100k)->Arg(16)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

// The targets' ratios from the drag benchmarks that ran: oracle / ours at each size with one and
// two threads, ours one thread / two threads, and the cost per vertex at 1M over that at 100k (two
// threads), each from the fastest repetition of its benchmarks. Printed after all benchmarks, so
// that it also holds with --benchmark_enable_random_interleaving.
void printDragSummary() {
    auto& t = dragTimes();
    const auto has = [&](const char* runner, int v) { return t.count(runner) != 0 && t[runner].count(v) != 0; };
    std::vector<std::pair<std::string, double>> rows;
    const std::pair<const char*, int> sizes[] = {{"10k", 10201}, {"100k", 100489}, {"1M", 1002001}};
    for (const auto& [label, v] : sizes) {
        const std::string l = label;
        const auto ratio = [&](const std::string& name, const char* a, const char* b) {
            if (has(a, v) && has(b, v)) rows.emplace_back(name + l, t[a][v] / t[b][v]);
        };
        ratio("oracle/ours_2t_", "oracle", "ours_2t");
        ratio("oracle/ours_1t_", "oracle", "ours_1t");
        ratio("1t/2t_", "ours_1t", "ours_2t");
    }
    if (has("ours_2t", 100489) && has("ours_2t", 1002001)) {
        const double perVertex1M = t["ours_2t"][1002001] / 1002001.0;
        rows.emplace_back("per_vertex_1M/100k", perVertex1M / (t["ours_2t"][100489] / 100489.0));
    }
    if (has("ours_2t", 100489) && has("ours_2t_narrow", 100489)) {
        rows.emplace_back("narrow/wide_2t_100k", t["ours_2t_narrow"][100489] / t["ours_2t"][100489]);
    }
    if (has("machine_1t", 0) && has("machine_2t", 0)) {
        rows.emplace_back("machine_1t/2t", t["machine_1t"][0] / t["machine_2t"][0]);
    }
    if (rows.empty()) return;
    std::printf("\nDrag summary (each benchmark's fastest repetition):\n");
    for (const auto& [name, value] : rows) std::printf("  %-22s %6.2f\n", name.c_str(), value);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    printDragSummary();
    benchmark::Shutdown();
    return 0;
}
