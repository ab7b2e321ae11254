#pragma once

#include "Hlr/HLRStrokeEnd.h"
#include "api/KvHLRExport.h"

#include <cstdint>

namespace KvHLR {

struct HLRProjectedTriangleVertex;

// An end of short strokes: either at a model vertex, shared by every edge that meets there, or at
// a point along one edge where its visibility changes.
class KVHLR_API HLRShortStrokeEnd : public HLRStrokeEnd {
public:
    explicit HLRShortStrokeEnd(const HLRVector2D& point);
    explicit HLRShortStrokeEnd(const HLRProjectedTriangleVertex* source);

    HLRStrokeLinks& linkedStrokes(int type) override;
    const HLRStrokeLinks& linkedStrokes(int type) const override;
    // Ends made from a vertex come first, by vertex address (their position in the vertex sequence),
    // so that a set of ends holds one end per vertex; ends made from a point follow in the order they
    // were made and are therefore all distinct. Neither depends on where the heap put an end, so the
    // joining that walks the set in this order draws the same lines on every run.
    bool precedes(const HLRStrokeEnd& other) const override;
    bool precedes(const HLRShortStrokeEnd& other) const;
    // Takes over `other`, which lies at nearly the same place: the point moves to the midpoint and
    // other's strokes are re-attached here, except those that would duplicate a stroke already
    // here, which are made invalid and left with `other`.
    void mergeWith(HLRStrokeEnd& other) override;

    const HLRProjectedTriangleVertex* source() const { return m_source; }
    // The vertex the end was made from, which fixes its place in an ordered set for good, even
    // after a merge gives the end a source it did not have.
    const HLRProjectedTriangleVertex* orderSource() const { return m_orderSource; }

protected:
    bool swapsConvexity() const override;

private:
    void takeOverLinks(HLRStrokeEnd& other, int kind);

    const HLRProjectedTriangleVertex* m_source;
    const HLRProjectedTriangleVertex* m_orderSource;
    std::uint64_t m_creationNumber; // orders ends made from a point

    // Ends are made on the caller's thread only (the extraction and the renewer run after the
    // parallel hide pass), so a plain counter serves.
    static std::uint64_t sm_nextCreationNumber;
};

} // namespace KvHLR
