#include "Hlr/HLRIntervals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

using namespace KvHLR;

namespace {

constexpr double kTol = 1e-4; // the tolerance of a piece made by an edge's hideFromTo

HLRInterval piece(double from, double to) {
    return HLRInterval{from, to, kTol, kTol};
}

std::vector<std::pair<double, double>> contents(const HLRIntervals& intervals) {
    std::vector<std::pair<double, double>> result;
    for (int i = 1; i <= intervals.size(); ++i) {
        result.emplace_back(intervals.intervalAt(i).from, intervals.intervalAt(i).to);
    }
    return result;
}

HLRIntervals listOf(const std::vector<std::pair<double, double>>& pieces) {
    HLRIntervals intervals;
    for (const auto& p : pieces) {
        intervals.addInterval(piece(p.first, p.second));
    }
    return intervals;
}

} // namespace

TEST(HLRIntervalsTest, PiecesStaySortedAndOverlappingOrTouchingOnesMerge) {
    using Pieces = std::vector<std::pair<double, double>>;
    const std::pair<Pieces, Pieces> cases[] = {
        {{}, {}},
        {{{0.6, 0.8}, {0.2, 0.4}, {0.45, 0.5}, {0.9, 0.95}}, {{0.2, 0.4}, {0.45, 0.5}, {0.6, 0.8}, {0.9, 0.95}}},
        {{{0.2, 0.4}, {0.6, 0.8}, {0.35, 0.65}}, {{0.2, 0.8}}},                             // bridges two
        {{{0.2, 0.8}, {0.4, 0.5}}, {{0.2, 0.8}}},                                           // contained
        {{{0.2, 0.3}, {0.5, 0.6}, {0.95, 0.97}, {0.1, 0.9}}, {{0.1, 0.9}, {0.95, 0.97}}}, // swallows
        // swallows two and runs on into a third
        {{{0.05, 0.1}, {0.2, 0.3}, {0.4, 0.5}, {0.6, 0.8}, {0.15, 0.65}}, {{0.05, 0.1}, {0.15, 0.8}}},
        // Ends 0.0001 apart touch within their tolerances, in either order; a wider gap keeps them apart.
        {{{0.3, 0.5}, {0.5001, 0.7}}, {{0.3, 0.7}}},
        {{{0.5001, 0.7}, {0.3, 0.5}}, {{0.3, 0.7}}},
        {{{0.3, 0.5}, {0.5003, 0.7}}, {{0.3, 0.5}, {0.5003, 0.7}}},
    };
    for (const auto& [added, expected] : cases) {
        EXPECT_EQ(contents(listOf(added)), expected) << added.size() << " pieces";
    }
}

TEST(HLRIntervalsTest, SharedStartOrEndKeepsTheEarliestStartAndLatestEnd) {
    // A merged start spans from the lowest of the two lower bounds to the lowest of the upper ones.
    HLRIntervals sameStart;
    sameStart.addInterval(piece(0.3, 0.5));
    sameStart.addInterval(HLRInterval{0.3001, 0.6, 0.0003, kTol});
    ASSERT_EQ(sameStart.size(), 1);
    EXPECT_NEAR(sameStart.intervalAt(1).from, 0.29995, 1e-12);
    EXPECT_NEAR(sameStart.intervalAt(1).fromTolerance, 0.00015, 1e-12);
    EXPECT_DOUBLE_EQ(sameStart.intervalAt(1).to, 0.6);

    // A merged end likewise takes the highest bounds.
    HLRIntervals sameEnd;
    sameEnd.addInterval(piece(0.3, 0.5));
    sameEnd.addInterval(HLRInterval{0.1, 0.4999, kTol, 0.0003});
    ASSERT_EQ(sameEnd.size(), 1);
    EXPECT_DOUBLE_EQ(sameEnd.intervalAt(1).from, 0.1);
    EXPECT_NEAR(sameEnd.intervalAt(1).to, 0.50005, 1e-12);
    EXPECT_NEAR(sameEnd.intervalAt(1).toTolerance, 0.00015, 1e-12);
}

TEST(HLRIntervalsTest, PieceReachingAnEdgeEndKeepsThatEndExactly) {
    // A start of 0.0 or an end of 1.0 means "touches the vertex"; merging in a slightly earlier
    // start or later end must not move it, whichever of the two pieces absorbs the other.
    HLRIntervals oldStart = listOf({{0.0, 0.3}, {-0.00002, 0.2}});
    ASSERT_EQ(oldStart.size(), 1);
    EXPECT_EQ(oldStart.intervalAt(1).from, 0.0);
    HLRIntervals newStart = listOf({{-0.00005, 0.3}, {0.0, 0.5}});
    ASSERT_EQ(newStart.size(), 1);
    EXPECT_EQ(newStart.intervalAt(1).from, 0.0);

    HLRIntervals endInside = listOf({{0.7, 1.00005}, {0.5, 1.0}});
    ASSERT_EQ(endInside.size(), 1);
    EXPECT_EQ(endInside.intervalAt(1).to, 1.0);
    HLRIntervals endAround = listOf({{0.3, 1.00005}, {0.5, 1.0}});
    ASSERT_EQ(endAround.size(), 1);
    EXPECT_DOUBLE_EQ(endAround.intervalAt(1).from, 0.3);
    EXPECT_EQ(endAround.intervalAt(1).to, 1.0);
}

// Occlusion levels: counts above the most counted read as that most, and an edge covered that often all
// along says so (the hide pass then leaves it), but not while a stretch longer than a sliver is short of it.
// The range still short of it (where the hide test still counts covers) holds every such stretch, slivers too.
TEST(HLRIntervalsTest, CoverCountsStopAtTheMostCounted) {
    const auto counted = [](int most) {
        HLRCoverCounts counts;
        for (int i = 0; i < 3; ++i)
            EXPECT_FALSE(counts.add(0.0, 0.5, most, kTol));
        EXPECT_FALSE(counts.add(0.25, 1.0, most, kTol));
        std::vector<std::pair<double, int>> ends;
        for (const HLRCoverCounts::Stretch& s : counts.stretchesWithin(0.0, 1.0, kTol))
            ends.emplace_back(s.to, s.count);
        return std::pair(counts, ends);
    };
    using Ends = std::vector<std::pair<double, int>>;
    EXPECT_EQ(counted(1 << 30).second, (Ends{{0.25, 3}, {0.5, 4}, {1.0, 1}}));
    auto [counts, ends] = counted(2);
    EXPECT_EQ(ends, (Ends{{0.5, 2}, {1.0, 1}}));
    EXPECT_EQ(counts.uncounted(), (std::pair{0.5, 1.0}));
    for (int i = 0; i < 8; ++i) // the last 2e-5 of the edge stays short of two covers: a sliver
        EXPECT_FALSE(counts.add(0.0, 0.5, 2, kTol));
    bool full = false;
    for (int i = 0; i < 8 && !full; ++i)
        full = counts.add(0.5, 0.99998, 2, kTol);
    EXPECT_TRUE(full);
    EXPECT_EQ(counts.uncounted(), (std::pair{std::round(0.99998 * 65536) / 65536, 1.0}));
}
