// libFuzzer target: the PLY reader on arbitrary bytes, header included (ascii and binary seeds).
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velmora::io::fuzz::readAndCheck(velmora::io::readPly, {reinterpret_cast<const char*>(data), size}, "fuzz.ply");
    return 0;
}
