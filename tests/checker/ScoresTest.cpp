// Scoring a drawing against samples laid out by hand.

#include "checker/Scores.h"

#include <gtest/gtest.h>

namespace kvcheck {
namespace {

// Binary fractions, so that the counts below come out exact.
constexpr double kSpacing = 1.0 / 64, kTolerance = 2 * kSpacing, kCoincidence = 1e-9, kMerging = 1e-4;

// Unit-long horizontal edges in the drawing, edge e at y = e, sampled every kSpacing.
EdgeSamples rows(const std::vector<std::pair<Visibility, EdgeClass>>& kinds) {
    EdgeSamples edges;
    for (std::size_t e = 0; e < kinds.size(); ++e) {
        edges.firstOfEdge.push_back(edges.samples.size());
        for (int i = 0; i < 64; ++i)
            edges.samples.push_back({{(i + 0.5) * kSpacing, double(e)}, kinds[e].first, kinds[e].second});
    }
    edges.firstOfEdge.push_back(edges.samples.size());
    return edges;
}

// A visible silhouette at y = 0, a hidden sharp edge at y = 1 and an unscored one at y = 2.
EdgeSamples threeEdges() {
    return rows({{Visibility::Visible, EdgeClass::Silhouette},
                 {Visibility::Hidden, EdgeClass::Sharp},
                 {Visibility::Unscored, EdgeClass::Uncertain}});
}

Line line(int kind, Vec2 a, Vec2 b) {
    return {kind, {a, b}};
}

TEST(Scores, MissingWrongAndMiscalledLinesEachCostTheirOwnScore) {
    // The silhouette drawn as a sharp edge and only half of it; the hidden edge drawn as visible.
    const Scores s = score(threeEdges(),
                           {line(kVisibleConvexSharp, {0, 0}, {0.5, 0}), line(kVisibleOther, {0, 1}, {1, 1})},
                           kTolerance, kSpacing, kCoincidence, kMerging);
    EXPECT_EQ(s.visibleRecall.matched, 34u); // samples up to x = 0.5 + kTolerance are within reach
    EXPECT_EQ(s.silhouetteKind.matched, 0u);
    EXPECT_EQ(s.hiddenRecall.matched, 0u);
    EXPECT_EQ(s.hiddenRecall.scored, 64u);
    EXPECT_EQ(s.visiblePrecision.matched, 33u);
    EXPECT_EQ(s.visiblePrecision.scored, 33u + 65u);
    EXPECT_EQ(s.visiblePrecision.misses.front().y, 1);
    EXPECT_EQ(s.hiddenPrecision.scored, 0u);
    EXPECT_EQ(s.hiddenPrecision.value(), 1.0);
}

TEST(Scores, LinesOverUnscoredEdgesAreNotJudgedAndStrayLinesCostTheirLength) {
    const Scores s = score(threeEdges(),
                           {line(kVisibleSilhouette, {0, 0}, {1, 0}), line(kVisibleOther, {0, 2}, {1, 2}),
                            line(kHidden, {0, 1}, {1, 1}), line(kHidden, {5, 1}, {6, 1})},
                           kTolerance, kSpacing, kCoincidence, kMerging);
    EXPECT_EQ(s.visiblePointsUnscored, 65u);
    EXPECT_EQ(s.visiblePrecision.value(), 1.0);
    EXPECT_EQ(s.hiddenPrecision.matched, 65u);
    EXPECT_EQ(s.hiddenPrecision.scored, 130u);

    // A line that reaches far beyond the frame is counted there, not walked.
    const Scores stray =
        score(threeEdges(), {line(kHidden, {-1e12, 1}, {1e12, 1})}, kTolerance, kSpacing, kCoincidence, kMerging);
    EXPECT_EQ(stray.hiddenRecall.matched, 64u);
    EXPECT_LT(stray.hiddenPrecision.value(), 1e-9);
}

TEST(Scores, HiddenEdgesUnderVisibleOrUnscoredOnesNeedNoHiddenLine) {
    // Hidden edges exactly along the visible edge and along the unscored one, and one just beside the
    // visible edge: only that one asks for a hidden line.
    EdgeSamples edges = threeEdges();
    const std::size_t threeEdgesEnd = edges.samples.size();
    for (const double y : {0.0, 2.0, 1e-6})
        for (int i = 0; i < 64; ++i)
            edges.samples.push_back({{(i + 0.5) * kSpacing, y}, Visibility::Hidden, EdgeClass::Sharp});
    for (int e = 1; e <= 3; ++e)
        edges.firstOfEdge.push_back(threeEdgesEnd + 64 * e);
    const Scores s = score(edges, {line(kVisibleSilhouette, {0, 0}, {1, 0}), line(kHidden, {1, 1}, {0, 1})},
                           kTolerance, kSpacing, kCoincidence, kMerging);
    EXPECT_EQ(s.hiddenSamplesCovered, 128u);
    EXPECT_EQ(s.hiddenRecall.scored, 128u);
    EXPECT_EQ(s.hiddenRecall.matched, 64u);
}

TEST(Scores, IntersectionLinesAreAskedForVisibleAsTheirOwnKindAndHiddenAsHiddenLines) {
    // Intersections visible at y = 0 and hidden at y = 1; one that may or may not be there at y = 2.
    const EdgeSamples edges = rows({{Visibility::Visible, EdgeClass::Intersection},
                                    {Visibility::Hidden, EdgeClass::Intersection},
                                    {Visibility::Visible, EdgeClass::DoubtfulIntersection}});
    auto at = [](int kind, double y) { return line(kind, {0, y}, {1, y}); };
    struct Case {
        const char* what;
        std::vector<Line> lines;
        std::uint64_t drawn, visibleDrawn; // intersection and visible samples within reach
    };
    const Case cases[] = {
        {"drawn", {at(kVisibleIntersection, 0), at(kHidden, 1)}, 128, 64},
        {"the visible one drawn as another kind", {at(kVisibleOther, 0), at(kHidden, 1)}, 64, 64},
        {"the hidden one drawn visible", {at(kVisibleIntersection, 0), at(kVisibleIntersection, 1)}, 64, 64},
        {"left out, but the doubtful one drawn", {at(kVisibleIntersection, 2)}, 0, 0},
    };
    for (const Case& c : cases) {
        const Scores s = score(edges, c.lines, kTolerance, kSpacing, kCoincidence, kMerging);
        EXPECT_EQ(s.intersectionRecall.scored, 128u) << c.what;
        EXPECT_EQ(s.intersectionRecall.matched, c.drawn) << c.what;
        EXPECT_EQ(s.visibleRecall.scored, 64u) << c.what;
        EXPECT_EQ(s.visibleRecall.matched, c.visibleDrawn) << c.what;
    }
    // Lines along the doubtful intersection are judged by its visibility.
    EXPECT_EQ(score(edges, cases[3].lines, kTolerance, kSpacing, kCoincidence, kMerging).visiblePrecision.value(), 1.0);
    EXPECT_EQ(score(edges, {at(kHidden, 2)}, kTolerance, kSpacing, kCoincidence, kMerging).hiddenPrecision.value(),
              0.0);
}

TEST(Scores, TangentEdgesAreAskedForWhereVisibleAsTheirOwnKind) {
    // A visible tangent edge at y = 0, a hidden one at y = 1: a drawing leaves hidden tangent edges out.
    const EdgeSamples edges =
        rows({{Visibility::Visible, EdgeClass::Tangent}, {Visibility::Hidden, EdgeClass::Tangent}});
    auto at = [](int kind, double y) { return line(kind, {0, y}, {1, y}); };
    struct Case {
        const char* what;
        std::vector<Line> lines;
        std::uint64_t visibleDrawn, ofItsKind;
    };
    const Case cases[] = {
        {"drawn", {at(kVisibleTangent, 0)}, 64, 64},
        {"drawn as an outline", {at(kVisibleSilhouette, 0)}, 64, 0},
        {"left out", {}, 0, 0},
    };
    for (const Case& c : cases) {
        const Scores s = score(edges, c.lines, kTolerance, kSpacing, kCoincidence, kMerging);
        EXPECT_EQ(s.visibleRecall.matched, c.visibleDrawn) << c.what;
        EXPECT_EQ(s.tangentKind.scored, 64u) << c.what;
        EXPECT_EQ(s.tangentKind.matched, c.ofItsKind) << c.what;
        EXPECT_EQ(s.hiddenRecall.scored, 0u) << c.what;
        EXPECT_EQ(s.visiblePrecision.value(), 1.0) << c.what;
    }
}

TEST(Scores, LevelsAreJudgedByTheHiddenLineOfTheSameLevelButUnderAVisibleOne) {
    // A hidden edge at y = 0 whose samples lie at level 2.
    EdgeSamples edges = rows({{Visibility::Hidden, EdgeClass::Sharp}});
    for (Sample& s : edges.samples)
        s.level = 2;
    auto hidden = [](int level) { return Line{kHidden, {{0, 0}, {1, 0}}, level}; };
    struct Case {
        const char* what;
        std::vector<Line> lines;
        std::uint64_t scored, matched;
    };
    const Case cases[] = {
        {"its level", {hidden(2)}, 64, 64},
        {"another level", {hidden(1)}, 64, 0},
        // Within the merging distance of a visible line the hidden line near it is another edge's.
        {"beside a visible line", {hidden(1), line(kVisibleSilhouette, {0, kMerging / 2}, {1, kMerging / 2})}, 0, 0},
        {"farther from it", {hidden(1), line(kVisibleSilhouette, {0, 2 * kMerging}, {1, 2 * kMerging})}, 64, 0},
    };
    for (const Case& c : cases) {
        const Scores s = score(edges, c.lines, kTolerance, kSpacing, kCoincidence, kMerging);
        EXPECT_EQ(s.levelAgreement.scored, c.scored) << c.what;
        EXPECT_EQ(s.levelAgreement.matched, c.matched) << c.what;
    }
}

} // namespace
} // namespace kvcheck
