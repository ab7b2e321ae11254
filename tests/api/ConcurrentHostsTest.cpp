// Host threads calling CalcSilhouette at once: the library keeps process-wide state (packed-box
// grids, tolerances, progress stages), so runs take turns, and each thread must get exactly the
// drawing that the same call makes alone.

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
                           seed % 2 ? KvHLRTest::perspective(40, 1, 1, 30) : KvHLRTest::orthographic(-4, 4, -4, 4, 1, 30),
                           1, 30);
}

// One seed's drawing, through the triangle soup for even seeds and host meshes for odd ones.
std::vector<StrokeLine> drawing(int seed) {
    std::vector<StrokeLine> lines;
    if (seed % 2 == 0)
        return KvHLRTest::draw(model(seed), camera(seed));
    EXPECT_TRUE(CalcSilhouette(KvHLRTest::everything(), camera(seed), {KvHLRTest::hostMesh(model(seed))}, {}, lines));
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
}

} // namespace
