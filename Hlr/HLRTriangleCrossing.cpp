#include "Hlr/HLRTriangleCrossing.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

namespace KvHLR {

namespace {

using Vertex = HLRProjectedTriangleVertex;

// Unit normals whose cross product is shorter than this belong to planes taken as parallel: the
// direction of their common line is rounding noise.
constexpr double kParallelSine = 1e-12;

// The part of triangle `own` lying in the plane of `other`: a stretch between two ends, each a corner
// in that plane or a place where an edge passes through it.
struct PlaneCut {
    enum { NONE, COPLANAR, STRETCH } kind = NONE;
    HLRTriangleCrossing::End ends[2];
    std::int8_t along[2] = {-1, -1}; // corners of the edge lying in the plane, if one does
};

PlaneCut planeCut(const HLRTriangleCrossing::Triangle& own, const HLRTriangleCrossing::Triangle& other,
                  double tolerance) {
    PlaneCut cut;
    double d[3];
    int positive = 0;
    int negative = 0;
    for (int i = 0; i < 3; ++i) {
        d[i] = other.distance(own.positions[i], tolerance);
        positive += d[i] > 0.0;
        negative += d[i] < 0.0;
    }
    if (positive == 0 && negative == 0) {
        cut.kind = PlaneCut::COPLANAR;
        return cut;
    }
    if (positive == 3 || negative == 3)
        return cut;
    int count = 0;
    int zeros[2];
    int zeroCount = 0;
    for (int i = 0; i < 3 && count < 2; ++i) {
        if (d[i] == 0.0) {
            const Vertex* v = own.corners[i];
            cut.ends[count++] = {own.positions[i], HLRTriangleCrossing::EndKey{v, v, nullptr}, 0.0};
            zeros[zeroCount++] = i;
        }
    }
    for (int i = 0; i < 3 && count < 2; ++i) {
        const int j = (i + 1) % 3;
        if ((d[i] < 0.0 && d[j] > 0.0) || (d[i] > 0.0 && d[j] < 0.0)) {
            // Always from the corner of lower address, so that both triangles of the edge compute
            // the very same point.
            int u = i;
            int v = j;
            if (std::less<const Vertex*>()(own.corners[v], own.corners[u]))
                std::swap(u, v);
            const double share = d[u] / (d[u] - d[v]);
            const HLRVector3D point = own.positions[u] + (own.positions[v] - own.positions[u]) * share;
            cut.ends[count++] = {
                point, HLRTriangleCrossing::EndKey{own.corners[u], own.corners[v], other.image}, 0.0};
        }
    }
    if (count < 2)
        return cut; // a corner touching the plane
    cut.kind = PlaneCut::STRETCH;
    if (zeroCount == 2) {
        cut.along[0] = static_cast<std::int8_t>(zeros[0]);
        cut.along[1] = static_cast<std::int8_t>(zeros[1]);
    }
    return cut;
}

} // namespace

HLRTriangleCrossing::Triangle::Triangle(const HLRTriangleImage* triangle, const Vertex* const corner[3],
                                        const HLRVector3D position[3])
    : image(triangle), corners(corner), positions(position) {
    const HLRVector3D n = cross(position[1] - position[0], position[2] - position[0]);
    const double size = length(n);
    if (size > 0.0 && std::isfinite(size)) {
        normal = n / size;
        offset = dot(normal, position[0]);
        valid = true;
    }
}

double HLRTriangleCrossing::Triangle::distance(const HLRVector3D& x, double tolerance) const {
    const double d = dot(normal, x) - offset;
    return std::fabs(d) <= tolerance ? 0.0 : d;
}

bool HLRTriangleCrossing::find(const Triangle& first, const Triangle& second, double tolerance,
                               HLRTriangleCrossing& crossing) {
    PlaneCut cutA = planeCut(first, second, tolerance);
    if (cutA.kind != PlaneCut::STRETCH)
        return false;
    PlaneCut cutB = planeCut(second, first, tolerance);
    if (cutB.kind != PlaneCut::STRETCH)
        return false;
    const HLRVector3D line = cross(first.normal, second.normal);
    if (!(length(line) > kParallelSine))
        return false;
    for (PlaneCut* cut : {&cutA, &cutB}) {
        for (auto& end : cut->ends)
            end.along = dot(end.point, line);
        if (cut->ends[1].along < cut->ends[0].along)
            std::swap(cut->ends[0], cut->ends[1]);
    }
    // The overlap of the two stretches along the common line.
    const auto& lo = cutB.ends[0].along > cutA.ends[0].along ? cutB.ends[0] : cutA.ends[0];
    const auto& hi = cutB.ends[1].along < cutA.ends[1].along ? cutB.ends[1] : cutA.ends[1];
    if (!(hi.along > lo.along) || !(length(hi.point - lo.point) > tolerance))
        return false;
    crossing.ends[0] = lo;
    crossing.ends[1] = hi;
    std::copy(cutA.along, cutA.along + 2, crossing.alongFirst);
    std::copy(cutB.along, cutB.along + 2, crossing.alongSecond);
    return true;
}

} // namespace KvHLR
