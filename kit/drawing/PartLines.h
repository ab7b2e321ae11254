#pragma once

// Where the lines of a drawing of CAD parts come from: which part of an assembly each belongs to, so
// that a sheet can put every part on layers of its own, and which outlines are sharp edges. The library
// draws all parts in one run (they hide each other) and says only the kind of a line; with a CAD part's
// faces kept apart, it draws every border between two faces as an outline. Both are found again in the
// drawing plane: every line lies on an edge of some part seen from the camera (a border between two of
// its faces, a tangent edge, or an outline where its triangles turn from front to back), so each
// stretch of a line goes to the part with the nearest such edge, and an outline along a border between
// two faces seen from the front becomes a convex or concave sharp edge. A line is cut where its part or
// kind changes.
//
// In:  the parts (before they are drawn), the camera, and then the drawing's lines.
// Out: the lines, cut where their source changes, with their kinds; each line's part and the parts' names.

#include "kit/drawing/Drawing.h"
#include "kit/mesh/MeshPart.h"

#include <memory>
#include <string>
#include <vector>

namespace kvhlr {

class PartEdges {
public:
    // The edges of every part as the camera sees them.
    PartEdges(const std::vector<MeshPart>& parts, const KvHLR::ViewInfoCriteria& camera);
    ~PartEdges();
    PartEdges(const PartEdges&) = delete;
    PartEdges& operator=(const PartEdges&) = delete;

    // Gives outlines along borders between faces their sharp kinds and, with `parts`, tells each line's
    // part (drawing.lineParts) and the parts' names (drawing.partNames); lines are cut where either
    // changes.
    void assign(Drawing& drawing, bool parts) const;

private:
    struct Grid;
    std::unique_ptr<Grid> m_grid;
    std::vector<std::string> m_names;
    bool m_tangentEdges = false; // whether any segment is a tangent edge's with its B-rep edge
};

} // namespace kvhlr
