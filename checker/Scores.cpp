#include "checker/Scores.h"

#include "checker/SegmentGrid.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>

namespace kvcheck {
namespace {

bool isSharpKind(int kind) {
    return kind == kVisibleConcaveSharp || kind == kVisibleConvexSharp;
}

} // namespace

Box2 frameOf(const EdgeSamples& edges, double tolerance) {
    Box2 box{{std::numeric_limits<double>::max(), std::numeric_limits<double>::max()},
             {std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest()}};
    for (const Sample& s : edges.samples) {
        box.lo = {std::min(box.lo.x, s.at.x), std::min(box.lo.y, s.at.y)};
        box.hi = {std::max(box.hi.x, s.at.x), std::max(box.hi.y, s.at.y)};
    }
    box.lo = box.lo - Vec2{2 * tolerance, 2 * tolerance};
    box.hi = box.hi + Vec2{2 * tolerance, 2 * tolerance};
    return box;
}

SegmentGrid truthGrid(const EdgeSamples& edges, const std::function<bool(const Sample&)>& takes,
                      const Box2& frame, double tolerance) {
    SegmentGrid grid(frame, tolerance);
    const std::vector<Sample>& s = edges.samples;
    for (std::size_t e = 0; e + 1 < edges.firstOfEdge.size(); ++e) {
        const std::size_t begin = edges.firstOfEdge[e], end = edges.firstOfEdge[e + 1];
        for (std::size_t i = begin; i < end; ++i) {
            if (!takes(s[i]))
                continue;
            if (i + 1 < end && takes(s[i + 1]))
                grid.add(s[i].at, s[i + 1].at);
            else if (i == begin || !takes(s[i - 1]))
                grid.add(s[i].at, s[i].at);
        }
    }
    grid.finish();
    return grid;
}

namespace {

SegmentGrid gridOfLines(const std::vector<Line>& lines, const std::function<bool(const Line&)>& takes,
                        const Box2& frame, double tolerance) {
    SegmentGrid grid(frame, tolerance);
    for (const Line& line : lines) {
        if (!takes(line) || line.points.empty())
            continue;
        grid.add(line.points.front(), line.points.front());
        for (std::size_t i = 1; i < line.points.size(); ++i)
            grid.add(line.points[i - 1], line.points[i]);
    }
    grid.finish();
    return grid;
}

SegmentGrid lineGrid(const std::vector<Line>& lines, const std::function<bool(int)>& takesKind,
                     const Box2& frame, double tolerance) {
    return gridOfLines(lines, [&takesKind](const Line& line) { return takesKind(line.kind); }, frame, tolerance);
}

// The hidden lines of each occlusion level, made as the samples ask for them.
class LevelGrids {
public:
    LevelGrids(const std::vector<Line>& lines, const Box2& frame, double tolerance)
        : m_lines(lines), m_frame(frame), m_tolerance(tolerance) {}

    bool anyWithin(int level, Vec2 p) {
        auto found = m_grids.find(level);
        if (found == m_grids.end()) {
            const auto takes = [level](const Line& line) { return line.kind == kHidden && line.level == level; };
            found = m_grids.emplace(level, gridOfLines(m_lines, takes, m_frame, m_tolerance)).first;
        }
        return found->second.anyWithin(p);
    }

private:
    const std::vector<Line>& m_lines;
    Box2 m_frame;
    double m_tolerance;
    std::map<int, SegmentGrid> m_grids;
};

struct PrecisionCounter {
    const SegmentGrid& truth;
    const SegmentGrid& unscored;
    const Box2& frame;
    Ratio& ratio;
    std::uint64_t& unscoredPoints;

    void point(Vec2 p) {
        const bool match = truth.anyWithin(p);
        if (!match && unscored.anyWithin(p))
            ++unscoredPoints;
        else
            ratio.count(match, p);
    }

    // The points a + (j / n) (b - a), j = 0 .. n - 1, with n the pieces of at most `spacing`. Points
    // outside the frame are far from every sample: they are counted, not looked up, so that a stray
    // line of any length costs no more than one inside the frame.
    void segment(Vec2 a, Vec2 b, double spacing) {
        const double pieces = std::min(std::max(1.0, std::ceil(length(b - a) / spacing)), 0x1p52);
        double t0 = 0, t1 = 0;
        double first = 0, last = -1; // the range of j inside the frame
        if (clipRange(frame, a, b, t0, t1)) {
            first = std::ceil(t0 * pieces);
            last = std::min(std::floor(t1 * pieces), pieces - 1);
        }
        for (double j = first; j <= last; ++j)
            point(a + (j / pieces) * (b - a));
        ratio.scored += static_cast<std::uint64_t>(pieces - std::max(0.0, last - first + 1));
    }

    void line(const Line& l, double spacing) {
        for (std::size_t i = 1; i < l.points.size(); ++i)
            segment(l.points[i - 1], l.points[i], spacing);
        if (!l.points.empty())
            point(l.points.back());
    }
};

} // namespace

Scores score(const EdgeSamples& edges, const std::vector<Line>& lines, double tolerance, double spacing,
             double coincidence, double merging) {
    const Box2 frame = frameOf(edges, tolerance);
    const SegmentGrid visibleLines = lineGrid(lines, isVisibleKind, frame, tolerance);
    const SegmentGrid hiddenLines = lineGrid(
        lines, [](int k) { return k == kHidden; }, frame, tolerance);
    const SegmentGrid silhouetteLines = lineGrid(
        lines, [](int k) { return k == kVisibleSilhouette; }, frame, tolerance);
    const SegmentGrid sharpLines = lineGrid(lines, isSharpKind, frame, tolerance);
    const SegmentGrid intersectionLines = lineGrid(
        lines, [](int k) { return k == kVisibleIntersection; }, frame, tolerance);
    const SegmentGrid tangentLines = lineGrid(
        lines, [](int k) { return k == kVisibleTangent; }, frame, tolerance);
    const SegmentGrid visibleTruth = truthGrid(
        edges, [](const Sample& s) { return s.visibility == Visibility::Visible; }, frame, tolerance);
    const SegmentGrid hiddenTruth = truthGrid(
        edges, [](const Sample& s) { return s.visibility == Visibility::Hidden; }, frame, tolerance);
    const SegmentGrid unscoredTruth = truthGrid(
        edges, [](const Sample& s) { return s.visibility == Visibility::Unscored; }, frame, tolerance);
    const SegmentGrid excusingTruth = truthGrid(
        edges, [](const Sample& s) { return s.visibility == Visibility::Unscored || s.settled; }, frame,
        tolerance);

    LevelGrids levelLines(lines, frame, tolerance);
    Scores scores;
    auto within = [](const SegmentGrid& truth, Vec2 p, double distance) {
        return truth.findWithin(p, [&](Vec2 a, Vec2 b) {
            double at = 0;
            return distanceToSegment(p, a, b, at) <= distance;
        });
    };
    auto coincides = [&within, coincidence](const SegmentGrid& truth, Vec2 p) { return within(truth, p, coincidence); };
    for (const Sample& s : edges.samples) {
        if (s.edgeClass == EdgeClass::DoubtfulIntersection)
            continue; // a drawing need not show it
        if (s.visibility == Visibility::Visible) {
            scores.visibleRecall.count(visibleLines.anyWithin(s.at), s.at);
            if (s.settled)
                continue; // its kind is a tie
            if (s.edgeClass == EdgeClass::Silhouette)
                scores.silhouetteKind.count(silhouetteLines.anyWithin(s.at), s.at);
            else if (s.edgeClass == EdgeClass::Sharp)
                scores.sharpKind.count(sharpLines.anyWithin(s.at), s.at);
            else if (s.edgeClass == EdgeClass::Intersection)
                scores.intersectionRecall.count(intersectionLines.anyWithin(s.at), s.at);
            else if (s.edgeClass == EdgeClass::Tangent)
                scores.tangentKind.count(tangentLines.anyWithin(s.at), s.at);
        } else if (s.visibility == Visibility::Hidden && s.edgeClass != EdgeClass::Tangent) {
            if (coincides(visibleTruth, s.at) || coincides(unscoredTruth, s.at) ||
                (s.edgeClass != EdgeClass::Intersection && coincides(visibleLines, s.at) &&
                 within(visibleTruth, s.at, spacing))) {
                ++scores.hiddenSamplesCovered;
                continue;
            }
            const bool drawn = hiddenLines.anyWithin(s.at);
            scores.hiddenRecall.count(drawn, s.at);
            // A hidden point right under a drawn visible line has no hidden line of its own to show its
            // level: the drawing makes ends within `merging` one, so a hidden edge that close to a visible
            // line is drawn as that line and then left out under it. The hidden line found near it is
            // another edge's, whose level says nothing of this one's.
            if (drawn && s.level > 0 && !within(visibleLines, s.at, merging))
                scores.levelAgreement.count(levelLines.anyWithin(s.level, s.at), s.at);
            if (s.edgeClass == EdgeClass::Intersection && !s.settled)
                scores.intersectionRecall.count(drawn, s.at);
        }
    }

    PrecisionCounter visible{visibleTruth, excusingTruth, frame, scores.visiblePrecision,
                             scores.visiblePointsUnscored};
    PrecisionCounter hidden{hiddenTruth, excusingTruth, frame, scores.hiddenPrecision,
                            scores.hiddenPointsUnscored};
    for (const Line& line : lines)
        (isVisibleKind(line.kind) ? visible : hidden).line(line, spacing);
    return scores;
}

} // namespace kvcheck
