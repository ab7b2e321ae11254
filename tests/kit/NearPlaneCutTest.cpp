// Cameras placed at an eye point, and cameras inside the model: looking along a floor that runs behind
// the eye, past a box standing on it, the drawing shows what lies beyond the near plane, within the
// frame, and the cut adds no line: every drawn stretch lies on the image of one of the model's edges.

#include "kit/drawing/NearPlaneCut.h"
#include "kit/camera/CameraFit.h"
#include "kit/drawing/DrawMesh.h"
#include "kit/mesh/DemoPart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using namespace kvhlr;

// A floor 20 units square at z = 0 and a unit box standing on it at x = 2..3.
MeshPart floorAndBox() {
    MeshPart part;
    part.points = {{-10, -10, 0}, {10, -10, 0}, {10, 10, 0}, {-10, 10, 0}};
    Kv::KvTriangleList triangles = {{0, 1, 2}, {0, 2, 3}};
    const std::uint64_t kBox[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                                       {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    for (int i = 0; i < 8; ++i)
        part.points.emplace_back(2 + (i & 1), -0.5 + ((i >> 1) & 1), (i >> 2) & 1);
    for (const auto& t : kBox)
        triangles.emplace_back(t[0] + 4, t[1] + 4, t[2] + 4);
    part.faces = {triangles};
    return part;
}

ON_3dPoint inView(const KvHLR::ViewInfoCriteria& camera, const ON_3dPoint& p) {
    return camera.modelViewXform * p;
}

// The model's edges as lines in the drawing plane (drawing units, as the library scales them).
struct Line2 {
    ON_2dPoint a, b;
    double distance(double x, double y) const {
        const double dx = b.x - a.x, dy = b.y - a.y;
        return std::fabs(dx * (y - a.y) - dy * (x - a.x)) / std::hypot(dx, dy);
    }
};

Line2 imageOf(const KvHLR::ViewInfoCriteria& camera, ON_3dPoint a, ON_3dPoint b) {
    const Box2 frame = cameraFrame(camera);
    // Moved along the edge to lie in front of the eye, where their images are finite.
    const double depthA = -inView(camera, a).z, depthB = -inView(camera, b).z, front = camera.nearPlaneDepth;
    const auto along = [](const ON_3dPoint& from, const ON_3dPoint& to, double t) {
        return ON_3dPoint(from.x + t * (to.x - from.x), from.y + t * (to.y - from.y),
                          from.z + t * (to.z - from.z));
    };
    if (depthA < front)
        a = along(a, b, (front - depthA) / (depthB - depthA));
    if (depthB < front)
        b = along(b, a, (front - depthB) / (depthA - depthB));
    const auto image = [&](const ON_3dPoint& p) {
        const ON_4dPoint s =
            camera.projectionXform * (camera.modelViewXform * ON_4dPoint(p.x, p.y, p.z, 1.0));
        return ON_2dPoint(s.x / s.w * frame.maxX, s.y / s.w * frame.maxY);
    };
    return {image(a), image(b)};
}

TEST(NearPlaneCut, ACameraInsideTheModelDrawsWhatLiesBeyondItsNearPlaneAndNoCut) {
    const MeshPart model = floorAndBox();
    KvHLR::ViewInfoCriteria camera = lookAtCamera({{-5, 0, 1.5}, {2.5, 0, 0.5}, {0, 0, 1}, 60.0}, {model});
    // Far enough that the floor is seen where it is cut, just beyond the near plane.
    camera.nearPlaneDepth = 3.0;
    ASSERT_TRUE(reachesNearPlane(camera, {model})) << "the floor runs behind the eye";
    std::vector<Line2> edges;
    const int corners[][2] = {{0, 1}, {1, 2},   {2, 3},  {3, 0},  {4, 5}, {6, 7}, {4, 6},  {5, 7},
                              {8, 9}, {10, 11}, {8, 10}, {9, 11}, {4, 8}, {5, 9}, {6, 10}, {7, 11}};
    for (const auto& edge : corners)
        edges.push_back(imageOf(camera, model.points[edge[0]], model.points[edge[1]]));

    DrawOptions options;
    options.hidden = true;
    const Drawing drawing = drawParts({model}, camera, options);
    ASSERT_FALSE(drawing.lines.empty());
    const Box2 frame = cameraFrame(camera);
    const double tolerance = 1e-6 * frame.width();
    bool hidden = false;
    for (const KvHLR::StrokeLine& line : drawing.lines) {
        hidden = hidden || line.kind == 1;
        for (std::size_t i = 1; i < line.points.size(); ++i) {
            const double x = 0.5 * (line.points[i - 1].x + line.points[i].x);
            const double y = 0.5 * (line.points[i - 1].y + line.points[i].y);
            double nearest = HUGE_VAL;
            for (const Line2& edge : edges)
                nearest = std::min(nearest, edge.distance(x, y));
            EXPECT_LT(nearest, tolerance) << "a stretch that lies on no edge, at " << x << ", " << y;
        }
        for (const ON_2dPoint& p : line.points) {
            EXPECT_LE(std::fabs(p.x), frame.maxX * (1 + 1e-12));
            EXPECT_LE(std::fabs(p.y), frame.maxY * (1 + 1e-12));
        }
    }
    EXPECT_TRUE(hidden) << "the box's back edges";
}

// A section whose cap runs behind a perspective eye: the cap is drawn, outlined and hatched, only where
// it lies beyond the near plane, within the frame, and not through the eye (upside down, far outside).
TEST(NearPlaneCut, ASectionCapRunningBehindTheEyeIsDrawnOnlyBeyondTheNearPlane) {
    const std::vector<MeshPart> demo = demoPart();
    const KvHLR::ViewInfoCriteria camera = lookAtCamera({{20, 15, -10}, {-40, 5, 60}, {0, 1, 0}, 70.0}, demo);
    ASSERT_TRUE(reachesNearPlane(camera, demo));
    DrawOptions options;
    options.section = SectionPlane{{0, 0, 0}, {1, 0, 0}};
    const Drawing drawing = drawParts(demoPart(), camera, options);
    const Box2 frame = cameraFrame(camera);
    std::size_t hatching = 0, outline = 0;
    for (const KvHLR::StrokeLine& line : drawing.lines) {
        hatching += line.kind == Hatching;
        outline += line.kind == SectionOutline;
        for (const ON_2dPoint& p : line.points) {
            EXPECT_LE(std::fabs(p.x), frame.maxX * (1 + 1e-9)) << line.kind;
            EXPECT_LE(std::fabs(p.y), frame.maxY * (1 + 1e-9)) << line.kind;
        }
    }
    EXPECT_GT(hatching, 10u);
    EXPECT_GT(outline, 0u);
}

TEST(NearPlaneCut, ModelsBeyondTheNearPlaneAndOrthographicCamerasAreLeftAlone) {
    const MeshPart model = floorAndBox();
    std::vector<MeshPart> parts = {model};
    const KvHLR::ViewInfoCriteria outside =
        lookAtCamera({{-30, 0, 10}, {2.5, 0, 0.5}, {0, 0, 1}, 40.0}, parts);
    EXPECT_FALSE(cutAtNearPlane(outside, parts));
    KvHLR::ViewInfoCriteria orthographic = lookAtCamera({{-5, 0, 1.5}, {2.5, 0, 0.5}, {0, 0, 1}, {}}, parts);
    EXPECT_FALSE(reachesNearPlane(orthographic, parts));
    EXPECT_FALSE(cutAtNearPlane(orthographic, parts));
    EXPECT_EQ(parts[0].faces[0].size(), model.faces[0].size());
    EXPECT_EQ(parts[0].points.size(), model.points.size());
}

TEST(LookAt, TheEyeStaysWhereItIsAndTheNearAndFarPlanesEncloseTheModel) {
    const std::vector<MeshPart> parts = {floorAndBox()};
    const struct {
        LookAt look;
        bool inside;
    } cases[] = {
        {{{-30, 0, 10}, {2.5, 0, 0.5}, {0, 0, 1}, 40.0}, false},
        {{{-30, 5, 10}, {2.5, 0, 0.5}, {0, 0, 1}, {}}, false},
        {{{-5, 0, 1.5}, {2.5, 0, 0.5}, {0, 0, 1}, 60.0}, true},
    };
    for (const auto& [look, inside] : cases) {
        const KvHLR::ViewInfoCriteria camera = lookAtCamera(look, parts);
        const ON_3dPoint eye = inView(camera, look.eye);
        EXPECT_LT(std::fabs(eye.x) + std::fabs(eye.y) + std::fabs(eye.z), 1e-12);
        const ON_3dPoint target = inView(camera, look.target);
        EXPECT_NEAR(target.x, 0.0, 1e-12);
        EXPECT_NEAR(target.y, 0.0, 1e-12);
        EXPECT_LT(target.z, 0.0);
        EXPECT_GT(camera.nearPlaneDepth, 0.0);
        EXPECT_EQ(camera.projectionXform[3][3] != 1.0, bool(look.perspectiveFovDegrees));
        // A structured binding is captured by a copy of its own: C++17 lambdas cannot capture it.
        forEachPoint(parts, [&, inside = inside](const ON_3dPoint& p) {
            EXPECT_LT(-inView(camera, p).z, camera.farPlaneDepth);
            EXPECT_TRUE(inside || -inView(camera, p).z > camera.nearPlaneDepth);
        });
        EXPECT_EQ(camera.nearPlaneDepth == 1e-3 * camera.farPlaneDepth, inside);
    }
}

} // namespace
