#pragma once
// Where the viewer saves: next to the mesh that was loaded, under a new name, so that the input is
// never overwritten.
#include <filesystem>

namespace velmora::viewer {

// The file a first save writes for a mesh loaded from `source` (or, with no file behind the mesh,
// `source` is the folder plus the node's name): `<stem>-sculpted<ext>` in the same folder, where
// ext is the source's extension when it is .obj or .ply (any case) and .ply otherwise; if a file of
// that name exists already, `<stem>-sculpted-2<ext>`, `-3`, ... the first free name. The result is
// never `source` itself. Later saves of a session reuse the path the first one chose.
std::filesystem::path chooseSavePath(const std::filesystem::path& source);

}  // namespace velmora::viewer
