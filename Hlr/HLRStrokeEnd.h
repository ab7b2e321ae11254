#pragma once

#include "Hlr/HLRCompletionObservable.h"
#include "Hlr/HLRError.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRStrokeLinks.h"
#include "Hlr/HLRValidityObservable.h"
#include "Hlr/HLRVector2D.h"
#include "api/KvHLRExport.h"

#include <array>
#include <cstdint>

namespace KvHLR {

class HLRStroke;

// A point of the stroke network where strokes meet. The strokes are kept in one link list per
// kind, so that a walk along, say, a convex sharp edge only ever sees convex sharp strokes at the
// ends it passes. An end merged into another is marked invalid rather than deleted.
class KVHLR_API HLRStrokeEnd : public HLRCompletionObservable, public HLRValidityObservable {
public:
    // Positions of the link lists in links().
    enum LinkKind {
        SILHOUETTE_LINKS,
        CONVEX_LINKS,
        CONCAVE_LINKS,
        HIDDEN_LINKS,
        FREE_EDGE_LINKS,
        DIMENSION_LINE_LINKS,
        HIDDEN_FREE_EDGE_LINKS,
        HIDDEN_DIMENSION_LINE_LINKS,
        LINK_KIND_COUNT
    };
    using Links = std::array<HLRStrokeLinks, LINK_KIND_COUNT>;

    explicit HLRStrokeEnd(const HLRVector2D& point) : m_point(point) {}
    // Copies point, flags, id and the lists' contents, but the copy is not registered with the
    // strokes it lists: the strokes keep pointing at the lists of the original.
    HLRStrokeEnd(const HLRStrokeEnd& other) = default;
    HLRStrokeEnd& operator=(const HLRStrokeEnd&) = delete;
    // Withdraws its lists from the memberships of the strokes they hold.
    ~HLRStrokeEnd() override;

    // Files the stroke into the list of its kind; a stroke of no kind is not filed.
    virtual void addLink(HLRStroke* stroke);
    // The list for strokes of the given type; throws for a visible type of no kind.
    virtual HLRStrokeLinks& linkedStrokes(int type) = 0;
    virtual const HLRStrokeLinks& linkedStrokes(int type) const = 0;
    // Strict order for ordered sets of ends.
    virtual bool precedes(const HLRStrokeEnd& other) const = 0;
    // Takes over `other`: its place and the strokes meeting there.
    virtual void mergeWith(HLRStrokeEnd& other);
    // Takes the stroke out of the list of its kind, leaving null holes where it was.
    virtual void removeLink(HLRStroke* stroke);

    const HLRVector2D& point() const { return m_point; }
    void setPoint(const HLRVector2D& point) { m_point = point; }
    // A connector never continues a walk through a terminal end.
    bool terminal() const { return m_terminal; }
    void setTerminal(bool terminal) { m_terminal = terminal; }
    const Links& links() const { return m_links; }
    std::int32_t id() const { return m_id; }
    void setId(std::int32_t id) { m_id = id; }

    // The position in links() of the list for a stroke type, or -1 for a type of no kind.
    // With swapConvexity the convex and concave sharp-edge kinds trade lists: that is how ends made
    // before an inside-out model was detected keep finding strokes whose kinds were corrected later.
    static int linkKindOf(int type, bool swapConvexity);

protected:
    // Whether this end is subject to the convexity swap of linkKindOf.
    virtual bool swapsConvexity() const = 0;
    HLRStrokeLinks& linksAt(int kind) { return m_links[kind]; }
    const HLRStrokeLinks& linksAt(int kind) const { return m_links[kind]; }

private:
    HLRVector2D m_point;
    bool m_terminal = false;
    Links m_links;
    std::int32_t m_id = -1;
};

} // namespace KvHLR

// The two bases need each other's full definition for their inline bodies.
#include "Hlr/HLRStroke.h"

namespace KvHLR {

inline HLRStrokeEnd::~HLRStrokeEnd() {
    for (const HLRStrokeLinks& links : m_links)
        for (HLRStroke* stroke : links.strokes())
            if (stroke)
                stroke->leave(&links);
}

inline void HLRStrokeEnd::addLink(HLRStroke* stroke) {
    const int kind = linkKindOf(stroke->type(), swapsConvexity());
    if (kind < 0)
        return;
    HLRStrokeLinks& links = m_links[kind];
    stroke->join(&links);
    links.append(stroke, stroke->isValid());
}

inline void HLRStrokeEnd::removeLink(HLRStroke* stroke) {
    const int kind = linkKindOf(stroke->type(), swapsConvexity());
    if (kind < 0)
        return;
    HLRStrokeLinks& links = m_links[kind];
    stroke->leave(&links);
    const int removed = links.punchHoles(stroke);
    // Counting the entries actually removed keeps validCount exact even for a stroke that was
    // never registered here.
    if (stroke->isValid())
        links.changeValidCount(-removed);
}

inline void HLRStrokeEnd::mergeWith(HLRStrokeEnd&) {
    throw HLRError("HLRStrokeEnd::mergeWith(): Child class'es responsibility.", "HLR/HLRStrokeEnd", 221);
}

inline int HLRStrokeEnd::linkKindOf(int type, bool swapConvexity) {
    using Kind = HLRProjectedTriangleEdge::LineKind;
    switch (HLRProjectedTriangleEdge::lineKindOf(type, swapConvexity)) {
    case Kind::HIDDEN:
        return HIDDEN_LINKS;
    case Kind::HIDDEN_FREE_EDGE:
        return HIDDEN_FREE_EDGE_LINKS;
    case Kind::HIDDEN_DIMENSION_LINE:
        return HIDDEN_DIMENSION_LINE_LINKS;
    case Kind::SILHOUETTE:
        return SILHOUETTE_LINKS;
    case Kind::CONVEX_SHARP:
        return CONVEX_LINKS;
    case Kind::CONCAVE_SHARP:
        return CONCAVE_LINKS;
    case Kind::FREE_EDGE:
        return FREE_EDGE_LINKS;
    case Kind::DIMENSION_LINE:
        return DIMENSION_LINE_LINKS;
    case Kind::NONE:
        break;
    }
    return -1;
}

} // namespace KvHLR
