#include "HostRun.h"

#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "host/io/MeshIO.h"

namespace velmora::host::testing {

namespace fs = std::filesystem;

namespace {

// Every folder of this process lives under one root named after the process, so that builds
// running their tests at the same time never share a folder; the root goes at exit.
struct ProcessRoot {
    fs::path path = fs::temp_directory_path() / ("velmora_host_tests_" + std::to_string(getpid()));
    ~ProcessRoot() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

}  // namespace

fs::path freshFolder(const std::string& name) {
    static ProcessRoot root;
    const fs::path dir = root.path / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::string fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

namespace {

std::string shellQuote(const std::string& s) {
    std::string r = "'";
    for (char c : s) {
        if (c == '\'') r += "'\\''";
        else r.push_back(c);
    }
    return r + "'";
}

}  // namespace

HostRun runScript(const fs::path& dir, const std::string& script, const std::string& name, const std::string& extraArgs) {
    const fs::path file = dir / name;
    {
        std::ofstream out(file, std::ios::binary);
        out << script;
    }
    const fs::path outFile = dir / (name + ".stdout");
    const fs::path errFile = dir / (name + ".stderr");
    const std::string cmd = shellQuote(VELMORA_HOST_EXE) + " --plugins " + shellQuote(VELMORA_PLUGIN_DIR) + " " +
                            extraArgs + " run " + shellQuote(file.string()) + " >" + shellQuote(outFile.string()) +
                            " 2>" + shellQuote(errFile.string());
    HostRun r;
    const int status = std::system(cmd.c_str());
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = fileBytes(outFile);
    r.err = fileBytes(errFile);
    return r;
}

Mesh readMeshOrFail(const fs::path& path) {
    Mesh m;
    std::string error;
    EXPECT_TRUE(io::readMesh(path.string(), m, error)) << error;
    return m;
}

ColourCount countColour(const fs::path& pngPath, int r, int g, int b) {
    ColourCount c;
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, pngPath.c_str())) {
        ADD_FAILURE() << "cannot read " << pngPath;
        return c;
    }
    img.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> px(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, px.data(), 0, nullptr)) {
        ADD_FAILURE() << "cannot decode " << pngPath;
        return c;
    }
    for (unsigned y = 0; y < img.height; ++y) {
        for (unsigned x = 0; x < img.width; ++x) {
            const unsigned char* p = &px[(y * img.width + x) * 3];
            if (p[0] == r && p[1] == g && p[2] == b) {
                ++c.count;
                c.meanX += x;
                c.meanY += y;
            }
        }
    }
    if (c.count > 0) {
        c.meanX /= c.count;
        c.meanY /= c.count;
    }
    return c;
}

}  // namespace velmora::host::testing
