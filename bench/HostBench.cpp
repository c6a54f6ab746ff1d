// The host-side costs of the brush: the cloth-state build of a 1M-vertex mesh (edge list
// included), a pick ray against a 2M-face mesh, the brush weights of 1M vertices, and the memory
// the cloth state holds per vertex.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "cloth/ClothMouseProc.h"
#include "sdk/AdjEdgeList.h"
#include "sdk/HostRelease.h"
#include "sdk/Parallel.h"
#include "solver/Solver.h"

namespace {

// 1000 x 1000 quads: 1,002,001 vertices, 2,000,000 faces, 3,001,000 edges.
constexpr int kMillionQuads = 1000;

const Mesh& millionGrid() {
    static const Mesh mesh = velmora::bench::bumpyGrid(kMillionQuads);
    return mesh;
}

void BM_BuildClothState1M(benchmark::State& bench) {
    Mesh mesh = millionGrid();
    ClothMouseProc state;
    state.mesh = &mesh;
    for (auto _ : bench) {
        state.buildClothState();
        benchmark::DoNotOptimize(state.constraints.data());
    }
    bench.counters["vertices"] = mesh.getNumVerts();
    bench.counters["edges"] = static_cast<double>(state.constraints.size());
}
BENCHMARK(BM_BuildClothState1M)->Unit(benchmark::kMillisecond)->UseRealTime();

// The edge list alone, the part of the build that comes from the host.
void BM_AdjEdgeList1M(benchmark::State& bench) {
    Mesh mesh = millionGrid();
    for (auto _ : bench) {
#if MAX_RELEASE >= 24000
        AdjEdgeList list(mesh, 0);
#else
        AdjEdgeList list(mesh);
#endif
        benchmark::DoNotOptimize(list.edges.Count());
    }
}
BENCHMARK(BM_AdjEdgeList1M)->Unit(benchmark::kMillisecond)->UseRealTime();

// A pick straight down onto the middle of the 2M-face grid, with one and two threads.
void BM_IntersectRay2MFaces(benchmark::State& bench) {
    velmora::parallel::ThreadLimit limit(static_cast<int>(bench.range(0)));
    const Mesh& mesh = millionGrid();
    Ray ray;
    ray.p = Point3(0.25f, 0.25f, 50.0f);
    ray.dir = Point3(0.0f, 0.0f, -1.0f);
    int hits = 0;
    for (auto _ : bench) {
        float at = 0.0f;
        Point3 normal;
        hits += mesh.IntersectRay(ray, at, normal);
        benchmark::DoNotOptimize(at);
    }
    bench.counters["faces"] = mesh.getNumFaces();
    if (hits != static_cast<int>(bench.iterations())) bench.SkipWithError("the ray missed the grid");
}
BENCHMARK(BM_IntersectRay2MFaces)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ComputeBrushWeights1M(benchmark::State& bench) {
    velmora::parallel::ThreadLimit limit(static_cast<int>(bench.range(0)));
    Mesh mesh = millionGrid();
    ClothMouseProc state;
    state.mesh = &mesh;
    state.buildClothState();
    state.brushFrame.SetTrans(Point3(0.0f, 0.0f, 0.0f));
    for (auto _ : bench) {
        computeBrushWeights(state);
        benchmark::DoNotOptimize(state.brushWeights.data());
    }
    bench.counters["vertices"] = mesh.getNumVerts();
}
BENCHMARK(BM_ComputeBrushWeights1M)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Bytes of the cloth state per vertex, solver and stroke-guard buffers included, after a build
// (and after a drag event, which must not grow anything). The mesh's own arrays are reported
// apart: the host owns them.
void BM_ClothStateMemory(benchmark::State& bench) {
    const int quads = static_cast<int>(bench.range(0));
    Mesh mesh = velmora::bench::bumpyGrid(quads);
    ClothMouseProc state;
    state.mesh = &mesh;
    state.buildClothState();
    for (auto _ : bench) {
        runSolverIterations(state, true, Point3(0.0f, 0.0f, 0.01f));
    }
    const double v = mesh.getNumVerts();
    bench.counters["state_bytes_per_vertex"] = static_cast<double>(velmora::bench::clothStateBytes(state)) / v;
    bench.counters["mesh_bytes_per_vertex"] =
        static_cast<double>(mesh.verts.capacity() * sizeof(Point3) + mesh.faces.capacity() * sizeof(Face) +
                            mesh.vertCol.capacity() * sizeof(VertColor) + mesh.vcFace.capacity() * sizeof(TVFace)) /
        v;
    bench.counters["vertices"] = v;
}
BENCHMARK(BM_ClothStateMemory)->Arg(316)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
