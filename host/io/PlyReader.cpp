// PLY reader: ascii, binary_little_endian and binary_big_endian. The header is read first and
// checked whole; then each element is decoded in order, the ones and properties not used skipped
// by their declared types.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "MeshIO.h"
#include "MeshIOInternal.h"

namespace velmora::io {
namespace {

using detail::kMaxCount;
using detail::parseNumber;
using detail::quoted;

enum class PlyType : std::uint8_t { None, Int8, UInt8, Int16, UInt16, Int32, UInt32, Float32, Float64 };

PlyType typeFromName(std::string_view s) {
    if (s == "char" || s == "int8") return PlyType::Int8;
    if (s == "uchar" || s == "uint8") return PlyType::UInt8;
    if (s == "short" || s == "int16") return PlyType::Int16;
    if (s == "ushort" || s == "uint16") return PlyType::UInt16;
    if (s == "int" || s == "int32") return PlyType::Int32;
    if (s == "uint" || s == "uint32") return PlyType::UInt32;
    if (s == "float" || s == "float32") return PlyType::Float32;
    if (s == "double" || s == "float64") return PlyType::Float64;
    return PlyType::None;
}

std::size_t typeSize(PlyType t) {
    switch (t) {
        case PlyType::Int8: case PlyType::UInt8: return 1;
        case PlyType::Int16: case PlyType::UInt16: return 2;
        case PlyType::Int32: case PlyType::UInt32: case PlyType::Float32: return 4;
        case PlyType::Float64: return 8;
        case PlyType::None: break;
    }
    return 0;
}

bool isInteger(PlyType t) { return t != PlyType::Float32 && t != PlyType::Float64 && t != PlyType::None; }
bool isReal(PlyType t) { return t == PlyType::Float32 || t == PlyType::Float64; }

struct Property {
    std::string name;
    PlyType type = PlyType::None;       // the scalar's type, or the list items' type
    PlyType countType = PlyType::None;  // a list's count type; None for a scalar
    std::size_t line = 0;
    bool isList() const { return countType != PlyType::None; }
};

struct Element {
    std::string name;
    std::uint64_t count = 0;
    std::vector<Property> props;
    std::size_t line = 0;
};

enum class Format { Ascii, BinaryLittle, BinaryBig };

struct Header {
    Format format = Format::Ascii;
    std::vector<Element> elements;
    std::size_t bodyOffset = 0;
    std::size_t lines = 0;  // header lines, so that ascii body lines number on from it
};

void splitTokens(std::string_view line, std::vector<std::string_view>& out) {
    out.clear();
    std::size_t i = 0;
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; };
    while (i < line.size()) {
        while (i < line.size() && space(line[i])) ++i;
        if (i >= line.size()) break;
        const std::size_t start = i;
        while (i < line.size() && !space(line[i])) ++i;
        out.push_back(line.substr(start, i - start));
    }
}

bool parseHeader(std::string_view data, const std::string& name, Header& h, std::string& error) {
    std::vector<std::string_view> tok;
    std::size_t pos = 0;
    std::size_t lineNo = 0;
    bool haveFormat = false;
    auto fail = [&](const std::string& what) {
        error = name + ":" + std::to_string(lineNo) + ": " + what;
        return false;
    };
    while (pos < data.size()) {
        std::size_t eol = data.find('\n', pos);
        const bool lastLine = eol == std::string_view::npos;
        if (lastLine) eol = data.size();
        std::string_view line = data.substr(pos, eol - pos);
        pos = lastLine ? data.size() : eol + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (lineNo == 1) {
            if (line != "ply") {
                return fail("not a PLY file (the first line must be 'ply')");
            }
            continue;
        }
        splitTokens(line, tok);
        if (tok.empty()) continue;
        const std::string_view key = tok[0];
        if (key == "comment" || key == "obj_info") continue;
        if (key == "format") {
            if (haveFormat) return fail("second format line");
            if (tok.size() != 3) return fail("format line needs a format and a version");
            if (tok[1] == "ascii") {
                h.format = Format::Ascii;
            } else if (tok[1] == "binary_little_endian") {
                h.format = Format::BinaryLittle;
            } else if (tok[1] == "binary_big_endian") {
                h.format = Format::BinaryBig;
            } else {
                return fail("unknown format " + quoted(tok[1]));
            }
            if (tok[2] != "1.0") return fail("unsupported version " + quoted(tok[2]) + " (1.0 expected)");
            haveFormat = true;
        } else if (key == "element") {
            if (!haveFormat) return fail("element before the format line");
            if (tok.size() != 3) return fail("element line needs a name and a count");
            std::uint64_t count = 0;
            if (tok[2].empty() || tok[2][0] == '-' || tok[2][0] == '+' || !parseNumber(tok[2], count)) {
                return fail("malformed element count " + quoted(tok[2]));
            }
            if (count > kMaxCount) return fail("element count " + std::string(tok[2]) + " is too large");
            for (const Element& e : h.elements) {
                if (e.name == tok[1]) return fail("element " + quoted(tok[1]) + " declared twice");
            }
            h.elements.push_back({std::string(tok[1]), count, {}, lineNo});
        } else if (key == "property") {
            if (h.elements.empty()) return fail("property before any element");
            Property p;
            p.line = lineNo;
            if (tok.size() >= 2 && tok[1] == "list") {
                if (tok.size() != 5) return fail("list property needs a count type, an item type and a name");
                p.countType = typeFromName(tok[2]);
                p.type = typeFromName(tok[3]);
                if (p.countType == PlyType::None || !isInteger(p.countType)) {
                    return fail("list count type " + quoted(tok[2]) + " is not an integer type");
                }
                if (p.type == PlyType::None) return fail("unknown type " + quoted(tok[3]));
                p.name = std::string(tok[4]);
            } else {
                if (tok.size() != 3) return fail("property line needs a type and a name");
                p.type = typeFromName(tok[1]);
                if (p.type == PlyType::None) return fail("unknown type " + quoted(tok[1]));
                p.name = std::string(tok[2]);
            }
            Element& e = h.elements.back();
            for (const Property& q : e.props) {
                if (q.name == p.name) return fail("property " + quoted(p.name) + " declared twice in element " + e.name);
            }
            e.props.push_back(std::move(p));
        } else if (key == "end_header") {
            if (tok.size() != 1) return fail("text after end_header");
            if (!haveFormat) return fail("no format line before end_header");
            h.bodyOffset = pos;
            h.lines = lineNo;
            return true;
        } else {
            return fail("unknown header line " + quoted(key));
        }
    }
    return fail("header has no end_header line (truncated header)");
}

// Binary body: values read straight from the bytes in the file's byte order.
class BinaryCursor {
public:
    static constexpr bool kLineBased = false;
    BinaryCursor(std::string_view body, bool bigEndian, const std::string& name)
        : p_(body.data()), end_(body.data() + body.size()), swap_(bigEndian != (std::endian::native == std::endian::big)),
          name_(name) {}

    std::string where(const std::string& element, std::uint64_t index) const {
        return name_ + ": " + element + " " + std::to_string(index) + ": ";
    }
    std::string whereEnd() const { return name_ + ": "; }
    // Whether `count` instances of at least their fixed size fit in what is left.
    bool fits(const Element& e) const {
        std::uint64_t minBytes = 0;
        for (const Property& p : e.props) minBytes += typeSize(p.isList() ? p.countType : p.type);
        return e.count * minBytes <= remaining();
    }
    bool listFits(std::uint64_t n, PlyType item) const { return n * typeSize(item) <= remaining(); }
    bool begin() { return true; }
    bool end(std::string&) { return true; }
    bool atEnd() const { return p_ == end_; }
    std::size_t remaining() const { return static_cast<std::size_t>(end_ - p_); }

    // Reads one value; false when the data ends first. `error` is unused: binary values are
    // always well-formed.
    bool value(PlyType t, double& out, std::string&) {
        const std::size_t n = typeSize(t);
        if (remaining() < n) return false;
        unsigned char b[8];
        std::memcpy(b, p_, n);
        p_ += n;
        if (swap_) {
            for (std::size_t i = 0; i < n / 2; ++i) std::swap(b[i], b[n - 1 - i]);
        }
        switch (t) {
            case PlyType::Int8: { std::int8_t v; std::memcpy(&v, b, 1); out = v; break; }
            case PlyType::UInt8: { out = b[0]; break; }
            case PlyType::Int16: { std::int16_t v; std::memcpy(&v, b, 2); out = v; break; }
            case PlyType::UInt16: { std::uint16_t v; std::memcpy(&v, b, 2); out = v; break; }
            case PlyType::Int32: { std::int32_t v; std::memcpy(&v, b, 4); out = v; break; }
            case PlyType::UInt32: { std::uint32_t v; std::memcpy(&v, b, 4); out = v; break; }
            case PlyType::Float32: { float v; std::memcpy(&v, b, 4); out = v; break; }
            case PlyType::Float64: { double v; std::memcpy(&v, b, 8); out = v; break; }
            case PlyType::None: return false;
        }
        return true;
    }

private:
    const char* p_;
    const char* end_;
    bool swap_;
    const std::string& name_;
};

// ASCII body: one element instance per line, values separated by white space.
class AsciiCursor {
public:
    static constexpr bool kLineBased = true;
    AsciiCursor(std::string_view body, std::size_t firstLine, const std::string& name)
        : body_(body), line_(firstLine), name_(name) {}

    std::string where(const std::string& element, std::uint64_t index) const {
        return name_ + ":" + std::to_string(line_) + ": " + element + " " + std::to_string(index) + ": ";
    }
    std::string whereEnd() const { return name_ + ":" + std::to_string(line_) + ": "; }
    // Every instance takes a line, and every value at least one character and a separator.
    bool fits(const Element& e) const {
        std::uint64_t minBytes = 2 * e.props.size();
        if (minBytes == 0) minBytes = 1;
        return e.count * minBytes <= body_.size() - pos_ + 1;
    }
    bool listFits(std::uint64_t n, PlyType) const { return n <= tok_.size() - next_; }

    // Takes the next line as the instance's values; false at the end of the data.
    bool begin() {
        if (pos_ >= body_.size()) return false;
        std::size_t eol = body_.find('\n', pos_);
        if (eol == std::string_view::npos) eol = body_.size();
        splitTokens(body_.substr(pos_, eol - pos_), tok_);
        pos_ = eol + 1;
        ++line_;
        next_ = 0;
        return true;
    }
    bool end(std::string& error) {
        if (next_ < tok_.size()) {
            error = "unexpected extra value " + quoted(tok_[next_]) + " at the end of the line";
            return false;
        }
        return true;
    }
    // Only white space may follow the last element.
    bool atEnd() {
        while (pos_ < body_.size()) {
            begin();
            if (!tok_.empty()) return false;
        }
        return true;
    }

    // Reads one value; false with `error` empty when the line has no more values, or with
    // `error` set when the value is malformed or out of its type's range.
    bool value(PlyType t, double& out, std::string& error) {
        if (next_ >= tok_.size()) return false;
        const std::string_view s = tok_[next_++];
        bool ok = false;
        if (t == PlyType::Float32) {
            float f = 0.0f;
            ok = parseNumber(s, f);
            out = f;
        } else if (t == PlyType::Float64) {
            ok = parseNumber(s, out);
        } else {
            std::int64_t v = 0;
            ok = parseNumber(s, v) && inRange(t, v);
            out = static_cast<double>(v);
        }
        if (!ok) error = "malformed number " + quoted(s);
        return ok;
    }

private:
    static bool inRange(PlyType t, std::int64_t v) {
        switch (t) {
            case PlyType::Int8: return v >= INT8_MIN && v <= INT8_MAX;
            case PlyType::UInt8: return v >= 0 && v <= UINT8_MAX;
            case PlyType::Int16: return v >= INT16_MIN && v <= INT16_MAX;
            case PlyType::UInt16: return v >= 0 && v <= UINT16_MAX;
            case PlyType::Int32: return v >= INT32_MIN && v <= INT32_MAX;
            case PlyType::UInt32: return v >= 0 && v <= UINT32_MAX;
            default: return false;
        }
    }

    std::string_view body_;
    std::size_t pos_ = 0;
    std::size_t line_;
    const std::string& name_;
    std::vector<std::string_view> tok_;
    std::size_t next_ = 0;
};

// What the vertex element's properties are used for.
enum class Role : std::uint8_t { Skip, X, Y, Z, Red, Green, Blue, Mask };

struct Decoded {
    std::vector<Point3> verts;
    std::vector<Point3> colours;
    std::vector<Face> faces;
    bool hasColours = false;
};

// The index list of a face or strip element (checked by checkIndexList), or null.
const Property* indexList(const Element& e) {
    for (const Property& p : e.props) {
        if (p.name == "vertex_indices" || (e.name == "face" && p.name == "vertex_index")) return &p;
    }
    return nullptr;
}

bool checkIndexList(const Element& e, const std::string& name, std::string& error) {
    const Property* p = indexList(e);
    if (p == nullptr) {
        error = name + ":" + std::to_string(e.line) + ": element " + e.name + " has no list property vertex_indices";
        return false;
    }
    if (!p->isList() || !isInteger(p->type)) {
        error = name + ":" + std::to_string(p->line) + ": property " + p->name + " of element " + e.name +
                (p->isList() ? " must hold integers" : " must be a list");
        return false;
    }
    return true;
}

template <typename Cursor>
bool decodeBody(Cursor& cur, const Header& h, const std::string& name, std::uint64_t vertexCount, Decoded& out,
                std::string& error) {
    std::string what;
    double v = 0.0;
    std::vector<Role> roles;

    for (const Element& e : h.elements) {
        const bool isVertex = e.name == "vertex";
        const bool isFace = e.name == "face";
        const bool isStrip = e.name == "tristrips";
        const Property* list = isFace || isStrip ? indexList(e) : nullptr;
        if (!cur.fits(e)) {
            error = name + ":" + std::to_string(e.line) + ": element " + e.name + " declares " + std::to_string(e.count) +
                    " entries, more than the rest of the file can hold (truncated data)";
            return false;
        }
        // Instances without properties take no bytes; in ascii each still takes its line.
        if (e.props.empty() && !Cursor::kLineBased) continue;
        roles.assign(e.props.size(), Role::Skip);
        bool colourMask = false;
        if (isVertex) {
            out.verts.reserve(e.count);
            for (std::size_t i = 0; i < e.props.size(); ++i) {
                const std::string& n = e.props[i].name;
                if (e.props[i].isList()) continue;
                if (n == "x") roles[i] = Role::X;
                if (n == "y") roles[i] = Role::Y;
                if (n == "z") roles[i] = Role::Z;
                if (n == "red") roles[i] = Role::Red;
                if (n == "green") roles[i] = Role::Green;
                if (n == "blue") roles[i] = Role::Blue;
                if (n == "mask") roles[i] = Role::Mask;
            }
            for (const Role r : roles) {
                if (r >= Role::Red) colourMask = true;
            }
            out.hasColours = colourMask;
            if (colourMask) out.colours.reserve(e.count);
        } else if (isFace) {
            out.faces.reserve(out.faces.size() + e.count);
        }
        // Whether the colour components are bytes (scaled by 1/255) or reals (taken as they are).
        std::uint8_t byteColour[3] = {0, 0, 0};
        for (std::size_t i = 0; i < roles.size(); ++i) {
            if (roles[i] >= Role::Red && roles[i] <= Role::Blue) {
                byteColour[static_cast<int>(roles[i]) - static_cast<int>(Role::Red)] = e.props[i].type == PlyType::UInt8;
            }
        }

        for (std::uint64_t index = 0; index < e.count; ++index) {
            if (!cur.begin()) {
                error = cur.where(e.name, index) + "file ends early (truncated data)";
                return false;
            }
            double xyz[3] = {0.0, 0.0, 0.0};
            double rgb[3] = {1.0, 1.0, 1.0};
            double mask = 0.0;
            bool haveMask = false;
            for (std::size_t pi = 0; pi < e.props.size(); ++pi) {
                const Property& p = e.props[pi];
                what.clear();
                if (!p.isList()) {
                    if (!cur.value(p.type, v, what)) {
                        error = cur.where(e.name, index) +
                                (what.empty() ? "no value for property " + p.name + " (truncated data)"
                                              : what + " for property " + p.name);
                        return false;
                    }
                    switch (roles[pi]) {
                        case Role::X: xyz[0] = v; break;
                        case Role::Y: xyz[1] = v; break;
                        case Role::Z: xyz[2] = v; break;
                        case Role::Red: rgb[0] = v; break;
                        case Role::Green: rgb[1] = v; break;
                        case Role::Blue: rgb[2] = v; break;
                        case Role::Mask: mask = v; haveMask = true; break;
                        case Role::Skip: break;
                    }
                    continue;
                }
                if (!cur.value(p.countType, v, what)) {
                    error = cur.where(e.name, index) +
                            (what.empty() ? "no count for list " + p.name + " (truncated data)"
                                          : what + " for the count of list " + p.name);
                    return false;
                }
                if (v < 0.0) {
                    error = cur.where(e.name, index) + "negative count " + std::to_string(static_cast<long long>(v)) +
                            " for list " + p.name;
                    return false;
                }
                const auto n = static_cast<std::uint64_t>(v);
                if (!cur.listFits(n, p.type)) {
                    error = cur.where(e.name, index) + "list " + p.name + " declares " + std::to_string(n) +
                            " items, more than the data holds (truncated data)";
                    return false;
                }
                const bool useIt = &p == list;
                if (useIt && isFace && n < 3) {
                    error = cur.where(e.name, index) + "face has " + std::to_string(n) + " vertices; at least 3 needed";
                    return false;
                }
                // Fan for faces, strip for tristrips: only the last two indices are kept.
                std::uint32_t first = 0;
                std::uint32_t prev = 0;
                std::uint64_t inStrip = 0;
                for (std::uint64_t k = 0; k < n; ++k) {
                    if (!cur.value(p.type, v, what)) {
                        error = cur.where(e.name, index) +
                                (what.empty() ? "list " + p.name + " ends early (truncated data)"
                                              : what + " in list " + p.name);
                        return false;
                    }
                    if (!useIt) continue;
                    if (isStrip && v == -1.0) {
                        inStrip = 0;
                        continue;
                    }
                    if (v < 0.0 || v >= static_cast<double>(vertexCount)) {
                        error = cur.where(e.name, index) + "vertex index " + std::to_string(static_cast<long long>(v)) +
                                " out of range (" + std::to_string(vertexCount) + " vertices)";
                        return false;
                    }
                    const auto idx = static_cast<std::uint32_t>(v);
                    if (out.faces.size() >= kMaxCount) {
                        error = cur.where(e.name, index) + "too many faces";
                        return false;
                    }
                    if (isFace) {
                        if (k == 0) first = idx;
                        if (k >= 2) {
                            Face f;
                            f.v[0] = first; f.v[1] = prev; f.v[2] = idx;
                            out.faces.push_back(f);
                        }
                    } else if (inStrip >= 2) {
                        // Every second triangle of a strip runs the other way round; swapping its
                        // first two corners gives the whole strip one orientation.
                        Face f;
                        if ((inStrip - 2) % 2 == 0) {
                            f.v[0] = first; f.v[1] = prev;
                        } else {
                            f.v[0] = prev; f.v[1] = first;
                        }
                        f.v[2] = idx;
                        if (first != prev && prev != idx && first != idx) out.faces.push_back(f);
                    }
                    if (isStrip) {
                        first = prev;
                        ++inStrip;
                    }
                    prev = idx;
                }
            }
            if (!cur.end(what)) {
                error = cur.where(e.name, index) + what;
                return false;
            }
            if (!isVertex) continue;
            const Point3 p(xyz[0], xyz[1], xyz[2]);
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
                error = cur.where(e.name, index) + "non-finite coordinate";
                return false;
            }
            out.verts.push_back(p);
            if (!colourMask) continue;
            Point3 c;
            if (haveMask) {
                c = Point3(static_cast<float>(mask), static_cast<float>(mask), static_cast<float>(mask));
            } else {
                for (int k = 0; k < 3; ++k) {
                    c[k] = byteColour[k] ? static_cast<float>(rgb[k]) / 255.0f : static_cast<float>(rgb[k]);
                }
            }
            if (!std::isfinite(c.x) || !std::isfinite(c.y) || !std::isfinite(c.z)) {
                error = cur.where(e.name, index) + (haveMask ? "non-finite mask" : "non-finite colour");
                return false;
            }
            out.colours.push_back(c);
        }
    }
    if (!cur.atEnd()) {
        error = cur.whereEnd() + "unexpected data after the last element";
        return false;
    }
    return true;
}

// Checks the types of the vertex properties the reader uses.
bool checkVertexElement(const Element& e, const std::string& name, std::string& error) {
    auto fail = [&](std::size_t line, const std::string& what) {
        error = name + ":" + std::to_string(line) + ": " + what;
        return false;
    };
    int colourCount = 0;
    for (const char* axis : {"x", "y", "z"}) {
        const Property* found = nullptr;
        for (const Property& p : e.props) {
            if (p.name == axis) found = &p;
        }
        if (found == nullptr) return fail(e.line, std::string("element vertex has no property ") + axis);
        if (found->isList() || !isReal(found->type)) {
            return fail(found->line, std::string("vertex property ") + axis + " must be float or double");
        }
    }
    for (const Property& p : e.props) {
        const bool colour = p.name == "red" || p.name == "green" || p.name == "blue";
        if (colour) {
            ++colourCount;
            if (p.isList() || (p.type != PlyType::UInt8 && !isReal(p.type))) {
                return fail(p.line, "vertex property " + p.name + " must be uchar, float or double");
            }
        }
        if (p.name == "mask" && (p.isList() || !isReal(p.type))) {
            return fail(p.line, "vertex property mask must be float or double");
        }
    }
    if (colourCount != 0 && colourCount != 3) {
        return fail(e.line, "element vertex has some but not all of red, green and blue");
    }
    return true;
}

}  // namespace

bool readPly(std::string_view data, const std::string& name, Mesh& mesh, std::string& error) {
    Header h;
    if (!parseHeader(data, name, h, error)) return false;
    const Element* vertexElement = nullptr;
    for (const Element& e : h.elements) {
        if (e.name == "vertex") vertexElement = &e;
    }
    if (vertexElement == nullptr) {
        error = name + ": empty mesh: no element vertex";
        return false;
    }
    if (!checkVertexElement(*vertexElement, name, error)) return false;
    bool anyFaces = false;
    for (const Element& e : h.elements) {
        if (e.name == "face" || e.name == "tristrips") {
            if (!checkIndexList(e, name, error)) return false;
            anyFaces = true;
        }
    }
    if (!anyFaces) {
        error = name + ": empty mesh: no element face or tristrips";
        return false;
    }

    Decoded d;
    const std::string_view body = data.substr(h.bodyOffset);
    bool ok = false;
    if (h.format == Format::Ascii) {
        AsciiCursor cur(body, h.lines, name);
        ok = decodeBody(cur, h, name, vertexElement->count, d, error);
    } else {
        BinaryCursor cur(body, h.format == Format::BinaryBig, name);
        ok = decodeBody(cur, h, name, vertexElement->count, d, error);
    }
    if (!ok) return false;
    if (d.verts.empty()) {
        error = name + ": empty mesh: no vertices";
        return false;
    }
    if (d.faces.empty()) {
        error = name + ": empty mesh: no faces";
        return false;
    }
    detail::commitMesh(std::move(d.verts), std::move(d.faces), d.hasColours ? &d.colours : nullptr, mesh);
    return true;
}

}  // namespace velmora::io
