#include "Hlr/HLRLongStrokeGroup.h"

#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRDirectionalLeftMostConnector.h"
#include "Hlr/HLRDirectionalRightMostConnector.h"
#include "Hlr/HLRPostProcessor.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRShortStroke.h"
#include "Hlr/HLRShortStrokeEnd.h"
#include "Hlr/HLRShortStrokeGroup.h"
#include "Hlr/HLRSimpleConnector.h"

#include <algorithm>
#include <stdexcept>

namespace KvHLR {

bool HLRLongStrokeGroup::sm_bToAvoidStrokeWithDeadEnd = true;

namespace {
using Edge = HLRProjectedTriangleEdge;

int validLinkCount(const HLRStrokeEnd& end, int type) {
    return end.linkedStrokes(type).validCount();
}
} // namespace

HLRLongStrokeGroup::HLRLongStrokeGroup(HLRPostProcessor& postProcessor, HLRShortStrokeGroup& shortStrokeGroup,
                                       double tolerance)
    : m_postProcessor(&postProcessor), m_shortStrokeGroup(&shortStrokeGroup), m_tolerance(tolerance) {}

int HLRLongStrokeGroup::postProcMask() const {
    return m_postProcessor->postProcMask();
}

void HLRLongStrokeGroup::connectFeatureLines() {
    const int mask = postProcMask();
    const bool withHidden = (mask & Edge::VISIBLE_MASK) == 0;
    if (mask & Edge::SILHOUETTE_MASK)
        connectSilhouetteStrokes();
    if (mask & Edge::SHARP_EDGE_MASK) {
        connectConvexSharpEdgeStrokes();
        connectConcaveSharpEdgeStrokes();
    }
    if (withHidden)
        connectHiddenStrokes();
    if (mask & Edge::FREE_EDGE_MASK)
        connectFreeEdgeStrokes();
    if (mask & Edge::DIMENSION_LINE_MASK)
        connectDimensionLineStrokes();
    if (withHidden && (mask & Edge::FREE_EDGE_MASK))
        connectFreeEdgeHiddenStrokes();
    if (withHidden && (mask & Edge::DIMENSION_LINE_MASK))
        connectDimensionLineHiddenStrokes();
}

void HLRLongStrokeGroup::connectSilhouetteStrokes() {
    connectSilhouetteStrokesSub1();
    if (m_postProcessor->silhouetteConnectMode() == 0) {
        connectSilhouetteStrokesSub2();
        connectSilhouetteStrokesSub3();
    }
}

void HLRLongStrokeGroup::connectConvexSharpEdgeStrokes() {
    HLRShortStrokeGroup& group = *m_shortStrokeGroup;
    connectStrokesSimply(group.convexityReversed() ? group.concaveSharpEdgeStrokes()
                                                   : group.convexSharpEdgeStrokes());
}

void HLRLongStrokeGroup::connectConcaveSharpEdgeStrokes() {
    HLRShortStrokeGroup& group = *m_shortStrokeGroup;
    connectStrokesSimply(group.convexityReversed() ? group.convexSharpEdgeStrokes()
                                                   : group.concaveSharpEdgeStrokes());
}

void HLRLongStrokeGroup::connectHiddenStrokes() {
    connectStrokesSimply(m_shortStrokeGroup->hiddenStrokes());
}

void HLRLongStrokeGroup::connectFreeEdgeStrokes() {
    connectStrokesSimply(m_shortStrokeGroup->freeEdgeStrokes());
}

void HLRLongStrokeGroup::connectDimensionLineStrokes() {
    connectStrokesSimply(m_shortStrokeGroup->dimensionStrokes());
}

void HLRLongStrokeGroup::connectFreeEdgeHiddenStrokes() {
    connectStrokesSimply(m_shortStrokeGroup->freeEdgeHiddenStrokes());
}

void HLRLongStrokeGroup::connectDimensionLineHiddenStrokes() {
    connectStrokesSimply(m_shortStrokeGroup->dimensionHiddenStrokes());
}

void HLRLongStrokeGroup::connectStrokesSimply(std::deque<HLRShortStroke>& strokes) {
    // Between joining steps no end is terminal, so with nothing to join the two passes over all the
    // group's ends below would only set flags and clear them again.
    if (std::none_of(strokes.begin(), strokes.end(), [](const HLRShortStroke& s) { return s.isValid(); }))
        return;
    // Where more than two hidden strokes meet, the drawing branches; every kind stops there.
    for (HLRShortStrokeEnd& end : m_shortStrokeGroup->ends()) {
        HLRCancelPoll::check();
        if (validLinkCount(end, Edge::NO_TYPE) > 2)
            end.setTerminal(true);
    }
    const HLRSimpleConnector connector;
    for (HLRShortStroke& stroke : strokes) {
        HLRCancelPoll::check();
        if (stroke.isValid())
            growLongStroke(stroke, *stroke.end1(), connector);
    }
    m_shortStrokeGroup->clearTerminalFlags();
}

void HLRLongStrokeGroup::growLongStroke(HLRStroke& seed, HLRStrokeEnd& seedEnd,
                                        const HLRStrokeConnector& connector) {
    HLRLongStroke& longStroke = newLongStroke(seed.type());
    longStroke.addStrokeEnd_onAdvice(&seedEnd, false);
    HLRStrokeEnd& farEnd = *seed.otherEnd(&seedEnd);
    seed.addTo_at_onAdvice(longStroke, &seedEnd, true);
    seed.setValid(false);
    propagateConnectionFromSE_toS_onAdvices_addingPointTo(farEnd, seed, connector, true, longStroke);
    propagateConnectionFromSE_toS_onAdvices_addingPointTo(seedEnd, seed, connector, false, longStroke);
}

// The walk is a loop rather than the two functions calling each other: a long stroke may join
// millions of short strokes, and each would otherwise cost a stack frame.
bool HLRLongStrokeGroup::propagateConnectionFromS_toSE_onAdvices_addingPointTo(
    HLRStroke& stroke, HLRStrokeEnd& end, const HLRStrokeConnector& connector, bool atBack,
    HLRLongStroke& longStroke) {
    HLRStroke* current = &stroke;
    HLRStrokeEnd* reached = &end;
    for (;;) {
        HLRCancelPoll::check();
        HLRStrokeEnd* farEnd = current->otherEnd(reached);
        if (current != &longStroke) {
            current->addTo_at_onAdvice(longStroke, reached, atBack);
            current->setValid(false);
        } else {
            // The walk came back along the long stroke itself.
            farEnd->removeLink(&longStroke);
        }
        HLRStroke* next = farEnd->terminal() ? nullptr : connector.nextStroke(*farEnd, *current);
        if (!next)
            return process_asTerminalOf_onAdvice(farEnd, &longStroke, atBack);
        current = next;
        reached = farEnd;
    }
}

bool HLRLongStrokeGroup::propagateConnectionFromSE_toS_onAdvices_addingPointTo(
    HLRStrokeEnd& end, HLRStroke& stroke, const HLRStrokeConnector& connector, bool atBack,
    HLRLongStroke& longStroke) {
    HLRStroke* next = end.terminal() ? nullptr : connector.nextStroke(end, stroke);
    if (next)
        return propagateConnectionFromS_toSE_onAdvices_addingPointTo(*next, end, connector, atBack,
                                                                     longStroke);
    return process_asTerminalOf_onAdvice(&end, &longStroke, atBack);
}

bool HLRLongStrokeGroup::process_asTerminalOf_onAdvice(HLRStrokeEnd* end, HLRLongStroke* longStroke,
                                                       bool atBack) {
    HLRLongStrokeEnd& unique = uniqueLongStrokeEndFor(*end);
    if (atBack)
        longStroke->setEnd2(&unique);
    else
        longStroke->setEnd1(&unique);
    const bool closed = longStroke->end1() == longStroke->end2();
    longStroke->setClosed(closed);
    if (!closed)
        unique.addLink(longStroke);
    return closed;
}

// The renewal numbers the group's ends 0, 1, 2, ...; those ids are looked up in an array, where a
// search of the ordered set would cost a cache miss per level for every stroke joined.
HLRLongStrokeEnd& HLRLongStrokeGroup::uniqueLongStrokeEndFor(const HLRStrokeEnd& end) {
    std::vector<HLRLongStrokeEnd*>& byId = m_longStrokeEndsById.ends;
    if (byId.empty())
        byId.resize(m_shortStrokeGroup->ends().size(), nullptr);
    const std::int32_t id = end.id();
    const bool numbered = id >= 0 && static_cast<std::size_t>(id) < byId.size();
    if (numbered && byId[id])
        return *byId[id];
    auto position = m_longStrokeEnds.lower_bound(id);
    const bool inserted = position == m_longStrokeEnds.end() || position->id() != id;
    if (inserted)
        position = m_longStrokeEnds.emplace_hint(position, end);
    // The set orders its ends by id, which nothing changes: the end is open for change otherwise.
    HLRLongStrokeEnd& unique = const_cast<HLRLongStrokeEnd&>(*position);
    if (inserted)
        m_postProcessor->addLinkTo(unique);
    if (numbered)
        byId[id] = &unique;
    return unique;
}

void HLRLongStrokeGroup::setBoundingStrokeEnds() {
    m_boundingStrokeEnds.fill(nullptr);
    double minX = 1e7, maxX = -1e7, minY = 1e7, maxY = -1e7;
    HLRStrokeEnd*& atMinX = m_boundingStrokeEnds[MIN_X];
    HLRStrokeEnd*& atMaxX = m_boundingStrokeEnds[MAX_X];
    HLRStrokeEnd*& atMinY = m_boundingStrokeEnds[MIN_Y];
    HLRStrokeEnd*& atMaxY = m_boundingStrokeEnds[MAX_Y];
    for (HLRShortStrokeEnd& end : m_shortStrokeGroup->ends()) {
        HLRCancelPoll::check();
        if (!end.isValid() || validLinkCount(end, Edge::VISIBLE_SILHOUETTE_MASK) < 2)
            continue;
        const double x = end.point().x();
        const double y = end.point().y();
        // Ties go round the outline counter-clockwise: lowest at the left, highest at the right,
        // rightmost at the bottom, leftmost at the top.
        if (x < minX || (x == minX && atMinX && atMinX->point().y() > y)) {
            atMinX = &end;
            minX = x;
        }
        if (x > maxX || (x == maxX && atMaxX && y > atMaxX->point().y())) {
            atMaxX = &end;
            maxX = x;
        }
        if (y < minY || (y == minY && atMinY && x > atMinY->point().x())) {
            atMinY = &end;
            minY = y;
        }
        if (y > maxY || (y == maxY && atMaxY && atMaxY->point().x() > x)) {
            atMaxY = &end;
            maxY = y;
        }
    }
    for (HLRStrokeEnd* end : m_boundingStrokeEnds)
        if (end)
            uniqueLongStrokeEndFor(*end);
}

void HLRLongStrokeGroup::setBoundingTerminals(bool terminal) {
    for (HLRStrokeEnd* end : m_boundingStrokeEnds) {
        if (end) {
            end->setTerminal(terminal);
            uniqueLongStrokeEndFor(*end).setTerminal(terminal);
        }
    }
}

void HLRLongStrokeGroup::connectSilhouetteStrokesSub1() {
    setBoundingStrokeEnds();
    for (HLRShortStrokeEnd& end : m_shortStrokeGroup->ends()) {
        HLRCancelPoll::check();
        if (validLinkCount(end, Edge::VISIBLE_SILHOUETTE_MASK) > 2)
            end.setTerminal(true);
    }
    setBoundingTerminals(true);
    const HLRSimpleConnector connector;
    for (HLRShortStroke& stroke : m_shortStrokeGroup->silhouetteStrokes()) {
        HLRCancelPoll::check();
        if (stroke.isValid())
            growLongStroke(stroke, *stroke.startEnd(), connector);
    }
    m_shortStrokeGroup->clearTerminalFlags();
    setBoundingTerminals(false);
}

void HLRLongStrokeGroup::connectSilhouetteStrokesSub2() {
    // Arriving at each extreme end from just outside the drawing, the left-most turn follows the
    // outline; the probe stroke's direction is what makes it so.
    static const HLRVector2D probeOffsets[4] = {{0.0, -1.0}, {0.0, 1.0}, {1.0, 0.0}, {-1.0, 0.0}};
    const HLRLeftMostConnector backConnector(sm_bToAvoidStrokeWithDeadEnd);
    std::array<HLRLongStroke*, 4> outline{};
    for (int side = MIN_X; side <= MAX_Y; ++side) {
        if (!m_boundingStrokeEnds[side])
            continue;
        HLRLongStrokeEnd& extreme = uniqueLongStrokeEndFor(*m_boundingStrokeEnds[side]);
        HLRShortStrokeEnd outside(extreme.point() + probeOffsets[side]);
        const HLRShortStroke probe(&extreme, &outside, Edge::VISIBLE_SILHOUETTE_MASK);
        // Only long strokes are registered at long-stroke ends.
        outline[side] = static_cast<HLRLongStroke*>(backConnector.nextStroke(extreme, probe));
        if (outline[side])
            outline[side]->setType(outline[side]->type() | Edge::OUTER_SILHOUETTE_EDGE);
    }
    const HLRRightMostConnector frontConnector(sm_bToAvoidStrokeWithDeadEnd);
    for (int side = MIN_X; side <= MAX_Y; ++side) {
        HLRLongStroke* stroke = outline[side];
        if (stroke && stroke->isExtensible() &&
            stroke->end1() == &uniqueLongStrokeEndFor(*m_boundingStrokeEnds[side]))
            extendFromEnds(*stroke, backConnector, frontConnector);
    }
}

void HLRLongStrokeGroup::connectSilhouetteStrokesSub3() {
    const HLRDirectionalLeftMostConnector backConnector(sm_bToAvoidStrokeWithDeadEnd);
    const HLRDirectionalRightMostConnector frontConnector(sm_bToAvoidStrokeWithDeadEnd);
    for (HLRLongStroke& stroke : m_featureLines)
        if (stroke.isExtensible())
            extendFromEnds(stroke, backConnector, frontConnector);
}

void HLRLongStrokeGroup::extendFromEnds(HLRLongStroke& stroke, const HLRStrokeConnector& backConnector,
                                        const HLRStrokeConnector& frontConnector) {
    // The front end is made terminal while the back grows, so that a walk coming round stops there
    // and closes the stroke; likewise the new back end while the front grows.
    HLRStrokeEnd* front = stroke.end1();
    front->setTerminal(true);
    HLRStrokeEnd* back = stroke.otherEnd(front);
    back->removeLink(&stroke);
    propagateConnectionFromSE_toS_onAdvices_addingPointTo(*back, stroke, backConnector, true, stroke);
    front->setTerminal(false);
    if (stroke.closed())
        return;
    HLRStrokeEnd* newBack = stroke.end2();
    newBack->setTerminal(true);
    front->removeLink(&stroke);
    propagateConnectionFromSE_toS_onAdvices_addingPointTo(*front, stroke, frontConnector, false, stroke);
    newBack->setTerminal(false);
}

HLRLongStroke& HLRLongStrokeGroup::newLongStroke(int type) {
    if (m_featureLines.size() == m_featureLines.max_size())
        throw std::length_error("list too long");
    HLRLongStroke& longStroke = m_featureLines.emplace_back(type);
    m_postProcessor->addLinkTo(longStroke);
    return longStroke;
}

} // namespace KvHLR
