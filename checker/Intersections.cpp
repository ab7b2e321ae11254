#include "checker/Intersections.h"

#include "checker/TrianglePairs.h"

#include <algorithm>

namespace kvcheck {
namespace {

// How much larger the second tolerance is, against which the first one's answer must hold.
constexpr double kDoubtFactor = 100;
// The sine of the angle between two planes below which their common line is left uncertain: there a
// corner's rounding of a millionth of the model's size moves the line by a ten-thousandth, a twentieth
// of the scoring tolerance.
constexpr double kParallelSine = 1e-2;

enum class Meeting { None, Line, Uncertain };

struct Outcome {
    Meeting meeting = Meeting::None;
    Vec3 a, b;
    Carriers carriers;
};

// The side of a plane a point at this signed distance from it lies on: 0 within the tolerance.
int sideOf(double distance, double tolerance) {
    return distance > tolerance ? 1 : distance < -tolerance ? -1 : 0;
}

// One triangle against the plane of another: the signed distances of its corners, and their sides.
struct AgainstPlane {
    const std::array<Vec3, 3>& corners;
    double distance[3];
    int side[3];
    int inPlane = 0;

    AgainstPlane(const std::array<Vec3, 3>& triangle, const Vec3& unitNormal, const Vec3& onPlane,
                 double tolerance)
        : corners(triangle) {
        for (int k = 0; k < 3; ++k) {
            distance[k] = dot(unitNormal, corners[k] - onPlane);
            side[k] = sideOf(distance[k], tolerance);
            inPlane += side[k] == 0;
        }
    }

    bool allOnOneSide() const { return side[0] == side[1] && side[1] == side[2] && side[0] != 0; }

    // The part of the triangle in the plane, when it is a stretch: its corners in the plane and the
    // points where its sides cross it.
    bool stretch(Vec3& a, Vec3& b) const {
        Vec3 found[3];
        int count = 0;
        for (int k = 0; k < 3; ++k) {
            const int next = (k + 1) % 3;
            if (side[k] == 0)
                found[count++] = corners[k];
            else if (side[k] * side[next] < 0)
                found[count++] = corners[k] + (distance[k] / (distance[k] - distance[next])) *
                                                  (corners[next] - corners[k]);
        }
        a = found[0];
        b = found[1];
        return count == 2;
    }

    // The corner out of the plane when the other two lie in it.
    int cornerOff() const { return side[0] != 0 ? 0 : side[1] != 0 ? 1 : 2; }
};

class PairTest {
public:
    PairTest(const Mesh& mesh, const std::vector<FeatureEdge>& drawnEdges)
        : m_mesh(mesh), m_incidences(incidencesOf(mesh)) {
        for (const FeatureEdge& edge : drawnEdges)
            m_drawn.push_back(edgeKey(edge.ends[0], edge.ends[1]));
        std::sort(m_drawn.begin(), m_drawn.end());
        for (const Triangle& t : mesh.triangles)
            m_normals.push_back(unitNormalOf(mesh.points[t[0]], mesh.points[t[1]], mesh.points[t[2]]));
    }

    bool testable(std::uint32_t i, std::uint32_t j) const {
        const Triangle &p = m_mesh.triangles[i], &q = m_mesh.triangles[j];
        for (std::uint32_t corner : p)
            if (std::find(q.begin(), q.end(), corner) != q.end())
                return false;
        return m_normals[i] && m_normals[j];
    }

    // The answer with the tolerance, unless a hundred times the tolerance gives another.
    Outcome judge(std::uint32_t i, std::uint32_t j, double tolerance) const {
        Outcome sure = meet(i, j, tolerance);
        const Outcome doubt = meet(i, j, kDoubtFactor * tolerance);
        if (sure.meeting == doubt.meeting)
            return sure;
        Outcome uncertain = sure.meeting != Meeting::None ? sure : doubt;
        uncertain.meeting = Meeting::Uncertain;
        return uncertain;
    }

private:
    std::array<Vec3, 3> corners(std::uint32_t t) const {
        const Triangle& c = m_mesh.triangles[t];
        return {m_mesh.points[c[0]], m_mesh.points[c[1]], m_mesh.points[c[2]]};
    }

    Outcome meet(std::uint32_t i, std::uint32_t j, double tolerance) const {
        const std::array<Vec3, 3> cornersP = corners(i), cornersQ = corners(j);
        const Vec3 &normalP = *m_normals[i], &normalQ = *m_normals[j];
        const AgainstPlane q(cornersQ, normalP, cornersP[0], tolerance);
        const AgainstPlane p(cornersP, normalQ, cornersQ[0], tolerance);
        if (q.allOnOneSide() || p.allOnOneSide() || q.inPlane == 3 || p.inPlane == 3)
            return {};
        // Both stretches lie on the planes' common line: their overlap is the segment.
        Vec3 pa, pb, qa, qb;
        if (!q.stretch(qa, qb) || !p.stretch(pa, pb))
            return {};
        const double lengthQ = length(qb - qa);
        if (lengthQ <= tolerance)
            return {};
        const Vec3 along = (1.0 / lengthQ) * (qb - qa);
        const double t0 = dot(pa - qa, along), t1 = dot(pb - qa, along);
        const double from = std::max(0.0, std::min(t0, t1)), to = std::min(lengthQ, std::max(t0, t1));
        if (to - from <= tolerance)
            return {};
        // Corners taken into a plane can make two stretches that pass each other at a distance seem to
        // overlap: the triangles meet only where the stretches come within the tolerance.
        Outcome out{Meeting::Line, qa + from * along, qa + to * along, {{i, j}, 2}};
        const Vec3 alongP = (1.0 / length(pb - pa)) * (pb - pa);
        for (const Vec3& end : {out.a, out.b})
            if (length(cross(end - pa, alongP)) > tolerance)
                return {};
        if (q.inPlane == 2 && p.inPlane == 2)
            out.meeting = Meeting::Uncertain; // two edges along one line: whether surfaces cross is unclear
        else if (q.inPlane == 2)
            alongEdge(j, q, normalP, cornersP[0], tolerance, out);
        else if (p.inPlane == 2)
            alongEdge(i, p, normalQ, cornersQ[0], tolerance, out);
        if (out.meeting == Meeting::Line && length(cross(normalP, normalQ)) < kParallelSine)
            out.meeting = Meeting::Uncertain;
        return out;
    }

    // Triangle t lies with an edge in the other triangle's plane.
    void alongEdge(std::uint32_t t, const AgainstPlane& against, const Vec3& unitNormal, const Vec3& onPlane,
                   double tolerance, Outcome& out) const {
        const Triangle& corners = m_mesh.triangles[t];
        const int off = against.cornerOff();
        const std::uint32_t u = corners[(off + 1) % 3], v = corners[(off + 2) % 3];
        const std::uint64_t key = edgeKey(u, v);
        if (std::binary_search(m_drawn.begin(), m_drawn.end(), key)) {
            out.meeting = Meeting::None;
            return;
        }
        const auto [first, last] =
            std::equal_range(m_incidences.begin(), m_incidences.end(), Incidence{key, 0, false},
                             [](const Incidence& x, const Incidence& y) { return x.key < y.key; });
        if (last - first != 2) {
            out.meeting = Meeting::Uncertain;
            return;
        }
        const std::uint32_t neighbour = first->triangle == t ? (first + 1)->triangle : first->triangle;
        const Triangle& beyond = m_mesh.triangles[neighbour];
        const std::uint32_t far = beyond[0] != u && beyond[0] != v   ? beyond[0]
                                  : beyond[1] != u && beyond[1] != v ? beyond[1]
                                                                     : beyond[2];
        const int side = sideOf(dot(unitNormal, m_mesh.points[far] - onPlane), tolerance);
        if (side == 0)
            out.meeting = Meeting::Uncertain; // the surface goes on in the plane
        else if (side == against.side[off] || neighbour < t)
            out.meeting = Meeting::None; // it only touches, or the neighbour gives the segment
        else
            out.carriers = {{out.carriers.triangles[0], out.carriers.triangles[1], neighbour}, 3};
    }

    const Mesh& m_mesh;
    std::vector<Incidence> m_incidences;
    std::vector<std::uint64_t> m_drawn; // sorted keys
    std::vector<std::optional<Vec3>> m_normals;
};

} // namespace

std::vector<IntersectionSegment>
findIntersections(const Mesh& mesh, const std::vector<FeatureEdge>& drawnEdges, double tolerance) {
    const PairTest test(mesh, drawnEdges);
    std::vector<IntersectionSegment> segments;
    for (const auto& [i, j] : overlappingBoxes(mesh, kDoubtFactor * tolerance)) {
        if (!test.testable(i, j))
            continue;
        const Outcome outcome = test.judge(i, j, tolerance);
        if (outcome.meeting != Meeting::None)
            segments.push_back(
                {{outcome.a, outcome.b}, outcome.carriers, outcome.meeting == Meeting::Uncertain});
    }
    return segments;
}

} // namespace kvcheck
