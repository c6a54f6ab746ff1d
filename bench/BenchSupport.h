#pragma once
// Shared by the benchmark files: the heap-allocation counter, the scenes the benchmarks drive and
// the table of drag-event times that the summary benchmark turns into ratios.
#include <cstdint>
#include <map>
#include <string>

#include "cloth/ClothMouseProc.h"
#include "sdk/Mesh.h"

namespace velmora::bench {

// Number of calls of the global operator new (every form) since the program started, on every
// thread. The bench executable replaces the global allocation functions to count them.
std::uint64_t allocationCount();

// A flat grid of quads x quads unit quads with gentle bumps (so edges carry rest angles), centred
// on the origin. (quads + 1)^2 vertices, 2 quads^2 faces.
Mesh bumpyGrid(int quads);

// Bytes of every array the cloth state owns (capacity, not size), the solver's and the stroke
// guard's working buffers included.
std::size_t clothStateBytes(const ClothMouseProc& state);

// Mean seconds per drag event, by runner name and vertex count, filled by the drag benchmarks and
// read by the summary benchmark that runs after them. With --benchmark_repetitions each entry keeps
// its fastest repetition: on a shared machine other work only ever adds time, to the serial
// reference and to the solver alike.
std::map<std::string, std::map<int, double>>& dragTimes();
void recordDragTime(const std::string& runner, int vertices, double seconds);

// Folder of the real test meshes (the shared folder next to the repository).
std::string sharedMeshDir();

}  // namespace velmora::bench
