#pragma once

#include "Hlr/HLRBox3D.h"
#include "Hlr/HLRCellCovers.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace KvHLR {

class HLRProjectedTriangleData;
class HLRTriangleParts;

// Occlusion levels: the closed parts of the model whose surfaces the hide pass may count in pairs.
//
// In: the projected triangle stores (their occluders, with their corners' view positions) and the parts
// of their model triangles.
// Out: for each occluder, numbered as HLRProjectedModel::occluders lists them (store by store, so as
// the hide pass's grid numbers them), whether its cover counts in pairs for an edge (pairedPart).
//
// A closed, consistently wound part (HLRTriangleParts::closed) is crossed by a segment whose two ends
// lie outside its box as often going in as coming out: the winding number, which the signed count of
// crossings changes, is 0 at both ends. The ray from a point of an edge outside the part's box to a
// centre of projection also outside it (or to infinity, in a parallel view) therefore crosses as many
// of its triangles facing the eye as facing away, whichever way the part is wound (an inside-out part
// swaps the roles, not the counts): the part lies in front of the point 2 x the times its triangles of
// either facing cover it. For each edge the hide pass counts those of one facing twice and the others
// not at all, and once the edge is hidden all along need not read the others (HLRExactHiding::hideEdges).
// A part is left to be counted triangle by
// triangle where that does not hold or cannot be told from here: a part that is not closed, one with
// a triangle in the perspective near region (which hides nothing), one whose box (grown by the depth
// tolerance of the hide test) holds the centre of projection, and for an edge whose view box meets the
// part's box grown so (the edge's own part, parts it touches or lies within).
class HLRClosedParts {
public:
    HLRClosedParts(const std::vector<HLRProjectedTriangleData>& triangleData, const HLRTriangleParts& parts);

    // For an edge whose view box is `edgeBox`, the closed part of occluder `index` whose surfaces count
    // in pairs, with kFacesEye where the occluder faces the eye; kNone where it counts once, as each
    // triangle does (its part is not closed, or its grown box meets the edge's).
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    static constexpr std::uint32_t kFacesEye = 0x80000000u;
    static constexpr std::uint32_t kPartMask = 0x7FFFFFFFu;
    std::uint32_t pairedPart(std::size_t index, const HLRBox3D& edgeBox) const {
        const std::uint32_t code = m_codeOfOccluder[index];
        return code != kNone && isApart(code & kPartMask, edgeBox) ? code : kNone;
    }
    // Whether a counted part's grown box and an edge's view box `edgeBox` are apart.
    bool isApart(std::uint32_t part, const HLRBox3D& edgeBox) const {
        const HLRBox3D& box = m_partBox[part];
        return edgeBox.max().x < box.min().x || edgeBox.min().x > box.max().x ||
               edgeBox.max().y < box.min().y || edgeBox.min().y > box.max().y ||
               edgeBox.max().z < box.min().z || edgeBox.min().z > box.max().z;
    }
    // The cells that tell an edge covered by closed parts all along without the hide pass's reads.
    const HLRCellCovers& cellCovers() const { return m_cellCovers; }

private:
    // By occluder: its closed part's number, with kFacesEye where it faces the eye; kNone where its part
    // is counted triangle by triangle.
    std::vector<std::uint32_t> m_codeOfOccluder;
    // By part: the box of its corners' view positions, grown by the hide test's depth tolerance.
    std::vector<HLRBox3D> m_partBox;
    HLRCellCovers m_cellCovers;
};

} // namespace KvHLR
