// Cutting hidden stretches that lie on visible lines out of a drawing, and dropping dots.

#include "api/DrawingCleanup.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

namespace {

using namespace KvHLR;
using Points = std::vector<ON_2dPoint>;

StrokeLine line(int kind, Points points) {
    StrokeLine l;
    l.kind = kind;
    l.points = std::move(points);
    return l;
}

bool samePoints(Points const& a, Points const& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::fabs(a[i].x - b[i].x) > 1e-12 || std::fabs(a[i].y - b[i].y) > 1e-12)
            return false;
    return true;
}

} // namespace

TEST(DrawingCleanup, HiddenStretchesOnVisibleLinesAreCutOut) {
    struct Case {
        const char* what;
        std::vector<StrokeLine> drawing;
        std::vector<Points> hiddenLeft;
    };
    const std::vector<Case> cases = {
        {"middle of a hidden line under a visible one",
         {line(1, {{0, 0}, {3, 0}}), line(0, {{1, 0}, {2, 0}})},
         {{{0, 0}, {1, 0}}, {{2, 0}, {3, 0}}}},
        {"a corner under a visible polyline",
         {line(1, {{0, 0}, {1, 0}, {1, 1}}), line(3, {{0.5, 0}, {1, 0}, {1, 0.5}})},
         {{{0, 0}, {0.5, 0}}, {{1, 0.5}, {1, 1}}}},
        {"a crossing cuts nothing",
         {line(1, {{0, 0}, {2, 0}}), line(0, {{1, -1}, {1, 1}})},
         {{{0, 0}, {2, 0}}}},
        {"a crossing at a few degrees cuts nothing",
         {line(1, {{0, 0}, {2, 0}}), line(0, {{0, -0.05}, {2, 0.05}})},
         {{{0, 0}, {2, 0}}}},
        {"a parallel line beside it cuts nothing",
         {line(1, {{0, 0}, {2, 0}}), line(0, {{0, 0.01}, {2, 0.01}})},
         {{{0, 0}, {2, 0}}}},
        {"a short piece leaving a visible corner at a slight angle, within the tolerance throughout",
         {line(1, {{1, 0}, {1.0001, 1.5e-6}}), line(0, {{0, 0}, {1, 0}, {2, 0}})},
         {}},
        {"wholly under visible lines",
         {line(1, {{0, 0}, {2, 0}}), line(0, {{0, 0}, {1, 0}}), line(2, {{1, 0}, {2, 0}})},
         {}},
    };
    for (Case const& c : cases) {
        std::vector<StrokeLine> drawing = c.drawing;
        cleanUpDrawing(drawing);
        std::vector<Points> hidden;
        for (StrokeLine const& l : drawing)
            if (l.kind == 1)
                hidden.push_back(l.points);
        ASSERT_EQ(hidden.size(), c.hiddenLeft.size()) << c.what;
        for (std::size_t i = 0; i < hidden.size(); ++i)
            EXPECT_TRUE(samePoints(hidden[i], c.hiddenLeft[i])) << c.what << ", piece " << i;
        EXPECT_EQ(drawing.size() - hidden.size(), c.drawing.size() - 1) << c.what << ": visible lines kept";
    }
}

TEST(DrawingCleanup, DotsAreDropped) {
    std::vector<StrokeLine> drawing = {line(0, {{0, 0}, {1, 0}}), line(3, {{0.5, 0.5}, {0.5, 0.5}}),
                                       line(1, {{0.2, 0.2}, {0.2, 0.2}, {0.2, 0.2}})};
    cleanUpDrawing(drawing);
    ASSERT_EQ(drawing.size(), 1u);
    EXPECT_EQ(drawing[0].kind, 0);
}

// Enough lines for a grid of many cells, given in an order unlike the cells': a hidden line under a
// visible one anywhere in the drawing goes, one between them stays.
TEST(DrawingCleanup, HiddenLinesUnderVisibleOnesAcrossTheGrid) {
    constexpr int kRows = 1000;
    std::vector<StrokeLine> drawing;
    for (int k = 0; k < kRows; ++k) {
        const double y = (k * 379) % kRows; // rows scattered over the drawing
        const double x = (k * 211) % 7;
        drawing.push_back(line(1, {{x, y}, {x + 1, y}}));
        drawing.push_back(line(0, {{x, y}, {x + 1, y}}));
        drawing.push_back(line(1, {{x, y + 0.5}, {x + 1, y + 0.5}}));
    }
    cleanUpDrawing(drawing);
    ASSERT_EQ(drawing.size(), 2u * kRows);
    for (int k = 0; k < kRows; ++k) {
        EXPECT_EQ(drawing[2 * k].kind, 0) << "row " << k;
        EXPECT_EQ(drawing[2 * k + 1].kind, 1) << "row " << k;
        EXPECT_EQ(drawing[2 * k + 1].points[0].y, (k * 379) % kRows + 0.5) << "row " << k;
    }
}

// A hidden line keeps its level and its segments' sources, whether nothing lies on it or it is cut.
TEST(DrawingCleanup, HiddenLinesKeepLevelAndSources) {
    const auto traced = [](StrokeLine l) {
        l.level = 2;
        for (std::uint32_t i = 0; i + 1 < l.points.size(); ++i)
            l.sources.push_back(LineSource{7, {i, i + 1}, LineSource::kNone});
        return l;
    };
    std::vector<StrokeLine> drawing = {traced(line(1, {{0, 5}, {1, 5}, {2, 5}})),
                                       traced(line(1, {{0, 0}, {1, 0}, {3, 0}})),
                                       line(0, {{0.5, 0}, {2, 0}})};
    cleanUpDrawing(drawing);
    ASSERT_EQ(drawing.size(), 4u);
    const std::vector<Points> points = {{{0, 5}, {1, 5}, {2, 5}}, {{0, 0}, {0.5, 0}}, {{2, 0}, {3, 0}}};
    const std::vector<std::vector<std::uint32_t>> firstVertices = {{0, 1}, {0}, {1}};
    for (std::size_t i = 0; i < points.size(); ++i) {
        EXPECT_TRUE(samePoints(drawing[i].points, points[i])) << "line " << i;
        EXPECT_EQ(drawing[i].level, 2) << "line " << i;
        ASSERT_EQ(drawing[i].sources.size(), firstVertices[i].size()) << "line " << i;
        for (std::size_t k = 0; k < firstVertices[i].size(); ++k) {
            EXPECT_EQ(drawing[i].sources[k].body, 7u);
            EXPECT_EQ(drawing[i].sources[k].edge[0], firstVertices[i][k])
                << "line " << i << ", segment " << k;
        }
    }
    EXPECT_EQ(drawing[3].kind, 0);
}
