#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/ScriptParser.h"

namespace velmora::host {
namespace {

struct ErrorCase {
    const char* line;
    const char* message;  // expected to be contained in the error
};

class ParserErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ParserErrors, RefusesWithAMessageNamingTheFault) {
    const ParseResult r = parseScriptLine(GetParam().line);
    EXPECT_FALSE(r.ok) << GetParam().line;
    EXPECT_NE(r.error.find(GetParam().message), std::string::npos) << "line: " << GetParam().line << "\nerror: " << r.error;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParserErrors,
    ::testing::Values(
        ErrorCase{"frobnicate", "unknown command 'frobnicate'"},
        ErrorCase{"load", "load takes one quoted path"},
        ErrorCase{"load mesh.obj", "load takes one quoted path"},
        ErrorCase{"load \"a.obj\" \"b.obj\"", "load takes one quoted path"},
        ErrorCase{"load \"\"", "the path is empty"},
        ErrorCase{"load \"unterminated", "unterminated string"},
        ErrorCase{"load \"a\\n.obj\"", "unknown escape"},
        ErrorCase{"render \"pic.jpg\"", "must end in .png"},
        ErrorCase{"render \".png\"", "must end in .png"},
        ErrorCase{"create", "create needs a primitive"},
        ErrorCase{"create torus", "unknown primitive 'torus'"},
        ErrorCase{"create plane width:0", "width must be a positive finite size, got 0"},
        ErrorCase{"create plane width:-2", "width must be a positive finite size"},
        ErrorCase{"create plane length:1e39", "length must be a positive finite size"},
        ErrorCase{"create plane length:1e-50", "length must be a positive finite size"},
        ErrorCase{"create box height:\"tall\"", "height must be a number"},
        ErrorCase{"create sphere radius:1e999", "number out of range"},
        ErrorCase{"create plane segments:2.5", "segments must be an integer"},
        ErrorCase{"create plane segments:0", "segments must be an integer from 1"},
        ErrorCase{"create plane radius:2", "create plane has no option 'radius'"},
        ErrorCase{"create sphere width:2", "create sphere has no option 'width'"},
        ErrorCase{"create plane width:2 width:3", "option 'width' given twice"},
        ErrorCase{"create plane name:\"\"", "name must be a non-empty quoted string"},
        ErrorCase{"create plane width:", "option 'width' has no value"},
        ErrorCase{"create plane width:abc", "has a value that is not"},
        ErrorCase{"select", "select takes one or more quoted node names"},
        ErrorCase{"select grid", "select takes quoted node names"},
        ErrorCase{"delete", "delete takes one or more quoted node names"},
        ErrorCase{"clearSelection \"x\"", "clearSelection takes no arguments"},
        ErrorCase{"undo 2", "undo takes no arguments"},
        ErrorCase{"viewport", "viewport needs at least one option"},
        ErrorCase{"viewport width:0", "width must be an integer from 1 to 8192"},
        ErrorCase{"viewport height:1.5", "height must be an integer"},
        ErrorCase{"viewport eye:[1,2]", "eye must be a point [x,y,z]"},
        ErrorCase{"viewport up:[0,0,0]", "up must not be [0,0,0]"},
        ErrorCase{"viewport fov:180", "fov must be a number of degrees between 0 and 180"},
        ErrorCase{"viewport fov:0", "fov must be a number of degrees"},
        ErrorCase{"viewport ortho:-1", "ortho must be a positive finite size"},
        ErrorCase{"viewport fov:40 ortho:10", "exclude each other"},
        ErrorCase{"viewport zoom:2", "viewport has no option 'zoom'"},
        ErrorCase{"viewport [1,2,3]", "viewport: unexpected point"},
        ErrorCase{"press", "press takes one window point"},
        ErrorCase{"press [1,2] [3,4]", "got an extra point"},
        ErrorCase{"press [1,2,3]", "must be a window point [x,y]"},
        ErrorCase{"drag [1e7,2]", "outside the range of window pixels"},
        ErrorCase{"press [1,2] meta", "press takes one window point"},
        ErrorCase{"move [1,", "expected a number in point"},
        ErrorCase{"move [1 2]", "expected ',' or ']'"},
        ErrorCase{"move [1,2,3,4]", "a point has 2 or 3 components"},
        ErrorCase{"move [1]", "a point has 2 or 3 components"},
        ErrorCase{"stroke", "stroke needs points"},
        ErrorCase{"stroke from:[0,0] to:[1,1]", "needs all of from:[x,y] to:[x,y] steps:N"},
        ErrorCase{"stroke from:[0,0] to:[1,1] steps:0", "steps must be an integer from 1 to 100000"},
        ErrorCase{"stroke from:[0,0] to:[1,1] steps:3 [2,2]", "not both"},
        ErrorCase{"stroke from:[0,0] to:[1,1] steps:3 by:[2,2]", "stroke has no option 'by'"},
        ErrorCase{"Velmora.DoOperation() 1", "takes no arguments"},
        ErrorCase{"Velmora.SetSettings x:1", "arguments are positional"},
        ErrorCase{"Velmora.SetSettings abc", "unexpected word 'abc'"},
        ErrorCase{"Velmora.", "malformed function call"},
        ErrorCase{".Foo", "malformed number"},
        ErrorCase{"Velmora.A.B", "malformed function call"},
        ErrorCase{"Velmora.DoOperation(1)", "expected ')'"},
        ErrorCase{"undo()", "unknown command 'undo()'"},
        ErrorCase{"12 load", "a line starts with a command"},
        ErrorCase{"print @", "unexpected character '@'"},
        ErrorCase{"create plane width:12abc", "malformed number '12abc'"},
        ErrorCase{"create plane width:1.2.3", "malformed number"},
        ErrorCase{"create plane width:-", "malformed number '-'"},
        ErrorCase{"load \"a.obj\"x", "unexpected text 'x' right after a value"}));

TEST(ScriptParser, BlankAndCommentLinesAreEmptyCommands) {
    for (const char* line : {"", "   ", "\t", "-- a comment", "   -- indented comment", "--"}) {
        const ParseResult r = parseScriptLine(line);
        ASSERT_TRUE(r.ok) << line << ": " << r.error;
        EXPECT_EQ(r.command.kind, CommandKind::Empty) << line;
    }
}

TEST(ScriptParser, CommentEndsTheLineAndNegativeNumbersStayNumbers) {
    const ParseResult r = parseScriptLine("viewport eye:[-1,-2.5,-3e1] target:[0,0,0] -- eye: [9,9,9]");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.command.viewport.hasEye);
    EXPECT_TRUE(r.command.viewport.hasTarget);
    EXPECT_FALSE(r.command.viewport.hasWidth);
    EXPECT_EQ(r.command.viewport.eye[0], -1.0);
    EXPECT_EQ(r.command.viewport.eye[1], -2.5);
    EXPECT_EQ(r.command.viewport.eye[2], -30.0);
}

TEST(ScriptParser, CreateTakesOptionsInAnyOrderAndDefaultsTheRest) {
    ParseResult r = parseScriptLine("create box segments:4 height:2 name:\"crate\" width:3");
    ASSERT_TRUE(r.ok) << r.error;
    const CreateArgs& a = r.command.create;
    EXPECT_EQ(a.primitive, PrimitiveKind::Box);
    EXPECT_EQ(a.name, "crate");
    EXPECT_EQ(a.width, 3.0);
    EXPECT_EQ(a.height, 2.0);
    EXPECT_EQ(a.length, 10.0);
    EXPECT_EQ(a.segments, 4);
    r = parseScriptLine("create sphere");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.command.create.name, "Sphere");
    // Segment counts beyond the primitives' cap are clamped where the primitive is made, not refused.
    EXPECT_TRUE(parseScriptLine("create plane segments:99999999").ok);
}

TEST(ScriptParser, StringsKeepSpacesDashesAndEscapes) {
    const ParseResult r = parseScriptLine(R"(select "my -- node" "quote\"d" "back\\slash")");
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.command.names.size(), 3u);
    EXPECT_EQ(r.command.names[0], "my -- node");
    EXPECT_EQ(r.command.names[1], "quote\"d");
    EXPECT_EQ(r.command.names[2], "back\\slash");
}

TEST(ScriptParser, ModifierWordsStandAnywhereOnMouseLines) {
    struct Case { const char* line; CommandKind kind; int mods; int x, y; };
    const Case cases[] = {
        {"press [10,20]", CommandKind::Press, 0, 10, 20},
        {"press ctrl [10,20]", CommandKind::Press, kModCtrl, 10, 20},
        {"drag [10,20] shift alt", CommandKind::Drag, kModShift | kModAlt, 10, 20},
        {"release alt [10.4,19.6] ctrl", CommandKind::Release, kModAlt | kModCtrl, 10, 20},
        {"move shift ctrl alt [-3,4]", CommandKind::Move, kModShift | kModCtrl | kModAlt, -3, 4},
    };
    for (const Case& c : cases) {
        const ParseResult r = parseScriptLine(c.line);
        ASSERT_TRUE(r.ok) << c.line << ": " << r.error;
        EXPECT_EQ(r.command.kind, c.kind) << c.line;
        EXPECT_EQ(r.command.modifiers, c.mods) << c.line;
        ASSERT_EQ(r.command.points.size(), 1u);
        EXPECT_EQ(r.command.points[0].x, c.x) << c.line;
        EXPECT_EQ(r.command.points[0].y, c.y) << c.line;
    }
}

TEST(ScriptParser, StrokeListGivesPressDragsAndReleasePoints) {
    const ParseResult r = parseScriptLine("stroke [1,2] ctrl [3,4] [5,6] shift");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.command.kind, CommandKind::Stroke);
    EXPECT_EQ(r.command.modifiers, kModCtrl | kModShift);
    ASSERT_EQ(r.command.points.size(), 3u);
    EXPECT_EQ(r.command.points[2].x, 5);
    EXPECT_EQ(r.command.points[2].y, 6);
}

TEST(ScriptParser, StraightStrokeRoundsEveryStepToTheNearestPixel) {
    // from + (to - from) * i / 3 = 0, 3.333, 6.667, 10 in x and 0, -0.667, -1.333, -2 in y.
    const ParseResult r = parseScriptLine("stroke alt from:[0,0] to:[10,-2] steps:3");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.command.modifiers, kModAlt);
    const std::vector<std::pair<int, int>> expected = {{0, 0}, {3, -1}, {7, -1}, {10, -2}};
    ASSERT_EQ(r.command.points.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(r.command.points[i].x, expected[i].first) << i;
        EXPECT_EQ(r.command.points[i].y, expected[i].second) << i;
    }
}

TEST(ScriptParser, CallsKeepTheirArgumentsForConversionLater) {
    ParseResult r = parseScriptLine("Velmora.SetSettingsV2 true false 0 1.0 -2 false 1e-3 1 1 2");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.command.kind, CommandKind::Call);
    EXPECT_EQ(r.command.call.interfaceName, "Velmora");
    EXPECT_EQ(r.command.call.functionName, "SetSettingsV2");
    ASSERT_EQ(r.command.call.args.size(), 10u);
    EXPECT_EQ(r.command.call.args[0].kind, ScriptValue::Kind::Bool);
    EXPECT_TRUE(r.command.call.args[0].boolean);
    EXPECT_TRUE(r.command.call.args[2].isInteger);
    EXPECT_FALSE(r.command.call.args[3].isInteger);
    EXPECT_TRUE(r.command.call.args[4].isInteger);
    EXPECT_EQ(r.command.call.args[4].number, -2.0);
    EXPECT_FALSE(r.command.call.args[6].isInteger);
    r = parseScriptLine("Velmora.DoOperation()");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.command.call.args.empty());
    // An integer literal beyond int32 is still a number, but no longer an integer.
    r = parseScriptLine("Velmora.SetSettings 3000000000");
    ASSERT_TRUE(r.ok);
    EXPECT_FALSE(r.command.call.args[0].isInteger);
}

TEST(ScriptParser, NeverThrowsOnArbitraryBytes) {
    std::string line;
    std::uint32_t state = 12345u;
    for (int i = 0; i < 2000; ++i) {
        state = state * 1664525u + 1013904223u;
        line.push_back(static_cast<char>(state >> 24));
        if (line.size() > 40) line.clear();
        const ParseResult r = parseScriptLine(line);
        EXPECT_TRUE(r.ok || !r.error.empty());
    }
}

}  // namespace
}  // namespace velmora::host
