#pragma once

#include "Hlr/HLRLongStroke.h"
#include "Hlr/HLRLongStrokeEnd.h"
#include "api/KvHLRExport.h"

#include <array>
#include <cstdint>
#include <deque>
#include <list>
#include <set>
#include <vector>

namespace KvHLR {

class HLRPostProcessor;
class HLRShortStroke;
class HLRShortStrokeGroup;
class HLRStroke;
class HLRStrokeConnector;
class HLRStrokeEnd;

// Orders long-stroke ends as HLRLongStrokeEnd::precedes does, by id, and finds the end of an id.
struct HLRLongStrokeEndOrder {
    using is_transparent = void;
    bool operator()(const HLRLongStrokeEnd& a, const HLRLongStrokeEnd& b) const { return a.precedes(b); }
    bool operator()(const HLRLongStrokeEnd& a, std::int32_t id) const { return a.id() < id; }
    bool operator()(std::int32_t id, const HLRLongStrokeEnd& b) const { return id < b.id(); }
};

using HLRLongStrokeEndSet = std::set<HLRLongStrokeEnd, HLRLongStrokeEndOrder>;

// Joins the short strokes of one short-stroke group into long strokes and owns the result: the
// long strokes, and one long-stroke end per end id of the group.
class KVHLR_API HLRLongStrokeGroup {
public:
    // Indices into boundingStrokeEnds().
    enum BoundingSide { MIN_X = 0, MAX_X = 1, MIN_Y = 2, MAX_Y = 3 };

    // The tolerance is kept for the host's information; joining itself works on end ids only.
    HLRLongStrokeGroup(HLRPostProcessor& postProcessor, HLRShortStrokeGroup& shortStrokeGroup,
                       double tolerance);

    // Joins the kinds that the post processor's current mask selects.
    void connectFeatureLines();

    const std::list<HLRLongStroke>& featureLines() const { return m_featureLines; }
    int postProcMask() const;
    HLRPostProcessor& postProcessor() const { return *m_postProcessor; }
    HLRShortStrokeGroup& shortStrokeGroup() const { return *m_shortStrokeGroup; }
    double tolerance() const { return m_tolerance; }
    // One long-stroke end per id of the short-stroke ends they stand for, in id order.
    const HLRLongStrokeEndSet& longStrokeEnds() const { return m_longStrokeEnds; }
    // The extreme ends of the visible silhouette found by the last silhouette joining, or null.
    const std::array<HLRStrokeEnd*, 4>& boundingStrokeEnds() const { return m_boundingStrokeEnds; }

    // Whether left-most and right-most connectors refuse strokes leading nowhere; set by the post
    // processor from the number of short-stroke groups.
    static bool sm_bToAvoidStrokeWithDeadEnd;

private:
    void connectSilhouetteStrokes();
    void connectConvexSharpEdgeStrokes();
    void connectConcaveSharpEdgeStrokes();
    void connectHiddenStrokes();
    void connectFreeEdgeStrokes();
    void connectDimensionLineStrokes();
    void connectFreeEdgeHiddenStrokes();
    void connectDimensionLineHiddenStrokes();
    void connectStrokesSimply(std::deque<HLRShortStroke>& strokes);

    // Silhouette joining: oriented strokes cut at branch points and at the extremes (Sub1); the
    // outer outline traced from the extremes (Sub2); open strokes continued through branch points,
    // head to tail only (Sub3).
    void setBoundingStrokeEnds();
    void setBoundingTerminals(bool terminal);
    void connectSilhouetteStrokesSub1();
    void connectSilhouetteStrokesSub2();
    void connectSilhouetteStrokesSub3();
    void extendFromEnds(HLRLongStroke& stroke, const HLRStrokeConnector& backConnector,
                        const HLRStrokeConnector& frontConnector);

    HLRLongStroke& newLongStroke(int type);
    HLRLongStrokeEnd& uniqueLongStrokeEndFor(const HLRStrokeEnd& end);
    void growLongStroke(HLRStroke& seed, HLRStrokeEnd& seedEnd, const HLRStrokeConnector& connector);
    bool process_asTerminalOf_onAdvice(HLRStrokeEnd* end, HLRLongStroke* longStroke, bool atBack);
    bool propagateConnectionFromS_toSE_onAdvices_addingPointTo(HLRStroke& stroke, HLRStrokeEnd& end,
                                                               const HLRStrokeConnector& connector,
                                                               bool atBack, HLRLongStroke& longStroke);
    bool propagateConnectionFromSE_toS_onAdvices_addingPointTo(HLRStrokeEnd& end, HLRStroke& stroke,
                                                               const HLRStrokeConnector& connector,
                                                               bool atBack, HLRLongStroke& longStroke);

    HLRPostProcessor* m_postProcessor;
    HLRShortStrokeGroup* m_shortStrokeGroup;
    double m_tolerance;
    std::list<HLRLongStroke> m_featureLines;
    HLRLongStrokeEndSet m_longStrokeEnds;
    // The same ends by id, for the ids 0 .. n-1 that the renewal gives the group's n ends; null
    // where none was looked up yet. A copy of the group starts it empty and fills it from its own set.
    struct EndsById {
        std::vector<HLRLongStrokeEnd*> ends;
        EndsById() = default;
        EndsById(const EndsById&) {}
        EndsById& operator=(const EndsById&) {
            ends.clear();
            return *this;
        }
    };
    EndsById m_longStrokeEndsById;
    std::array<HLRStrokeEnd*, 4> m_boundingStrokeEnds{};
};

} // namespace KvHLR
