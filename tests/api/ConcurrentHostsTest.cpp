// Host threads calling CalcSilhouette at once: the library keeps process-wide state (packed-box
// grids, tolerances, progress stages), so runs take turns, and each thread must get exactly the
// drawing that the same call makes alone, also when one of them draws in modes of its own.

#include "Scenes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

namespace {

using namespace KvHLR;

// A sphere stretched by `seed` beside a box sized by it, so that every thread has a different model
// with silhouettes, sharp edges and hidden lines.
Polygon3D model(int seed) {
    Polygon3D polygon = KvHLRTest::sphere(12 + 2 * seed, 24 + 4 * seed);
    for (ON_3dPoint& p : polygon.points)
        p.x *= 1 + 0.1 * seed;
    KvHLRTest::append(polygon, KvHLRTest::box(ON_3dPoint(1.2, -0.5, -0.5), ON_3dPoint(2.2 + seed, 0.5, 1.5)));
    return polygon;
}

ViewInfoCriteria camera(int seed) {
    return KvHLRTest::view(ON_3dPoint(6, -4 - seed, 3 + seed), ON_3dPoint(1, 0, 0), ON_3dVector(0, 0, 1),
                           seed % 2 ? KvHLRTest::perspective(40, 1, 1, 30)
                                    : KvHLRTest::orthographic(-4, 4, -4, 4, 1, 30),
                           1, 30);
}

// One seed's drawing, through the triangle soup for even seeds and host meshes for odd ones; seed 3
// draws with exact hiding and intersection lines chosen for its calls alone (as the drawing kit does),
// which the others, drawing with the switches off, must never get.
constexpr int kOwnModes = 3;

std::vector<StrokeLine> drawing(int seed) {
    std::vector<StrokeLine> lines;
    if (seed % 2 == 0)
        return KvHLRTest::draw(model(seed), camera(seed));
    const MeshList meshes{KvHLRTest::hostMesh(model(seed))};
    EXPECT_TRUE(seed == kOwnModes ? CalcSilhouette(HLRRunModes{true, true}, KvHLRTest::everything(),
                                                   camera(seed), meshes, {}, lines)
                                  : CalcSilhouette(KvHLRTest::everything(), camera(seed), meshes, {}, lines));
    return lines;
}

TEST(ConcurrentHosts, EachThreadGetsTheDrawingItWouldGetAlone) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 3;
    std::vector<std::vector<StrokeLine>> alone;
    for (int seed = 0; seed < kThreads; ++seed) {
        alone.push_back(drawing(seed));
        ASSERT_FALSE(alone.back().empty());
    }
    int mismatches[kThreads] = {};
    std::vector<std::thread> threads;
    for (int seed = 0; seed < kThreads; ++seed)
        threads.emplace_back([seed, &alone, &mismatches] {
            for (int round = 0; round < kRounds; ++round)
                mismatches[seed] += KvHLRTest::sameDrawing(drawing(seed), alone[seed]) ? 0 : 1;
        });
    for (std::thread& thread : threads)
        thread.join();
    for (int seed = 0; seed < kThreads; ++seed)
        EXPECT_EQ(mismatches[seed], 0) << "model " << seed;
    EXPECT_FALSE(
        KvHLRTest::sameDrawing(alone[kOwnModes], KvHLRTest::draw(model(kOwnModes), camera(kOwnModes))));
    EXPECT_FALSE(HLRPolyAlgo::exactHiding() || HLRPolyAlgo::intersectionLines());
}

} // namespace
