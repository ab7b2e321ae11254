// The kit's drawing contract: the progress hook may end the drawing, by cancelling or by throwing, and
// the next drawing is then made as ever; and the modes a kit drawing chooses are its own, so that a
// host thread's CalcSilhouette beside it draws as the library's switches say.

#include "Scenes.h"
#include "kit/InputError.h"
#include "kit/drawing/DrawMesh.h"

#include <gtest/gtest.h>

#include <map>
#include <thread>

namespace {

using namespace kvhlr;
using KvHLRTest::sameDrawing;

// A box pushed halfway into a sphere: silhouettes, sharp edges, hidden lines, and where the bodies
// meet an intersection line.
KvHLR::Polygon3D model() {
    KvHLR::Polygon3D polygon = KvHLRTest::sphere(16, 32);
    KvHLRTest::append(polygon, KvHLRTest::box(ON_3dPoint(0.5, -0.4, -0.4), ON_3dPoint(1.8, 0.4, 0.4)));
    return polygon;
}

const KvHLR::ViewInfoCriteria kCamera = KvHLRTest::isometric(ON_3dPoint(0.5, 0, 0));

struct Stop {};

TEST(DrawMesh, ProgressHookCancelsOrThrowsAndTheNextDrawingIsWhole) {
    DrawOptions options;
    options.hidden = true;
    const Drawing whole = drawMesh(model(), kCamera, options);
    int reports = 0;
    options.progress = [&reports](double) { return ++reports < 3; };
    EXPECT_THROW(drawMesh(model(), kCamera, options), DrawingCancelled);
    EXPECT_EQ(reports, 3) << "told nothing more once it cancelled";
    options.progress = [](double) -> bool { throw Stop(); };
    EXPECT_THROW(drawMesh(model(), kCamera, options), Stop);
    options.progress = nullptr;
    EXPECT_TRUE(sameDrawing(drawMesh(model(), kCamera, options).lines, whole.lines));
}

// Exact hiding and intersection lines (DrawOptions' defaults) change this drawing; a host drawing at
// the same time with the switches off must never get them, nor the kit lose them.
TEST(DrawMesh, ModesAreTheDrawingsOwnBesideAHostThread) {
    DrawOptions options, plain;
    plain.exact = plain.intersections = false;
    const Drawing kit = drawMesh(model(), kCamera, options);
    ASSERT_FALSE(sameDrawing(kit.lines, drawMesh(model(), kCamera, plain).lines));
    const std::vector<KvHLR::StrokeLine> host = KvHLRTest::draw(model(), kCamera);
    constexpr int kRounds = 4;
    int hostMismatches = 0, kitMismatches = 0;
    std::thread hostThread([&] {
        for (int round = 0; round < kRounds; ++round)
            hostMismatches += sameDrawing(KvHLRTest::draw(model(), kCamera), host) ? 0 : 1;
    });
    for (int round = 0; round < kRounds; ++round)
        kitMismatches += sameDrawing(drawMesh(model(), kCamera, options).lines, kit.lines) ? 0 : 1;
    hostThread.join();
    EXPECT_EQ(hostMismatches, 0);
    EXPECT_EQ(kitMismatches, 0);
    EXPECT_FALSE(KvHLR::HLRPolyAlgo::exactHiding() || KvHLR::HLRPolyAlgo::intersectionLines());
}

// The hidden lines' length by occlusion level.
std::map<int, double> hiddenLengthByLevel(const Drawing& drawing) {
    std::map<int, double> byLevel;
    for (const KvHLR::StrokeLine& line : drawing.lines)
        if (line.kind == Hidden)
            byLevel[line.level] += KvHLRTest::lineLength(line);
    return byLevel;
}

// Three open squares stacked, sides 3, 2 and 1 from the top down, seen from above: the middle one lies
// behind one surface, the bottom one behind two, though its corners lie on the diagonals where the two
// triangles of each square above meet; hidden lines up to level 1 leave the bottom one out. Under a
// closed box the square lies behind two surfaces, the box's top and its bottom (facing away) alike.
TEST(DrawMesh, OcclusionLevelsCountTheSurfacesInFront) {
    KvHLR::Polygon3D squares = KvHLRTest::square(-1.5, -1.5, 3, 2);
    KvHLRTest::append(squares, KvHLRTest::square(-1, -1, 2, 1));
    KvHLRTest::append(squares, KvHLRTest::square(-0.5, -0.5, 1, 0));
    const KvHLR::ViewInfoCriteria above = KvHLRTest::fromAbove(ON_3dPoint(0, 0, 0));
    DrawOptions options;
    options.hiddenLevels = 2;
    std::map<int, double> byLevel = hiddenLengthByLevel(drawMesh(KvHLR::Polygon3D(squares), above, options));
    ASSERT_EQ(byLevel.size(), 2u);
    EXPECT_NEAR(byLevel[1], 8.0, 1e-9);
    EXPECT_NEAR(byLevel[2], 4.0, 1e-9);
    options.hiddenLevels = 1;
    byLevel = hiddenLengthByLevel(drawMesh(std::move(squares), above, options));
    ASSERT_EQ(byLevel.size(), 1u);
    EXPECT_NEAR(byLevel[1], 8.0, 1e-9);

    KvHLR::Polygon3D boxOver = KvHLRTest::box(ON_3dPoint(-1, -1, 1), ON_3dPoint(1, 1, 2));
    KvHLRTest::append(boxOver, KvHLRTest::square(-0.5, -0.5, 1, 0));
    options.hiddenLevels = kAllLevels;
    byLevel = hiddenLengthByLevel(drawMesh(std::move(boxOver), above, options));
    ASSERT_EQ(byLevel.size(), 1u);
    EXPECT_NEAR(byLevel[2], 4.0, 1e-9);
}

TEST(DrawMesh, OcclusionLevelsNeedTheExactHideTest) {
    DrawOptions options;
    options.hiddenLevels = 1;
    options.exact = false;
    try {
        drawMesh(KvHLRTest::square(0, 0, 1, 0), KvHLRTest::fromAbove(ON_3dPoint(0, 0, 0)), options);
        FAIL() << "drawn with the plain hide test";
    } catch (const InputError& error) {
        EXPECT_EQ(error.parameter(), "hidden_levels");
    }
}

} // namespace
