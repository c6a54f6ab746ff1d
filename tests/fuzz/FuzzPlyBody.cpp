// libFuzzer target: the PLY element decoding behind a valid header. Mutating whole files mostly
// breaks the header; here the first three bytes choose one of a few headers and the element
// counts, and the rest is the body, so the fuzzer spends its time in the binary and ascii decoders,
// the list handling and the triangle strips.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"

namespace {

const char* const kFormats[] = {"binary_little_endian", "binary_big_endian", "ascii"};

std::string header(std::uint8_t select, unsigned vertices, unsigned faces) {
    std::string h = "ply\nformat ";
    h += kFormats[select % 3];
    h += " 1.0\nelement vertex " + std::to_string(vertices) + "\n";
    switch ((select / 3) % 4) {
        case 0:
            h += "property float x\nproperty float y\nproperty float z\n"
                 "element face " + std::to_string(faces) + "\nproperty list uchar int vertex_indices\n";
            break;
        case 1:
            h += "property float x\nproperty float y\nproperty float z\nproperty uchar red\nproperty uchar green\n"
                 "property uchar blue\nproperty float mask\n"
                 "element face " + std::to_string(faces) + "\nproperty list uchar uint vertex_indices\n";
            break;
        case 2:
            h += "property float x\nproperty float y\nproperty float z\n"
                 "element tristrips " + std::to_string(faces) + "\nproperty list int int vertex_indices\n";
            break;
        default:
            h += "property list uchar short skip\nproperty double x\nproperty double y\nproperty double z\n"
                 "property float red\nproperty float green\nproperty float blue\n"
                 "element edge 1\nproperty int a\nproperty list ushort char b\n"
                 "element face " + std::to_string(faces) + "\nproperty uchar flags\nproperty list ushort short vertex_index\n"
                 "element tristrips 1\nproperty list uint int vertex_indices\n";
            break;
    }
    return h + "end_header\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::string file = header(data[0], data[1] % 16u, data[2] % 16u) +
                             std::string(reinterpret_cast<const char*>(data) + 3, size - 3);
    velmora::io::fuzz::readAndCheck(velmora::io::readPly, file, "fuzz.ply");
    return 0;
}
