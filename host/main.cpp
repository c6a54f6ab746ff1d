// velmora-host: runs scripts of mesh loading, brush strokes, undo, saving and rendering against
// the plug-ins of a folder, headless.
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "host/HostSession.h"
#include "host/ScriptRunner.h"
#include "sdk/Interface.h"
#ifdef VELMORA_HAS_VIEWER
#include "host/viewer/Viewer.h"
#endif

namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    "usage: velmora-host [--plugins DIR] [--stats] run SCRIPT\n"
#ifdef VELMORA_HAS_VIEWER
    "       velmora-host [--plugins DIR] view [MESH | SCRIPT] [viewer options]\n"
#endif
    "       velmora-host --help | --version\n"
    "\n"
    "Runs SCRIPT, one command a line, against the plug-ins of DIR (every *.gup file).\n"
    "  --plugins DIR  plug-in folder; default: ../plugins next to this program, else the build's folder\n"
    "  --stats        print the time per drag event at the end\n"
    "Exit status: 0 success, 1 a failing script line (reported as SCRIPT:LINE: what), 2 bad usage.\n"
    "\n"
    "Commands: load \"PATH\" | create plane|box|sphere name:\"N\" width: length: height: radius: segments:\n"
    "  select \"NAME\" ... | clearSelection | delete \"NAME\" | frame\n"
    "  viewport width:W height:H eye:[x,y,z] target:[x,y,z] up:[x,y,z] fov:DEG | ortho:HEIGHT\n"
    "  INTERFACE.FUNCTION ARG ... | INTERFACE.FUNCTION()\n"
    "  press|drag|release|move [x,y] MODS | stroke MODS [x,y] [x,y] ... | stroke MODS from:[x,y] to:[x,y] steps:N\n"
    "  exitMode | undo | redo | save \"PATH\" | render \"PATH.png\" | print\n"
    "  MODS: shift ctrl alt, anywhere on the line. '--' starts a comment. Paths are relative to the script.\n";

fs::path executablePath(const char* argv0) {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) return self;
    return fs::absolute(argv0, ec);
}

}  // namespace

int main(int argc, char** argv) {
    fs::path pluginDir;
    bool stats = false;
    std::string script;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (a == "--version") {
            std::cout << "velmora-host " << VELMORA_VERSION << '\n';
            return 0;
        }
        if (a == "--stats") {
            stats = true;
        } else if (a == "--plugins") {
            if (++i >= argc) {
                std::cerr << "velmora-host: --plugins needs a folder\n" << kUsage;
                return 2;
            }
            pluginDir = argv[i];
#ifdef VELMORA_HAS_VIEWER
        } else if (a == "view") {
            velmora::viewer::ViewerOptions vo;
            std::string error;
            if (!velmora::viewer::parseViewerArgs(std::vector<std::string>(argv + i + 1, argv + argc), vo, error)) {
                std::cerr << "velmora-host: " << error << '\n' << velmora::viewer::viewerUsage();
                return 2;
            }
            if (vo.pluginDir.empty()) vo.pluginDir = pluginDir;
            vo.executable = executablePath(argv[0]);
            return velmora::viewer::runViewer(vo);
#endif
        } else if (a == "run") {
            if (++i >= argc) {
                std::cerr << "velmora-host: run needs a script\n" << kUsage;
                return 2;
            }
            if (!script.empty()) {
                std::cerr << "velmora-host: one script at a time\n";
                return 2;
            }
            script = argv[i];
        } else {
            std::cerr << "velmora-host: unknown argument '" << a << "'\n" << kUsage;
            return 2;
        }
    }
    if (script.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    if (pluginDir.empty()) pluginDir = velmora::host::choosePluginDir(executablePath(argv[0]));

    velmora::host::HostSession session;
    std::string error;
    if (!session.loadPlugins(pluginDir, error)) {
        std::cerr << "velmora-host: " << error << '\n';
        return 1;
    }
    velmora::host::RunOptions options;
    options.stats = stats;
    options.progress = isatty(STDERR_FILENO) != 0;
    const int code = velmora::host::runScriptFile(*GetCOREInterface(), script, options, std::cout, std::cerr);
    session.shutdown();
    return code;
}
