#include "kit/drawing/Section.h"

#include "kit/InputError.h"
#include "kit/NumberText.h"
#include "kit/drawing/DrawMesh.h"
#include "kit/drawing/LevelCut.h"
#include "kit/drawing/NearPlaneCut.h"

#include <CGAL/Constrained_Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_face_base_with_info_2.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <deque>
#include <limits>
#include <map>
#include <unordered_map>

namespace kvhlr {
namespace {

constexpr std::uint64_t kNone = std::numeric_limits<std::uint64_t>::max();

bool finite(const ON_3dVector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

ON_3dVector unit(const ON_3dVector& v) {
    const double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / length, v.y / length, v.z / length};
}

double dot(const ON_3dVector& a, const ON_3dVector& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

ON_3dVector cross(const ON_3dVector& a, const ON_3dVector& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Calls a drawing's progress hook with a fixed share about every 20 ms of a loop of the section's own,
// so that a cancel (the hook returning false, or throwing) ends it within a fraction of a second. A
// step is cheap (a cut triangle, a corner put into the triangulation, a hatch line): the clock is read
// once in 16 steps.
class ProgressPoll {
public:
    ProgressPoll(const ProgressHook& hook, double share) : m_hook(hook), m_share(share) {}

    void operator()() {
        if (!m_hook || ++m_steps % 16 != 0)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (now - m_last < std::chrono::milliseconds(20))
            return;
        m_last = now;
        if (!m_hook(m_share))
            throw DrawingCancelled();
    }

private:
    const ProgressHook& m_hook;
    double m_share;
    unsigned m_steps = 0;
    std::chrono::steady_clock::time_point m_last = std::chrono::steady_clock::now();
};

// The image of a direction under a transformation's linear part: what a unit step along it becomes,
// free of the rounding of adding it to a far point.
ON_3dVector linearImage(const ON_Xform& m, const ON_3dVector& d) {
    return {m[0][0] * d.x + m[0][1] * d.y + m[0][2] * d.z, m[1][0] * d.x + m[1][1] * d.y + m[1][2] * d.z,
            m[2][0] * d.x + m[2][1] * d.y + m[2][2] * d.z};
}

ON_3dVector upVector(UpAxis upAxis) {
    return upAxis == UpAxis::Y ? ON_3dVector(0, 1, 0) : ON_3dVector(0, 0, 1);
}

// The model's bounding box.
std::pair<ON_3dPoint, ON_3dPoint> boundsOf(const std::vector<MeshPart>& parts) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    ON_3dPoint low(inf, inf, inf), high(-inf, -inf, -inf);
    forEachPoint(parts, [&](const ON_3dPoint& p) {
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    });
    return {low, high};
}

// Points this near a plane are taken to lie in it: a rounding's width, relative to the model's size, so
// that a model at any scale is cut alike.
double onPlaneTolerance(const std::vector<MeshPart>& parts) {
    const auto [low, high] = boundsOf(parts);
    return 1e-12 * std::max({high.x - low.x, high.y - low.y, high.z - low.z});
}

ON_2dPoint between(const ON_2dPoint& p, const ON_2dPoint& q, double t) {
    return {p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)};
}

ON_3dPoint between(const ON_3dPoint& p, const ON_3dPoint& q, double t) {
    return {p.x + t * (q.x - p.x), p.y + t * (q.y - p.y), p.z + t * (q.z - p.z)};
}

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

// The stretches of a polyline where value(point) >= 0, cut where it crosses 0.
template <class Value>
std::vector<std::vector<ON_3dPoint>> keptStretches(const std::vector<ON_3dPoint>& line, Value value) {
    std::vector<std::vector<ON_3dPoint>> stretches;
    bool open = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const double b = value(line[i]);
        if (i > 0) {
            const double a = value(line[i - 1]);
            if ((a < 0.0) != (b < 0.0) && a != 0.0 && b != 0.0) {
                if (!open)
                    stretches.emplace_back();
                stretches.back().push_back(between(line[i - 1], line[i], a / (a - b)));
                open = !open;
            } else if (b < 0.0) {
                open = false;
            }
        }
        if (b >= 0.0) {
            if (!open)
                stretches.emplace_back();
            stretches.back().push_back(line[i]);
            open = true;
        }
    }
    stretches.erase(std::remove_if(stretches.begin(), stretches.end(), [](const auto& s) { return s.size() < 2; }),
                    stretches.end());
    return stretches;
}

const char* const kPrincipalViews[] = {"front", "back", "left", "right", "top", "bottom"};

const std::string kNamedForms = "expected x=NUMBER, y=NUMBER, z=NUMBER, or front, back, left, right, top or "
                                "bottom (through the model's centre)";

// "x=1.5" as the axis (0, 1, 2) and the coordinate.
std::optional<std::pair<int, double>> axisPlane(const std::string& text) {
    if (text.size() < 3 || text[1] != '=' || text[0] < 'x' || text[0] > 'z')
        return std::nullopt;
    const std::optional<double> at = parseNumber<double>(text.substr(2));
    if (!at || !std::isfinite(*at))
        return std::nullopt;
    return std::pair<int, double>{text[0] - 'x', *at};
}

bool isPrincipalView(const std::string& name) {
    return std::find(std::begin(kPrincipalViews), std::end(kPrincipalViews), name) != std::end(kPrincipalViews);
}

// The plane's own axes: u and v in it, n its unit normal, u x v = n, so that counterclockwise in (u, v)
// winds a triangle facing n.
struct PlaneFrame {
    ON_3dPoint origin;
    ON_3dVector u, v, n;

    explicit PlaneFrame(const SectionPlane& plane) : origin(plane.point), n(unit(plane.normal)) {
        const ON_3dVector axis = std::fabs(n.x) < 0.6 ? ON_3dVector(1, 0, 0) : ON_3dVector(0, 1, 0);
        u = unit(cross(n, axis));
        v = cross(n, u);
    }
    double distance(const ON_3dPoint& p) const {
        return dot(n, ON_3dVector(p.x - origin.x, p.y - origin.y, p.z - origin.z));
    }
    std::pair<double, double> in(const ON_3dPoint& p) const {
        const ON_3dVector d(p.x - origin.x, p.y - origin.y, p.z - origin.z);
        return {dot(d, u), dot(d, v)};
    }
    ON_3dPoint at(double x, double y) const {
        return {origin.x + x * u.x + y * v.x, origin.y + x * u.y + y * v.y, origin.z + x * u.z + y * v.z};
    }
};

// The normal turned towards the viewer: the side that goes. Refused when the plane is seen edge-on.
ON_3dVector towardViewer(const SectionPlane& plane, const KvHLR::ViewInfoCriteria& camera) {
    const ON_3dVector n = unit(plane.normal);
    const ON_3dPoint a = camera.modelViewXform * plane.point;
    const ON_3dVector along = linearImage(camera.modelViewXform, n);
    // In view coordinates the eye looks along -z: from the origin in a perspective, from +z otherwise.
    const ON_3dVector toEye = isPerspective(camera) ? ON_3dVector(-a.x, -a.y, -a.z) : ON_3dVector(0, 0, 1);
    const double facing = dot(along, toEye) /
                          (std::sqrt(dot(along, along)) * std::sqrt(dot(toEye, toEye)));
    if (!(std::fabs(facing) > 1e-6))
        throw InputError::ofParameter("section", "the cutting plane is seen edge-on from this view: choose a "
                                                 "view that looks across it");
    return facing > 0.0 ? n : ON_3dVector(-n.x, -n.y, -n.z);
}

// The cut's segments in one part: one per triangle crossing the plane, from one crossed edge to the
// other. Edges are keyed by their ends' indices, so that loops are chained by the mesh's own
// connectivity, not by comparing coordinates.
struct CutSegments {
    std::vector<std::array<std::uint64_t, 2>> edges;        // each segment's two edge keys
    std::unordered_map<std::uint64_t, std::uint64_t> point; // edge key -> index of its cut point
};

std::uint64_t edgeKey(std::uint64_t a, std::uint64_t b) {
    return (std::min(a, b) << 32) | std::max(a, b);
}

// Keeps the triangles' parts behind the plane (value <= 0) and records the cut segments.
void cutFace(LevelCutter& cutter, Kv::KvTriangleList& face, CutSegments& cut, ProgressPoll& poll) {
    Kv::KvTriangleList kept;
    kept.reserve(face.size());
    for (const auto& t : face) {
        poll();
        const std::uint64_t corner[3] = {t[0], t[1], t[2]};
        int removed = 0;
        for (std::uint64_t c : corner)
            removed += cutter.value(c) > 0.0 ? 1 : 0;
        if (removed == 0) {
            kept.push_back(t);
            continue;
        }
        if (removed == 3)
            continue;
        addFan(cutter.clip({corner[0], corner[1], corner[2]}, 0.0, false), kept);
        std::array<std::uint64_t, 2> segment{};
        int found = 0;
        for (int i = 0; i < 3; ++i) {
            const std::uint64_t a = corner[i], b = corner[(i + 1) % 3];
            if ((cutter.value(a) > 0.0) == (cutter.value(b) > 0.0))
                continue;
            const std::uint64_t key = edgeKey(a, b);
            const std::uint64_t keptEnd = cutter.value(a) > 0.0 ? b : a;
            if (cut.point.find(key) == cut.point.end())
                cut.point[key] = cutter.value(keptEnd) == 0.0 ? keptEnd : cutter.crossing(a, b, 0.0);
            segment[found++] = key;
        }
        cut.edges.push_back(segment);
    }
    face = std::move(kept);
}

// Each point's body: the connected pieces of the part's triangles (joined by shared corners), as the
// smallest point index of the piece, found by union-find.
std::vector<std::uint64_t> bodiesOf(const MeshPart& part, ProgressPoll& poll) {
    std::vector<std::uint64_t> root(part.points.size());
    for (std::uint64_t i = 0; i < root.size(); ++i)
        root[i] = i;
    const auto find = [&](std::uint64_t i) {
        while (root[i] != i)
            i = root[i] = root[root[i]];
        return i;
    };
    for (const Kv::KvTriangleList& face : part.faces)
        for (const auto& t : face) {
            poll();
            for (int k = 1; k < 3; ++k) {
                const std::uint64_t a = find(t[0]), b = find(t[k]);
                root[std::max(a, b)] = std::min(a, b);
            }
        }
    for (std::uint64_t i = 0; i < root.size(); ++i)
        root[i] = find(i);
    return root;
}

// The segments chained into loops of point indices. Where bodies of one part meet along an edge that
// the plane crosses, four segments (or more) end at its cut point: any pairing of them makes loops
// whose even-odd union is the same. Returns false when some chain does not close (an edge of the cut
// ending an odd number of segments: a hole in the surface).
bool chainLoops(const std::vector<std::array<std::uint64_t, 2>>& edges,
                const std::unordered_map<std::uint64_t, std::uint64_t>& point, std::vector<IndexPolygon>& loops,
                ProgressPoll& poll) {
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> ends;
    for (std::size_t s = 0; s < edges.size(); ++s)
        for (std::uint64_t key : edges[s])
            ends[key].push_back(s);
    std::vector<bool> used(edges.size(), false);
    bool allClosed = true;
    for (std::size_t first = 0; first < edges.size(); ++first) {
        if (used[first])
            continue;
        used[first] = true;
        const std::uint64_t start = edges[first][0];
        std::vector<std::uint64_t> keys{start};
        std::uint64_t key = edges[first][1];
        bool closed = true;
        while (key != start) {
            poll();
            keys.push_back(key);
            std::vector<std::size_t>& next = ends[key];
            while (!next.empty() && used[next.back()])
                next.pop_back();
            if (next.empty()) {
                closed = false;
                break;
            }
            const std::size_t s = next.back();
            used[s] = true;
            key = edges[s][0] == key ? edges[s][1] : edges[s][0];
        }
        allClosed = allClosed && closed;
        if (!closed)
            continue;
        // Points on the plane are shared by the edges that end there: one corner each.
        IndexPolygon loop;
        for (std::uint64_t k : keys) {
            const std::uint64_t p = point.at(k);
            if (loop.empty() || loop.back() != p)
                loop.push_back(p);
        }
        while (loop.size() > 1 && loop.back() == loop.front())
            loop.pop_back();
        if (loop.size() >= 3)
            loops.push_back(std::move(loop));
    }
    return allClosed;
}

// The caps of one body: its loops as polygons with holes, nested by even-odd, triangulated by a
// constrained Delaunay triangulation (n log n in the loops' corners); the triangles inside an odd
// number of loops are the caps. Corners the triangulation adds where loops cross become new points.
struct CornerInfo {
    std::uint64_t index = kNone;
};
using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using VertexBase = CGAL::Triangulation_vertex_base_with_info_2<CornerInfo, Kernel>;
using FaceBase =
    CGAL::Constrained_triangulation_face_base_2<Kernel, CGAL::Triangulation_face_base_with_info_2<int, Kernel>>;
using Triangulation = CGAL::Constrained_Delaunay_triangulation_2<
    Kernel, CGAL::Triangulation_data_structure_2<VertexBase, FaceBase>, CGAL::Exact_predicates_tag>;

// Each face's nesting depth: the number of loops crossed on the way from outside.
void markDepths(Triangulation& triangulation, ProgressPoll& poll) {
    for (auto face : triangulation.all_face_handles())
        face->info() = -1;
    std::deque<std::pair<Triangulation::Face_handle, int>> next{{triangulation.infinite_face(), 0}};
    while (!next.empty()) {
        // Breadth first within a depth, the faces across a loop queued at the back for the next depth.
        const auto [start, depth] = next.front();
        next.pop_front();
        if (start->info() != -1)
            continue;
        std::deque<Triangulation::Face_handle> region{start};
        start->info() = depth;
        while (!region.empty()) {
            poll();
            const Triangulation::Face_handle face = region.front();
            region.pop_front();
            for (int i = 0; i < 3; ++i) {
                const Triangulation::Face_handle neighbour = face->neighbor(i);
                if (neighbour->info() != -1)
                    continue;
                if (triangulation.is_constrained({face, i})) {
                    next.emplace_back(neighbour, depth + 1);
                } else {
                    neighbour->info() = depth;
                    region.push_back(neighbour);
                }
            }
        }
    }
}

// Cut points of different edges that round to one position (edges meeting at a corner a rounding's
// width from the plane) become one point of the cap: `merged` maps each other index to it. The corners
// go in one by one along the loops, each placed from the one before, so that the work can be polled.
Kv::KvTriangleList capTriangles(const std::vector<IndexPolygon>& loops, const PlaneFrame& frame,
                                Kv::KvPointList& points, std::unordered_map<std::uint64_t, std::uint64_t>& merged,
                                ProgressPoll& poll) {
    Triangulation triangulation;
    std::vector<std::vector<Triangulation::Vertex_handle>> corners;
    Triangulation::Face_handle hint;
    for (const IndexPolygon& loop : loops) {
        auto& handles = corners.emplace_back();
        for (std::uint64_t index : loop) {
            poll();
            const auto [x, y] = frame.in(points[index]);
            const Triangulation::Vertex_handle vertex = triangulation.insert({x, y}, hint);
            hint = vertex->face();
            if (vertex->info().index == kNone)
                vertex->info().index = index;
            else if (vertex->info().index != index)
                merged.emplace(index, vertex->info().index);
            handles.push_back(vertex);
        }
    }
    for (const auto& handles : corners)
        for (std::size_t i = 0; i < handles.size(); ++i) {
            poll();
            if (handles[i] != handles[(i + 1) % handles.size()])
                triangulation.insert_constraint(handles[i], handles[(i + 1) % handles.size()]);
        }
    // Corners the triangulation made where loops cross.
    for (auto vertex : triangulation.finite_vertex_handles())
        if (vertex->info().index == kNone) {
            points.push_back(frame.at(vertex->point().x(), vertex->point().y()));
            vertex->info().index = points.size() - 1;
        }
    markDepths(triangulation, poll);
    Kv::KvTriangleList caps;
    for (auto face : triangulation.finite_face_handles())
        if (face->info() % 2 == 1)
            caps.emplace_back(face->vertex(0)->info().index, face->vertex(1)->info().index,
                              face->vertex(2)->info().index);
    return caps;
}

// Every triangle's corners merged as `merged` says; triangles left without area (two corners merged)
// are dropped.
void mergePoints(MeshPart& part, const std::unordered_map<std::uint64_t, std::uint64_t>& merged,
                 ProgressPoll& poll) {
    for (Kv::KvTriangleList& face : part.faces) {
        Kv::KvTriangleList kept;
        kept.reserve(face.size());
        for (auto t : face) {
            poll();
            for (int k = 0; k < 3; ++k) {
                const auto found = merged.find(t[k]);
                if (found != merged.end())
                    t.v[k] = found->second;
            }
            if (t[0] != t[1] && t[1] != t[2] && t[2] != t[0])
                kept.push_back(t);
        }
        face = std::move(kept);
    }
}

// --- Drawing the section -------------------------------------------------------------------------

struct Segment2 {
    ON_2dPoint a, b;
};

// The outline's segments filed in a grid, to find those near a line of the drawing.
class SegmentGrid {
public:
    SegmentGrid(const std::vector<Segment2>& segments, double tolerance)
        : m_segments(segments), m_tolerance(tolerance), m_seen(segments.size(), kNone) {
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
                    open->points.push_back(at(t0));
                }
                open->points.push_back(at(t1));
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

void checkSectionChoice(const SectionChoice& choice) {
    if (!choice.named.empty() && !axisPlane(choice.named) && !isPrincipalView(choice.named))
        throw InputError::ofParameter("section", kNamedForms + ", got '" + choice.named + "'");
    if (choice.normal && (!finite(*choice.normal) || dot(*choice.normal, *choice.normal) == 0.0))
        throw InputError::ofParameter("section_normal", "the cutting plane's normal must be a vector that is not zero");
    if (choice.point && !finite(ON_3dVector(choice.point->x, choice.point->y, choice.point->z)))
        throw InputError::ofParameter("section_point", "the point must be three finite numbers");
    if (choice.point.has_value() != choice.normal.has_value())
        throw InputError::ofParameter(choice.point ? "section_normal" : "section_point",
                                      "a cutting plane needs both a point and a normal");
    if (choice.planHeight && !std::isfinite(*choice.planHeight))
        throw InputError::ofParameter("plan", "the height must be a finite number");
    const int given = !choice.named.empty() + choice.point.has_value() + choice.planHeight.has_value();
    if (given > 1)
        throw InputError::ofParameter("section", "give one cutting plane: a named one, a point and a normal, or a plan");
}

SectionPlane sectionPlane(const SectionChoice& choice, UpAxis upAxis, const std::vector<MeshPart>& parts) {
    checkSectionChoice(choice);
    const auto [low, high] = boundsOf(parts);
    const ON_3dPoint centre((low.x + high.x) / 2, (low.y + high.y) / 2, (low.z + high.z) / 2);
    if (choice.point)
        return {*choice.point, *choice.normal};
    if (choice.planHeight) {
        const ON_3dVector up = upVector(upAxis);
        const double floor = dot(up, ON_3dVector(low.x, low.y, low.z)) + *choice.planHeight;
        ON_3dPoint at = centre;
        (upAxis == UpAxis::Y ? at.y : at.z) = floor;
        return {at, up};
    }
    if (const auto axis = axisPlane(choice.named)) {
        ON_3dPoint at(0, 0, 0);
        ON_3dVector normal(0, 0, 0);
        (axis->first == 0 ? at.x : axis->first == 1 ? at.y : at.z) = axis->second;
        (axis->first == 0 ? normal.x : axis->first == 1 ? normal.y : normal.z) = 1.0;
        return {at, normal};
    }
    return {centre, namedViewDirection(choice.named, upAxis).towardEye};
}

ViewDirection sectionViewDirection(const SectionPlane& plane, UpAxis upAxis) {
    const ON_3dVector n = unit(plane.normal);
    for (const char* name : kPrincipalViews) {
        const ViewDirection view = namedViewDirection(name, upAxis);
        if (dot(unit(view.towardEye), n) > 1.0 - 1e-12)
            return view;
    }
    // Upright where the plane allows: the model's up axis, else the top view's.
    const ON_3dVector up = upVector(upAxis);
    return {n, std::fabs(dot(n, up)) < 0.99 ? up : namedViewDirection("top", upAxis).up};
}

void checkSection(const std::vector<MeshPart>& parts, const SectionPlane& plane,
                  const KvHLR::ViewInfoCriteria& camera) {
    const PlaneFrame frame(SectionPlane{plane.point, towardViewer(plane, camera)});
    const double onPlane = onPlaneTolerance(parts);
    bool before = false, behind = false;
    forEachPoint(parts, [&](const ON_3dPoint& p) {
        const double d = frame.distance(p);
        before = before || d > onPlane;
        behind = behind || d < -onPlane;
    });
    if (!(before && behind))
        throw InputError::ofParameter("section", "the cutting plane misses the model: the whole model lies on one "
                                                 "side of it");
}

SectionCut cutSection(std::vector<MeshPart>& parts, const SectionPlane& plane,
                      const KvHLR::ViewInfoCriteria& camera, const ProgressHook& progress) {
    checkSection(parts, plane, camera);
    ProgressPoll poll(progress, 0.0);
    const PlaneFrame frame(SectionPlane{plane.point, towardViewer(plane, camera)});
    const double onPlane = onPlaneTolerance(parts);
    SectionCut result;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        MeshPart& part = parts[i];
        const std::vector<std::uint64_t> bodyOf = bodiesOf(part, poll);
        // Corners meant to lie in the plane but a rounding's width off it are taken to lie in it, so that
        // their edges do not each make a cut point of their own right beside them.
        std::vector<double> distances;
        distances.reserve(part.points.size());
        for (const ON_3dPoint& p : part.points) {
            const double d = frame.distance(p);
            distances.push_back(std::fabs(d) <= onPlane ? 0.0 : d);
        }
        LevelCutter cutter(part.points, std::move(distances));
        CutSegments cut;
        for (Kv::KvTriangleList& face : part.faces)
            cutFace(cutter, face, cut, poll);
        std::vector<std::vector<ON_3dPoint>> tangentEdges;
        for (const std::vector<ON_3dPoint>& edge : part.tangentEdges)
            for (std::vector<ON_3dPoint>& stretch :
                 keptStretches(edge, [&](const ON_3dPoint& p) { return -frame.distance(p); }))
                tangentEdges.push_back(std::move(stretch));
        part.tangentEdges = std::move(tangentEdges);
        // Each body's segments apart (an edge key's high half is a point of the part as read), in a fixed
        // order, so that each body keeps its hatching from one drawing to the next.
        std::map<std::uint64_t, std::vector<std::array<std::uint64_t, 2>>> byBody;
        for (const auto& segment : cut.edges)
            byBody[bodyOf[segment[0] >> 32]].push_back(segment);
        bool open = false;
        Kv::KvTriangleList caps;
        std::unordered_map<std::uint64_t, std::uint64_t> merged;
        for (const auto& [body, edges] : byBody) {
            std::vector<IndexPolygon> loops;
            open = !chainLoops(edges, cut.point, loops, poll) || open;
            if (loops.empty())
                continue;
            const Kv::KvTriangleList bodyCaps = capTriangles(loops, frame, part.points, merged, poll);
            caps.insert(caps.end(), bodyCaps.begin(), bodyCaps.end());
            auto& outline = result.cappedBodies.emplace_back();
            for (const IndexPolygon& loop : loops) {
                auto& points = outline.emplace_back();
                for (std::uint64_t index : loop)
                    points.push_back(part.points[index]);
            }
        }
        if (open)
            result.uncappedParts.push_back(i);
        if (!merged.empty())
            mergePoints(part, merged, poll);
        if (caps.empty())
            continue;
        if (part.body)
            part.faces.push_back(std::move(caps));
        else
            part.faces.front().insert(part.faces.front().end(), caps.begin(), caps.end());
    }
    return result;
}

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
    const double dx = along.x, dy = along.y;
    const Box2 bounds = drawingBounds(view);
    const double reach = 0.08 * std::max(bounds.width(), bounds.height());
    // The line's stretch within the bounds grown by `reach`, side pair by side pair.
    double t0 = -std::numeric_limits<double>::infinity(), t1 = std::numeric_limits<double>::infinity();
    const double low[2] = {bounds.minX - reach - at.x, bounds.minY - reach - at.y};
    const double high[2] = {bounds.maxX + reach - at.x, bounds.maxY + reach - at.y};
    const double delta[2] = {dx, dy};
    for (int axis = 0; axis < 2; ++axis) {
        if (std::fabs(delta[axis]) < 1e-12 * std::hypot(dx, dy)) {
            if (low[axis] > 0.0 || high[axis] < 0.0)
                return std::nullopt; // the plane passes beside the drawing
            continue;
        }
        const double a = low[axis] / delta[axis], b = high[axis] / delta[axis];
        t0 = std::max(t0, std::min(a, b));
        t1 = std::min(t1, std::max(a, b));
    }
    const double sx = behind.x, sy = behind.y, length = std::hypot(sx, sy);
    return CuttingPlaneLine{{at.x + t0 * dx, at.y + t0 * dy}, {at.x + t1 * dx, at.y + t1 * dy},
                            {sx / length, sy / length}, letter};
}

namespace {

// The section in the drawing plane: each body's loops, for hatching, and the outline.
struct SectionImage {
    std::vector<std::vector<std::vector<ON_2dPoint>>> bodies;
    std::vector<KvHLR::StrokeLine> outline;
};

SectionImage sectionImage(const SectionCut& cut, const KvHLR::ViewInfoCriteria& camera, bool clipToFrame,
                          ProgressPoll& poll) {
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

double hatchSpacing(const HatchStyle& hatching, const KvHLR::ViewInfoCriteria& camera) {
    const Box2 frame = cameraFrame(camera);
    return hatching.spacing > 0.0 ? hatching.spacing : std::max(frame.width(), frame.height()) / 60.0;
}

} // namespace

void checkHatching(const SectionCut& cut, const KvHLR::ViewInfoCriteria& camera, const HatchStyle& hatching,
                   bool clipToFrame) {
    const ProgressHook noHook;
    ProgressPoll none(noHook, 0.0);
    checkHatchCount(sectionImage(cut, camera, clipToFrame, none).bodies, hatching, hatchSpacing(hatching, camera));
}

std::vector<std::string> drawSection(Drawing& drawing, const SectionCut& cut, const HatchStyle& hatching,
                                     bool clipToFrame, const ProgressHook& progress) {
    ProgressPoll poll(progress, 1.0);
    const Box2 frame = cameraFrame(drawing.camera);
    const double size = std::max(frame.width(), frame.height());
    auto [bodies, outline] = sectionImage(cut, drawing.camera, clipToFrame, poll);

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
    drawing.lines.insert(drawing.lines.end(), std::make_move_iterator(outline.begin()),
                         std::make_move_iterator(outline.end()));
    std::vector<std::string> notes;
    if (cut.cappedBodies.empty() && cut.uncappedParts.empty())
        notes.push_back("the cutting plane cuts no body (it passes between them): the drawing shows no cut");
    for (std::size_t part : cut.uncappedParts)
        notes.push_back("body " + std::to_string(part + 1) + " is not closed where the plane cuts it: its cut is "
                        "left open, without cap or hatching");
    return notes;
}

} // namespace kvhlr
