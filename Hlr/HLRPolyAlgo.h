#pragma once

#include "Hlr/HLRExactStrokeJoiner.h"
#include "Hlr/HLRProgressObservableExec.h"
#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRShortStroke.h"
#include "Hlr/HLRShortStrokeEnd.h"
#include "Hlr/HLRShortStrokeGroup.h"
#include "api/KvHLRExport.h"

#include <boost/noncopyable.hpp>

#include <array>
#include <list>
#include <optional>
#include <vector>

namespace KvHLR {

class HLRModel;
class HLRProjector;

// The hidden-line stage: builds the projected model, runs the hide pass, cuts every feature edge
// into visible and hidden short strokes (grouped per triangle data and per free-edge set, and
// filed by kind in the result lists), and finally corrects the convex and concave kinds of a model
// that turns out to be inside out.
class KVHLR_API HLRPolyAlgo : public HLRProgressObservableExec, private boost::noncopyable {
public:
    // Set after a run to whether the model was found inside out; the short-stroke ends and strokes
    // read it to find their convex and concave strokes. Process-wide: runs must not overlap.
    static bool sm_bConvexityReversed;

    // Exact hiding, off by default. Off, every triangle decides alone on its own closed-form tests, and
    // depth and degeneracy tolerances are partly absolute. On:
    // - coverage is by the union of triangles: a stretch that two neighbouring triangles cover together,
    //   along their shared side or through a shared corner, is hidden;
    // - where an edge pierces a triangle's plane inside its outline, only the part behind the plane is
    //   hidden;
    // - every tolerance is relative to the model's extents, so the drawing does not depend on the units
    //   of the model or on the scale of the screen;
    // - edges seen end-on (dots) are left out, and hidden stretches lying on visible lines of the drawing
    //   are not drawn (CalcSilhouette).
    // Read once at the start of each run; may be set from any thread.
    static void setExactHiding(bool exact);
    static bool exactHiding();

    // Intersection lines, off by default. On, the drawing also has the lines along which the model
    // passes through itself: where two triangles that share no vertex cross (two bodies, or two folds
    // of one body). They are hidden like any edge, never by the two triangles they lie on, and come
    // out as their own kind (6 when visible; hidden pieces are hidden lines). Faces lying on each other
    // and contacts along an edge the drawing shows anyway give no line. Read once at the start of each
    // run; may be set from any thread.
    static void setIntersectionLines(bool on);
    static bool intersectionLines();
    // Occlusion levels, off by default; they need exact hiding, without which every line's level stays
    // 0. On, every hidden piece of a line gets its level: the number of triangles, facing the camera or
    // not, that a ray from it to the eye crosses, counted by the hide pass itself (each occluder's
    // covered range counted, HLRIntervals' cover counts, rather than merged), and only pieces of one
    // level join into a line (HLRExactStrokeJoiner::Polyline::level, StrokeLine::level). An edge hidden
    // all along then reads every occluder in front of it instead of stopping at the first that closes
    // its cover. A deepest level (1 and up; 0 for every level) bounds the count: deeper pieces all get
    // the level after it, and an edge covered that often all along stops there. Read once at the start
    // of each run; may be set from any thread.
    static void setOcclusionLevels(bool on, int deepestLevel = 0);
    static bool occlusionLevels();
    static int deepestOcclusionLevel();
    // Provenance, off by default. On, with exact hiding, every line records where each of its segments
    // comes from (StrokeLine::sources: the body, the model edge, an intersection line's two bodies and
    // triangles), and lines join only within one body. Off, nothing is recorded and the drawing is as
    // it always was. Read once at the start of each run; may be set from any thread.
    static void setProvenance(bool on);
    static bool provenance();
    // The switches as they stand, with HLRCancelPoll's frequent progress.
    static HLRRunModes switchedModes();

    HLRPolyAlgo();
    // The model and projector are held by reference and must outlive the stage. sharpEdgeAngle is
    // in radians; viewWidth is only handed down to the projected model.
    HLRPolyAlgo(const HLRModel& model, const HLRProjector& projector, double sharpEdgeAngle,
                bool withFreeEdges, short viewWidth, HLRProgressCallback callback);
    ~HLRPolyAlgo() override;

    // Targets a default-constructed stage; results of an earlier run are not cleared.
    void set(const HLRModel& model, const HLRProjector& projector, double sharpEdgeAngle, bool withFreeEdges,
             short viewWidth, HLRProgressCallback callback);

    void preProcess() override;
    void mainProcess() override;
    void postProcess() override;
    void setUpProgressObservation(HLRProgressCallback callback) override;
    // Replaces, for this stage's run alone, the modes it took from the switches when it was made or set.
    void setRunModes(const HLRRunModes& modes) {
        m_projectedModel.setRunModes(modes);
        m_provenance = modes.provenance;
        m_places = modes.unjoinedPieces;
    }

    // Result lists, in creation order. The strokes live in the short-stroke groups.
    const std::vector<HLRShortStroke*>& hiddenStrokes() const { return m_strokes[HIDDEN]; }
    const std::vector<HLRShortStroke*>& silhouetteStrokes() const { return m_strokes[SILHOUETTE]; }
    const std::vector<HLRShortStroke*>& convexSharpEdgeStrokes() const {
        return m_strokes[m_convexityReversed ? SECOND_SHARP_EDGE : FIRST_SHARP_EDGE];
    }
    const std::vector<HLRShortStroke*>& concaveSharpEdgeStrokes() const {
        return m_strokes[m_convexityReversed ? FIRST_SHARP_EDGE : SECOND_SHARP_EDGE];
    }
    const std::vector<HLRShortStroke*>& freeEdgeStrokes() const { return m_strokes[FREE_EDGE]; }
    const std::vector<HLRShortStroke*>& dimensionStrokes() const { return m_strokes[DIMENSION]; }
    const std::vector<HLRShortStroke*>& freeEdgeHiddenStrokes() const { return m_strokes[FREE_EDGE_HIDDEN]; }
    const std::vector<HLRShortStroke*>& dimensionHiddenStrokes() const { return m_strokes[DIMENSION_HIDDEN]; }
    // Every distinct short-stroke end, in creation order.
    const std::vector<HLRShortStrokeEnd*>& strokeEnds() const { return m_strokeEnds; }
    std::list<HLRShortStrokeGroup>& shortStrokeGroups() { return m_shortStrokeGroups; }
    const std::list<HLRShortStrokeGroup>& shortStrokeGroups() const { return m_shortStrokeGroups; }
    const HLRProjectedModel& getModel() const { return m_projectedModel; }
    HLRProjectedModel& getModel() { return m_projectedModel; }
    bool convexityReversed() const { return m_convexityReversed; }
    bool networkRenewed() const { return m_networkRenewed; }
    // With exact hiding the edges are cut into the pieces of an exact joiner instead of short strokes,
    // and the inside-out vote is taken on them: set by postProcess, empty otherwise. The projected
    // model's records are then freed (HLRProjectedModel::releaseRecords).
    const std::optional<HLRExactStrokeJoiner>& exactJoiner() const { return m_exactJoiner; }

    // Registration by the short-stroke groups: files the stroke by kind, records the end.
    void addLinkTo(HLRShortStroke& stroke);
    void addLinkTo(HLRShortStrokeEnd& end);

    // Repairs the stroke network of every group once (merging near-coincident ends, splitting
    // strokes at ends lying on them); does nothing without silhouette strokes.
    void renewStrokeNetwork(int mask, const double& tolerance);

    // The ends with the smallest x, largest x, smallest y and largest y among those where at least
    // two visible silhouette strokes meet; null where none qualifies.
    void getBoundingStrokeEnds(HLRShortStrokeEnd* ends[4]) const;
    // Whether the outline's extreme ends vote the model inside out: at each end the silhouette
    // stroke turning most to the left of the outline's direction there votes with its convexity.
    static bool checkPolygonsReverse(const HLRShortStrokeEnd* const ends[4]);
    // The direction along the outline at its extreme end of least x, greatest x, least y or greatest y
    // (0 to 3): there the visible silhouette stroke turning most to the left of it is the outline's own.
    static HLRVector2D outlineDirectionAt(int extreme);
    // How far `leaving` turns to the left of `direction`: an angle in [-pi, pi].
    static double turnLeftOf(const HLRVector2D& direction, const HLRVector2D& leaving);
    // An outline stroke's vote on whether the model is inside out: 1 if it tends concave, -1 if convex.
    static int convexityVoteOf(int type);
    // The visible silhouette stroke at `end` that turns most to the left of `direction` (the first of
    // equals), or null.
    static const HLRStroke* leftMostStrokeFrom_relativeTo(const HLRShortStrokeEnd* end,
                                                          const HLRVector2D& direction);

private:
    // Positions of the result lists; the two sharp-edge lists are read through m_convexityReversed.
    enum ResultList {
        HIDDEN,
        SILHOUETTE,
        FIRST_SHARP_EDGE,
        SECOND_SHARP_EDGE,
        FREE_EDGE,
        DIMENSION,
        FREE_EDGE_HIDDEN,
        DIMENSION_HIDDEN,
        RESULT_LIST_COUNT
    };

    void processHiddenStatusOfEdges();
    void correctConvexityOfStrokes();
    void reverseConvexityOfStrokes();
    bool hasModel() const { return m_projectedModel.model() != nullptr; }

    HLRProjectedModel m_projectedModel;
    std::list<HLRShortStrokeGroup> m_shortStrokeGroups;
    bool m_convexityReversed = false;
    bool m_networkRenewed = false;
    bool m_provenance = false;
    bool m_places = false; // the pieces' places, for unjoined pieces (HLRRunModes::unjoinedPieces)
    std::array<std::vector<HLRShortStroke*>, RESULT_LIST_COUNT> m_strokes;
    std::vector<HLRShortStrokeEnd*> m_strokeEnds;
    std::optional<HLRExactStrokeJoiner> m_exactJoiner;
};

} // namespace KvHLR
