// Host threads calling CalcSilhouette at once: the library keeps process-wide state (packed-box
// grids, tolerances, progress stages), so runs take turns, and each thread must get exactly the
// drawing that the same call makes alone.

#include "Cameras.h"
#include "api/CalcSilhouette.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

namespace {

using namespace KvHLR;

// A lumpy closed surface of revolution beside a box, sized and placed by `seed`, so that every
// thread has a different model with silhouettes, sharp edges and hidden lines.
Polygon3D model(int seed) {
    Polygon3D polygon;
    const std::uint32_t segments = 24 + 4 * seed, rings = 12 + 2 * seed;
    polygon.points.emplace_back(0, 0, -1);
    for (std::uint32_t r = 1; r < rings; ++r) {
        const double a = 3.141592653589793 * r / rings;
        for (std::uint32_t s = 0; s < segments; ++s) {
            const double b = 2 * 3.141592653589793 * s / segments;
            const double radius = std::sin(a) * (1 + 0.1 * seed + 0.2 * (s % 3 == 0));
            polygon.points.emplace_back(radius * std::cos(b), radius * std::sin(b), -std::cos(a));
        }
    }
    polygon.points.emplace_back(0, 0, 1);
    const std::uint32_t top = static_cast<std::uint32_t>(polygon.points.size() - 1);
    auto at = [segments](std::uint32_t r, std::uint32_t s) { return 1 + (r - 1) * segments + s % segments; };
    for (std::uint32_t s = 0; s < segments; ++s) {
        polygon.triangles.push_back({0, at(1, s + 1), at(1, s)});
        polygon.triangles.push_back({top, at(rings - 1, s), at(rings - 1, s + 1)});
        for (std::uint32_t r = 1; r + 1 < rings; ++r) {
            polygon.triangles.push_back({at(r, s), at(r, s + 1), at(r + 1, s + 1)});
            polygon.triangles.push_back({at(r, s), at(r + 1, s + 1), at(r + 1, s)});
        }
    }
    const std::uint32_t base = static_cast<std::uint32_t>(polygon.points.size());
    for (int i = 0; i < 8; ++i)
        polygon.points.emplace_back(1.2 + (i & 1) * (1 + seed), -0.5 + (i & 2) / 2, -0.5 + (i & 4) / 4 * 2.0);
    const std::uint32_t box[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                                      {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    for (const auto& t : box)
        polygon.triangles.push_back({base + t[0], base + t[1], base + t[2]});
    return polygon;
}

ViewInfoCriteria camera(int seed) {
    ViewInfoCriteria view;
    view.modelViewXform =
        KvHLRTest::lookAt(ON_3dPoint(6, -4 - seed, 3 + seed), ON_3dPoint(1, 0, 0), ON_3dVector(0, 0, 1));
    view.projectionXform =
        seed % 2 ? KvHLRTest::perspective(40, 1, 1, 30) : KvHLRTest::orthographic(-4, 4, -4, 4, 1, 30);
    view.nearPlaneDepth = 1;
    view.farPlaneDepth = 30;
    return view;
}

// One seed's drawing, through the triangle soup for even seeds and host meshes for odd ones.
std::vector<StrokeLine> drawing(int seed) {
    ProjectorCriteria criteria;
    criteria.showSilhouette = criteria.showConvexSharpEdge = criteria.showConcaveSharpEdge = true;
    criteria.showHiddenLine = true;
    Polygon3D polygon = model(seed);
    std::vector<StrokeLine> lines;
    if (seed % 2 == 0) {
        EXPECT_TRUE(CalcSilhouette(criteria, camera(seed), polygon, {}, lines));
        return lines;
    }
    auto points = std::make_shared<Kv::KvPointList>(polygon.points);
    auto triangles = std::make_shared<Kv::KvTriangleList>();
    for (const auto& t : polygon.triangles)
        triangles->emplace_back(t[0], t[1], t[2]);
    EXPECT_TRUE(CalcSilhouette(criteria, camera(seed), {new Kv::KvmMesh(new Kv::KvaMesh(points, triangles))},
                               {}, lines));
    return lines;
}

bool sameDrawing(std::vector<StrokeLine> const& a, std::vector<StrokeLine> const& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].kind != b[i].kind || a[i].points.size() != b[i].points.size())
            return false;
        for (std::size_t j = 0; j < a[i].points.size(); ++j)
            if (a[i].points[j].x != b[i].points[j].x || a[i].points[j].y != b[i].points[j].y)
                return false;
    }
    return true;
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
                mismatches[seed] += sameDrawing(drawing(seed), alone[seed]) ? 0 : 1;
        });
    for (std::thread& thread : threads)
        thread.join();
    for (int seed = 0; seed < kThreads; ++seed)
        EXPECT_EQ(mismatches[seed], 0) << "model " << seed;
}

} // namespace
