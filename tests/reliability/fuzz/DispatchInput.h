#pragma once
// Turns fuzzer bytes into calls of a published interface: function id, a parameter list of any
// length (or none at all), each value of any type tag with any bits. Shared by the fuzz target
// and the regression test that replays what it found.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "sdk/Exceptions.h"
#include "sdk/FunctionPublishing.h"

namespace velmorafuzz {

// Largest stored iteration count for which a test stroke is run: each drag event runs that many
// solver iterations, so a count of a billion is a stall rather than a fault to look for.
constexpr int kMaxStrokeIterations = 200;

class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return pos_ >= size_; }
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint32_t word() {
        std::uint32_t w = 0;
        for (int k = 0; k < 4; ++k) w = (w << 8) | byte();
        return w;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Type tags the host knows, and some it does not.
inline ParamType2 typeFrom(std::uint8_t b) {
    constexpr ParamType2 kTypes[] = {TYPE_FLOAT, TYPE_INT,  TYPE_BOOL,         TYPE_INODE,
                                     TYPE_VOID,  TYPE_bool, TYPE_UNSPECIFIED, static_cast<ParamType2>(99)};
    return kTypes[b % 8];
}

// Up to eight calls. A call is: id byte (0..4 mostly, any short sometimes), a list byte (bit 7: no
// list at all; low bits: count 0..15), then per value a type byte and four value bytes. A node
// value is null or `node` (the host hands scripts only live nodes or null).
// Returns how many calls threw the host's OutOfRangeException; any other exception escapes.
inline int playDispatchCalls(ByteReader& in, FPInterface& target, INode* node) {
    int outOfRange = 0;
    for (int call = 0; call < 8 && !in.empty(); ++call) {
        const std::uint8_t idByte = in.byte();
        const FunctionID id = (idByte & 0x80) ? static_cast<FunctionID>(in.word()) : static_cast<FunctionID>(idByte % 6);
        const std::uint8_t listByte = in.byte();
        const bool noList = (listByte & 0x80) != 0;
        FPParams params;
        const int count = listByte & 0x0F;
        for (int k = 0; k < count; ++k) {
            FPValue v;
            v.type = typeFrom(in.byte());
            const std::uint32_t bits = in.word();
            if (v.type == TYPE_INODE) {
                v.n = (bits & 1) ? node : nullptr;
            } else {
                std::memcpy(&v.i, &bits, sizeof bits);
            }
            params.params.append(v);
        }
        FPValue result;
        try {
            target.Invoke(id, 0, result, noList ? nullptr : &params);
        } catch (const MaxSDK::Util::OutOfRangeException&) {
            ++outOfRange;
        }
    }
    return outOfRange;
}

}  // namespace velmorafuzz
