#include "kit/sheet/PenOrder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <stdexcept>

namespace kvhlr {
namespace {

// The free polyline ends in a kd-tree laid out in one array: the subtree over [lo, hi) has its split
// entry at the middle, the entries before it not above it on the split axis and those after it not
// below; a short range is a leaf, not split further. Each subtree keeps the count of its free ends at
// its middle, so a search skips what has been drawn in one step and stays quick when few ends are
// left. An end's id is 2 * polyline, plus 1 for its last point.
class FreeEnds {
public:
    // `progress` is told of each end filed into a leaf.
    FreeEnds(const std::vector<PolylineEnds>& polylines, StepProgress& progress) {
        m_entries.reserve(2 * polylines.size());
        for (std::size_t i = 0; i < polylines.size(); ++i) {
            const auto id = static_cast<std::uint32_t>(2 * i);
            m_entries.push_back({polylines[i].first.x, polylines[i].first.y, id});
            m_entries.push_back({polylines[i].last.x, polylines[i].last.y, id + 1});
        }
        m_free.assign(m_entries.size(), 0);
        m_axis.assign(m_entries.size(), 0);
        m_taken.assign(m_entries.size(), 0);
        build(0, size(), progress);
        m_position.resize(m_entries.size());
        for (std::uint32_t i = 0; i < size(); ++i)
            m_position[m_entries[i].id] = i;
    }

    // The id of the free end nearest to (x, y); the lowest id among equally near ones.
    std::uint32_t nearest(double x, double y) const {
        Best best{std::numeric_limits<double>::infinity(), 0};
        search(0, size(), x, y, best);
        return best.id;
    }

    void take(std::uint32_t id) {
        const std::uint32_t position = m_position[id];
        std::uint32_t lo = 0, hi = size();
        for (;;) {
            const std::uint32_t mid = lo + (hi - lo) / 2;
            --m_free[mid];
            if (hi - lo <= kLeaf || position == mid)
                break;
            if (position < mid)
                hi = mid;
            else
                lo = mid + 1;
        }
        m_taken[position] = 1;
    }

private:
    // Ranges this small are leaves, searched end by end: cheaper than splitting them further.
    static constexpr std::uint32_t kLeaf = 16;

    struct Entry {
        double x, y;
        std::uint32_t id;
    };
    struct Best {
        double distance2;
        std::uint32_t id;
    };

    std::uint32_t size() const { return static_cast<std::uint32_t>(m_entries.size()); }

    // Splits across the wider side of the subtree's bounds; the id breaks ties, so that equal
    // coordinates are ordered too.
    void build(std::uint32_t lo, std::uint32_t hi, StepProgress& progress) {
        if (hi - lo <= kLeaf) {
            if (lo < hi)
                m_free[lo + (hi - lo) / 2] = hi - lo;
            progress.done(hi - lo);
            return;
        }
        double minX = m_entries[lo].x, maxX = minX, minY = m_entries[lo].y, maxY = minY;
        for (std::uint32_t i = lo + 1; i < hi; ++i) {
            minX = std::min(minX, m_entries[i].x);
            maxX = std::max(maxX, m_entries[i].x);
            minY = std::min(minY, m_entries[i].y);
            maxY = std::max(maxY, m_entries[i].y);
        }
        const std::uint8_t axis = maxY - minY > maxX - minX ? 1 : 0;
        const std::uint32_t mid = lo + (hi - lo) / 2;
        std::nth_element(m_entries.begin() + lo, m_entries.begin() + mid, m_entries.begin() + hi,
                         [axis](const Entry& a, const Entry& b) {
                             const double ca = axis ? a.y : a.x, cb = axis ? b.y : b.x;
                             return ca < cb || (ca == cb && a.id < b.id);
                         });
        m_axis[mid] = axis;
        m_free[mid] = hi - lo;
        progress.done(1);
        build(lo, mid, progress);
        build(mid + 1, hi, progress);
    }

    void consider(std::uint32_t position, double x, double y, Best& best) const {
        if (m_taken[position])
            return;
        const Entry& entry = m_entries[position];
        const double dx = entry.x - x, dy = entry.y - y;
        const double distance2 = dx * dx + dy * dy;
        if (distance2 < best.distance2 || (distance2 == best.distance2 && entry.id < best.id))
            best = {distance2, entry.id};
    }

    // A subtree on the far side of the split is searched also when it may hold an equally near end,
    // which could have a lower id.
    void search(std::uint32_t lo, std::uint32_t hi, double x, double y, Best& best) const {
        if (lo >= hi)
            return;
        const std::uint32_t mid = lo + (hi - lo) / 2;
        if (m_free[mid] == 0)
            return;
        if (hi - lo <= kLeaf) {
            for (std::uint32_t i = lo; i < hi; ++i)
                consider(i, x, y, best);
            return;
        }
        consider(mid, x, y, best);
        const Entry& split = m_entries[mid];
        const double across = m_axis[mid] ? y - split.y : x - split.x;
        if (across < 0) {
            search(lo, mid, x, y, best);
            if (across * across <= best.distance2)
                search(mid + 1, hi, x, y, best);
        } else {
            search(mid + 1, hi, x, y, best);
            if (across * across <= best.distance2)
                search(lo, mid, x, y, best);
        }
    }

    std::vector<Entry> m_entries;
    std::vector<std::uint32_t> m_free;     // free ends in the subtree split at each position
    std::vector<std::uint8_t> m_axis;      // its split axis: 0 x, 1 y
    std::vector<std::uint8_t> m_taken;     // the end at each position is drawn
    std::vector<std::uint32_t> m_position; // each end's position, by id
};

// Ordering takes three steps per polyline: filing its two ends into the tree, and finding it.
constexpr std::size_t kStepsPerPolyline = 3;

// plotterOrder, telling `progress` of each step.
std::vector<PlotStep> orderEnds(const std::vector<PolylineEnds>& polylines, PagePoint pen, StepProgress& progress) {
    if (polylines.size() >= (std::size_t{1} << 31))
        throw std::length_error("plotterOrder: too many polylines");
    const auto finite = [](const PagePoint& p) { return std::isfinite(p.x) && std::isfinite(p.y); };
    for (const PolylineEnds& ends : polylines)
        if (!finite(ends.first) || !finite(ends.last))
            throw std::invalid_argument("plotterOrder: a polyline end is not finite");
    if (!finite(pen))
        throw std::invalid_argument("plotterOrder: the pen position is not finite");

    FreeEnds freeEnds(polylines, progress);
    std::vector<PlotStep> steps;
    steps.reserve(polylines.size());
    for (std::size_t drawn = 0; drawn < polylines.size(); ++drawn) {
        const std::uint32_t end = freeEnds.nearest(pen.x, pen.y);
        const std::uint32_t first = end & ~1u;
        freeEnds.take(first);
        freeEnds.take(first + 1);
        const PlotStep step{end / 2, (end & 1u) != 0};
        steps.push_back(step);
        progress.done(1);
        pen = step.reversed ? polylines[step.index].first : polylines[step.index].last;
    }
    return steps;
}

template <class Point> PagePoint pagePoint(const Point& p) {
    return {p.x, p.y};
}

// A page's polyline reversed, or a drawing's line with its sources (reverseLine).
void reversePoints(std::vector<PagePoint>& polyline) {
    std::reverse(polyline.begin(), polyline.end());
}
void reversePoints(KvHLR::StrokeLine& line) {
    reverseLine(line);
}
// A page's polyline with its model edges (PageLayer::edges), which name no direction.
using EdgedPolyline = std::pair<std::vector<PagePoint>, std::string>;
void reversePoints(EdgedPolyline& polyline) {
    reversePoints(polyline.first);
}

// Where a page's polylines and a drawing's lines hold their points.
const auto pagePoints = [](auto& polyline) -> auto& {
    return polyline;
};
const auto linePoints = [](auto& line) -> auto& {
    return line.points;
};
const auto edgedPoints = [](auto& polyline) -> auto& {
    return polyline.first;
};

template <class Lines, class PointsOf> double travel(const Lines& lines, PagePoint& pen, PointsOf pointsOf) {
    double total = 0.0;
    for (const auto& line : lines) {
        const auto& points = pointsOf(line);
        if (points.empty())
            continue;
        total += std::hypot(points.front().x - pen.x, points.front().y - pen.y);
        pen = pagePoint(points.back());
    }
    return total;
}

// Orders one run of lines in place from `pen`; returns where the pen ends.
template <class Line, class PointsOf>
PagePoint orderLines(std::vector<Line>& lines, PagePoint pen, PointsOf pointsOf, StepProgress& progress) {
    // Lines without points have no ends to order by; they go last.
    const auto drawnEnd = std::stable_partition(lines.begin(), lines.end(),
                                                [&](const Line& line) { return !pointsOf(line).empty(); });
    std::vector<PolylineEnds> ends;
    ends.reserve(static_cast<std::size_t>(drawnEnd - lines.begin()));
    for (auto it = lines.begin(); it != drawnEnd; ++it)
        ends.push_back({pagePoint(pointsOf(*it).front()), pagePoint(pointsOf(*it).back())});
    const std::vector<PlotStep> steps = orderEnds(ends, pen, progress);
    progress.done(kStepsPerPolyline * static_cast<std::size_t>(lines.end() - drawnEnd));
    std::vector<Line> ordered;
    ordered.reserve(steps.size());
    for (const PlotStep& step : steps) {
        Line& line = lines[step.index];
        if (step.reversed)
            reversePoints(line);
        ordered.push_back(std::move(line));
    }
    std::move(ordered.begin(), ordered.end(), lines.begin());
    return ordered.empty() ? pen : pagePoint(pointsOf(lines[ordered.size() - 1]).back());
}

} // namespace

std::vector<PlotStep> plotterOrder(const std::vector<PolylineEnds>& polylines, PagePoint pen,
                                   const std::function<void(double)>& progress) {
    StepProgress steps(kStepsPerPolyline * polylines.size(), progress);
    return orderEnds(polylines, pen, steps);
}

double penUpTravel(const std::vector<std::vector<PagePoint>>& polylines, PagePoint pen) {
    return travel(polylines, pen, pagePoints);
}

double penUpTravel(const Page& page) {
    PagePoint pen;
    double total = 0.0;
    for (const PageLayer& layer : page.layers)
        total += travel(layer.polylines, pen, pagePoints);
    return total;
}

void orderForPlotter(Page& page, const std::function<void(double)>& progress) {
    StepProgress steps(kStepsPerPolyline * lineCount(page), progress);
    PagePoint pen;
    for (PageLayer& layer : page.layers) {
        if (layer.edges.empty()) {
            pen = orderLines(layer.polylines, pen, pagePoints, steps);
            continue;
        }
        std::vector<EdgedPolyline> edged;
        edged.reserve(layer.polylines.size());
        for (std::size_t i = 0; i < layer.polylines.size(); ++i)
            edged.emplace_back(std::move(layer.polylines[i]), std::move(layer.edges[i]));
        pen = orderLines(edged, pen, edgedPoints, steps);
        for (std::size_t i = 0; i < edged.size(); ++i) {
            layer.polylines[i] = std::move(edged[i].first);
            layer.edges[i] = std::move(edged[i].second);
        }
    }
}

void orderForPlotter(std::vector<KvHLR::StrokeLine>& lines, const ON_2dPoint& pen,
                     const std::function<void(double)>& progress) {
    StepProgress steps(kStepsPerPolyline * lines.size(), progress);
    const auto& table = layers();
    std::vector<std::vector<KvHLR::StrokeLine>> byLayer(table.size());
    for (KvHLR::StrokeLine& line : lines)
        byLayer[static_cast<std::size_t>(&layerOf(line) - table.data())].push_back(std::move(line));
    lines.clear();
    PagePoint at = pagePoint(pen);
    for (auto& group : byLayer) {
        at = orderLines(group, at, linePoints, steps);
        lines.insert(lines.end(), std::make_move_iterator(group.begin()),
                     std::make_move_iterator(group.end()));
    }
}

} // namespace kvhlr
