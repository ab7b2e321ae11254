#include "Hlr/HLRProjectedModel.h"

#include <algorithm>
#include <unordered_map>

#include "Hlr/HLRBoundingBox2D.h"
#include "Hlr/HLRModel.h"
#include "Hlr/HLRProgressObservableProc.h"
#include "Hlr/HLRProjector.h"
#include "Hlr/HLRWindowQueryTraverser.h"
#include "host/KvCore.h"

namespace KvHLR {

bool HLRProjectedModel::sm_bOrthoGraphic = false;
HLRBoundingBox3D HLRProjectedModel::sm_nearRegionBox;
double HLRProjectedModel::sm_dTolerance2D = 0.0;
double HLRProjectedModel::sm_dTolerance2DSquared = 0.0;
double HLRProjectedModel::sm_dTolerance3D = 0.0;
double HLRProjectedModel::sm_dTolerance3DSquared = 0.0;
double HLRProjectedModel::sm_dCoarseTolerance3D = 0.0;

HLRProjectedModel::HLRProjectedModel() = default;

HLRProjectedModel::HLRProjectedModel(const HLRModel& model, const HLRProjector& projector,
                                     double sharpEdgeAngle, bool withFreeEdges, short viewWidth) {
    set(model, projector, sharpEdgeAngle, withFreeEdges, viewWidth);
}

HLRProjectedModel::~HLRProjectedModel() = default;

void HLRProjectedModel::set(const HLRModel& model, const HLRProjector& projector, double sharpEdgeAngle,
                            bool withFreeEdges, short viewWidth) {
    m_model = &model;
    m_projector = &projector;
    m_sharpEdgeAngle = sharpEdgeAngle;
    m_withFreeEdges = withFreeEdges;
    m_viewWidth = viewWidth;
    m_negNearDepth = -projector.nearPlaneDepth();
    sm_bOrthoGraphic = projector.isOrthoGraphic();
}

void HLRProjectedModel::build() {
    HLRProgressObservableProc::startProcess("HLRProjectedModel::build", 1);
    preBuild();
    mainBuild();
    postBuild();
    HLRProgressObservableProc::endProcess("HLRProjectedModel::build");
}

// Shells over one model triangle store share one projected store; each further store gets its own,
// numbered on after the vertices of the stores before it.
void HLRProjectedModel::preBuild() {
    HLRProgressObservableProc::startProcess("HLRProjectedModel::preBuild", 1);
    if (m_model != nullptr) {
        const std::list<HLRShell>& modelShells = m_model->shells();
        // Shells point at their triangle data, so neither sequence may move once filling starts.
        m_shells.reserve(modelShells.size());
        m_triangleData.reserve(modelShells.size());
        std::unordered_map<const HLRTriangleData*, HLRProjectedTriangleData*> projectedOf;
        std::uint32_t vertexIndexOffset = 0;
        for (const HLRShell& modelShell : modelShells) {
            const HLRTriangleData& modelData = *modelShell.triangleData();
            HLRProjectedTriangleData*& data = projectedOf[&modelData];
            if (data == nullptr) {
                data = &m_triangleData.emplace_back(modelData, *m_projector, m_sharpEdgeAngle,
                                                    vertexIndexOffset);
                vertexIndexOffset += static_cast<std::uint32_t>(modelData.vertices().size());
            }
            m_shells.emplace_back(modelShell, *data, *m_projector);
        }
    }
    HLRProgressObservableProc::endProcess("HLRProjectedModel::preBuild");
}

void HLRProjectedModel::mainBuild() {
    HLRProgressObservableProc::startProcess("HLRProjectedModel::mainBuild", 1);
    m_edgeCount = 0;
    for (HLRProjectedShell& shell : m_shells) {
        shell.buildFaces();
        if (m_withFreeEdges) {
            m_edgeCount += shell.buildFreeEdges();
        }
    }
    for (HLRProjectedTriangleData& data : m_triangleData) {
        m_edgeCount += data.project();
    }
    HLRProgressObservableProc::endProcess("HLRProjectedModel::mainBuild");
}

void HLRProjectedModel::postBuild() {
    HLRProgressObservableProc::startProcess("HLRProjectedModel::postBuild", 1);
    gatherExtents();
    setNearRegion();
    for (HLRProjectedShell& shell : m_shells) {
        shell.buildBoundsAndBuckets();
        if (m_withFreeEdges) {
            boxEdges(shell.freeEdges().edges());
        }
    }
    for (HLRProjectedTriangleData& data : m_triangleData) {
        boxEdges(data.edges());
    }
    HLRProgressObservableProc::endProcess("HLRProjectedModel::postBuild");
}

// Every packed box of the build is quantised on grids spanning the projected model. A model without
// any vertex leaves the grids of the last build in place rather than installing empty ones.
void HLRProjectedModel::gatherExtents() {
    for (HLRProjectedTriangleData& data : m_triangleData) {
        data.computeExtents(m_bounds, m_extent3D);
    }
    for (HLRProjectedShell& shell : m_shells) {
        shell.freeEdges().computeExtents(m_bounds, m_extent3D);
    }
    if (m_bounds.isValid()) {
        HLRBoundingBox2D::setWorld(m_bounds);
        HLRBoundingBox3D::setWorld(m_extent3D);
    }
}

// The near region runs from the near plane towards (and past) the eye; a model that stays beyond the
// near plane gets a region that overlaps nothing.
void HLRProjectedModel::setNearRegion() {
    if (!m_extent3D.isValid() || m_extent3D.max().z < m_negNearDepth) {
        sm_nearRegionBox = HLRBoundingBox3D();
        return;
    }
    const HLRVector3D& lo = m_extent3D.min();
    sm_nearRegionBox = HLRBoundingBox3D(HLRVector3D(lo.x, lo.y, m_negNearDepth), m_extent3D.max());
}

// In a perspective view an edge reaching the near region has no trustworthy screen image: it is
// left out of the hide pass and of the drawing.
void HLRProjectedModel::boxEdges(std::vector<HLRProjectedTriangleEdge>& edges) const {
    for (HLRProjectedTriangleEdge& edge : edges) {
        edge.setBoundingBox2D();
        edge.setBoundingBox3D();
        if (!sm_bOrthoGraphic && edge.boundingBox3D().overlaps(sm_nearRegionBox)) {
            edge.setValid(false);
        }
    }
}

void HLRProjectedModel::preProcess() {
    const double smallest2D = std::min(m_bounds.width(), m_bounds.height());
    const double smallest3D = std::min({m_extent3D.width(), m_extent3D.height(), m_extent3D.depth()});
    sm_dTolerance2D = 1e-6 * smallest2D;
    sm_dTolerance2DSquared = sm_dTolerance2D * sm_dTolerance2D;
    sm_dTolerance3D = 1e-6 * smallest3D;
    sm_dTolerance3DSquared = sm_dTolerance3D * sm_dTolerance3D;
    sm_dCoarseTolerance3D = 0.01 * smallest3D;
}

// Progress jumps when the pass completes: the parallel loop reports nothing and cannot be cancelled.
void HLRProjectedModel::mainProcess() {
    HLRProgressObservableProc::startProcess("HLRProjectedModel::execute", 1);
    HLRProgressObservableProc::startProcess("HLRProjectedModel::mainProcess", static_cast<int>(m_edgeCount));
    HLRWindowQueryTraverser::Tree tree;
    const std::vector<HLRProjectedTriangleEdge*> edges = edgesToHide();
    HLRWindowQueryTraverser::buildTree(tree, hiders(), edges, Kv::GetNumberOfProcessors());
    HLRWindowQueryTraverser::hideEdges(tree, edges);
    HLRProgressObservableProc::endProcess("HLRProjectedModel::mainProcess");
    HLRProgressObservableProc::endProcess("HLRProjectedModel::execute");
}

void HLRProjectedModel::postProcess() {}

std::vector<HLRProjectedTriangle*> HLRProjectedModel::hiders() {
    std::size_t count = 0;
    for (const HLRProjectedTriangleData& data : m_triangleData) {
        count += data.triangles().size();
    }
    std::vector<HLRProjectedTriangle*> result;
    result.reserve(count);
    for (HLRProjectedTriangleData& data : m_triangleData) {
        for (HLRProjectedTriangle& triangle : data.triangles()) {
            result.push_back(&triangle);
        }
    }
    return result;
}

std::vector<HLRProjectedTriangleEdge*> HLRProjectedModel::edgesToHide() {
    std::vector<HLRProjectedTriangleEdge*> result;
    result.reserve(m_edgeCount);
    const auto collect = [&result](std::vector<HLRProjectedTriangleEdge>& edges) {
        for (HLRProjectedTriangleEdge& edge : edges) {
            if (edge.isValid() && !edge.isAllHidden() && edge.isFeatureLine()) {
                result.push_back(&edge);
            }
        }
    };
    for (HLRProjectedTriangleData& data : m_triangleData) {
        collect(data.edges());
    }
    for (HLRProjectedShell& shell : m_shells) {
        collect(shell.freeEdges().edges());
    }
    return result;
}

void HLRProjectedModel::hideByObjects(HLRProjectedTriangleEdge& edge) {
    for (HLRProjectedShell& shell : m_shells) {
        if (edge.isAllHidden()) {
            return;
        }
        shell.hide(edge);
    }
}

} // namespace KvHLR
