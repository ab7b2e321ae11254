// Whole checks on files: a small square lying over the edge of a large one, seen from above.

#include "Scenes.h"

#include "checker/Check.h"
#include "checker/InputError.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

namespace kvcheck {
namespace {

using Polyline = std::vector<std::array<double, 2>>;

std::string writeFile(const std::string& name, const std::string& text) {
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path) << text;
    return path;
}

// The large square [0, 4]^2 at height 0 and the small [3, 5] x [1, 2] at height 1. Seen from above,
// the small one covers the large one's right edge between y = 1 and y = 2.
std::string writeSquares() {
    return writeFile("squares.obj", "v 0 0 0\nv 4 0 0\nv 4 4 0\nv 0 4 0\n"
                                    "v 3 1 1\nv 5 1 1\nv 5 2 1\nv 3 2 1\n"
                                    "f 1 2 3 4\nf 5 6 7 8\n");
}

// A drawing of the squares through an orthographic camera centred above (2, 2): drawing coordinates
// are world x - 2 and y - 2.
std::string writeDrawing(const std::string& name, const std::vector<std::pair<int, Polyline>>& lines) {
    const Camera camera = test::orthographic(test::lookAt({2, 2, 10}, {2, 2, 0}, {0, 1, 0}), 4, 1, 20);
    nlohmann::json document = {{"modelView", camera.modelView.m},
                               {"projection", camera.projection.m},
                               {"near", camera.nearDepth},
                               {"far", camera.farDepth},
                               {"lines", nlohmann::json::array()}};
    for (const auto& [kind, points] : lines)
        document["lines"].push_back({{"kind", kind}, {"points", points}});
    return writeFile(name, document.dump());
}

const Polyline kSmallSquare{{1, -1}, {3, -1}, {3, 0}, {1, 0}, {1, -1}};
const Polyline kLargeSquareUncovered{{2, 0}, {2, 2}, {-2, 2}, {-2, -2}, {2, -2}, {2, -1}};
const Polyline kLargeSquareCovered{{2, -1}, {2, 0}};

CaseFigures check(const std::string& drawing) {
    std::ostringstream warnings;
    const CaseFigures figures = runCheck({writeSquares(), drawing, 135, "squares"}, warnings);
    EXPECT_EQ(warnings.str(), "");
    return figures;
}

TEST(Check, FaithfulDrawingPasses) {
    const CaseFigures f = check(writeDrawing(
        "faithful.json", {{0, kSmallSquare}, {0, kLargeSquareUncovered}, {1, kLargeSquareCovered}}));
    EXPECT_EQ(f.edgesByClass[int(EdgeClass::Boundary)], 8u);
    EXPECT_DOUBLE_EQ(f.drawingSize, 5);
    EXPECT_GT(f.scores.visibleRecall.scored, 1000u);
    EXPECT_GT(f.scores.hiddenRecall.scored, 50u);
    EXPECT_TRUE(shortfalls(f, Thresholds{1, 1, 1, 1, 1, 0, 0}).empty());
}

TEST(Check, HiddenStretchDrawnVisibleFails) {
    Polyline wholeLargeSquare = kLargeSquareUncovered;
    wholeLargeSquare.push_back({2, 0});
    const CaseFigures f = check(writeDrawing("wrong.json", {{0, kSmallSquare}, {0, wholeLargeSquare}}));
    EXPECT_EQ(f.scores.visibleRecall.value(), 1.0);
    EXPECT_LT(f.scores.visiblePrecision.value(), 0.99);
    EXPECT_EQ(f.scores.hiddenRecall.matched, 0u);
    const std::vector<std::string> failed{"visible_precision", "hidden_recall"};
    EXPECT_EQ(shortfalls(f, Thresholds{}), failed);
}

TEST(Check, UnusableDrawingsAreInputErrors) {
    std::ostringstream warnings;
    const std::string mesh = writeSquares();
    nlohmann::json document = nlohmann::json::parse(std::ifstream(writeDrawing("base.json", {})));
    document["lines"] = {{{"kind", 4}, {"points", {{0, 0}, {1, 1}}}}};
    EXPECT_THROW(runCheck({mesh, writeFile("kind.json", document.dump()), 135, ""}, warnings), InputError);
    document.erase("lines");
    EXPECT_THROW(runCheck({mesh, writeFile("nolines.json", document.dump()), 135, ""}, warnings), InputError);
    document["lines"] = nlohmann::json::array();
    document["near"] = "one";
    EXPECT_THROW(runCheck({mesh, writeFile("near.json", document.dump()), 135, ""}, warnings), InputError);
    EXPECT_THROW(runCheck({mesh, writeFile("text.json", "not json"), 135, ""}, warnings), InputError);
}

} // namespace
} // namespace kvcheck
