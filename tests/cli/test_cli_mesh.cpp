// crossmeld-cli --mesh: a mesh file whose start and end are equal gives the
// plain fade to the byte, whatever its points; a moved mesh makes a morph
// that differs by sampling; a file that breaks a rule is refused before any
// work, with the rule and the point named and no output left.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "support/TestSupport.h"

using namespace crossmeld::test;

namespace {

fs::path Fixtures() { return StreamFixtures(); }

// The fixtures are 37 x 23 pixels.
constexpr int kWidth = 37, kHeight = 23;

using Points = std::vector<std::pair<int, int>>;

// The regular grid of columns x rows cells, each point moved by move(c, r).
Points Grid(int columns, int rows, const std::function<std::pair<int, int>(int, int)>& move = nullptr,
            int width = kWidth) {
    Points points;
    for (int r = 0; r <= rows; ++r)
        for (int c = 0; c <= columns; ++c) {
            auto [dx, dy] = move ? move(c, r) : std::pair{0, 0};
            points.push_back({c * width / columns + dx, r * kHeight / rows + dy});
        }
    return points;
}

std::string Json(int columns, int rows, const Points& start, const Points& end, int width = kWidth) {
    auto list = [](const Points& points) {
        std::string text = "[";
        for (std::size_t i = 0; i < points.size(); ++i)
            text += (i ? ", [" : "[") + std::to_string(points[i].first) + ", " + std::to_string(points[i].second) + "]";
        return text + "]";
    };
    return "{\"columns\": " + std::to_string(columns) + ", \"rows\": " + std::to_string(rows) +
           ", \"width\": " + std::to_string(width) + ", \"height\": " + std::to_string(kHeight) +
           ", \"start\": " + list(start) + ", \"end\": " + list(end) + "}";
}

struct Result {
    int status;
    std::string output;  // standard output and error together
};

Result Create(const TempDir& dir, const std::string& meshText, const std::string& options, const fs::path& out) {
    const fs::path mesh = dir / "mesh.json";
    WriteBytes(mesh, std::vector<std::uint8_t>(meshText.begin(), meshText.end()));
    Result result;
    result.status = CreateFromFixtures("--frames 6 --fps 7 --mesh " + Quote(mesh) + " " + options + " --avi " + Quote(out),
                                       &result.output);
    return result;
}

TEST(CliMesh, EqualMeshesGiveThePlainFadeToTheByte) {
    TempDir dir;
    const auto moved = [](int c, int r) { return std::pair{c > 0 && c < 3 && r == 1 ? 2 : 0, 0}; };
    for (const std::string& text :
         {Json(5, 5, Grid(5, 5), Grid(5, 5)), Json(3, 2, Grid(3, 2, moved), Grid(3, 2, moved))}) {
        for (const char* sampling : {"bilinear", "nearest"}) {
            const Result r = Create(dir, text, std::string("--sampling ") + sampling, dir / "fade.avi");
            ASSERT_EQ(r.status, 0) << r.output;
            EXPECT_EQ(ReadBytes(dir / "fade.avi"), ReadBytes(Fixtures() / "raw.avi")) << text << " " << sampling;
        }
    }
}

TEST(CliMesh, AMovedPointMakesAMorphThatDependsOnTheSampling) {
    TempDir dir;
    const auto moved = [](int c, int r) { return std::pair{c == 1 && r == 1 ? 5 : 0, c == 1 && r == 1 ? 3 : 0}; };
    const std::string text = Json(2, 2, Grid(2, 2), Grid(2, 2, moved));
    ASSERT_EQ(Create(dir, text, "", dir / "bilinear.avi").status, 0);
    ASSERT_EQ(Create(dir, text, "--sampling nearest", dir / "nearest.avi").status, 0);
    const auto plain = ReadBytes(Fixtures() / "raw.avi");
    const auto bilinear = ReadBytes(dir / "bilinear.avi"), nearest = ReadBytes(dir / "nearest.avi");
    ASSERT_EQ(bilinear.size(), plain.size());
    EXPECT_TRUE(bilinear != plain);
    EXPECT_TRUE(nearest != plain);
    EXPECT_TRUE(bilinear != nearest);
}

TEST(CliMesh, BrokenRulesAreRefusedBeforeAnyWork) {
    TempDir dir;
    const auto at = [](int cc, int rr, int dx, int dy) {
        return [=](int c, int r) { return c == cc && r == rr ? std::pair{dx, dy} : std::pair{0, 0}; };
    };
    const Points regular = Grid(2, 2);
    const std::vector<std::pair<std::string, std::string>> cases{
        {"{\"columns\": 2,", "not valid JSON"},
        {Json(2, 2, Grid(2, 2, nullptr, 38), Grid(2, 2, nullptr, 38), 38), "made for 38 x 23 pictures, the pictures are 37 x 23"},
        {Json(2, 2, regular, Grid(2, 2, at(1, 1, 18, -10))), "the end mesh folds the triangle at cell (1, 0)"},
        {Json(2, 2, Grid(2, 2, at(1, 0, 0, 1)), regular), "start point (1, 0) leaves the top border"},
        {Json(2, 2, Grid(2, 2, at(2, 2, -1, 0)), regular), "start corner (2, 2) must be at (37, 23)"},
        {Json(2, 2, regular, Grid(2, 2, at(2, 1, 0, 40))), "end point (2, 1) is outside the picture"},
        {Json(2, 2, regular, Points(5, {0, 0})), "the end mesh has 5 points, 9 expected"},
    };
    const fs::path out = dir / "kept.avi";
    WriteBytes(out, {'o', 'l', 'd'});
    for (const auto& [text, rule] : cases) {
        const Result r = Create(dir, text, "", out);
        EXPECT_EQ(r.status, 1) << text;
        EXPECT_NE(r.output.find(rule), std::string::npos) << r.output;
        EXPECT_EQ(r.output.find("Done."), std::string::npos) << r.output;
        EXPECT_EQ(ReadBytes(out), std::vector<std::uint8_t>({'o', 'l', 'd'}));
    }
    std::size_t left = 0;
    for (const auto& entry : fs::directory_iterator(dir.path())) left += entry.path().filename().string()[0] == '.';
    EXPECT_EQ(left, 0u);
}

}  // namespace
