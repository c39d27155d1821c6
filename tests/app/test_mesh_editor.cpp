// Editing the window's meshes: drags, undo and redo, Reset Mesh, the mesh
// size, mesh files and the meshes remembered for a pair of pictures.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/MeshEditor.h"
#include "app/MeshMemory.h"
#include "support/FileSizeLimit.h"
#include "support/FormTestSupport.h"

namespace crossmeld {
namespace {

constexpr ColorRef kRed = Rgb(255, 0, 0);

// The 5 x 5 grid on 100 x 50 pictures: points every 20 by 10 pixels.
Point GridPoint(std::int32_t c, std::int32_t r) { return {20 * c, 10 * r}; }

class MeshEditing : public test::FormTest {
protected:
    MeshEditing() {
        form.Load();
        LoadPair(temp.path(), 100, 50, Rgb(200, 0, 0), Rgb(0, 0, 200));
    }
    MeshEditor& Editor() { return form.MeshEditing(); }
    Point StartPoint(std::int32_t c, std::int32_t r) { return MeshPointAt(form.StartMesh(), {c, r}); }
    Point EndPoint(std::int32_t c, std::int32_t r) { return MeshPointAt(form.EndMesh(), {c, r}); }
    // Drags the point of a side at `from` to `to` in one step.
    bool Drag(Side side, Point from, Point to) {
        if (!Editor().BeginDrag(side, from.x, from.y)) return false;
        Editor().DragTo(to.x, to.y);
        return Editor().EndDrag();
    }
    ColorRef ShownPixel(std::int32_t x, std::int32_t y) { return form.StartPreview().Image().bitmap()->GetPixel(x, y); }
    std::vector<ColorRef> ShownPixels() {
        std::vector<ColorRef> pixels;
        for (std::int32_t y = 0; y < 50; ++y)
            for (std::int32_t x = 0; x < 100; ++x) pixels.push_back(ShownPixel(x, y));
        return pixels;
    }
    std::string Stored() {
        return store.GetSetting("Kestrovan", "Meshes", MeshMemoryKey((temp / "start.bmp").string(), (temp / "end.bmp").string()),
                                "<missing>");
    }
    void ReloadStart() {
        host.QueueFile((temp / "start.bmp").string());
        form.ChooseStartPicture();
    }
    bool IsRegular(std::int32_t columns, std::int32_t rows, std::int32_t stepX, std::int32_t stepY) {
        if (form.StartMesh().Columns != columns || form.StartMesh().Rows != rows) return false;
        for (std::int32_t r = 0; r <= rows; ++r)
            for (std::int32_t c = 0; c <= columns; ++c) {
                const Point want{stepX * c, stepY * r};
                if (StartPoint(c, r) != want || EndPoint(c, r) != want) return false;
            }
        return true;
    }
};

TEST_F(MeshEditing, ADragMovesOnePointOfOneMeshSnappedAndRedrawsItsOverlay) {
    ASSERT_TRUE(IsRegular(5, 5, 20, 10));
    // The overlay's red circle around point (1, 1) passes through (16, 7),
    // away from the white lines.
    EXPECT_EQ(ShownPixel(16, 7), kRed);
    EXPECT_FALSE(Editor().BeginDrag(Side::Start, 30, 15));  // between points
    ASSERT_TRUE(Editor().BeginDrag(Side::Start, 22, 13));
    EXPECT_TRUE(Editor().Dragging());
    EXPECT_TRUE(Editor().DragTo(25.4, 13.6));
    EXPECT_EQ(StartPoint(1, 1), (Point{25, 14}));
    EXPECT_FALSE(Editor().DragTo(25.2, 14.1));  // the same pixel
    EXPECT_NE(ShownPixel(16, 7), kRed);
    EXPECT_EQ(ShownPixel(21, 11), kRed);
    EXPECT_TRUE(Editor().EndDrag());
    EXPECT_FALSE(Editor().Dragging());
    EXPECT_EQ(EndPoint(1, 1), GridPoint(1, 1));
    EXPECT_TRUE(Editor().CanUndo());

    // The end mesh on its own; a border point only along its border.
    EXPECT_TRUE(Drag(Side::End, GridPoint(0, 2), {30, 23}));
    EXPECT_EQ(EndPoint(0, 2), (Point{0, 23}));
    EXPECT_EQ(StartPoint(0, 2), GridPoint(0, 2));
    // Corners do not move: nothing to grab there.
    EXPECT_FALSE(Editor().BeginDrag(Side::Start, 0, 0));
}

TEST_F(MeshEditing, ADragThatEndsWhereItBeganIsNoEdit) {
    ASSERT_TRUE(Editor().BeginDrag(Side::Start, 20, 10));
    EXPECT_TRUE(Editor().DragTo(30, 15));
    EXPECT_TRUE(Editor().DragTo(20, 10));
    EXPECT_FALSE(Editor().EndDrag());
    EXPECT_FALSE(Editor().CanUndo());
    EXPECT_EQ(store.writes.size(), 0u);
}

TEST_F(MeshEditing, UndoAndRedoStepThroughTheEditsAndANewEditDropsTheRedo) {
    const MeshPoints grid = form.Meshes();
    ASSERT_TRUE(Drag(Side::Start, GridPoint(1, 1), {24, 12}));
    const MeshPoints first = form.Meshes();
    ASSERT_TRUE(Drag(Side::End, GridPoint(2, 2), {37, 22}));
    const MeshPoints second = form.Meshes();

    EXPECT_FALSE(Editor().Redo());
    EXPECT_TRUE(Editor().Undo());
    EXPECT_EQ(form.Meshes(), first);
    EXPECT_TRUE(Editor().Undo());
    EXPECT_EQ(form.Meshes(), grid);
    EXPECT_FALSE(Editor().Undo());
    EXPECT_TRUE(Editor().Redo());
    EXPECT_EQ(form.Meshes(), first);
    EXPECT_TRUE(Editor().CanRedo());
    EXPECT_TRUE(Editor().Redo());
    EXPECT_EQ(form.Meshes(), second);
    EXPECT_TRUE(Editor().Undo());

    ASSERT_TRUE(Drag(Side::Start, GridPoint(3, 3), {63, 33}));
    EXPECT_FALSE(Editor().CanRedo());
    EXPECT_FALSE(Editor().Redo());
    EXPECT_TRUE(Editor().Undo());
    EXPECT_EQ(form.Meshes(), first);
}

TEST_F(MeshEditing, ResetAndMeshSizeMakeRegularGridsAndAreUndoable) {
    ASSERT_TRUE(Drag(Side::Start, GridPoint(1, 1), {24, 12}));
    const MeshPoints moved = form.Meshes();
    EXPECT_TRUE(Editor().ResetMesh());
    EXPECT_TRUE(IsRegular(5, 5, 20, 10));
    EXPECT_FALSE(Editor().ResetMesh());  // already regular: no step

    EXPECT_TRUE(Editor().SetMeshSize(4, 2));
    EXPECT_TRUE(IsRegular(4, 2, 25, 25));
    EXPECT_TRUE(Editor().SetMeshSize(32, 1));
    EXPECT_EQ(form.StartMesh().Columns, 32);
    EXPECT_EQ(form.EndMesh().Columns, 32);
    for (const auto& [c, r] : {std::pair{0, 33}, std::pair{33, 1}, std::pair{-1, 5}})
        EXPECT_FALSE(Editor().SetMeshSize(c, r)) << c << " x " << r;
    EXPECT_TRUE(host.messages.empty());

    EXPECT_TRUE(Editor().Undo());
    EXPECT_TRUE(IsRegular(4, 2, 25, 25));
    EXPECT_TRUE(Editor().Undo());
    EXPECT_TRUE(IsRegular(5, 5, 20, 10));
    EXPECT_TRUE(Editor().Undo());
    EXPECT_EQ(form.Meshes(), moved);
}

TEST_F(MeshEditing, AGridFinerThanThePicturesIsRefused) {
    LoadPair(temp / "small", 10, 6, Rgb(1, 1, 1), Rgb(2, 2, 2));
    EXPECT_TRUE(Editor().SetMeshSize(10, 6));
    EXPECT_FALSE(Editor().SetMeshSize(11, 6));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "The pictures are too small for a mesh of 11 x 6 cells.");
    EXPECT_EQ(form.StartMesh().Columns, 10);
}

TEST_F(MeshEditing, EditsAreRememberedForThePairAndComeBackWithIt) {
    EXPECT_EQ(Stored(), "<missing>");
    ASSERT_TRUE(Drag(Side::Start, GridPoint(1, 1), {24, 12}));
    const MeshPoints moved = form.Meshes();
    const std::vector<ColorRef> shown = ShownPixels();
    EXPECT_EQ(Stored(), WriteMeshFile(moved));
    ASSERT_TRUE(Editor().SetMeshSize(4, 2));
    ASSERT_TRUE(Editor().Undo());  // the undo is remembered too
    EXPECT_EQ(Stored(), WriteMeshFile(moved));

    ReloadStart();
    EXPECT_EQ(form.Meshes(), moved);
    EXPECT_FALSE(Editor().CanUndo());  // new pictures: a new history
    EXPECT_TRUE(ShownPixels() == shown);  // the overlay too

    // Another pair starts from the regular grid.
    LoadPair(temp / "other", 100, 50, Rgb(1, 1, 1), Rgb(2, 2, 2));
    EXPECT_TRUE(IsRegular(5, 5, 20, 10));
}

TEST_F(MeshEditing, RememberedTextOfAnotherSizeOrBrokenIsIgnored) {
    const std::string key = MeshMemoryKey((temp / "start.bmp").string(), (temp / "end.bmp").string());
    // A valid 1 x 1 mesh, but for 200 x 50 pictures.
    const std::string wide =
        R"({"columns": 1, "rows": 1, "width": 200, "height": 50,)"
        R"( "start": [[0, 0], [200, 0], [0, 50], [200, 50]], "end": [[0, 0], [200, 0], [0, 50], [200, 50]]})";
    store.SaveSetting("Kestrovan", "Meshes", key, wide);
    ReloadStart();
    EXPECT_TRUE(IsRegular(5, 5, 20, 10));
    store.SaveSetting("Kestrovan", "Meshes", key, "{\"columns\": 1");
    ReloadStart();
    EXPECT_TRUE(IsRegular(5, 5, 20, 10));
    // The same text made for 100 x 50 comes back.
    const std::string fits =
        R"({"columns": 1, "rows": 1, "width": 100, "height": 50,)"
        R"( "start": [[0, 0], [100, 0], [0, 50], [100, 50]], "end": [[0, 0], [100, 0], [0, 50], [100, 50]]})";
    store.SaveSetting("Kestrovan", "Meshes", key, fits);
    ReloadStart();
    EXPECT_EQ(form.StartMesh().Columns, 1);
    EXPECT_EQ(EndPoint(1, 1), (Point{100, 50}));
    EXPECT_TRUE(host.messages.empty());
}

TEST(MeshMemory, KeysTellPairsApart) {
    EXPECT_EQ(MeshMemoryKey("/a/b.jpg", "/c.jpg"), MeshMemoryKey("/a/b.jpg", "/c.jpg"));
    EXPECT_NE(MeshMemoryKey("/a/b.jpg", "/c.jpg"), MeshMemoryKey("/c.jpg", "/a/b.jpg"));
    EXPECT_NE(MeshMemoryKey("ab", "c"), MeshMemoryKey("a", "bc"));
    const std::string key = MeshMemoryKey("/a/b.jpg", "/c.jpg");
    EXPECT_EQ(key.size(), 16u);
    EXPECT_EQ(key.find_first_not_of("0123456789abcdef"), std::string::npos);
}

TEST_F(MeshEditing, SavedMeshesOpenAgainAsOneUndoableStep) {
    ASSERT_TRUE(Drag(Side::Start, GridPoint(1, 1), {24, 12}));
    ASSERT_TRUE(Drag(Side::End, GridPoint(4, 5), {70, 50}));
    const MeshPoints moved = form.Meshes();
    host.QueueFile((temp / "mesh.json").string());
    EXPECT_TRUE(Editor().SaveMesh());
    EXPECT_EQ(host.dialogsShown.back().Filter, "Mesh Files (*.json)|*.json");
    EXPECT_EQ(ReadMeshFile((temp / "mesh.json").string()), moved);

    ASSERT_TRUE(Editor().ResetMesh());
    host.QueueFile((temp / "mesh.json").string());
    EXPECT_TRUE(Editor().OpenMesh());
    EXPECT_EQ(form.Meshes(), moved);
    EXPECT_EQ(host.dialogsShown.back().Filter, "Mesh Files (*.json)|*.json");
    EXPECT_TRUE(Editor().Undo());
    EXPECT_TRUE(IsRegular(5, 5, 20, 10));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(Editor().OpenMesh());  // cancelled
}

TEST_F(MeshEditing, AMeshFileThatDoesNotFitIsReportedAndChangesNothing) {
    const auto wrongSize = temp / "wide.json";
    std::ofstream(wrongSize) << R"({"columns": 1, "rows": 1, "width": 200, "height": 50,)"
                                R"( "start": [[0, 0], [200, 0], [0, 50], [200, 50]],)"
                                R"( "end": [[0, 0], [200, 0], [0, 50], [200, 50]]})";
    const auto folded = temp / "folded.json";
    std::ofstream(folded) << R"({"columns": 2, "rows": 1, "width": 100, "height": 50,)"
                             R"( "start": [[0, 0], [0, 0], [100, 0], [0, 50], [50, 50], [100, 50]],)"
                             R"( "end": [[0, 0], [50, 0], [100, 0], [0, 50], [50, 50], [100, 50]]})";
    const MeshPoints before = form.Meshes();
    for (const auto& file : {wrongSize, folded, temp / "missing.json"}) {
        EXPECT_FALSE(Editor().OpenMeshFile(file.string()));
        EXPECT_EQ(form.Meshes(), before);
    }
    ASSERT_EQ(host.messages.size(), 3u);
    EXPECT_NE(host.messages[0].text.find("200 x 50"), std::string::npos) << host.messages[0].text;
    EXPECT_NE(host.messages[1].text.find("start mesh folds the triangle at cell (0, 0)"), std::string::npos)
        << host.messages[1].text;
    EXPECT_FALSE(Editor().CanUndo());
}

TEST_F(MeshEditing, AFailedSaveKeepsTheOlderFile) {
    const auto target = temp / "kept.json";
    std::ofstream(target) << "older";
    {
        test::FileSizeLimit limit(100);  // the mesh file is longer: the disk is "full"
        EXPECT_FALSE(Editor().SaveMeshFile(target.string()));
    }
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text.rfind("Cannot save the mesh to " + target.string(), 0), 0u);
    std::ifstream in(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "older");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp.path()), {}), 3);  // start, end, kept
    EXPECT_FALSE(Editor().SaveMeshFile((temp / "no folder" / "mesh.json").string()));
}

TEST_F(MeshEditing, NothingIsEditedBeforeBothPicturesAreThere) {
    test::ScriptedHost otherHost;
    test::RecordingSettingsStore otherStore;
    MainWindowModel fresh(otherHost, otherStore, otherHost, program.path().string());
    MeshEditor& editor = fresh.MeshEditing();
    EXPECT_FALSE(editor.CanEdit());
    EXPECT_FALSE(editor.BeginDrag(Side::Start, 0, 0));
    EXPECT_FALSE(editor.ResetMesh());
    EXPECT_FALSE(editor.SetMeshSize(2, 2));
    EXPECT_FALSE(editor.OpenMesh());
    EXPECT_FALSE(editor.SaveMesh());
    EXPECT_TRUE(otherHost.dialogsShown.empty());
}

}  // namespace
}  // namespace crossmeld
