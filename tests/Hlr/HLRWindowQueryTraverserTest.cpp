#include "Hlr/HLRWindowQueryTraverser.h"
#include "ProjectedModelItems.h"
#include "RowOrderCamera.h"

#include "Hlr/HLRModel.h"
#include "Hlr/HLRPolyAlgo.h"
#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRProjectedTriangle.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRProjector.h"
#include "api/KvHLRRecords.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <utility>
#include <vector>

using namespace KvHLR;

namespace {

constexpr double kPi = 3.141592653589793;

using KvHLRTest::camera;
using KvHLRTest::kIdentity;

// Looks down -z from (0, 0, 50).
HLRProjector orthographic() {
    const double mv[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, -50}, {0, 0, 0, 1}};
    return camera(mv, kIdentity, 1.0);
}

// Eye at (0, 0, 50) looking down -z with a 90 degree field of view.
HLRProjector perspective() {
    const double mv[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, -50}, {0, 0, 0, 1}};
    const double n = 1.0;
    const double f = 1000.0;
    const double proj[4][4] = {
        {1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, (f + n) / (n - f), 2 * f * n / (n - f)}, {0, 0, -1, 0}};
    return camera(mv, proj, n);
}

// Randomly turned cubes crowded into a block, so that most sharp edges are partly hidden by other
// cubes and many entirely.
Polygon3D crowdOfCubes(int count, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const int faces[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                              {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    Polygon3D soup;
    for (int c = 0; c < count; ++c) {
        const double a = 2 * kPi * unit(random);
        const double b = 2 * kPi * unit(random);
        const double size = 0.5 + unit(random);
        const double cx = 10 * unit(random) - 5;
        const double cy = 10 * unit(random) - 5;
        const double cz = 10 * unit(random) - 5;
        const auto first = static_cast<std::uint32_t>(soup.points.size());
        for (int k = 0; k < 8; ++k) {
            const double x = size * ((k & 1) ? 0.5 : -0.5);
            const double y = size * ((k & 2) ? 0.5 : -0.5);
            const double z = size * ((k & 4) ? 0.5 : -0.5);
            // Turn about z by a, then about x by b.
            const double x1 = x * std::cos(a) - y * std::sin(a);
            const double y1 = x * std::sin(a) + y * std::cos(a);
            soup.points.emplace_back(cx + x1, cy + y1 * std::cos(b) - z * std::sin(b),
                                     cz + y1 * std::sin(b) + z * std::cos(b));
        }
        for (const auto& face : faces) {
            soup.triangles.push_back({first + face[0], first + face[1], first + face[2]});
        }
    }
    return soup;
}

// What the hide pass left on an edge: all hidden, or its hidden pieces.
struct HiddenState {
    bool allHidden;
    std::vector<std::pair<double, double>> pieces;
    bool operator==(const HiddenState& o) const { return allHidden == o.allHidden && pieces == o.pieces; }
};

std::vector<HiddenState> hiddenStates(const std::vector<HLRProjectedTriangleEdge*>& edges) {
    std::vector<HiddenState> states;
    for (const HLRProjectedTriangleEdge* edge : edges) {
        HiddenState state{edge->isAllHidden(), {}};
        const HLRIntervals& intervals = edge->hiddenIntervals();
        for (int i = 1; i <= intervals.size(); ++i) {
            state.pieces.emplace_back(intervals.intervalAt(i).from, intervals.intervalAt(i).to);
        }
        states.push_back(state);
    }
    return states;
}

// A model and its projection, fresh for every hide pass, since a pass leaves its marks on the edges.
class Scene {
public:
    Scene(const Polygon3D& soup, const HLRProjector& camera) : m_camera(camera) {
        m_model.build(soup);
        m_projected = std::make_unique<HLRProjectedModel>(m_model, m_camera, 135.0 * kPi / 180.0, false, 800);
        m_projected->build();
        m_projected->preProcess();
    }
    std::vector<HiddenState> hideWithThreads(int loopThreads, unsigned buildThreads) {
        const int before = omp_get_max_threads();
        omp_set_num_threads(loopThreads);
        HLRWindowQueryTraverser::Tree tree;
        tree.build(KvHLRTest::allTriangles(*m_projected), buildThreads);
        const std::vector<HLRProjectedTriangleEdge*> edges = KvHLRTest::featureEdges(*m_projected);
        HLRWindowQueryTraverser::hideEdges(tree, edges);
        omp_set_num_threads(before);
        return hiddenStates(edges);
    }

private:
    HLRModel m_model;
    HLRProjector m_camera;
    std::unique_ptr<HLRProjectedModel> m_projected;
};

} // namespace

TEST(HLRWindowQueryTraverser, HiddenStateIsTheSameWhateverTheThreadCounts) {
    const Polygon3D soup = crowdOfCubes(300, 4);
    for (const bool exact : {false, true}) {
        for (const HLRProjector& view : {orthographic(), perspective()}) {
            HLRPolyAlgo::setExactHiding(exact);
            const std::vector<HiddenState> reference = Scene(soup, view).hideWithThreads(1, 0);
            const auto partly = std::count_if(reference.begin(), reference.end(), [](const HiddenState& s) {
                return !s.allHidden && !s.pieces.empty();
            });
            const auto entirely = std::count_if(reference.begin(), reference.end(),
                                                [](const HiddenState& s) { return s.allHidden; });
            ASSERT_GT(partly, 100);
            ASSERT_GT(entirely, 100);
            for (const auto& [loopThreads, buildThreads] : {std::pair<int, unsigned>{2, 1}, {8, 8}, {3, 2}}) {
                EXPECT_EQ(Scene(soup, view).hideWithThreads(loopThreads, buildThreads), reference)
                    << loopThreads << " loop threads, " << buildThreads << " build threads, exact " << exact;
            }
            HLRPolyAlgo::setExactHiding(false);
        }
    }
}
