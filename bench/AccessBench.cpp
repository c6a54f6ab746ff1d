// What the edge stage's memory access alone costs on this machine, without its arithmetic: the
// floor under any edge stage that reads each record's points by index and adds its contributions
// into the vertices in record order. And whether vector gathers beat scalar loads for indexed
// reads here. One thread: these measure a core, not the parallel loop.
#include <chrono>
#include <cstdint>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "cloth/ClothMouseProc.h"
#include "sdk/Point3.h"
#include "solver/Vec4.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// Wall time since `start` per item and benchmark iteration, in ns, as the counter `name`.
void reportPer(benchmark::State& bench, const char* name, std::chrono::steady_clock::time_point start,
               std::size_t items) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    bench.counters[name] = seconds * 1e9 / (static_cast<double>(items) * static_cast<double>(bench.iterations()));
}

// The 100k grid's cloth state, whose edge records the access benchmarks walk (300,000 records).
struct EdgeAccessScene {
    Mesh mesh = velmora::bench::bumpyGrid(316);
    ClothMouseProc state;
    EdgeAccessScene() {
        state.mesh = &mesh;
        state.buildClothState();
    }
    int numRecords() const { return static_cast<int>(state.constraints.size()); }
};

// Runs pass() once per benchmark iteration and reports ns per record.
template <class Pass>
void timeRecordPasses(benchmark::State& bench, int numRecords, Pass&& pass) {
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : bench) {
        pass();
        benchmark::ClobberMemory();
    }
    reportPer(bench, "ns_per_record", start, static_cast<std::size_t>(numRecords));
}

// Per record and iteration: the five points an edge record reads (both ends, the far corner of
// face1, both face normals), one sum of them standing in for the arithmetic, and the six
// additions into the accumulators of its vertices, in record order, written the plain way (three
// floats at a time).
void BM_EdgeAccessFloor100k(benchmark::State& bench) {
    EdgeAccessScene scene;
    const EdgeConstraint* records = scene.state.constraints.data();
    const Point3* positions = scene.mesh.verts.data();
    const Point3* normals = scene.state.faceNormals.data();
    std::vector<Point3> accum(scene.mesh.verts.size());
    Point3* acc = accum.data();
    const int numRecords = scene.numRecords();
    timeRecordPasses(bench, numRecords, [&] {
        for (int c = 0; c < numRecords; ++c) {
            const EdgeConstraint& r = records[c];
            const Point3 p0 = positions[r.vert0];
            Point3 value = positions[r.vert1] - p0;
            if (!r.openEdge) value += positions[r.opposite1] + normals[r.face0] + normals[r.face1];
            acc[r.vert0] += value;
            acc[r.vert1] += value;
            if (r.openEdge) continue;
            acc[r.opposite0] += value;
            acc[r.opposite1] += value;
            acc[r.vert0] += value;
            acc[r.vert1] += value;
        }
        benchmark::DoNotOptimize(acc);
    });
}
BENCHMARK(BM_EdgeAccessFloor100k)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same access with the solver's own loads and additions: each point and normal one 16-byte
// load, each vertex's contributions added four lanes at a time into a padded accumulator, the
// edge's two sums kept in registers between their two additions. The floor under an edge stage
// laid out as ours.
void BM_EdgeAccessVectorFloor100k(benchmark::State& bench) {
    using namespace velmora::solver;
    EdgeAccessScene scene;
    const EdgeConstraint* records = scene.state.constraints.data();
    const Point3* positions = scene.mesh.verts.data();
    const Point3* normals = scene.state.faceNormals.data();
    const int lastV = scene.mesh.getNumVerts() - 1, lastF = scene.mesh.getNumFaces() - 1;
    std::vector<Float4> accum(scene.mesh.verts.size());
    Float4* acc = accum.data();
    const int numRecords = scene.numRecords();
    timeRecordPasses(bench, numRecords, [&] {
        for (int c = 0; c < numRecords; ++c) {
            const EdgeConstraint& r = records[c];
            const Vec4 p0 = loadPoint(positions, r.vert0, lastV);
            Vec4 value = loadPoint(positions, r.vert1, lastV) - p0;
            if (r.openEdge) {
                addInto(acc[r.vert0], value);
                addInto(acc[r.vert1], value);
                continue;
            }
            value = value + loadPoint(positions, r.opposite1, lastV) + loadPoint(normals, r.face0, lastF) +
                    loadPoint(normals, r.face1, lastF);
            addInto(acc[r.opposite0], value);
            addInto(acc[r.opposite1], value);
            ((Vec4::load(acc[r.vert0]) + value) + value).store(acc[r.vert0]);
            ((Vec4::load(acc[r.vert1]) + value) + value).store(acc[r.vert1]);
        }
        benchmark::DoNotOptimize(acc);
    });
}
BENCHMARK(BM_EdgeAccessVectorFloor100k)->Unit(benchmark::kMillisecond)->UseRealTime();


// Indexed reads of floats (indices within a 1.2 MB table, as a 100k mesh's positions): scalar
// loads, and 8- and 16-lane gathers where the processor has them. ns per element read.
std::vector<int> gatherIndices() {
    std::vector<int> idx(1 << 16);
    std::mt19937 random(7);
    for (int& i : idx) i = static_cast<int>(random() % 300000u);
    return idx;
}

void BM_IndexedLoadScalar(benchmark::State& bench) {
    const std::vector<float> table(300000, 1.0f);
    const std::vector<int> idx = gatherIndices();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : bench) {
        float a = 0.0f, b = 0.0f;
        for (std::size_t i = 0; i < idx.size(); i += 2) {
            a += table[static_cast<std::size_t>(idx[i])];
            b += table[static_cast<std::size_t>(idx[i + 1])];
        }
        benchmark::DoNotOptimize(a + b);
    }
    reportPer(bench, "ns_per_element", start, idx.size());
}
BENCHMARK(BM_IndexedLoadScalar);

#if defined(__x86_64__)
__attribute__((target("avx2"))) float gather8(const float* table, const int* idx, std::size_t n) {
    __m256 acc = _mm256_setzero_ps();
    for (std::size_t i = 0; i < n; i += 8) {
        const __m256i ix = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(idx + i));
        acc = _mm256_add_ps(acc, _mm256_mask_i32gather_ps(_mm256_setzero_ps(), table, ix,
                                                          _mm256_castsi256_ps(_mm256_set1_epi32(-1)), 4));
    }
    alignas(32) float lanes[8];
    _mm256_store_ps(lanes, acc);
    return lanes[0];
}

__attribute__((target("avx512f"))) float gather16(const float* table, const int* idx, std::size_t n) {
    __m512 acc = _mm512_setzero_ps();
    for (std::size_t i = 0; i < n; i += 16) {
        const __m512i ix = _mm512_loadu_si512(idx + i);
        acc = _mm512_add_ps(acc, _mm512_mask_i32gather_ps(_mm512_setzero_ps(), 0xffff, ix, table, 4));
    }
    alignas(64) float lanes[16];
    _mm512_store_ps(lanes, acc);
    return lanes[0];
}

void BM_IndexedLoadGather(benchmark::State& bench) {
    const int lanes = static_cast<int>(bench.range(0));
    if ((lanes == 8 && !__builtin_cpu_supports("avx2")) || (lanes == 16 && !__builtin_cpu_supports("avx512f"))) {
        bench.SkipWithError("the processor has no gather of this width");
        return;
    }
    const std::vector<float> table(300000, 1.0f);
    const std::vector<int> idx = gatherIndices();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : bench) {
        benchmark::DoNotOptimize(lanes == 8 ? gather8(table.data(), idx.data(), idx.size())
                                            : gather16(table.data(), idx.data(), idx.size()));
    }
    reportPer(bench, "ns_per_element", start, idx.size());
}
BENCHMARK(BM_IndexedLoadGather)->Arg(8)->Arg(16);
#endif

}  // namespace
