// One drag event's solver call (20 iterations, default settings, the brush moving the middle of a
// flat grid) on grids of about 10k, 100k and 1M vertices: the parallel solver with one thread
// and with every thread, and the plain serial reference. Counter ns_per_vertex_iteration.
#include <memory>

#include <benchmark/benchmark.h>

#include "SerialOracle.h"
#include "cloth/ClothMouseProc.h"
#include "fixtures/MeshBuilders.h"
#include "sdk/Parallel.h"
#include "solver/Solver.h"

namespace {

struct DragScene {
    Mesh mesh;
    ClothMouseProc state;

    explicit DragScene(int quads) : mesh(velmora::fixtures::makeGrid(quads, quads, 1.0f)) {
        state.mesh = &mesh;
        state.buildClothState();
        const float middle = 0.5f * static_cast<float>(quads);
        state.brushFrame.SetTrans(Point3(middle, middle, 0.0f));
        computeBrushWeights(state);
    }
};

const Point3 kMove(0.0f, 0.0f, 0.01f);

enum class Runner { Solver, SolverOneThread, Oracle };

void runDrag(benchmark::State& bench, Runner runner) {
    const int quads = static_cast<int>(bench.range(0));
    auto scene = std::make_unique<DragScene>(quads);
    std::unique_ptr<velmora::parallel::ThreadLimit> limit;
    if (runner == Runner::SolverOneThread) limit = std::make_unique<velmora::parallel::ThreadLimit>(1);
    for (auto _ : bench) {
        if (runner == Runner::Oracle) {
            velmora::oracle::runSolverIterations(scene->state, true, kMove);
        } else {
            runSolverIterations(scene->state, true, kMove);
        }
        benchmark::DoNotOptimize(scene->mesh.verts.data());
        benchmark::ClobberMemory();
    }
    const double vertexIterations =
        static_cast<double>(scene->mesh.getNumVerts()) * static_cast<double>(scene->state.settings.iterations);
    bench.counters["vertices"] = static_cast<double>(scene->mesh.getNumVerts());
    // Seconds per (vertex-iteration x 1e-9): nanoseconds per vertex and iteration.
    bench.counters["ns_per_vertex_iteration"] = benchmark::Counter(
        vertexIterations * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_SolverAllThreads(benchmark::State& s) { runDrag(s, Runner::Solver); }
void BM_SolverOneThread(benchmark::State& s) { runDrag(s, Runner::SolverOneThread); }
void BM_SerialOracle(benchmark::State& s) { runDrag(s, Runner::Oracle); }

// 100 x 100 quads: 10,201 vertices; 316 x 316: 100,489; 1000 x 1000: 1,002,001.
#define VELMORA_DRAG_SIZES ->Arg(100)->Arg(316)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime()
BENCHMARK(BM_SerialOracle) VELMORA_DRAG_SIZES;
BENCHMARK(BM_SolverOneThread) VELMORA_DRAG_SIZES;
BENCHMARK(BM_SolverAllThreads) VELMORA_DRAG_SIZES;

}  // namespace

BENCHMARK_MAIN();
