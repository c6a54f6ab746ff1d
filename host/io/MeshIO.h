#pragma once
// Mesh files of the host application: OBJ and PLY in, OBJ and binary PLY out.
//
// Readers are strict: anything they do not understand is an error naming the file and the line
// (or, in binary PLY, the element and its index), and the mesh given to them is left untouched.
// Counts that a file declares are checked against the bytes that follow before anything is
// allocated, so a short file cannot make the reader allocate gigabytes.
#include <string>
#include <string_view>

#include "sdk/Mesh.h"

namespace velmora::io {

// Reads an OBJ or PLY file (chosen by extension, case-insensitive) into `mesh`, replacing its
// whole contents only on success.
// OBJ: `v x y z` with optional `r g b` (on every vertex or on none), `f` with 1-based or negative
// (relative) indices in any of the `v`, `v/vt`, `v//vn`, `v/vt/vn` forms; vn, vt, g, o, s, usemtl,
// mtllib and comments are ignored, any other statement is an error. A face may refer only to
// vertices defined before it.
// PLY: ascii, binary_little_endian or binary_big_endian; vertex x y z float or double; optional
// red green blue (uchar, scaled by 1/255, or float/double) and float `mask` (preferred: the colour
// becomes (m, m, m)); element face (list vertex_indices or vertex_index) and element tristrips
// (list vertex_indices, -1 restarts a strip, every second triangle flipped so the strip keeps one
// orientation, triangles that repeat a vertex skipped); other elements and properties are skipped
// by their declared types. Vertex colours, when the file has them, become map channel 0 with
// one colour vertex per mesh vertex and colour faces equal to the geometry faces; without colours
// the mesh has no map channel 0. Polygons are fan-triangulated. On failure returns false, leaves
// `mesh` untouched and sets `error` to "PATH:LINE: what is wrong" (line where the format has
// lines; binary PLY names the element and index instead).
bool readMesh(const std::string& path, Mesh& mesh, std::string& error);

// Writes `mesh` as OBJ (`v x y z r g b`, every float with 9 significant digits so that it reads back
// bit-identically) or binary little-endian PLY (float x y z, uchar red green blue, and the exact
// mask as the float vertex property `mask`), chosen by extension. A vertex's colour is that of its
// corner in the highest-numbered face that uses it (as the brush reads its mask); a vertex in no
// face keeps its own colour vertex (same index) when there is one; everything is white when the
// mesh has no colour channel. The mask is the red component of that colour.
// The file is written to a temporary file in the same folder and renamed over `path`, so a failure
// never leaves a half-written file and an existing file stays as it was. Refuses (false + error,
// nothing written) a mesh that could not be read back: no vertices or no faces, a face index out of
// range, a non-finite coordinate or colour, or a colour channel whose faces do not match.
bool writeMesh(const std::string& path, const Mesh& mesh, std::string& error);

// Parse a whole file held in memory (used by readMesh and by the fuzzers). `name` stands for the
// path in messages. Same contract as readMesh otherwise.
bool readObj(std::string_view data, const std::string& name, Mesh& mesh, std::string& error);
bool readPly(std::string_view data, const std::string& name, Mesh& mesh, std::string& error);

}  // namespace velmora::io
