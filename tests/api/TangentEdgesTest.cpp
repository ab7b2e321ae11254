// Tangent edges: polylines that a host gives with a mesh body, drawn as kind 9 where visible and only
// when asked, hidden by the model like any edge, their hidden pieces left out. Both hide tests.

#include "Scenes.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace KvHLR;
using namespace KvHLRTest;

constexpr std::int32_t kTangentKind = 9;

TEST(TangentEdges, DrawnWhereSeenAndOnlyWhenAsked) {
    // A unit cube seen from above along (1, 1, 1): a polyline across its top face is seen, one across
    // its bottom face is hidden. Both run 0.6 along x, which the view shortens by sqrt(2/3).
    const std::vector<Kv::KvPointList> tangentEdges = {{{0.2, 0.5, 1}, {0.5, 0.5, 1}, {0.8, 0.5, 1}},
                                                       {{0.2, 0.5, 0}, {0.8, 0.5, 0}}};
    const MeshList meshes = {hostMesh(box(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 1, 1)), 2, tangentEdges)};
    for (const bool exact : {true, false}) {
        SCOPED_TRACE(exact ? "exact" : "specified");
        const Modes modes(exact);
        std::map<int, double> lengths[2];
        for (const bool asked : {false, true}) {
            ProjectorCriteria criteria = everything();
            criteria.separateBodyFaces = true;
            criteria.showTangentEdge = asked;
            std::vector<StrokeLine> lines;
            ASSERT_TRUE(CalcSilhouette(criteria, isometric(ON_3dPoint(0.5, 0.5, 0.5)), meshes, {}, lines));
            lengths[asked] = lengthByKind(lines);
        }
        EXPECT_EQ(lengths[false].count(kTangentKind), 0u);
        EXPECT_NEAR(lengths[true][kTangentKind], 0.6 * std::sqrt(2.0 / 3), 1e-6);
        lengths[true].erase(kTangentKind);
        EXPECT_EQ(lengths[true], lengths[false]) << "the edges add no other line, hidden ones none";
    }
}

} // namespace
