#include "Hlr/HLRExactEdge.h"

#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRProjectedTriangleVertex.h"

namespace KvHLR {

namespace {

// Hidden pieces shorter than this (in edge parameters) are below what the hide test resolves.
constexpr double kParameterTolerance = 1e-4;

} // namespace

void HLRExactEdge::classify(double sharpEdgeAngle) {
    m_type = HLRProjectedTriangleEdge::typeOf(m_startVertex, m_endVertex, m_leftTriangle, m_rightTriangle,
                                              sharpEdgeAngle);
}

bool HLRExactEdge::isFeatureLine() const {
    return (m_type & HLRProjectedTriangleEdge::ALL_MASK) != 0;
}

bool HLRExactEdge::addHiddenPiece(HLRIntervals& pieces, double a, double b) {
    if (a < kParameterTolerance) {
        a = 0.0;
    }
    if (b > 1.0 - kParameterTolerance) {
        b = 1.0;
    }
    if (a < b) {
        pieces.addInterval(HLRInterval{a, b, kParameterTolerance, kParameterTolerance});
    }
    return pieces.size() > 0 && pieces.intervalAt(1).from == 0.0 && pieces.intervalAt(1).to == 1.0;
}

void HLRExactEdge::hideStretch(double a, double b) {
    if (m_allHidden) {
        return; // with occlusion levels, offered on
    }
    if (addHiddenPiece(m_hiddenIntervals, a, b)) {
        m_allHidden = true;
        if (!HLRProjectedModel::sm_bOcclusionLevels || m_allCounted)
            m_hiddenIntervals.clear();
        else
            m_hiddenIntervals.clearPieces(); // its counts go on
    }
}

bool HLRExactEdge::addCountedCover(HLRCoverCounts& counts, double a, double b, int times) {
    return counts.add(a, b, HLRProjectedModel::sm_nCountedLevels, kParameterTolerance, times);
}

void HLRExactEdge::countCover(double a, double b, int times) {
    if (m_hiddenIntervals.addCover(a, b, HLRProjectedModel::sm_nCountedLevels, kParameterTolerance, times))
        setAllCounted();
}

void HLRExactEdge::settleCovers() {
    if (!m_allCounted && m_hiddenIntervals.settleCovers(kParameterTolerance))
        setAllCounted();
}

void HLRExactEdge::setAllCounted() {
    m_allCounted = true;
    if (m_allHidden)
        m_hiddenIntervals.clear(); // its level is the most counted all along: nothing else to keep
}

std::pair<double, double> HLRExactEdge::uncounted() const {
    return m_allCounted ? std::pair{1.0, 0.0} : m_hiddenIntervals.uncounted();
}

HLRBoundingBox2D HLRExactEdge::countWindow(double reach) const {
    const auto [from, to] = uncounted();
    HLRBox2D box;
    box.add(coordinate2DAt(from));
    box.add(coordinate2DAt(to));
    return HLRBoundingBox2D::around(box, reach);
}

bool HLRExactEdge::isDone() const {
    return m_allHidden && (m_allCounted || !HLRProjectedModel::sm_bOcclusionLevels);
}

std::vector<HLRCoverCounts::Stretch> HLRExactEdge::levelsWithin(double a, double b) const {
    if (m_allCounted)
        return {{a, b, HLRProjectedModel::sm_nCountedLevels}};
    return m_hiddenIntervals.coverWithin(a, b, kParameterTolerance);
}

void HLRExactEdge::dropHiddenSpecks() {
    for (int i = 1; i <= m_hiddenIntervals.size();) {
        const HLRInterval& piece = m_hiddenIntervals.intervalAt(i);
        if (piece.to - piece.from < kParameterTolerance) {
            m_hiddenIntervals.removeIntervalAt(i);
        } else {
            ++i;
        }
    }
}

HLRVector2D HLRExactEdge::coordinate2DAt(double t) const {
    return screenPointAt(*m_startVertex, *m_endVertex, t);
}

void HLRExactEdge::setBoundingBox2D() {
    m_box2D.set(screenBoxOf(*m_startVertex, *m_endVertex));
}

void HLRExactEdge::setBoundingBox3D() {
    m_box3D.set(viewBoxOf(*m_startVertex, *m_endVertex));
}

} // namespace KvHLR
