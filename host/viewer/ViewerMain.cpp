// velmora-view: the interactive viewer on its own (the same as `velmora-host view`).
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "viewer/Viewer.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args.front() == "view") args.erase(args.begin());
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            std::cout << velmora::viewer::viewerUsage();
            return 0;
        }
    }
    velmora::viewer::ViewerOptions options;
    std::string error;
    if (!velmora::viewer::parseViewerArgs(args, options, error)) {
        std::cerr << "velmora-view: " << error << '\n' << velmora::viewer::viewerUsage();
        return 2;
    }
    std::error_code ec;
    options.executable = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) options.executable = std::filesystem::absolute(argv[0], ec);
    return velmora::viewer::runViewer(options);
}
