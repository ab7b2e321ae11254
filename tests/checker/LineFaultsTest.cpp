// Dots and hidden lines drawn along visible ones, found in drawings laid out by hand.

#include "checker/LineFaults.h"

#include <gtest/gtest.h>

namespace kvcheck {
namespace {

// A drawing of size 1: the visible line from (0, 0) to (1, 0) drawn in two segments.
const Box2 kFrame{{-1, -1}, {2, 2}};
const Line kVisible{kVisibleSilhouette, {{0, 0}, {0.4, 0}, {1, 0}}};

TEST(LineFaults, HiddenStretchesAlongVisibleLinesAreMeasured) {
    struct Case {
        const char* what;
        std::vector<Vec2> hidden;
        double length;
        int pieces;
    };
    const Case cases[] = {
        {"on it", {{0.2, 0}, {0.6, 0}}, 0.4, 1},
        {"within rounding of it", {{0.2, 1e-7}, {0.6, -1e-7}}, 0.4, 1},
        {"beside it", {{0.2, 1e-4}, {0.6, 1e-4}}, 0, 0},
        {"across it", {{0.5, -0.5}, {0.5, 0.5}}, 0, 0},
        {"on it at a slant", {{0.2, 0}, {0.6, 1e-3}}, 0, 0},
        {"across it at a shallow angle", {{0.2, -1e-4}, {0.8, 1e-4}}, 0, 0},
        {"running on beyond its end", {{-0.5, 0}, {0.5, 0}}, 0.5, 1},
        {"starting where it ends", {{1, 0}, {2, 0}}, 0, 0},
        {"in three segments along it", {{0.1, 0}, {0.3, 0}, {0.5, 0}, {0.9, 0}}, 0.8, 1},
        {"leaving it and coming back",
         {{0.1, 0}, {0.3, 0}, {0.3, 0.5}, {0.6, 0.5}, {0.6, 0}, {0.9, 0}},
         0.5,
         2},
        {"outside the frame", {{-3, 0}, {-2, 0}}, 0, 0},
    };
    for (const Case& c : cases) {
        const LineFaults f = findLineFaults({kVisible, {kHidden, c.hidden}}, kFrame, 1);
        EXPECT_NEAR(f.hiddenUnderVisibleLength, c.length, 1e-12) << c.what;
        EXPECT_EQ(f.hiddenUnderVisiblePieces, std::uint64_t(c.pieces)) << c.what;
        EXPECT_EQ(f.zeroLengthLines, 0u) << c.what;
    }
    const LineFaults f = findLineFaults({kVisible, {kHidden, {{0.2, 0}, {0.6, 0}, {0.6, 1.2}}}}, kFrame, 1);
    EXPECT_DOUBLE_EQ(f.hiddenLength, 1.6);
    EXPECT_DOUBLE_EQ(f.hiddenUnderVisibleShare(), 0.25);
}

TEST(LineFaults, LinesThatStayAtOnePointAreDots) {
    struct Case {
        std::vector<Vec2> points;
        bool dot;
    };
    const Case cases[] = {
        {{{0.5, 0.5}}, true},
        {{{0.5, 0.5}, {0.5, 0.5}}, true},
        {{{0.5, 0.5}, {0.5 + 1e-10, 0.5}, {0.5, 0.5 - 1e-10}}, true},
        {{{0.5, 0.5}, {0.5 + 1e-8, 0.5}}, false},
        {{{0.5, 0.5}, {1, 0.5}, {0.5, 0.5}}, false},
    };
    for (int kind : {kVisibleConvexSharp, kHidden}) {
        std::vector<Line> lines;
        std::uint64_t dots = 0;
        for (const Case& c : cases) {
            lines.push_back({kind, c.points});
            dots += c.dot;
        }
        EXPECT_EQ(findLineFaults(lines, kFrame, 1).zeroLengthLines, dots) << kind;
        // In a drawing a thousand times larger, a line 1e-8 long is a dot too.
        EXPECT_EQ(findLineFaults(lines, kFrame, 1e3).zeroLengthLines, dots + 1) << kind;
    }
}

} // namespace
} // namespace kvcheck
