#include "kit/drawing/Section.h"

#include "kit/InputError.h"
#include "kit/NumberText.h"
#include "kit/drawing/Geometry.h"
#include "kit/drawing/NearPlaneCut.h"
#include "kit/drawing/SectionShared.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kvhlr {
namespace {

// The part of a closed loop where value(point) >= 0, closed along where it crosses 0 (one step of
// Sutherland-Hodgman): inside that half-space the loops clipped so nest, even-odd, as they did.
template <class Point, class Value> std::vector<Point> clipLoop(const std::vector<Point>& loop, Value value) {
    std::vector<Point> kept;
    for (std::size_t i = 0; i < loop.size(); ++i) {
        const Point& p = loop[i];
        const Point& q = loop[(i + 1) % loop.size()];
        const double a = value(p), b = value(q);
        if (a >= 0.0)
            kept.push_back(p);
        if ((a < 0.0) != (b < 0.0) && a != 0.0 && b != 0.0)
            kept.push_back(between(p, q, a / (a - b)));
    }
    return kept;
}

std::vector<ON_2dPoint> clipLoopToBox(std::vector<ON_2dPoint> loop, const Box2& box) {
    loop = clipLoop(loop, [&](const ON_2dPoint& p) { return p.x - box.minX; });
    loop = clipLoop(loop, [&](const ON_2dPoint& p) { return box.maxX - p.x; });
    loop = clipLoop(loop, [&](const ON_2dPoint& p) { return p.y - box.minY; });
    return clipLoop(loop, [&](const ON_2dPoint& p) { return box.maxY - p.y; });
}

// A query number no query has: SegmentGrid's stamp of a segment not yet seen.
constexpr std::size_t kNever = std::numeric_limits<std::size_t>::max();

struct Segment2 {
    ON_2dPoint a, b;
};

// The outline's segments filed in a grid, to find those near a line of the drawing.
class SegmentGrid {
public:
    SegmentGrid(const std::vector<Segment2>& segments, double tolerance)
        : m_segments(segments), m_tolerance(tolerance), m_seen(segments.size(), kNever) {
        constexpr double inf = std::numeric_limits<double>::infinity();
        m_box = {inf, inf, -inf, -inf};
        for (const Segment2& s : segments)
            grow(m_box, s);
        m_box = {m_box.minX - tolerance, m_box.minY - tolerance, m_box.maxX + tolerance, m_box.maxY + tolerance};
        m_side = std::clamp<std::size_t>(static_cast<std::size_t>(std::sqrt(double(segments.size()))), 1, 1024);
        m_cells.resize(m_side * m_side);
        for (std::size_t i = 0; i < segments.size(); ++i)
            forCells(boxOf(segments[i]), [&](std::size_t cell) { m_cells[cell].push_back(i); });
    }

    // Calls visit(segment index) once for each segment filed near the segment p-q.
    template <class Visit> void near(const Segment2& s, Visit&& visit) {
        ++m_query;
        forCells(boxOf(s), [&](std::size_t cell) {
            for (std::size_t i : m_cells[cell])
                if (m_seen[i] != m_query) {
                    m_seen[i] = m_query;
                    visit(m_segments[i]);
                }
        });
    }

private:
    static void grow(Box2& box, const Segment2& s) {
        box = {std::min({box.minX, s.a.x, s.b.x}), std::min({box.minY, s.a.y, s.b.y}),
               std::max({box.maxX, s.a.x, s.b.x}), std::max({box.maxY, s.a.y, s.b.y})};
    }
    Box2 boxOf(const Segment2& s) const {
        return {std::min(s.a.x, s.b.x) - m_tolerance, std::min(s.a.y, s.b.y) - m_tolerance,
                std::max(s.a.x, s.b.x) + m_tolerance, std::max(s.a.y, s.b.y) + m_tolerance};
    }
    template <class Visit> void forCells(const Box2& box, Visit&& visit) const {
        if (box.maxX < m_box.minX || box.minX > m_box.maxX || box.maxY < m_box.minY || box.minY > m_box.maxY)
            return;
        const auto cell = [&](double at, double low, double size) {
            const double f = (at - low) / size * static_cast<double>(m_side);
            return static_cast<std::size_t>(std::clamp(f, 0.0, static_cast<double>(m_side - 1)));
        };
        const std::size_t x0 = cell(box.minX, m_box.minX, m_box.width()), x1 = cell(box.maxX, m_box.minX, m_box.width());
        const std::size_t y0 = cell(box.minY, m_box.minY, m_box.height()), y1 = cell(box.maxY, m_box.minY, m_box.height());
        for (std::size_t y = y0; y <= y1; ++y)
            for (std::size_t x = x0; x <= x1; ++x)
                visit(y * m_side + x);
    }

    const std::vector<Segment2>& m_segments;
    double m_tolerance;
    Box2 m_box{};
    std::size_t m_side = 1;
    std::vector<std::vector<std::size_t>> m_cells;
    std::vector<std::size_t> m_seen;
    std::size_t m_query = 0;
};

// The parameter ranges (0..1) of p-q that lie along the outline: parallel to a segment of it, within
// the tolerance of it.
std::vector<std::pair<double, double>> alongOutline(const Segment2& pq, SegmentGrid& grid, double tolerance) {
    const double dx = pq.b.x - pq.a.x, dy = pq.b.y - pq.a.y, length2 = dx * dx + dy * dy;
    std::vector<std::pair<double, double>> ranges;
    if (!(length2 > 0.0))
        return ranges;
    const double length = std::sqrt(length2);
    grid.near(pq, [&](const Segment2& s) {
        const double ex = s.b.x - s.a.x, ey = s.b.y - s.a.y;
        // Both ends of the outline's segment within the tolerance of the line through p and q.
        const auto side = [&](const ON_2dPoint& p) { return (dx * (p.y - pq.a.y) - dy * (p.x - pq.a.x)) / length; };
        if (std::fabs(side(s.a)) > tolerance || std::fabs(side(s.b)) > tolerance || !(ex * ex + ey * ey > 0.0))
            return;
        const double ta = ((s.a.x - pq.a.x) * dx + (s.a.y - pq.a.y) * dy) / length2;
        const double tb = ((s.b.x - pq.a.x) * dx + (s.b.y - pq.a.y) * dy) / length2;
        const double low = std::max(0.0, std::min(ta, tb)), high = std::min(1.0, std::max(ta, tb));
        if (low < high)
            ranges.emplace_back(low, high);
    });
    std::sort(ranges.begin(), ranges.end());
    return ranges;
}

// The library's lines with their stretches along the outline taken out.
void removeAlongOutline(std::vector<KvHLR::StrokeLine>& lines, const std::vector<Segment2>& outline,
                        double tolerance, ProgressPoll& poll) {
    SegmentGrid grid(outline, tolerance);
    std::vector<KvHLR::StrokeLine> kept;
    for (const KvHLR::StrokeLine& line : lines) {
        KvHLR::StrokeLine* open = nullptr;
        for (std::size_t i = 1; i < line.points.size(); ++i) {
            poll();
            const Segment2 pq{line.points[i - 1], line.points[i]};
            const double length = std::hypot(pq.b.x - pq.a.x, pq.b.y - pq.a.y);
            const auto at = [&](double t) {
                return ON_2dPoint(pq.a.x + t * (pq.b.x - pq.a.x), pq.a.y + t * (pq.b.y - pq.a.y));
            };
            // Kept: the stretches between the ranges along the outline longer than the tolerance, and
            // a segment without length whole, so that its polyline goes on.
            const auto keep = [&](double t0, double t1) {
                if ((t1 - t0) * length <= tolerance && !(t0 == 0.0 && t1 == 1.0)) {
                    open = nullptr;
                    return;
                }
                if (!open || t0 > 0.0) {
                    open = &kept.emplace_back();
                    open->kind = line.kind;
                    open->level = line.level;
                    open->points.push_back(at(t0));
                }
                open->points.push_back(at(t1));
                if (!line.sources.empty())
                    open->sources.push_back(line.sources[i - 1]);
                if (t1 < 1.0)
                    open = nullptr;
            };
            double from = 0.0;
            for (const auto& [low, high] : alongOutline(pq, grid, tolerance)) {
                if (low > from)
                    keep(from, low);
                from = std::max(from, high);
            }
            if (from < 1.0)
                keep(from, 1.0);
            else
                open = nullptr;
        }
    }
    lines = std::move(kept);
}

// One body's hatching: its family's angle (radians) and spacing.
struct HatchFamily {
    double angle, spacing;
};

HatchFamily hatchFamily(const HatchStyle& style, double spacing, std::size_t body) {
    return {(style.angleDegrees + (body % 2 == 0 ? 0.0 : 90.0)) * M_PI / 180.0,
            spacing * (1.0 + 0.5 * static_cast<double>((body / 2) % 3))};
}

// How far the loops' sides reach across a family's lines (summed): a family of spacing s meets them
// in this over s points at most, besides one a side, and draws half as many lines.
double acrossLength(const std::vector<std::vector<ON_2dPoint>>& loops, double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    double length = 0.0;
    for (const std::vector<ON_2dPoint>& loop : loops)
        for (std::size_t i = 0; i < loop.size(); ++i) {
            const ON_2dPoint& p = loop[i];
            const ON_2dPoint& q = loop[(i + 1) % loop.size()];
            length += std::fabs(-(q.x - p.x) * s + (q.y - p.y) * c);
        }
    return length;
}

// Refuses hatching that would draw more than kMostHatchLines lines, naming the smallest spacing that
// would not, before any line is made.
void checkHatchCount(const std::vector<std::vector<std::vector<ON_2dPoint>>>& bodies, const HatchStyle& style,
                     double spacing) {
    // The lines drawn at a unit spacing: the count at `spacing` is this over `spacing`.
    double atUnitSpacing = 0.0;
    for (std::size_t b = 0; b < bodies.size(); ++b) {
        const HatchFamily family = hatchFamily(style, 1.0, b);
        atUnitSpacing += acrossLength(bodies[b], family.angle) / family.spacing / 2.0;
    }
    if (!(atUnitSpacing / spacing > kMostHatchLines))
        return;
    std::string reason = "the hatching would draw more than ";
    appendRounded(reason, kMostHatchLines, 6);
    reason += " lines in this view; give a spacing of at least ";
    appendRounded(reason, atUnitSpacing / kMostHatchLines, 3);
    throw InputError::ofParameter("hatch_spacing", reason + " (or 0: chosen to suit the view)");
}

// Hatch lines over the loops (even-odd) of one family: each line of the family meets the loops' sides
// in an even number of points, paired in order along it.
void addHatching(const std::vector<std::vector<ON_2dPoint>>& loops, const HatchFamily& family,
                 std::vector<KvHLR::StrokeLine>& lines, ProgressPoll& poll) {
    const double spacing = family.spacing;
    const double c = std::cos(family.angle), s = std::sin(family.angle);
    if (loops.empty())
        return;
    // In coordinates turned by -angle the hatch lines run along x, at y = base + k * spacing: on the
    // drawing's grid of multiples of the spacing, counted from near the body so that k stays within the
    // body's extent over the spacing however far the body lies from the drawing's origin.
    const double steps = std::floor((-loops[0][0].x * s + loops[0][0].y * c) / spacing);
    const double base = std::fabs(steps) < 0x1p52 ? steps * spacing : -loops[0][0].x * s + loops[0][0].y * c;
    std::vector<std::pair<long long, double>> hits;
    for (const std::vector<ON_2dPoint>& loop : loops)
        for (std::size_t i = 0; i < loop.size(); ++i) {
            const ON_2dPoint& p = loop[i];
            const ON_2dPoint& q = loop[(i + 1) % loop.size()];
            const double px = p.x * c + p.y * s, py = -p.x * s + p.y * c;
            const double qx = q.x * c + q.y * s, qy = -q.x * s + q.y * c;
            if (py == qy)
                continue;
            // Each side counts from its lower end up to, not including, its upper end.
            const double low = std::min(py, qy) - base, high = std::max(py, qy) - base;
            for (auto k = static_cast<long long>(std::ceil(low / spacing)); static_cast<double>(k) * spacing < high; ++k) {
                poll();
                const double y = base + static_cast<double>(k) * spacing;
                hits.emplace_back(k, px + (y - py) * (qx - px) / (qy - py));
            }
        }
    std::sort(hits.begin(), hits.end());
    for (std::size_t i = 0; i + 1 < hits.size(); i += 2) {
        poll();
        while (i + 1 < hits.size() && hits[i].first != hits[i + 1].first)
            ++i; // an odd count on one line, which only a loop that rounding left open can give
        if (i + 1 == hits.size())
            break;
        const double y = base + static_cast<double>(hits[i].first) * spacing;
        if (hits[i].second == hits[i + 1].second)
            continue; // where a loop clipped to the frame runs along its side and back
        KvHLR::StrokeLine& line = lines.emplace_back();
        line.kind = Hatching;
        for (const double x : {hits[i].second, hits[i + 1].second})
            line.points.emplace_back(x * c - y * s, x * s + y * c);
    }
}

} // namespace

std::optional<CuttingPlaneLine> cuttingPlaneLine(const SectionPlane& plane, const Drawing& view,
                                                 const std::string& letter) {
    const ON_Xform& m = view.camera.modelViewXform;
    const ON_3dVector n = unit(plane.normal), towardEye = unit(ON_3dVector(m[2][0], m[2][1], m[2][2]));
    if (isPerspective(view.camera) || std::fabs(dot(n, towardEye)) > 1e-9)
        return std::nullopt;
    const ON_Xform toScreen = view.camera.projectionXform * m;
    const Box2 frame = cameraFrame(view.camera);
    // A view that is no perspective maps directions alike everywhere: by the linear part alone, free of
    // the rounding of a step added to a far point.
    const ON_3dPoint s = toScreen * plane.point;
    const ON_2dPoint at(s.x * frame.maxX, s.y * frame.maxY);
    const auto image = [&](const ON_3dVector& direction) {
        const ON_3dVector d = linearImage(toScreen, direction);
        return ON_2dPoint(d.x * frame.maxX, d.y * frame.maxY);
    };
    const ON_2dPoint along = image(cross(n, towardEye)), behind = image(ON_3dVector(-n.x, -n.y, -n.z));
    constexpr double inf = std::numeric_limits<double>::infinity();
    const auto range = rangeInBox(at, along, drawingBounds(view), -inf, inf, 1e-12 * std::hypot(along.x, along.y));
    if (!range)
        return std::nullopt; // the plane passes beside the drawing
    const auto [t0, t1] = *range;
    const double sx = behind.x, sy = behind.y, length = std::hypot(sx, sy);
    return CuttingPlaneLine{{at.x + t0 * along.x, at.y + t0 * along.y},
                            {at.x + t1 * along.x, at.y + t1 * along.y},
                            {sx / length, sy / length},
                            letter};
}

namespace {

double hatchSpacing(const HatchStyle& hatching, const KvHLR::ViewInfoCriteria& camera) {
    const Box2 frame = cameraFrame(camera);
    return hatching.spacing > 0.0 ? hatching.spacing : std::max(frame.width(), frame.height()) / 60.0;
}

} // namespace

SectionImage sectionImage(const SectionCut& cut, const KvHLR::ViewInfoCriteria& camera, bool clipToFrame,
                          const ProgressHook& progress) {
    ProgressPoll poll(progress, 0.0);
    const ON_Xform toScreen = camera.projectionXform * camera.modelViewXform;
    const Box2 frame = cameraFrame(camera);
    const auto image = [&](const ON_3dPoint& p) {
        const ON_3dPoint screen = toScreen * p;
        return ON_2dPoint(screen.x * frame.maxX, screen.y * frame.maxY);
    };
    // Before a perspective eye, only what lies beyond its near plane: nothing nearer projects rightly.
    const bool perspective = isPerspective(camera);
    const auto beyondNear = [&](const ON_3dPoint& p) {
        return perspective ? depthOf(camera.modelViewXform, p) - camera.nearPlaneDepth : 1.0;
    };
    SectionImage section;
    for (const auto& body : cut.cappedBodies) {
        auto& loops = section.bodies.emplace_back();
        for (const auto& loop : body) {
            poll();
            std::vector<ON_2dPoint> points;
            for (const ON_3dPoint& p : clipLoop(loop, beyondNear))
                points.push_back(image(p));
            if (clipToFrame)
                points = clipLoopToBox(points, frame);
            if (points.size() >= 3)
                loops.push_back(std::move(points));
            std::vector<ON_3dPoint> closed = loop;
            closed.push_back(loop.front());
            for (const std::vector<ON_3dPoint>& stretch : keptStretches(closed, beyondNear)) {
                KvHLR::StrokeLine& line = section.outline.emplace_back();
                line.kind = SectionOutline;
                for (const ON_3dPoint& p : stretch)
                    line.points.push_back(image(p));
            }
        }
    }
    if (clipToFrame)
        kvhlr::clipToFrame(section.outline, frame);
    return section;
}

void checkHatching(const SectionImage& image, const KvHLR::ViewInfoCriteria& camera, const HatchStyle& hatching) {
    checkHatchCount(image.bodies, hatching, hatchSpacing(hatching, camera));
}

std::vector<std::string> drawSection(Drawing& drawing, const SectionCut& cut, const SectionImage& image,
                                     const HatchStyle& hatching, const ProgressHook& progress) {
    ProgressPoll poll(progress, 1.0);
    const Box2 frame = cameraFrame(drawing.camera);
    const double size = std::max(frame.width(), frame.height());
    const auto& [bodies, outline] = image;

    std::vector<Segment2> segments;
    for (const KvHLR::StrokeLine& line : outline)
        for (std::size_t i = 1; i < line.points.size(); ++i)
            segments.push_back({line.points[i - 1], line.points[i]});
    // The library's coordinates differ from these by rounding, and by its joining of near ends.
    removeAlongOutline(drawing.lines, segments, 1e-5 * size, poll);
    const double spacing = hatchSpacing(hatching, drawing.camera);
    checkHatchCount(bodies, hatching, spacing);
    for (std::size_t b = 0; b < bodies.size(); ++b)
        addHatching(bodies[b], hatchFamily(hatching, spacing, b), drawing.lines, poll);
    drawing.lines.insert(drawing.lines.end(), outline.begin(), outline.end());
    std::vector<std::string> notes;
    if (cut.cappedBodies.empty() && cut.uncappedParts.empty())
        notes.push_back("the cutting plane cuts no body (it passes between them): the drawing shows no cut");
    for (std::size_t part : cut.uncappedParts)
        notes.push_back("body " + std::to_string(part + 1) + " is not closed where the plane cuts it: its cut is "
                        "left open, without cap or hatching");
    return notes;
}

void removeCentreLinesOnCaps(Drawing& drawing, const SectionImage& image) {
    const auto& bodies = image.bodies;
    // Even-odd over one body's loops, as the caps are hatched.
    const auto onCap = [&bodies](const ON_2dPoint& p) {
        return std::any_of(bodies.begin(), bodies.end(), [&p](const auto& loops) {
            bool inside = false;
            for (const std::vector<ON_2dPoint>& loop : loops)
                for (std::size_t i = 0, j = loop.size() - 1; i < loop.size(); j = i++)
                    if ((loop[i].y > p.y) != (loop[j].y > p.y) &&
                        p.x <
                            loop[j].x + (p.y - loop[j].y) * (loop[i].x - loop[j].x) / (loop[i].y - loop[j].y))
                        inside = !inside;
            return inside;
        });
    };
    const auto crossesCap = [&onCap](const KvHLR::StrokeLine& line) {
        if (line.kind != CentreLine || line.points.size() < 2)
            return false;
        const ON_2dPoint& a = line.points.front();
        const ON_2dPoint& b = line.points.back();
        return onCap(ON_2dPoint((a.x + b.x) / 2, (a.y + b.y) / 2));
    };
    // Each line's part (part layers) goes with its line.
    const bool withParts = !drawing.lineParts.empty();
    std::size_t kept = 0;
    for (std::size_t l = 0; l < drawing.lines.size(); ++l) {
        if (crossesCap(drawing.lines[l]))
            continue;
        if (kept != l) {
            drawing.lines[kept] = std::move(drawing.lines[l]);
            if (withParts)
                drawing.lineParts[kept] = drawing.lineParts[l];
        }
        ++kept;
    }
    drawing.lines.resize(kept);
    if (withParts)
        drawing.lineParts.resize(kept);
}

} // namespace kvhlr
