#pragma once

// Answers "does any of these 2D segments pass within `reach` of this point?" in time that does not grow
// with the number of segments. Segments are cut into pieces no longer than a grid cell (the cell side
// is twice `reach`) and each piece is filed in every cell that a point within reach of it can fall in, so a
// query looks at one cell only. Only what lies inside a fixed frame is kept: callers choose a frame
// that covers every point they will ask about, grown by `reach`.

#include "checker/Geometry.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace kvcheck {

struct Box2 {
    Vec2 lo, hi;
};

// The parameter range [t0, t1] of a + t (b - a), 0 <= t <= 1, that lies inside `box`; false when
// nothing of the segment is inside.
bool clipRange(const Box2& box, Vec2 a, Vec2 b, double& t0, double& t1);

class SegmentGrid {
public:
    SegmentGrid(const Box2& frame, double reach);

    // A point is a segment whose ends coincide.
    void add(Vec2 a, Vec2 b);
    // Must be called after the last add and before the first query.
    void finish();

    bool anyWithin(Vec2 p) const {
        return findWithin(p, [](Vec2, Vec2) { return true; });
    }

    // Calls visit(a, b) for the pieces of added segments (stretches no longer than a cell, so that a
    // segment may show up in several) that pass within reach of p, until it returns true; whether one
    // did.
    template <class Visit> bool findWithin(Vec2 p, Visit&& visit) const {
        const auto [first, last] = cellOf(p);
        for (auto it = first; it != last; ++it) {
            const auto& [a, b] = m_pieces[it->second];
            double at = 0;
            if (distanceToSegment(p, a, b, at) <= m_reach && visit(a, b))
                return true;
        }
        return false;
    }

private:
    using CellEntries = std::vector<std::pair<std::uint64_t, std::uint32_t>>;
    std::pair<CellEntries::const_iterator, CellEntries::const_iterator> cellOf(Vec2 p) const;
    std::uint64_t cellKey(long long ix, long long iy) const;
    long long cellIndex(double coordinate, double origin) const;
    void file(Vec2 a, Vec2 b);

    Box2 m_frame;
    double m_reach;
    double m_cell;
    std::vector<std::pair<Vec2, Vec2>> m_pieces;
    CellEntries m_cells; // (cell key, piece), sorted by finish
};

} // namespace kvcheck
