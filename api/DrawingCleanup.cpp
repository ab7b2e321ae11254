#include "api/DrawingCleanup.h"

#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRParallelLoop.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <numeric>
#include <utility>

namespace KvHLR {
namespace {

constexpr std::int32_t kHiddenKind = 1;
// The tolerance as a fraction of the drawing's diagonal.
constexpr double kRelativeTolerance = 1e-6;
// A hidden segment lies on a visible one only when the two run parallel within this angle (radians);
// a crossing would otherwise cut a gap of a few tolerances out of the hidden line.
constexpr double kParallelSine = 1e-3;
// The grid holds about this many visible segments per cell, and at most this many cells a side.
constexpr double kSegmentsPerCell = 2.0;
constexpr int kMaxCellsPerSide = 1024;
// The lines a thread takes at a time: a team pays for itself from a few thousand lines on.
constexpr std::size_t kLinesPerBlock = 2048;

struct Point {
    double x, y;
};

Point operator-(Point a, Point b) {
    return {a.x - b.x, a.y - b.y};
}
double dot(Point a, Point b) {
    return a.x * b.x + a.y * b.y;
}
double cross(Point a, Point b) {
    return a.x * b.y - a.y * b.x;
}
double length(Point a) {
    return std::hypot(a.x, a.y);
}
Point at(Point a, Point b, double u) {
    return {a.x + u * (b.x - a.x), a.y + u * (b.y - a.y)};
}
Point pointOf(ON_2dPoint const& p) {
    return {p.x, p.y};
}

// A segment with its length, which every comparison with another segment needs.
struct Segment {
    Point a, b;
    double length;
};

Segment segmentOf(Point a, Point b) {
    return {a, b, length(b - a)};
}

double lengthOf(StrokeLine const& line) {
    double total = 0.0;
    for (std::size_t i = 1; i < line.points.size(); ++i)
        total += length(pointOf(line.points[i]) - pointOf(line.points[i - 1]));
    return total;
}

struct Box {
    double loX = INFINITY, loY = INFINITY, hiX = -INFINITY, hiY = -INFINITY;
    void add(Point p) {
        loX = std::min(loX, p.x);
        loY = std::min(loY, p.y);
        hiX = std::max(hiX, p.x);
        hiY = std::max(hiY, p.y);
    }
};

// The visible segments, filed by the grid cells that their boxes (grown by the tolerance) touch.
class VisibleSegmentGrid {
public:
    // The segments come in blocks, which are emptied as the grid takes them.
    VisibleSegmentGrid(std::vector<std::vector<Segment>>& blocks, Box const& extent, double tolerance)
        : m_extent(extent), m_tolerance(tolerance) {
        const std::size_t count = std::accumulate(
            blocks.begin(), blocks.end(), std::size_t{0},
            [](std::size_t sum, std::vector<Segment> const& block) { return sum + block.size(); });
        const double cells = std::sqrt(static_cast<double>(count) / kSegmentsPerCell);
        m_side = std::clamp(static_cast<int>(std::ceil(cells)), 1, kMaxCellsPerSide);
        m_cellWidth = std::max(extent.hiX - extent.loX, extent.hiY - extent.loY) / m_side;
        takeInCellOrder(blocks, count);
        // The cells' lists lie one after the other in one array: counted first, then filled in the
        // segments' order, so that a million cells cost two arrays rather than a million lists.
        m_cellStart.assign(static_cast<std::size_t>(m_side) * m_side + 1, 0);
        for (Segment const& segment : m_segments) {
            HLRCancelPoll::check();
            forEachCell(segment, [&](std::size_t cell) { ++m_cellStart[cell + 1]; });
        }
        std::partial_sum(m_cellStart.begin(), m_cellStart.end(), m_cellStart.begin());
        m_filed.resize(m_cellStart.back());
        std::vector<std::uint32_t> next(m_cellStart.begin(), m_cellStart.end() - 1);
        for (std::size_t i = 0; i < m_segments.size(); ++i) {
            HLRCancelPoll::check();
            forEachCell(m_segments[i], [&](std::size_t cell) { m_filed[next[cell]++] = static_cast<std::uint32_t>(i); });
        }
    }

    // One querying thread's marks of the segments its current query has visited.
    struct Stamps {
        explicit Stamps(VisibleSegmentGrid const& grid) : marks(grid.m_segments.size(), 0) {}
        std::vector<std::uint64_t> marks;
        std::uint64_t query = 0;
    };

    // Calls visit(visible segment) once for each visible segment filed near the given one.
    template <typename Visit> void forEachNear(Segment const& segment, Stamps& stamps, Visit visit) const {
        ++stamps.query;
        forEachCell(segment, [&](std::size_t cell) {
            for (std::uint32_t k = m_cellStart[cell]; k < m_cellStart[cell + 1]; ++k) {
                const std::uint32_t i = m_filed[k];
                if (stamps.marks[i] != stamps.query) {
                    stamps.marks[i] = stamps.query;
                    visit(m_segments[i]);
                }
            }
        });
    }

private:
    // Takes the segments sorted by the first cell they touch (a counting sort, which keeps their order
    // within a cell), so that a query reads the segments of a cell, and their marks, from one stretch of
    // memory rather than from all over the drawing: at 100,000 segments and more, the misses of those
    // reads were most of the cleanup's time. Which segments a query visits does not change.
    void takeInCellOrder(std::vector<std::vector<Segment>>& blocks, std::size_t count) {
        std::vector<std::size_t> next(static_cast<std::size_t>(m_side) * m_side + 1, 0);
        for (std::vector<Segment> const& block : blocks)
            for (Segment const& segment : block) {
                HLRCancelPoll::check();
                ++next[firstCellOf(segment) + 1];
            }
        std::partial_sum(next.begin(), next.end(), next.begin());
        m_segments.resize(count);
        for (std::vector<Segment>& block : blocks) {
            for (Segment const& segment : block) {
                HLRCancelPoll::check();
                m_segments[next[firstCellOf(segment)]++] = segment;
            }
            std::vector<Segment>().swap(block);
        }
    }

    // The first cell forEachCell visits for the segment.
    std::size_t firstCellOf(Segment const& s) const {
        return static_cast<std::size_t>(cellOf(std::min(s.a.y, s.b.y) - m_tolerance, m_extent.loY)) * m_side +
               static_cast<std::size_t>(cellOf(std::min(s.a.x, s.b.x) - m_tolerance, m_extent.loX));
    }

    int cellOf(double v, double lo) const {
        if (!(m_cellWidth > 0.0))
            return 0;
        return std::clamp(static_cast<int>((v - lo) / m_cellWidth), 0, m_side - 1);
    }

    // Calls visit(index of the cell) for each cell the segment's box, grown by the tolerance, touches.
    template <typename Visit> void forEachCell(Segment const& s, Visit visit) const {
        const int x0 = cellOf(std::min(s.a.x, s.b.x) - m_tolerance, m_extent.loX);
        const int x1 = cellOf(std::max(s.a.x, s.b.x) + m_tolerance, m_extent.loX);
        const int y0 = cellOf(std::min(s.a.y, s.b.y) - m_tolerance, m_extent.loY);
        const int y1 = cellOf(std::max(s.a.y, s.b.y) + m_tolerance, m_extent.loY);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                visit(static_cast<std::size_t>(y) * m_side + x);
    }

    std::vector<Segment> m_segments;
    Box m_extent;
    double m_tolerance;
    int m_side = 1;
    double m_cellWidth = 0.0;
    std::vector<std::uint32_t> m_cellStart; // per cell, and one past the last: into m_filed
    std::vector<std::uint32_t> m_filed;     // the segments' indices, cell after cell
};

using Range = std::pair<double, double>;

// Narrows [lo, hi] to the parameters u where f0 + u (f1 - f0) lies within [-tol, tol] of target.
void keepWithin(double f0, double f1, double target, double tol, double& lo, double& hi) {
    const double a = f0 - target;
    const double slope = f1 - f0;
    if (slope == 0.0) {
        if (std::fabs(a) > tol)
            hi = lo - 1.0;
        return;
    }
    double u0 = (-tol - a) / slope;
    double u1 = (tol - a) / slope;
    if (u0 > u1)
        std::swap(u0, u1);
    lo = std::max(lo, u0);
    hi = std::min(hi, u1);
}

// The stretch of `hidden` alongside a `visible` segment that lies wholly along the hidden segment's line,
// when longer than tol: a short piece of a curved visible line (an intersection line, say) touching a
// straight hidden one at a slight angle.
bool visibleAlongHidden(Segment const& hidden, Segment const& visible, double tol, Range& range) {
    const Point h = hidden.b - hidden.a;
    const double hiddenLength = hidden.length;
    if (!(hiddenLength > tol) || std::fabs(cross(h, visible.a - hidden.a)) > tol * hiddenLength ||
        std::fabs(cross(h, visible.b - hidden.a)) > tol * hiddenLength)
        return false;
    const double u0 = dot(h, visible.a - hidden.a) / (hiddenLength * hiddenLength);
    const double u1 = dot(h, visible.b - hidden.a) / (hiddenLength * hiddenLength);
    range = {std::max(0.0, std::min(u0, u1)), std::min(1.0, std::max(u0, u1))};
    return (range.second - range.first) * hiddenLength > tol;
}

// The parameters along `hidden` that lie on `visible`: within tol of it, and either near-parallel to
// it or wholly along its line (a short hidden piece leaving a visible line's corner at a slight angle),
// or else alongside a short visible segment lying along the hidden one (visibleAlongHidden).
bool rangeOn(Segment const& hidden, Segment const& visible, double tol, Range& range) {
    const Point h = hidden.b - hidden.a;
    const Point v = visible.b - visible.a;
    const double visibleLength = visible.length;
    if (!(visibleLength > tol))
        return false;
    // Distances of the hidden segment's ends from the visible segment's line.
    const double offA = cross(v, hidden.a - visible.a) / visibleLength;
    const double offB = cross(v, hidden.b - visible.a) / visibleLength;
    const bool alongLine = std::fabs(offA) <= tol && std::fabs(offB) <= tol;
    if (!alongLine && std::fabs(cross(h, v)) > kParallelSine * hidden.length * visibleLength)
        return visibleAlongHidden(hidden, visible, tol, range);
    double lo = 0.0;
    double hi = 1.0;
    // Distance from the visible segment's line, and position along it (not beyond its ends, so that a
    // hidden line that goes on where a visible one stops keeps its full length).
    keepWithin(offA, offB, 0.0, tol, lo, hi);
    keepWithin(dot(v, hidden.a - visible.a) / visibleLength, dot(v, hidden.b - visible.a) / visibleLength,
               0.5 * visibleLength, 0.5 * visibleLength, lo, hi);
    range = {lo, hi};
    return lo < hi || visibleAlongHidden(hidden, visible, tol, range);
}

// One querying thread's state: its grid stamps, and room for the ranges that visible segments cover
// on the segments of the hidden line at hand, kept from line to line.
struct CoverScratch {
    explicit CoverScratch(VisibleSegmentGrid const& grid) : stamps(grid) {}
    VisibleSegmentGrid::Stamps stamps;
    std::vector<Range> covered;          // segment after segment, each segment's sorted
    std::vector<std::size_t> coveredEnd; // per segment: one past its last range in `covered`
};

// The ranges of each segment of a hidden line that visible segments cover, into the scratch; false if
// there are none.
bool findCovered(StrokeLine const& line, VisibleSegmentGrid const& grid, double tol, CoverScratch& scratch) {
    scratch.covered.clear();
    scratch.coveredEnd.clear();
    for (std::size_t i = 1; i < line.points.size(); ++i) {
        const Segment segment = segmentOf(pointOf(line.points[i - 1]), pointOf(line.points[i]));
        // Whatever rangeOn finds lies within the tolerance of both segments, and most visible segments
        // filed near this one lie farther away: their boxes tell, before any product is taken. The box
        // is grown by twice the tolerance so that rounding cannot make the two tests disagree.
        Box near;
        near.add(
            {std::min(segment.a.x, segment.b.x) - 2.0 * tol, std::min(segment.a.y, segment.b.y) - 2.0 * tol});
        near.add(
            {std::max(segment.a.x, segment.b.x) + 2.0 * tol, std::max(segment.a.y, segment.b.y) + 2.0 * tol});
        const std::size_t first = scratch.covered.size();
        grid.forEachNear(segment, scratch.stamps, [&](Segment const& visible) {
            if (std::max(visible.a.x, visible.b.x) < near.loX ||
                std::min(visible.a.x, visible.b.x) > near.hiX ||
                std::max(visible.a.y, visible.b.y) < near.loY ||
                std::min(visible.a.y, visible.b.y) > near.hiY)
                return;
            Range range;
            if (rangeOn(segment, visible, tol, range))
                scratch.covered.push_back(range);
        });
        std::sort(scratch.covered.begin() + static_cast<std::ptrdiff_t>(first), scratch.covered.end());
        scratch.coveredEnd.push_back(scratch.covered.size());
    }
    return !scratch.covered.empty();
}

// Cuts the covered ranges out of a hidden line; appends the pieces that are left. Most hidden lines lie
// near no visible one: such a line goes on whole, its first point put as the pieces would put it.
void appendUncovered(StrokeLine&& line, VisibleSegmentGrid const& grid, CoverScratch& scratch, double tol,
                     std::vector<StrokeLine>& out) {
    const bool sourcePerSegment = line.sources.empty() || line.sources.size() + 1 == line.points.size();
    if (!findCovered(line, grid, tol, scratch) && sourcePerSegment) {
        const Point first = at(pointOf(line.points[0]), pointOf(line.points[1]), 0.0);
        line.points[0] = ON_2dPoint(first.x, first.y);
        out.push_back(std::move(line));
        return;
    }
    StrokeLine piece;
    piece.kind = line.kind;
    piece.level = line.level;
    const auto finishPiece = [&] {
        if (piece.points.size() >= 2 && lengthOf(piece) > tol)
            out.push_back(piece); // a copy: piece keeps its room for the next one
        piece.points.clear();
        piece.sources.clear();
    };
    for (std::size_t i = 1; i < line.points.size(); ++i) {
        // Every point but a piece's first ends a stretch of segment i - 1, whose source it takes.
        const auto extend = [&](Point p) {
            if (!line.sources.empty() && !piece.points.empty())
                piece.sources.push_back(line.sources[i - 1]);
            piece.points.emplace_back(p.x, p.y);
        };
        const Point a = pointOf(line.points[i - 1]);
        const Point b = pointOf(line.points[i]);
        double from = 0.0; // start of the stretch not yet known to be covered
        for (std::size_t k = i > 1 ? scratch.coveredEnd[i - 2] : 0; k < scratch.coveredEnd[i - 1]; ++k) {
            const Range& range = scratch.covered[k];
            if (range.first > from) {
                if (from > 0.0 || piece.points.empty()) {
                    finishPiece();
                    extend(at(a, b, from));
                }
                extend(at(a, b, range.first));
                finishPiece();
            }
            from = std::max(from, range.second);
        }
        if (from < 1.0) {
            if (from > 0.0 || piece.points.empty()) {
                finishPiece();
                extend(at(a, b, from));
            }
            extend(b);
        } else {
            finishPiece();
        }
    }
    finishPiece();
}

} // namespace

void cleanUpDrawing(std::vector<StrokeLine>& lines) {
    // The lines go a block at a time to the team's threads, each block's result kept apart and the
    // results put together in the blocks' order, so that everything comes out in the order of the lines
    // whatever the threads.
    if (lines.empty())
        return;
    const std::size_t blocks = blockCount(lines.size(), kLinesPerBlock);
    std::vector<Box> extents(blocks);
    forEachBlock(lines.size(), kLinesPerBlock, [&](std::size_t block, std::size_t first, std::size_t last) {
        for (std::size_t i = first; i < last; ++i)
            for (ON_2dPoint const& p : lines[i].points)
                extents[block].add(pointOf(p));
    });
    Box extent;
    for (Box const& box : extents) {
        extent.add({box.loX, box.loY});
        extent.add({box.hiX, box.hiY});
    }
    const double tol = kRelativeTolerance * std::hypot(extent.hiX - extent.loX, extent.hiY - extent.loY);
    if (!(tol > 0.0))
        return; // nothing drawn, or everything on one point

    // A visible segment no longer than the tolerance covers nothing (rangeOn), so the short lines that
    // go need not leave the grid first. Without hidden lines there is nothing to cover: the grid stays
    // empty.
    const bool anyHidden = std::any_of(lines.begin(), lines.end(),
                                       [](StrokeLine const& line) { return line.kind == kHiddenKind; });
    std::vector<std::vector<Segment>> visibleOf(blocks);
    forEachBlock(anyHidden ? lines.size() : 0, kLinesPerBlock,
                 [&](std::size_t block, std::size_t first, std::size_t last) {
                     for (std::size_t i = first; i < last; ++i) {
                         StrokeLine const& line = lines[i];
                         if (line.kind == kHiddenKind)
                             continue;
                         for (std::size_t k = 1; k < line.points.size(); ++k) {
                             const Segment segment =
                                 segmentOf(pointOf(line.points[k - 1]), pointOf(line.points[k]));
                             if (segment.length > tol)
                                 visibleOf[block].push_back(segment);
                         }
                     }
                 });
    const VisibleSegmentGrid grid(visibleOf, extent, tol);

    // A line no longer than the tolerance goes (an edge seen end-on draws a dot).
    std::vector<std::vector<StrokeLine>> results(blocks);
    runInParallel(
        static_cast<std::ptrdiff_t>(blocks), 1, [&grid] { return CoverScratch(grid); },
        [&](CoverScratch& scratch, std::ptrdiff_t block) {
            const std::size_t first = static_cast<std::size_t>(block) * kLinesPerBlock;
            const std::size_t last = std::min(lines.size(), first + kLinesPerBlock);
            std::vector<StrokeLine>& result = results[static_cast<std::size_t>(block)];
            result.reserve(last - first);
            for (std::size_t i = first; i < last; ++i) {
                HLRCancelPoll::check();
                if (!(lengthOf(lines[i]) > tol))
                    continue;
                if (lines[i].kind == kHiddenKind)
                    appendUncovered(std::move(lines[i]), grid, scratch, tol, result);
                else
                    result.push_back(std::move(lines[i]));
            }
        });
    // Each block's lines moved to their place on the team too: a million lines moved one by one take
    // a tenth of a second.
    std::vector<std::size_t> firstOf(blocks + 1, 0);
    for (std::size_t block = 0; block < blocks; ++block)
        firstOf[block + 1] = firstOf[block] + results[block].size();
    lines.clear();
    lines.resize(firstOf[blocks]);
    forEachBlock(blocks, 1, [&](std::size_t block, std::size_t, std::size_t) {
        std::move(results[block].begin(), results[block].end(), lines.begin() + static_cast<std::ptrdiff_t>(firstOf[block]));
        std::vector<StrokeLine>().swap(results[block]);
    });
}

} // namespace KvHLR
