// The mesh file: valid meshes read to the points written, a written mesh
// reads back equal, and every broken rule and malformed input is refused
// with its own message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Error.h"
#include "morph/MeshFile.h"
#include "support/Expect.h"
#include "support/TestSupport.h"

using namespace crossmeld;
using crossmeld::test::ExpectError;
using crossmeld::test::ExpectInvalidPicture;

namespace {

MeshPoints Read(const std::string& text) {
    return ReadMeshFile(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::string Pairs(const std::vector<Point>& points) {
    std::string s = "[";
    for (std::size_t i = 0; i < points.size(); ++i)
        s += (i ? ", [" : "[") + std::to_string(points[i].x) + ", " + std::to_string(points[i].y) + "]";
    return s + "]";
}

// A regular 2 x 2 mesh over a 10 x 8 picture: x in 0, 5, 10 and y in 0, 4, 8.
std::vector<Point> Regular() {
    return {{0, 0}, {5, 0}, {10, 0}, {0, 4}, {5, 4}, {10, 4}, {0, 8}, {5, 8}, {10, 8}};
}

std::string Doc(const std::vector<Point>& start, const std::vector<Point>& end, const std::string& head = {}) {
    const std::string sizes = head.empty() ? R"("columns": 2, "rows": 2, "width": 10, "height": 8)" : head;
    return "{" + sizes + ", \"start\": " + Pairs(start) + ", \"end\": " + Pairs(end) + "}";
}

std::string Message(const std::string& text) {
    try {
        Read(text);
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::InvalidPicture);
        return e.description();
    }
    return "accepted";
}

TEST(MeshFile, ReadsOneCell) {
    const MeshPoints m = Read(R"({"columns": 1, "rows": 1, "width": 10, "height": 8,
        "start": [[0, 0], [10, 0], [0, 8], [10, 8]], "end": [[0,0],[10,0],[0,8],[10,8]]})");
    EXPECT_EQ(m.columns, 1);
    EXPECT_EQ(m.rows, 1);
    EXPECT_EQ(m.width, 10);
    EXPECT_EQ(m.height, 8);
    const std::vector<Point> corners{{0, 0}, {10, 0}, {0, 8}, {10, 8}};
    EXPECT_EQ(m.start, corners);
    EXPECT_EQ(m.end, corners);
}

// Two columns, three rows over 6 x 9; keys shuffled, unknown keys of every
// kind skipped, escaped key names decoded.
TEST(MeshFile, ReadsTwoByThreeWithOtherKeys) {
    const MeshPoints m = Read(R"( {
        "end": [[0,0],[3,0],[6,0], [0,3],[2,4],[6,3], [0,6],[4,6],[6,6], [0,9],[3,9],[6,9]],
        "comment": {"text": "a \"quoted\" \\ \u00e9 \ud83d\ude00", "list": [1.5, -2e-3, true, false, null, [], {}]},
        "r\u006fws": 3, "height": 9, "width": 6, "columns": 2,
        "start": [[0,0],[3,0],[6,0], [0,3],[3,3],[6,3], [0,6],[3,6],[6,6], [0,9],[3,9],[6,9]]
    } )");
    EXPECT_EQ(m.columns, 2);
    EXPECT_EQ(m.rows, 3);
    EXPECT_EQ(m.width, 6);
    EXPECT_EQ(m.height, 9);
    const std::vector<Point> start{{0, 0}, {3, 0}, {6, 0}, {0, 3}, {3, 3}, {6, 3},
                                   {0, 6}, {3, 6}, {6, 6}, {0, 9}, {3, 9}, {6, 9}};
    const std::vector<Point> end{{0, 0}, {3, 0}, {6, 0}, {0, 3}, {2, 4}, {6, 3},
                                 {0, 6}, {4, 6}, {6, 6}, {0, 9}, {3, 9}, {6, 9}};
    EXPECT_EQ(m.start, start);
    EXPECT_EQ(m.end, end);
}

TEST(MeshFile, WritesOneLinePerRowAndReadsBack) {
    MeshPoints one{1, 1, 10, 8, {{0, 0}, {10, 0}, {0, 8}, {10, 8}}, {{0, 0}, {10, 0}, {0, 8}, {10, 8}}};
    EXPECT_EQ(WriteMeshFile(one),
              "{\n  \"columns\": 1,\n  \"rows\": 1,\n  \"width\": 10,\n  \"height\": 8,\n"
              "  \"start\": [\n    [0, 0], [10, 0],\n    [0, 8], [10, 8]\n  ],\n"
              "  \"end\": [\n    [0, 0], [10, 0],\n    [0, 8], [10, 8]\n  ]\n}\n");
    EXPECT_EQ(Read(WriteMeshFile(one)), one);

    MeshPoints moved{2, 2, 10, 8, Regular(), Regular()};
    moved.start[4] = {2, 5};
    moved.end[1] = {9, 0};
    moved.end[5] = {10, 1};
    EXPECT_EQ(Read(WriteMeshFile(moved)), moved);
}

struct Broken {
    const char* name;
    std::string text;
    std::string message;
};

std::vector<Point> With(std::size_t index, Point p, std::vector<Point> points = Regular()) {
    points[index] = p;
    return points;
}

// Point (c, r) of the 2 x 2 mesh is index 3r + c.
TEST(MeshFile, RefusesEachBrokenRule) {
    std::vector<Point> eight = Regular();
    eight.pop_back();
    const std::vector<Broken> cases{
        {"start corner", Doc(With(0, {1, 0}), Regular()), "start corner (0, 0) must be at (0, 0)"},
        {"end corner", Doc(Regular(), With(8, {10, 7})), "end corner (2, 2) must be at (10, 8)"},
        {"right top corner", Doc(With(2, {10, 1}), Regular()), "start corner (2, 0) must be at (10, 0)"},
        {"top border", Doc(With(1, {5, 1}), Regular()), "start point (1, 0) leaves the top border"},
        {"bottom border", Doc(Regular(), With(7, {5, 7})), "end point (1, 2) leaves the bottom border"},
        {"left border", Doc(With(3, {1, 4}), Regular()), "start point (0, 1) leaves the left border"},
        {"right border", Doc(With(5, {9, 4}), Regular()), "start point (2, 1) leaves the right border"},
        {"along the border, out", Doc(With(1, {11, 0}), Regular()), "start point (1, 0) is outside the picture"},
        {"inner, above", Doc(Regular(), With(4, {5, -1})), "end point (1, 1) is outside the picture"},
        {"inner, far right", Doc(With(4, {2147483647, 4}), Regular()), "start point (1, 1) is outside the picture"},
        // (1, 1) onto (2, 1): triangle (5,0) (10,4) (10,4) of cell (1, 0) has no area.
        {"flat triangle", Doc(With(4, {10, 4}), Regular()), "the start mesh folds the triangle at cell (1, 0)"},
        // (1, 1) at (1, 7): (0,4) (1,7) (5,8) turns the wrong way, cross -11.
        {"folded triangle", Doc(Regular(), With(4, {1, 7})), "the end mesh folds the triangle at cell (0, 1)"},
        {"too few points", Doc(eight, Regular()), "the start mesh has 8 points, 9 expected"},
        {"too many points", Doc(Regular(), [] { auto p = Regular(); p.push_back({0, 0}); return p; }()),
         "the end mesh has 10 points, 9 expected"},
        {"rows from columns", Doc(Regular(), Regular(), R"("columns": 2, "rows": 1, "width": 10, "height": 8)"),
         "the start mesh has 9 points, 6 expected"},
        {"columns 0", Doc(Regular(), Regular(), R"("columns": 0, "rows": 2, "width": 10, "height": 8)"),
         "\"columns\" must be a whole number from 1 to 32"},
        {"rows 33", Doc(Regular(), Regular(), R"("columns": 2, "rows": 33, "width": 10, "height": 8)"),
         "\"rows\" must be a whole number from 1 to 32"},
        {"columns 2.0", Doc(Regular(), Regular(), R"("columns": 2.0, "rows": 2, "width": 10, "height": 8)"),
         "\"columns\" must be a whole number from 1 to 32"},
        {"columns text", Doc(Regular(), Regular(), R"("columns": "2", "rows": 2, "width": 10, "height": 8)"),
         "\"columns\" must be a whole number from 1 to 32"},
        {"columns huge", Doc(Regular(), Regular(), R"("columns": 99999999999999999999, "rows": 2, "width": 10, "height": 8)"),
         "\"columns\" must be a whole number from 1 to 32"},
        {"width 0", Doc(Regular(), Regular(), R"("columns": 2, "rows": 2, "width": 0, "height": 8)"),
         "\"width\" must be a whole number from 1 to 32767"},
        {"height 32768", Doc(Regular(), Regular(), R"("columns": 2, "rows": 2, "width": 10, "height": 32768)"),
         "\"height\" must be a whole number from 1 to 32767"},
        {"rows missing", Doc(Regular(), Regular(), R"("columns": 2, "width": 10, "height": 8)"), "\"rows\" is missing"},
        {"end missing", R"({"columns": 1, "rows": 1, "width": 1, "height": 1, "start": []})", "\"end\" is missing"},
        {"rows twice", Doc(Regular(), Regular(), R"("columns": 2, "rows": 2, "width": 10, "height": 8, "rows": 2)"),
         "\"rows\" appears twice"},
        {"escaped twice", Doc(Regular(), Regular(), R"("columns": 2, "rows": 2, "width": 10, "height": 8, "r\u006fws": 2)"),
         "\"rows\" appears twice"},
        {"unknown twice", R"({"a": 1, "a": 2})", "\"a\" appears twice"},
        {"points not array", R"({"start": 5})", "\"start\" must be an array of [x, y] points"},
        {"one coordinate", R"({"start": [[0, 0], [5]]})", "item 1 of \"start\" must be [x, y] with whole numbers"},
        {"three coordinates", R"({"end": [[0, 0, 0]]})", "item 0 of \"end\" must be [x, y] with whole numbers"},
        {"fraction", R"({"end": [[0, 0], [0.5, 0]]})", "item 1 of \"end\" must be [x, y] with whole numbers"},
        {"exponent", R"({"end": [[1e1, 0]]})", "item 0 of \"end\" must be [x, y] with whole numbers"},
        {"above int32", R"({"end": [[2147483648, 0]]})", "item 0 of \"end\" must be [x, y] with whole numbers"},
        {"below int32", R"({"end": [[0, -2147483649]]})", "item 0 of \"end\" must be [x, y] with whole numbers"},
        {"null point", R"({"end": [null]})", "item 0 of \"end\" must be [x, y] with whole numbers"},
        {"top level array", "[1, 2]", "the top level must be an object"},
    };
    for (const Broken& c : cases) EXPECT_EQ(Message(c.text), "mesh file: " + c.message) << c.name;
}

TEST(MeshFile, RefusesMalformedJson) {
    const std::string valid = Doc(Regular(), Regular());
    ASSERT_EQ(Message(valid), "accepted");
    const std::vector<Broken> cases{
        {"empty", "", "not valid JSON at byte 0"},
        {"only space", " \n", "not valid JSON at byte 2"},
        {"truncated", R"({"columns": 2)", "not valid JSON at byte 13"},
        {"truncated inside a point", valid.substr(0, 70), "not valid JSON at byte 70"},
        {"trailing garbage", valid + " x", "not valid JSON at byte " + std::to_string(valid.size() + 1)},
        {"two objects", valid + "{}", "not valid JSON at byte " + std::to_string(valid.size())},
        {"leading zero", R"({"a": 01})", "not valid JSON at byte 7"},
        {"bare minus", R"({"a": -})", "not valid JSON at byte 7"},
        {"dot without digits", R"({"a": 1.})", "not valid JSON at byte 8"},
        {"half a word", R"({"a": tru})", "not valid JSON at byte 9"},
        {"bad escape", R"({"n": "\x"})", "not valid JSON at byte 8"},
        {"short unicode escape", R"({"n": "\u12"})", "not valid JSON at byte 11"},
        {"raw newline in a string", "{\"a\nb\": 1}", "not valid JSON at byte 3"},
        {"unterminated string", R"({"n)", "not valid JSON at byte 3"},
        {"missing colon", R"({"a" 1})", "not valid JSON at byte 5"},
        {"trailing comma", R"({"a": [1,]})", "not valid JSON at byte 9"},
        {"unquoted key", R"({a: 1})", "not valid JSON at byte 1"},
        // The object is level 1, so the 64th bracket (at byte 6 + 63) is level 65.
        {"deep nesting", "{\"x\": " + std::string(100000, '['), "values nested deeper than 64 at byte 69"},
    };
    for (const Broken& c : cases) EXPECT_EQ(Message(c.text), "mesh file: " + c.message) << c.name;

    // 63 levels below the object are still read (and skipped).
    const std::string deepest = "\"x\": " + std::string(63, '[') + std::string(63, ']') + ", ";
    EXPECT_EQ(Message("{" + deepest + valid.substr(1)), "accepted");
}

TEST(MeshFile, ChecksThePictureSize) {
    const MeshPoints m{1, 1, 640, 480, {}, {}};
    EXPECT_NO_THROW(CheckMeshSize(m, 640, 480));
    ExpectInvalidPicture([&] { CheckMeshSize(m, 320, 240); },
                         "mesh file: made for 640 x 480 pictures, the pictures are 320 x 240");
    ExpectInvalidPicture([&] { CheckMeshSize(m, 640, 479); });
}

TEST(MeshFile, ReadsFromAPath) {
    test::TempDir dir;
    const std::string text = Doc(Regular(), Regular());
    test::WriteBytes(dir / "mesh.json", std::vector<std::uint8_t>(text.begin(), text.end()));
    EXPECT_EQ(ReadMeshFile((dir / "mesh.json").string()), (MeshPoints{2, 2, 10, 8, Regular(), Regular()}));

    // Spaces after the mesh make the file one byte too large: refused unread.
    std::vector<std::uint8_t> big(text.begin(), text.end());
    big.resize(1024 * 1024 + 1, ' ');
    test::WriteBytes(dir / "big.json", big);
    ExpectInvalidPicture([&] { ReadMeshFile((dir / "big.json").string()); }, "mesh file: larger than 1 MiB");
    big.pop_back();
    test::WriteBytes(dir / "big.json", big);
    EXPECT_EQ(ReadMeshFile((dir / "big.json").string()).columns, 2);

    ExpectError(ErrorKind::FileNotFound, [&] { ReadMeshFile((dir / "none.json").string()); });
    ExpectError(ErrorKind::PathFileAccessError, [&] { ReadMeshFile(dir.path().string()); });
}

}  // namespace
