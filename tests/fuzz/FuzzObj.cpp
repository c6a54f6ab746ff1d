// libFuzzer target: the OBJ reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velmora::io::fuzz::readAndCheck(velmora::io::readObj, {reinterpret_cast<const char*>(data), size}, "fuzz.obj");
    return 0;
}
