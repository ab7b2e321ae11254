#pragma once

#include <cstdint>
#include <future>
#include <optional>
#include <vector>

#include "Hlr/HLRBoundingBox3D.h"
#include "Hlr/HLRBox3D.h"
#include "Hlr/HLRClosedParts.h"
#include "Hlr/HLRCrossingFreeParts.h"
#include "Hlr/HLRHidingBucketHolder.h"
#include "Hlr/HLRProjectedFreeEdgeData.h"
#include "Hlr/HLRProjectedShell.h"
#include "Hlr/HLRProjectedTriangleData.h"
#include "Hlr/HLRRunModes.h"
#include "Hlr/HLRSequentExecutable.h"
#include "Hlr/HLRTriangleParts.h"
#include "Hlr/HLRVector4D.h"

namespace KvHLR {

class HLRModel;
class HLRProjector;

// The model seen through the camera. build() projects every vertex, gives every triangle its plane
// and facing, classifies every edge and boxes every object; execute() then derives the hide
// tolerances and runs the parallel hide pass. Its bucket-holder bounds hold the model's 2D extent;
// the model itself never builds a grid.
class HLRProjectedModel : public HLRHidingBucketHolder, public HLRSequentExecutable {
public:
    HLRProjectedModel();
    HLRProjectedModel(const HLRModel& model, const HLRProjector& projector, double sharpEdgeAngle,
                      bool withFreeEdges, short viewWidth);
    ~HLRProjectedModel() override;
    // Objects point into each other's sequences, so a projected model cannot be copied.
    HLRProjectedModel(const HLRProjectedModel&) = delete;
    HLRProjectedModel& operator=(const HLRProjectedModel&) = delete;

    // Targets a default-constructed model; publishes the projector's orthographic flag and takes the
    // run's modes from HLRPolyAlgo's switches.
    void set(const HLRModel& model, const HLRProjector& projector, double sharpEdgeAngle, bool withFreeEdges,
             short viewWidth);
    void build();
    // The modes of this run: publishes exact hiding (sm_bExactHiding) and keeps intersection lines.
    void setRunModes(const HLRRunModes& modes);

    void preProcess() override;
    void mainProcess() override;
    void postProcess() override;

    // Offers the edge to each shell in turn, stopping once the edge is entirely hidden.
    void hideByObjects(HLRProjectedTriangleEdge& edge) override;

    const HLRModel* model() const { return m_model; }
    const HLRProjector* projector() const { return m_projector; }
    double sharpEdgeAngle() const { return m_sharpEdgeAngle; }
    bool withFreeEdges() const { return m_withFreeEdges; }
    short viewWidth() const { return m_viewWidth; }
    double negNearDepth() const { return m_negNearDepth; }
    const HLRBox3D& extent3D() const { return m_extent3D; }
    const std::vector<HLRProjectedShell>& shells() const { return m_shells; }
    std::vector<HLRProjectedShell>& shells() { return m_shells; }
    const std::vector<HLRProjectedTriangleData>& triangleData() const { return m_triangleData; }
    std::vector<HLRProjectedTriangleData>& triangleData() { return m_triangleData; }
    std::uint32_t edgeCount() const { return m_edgeCount; }
    // Intersection lines, from the run's modes; the lines themselves are found in the hide pass (at its
    // start, or with exact hiding once the model's own edges are hidden).
    bool withIntersectionLines() const { return m_withIntersectionLines; }
    const HLRProjectedFreeEdgeData& intersectionLines() const { return m_intersectionLines; }

    // The step of mainProcess that, when intersection lines are asked for, finds them and adds them to
    // the edges to hide. Public for tools that time the stages one by one.
    void findIntersectionLines();

    // Frees the projected shells, triangles, vertices and edges with their hidden ranges, leaving an empty
    // model: exact hiding's joiner takes what it needs from them first, so that the joining and the
    // drawing's clean-up do not add to the run's peak.
    void releaseRecords();

    // What the hide pass works on: every projected triangle, and the feature edges still to hide; with
    // exact hiding, every occluder and the exact edges still to hide instead.
    std::vector<HLRProjectedTriangle*> hiders();
    std::vector<HLRProjectedTriangleEdge*> edgesToHide();
    std::vector<const HLROccluder*> occluders() const;
    // Occlusion levels: the closed parts whose surfaces the hide pass counts in pairs, for
    // HLRExactHiding::hideEdges; nothing without levels. Once per build.
    std::optional<HLRClosedParts> findClosedParts();
    std::vector<HLRExactEdge*> exactEdgesToHide();

    // Process-wide values of the last build and preProcess, read by the hide tests.
    static bool sm_bOrthoGraphic;
    static HLRBoundingBox3D sm_nearRegionBox; // overlaps nothing when the model stays beyond the near plane
    static double sm_dTolerance2D;
    static double sm_dTolerance2DSquared;
    static double sm_dTolerance3D;
    static double sm_dTolerance3DSquared;
    static double sm_dCoarseTolerance3D;

    // Exact hiding, from the run's modes (setRunModes). Its tolerances, from
    // preProcess, scale with the model: how far outside a triangle's outline a point still counts as
    // covered, and how far behind the triangle's plane a point must lie to be hidden.
    static bool sm_bExactHiding;
    // Occlusion levels (HLRPolyAlgo::setOcclusionLevels), from the run's modes: only with exact hiding.
    static bool sm_bOcclusionLevels;
    // With occlusion levels, the most covers counted at a point: one past the run's deepest level told
    // apart (HLRRunModes::deepestLevel), or every cover.
    static int sm_nCountedLevels;
    static constexpr double EXACT_RELATIVE_TOLERANCE = 1e-8;
    static constexpr double EXACT_ROUNDING_TOLERANCE = 1e-13;
    static double sm_dExactTolerance2D;
    static double sm_dExactTolerance3D;
    // From the projector at construction and at set: the centre of projection in view coordinates,
    // homogeneous (a point with w > 0 for a perspective camera, the direction towards the viewer with
    // w = 0 for a parallel one), and the rows of the projection that give a view point's screen x, y
    // and w.
    static HLRVector4D sm_projectionCentre;
    static HLRVector4D sm_screenXRow;
    static HLRVector4D sm_screenYRow;
    static HLRVector4D sm_screenWRow;

private:
    void preBuild();
    // The model triangle stores, in the order of the projected ones.
    std::vector<const HLRTriangleData*> sources() const;
    void startFindingCrossingFreeParts();
    void startJoiningParts();
    void mainBuild();
    void postBuild();
    void gatherExtents();
    void setNearRegion();
    void setExactTolerances();
    // The edges of one kind (projected or exact) that are valid, draw and are not yet all hidden: all of
    // them, or the intersection lines' alone.
    template <class Edge> std::vector<Edge*> featureEdgesToHide(bool linesOnly = false);
    void leaveOutDots();

    const HLRModel* m_model = nullptr;
    const HLRProjector* m_projector = nullptr;
    double m_sharpEdgeAngle = 0.0;
    bool m_withFreeEdges = false;
    short m_viewWidth = 0;
    double m_negNearDepth = 0.0;
    HLRBox3D m_extent3D;
    std::vector<HLRProjectedShell> m_shells;
    std::vector<HLRProjectedTriangleData> m_triangleData;
    std::uint32_t m_edgeCount = 0;
    bool m_withIntersectionLines = false;
    // The parts that cannot cross themselves, found from the model's triangles while they are projected.
    std::future<HLRCrossingFreeParts> m_crossingFreeParts;
    // Occlusion levels: the model's parts, joined from its triangles while they are projected.
    std::future<HLRTriangleParts> m_triangleParts;
    HLRProjectedFreeEdgeData m_intersectionLines{nullptr};
};

} // namespace KvHLR
