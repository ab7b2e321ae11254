#include "Hlr/HLRStrokeNetworkRenewer.h"

#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRCheckedSort.h"
#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRShortStroke.h"
#include "Hlr/HLRShortStrokeEnd.h"
#include "Hlr/HLRShortStrokeGroup.h"

#include <boost/container/small_vector.hpp>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace KvHLR {

// The end's point is kept beside the pointer, so that a query reads the coordinates from the tree's
// own array instead of from ends scattered over memory. A merge moves the end that is kept; the
// renewer then writes the new point into the tree (updatePoint).
struct HLRShortStrokeEndHolder {
    HLRShortStrokeEnd* end;
    HLRVector2D point;
    double coordinate(int axis) const { return axis == 0 ? point.x() : point.y(); }
};

namespace {
using Edge = HLRProjectedTriangleEdge;

enum class Renewal { NONE, MERGE_INTO_END1, MERGE_INTO_END2, SPLIT };

bool holdsEntry(const HLRStrokeLinks& links) {
    const std::vector<HLRStroke*>& strokes = links.strokes();
    return std::any_of(strokes.begin(), strokes.end(), [](const HLRStroke* s) { return s != nullptr; });
}

// What an end found near the stroke asks for. Only a live end that still carries a valid stroke of
// the kind counts. Close to an end of the stroke it is merged into the nearer one; well inside the
// stroke and on its line it splits the stroke. The distances are absolute, in units of t.
// A split must leave two halves each shorter than the stroke: when t lies below the precision of the
// coordinates, an end beside one end of a stroke passes the line tests while the half from it is as
// long as the stroke, and such ends could hand one split round among themselves without end.
// The tests on the candidate's point come first and read the tree's copy of it, which equals the
// end's point: most candidates fail them, and the end itself then need not be fetched from memory.
Renewal renewalFor(const HLRShortStroke& stroke, const HLRShortStrokeEndHolder& candidate, int kind, double t) {
    const HLRStrokeEnd* end1 = stroke.end1();
    const HLRStrokeEnd* end2 = stroke.end2();
    const HLRVector2D& a = end1->point();
    const HLRVector2D& p = candidate.point;
    const HLRVector2D d = end2->point() - a;
    // Distance from the line through the stroke, times the stroke's length; exact hiding divides the
    // length out, so that the test does not depend on the scale of the drawing.
    double offLine = std::fabs((p.x() - a.x()) * d.y() - (p.y() - a.y()) * d.x());
    if (HLRProjectedModel::sm_bExactHiding) {
        const double strokeLength = d.length();
        offLine = strokeLength > 0.0 ? offLine / strokeLength : p.distanceTo(a);
    }
    if (offLine > 20 * t)
        return Renewal::NONE;
    const HLRShortStrokeEnd* end = candidate.end;
    if (end == end1 || end == end2 || !end->isValid() || end->linkedStrokes(kind).validCount() == 0)
        return Renewal::NONE;
    const double toEnd1 = p.distanceTo(a);
    const double toEnd2 = p.distanceTo(end2->point());
    if (toEnd1 < 20 * t && toEnd1 < toEnd2)
        return Renewal::MERGE_INTO_END1;
    if (toEnd2 < 20 * t)
        return Renewal::MERGE_INTO_END2;
    const double length = stroke.length();
    if (offLine <= 10 * t && std::fabs(length - (toEnd1 + toEnd2)) <= 20 * t && toEnd1 < length &&
        toEnd2 < length)
        return Renewal::SPLIT;
    return Renewal::NONE;
}
} // namespace

HLRStrokeNetworkRenewer::HLRStrokeNetworkRenewer(HLRPolyAlgo& polyAlgo, HLRShortStrokeGroup& shortStrokeGroup,
                                                 int mask, double tolerance)
    : m_polyAlgo(&polyAlgo), m_shortStrokeGroup(&shortStrokeGroup), m_mask(mask), m_tolerance(tolerance) {}

HLRStrokeNetworkRenewer::~HLRStrokeNetworkRenewer() = default;

bool HLRStrokeNetworkRenewer::hasLinksOfKinds(const HLRShortStrokeEnd& end, int mask) {
    const HLRStrokeEnd::Links& links = end.links();
    const auto holds = [&links](int kind) { return holdsEntry(links[kind]); };
    if (((mask & Edge::SILHOUETTE_MASK) && holds(HLRStrokeEnd::SILHOUETTE_LINKS)) ||
        ((mask & Edge::CONVEX_SHARP_EDGE_MASK) && holds(HLRStrokeEnd::CONVEX_LINKS)) ||
        ((mask & Edge::CONCAVE_SHARP_EDGE_MASK) && holds(HLRStrokeEnd::CONCAVE_LINKS)) ||
        ((mask & Edge::FREE_EDGE_MASK) && holds(HLRStrokeEnd::FREE_EDGE_LINKS)) ||
        ((mask & Edge::DIMENSION_LINE_MASK) && holds(HLRStrokeEnd::DIMENSION_LINE_LINKS)))
        return true;
    if (mask & Edge::VISIBLE_MASK)
        return false;
    return ((mask & Edge::DIMENSION_LINE_MASK) && holds(HLRStrokeEnd::HIDDEN_DIMENSION_LINE_LINKS)) ||
           ((mask & Edge::FREE_EDGE_MASK) && holds(HLRStrokeEnd::HIDDEN_FREE_EDGE_LINKS)) ||
           holds(HLRStrokeEnd::HIDDEN_LINKS);
}

void HLRStrokeNetworkRenewer::preProcess() {
    std::vector<HLRShortStrokeEndHolder> kept;
    kept.reserve(m_shortStrokeGroup->ends().size());
    for (HLRShortStrokeEnd& end : m_shortStrokeGroup->ends()) {
        HLRCancelPoll::check();
        if (hasLinksOfKinds(end, m_mask))
            kept.push_back({&end, end.point()});
    }
    m_tree = std::make_shared<Tree>();
    // The nodes near the root each split millions of ends: their checks read the clock.
    m_tree->build(kept, [](std::size_t ends) {
        if (ends >= (std::size_t{1} << 12))
            HLRCancelPoll::checkNow();
        else
            HLRCancelPoll::check();
    });
    m_treeSlots.clear();
    m_treeSlots.reserve(kept.size());
    for (std::size_t slot = 0; slot < kept.size(); ++slot)
        m_treeSlots.emplace_back(kept[slot].end, slot);
    sortChecked(m_treeSlots, [](const auto& a, const auto& b) { return a < b; });
}

void HLRStrokeNetworkRenewer::updatePoint(HLRStrokeEnd* end) {
    const auto slot = std::lower_bound(m_treeSlots.begin(), m_treeSlots.end(), end,
                                       [](const auto& entry, const HLRStrokeEnd* e) { return entry.first < e; });
    if (slot == m_treeSlots.end() || slot->first != end)
        return;
    HLRShortStrokeEndHolder holder = m_tree->elements()[slot->second];
    holder.point = end->point();
    m_tree->replaceElement(slot->second, holder);
}

void HLRStrokeNetworkRenewer::mainProcess() {
    HLRShortStrokeGroup& group = *m_shortStrokeGroup;
    const int mask = m_mask;
    const bool withHidden = (mask & Edge::VISIBLE_MASK) == 0;
    if (mask & Edge::SILHOUETTE_MASK)
        renewStrokes(group.silhouetteStrokes(), Edge::VISIBLE_SILHOUETTE_MASK);
    if (mask & Edge::CONVEX_SHARP_EDGE_MASK)
        renewStrokes(group.convexSharpEdgeStrokes(), Edge::VISIBLE_CONVEX_SHARP_EDGE_MASK);
    if (mask & Edge::CONCAVE_SHARP_EDGE_MASK)
        renewStrokes(group.concaveSharpEdgeStrokes(), Edge::VISIBLE_CONCAVE_SHARP_EDGE_MASK);
    if (mask & Edge::FREE_EDGE_MASK)
        renewStrokes(group.freeEdgeStrokes(), Edge::VISIBLE_FREE_EDGE_MASK);
    if (mask & Edge::DIMENSION_LINE_MASK)
        renewStrokes(group.dimensionStrokes(), Edge::VISIBLE_DIMENSION_LINE_MASK);
    if (withHidden && (mask & Edge::DIMENSION_LINE_MASK))
        renewStrokes(group.dimensionHiddenStrokes(), Edge::DIMENSION_LINE_MASK);
    if (withHidden && (mask & Edge::FREE_EDGE_MASK))
        renewStrokes(group.freeEdgeHiddenStrokes(), Edge::FREE_EDGE_MASK);
    if (withHidden)
        renewStrokes(group.hiddenStrokes(), Edge::NO_TYPE);
}

void HLRStrokeNetworkRenewer::postProcess() {
    std::int32_t id = 0;
    for (HLRShortStrokeEnd& end : m_shortStrokeGroup->ends()) {
        HLRCancelPoll::check();
        end.setId(id++);
    }
}

void HLRStrokeNetworkRenewer::renewStrokes(std::deque<HLRShortStroke>& strokes, int kind) {
    const double t = m_tolerance;
    Candidates candidates;
    // The size is read on every round: second halves of splits are appended to this very list and
    // get renewed with a query of their own. Appending moves no stroke but invalidates iterators.
    for (std::size_t i = 0; i < strokes.size(); ++i) {
        HLRCancelPoll::check();
        HLRShortStroke* stroke = &strokes[i];
        if (!stroke->isValid())
            continue;
        const HLRVector2D& a = stroke->end1()->point();
        const HLRVector2D& b = stroke->end2()->point();
        const Tree::Window window{{std::min(a.x(), b.x()) - t, std::min(a.y(), b.y()) - t},
                                  {std::max(a.x(), b.x()) + t, std::max(a.y(), b.y()) + t}};
        candidates.clear();
        m_tree->forEachInside(window, [&candidates](std::size_t slot) { candidates.push_back(slot); });
        renewStroke(stroke, kind, candidates);
    }
}

// Both halves of a split go on consulting the candidates after the splitting end: the first half
// before the second, as nested calls would, but with an explicit stack because one stroke may be
// split at any number of ends.
void HLRStrokeNetworkRenewer::renewStroke(HLRShortStroke* stroke, int kind, const Candidates& candidates) {
    // Most strokes are split nowhere: the stack then stays off the heap.
    boost::container::small_vector<std::pair<HLRShortStroke*, std::size_t>, 8> pending{{stroke, 0}};
    while (!pending.empty()) {
        auto [current, position] = pending.back();
        pending.pop_back();
        while (current->isValid() && position < candidates.size()) {
            const HLRShortStrokeEndHolder& candidate = m_tree->elements()[candidates[position++]];
            const Renewal renewal = renewalFor(*current, candidate, kind, m_tolerance);
            HLRShortStrokeEnd& end = *candidate.end;
            if (renewal == Renewal::MERGE_INTO_END1 || renewal == Renewal::MERGE_INTO_END2) {
                HLRStrokeEnd* kept = renewal == Renewal::MERGE_INTO_END1 ? current->end1() : current->end2();
                kept->mergeWith(end);
                updatePoint(kept);
                end.setValid(false);
            } else if (renewal == Renewal::SPLIT) {
                pending.emplace_back(splitStrokeAt(*current, end, kind), position);
                pending.emplace_back(current, position);
                break;
            }
        }
    }
}

// The stroke keeps its first half, from end1 to the splitting end; the second half is a new stroke
// of the group from the splitting end to the old end2.
HLRShortStroke* HLRStrokeNetworkRenewer::splitStrokeAt(HLRShortStroke& stroke, HLRShortStrokeEnd& end,
                                                       int kind) {
    HLRStrokeEnd* end1 = stroke.end1();
    HLRStrokeEnd* end2 = stroke.end2();
    // A stroke already joining the splitting end to either end would duplicate one of the halves.
    for (HLRStroke* other : end.linkedStrokes(kind).strokes()) {
        if (other && other->isValid()) {
            const HLRStrokeEnd* far = other->otherEnd(&end);
            if (far == end1 || far == end2)
                other->setValid(false);
        }
    }
    HLRShortStroke* second =
        m_shortStrokeGroup->newShortStroke(HLRShortStroke(&end, end2, stroke.type()), *m_polyAlgo);
    end.addLink(second);
    end.addLink(&stroke);
    end2->removeLink(&stroke);
    end2->addLink(second);
    stroke.replaceLinkFrom_to(end2, &end);
    return second;
}

} // namespace KvHLR
