#include "Hlr/HLRProjectedModel.h"

#include "Hlr/HLRHugePages.h"

#include "Hlr/HLRParallelLoop.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <optional>
#include <type_traits>
#include <unordered_map>

#include "Hlr/HLRBoundingBox2D.h"
#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRClosedParts.h"
#include "Hlr/HLRExactHiding.h"
#include "Hlr/HLRIntersectionFinder.h"
#include "Hlr/HLRModel.h"
#include "Hlr/HLRPolyAlgo.h"
#include "Hlr/HLRProgressObservableProc.h"
#include "Hlr/HLRProjector.h"
#include "Hlr/HLRWindowQueryTraverser.h"
#include "api/CalcSilhouette.h"
#include "host/KvCore.h"

namespace KvHLR {

bool HLRProjectedModel::sm_bOrthoGraphic = false;
HLRBoundingBox3D HLRProjectedModel::sm_nearRegionBox;
double HLRProjectedModel::sm_dTolerance2D = 0.0;
double HLRProjectedModel::sm_dTolerance2DSquared = 0.0;
double HLRProjectedModel::sm_dTolerance3D = 0.0;
double HLRProjectedModel::sm_dTolerance3DSquared = 0.0;
double HLRProjectedModel::sm_dCoarseTolerance3D = 0.0;
bool HLRProjectedModel::sm_bExactHiding = false;
bool HLRProjectedModel::sm_bOcclusionLevels = false;
int HLRProjectedModel::sm_nCountedLevels = std::numeric_limits<int>::max();
double HLRProjectedModel::sm_dExactTolerance2D = 0.0;
double HLRProjectedModel::sm_dExactTolerance3D = 0.0;
HLRVector4D HLRProjectedModel::sm_projectionCentre(0.0, 0.0, 1.0, 0.0);
HLRVector4D HLRProjectedModel::sm_screenXRow(1.0, 0.0, 0.0, 0.0);
HLRVector4D HLRProjectedModel::sm_screenYRow(0.0, 1.0, 0.0, 0.0);
HLRVector4D HLRProjectedModel::sm_screenWRow(0.0, 0.0, 0.0, 1.0);

namespace {

// Exact hiding's tolerances: a fraction of the model's extent, plus a few units in the last place of
// its largest coordinate, which is what rounding leaves on a point that should lie on a line or plane.
constexpr double kExactRelativeTolerance = HLRProjectedModel::EXACT_RELATIVE_TOLERANCE;
constexpr double kExactRoundingTolerance = HLRProjectedModel::EXACT_ROUNDING_TOLERANCE;
// Below this many triangles a second thread costs more than it saves.
constexpr std::size_t kCrossingFreePartsOnOwnThread = 1 << 16;

// The edges of one kind (projected or exact) of a store or a free-edge set.
template <class Edge, class Holder> std::vector<Edge>& edgesOf(Holder& holder) {
    if constexpr (std::is_same_v<Edge, HLRExactEdge>)
        return holder.exactEdges();
    else
        return holder.edges();
}

// Runs action on the edges of the holder that this run works on.
template <class Holder, class Action> void forEdgesOf(Holder& holder, Action&& action) {
    if (HLRProjectedModel::sm_bExactHiding)
        action(holder.exactEdges());
    else
        action(holder.edges());
}

// In a perspective view an edge reaching the near region has no trustworthy screen image: it is
// left out of the hide pass and of the drawing.
template <class Edge> void boxEdges(std::vector<Edge>& edges) {
    for (Edge& edge : edges) {
        HLRCancelPoll::check();
        edge.setBoundingBox2D();
        edge.setBoundingBox3D();
        if (!HLRProjectedModel::sm_bOrthoGraphic &&
            edge.boundingBox3D().overlaps(HLRProjectedModel::sm_nearRegionBox)) {
            edge.setValid(false);
        }
    }
}

// An edge seen end-on projects to a dot: it would draw nothing, so it neither draws nor gets hidden.
void leaveOutDotsOf(std::vector<HLRExactEdge>& edges) {
    for (HLRExactEdge& edge : edges) {
        HLRCancelPoll::check();
        if (edge.startVertex()->screenPosition.distanceTo(edge.endVertex()->screenPosition) <=
            HLRProjectedModel::sm_dExactTolerance2D) {
            edge.setValid(false);
        }
    }
}

// The point that the projection maps to no screen position: where the x, y and w rows of the
// projection all vanish. For a perspective camera that is the eye; for a parallel one a direction.
HLRVector4D projectionCentreOf(const HLRMatrix4x4& projection) {
    const auto minor = [&projection](int skipped) {
        int c[3];
        for (int i = 0, k = 0; i < 4; ++i) {
            if (i != skipped) {
                c[k++] = i;
            }
        }
        const auto e = [&projection](int row, int column) { return projection.element(row, column); };
        return e(0, c[0]) * (e(1, c[1]) * e(3, c[2]) - e(1, c[2]) * e(3, c[1])) -
               e(0, c[1]) * (e(1, c[0]) * e(3, c[2]) - e(1, c[2]) * e(3, c[0])) +
               e(0, c[2]) * (e(1, c[0]) * e(3, c[1]) - e(1, c[1]) * e(3, c[0]));
    };
    HLRVector4D centre(minor(0), -minor(1), minor(2), -minor(3));
    const double size = centre.length();
    if (!(size > 0.0)) {
        // No centre to find: a parallel view along -z.
        return HLRVector4D(0.0, 0.0, 1.0, 0.0);
    }
    if (std::fabs(centre.w()) <= 1e-12 * size) {
        // A direction: the viewer looks along -z, so it lies towards +z.
        const HLRVector4D direction(centre.x(), centre.y(), centre.z(), 0.0);
        return centre.z() < 0.0 ? direction * -1.0 : direction;
    }
    return centre.w() < 0.0 ? centre * -1.0 : centre;
}

} // namespace

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
    setRunModes(HLRPolyAlgo::switchedModes());
    m_intersectionLines = HLRProjectedFreeEdgeData(&projector);
    const HLRMatrix4x4& projection = projector.projectMatrix();
    sm_projectionCentre = projectionCentreOf(projection);
    const auto row = [&projection](int i) {
        return HLRVector4D(projection.element(i, 0), projection.element(i, 1), projection.element(i, 2),
                           projection.element(i, 3));
    };
    sm_screenXRow = row(0);
    sm_screenYRow = row(1);
    sm_screenWRow = row(3);
}

void HLRProjectedModel::setRunModes(const HLRRunModes& modes) {
    sm_bExactHiding = modes.exactHiding;
    sm_bOcclusionLevels = modes.exactHiding && modes.occlusionLevels;
    const int deepest = modes.deepestLevel;
    sm_nCountedLevels = deepest > 0 && deepest < std::numeric_limits<int>::max() ? deepest + 1
                                                                                  : std::numeric_limits<int>::max();
    m_withIntersectionLines = modes.intersectionLines;
}

void HLRProjectedModel::build() {
    HLRProgressObservableProc::startProcess("HLRProjectedModel::build", 1);
    preBuild();
    if (m_withIntersectionLines)
        startFindingCrossingFreeParts();
    if (sm_bOcclusionLevels)
        startJoiningParts();
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

std::vector<const HLRTriangleData*> HLRProjectedModel::sources() const {
    std::vector<const HLRTriangleData*> stores;
    for (const HLRProjectedTriangleData& data : m_triangleData)
        stores.push_back(data.source());
    return stores;
}

namespace {

// A large model's parts are found on a thread of their own while the team projects the model (and, with
// exact hiding, hides its edges). They are read from the model's own triangles and edges, which the
// projection only reads too. Where no thread can be started (canStartThreads), they are found when first
// asked for.
std::launch partsLaunch(const std::vector<const HLRTriangleData*>& stores) {
    std::size_t triangles = 0;
    for (const HLRTriangleData* store : stores)
        triangles += store->triangles().size();
    return triangles > kCrossingFreePartsOnOwnThread && canStartThreads() ? std::launch::async
                                                                          : std::launch::deferred;
}

} // namespace

void HLRProjectedModel::startFindingCrossingFreeParts() {
    const std::vector<const HLRTriangleData*> stores = sources();
    m_crossingFreeParts = std::async(partsLaunch(stores), [stores] { return HLRCrossingFreeParts(stores); });
}

void HLRProjectedModel::startJoiningParts() {
    const std::vector<const HLRTriangleData*> stores = sources();
    m_triangleParts = std::async(partsLaunch(stores), [stores] { return HLRTriangleParts(stores); });
}

std::optional<HLRClosedParts> HLRProjectedModel::findClosedParts() {
    if (!sm_bOcclusionLevels)
        return std::nullopt;
    if (!m_triangleParts.valid())
        startJoiningParts(); // a model built before levels were asked for
    return std::optional<HLRClosedParts>(std::in_place, m_triangleData, m_triangleParts.get());
}

void HLRProjectedModel::mainBuild() {
    HLRProgressObservableProc::startProcess("HLRProjectedModel::mainBuild", 1);
    m_edgeCount = 0;
    for (HLRProjectedShell& shell : m_shells) {
        // Exact hiding reads the triangles from their stores' occluders: the shells get no faces.
        if (!sm_bExactHiding) {
            shell.buildFaces();
        }
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
    const auto box = [](auto& edges) { boxEdges(edges); };
    for (HLRProjectedShell& shell : m_shells) {
        if (!sm_bExactHiding) {
            shell.buildBoundsAndBuckets();
        }
        if (m_withFreeEdges) {
            forEdgesOf(shell.freeEdges(), box);
        }
    }
    for (HLRProjectedTriangleData& data : m_triangleData) {
        if (sm_bExactHiding) {
            data.boxOccluders();
        }
        forEdgesOf(data, box);
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

void HLRProjectedModel::preProcess() {
    const double smallest2D = std::min(m_bounds.width(), m_bounds.height());
    const double smallest3D = std::min({m_extent3D.width(), m_extent3D.height(), m_extent3D.depth()});
    sm_dTolerance2D = 1e-6 * smallest2D;
    sm_dTolerance2DSquared = sm_dTolerance2D * sm_dTolerance2D;
    sm_dTolerance3D = 1e-6 * smallest3D;
    sm_dTolerance3DSquared = sm_dTolerance3D * sm_dTolerance3D;
    sm_dCoarseTolerance3D = 0.01 * smallest3D;
    if (sm_bExactHiding) {
        setExactTolerances();
        leaveOutDots();
    }
}

void HLRProjectedModel::setExactTolerances() {
    const auto largestMagnitude = [](std::initializer_list<double> values) {
        double largest = 0.0;
        for (double v : values) {
            largest = std::max(largest, std::fabs(v));
        }
        return largest;
    };
    const HLRVector2D& lo2 = m_bounds.min();
    const HLRVector2D& hi2 = m_bounds.max();
    sm_dExactTolerance2D = kExactRelativeTolerance * std::hypot(m_bounds.width(), m_bounds.height()) +
                           kExactRoundingTolerance * largestMagnitude({lo2.x(), lo2.y(), hi2.x(), hi2.y()});
    const HLRVector3D& lo3 = m_extent3D.min();
    const HLRVector3D& hi3 = m_extent3D.max();
    sm_dExactTolerance3D =
        kExactRelativeTolerance * length(hi3 - lo3) +
        kExactRoundingTolerance * largestMagnitude({lo3.x, lo3.y, lo3.z, hi3.x, hi3.y, hi3.z});
}

void HLRProjectedModel::leaveOutDots() {
    for (HLRProjectedTriangleData& data : m_triangleData) {
        leaveOutDotsOf(data.exactEdges());
    }
    for (HLRProjectedShell& shell : m_shells) {
        leaveOutDotsOf(shell.freeEdges().exactEdges());
    }
}

// The lines lie on the model's triangles, so they fit the grids of the packed boxes installed by the
// build; they get their boxes, and are left out near the eye or as dots, as the edges were.
void HLRProjectedModel::findIntersectionLines() {
    if (!m_crossingFreeParts.valid())
        startFindingCrossingFreeParts(); // a model built before the switch was turned on
    HLRIntersectionFinder finder(m_triangleData, m_crossingFreeParts.get());
    const HLRIntersectionLines found = finder.find();
    if (!sm_bExactHiding && found.segments.size() > HLRTooManyIntersectionLines::kMaxSegmentsPlainHiding)
        throw HLRTooManyIntersectionLines(HLRTooManyIntersectionLines::kMaxSegmentsPlainHiding);
    m_intersectionLines.addIntersectionLines(found, m_triangleData);
    HLRBox2D unused2D;
    HLRBox3D unused3D;
    m_intersectionLines.computeExtents(unused2D, unused3D);
    forEdgesOf(m_intersectionLines, [this](auto& edges) {
        boxEdges(edges);
        m_edgeCount += static_cast<std::uint32_t>(edges.size());
    });
    if (sm_bExactHiding) {
        leaveOutDotsOf(m_intersectionLines.exactEdges());
    }
}

// Progress jumps when the pass completes: the parallel loop reports nothing and cannot be cancelled.
// The intersection lines, when asked for, are edges to hide like the others. With exact hiding the
// model's own edges are hidden first, while the parts that cannot cross themselves are still being
// found on their own thread (startFindingCrossingFreeParts: on a large model with a bore they take
// longer than the projection), and the lines after, over a grid made for them. A grid answers each
// edge's query as one made for every edge would (WindowQuery::Grid), so the drawing is that of one pass.
void HLRProjectedModel::mainProcess() {
    HLRProgressObservableProc::startProcess("HLRProjectedModel::execute", 1);
    const bool linesAfterEdges = m_withIntersectionLines && sm_bExactHiding;
    if (m_withIntersectionLines && !linesAfterEdges) {
        findIntersectionLines();
    }
    HLRProgressObservableProc::startProcess("HLRProjectedModel::mainProcess", static_cast<int>(m_edgeCount));
    if (sm_bExactHiding) {
        std::vector<HLRExactEdge*> edges = exactEdgesToHide();
        const std::optional<HLRClosedParts> closedParts = findClosedParts();
        const HLRClosedParts* const counting = closedParts ? &*closedParts : nullptr;
        const std::size_t coverReads =
            HLRExactHiding::hideEdges(HLRExactHiding::gridOf(occluders(), edges), edges, 0, counting);
        if (linesAfterEdges) {
            findIntersectionLines();
            const std::vector<HLRExactEdge*> lines = featureEdgesToHide<HLRExactEdge>(true);
            if (!lines.empty()) {
                HLRExactHiding::hideEdges(HLRExactHiding::gridOf(occluders(), lines), lines, coverReads,
                                          counting);
            }
            edges.insert(edges.end(), lines.begin(), lines.end());
        }
        forEachBlock(edges.size(), kItemsPerBlock, [&edges](std::size_t, std::size_t begin, std::size_t end) {
            for (std::size_t i = begin; i < end; ++i) {
                edges[i]->dropHiddenSpecks();
            }
        });
    } else {
        const std::vector<HLRProjectedTriangleEdge*> edges = edgesToHide();
        HLRWindowQueryTraverser::Tree tree;
        HLRWindowQueryTraverser::buildTree(tree, hiders(), edges, Kv::GetNumberOfProcessors());
        HLRWindowQueryTraverser::hideEdges(tree, edges);
    }
    HLRProgressObservableProc::endProcess("HLRProjectedModel::mainProcess");
    HLRProgressObservableProc::endProcess("HLRProjectedModel::execute");
}

void HLRProjectedModel::postProcess() {}

void HLRProjectedModel::releaseRecords() {
    // Shells point into the triangle data: they go first.
    std::vector<HLRProjectedShell>().swap(m_shells);
    std::vector<HLRProjectedTriangleData>().swap(m_triangleData);
    m_intersectionLines = HLRProjectedFreeEdgeData(m_projector);
    m_edgeCount = 0;
}

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

std::vector<const HLROccluder*> HLRProjectedModel::occluders() const {
    std::size_t count = 0;
    for (const HLRProjectedTriangleData& data : m_triangleData) {
        count += data.occluders().size();
    }
    std::vector<const HLROccluder*> result;
    HLRHugePages::reserve(result, count);
    for (const HLRProjectedTriangleData& data : m_triangleData) {
        for (const HLROccluder& occluder : data.occluders()) {
            result.push_back(&occluder);
        }
    }
    return result;
}

template <class Edge> std::vector<Edge*> HLRProjectedModel::featureEdgesToHide(bool linesOnly) {
    std::vector<Edge*> result;
    result.reserve(linesOnly ? edgesOf<Edge>(m_intersectionLines).size() : m_edgeCount);
    const auto collect = [&result](std::vector<Edge>& edges) {
        for (Edge& edge : edges) {
            if (edge.isValid() && !edge.isAllHidden() && edge.isFeatureLine()) {
                result.push_back(&edge);
            }
        }
    };
    if (!linesOnly) {
        for (HLRProjectedTriangleData& data : m_triangleData) {
            collect(edgesOf<Edge>(data));
        }
        for (HLRProjectedShell& shell : m_shells) {
            collect(edgesOf<Edge>(shell.freeEdges()));
        }
    }
    collect(edgesOf<Edge>(m_intersectionLines));
    return result;
}

std::vector<HLRProjectedTriangleEdge*> HLRProjectedModel::edgesToHide() {
    return featureEdgesToHide<HLRProjectedTriangleEdge>();
}

std::vector<HLRExactEdge*> HLRProjectedModel::exactEdgesToHide() {
    return featureEdgesToHide<HLRExactEdge>();
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
