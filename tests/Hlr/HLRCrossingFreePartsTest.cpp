// Which triangles the intersection finder tests (HLRCrossingFreeParts): a sheet that is a height field
// along some axis (holes and all) has none of its pairs tested, and none of its triangles at all away
// from other parts; a sheet wound over itself, though each of its triangles faces the same way, has all
// of them tested; a flat floor and a wall standing on it are not tested, a wall or a cube passing through
// it is.

#include "Hlr/HLRCrossingFreeParts.h"
#include "Hlr/HLRTriangleCrossing.h"
#include "Hlr/HLRTriangleData.h"
#include "Hlr/HLRTriangleVertex.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>

namespace {

using namespace KvHLR;

constexpr double kPi = 3.141592653589793;

// A strip between radii 1 and 2 wound `turns` times round the z axis at height z(angle), in 48 steps
// a turn, its triangles counter-clockwise seen from above.
HLRTriangleData ramp(double turns, const std::function<double(double)>& z) {
    const auto steps = static_cast<std::size_t>(48 * turns);
    HLRTriangleData data;
    data.reserve(2 * (steps + 1), 2 * steps);
    for (std::size_t k = 0; k <= steps; ++k) {
        const double angle = 2 * kPi * turns * static_cast<double>(k) / static_cast<double>(steps);
        data.addVertex(std::cos(angle), std::sin(angle), z(angle));
        data.addVertex(2 * std::cos(angle), 2 * std::sin(angle), z(angle));
    }
    for (std::size_t k = 0; k < steps; ++k) {
        data.addTriangle(2 * k, 2 * k + 1, 2 * k + 3);
        data.addTriangle(2 * k, 2 * k + 3, 2 * k + 2);
    }
    data.buildEdges();
    return data;
}

// A grid of nx x ny unit squares from (x0, 0) at height z(x, y), each cut into two triangles; the squares
// (i, j) for which `keep` says no are left out.
HLRTriangleData sheet(std::size_t nx, std::size_t ny, double x0,
                      const std::function<double(double, double)>& z,
                      const std::function<bool(std::size_t, std::size_t)>& keep = nullptr) {
    HLRTriangleData data;
    data.reserve((nx + 1) * (ny + 1), 2 * nx * ny);
    for (std::size_t j = 0; j <= ny; ++j)
        for (std::size_t i = 0; i <= nx; ++i)
            data.addVertex(x0 + static_cast<double>(i), static_cast<double>(j),
                           z(x0 + static_cast<double>(i), static_cast<double>(j)));
    const auto at = [nx](std::size_t i, std::size_t j) { return j * (nx + 1) + i; };
    for (std::size_t j = 0; j < ny; ++j)
        for (std::size_t i = 0; i < nx; ++i) {
            if (keep && !keep(i, j))
                continue;
            data.addTriangle(at(i, j), at(i + 1, j), at(i + 1, j + 1));
            data.addTriangle(at(i, j), at(i + 1, j + 1), at(i, j + 1));
        }
    data.buildEdges();
    return data;
}

std::size_t tested(const HLRCrossingFreeParts& parts, std::size_t store, const HLRTriangleData& data) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < data.triangles().size(); ++i)
        count += parts.needsTest(store, i) ? 1 : 0;
    return count;
}

TEST(HLRCrossingFreeParts, HeightFieldsAreNotTestedButASheetWoundOverItselfIs) {
    // Hills steep enough that no one axis suits them all, and a strip rising round less than a turn.
    const HLRTriangleData hills =
        sheet(24, 24, 0.0, [](double x, double y) { return 3 * std::sin(x / 2) * std::cos(y / 3); });
    const HLRTriangleData stair = ramp(0.9, [](double angle) { return 0.3 * angle; });
    // A street sheet round 40 x 40 blocks: 1,600 holes, many of whose sides share each x and each y.
    const HLRTriangleData streets = sheet(
        121, 121, 0.0, [](double, double) { return 0.0; },
        [](std::size_t i, std::size_t j) { return i % 3 != 1 || j % 3 != 1; });
    // Two turns whose heights meet once (where cos(angle / 2) = pi / 10): the second turn passes through
    // the first, yet every triangle faces up.
    const HLRTriangleData wound =
        ramp(2, [](double angle) { return 0.5 * std::cos(angle / 2) + 0.05 * angle; });
    for (const HLRTriangleData* data : {&hills, &stair, &streets, &wound}) {
        const HLRCrossingFreeParts parts({data});
        const std::uint32_t patch = parts.patchOf(0, 0);
        if (data == &wound) {
            EXPECT_EQ(tested(parts, 0, *data), data->triangles().size());
            EXPECT_FALSE(parts.cannotCross(patch, patch));
        } else {
            EXPECT_EQ(tested(parts, 0, *data), 0u);
            EXPECT_TRUE(parts.cannotCross(patch, patch));
        }
    }
}

// Of a flat sheet and a wavy one that overlap along a strip half a square wide, only the triangles near
// the strip are tested.
TEST(HLRCrossingFreeParts, OnlyTrianglesNearAnotherPartAreTested) {
    const HLRTriangleData left = sheet(200, 10, 0.0, [](double, double) { return 0.0; });
    const HLRTriangleData right = sheet(200, 10, 199.5, [](double x, double) { return 0.2 * std::sin(x); });
    const HLRCrossingFreeParts parts({&left, &right});
    EXPECT_GT(tested(parts, 0, left), 0u);
    EXPECT_GT(tested(parts, 1, right), 0u);
    EXPECT_LT(tested(parts, 0, left) + tested(parts, 1, right), left.triangles().size() / 4);
    EXPECT_FALSE(parts.cannotCross(parts.patchOf(0, 0), parts.patchOf(1, 0)));
}

// A wall of 6 x 10 unit squares in the plane y = 5, from z = `bottom` up.
HLRTriangleData wall(double bottom) {
    HLRTriangleData data;
    data.reserve(7 * 11, 120);
    for (std::size_t k = 0; k <= 10; ++k)
        for (std::size_t i = 0; i <= 6; ++i)
            data.addVertex(2.0 + static_cast<double>(i), 5.0, bottom + static_cast<double>(k));
    for (std::size_t k = 0; k < 10; ++k)
        for (std::size_t i = 0; i < 6; ++i) {
            data.addTriangle(k * 7 + i, k * 7 + i + 1, (k + 1) * 7 + i + 1);
            data.addTriangle(k * 7 + i, (k + 1) * 7 + i + 1, (k + 1) * 7 + i);
        }
    data.buildEdges();
    return data;
}

// A closed cube from (4, 4, -1) to (6, 6, 1), wound outwards: a part free of crossings.
HLRTriangleData cube() {
    HLRTriangleData data;
    data.reserve(8, 12);
    for (int k = 0; k < 8; ++k)
        data.addVertex(k & 1 ? 6.0 : 4.0, k & 2 ? 6.0 : 4.0, k & 4 ? 1.0 : -1.0);
    const std::size_t faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                     {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& face : faces) {
        data.addTriangle(face[0], face[1], face[2]);
        data.addTriangle(face[0], face[2], face[3]);
    }
    data.buildEdges();
    return data;
}

// A wall standing on a flat floor touches it along its bottom edge without passing through: neither is
// tested. A wall reaching below the floor is, near the floor, and so is a cube passing through it. Two
// triangles without an area, far apart, make the chunks' boxes span more than a double can hold: no grid
// can file them, and every triangle is tested (this once hung).
TEST(HLRCrossingFreeParts, AWallStandingOnAFlatFloorIsNotTested) {
    const HLRTriangleData floor = sheet(10, 10, 0.0, [](double, double) { return 0.0; });
    const HLRTriangleData standing = wall(0.0);
    const HLRCrossingFreeParts onFloor({&floor, &standing});
    EXPECT_EQ(tested(onFloor, 0, floor) + tested(onFloor, 1, standing), 0u);
    const HLRTriangleData through = wall(-5.0);
    const HLRTriangleData box = cube();
    for (const HLRTriangleData* crossing : {&through, &box}) {
        const HLRCrossingFreeParts acrossFloor({&floor, crossing});
        EXPECT_GT(tested(acrossFloor, 0, floor), 0u);
        EXPECT_GT(tested(acrossFloor, 1, *crossing), 0u);
    }
    HLRTriangleData far;
    far.reserve(2, 2);
    far.addVertex(-1e308, 0.0, 0.0);
    far.addVertex(1e308, 0.0, 0.0);
    far.addTriangle(0, 0, 0);
    far.addTriangle(1, 1, 1);
    far.buildEdges();
    const HLRCrossingFreeParts farApart({&floor, &standing, &far});
    EXPECT_EQ(tested(farApart, 0, floor) + tested(farApart, 1, standing),
              floor.triangles().size() + standing.triangles().size());
}

// A closed ring round the z axis, 1 high, with a bore of radius 1 and an outer wall of 12 waves at
// radius 2 + 0.3 cos(12 angle), in `steps` steps round and 4 layers up; the outer wall's corners between
// the angles 0 and 0.8 are turned on by `turn`, so that its waves there pass through those beside them.
HLRTriangleData ring(std::size_t steps, double turn) {
    const std::size_t layers = 4;
    HLRTriangleData data;
    data.reserve(2 * steps * (layers + 1), 4 * steps * (layers + 1));
    for (std::size_t l = 0; l <= layers; ++l) {
        for (std::size_t k = 0; k < steps; ++k) {
            const double angle = 2 * kPi * static_cast<double>(k) / static_cast<double>(steps);
            const double r = 2 + 0.3 * std::cos(12 * angle), at = angle < 0.8 ? angle + turn : angle;
            const double z = static_cast<double>(l) / layers;
            data.addVertex(r * std::cos(at), r * std::sin(at), z);
            data.addVertex(std::cos(angle), std::sin(angle), z);
        }
    }
    const auto outer = [steps](std::size_t l, std::size_t k) { return 2 * (l * steps + k % steps); };
    for (std::size_t l = 0; l < layers; ++l)
        for (std::size_t k = 0; k < steps; ++k) {
            data.addTriangle(outer(l, k), outer(l, k + 1), outer(l + 1, k + 1));
            data.addTriangle(outer(l, k), outer(l + 1, k + 1), outer(l + 1, k));
            data.addTriangle(outer(l, k) + 1, outer(l + 1, k + 1) + 1, outer(l, k + 1) + 1);
            data.addTriangle(outer(l, k) + 1, outer(l + 1, k) + 1, outer(l + 1, k + 1) + 1);
        }
    for (std::size_t k = 0; k < steps; ++k) {
        data.addTriangle(outer(layers, k) + 1, outer(layers, k), outer(layers, k + 1));
        data.addTriangle(outer(layers, k) + 1, outer(layers, k + 1), outer(layers, k + 1) + 1);
        data.addTriangle(outer(0, k) + 1, outer(0, k + 1), outer(0, k));
        data.addTriangle(outer(0, k) + 1, outer(0, k + 1) + 1, outer(0, k + 1));
    }
    data.buildEdges();
    return data;
}

// The ring's walls turn further than one patch can follow, so that they are cut into patches whose
// seams run up the walls: the triangles along a seam are a height field together, and none of the ring
// is tested. Turned on by a third of a wave, the outer wall passes through itself where the waves of
// the turned stretch meet those beside it, with their normals alike: the triangles there are tested.
TEST(HLRCrossingFreeParts, SeamsOfAClosedPartAreNotTestedUnlessItPassesThroughItself) {
    const HLRTriangleData whole = ring(960, 0.0);
    EXPECT_EQ(tested(HLRCrossingFreeParts({&whole}), 0, whole), 0u);
    const HLRTriangleData crossing = ring(960, 2 * kPi / 144);
    const HLRCrossingFreeParts parts({&crossing});
    // Every pair of the outer wall's triangles up to the angle 1.2 that shares no corner and crosses
    // (HLRTriangleCrossing, the corners named by their model vertices) is tested.
    using Corner = const HLRProjectedTriangleVertex*;
    std::vector<std::size_t> wall;
    std::vector<std::array<Corner, 3>> corners;
    std::vector<std::array<HLRVector3D, 3>> positions;
    for (std::size_t t = 0; t < 4 * 960 * 4; ++t) {
        if (t % 4 > 1 || t % (4 * 960) >= 4 * 184)
            continue;
        wall.push_back(t);
        corners.emplace_back();
        positions.emplace_back();
        for (int c = 0; c < 3; ++c) {
            const HLRTriangleVertex& v =
                crossing.vertices()[static_cast<std::size_t>(crossing.triangles()[t].vertices[c])];
            corners.back()[c] = reinterpret_cast<Corner>(&v);
            positions.back()[c] = HLRVector3D(v.x, v.y, v.z);
        }
    }
    std::size_t pairs = 0, missed = 0;
    for (std::size_t a = 0; a < wall.size(); ++a) {
        const HLRTriangleCrossing::Triangle first(nullptr, corners[a].data(), positions[a].data());
        for (std::size_t b = a + 1; b < wall.size(); ++b) {
            bool shared = false;
            for (Corner u : corners[a])
                for (Corner v : corners[b])
                    shared = shared || u == v;
            HLRTriangleCrossing found;
            if (shared ||
                !HLRTriangleCrossing::find(
                    first, HLRTriangleCrossing::Triangle(nullptr, corners[b].data(), positions[b].data()),
                    parts.tolerance(), found))
                continue;
            ++pairs;
            missed += parts.needsTest(0, wall[a]) && parts.needsTest(0, wall[b]) ? 0 : 1;
        }
    }
    EXPECT_GT(pairs, 0u);
    EXPECT_EQ(missed, 0u);
}

} // namespace
