#pragma once
// Runs the built velmora-host on a script written by a test, in a fresh folder of its own.
#include <filesystem>
#include <string>
#include <vector>

#include "sdk/Mesh.h"

namespace velmora::host::testing {

struct HostRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// A new empty folder for one test under the system's temporary folder.
std::filesystem::path freshFolder(const std::string& name);

// Writes `script` to dir/name and runs `velmora-host --plugins PLUGINS [extra] run dir/name`.
HostRun runScript(const std::filesystem::path& dir, const std::string& script, const std::string& name = "test.vms",
                  const std::string& extraArgs = "");

// Reads a mesh file or fails the calling test.
Mesh readMeshOrFail(const std::filesystem::path& path);

// Whole file contents ("" when missing).
std::string fileBytes(const std::filesystem::path& path);

// Count of pixels of exactly this colour in a PNG, and their mean position.
struct ColourCount {
    int count = 0;
    double meanX = 0.0, meanY = 0.0;
};
ColourCount countColour(const std::filesystem::path& png, int r, int g, int b);

}  // namespace velmora::host::testing
