#pragma once

// Triangles cut where a linear function of position crosses a level: the depth along a camera's line of
// sight (the near-plane cut) or the signed distance from a cutting plane (section views). Shared so that
// both cut alike: exactly, in double, each new point made once per edge and level.
//
// In:  a part's points, the function's value at each, polygons of point indices.
// Out: the polygons' parts on one side of a level, new points appended to the part's point list, and
//      for a part with B-rep edges, those that lie on a side of its triangles as read noted in its
//      cutSides (MeshPart::cutSides).

#include "host/KvMesh.h"
#include "kit/mesh/MeshPart.h"

#include <cstdint>
#include <map>
#include <tuple>
#include <vector>

namespace kvhlr {

using IndexPolygon = std::vector<std::uint64_t>;

class LevelCutter {
public:
    // `values` holds the function's value at each of the part's points; new points get theirs.
    LevelCutter(MeshPart& part, std::vector<double> values)
        : m_points(part.points), m_values(std::move(values)),
          m_sides(part.brepEdges.empty() ? nullptr : &part.cutSides) {}

    double value(std::uint64_t vertex) const { return m_values[vertex]; }

    // The part of the polygon on one side of `level` (beyond it: values at or above; else at or below),
    // the points on the level included.
    IndexPolygon clip(const IndexPolygon& polygon, double level, bool beyond);

    // The point where the edge u-v crosses `level`; its ends lie strictly on either side. Made once per
    // edge and level, so that neighbouring triangles share it and stay joined.
    std::uint64_t crossing(std::uint64_t u, std::uint64_t v, double level);

private:
    Kv::KvPointList& m_points;
    std::vector<double> m_values;
    std::unordered_map<std::uint32_t, std::array<std::uint32_t, 2>>* m_sides; // none: not noted
    std::map<std::tuple<std::uint64_t, std::uint64_t, double>, std::uint64_t> m_crossings;
};

// A convex polygon as a fan of triangles (none for fewer than three corners).
void addFan(const IndexPolygon& polygon, Kv::KvTriangleList& triangles);

} // namespace kvhlr
