#pragma once

// Topology checks on welded meshes.

#include "host/KvMesh.h"

#include <cstdint>
#include <map>
#include <utility>

namespace kvhlrtest {

// True when every edge is used exactly once in each direction: the surface is closed and its
// triangles are wound consistently.
inline bool closedAndConsistent(const Kv::KvTriangleList& triangles) {
    std::map<std::pair<std::uint64_t, std::uint64_t>, int> directed;
    for (const auto& t : triangles)
        for (int k = 0; k < 3; ++k)
            ++directed[{t[k], t[(k + 1) % 3]}];
    for (const auto& [edge, count] : directed) {
        const auto reverse = directed.find({edge.second, edge.first});
        if (count != 1 || reverse == directed.end() || reverse->second != 1)
            return false;
    }
    return true;
}

// Six times the enclosed volume; positive when the triangles are wound counter-clockwise from outside.
inline double signedVolume6(const Kv::KvPointList& points, const Kv::KvTriangleList& triangles) {
    double sum = 0.0;
    for (const auto& t : triangles) {
        const ON_3dPoint &a = points[t[0]], &b = points[t[1]], &c = points[t[2]];
        sum += a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x);
    }
    return sum;
}

} // namespace kvhlrtest
