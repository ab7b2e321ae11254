#pragma once

#include "Hlr/HLRBox3D.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace KvHLR {

class HLRClosedParts;
class HLRExactEdge;
class HLRProjectedTriangleData;

// Occlusion levels: a short way past the hide pass's reads for an edge that lies behind several closed
// parts all along, as most edges deep inside an assembly of many parts do.
//
// In: the projected triangle stores and each occluder's closed-part code (HLRClosedParts, numbered as it
// numbers them). Out: coversAllAlong, whether an edge is covered at least `most` times all along.
//
// The screen is cut into square cells, each listing, nearest first, the triangles facing the eye of
// closed parts that hold the whole cell inside them by a margin. A triangle lying in front of an edge by
// more than the depth test's tolerance, whose part is apart from the edge, covers every point of the
// edge within such a cell on its own, and its part counts 2 there (HLRClosedParts): the ray from the
// point crosses the part as often going in as coming out. Where every cell the edge crosses lists
// enough of them, the hide pass's query would end with the edge hidden and covered `most` times all
// along, and the edge is marked so without it.
//
// Only for parallel views, where a triangle in front of a point along the view direction covers it, and
// only where there are several closed parts: an edge is never apart from the only part of one body. The
// cells are a fraction of the triangles' typical inner radius, their count and the entries' bounded
// before they are made (past the bounds there are no cells, and the hide pass reads as before).
class HLRCellCovers {
public:
    HLRCellCovers() = default; // no cells
    HLRCellCovers(const std::vector<HLRProjectedTriangleData>& triangleData,
                  const std::vector<std::size_t>& storeStart,
                  const std::vector<std::uint32_t>& codeOfOccluder, std::size_t partCount);

    // Whether every point of the edge lies inside triangles of at least (most + 1) / 2 closed parts
    // apart from it (by closedParts, for the edge's view box `edgeBox`), each in front of it. False
    // whenever that cannot be told from the cells, or there are none.
    bool coversAllAlong(const HLRExactEdge& edge, const HLRBox3D& edgeBox, int most,
                        const HLRClosedParts& closedParts) const;

private:
    // A part that holds a cell: its least view depth (its farthest corner's), the least share |n.z| / |n|
    // of its triangles' normals (both rounded down) and its number.
    struct Entry {
        float farthest;
        float leastFacing;
        std::uint32_t part;
    };

    double m_originX = 0.0;
    double m_originY = 0.0;
    double m_cellSize = 0.0;
    std::int64_t m_columns = 0; // none: no cells
    std::int64_t m_rows = 0;
    std::vector<std::uint32_t> m_cellStart; // per cell and one past the last: into m_entries
    std::vector<Entry> m_entries;           // cell by cell, nearest first in a cell
};

} // namespace KvHLR
