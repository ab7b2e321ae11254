// The kit's drawing contract: the progress hook may end the drawing, by cancelling or by throwing, and
// the next drawing is then made as ever; and the modes a kit drawing chooses are its own, so that a
// host thread's CalcSilhouette beside it draws as the library's switches say.

#include "Scenes.h"
#include "kit/drawing/DrawMesh.h"

#include <gtest/gtest.h>

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

} // namespace
