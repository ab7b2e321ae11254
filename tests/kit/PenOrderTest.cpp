// Plotter order: the greedy choice on hand-made cases, the kd-tree search against a plain scan of every
// free end, and drawing lines put in order. (kvhlr's sheets in plotter order are checked by
// cli/check_sheet.py.)

#include "kit/sheet/PenOrder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>
#include <tuple>

namespace {

using namespace kvhlr;

// "1 2 0r": polylines 1, 2 and 0, the last drawn backwards.
std::string text(const std::vector<PlotStep>& steps) {
    std::ostringstream out;
    for (const PlotStep& step : steps)
        out << (&step == &steps.front() ? "" : " ") << step.index << (step.reversed ? "r" : "");
    return out.str();
}

// The same greedy choice by looking at every free end at every step.
std::vector<PlotStep> orderByScan(const std::vector<PolylineEnds>& polylines, PagePoint pen) {
    std::vector<bool> drawn(polylines.size(), false);
    std::vector<PlotStep> steps;
    for (std::size_t step = 0; step < polylines.size(); ++step) {
        double best = HUGE_VAL;
        std::size_t bestEnd = 0;
        for (std::size_t end = 0; end < 2 * polylines.size(); ++end) {
            const PagePoint p = end % 2 ? polylines[end / 2].last : polylines[end / 2].first;
            const double d2 = (p.x - pen.x) * (p.x - pen.x) + (p.y - pen.y) * (p.y - pen.y);
            if (!drawn[end / 2] && d2 < best) {
                best = d2;
                bestEnd = end;
            }
        }
        drawn[bestEnd / 2] = true;
        steps.push_back({bestEnd / 2, bestEnd % 2 == 1});
        pen = bestEnd % 2 ? polylines[bestEnd / 2].first : polylines[bestEnd / 2].last;
    }
    return steps;
}

std::vector<PolylineEnds> randomSegments(std::size_t count, std::uint64_t seed, double side, double length,
                                         bool onGrid) {
    std::mt19937_64 random(seed);
    const auto uniform = [&](double scale) {
        const double u = static_cast<double>(random() >> 11) * 0x1.0p-53 * scale;
        return onGrid ? std::floor(u) : u;
    };
    std::vector<PolylineEnds> segments(count);
    for (PolylineEnds& s : segments) {
        s.first = {uniform(side), uniform(side)};
        s.last = {s.first.x + uniform(2 * length) - length, s.first.y + uniform(2 * length) - length};
    }
    return segments;
}

// Integer coordinates on a small grid make many ends equally near, and coincide.
TEST(PlotterOrder, MatchesAScanOfEveryEndAndShortensTravel) {
    for (const bool onGrid : {false, true})
        for (std::uint64_t seed = 1; seed <= 4; ++seed) {
            const auto segments = randomSegments(400, seed, onGrid ? 12 : 100, onGrid ? 6 : 10, onGrid);
            ASSERT_EQ(text(plotterOrder(segments, {0, 0})), text(orderByScan(segments, {0, 0})))
                << "seed " << seed << (onGrid ? " on grid" : "");
            Page page;
            page.layers.resize(1);
            for (const PolylineEnds& s : segments)
                page.layers[0].polylines.push_back({s.first, s.last});
            const double before = penUpTravel(page);
            orderForPlotter(page);
            EXPECT_LT(penUpTravel(page), before);
        }
}

// The writers draw hidden lines first, then silhouettes, convex, concave and other visible edges.
TEST(PlotterOrder, DrawingLinesGoByLayerFromThePen) {
    std::vector<KvHLR::StrokeLine> lines;
    // Kind 42, which neither the library nor the kit makes, is drawn with the other visible lines.
    for (const auto& [kind, from, to] : std::vector<std::tuple<int, double, double>>{
             {VisibleSilhouette, 8, 9}, {OtherVisible, 30, 31}, {Hidden, 4, 3}, {42, 20, 21}, {Hidden, 1, 2},
             {VisibleSilhouette, 5, 6}})
        lines.push_back({{{from, 0}, {to, 0}}, kind});
    orderForPlotter(lines, {0, 0});
    std::ostringstream order;
    for (const KvHLR::StrokeLine& line : lines)
        order << line.kind << ':' << line.points.front().x << ' ';
    EXPECT_EQ(order.str(), "1:1 1:3 0:5 0:8 42:20 5:30 ");
}

} // namespace
