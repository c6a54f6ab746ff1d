#pragma once
// `velmora-host view [MESH | SCRIPT]`: the interactive viewer. A window with an OpenGL viewport
// (the host's active viewport over the window's camera) and a settings panel; the left mouse
// button drives the active command mode's mouse procedure, as the host's own viewports do.
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace velmora::viewer {

struct ViewerOptions {
    std::filesystem::path input;       // a mesh (.obj, .ply) or a script (anything else)
    std::filesystem::path pluginDir;   // empty: the default plug-in folders
    std::filesystem::path screenshot;  // where F12 writes a PNG of the window; empty: F12 does nothing
    std::filesystem::path executable;  // this program, for the default plug-in folders
    bool stats = false;                // print frame and drag-event times at the end
};

// Parses the viewer's arguments (without the program name and the `view` word):
//   [--plugins DIR] [--screenshot PATH.png] [--stats] MESH|SCRIPT
// Returns false with `error` for a missing value, an unknown option, or not exactly one input.
bool parseViewerArgs(const std::vector<std::string>& args, ViewerOptions& options, std::string& error);

// The viewer's usage text.
const char* viewerUsage();

// Runs the viewer until its window is closed. Loads the plug-ins, then the mesh (viewed from
// above and in front, framed) or runs the script (its viewport, settings and strokes), then the
// user takes over. Returns 0 after a normal close, 1 when the plug-ins, the mesh, the script or
// the window cannot be set up (reported on `err`, a script failure as "SCRIPT:LINE: what").
int runViewer(const ViewerOptions& options, std::ostream& out, std::ostream& err);
// The same on standard output and standard error (the `velmora-host view` entry point).
int runViewer(const ViewerOptions& options);

}  // namespace velmora::viewer
