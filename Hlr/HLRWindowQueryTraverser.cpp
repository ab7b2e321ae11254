#include "Hlr/HLRWindowQueryTraverser.h"

#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRParallelLoop.h"
#include "Hlr/HLRProjectedTriangle.h"
#include "Hlr/HLRProjectedTriangleEdge.h"

#include <omp.h>

#include <algorithm>
#include <utility>
#include <cstdint>
#include <thread>

#include <unistd.h>

namespace KvHLR {

namespace {

// The edges a thread of the hide pass takes at a time.
constexpr std::ptrdiff_t EDGES_PER_BLOCK = 1024;

// Whether a loop ran with a team since the last release. Written by the calling thread only: the
// entry points run one call at a time.
bool g_teamStarted = false;

} // namespace

HLRWindowQueryTraverser::~HLRWindowQueryTraverser() = default;

int HLRWindowQueryTraverser::teamSize() {
    // The OpenMP runtime cannot start threads in a process forked after it did (its threads stay
    // behind in the parent, and a team would wait for them forever): such a child works alone.
    static const pid_t firstUser = getpid();
    if (getpid() != firstUser) {
        return 1;
    }
    const int perMachine = std::max(64, 4 * static_cast<int>(std::thread::hardware_concurrency()));
    return std::min(omp_get_max_threads(), perMachine);
}

int HLRWindowQueryTraverser::teamFor(bool parallel) {
    const int team = parallel ? teamSize() : 1;
    g_teamStarted = g_teamStarted || team > 1;
    return team;
}

void HLRWindowQueryTraverser::releaseTeam() {
    // Not in a process forked meanwhile: the runtime would wait for threads that stayed in the parent.
    if (g_teamStarted && teamSize() > 1) {
        // A soft pause: the runtime lets the threads of its teams go, or sleep, and starts them anew at
        // the next parallel loop; the host's settings (wait policy, team sizes) stay as they were.
        omp_pause_resource_all(omp_pause_soft);
    }
    g_teamStarted = false;
}

std::vector<std::int16_t> HLRWindowQueryTraverser::nearestDepthsOf(
    const std::vector<HLRProjectedTriangle*>& triangles) {
    std::vector<std::int16_t> depths;
    depths.reserve(triangles.size());
    for (const HLRProjectedTriangle* triangle : triangles) {
        depths.push_back(triangle->boundingBox3D().nearestDepth());
    }
    return depths;
}

namespace {

// The packed screen boxes of the edges: the windows of the hide pass's queries.
std::vector<WindowQuery::Imple::QuantisedBox> windowsOf(const std::vector<HLRProjectedTriangleEdge*>& edges) {
    std::vector<WindowQuery::Imple::QuantisedBox> windows;
    windows.reserve(edges.size());
    for (const HLRProjectedTriangleEdge* edge : edges) {
        const HLRBoundingBox2D& box = edge->boundingBox2D();
        windows.push_back(WindowQuery::Imple::QuantisedBox::fromCodes(box.minCode(), box.maxCode()));
    }
    return windows;
}

} // namespace

void HLRWindowQueryTraverser::setHiddenObject(HLRProjectedTriangleEdge* edge) {
    m_hiddenObject = edge;
    m_farthestDepth = edge->boundingBox3D().farthestDepth();
    setWindow(edge->boundingBox2D().minCode(), edge->boundingBox2D().maxCode());
}

bool HLRWindowQueryTraverser::visit(HLRProjectedTriangle* const& triangle, std::size_t index) {
    // One integer comparison spares the floating-point test for a triangle whose nearest point lies
    // beyond the edge's farthest.
    if ((*m_nearestDepths)[index] < m_farthestDepth) {
        return true;
    }
    // One long edge behind a dense part of a large model meets millions of triangles: its query alone
    // may run for seconds.
    if ((++m_tests & 255U) == 0)
        HLRCancelPoll::check();
    triangle->hide(*m_hiddenObject);
    return !m_hiddenObject->isAllHidden();
}

void HLRWindowQueryTraverser::hide(const Tree& tree, HLRProjectedTriangleEdge& edge) {
    setHiddenObject(&edge);
    tree.query(*this);
}

void HLRWindowQueryTraverser::buildTree(Tree& tree, std::vector<HLRProjectedTriangle*> hiders,
                                        const std::vector<HLRProjectedTriangleEdge*>& edges,
                                        unsigned threadCount) {
    tree.build(std::move(hiders), threadCount, windowsOf(edges));
}

void HLRWindowQueryTraverser::hideEdges(const Tree& tree,
                                        const std::vector<HLRProjectedTriangleEdge*>& edges) {
    const std::vector<std::int16_t> nearestDepths = nearestDepthsOf(tree.items());
    // Edges take very different times (an edge hidden early stops its query), and where they do depends
    // on where they lie: equal shares in index order left one thread idle a tenth of the time, so they
    // go out a block at a time.
    runInParallel(
        static_cast<std::ptrdiff_t>(edges.size()), EDGES_PER_BLOCK,
        [&nearestDepths] { return HLRWindowQueryTraverser(&nearestDepths); },
        [&](HLRWindowQueryTraverser& traverser, std::ptrdiff_t i) {
            HLRCancelPoll::check();
            traverser.hide(tree, *edges[static_cast<std::size_t>(i)]);
        });
}

} // namespace KvHLR
