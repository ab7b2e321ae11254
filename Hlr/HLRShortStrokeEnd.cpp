#include "Hlr/HLRShortStrokeEnd.h"

#include "Hlr/HLRPolyAlgo.h"
#include "Hlr/HLRProjectedTriangleVertex.h"
#include "Hlr/HLRStroke.h"

#include <functional>

namespace KvHLR {

std::uint64_t HLRShortStrokeEnd::sm_nextCreationNumber = 0;

HLRShortStrokeEnd::HLRShortStrokeEnd(const HLRVector2D& point)
    : HLRStrokeEnd(point), m_source(nullptr), m_orderSource(nullptr),
      m_creationNumber(sm_nextCreationNumber++) {}

HLRShortStrokeEnd::HLRShortStrokeEnd(const HLRProjectedTriangleVertex* source)
    : HLRStrokeEnd(source->screenPosition), m_source(source), m_orderSource(source),
      m_creationNumber(sm_nextCreationNumber++) {}

HLRStrokeLinks& HLRShortStrokeEnd::linkedStrokes(int type) {
    const int kind = linkKindOf(type, swapsConvexity());
    if (kind < 0)
        throw HLRError("HLRShortStrokeEnd::linkedStrokes(): Illegal path.", "Hlr/HLRShortStrokeEnd", 278);
    return linksAt(kind);
}

const HLRStrokeLinks& HLRShortStrokeEnd::linkedStrokes(int type) const {
    const int kind = linkKindOf(type, swapsConvexity());
    if (kind < 0)
        throw HLRError("HLRShortStrokeEnd::linkedStrokes(): Illegal path.", "Hlr/HLRShortStrokeEnd", 243);
    return linksAt(kind);
}

bool HLRShortStrokeEnd::precedes(const HLRStrokeEnd& other) const {
    if (const auto* shortEnd = dynamic_cast<const HLRShortStrokeEnd*>(&other))
        return precedes(*shortEnd);
    // Any other end has no vertex and so sorts like an end made from a point.
    if (m_orderSource)
        return true;
    return std::less<const HLRStrokeEnd*>()(this, &other);
}

bool HLRShortStrokeEnd::precedes(const HLRShortStrokeEnd& other) const {
    if (this == &other)
        return false;
    if (m_orderSource && other.m_orderSource)
        return std::less<const HLRProjectedTriangleVertex*>()(m_orderSource, other.m_orderSource);
    if (m_orderSource || other.m_orderSource)
        return m_orderSource != nullptr;
    return m_creationNumber < other.m_creationNumber;
}

void HLRShortStrokeEnd::mergeWith(HLRStrokeEnd& other) {
    if (&other == this)
        return;
    setPoint((point() + other.point()) * 0.5);
    const auto* otherShort = dynamic_cast<const HLRShortStrokeEnd*>(&other);
    if (!m_source && otherShort)
        m_source = otherShort->m_source;
    for (int kind = 0; kind < LINK_KIND_COUNT; ++kind)
        takeOverLinks(other, kind);
}

void HLRShortStrokeEnd::takeOverLinks(HLRStrokeEnd& other, int kind) {
    for (HLRStroke* stroke : other.links()[kind].strokes()) {
        if (!stroke)
            continue;
        // A stroke already here, or one joining this end to the same far end, makes it a duplicate.
        const HLRStrokeEnd* far = stroke->otherEnd(&other);
        for (HLRStroke* mine : links()[kind].strokes()) {
            if (mine && (mine == stroke || mine->otherEnd(this) == far)) {
                stroke->setValid(false);
                break;
            }
        }
        if (stroke->isValid()) {
            addLink(stroke);
            stroke->replaceLinkFrom_to(&other, this);
        }
    }
}

bool HLRShortStrokeEnd::swapsConvexity() const {
    return HLRPolyAlgo::sm_bConvexityReversed;
}

} // namespace KvHLR
