#include "Hlr/HLRPostProcessor.h"

#include "Hlr/HLRBoundingBox2D.h"
#include "Hlr/HLRPolyAlgo.h"
#include "Hlr/HLRProgressObservableProc.h"
#include "Hlr/HLRProjectedTriangleEdge.h"

#include <algorithm>
#include <stdexcept>

namespace KvHLR {

namespace {
const char* const EXECUTE_STAGE = "HLRPostProcessor::execute";
const char* const PRE_PROCESS_STAGE = "HLRPostProcessor::preProcess";
const char* const MAIN_PROCESS_STAGE = "HLRPostProcessor::mainProcess";
} // namespace

HLRPostProcessor::HLRPostProcessor() = default;

HLRPostProcessor::HLRPostProcessor(HLRPolyAlgo& polyAlgo, int silhouetteConnectMode,
                                   HLRProgressCallback callback) {
    set(polyAlgo, silhouetteConnectMode, callback);
}

HLRPostProcessor::~HLRPostProcessor() = default;

void HLRPostProcessor::set(HLRPolyAlgo& polyAlgo, int silhouetteConnectMode, HLRProgressCallback callback) {
    m_polyAlgo = &polyAlgo;
    m_silhouetteConnectMode = silhouetteConnectMode;
    HLRProgressObservableExec::set(EXECUTE_STAGE, callback);
}

void HLRPostProcessor::setUpProgressObservation(HLRProgressCallback callback) {
    setCallback(callback);
    HLRProgressObservableProc* root = newProc(EXECUTE_STAGE, nullptr, 1.0);
    newProc(PRE_PROCESS_STAGE, root, 0.4);
    newProc(MAIN_PROCESS_STAGE, root, 0.6);
}

void HLRPostProcessor::execute(int mask) {
    if (!m_polyAlgo)
        return;
    int effective = mask;
    if (m_executed) {
        effective = mask & ~m_processedMask;
        m_processedMask |= mask;
    } else {
        m_processedMask = mask;
    }
    const int visible = HLRProjectedTriangleEdge::VISIBLE_MASK;
    if (!m_hiddenPassDone && (mask & visible) == 0) {
        m_hiddenPassDone = true;
        m_postProcMask = effective & ~visible;
    } else {
        m_postProcMask = effective | visible;
    }
    HLRProgressObservableExec::execute();
    m_executed = true;
}

void HLRPostProcessor::preProcess() {
    HLRProgressObservableProc::startProcess(PRE_PROCESS_STAGE, 1);
    const HLRBox2D& world = HLRBoundingBox2D::world();
    m_tolerance = std::min(world.width(), world.height()) * 1e-6;
    m_polyAlgo->renewStrokeNetwork(m_postProcMask, m_tolerance);
    HLRProgressObservableProc::endProcess(PRE_PROCESS_STAGE);
}

void HLRPostProcessor::mainProcess() {
    HLRProgressObservableProc::startProcess(MAIN_PROCESS_STAGE, 1);
    std::list<HLRShortStrokeGroup>& groups = m_polyAlgo->shortStrokeGroups();
    // Groups are made once; a run cancelled after making them finds them on the next execution.
    if (m_longStrokeGroups.empty()) {
        // Dead ends are avoided only within a single group: with several groups, a stroke that
        // ends nowhere in its own group may well continue in another one.
        HLRLongStrokeGroup::sm_bToAvoidStrokeWithDeadEnd = groups.size() < 2;
        for (HLRShortStrokeGroup& group : groups)
            newLongStrokeGroup(*this, group, m_tolerance);
    }
    for (HLRLongStrokeGroup& group : m_longStrokeGroups)
        group.connectFeatureLines();
    HLRProgressObservableProc::endProcess(MAIN_PROCESS_STAGE);
}

void HLRPostProcessor::addLinkTo(HLRLongStroke& longStroke) {
    m_featureLines.push_back(&longStroke);
}

void HLRPostProcessor::addLinkTo(HLRLongStrokeEnd& longStrokeEnd) {
    m_longStrokeEnds.push_back(&longStrokeEnd);
}

HLRLongStrokeGroup& HLRPostProcessor::newLongStrokeGroup(HLRPostProcessor& postProcessor,
                                                         HLRShortStrokeGroup& group, double tolerance) {
    if (m_longStrokeGroups.size() == m_longStrokeGroups.max_size())
        throw std::length_error("list too long");
    return m_longStrokeGroups.emplace_back(postProcessor, group, tolerance);
}

} // namespace KvHLR
