#include "viewer/SavePath.h"

#include <cctype>
#include <string>
#include <system_error>

namespace velmora::viewer {

std::filesystem::path chooseSavePath(const std::filesystem::path& source) {
    std::string ext = source.extension().string();
    std::string lower = ext;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower != ".obj" && lower != ".ply") ext = ".ply";
    const std::filesystem::path folder = source.parent_path();
    const std::string stem = source.stem().string().empty() ? std::string("mesh") : source.stem().string();
    std::error_code ec;
    for (int n = 1;; ++n) {
        std::string name = stem;
        name.append("-sculpted");
        if (n > 1) name.append("-").append(std::to_string(n));
        name.append(ext);
        const std::filesystem::path candidate = folder / name;
        // A candidate that exists, or that cannot even be checked, is skipped: never write over a
        // file the user did not ask to replace.
        if (!std::filesystem::exists(candidate, ec) && !ec && candidate != source) return candidate;
        ec.clear();
        if (n > 100000) return folder / (stem + "-sculpted-new" + ext);
    }
}

}  // namespace velmora::viewer
