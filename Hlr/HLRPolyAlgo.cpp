#include "Hlr/HLRPolyAlgo.h"

#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRMatrix2x2.h"
#include "Hlr/HLROutlineExtremes.h"
#include "Hlr/HLRProgressObservableProc.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRStrokeNetworkRenewer.h"

#include <atomic>
#include <cmath>
#include <cstdint>

namespace KvHLR {

namespace {

const char* const EXECUTE_STAGE = "HLRPolyAlgo::execute";
const char* const PRE_PROCESS_STAGE = "HLRPolyAlgo::preProcess";
const char* const MAIN_PROCESS_STAGE = "HLRPolyAlgo::mainProcess";
const char* const POST_PROCESS_STAGE = "HLRPolyAlgo::postProcess";
const char* const EXTRACTION_STAGE = "HLRPolyAlgo::processHiddenStatusOfEdges";
const char* const CONVEXITY_STAGE = "HLRPolyAlgo::correctConvexityOfStrokes";

std::atomic<bool> exactHidingSwitch{false};
std::atomic<bool> intersectionLinesSwitch{false};
std::atomic<bool> occlusionLevelsSwitch{false};
std::atomic<int> deepestLevelSwitch{0};
std::atomic<bool> provenanceSwitch{false};

} // namespace

bool HLRPolyAlgo::sm_bConvexityReversed = false;

void HLRPolyAlgo::setExactHiding(bool exact) {
    exactHidingSwitch.store(exact);
}

bool HLRPolyAlgo::exactHiding() {
    return exactHidingSwitch.load();
}

void HLRPolyAlgo::setIntersectionLines(bool on) {
    intersectionLinesSwitch.store(on);
}

bool HLRPolyAlgo::intersectionLines() {
    return intersectionLinesSwitch.load();
}

void HLRPolyAlgo::setOcclusionLevels(bool on, int deepestLevel) {
    occlusionLevelsSwitch.store(on);
    deepestLevelSwitch.store(deepestLevel);
}

bool HLRPolyAlgo::occlusionLevels() {
    return occlusionLevelsSwitch.load();
}

int HLRPolyAlgo::deepestOcclusionLevel() {
    return deepestLevelSwitch.load();
}

void HLRPolyAlgo::setProvenance(bool on) {
    provenanceSwitch.store(on);
}

bool HLRPolyAlgo::provenance() {
    return provenanceSwitch.load();
}

HLRRunModes HLRPolyAlgo::switchedModes() {
    return {exactHiding(),     intersectionLines(), HLRCancelPoll::frequentProgress(),
            occlusionLevels(), provenance(),        deepestOcclusionLevel()};
}

HLRPolyAlgo::HLRPolyAlgo() = default;

HLRPolyAlgo::HLRPolyAlgo(const HLRModel& model, const HLRProjector& projector, double sharpEdgeAngle,
                         bool withFreeEdges, short viewWidth, HLRProgressCallback callback)
    : m_projectedModel(model, projector, sharpEdgeAngle, withFreeEdges, viewWidth), m_provenance(provenance()) {
    HLRProgressObservableExec::set(EXECUTE_STAGE, callback);
}

HLRPolyAlgo::~HLRPolyAlgo() = default;

void HLRPolyAlgo::set(const HLRModel& model, const HLRProjector& projector, double sharpEdgeAngle,
                      bool withFreeEdges, short viewWidth, HLRProgressCallback callback) {
    HLRProgressObservableExec::set(EXECUTE_STAGE, callback);
    m_projectedModel.set(model, projector, sharpEdgeAngle, withFreeEdges, viewWidth);
    m_provenance = provenance();
}

void HLRPolyAlgo::setUpProgressObservation(HLRProgressCallback callback) {
    setCallback(callback);
    HLRProgressObservableProc* execute = newProc(EXECUTE_STAGE, nullptr, 1.0);
    HLRProgressObservableProc* pre = newProc(PRE_PROCESS_STAGE, execute, 0.2);
    HLRProgressObservableProc* main = newProc(MAIN_PROCESS_STAGE, execute, 0.7);
    HLRProgressObservableProc* post = newProc(POST_PROCESS_STAGE, execute, 0.1);
    HLRProgressObservableProc* build = newProc("HLRProjectedModel::build", pre, 1.0);
    HLRProgressObservableProc* modelExecute = newProc("HLRProjectedModel::execute", main, 1.0);
    newProc(EXTRACTION_STAGE, post, 0.8);
    newProc(CONVEXITY_STAGE, post, 0.2);
    newProc("HLRProjectedModel::preBuild", build, 0.3);
    newProc("HLRProjectedModel::mainBuild", build, 0.4);
    newProc("HLRProjectedModel::postBuild", build, 0.3);
    // Finding intersection lines takes about a third of the hide pass's time where there are many.
    const bool intersections = m_projectedModel.withIntersectionLines();
    if (intersections)
        newProc("HLRIntersectionFinder::find", modelExecute, 0.25);
    newProc("HLRProjectedModel::mainProcess", modelExecute, intersections ? 0.75 : 1.0);
}

void HLRPolyAlgo::preProcess() {
    HLRProgressObservableProc::startProcess(PRE_PROCESS_STAGE, 1);
    if (hasModel()) {
        m_projectedModel.build();
        sm_bConvexityReversed = false;
    }
    HLRProgressObservableProc::endProcess(PRE_PROCESS_STAGE);
}

void HLRPolyAlgo::mainProcess() {
    HLRProgressObservableProc::startProcess(MAIN_PROCESS_STAGE, 1);
    if (hasModel())
        m_projectedModel.execute();
    HLRProgressObservableProc::endProcess(MAIN_PROCESS_STAGE);
}

void HLRPolyAlgo::postProcess() {
    HLRProgressObservableProc::startProcess(POST_PROCESS_STAGE, 1);
    if (HLRProjectedModel::sm_bExactHiding) {
        HLRProgressObservableProc::startProcess(EXTRACTION_STAGE, 1);
        HLRExactStrokeJoiner& joiner = m_exactJoiner.emplace(m_projectedModel, m_provenance, m_places);
        m_projectedModel.releaseRecords();
        HLRProgressObservableProc::endProcess(EXTRACTION_STAGE);
        HLRProgressObservableProc::startProcess(CONVEXITY_STAGE, 1);
        m_convexityReversed = joiner.correctConvexity();
        sm_bConvexityReversed = m_convexityReversed;
        HLRProgressObservableProc::endProcess(CONVEXITY_STAGE);
    } else {
        processHiddenStatusOfEdges();
        correctConvexityOfStrokes();
    }
    HLRProgressObservableProc::endProcess(POST_PROCESS_STAGE);
}

void HLRPolyAlgo::addLinkTo(HLRShortStroke& stroke) {
    // Filed like the groups file, with this stage's own orientation flag.
    static_assert(static_cast<int>(FIRST_SHARP_EDGE) ==
                          static_cast<int>(HLRShortStrokeGroup::CONVEX_SHARP_EDGE_STROKES) &&
                      static_cast<int>(SECOND_SHARP_EDGE) ==
                          static_cast<int>(HLRShortStrokeGroup::CONCAVE_SHARP_EDGE_STROKES) &&
                      static_cast<int>(RESULT_LIST_COUNT) ==
                          static_cast<int>(HLRShortStrokeGroup::STROKE_KIND_COUNT),
                  "result lists and group lists share their positions");
    const int kind = HLRShortStrokeGroup::strokeKindOf(stroke.type(), m_convexityReversed);
    if (kind < 0)
        throw HLRError("HLRPolyAlgo::newShortStroke(): Illegal path.", "Hlr/HLRPolyAlgo", 94);
    m_strokes[kind].push_back(&stroke);
}

void HLRPolyAlgo::addLinkTo(HLRShortStrokeEnd& end) {
    m_strokeEnds.push_back(&end);
}

void HLRPolyAlgo::renewStrokeNetwork(int mask, const double& tolerance) {
    if (silhouetteStrokes().empty() || m_networkRenewed)
        return;
    for (HLRShortStrokeGroup& group : m_shortStrokeGroups) {
        HLRStrokeNetworkRenewer renewer(*this, group, mask, tolerance);
        renewer.execute();
    }
    m_networkRenewed = true;
}

void HLRPolyAlgo::processHiddenStatusOfEdges() {
    HLRProgressObservableProc::startProcess(EXTRACTION_STAGE,
                                            static_cast<std::int32_t>(m_projectedModel.edgeCount()));
    for (const HLRProjectedTriangleData& data : m_projectedModel.triangleData()) {
        HLRShortStrokeGroup& group = m_shortStrokeGroups.emplace_back(data);
        for (const HLRProjectedTriangleEdge& edge : data.edges()) {
            group.addEdge(edge, *this);
            HLRProgressObservableProc::stepProcess(EXTRACTION_STAGE);
        }
    }
    const auto addFreeEdgeGroup = [this](const HLRProjectedFreeEdgeData& freeEdges) {
        HLRShortStrokeGroup& group = m_shortStrokeGroups.emplace_back(freeEdges);
        for (const HLRProjectedTriangleEdge& edge : freeEdges.edges()) {
            group.addEdge(edge, *this);
            HLRProgressObservableProc::stepProcess(EXTRACTION_STAGE);
        }
    };
    for (const HLRProjectedShell& shell : m_projectedModel.shells())
        addFreeEdgeGroup(shell.freeEdges());
    if (!m_projectedModel.intersectionLines().edges().empty())
        addFreeEdgeGroup(m_projectedModel.intersectionLines());
    HLRProgressObservableProc::endProcess(EXTRACTION_STAGE);
}

void HLRPolyAlgo::correctConvexityOfStrokes() {
    HLRProgressObservableProc::startProcess(CONVEXITY_STAGE, 1);
    HLRShortStrokeEnd* ends[4] = {nullptr, nullptr, nullptr, nullptr};
    getBoundingStrokeEnds(ends);
    const bool reversed = checkPolygonsReverse(ends);
    m_convexityReversed = reversed;
    if (reversed)
        reverseConvexityOfStrokes();
    // The groups follow the vote too, so that strokes they make later (splits during the network
    // renewal) are filed beside the strokes whose kinds were just corrected.
    for (HLRShortStrokeGroup& group : m_shortStrokeGroups)
        group.setConvexityReversed(reversed);
    sm_bConvexityReversed = reversed;
    HLRProgressObservableProc::endProcess(CONVEXITY_STAGE);
}

void HLRPolyAlgo::getBoundingStrokeEnds(HLRShortStrokeEnd* ends[4]) const {
    const int visible = HLRProjectedTriangleEdge::VISIBLE_MASK;
    HLROutlineExtremes<HLRShortStrokeEnd*> extremes(nullptr);
    for (HLRShortStrokeEnd* end : m_strokeEnds) {
        const HLRStrokeLinks& silhouettes =
            end->linkedStrokes(HLRProjectedTriangleEdge::VISIBLE_SILHOUETTE_MASK);
        int visibleStrokes = 0;
        for (const HLRStroke* stroke : silhouettes.strokes())
            if (stroke && (stroke->type() & visible))
                ++visibleStrokes;
        if (visibleStrokes >= 2)
            extremes.offer(end->point(), end);
    }
    for (int i = 0; i < 4; ++i)
        ends[i] = extremes.at(i);
}

HLRVector2D HLRPolyAlgo::outlineDirectionAt(int extreme) {
    // At the ends of smallest x, largest x, smallest y and largest y.
    static const HLRVector2D directions[4] = {HLRVector2D(0.0, 1.0), HLRVector2D(0.0, -1.0),
                                              HLRVector2D(-1.0, 0.0), HLRVector2D(1.0, 0.0)};
    return directions[extreme];
}

double HLRPolyAlgo::turnLeftOf(const HLRVector2D& direction, const HLRVector2D& leaving) {
    const HLRMatrix2x2 toDirection = HLRMatrix2x2::rotation(-std::atan2(direction.y(), direction.x()));
    const HLRVector2D turned = leaving * toDirection;
    return std::atan2(turned.y(), turned.x());
}

int HLRPolyAlgo::convexityVoteOf(int type) {
    if (type & HLRProjectedTriangleEdge::CONCAVE_TEND_EDGE_MASK)
        return 1;
    if (type & HLRProjectedTriangleEdge::CONVEX_TEND_EDGE_MASK)
        return -1;
    return 0;
}

bool HLRPolyAlgo::checkPolygonsReverse(const HLRShortStrokeEnd* const ends[4]) {
    int vote = 0;
    for (int i = 0; i < 4; ++i) {
        if (!ends[i])
            continue;
        const HLRStroke* chosen = leftMostStrokeFrom_relativeTo(ends[i], outlineDirectionAt(i));
        if (chosen)
            vote += convexityVoteOf(chosen->type());
    }
    return vote > 0;
}

const HLRStroke* HLRPolyAlgo::leftMostStrokeFrom_relativeTo(const HLRShortStrokeEnd* end,
                                                            const HLRVector2D& direction) {
    double best = 0.0;
    const HLRStroke* chosen = nullptr;
    for (const HLRStroke* stroke :
         end->linkedStrokes(HLRProjectedTriangleEdge::VISIBLE_SILHOUETTE_MASK).strokes()) {
        if (!stroke)
            continue;
        const double turn = turnLeftOf(direction, stroke->neighbourPointOf(end) - end->point());
        if (!chosen || turn > best) {
            best = turn;
            chosen = stroke;
        }
    }
    return chosen;
}

void HLRPolyAlgo::reverseConvexityOfStrokes() {
    const int convex = HLRProjectedTriangleEdge::CONVEX_TEND_EDGE_MASK;
    const int concave = HLRProjectedTriangleEdge::CONCAVE_TEND_EDGE_MASK;
    for (HLRShortStroke* stroke : m_strokes[SECOND_SHARP_EDGE])
        stroke->setType((stroke->type() & ~concave) | convex);
    for (HLRShortStroke* stroke : m_strokes[FIRST_SHARP_EDGE])
        stroke->setType((stroke->type() & ~convex) | concave);
}

} // namespace KvHLR
