#include "kit/drawing/Section.h"

#include "kit/InputError.h"
#include "kit/drawing/Geometry.h"
#include "kit/drawing/LevelCut.h"
#include "kit/drawing/NearPlaneCut.h"
#include "kit/drawing/SectionShared.h"

#include <CGAL/Constrained_Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_face_base_with_info_2.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <map>
#include <unordered_map>

namespace kvhlr {
namespace {

constexpr std::uint64_t kNone = std::numeric_limits<std::uint64_t>::max();

// Points this near a plane are taken to lie in it: a rounding's width, relative to the model's size, so
// that a model at any scale is cut alike.
double onPlaneTolerance(const std::vector<MeshPart>& parts) {
    const auto [low, high] = boundsOf(parts);
    return 1e-12 * std::max({high.x - low.x, high.y - low.y, high.z - low.z});
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

} // namespace

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
        LevelCutter cutter(part, std::move(distances));
        CutSegments cut;
        for (Kv::KvTriangleList& face : part.faces)
            cutFace(cutter, face, cut, poll);
        std::vector<std::vector<ON_3dPoint>> tangentEdges;
        std::vector<std::uint32_t> tangentBrepEdges;
        for (std::size_t e = 0; e < part.tangentEdges.size(); ++e)
            for (std::vector<ON_3dPoint>& stretch :
                 keptStretches(part.tangentEdges[e], [&](const ON_3dPoint& p) { return -frame.distance(p); })) {
                tangentEdges.push_back(std::move(stretch));
                if (e < part.tangentBrepEdges.size())
                    tangentBrepEdges.push_back(part.tangentBrepEdges[e]);
            }
        part.tangentEdges = std::move(tangentEdges);
        part.tangentBrepEdges = std::move(tangentBrepEdges);
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

} // namespace kvhlr
