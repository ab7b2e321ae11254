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
// The screen is cut into square cells, each listing, nearest first, the convex closed parts (of at most
// a few dozen triangles) whose outline holds the whole cell inside it by a margin. A part lying nearer
// than an edge, and apart from it (HLRClosedParts), covers every point of the edge within such a cell:
// the ray from the point to the eye goes in and out of it, and the part counts 2 there. The hide test
// finds those crossings only where the point lies behind the crossed triangle's plane by more than its
// depth tolerance, which the depth gap and the part's steepest triangle bound (outlineOf). Where every
// cell the edge crosses lists enough such parts, the hide pass's query would end with the edge hidden and
// covered `most` times all along, and the edge is marked so without it.
//
// Only where there are several closed parts: an edge is never apart from the only part of one body. The
// cells are a third of the outlines' typical inner radius; the cells the outlines hold are counted before
// they are made, and past a bound of twice the occluders the cells grow (past it still after three
// times, there are none, and the hide pass reads as before).
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
