#include "host/ScriptParser.h"

#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <optional>
#include <system_error>

namespace velmora::host {
namespace {

struct Token {
    enum class Kind { Word, Value, Option };
    Kind kind = Kind::Word;
    std::string word;        // Word: the word; Option: the option's name
    bool parens = false;     // Word written as `word()`
    ScriptValue value;       // Value, Option
};

struct Failure {
    std::string message;
};

bool isIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isIdentChar(char c) { return isIdentStart(c) || isDigit(c); }
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

std::string quoted(std::string_view s) {
    std::string r;
    r.reserve(s.size() + 2);
    r.push_back('\'');
    r.append(s);
    r.push_back('\'');
    return r;
}

class Lexer {
public:
    explicit Lexer(std::string_view line) : s_(line) {}

    // Splits the whole line; on a lexical fault returns the message in `fail`.
    std::vector<Token> run(std::optional<Failure>& fail) {
        std::vector<Token> tokens;
        while (!fail) {
            skipSpace();
            if (atEnd() || atComment()) break;
            Token t;
            if (!next(t, fail)) break;
            tokens.push_back(std::move(t));
        }
        return tokens;
    }

private:
    bool atEnd() const { return i_ >= s_.size(); }
    char peek(size_t k = 0) const { return i_ + k < s_.size() ? s_[i_ + k] : '\0'; }
    bool atComment() const { return peek() == '-' && peek(1) == '-'; }
    void skipSpace() { while (!atEnd() && isSpace(peek())) ++i_; }
    // A token must be followed by space, a comment or the end of the line.
    bool atTokenEnd() const { return atEnd() || isSpace(peek()) || atComment(); }

    bool next(Token& t, std::optional<Failure>& fail) {
        const char c = peek();
        if (isIdentStart(c)) return word(t, fail);
        if (c == '"' || c == '[' || isDigit(c) || c == '+' || c == '-' || c == '.') {
            t.kind = Token::Kind::Value;
            return value(t.value, fail) && requireEnd(fail);
        }
        fail = Failure{"unexpected character " + quoted(std::string_view(&s_[i_], 1))};
        return false;
    }

    bool requireEnd(std::optional<Failure>& fail) {
        if (atTokenEnd()) return true;
        const size_t start = i_;
        while (!atEnd() && !isSpace(peek())) ++i_;
        fail = Failure{"unexpected text " + quoted(s_.substr(start, i_ - start)) + " right after a value"};
        return false;
    }

    bool word(Token& t, std::optional<Failure>& fail) {
        const size_t start = i_;
        while (!atEnd() && (isIdentChar(peek()) || peek() == '.')) ++i_;
        t.word = std::string(s_.substr(start, i_ - start));
        if (peek() == ':') {
            ++i_;
            skipSpace();
            if (atEnd() || atComment()) {
                fail = Failure{"option " + quoted(t.word) + " has no value"};
                return false;
            }
            t.kind = Token::Kind::Option;
            if (isIdentStart(peek())) {
                // Only true and false are bare words among values.
                const size_t vs = i_;
                while (!atEnd() && isIdentChar(peek())) ++i_;
                const std::string_view w = s_.substr(vs, i_ - vs);
                if (w != "true" && w != "false") {
                    fail = Failure{"option " + quoted(t.word) + " has a value that is not a string, number, "
                                   "true, false or point: " + quoted(w)};
                    return false;
                }
                t.value.kind = ScriptValue::Kind::Bool;
                t.value.boolean = (w == "true");
                return requireEnd(fail);
            }
            return value(t.value, fail) && requireEnd(fail);
        }
        if (peek() == '(') {
            ++i_;
            if (peek() != ')') {
                fail = Failure{"expected ')' after " + quoted(t.word + "(") +
                               ": arguments follow the parentheses-free form, separated by spaces"};
                return false;
            }
            ++i_;
            t.parens = true;
        }
        if (!atTokenEnd()) {
            const size_t bad = i_;
            while (!atEnd() && !isSpace(peek())) ++i_;
            fail = Failure{"unexpected text " + quoted(s_.substr(bad, i_ - bad)) + " after " + quoted(t.word)};
            return false;
        }
        if (t.word == "true" || t.word == "false") {
            t.kind = Token::Kind::Value;
            t.value.kind = ScriptValue::Kind::Bool;
            t.value.boolean = (t.word == "true");
        }
        return true;
    }

    bool value(ScriptValue& v, std::optional<Failure>& fail) {
        const char c = peek();
        if (c == '"') return string(v, fail);
        if (c == '[') return point(v, fail);
        return number(v, fail);
    }

    bool string(ScriptValue& v, std::optional<Failure>& fail) {
        ++i_;  // opening quote
        v.kind = ScriptValue::Kind::String;
        while (!atEnd()) {
            const char c = peek();
            if (c == '"') {
                ++i_;
                return true;
            }
            if (c == '\\') {
                const char e = peek(1);
                if (e != '"' && e != '\\') {
                    fail = Failure{"unknown escape in string: only \\\" and \\\\ are allowed"};
                    return false;
                }
                v.text.push_back(e);
                i_ += 2;
                continue;
            }
            v.text.push_back(c);
            ++i_;
        }
        fail = Failure{"unterminated string: missing closing '\"'"};
        return false;
    }

    // Reads a decimal literal: [+-] digits [. digits] [e [+-] digits] (digits on at least one side
    // of the point). Parsing is locale-independent.
    bool number(ScriptValue& v, std::optional<Failure>& fail) {
        const size_t start = i_;
        bool negative = false;
        if (peek() == '+' || peek() == '-') {
            negative = peek() == '-';
            ++i_;
        }
        const size_t body = i_;
        size_t intDigits = 0, fracDigits = 0;
        while (isDigit(peek())) { ++i_; ++intDigits; }
        bool integer = true;
        if (peek() == '.') {
            integer = false;
            ++i_;
            while (isDigit(peek())) { ++i_; ++fracDigits; }
        }
        bool ok = intDigits + fracDigits > 0;
        if (ok && (peek() == 'e' || peek() == 'E')) {
            integer = false;
            ++i_;
            if (peek() == '+' || peek() == '-') ++i_;
            size_t expDigits = 0;
            while (isDigit(peek())) { ++i_; ++expDigits; }
            ok = expDigits > 0;
        }
        // The literal ends at space, a comment, the end, or a point's ',' / ']'.
        const bool ends = atEnd() || isSpace(peek()) || atComment() || peek() == ',' || peek() == ']';
        if (!ok || !ends) {
            while (!atEnd() && !isSpace(peek()) && peek() != ',' && peek() != ']') ++i_;
            fail = Failure{"malformed number " + quoted(s_.substr(start, i_ - start))};
            return false;
        }
        const std::string_view digits = s_.substr(body, i_ - body);
        double d = 0.0;
        const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), d);
        if (r.ec != std::errc() || r.ptr != digits.data() + digits.size() || !std::isfinite(d)) {
            fail = Failure{"number out of range " + quoted(s_.substr(start, i_ - start))};
            return false;
        }
        v.kind = ScriptValue::Kind::Number;
        v.text = std::string(s_.substr(start, i_ - start));
        v.number = negative ? -d : d;
        v.isInteger = integer && v.number >= INT_MIN && v.number <= INT_MAX;
        return true;
    }

    bool point(ScriptValue& v, std::optional<Failure>& fail) {
        const size_t start = i_;
        ++i_;  // '['
        v.kind = ScriptValue::Kind::Point;
        v.dimensions = 0;
        while (true) {
            skipSpace();
            if (v.dimensions == 3) {
                fail = Failure{"a point has 2 or 3 components"};
                return false;
            }
            ScriptValue c;
            if (!(isDigit(peek()) || peek() == '+' || peek() == '-' || peek() == '.')) {
                fail = Failure{"expected a number in point " + quoted(rest(start))};
                return false;
            }
            if (!number(c, fail)) return false;
            v.point[static_cast<size_t>(v.dimensions++)] = c.number;
            skipSpace();
            if (peek() == ',') { ++i_; continue; }
            if (peek() == ']') { ++i_; break; }
            fail = Failure{"expected ',' or ']' in point " + quoted(rest(start))};
            return false;
        }
        if (v.dimensions < 2) {
            fail = Failure{"a point has 2 or 3 components"};
            return false;
        }
        return true;
    }

    std::string_view rest(size_t start) const {
        size_t e = start;
        while (e < s_.size() && s_[e] != ']' && !(s_[e] == '-' && e + 1 < s_.size() && s_[e + 1] == '-')) ++e;
        if (e < s_.size() && s_[e] == ']') ++e;
        return s_.substr(start, e - start);
    }

    std::string_view s_;
    size_t i_ = 0;
};

const char* kindName(ScriptValue::Kind k) {
    switch (k) {
    case ScriptValue::Kind::String: return "a string";
    case ScriptValue::Kind::Number: return "a number";
    case ScriptValue::Kind::Bool: return "true/false";
    case ScriptValue::Kind::Point: return "a point";
    }
    return "a value";
}

std::string describe(const Token& t) {
    switch (t.kind) {
    case Token::Kind::Word: return "word " + quoted(t.word);
    case Token::Kind::Option: return "option " + quoted(t.word + ":");
    case Token::Kind::Value:
        switch (t.value.kind) {
        case ScriptValue::Kind::String: return "string \"" + t.value.text + "\"";
        case ScriptValue::Kind::Number: return "number " + t.value.text;
        case ScriptValue::Kind::Bool: return t.value.boolean ? "value true" : "value false";
        case ScriptValue::Kind::Point: return "point";
        }
    }
    return "token";
}

// Checks the options of a line against the allowed names and for duplicates.
std::optional<Failure> checkOptions(const std::string& command, const std::vector<Token>& tokens,
                                    std::initializer_list<std::string_view> allowed) {
    std::vector<std::string> seen;
    for (const Token& t : tokens) {
        if (t.kind != Token::Kind::Option) continue;
        bool known = false;
        for (std::string_view a : allowed) known = known || a == t.word;
        if (!known) {
            std::string list;
            for (std::string_view a : allowed) list += (list.empty() ? "" : ", ") + std::string(a);
            return Failure{command + " has no option " + quoted(t.word) + " (options: " + list + ")"};
        }
        for (const std::string& s : seen) {
            if (s == t.word) return Failure{"option " + quoted(t.word) + " given twice"};
        }
        seen.push_back(t.word);
    }
    return std::nullopt;
}

// A size option: a finite number, positive also after rounding to float.
std::optional<Failure> sizeOption(const Token& t, double& out) {
    const ScriptValue& v = t.value;
    if (v.kind != ScriptValue::Kind::Number)
        return Failure{t.word + " must be a number, got " + kindName(v.kind)};
    const float f = static_cast<float>(v.number);
    if (!(v.number > 0.0) || !(f > 0.0f) || v.number > FLT_MAX)
        return Failure{t.word + " must be a positive finite size, got " + v.text};
    out = v.number;
    return std::nullopt;
}

std::optional<Failure> intOption(const Token& t, int lo, int hi, int& out) {
    const ScriptValue& v = t.value;
    if (v.kind != ScriptValue::Kind::Number || !v.isInteger || v.number < lo || v.number > hi) {
        return Failure{t.word + " must be an integer from " + std::to_string(lo) + " to " + std::to_string(hi) +
                       ", got " + (v.kind == ScriptValue::Kind::Number ? v.text : std::string(kindName(v.kind)))};
    }
    out = static_cast<int>(v.number);
    return std::nullopt;
}

std::optional<Failure> point3Option(const Token& t, std::array<double, 3>& out) {
    const ScriptValue& v = t.value;
    if (v.kind != ScriptValue::Kind::Point || v.dimensions != 3)
        return Failure{t.word + " must be a point [x,y,z]"};
    for (double c : v.point) {
        if (std::fabs(c) > FLT_MAX) return Failure{t.word + " has a component out of range"};
    }
    out = v.point;
    return std::nullopt;
}

std::optional<Failure> screenPoint(const ScriptValue& v, const std::string& what, ScreenPoint& out) {
    if (v.kind != ScriptValue::Kind::Point || v.dimensions != 2)
        return Failure{what + " must be a window point [x,y]"};
    for (int k = 0; k < 2; ++k) {
        if (std::fabs(v.point[static_cast<size_t>(k)]) > kMaxPixelCoordinate)
            return Failure{what + " is outside the range of window pixels"};
    }
    out.x = static_cast<int>(std::lround(v.point[0]));
    out.y = static_cast<int>(std::lround(v.point[1]));
    return std::nullopt;
}

bool isModifier(const Token& t) {
    return t.kind == Token::Kind::Word && !t.parens && (t.word == "shift" || t.word == "ctrl" || t.word == "alt");
}

int modifierBit(const std::string& w) {
    if (w == "shift") return kModShift;
    if (w == "ctrl") return kModCtrl;
    return kModAlt;
}

class CommandBuilder {
public:
    CommandBuilder(const std::string& name, std::vector<Token> args) : name_(name), args_(std::move(args)) {}

    std::optional<Failure> build(Command& c) {
        if (name_ == "load") return path(c, CommandKind::Load);
        if (name_ == "save") return path(c, CommandKind::Save);
        if (name_ == "render") return render(c);
        if (name_ == "create") return create(c);
        if (name_ == "select") return names(c, CommandKind::Select);
        if (name_ == "delete") return names(c, CommandKind::Delete);
        if (name_ == "clearSelection") return bare(c, CommandKind::ClearSelection);
        if (name_ == "frame") return bare(c, CommandKind::Frame);
        if (name_ == "exitMode") return bare(c, CommandKind::ExitMode);
        if (name_ == "undo") return bare(c, CommandKind::Undo);
        if (name_ == "redo") return bare(c, CommandKind::Redo);
        if (name_ == "print") return bare(c, CommandKind::Print);
        if (name_ == "viewport") return viewport(c);
        if (name_ == "press") return mouse(c, CommandKind::Press);
        if (name_ == "drag") return mouse(c, CommandKind::Drag);
        if (name_ == "release") return mouse(c, CommandKind::Release);
        if (name_ == "move") return mouse(c, CommandKind::Move);
        if (name_ == "stroke") return stroke(c);
        return Failure{"unknown command " + quoted(name_)};
    }

private:
    std::optional<Failure> unexpected(const Token& t) const {
        return Failure{name_ + ": unexpected " + describe(t)};
    }

    std::optional<Failure> bare(Command& c, CommandKind k) {
        if (!args_.empty()) return Failure{name_ + " takes no arguments, got " + describe(args_.front())};
        c.kind = k;
        return std::nullopt;
    }

    std::optional<Failure> path(Command& c, CommandKind k) {
        if (args_.size() != 1 || args_[0].kind != Token::Kind::Value ||
            args_[0].value.kind != ScriptValue::Kind::String) {
            return Failure{name_ + " takes one quoted path, as in " + name_ + " \"file.ply\""};
        }
        if (args_[0].value.text.empty()) return Failure{name_ + ": the path is empty"};
        if (args_[0].value.text.find('\0') != std::string::npos) return Failure{name_ + ": the path contains a NUL"};
        c.kind = k;
        c.path = args_[0].value.text;
        return std::nullopt;
    }

    std::optional<Failure> render(Command& c) {
        if (auto f = path(c, CommandKind::Render)) return f;
        const std::string& p = c.path;
        std::string ext = p.size() >= 4 ? p.substr(p.size() - 4) : p;
        for (char& ch : ext) ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
        if (ext != ".png" || p.size() <= 4 || p[p.size() - 5] == '/')
            return Failure{"render writes PNG pictures: the path must end in .png, got \"" + p + "\""};
        return std::nullopt;
    }

    std::optional<Failure> names(Command& c, CommandKind k) {
        if (args_.empty()) return Failure{name_ + " takes one or more quoted node names"};
        for (const Token& t : args_) {
            if (t.kind != Token::Kind::Value || t.value.kind != ScriptValue::Kind::String)
                return Failure{name_ + " takes quoted node names, got " + describe(t)};
            c.names.push_back(t.value.text);
        }
        c.kind = k;
        return std::nullopt;
    }

    std::optional<Failure> create(Command& c) {
        if (args_.empty() || args_[0].kind != Token::Kind::Word || args_[0].parens)
            return Failure{"create needs a primitive: plane, box or sphere"};
        CreateArgs& a = c.create;
        const std::string& prim = args_[0].word;
        if (prim == "plane") {
            a.primitive = PrimitiveKind::Plane;
            a.name = "Plane";
        } else if (prim == "box") {
            a.primitive = PrimitiveKind::Box;
            a.name = "Box";
        } else if (prim == "sphere") {
            a.primitive = PrimitiveKind::Sphere;
            a.name = "Sphere";
        } else {
            return Failure{"create: unknown primitive " + quoted(prim) + " (plane, box or sphere)"};
        }
        const std::vector<Token> rest(args_.begin() + 1, args_.end());
        std::optional<Failure> f;
        switch (a.primitive) {
        case PrimitiveKind::Plane: f = checkOptions("create plane", rest, {"name", "width", "length", "segments"}); break;
        case PrimitiveKind::Box: f = checkOptions("create box", rest, {"name", "width", "length", "height", "segments"}); break;
        case PrimitiveKind::Sphere: f = checkOptions("create sphere", rest, {"name", "radius", "segments"}); break;
        }
        if (f) return f;
        for (const Token& t : rest) {
            if (t.kind != Token::Kind::Option) return unexpected(t);
            if (t.word == "name") {
                if (t.value.kind != ScriptValue::Kind::String || t.value.text.empty())
                    return Failure{"name must be a non-empty quoted string"};
                a.name = t.value.text;
            } else if (t.word == "width") {
                f = sizeOption(t, a.width);
            } else if (t.word == "length") {
                f = sizeOption(t, a.length);
            } else if (t.word == "height") {
                f = sizeOption(t, a.height);
            } else if (t.word == "radius") {
                f = sizeOption(t, a.radius);
            } else if (t.word == "segments") {
                f = intOption(t, 1, INT_MAX, a.segments);
            }
            if (f) return f;
        }
        c.kind = CommandKind::Create;
        return std::nullopt;
    }

    std::optional<Failure> viewport(Command& c) {
        if (args_.empty()) return Failure{"viewport needs at least one option: width, height, eye, target, up, fov or ortho"};
        if (auto f = checkOptions("viewport", args_, {"width", "height", "eye", "target", "up", "fov", "ortho"})) return f;
        ViewportArgs& v = c.viewport;
        for (const Token& t : args_) {
            if (t.kind != Token::Kind::Option) return unexpected(t);
            std::optional<Failure> f;
            if (t.word == "width") {
                v.hasWidth = true;
                f = intOption(t, 1, kMaxViewportSide, v.width);
            } else if (t.word == "height") {
                v.hasHeight = true;
                f = intOption(t, 1, kMaxViewportSide, v.height);
            } else if (t.word == "eye") {
                v.hasEye = true;
                f = point3Option(t, v.eye);
            } else if (t.word == "target") {
                v.hasTarget = true;
                f = point3Option(t, v.target);
            } else if (t.word == "up") {
                v.hasUp = true;
                f = point3Option(t, v.up);
                if (!f && v.up[0] == 0.0 && v.up[1] == 0.0 && v.up[2] == 0.0) f = Failure{"up must not be [0,0,0]"};
            } else if (t.word == "fov") {
                v.hasFov = true;
                if (t.value.kind != ScriptValue::Kind::Number || !(t.value.number > 0.0) || !(t.value.number < 180.0))
                    f = Failure{"fov must be a number of degrees between 0 and 180 (exclusive)"};
                v.fov = t.value.number;
            } else if (t.word == "ortho") {
                v.hasOrtho = true;
                f = sizeOption(t, v.ortho);
            }
            if (f) return f;
        }
        if (v.hasFov && v.hasOrtho) return Failure{"viewport: fov (perspective) and ortho (orthographic) exclude each other"};
        c.kind = CommandKind::Viewport;
        return std::nullopt;
    }

    // Collects modifier words anywhere on the line and returns the other tokens.
    std::vector<Token> takeModifiers(Command& c) {
        std::vector<Token> rest;
        for (Token& t : args_) {
            if (isModifier(t)) c.modifiers |= modifierBit(t.word);
            else rest.push_back(std::move(t));
        }
        return rest;
    }

    std::optional<Failure> mouse(Command& c, CommandKind k) {
        const std::vector<Token> rest = takeModifiers(c);
        if (rest.size() != 1 || rest[0].kind != Token::Kind::Value)
            return Failure{name_ + " takes one window point [x,y] and modifier words (shift, ctrl, alt)" +
                           (rest.size() > 1 ? ", got an extra " + describe(rest[1]) : std::string())};
        ScreenPoint p;
        if (auto f = screenPoint(rest[0].value, name_ + "'s point", p)) return f;
        c.points.push_back(p);
        c.kind = k;
        return std::nullopt;
    }

    std::optional<Failure> stroke(Command& c) {
        const std::vector<Token> rest = takeModifiers(c);
        bool anyOption = false, anyPoint = false;
        for (const Token& t : rest) {
            if (t.kind == Token::Kind::Option) anyOption = true;
            else if (t.kind == Token::Kind::Value) anyPoint = true;
            else return unexpected(t);
        }
        if (anyOption && anyPoint)
            return Failure{"stroke takes either a list of points or from:, to: and steps:, not both"};
        if (!anyOption) {
            if (rest.empty()) return Failure{"stroke needs points [x,y] ... or from:[x,y] to:[x,y] steps:N"};
            int n = 0;
            for (const Token& t : rest) {
                ScreenPoint p;
                if (auto f = screenPoint(t.value, "stroke point " + std::to_string(++n), p)) return f;
                c.points.push_back(p);
            }
            c.kind = CommandKind::Stroke;
            return std::nullopt;
        }
        if (auto f = checkOptions("stroke", rest, {"from", "to", "steps"})) return f;
        const Token* from = nullptr;
        const Token* to = nullptr;
        const Token* steps = nullptr;
        for (const Token& t : rest) {
            if (t.word == "from") from = &t;
            if (t.word == "to") to = &t;
            if (t.word == "steps") steps = &t;
        }
        if (!from || !to || !steps) return Failure{"a straight stroke needs all of from:[x,y] to:[x,y] steps:N"};
        int n = 0;
        if (auto f = intOption(*steps, 1, kMaxStrokeSteps, n)) return f;
        ScreenPoint a, b;
        if (auto f = screenPoint(from->value, "from", a)) return f;
        if (auto f = screenPoint(to->value, "to", b)) return f;
        // Drag i lands at from + (to - from) * i / n, in the literal's precision, rounded to a pixel.
        const double fx = from->value.point[0], fy = from->value.point[1];
        const double tx = to->value.point[0], ty = to->value.point[1];
        c.points.reserve(static_cast<size_t>(n) + 1);
        c.points.push_back(a);
        for (int i = 1; i <= n; ++i) {
            const double s = static_cast<double>(i) / static_cast<double>(n);
            c.points.push_back(ScreenPoint{static_cast<int>(std::lround(fx + (tx - fx) * s)),
                                           static_cast<int>(std::lround(fy + (ty - fy) * s))});
        }
        c.points.back() = b;
        c.kind = CommandKind::Stroke;
        return std::nullopt;
    }

    std::string name_;
    std::vector<Token> args_;
};

std::optional<Failure> buildCall(const Token& head, std::vector<Token> args, Command& c) {
    const std::string& w = head.word;
    const size_t dot = w.find('.');
    const std::string iface = w.substr(0, dot);
    const std::string fn = w.substr(dot + 1);
    if (iface.empty() || fn.empty() || fn.find('.') != std::string::npos || !isIdentStart(fn[0]))
        return Failure{"malformed function call " + quoted(w) + ": write INTERFACE.FUNCTION"};
    if (head.parens && !args.empty())
        return Failure{w + "() takes no arguments; write " + w + " ARG ... to pass them"};
    c.kind = CommandKind::Call;
    c.call.interfaceName = iface;
    c.call.functionName = fn;
    int n = 0;
    for (Token& t : args) {
        ++n;
        if (t.kind == Token::Kind::Option)
            return Failure{"argument " + std::to_string(n) + " of " + w + ": arguments are positional, " +
                           quoted(t.word + ":") + " is not allowed"};
        if (t.kind == Token::Kind::Word)
            return Failure{"argument " + std::to_string(n) + " of " + w + ": unexpected word " + quoted(t.word) +
                           " (strings take double quotes)"};
        c.call.args.push_back(std::move(t.value));
    }
    return std::nullopt;
}

}  // namespace

ParseResult parseScriptLine(std::string_view line) {
    ParseResult r;
    try {
        std::optional<Failure> fail;
        std::vector<Token> tokens = Lexer(line).run(fail);
        if (!fail && !tokens.empty()) {
            const Token& head = tokens.front();
            if (head.kind != Token::Kind::Word) {
                fail = Failure{"a line starts with a command, got " + describe(head)};
            } else {
                std::vector<Token> args(std::make_move_iterator(tokens.begin() + 1), std::make_move_iterator(tokens.end()));
                if (head.word.find('.') != std::string::npos) {
                    fail = buildCall(head, std::move(args), r.command);
                } else if (head.parens) {
                    fail = Failure{"unknown command " + quoted(head.word + "()") + " (functions are called as INTERFACE.FUNCTION)"};
                } else {
                    fail = CommandBuilder(head.word, std::move(args)).build(r.command);
                }
            }
        }
        if (fail) {
            r.command = Command{};
            r.error = fail->message;
            return r;
        }
        r.ok = true;
    } catch (const std::bad_alloc&) {
        r = ParseResult{};
        r.error = "out of memory while reading the line";
    }
    return r;
}

}  // namespace velmora::host
