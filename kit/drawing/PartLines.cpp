#include "kit/drawing/PartLines.h"

#include "api/DrawingPlane.h"
#include "kit/drawing/Geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <unordered_map>

namespace kvhlr {
namespace {

struct Point2 {
    double x, y;
};

struct Segment {
    Point2 a, b;
    double depthA, depthB; // how far from the eye, as the camera's depth runs (larger: farther)
    std::uint32_t part;
    int kind; // the kind of an outline drawn along it: a sharp kind between two faces seen from the front
    std::uint32_t tangentEdge = KvHLR::LineSource::kNone; // the B-rep edge of a tangent edge's segment
};

// The distance from p to the segment, and the depth of its nearest point there.
std::pair<double, double> distanceAndDepth(const Point2& p, const Segment& s) {
    const double dx = s.b.x - s.a.x, dy = s.b.y - s.a.y;
    const double length = dx * dx + dy * dy;
    double t = length > 0.0 ? ((p.x - s.a.x) * dx + (p.y - s.a.y) * dy) / length : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    return {std::hypot(s.a.x + t * dx - p.x, s.a.y + t * dy - p.y), s.depthA + t * (s.depthB - s.depthA)};
}

// Where the library puts a point in the drawing plane: screen coordinates scaled by the world length of
// one screen unit.
class DrawingPlane {
public:
    explicit DrawingPlane(const KvHLR::ViewInfoCriteria& camera)
        : m_toScreen(camera.projectionXform * camera.modelViewXform), m_unit(KvHLR::screenUnit(m_toScreen)) {}

    Point2 operator()(const ON_3dPoint& p) const {
        const ON_4dPoint s = m_toScreen * ON_4dPoint(p.x, p.y, p.z, 1.0);
        return {s.x / s.w * m_unit.x, s.y / s.w * m_unit.y};
    }
    // The screen depth, which grows away from the eye, and over a plane runs linearly across the screen.
    double depth(const ON_3dPoint& p) const {
        const ON_4dPoint s = m_toScreen * ON_4dPoint(p.x, p.y, p.z, 1.0);
        return s.z / s.w;
    }

private:
    ON_Xform m_toScreen;
    KvHLR::ScreenUnit m_unit;
};

ON_3dVector normalOf(const MeshPart& part, const Kv::KvaMeshPrimitive::TriangleIndex& t) {
    return cross(part.points[t[1]] - part.points[t[0]], part.points[t[2]] - part.points[t[0]]);
}

// The sides of a part's triangles that can carry a line in this view: borders between faces, open
// sides, and sides between a triangle that faces the camera and one that faces away (outlines). On a CAD
// part, a border between two faces seen from the front is a sharp edge, concave or convex as the library
// tells them for outward-wound triangles.
void addPartEdges(const MeshPart& part, std::uint32_t index, const DrawingPlane& plane,
                  std::vector<Segment>& out) {
    std::vector<Point2> projected;
    std::vector<double> depths;
    projected.reserve(part.points.size());
    depths.reserve(part.points.size());
    for (const ON_3dPoint& p : part.points) {
        projected.push_back(plane(p));
        depths.push_back(plane.depth(p));
    }
    struct Side {
        const Kv::KvaMeshPrimitive::TriangleIndex* first; // the first triangle met with this side
        std::size_t face;
        bool front;
        int count;
        int kind; // -1: no line
    };
    std::unordered_map<std::uint64_t, Side> sides;
    for (std::size_t f = 0; f < part.faces.size(); ++f)
        for (const Kv::KvaMeshPrimitive::TriangleIndex& t : part.faces[f]) {
            const Point2 &a = projected[t[0]], &b = projected[t[1]], &c = projected[t[2]];
            // A face seen edge-on faces neither way; taken as turned away, its border is an outline.
            const double ux = b.x - a.x, uy = b.y - a.y, vx = c.x - a.x, vy = c.y - a.y;
            const bool front = ux * vy - uy * vx > 1e-6 * std::hypot(ux, uy) * std::hypot(vx, vy);
            for (int k = 0; k < 3; ++k) {
                const std::uint64_t u = t[k], v = t[(k + 1) % 3];
                const auto [at, added] =
                    sides.try_emplace(std::min(u, v) << 32 | std::max(u, v), Side{&t, f, front, 1, -1});
                Side& side = at->second;
                if (added)
                    continue;
                ++side.count;
                if (side.front != front) {
                    side.kind = VisibleSilhouette;
                } else if (side.face != f && side.kind < 0) {
                    // The first triangle ran the side the other way: from v to u.
                    const ON_3dVector run = part.points[u] - part.points[v];
                    const ON_3dVector turn = cross(normalOf(part, t), normalOf(part, *side.first));
                    const double concave = turn.x * run.x + turn.y * run.y + turn.z * run.z;
                    // Only two faces turned to the camera make a sharp edge; else it is an outline.
                    side.kind = !part.brepFaces || !front ? VisibleSilhouette
                                : concave > 0.0           ? VisibleConcaveSharp
                                                          : VisibleConvexSharp;
                }
            }
        }
    for (const auto& [key, side] : sides)
        if (side.kind >= 0 || side.count == 1)
            out.push_back({projected[key >> 32], projected[key & 0xffffffffu], depths[key >> 32],
                           depths[key & 0xffffffffu], index, side.count == 1 ? VisibleSilhouette : side.kind});
    for (std::size_t e = 0; e < part.tangentEdges.size(); ++e) {
        const std::vector<ON_3dPoint>& edge = part.tangentEdges[e];
        const std::uint32_t brep = e < part.tangentBrepEdges.size() ? part.tangentBrepEdges[e] : KvHLR::LineSource::kNone;
        for (std::size_t i = 1; i < edge.size(); ++i)
            out.push_back({plane(edge[i - 1]), plane(edge[i]), plane.depth(edge[i - 1]), plane.depth(edge[i]), index,
                           VisibleSilhouette, brep}); // an outline stays one
    }
}

} // namespace

// The segments filed in a square grid over their bounds, for the nearest one to a point.
struct PartEdges::Grid {
    static constexpr int kMostCells = 256;
    std::vector<Segment> segments;
    double minX = 0.0, minY = 0.0, cell = 1.0;
    int columns = 1, rows = 1;
    std::vector<std::vector<std::uint32_t>> cells;

    int column(double x) const { return std::clamp(static_cast<int>((x - minX) / cell), 0, columns - 1); }
    int row(double y) const { return std::clamp(static_cast<int>((y - minY) / cell), 0, rows - 1); }

    void build() {
        double maxX = -std::numeric_limits<double>::infinity(), maxY = maxX;
        minX = minY = std::numeric_limits<double>::infinity();
        for (const Segment& s : segments)
            for (const Point2& p : {s.a, s.b}) {
                minX = std::min(minX, p.x);
                minY = std::min(minY, p.y);
                maxX = std::max(maxX, p.x);
                maxY = std::max(maxY, p.y);
            }
        const double side = std::max(maxX - minX, maxY - minY);
        cell = side > 0.0 ? side / kMostCells : 1.0;
        columns = std::clamp(static_cast<int>((maxX - minX) / cell) + 1, 1, kMostCells);
        rows = std::clamp(static_cast<int>((maxY - minY) / cell) + 1, 1, kMostCells);
        cells.assign(static_cast<std::size_t>(columns * rows), {});
        for (std::uint32_t i = 0; i < segments.size(); ++i) {
            const Segment& s = segments[i];
            for (int r = row(std::min(s.a.y, s.b.y)); r <= row(std::max(s.a.y, s.b.y)); ++r)
                for (int c = column(std::min(s.a.x, s.b.x)); c <= column(std::max(s.a.x, s.b.x)); ++c)
                    cells[static_cast<std::size_t>(r * columns + c)].push_back(i);
        }
    }

    // The nearest segment, searching rings of cells outward until no nearer one can follow. Of segments
    // that lie on one another in the drawing (a circle seen edge-on: its front half over its back half),
    // a visible line lies on the one nearest the eye, a hidden line on the farthest; of those at one
    // depth too, the first part's, and an outline before a sharp edge, as the library draws them. With
    // `tangent`, only tangent edges' segments count (there must be some).
    const Segment& nearest(const Point2& p, bool visible, bool tangent = false) const {
        const int c0 = column(p.x), r0 = row(p.y);
        const double coincide = 1e-9 * cell * kMostCells;
        double best = std::numeric_limits<double>::infinity(), bestDepth = 0.0;
        std::uint32_t found = 0;
        // Whether segment i, at `depth` where it is nearest to p, goes before the one found so far.
        const auto before = [&](std::uint32_t i, double depth) {
            const double nearer = visible ? bestDepth - depth : depth - bestDepth;
            if (std::abs(nearer) > 1e-9)
                return nearer > 0.0;
            const Segment &s = segments[i], &f = segments[found];
            return std::make_pair(s.part, s.kind) < std::make_pair(f.part, f.kind);
        };
        for (int ring = 0; ring <= std::max(columns, rows); ++ring) {
            for (int r = r0 - ring; r <= r0 + ring; ++r)
                for (int c = c0 - ring; c <= c0 + ring; ++c) {
                    const bool onRing = std::abs(r - r0) == ring || std::abs(c - c0) == ring;
                    if (!onRing || r < 0 || c < 0 || r >= rows || c >= columns)
                        continue;
                    for (const std::uint32_t i : cells[static_cast<std::size_t>(r * columns + c)]) {
                        if (tangent && segments[i].tangentEdge == KvHLR::LineSource::kNone)
                            continue;
                        const auto [distance, depth] = distanceAndDepth(p, segments[i]);
                        if (distance < best - coincide || (distance <= best + coincide && before(i, depth))) {
                            best = std::min(best, distance);
                            bestDepth = depth;
                            found = i;
                        }
                    }
                }
            if (best + coincide <= ring * cell)
                break;
        }
        return segments[found];
    }
};

PartEdges::PartEdges(const std::vector<MeshPart>& parts, const KvHLR::ViewInfoCriteria& camera)
    : m_grid(std::make_unique<Grid>()), m_names(partLayerNames(parts)) {
    const DrawingPlane plane(camera);
    for (std::size_t i = 0; i < parts.size(); ++i)
        addPartEdges(parts[i], static_cast<std::uint32_t>(i), plane, m_grid->segments);
    m_grid->build();
    m_tangentEdges = std::any_of(m_grid->segments.begin(), m_grid->segments.end(),
                                 [](const Segment& s) { return s.tangentEdge != KvHLR::LineSource::kNone; });
}

PartEdges::~PartEdges() = default;

void PartEdges::assign(Drawing& drawing, bool parts) const {
    if (m_grid->segments.empty())
        return;
    // What segment k of a line, from a to b, is: its part, and its kind (an outline takes its edge's).
    // The part is the body the library recorded for it where it did (with provenance). A tangent edge's
    // segment, which the library knows by its body alone, is given the B-rep edge of the nearest tangent
    // edge here (an outline seen edge-on may lie on it too).
    const auto source = [&](KvHLR::StrokeLine& line, const ON_2dPoint& a, const ON_2dPoint& b, std::size_t k) {
        const Point2 middle{(a.x + b.x) / 2, (a.y + b.y) / 2};
        const Segment& edge = m_grid->nearest(middle, line.kind != Hidden);
        const bool recorded = k < line.sources.size() && line.sources[k].body != KvHLR::LineSource::kNone;
        const std::uint32_t part = recorded ? line.sources[k].body : edge.part;
        if (recorded && line.kind == VisibleTangent && m_tangentEdges) {
            const Segment& tangent = m_grid->nearest(middle, true, true);
            if (tangent.part == part)
                line.sources[k].brepEdge = tangent.tangentEdge;
        }
        return std::make_pair(parts ? part : 0u, line.kind == VisibleSilhouette ? edge.kind : line.kind);
    };
    std::vector<KvHLR::StrokeLine> lines;
    std::vector<std::uint32_t> lineParts;
    for (KvHLR::StrokeLine& line : drawing.lines) {
        const std::vector<ON_2dPoint>& points = line.points;
        if (points.size() < 2) {
            lineParts.push_back(points.empty() ? 0u : source(line, points[0], points[0], 0).first);
            lines.push_back(std::move(line));
            continue;
        }
        // Runs of segments of one source become lines of their own, sharing their end points.
        std::size_t start = 0;
        auto current = source(line, points[0], points[1], 0);
        for (std::size_t i = 1; i < points.size(); ++i) {
            const bool last = i + 1 == points.size();
            const auto next = last ? current : source(line, points[i], points[i + 1], i);
            if (next == current && !last)
                continue;
            KvHLR::StrokeLine& run = lines.emplace_back(stretchOf(line, start, i));
            run.kind = current.second;
            lineParts.push_back(current.first);
            start = i;
            current = next;
        }
    }
    drawing.lines = std::move(lines);
    if (parts) {
        drawing.lineParts = std::move(lineParts);
        drawing.partNames = m_names;
    }
}

} // namespace kvhlr
