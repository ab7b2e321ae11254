// Sampling feature edges and deciding what the viewer sees of them.

#include "Scenes.h"

#include "checker/Samples.h"

#include <gtest/gtest.h>

namespace kvcheck {
namespace {

TEST(Samples, NeighboursThatDisagreeAreBothUnscored) {
    using V = Visibility;
    std::vector<V> along{V::Visible, V::Visible, V::Visible,  V::Hidden,
                         V::Hidden,  V::Hidden,  V::Unscored, V::Hidden};
    unscoreTransitions(along);
    const std::vector<V> expected{V::Visible, V::Visible,  V::Unscored, V::Unscored,
                                  V::Hidden,  V::Unscored, V::Unscored, V::Unscored};
    EXPECT_EQ(along, expected);
}

TEST(Samples, RaysFindWhereOneSquareCoversAnother) {
    // The large square [0, 4]^2 at height 0 under the small [3, 5] x [1, 2] at height 1, seen in
    // perspective from 10 above (2, 2): the small square's shadow from the eye, scaled by 10 / 9 about
    // (2, 2), hides the large square's right edge (x = 4) between y = 2 - 10 / 9 and y = 2.
    Mesh mesh;
    test::addSquare(mesh, 0, 0, 4, 4, 0);
    test::addSquare(mesh, 3, 1, 5, 2, 1);
    const View view(test::perspective(test::lookAt({2, 2, 10}, {2, 2, 0}, {0, 1, 0}), 40, 1, 20), "above");
    const std::vector<FeatureEdge> edges = findFeatureEdges(mesh, view, 135);
    ASSERT_EQ(edges.size(), 8u);
    const double size = drawingSize(mesh, edges, view);
    const OcclusionScene scene(mesh, 1e-6);
    const EdgeSamples samples = sampleEdges(mesh, edges, view, scene, 1e-3 * size, 1e-6);

    const double shadowStart = 2 - 10.0 / 9;
    int hidden = 0, unscored = 0;
    for (std::size_t e = 0; e < edges.size(); ++e) {
        const bool rightEdge = edges[e].ends == std::array<std::uint32_t, 2>{1, 2};
        for (std::size_t i = samples.firstOfEdge[e]; i < samples.firstOfEdge[e + 1]; ++i) {
            const double t =
                (i - samples.firstOfEdge[e] + 0.5) / (samples.firstOfEdge[e + 1] - samples.firstOfEdge[e]);
            const double y = 4 * t; // along the right edge, from (4, 0) to (4, 4)
            const Visibility v = samples.samples[i].visibility;
            const bool covered = rightEdge && y > shadowStart && y < 2;
            if (!rightEdge || (std::abs(y - shadowStart) > 0.01 && std::abs(y - 2) > 0.01)) {
                EXPECT_EQ(v, covered ? Visibility::Hidden : Visibility::Visible) << e << " " << y;
            }
            hidden += v == Visibility::Hidden;
            unscored += v == Visibility::Unscored;
        }
    }
    EXPECT_GT(hidden, 100);
    EXPECT_EQ(unscored, 4); // two either side of each change along the right edge
}

} // namespace
} // namespace kvcheck
